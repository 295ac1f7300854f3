#pragma once
#include <cstdint>

namespace quor {
class AsyncData;
}

namespace quor::common {

// The host's asynchronous loader: runs load records on its own threads.
class IAsyncLoader {
public:
    // Queues the record; the loader runs its Load, polls IsPending and at last Recycles it.
    virtual void Submit(AsyncData* record) = 0;
    virtual std::uint32_t GetRequestStamp() = 0;
    // Recycles, unrun, every queued record that refers to the owner, and returns only when no
    // record that refers to it is running any more.
    virtual void CancelOwner(const void* owner) = 0;

protected:
    ~IAsyncLoader() = default;
};

}  // namespace quor::common
