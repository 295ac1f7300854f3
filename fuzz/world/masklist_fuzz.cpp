// Reads arbitrary bytes as a map's "mask.txt". Every entry it gives must keep to the line
// rules: a name without a comma or line break, a position of 0 or more, a positive size, and
// a far edge that fits in 32 bits; never more entries than lines.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "world/scene/MaskList.h"

namespace {

void Require(bool holds) {
    if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A private copy so reads past the end land outside an exact-size heap block.
    std::vector<char> bytes(data, data + size);
    const auto entries = quor::world::ParseMaskList(bytes.data(), bytes.size());
    std::size_t lines = 1;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) lines += bytes[i] == '\r' && bytes[i + 1] == '\n';
    Require(entries.size() <= lines);
    for (const auto& e : entries) {
        Require(e.name.find(',') == std::string::npos && e.name.find('\0') == std::string::npos);
        Require(e.name.find("\r\n") == std::string::npos);
        Require(e.x >= 0 && e.y >= 0 && e.width > 0 && e.height > 0);
        Require(std::int64_t(e.x) + e.width <= std::numeric_limits<std::int32_t>::max());
        Require(std::int64_t(e.y) + e.height <= std::numeric_limits<std::int32_t>::max());
    }
    return 0;
}
