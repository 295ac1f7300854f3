#pragma once

namespace quor::common {

// The host's asynchronous loader: runs load records on its own threads.
class IAsyncLoader {
public:

protected:
    ~IAsyncLoader() = default;
};

}  // namespace quor::common
