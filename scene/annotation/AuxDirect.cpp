#include "scene/annotation/AuxDirect.h"

#include <cmath>
#include <new>

#include "platform/kernel/KytLink.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

float AuxDirect::afMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

namespace {
constexpr double kEps = 2.220446e-16;
}

AuxDirect::AuxDirect(unsigned int id) : AuxTarget(id, nullptr) {}

AuxDirect::AuxDirect(const AuxDirect* source) : AuxTarget(source)
{
    if (source) {
        UpVector = source->UpVector;
        Point = source->Point;
        UsePoint = source->UsePoint;
    }
}

AuxDirect::AuxDirect(const AuxDirect& other)
    : AuxTarget(other), UpVector(other.UpVector), Point(other.Point), UsePoint(other.UsePoint),
      Size(other.Size)
{
}

AuxDirect& AuxDirect::operator=(const AuxDirect& other)
{
    if (this != &other) {
        AuxTarget::operator=(other);
        UpVector = other.UpVector;
        Point = other.Point;
        UsePoint = other.UsePoint;
        Size = other.Size;
    }
    return *this;
}

AuxDirect::~AuxDirect()
{
    if (Quadric)
        gluDeleteQuadric(Quadric);
}

void AuxDirect::Destroy()
{
    KytAuxContents::Destroy();
    if (Quadric) {
        gluDeleteQuadric(Quadric);
        Quadric = nullptr;
    }
}

void AuxDirect::Create(KytScene* scene)
{
    if (!Quadric) {
        Quadric = gluNewQuadric();
        if (Quadric)
            gluQuadricDrawStyle(Quadric, GLU_FILL);
    }
    if (scene)
        FitView(scene->GetViewPort());
}

void AuxDirect::FitView(const KytViewPort* viewport)
{
    if (viewport)
        Size = static_cast<float>(viewport->GetViewRadius());
}

KytAuxContents* AuxDirect::Duplicate()
{
    return new (std::nothrow) AuxDirect(this);
}

void AuxDirect::SetLink(KytLink* link)
{
    pTargetLink = link;
    UsePoint = false;
}

void AuxDirect::SetPoint(const WqVector3D& p)
{
    Point = p;
    UsePoint = true;
}

void AuxDirect::Draw()
{
    if (!m_bDraw || !pTargetLink || !Quadric)
        return;
    // The rod follows the direction of UpVector whatever its length; without one there is
    // nothing to show.
    const double len2 = UpVector.Length2();
    if (len2 <= kEps)
        return;
    const double len = std::sqrt(len2);
    if (len <= kEps)
        return;
    const WqVector3D up = UpVector * (1.0 / len);
    const WqVector3D b = UsePoint ? Point : pTargetLink->mech.GetAbsPos(pTargetLink->jointFrame.vPos);
    WqMatrix33D r;
    const WqVector3D axis(-up.y, up.x, 0.0);
    const double a2 = axis.Length2();
    if (a2 > kEps && std::sqrt(a2) > kEps) {
        const double c = std::max(-1.0, std::min(1.0, up.z));
        r.MakeRotMatrix(c, std::sqrt(1.0 - c * c), axis * (1.0 / std::sqrt(a2)));
    } else if (up.z < 0.0) {
        // Straight down: a half-turn about x, so the rod still runs through B.
        r.MakeRotMatrix(-1.0, 0.0, 0);
    }
    const WqVector3D t = b - up * Size;
    for (int col = 0; col < 3; ++col) {
        for (int row = 0; row < 3; ++row)
            afMatrix[col * 4 + row] = static_cast<float>(r.m[row][col]);
        afMatrix[col * 4 + 3] = 0.0f;
    }
    afMatrix[12] = static_cast<float>(t.x);
    afMatrix[13] = static_cast<float>(t.y);
    afMatrix[14] = static_cast<float>(t.z);
    afMatrix[15] = 1.0f;
    static const float kPurple[4] = {0.8f, 0.0f, 0.8f, 1.0f};
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_LINE_BIT);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glEnable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kPurple);
    glPushMatrix();
    glMultMatrixf(afMatrix);
    gluCylinder(Quadric, 0.02 * Size, 0.02 * Size, 2.0 * Size, 8, 8);
    glPopMatrix();
    glPopAttrib();
}
