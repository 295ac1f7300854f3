#include "world/mesh/MeshDeps.h"
#include <cstdarg>
#include <cstdio>
namespace quor {
std::vector<std::string> g_tempLog;
static void Put(const char* pre, const char* fmt, va_list ap) {
    char buf[4096];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    g_tempLog.push_back(std::string(pre) + buf);
}
void LogError(const char* fmt, ...) { va_list ap; va_start(ap, fmt); Put("[ERROR] ", fmt, ap); va_end(ap); }
void LogWarning(const char* fmt, ...) { va_list ap; va_start(ap, fmt); Put("[WARNING] ", fmt, ap); va_end(ap); }
void LogInfo(const char* fmt, ...) { va_list ap; va_start(ap, fmt); Put("", fmt, ap); va_end(ap); }
bool MatrixInverse(Matrix4& m) {
    double a[4][8];
    for (int i = 0; i < 4; ++i) for (int j = 0; j < 8; ++j) a[i][j] = j < 4 ? m.m[i][j] : (j - 4 == i);
    for (int c = 0; c < 4; ++c) {
        int p = c;
        for (int r = c + 1; r < 4; ++r) if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
        if (std::fabs(a[p][c]) < 1e-12) return false;
        for (int j = 0; j < 8; ++j) std::swap(a[c][j], a[p][j]);
        double d = a[c][c];
        for (int j = 0; j < 8; ++j) a[c][j] /= d;
        for (int r = 0; r < 4; ++r) if (r != c) { double f = a[r][c]; for (int j = 0; j < 8; ++j) a[r][j] -= f * a[c][j]; }
    }
    for (int i = 0; i < 4; ++i) for (int j = 0; j < 4; ++j) m.m[i][j] = float(a[i][j + 4]);
    return true;
}
}
