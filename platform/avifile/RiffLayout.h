#pragma once
// Fixed offsets of the header block that RiffAviWriter writes; shared with its tests.

#include <cstdint>

namespace quor::avi::layout {

constexpr uint32_t kAvihBytes = 56;
constexpr uint32_t kStrhBytes = 56;
constexpr uint32_t kStrfBytes = 40;
constexpr uint32_t kAvifHasIndex = 0x10;

constexpr long kHdrlList = 12;
constexpr long kAvihChunk = kHdrlList + 12;
constexpr long kStrlList = kAvihChunk + 8 + kAvihBytes;
constexpr long kStrhChunk = kStrlList + 12;
constexpr long kStrfChunk = kStrhChunk + 8 + kStrhBytes;
constexpr long kMoviList = kStrfChunk + 8 + kStrfBytes;
constexpr long kMoviData = kMoviList + 12;

constexpr uint32_t kStrlSize = 4 + (8 + kStrhBytes) + (8 + kStrfBytes);
constexpr uint32_t kHdrlSize = 4 + (8 + kAvihBytes) + (8 + kStrlSize);

static_assert(kHdrlList + 8 + kHdrlSize == kMoviList);

}  // namespace quor::avi::layout
