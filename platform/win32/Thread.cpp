#include "platform/win32/Thread.h"

#include <chrono>
#include <system_error>

namespace quor::win32 {

namespace {
std::atomic<DWORD> g_nextThreadId{1};
std::atomic<int> g_liveThreads{0};
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

bool Thread::Start(Routine routine) {
    if (m_thread.joinable() || !routine) return false;
    m_id = NewThreadId();
    m_running = true;
    try {
        m_thread = std::thread([this, id = m_id, routine = std::move(routine)] {
            t_threadId = id;
            m_exitCode = routine();
            m_running = false;
        });
    } catch (const std::system_error&) {
        m_running = false;
        m_id = 0;
        return false;
    }
    g_liveThreads.fetch_add(1);
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
        // A routine cannot wait for itself; let it run out on its own.
        m_thread.detach();
    } else {
        m_thread.join();
    }
    g_liveThreads.fetch_sub(1);
}

int Thread::LiveCount() { return g_liveThreads.load(); }

}  // namespace quor::win32
