#pragma once

namespace quor::client {

// The host's script client. It may be absent; test for null before each use.
class IPyClient {
public:

protected:
    ~IPyClient() = default;
};

}  // namespace quor::client
