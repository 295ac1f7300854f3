#include "scene/annotation/AuxDRAnnotate.h"

#include "platform/kernel/KytRecords.h"
#include "scene/view/KernelLinks.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytScenes.h"

#include <cstring>

int AuxDRAnnotate::nCounter = 0;
LOGFONTA AuxDRAnnotate::MsgFont = AuxAnnotate::DefaultMsgFont();
unsigned long AuxDRAnnotate::MsgFontColor = 0;

// The review classes number from their own counter, not the annotations'.
AuxDRAnnotate::AuxDRAnnotate() : AuxAnnotate(0, nullptr, nCounter) {}

AuxDRAnnotate::AuxDRAnnotate(unsigned int id, KytLink* link) : AuxAnnotate(id, link, nCounter) {}

AuxDRAnnotate::AuxDRAnnotate(const AuxDRAnnotate* source) : AuxAnnotate(source)
{
    if (source) {
        // A copy is a live object, never a backup.
        pDRData = source->pDRData;
    }
}

AuxDRAnnotate::AuxDRAnnotate(const AuxDRAnnotate& other) = default;

AuxDRAnnotate& AuxDRAnnotate::operator=(const AuxDRAnnotate& other) = default;

AuxDRAnnotate::~AuxDRAnnotate() = default;

KytAuxContents* AuxDRAnnotate::Duplicate()
{
    return new AuxDRAnnotate(this);
}

int AuxDRAnnotate::GetAuxType()
{
    return AUXTYPE_DR;
}

unsigned long AuxDRAnnotate::GetDRID() const
{
    return pDRData ? pDRData->ulDRKey : 0;
}

unsigned AuxDRAnnotate::GetBalloonNo() const
{
    return pDRData ? pDRData->uBalloon : 0;
}

int AuxDRAnnotate::SetNo()
{
    nNo = nCounter++;
    return nNo;
}

AuxDRAnnotate* AuxDRAnnotate::SearchAnnotation(const KytDRAnnotateData* record)
{
    if (!record)
        return nullptr;
    for (AuxDRAnnotate* o = this; o; o = o->pNextDRAnnotation)
        if (o->pDRData && o->pDRData->ulKey == record->ulKey)
            return o;
    return nullptr;
}

bool AuxDRAnnotate::IsDraw() const
{
    if (!pDRData || !pDRData->bShow || !pDRData->bDRVisible || bBackup)
        return false;
    if (!AuxTarget::IsDraw())
        return false;
    if (KytScenes::m_bDRHTMLPrintingNow)
        return (KytScenes::m_ulPRD_Item & 0x10) != 0;
    return true;
}

AuxDRAnnotate* AuxDRAnnotate::DuplicateDRAnnotate()
{
    return static_cast<AuxDRAnnotate*>(Duplicate());
}

AuxDRAnnotate* AuxDRAnnotate::SearchAnnotation(int no)
{
    for (AuxDRAnnotate* o = this; o; o = o->pNextDRAnnotation)
        if (o->pDRData && o->pDRData->nNo == no)
            return o;
    return nullptr;
}

const char* AuxDRAnnotate::GetTitle() const
{
    return pDRData ? pDRData->title.c_str() : nullptr;
}

void AuxDRAnnotate::Copy(const KytContents* source)
{
    auto* from = dynamic_cast<const AuxDRAnnotate*>(source);
    if (!from || from == this)
        return;
    KytContents::Copy(from);
    pDRData = from->pDRData;
    vSecondPoint = from->vSecondPoint;
    vBalloonPos = from->vBalloonPos;
    nNo = from->nNo;
    std::memcpy(rcBack, from->rcBack, sizeof(rcBack));
    std::memcpy(anLineX, from->anLineX, sizeof(anLineX));
    std::memcpy(anLineY, from->anLineY, sizeof(anLineY));
    bPicked = from->bPicked;
    bDrawBalloon = from->bDrawBalloon;
    pNextDRAnnotation = nullptr;
    // The saved area was this object's own: it goes, rather than being forgotten.
    if (hBackBitmap)
        DeleteObject(hBackBitmap);
    hBackBitmap = nullptr;
    bBackup = false;
}

// ---------------------------------------------------------------------------------------------
// Drawing, picks and drag

std::string AuxDRAnnotate::Text() const
{
    if (!pDRData)
        return {};
    if (KytScene::bDRAnno_BlnEna)
        return std::to_string(static_cast<int>(pDRData->uBalloon));
    return pDRData->title;
}

void AuxDRAnnotate::TextFont(LOGFONTA& out) const
{
    if (!KytScene::bDRAnno_BlnEna) {
        pDRData->GetFontTitle(out);
        return;
    }
    LOGFONTA gui{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui);
    CFont font;
    if (font.CreatePointFont(100, gui.lfFaceName))
        font.GetLogFont(&out);
    else
        out = gui;
    font.DeleteObject();
}

bool AuxDRAnnotate::Anchor(WqVector3D& out) const
{
    if (!pDRData || !pTargetLink)
        return false;
    out = kyt_links::WorldPlacement(pTargetLink).GetAbsPos(pDRData->vAnchor);
    return true;
}

void AuxDRAnnotate::Draw()
{
    WqVector3D anchor;
    if (!IsDraw() || !Anchor(anchor))
        return;
    vBalloonPos = anchor.Plus(pDRData->vBalloonOffset);
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_LINE_BIT | GL_POINT_BIT);
    DrawLeader(anchor, vBalloonPos, pDRData->nLineStyle, pDRData->lineColor, 3.0f);
    glColor3f(0.9f, 0.9f, 0.0f);
    glPointSize(5.0f);
    glBegin(GL_POINTS);
    KytOgl::Vertex3(anchor);
    glEnd();
    glPopAttrib();
}

bool AuxDRAnnotate::GetWindowPos(HDC dc, int& x, int& y, SIZE* size)
{
    if (!pDRData)
        return false;
    Get2D(vBalloonPos, x, y);
    const std::string text = Text();
    SIZE local{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()) + 1,
                          size ? size : &local);
    return true;
}

void AuxDRAnnotate::DrawGDI(KytOgl* ogl)
{
    if (!ogl || !IsDraw() || !bDrawBalloon)
        return;
    LOGFONTA lf{};
    TextFont(lf);
    HFONT previous = ogl->ChangeFont(&lf);
    HDC dc = ogl->GetHdc();
    const COLORREF colour = SetTextColor(dc, pDRData->textColor);
    int x = 0, y = 0;
    SIZE s{};
    GetWindowPos(dc, x, y, &s);
    const std::string text = Text();
    const int len = static_cast<int>(text.size());
    const int h = (s.cy + 1) / 2;
    if (KytScene::bDRAnno_BlnEna) {
        const int mode = SetBkMode(dc, TRANSPARENT);
        const int cx = x + len * (s.cx / (len + 1)) / 2;
        const int r = static_cast<int>(1.5 * s.cy);
        Ellipse(dc, cx - r, y - r, cx + r, y + r);
        TextOutA(dc, x, y - h, text.c_str(), len);
        SetBkMode(dc, mode);
    } else {
        TextOutA(dc, x, y - h, text.c_str(), len);
    }
    SetTextColor(dc, colour);
    if (previous)
        ogl->SelectObject(previous);
}

bool AuxDRAnnotate::Pick(KytOgl* ogl, int px, int py)
{
    if (!ogl || !IsDraw())
        return false;
    LOGFONTA lf{};
    TextFont(lf);
    HFONT previous = ogl->ChangeFont(&lf);
    int x = 0, y = 0;
    SIZE s{};
    GetWindowPos(ogl->GetHdc(), x, y, &s);
    if (previous)
        ogl->SelectObject(previous);
    const int h = (s.cy + 1) / 2;
    // The balloon's circle reaches past the number on both sides.
    const int widen = KytScene::bDRAnno_BlnEna ? s.cy : 0;
    return x - widen <= px && px <= x + s.cx + widen && y - h <= py && py <= y + h;
}

bool AuxDRAnnotate::Pick2(KytOgl*, int px, int py)
{
    WqVector3D anchor;
    if (!IsDraw() || !Anchor(anchor))
        return false;
    int ax = 0, ay = 0, bx = 0, by = 0;
    Get2D(anchor, ax, ay);
    Get2D(vBalloonPos, bx, by);
    const double d = GetDistLtoP(ax, ay, bx, by, px, py);
    return d >= 0.0 && d <= 5.0;
}

bool AuxDRAnnotate::MoveEndPos(const WqVector3D& delta, bool)
{
    if (!pDRData)
        return false;
    pDRData->vBalloonOffset = pDRData->vBalloonOffset.Plus(delta);
    return true;
}

bool AuxDRAnnotate::CopyEndPos(const AuxDRAnnotate* other)
{
    if (!other || !pDRData || !other->pDRData)
        return false;
    pDRData->vBalloonOffset = other->pDRData->vBalloonOffset;
    return true;
}

WqVector3D AuxDRAnnotate::GetGDIObjPoint(KytScene* scene)
{
    if (!pDRData || !scene)
        return WqVector3D();
    int x = 0, y = 0;
    Get2D(vBalloonPos, x, y);
    return scene->Point2Vector(x, y);
}

void AuxDRAnnotate::Dragging(KytOgl* ogl)
{
    WqVector3D anchor;
    if (!ogl || !IsDraw() || !Anchor(anchor))
        return;
    ogl->MakeCurrent();
    LOGFONTA lf{};
    TextFont(lf);
    HFONT previous = ogl->ChangeFont(&lf);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelM);
    glGetDoublev(GL_PROJECTION_MATRIX, projM);
    glGetIntegerv(GL_VIEWPORT, viewP);
    HDC dc = ogl->GetHdc();
    vBalloonPos = anchor.Plus(pDRData->vBalloonOffset);
    RestoreBackground(dc);

    int x = 0, y = 0;
    SIZE s{};
    GetWindowPos(dc, x, y, &s);
    const std::string text = Text();
    const int len = static_cast<int>(text.size());
    const int h = (s.cy + 1) / 2;
    const bool balloon = KytScene::bDRAnno_BlnEna;
    if (balloon) {
        rcBack[0] = x - 2 * s.cy;
        rcBack[1] = y - 3 * h;
        rcBack[2] = s.cx + 4 * s.cy;
        rcBack[3] = s.cy + 1 + 6 * h;
    } else {
        rcBack[0] = x;
        rcBack[1] = y - h;
        rcBack[2] = s.cx;
        rcBack[3] = s.cy + 1;
    }
    CaptureBackground(dc, rcBack[0], rcBack[1], rcBack[2], rcBack[3]);
    Get2D(anchor, anLineX[0], anLineY[0]);
    Get2D(vBalloonPos, anLineX[1], anLineY[1]);

    if (balloon) {
        HBRUSH brush = CreateSolidBrush(0x0080FF);
        HPEN pen = CreatePen(PS_SOLID, 1, 0xFF8099);
        HGDIOBJ oldBrush = quor::wgl::SelectObject(dc, brush);
        HGDIOBJ oldPen = quor::wgl::SelectObject(dc, pen);
        const int cx = x + len * (s.cx / (len + 1)) / 2;
        const int r = static_cast<int>(1.5 * s.cy);
        Ellipse(dc, cx - r, y - r, cx + r, y + r);
        quor::wgl::SelectObject(dc, oldBrush ? oldBrush : GetStockObject(WHITE_BRUSH));
        quor::wgl::SelectObject(dc, oldPen ? oldPen : GetStockObject(BLACK_PEN));
        DeleteObject(brush);
        DeleteObject(pen);
    }
    const COLORREF textColour = SetTextColor(dc, 0xFFFFFF);
    const COLORREF back = SetBkColor(dc, 0x0080FF);
    const int mode = SetBkMode(dc, OPAQUE);
    TextOutA(dc, x, y - h, text.c_str(), len);
    SetBkMode(dc, mode);
    SetBkColor(dc, back);
    SetTextColor(dc, textColour);
    if (previous)
        ogl->SelectObject(previous);
}
