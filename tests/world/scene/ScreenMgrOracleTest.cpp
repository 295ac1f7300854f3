// The ground's streaming against a plain model of its rules: scrolled along several paths, some
// zoomed, a 20 x 12-block map never loads a block twice, never drops one near the view or drawn
// within the last second, loads and draws what the view shows in bounded time and drops what it
// left.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "platform/host/RecordingPrimitive.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Messages.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/scene/Scene2D.h"
#include "world/scene/ScreenMgr.h"

namespace quor::world {
namespace {

using test::WorldFixture;

constexpr int kCols = 20, kRows = 12, kSide = 256;
constexpr int kW = 640, kH = 512;
constexpr std::uint32_t kFrameMs = 16;

// One frame of a path: the view offset (screen = map + offset, so offsets are 0 or negative)
// and the scene's zoom.
struct Step {
    float x = 0, y = 0;
    bool zoom = false;
    float factor = 1.5f;
};

std::vector<Step> ScrollPath() {
    std::vector<Step> p;
    bool zoom = false;
    float factor = 1.5f;
    auto hold = [&](float x, float y, int frames) {
        for (int i = 0; i < frames; ++i) p.push_back({x, y, zoom, factor});
    };
    auto line = [&](float x0, float y0, float x1, float y1, int frames) {
        for (int i = 0; i <= frames; ++i)
            p.push_back({x0 + (x1 - x0) * float(i) / float(frames), y0 + (y1 - y0) * float(i) / float(frames), zoom,
                         factor});
    };
    hold(0, 0, 40);
    line(0, 0, -3000, 0, 180);           // straight
    line(-3000, 0, -4480, -2560, 120);   // diagonal to the far corner
    hold(-4480, -2560, 90);
    for (int k = 0; k < 3; ++k) {        // back and forth
        line(-4480, -2560, -3700, -2100, 20);
        line(-3700, -2100, -4480, -2560, 20);
    }
    hold(-100, -300, 100);               // jumps
    hold(-4000, -200, 100);
    hold(-1500, -2400, 100);
    line(-1500, -2400, -1500, 0, 150);
    hold(-1500, 0, 120);
    zoom = true;                         // zoomed out: the view shows 1.5 times the screen
    hold(-1500, 0, 60);
    line(-1500, 0, -3400, -1200, 150);
    hold(-3400, -1200, 90);
    factor = 1.25f;
    line(-3400, -1200, -600, -1800, 120);
    hold(-600, -1800, 90);
    factor = 0.75f;                      // zoomed in: no more than the screen
    line(-600, -1800, -2000, -600, 100);
    hold(-2000, -600, 90);
    zoom = false;
    hold(-2000, -600, 90);
    return p;
}

// Rectangles sharing area, and rectangles sharing at least an edge: the ground's own test
// lies between the two where edges touch.
bool Meets(const float* a, const float* b) { return a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3]; }
bool Touches(const float* a, const float* b) {
    return a[0] <= b[2] && b[0] <= a[2] && a[1] <= b[3] && b[1] <= a[3];
}

struct Oracle {
    explicit Oracle(ScreenMgr& g, host::RecordingRenderer& r) : ground(g), renderer(r) {
        for (int row = 0; row < kRows; ++row)
            for (int c = 0; c < kCols; ++c) rects.push_back({float(c * kSide), float(row * kSide),
                                                             float((c + 1) * kSide), float((row + 1) * kSide)});
        inView.assign(rects.size(), 0);
        outside.assign(rects.size(), 0);
    }

    // Checks one frame that has just run, with what the blocks held before it.
    void Check(int frame, const Step& step, std::uint32_t now, const std::vector<GroundBlock>& before, int inFlight) {
        const std::vector<GroundBlock>& blocks = ground.Blocks();
        const float ax = std::fabs(step.x), ay = std::fabs(step.y);
        // Zoomed, the screen shows `factor` times its size of the map from the same corner.
        const float zoom = step.zoom ? step.factor : 1.0f;
        const float view[4] = {ax, ay, ax + kW * zoom, ay + kH * zoom};
        // The plain model of the preload margin once it has widened (zoom leaves it alone).
        const float margin[4] = {ax - kW, ay - kH / 2, ax + kW + kW, ay + kH + kH / 2};
        // Blocks the ground may draw: the view, never shrunk below the screen, and one block
        // around it.
        const float grow = std::max(zoom, 1.0f);
        const float drawn[4] = {ax - kSide, ay - kSide, ax + kW * grow + kSide, ay + kH * grow + kSide};
        const int loadBound = int(std::ceil(double(ground.Records().size()) / 8)) + 2;
        const int releaseFrames = int(1000 / kFrameMs) + 1 + int(std::ceil(double(blocks.size()) / 8)) + 2;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            const float* rect = rects[i].data();
            const bool had = before[i].texture != nullptr, has = blocks[i].texture != nullptr;
            if (had && !has && frame > 0) {
                EXPECT_FALSE(Meets(rect, margin)) << "frame " << frame << ": block " << i << " dropped near the view";
                EXPECT_GE(now - before[i].lastUsed, 1000u) << "frame " << frame << ": block " << i
                                                           << " dropped within a second of its last draw";
            }
            inView[i] = Meets(rect, view) ? inView[i] + 1 : 0;
            if (inView[i] >= loadBound) {
                EXPECT_TRUE(has) << "frame " << frame << ": block " << i << " in view, not loaded";
                EXPECT_EQ(blocks[i].lastUsed, now) << "frame " << frame << ": block " << i << " in view, not drawn";
            }
            outside[i] = !Touches(rect, margin) && !Touches(rect, drawn) ? outside[i] + 1 : 0;
            if (outside[i] >= releaseFrames) {
                EXPECT_FALSE(has) << "frame " << frame << ": block " << i << " far from view, still loaded";
            }
        }
        // Every quad the ground may draw stands at its block's place on screen.
        const int* range = ground.VisibleRange();
        for (int r = range[1]; r >= 0 && r <= range[3]; ++r)
            for (int c = range[0]; c >= 0 && c <= range[2]; ++c) {
                const std::size_t i = std::size_t(r * kCols + c);
                const auto* quad = static_cast<const host::RecordingPrimitive*>(blocks[i].quad);
                const float* rect = rects[i].data();
                const float placed[4] = {rect[0] + step.x, rect[1] + step.y, rect[2] + step.x, rect[3] + step.y};
                EXPECT_TRUE(std::equal(placed, placed + 4, quad->drawExRect))
                    << "frame " << frame << ": block " << i << " not where the view puts it";
            }
        EXPECT_EQ(ground.TotalCounters().duplicates, 0);
        EXPECT_EQ(renderer.LiveTextures(), ground.ResidentBlocks() + inFlight) << "frame " << frame;
    }

    ScreenMgr& ground;
    host::RecordingRenderer& renderer;
    std::vector<std::array<float, 4>> rects;
    std::vector<int> inView, outside;
};

struct OracleFixture : testing::Test {
    OracleFixture() {
        renderer().backBufferWidth = kW;
        renderer().backBufferHeight = kH;
        renderer().SetRecordLimit(0);
        win32::MessageSink::Instance().SetRecordLimit(0);
        // Block images the renderer knows by name: the streaming, not the decoding, is tested.
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c)
                renderer().Store()->DefineTexture("o\\map_" + std::to_string(r) + "_" + std::to_string(c) + ".dds");
        win32::TimeSource::SetManual(50000);
    }
    ~OracleFixture() override {
        win32::MessageSink::Instance().SetRecordLimit(win32::RecentRecords<std::string>::kDefaultLimit);
        win32::TimeSource::UseReal();
    }
    host::RecordingRenderer& renderer() { return fx.host().renderer; }

    void Run(bool thread) {
        const int primitives = renderer().LivePrimitives();
        {
            // The ground learns the zoom from its scene.
            ScreenMgr ground(&scene, !thread);
            const int size[2] = {kCols * kSide, kRows * kSide};
            ASSERT_TRUE(ground.Init("o", size));
            Oracle oracle(ground, renderer());
            const auto path = ScrollPath();
            for (int frame = 0; frame < int(path.size()); ++frame) {
                win32::TimeSource::Advance(kFrameMs);
                const std::vector<GroundBlock> before = ground.Blocks();
                const Step& step = path[std::size_t(frame)];
                bool on = false;
                float factor = 0;
                scene.GetZoom(&on, &factor);
                scene.AdjustZoom(step.zoom, step.factor - factor);
                const float view[2] = {step.x, step.y};
                ground.SetViewPosition(view);
                ground.UpdateBlocks();
                ground.Update(nullptr, false);
                int inFlight = 0;
                if (thread) {
                    // The worker runs the batch now; once it is done, its textures are counted.
                    for (int i = 0; i < 5000 && ground.Loader().IsBusy(); ++i)
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    ASSERT_FALSE(ground.Loader().IsBusy());
                    for (const auto& job : ground.Loader().GetFinishedJobs()) inFlight += job->texture ? 1 : 0;
                }
                oracle.Check(frame, step, win32::timeGetTime(), before, inFlight);
                if (!thread) ground.Loader().RunBatch();
                if (HasFailure()) return;
            }
            EXPECT_GT(ground.TotalCounters().released, 0);
            EXPECT_TRUE(ground.IsReady());
        }
        EXPECT_EQ(renderer().LiveTextures(), 0);
        EXPECT_EQ(renderer().LivePrimitives(), primitives);
        EXPECT_EQ(renderer().BadReleases(), 0);
    }

    WorldFixture fx;
    Scene2D scene;
};

TEST_F(OracleFixture, BlockStreamingFollowsTheModel) { Run(false); }

TEST_F(OracleFixture, BlockStreamingFollowsTheModelThread) { Run(true); }

}  // namespace
}  // namespace quor::world
