#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/host/InterfaceRegistry.h"
#include "platform/host/RecordingClient.h"
#include "platform/host/RecordingLog.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Module.h"
#include "world/scene/World.h"

namespace {

using namespace quor;

class ModuleBinding : public testing::Test {
protected:
    void SetUp() override { ResetInterfaces(); }
    void TearDown() override { ResetInterfaces(); }
};

TEST_F(ModuleBinding, GetIntfAnswersOneModule) {
    client::IModule* a = GetIntf();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, GetIntf());
    EXPECT_EQ(a->GetWorld(), static_cast<world::IWorld*>(&World::Instance()));
}

TEST_F(ModuleBinding, RegisterPublishesTheWorld) {
    host::InterfaceRegistry reg;
    EXPECT_TRUE(GetIntf()->Register(&reg));
    EXPECT_EQ(reg.Registrations(), (std::vector<std::string>{"IWorld_1.16"}));
    EXPECT_EQ(reg.GetInterface("IWorld_1.16"), GetIntf()->GetWorld());
}

TEST_F(ModuleBinding, RegistryKnowingOnlySomeNamesFillsExactlyThoseSlots) {
    // Each table entry gets a distinct fake pointer; the registry knows every other name
    // and the log (which Initialize needs). The client is called at once, so it is real.
    host::RecordingLog log;
    host::RecordingClient client;
    host::InterfaceRegistry reg;
    char fakes[kInterfaceCount];
    std::set<int> known;
    for (int i = 0; i < kInterfaceCount; ++i) {
        if (std::string(kInterfaceNames[i]) == "ILog_1.5") {
            reg.Add<common::ILog>(kInterfaceNames[i], &log);
            known.insert(i);
        } else if (std::string(kInterfaceNames[i]) == "IClient_1.3") {
            reg.Add<client::IClient>(kInterfaceNames[i], &client);
            known.insert(i);
        } else if (i % 2 == 0) {
            reg.Add(kInterfaceNames[i], &fakes[i]);
            known.insert(i);
        }
    }
    EXPECT_TRUE(GetIntf()->Initialize(&reg));

    const std::vector<std::string> expectedOrder(kInterfaceNames, kInterfaceNames + kInterfaceCount);
    EXPECT_EQ(reg.Queries(), expectedOrder);
    for (int i = 0; i < kInterfaceCount; ++i) {
        SCOPED_TRACE(kInterfaceNames[i]);
        if (!known.count(i))
            EXPECT_EQ(InterfaceEntry(i), nullptr);
        else if (std::string(kInterfaceNames[i]) == "ILog_1.5")
            EXPECT_EQ(InterfaceEntry(i), static_cast<common::ILog*>(&log));
        else if (std::string(kInterfaceNames[i]) == "IClient_1.3")
            EXPECT_EQ(InterfaceEntry(i), static_cast<client::IClient*>(&client));
        else
            EXPECT_EQ(InterfaceEntry(i), &fakes[i]);
    }
    EXPECT_EQ(Interfaces().logChannel, 20);
    EXPECT_EQ(log.ChannelName(20), "WORLD");
}

TEST_F(ModuleBinding, RegistryKnowingNothingStillInitializes) {
    host::InterfaceRegistry reg;
    EXPECT_TRUE(GetIntf()->Initialize(&reg));  // no log: nothing to call through null
    for (int i = 0; i < kInterfaceCount; ++i) EXPECT_EQ(InterfaceEntry(i), nullptr);
    EXPECT_EQ(Interfaces().logChannel, 20);
    EXPECT_EQ(reg.Queries().size(), static_cast<std::size_t>(kInterfaceCount));
}

TEST_F(ModuleBinding, NullRegistriesAreRefused) {
    EXPECT_FALSE(GetIntf()->Register(nullptr));
    EXPECT_FALSE(GetIntf()->Initialize(nullptr));
}

// Without a renderer or a device nothing can be drawn: start-up fails and names what is missing,
// and no scene is made.
TEST_F(ModuleBinding, WorldStartUpNamesTheMissingServices) {
    host::RecordingLog log;
    host::InterfaceRegistry reg;
    reg.Add<common::ILog>("ILog_1.5", &log);
    GetIntf()->Register(&reg);
    GetIntf()->Initialize(&reg);
    EXPECT_FALSE(GetIntf()->GetWorld()->Initialize(30));
    EXPECT_FALSE(World::Instance().IsInitialized());
    auto joined = [&] {
        std::string all;
        for (const auto& entry : log.Entries()) all += entry.text + "\n";
        return all;
    };
    EXPECT_NE(joined().find("IRenderer"), std::string::npos) << joined();
    EXPECT_NE(joined().find("ID3DDevice"), std::string::npos) << joined();
    log.Clear();
    EXPECT_EQ(GetIntf()->GetWorld()->CreateScene(nullptr, 0, 0, 0), nullptr);
    EXPECT_NE(joined().find("not initialized"), std::string::npos) << joined();
    GetIntf()->Shutdown();
}

TEST_F(ModuleBinding, ShutdownEndsTheWorldAndItMayStartAgain) {
    host::ReferenceHost host;
    host.PublishAll();
    host.PublishWorldServices(0);
    host::InterfaceRegistry& reg = host.registry;
    GetIntf()->Register(&reg);
    GetIntf()->Initialize(&reg);
    world::IWorld* w = GetIntf()->GetWorld();
    EXPECT_TRUE(w->Initialize(30));
    EXPECT_TRUE(World::Instance().IsInitialized());
    GetIntf()->Shutdown();
    EXPECT_FALSE(World::Instance().IsInitialized());
    // The singleton outlives the shutdown: the host still holds it and may start it again.
    EXPECT_EQ(GetIntf()->GetWorld(), w);
    EXPECT_TRUE(w->Initialize(30));
    EXPECT_TRUE(World::Instance().IsInitialized());
    GetIntf()->Shutdown();
}

}  // namespace
