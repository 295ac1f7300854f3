#include "scene/annotation/AuxSectMeasure.h"
#include "scene/annotation/AuxWindowGeometry.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytSectionCut.h"
#include "scene/view/KytViewPort.h"

double AuxSectMeasure::modelM[16] = {};
double AuxSectMeasure::projM[16] = {};
int AuxSectMeasure::viewP[4] = {};

namespace {
constexpr double kTiny = 2.220446e-16;
constexpr double kCos25 = 0.9063077870366499;
constexpr double kSin25 = 0.4226182617406994;
constexpr double kTwoPi = 6.28318530717958;

// Length without overflow for huge coordinates; 0 when its square counts as 0.
double LengthOf(const WqVector3D& v)
{
    const double m = std::fmax(std::fabs(v.x), std::fmax(std::fabs(v.y), std::fabs(v.z)));
    if (m == 0.0 || !std::isfinite(m))
        return m;
    const WqVector3D u = v * (1.0 / m);
    const double l = m * std::sqrt(u.Length2());
    return l * l <= kTiny ? 0.0 : l;
}

// "<prefix><value><suffix>" in `out`; a value too long for fixed notation goes in the
// exponent form, so the text always fits.
template <size_t N>
void FormatLength(char (&out)[N], const char* prefix, double value)
{
    const int n = std::snprintf(out, N, "%s%.2lf mm", prefix, value);
    if (n < 0 || n >= static_cast<int>(N))
        std::snprintf(out, N, "%s%.2le mm", prefix, value);
}

void Vertex(const WqVector3D& p) { glVertex3d(p.x, p.y, p.z); }
}  // namespace

AuxSectMeasure::AuxSectMeasure(unsigned int id) : KytAuxContents(id) {}

AuxSectMeasure::AuxSectMeasure(const AuxSectMeasure* source) : KytAuxContents(source)
{
    if (!source)
        return;
    Mode = source->Mode;
    std::memcpy(Text, source->Text, sizeof Text);
    std::memcpy(Text2, source->Text2, sizeof Text2);
    std::memcpy(Text3, source->Text3, sizeof Text3);
    std::memcpy(Color, source->Color, sizeof Color);
    Font = source->Font;
    Point1 = source->Point1;
    Point2 = source->Point2;
    for (int i = 0; i < 9; ++i)
        WorkPoints[i] = source->WorkPoints[i];
    Point3 = source->Point3;
    Radius = source->Radius;
    CirclePoints = source->CirclePoints;
    LabelAtFirst = source->LabelAtFirst;
    PointDraw = source->PointDraw;
}

AuxSectMeasure::~AuxSectMeasure() = default;

void AuxSectMeasure::Create(KytScene* scene)
{
    if (scene)
        ViewPort = scene->GetViewPort();
}

KytAuxContents* AuxSectMeasure::Duplicate()
{
    return new (std::nothrow) AuxSectMeasure(this);
}

void AuxSectMeasure::Bind(KytScene* scene)
{
    const float* bg = KytScene::afBackColor;
    const float c = bg[0] + bg[1] + bg[2] >= 1.5f ? 0.0f : 1.0f;
    Color[0] = Color[1] = Color[2] = c;
    Font = scene && scene->GetOgl() ? scene->GetOgl()->GetFont() : nullptr;
    ViewPort = scene ? scene->GetViewPort() : nullptr;
}

void AuxSectMeasure::AllocCircle()
{
    if (CirclePoints.empty())
        CirclePoints.assign(CirclePointCount, WqVector3D());
}

void AuxSectMeasure::Create(KytScene* scene, const WqVector3D& a, const WqVector3D& b,
                            bool labelAtFirst)
{
    Bind(scene);
    Mode = 0;
    Point1 = a;
    Point2 = b;
    LabelAtFirst = labelAtFirst;
    FormatLength(Text, "", LengthOf(a - b));
}

void AuxSectMeasure::Create(KytScene* scene, const WqVector3D& a, const WqVector3D& b,
                            const WqVector3D& c, bool labelAtFirst)
{
    Bind(scene);
    Mode = 1;
    Point1 = a;
    Point2 = b;
    Point3 = c;
    LabelAtFirst = labelAtFirst;
    FormatLength(Text, "", LengthOf(a - b));
}

void AuxSectMeasure::Create(KytScene* scene, double r, const WqVector3D& c)
{
    Bind(scene);
    Mode = 2;
    Point1 = c;
    Radius = r;
    AllocCircle();
}

void AuxSectMeasure::Create(KytScene* scene, const WqVector3D& q, double r, const WqVector3D& c,
                            bool radius)
{
    Bind(scene);
    Point1 = c;
    Point2 = q;
    Radius = r;
    AllocCircle();
    if (radius) {
        Mode = 4;
        W(1) = c;
        FormatLength(Text, " R ", r);
    } else {
        Mode = 3;
        W(1) = c * 2.0 - q;
        FormatLength(Text, " ", 2.0 * r);
    }
}

void AuxSectMeasure::Create(KytScene* scene, const WqVector3D& a, const WqVector3D& b)
{
    Bind(scene);
    Mode = 5;
    Point1 = a;
    Point2 = b;
    // The screen shows the two leg lengths; the page has nothing to say at the corner.
    Text[0] = '\0';
    CalcMode5();
}

// ---- calculations ------------------------------------------------------------------------

bool AuxSectMeasure::CalcTriangleParam(const WqVector3D& p, const WqVector3D& q, WqVector3D& a,
                                       WqVector3D& b, WqVector3D& d, double& s) const
{
    const KytCamera* camera = ViewPort ? ViewPort->GetActiveCamera() : nullptr;
    if (!camera)
        return false;
    d = p - q;
    const double l = d.Length();
    s = ViewPort->GetViewRadius();
    if (l > kTiny)
        s = ViewPort->GetViewRadius() * 0.05 / l;
    d = d * s;
    // d turned by +-25 degrees about the viewing direction u: the part along u stays, the
    // rest turns in the screen plane.
    const WqVector3D& u = camera->GetEyeOrientation();
    const WqVector3D along = u * u.Dot(d);
    const WqVector3D turned = (d - along) * kCos25 + along;
    const WqVector3D side = u.Cross(d) * kSin25;
    a = turned + side;
    b = turned - side;
    return true;
}

bool AuxSectMeasure::CalcCircleParam(const WqVector3D& centre, double radius,
                                     std::vector<WqVector3D>& points) const
{
    const KytCamera* camera = ViewPort ? ViewPort->GetActiveCamera() : nullptr;
    if (!camera || static_cast<int>(points.size()) != CirclePointCount)
        return false;
    const WqVector3D& v = camera->GetViewUpVector();
    const WqVector3D& e = camera->GetEyeOrientation();
    const double lv = v.Length();
    if (lv <= kTiny)
        return false;
    const WqVector3D r0 = v * (radius / lv);
    const WqVector3D along = e * e.Dot(r0);
    const WqVector3D across = r0 - along;
    const WqVector3D side = e.Cross(r0);
    points[0] = centre + r0;
    for (int i = 1; i < CirclePointCount; ++i) {
        const double t = i * kTwoPi / CirclePointCount;
        points[i] = centre + along + across * std::cos(t) + side * std::sin(t);
    }
    return true;
}

bool AuxSectMeasure::CalcMode0()
{
    WqVector3D a, b, d;
    double s = 0.0;
    if (!CalcTriangleParam(Point1, Point2, a, b, d, s))
        return false;
    W(1) = Point1 + d * 1.3;
    W(2) = Point2 - d * 1.3;
    W(3) = LabelAtFirst ? W(1) : W(2);
    W(6) = Point1 + a;
    W(7) = Point1 + b;
    W(8) = Point2 - a;
    W(9) = Point2 - b;
    return true;
}

bool AuxSectMeasure::CalcMode1()
{
    WqVector3D a, b, d;
    double s = 0.0;
    if (!CalcTriangleParam(Point1, Point2, a, b, d, s))
        return false;
    W(1) = Point1 + d * 1.3;
    W(2) = Point2 - d * 1.3;
    W(6) = Point1 + a;
    W(7) = Point1 + b;
    W(8) = Point2 - a;
    W(9) = Point2 - b;
    const WqVector3D e = (Point3 - Point2) * s;
    W(3) = Point3 + e;
    W(4) = Point2 - e;
    W(5) = LabelAtFirst ? W(1) : W(2);
    return true;
}

bool AuxSectMeasure::CalcMode2()
{
    AllocCircle();
    return CalcCircleParam(Point1, Radius, CirclePoints);
}

bool AuxSectMeasure::CalcMode3()
{
    WqVector3D a, b, d;
    double s = 0.0;
    if (!CalcMode2() || !CalcTriangleParam(Point2, W(1), a, b, d, s))
        return false;
    if (Radius < 2.0 * d.Length()) {
        // A small circle: arrows outside, the label beyond the first one.
        W(2) = Point2 + d * 1.3;
        W(3) = W(1) - d * 1.3;
        W(4) = W(2);
        W(6) = Point2 + a;
        W(7) = Point2 + b;
        W(8) = W(1) - a;
        W(9) = W(1) - b;
    } else {
        W(2) = Point2;
        W(3) = W(1);
        W(4) = Point1;
        W(6) = Point2 - a;
        W(7) = Point2 - b;
        W(8) = W(1) + a;
        W(9) = W(1) + b;
    }
    return true;
}

bool AuxSectMeasure::CalcMode4()
{
    WqVector3D a, b, d;
    double s = 0.0;
    if (!CalcMode2() || !CalcTriangleParam(Point2, W(1), a, b, d, s))
        return false;
    if (Radius < 2.0 * d.Length()) {
        W(2) = Point2 + d * 1.3;
        W(6) = Point2 + a;
        W(7) = Point2 + b;
    } else {
        W(2) = Point2 + d * 0.5;
        W(6) = Point2 - a;
        W(7) = Point2 - b;
    }
    W(3) = Point1;
    W(4) = W(2);
    return true;
}

bool AuxSectMeasure::CalcMode5()
{
    const KytCamera* camera = ViewPort ? ViewPort->GetActiveCamera() : nullptr;
    if (!camera)
        return false;
    WqVector3D h = camera->GetViewUpVector().Cross(camera->GetEyeOrientation());
    const double lh = h.Length();
    if (lh > kTiny)
        h = h * (1.0 / lh);
    W(1) = Point1 + h * (Point2 - Point1).Dot(h);
    FormatLength(Text2, "", LengthOf(Point1 - W(1)));
    FormatLength(Text3, "", LengthOf(Point2 - W(1)));
    W(2) = W(1);
    W(3) = (Point1 + W(1)) * 0.5;
    W(4) = (Point2 + W(1)) * 0.5;
    return true;
}

bool AuxSectMeasure::Calc()
{
    switch (Mode) {
    case 0: return CalcMode0();
    case 1: return CalcMode1();
    case 2: return CalcMode2();
    case 3: return CalcMode3();
    case 4: return CalcMode4();
    case 5: return CalcMode5();
    default: return false;
    }
}

AuxSectMeasure::Figure AuxSectMeasure::LengthFigure() const
{
    // Modes 0 and 1: a length with its arrows, on the screen and the page alike.
    Figure f;
    auto arrow = [&](const WqVector3D& tip, int w1, int w2) {
        f.triangles.insert(f.triangles.end(), {tip, W(w1), W(w2)});
    };
    f.dashed = {W(1), W(2)};
    if (Mode == 1)
        f.dashed.insert(f.dashed.end(), {W(3), W(4)});
    arrow(Point1, 7, 6);
    arrow(Point2, 9, 8);
    if (PointDraw)
        f.points = {Point1, Point2};
    f.labels.emplace_back(Mode == 0 ? W(3) : W(5), Text);
    return f;
}

AuxSectMeasure::Figure AuxSectMeasure::CircleFigure() const
{
    // Modes 3 and 4: the circle with a diameter (two arrows) or a radius (one).
    Figure f;
    auto arrow = [&](const WqVector3D& tip, int w1, int w2) {
        f.triangles.insert(f.triangles.end(), {tip, W(w1), W(w2)});
    };
    f.dashed = {W(2), W(3)};
    f.circle = true;
    arrow(Point2, 7, 6);
    if (Mode == 3)
        arrow(W(1), 9, 8);
    f.points = {Point1};
    if (PointDraw) {
        f.points.push_back(Point2);
        if (Mode == 3)
            f.points.push_back(W(1));
    }
    f.labels.emplace_back(W(4), Text);
    return f;
}

AuxSectMeasure::Figure AuxSectMeasure::LegsFigure(bool print) const
{
    // Mode 5: the two legs of a right angle; the page draws them solid with H and V.
    Figure f;
    f.points = {Point1, Point2, W(1)};
    if (print) {
        f.legs = {Point1, W(1), Point2};
        f.labels = {{W(2), Text}, {W(3), "H"}, {W(4), "V"}};
    } else {
        f.dashed = {Point1, W(1), Point2, W(1)};
        f.labels = {{W(3), Text2}, {W(4), Text3}};
    }
    return f;
}

AuxSectMeasure::Figure AuxSectMeasure::PlainCircleFigure()
{
    Figure f;
    f.circle = true;
    return f;
}

// ---- drawing -----------------------------------------------------------------------------

void AuxSectMeasure::Draw()
{
    if (!m_bDraw || !Calc())
        return;
    switch (Mode) {
    case 0: DrawMode0(); break;
    case 1: DrawMode1(); break;
    case 2: DrawMode2(); break;
    case 3: DrawMode3(); break;
    case 4: DrawMode4(); break;
    case 5: DrawMode5(); break;
    default: break;
    }
}

void AuxSectMeasure::DrawMode0() { DrawFigure(LengthFigure()); }
void AuxSectMeasure::DrawMode1() { DrawFigure(LengthFigure()); }
void AuxSectMeasure::DrawMode2() { DrawFigure(PlainCircleFigure()); }
void AuxSectMeasure::DrawMode3() { DrawFigure(CircleFigure()); }
void AuxSectMeasure::DrawMode4() { DrawFigure(CircleFigure()); }
void AuxSectMeasure::DrawMode5() { DrawFigure(LegsFigure(false)); }

void AuxSectMeasure::DrawFigure(const Figure& f)
{
    glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT | GL_POINT_BIT | GL_ENABLE_BIT | GL_LIST_BIT);
    // Flat overlay colours, and arrow heads whichever way they wind.
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glColor3fv(Color);
    if (!f.dashed.empty()) {
        glEnable(GL_LINE_STIPPLE);
        glLineWidth(1.0f);
        glLineStipple(1, 0xBBBB);
        glBegin(GL_LINES);
        for (const WqVector3D& p : f.dashed)
            Vertex(p);
        glEnd();
        glDisable(GL_LINE_STIPPLE);
    }
    if (f.circle && static_cast<int>(CirclePoints.size()) == CirclePointCount) {
        // The plain circle keeps whatever stipple pattern was set last.
        glEnable(GL_LINE_STIPPLE);
        glLineWidth(1.0f);
        if (Mode != 2)
            glLineStipple(1, 0xBBBB);
        glBegin(GL_LINE_LOOP);
        for (const WqVector3D& p : CirclePoints)
            Vertex(p);
        glEnd();
        glDisable(GL_LINE_STIPPLE);
    }
    if (Font)
        for (const auto& [at, text] : f.labels) {
            glRasterPos3d(at.x, at.y, at.z);
            glListBase(Font->listBase);
            glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
        }
    if (!f.triangles.empty()) {
        glBegin(GL_TRIANGLES);
        for (const WqVector3D& p : f.triangles)
            Vertex(p);
        glEnd();
    }
    if (!f.points.empty()) {
        glPointSize(4.0f);
        glBegin(GL_POINTS);
        for (const WqVector3D& p : f.points)
            Vertex(p);
        glEnd();
    }
    glPopAttrib();
}

// ---- printing ----------------------------------------------------------------------------

CPoint AuxSectMeasure::Map(const WqVector3D& p, double scale, const CRect& page) const
{
    double wx = 0, wy = 0, wz = 0;
    gluProject(p.x, p.y, p.z, modelM, projM, viewP, &wx, &wy, &wz);
    return {page.left + aux_window::WindowInt(wx * scale),
            page.bottom - aux_window::WindowInt(wy * scale)};
}

void AuxSectMeasure::Print(CDC* dc, const CRect& page, const CRect& view)
{
    double scale = 0.0;
    if (!m_bDraw || !dc || !dc->GetSafeHdc() || !PrintScale(page.Width(), view.Width(), scale) ||
        !Calc())
        return;
    switch (Mode) {
    case 0: PrintMode0(dc, page, scale); break;
    case 1: PrintMode1(dc, page, scale); break;
    case 2: PrintMode2(dc, page, scale); break;
    case 3: PrintMode3(dc, page, scale); break;
    case 4: PrintMode4(dc, page, scale); break;
    case 5: PrintMode5(dc, page, scale); break;
    default: break;
    }
}

void AuxSectMeasure::PrintMode0(CDC* dc, const CRect& page, double scale)
{
    PrintFigure(dc, page, scale, LengthFigure());
}
void AuxSectMeasure::PrintMode1(CDC* dc, const CRect& page, double scale)
{
    PrintFigure(dc, page, scale, LengthFigure());
}
void AuxSectMeasure::PrintMode2(CDC* dc, const CRect& page, double scale)
{
    PrintFigure(dc, page, scale, PlainCircleFigure());
}
void AuxSectMeasure::PrintMode3(CDC* dc, const CRect& page, double scale)
{
    PrintFigure(dc, page, scale, CircleFigure());
}
void AuxSectMeasure::PrintMode4(CDC* dc, const CRect& page, double scale)
{
    PrintFigure(dc, page, scale, CircleFigure());
}
void AuxSectMeasure::PrintMode5(CDC* dc, const CRect& page, double scale)
{
    PrintFigure(dc, page, scale, LegsFigure(true));
}

void AuxSectMeasure::PrintFigure(CDC* dc, const CRect& page, double scale, const Figure& f)
{
    auto map = [&](const WqVector3D& p) { return Map(p, scale, page); };

    const int oldRop = dc->SetROP2(R2_COPYPEN);
    const int oldFill = Mode != 2 ? dc->GetPolyFillMode() : 0;
    CPen dotted(PS_DOT, 1, RGB(0, 0, 0));
    CPen* oldPen = dc->SelectObject(&dotted);
    for (size_t i = 0; i + 1 < f.dashed.size(); i += 2) {
        const CPoint a = map(f.dashed[i]), b = map(f.dashed[i + 1]);
        if (a == b)
            continue;
        dc->MoveTo(a);
        dc->LineTo(b);
    }
    if (f.circle && static_cast<int>(CirclePoints.size()) == CirclePointCount) {
        POINT ring[CirclePointCount + 1];
        for (int i = 0; i < CirclePointCount; ++i)
            ring[i] = map(CirclePoints[i]);
        ring[CirclePointCount] = ring[0];
        dc->Polyline(ring, CirclePointCount + 1);
    }
    if (Mode == 2) {
        dc->SelectObject(oldPen);
        dc->SetROP2(oldRop);
        return;
    }
    if (f.legs.size() == 3) {
        const CPoint p1 = map(f.legs[0]), w1 = map(f.legs[1]), p2 = map(f.legs[2]);
        if (!(w1 == p2)) {
            const POINT legs[3] = {p1, w1, p2};
            dc->Polyline(legs, 3);
        }
    }

    CPen solid(PS_SOLID, 1, RGB(0, 0, 0));
    dc->SelectObject(&solid);
    const HGDIOBJ oldBrush = dc->SelectStockObject(BLACK_BRUSH);
    dc->SetPolyFillMode(ALTERNATE);
    for (size_t i = 0; i + 2 < f.triangles.size(); i += 3) {
        const POINT tri[3] = {map(f.triangles[i]), map(f.triangles[i + 1]),
                              map(f.triangles[i + 2])};
        dc->Polygon(tri, 3);
    }
    for (const WqVector3D& p : f.points) {
        const CPoint c = map(p);
        dc->Ellipse(c.x - 10, c.y + 10, c.x + 10, c.y - 10);
    }

    CFont font;
    const int height = MulDiv(11, -dc->GetDeviceCaps(LOGPIXELSY), 72);
    CFont* oldFont = nullptr;
    int oldBk = 0;
    COLORREF oldText = 0;
    const bool haveFont = font.CreateFont(height, 0, 0, 0, FW_BOLD, 0, 1, 0, SHIFTJIS_CHARSET,
                                          OUT_TT_PRECIS, CLIP_STROKE_PRECIS, DRAFT_QUALITY,
                                          VARIABLE_PITCH | FF_ROMAN, "Century");
    if (haveFont) {
        oldFont = dc->SelectObject(&font);
        oldBk = dc->SetBkMode(TRANSPARENT);
        oldText = dc->SetTextColor(RGB(0, 0, 0));
        for (const auto& [at, text] : f.labels) {
            const int n = static_cast<int>(std::strlen(text));
            if (n == 0)
                continue;
            const CPoint c = map(at);
            const SIZE size = dc->GetTextExtent(text, n);
            dc->TextOut(c.x, c.y - size.cy, text, n);
        }
        dc->SetTextColor(oldText);
        dc->SetBkMode(oldBk);
        if (oldFont)
            dc->SelectObject(oldFont);
    }
    if (oldBrush)
        dc->SelectObject(oldBrush);
    dc->SelectObject(oldPen);
    dc->SetROP2(oldRop);
    dc->SetPolyFillMode(oldFill);
}
