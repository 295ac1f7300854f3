#pragma once
// One table of number texts for the two parsers with the same rules: the module's
// (TextToInt, TextToDouble) and the reference host's (its typed XML attribute readers).
// Only decimal forms count; "nan", "inf" and results beyond the double range read 0;
// integers beyond the int range saturate. Hex integers are the host readers' own extra.
#include <climits>

namespace quor::test {

struct NumberCase {
    const char* text;
    int asInt;          // both sides
    int asIntHost;      // the host's integer reader (differs only for hex)
    double asDouble;    // both sides
};

inline constexpr NumberCase kNumberCases[] = {
    {"42", 42, 42, 42.0},
    {"  \t-17abc", -17, -17, -17.0},
    {"+8", 8, 8, 8.0},
    {"+-8", 0, 0, 0.0},
    {"--8", 0, 0, 0.0},
    {"-", 0, 0, 0.0},
    {"", 0, 0, 0.0},
    {"junk", 0, 0, 0.0},
    {"2147483647", INT_MAX, INT_MAX, 2147483647.0},
    {"2147483648", INT_MAX, INT_MAX, 2147483648.0},
    {"-2147483648", INT_MIN, INT_MIN, -2147483648.0},
    {"-2147483649", INT_MIN, INT_MIN, -2147483649.0},
    {"9223372036854775807", INT_MAX, INT_MAX, 9223372036854775807.0},
    {"-9223372036854775808", INT_MIN, INT_MIN, -9223372036854775808.0},
    {"-99999999999999999999999", INT_MIN, INT_MIN, -99999999999999999999999.0},
    {"0x1F", 0, 31, 0.0},
    {"-0x10", 0, -16, -0.0},
    {"1.5", 1, 1, 1.5},
    {".5", 0, 0, 0.5},
    {"-2.5e1", -2, -2, -25.0},
    {"3E2x", 3, 3, 300.0},
    {"1e", 1, 1, 1.0},
    {"1e+", 1, 1, 1.0},
    {"1e400", 1, 1, 0.0},
    {"-1e400", -1, -1, 0.0},
    {"1e-400", 1, 1, 0.0},
    {"nan", 0, 0, 0.0},
    {"-nan", 0, 0, 0.0},
    {"inf", 0, 0, 0.0},
    {"+Infinity", 0, 0, 0.0},
    {"INF", 0, 0, 0.0},
};

}  // namespace quor::test
