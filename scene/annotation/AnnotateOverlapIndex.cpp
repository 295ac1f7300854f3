#include "scene/annotation/AnnotateOverlapIndex.h"

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"

namespace {

bool Shares(const KytAnnotateData* other, const KytAnnotateData* data)
{
    return other->ulKey != data->ulKey && other->uOverlapID == data->uOverlapID;
}

} // namespace

AnnotateOverlapMatch FindOverlapByWalk(KytLink* top, const KytLink* own,
                                       const KytAnnotateData* data)
{
    for (KytLink* l = top; l; l = l->SearchNext()) {
        if (l == own)
            continue;
        for (KytAnnotateData* r = l->pAnnotate; r; r = r->pNext)
            if (Shares(r, data))
                return {l, r};
    }
    return {};
}

void AnnotateOverlapIndex::Build(KytLink* top)
{
    top_ = top;
    byOverlap_.clear();
    for (KytLink* l = top; l; l = l->SearchNext())
        for (KytAnnotateData* r = l->pAnnotate; r; r = r->pNext)
            byOverlap_[r->uOverlapID].push_back({l, r});
}

AnnotateOverlapMatch AnnotateOverlapIndex::Find(const KytLink* own,
                                                const KytAnnotateData* data) const
{
    auto it = byOverlap_.find(data->uOverlapID);
    if (it == byOverlap_.end())
        return {};
    for (const AnnotateOverlapMatch& m : it->second)
        if (m.link != own && Shares(m.data, data))
            return m;
    return {};
}
