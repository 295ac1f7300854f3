// The plane effects as the drawing renderer shows them.
#include <gtest/gtest.h>

#include <array>

#include "tests/support/world/GlPixelFrame.h"
#include "world/scene/Blaze.h"
#include "world/scene/Electricity.h"
#include "world/scene/PlaneFog.h"

namespace quor::world {
namespace {

using test::GlPixelFrame;

struct Pixels : GlPixelFrame {
    Pixels() {
        host::RecordingStore* store = gl.Objects().Store().get();
        store->DefineEffect("res/builtin/shader/PlaneFog.fx::PlaneFog", 1, false, {"NoiseTex"});
        store->DefineEffect("res/builtin/shader/Blaze.fx::Blaze", 1, false, {"NoiseTex", "Fire"});
        store->DefineEffect("res/builtin/shader/Electricity.fx::electricity", 1, false, {"NoiseTex"});
        PlaneFog::LoadSharedEffect();
        Blaze::LoadSharedEffect();
        Electricity::LoadSharedEffect();
    }
    ~Pixels() {
        PlaneFog::ReleaseSharedEffect();
        Blaze::ReleaseSharedEffect();
        Electricity::ReleaseSharedEffect();
    }
};

TEST(PlaneEffectsPixels, FogTintsItsRectangleOnly) {
    Pixels f;
    PlaneFog fog("missing.dds");  // a blank noise: the tint alone shows
    fog.SetRect(10, 10, 50, 40);
    fog.SetColor(1, 0, 0, 1);
    fog.SetAlphaControl(1);
    if (!f.Begin()) GTEST_SKIP() << "no GL context";
    fog.Render(20, 0);
    f.End();
    EXPECT_EQ(f.At(50, 25), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(f.At(20, 25), (std::array<int, 3>{0, 0, 0}));  // left of the shifted sheet
    EXPECT_EQ(f.At(50, 60), (std::array<int, 3>{0, 0, 0}));
    // Half the alpha control: half the tint over black.
    fog.SetAlphaControl(0.5f);
    ASSERT_TRUE(f.Begin());
    fog.Render(20, 0);
    f.End();
    EXPECT_NEAR(f.At(50, 25)[0], 128, 2);
}

TEST(PlaneEffectsPixels, FireShowsItsPictureAndBoltGlowsAlongItsLine) {
    Pixels f;
    Blaze blaze("fire.tga", "noise.tga");  // blank pictures: white
    blaze.SetRect(5, 5, 25, 25);
    Electricity bolt;
    bolt.SetColor(0, 0, 1, 1);
    bolt.SetWidth(8);
    bolt.SetEndpoints(10, 50, 90, 50);
    if (!f.Begin()) GTEST_SKIP() << "no GL context";
    blaze.Render(0, 0);
    bolt.Render(0, 0);
    f.End();
    EXPECT_EQ(f.At(15, 15), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(f.At(40, 15), (std::array<int, 3>{0, 0, 0}));
    // Brightest on the line, fading to the band's edges, nothing beyond.
    const int middle = f.At(50, 50)[2];
    EXPECT_GT(middle, 200);
    EXPECT_LT(f.At(50, 55)[2], middle);
    EXPECT_EQ(f.At(50, 62)[2], 0);
    EXPECT_EQ(f.At(50, 50)[0], 0);
}

}  // namespace
}  // namespace quor::world
