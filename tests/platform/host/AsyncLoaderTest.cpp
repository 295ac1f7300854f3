#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/AsyncData.h"
#include "platform/host/AsyncLoader.h"

namespace {

using quor::AsyncData;
using quor::host::AsyncLoader;

// A record that notes its steps and stays pending for a number of polls.
class Record final : public AsyncData {
public:
    Record(const void* owner, std::vector<std::string>* log, std::mutex* mutex, std::string name, int pendingPolls = 0)
        : m_owner(owner), m_log(log), m_mutex(mutex), m_name(std::move(name)), m_polls(pendingPolls) {}
    int IsPending() override { return m_polls.fetch_sub(1) > 0 ? 1 : 0; }
    void Submit() override {}
    void Load() override { Note("load " + m_name); }
    void Recycle() override {
        Note("recycle " + m_name);
        delete this;
    }
    bool RefersTo(const void* object) override { return object == m_owner; }

private:
    ~Record() = default;
    void Note(const std::string& s) {
        std::lock_guard<std::mutex> lock(*m_mutex);
        m_log->push_back(s);
    }
    const void* m_owner;
    std::vector<std::string>* m_log;
    std::mutex* m_mutex;
    std::string m_name;
    std::atomic<int> m_polls;
};

TEST(AsyncLoader, InlineModeRunsInOrderOnDrain) {
    std::vector<std::string> log;
    std::mutex mutex;
    AsyncLoader loader(0);
    EXPECT_NE(loader.GetRequestStamp(), loader.GetRequestStamp());
    int ownerA = 0, ownerB = 0;
    loader.Submit(new Record(&ownerA, &log, &mutex, "1"));
    loader.Submit(new Record(&ownerB, &log, &mutex, "2", 1));
    loader.Submit(new Record(&ownerA, &log, &mutex, "3"));
    EXPECT_TRUE(log.empty()) << "nothing runs before Drain";
    loader.CancelOwner(&ownerA);
    EXPECT_EQ(log, (std::vector<std::string>{"recycle 1", "recycle 3"})) << "cancelled records are recycled unrun";
    log.clear();
    EXPECT_EQ(loader.Drain(), 0) << "the record still pending is kept for the next poll";
    EXPECT_EQ(log, std::vector<std::string>{"load 2"});
    EXPECT_EQ(loader.Drain(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"load 2", "recycle 2"}));
    EXPECT_EQ(loader.Cancelled(), 2);
}

TEST(AsyncLoaderThread, WorkersRunEveryRecordAndCancelWaitsForTheRunningOne) {
    std::vector<std::string> log;
    std::mutex mutex;
    {
        AsyncLoader loader(2);
        int owners[4];
        for (int i = 0; i < 40; ++i) loader.Submit(new Record(&owners[i % 4], &log, &mutex, std::to_string(i), i % 3));
        loader.CancelOwner(&owners[0]);
        loader.WaitIdle();
        EXPECT_EQ(loader.Recycled() + loader.Cancelled(), 40);
    }
    int recycles = 0, loads = 0;
    for (const std::string& s : log) {
        recycles += s.rfind("recycle", 0) == 0;
        loads += s.rfind("load", 0) == 0;
    }
    EXPECT_EQ(recycles, 40);
    EXPECT_LE(loads, 40);
}

}  // namespace
