#include "platform/win32/Thread.h"

#include <chrono>
#include <system_error>

namespace quor::win32 {

namespace {
std::atomic<DWORD> g_nextThreadId{1};
std::atomic<int> g_liveThreads{0};
std::atomic<int> g_startedThreads{0};
thread_local DWORD t_threadId = 0;

DWORD NewThreadId() { return g_nextThreadId.fetch_add(1); }
}  // namespace

DWORD GetCurrentThreadId() {
    if (t_threadId == 0) t_threadId = NewThreadId();
    return t_threadId;
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

Thread::~Thread() { Join(); }

void Thread::State::Uncount() {
    if (!uncounted.exchange(true)) g_liveThreads.fetch_sub(1);
}

bool Thread::Start(Routine routine) {
    if (m_thread.joinable() || !routine) return false;
    // Everything the routine may look at is in place before it runs.
    m_state = std::make_shared<State>();
    m_id = NewThreadId();
    g_liveThreads.fetch_add(1);
    try {
        // The routine may destroy this object: the thread touches only its own copy of the state.
        m_thread = std::thread([state = m_state, id = m_id, routine = std::move(routine)] {
            t_threadId = id;
            state->stored.wait(false);
            const DWORD code = routine();
            state->exitCode = code;
            state->running = false;
            if (state->detached) state->Uncount();
        });
    } catch (const std::system_error&) {
        g_liveThreads.fetch_sub(1);
        m_state.reset();
        m_id = 0;
        return false;
    }
    g_startedThreads.fetch_add(1);
    // From here on the routine may destroy this object: touch only a copy of the state.
    const std::shared_ptr<State> state = m_state;
    state->stored = true;
    state->stored.notify_one();
    return true;
}

bool Thread::SetPriority(int priority) {
    switch (priority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
        m_priority = priority;
        return true;
    default:
        return false;
    }
}

void Thread::Join() {
    if (!m_thread.joinable()) return;
    if (m_thread.get_id() == std::this_thread::get_id()) {
        // A routine cannot wait for itself; it runs out on its own and is counted until then.
        m_state->detached = true;
        m_thread.detach();
        return;
    }
    m_thread.join();
    m_state->Uncount();
}

int Thread::LiveCount() { return g_liveThreads.load(); }

int Thread::StartedCount() { return g_startedThreads.load(); }

}  // namespace quor::win32
