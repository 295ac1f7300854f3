#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/host/RecordingClient.h"
#include "platform/host/RecordingLog.h"
#include "platform/host/RecordingRenderer.h"
#include "platform/win32/Messages.h"

namespace {

using quor::win32::RecentRecords;

// One recording sink seen through the same four operations.
struct Sink {
    const char* name;
    std::function<void(int)> record;          // records one item tagged with the number
    std::function<std::size_t()> kept;        // how many are kept
    std::function<std::uint64_t()> count;     // how many came
    std::function<void(std::size_t)> limit;
    std::function<void()> clear;
};

TEST(RecordingSinks, KeepTheLatestAndCountAll) {
    quor::host::RecordingLog log;
    quor::host::RecordingClient client;
    quor::host::RecordingRenderer renderer;
    quor::win32::MessageSink& messages = quor::win32::MessageSink::Instance();
    const Sink sinks[] = {
        {"log", [&](int i) { log.Write(20, std::to_string(i).c_str()); }, [&] { return log.Entries().size(); },
         [&] { return log.EntryCount(); }, [&](std::size_t n) { log.SetRecordLimit(n); }, [&] { log.Clear(); }},
        {"client", [&](int i) { client.ShowErrorText(std::to_string(i).c_str()); },
         [&] { return client.Texts().size(); }, [&] { return client.TextCount(); },
         [&](std::size_t n) { client.SetRecordLimit(n); }, [&] { client.Clear(); }},
        {"renderer", [&](int) { renderer.ReleaseRenderCamera(nullptr); }, [&] { return renderer.Calls().size(); },
         [&] { return renderer.CallCount(); }, [&](std::size_t n) { renderer.SetRecordLimit(n); },
         [&] { renderer.ClearCalls(); }},
        {"debug output", [&](int i) { quor::win32::OutputDebugStringA(std::to_string(i).c_str()); },
         [&] { return messages.DebugOutput().size(); }, [&] { return messages.DebugOutputCount(); },
         [&](std::size_t n) { messages.SetRecordLimit(n); }, [&] { messages.Clear(); }},
        {"posted messages", [&](int i) { quor::win32::PostMessageA(nullptr, 0x511, static_cast<unsigned>(i), 0); },
         [&] { return messages.PostedMessages().size(); }, [&] { return messages.PostedMessageCount(); },
         [&](std::size_t n) { messages.SetRecordLimit(n); }, [&] { messages.Clear(); }},
    };
    for (const Sink& s : sinks) {
        SCOPED_TRACE(s.name);
        s.clear();
        const int many = static_cast<int>(RecentRecords<int>::kDefaultLimit) + 7;
        for (int i = 0; i < many; ++i) s.record(i);
        EXPECT_EQ(s.kept(), RecentRecords<int>::kDefaultLimit);
        EXPECT_EQ(s.count(), static_cast<std::uint64_t>(many));

        s.limit(3);
        EXPECT_EQ(s.kept(), 3u);
        s.limit(0);  // recording off: only the count moves
        s.record(1);
        EXPECT_EQ(s.kept(), 0u);
        EXPECT_EQ(s.count(), static_cast<std::uint64_t>(many) + 1);
        s.clear();
        EXPECT_EQ(s.count(), 0u);
        s.limit(RecentRecords<int>::kDefaultLimit);
    }
    // The latest are the ones kept, in order.
    log.SetRecordLimit(2);
    for (const char* t : {"a", "b", "c"}) log.Write(0, t);
    const auto entries = log.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].text, "b");
    EXPECT_EQ(entries[1].text, "c");
}

}  // namespace
