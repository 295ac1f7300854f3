#pragma once

namespace quor::client {

// The host's physics. The module fetches it and never calls it.
class IPhysics {
public:

protected:
    ~IPhysics() = default;
};

}  // namespace quor::client
