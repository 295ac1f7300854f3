#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/win32/CriticalSection.h"
#include "platform/win32/Interlocked.h"
#include "platform/win32/Thread.h"

namespace {

using namespace quor::win32;

// Whether a second thread gets into cs right now (it leaves again at once). Starts a
// thread, so the tests that call it carry "Thread" in their names.
bool OtherThreadCanEnter(CriticalSection& cs) {
    bool entered = false;
    Thread t;
    EXPECT_TRUE(t.Start([&] {
        entered = cs.TryEnter();
        if (entered) cs.Leave();
        return DWORD{0};
    }));
    t.Join();
    return entered;
}

TEST(CriticalSection, OwnerMayEnterAgainThenOtherThreadGetsIn) {
    CriticalSection cs;
    cs.Enter();
    cs.Enter();
    EXPECT_TRUE(cs.TryEnter());
    cs.Leave();
    cs.Leave();
    cs.Leave();
    // Fully left: another thread gets in.
    EXPECT_TRUE(OtherThreadCanEnter(cs));
}

TEST(CriticalSection, KeepsOtherThreadsOutWhileHeld) {
    CriticalSection cs;
    CriticalSectionLock hold(cs);
    EXPECT_FALSE(OtherThreadCanEnter(cs));
}

TEST(Interlocked, ReturnsWhatWin32Returns) {
    InterlockedLong v{5};
    EXPECT_EQ(InterlockedIncrement(&v), 6);
    EXPECT_EQ(InterlockedDecrement(&v), 5);
    EXPECT_EQ(InterlockedExchange(&v, 9), 5);
    EXPECT_EQ(InterlockedCompareExchange(&v, 1, 8), 9);  // no match: unchanged
    EXPECT_EQ(v.load(), 9);
    EXPECT_EQ(InterlockedCompareExchange(&v, 1, 9), 9);
    EXPECT_EQ(v.load(), 1);
    EXPECT_EQ(InterlockedExchangeAdd(&v, 4), 1);
    EXPECT_EQ(v.load(), 5);
}

TEST(Interlocked, WrapsAtTheEndsAsWindowsDoes) {
    InterlockedLong value{INT32_MAX};
    EXPECT_EQ(InterlockedIncrement(&value), INT32_MIN);
    EXPECT_EQ(value.load(), INT32_MIN);
    EXPECT_EQ(InterlockedDecrement(&value), INT32_MAX);
    EXPECT_EQ(InterlockedExchangeAdd(&value, 2), INT32_MAX);
    EXPECT_EQ(value.load(), INT32_MIN + 1);
}

TEST(Interlocked, CountsFromManyThreadsAddUp) {
    InterlockedLong count{0};
    CriticalSection cs;
    long plain = 0;
    std::vector<std::unique_ptr<Thread>> threads;
    for (int i = 0; i < 4; ++i) {
        threads.push_back(std::make_unique<Thread>());
        ASSERT_TRUE(threads.back()->Start([&] {
            for (int k = 0; k < 10000; ++k) {
                InterlockedIncrement(&count);
                CriticalSectionLock lock(cs);
                ++plain;
            }
            return DWORD{0};
        }));
    }
    for (auto& t : threads) t->Join();
    EXPECT_EQ(count.load(), 40000);
    EXPECT_EQ(plain, 40000);
}

TEST(Thread, RunsRecordsPriorityAndJoins) {
    const int before = Thread::LiveCount();
    DWORD seenId = 0;
    {
        Thread t;
        EXPECT_EQ(t.Id(), 0u);
        ASSERT_TRUE(t.Start([&] {
            seenId = GetCurrentThreadId();
            return DWORD{42};
        }));
        EXPECT_FALSE(t.Start([] { return DWORD{0}; }));  // one routine per thread
        EXPECT_TRUE(t.SetPriority(THREAD_PRIORITY_BELOW_NORMAL));
        EXPECT_FALSE(t.SetPriority(7));
        EXPECT_EQ(t.Priority(), THREAD_PRIORITY_BELOW_NORMAL);
        EXPECT_EQ(Thread::LiveCount(), before + 1);
        t.Join();
        EXPECT_FALSE(t.IsRunning());
        EXPECT_EQ(t.ExitCode(), 42u);
        EXPECT_EQ(seenId, t.Id());
        EXPECT_NE(seenId, GetCurrentThreadId());
        EXPECT_NE(seenId, 0u);
    }
    EXPECT_EQ(Thread::LiveCount(), before);
}

TEST(Thread, DestructionWaitsForTheRoutine) {
    std::atomic<bool> done{false};
    {
        Thread t;
        ASSERT_TRUE(t.Start([&] {
            Sleep(20);
            done = true;
            return DWORD{0};
        }));
    }
    EXPECT_TRUE(done.load());
}

TEST(Thread, RoutineMayDestroyItsOwnThread) {
    const int before = Thread::LiveCount();
    std::atomic<bool> destroyed{false};
    std::atomic<bool> finish{false};
    auto* t = new Thread;
    ASSERT_TRUE(t->Start([t, &destroyed, &finish] {
        delete t;  // joins itself: the thread runs on detached
        destroyed = true;
        while (!finish.load()) Sleep(1);
        return DWORD{3};  // written after the object is gone
    }));
    while (!destroyed.load()) Sleep(1);
    EXPECT_EQ(Thread::LiveCount(), before + 1) << "a running thread is no longer counted";
    finish = true;
    for (int i = 0; i < 5000 && Thread::LiveCount() != before; ++i) Sleep(1);
    EXPECT_EQ(Thread::LiveCount(), before);
}

TEST(Thread, CurrentIdIsStablePerThread) {
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
    EXPECT_NE(GetCurrentThreadId(), 0u);
}

}  // namespace
