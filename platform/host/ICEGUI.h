#pragma once

namespace quor::client {

// The host's GUI. The module fetches it and never calls it.
class ICEGUI {
public:

protected:
    ~ICEGUI() = default;
};

}  // namespace quor::client
