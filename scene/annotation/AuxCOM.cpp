#include "scene/annotation/AuxCOM.h"

#include <cmath>
#include <new>

#include "platform/kernel/KytEnv.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

bool AuxCOM::bShowCOM = false;

int COMUpAxis()
{
    const int axis = KYT_GetUpAxis();
    return axis == 1 || axis == 2 ? axis : 0;
}

void DrawCOMMarker(GLUquadricObj* quadric, float size, const WqVector3D& p)
{
    static const float kSphere[4] = {0.0f, 0.9f, 0.9f, 0.6f};
    static const float kRod[4] = {1.0f, 1.0f, 0.0f, 1.0f};
    const int axis = COMUpAxis();
    const double h = p[axis] - KYT_GetUpOffset();
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT);
    glEnable(GL_LIGHTING);
    glPushMatrix();
    glTranslated(p.x, p.y, p.z);
    glDisable(GL_DEPTH_TEST);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kSphere);
    gluSphere(quadric, size, 40, 40);
    glEnable(GL_DEPTH_TEST);
    // The rod runs along z; turn it toward the ground.
    if (axis == 0)
        glRotatef(h > 0 ? -90.0f : 90.0f, 0, 1, 0);
    else if (axis == 1)
        glRotatef(h > 0 ? 90.0f : -90.0f, 1, 0, 0);
    else if (h > 0)
        glRotatef(-180.0f, 1, 0, 0);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kRod);
    gluCylinder(quadric, 0.3 * size, 0.3 * size, std::fabs(h), 8, 6);
    glPopMatrix();
    glPopAttrib();
}

AuxCOM::AuxCOM(unsigned int id, KytLink* link) : AuxTarget(id, link) {}

AuxCOM::AuxCOM(const AuxCOM* source) : AuxTarget(source)
{
    if (source)
        Size = source->Size;
}

AuxCOM::AuxCOM(const AuxCOM& other) : AuxTarget(other), Size(other.Size) {}

AuxCOM& AuxCOM::operator=(const AuxCOM& other)
{
    if (this != &other) {
        AuxTarget::operator=(other);
        Size = other.Size;
        // The quadric stays this object's own.
    }
    return *this;
}

AuxCOM::~AuxCOM()
{
    if (Quadric)
        gluDeleteQuadric(Quadric);
}

void AuxCOM::Destroy()
{
    KytAuxContents::Destroy();
    if (Quadric) {
        gluDeleteQuadric(Quadric);
        Quadric = nullptr;
    }
}

void AuxCOM::Create(KytScene* scene)
{
    if (!Quadric) {
        Quadric = gluNewQuadric();
        if (Quadric) {
            gluQuadricDrawStyle(Quadric, GLU_FILL);
            gluQuadricOrientation(Quadric, GLU_OUTSIDE);
        }
    }
    if (scene)
        FitView(scene->GetViewPort());
}

void AuxCOM::FitView(const KytViewPort* viewport)
{
    if (viewport)
        Size = static_cast<float>(0.02 * viewport->GetViewRadius());
}

KytAuxContents* AuxCOM::Duplicate()
{
    return new (std::nothrow) AuxCOM(this);
}

bool AuxCOM::GetCOM(WqVector3D& out)
{
    KytLink* link = pTargetLink;
    if (!link)
        return false;
    if (!link->pShape && link->nCOMState == 2)
        link->SetAsyCOM();
    if (link->nCOMState != 1)
        return false;
    // The kernel keeps every centre in the link's frame, shaped or not.
    out = link->mech.GetAbsPos(link->vCOM);
    return true;
}

void AuxCOM::Draw()
{
    // Without a quadric (before Create, or a copy) there is nothing to draw with.
    if (!Quadric || !IsDraw())
        return;
    WqVector3D p;
    if (!GetCOM(p))
        return;
    DrawCOMMarker(Quadric, Size, p);
}
