#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/host/IAsyncLoader.h"

namespace quor::host {

// The reference loader: one queue served by N worker threads, or, with 0 threads, an inline
// mode where records wait until the test calls Drain and then run in order on its thread.
// A record still pending after its Load is polled again (every millisecond on a worker, at the
// next Drain inline) and recycled once it is not.
class AsyncLoader final : public common::IAsyncLoader {
public:
    explicit AsyncLoader(int threads = 2);
    // Stops the workers; records still queued are recycled unrun.
    ~AsyncLoader();
    AsyncLoader(const AsyncLoader&) = delete;
    AsyncLoader& operator=(const AsyncLoader&) = delete;

    void Submit(AsyncData* record) override;
    std::uint32_t GetRequestStamp() override;
    void CancelOwner(const void* owner) override;

    // Inline mode: runs every queued record (and polls those still pending); returns how many
    // were recycled. Does nothing with workers.
    int Drain();
    // Returns when the queue is empty and no record is running or being polled.
    void WaitIdle();

    int Submitted() const { return m_submitted.load(); }
    int Recycled() const { return m_recycled.load(); }
    int Cancelled() const { return m_cancelled.load(); }

private:
    void Worker();
    // Load, then poll until the record is no longer pending; then recycle it.
    void Run(AsyncData* record, bool pollForever);
    bool RunningRefersTo(const void* owner);

    const bool m_inline;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_changed;
    std::deque<AsyncData*> m_queue;
    std::vector<AsyncData*> m_running;
    // Inline mode: loaded records still pending.
    std::vector<AsyncData*> m_polling;
    // Records taken off the running list and being recycled.
    int m_finishing = 0;
    std::vector<std::thread> m_threads;
    bool m_stop = false;
    std::atomic<std::uint32_t> m_stamp{0};
    std::atomic<int> m_submitted{0};
    std::atomic<int> m_recycled{0};
    std::atomic<int> m_cancelled{0};
};

}  // namespace quor::host
