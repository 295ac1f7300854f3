#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/host/InterfaceRegistry.h"
#include "platform/host/RecordingClient.h"
#include "platform/host/RecordingLog.h"
#include "platform/host/ReferenceHost.h"

namespace {

using namespace quor::host;

TEST(InterfaceRegistry, AnswersWhatWasRegisteredAndRemembersQueries) {
    InterfaceRegistry reg;
    int a = 0, b = 0;
    reg.Add("A_1.0", &a);
    reg.Add("B_2.1", &b);
    EXPECT_EQ(reg.GetInterface("A_1.0"), &a);
    EXPECT_EQ(reg.GetInterface("B_2.1"), &b);
    EXPECT_EQ(reg.GetInterface("B_2.0"), nullptr);  // versions are part of the name
    EXPECT_EQ(reg.GetInterface(nullptr), nullptr);
    EXPECT_EQ(reg.Queries(), (std::vector<std::string>{"A_1.0", "B_2.1", "B_2.0", ""}));
    reg.Add("A_1.0", &b);  // a second registration replaces the first
    EXPECT_EQ(reg.GetInterface("A_1.0"), &b);
}

TEST(RecordingLog, RecordsKindChannelAndText) {
    RecordingLog log;
    EXPECT_TRUE(log.RegisterChannel(20, "WORLD"));
    log.Printf(20, "%s=%d", "x", 3);
    log.Write(0, "plain %d");
    ASSERT_EQ(log.Entries().size(), 2u);
    EXPECT_EQ(log.Entries()[0].kind, RecordingLog::Kind::Printf);
    EXPECT_EQ(log.Entries()[0].channel, 20);
    EXPECT_EQ(log.Entries()[0].text, "x=3");
    EXPECT_EQ(log.Entries()[1].kind, RecordingLog::Kind::Write);
    EXPECT_EQ(log.Entries()[1].text, "plain %d");  // written as is, not formatted
    EXPECT_EQ(log.ChannelName(20), "WORLD");
    EXPECT_EQ(log.ChannelName(3), "");
    EXPECT_EQ(log.IsMuted(), 0);
    log.SetMuted(true);
    EXPECT_EQ(log.IsMuted(), 1);
}

TEST(RecordingLog, PrintsWithChannelNames) {
    RecordingLog log;
    log.RegisterChannel(20, "WORLD");
    log.Write(20, "hello");
    log.Write(0, "bye\n");
    char buffer[256] = {};
    std::FILE* out = fmemopen(buffer, sizeof(buffer), "w");
    ASSERT_NE(out, nullptr);
    log.Print(out);
    std::fclose(out);
    EXPECT_STREQ(buffer, "WORLD: hello\n[0] bye\n");
}

// A frame-time control that keeps the speeds it is given.
class SpeedControl final : public quor::IFrameTimeControl {
public:
    int SetFrameRate(int rate) override { return rate; }
    int SetSpeed(float speed) override {
        speeds.push_back(speed);
        return 0;
    }
    std::vector<float> speeds;
};

TEST(RecordingClient, RecordsTextsAndFrameTimeHandOver) {
    RecordingClient client;
    client.ShowErrorText("e");
    client.ShowWarningText("w");
    client.ShowDeprecatedText("d");
    SpeedControl speed;
    quor::IFrameTimeControl* control = &speed;
    client.SetFrameTimeControl(control);
    // The module's clocks stand still until a host sets the speed: the reference client does.
    EXPECT_EQ(speed.speeds, std::vector<float>{1.0f});
    ASSERT_EQ(client.Texts().size(), 3u);
    EXPECT_EQ(client.Texts()[0].kind, RecordingClient::TextKind::Error);
    EXPECT_EQ(client.Texts()[1].kind, RecordingClient::TextKind::Warning);
    EXPECT_EQ(client.Texts()[2].kind, RecordingClient::TextKind::Deprecated);
    EXPECT_EQ(client.Texts()[2].text, "d");
    EXPECT_EQ(client.FrameTimeControl(), control);
    EXPECT_EQ(client.FrameTimeControlHandOvers(), 1);
    // A client told to keep the module's standing clocks sets nothing.
    RecordingClient still;
    still.startSpeed = 0.0f;
    SpeedControl untouched;
    still.SetFrameTimeControl(&untouched);
    EXPECT_TRUE(untouched.speeds.empty());
}

TEST(ReferenceHost, PublishesItsServicesUnderVersionedNames) {
    ReferenceHost host;
    host.PublishAll();
    EXPECT_EQ(host.registry.GetInterface("IClient_1.3"), static_cast<quor::client::IClient*>(&host.client));
    EXPECT_EQ(host.registry.GetInterface("ILog_1.5"), static_cast<quor::common::ILog*>(&host.log));
    EXPECT_EQ(host.registry.GetInterface("IUtils_1.1"), static_cast<quor::common::IUtils*>(&host.utils));
    EXPECT_EQ(host.registry.GetInterface("IResFileSystem_1.2"),
              static_cast<quor::common::IResFileSystem*>(host.files.get()));
}

}  // namespace
