#include "scene/annotation/AuxProcessAnno.h"

#include "scene/view/KernelLinks.h"
#include "scene/view/KytOgl.h"

#include <cfloat>
#include <cmath>

AuxProcessAnno::AuxProcessAnno(unsigned int id, KytLink* link, KytAnnotateData* data)
    : AuxAnnotate(id, link)
{
    pData = data;
    if (data) {
        const WqVector3D d = data->vAnchor.Minus(data->vBalloonOffset);
        const double sq = d.x * d.x + d.y * d.y + d.z * d.z;
        bLeader = std::sqrt(sq) > DBL_EPSILON && sq > DBL_EPSILON;
    }
}

AuxProcessAnno::AuxProcessAnno(unsigned int id, KytLink* link, KytAnnotateData* data,
                               WqVector3D& point)
    : AuxAnnotate(id, link)
{
    pData = data;
    if (data)
        data->vAnchor = data->vBalloonOffset = point;
}

AuxProcessAnno::AuxProcessAnno(unsigned int id, KytLink* link, KytAnnotateData* data,
                               WqVector3D& target, WqVector3D& balloon)
    : AuxAnnotate(id, link), bLeader(true)
{
    pData = data;
    if (data) {
        data->vBalloonOffset = target;
        data->vAnchor = balloon;
    }
}

AuxProcessAnno::AuxProcessAnno(const AuxProcessAnno* source) : AuxAnnotate(source)
{
    if (source)
        bLeader = source->bLeader;
}

KytAuxContents* AuxProcessAnno::Duplicate()
{
    return new AuxProcessAnno(this);
}

bool AuxProcessAnno::IsDraw() const
{
    return m_bDraw && pData && bSubDraw && pTargetLink && pData->bShow &&
           kyt_links::IsVisibleInLayer(pTargetLink);
}

bool AuxProcessAnno::GetEndPoint(WqVector3D& out) const
{
    if (!pData)
        return false;
    out = pData->vBalloonOffset;
    return true;
}

bool AuxProcessAnno::MoveEndPos(const WqVector3D& delta, bool)
{
    if (!pData)
        return false;
    pData->vAnchor = pData->vAnchor.Plus(delta);
    if (!bLeader)
        pData->vBalloonOffset = pData->vBalloonOffset.Plus(delta);
    return true;
}

void AuxProcessAnno::Draw()
{
    if (!pData || !bLeader || !IsDraw())
        return;
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_LINE_BIT);
    DrawLeader(pData->vAnchor, pData->vBalloonOffset, pData->nLineStyle, pData->lineColor, 0.0f);
    glPopAttrib();
}

bool AuxProcessAnno::GetWindowPos(HDC dc, int& x, int& y, SIZE* size)
{
    if (!pData)
        return false;
    Get2D(pData->vAnchor, x, y);
    SIZE local{};
    GetTextExtentPoint32A(dc, pData->title.c_str(), static_cast<int>(pData->title.size()) + 1,
                          size ? size : &local);
    return true;
}

void AuxProcessAnno::DrawGDI(KytOgl* ogl)
{
    if (!ogl || !IsDraw() || !bDrawBalloon)
        return;
    LOGFONTA lf{};
    pData->GetFontTitle(lf);
    HFONT previous = ogl->ChangeFont(&lf);
    HDC dc = ogl->GetHdc();
    const COLORREF colour = SetTextColor(dc, pData->textColor);
    int x = 0, y = 0;
    SIZE s{};
    GetWindowPos(dc, x, y, &s);
    const int mode = SetBkMode(dc, TRANSPARENT);
    Ellipse(dc, x - s.cy - s.cx / 2, y - s.cy, x + s.cy + s.cx / 2, y + s.cy);
    TextOutA(dc, x - s.cx / 2, y - s.cy / 2, pData->title.c_str(),
             static_cast<int>(pData->title.size()));
    SetBkMode(dc, mode);
    SetTextColor(dc, colour);
    if (previous)
        ogl->SelectObject(previous);
}

bool AuxProcessAnno::Pick(KytOgl* ogl, int px, int py)
{
    if (!ogl || !IsDraw())
        return false;
    LOGFONTA lf{};
    pData->GetFontTitle(lf);
    HFONT previous = ogl->ChangeFont(&lf);
    int x = 0, y = 0;
    SIZE s{};
    GetWindowPos(ogl->GetHdc(), x, y, &s);
    if (previous)
        ogl->SelectObject(previous);
    return x - s.cy - s.cx / 2 <= px && px <= x + s.cy + s.cx / 2 && y - s.cy / 2 <= py &&
           py <= y + s.cy / 2;
}

void AuxProcessAnno::Dragging(KytOgl* ogl)
{
    if (!ogl || !IsDraw())
        return;
    ogl->MakeCurrent();
    LOGFONTA lf{};
    pData->GetFontTitle(lf);
    HFONT previous = ogl->ChangeFont(&lf);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelM);
    glGetDoublev(GL_PROJECTION_MATRIX, projM);
    glGetIntegerv(GL_VIEWPORT, viewP);
    HDC dc = ogl->GetHdc();
    HPEN pen = CreatePen(PS_SOLID, 1, 0xFF8099);
    HGDIOBJ oldPen = quor::wgl::SelectObject(dc, pen);

    // The leader was drawn inverting what lay under it: inverting again takes it away.
    auto invertLeader = [&] {
        const int rop = SetROP2(dc, R2_NOT);
        MoveToEx(dc, anLineX[0], anLineY[0], nullptr);
        LineTo(dc, anLineX[1], anLineY[1]);
        SetROP2(dc, rop);
    };
    if (hBackBitmap) {
        if (bLeader)
            invertLeader();
        RestoreBackground(dc);
    }

    int x = 0, y = 0;
    SIZE s{};
    GetWindowPos(dc, x, y, &s);
    rcBack[0] = x - s.cy - s.cx / 2;
    rcBack[1] = y - s.cy;
    rcBack[2] = s.cx + 2 * s.cy;
    rcBack[3] = 2 * s.cy;
    CaptureBackground(dc, rcBack[0], rcBack[1], rcBack[2], rcBack[3]);
    if (bLeader) {
        Get2D(pData->vAnchor, anLineX[0], anLineY[0]);
        Get2D(pData->vBalloonOffset, anLineX[1], anLineY[1]);
        invertLeader();
    }

    HBRUSH brush = CreateSolidBrush(0x0080FF);
    HGDIOBJ oldBrush = quor::wgl::SelectObject(dc, brush);
    Ellipse(dc, rcBack[0], rcBack[1], rcBack[0] + rcBack[2], rcBack[1] + rcBack[3]);
    const COLORREF text = SetTextColor(dc, 0xFFFFFF);
    const COLORREF back = SetBkColor(dc, 0x0080FF);
    const int mode = SetBkMode(dc, OPAQUE);
    TextOutA(dc, x - s.cx / 2, y - s.cy / 2, pData->title.c_str(),
             static_cast<int>(pData->title.size()));
    SetBkMode(dc, mode);
    SetBkColor(dc, back);
    SetTextColor(dc, text);
    // A DC that had none takes the stock ones, so that ours can go.
    quor::wgl::SelectObject(dc, oldBrush ? oldBrush : GetStockObject(WHITE_BRUSH));
    quor::wgl::SelectObject(dc, oldPen ? oldPen : GetStockObject(BLACK_PEN));
    DeleteObject(brush);
    DeleteObject(pen);
    if (previous)
        ogl->SelectObject(previous);
}
