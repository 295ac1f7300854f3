#include <gtest/gtest.h>

#include <string>

#include "platform/host/InterfaceRegistry.h"
#include "platform/win32/Messages.h"
#include "tests/support/world/BoundHost.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"

namespace {

using namespace quor;
using host::RecordingClient;
using host::RecordingLog;

const std::string kStars77(77, '*');
const std::string kStars75(75, '*');

TEST(Log, HelpersWriteTheirChannelPrefixAndBanner) {
    test::BoundHost bound;
    RecordingLog& log = bound.host.log;
    log.Clear();
    LogInfo("info %d", 1);
    LogPrint("print %s", "x");
    LogError("bad %s", "file");
    LogWarning("careful");
    LogDeprecated("old");

    using K = RecordingLog::Kind;
    const std::vector<RecordingLog::Entry> expected = {
        {K::Write, 20, "info 1"},
        {K::Write, 0, "print x"},
        {K::Printf, 20, "\n"},
        {K::Printf, 20, "ERROR " + kStars77 + "\n"},
        {K::Write, 20, "[ERROR] bad file"},
        {K::Printf, 20, "WARNING " + kStars75 + "\n"},
        {K::Write, 20, "[WARNING] careful"},
        {K::Printf, 20, "DEPRECATED " + kStars75 + "\n"},
        {K::Write, 20, "[c] old"},
    };
    const auto got = log.Entries();
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].kind, expected[i].kind);
        EXPECT_EQ(got[i].channel, expected[i].channel);
        EXPECT_EQ(got[i].text, expected[i].text);
    }
    const auto texts = bound.host.client.Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].kind, RecordingClient::TextKind::Error);
    EXPECT_EQ(texts[0].text, "[ERROR] bad file");
    EXPECT_EQ(texts[1].kind, RecordingClient::TextKind::Warning);
    EXPECT_EQ(texts[1].text, "[WARNING] careful");
    EXPECT_EQ(texts[2].kind, RecordingClient::TextKind::Deprecated);
    EXPECT_EQ(texts[2].text, "[c] old");
}

TEST(Log, LongErrorIsCutTo4095CharactersAndStillReachesTheClient) {
    test::BoundHost bound;
    bound.host.log.Clear();
    const std::string message(5000, 'm');
    LogError("%s", message.c_str());
    const auto entries = bound.host.log.Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].text, "\n");
    EXPECT_EQ(entries[1].text, "ERROR " + kStars77 + "\n");
    EXPECT_EQ(entries[2].text.size(), 4095u);
    EXPECT_EQ(entries[2].text.rfind("[ERROR] mmm", 0), 0u);
    const auto texts = bound.host.client.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, entries[2].text);
}

TEST(Log, MutedLogWritesNothingAnywhere) {
    test::BoundHost bound;
    bound.host.log.Clear();
    bound.host.log.SetMuted(true);
    win32::MessageSink::Instance().Clear();
    LogInfo("a");
    LogPrint("b");
    LogError("c");
    LogWarning("d");
    LogDeprecated("e");
    LogDebugOutput("f");
    EXPECT_TRUE(bound.host.log.Entries().empty());
    EXPECT_TRUE(bound.host.client.Texts().empty());
    EXPECT_TRUE(win32::MessageSink::Instance().DebugOutput().empty());
}

TEST(Log, DebugOutputGoesToTheDebuggerWithASeparateLineFeed) {
    test::BoundHost bound;
    bound.host.log.Clear();
    win32::MessageSink::Instance().Clear();
    LogDebugOutput("frame %d", 3);
    EXPECT_EQ(win32::MessageSink::Instance().DebugOutput(), (std::vector<std::string>{"frame 3", "\n"}));
    EXPECT_TRUE(bound.host.log.Entries().empty());
    win32::MessageSink::Instance().Clear();
}

TEST(Log, WithoutAClientErrorsStillGoToTheLog) {
    ResetInterfaces();
    RecordingLog log;
    host::InterfaceRegistry reg;
    reg.Add<common::ILog>("ILog_1.5", &log);
    GetIntf()->Initialize(&reg);
    LogError("x");
    EXPECT_EQ(log.Entries().size(), 3u);
    ResetInterfaces();
}

TEST(Log, WithoutALogErrorsStillReachTheClient) {
    // Only the log calls are skipped (nothing is called through null); the client's share
    // depends on the client alone.
    ResetInterfaces();
    host::InterfaceRegistry reg;
    host::RecordingClient client;
    reg.Add<client::IClient>("IClient_1.3", &client);
    GetIntf()->Initialize(&reg);
    LogInfo("a");
    LogPrint("p");
    LogError("b%d", 1);
    LogWarning("c");
    LogDeprecated("d");
    const auto texts = client.Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].kind, RecordingClient::TextKind::Error);
    EXPECT_EQ(texts[0].text, "[ERROR] b1");
    EXPECT_EQ(texts[1].kind, RecordingClient::TextKind::Warning);
    EXPECT_EQ(texts[1].text, "[WARNING] c");
    EXPECT_EQ(texts[2].kind, RecordingClient::TextKind::Deprecated);
    EXPECT_EQ(texts[2].text, "[c] d");
    ResetInterfaces();
}

}  // namespace
