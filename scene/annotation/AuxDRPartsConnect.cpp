#include "scene/annotation/AuxDRPartsConnect.h"

#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxWindowGeometry.h"
#include "scene/view/KernelLinks.h"
#include "scene/view/KytScenes.h"

#include <cmath>
#include <cstring>

int AuxDRPartsConnect::nCounter = 0;
int AuxDRPartsConnect::viewP[4] = {0, 0, 0, 0};
double AuxDRPartsConnect::modelM[16] = {};
double AuxDRPartsConnect::projM[16] = {};
namespace {

// The annotation classes' message font (kept here too: statics of other files may not be set
// up yet when this one is).
LOGFONTA MessageFont()
{
    LOGFONTA f{};
    f.lfHeight = -12;
    f.lfWeight = 400;
    f.lfCharSet = 128;
    static const char face[] = "\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";
    std::memcpy(f.lfFaceName, face, sizeof(face));
    return f;
}

} // namespace

LOGFONTA AuxDRPartsConnect::MsgFont = MessageFont();

AuxDRPartsConnect::AuxDRPartsConnect() : nNo(nCounter++) {}

AuxDRPartsConnect::AuxDRPartsConnect(unsigned int id, KytLink* link) : AuxTarget(id, link), nNo(nCounter++)
{
    for (KytLink* l = link; l; l = kyt_links::Parent(l)) {
        if (!kyt_links::IsVisibleInLayer(l)) {
            bSubDraw = false;
            break;
        }
    }
}

AuxDRPartsConnect::AuxDRPartsConnect(const AuxDRPartsConnect* source) : AuxTarget(source)
{
    if (source) {
        pDRData = source->pDRData;
        nNo = source->nNo;
        // A copy is a live object: it keeps the selection, never the backup mark.
        bPicked = source->bPicked;
        std::memcpy(rcBack, source->rcBack, sizeof(rcBack));
        std::memcpy(anLineX, source->anLineX, sizeof(anLineX));
        std::memcpy(anLineY, source->anLineY, sizeof(anLineY));
    }
}

// The saved background belongs to the object that captured it: copies start without one.
AuxDRPartsConnect::AuxDRPartsConnect(const AuxDRPartsConnect& other)
    : AuxTarget(other), pDRData(other.pDRData), bPicked(other.bPicked), bBackup(other.bBackup),
      pNextDRPartsConnect(other.pNextDRPartsConnect), nNo(other.nNo)
{
    std::memcpy(rcBack, other.rcBack, sizeof(rcBack));
    std::memcpy(anLineX, other.anLineX, sizeof(anLineX));
    std::memcpy(anLineY, other.anLineY, sizeof(anLineY));
}

AuxDRPartsConnect& AuxDRPartsConnect::operator=(const AuxDRPartsConnect& other)
{
    if (this == &other)
        return *this;
    AuxTarget::operator=(other);
    pDRData = other.pDRData;
    bPicked = other.bPicked;
    bBackup = other.bBackup;
    pNextDRPartsConnect = other.pNextDRPartsConnect;
    nNo = other.nNo;
    if (hBackBitmap)
        DeleteObject(hBackBitmap);
    hBackBitmap = nullptr;
    std::memcpy(rcBack, other.rcBack, sizeof(rcBack));
    std::memcpy(anLineX, other.anLineX, sizeof(anLineX));
    std::memcpy(anLineY, other.anLineY, sizeof(anLineY));
    return *this;
}

AuxDRPartsConnect::~AuxDRPartsConnect()
{
    if (hBackBitmap)
        DeleteObject(hBackBitmap);
}

KytAuxContents* AuxDRPartsConnect::Duplicate()
{
    return new AuxDRPartsConnect(this);
}

int AuxDRPartsConnect::GetAuxType()
{
    return AUXTYPE_DR;
}

unsigned long AuxDRPartsConnect::GetDRID() const
{
    return pDRData ? pDRData->ulDRKey : 0;
}

int AuxDRPartsConnect::SetNo()
{
    nNo = nCounter++;
    return nNo;
}

AuxDRPartsConnect* AuxDRPartsConnect::SearchPartsConnect(const KytDRPartsConnectData* record)
{
    if (!record)
        return nullptr;
    for (AuxDRPartsConnect* o = this; o; o = o->pNextDRPartsConnect)
        if (o->pDRData && o->pDRData->ulKey == record->ulKey)
            return o;
    return nullptr;
}

bool AuxDRPartsConnect::IsDraw() const
{
    if (!pDRData || !pDRData->bShow || !pDRData->bDRVisible || bBackup)
        return false;
    if (!AuxTarget::IsDraw())
        return false;
    if (KytScenes::m_bDRHTMLPrintingNow)
        return (KytScenes::m_ulPRD_Item & 0x02) != 0;
    return true;
}

AuxDRPartsConnect* AuxDRPartsConnect::DuplicateDRPartsConnect()
{
    return static_cast<AuxDRPartsConnect*>(Duplicate());
}

AuxDRPartsConnect* AuxDRPartsConnect::SearchPartsConnect(int no)
{
    for (AuxDRPartsConnect* o = this; o; o = o->pNextDRPartsConnect)
        if (o->pDRData && o->pDRData->nNo == no)
            return o;
    return nullptr;
}

void AuxDRPartsConnect::Append(AuxDRPartsConnect* obj)
{
    AuxDRPartsConnect* last = this;
    while (last->pNextDRPartsConnect)
        last = last->pNextDRPartsConnect;
    last->pNextDRPartsConnect = obj;
}

void AuxDRPartsConnect::CheckVisual(KytLink* link)
{
    bSubDraw = aux_window::VisibleBelow(pTargetLink, GetSecondLink(), link);
}

bool AuxDRPartsConnect::ChangeRate(double rate)
{
    if (!pDRData || rate > 1.0 || !(rate >= 0.0))
        return false;
    pDRData->dRate = rate;
    return true;
}

bool AuxDRPartsConnect::GetBothEndPos(WqVector3D& from, WqVector3D& to) const
{
    if (!pTargetLink)
        return false;
    from = pTargetLink->referWorldMech.GetAbsPos(pTargetLink->vGeomCen);
    to = pTargetLink->mech.GetAbsPos(pTargetLink->vGeomCen);
    return true;
}

bool AuxDRPartsConnect::Path(WqVector3D pts[4], int* axis, double* extent) const
{
    if (!pTargetLink || !pDRData)
        return false;
    GetBothEndPos(pts[0], pts[3]);
    const WqVector3D d = pts[3] - pts[0];
    int e;
    if (pDRData->nAxisMode == 1) {
        e = 0;
        for (int i = 1; i < 3; ++i)
            if (std::fabs(d[i]) > std::fabs(d[e]))
                e = i;
    } else {
        const int up = KYT_GetUpAxis();
        e = up == 1 ? 1 : up == 2 ? 2 : 0;
    }
    const double f = d[e], r = pDRData->dRate;
    pts[1] = pts[0];
    pts[1][e] += r * f;
    pts[2] = pts[3];
    pts[2][e] -= (1.0 - r) * f;
    if (axis)
        *axis = e;
    if (extent)
        *extent = f;
    return true;
}

bool AuxDRPartsConnect::GetCenterPos(WqVector3D& a, WqVector3D& b) const
{
    WqVector3D p[4];
    if (!Path(p))
        return false;
    a = p[1];
    b = p[2];
    return true;
}

bool AuxDRPartsConnect::MoveEndPos(const WqVector3D& delta, bool)
{
    WqVector3D p[4];
    int e = 0;
    double f = 0.0;
    if (!Path(p, &e, &f))
        return false;
    // Not held to 0 to 1: the crossing may be dragged beyond either end.
    pDRData->dRate = f == 0.0 ? 0.0 : pDRData->dRate + delta[e] / f;
    return true;
}

bool AuxDRPartsConnect::CopyEndPos(const AuxDRPartsConnect* other)
{
    if (!pDRData || !other || !other->pDRData)
        return false;
    pDRData->dRate = other->pDRData->dRate;
    return true;
}

void AuxDRPartsConnect::Draw()
{
    WqVector3D p[4];
    if (!pDRData || !IsDraw() || !Path(p))
        return;
    const COLORREF c = pDRData->color;
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_LINE_BIT | GL_POINT_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glLineWidth(2.0f);
    glColor3f((c & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, ((c >> 16) & 0xFF) / 255.0f);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, aux_window::LineStipple(pDRData->nLineStyle));
    glBegin(GL_LINE_STRIP);
    for (const WqVector3D& v : p)
        glVertex3d(v.x, v.y, v.z);
    glEnd();
    glColor3f(0.9f, 0.9f, 0.0f);
    glPointSize(5.0f);
    glBegin(GL_POINTS);
    for (const WqVector3D& v : p)
        glVertex3d(v.x, v.y, v.z);
    glEnd();
    glPopAttrib();
}

bool AuxDRPartsConnect::Pick(KytOgl*, int px, int py)
{
    WqVector3D p[4];
    if (!IsDraw() || !Path(p))
        return false;
    int x[4], y[4];
    for (int i = 1; i < 3; ++i)
        aux_window::ProjectInt(p[i], modelM, projM, viewP, x[i], y[i]);
    return aux_window::NearSegment(x[1], y[1], x[2], y[2], px, py, 5.0);
}

bool AuxDRPartsConnect::Pick2(KytOgl*, int px, int py)
{
    WqVector3D p[4];
    if (!IsDraw() || !Path(p))
        return false;
    int x[4], y[4];
    for (int i = 0; i < 4; ++i)
        aux_window::ProjectInt(p[i], modelM, projM, viewP, x[i], y[i]);
    for (int i = 0; i < 3; ++i)
        if (aux_window::NearSegment(x[i], y[i], x[i + 1], y[i + 1], px, py, 5.0))
            return true;
    return false;
}

void AuxDRPartsConnect::EndDrag()
{
    if (hBackBitmap)
        DeleteObject(hBackBitmap);
    hBackBitmap = nullptr;
    std::memset(rcBack, 0, sizeof(rcBack));
    std::memset(anLineX, 0, sizeof(anLineX));
    std::memset(anLineY, 0, sizeof(anLineY));
}

void AuxDRPartsConnect::CaptureBackground(HDC dc, long x, long y, long cx, long cy)
{
    if (hBackBitmap) {
        // A bitmap smaller than the new box would leave part of the feedback behind when it
        // is put back: make one that fits.
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
