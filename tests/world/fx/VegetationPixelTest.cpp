// Billboards and the screen particle emitter as the drawing renderer shows them.
#include <gtest/gtest.h>

#include <array>

#include "platform/host/RenderCamera.h"
#include "platform/win32/Clock.h"
#include "tests/support/world/GlPixelFrame.h"
#include "world/core/Random.h"
#include "world/fx/BillBoard2.h"
#include "world/fx/Grass.h"
#include "world/fx/UIParticleEmitter.h"

namespace quor::world {
namespace {

using test::GlPixelFrame;
constexpr int kWidth = GlPixelFrame::kWidth;
constexpr int kHeight = GlPixelFrame::kHeight;

struct Pixels : GlPixelFrame {
    host::RenderCamera camera;

    Pixels() {
        camera.SetPerspective(60.0f, float(kWidth) / float(kHeight), 1.0f, 1000.0f);
        camera.SetViewportSize(kWidth, kHeight);
        camera.Refresh();
        SeedRand(1);
    }
    ~Pixels() {
        BillBoard2::ReleaseSharedEffect();
        Grass::ReleaseSharedEffect();
        UIParticleEmitter::ReleaseShared();
    }
    bool Begin() { return GlPixelFrame::Begin(&camera); }
};

TEST(VegetationPixels, ABillboardCoversTheMiddleUntilTurnedEdgeOn) {
    Pixels f;
    f.gl.Objects().Store()->DefineEffect("res/effect/AlphaClip.fx::Common");
    BillBoard2::LoadSharedEffect();
    BillBoard2 board;
    // 100 x 100 standing on y = -50, 150 ahead of the eye.
    board.SetPosition(Vec3(0, -50, 150));
    if (!f.Begin()) GTEST_SKIP() << "no GL context";
    board.DrawPart(0);
    f.End();
    EXPECT_EQ(f.At(kWidth / 2, kHeight / 2), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(f.At(2, 2), (std::array<int, 3>{0, 0, 0}));
    // Facing along +x it lies in the plane through the eye's line of sight: nothing to see
    // beside that line.
    board.Rotate(1, 0, 0);
    ASSERT_TRUE(f.Begin());
    board.DrawPart(0);
    f.End();
    EXPECT_EQ(f.At(kWidth / 2 + 10, kHeight / 2), (std::array<int, 3>{0, 0, 0}));
}

TEST(VegetationPixels, GrassFadesIntoTheFogColour) {
    Pixels f;
    f.gl.Objects().Store()->DefineEffect("res/effect/grass.fx::Grass");
    f.gl.Objects().Store()->DefineTexture("blade.dds");
    Grass::LoadSharedEffect();
    GrassMgr mgr;
    // One quad 40 wide and high, facing the eye 100 ahead.
    Grass* g = mgr.CreateGrass("blade.dds", 40, 1, 0, 0, 0, 0xFFFFFFFFu);
    ASSERT_NE(g, nullptr);
    g->SetPosition(Vec3(0, -20, 100));
    const float red[4] = {1, 0, 0, 1};
    mgr.SetFogColour(red);
    struct Case {
        int start, end;
        std::array<int, 3> middle;
    };
    // Fog from 0 to 1: fully fogged at 100; from 200 to 300: none.
    const Case cases[] = {{0, 1, {255, 0, 0}}, {200, 300, {255, 255, 255}}};
    for (const Case& c : cases) {
        mgr.SetFog(true, c.start, c.end);
        mgr.ApplyFog(true);
        if (!f.Begin()) GTEST_SKIP() << "no GL context";
        g->Draw();
        f.End();
        EXPECT_EQ(f.At(kWidth / 2, kHeight / 2), c.middle) << c.start;
        EXPECT_EQ(f.At(2, 2), (std::array<int, 3>{0, 0, 0}));
    }
}

TEST(VegetationPixels, AnEmittedParticleIsABlendedSquareInPixels) {
    Pixels f;
    win32::TimeSource::SetManual(0);
    UIParticleEmitter e("p");
    e.SetRate(2.1f);  // one particle in half a second
    e.SetSpeed(0, 0);
    e.SetRectangle(20, 80, 30, 60);
    if (!f.Begin()) GTEST_SKIP() << "no GL context";
    win32::TimeSource::SetManual(500);
    e.Update();
    f.End();
    win32::TimeSource::UseReal();
    ASSERT_EQ(e.Particles().size(), 1u);
    // The point ran 25 along the top edge: a square of side 10 round (45, 30), three quarters
    // of its life left.
    const int alpha = 191;
    for (auto [x, y] : {std::pair{45, 30}, std::pair{41, 26}, std::pair{49, 34}}) {
        const auto p = f.At(x, y);
        for (int c : p) EXPECT_NEAR(c, alpha, 2) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{45, 40}, std::pair{30, 30}, std::pair{60, 30}})
        EXPECT_EQ(f.At(x, y), (std::array<int, 3>{0, 0, 0})) << x << "," << y;
}

}  // namespace
}  // namespace quor::world
