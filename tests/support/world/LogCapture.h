#pragma once
// Collects the world log lines written while it lives.
#include <string>
#include <vector>

namespace quor::test {

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::vector<std::string> Lines() const;
    bool Contains(const std::string& text) const;
    std::string Joined() const;
};

}  // namespace quor::test
