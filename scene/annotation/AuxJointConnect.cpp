#include "scene/annotation/AuxJointConnect.h"
#include "scene/annotation/AuxWindowGeometry.h"

#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kEpsilon = 2.220446049250313e-16;

// Joint point of a part in the world.
WqVector3D JointPoint(const KytLink* link)
{
    return link->mech.GetAbsPos(link->vJointPoint);
}

void Material(float r, float g, float b)
{
    const float c[4] = {r, g, b, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, c);
}

// Rotation that turns the z axis onto the unit vector u.
void ConeRotation(const WqVector3D& u, WqMatrix33D& r)
{
    const WqVector3D axis(-u.y, u.x, 0.0);
    const double len2 = axis.Length2();
    if (len2 > kEpsilon && std::sqrt(len2) > kEpsilon) {
        r.MakeRotMatrix(u.z, std::sqrt(1.0 - u.z * u.z), axis);
        return;
    }
    // Along z itself: as it is, or turned over about x.
    r.SetIdentity();
    if (u.z < 0.0) {
        r.m[1][1] = -1.0;
        r.m[2][2] = -1.0;
    }
}

} // namespace

AuxJointConnect::AuxJointConnect() = default;

AuxJointConnect::AuxJointConnect(unsigned int id) : AuxAnnotate(id, nullptr) {}

AuxJointConnect::AuxJointConnect(const AuxJointConnect* source) : AuxAnnotate(source)
{
    if (source)
        bDrawLabel = source->bDrawLabel;
}

AuxJointConnect::AuxJointConnect(const AuxJointConnect& other)
    : AuxAnnotate(other), fConeSize(other.fConeSize), bDrawLabel(other.bDrawLabel)
{
    Joints.RemoveAll();
    CopyEntries(other);
}

AuxJointConnect& AuxJointConnect::operator=(const AuxJointConnect& other)
{
    if (this == &other)
        return *this;
    GLUquadric* own = pQuadric;
    AuxAnnotate::operator=(other);
    pQuadric = own;
    fConeSize = other.fConeSize;
    bDrawLabel = other.bDrawLabel;
    ClearData();
    CopyEntries(other);
    return *this;
}

AuxJointConnect::~AuxJointConnect()
{
    ClearData();
    if (pQuadric)
        gluDeleteQuadric(pQuadric);
}

void AuxJointConnect::CopyEntries(const AuxJointConnect& other)
{
    for (KytItem<AuxJointConnectData>* n = other.Joints.GetFirstItem(); n; n = n->next)
        Joints.Append(new AuxJointConnectData(*n->item));
}

void AuxJointConnect::Destroy()
{
    if (pQuadric) {
        gluDeleteQuadric(pQuadric);
        pQuadric = nullptr;
    }
    AuxAnnotate::Destroy();
}

bool AuxJointConnect::IsDraw() const
{
    return KytContents::IsDraw() && Joints.GetCount() > 0;
}

void AuxJointConnect::Create(KytScene* scene)
{
    if (!pQuadric)
        pQuadric = gluNewQuadric();
    if (pQuadric)
        gluQuadricDrawStyle(pQuadric, GLU_FILL);
    if (scene)
        FitView(scene->GetViewPort());
}

void AuxJointConnect::FitView(const KytViewPort* viewport)
{
    if (viewport)
        fConeSize = static_cast<float>(viewport->GetViewRadius() * 0.025);
}

KytAuxContents* AuxJointConnect::Duplicate()
{
    return new AuxJointConnect(this);
}

void AuxJointConnect::Draw()
{
    if (!IsDraw())
        return;
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_LINE_BIT);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glEnable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    for (KytItem<AuxJointConnectData>* n = Joints.GetFirstItem(); n; n = n->next) {
        const AuxJointConnectData& e = *n->item;
        if (!e.bDraw || !e.pLink1 || !e.pLink2)
            continue;
        const WqVector3D pa = JointPoint(e.pLink1), pb = JointPoint(e.pLink2);
        if (e.bActive)
            Material(1.0f, 1.0f, 1.0f);
        else
            Material(0.7f, 0.7f, 0.7f);
        if (!e.pRelation) {
            glEnable(GL_LINE_STIPPLE);
            glLineStipple(3, 0xAAAA);
        }
        glLineWidth(e.bActive ? 4.0f : 2.0f);
        glBegin(GL_LINES);
        glVertex3d(pa.x, pa.y, pa.z);
        glVertex3d(pb.x, pb.y, pb.z);
        glEnd();
        if (!e.pRelation)
            glDisable(GL_LINE_STIPPLE);

        WqVector3D u = pb - pa;
        const double len2 = u.Length2();
        if (!(len2 > kEpsilon) || !(std::sqrt(len2) > kEpsilon) || !pQuadric)
            continue;
        u = u * (1.0 / std::sqrt(len2));
        WqMatrix33D r;
        ConeRotation(u, r);
        if (e.bActive)
            Material(1.0f, 0.0f, 0.0f);
        else
            Material(1.0f, 1.0f, 0.0f);
        const WqVector3D at = pb - u * 6.0;
        double m[16] = {};
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i)
                m[j * 4 + i] = r.m[i][j];
        m[12] = at.x;
        m[13] = at.y;
        m[14] = at.z;
        m[15] = 1.0;
        glPushMatrix();
        glMultMatrixd(m);
        gluCylinder(pQuadric, fConeSize, 0.0, 3.0 * fConeSize, 8, 6);
        glPopMatrix();
    }
    glPopAttrib();
}

std::string AuxJointConnect::LabelText(const KytRelElement* relation)
{
    // Code page 932 texts of the constraint kinds, from -1 (not defined) to 5.
    static const char* const names[] = {
        "\x96\xa2\x92\xe8\x8b\x60",          // not defined
        "\x8e\x95\x8e\xd4",                  // gear
        "\x8d\x61/\x8a\x4f\x8e\xfc",         // groove / outline
        "\x83\x73\x83\x93\x8d\x53\x91\xa9",  // pin
        "\x95\xfb\x8c\xfc\x8d\x53\x91\xa9",  // direction
        "\x8e\xe8\x93\xae",                  // manual
        "\x92\xbc\x90\xfc\x8d\x53\x91\xa9",  // straight line
    };
    const int type = relation ? relation->nType : -1;
    std::string text = type >= -1 && type <= 5 ? names[type + 1] : "";
    if (relation && relation->nCount > 0)
        text += "+C";
    return text;
}

bool AuxJointConnect::GetWindowPos(KytLink* a, KytLink* b, KytRelElement* relation, HDC dc,
                                   int& x, int& y, char* text, SIZE* size)
{
    const WqVector3D mid = (JointPoint(a) + JointPoint(b)) * 0.5;
    double wx = 0, wy = 0, wz = 0;
    gluProject(mid.x, mid.y, mid.z, modelM, projM, viewP, &wx, &wy, &wz);
    x = aux_window::WindowInt(wx);
    y = viewP[3] - aux_window::WindowInt(wy);
    const std::string label = LabelText(relation);
    std::memset(text, 0, LABEL_SIZE);
    std::memcpy(text, label.data(), std::min<size_t>(label.size(), LABEL_SIZE - 1));
    if (size)
        GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)) + 1, size);
    return true;
}

void AuxJointConnect::LabelBox(int x, int y, const SIZE& size, RECT& box)
{
    box.left = x - size.cx / 2 - 5;
    box.top = y - size.cy - 3;
    box.right = x + size.cx / 2;
    box.bottom = y + 3;
}

void AuxJointConnect::DrawGDI(KytOgl* ogl)
{
    if (!IsDraw() || !bDrawLabel || !ogl)
        return;
    HDC dc = ogl->GetHdc();
    const COLORREF oldColour = SetTextColor(dc, 0xFFFFFF);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    for (KytItem<AuxJointConnectData>* n = Joints.GetFirstItem(); n; n = n->next) {
        AuxJointConnectData& e = *n->item;
        if (!e.bDraw || !e.pLink1 || !e.pLink2)
            continue;
        int x = 0, y = 0;
        char text[LABEL_SIZE];
        SIZE size{};
        GetWindowPos(e.pLink1, e.pLink2, e.pRelation, dc, x, y, text, &size);
        const int len = static_cast<int>(std::strlen(text));
        const int left = x - size.cx / 2, top = y - size.cy;
        if (e.bActive) {
            RECT box;
            LabelBox(x, y, size, box);
            DrawEdge(dc, &box, EDGE_ETCHED, BF_RECT);
            SetTextColor(dc, 0xFF0000);
            TextOutA(dc, left + 1, top - 1, text, len);
            SetTextColor(dc, 0x00FF00);
            TextOutA(dc, left, top, text, len);
            SetTextColor(dc, 0xFFFFFF);
        } else {
            SetTextColor(dc, 0x0A0A0A);
            TextOutA(dc, left + 1, top - 1, text, len);
            SetTextColor(dc, 0xFFFFFF);
            TextOutA(dc, left, top, text, len);
        }
    }
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldColour);
}

bool AuxJointConnect::Pick(KytOgl* ogl, int px, int py)
{
    if (!IsDraw() || !bDrawLabel || !ogl)
        return false;
    HDC dc = ogl->GetHdc();
    for (KytItem<AuxJointConnectData>* n = Joints.GetFirstItem(); n; n = n->next) {
        const AuxJointConnectData& e = *n->item;
        if (!e.bDraw || !e.pLink1 || !e.pLink2)
            continue;
        int x = 0, y = 0;
        char text[LABEL_SIZE];
        SIZE size{};
        GetWindowPos(e.pLink1, e.pLink2, e.pRelation, dc, x, y, text, &size);
        RECT box;
        LabelBox(x, y, size, box);
        if (px < box.left || px > box.right || py < box.top || py > box.bottom)
            continue;
        ReverseActiveState(e.pLink1, e.pLink2);
        return true;
    }
    return false;
}

AuxJointConnectData* AuxJointConnect::Find(const KytLink* a, const KytLink* b) const
{
    for (KytItem<AuxJointConnectData>* n = Joints.GetFirstItem(); n; n = n->next)
        if (n->item->Matches(a, b))
            return n->item;
    return nullptr;
}

bool AuxJointConnect::AddTarget(KytLink* a, KytLink* b, KytRelElement* relation, bool active,
                                bool draw)
{
    if (Find(a, b))
        return false;
    auto* e = new AuxJointConnectData;
    e->pLink1 = a;
    e->pLink2 = b;
    e->pRelation = relation;
    e->bActive = active;
    e->bDraw = draw;
    Joints.Append(e);
    return true;
}

bool AuxJointConnect::RemoveTarget(KytLink* a, KytLink* b)
{
    AuxJointConnectData* e = Find(a, b);
    if (!e)
        return false;
    Joints.Remove(e);
    delete e;
    return true;
}

bool AuxJointConnect::SetRelation(KytLink* a, KytLink* b, KytRelElement* relation)
{
    AuxJointConnectData* e = Find(a, b);
    if (!e)
        return false;
    e->pRelation = relation;
    return true;
}

void AuxJointConnect::ReverseActiveState(const KytLink* a, const KytLink* b)
{
    for (KytItem<AuxJointConnectData>* n = Joints.GetFirstItem(); n; n = n->next)
        n->item->bActive = n->item->Matches(a, b);
}

void AuxJointConnect::SetDrawFlag(const KytLink* a, bool flag)
{
    for (KytItem<AuxJointConnectData>* n = Joints.GetFirstItem(); n; n = n->next)
        if (n->item->pLink1 == a || n->item->pLink2 == a)
            n->item->bDraw = flag;
}

void AuxJointConnect::SetDrawFlag(const KytLink* a, const KytLink* b, bool flag)
{
    for (KytItem<AuxJointConnectData>* n = Joints.GetFirstItem(); n; n = n->next) {
        AuxJointConnectData& e = *n->item;
        if ((e.pLink1 == a && e.pLink2 == b) || (e.pLink1 == b && e.pLink2 == a)) {
            e.bDraw = flag;
            return;
        }
    }
}

bool AuxJointConnect::SetDrawData(const KytRelElement* relation, bool flag)
{
    for (KytItem<AuxJointConnectData>* n = Joints.GetFirstItem(); n; n = n->next)
        if (n->item->pRelation == relation) {
            n->item->bDraw = flag;
            return true;
        }
    return false;
}

bool AuxJointConnect::GetActive(KytLink** a, KytLink** b) const
{
    for (KytItem<AuxJointConnectData>* n = Joints.GetFirstItem(); n; n = n->next)
        if (n->item->bActive) {
            if (a)
                *a = n->item->pLink1;
            if (b)
                *b = n->item->pLink2;
            return true;
        }
    return false;
}

void AuxJointConnect::AllHide()
{
    for (KytItem<AuxJointConnectData>* n = Joints.GetFirstItem(); n; n = n->next)
        n->item->bDraw = false;
}

void AuxJointConnect::ClearData()
{
    while (AuxJointConnectData* e = Joints.Pop())
        delete e;
    Joints.RemoveAll();
}
