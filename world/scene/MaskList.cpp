#include "world/scene/MaskList.h"

#include <cstring>
#include <limits>

namespace quor::world {

namespace {

// A decimal integer as "%d" reads it (leading blanks, an optional sign); false when there are
// no digits or the value leaves 32 bits.
bool ReadInt(const char*& p, const char* end, std::int32_t& out) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    if (p >= end || *p < '0' || *p > '9') return false;
    std::int64_t value = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1) return false;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) return false;
    out = std::int32_t(value);
    return true;
}

bool ReadFields(const char* p, const char* end, MaskListEntry& e) {
    std::int32_t* fields[5] = {&e.x, &e.y, &e.width, &e.height, &e.type};
    for (int i = 0; i < 5; ++i) {
        if (i > 0) {
            if (p >= end || *p != ',') return false;
            ++p;
        }
        if (!ReadInt(p, end, *fields[i])) return false;
    }
    return true;
}

}  // namespace

std::vector<MaskListEntry> ParseMaskList(const char* data, std::size_t size) {
    std::vector<MaskListEntry> out;
    if (!data) return out;
    // The text ends at the first zero byte, as a C string read from the file would.
    const char* p = data;
    const char* zero = static_cast<const char*>(std::memchr(data, 0, size));
    const char* end = zero ? zero : data + size;
    while (p < end) {
        const char* lineEnd = p;
        while (lineEnd < end && !(*lineEnd == '\r' && lineEnd + 1 < end && lineEnd[1] == '\n')) ++lineEnd;
        const char* next = lineEnd < end ? lineEnd + 2 : end;
        if (lineEnd == p) break;
        const char* comma = static_cast<const char*>(std::memchr(p, ',', std::size_t(lineEnd - p)));
        if (!comma) break;
        MaskListEntry e;
        e.name.assign(p, comma);
        if (ReadFields(comma + 1, lineEnd, e) && e.x >= 0 && e.y >= 0 && e.width > 0 && e.height > 0 &&
            std::int64_t(e.x) + e.width <= std::numeric_limits<std::int32_t>::max() &&
            std::int64_t(e.y) + e.height <= std::numeric_limits<std::int32_t>::max())
            out.push_back(std::move(e));
        p = next;
    }
    return out;
}

}  // namespace quor::world
