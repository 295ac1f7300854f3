#include "scene/annotation/AuxDRAnnotate.h"

#include "platform/kernel/KytRecords.h"

int AuxDRAnnotate::nCounter = 0;

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
