#include "scene/annotation/AuxDRArrow.h"

#include "platform/kernel/KytRecords.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KernelLinks.h"

int AuxDRArrow::nCounter = 0;
int AuxDRArrow::viewP[4] = {0, 0, 0, 0};
double AuxDRArrow::modelM[16] = {};
double AuxDRArrow::projM[16] = {};

AuxDRArrow::AuxDRArrow() : nNo(nCounter++) {}

AuxDRArrow::AuxDRArrow(unsigned int id, KytLink* link) : AuxTarget(id, link), nNo(nCounter++)
{
    for (KytLink* l = link; l; l = kyt_links::Parent(l)) {
        if (!kyt_links::IsVisibleInLayer(l)) {
            bSubDraw = false;
            break;
        }
    }
}

AuxDRArrow::AuxDRArrow(const AuxDRArrow* source) : AuxTarget(source)
{
    if (source) {
        pDRData = source->pDRData;
        nNo = source->nNo;
        // A copy is a live object: it keeps the selection, never the backup mark.
        bPicked = source->bPicked;
    }
}

AuxDRArrow::AuxDRArrow(const AuxDRArrow& other) = default;

AuxDRArrow& AuxDRArrow::operator=(const AuxDRArrow& other) = default;

AuxDRArrow::~AuxDRArrow() = default;

KytAuxContents* AuxDRArrow::Duplicate()
{
    return new AuxDRArrow(this);
}

int AuxDRArrow::GetAuxType()
{
    return AUXTYPE_DR;
}

unsigned long AuxDRArrow::GetDRID() const
{
    return pDRData ? pDRData->ulDRKey : 0;
}

int AuxDRArrow::SetNo()
{
    nNo = nCounter++;
    return nNo;
}

AuxDRArrow* AuxDRArrow::SearchArrow(const KytDRArrowData* record)
{
    if (!record)
        return nullptr;
    for (AuxDRArrow* o = this; o; o = o->pNextDRArrow)
        if (o->pDRData && o->pDRData->ulKey == record->ulKey)
            return o;
    return nullptr;
}

bool AuxDRArrow::IsDraw() const
{
    if (!pDRData || !pDRData->bShow || !pDRData->bDRVisible || bBackup)
        return false;
    if (!AuxTarget::IsDraw())
        return false;
    if (KytScenes::m_bDRHTMLPrintingNow)
        return (KytScenes::m_ulPRD_Item & 0x04) != 0;
    return true;
}

AuxDRArrow* AuxDRArrow::DuplicateDRArrow()
{
    return static_cast<AuxDRArrow*>(Duplicate());
}

AuxDRArrow* AuxDRArrow::SearchArrow(int no)
{
    for (AuxDRArrow* o = this; o; o = o->pNextDRArrow)
        if (o->pDRData && o->pDRData->nNo == no)
            return o;
    return nullptr;
}

void AuxDRArrow::Append(AuxDRArrow* obj)
{
    AuxDRArrow* last = this;
    while (last->pNextDRArrow)
        last = last->pNextDRArrow;
    last->pNextDRArrow = obj;
}
