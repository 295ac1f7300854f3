#include "scene/annotation/AuxDRAnnotate.h"

#include "platform/kernel/KytRecords.h"
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
    hBackBitmap = nullptr;
    bBackup = false;
}
