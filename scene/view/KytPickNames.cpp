#include "scene/view/KytPickNames.h"

#include <algorithm>

#include <GL/gl.h>

bool KytPickNames::s_bOpen = false;
uint32_t KytPickNames::s_uNext = KytPickNames::kFirstId;
std::vector<KytPickNames::Range> KytPickNames::s_ranges;

void KytPickNames::Begin()
{
    s_ranges.clear();
    s_uNext = kFirstId;
    s_bOpen = true;
}

void KytPickNames::LoadName(const void* p)
{
    if (s_bOpen)
        glLoadName(Name(p));
}

void KytPickNames::End()
{
    s_bOpen = false;
}

uint32_t KytPickNames::Register(const void* p, size_t stride, size_t count)
{
    // The id space ends below kUnnamed; a pass that runs out names the rest unnamed.
    if (count > static_cast<size_t>(kUnnamed - s_uNext))
        return kUnnamed;
    const uint32_t id = s_uNext;
    s_ranges.push_back({id, static_cast<const unsigned char*>(p), stride, count});
    s_uNext += static_cast<uint32_t>(count);
    return id;
}

const void* KytPickNames::Lookup(uint32_t id)
{
    if (id < kFirstId || id >= s_uNext)
        return nullptr;
    // Ranges are appended with growing ids: the last one starting at or below `id` holds it.
    auto it = std::upper_bound(s_ranges.begin(), s_ranges.end(), id,
                               [](uint32_t v, const Range& r) { return v < r.first; });
    if (it == s_ranges.begin())
        return nullptr;
    --it;
    const size_t index = id - it->first;
    if (index >= it->count)
        return nullptr;
    return it->base + index * it->stride;
}
