#include "tests/support/world/LogCapture.h"

namespace quor::test {

std::vector<std::string> LogCapture::Lines() const {
    std::vector<std::string> lines;
    for (const auto& e : bound.host.log.Entries()) {
        if (e.kind == host::RecordingLog::Kind::Write) lines.push_back(e.text);
    }
    return lines;
}

bool LogCapture::Contains(const std::string& text) const {
    for (const auto& l : Lines()) {
        if (l.find(text) != std::string::npos) return true;
    }
    return false;
}

std::string LogCapture::Joined() const {
    std::string s;
    for (const auto& l : Lines()) s += l + "\n";
    return s;
}

}  // namespace quor::test
