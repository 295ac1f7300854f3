#pragma once
// A reference host bound to the module whose log lines a test can read back.
#include <memory>
#include <string>
#include <vector>

#include "tests/support/world/BoundHost.h"

namespace quor::test {

class LogCapture {
public:
    explicit LogCapture(std::unique_ptr<host::ResFileSystemBase> files = nullptr) : bound(std::move(files)) {}
    // The texts written to the log (banners and line feeds left out).
    std::vector<std::string> Lines() const;
    bool Contains(const std::string& text) const;
    std::string Joined() const;
    void Clear() { bound.host.log.Clear(); }

    BoundHost bound;
};

}  // namespace quor::test
