#include "scene/annotation/AuxMeasure2Point.h"
#include "scene/annotation/AuxWindowGeometry.h"

#include "platform/kernel/WqMatrix33D.h"
#include "scene/view/KernelLinks.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace kyt_links;

namespace {
constexpr double kTiny = 2.220446e-16;
constexpr double kEps = 1.1920929e-7;

bool MarkedOnParentChain(const KytLink* link)
{
    for (const KytLink* l = link; l; l = Parent(l))
        if (HasTargetMark(l))
            return true;
    return false;
}

bool MarkedInSubtree(const KytLink* first)
{
    for (const KytLink* l = first; l; l = NextSibling(l))
        if (HasTargetMark(l) || MarkedInSubtree(FirstChild(l)))
            return true;
    return false;
}

// The show-target test of a part: the mark on itself or a parent, or below a datum link.
bool Marked(const KytLink* link)
{
    if (!link)
        return false;
    if (MarkedOnParentChain(link))
        return true;
    return LinkType(link) == 256 && MarkedInSubtree(FirstChild(link));
}

// Placement of a rotation and an origin as a GL matrix.
void MultFrame(const WqMatrix33D& m, const WqVector3D& origin)
{
    double gl[16] = {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            gl[j * 4 + i] = m.m[i][j];
    gl[12] = origin.x;
    gl[13] = origin.y;
    gl[14] = origin.z;
    gl[15] = 1.0;
    glMultMatrixd(gl);
}

// Length of a difference, 0 when its square is not above 2.220446e-16; without overflow for
// far-apart points, so that a huge distance still has its value and text.
double Distance(const WqVector3D& d)
{
    const double l = std::hypot(d.x, d.y, d.z);
    return l * l > kTiny ? l : 0.0;
}

void Segment(const WqVector3D& a, const WqVector3D& b)
{
    KytOgl::Vertex3(a);
    KytOgl::Vertex3(b);
}

void EdgeSegment(const float* start, const float* end)
{
    if (!start || !end)
        return;
    glBegin(GL_LINES);
    glVertex3fv(start);
    glVertex3fv(end);
    glEnd();
}

void WindowSegment(HDC dc, int x0, int y0, int x1, int y1)
{
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction

AuxMeasure2Point::AuxMeasure2Point() = default;

AuxMeasure2Point::AuxMeasure2Point(unsigned int id, KytLink* link, WqVector3D& point,
                                   float* edgeStart, float* edgeEnd)
    : AuxAnnotate(id, link), vFirstPoint(point)
{
    pEdgeStart[0] = edgeStart;
    pEdgeEnd[0] = edgeEnd;
}

AuxMeasure2Point::AuxMeasure2Point(const AuxMeasure2Point* source) : AuxAnnotate(source)
{
    if (source)
        CopyOwn(*source);
}

AuxMeasure2Point::AuxMeasure2Point(const AuxMeasure2Point& other) : AuxAnnotate(other)
{
    CopyOwn(other);
}

AuxMeasure2Point& AuxMeasure2Point::operator=(const AuxMeasure2Point& other)
{
    if (this != &other) {
        AuxAnnotate::operator=(other);
        CopyOwn(other);
    }
    return *this;
}

// Every own field but the quadric, which stays with the object that made it.
void AuxMeasure2Point::CopyOwn(const AuxMeasure2Point& o)
{
    pSecondLink = o.pSecondLink;
    vFirstPoint = o.vFirstPoint;
    vEndPos = o.vEndPos;
    vFirstEnd = o.vFirstEnd;
    dDistance = o.dDistance;
    nPairState = o.nPairState;
    std::memcpy(szDistance, o.szDistance, sizeof szDistance);
    fMarkSize = o.fMarkSize;
    for (int i = 0; i < 2; ++i) {
        pEdgeStart[i] = o.pEdgeStart[i];
        pEdgeEnd[i] = o.pEdgeEnd[i];
    }
}

AuxMeasure2Point::~AuxMeasure2Point()
{
    // A quadric is plain memory: freeing it needs no context.
    if (pQuadric)
        gluDeleteQuadric(pQuadric);
}

void AuxMeasure2Point::Destroy()
{
    AuxAnnotate::Destroy();
    if (pQuadric) {
        gluDeleteQuadric(pQuadric);
        pQuadric = nullptr;
    }
}

void AuxMeasure2Point::Create(KytScene* scene)
{
    if (!pQuadric)
        pQuadric = gluNewQuadric();
    if (scene)
        FitView(scene->GetViewPort());
}

void AuxMeasure2Point::FitView(const KytViewPort* viewport)
{
    if (viewport)
        fMarkSize = static_cast<float>(viewport->GetViewRadius() * 0.03);
}

KytAuxContents* AuxMeasure2Point::Duplicate()
{
    return new AuxMeasure2Point(this);
}

// ---------------------------------------------------------------------------------------------
// State

bool AuxMeasure2Point::PassesTargetMode() const
{
    return Marked(pTargetLink) || Marked(pSecondLink);
}

bool AuxMeasure2Point::IsDraw() const
{
    if (KytScene::bShowTargetLink && !PassesTargetMode())
        return false;
    if (!KytContents::IsDraw() || nPairState <= 0)
        return false;
    if (!pTargetLink || !IsVisibleInLayer(pTargetLink))
        return false;
    return pSecondLink && IsVisibleInLayer(pSecondLink) && bSubDraw;
}

bool AuxMeasure2Point::IsTargetLink(KytLink* link) const
{
    return link == pTargetLink || link == pSecondLink;
}

WqVector3D AuxMeasure2Point::GetFirstPoint()
{
    return vFirstPoint;
}

KytLink* AuxMeasure2Point::GetSecondLink() const
{
    return pSecondLink;
}

void AuxMeasure2Point::SetEndPos(const WqVector3D& pos)
{
    vEndPos = pos;
}

void AuxMeasure2Point::GetEndPos(WqVector3D& out) const
{
    out = vEndPos;
}

bool AuxMeasure2Point::CopyEndPos(const AuxAnnotate* other)
{
    const auto* source = dynamic_cast<const AuxMeasure2Point*>(other);
    if (!source)
        return false;
    vEndPos = source->vEndPos;
    return true;
}

WqVector3D AuxMeasure2Point::World(const KytLink* link, const WqVector3D& p)
{
    return link ? WorldPlacement(link).GetAbsPos(p) : p;
}

// ---------------------------------------------------------------------------------------------
// Measuring

double AuxMeasure2Point::SetPair(KytLink* link, WqVector3D& point, float* edgeStart,
                                 float* edgeEnd)
{
    // Without both parts there is nothing to measure between.
    if (!link || !pTargetLink)
        return 0.0;
    pEdgeStart[1] = edgeStart;
    pEdgeEnd[1] = edgeEnd;
    pSecondLink = link;
    vSecondPoint = point;
    GetPoints(vFirstPoint, vSecondPoint, vFirstEnd, vBalloonPos);
    CalcDistance();
    nPairState = 1;
    return dDistance;
}

double AuxMeasure2Point::GetPoints(const WqVector3D& first, const WqVector3D& second,
                                   WqVector3D& worldFirst, WqVector3D& worldSecond)
{
    if (!pTargetLink || !pSecondLink)
        return 0.0;
    worldFirst = World(pTargetLink, first);
    worldSecond = World(pSecondLink, second);
    return Distance(worldSecond - worldFirst);
}

void AuxMeasure2Point::GetPoints2(WqVector3D& firstWorld, WqVector3D& secondWorld,
                                  WqVector3D& firstEnd, WqVector3D& secondEnd)
{
    firstWorld = World(pTargetLink, vFirstPoint);
    secondWorld = World(pSecondLink, vSecondPoint);
    firstEnd = firstWorld + vEndPos;
    secondEnd = secondWorld + vEndPos;
}

void AuxMeasure2Point::FormatDistance(double distance)
{
    const int n = std::snprintf(szDistance, sizeof szDistance, "%.2lf mm", distance);
    if (n < 0 || n >= static_cast<int>(sizeof szDistance))
        std::snprintf(szDistance, sizeof szDistance, "%.6le mm", distance);
}

void AuxMeasure2Point::CalcDistance()
{
    const double l = Distance(vBalloonPos - vFirstEnd);
    if (l == dDistance)
        return;
    dDistance = l;
    FormatDistance(l);
}

bool AuxMeasure2Point::MoveEndPos(const WqVector3D& delta, bool keepPerpendicular)
{
    vEndPos += delta;
    if (keepPerpendicular) {
        const WqVector3D d = World(pSecondLink, vSecondPoint) - World(pTargetLink, vFirstPoint);
        const double d2 = d.Length2();
        if (d2 > kEps)
            vEndPos -= d * (d.Dot(vEndPos) / d2);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Drawing

void AuxMeasure2Point::DrawPoint()
{
    if (!pTargetLink)
        return;
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POINT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glPointSize(5.0f);
    glPushMatrix();
    KytOgl::MultMatrix(WorldPlacement(pTargetLink));
    glColor3f(0.0f, 1.0f, 1.0f);
    EdgeSegment(pEdgeStart[0], pEdgeEnd[0]);
    glColor3f(0.9f, 0.9f, 0.0f);
    glBegin(GL_POINTS);
    KytOgl::Vertex3(vFirstPoint);
    glEnd();
    if (pSecondLink) {
        if (pSecondLink != pTargetLink) {
            glPopMatrix();
            glPushMatrix();
            KytOgl::MultMatrix(WorldPlacement(pSecondLink));
        }
        EdgeSegment(pEdgeStart[1], pEdgeEnd[1]);
        glBegin(GL_POINTS);
        KytOgl::Vertex3(vSecondPoint);
        glEnd();
    }
    glPopMatrix();
    glPopAttrib();
}

void AuxMeasure2Point::Draw()
{
    if (nPairState == 0) {
        DrawPoint();
        return;
    }
    if (!IsDraw())
        return;
    WqVector3D a, b;
    GetPoints2(a, b, vFirstEnd, vBalloonPos);
    const WqVector3D e1 = a + (vFirstEnd - a) * 1.06;
    const WqVector3D e2 = b + (vBalloonPos - b) * 1.06;

    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POINT_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glColor3f(0.6f, 0.6f, 0.6f);
    glBegin(GL_LINES);
    Segment(a, e1);
    Segment(vFirstEnd, vBalloonPos);
    Segment(e2, b);
    glEnd();
    glPointSize(5.0f);
    glColor3f(0.9f, 0.9f, 0.0f);
    glBegin(GL_POINTS);
    KytOgl::Vertex3(a);
    KytOgl::Vertex3(b);
    glEnd();
    if (pTargetLink) {
        glColor3f(0.0f, 1.0f, 1.0f);
        glPushMatrix();
        KytOgl::MultMatrix(WorldPlacement(pTargetLink));
        EdgeSegment(pEdgeStart[0], pEdgeEnd[0]);
        if (pSecondLink && pSecondLink != pTargetLink) {
            glPopMatrix();
            glPushMatrix();
            KytOgl::MultMatrix(WorldPlacement(pSecondLink));
        }
        EdgeSegment(pEdgeStart[1], pEdgeEnd[1]);
        glPopMatrix();
    }
    glPopAttrib();

    // Arrowheads: cones with their tips on the dimension line's ends.
    const WqVector3D d = vFirstEnd - vBalloonPos;
    const double l2 = d.Length2();
    if (!(l2 > kTiny) || !pQuadric)
        return;
    const double l = std::sqrt(l2);
    const WqVector3D u = d * (1.0 / l);
    const double r = std::min(l * 0.125, static_cast<double>(fMarkSize));
    const double h = 3.0 * r;
    WqMatrix33D m;
    if (!MakeMatrixZ(u, m))
        return;
    const float cyan[4] = {0.0f, 1.0f, 1.0f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, cyan);
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    gluQuadricOrientation(pQuadric, GLU_OUTSIDE);
    glPushMatrix();
    MultFrame(m, vFirstEnd - u * h);
    gluCylinder(pQuadric, r, 0.0, h, 10, 10);
    glPopMatrix();
    WqMatrix33D back;
    if (MakeMatrixZ(-u, back)) {
        glPushMatrix();
        MultFrame(back, vBalloonPos + u * h);
        gluCylinder(pQuadric, r, 0.0, h, 10, 10);
        glPopMatrix();
    }
    glPopAttrib();
}

// ---------------------------------------------------------------------------------------------
// Label, pick and drag

bool AuxMeasure2Point::GetWindowPos(HDC dc, int& x, int& y, SIZE* size)
{
    double ax = 0, ay = 0, az = 0, bx = 0, by = 0, bz = 0;
    gluProject(vFirstEnd.x, vFirstEnd.y, vFirstEnd.z, modelM, projM, viewP, &ax, &ay, &az);
    gluProject(vBalloonPos.x, vBalloonPos.y, vBalloonPos.z, modelM, projM, viewP, &bx, &by, &bz);
    x = aux_window::WindowInt((ax + bx) / 2.0);
    y = viewP[3] - aux_window::WindowInt((ay + by) / 2.0);
    SIZE local{};
    // The extent runs over the terminating zero too, as the balloons' does.
    GetTextExtentPoint32A(dc, szDistance, static_cast<int>(std::strlen(szDistance)) + 1,
                          size ? size : &local);
    return true;
}

void AuxMeasure2Point::DrawGDI(KytOgl* ogl)
{
    if (!ogl || !IsDraw())
        return;
    if (pTargetLink != pSecondLink)
        CalcDistance();
    HDC dc = ogl->GetHdc();
    int x = 0, y = 0;
    SIZE size{};
    GetWindowPos(dc, x, y, &size);
    const COLORREF text = SetTextColor(dc, 0xFFFFFF);
    const COLORREF back = SetBkColor(dc, bPicked ? 0x00009B : 0x009B00);
    TextOutA(dc, x - size.cx / 2, y - size.cy, szDistance,
             static_cast<int>(std::strlen(szDistance)));
    SetBkColor(dc, back);
    SetTextColor(dc, text);
}

bool AuxMeasure2Point::Pick(KytOgl* ogl, int px, int py)
{
    if (!ogl || !IsDraw())
        return false;
    int x = 0, y = 0;
    SIZE size{};
    GetWindowPos(ogl->GetHdc(), x, y, &size);
    // The box is twice the label's width, as the host has always had it.
    return x - size.cx <= px && px <= x + size.cx && y - size.cy <= py && py <= y;
}

// Feedback of a drag: the two window segments in ends[0]-ends[1] and ends[2]-ends[3] (world)
// and the label, drawn inverted over the frame and erased at the next call.
void AuxMeasure2Point::DragFeedback(KytOgl* ogl, const WqVector3D* ends, bool recalc)
{
    if (!ogl || !IsDraw())
        return;
    if (ogl->GetHwnd() != KytOgl::hWndNow)
        ogl->MakeCurrent();
    HFONT previousFont = ogl->ChangeFont(&MsgFont);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelM);
    glGetDoublev(GL_PROJECTION_MATRIX, projM);
    glGetIntegerv(GL_VIEWPORT, viewP);
    if (recalc)
        CalcDistance();
    HDC dc = ogl->GetHdc();
    const int rop = SetROP2(dc, R2_NOT);
    HPEN pen = CreatePen(PS_SOLID, 1, 0x9A9A9A);
    HGDIOBJ previousPen = quor::wgl::SelectObject(dc, pen);
    bool restored = false;
    if (hBackBitmap) {
        WindowSegment(dc, anLineX[0], anLineY[0], anLineX[1], anLineY[1]);
        WindowSegment(dc, anLineX[2], anLineY[2], anLineX[3], anLineY[3]);
        RestoreBackground(dc);
        restored = true;
    }
    int x = 0, y = 0;
    SIZE size{};
    GetWindowPos(dc, x, y, &size);
    rcBack[0] = x - size.cx / 2;
    rcBack[1] = y - size.cy;
    rcBack[2] = size.cx;
    rcBack[3] = size.cy;
    CaptureBackground(dc, rcBack[0], rcBack[1], rcBack[2], rcBack[3]);
    if (restored) {
        for (int i = 0; i < 4; ++i)
            Get2D(ends[i], anLineX[i], anLineY[i]);
        WindowSegment(dc, anLineX[0], anLineY[0], anLineX[1], anLineY[1]);
        WindowSegment(dc, anLineX[2], anLineY[2], anLineX[3], anLineY[3]);
        // The raster mode is for the segments: the label is drawn as it is.
        SetROP2(dc, rop);
        const COLORREF text = SetTextColor(dc, 0xFFFFFF);
        const COLORREF back = SetBkColor(dc, 0x0080FF);
        TextOutA(dc, rcBack[0], rcBack[1], szDistance,
                 static_cast<int>(std::strlen(szDistance)));
        SetBkColor(dc, back);
        SetTextColor(dc, text);
    }
    quor::wgl::SelectObject(dc, previousPen);
    DeleteObject(pen);
    SetROP2(dc, rop);
    if (previousFont)
        ogl->SelectObject(previousFont);
}

void AuxMeasure2Point::Dragging(KytOgl* ogl)
{
    if (!ogl || !IsDraw())
        return;
    WqVector3D a, b;
    GetPoints2(a, b, vFirstEnd, vBalloonPos);
    const WqVector3D ends[4] = {a, a + (vFirstEnd - a) * 1.06, b + (vBalloonPos - b) * 1.06, b};
    DragFeedback(ogl, ends, pTargetLink != pSecondLink);
}

// ---------------------------------------------------------------------------------------------
// Datum point

AuxMeasureDatumPoint::AuxMeasureDatumPoint(unsigned int id, KytLink* link, WqVector3D& point)
    : AuxMeasure2Point(id, link, point, nullptr, nullptr)
{
}

AuxMeasureDatumPoint::AuxMeasureDatumPoint(const AuxMeasureDatumPoint* source)
    : AuxMeasure2Point(source)
{
}

KytAuxContents* AuxMeasureDatumPoint::Duplicate()
{
    return new AuxMeasureDatumPoint(this);
}

WqVector3D AuxMeasureDatumPoint::DatumNormal() const
{
    return pTargetLink ? WorldPlacement(pTargetLink).mRot.Multi({0, 0, 1}) : WqVector3D();
}

WqVector3D AuxMeasureDatumPoint::DatumOrigin() const
{
    return pTargetLink ? WorldPlacement(pTargetLink).vPos : WqVector3D();
}

WqVector3D AuxMeasureDatumPoint::FootOnDatum(const WqVector3D& p) const
{
    const WqVector3D n = DatumNormal();
    return p + n * (n.Dot(DatumOrigin()) - n.Dot(p));
}

double AuxMeasureDatumPoint::SetPair(KytLink* link, WqVector3D& point)
{
    if (!link || !pTargetLink)
        return 0.0;
    pSecondLink = link;
    vSecondPoint = point;
    vEndPos = DatumNormal();
    WqVector3D foot, world;
    const double distance = GetPoints(vFirstPoint, vSecondPoint, foot, world);
    dDistance = distance;
    FormatDistance(distance);
    nPairState = 1;
    // The label shows the side of the plane from the start, not only after a later draw.
    CalcDistance();
    return distance;
}

double AuxMeasureDatumPoint::GetPoints(const WqVector3D& first, const WqVector3D& second,
                                       WqVector3D& foot, WqVector3D& worldSecond)
{
    if (pSecondLink) {
        worldSecond = World(pSecondLink, second);
        foot = FootOnDatum(worldSecond);
    } else {
        foot = first;
        worldSecond = second;
    }
    return Distance(worldSecond - foot);
}

void AuxMeasureDatumPoint::GetPoints2(WqVector3D& firstWorld, WqVector3D& secondWorld,
                                      WqVector3D& firstEnd, WqVector3D& secondEnd)
{
    secondWorld = World(pSecondLink, vSecondPoint);
    secondEnd = secondWorld + vEndPos;
    firstWorld = firstEnd = FootOnDatum(secondEnd);
}

void AuxMeasureDatumPoint::CalcDistance()
{
    if (!pTargetLink)
        return;
    WqVector3D p = vSecondPoint, f = vFirstPoint;
    if (pSecondLink) {
        p = World(pSecondLink, vSecondPoint);
        f = FootOnDatum(p);
    }
    double d = Distance(p - f);
    if ((p - f).Dot(DatumNormal()) < 0.0)
        d = -d;
    if (d == dDistance)
        return;
    dDistance = d;
    FormatDistance(d);
}

bool AuxMeasureDatumPoint::MoveEndPos(const WqVector3D& delta, bool)
{
    const WqVector3D n = DatumNormal();
    const double n2 = n.Length2();
    if (n2 < kTiny)
        return false;
    vEndPos += delta - n * (n.Dot(delta) / n2);
    return true;
}

void AuxMeasureDatumPoint::Scale(double factor)
{
    vSecondPoint *= factor;
}

void AuxMeasureDatumPoint::DrawPoint()
{
    WqVector3D foot, world;
    GetPoints(vFirstPoint, vSecondPoint, foot, world);
    // Before the datum pick the foot is the first pick, held in its part's frame.
    if (!pSecondLink)
        foot = World(pTargetLink, vFirstPoint);
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POINT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glPointSize(5.0f);
    glColor3f(0.9f, 0.9f, 0.0f);
    glBegin(GL_POINTS);
    KytOgl::Vertex3(foot);
    glEnd();
    glPopAttrib();
}

void AuxMeasureDatumPoint::Draw()
{
    if (nPairState == 0) {
        DrawPoint();
        return;
    }
    if (!IsDraw())
        return;
    WqVector3D onPlane, b;
    GetPoints2(onPlane, b, vFirstEnd, vBalloonPos);
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_LINE_BIT | GL_POINT_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_LINES);
    Segment(vFirstEnd, vBalloonPos);
    glEnd();
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0x1111);
    glColor3f(0.6f, 0.6f, 0.6f);
    glBegin(GL_LINES);
    Segment(vBalloonPos, b);
    glEnd();
    glPointSize(5.0f);
    glColor3f(0.9f, 0.9f, 0.0f);
    glBegin(GL_POINTS);
    KytOgl::Vertex3(b);
    glEnd();
    glPopAttrib();

    // The disk on the datum plane where the dimension line starts.
    const WqVector3D v = vFirstEnd - vBalloonPos;
    const double l2 = v.Length2();
    if (!(l2 > kTiny) || !pQuadric)
        return;
    const double l = std::sqrt(l2);
    const double r = std::min(l * 0.05, static_cast<double>(fMarkSize));
    WqMatrix33D m;
    if (!MakeMatrixZ(v * (1.0 / l), m))
        return;
    const float cyan[4] = {0.0f, 1.0f, 1.0f, 1.0f};
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, cyan);
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glPushMatrix();
    MultFrame(m, vFirstEnd);
    gluDisk(pQuadric, 0.0, r, 10, 10);
    glPopMatrix();
    glPopAttrib();
}

void AuxMeasureDatumPoint::Dragging(KytOgl* ogl)
{
    if (!ogl || !IsDraw())
        return;
    WqVector3D onPlane, b;
    GetPoints2(onPlane, b, vFirstEnd, vBalloonPos);
    const WqVector3D ends[4] = {vFirstEnd, vBalloonPos, vBalloonPos, b};
    DragFeedback(ogl, ends, false);
}
