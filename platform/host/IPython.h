#pragma once

namespace quor::client {

// The host's script engine. The module fetches it and never calls it.
class IPython {
public:

protected:
    ~IPython() = default;
};

}  // namespace quor::client
