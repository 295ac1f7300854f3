#include "world/core/TextNumber.h"

#include <charconv>
#include <cstring>

namespace quor {

namespace {
const char* SkipBlanks(const char* p) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
    return p;
}
}  // namespace

double TextToDouble(const char* text) {
    if (!text) return 0.0;
    const char* p = SkipBlanks(text);
    // from_chars takes a minus sign but not a plus sign.
    if (*p == '+' && p[1] != '-' && p[1] != '+') ++p;
    double value = 0.0;
    auto [end, ec] = std::from_chars(p, p + std::strlen(p), value);
    (void)end;
    if (ec == std::errc() || ec == std::errc::result_out_of_range) return value;
    return 0.0;
}

int TextToInt(const char* text) {
    if (!text) return 0;
    const char* p = SkipBlanks(text);
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > 0xFFFFFFFFLL) value = 0xFFFFFFFFLL;  // saturate instead of overflowing
    }
    if (negative) value = -value;
    return static_cast<int>(static_cast<unsigned int>(value));
}

}  // namespace quor
