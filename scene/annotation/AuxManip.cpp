#include "scene/annotation/AuxManip.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytLink.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

namespace {
const float kGrey[4] = {0.65f, 0.65f, 0.65f, 1};
const float kDarkGrey[4] = {0.4f, 0.4f, 0.4f, 1};
const float kMidGrey[4] = {0.5f, 0.5f, 0.5f, 1};
const float kWhite[4] = {1, 1, 1, 1};
const float kMagenta[4] = {0.8f, 0, 0.6f, 1};
const float kLightBlue[4] = {0.3f, 0.5f, 1.0f, 1};
const float kAxisColour[3][4] = {{0.8f, 0, 0, 1}, {0, 0.8f, 0, 1}, {0, 0, 0.8f, 1}};

// Axis index 0, 1, 2 of an axis code 1, 2, 4; -1 for anything else.
int AxisIndex(int code)
{
    switch (code) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 2;
    default: return -1;
    }
}

// One long face of a square bar along axis w, wound counter-clockwise seen from `normal`.
void BarFace(int w, int n, float sign, float e, float length)
{
    const int other = 3 - w - n;
    float c[4][3] = {};
    const float across[4] = {-e, e, e, -e};
    const float along[4] = {0, 0, length, length};
    for (int k = 0; k < 4; ++k) {
        c[k][n] = sign * e;
        c[k][other] = across[k];
        c[k][w] = along[k];
    }
    // Orientation of (c1 - c0) x (c3 - c0) against the normal decides the winding.
    const float a[3] = {c[1][0] - c[0][0], c[1][1] - c[0][1], c[1][2] - c[0][2]};
    const float b[3] = {c[3][0] - c[0][0], c[3][1] - c[0][1], c[3][2] - c[0][2]};
    const float cross[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                            a[0] * b[1] - a[1] * b[0]};
    const bool flip = cross[n] * sign < 0;
    float normal[3] = {0, 0, 0};
    normal[n] = sign;
    glNormal3fv(normal);
    const int order[2][6] = {{0, 1, 2, 0, 2, 3}, {0, 2, 1, 0, 3, 2}};
    for (int k : order[flip ? 1 : 0])
        glVertex3fv(c[k]);
}

bool Hidden(const KytLink* link)
{
    return !link->IsVisible();
}
}  // namespace

float AuxManip::afSin[36];
float AuxManip::afCos[36];
bool AuxManip::s_bTables = false;

void AuxManip::FillTables()
{
    if (s_bTables)
        return;
    for (int i = 0; i < 36; ++i) {
        afSin[i] = static_cast<float>(std::sin(i * 0.17453292519943278));
        afCos[i] = static_cast<float>(std::cos(i * 0.17453292519943278));
    }
    s_bTables = true;
}

AuxManip::AuxManip(unsigned int id, KytStack<KytLink>* stack) : KytAuxContents(id), Stack(stack)
{
    FillTables();
}

AuxManip::AuxManip(const AuxManip* source) : KytAuxContents(source)
{
    FillTables();
    if (!source)
        return;
    std::copy(source->Origin, source->Origin + 3, Origin);
    Stack = source->Stack;
    HandleSize = source->HandleSize;
    ShowMode = source->ShowMode;
    IsSimple = source->IsSimple;
}

AuxManip::AuxManip(const AuxManip& other)
    : KytAuxContents(other), Stack(other.Stack), HandleSize(other.HandleSize),
      ShowMode(other.ShowMode), IsSimple(other.IsSimple)
{
    FillTables();
    std::copy(other.Origin, other.Origin + 3, Origin);
    std::copy(other.Matrix, other.Matrix + 16, Matrix);
}

AuxManip& AuxManip::operator=(const AuxManip& other)
{
    if (this != &other) {
        // The quadric stays this object's own.
        KytAuxContents::operator=(other);
        std::copy(other.Origin, other.Origin + 3, Origin);
        std::copy(other.Matrix, other.Matrix + 16, Matrix);
        Stack = other.Stack;
        HandleSize = other.HandleSize;
        ShowMode = other.ShowMode;
        IsSimple = other.IsSimple;
    }
    return *this;
}

AuxManip::~AuxManip()
{
    if (Quadric)
        gluDeleteQuadric(Quadric);
}

void AuxManip::Destroy()
{
    KytAuxContents::Destroy();
    if (Quadric) {
        gluDeleteQuadric(Quadric);
        Quadric = nullptr;
    }
}

void AuxManip::Create(KytScene* scene)
{
    if (!Quadric)
        Quadric = gluNewQuadric();
    if (Quadric)
        gluQuadricDrawStyle(Quadric, GLU_FILL);
    if (scene)
        FitView(scene->GetViewPort());
}

void AuxManip::FitView(const KytViewPort* viewport)
{
    if (viewport)
        HandleSize = static_cast<float>(viewport->GetViewRadius() * 0.1);
}

KytAuxContents* AuxManip::Duplicate()
{
    return new (std::nothrow) AuxManip(this);
}

bool AuxManip::Simple(bool on)
{
    if (IsSimple == on)
        return false;
    IsSimple = on;
    return true;
}

void AuxManip::Draw()
{
    // Without a quadric (before Create, or a copy) the handles cannot be drawn.
    if (!IsDraw() || KytScene::bMoving || !Stack || Stack->GetCount() == 0 || !Quadric)
        return;
    glPushAttrib(GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_LINE_BIT);
    glEnable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    const int manipMode = KYT_GetManipMode();
    for (KytItem<KytLink>* n = Stack->GetFirstItem(); n; n = n->next) {
        KytLink* link = n->item;
        if (!link || Hidden(link) || link->nType == KYT_LINK_NOHANDLE)
            continue;
        // Links of kind 2 show only the handle kinds of ShowMode.
        const bool layered = link->nType == KYT_LINK_PART;
        auto shown = [&](SHOWMODE bit) { return !layered || (ShowMode & bit) != 0; };
        glPushName(KytPickNames::Name(link));
        glPushMatrix();
        if (link->nJointKind == 1 && manipMode == 1 && link->nType == KYT_LINK_NOSIZE &&
            link->manip.nAxis == 2)
            glTranslated(link->mech.vPos.x, link->mech.vPos.y, link->mech.vPos.z);
        else
            KytOgl::MultMatrix(link->mech);
        switch (link->nJointKind) {
        case 2:
        case 7:
            if (shown(SHOWMODE_JOINT_ROTATION))
                MakeJointRotationHandle(link);
            break;
        case 3:
        case 8:
            if (shown(SHOWMODE_JOINT_SLIDE))
                MakeJointSlideHandle(link);
            break;
        case 1:
            if (manipMode == 1) {
                if (shown(SHOWMODE_ROTATION))
                    MakeRotationHandle(link);
            } else if (shown(SHOWMODE_TRANSLATION)) {
                MakeTranslationHandle(link);
            }
            break;
        default: break;
        }
        glPopMatrix();
        glPopName();
    }
    glPopAttrib();
}

void AuxManip::MakeTranslationHandle(KytLink* link)
{
    const float s = link->nType == KYT_LINK_NOSIZE ? 2 * HandleSize : link->GetRadius() * 1.05f;
    if (IsSimple && AxisIndex(link->manip.nAxis) >= 0) {
        MakeSimpleTransHandle(link, s);
        return;
    }
    const float e = std::min(s * 0.005f, HandleSize * 0.1f);
    const float h = std::min(s * 0.05f, HandleSize);
    link->manip.GetData(Matrix);
    glPushMatrix();
    glMultMatrixd(Matrix);
    for (int w = 0; w < 3; ++w) {
        glPushName(static_cast<GLuint>(w));
        const bool active = (link->manip.nAxis & (1 << w)) != 0;
        for (int half = 0; half < 2; ++half) {
            const float sign = half == 0 ? -1.0f : 1.0f;
            glPushName(static_cast<GLuint>(half));
            glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE,
                         active ? (half == 0 ? kLightBlue : kMagenta) : kGrey);
            glBegin(GL_TRIANGLES);
            for (int n = 0; n < 3; ++n) {
                if (n == w)
                    continue;
                BarFace(w, n, 1.0f, e, sign * s);
                BarFace(w, n, -1.0f, e, sign * s);
            }
            glEnd();
            glPushMatrix();
            float end[3] = {0, 0, 0};
            end[w] = sign * s;
            glTranslatef(end[0], end[1], end[2]);
            glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kAxisColour[w]);
            KytOgl::DrawBox(h, -h);
            glPopMatrix();
            glPopName();
        }
        glPopName();
    }
    glPopMatrix();
}

void AuxManip::MakeSimpleTransHandle(KytLink* link, float size)
{
    const int w = AxisIndex(link->manip.nAxis);
    if (w < 0)
        return;
    const bool positive = link->manip.bDirection;
    link->manip.GetData(Matrix);
    glPushMatrix();
    glMultMatrixd(Matrix);
    glLineWidth(3);
    // The material goes first, so that the segment is drawn in it.
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, positive ? kMagenta : kLightBlue);
    float end[3] = {0, 0, 0};
    end[w] = (positive ? 1.0f : -1.0f) * size * 100.0f;
    glBegin(GL_LINES);
    glVertex3f(0, 0, 0);
    glVertex3fv(end);
    glEnd();
    glPopMatrix();
}

bool AuxManip::SetMoveVector(KytLink* link, float size, float (*const positions)[3],
                             float* const angles, float* const axis)
{
    axis[0] = axis[1] = axis[2] = 0;
    const float s = size;
    float d1 = s / 2, d2 = s / 2;
    // In simple mode the arrow left out sits on the axis.
    if (IsSimple) {
        if (link->manip.bDirection)
            d2 = 0;
        else
            d1 = 0;
    }
    const float ox = Origin[0], oy = Origin[1], oz = Origin[2];
    auto set = [&](int k, float x, float y, float z) {
        positions[k][0] = x;
        positions[k][1] = y;
        positions[k][2] = z;
    };
    switch (link->manip.nAxis) {
    case 1:
        set(0, ox, oy + s, oz + d1);
        set(1, ox, oy + s, oz - d2);
        angles[0] = 0;
        angles[1] = 180;
        axis[1] = 1;
        return true;
    case 2:
        set(0, ox + d1, oy, oz + s);
        set(1, ox - d2, oy, oz + s);
        angles[0] = 90;
        angles[1] = -90;
        axis[1] = 1;
        return true;
    case 4:
        set(0, ox + s, oy + d1, oz);
        set(1, ox + s, oy - d2, oz);
        angles[0] = -90;
        angles[1] = 90;
        axis[0] = 1;
        return true;
    default: return false;
    }
}

void AuxManip::DrawArrow(KytLink* link, float size)
{
    float positions[2][3], angles[2], axis[3];
    if (!SetMoveVector(link, size, positions, angles, axis))
        return;
    const float c = size * 0.06666667f, shaft = size * 0.006f;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT |
                 GL_LINE_BIT);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glDisable(GL_CULL_FACE);
    const bool direction = link->manip.bDirection;
    const bool draw[2] = {!IsSimple || direction, !IsSimple || !direction};
    for (int k = 0; k < 2; ++k) {
        if (!draw[k])
            continue;
        glPushMatrix();
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, k == 0 ? kMagenta : kLightBlue);
        glTranslatef(positions[k][0], positions[k][1], positions[k][2]);
        glRotatef(angles[k], axis[0], axis[1], axis[2]);
        gluCylinder(Quadric, c, 0, 2 * c, 10, 10);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kWhite);
        glTranslatef(0, 0, -size / 2);
        gluCylinder(Quadric, shaft, shaft, size / 2, 8, 6);
        glPopMatrix();
    }
    glPopAttrib();
}

void AuxManip::MakeRotationHandle(KytLink* link)
{
    const bool noSize = link->nType == KYT_LINK_NOSIZE;
    const float r = noSize ? 2 * HandleSize : link->GetRadius();
    const float t = std::min(r * 0.006f, HandleSize * 0.11f);
    const float b = std::min(r * 0.05f, HandleSize);
    link->manip.GetData(Matrix);
    Origin[0] = Origin[1] = Origin[2] = 0;
    glPushMatrix();
    if (noSize && link->manip.nAxis == 2) {
        switch (KYT_GetUpAxis()) {
        case 1: break;
        case 2:
            glRotatef(90, 0, 1, 0);
            glRotatef(90, 0, 0, 1);
            break;
        default:  // any other answer means x up
            glRotatef(-90, 1, 0, 0);
            glRotatef(-90, 0, 0, 1);
            break;
        }
    } else {
        glMultMatrixd(Matrix);
    }
    for (int w = 0; w < 3; ++w) {
        glPushName(static_cast<GLuint>(w));
        if (link->manip.nAxis == (1 << w)) {
            glLineWidth(5);
            glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kAxisColour[w]);
            for (float sign : {1.0f, -1.0f}) {
                glPushMatrix();
                float at[3] = {Origin[0], Origin[1], Origin[2]};
                at[w] += sign * r;
                glTranslatef(at[0], at[1], at[2]);
                gluSphere(Quadric, b, 20, 20);
                glPopMatrix();
            }
            glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kWhite);
            DrawArrow(link, r);
            glPushMatrix();
            const float turn[3][3] = {{0, 1, 0}, {1, 0, 0}, {1, 0, 0}};
            if (w == 0)
                glRotatef(90, 0, 1, 0);
            else if (w == 1)
                glRotatef(90, 1, 0, 0);
            gluCylinder(Quadric, t, t, r, 8, 6);
            glRotatef(180, turn[w][0], turn[w][1], turn[w][2]);
            gluCylinder(Quadric, t, t, r, 8, 6);
            glPopMatrix();
            DrawCircle(r, w);
        } else {
            glLineWidth(3);
            glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kAxisColour[w]);
            for (float sign : {1.0f, -1.0f}) {
                glPushMatrix();
                float at[3] = {Origin[0], Origin[1], Origin[2]};
                at[w] += sign * r;
                glTranslatef(at[0], at[1], at[2]);
                gluSphere(Quadric, r * 0.0333333f, 20, 20);
                glPopMatrix();
            }
            glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kDarkGrey);
        }
        glPopName();
    }
    glPopMatrix();
}

void AuxManip::DrawCircle(float radius, int axis)
{
    glPushAttrib(GL_LIGHTING_BIT | GL_LINE_BIT);
    glDisable(GL_LIGHTING);
    glLineWidth(4);
    glColor4fv(kMidGrey);
    glBegin(GL_LINE_LOOP);
    for (int i = 0; i < 36; ++i) {
        const float c = radius * afCos[i], s = radius * afSin[i];
        float v[3] = {Origin[0], Origin[1], Origin[2]};
        switch (axis) {
        case 0: v[1] += c, v[2] += s; break;
        case 1: v[0] += s, v[2] += c; break;
        default: v[0] += c, v[1] += s; break;
        }
        glVertex3fv(v);
    }
    glEnd();
    glPopAttrib();
}

void AuxManip::JointFrame(const KytLink* link)
{
    const WqMatrix33D& r = link->jointFrame.mRot;
    const WqVector3D& p = link->jointFrame.vPos;
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            Matrix[j * 4 + i] = r.m[i][j];
    Matrix[12] = p.x;
    Matrix[13] = p.y;
    Matrix[14] = p.z;
    glMultMatrixd(Matrix);
}

void AuxManip::JointRod(const KytLink* link)
{
    const double a = 3.0 * link->GetRadius();
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kWhite);
    gluCylinder(Quadric, a * 0.003, a * 0.003, a, 8, 6);
}

void AuxManip::MakeJointRotationHandle(KytLink* link)
{
    const double a = 3.0 * link->GetRadius();
    glPushMatrix();
    JointFrame(link);
    JointRod(link);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kMagenta);
    glTranslatef(0, 0, static_cast<float>(0.4 * a));
    gluDisk(Quadric, 0.08 * a, 0.1 * a, 30, 10);
    glPopMatrix();
}

void AuxManip::MakeJointSlideHandle(KytLink* link)
{
    glPushMatrix();
    JointFrame(link);
    JointRod(link);
    glPopMatrix();
}

bool AuxManip::GetPickPoint(KytLink* link, WqVector3D& point)
{
    if (!link)
        return false;
    float positions[2][3], angles[2], axis[3];
    if (!SetMoveVector(link, link->GetRadius(), positions, angles, axis))
        return false;
    const WqVector3D local =
        WqVector3D(positions[0][0], positions[0][1], positions[0][2]) + link->manip.GetOrigin();
    point = link->mech.GetAbsPos(link->manip.mOrientation.Multi(local));
    return true;
}
