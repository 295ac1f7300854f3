// Builders that file review records on links and fix the reference state of a tree.

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"

namespace {

template <class R>
void AppendRecord(R*& head, R* record)
{
    R** at = &head;
    while (*at) {
        if (*at == record)
            return;  // already filed
        at = &(*at)->pNext;
    }
    record->pNext = nullptr;
    *at = record;
}

} // namespace

void KYT_AttachDRArrow(KytLink* link, KytDRArrowData* record)
{
    if (link && record)
        AppendRecord(link->pDRArrow, record);
}

void KYT_AttachDRPartsConnect(KytLink* link, KytDRPartsConnectData* record)
{
    if (link && record)
        AppendRecord(link->pDRPartsConnect, record);
}

void KYT_SetReferencePlacement(KytLink* root)
{
    if (!root)
        return;
    root->referWorldMech = root->mech;
    for (KytLink* c = root->pChild[KYT_REFER_ASSEMBLY]; c; c = c->pSibling[KYT_REFER_ASSEMBLY])
        KYT_SetReferencePlacement(c);
}
