// Effects advanced by their scene's update, as a host runs it.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/EffectFileWriter.h"
#include "tests/support/world/fx/FxSceneFixture.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/track/TrackBase.h"
#include "world/fx/FxBase.h"
#include "world/fx/FxMgr.h"

namespace quor::world {
namespace {

// A root of two grouping nodes, the second riding a line track of two seconds.
std::vector<std::uint8_t> PairEffect() {
    test::EffectFileWriter file("Root");
    file.Set("Name", "pair").Set("FxLifeSpan", 10.0).Set("DefActive", "1");
    file.AddNode("Dummy").Set("Name", "a").Set("FxLifeSpan", 10.0);
    test::EffectFileWriter& b = file.AddNode("Dummy");
    b.Set("Name", "b").Set("FxLifeSpan", 10.0).Set("TrackType", 2);
    b.Add("TrackCircle").Set("Radius", 2.0).Set("TimeLen", 2.0);
    return file.Bytes();
}

// Once per scene update every effect advances one frame: the roots in the scene and a node
// detached into the manager alike; a bound track keeps to its effect's clock whatever the
// host's speed.
TEST(FxSceneUpdate, EveryEffectOfTheManagerAdvancesOnceAnUpdate) {
    for (const float speed : {1.0f, 2.0f}) {
        SCOPED_TRACE(speed);
        test::FxSceneFixture f;
        auto* files = static_cast<host::MemoryFileSystem*>(f.world.host().files.get());
        files->AddFile("fx/pair.emf", PairEffect());
        FrameTimeControl::Instance().SetFrameRate(60);
        FrameTimeControl::Instance().SetSpeed(speed);
        auto* root = static_cast<FxBase*>(f.scene->CreateFx("fx/pair.emf", 0, false, nullptr, 1));
        ASSERT_NE(root, nullptr) << f.world.capture.Joined();
        ASSERT_EQ(root->ChildCount(), 2);
        FxBase* detached = root->ChildAt(0);
        FxBase* riding = root->ChildAt(1);
        root->SetPlaying(true);
        root->DetachChild(0, true);
        ASSERT_TRUE(detached->IsIndependent());
        f.scene->Effects().AddObject(detached);
        detached->SetPlaying(true);
        const float step = root->GetFrameTime();
        for (int i = 0; i < 30; ++i) f.scene->Update();
        EXPECT_NEAR(root->GetTime(), 30 * step, 1e-4f) << "the root, once a frame";
        EXPECT_NEAR(detached->GetTime(), 30 * step, 1e-4f) << "the detached node, once a frame";
        ASSERT_NE(riding->GetBoundTrack(), nullptr);
        // The track starts in the frame the node's window opens: one frame ahead of its time.
        EXPECT_NEAR(riding->GetBoundTrack()->GetTime(), riding->GetTime() * 1000.0f, step * 1000.0f + 0.5f)
            << "the track on the effect's clock";
        EXPECT_GT(riding->GetTime(), 20 * step);
        // A jump in the effect's time takes the track along, in its milliseconds.
        root->SetTime(1.0f);
        EXPECT_NEAR(riding->GetBoundTrack()->GetTime(), 1000.0f, 1e-3f);
        FrameTimeControl::Instance().Reset();
    }
}

}  // namespace
}  // namespace quor::world
