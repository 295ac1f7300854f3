#pragma once

namespace quor::common {

// The host's plain file system. The module fetches it and never calls it.
class IFileSystem {
public:

protected:
    ~IFileSystem() = default;
};

}  // namespace quor::common
