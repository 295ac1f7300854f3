#include "scene/annotation/AuxAnnotate.h"

#include "scene/view/KernelLinks.h"
#include "platform/kernel/KytRecords.h"

#include <cmath>
#include <cstring>

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

AuxAnnotate::AuxAnnotate(const AuxAnnotate& other) = default;

AuxAnnotate& AuxAnnotate::operator=(const AuxAnnotate& other) = default;

AuxAnnotate::~AuxAnnotate() = default;

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

void AuxAnnotate::Draw() {}

void AuxAnnotate::CheckVisual(KytLink* link)
{
    AuxTarget::CheckVisual(link);
}

WqVector3D AuxAnnotate::GetFirstPoint()
{
    return pData ? pData->vAnchor : WqVector3D();
}

KytLink* AuxAnnotate::GetSecondLink() const
{
    return nullptr;
}

bool AuxAnnotate::GetEndPoint(WqVector3D&) const
{
    return false;
}

bool AuxAnnotate::GetWindowPos(HDC, int&, int&, SIZE*)
{
    return false;
}

void AuxAnnotate::DrawGDI(KytOgl*) {}
void AuxAnnotate::Dragging(KytOgl*) {}
void AuxAnnotate::EndDrag() {}

bool AuxAnnotate::Pick(KytOgl*, int, int)
{
    return false;
}

bool AuxAnnotate::Pick2(KytOgl*, int, int)
{
    return false;
}

void AuxAnnotate::SetEndPos(const WqVector3D& pos)
{
    vSecondPoint = pos;
}

bool AuxAnnotate::MoveEndPos(const WqVector3D&, bool)
{
    return false;
}

bool AuxAnnotate::GetState() const
{
    return IsDraw();
}

bool AuxAnnotate::CopyEndPos(const AuxAnnotate*)
{
    return false;
}

bool AuxAnnotate::GetVector(WqVector3D&) const
{
    return false;
}

void AuxAnnotate::CaptureBackground(HDC, long, long, long, long) {}
void AuxAnnotate::ReCalcVector() {}

const char* AuxAnnotate::GetTitle() const
{
    return pData ? pData->title.c_str() : nullptr;
}

AuxAnnotate* AuxAnnotate::SearchAnnotation(const KytAnnotateData*)
{
    return nullptr;
}

AuxAnnotate* AuxAnnotate::SearchAnnotationByOverlapID(unsigned int)
{
    return nullptr;
}

void AuxAnnotate::SetFont(const LOGFONTA& font)
{
    MsgFont = font;
}

void AuxAnnotate::GetFont(LOGFONTA& out)
{
    out = MsgFont;
}

LOGFONTA& AuxAnnotate::GetFont()
{
    return MsgFont;
}

void AuxAnnotate::Get2D(const WqVector3D&, int& x, int& y)
{
    x = y = 0;
}

double AuxAnnotate::GetDistPtoP(double x1, double y1, double x2, double y2)
{
    return std::hypot(x2 - x1, y2 - y1);
}

double AuxAnnotate::GetDistLtoP(double, double, double, double, double, double)
{
    return -1.0;
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
