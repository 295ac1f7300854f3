#include "scene/annotation/AuxDimension.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "scene/annotation/AuxDRAnnotate.h"
#include "scene/annotation/CMeasureData.h"
#include "scene/annotation/KytEdge.h"
#include "scene/annotation/KytRidgeLine.h"
#include "scene/view/KernelLinks.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"

using namespace kyt_links;

namespace {
constexpr double kTiny = 1.1920929e-7;
constexpr double kPi = 3.14159265358979323846;
constexpr double kDegrees = 57.29577951308239;

// Code page 932 bytes of the micro sign, the Greek theta and the degree sign.
#define MICRO "\x83\xCA"
#define THETA "\x83\xA6"
#define DEGREE "\x81\x8B"

// Both sets keep the line state: the dashed construction lines set a stipple and width.
constexpr GLbitfield kSetA =
    GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_CURRENT_BIT |
    GL_POINT_BIT | GL_LINE_BIT;
constexpr GLbitfield kSetB =
    GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_LINE_BIT | GL_CURRENT_BIT |
    GL_POINT_BIT;

// Pushes one of the two attribute sets and turns off what overlays never use.
void PushSet(GLbitfield set)
{
    glPushAttrib(set);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
}

void Vertex(const WqVector3D& p) { glVertex3d(p.x, p.y, p.z); }

void Point(const WqVector3D& p, float r, float g, float b)
{
    glPointSize(4.0f);
    glColor3f(r, g, b);
    glBegin(GL_POINTS);
    Vertex(p);
    glEnd();
}

WqVector3D Unit(const WqVector3D& v)
{
    const double l = v.Length();
    return l > 0.0 ? v * (1.0 / l) : v;
}

WqVector3D ToVector(const float* p) { return {p[0], p[1], p[2]}; }

// Length without overflow for huge coordinates.
double LengthOf(const WqVector3D& v)
{
    const double m = std::fmax(std::fabs(v.x), std::fmax(std::fabs(v.y), std::fabs(v.z)));
    if (m == 0.0 || !std::isfinite(m))
        return m;
    return m * std::sqrt((v * (1.0 / m)).Length2());
}

bool MarkedOnParentChain(KytLink* link)
{
    for (KytLink* l = link; l; l = Parent(l))
        if (HasTargetMark(l))
            return true;
    return false;
}

bool MarkedInSubtree(KytLink* first)
{
    for (KytLink* l = first; l; l = NextSibling(l))
        if (HasTargetMark(l) || MarkedInSubtree(FirstChild(l)))
            return true;
    return false;
}

// The target rule of the overlay objects: marked on its parent chain or, for an assembly
// of type 256, somewhere below.
bool Targeted(KytLink* link)
{
    if (MarkedOnParentChain(link))
        return true;
    return LinkType(link) == 256 && MarkedInSubtree(FirstChild(link));
}

// The value text in the fixed form, or in the exponent form when that does not fit.
template <size_t N, class... A>
void FormatValue(char (&out)[N], const char* fixed, const char* exponent, A... values)
{
    const int n = std::snprintf(out, N, fixed, values...);
    if (n < 0 || n >= static_cast<int>(N))
        std::snprintf(out, N, exponent, values...);
}

// A length in millimetres, or in micrometres below 0.01.
template <size_t N>
void FormatLength(char (&out)[N], const char* name, double value, const char* mmGap)
{
    char fixed[32], exponent[32];
    if (value < 0.01) {
        std::snprintf(fixed, sizeof fixed, "%s=%%.2lf" MICRO "m", name);
        std::snprintf(exponent, sizeof exponent, "%s=%%.2le" MICRO "m", name);
        FormatValue(out, fixed, exponent, value * 1000.0);
    } else {
        std::snprintf(fixed, sizeof fixed, "%s=%%.2lf%smm", name, mmGap);
        std::snprintf(exponent, sizeof exponent, "%s=%%.2le%smm", name, mmGap);
        FormatValue(out, fixed, exponent, value);
    }
}
}  // namespace

AuxDimension::AuxDimension(unsigned int id, CMeasureData* measure)
    : AuxAnnotate(id, nullptr), pMeasure(measure), crTitleColor(AuxDRAnnotate::MsgFontColor)
{
    TitleFont.CreateFontIndirect(&AuxDRAnnotate::MsgFont);
}

AuxDimension::AuxDimension(const AuxDimension* source) : AuxAnnotate(source), bOwnMeasure(true)
{
    if (!source) {
        crTitleColor = AuxDRAnnotate::MsgFontColor;
        TitleFont.CreateFontIndirect(&AuxDRAnnotate::MsgFont);
        return;
    }
    if (source->pMeasure)
        pMeasure = new CMeasureData(source->pMeasure);
    std::memcpy(szLabel, source->szLabel, sizeof szLabel);
    std::memcpy(szValue, source->szValue, sizeof szValue);
    std::memcpy(szDRComment, source->szDRComment, sizeof szDRComment);
    uDRID = source->uDRID;
    vLabelOffset = source->vLabelOffset;
    nLineStyle = source->nLineStyle;
    crLineColor = source->crLineColor;
    crTitleColor = source->crTitleColor;
    LOGFONTA lf{};
    source->GetTitleFont(lf);
    TitleFont.CreateFontIndirect(&lf);
}

AuxDimension::~AuxDimension()
{
    if (pMeasure) {
        // A borrowed measurement goes back to "nothing picked", as the host expects.
        if (bOwnMeasure)
            delete pMeasure;
        else
            pMeasure->Init();
    }
    // The lists go with their context; only the record is ours to free here.
    delete pGLFont;
}

KytAuxContents* AuxDimension::Duplicate()
{
    return new (std::nothrow) AuxDimension(this);
}

bool AuxDimension::IsDraw() const
{
    if (!KytAuxContents::IsDraw() || !pMeasure || !bSubDraw || !pMeasure->PointLink[0])
        return false;
    KytLink* l0 = pMeasure->PointLink[0];
    KytLink* l1 = pMeasure->PointLink[1];
    if (!IsVisibleInLayer(l0) || (l1 && !IsVisibleInLayer(l1)))
        return false;
    if (!KytScene::bShowTargetLink)
        return true;
    if (!Targeted(l0))
        return false;
    return !l1 || Targeted(l1);
}

void AuxDimension::Create(KytScene* scene)
{
    if (pGLFont) {
        if (fontContext_ && wglGetCurrentContext() == fontContext_)
            pGLFont->DeleteLists();
        delete pGLFont;
        pGLFont = nullptr;
    }
    if (!scene || !scene->GetOgl())
        return;
    char face[] = "Arial";
    pGLFont = scene->GetOgl()->SetFont(face, 16);
    fontContext_ = wglGetCurrentContext();
}

KytLink* AuxDimension::GetTargetLink() const
{
    return pMeasure ? pMeasure->PointLink[0] : nullptr;
}

KytLink* AuxDimension::GetSecondLink() const
{
    return pMeasure ? pMeasure->PointLink[1] : nullptr;
}

void AuxDimension::Scale(double factor)
{
    if (pMeasure)
        pMeasure->Scale(factor);
}

bool AuxDimension::MoveEndPos(const WqVector3D& delta, bool)
{
    vLabelOffset += delta;
    return true;
}

bool AuxDimension::CopyEndPos(const AuxAnnotate* other)
{
    const auto* dim = dynamic_cast<const AuxDimension*>(other);
    if (!dim)
        return false;
    vLabelOffset = dim->vLabelOffset;
    return true;
}

bool AuxDimension::GetVector(WqVector3D& out) const
{
    out = vLabelOffset;
    return true;
}

void AuxDimension::SetLineColor(unsigned char r, unsigned char g, unsigned char b)
{
    crLineColor = RGB(r, g, b);
}

void AuxDimension::SetTitleColor(unsigned char r, unsigned char g, unsigned char b)
{
    crTitleColor = RGB(r, g, b);
}

void AuxDimension::SetDRComment(const char* comment)
{
    if (!comment)
        return;
    const size_t n = std::strlen(comment);
    size_t keep = n;
    if (n >= sizeof szDRComment) {
        // Whole characters only: a lead byte (0x81-0x9F, 0xE0-0xFC) takes its trail with it.
        keep = 0;
        while (keep < sizeof szDRComment - 1) {
            const auto c = static_cast<unsigned char>(comment[keep]);
            const size_t step = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
            if (keep + step > sizeof szDRComment - 1)
                break;
            keep += step;
        }
    }
    std::memset(szDRComment, 0, sizeof szDRComment);
    std::memcpy(szDRComment, comment, keep);
}

void AuxDimension::GetDRComment(char* out) const
{
    if (out)
        std::memcpy(out, szDRComment, std::strlen(szDRComment) + 1);
}

void AuxDimension::GetTitleFont(LOGFONTA& out) const
{
    out = LOGFONTA{};
    TitleFont.GetLogFont(&out);
}

void AuxDimension::GetTitleFont(CFont& out) const
{
    LOGFONTA lf{};
    GetTitleFont(lf);
    out.CreateFontIndirect(&lf);
}

void AuxDimension::SetTitleFont(const LOGFONTA& lf)
{
    TitleFont.CreateFontIndirect(&lf);
}

void AuxDimension::SetTitleFont(CFont& font)
{
    LOGFONTA lf{};
    if (font.GetLogFont(&lf))
        SetTitleFont(lf);
}

double AuxDimension::GetDistLtoP(int x1, int y1, int x2, int y2, int px, int py)
{
    return AuxAnnotate::GetDistLtoP(double(x1), double(y1), double(x2), double(y2), double(px),
                                    double(py));
}

double AuxDimension::GetDistPtoP(int x1, int y1, int x2, int y2)
{
    return AuxAnnotate::GetDistPtoP(double(x1), double(y1), double(x2), double(y2));
}

// ---- GL drawing ------------------------------------------------------------------------------

void AuxDimension::Draw()
{
    if (!IsDraw())
        return;
    CMeasureData* m = pMeasure;
    if (!m->PointLink[1]) {
        DrawElement(0, true);
        return;
    }
    if (!IsVisibleInLayer(m->PointLink[0]) || !IsVisibleInLayer(m->PointLink[1]))
        return;
    switch (m->MeasureType) {
    case 0:
    case 1:
        DrawElement(0, false);
        DrawElement(1, false);
        DrawLength(m->MeasureType == 0);
        break;
    case 2:
        if (m->PointType[0] == 1) {
            DrawCrossLineAngle();
            DrawElement(1, false);
        } else {
            DrawElement(0, false);
            DrawElement(1, false);
            DrawCrossPlaneAngle();
        }
        break;
    case 3:
        DrawElement(0, true);
        break;
    default:
        break;
    }
}

void AuxDimension::DrawElement(int i, bool mark)
{
    KytLink* link = pMeasure ? pMeasure->PointLink[i] : nullptr;
    if (!link)
        return;
    const CMeasureData& m = *pMeasure;
    glPushMatrix();
    KytOgl::MultMatrix(WorldPlacement(link));
    switch (m.PointType[i]) {
    case 0:
    case 4:
        PushSet(kSetA);
        if (mark)
            Point(m.Position[i], 0.0f, 1.0f, 1.0f);
        if (m.Ridge[i])
            DrawRidgePlane(m.Ridge[i]);
        break;
    case 1:
        PushSet(kSetA);
        if (m.Ridge[i])
            DrawRidgeLine(m.Ridge[i]);
        break;
    case 3:
        PushSet(kSetA);
        DrawRidgePoint(m.Ridge[i]);
        break;
    case 5:
    case 6:
        DrawRadius(i);
        if (!mark) {
            glPopMatrix();
            return;
        }
        PushSet(kSetA);
        Point(m.Center[i], 0.0f, 1.0f, 1.0f);
        break;
    default:
        glPopMatrix();
        return;
    }
    glPopAttrib();
    glPopMatrix();
}

void AuxDimension::DrawRidgePlane(const KytRidgeLine* ridge)
{
    const CElemBorder* first = ridge ? ridge->BorderChains.GetHead() : nullptr;
    if (!first)
        return;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT |
                 GL_LINE_BIT);
    glEnable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDepthMask(GL_FALSE);
    glLineWidth(2.0f);
    const GLfloat yellow[4] = {1.0f, 1.0f, 0.0f, 0.7f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, yellow);
    glBegin(GL_LINE_STRIP);
    const CElemBorder* last = first;
    for (const CElemBorder* b = first; b; b = b->pNext) {
        if (b->pStart)
            glVertex3fv(b->pStart);
        last = b;
    }
    if (last->pEnd)
        glVertex3fv(last->pEnd);
    glEnd();
    glDepthMask(GL_TRUE);
    glPopAttrib();
}

void AuxDimension::DrawRidgeLine(const KytRidgeLine* ridge)
{
    // A ridge line without its near border (one read back from a file) has nothing to show.
    if (!ridge || !ridge->NearStart || !ridge->NearEnd)
        return;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT |
                 GL_LINE_BIT);
    glLineWidth(2.0f);
    glEnable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDepthMask(GL_FALSE);
    const GLfloat yellow[4] = {1.0f, 1.0f, 0.0f, 0.7f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, yellow);
    glBegin(GL_LINES);
    glVertex3fv(ridge->NearStart);
    glVertex3fv(ridge->NearEnd);
    glEnd();
    glDepthMask(GL_TRUE);
    glPopAttrib();
    Point(ToVector(ridge->NearStart), 1.0f, 0.0f, 1.0f);
    Point(ToVector(ridge->NearEnd), 1.0f, 0.0f, 1.0f);
}

void AuxDimension::DrawRidgePoint(const KytRidgeLine* ridge)
{
    if (ridge)
        Point(ridge->NearPoint, 1.0f, 0.0f, 1.0f);
}

void AuxDimension::DrawRadius(int i)
{
    const CMeasureData& m = *pMeasure;
    const double h = m.Radius[i] * 0.5;
    const WqVector3D& n = m.Normal[i];
    PushSet(kSetB);
    glLineWidth(5.0f);
    glColor3f(0.9f, 0.9f, 0.9f);
    glBegin(GL_LINES);
    Vertex(m.Center[i] + n * h);
    Vertex(m.Center[i] - n * h);
    glEnd();
    glColor3f(0.9f, 0.9f, 0.0f);
    DrawDashedCircle(m.Position[i], m.Center[i], n);
    glPopAttrib();
}

void AuxDimension::Letter(const WqVector3D& at, const char* text) const
{
    if (!pGLFont)
        return;
    glRasterPos3d(at.x, at.y, at.z);
    glPushAttrib(GL_LIST_BIT);
    glListBase(pGLFont->listBase);
    glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}

void AuxDimension::DrawLength(bool projected)
{
    if (!pMeasure)
        return;
    CMeasureData& m = *pMeasure;
    PushSet(kSetA);
    WqVector3D first, second, foot;
    const bool ok = m.GetPoints(first, second, foot);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0xBBBB);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_LINE_STRIP);
    Vertex(first);
    if (projected) {
        if (ok)
            Vertex(foot);
    } else {
        Vertex(first + vLabelOffset);
        Vertex(second + vLabelOffset);
    }
    Vertex(second);
    glEnd();
    glDisable(GL_LINE_STIPPLE);
    if (projected) {
        glColor3f(0.0f, 1.0f, 0.0f);
        if (ok && LinkType(m.PointLink[0]) == 2)
            Letter((foot + second) * 0.5, "V");
        Letter((first + foot) * 0.5, "H");
        if (ok)
            Point(foot, 1.0f, 0.0f, 1.0f);
    }
    Point(first, 0.0f, 1.0f, 1.0f);
    Point(second, 0.0f, 1.0f, 1.0f);
    glPopAttrib();
}

void AuxDimension::DrawArc(const WqVector3D& start, const WqVector3D& centre,
                           const WqVector3D& from, const WqVector3D& toward)
{
    const WqVector3D axis = Unit(Unit(from).Cross(Unit(toward - centre)));
    WqMatrix33D r;
    MakeAxisRotMatrix(pMeasure->Angle * 0.05, axis, r);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0xBBBB);
    glLineWidth(1.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_LINE_STRIP);
    Vertex(start);
    WqVector3D v = from;
    for (int k = 1; k <= 20; ++k) {
        v = r.Multi(v);
        Vertex(centre + v);
    }
    glEnd();
    glDisable(GL_LINE_STIPPLE);
}

void AuxDimension::DrawCrossPlaneAngle()
{
    if (!pMeasure)
        return;
    CMeasureData& m = *pMeasure;
    PushSet(kSetB);
    WqVector3D first, second, foot;
    const bool ok = m.GetPoints(first, second, foot);
    const WqVector3D c = m.Center[0];
    Point(first, 1.0f, 0.0f, 1.0f);
    Point(second, 1.0f, 0.0f, 1.0f);
    Point(foot, 0.9f, 0.9f, 0.0f);
    if (ok)
        Point(c, 0.9f, 0.9f, 0.0f);
    glColor3f(0.0f, 1.0f, 1.0f);
    glBegin(GL_LINE_STRIP);
    Vertex(first);
    Vertex(c);
    Vertex(second);
    glEnd();
    const double a = std::fabs(m.Angle);
    if (ok && a > kTiny && std::fabs(a - kPi) > 0.001 && !(foot == c))
        DrawArc(first, c, foot - c, second);
    glPopAttrib();
}

void AuxDimension::DrawCrossLineAngle()
{
    if (!pMeasure)
        return;
    CMeasureData& m = *pMeasure;
    PushSet(kSetB);
    WqVector3D first, second, foot;
    const bool ok = m.GetPoints(first, second, foot);
    const WqVector3D c = m.Center[0];
    Point(first, 1.0f, 0.0f, 1.0f);
    Point(second, 1.0f, 0.0f, 1.0f);
    Point(c, 0.9f, 0.9f, 0.0f);
    if (ok) {
        glEnable(GL_LINE_STIPPLE);
        glLineStipple(1, 0xBBBB);
        glLineWidth(1.0f);
        glColor3f(0.7f, 0.7f, 0.7f);
        glBegin(GL_LINES);
        Vertex(m.Normal[0]);
        Vertex(m.Center[0]);
        Vertex(m.Normal[1]);
        Vertex(m.Center[1]);
        Vertex(m.Center[1]);
        Vertex(second);
        glEnd();
        glDisable(GL_LINE_STIPPLE);
        glLineWidth(2.0f);
        glColor3f(0.0f, 1.0f, 1.0f);
        glBegin(GL_LINE_STRIP);
        Vertex(first);
        Vertex(c);
        Vertex(second);
        glEnd();
        if (std::fabs(m.Angle) > kTiny && !(first == c))
            DrawArc(first, c, first - c, second);
    }
    glPopAttrib();
}

// ---- labels ----------------------------------------------------------------------------------

void AuxDimension::FinishLabel(HDC dc, const WqVector3D& anchor, int x[2], int y[2], SIZE& size,
                               int& length)
{
    if (GetID() == ID) {
        if (szDRComment[0]) {
            std::snprintf(szLabel, sizeof szLabel, " %s ", szDRComment);
        } else {
            std::snprintf(szLabel, sizeof szLabel, " %s ", szValue);
            std::memcpy(szDRComment, szValue, sizeof szDRComment);
        }
    } else {
        std::snprintf(szLabel, sizeof szLabel, " %s ", szValue);
    }
    length = static_cast<int>(std::strlen(szLabel));
    size = SIZE{};
    GetTextExtentPoint32A(dc, szLabel, length + 1, &size);
    x[1] = x[0];
    y[1] = y[0];
    if (pMeasure->LabelShown)
        Get2D(anchor + vLabelOffset, x[1], y[1]);
}

bool AuxDimension::GetProjGDIPos(HDC dc, int x[2], int y[2], SIZE& size, int& length,
                                 bool makeText)
{
    // Without its elements a dimension has no value to show: no label rather than a zero
    // one at the world origin.
    if (!pMeasure || !pMeasure->HasPoints())
        return false;
    WqVector3D first, second, foot;
    pMeasure->GetPoints(first, second, foot);
    if (makeText) {
        const double h = LengthOf(first - foot), v = LengthOf(second - foot);
        if (v >= kTiny && pMeasure->PointLink[0] && LinkType(pMeasure->PointLink[0]) == 2) {
            const bool hmm = h >= 0.01, vmm = v >= 0.01;
            const double hv = hmm ? h : h * 1000.0, vv = vmm ? v : v * 1000.0;
            if (hmm && vmm)
                FormatValue(szValue, "H=%.2lf : V=%.2lf mm", "H=%.2le : V=%.2le mm", hv, vv);
            else if (hmm)
                FormatValue(szValue, "H=%.2lf mm : V=%.2lf" MICRO "m",
                            "H=%.2le mm : V=%.2le" MICRO "m", hv, vv);
            else if (vmm)
                FormatValue(szValue, "H=%.2lf" MICRO "m : V=%.2lf mm",
                            "H=%.2le" MICRO "m : V=%.2le mm", hv, vv);
            else
                FormatValue(szValue, "H=%.2lf : V=%.2lf" MICRO "m", "H=%.2le : V=%.2le" MICRO "m",
                            hv, vv);
        } else {
            FormatLength(szValue, "H", h, " ");
        }
    }
    Get2D(foot, x[0], y[0]);
    if (y[0] < 0)
        y[0] = 0;
    FinishLabel(dc, foot, x, y, size, length);
    return true;
}

bool AuxDimension::Get2PGDIPos(HDC dc, int x[2], int y[2], SIZE& size, int& length,
                               bool makeText)
{
    // Without its elements a dimension has no value to show: no label rather than a zero
    // one at the world origin.
    if (!pMeasure || !pMeasure->HasPoints())
        return false;
    WqVector3D first, second, foot;
    pMeasure->GetPoints(first, second, foot);
    if (makeText)
        FormatLength(szValue, "L", LengthOf(first - second), " ");
    int ax = 0, ay = 0, bx = 0, by = 0;
    Get2D(first, ax, ay);
    Get2D(second, bx, by);
    x[0] = (ax + bx) / 2;
    y[0] = (ay + by) / 2;
    FinishLabel(dc, first, x, y, size, length);
    if (pMeasure->LabelShown) {
        Get2D(first + vLabelOffset, ax, ay);
        Get2D(second + vLabelOffset, bx, by);
        x[1] = (ax + bx) / 2;
        y[1] = (ay + by) / 2;
    }
    return true;
}

bool AuxDimension::GetAngleGDIPos(HDC dc, int x[2], int y[2], SIZE& size, int& length,
                                  bool makeText)
{
    // Without its elements a dimension has no value to show: no label rather than a zero
    // one at the world origin.
    if (!pMeasure || !pMeasure->HasPoints())
        return false;
    WqVector3D first, second, foot;
    pMeasure->GetPoints(first, second, foot);
    if (makeText)
        FormatValue(szValue, THETA "=%.2lf" DEGREE, THETA "=%.2le" DEGREE,
                    pMeasure->Angle * kDegrees);
    Get2D(foot, x[0], y[0]);
    FinishLabel(dc, foot, x, y, size, length);
    return true;
}

bool AuxDimension::GetRadiusGDIPos(HDC dc, int x[2], int y[2], SIZE& size, int& length,
                                   bool makeText)
{
    if (!pMeasure || !pMeasure->PointLink[0])
        return false;
    if (makeText)
        FormatLength(szValue, "R", pMeasure->Radius[0], "");
    const WqVector3D centre = WorldPlacement(pMeasure->PointLink[0]).GetAbsPos(pMeasure->Center[0]);
    Get2D(centre, x[0], y[0]);
    FinishLabel(dc, centre, x, y, size, length);
    return true;
}

bool AuxDimension::LabelPos(HDC dc, int x[2], int y[2], SIZE& size, int& length, bool makeText)
{
    if (!pMeasure)
        return false;
    const bool pair = pMeasure->PointLink[1] != nullptr;
    switch (pMeasure->MeasureType) {
    case 0: return pair && GetProjGDIPos(dc, x, y, size, length, makeText);
    case 1: return pair && Get2PGDIPos(dc, x, y, size, length, makeText);
    case 2: return pair && GetAngleGDIPos(dc, x, y, size, length, makeText);
    case 3: return GetRadiusGDIPos(dc, x, y, size, length, makeText);
    default: return false;
    }
}

void AuxDimension::DrawGDI(KytOgl* ogl)
{
    if (!ogl || !IsDraw())
        return;
    const bool review = GetID() == ID;
    HFONT previous = nullptr;
    if (review) {
        LOGFONTA lf{};
        GetTitleFont(lf);
        previous = ogl->ChangeFont(&lf);
    }
    HDC dc = ogl->GetHdc();
    int x[2] = {0, 0}, y[2] = {0, 0}, length = 0;
    SIZE size{};
    if (LabelPos(dc, x, y, size, length, true)) {
        const int left = x[1] - size.cx / 2, top = y[1] - size.cy;
        const bool shown = pMeasure->LabelShown;
        const COLORREF oldText =
            SetTextColor(dc, !shown ? RGB(0, 0, 0) : review ? crTitleColor : RGB(255, 255, 255));
        if (shown) {
            const bool inside =
                x[0] >= left && x[0] <= left + size.cx && y[0] >= top && y[0] <= y[1];
            if (!inside && pMeasure->MeasureType != 1) {
                HPEN pen = nullptr;
                if (review) {
                    const LOGBRUSH brush{BS_SOLID, crLineColor, 0};
                    pen = ExtCreatePen(PS_GEOMETRIC | PS_ENDCAP_FLAT | DWORD(nLineStyle), 3,
                                       &brush, 0, nullptr);
                }
                if (!pen)
                    pen = CreatePen(PS_SOLID, review ? 3 : 2, crLineColor);
                HGDIOBJ oldPen = quor::wgl::SelectObject(dc, pen);
                MoveToEx(dc, x[0], y[0], nullptr);
                LineTo(dc, left, y[1]);
                quor::wgl::SelectObject(dc, oldPen);
                DeleteObject(pen);
            }
            const COLORREF back = review ? RGB(155, 155, 0) : bPicked ? RGB(155, 0, 0) : RGB(0, 155, 0);
            const COLORREF oldBack = SetBkColor(dc, back);
            TextOutA(dc, left, top, szLabel, length);
            SetBkColor(dc, oldBack);
        } else {
            const int raised = top - 10;
            const int oldMode = SetBkMode(dc, TRANSPARENT);
            TextOutA(dc, left, raised, szLabel, length);
            SetTextColor(dc, RGB(255, 255, 255));
            TextOutA(dc, left - 1, raised - 1, szLabel, length);
            SetBkMode(dc, oldMode);
        }
        SetTextColor(dc, oldText);
    }
    if (previous)
        ogl->SelectObject(previous);
}

bool AuxDimension::Pick(KytOgl* ogl, int px, int py)
{
    if (!ogl || !IsDraw() || !pMeasure->LabelShown)
        return false;
    HFONT previous = nullptr;
    if (GetID() == ID) {
        LOGFONTA lf{};
        GetTitleFont(lf);
        previous = ogl->ChangeFont(&lf);
    }
    int x[2] = {0, 0}, y[2] = {0, 0}, length = 0;
    SIZE size{};
    const bool placed = LabelPos(ogl->GetHdc(), x, y, size, length, false);
    if (previous)
        ogl->SelectObject(previous);
    if (!placed)
        return false;
    // The box is twice as wide as the drawn label.
    if (px >= x[1] - size.cx && px <= x[1] + size.cx && py >= y[1] - size.cy && py <= y[1])
        return true;
    if (pMeasure->MeasureType == 1)
        return false;
    const int lx = x[1] - size.cx / 2;
    double d = std::fmin(GetDistPtoP(px, py, x[0], y[0]), GetDistPtoP(px, py, lx, y[1]));
    const double line = GetDistLtoP(x[0], y[0], lx, y[1], px, py);
    if (line >= 0.0 && line < d)
        d = line;
    return d >= 0.0 && d <= 5.0;
}

void AuxDimension::Dragging(KytOgl* ogl)
{
    if (!ogl || !IsDraw() || !pMeasure->LabelShown)
        return;
    const int type = pMeasure->MeasureType;
    if (!((type >= 0 && type <= 2 && pMeasure->PointLink[1]) || type == 3))
        return;
    ogl->MakeCurrent();
    LOGFONTA lf{};
    if (GetID() == ID)
        GetTitleFont(lf);
    else
        lf = AuxAnnotate::MsgFont;
    HFONT previous = ogl->ChangeFont(&lf);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelM);
    glGetDoublev(GL_PROJECTION_MATRIX, projM);
    glGetIntegerv(GL_VIEWPORT, viewP);
    HDC dc = ogl->GetHdc();
    const int oldRop = SetROP2(dc, R2_NOT);
    HPEN pen = CreatePen(PS_SOLID, 1, crLineColor);
    if (hBackBitmap) {
        HGDIOBJ oldPen = quor::wgl::SelectObject(dc, pen);
        MoveToEx(dc, anLineX[0], anLineY[0], nullptr);
        LineTo(dc, anLineX[1], anLineY[1]);
        MoveToEx(dc, anLineX[2], anLineY[2], nullptr);
        LineTo(dc, anLineX[3], anLineY[3]);
        quor::wgl::SelectObject(dc, oldPen);
        RestoreBackground(dc);
    }
    int x[2] = {0, 0}, y[2] = {0, 0}, length = 0;
    SIZE size{};
    if (LabelPos(dc, x, y, size, length, false)) {
        rcBack[0] = x[1] - size.cx / 2;
        rcBack[1] = y[1] - size.cy;
        rcBack[2] = size.cx;
        rcBack[3] = GetID() == ID ? size.cy + 1 : size.cy;
        CaptureBackground(dc, rcBack[0], rcBack[1], rcBack[2], rcBack[3]);
        const COLORREF text = SetTextColor(dc, RGB(255, 255, 255));
        const COLORREF back = SetBkColor(dc, 0x0080FF);
        TextOutA(dc, rcBack[0], rcBack[1], szLabel, length);
        SetBkColor(dc, back);
        SetTextColor(dc, text);
    }
    DeleteObject(pen);
    SetROP2(dc, oldRop);
    if (previous)
        ogl->SelectObject(previous);
}
