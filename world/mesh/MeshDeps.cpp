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
}
