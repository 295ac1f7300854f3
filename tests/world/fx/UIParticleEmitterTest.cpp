#include "world/fx/UIParticleEmitter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "platform/host/RecordingPrimitive.h"
#include "tests/support/world/fx/VegetationHost.h"

namespace quor::world {
namespace {

host::RecordingPrimitive* Shared(host::RecordingRenderer& r) {
    // The emitters' primitive is the only one of its layout.
    host::RecordingPrimitive* p = r.LastPrimitive();
    return p && p->vertexFormat == 0x144u ? p : nullptr;
}

TEST(UIParticleEmitter, EmitsWhatIsOwedAndCarriesTheRest) {
    test::VegetationHost host;
    UIParticleEmitter e("e");
    e.Update();  // the first update sees a pause of a second: skipped
    EXPECT_TRUE(e.Particles().empty());
    win32::TimeSource::Advance(500);
    e.Update();
    EXPECT_EQ(e.Particles().size(), 9u);
    EXPECT_FLOAT_EQ(e.Accumulator(), 1.0f);
    // A pause of a second or more: no motion, no emission, no drawing.
    auto* p = Shared(host.renderer);
    ASSERT_NE(p, nullptr);
    const int draws = p->drawCount;
    const float x = e.Particles()[0].x;
    win32::TimeSource::Advance(1000);
    e.Update();
    EXPECT_EQ(e.Particles().size(), 9u);
    EXPECT_EQ(e.Particles()[0].x, x);
    EXPECT_EQ(p->drawCount, draws);
    // Lifetime 0: nothing is emitted, the old ones die.
    e.SetLifetime(0);
    e.Step(0.5f);
    EXPECT_TRUE(e.Particles().empty());
    EXPECT_GT(e.Accumulator(), 10.0f);
}

TEST(UIParticleEmitter, ParticlesFadeOverTheirLife) {
    test::VegetationHost host;
    UIParticleEmitter e("e");
    e.SetRectangle(10, 110, 20, 70);
    e.Step(0.5f);
    e.Step(0.5f);
    // The first nine are one second into their two, the next ten half a second.
    ASSERT_EQ(e.Particles().size(), 19u);
    EXPECT_FLOAT_EQ(e.Particles()[0].age, 1.0f);
    auto* p = Shared(host.renderer);
    EXPECT_EQ(p->vertices[0].colour, 0x80FFFFFFu);
    EXPECT_EQ(p->vertices[6 * 9].colour, 0xBFFFFFFFu);
    EXPECT_EQ(p->used, 19 * 2);
    // Moving in a straight line at the speed, drawn round the point at the rectangle's corner.
    const UIParticle& q = e.Particles()[0];
    EXPECT_NEAR(std::hypot(q.dirX, q.dirY), 1.0f, 1e-5);
    EXPECT_FLOAT_EQ(q.speed, 4.0f);
    EXPECT_NEAR(p->vertices[0].x, 10 + q.x - 5, 1e-4);
    EXPECT_NEAR(p->vertices[5].y, 20 + q.y + 5, 1e-4);
    EXPECT_EQ(host.renderer.Calls().back(), "DrawUserQuads(0,0,1024,768,0.000000,1.000000)");
}

TEST(UIParticleEmitter, TheEmissionPointWalksTheRectangle) {
    test::VegetationHost host;
    UIParticleEmitter e("e");
    e.SetRate(0);
    e.SetRectangle(0, 100, 0, 50);
    const float want[][3] = {{30, 0, 0}, {60, 0, 0}, {90, 0, 0}, {100, 0, 1}, {100, 30, 1},
                             {100, 50, 2}, {70, 50, 2}, {0, 50, 3}, {0, 20, 3}, {0, 0, 0}};
    const float steps[] = {0.6f, 0.6f, 0.6f, 0.6f, 0.6f, 0.6f, 0.6f, 1.8f, 0.6f, 0.6f};
    for (std::size_t i = 0; i < std::size(want); ++i) {
        e.Step(steps[i]);
        EXPECT_NEAR(e.PointX(), want[i][0], 1e-3) << i;
        EXPECT_NEAR(e.PointY(), want[i][1], 1e-3) << i;
        EXPECT_EQ(e.Edge(), int(want[i][2])) << i;
    }
    // Counter-clockwise starts up the left edge.
    UIParticleEmitter ccw("ccw");
    ccw.SetRate(0);
    ccw.SetClockwise(false);
    ccw.SetRectangle(0, 100, 0, 50);
    ccw.Step(0.6f);
    EXPECT_EQ(ccw.Edge(), 3);
    ccw.Step(0.6f);
    EXPECT_EQ(ccw.Edge(), 2);
    EXPECT_NEAR(ccw.PointY(), 50, 1e-3);
    // Circle mode: sin and cos of the travelled angle.
    UIParticleEmitter circle("c");
    circle.SetRate(0);
    circle.SetCircle(5, 5, 10);
    circle.Step(0.02f);
    EXPECT_NEAR(circle.PointX(), std::sin(1.0f) * 10, 1e-4);
    EXPECT_NEAR(circle.PointY(), std::cos(1.0f) * 10, 1e-4);
}

TEST(UIParticleEmitter, TwoHundredLiveParticlesAreAllDrawn) {
    test::VegetationHost host;
    UIParticleEmitter e("e");
    e.SetRate(1000);
    e.SetLifetime(100);
    e.Step(0.5f);
    EXPECT_EQ(e.Particles().size(), 200u);
    auto* p = Shared(host.renderer);
    EXPECT_EQ(e.VerticesWritten(), 1200);
    EXPECT_EQ(p->vertices.size(), 1200u);
    EXPECT_EQ(p->badWrites, 0);
    EXPECT_EQ(p->used, 400);
}

TEST(UIParticleEmitter, FramesComeFromTheGridOrTheWholeTexture) {
    test::VegetationHost host;
    UIParticleEmitter e("e");
    EXPECT_EQ(e.FrameCount(), 1);
    EXPECT_EQ(e.FrameRects(), (std::vector<float>{0, 0, 1, 1}));
    e.SetTexture("sparks.dds", 2, 2);
    ASSERT_EQ(e.FrameCount(), 4);
    EXPECT_EQ(std::vector<float>(e.FrameRects().begin() + 12, e.FrameRects().end()),
              (std::vector<float>{0.5f, 0.5f, 1, 1}));
    EXPECT_EQ(std::vector<float>(e.FrameRects().begin() + 4, e.FrameRects().begin() + 8),
              (std::vector<float>{0.5f, 0, 1, 0.5f}));
    // A grid side of 0 leaves one frame, so emission never divides by zero.
    e.SetTexture("sparks.dds", 0, 3);
    EXPECT_EQ(e.FrameCount(), 1);
    e.Step(0.5f);
    for (const UIParticle& p : e.Particles()) EXPECT_EQ(p.frame, 0);
}

// Grids past what a particle's frame number holds are refused; a smaller grid keeps every live
// particle inside the new frame table.
TEST(UIParticleEmitter, HugeGridsAreRefusedAndShrinkingKeepsFramesInTheTable) {
    test::VegetationHost host;
    UIParticleEmitter e("e");
    for (const auto& [columns, rows] : {std::pair{50000, 50000}, std::pair{300, 300}, std::pair{65535, 65535}}) {
        e.SetTexture("sparks.dds", columns, rows);
        EXPECT_EQ(e.FrameCount(), 1) << columns << "x" << rows;
    }
    e.SetRate(1000);
    e.SetLifetime(100);
    e.SetTexture("sparks.dds", 16, 16);
    e.Step(0.5f);
    ASSERT_FALSE(e.Particles().empty());
    e.SetTexture("sparks.dds", 1, 2);
    ASSERT_EQ(e.FrameCount(), 2);
    for (const UIParticle& p : e.Particles()) EXPECT_LT(p.frame, 2);
    e.Step(0.1f);
    auto* p = Shared(host.renderer);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->badWrites, 0);
}

TEST(UIParticleEmitter, TheManagerKeepsEmittersByName) {
    test::VegetationHost host;
    auto& mgr = UIParticleEmitterMgr::Instance();
    UIParticleEmitter* a = mgr.Create("a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(mgr.Create("a"), nullptr);
    UIParticleEmitter* b = mgr.Create("b");
    EXPECT_TRUE(mgr.Destroy("a"));
    EXPECT_FALSE(mgr.Destroy("a"));
    EXPECT_TRUE(mgr.Destroy(b));
    EXPECT_FALSE(mgr.Destroy(static_cast<UIParticleEmitter*>(nullptr)));
    EXPECT_EQ(mgr.Count(), 0u);
    mgr.Create("c")->SetTexture("x.dds", 1, 1);
    mgr.ReleaseAll();
    EXPECT_EQ(host.renderer.LivePrimitives(), 0);
    EXPECT_EQ(host.renderer.LiveDynamicBuffers(), 0);
    EXPECT_EQ(host.renderer.BadReleases(), 0);
}

}  // namespace
}  // namespace quor::world
