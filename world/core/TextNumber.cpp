#include "world/core/TextNumber.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace quor {

namespace {
const char* SkipBlanks(const char* p) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
    return p;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

double TextToDouble(const char* text) {
    if (!text) return 0.0;
    const char* p = SkipBlanks(text);
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    // A decimal number starts with a digit or a point; this keeps out "nan" and "inf".
    if (!IsDigit(*p) && !(*p == '.' && IsDigit(p[1]))) return 0.0;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(p, p + std::strlen(p), value, std::chars_format::general);
    (void)end;
    if (ec != std::errc() || !std::isfinite(value)) return 0.0;
    return negative ? -value : value;
}

int TextToInt(const char* text) {
    if (!text) return 0;
    const char* p = SkipBlanks(text);
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    // The magnitude in unsigned arithmetic, held at one past INT_MAX once it gets there.
    constexpr unsigned long long kLimit = static_cast<unsigned long long>(INT_MAX) + 1;
    unsigned long long magnitude = 0;
    for (; IsDigit(*p); ++p) {
        magnitude = magnitude * 10 + static_cast<unsigned>(*p - '0');
        if (magnitude > kLimit) magnitude = kLimit;
    }
    if (negative) return magnitude >= kLimit ? INT_MIN : -static_cast<int>(magnitude);
    return magnitude >= kLimit ? INT_MAX : static_cast<int>(magnitude);
}

}  // namespace quor
