#include "platform/kernel/TOKEN.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

int TOKEN::GetToken()
{
    szToken.clear();
    int c;
    while ((c = in_->get()) != EOF && std::isspace(static_cast<unsigned char>(c))) {
    }
    if (c == EOF)
        return -1;
    if (c == '{' || c == '}') {
        szToken.push_back(static_cast<char>(c));
        return 1;
    }
    do {
        szToken.push_back(static_cast<char>(c));
        c = in_->peek();
        if (c == EOF || std::isspace(c) || c == '{' || c == '}')
            break;
        in_->get();
    } while (true);
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
