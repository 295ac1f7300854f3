#pragma once
#include <atomic>
#include <functional>
#include <memory>
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
// outlive the objects it works on. The one exception is a routine that destroys its own
// Thread: it runs on detached, and what it leaves behind (exit code, running flag) lives
// in a block the thread shares with the object, never in the freed object.
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
    // Waits for the routine to return; nothing when no thread was started. Called by the
    // routine itself, it lets the thread run on detached.
    void Join();
    bool IsStarted() const { return m_thread.joinable(); }
    bool IsRunning() const { return m_state && m_state->running.load(); }
    // The id the routine sees from GetCurrentThreadId (0 before Start).
    DWORD Id() const { return m_id; }
    DWORD ExitCode() const { return m_state ? m_state->exitCode.load() : 0; }

    // Threads started and neither joined nor run out after detaching, process-wide: lets
    // tests see that none leaks.
    static int LiveCount();
    // Threads ever started in the process; the test programs use it to check that a test
    // that starts threads says so in its name.
    static int StartedCount();

private:
    // Shared by the object and its thread; whichever is done last lets it go.
    struct State {
        std::atomic<bool> running{true};
        std::atomic<bool> stored{false};  // Start has stored the thread: the routine may Join it
        std::atomic<DWORD> exitCode{0};
        bool detached = false;  // set and read only by the thread itself
        std::atomic<bool> uncounted{false};
        void Uncount();
    };

    std::thread m_thread;
    std::shared_ptr<State> m_state;
    std::atomic<int> m_priority{THREAD_PRIORITY_NORMAL};
    DWORD m_id = 0;
};

void Sleep(DWORD milliseconds);
// Small process-unique ids, never 0; the first thread to ask gets the lowest.
DWORD GetCurrentThreadId();

}  // namespace quor::win32
