#pragma once

namespace quor::client {

// The host's network service. The module fetches it and never calls it.
class network {
public:

protected:
    ~network() = default;
};

}  // namespace quor::client
