#include "platform/kernel/TOKEN.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>

namespace {
// Blanks of the "C" locale: a token never depends on the process's locale.
bool IsBlank(int c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}
}  // namespace

int TOKEN::GetToken()
{
    szToken.clear();
    // Straight from the stream's buffer: a sentry per character made reading a long text
    // several times slower than converting its numbers.
    std::streambuf* buf = in_->good() ? in_->rdbuf() : nullptr;
    if (!buf) {
        in_->setstate(std::ios::failbit);
        return -1;
    }
    using Traits = std::char_traits<char>;
    int c;
    while ((c = buf->sbumpc()) != Traits::eof() && IsBlank(c)) {
    }
    if (c == Traits::eof()) {
        in_->setstate(std::ios::eofbit | std::ios::failbit);
        return -1;
    }
    szToken.push_back(static_cast<char>(c));
    if (c == '{' || c == '}')
        return 1;
    for (c = buf->sgetc(); c != Traits::eof(); c = buf->snextc()) {
        if (IsBlank(c) || c == '{' || c == '}')
            return static_cast<int>(szToken.size());
        szToken.push_back(static_cast<char>(c));
    }
    in_->setstate(std::ios::eofbit);
    return static_cast<int>(szToken.size());
}

int TOKEN::GetINT(int& out)
{
    if (GetToken() < 0)
        return -1;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(szToken.c_str(), &end, 10);
    if (end == szToken.c_str() || *end || errno || v < INT_MIN || v > INT_MAX)
        return -1;
    out = static_cast<int>(v);
    return 0;
}

int TOKEN::GetUINT(unsigned int& out)
{
    if (GetToken() < 0 || szToken.empty() || szToken[0] == '-')
        return -1;
    errno = 0;
    char* end = nullptr;
    const unsigned long v = std::strtoul(szToken.c_str(), &end, 10);
    if (end == szToken.c_str() || *end || errno || v > UINT_MAX)
        return -1;
    out = static_cast<unsigned>(v);
    return 0;
}

int TOKEN::GetDOUBLE(double& out)
{
    if (GetToken() < 0)
        return -1;
    // Plain decimal texts convert without strtod's cost, to the same correctly rounded value;
    // every other form (a sign "+", hexadecimal, beyond the range) takes strtod as before.
    const char* const first = szToken.data();
    const char* const last = first + szToken.size();
    double fast = 0.0;
    const auto r = std::from_chars(first, last, fast);
    if (r.ec == std::errc() && r.ptr == last) {
        out = fast;
        return 0;
    }
    char* end = nullptr;
    const double v = std::strtod(szToken.c_str(), &end);
    if (end == szToken.c_str() || *end)
        return -1;
    out = v;
    return 0;
}

int TOKEN::GetCVector(WqVector3D& out)
{
    WqVector3D v;
    if (GetDOUBLE(v.x) || GetDOUBLE(v.y) || GetDOUBLE(v.z))
        return -1;
    out = v;
    return 0;
}
