#include "tests/support/world/LogCapture.h"

#include "world/mesh/MeshDeps.h"

namespace quor::test {

LogCapture::LogCapture() { g_tempLog.clear(); }
LogCapture::~LogCapture() { g_tempLog.clear(); }
std::vector<std::string> LogCapture::Lines() const { return g_tempLog; }
bool LogCapture::Contains(const std::string& text) const {
    for (const auto& l : g_tempLog) {
        if (l.find(text) != std::string::npos) return true;
    }
    return false;
}
std::string LogCapture::Joined() const {
    std::string s;
    for (const auto& l : g_tempLog) s += l + "\n";
    return s;
}

}  // namespace quor::test
