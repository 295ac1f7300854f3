#include "scene/annotation/AuxDatumName.h"

#include "scene/view/KernelLinks.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

double Length(const WqVector3D& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

WqVector3D Scaled(const WqVector3D& v, double f)
{
    return {v.x * f, v.y * f, v.z * f};
}

double Dot(const WqVector3D& a, const WqVector3D& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

WqVector3D Cross(const WqVector3D& a, const WqVector3D& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// v scaled to length s; when v is too short to have a direction, v times s.
WqVector3D ToLength(const WqVector3D& v, double s)
{
    const double len = Length(v);
    if (len <= DBL_EPSILON || len * len <= DBL_EPSILON)
        return Scaled(v, s);
    return Scaled(v, s / len);
}

} // namespace

AuxDatumName::AuxDatumName(const AuxDatumName* source) : AuxAnnotate(source)
{
    if (source) {
        vNamePos = source->vNamePos;
        pViewPort = source->pViewPort;
    }
}

KytAuxContents* AuxDatumName::Duplicate()
{
    return new AuxDatumName(this);
}

void AuxDatumName::Create(KytScene* scene)
{
    if (scene)
        pViewPort = scene->GetViewPort();
}

bool AuxDatumName::IsDraw() const
{
    return m_bDraw && pTargetLink && kyt_links::IsVisibleInLayer(pTargetLink) && bSubDraw;
}

const char* AuxDatumName::Name() const
{
    return pTargetLink ? kyt_links::LinkName(pTargetLink) : nullptr;
}

bool AuxDatumName::Outline(WqVector3D& centre, WqVector3D& u1, WqVector3D& u2,
                           WqVector3D& normal) const
{
    if (!pViewPort || !pViewPort->GetActiveCamera() || !pTargetLink)
        return false;
    const KytMech& m = kyt_links::WorldPlacement(pTargetLink);
    const WqVector3D q = pViewPort->GetActiveCamera()->GetLookAtPosition();
    normal = m.mRot.Multi(WqVector3D(0.0, 0.0, -1.0));
    const double nn = Dot(normal, normal);
    if (nn <= 0.0)
        return false;
    centre = q.Plus(Scaled(normal, Dot(normal, m.vPos.Minus(q)) / nn));
    const double s = 0.8 * pViewPort->GetViewRadius();
    const WqVector3D& n = normal;
    // The world Y axis projected into the plane, unless the plane faces along it.
    WqVector3D y(-n.x * n.y, n.x * n.x + n.z * n.z, -n.y * n.z);
    const double ly = Length(y);
    if (ly <= DBL_EPSILON || ly * ly <= DBL_EPSILON)
        u1 = WqVector3D(s, 0.0, 0.0);
    else
        u1 = Scaled(y, s / ly);
    u2 = ToLength(Cross(n, u1), s);
    return true;
}

void AuxDatumName::DrawOutline(float grey, const WqVector3D& c, const WqVector3D& u1,
                               const WqVector3D& u2)
{
    vNamePos = c.Plus(u1).Minus(u2);
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_LINE_BIT);
    glDisable(GL_LIGHTING);
    glLineWidth(2.0f);
    glColor3f(grey, grey, grey);
    glDisable(GL_DEPTH_TEST);
    glBegin(GL_LINE_LOOP);
    KytOgl::Vertex3(c.Minus(u1).Minus(u2));
    KytOgl::Vertex3(c.Plus(u1).Minus(u2));
    KytOgl::Vertex3(c.Plus(u1).Plus(u2));
    KytOgl::Vertex3(c.Minus(u1).Plus(u2));
    glEnd();
}

void AuxDatumName::Draw()
{
    WqVector3D c, u1, u2, n;
    if (!IsDraw() || !Outline(c, u1, u2, n))
        return;
    DrawOutline(1.0f, c, u1, u2);
    glPopAttrib();
}

bool AuxDatumName::GetWindowPos(HDC dc, int& x, int& y, SIZE* size)
{
    const char* name = Name();
    if (!name)
        return false;
    SIZE local{};
    SIZE& s = size ? *size : local;
    Get2D(vNamePos, x, y);
    GetTextExtentPoint32A(dc, name, static_cast<int>(std::strlen(name)) + 1, &s);
    const int width = viewP[2], height = viewP[3];
    if (x < 0)
        x = 0;
    if (x > width - s.cx)
        x = width - s.cx;
    if (y > height - s.cy)
        y = height - s.cy;
    if (y < s.cy)
        y = s.cy;
    return true;
}

void AuxDatumName::DrawGDI(KytOgl* ogl)
{
    const char* name = Name();
    if (!ogl || !IsDraw() || !name)
        return;
    HDC dc = ogl->GetHdc();
    int x = 0, y = 0;
    SIZE size{};
    GetWindowPos(dc, x, y, &size);
    const COLORREF back = SetBkColor(dc, 0x00FFFF);
    const COLORREF text =
        SetTextColor(dc, kyt_links::HasTargetMark(pTargetLink) ? 0x0000FF : 0xFF0000);
    TextOutA(dc, x, y, name, static_cast<int>(std::strlen(name)));
    SetTextColor(dc, text);
    SetBkColor(dc, back);
}

bool AuxDatumName::Pick(KytOgl* ogl, int px, int py)
{
    const char* name = Name();
    if (!ogl || !IsDraw() || !name || !*name)
        return false;
    int x = 0, y = 0;
    SIZE size{};
    GetWindowPos(ogl->GetHdc(), x, y, &size);
    return x <= px && px <= x + size.cx && y <= py && py <= y + size.cy;
}

// ---------------------------------------------------------------------------------------------

AuxDatumChildName::AuxDatumChildName(unsigned int id, KytLink* link)
    : AuxDatumName(id, link), bShowOffset(true)
{
    std::strcpy(szOffset, "0");
}

AuxDatumChildName::AuxDatumChildName(const AuxDatumChildName* source) : AuxDatumName(source)
{
    if (source) {
        bShowOffset = source->bShowOffset;
        std::memcpy(szOffset, source->szOffset, sizeof(szOffset));
        lfOffset = source->lfOffset;
    }
}

KytAuxContents* AuxDatumChildName::Duplicate()
{
    return new AuxDatumChildName(this);
}

bool AuxDatumChildName::OffsetShown() const
{
    return bShowOffset && pTargetLink && pTargetLink->bDatumOffset;
}

void AuxDatumChildName::FormatOffset(double offset)
{
    // A huge offset in fixed notation would not fit: it falls back to the exponent form.
    const int n = std::snprintf(szOffset, sizeof(szOffset), "%.3lf mm", offset);
    if (n < 0 || n >= static_cast<int>(sizeof(szOffset)))
        std::snprintf(szOffset, sizeof(szOffset), "%.6le mm", offset);
}

void AuxDatumChildName::Draw()
{
    WqVector3D c, u1, u2, n;
    if (!IsDraw() || !Outline(c, u1, u2, n))
        return;
    DrawOutline(0.6f, c, u1, u2);
    if (OffsetShown()) {
        const WqVector3D start = c.Minus(u2);
        vSecondPoint = start;
        glColor3f(1.0f, 1.0f, 0.0f);
        glEnable(GL_LINE_STIPPLE);
        glLineStipple(1, 0x1111);
        const double d = pTargetLink->dDatumOffset;
        if (d != lfOffset) {
            lfOffset = d;
            FormatOffset(d);
        }
        vBalloonPos = start.Plus(Scaled(n, d));
        glBegin(GL_LINES);
        KytOgl::Vertex3(start);
        KytOgl::Vertex3(vBalloonPos);
        glEnd();
    }
    glPopAttrib();
}

bool AuxDatumChildName::GetWindowPos(HDC dc, int& x, int& y, SIZE* size)
{
    SIZE local{};
    SIZE& s = size ? *size : local;
    if (!AuxDatumName::GetWindowPos(dc, x, y, &s))
        return false;
    // Below the corner, still inside the view.
    y += s.cy;
    if (y > viewP[3] - s.cy)
        y = viewP[3] - s.cy;
    return true;
}

void AuxDatumChildName::DrawGDI(KytOgl* ogl)
{
    const char* name = Name();
    if (!ogl || !IsDraw() || !name)
        return;
    HDC dc = ogl->GetHdc();
    int x = 0, y = 0;
    SIZE size{};
    GetWindowPos(dc, x, y, &size);
    COLORREF back = SetBkColor(dc, 0xC8C800);
    COLORREF text =
        SetTextColor(dc, kyt_links::HasTargetMark(pTargetLink) ? 0x0000FF : 0x000000);
    TextOutA(dc, x, y, name, static_cast<int>(std::strlen(name)));
    SetTextColor(dc, text);
    SetBkColor(dc, back);
    if (!OffsetShown())
        return;
    int xs = 0, ys = 0, xe = 0, ye = 0;
    Get2D(vSecondPoint, xs, ys);
    Get2D(vBalloonPos, xe, ye);
    back = SetBkColor(dc, 0x009B00);
    text = SetTextColor(dc, 0xFFFFFF);
    TextOutA(dc, (xs + xe) / 2 - size.cx / 2, (ys + ye) / 2, szOffset,
             static_cast<int>(std::strlen(szOffset)));
    SetTextColor(dc, text);
    SetBkColor(dc, back);
}
