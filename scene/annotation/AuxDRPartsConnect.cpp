#include "scene/annotation/AuxDRPartsConnect.h"

#include "platform/kernel/KytRecords.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KernelLinks.h"

int AuxDRPartsConnect::nCounter = 0;
int AuxDRPartsConnect::viewP[4] = {0, 0, 0, 0};
double AuxDRPartsConnect::modelM[16] = {};
double AuxDRPartsConnect::projM[16] = {};

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
    }
}

AuxDRPartsConnect::AuxDRPartsConnect(const AuxDRPartsConnect& other) = default;

AuxDRPartsConnect& AuxDRPartsConnect::operator=(const AuxDRPartsConnect& other) = default;

AuxDRPartsConnect::~AuxDRPartsConnect() = default;

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
