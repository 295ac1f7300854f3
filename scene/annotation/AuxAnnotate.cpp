#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/AuxWindowGeometry.h"

#include "scene/annotation/AnnotateOverlapIndex.h"
#include "scene/view/KernelLinks.h"
#include "scene/view/KytOgl.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

LOGFONTA AuxAnnotate::DefaultMsgFont()
{
    LOGFONTA f{};
    f.lfHeight = -12;
    f.lfWeight = 400;
    f.lfCharSet = 128;
    // The face name is a code page 932 byte string.
    static const char face[] = "\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";
    std::memcpy(f.lfFaceName, face, sizeof(face));
    return f;
}

LOGFONTA AuxAnnotate::MsgFont = DefaultMsgFont();
unsigned long AuxAnnotate::MsgFontColor = 0;
int AuxAnnotate::nCounter = 0;
int AuxAnnotate::viewP[4] = {0, 0, 0, 0};
double AuxAnnotate::modelM[16] = {};
double AuxAnnotate::projM[16] = {};

namespace {

// The frame's indexes, one per tree top and relation, made on first need.
struct FrameIndexes {
    int depth = 0;
    struct Entry {
        KytLink* top;
        int referMode;
        std::unique_ptr<AnnotateOverlapIndex> index;
    };
    std::vector<Entry> entries;

    const AnnotateOverlapIndex& For(KytLink* top)
    {
        for (const Entry& e : entries)
            if (e.top == top && e.referMode == KytLink::eReferMode)
                return *e.index;
        auto index = std::make_unique<AnnotateOverlapIndex>();
        index->Build(top);
        entries.push_back({top, KytLink::eReferMode, std::move(index)});
        return *entries.back().index;
    }
};

FrameIndexes& Indexes()
{
    static FrameIndexes indexes;
    return indexes;
}

void CopyFont(LOGFONTA& to, const LOGFONTA& from)
{
    char face[LF_FACESIZE];
    std::memcpy(face, from.lfFaceName, LF_FACESIZE);
    face[LF_FACESIZE - 1] = '\0';
    to = from;
    std::memset(to.lfFaceName, 0, LF_FACESIZE);
    std::strncpy(to.lfFaceName, face, LF_FACESIZE - 1);
}

} // namespace

AuxAnnotate::Frame::Frame()
{
    ++Indexes().depth;
}

AuxAnnotate::Frame::~Frame()
{
    if (--Indexes().depth == 0)
        Indexes().entries.clear();
}

AuxAnnotate::AuxAnnotate() : nNo(nCounter++) {}

AuxAnnotate::AuxAnnotate(unsigned int id, KytLink* link) : AuxAnnotate(id, link, nCounter) {}

AuxAnnotate::AuxAnnotate(unsigned int id, KytLink* link, int& counter)
    : AuxTarget(id, link), nNo(counter++)
{
    // Hidden when some part between the link and the nearest top or assembly-root link is
    // switched off in the current layer.
    for (KytLink* l = link; l; l = kyt_links::Parent(l)) {
        if (kyt_links::LinkType(l) & 0x201)
            break;
        if (!kyt_links::IsVisibleInLayer(l)) {
            bSubDraw = false;
            break;
        }
    }
}

AuxAnnotate::AuxAnnotate(const AuxAnnotate* source) : AuxTarget(source)
{
    if (!source)
        return;
    pData = source->pData;
    vSecondPoint = source->vSecondPoint;
    vBalloonPos = source->vBalloonPos;
    nNo = source->nNo;
    std::memcpy(rcBack, source->rcBack, sizeof(rcBack));
    std::memcpy(anLineX, source->anLineX, sizeof(anLineX));
    std::memcpy(anLineY, source->anLineY, sizeof(anLineY));
    bPicked = source->bPicked;
    bDrawBalloon = source->bDrawBalloon;
}

// The saved window area belongs to the object that made it: a copy sharing it would free it
// twice, so copies start without one.
AuxAnnotate::AuxAnnotate(const AuxAnnotate& other)
    : AuxTarget(other), pData(other.pData), bPicked(other.bPicked),
      bDrawBalloon(other.bDrawBalloon), vSecondPoint(other.vSecondPoint),
      vBalloonPos(other.vBalloonPos), pNextAnnotation(other.pNextAnnotation), nNo(other.nNo)
{
    std::memcpy(rcBack, other.rcBack, sizeof(rcBack));
    std::memcpy(anLineX, other.anLineX, sizeof(anLineX));
    std::memcpy(anLineY, other.anLineY, sizeof(anLineY));
}

AuxAnnotate& AuxAnnotate::operator=(const AuxAnnotate& other)
{
    if (this == &other)
        return *this;
    AuxTarget::operator=(other);
    if (hBackBitmap) {
        DeleteObject(hBackBitmap);
        hBackBitmap = nullptr;
    }
    pData = other.pData;
    bPicked = other.bPicked;
    bDrawBalloon = other.bDrawBalloon;
    vSecondPoint = other.vSecondPoint;
    vBalloonPos = other.vBalloonPos;
    pNextAnnotation = other.pNextAnnotation;
    nNo = other.nNo;
    std::memcpy(rcBack, other.rcBack, sizeof(rcBack));
    std::memcpy(anLineX, other.anLineX, sizeof(anLineX));
    std::memcpy(anLineY, other.anLineY, sizeof(anLineY));
    return *this;
}

AuxAnnotate::~AuxAnnotate()
{
    if (hBackBitmap)
        DeleteObject(hBackBitmap);
}

KytAuxContents* AuxAnnotate::Duplicate()
{
    return new AuxAnnotate(this);
}

int AuxAnnotate::GetAuxType()
{
    return AUXTYPE_ANNOTATE;
}

bool AuxAnnotate::IsDraw() const
{
    return pData && pData->bShow && AuxTarget::IsDraw();
}

bool AuxAnnotate::GetState() const
{
    return IsDraw();
}

void AuxAnnotate::CheckVisual(KytLink* link)
{
    if (link && kyt_links::LinkType(link) == 1) {
        bSubDraw = true;
        return;
    }
    for (KytLink* l = pTargetLink; l; l = kyt_links::Parent(l)) {
        if (l != link)
            continue;
        KytLink* second = GetSecondLink();
        if (!second) {
            bSubDraw = true;
            return;
        }
        for (KytLink* s = second; s; s = kyt_links::Parent(s))
            if (s == link) {
                bSubDraw = true;
                return;
            }
        bSubDraw = false;
        return;
    }
    bSubDraw = false;
}

// ---------------------------------------------------------------------------------------------
// Points

bool AuxAnnotate::GetWorldAnchor(WqVector3D& out) const
{
    if (!pData || !pTargetLink)
        return false;
    out = kyt_links::WorldPlacement(pTargetLink).GetAbsPos(pData->vAnchor);
    return true;
}

WqVector3D AuxAnnotate::GetFirstPoint()
{
    return pData ? pData->vAnchor : WqVector3D();
}

KytLink* AuxAnnotate::GetSecondLink() const
{
    return nullptr;
}

bool AuxAnnotate::GetEndPoint(WqVector3D& out) const
{
    WqVector3D anchor;
    if (!GetWorldAnchor(anchor))
        return false;
    out = anchor.Plus(pData->vBalloonOffset);
    return true;
}

bool AuxAnnotate::GetVector(WqVector3D& out) const
{
    if (!pData)
        return false;
    out = pData->vBalloonOffset;
    return true;
}

void AuxAnnotate::SetEndPos(const WqVector3D& pos)
{
    vSecondPoint = pos;
}

bool AuxAnnotate::MoveEndPos(const WqVector3D& delta, bool)
{
    if (!pData)
        return false;
    pData->vBalloonOffset = pData->vBalloonOffset.Plus(delta);
    return true;
}

bool AuxAnnotate::CopyEndPos(const AuxAnnotate* other)
{
    if (!other || !pData || !other->pData)
        return false;
    pData->vBalloonOffset = other->pData->vBalloonOffset;
    return true;
}

const char* AuxAnnotate::GetTitle() const
{
    return pData ? pData->title.c_str() : nullptr;
}

void AuxAnnotate::ReCalcVector()
{
    if (!pData || !pTargetLink)
        return;
    KytLink* top = pTargetLink;
    while (KytLink* up = kyt_links::Parent(top))
        top = up;
    const AnnotateOverlapMatch m = Indexes().depth > 0
                                       ? Indexes().For(top).Find(pTargetLink, pData)
                                       : FindOverlapByWalk(top, pTargetLink, pData);
    if (!m.data)
        return;
    const WqVector3D there = kyt_links::WorldPlacement(m.link)
                                 .GetAbsPos(m.data->vAnchor)
                                 .Plus(m.data->vBalloonOffset);
    const WqVector3D here = kyt_links::WorldPlacement(pTargetLink).GetAbsPos(pData->vAnchor);
    pData->vBalloonOffset = there.Minus(here);
}

// ---------------------------------------------------------------------------------------------
// Drawing

unsigned short AuxAnnotate::StipplePattern(int style)
{
    switch (style) {
    case 1: return 0xFC3F;
    case 2: return 0xCCCC;
    case 3: return 0xF18F;
    case 4: return 0xE667;
    default: return 0xFFFF;
    }
}

void AuxAnnotate::DrawLeader(const WqVector3D& from, const WqVector3D& to, int style,
                             COLORREF color, float width)
{
    if (width > 0.0f)
        glLineWidth(width);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glColor3f(GetRValue(color) / 255.0f, GetGValue(color) / 255.0f, GetBValue(color) / 255.0f);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, StipplePattern(style));
    glBegin(GL_LINES);
    KytOgl::Vertex3(from);
    KytOgl::Vertex3(to);
    glEnd();
}

void AuxAnnotate::Draw()
{
    if (!pData)
        return;
    ReCalcVector();
    if (!IsDraw())
        return;
    WqVector3D anchor;
    GetWorldAnchor(anchor);
    vBalloonPos = anchor.Plus(pData->vBalloonOffset);
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_LINE_BIT | GL_POINT_BIT);
    DrawLeader(anchor, vBalloonPos, pData->nLineStyle, pData->lineColor, 3.0f);
    // Colour and point size are outside the saved groups and stay as set.
    glColor3f(0.9f, 0.9f, 0.0f);
    glPointSize(5.0f);
    glBegin(GL_POINTS);
    KytOgl::Vertex3(anchor);
    glEnd();
    glPopAttrib();
}

void AuxAnnotate::Get2D(const WqVector3D& world, int& x, int& y)
{
    double wx = 0, wy = 0, wz = 0;
    gluProject(world.x, world.y, world.z, modelM, projM, viewP, &wx, &wy, &wz);
    x = aux_window::WindowInt(wx);
    y = viewP[3] - aux_window::WindowInt(wy);
}

bool AuxAnnotate::GetWindowPos(HDC dc, int& x, int& y, SIZE* size)
{
    if (!pData)
        return false;
    Get2D(vBalloonPos, x, y);
    SIZE local{};
    // The extent runs over the terminating zero too: the balloon keeps a character's room.
    GetTextExtentPoint32A(dc, pData->title.c_str(), static_cast<int>(pData->title.size()) + 1,
                          size ? size : &local);
    return true;
}

void AuxAnnotate::DrawGDI(KytOgl* ogl)
{
    // Subclasses drawn without a record (datum names, dimensions) reach here too.
    if (!ogl || !pData || !IsDraw())
        return;
    LOGFONTA lf{};
    pData->GetFontTitle(lf);
    HFONT previous = ogl->ChangeFont(&lf);
    HDC dc = ogl->GetHdc();
    const COLORREF colour = SetTextColor(dc, pData->textColor);
    int x = 0, y = 0;
    SIZE size{};
    GetWindowPos(dc, x, y, &size);
    TextOutA(dc, x, y - (size.cy + 1) / 2, pData->title.c_str(),
             static_cast<int>(pData->title.size()));
    SetTextColor(dc, colour);
    if (previous)
        ogl->SelectObject(previous);
}

// ---------------------------------------------------------------------------------------------
// Picking

double AuxAnnotate::GetDistPtoP(double x1, double y1, double x2, double y2)
{
    return std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
}

double AuxAnnotate::GetDistLtoP(double x1, double y1, double x2, double y2, double px, double py)
{
    if (x1 == x2 && y1 == y2)
        return GetDistPtoP(x1, y1, px, py);
    const double dx = x2 - x1, dy = y2 - y1;
    const double r = (dy * (py - y1) + dx * (px - x1)) / (dy * dy + dx * dx);
    const double fx = x1 + dx * r, fy = y1 + dy * r;
    const double along = dx != 0.0 ? (fx - x1) / dx : (fy - y1) / dy;
    if (along < 0.0 || along > 1.0)
        return -1.0;
    return GetDistPtoP(fx, fy, px, py);
}

bool AuxAnnotate::Pick(KytOgl* ogl, int px, int py)
{
    // Subclasses drawn without a record (datum names, dimensions) reach here too.
    if (!ogl || !pData || !IsDraw())
        return false;
    LOGFONTA lf{};
    pData->GetFontTitle(lf);
    HFONT previous = ogl->ChangeFont(&lf);
    int x = 0, y = 0;
    SIZE size{};
    GetWindowPos(ogl->GetHdc(), x, y, &size);
    if (previous)
        ogl->SelectObject(previous);
    const int h = (size.cy + 1) / 2;
    return x <= px && px <= x + size.cx && y - h <= py && py <= y + h;
}

bool AuxAnnotate::Pick2(KytOgl*, int px, int py)
{
    WqVector3D anchor;
    if (!IsDraw() || !GetWorldAnchor(anchor))
        return false;
    int ax = 0, ay = 0, bx = 0, by = 0;
    Get2D(anchor, ax, ay);
    Get2D(vBalloonPos, bx, by);
    const double d = GetDistLtoP(ax, ay, bx, by, px, py);
    return d >= 0.0 && d <= 5.0;
}

// ---------------------------------------------------------------------------------------------
// Drag feedback

void AuxAnnotate::RestoreBackground(HDC dc)
{
    if (!hBackBitmap)
        return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = quor::wgl::SelectObject(memory, hBackBitmap);
    BitBlt(dc, rcBack[0], rcBack[1], rcBack[2], rcBack[3], memory, 0, 0, SRCCOPY);
    quor::wgl::SelectObject(memory, old);
    DeleteDC(memory);
}

void AuxAnnotate::CaptureBackground(HDC dc, long x, long y, long cx, long cy)
{
    if (hBackBitmap) {
        // A bitmap smaller than the new box would leave the uncovered part of the feedback
        // on the window when it is put back: make one that fits.
        BITMAP bm{};
        GetObjectA(hBackBitmap, sizeof bm, &bm);
        if (bm.bmWidth < cx || bm.bmHeight < cy) {
            DeleteObject(hBackBitmap);
            hBackBitmap = nullptr;
        }
    }
    if (!hBackBitmap)
        hBackBitmap = CreateCompatibleBitmap(dc, static_cast<int>(cx), static_cast<int>(cy));
    if (!hBackBitmap)
        return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = quor::wgl::SelectObject(memory, hBackBitmap);
    BitBlt(memory, 0, 0, static_cast<int>(cx), static_cast<int>(cy), dc, static_cast<int>(x),
           static_cast<int>(y), SRCCOPY);
    quor::wgl::SelectObject(memory, old);
    DeleteDC(memory);
}

void AuxAnnotate::Dragging(KytOgl* ogl)
{
    // Subclasses drawn without a record (datum names, dimensions) reach here too.
    if (!ogl || !pData || !IsDraw())
        return;
    ogl->MakeCurrent();
    LOGFONTA lf{};
    pData->GetFontTitle(lf);
    HFONT previous = ogl->ChangeFont(&lf);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelM);
    glGetDoublev(GL_PROJECTION_MATRIX, projM);
    glGetIntegerv(GL_VIEWPORT, viewP);
    HDC dc = ogl->GetHdc();

    WqVector3D anchor;
    GetWorldAnchor(anchor);
    vBalloonPos = anchor.Plus(pData->vBalloonOffset);
    RestoreBackground(dc);

    int x = 0, y = 0;
    SIZE size{};
    GetWindowPos(dc, x, y, &size);
    rcBack[0] = x;
    rcBack[1] = y - (size.cy + 1) / 2;
    rcBack[2] = size.cx;
    rcBack[3] = size.cy + 1;
    CaptureBackground(dc, rcBack[0], rcBack[1], rcBack[2], rcBack[3]);
    Get2D(anchor, anLineX[0], anLineY[0]);
    Get2D(vBalloonPos, anLineX[1], anLineY[1]);

    const COLORREF text = SetTextColor(dc, 0xFFFFFF);
    const COLORREF back = SetBkColor(dc, 0x0080FF);
    const int mode = SetBkMode(dc, OPAQUE);
    TextOutA(dc, rcBack[0], rcBack[1], pData->title.c_str(),
             static_cast<int>(pData->title.size()));
    SetBkMode(dc, mode);
    SetBkColor(dc, back);
    SetTextColor(dc, text);
    if (previous)
        ogl->SelectObject(previous);
}

void AuxAnnotate::EndDrag()
{
    if (hBackBitmap) {
        DeleteObject(hBackBitmap);
        hBackBitmap = nullptr;
    }
    std::memset(rcBack, 0, sizeof(rcBack));
    std::memset(anLineX, 0, sizeof(anLineX));
    std::memset(anLineY, 0, sizeof(anLineY));
}

// ---------------------------------------------------------------------------------------------
// Chain, numbers, fonts

AuxAnnotate* AuxAnnotate::SearchAnnotation(const KytAnnotateData* data)
{
    for (AuxAnnotate* a = this; a; a = a->pNextAnnotation)
        if (a->pData == data)
            return a;
    return nullptr;
}

AuxAnnotate* AuxAnnotate::SearchAnnotationByOverlapID(unsigned int overlapId)
{
    for (AuxAnnotate* a = this; a; a = a->pNextAnnotation)
        if (a->pData && a->pData->uOverlapID == overlapId)
            return a;
    return nullptr;
}

int AuxAnnotate::SetNo()
{
    nNo = nCounter++;
    return nNo;
}

void AuxAnnotate::SetNo(int no)
{
    nNo = no;
}

void AuxAnnotate::SetFont(const LOGFONTA& font)
{
    CopyFont(MsgFont, font);
    KytAnnotateData::SetDefaultFont(MsgFont);
}

void AuxAnnotate::GetFont(LOGFONTA& out)
{
    CopyFont(out, MsgFont);
}

LOGFONTA& AuxAnnotate::GetFont()
{
    return MsgFont;
}
