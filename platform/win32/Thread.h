#pragma once
#include <atomic>
#include <functional>
#include <thread>

#include "platform/win32/Types.h"

namespace quor::win32 {

// Priorities as SetThreadPriority takes them. The stand-in records the value; Linux
// scheduling of ordinary threads is left alone.
enum : int {
    THREAD_PRIORITY_IDLE = -15,
    THREAD_PRIORITY_LOWEST = -2,
    THREAD_PRIORITY_BELOW_NORMAL = -1,
    THREAD_PRIORITY_NORMAL = 0,
    THREAD_PRIORITY_ABOVE_NORMAL = 1,
    THREAD_PRIORITY_HIGHEST = 2,
    THREAD_PRIORITY_TIME_CRITICAL = 15,
};

// A thread made by CreateThread: it starts running at once. Unlike a closed Win32
// handle, destroying a Thread waits for its routine to return, so no routine can
// outlive the objects it works on.
class Thread {
public:
    using Routine = std::function<DWORD()>;

    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // False when a routine is already attached (finished or not) or the thread cannot start.
    bool Start(Routine routine);
    bool SetPriority(int priority);
    int Priority() const { return m_priority.load(); }
    // Waits for the routine to return; nothing when no thread was started.
    void Join();
    bool IsStarted() const { return m_thread.joinable(); }
    bool IsRunning() const { return m_running.load(); }
    // The id the routine sees from GetCurrentThreadId (0 before Start).
    DWORD Id() const { return m_id; }
    DWORD ExitCode() const { return m_exitCode.load(); }

    // Threads started and not yet joined, process-wide: lets tests see that none leaks.
    static int LiveCount();

private:
    std::thread m_thread;
    std::atomic<int> m_priority{THREAD_PRIORITY_NORMAL};
    std::atomic<bool> m_running{false};
    std::atomic<DWORD> m_exitCode{0};
    DWORD m_id = 0;
};

void Sleep(DWORD milliseconds);
// Small process-unique ids, never 0; the first thread to ask gets the lowest.
DWORD GetCurrentThreadId();

}  // namespace quor::win32
