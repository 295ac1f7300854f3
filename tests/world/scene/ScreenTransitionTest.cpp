#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/d3d9/Device.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/host/RecordingResources.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/Random.h"
#include "world/fx/GlyphFont.h"
#include "world/scene/ScreenTransition.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::ScreenTransition;

constexpr float kFrame = 1000.0f / 60.0f;

// Frames until the mode ends, with the state word each frame left.
int RunToEnd(ScreenTransition& t, std::vector<int>* states = nullptr) {
    for (int frame = 1; frame < 1000; ++frame) {
        const int state = t.Step(kFrame, 500.0f, nullptr);
        if (states) states->push_back(state);
        if (t.Mode() == 0) return frame;
    }
    return -1;
}

TEST(ScreenTransition, ModesRunTheirCourse) {
    const struct {
        int mode;
        float width;
        int minFrames, maxFrames;
    } cases[] = {{1, 800, 16, 32}, {2, 800, 29, 32}, {3, 800, 29, 32}, {4, 800, 29, 32},
                 // Here the right half of mode 2 arrives a frame before the left one.
                 {2, 960, 29, 32}};
    for (const auto& c : cases) {
        ScreenTransition t;
        t.SetUp(c.mode, c.width, 600);
        EXPECT_EQ(t.Mode(), c.mode);
        std::vector<int> states;
        const int frames = RunToEnd(t, &states);
        EXPECT_GE(frames, c.minFrames) << c.mode;
        EXPECT_LE(frames, c.maxFrames) << c.mode;
        EXPECT_EQ(states.back(), 2) << c.mode << ": the end sets the state word 2";
        states.pop_back();
        for (int s : states) EXPECT_EQ(s, -1) << c.mode << ": unchanged while running";
        EXPECT_EQ(t.Step(kFrame, 500.0f, nullptr), 0) << "mode 0 sets 0";
    }
}

TEST(ScreenTransition, PartsShowWhatLayUnderThem) {
    ScreenTransition t;
    t.SetUp(2, 800, 600);
    std::vector<std::vector<float>> parts;
    t.Step(kFrame, 500.0f, [&](int part, const float r[4], const float tex[4]) {
        parts.push_back({float(part), r[0], r[1], r[2], r[3], tex[0], tex[1], tex[2], tex[3]});
    });
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0], (std::vector<float>{0, 0, 0, 400, 600, 0, 0, 0.5f, 1}));
    EXPECT_EQ(parts[1], (std::vector<float>{1, 400, 0, 800, 600, 0.5f, 0, 1, 1}));
    EXPECT_NEAR(t.Position(0), 400 - 400 * kFrame / 500, 1e-3) << "half the width per speed";
    EXPECT_NEAR(t.Position(1), 400 + 400 * kFrame / 500, 1e-3);

    // Sixteen strips: strip i from W - (i + 1) W/16 to its position.
    t.SetUp(1, 800, 600);
    parts.clear();
    t.Step(kFrame, 500.0f, [&](int part, const float r[4], const float tex[4]) {
        parts.push_back({float(part), r[0], r[2], tex[0], tex[2]});
    });
    ASSERT_EQ(parts.size(), 16u);
    EXPECT_EQ(parts[3], (std::vector<float>{3, 600, 650, 0.75f, 0.8125f}));
    // Thirty columns: even ones retract upwards, odd ones downwards.
    t.SetUp(4, 900, 600);
    EXPECT_EQ(t.Height(0), 600.0f);
    EXPECT_EQ(t.Height(1), 0.0f);
    t.Step(100, 500.0f, nullptr);
    EXPECT_NEAR(t.Height(0), 480.0f, 1e-3);
    EXPECT_NEAR(t.Height(1), 120.0f, 1e-3);
    t.SetUp(9, 900, 600);
    EXPECT_EQ(t.Mode(), 4) << "modes above 4 change nothing";
}

TEST(ScreenTransition, SceneStateWordAndRandomModes) {
    WorldFixture fx;
    FrameTimeControl::Instance().SetFrameRate(60);
    FrameTimeControl::Instance().SetSpeed(1.0f);
    TestScene* scene = fx.NewScene();
    scene->SetTransitionSpeed(500);
    scene->SetTransitionSpeed(0);
    scene->SetTransitionSpeed(-3);
    EXPECT_EQ(scene->StartTransition(7), 1);
    EXPECT_EQ(scene->GetState(), 1) << "mode 7 sets 1";
    scene->DrawTransition();
    EXPECT_EQ(scene->GetState(), 0) << "and the next draw step 0";

    SeedRand(1);
    std::set<int> modes;
    for (int i = 0; i < 40; ++i) {
        scene->StartTransition(-1);
        modes.insert(scene->Transition()->Mode());
    }
    EXPECT_EQ(modes, (std::set<int>{1, 2, 3, 4}));

    // A speed of 0 or less was refused: mode 2 still ends after about 30 frames.
    scene->StartTransition(2);
    int frames = 0;
    while (scene->GetState() == 1 && frames < 100) {
        scene->DrawTransition();
        ++frames;
    }
    EXPECT_EQ(scene->GetState(), 2);
    EXPECT_NEAR(frames, 31, 2) << "at the world's frame time";
    FrameTimeControl::Instance().Reset();
}

// The screen as last presented is captured into the target; each part shows the piece of it
// that lay under the part.
TEST(ScreenTransition, CapturesTheScreenAndDrawsItsParts) {
    WorldFixture fx;
    FrameTimeControl::Instance().SetFrameRate(60);
    FrameTimeControl::Instance().SetSpeed(1.0f);
    d3d9::IDirect3DDevice9& device = fx.host().device.Direct3D();
    device.SetBackBufferSize(64, 48);
    fx.host().renderer.backBufferWidth = 64;
    fx.host().renderer.backBufferHeight = 48;
    TestScene* scene = fx.NewScene();
    scene->SetTransitionSpeed(500);
    const d3d9::RECT left{0, 0, 32, 48}, right{32, 0, 64, 48};
    device.Clear(1, &left, d3d9::D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0);
    device.Clear(1, &right, d3d9::D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    device.Present(nullptr, nullptr, nullptr, nullptr);

    EXPECT_EQ(scene->StartTransition(2), 1);
    auto* target = static_cast<host::RecordingTexture*>(scene->TransitionTarget());
    ASSERT_NE(target, nullptr);
    const d3d9::IDirect3DSurface9* picture = target->device->Level(0);
    EXPECT_EQ(picture->Width(), 1024u);
    EXPECT_EQ(picture->Pixel(100, 700), 0xFFFF0000u);
    EXPECT_EQ(picture->Pixel(900, 10), 0xFF0000FFu);
    const auto& parts = scene->TransitionPrimitives();
    ASSERT_EQ(parts.size(), 40u);
    for (render::IPrimitive* p : parts) {
        auto* part = static_cast<host::RecordingPrimitive*>(p);
        EXPECT_EQ(part->textures[0], target);
        EXPECT_EQ(std::vector<float>(part->drawExRect, part->drawExRect + 4), std::vector<float>(4, 0.0f));
        EXPECT_EQ(std::vector<float>(part->drawExUV, part->drawExUV + 4), (std::vector<float>{0, 0, 1, 0}));
    }

    const int live = fx.host().renderer.LivePrimitives();
    scene->DrawTransition();
    auto* leftHalf = static_cast<host::RecordingPrimitive*>(parts[0]);
    auto* rightHalf = static_cast<host::RecordingPrimitive*>(parts[1]);
    EXPECT_EQ(std::vector<float>(leftHalf->drawExRect, leftHalf->drawExRect + 4), (std::vector<float>{0, 0, 32, 48}));
    EXPECT_EQ(std::vector<float>(rightHalf->drawExUV, rightHalf->drawExUV + 4),
              (std::vector<float>{0.5f, 0, 1, 1}));
    EXPECT_EQ(leftHalf->drawCount, 1);
    EXPECT_EQ(rightHalf->drawCount, 1);
    EXPECT_EQ(static_cast<host::RecordingPrimitive*>(parts[2])->drawCount, 0) << "mode 2 has two parts";

    // Started again, the target is kept and captured anew; the parts are made again.
    device.Clear(0, nullptr, d3d9::D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
    device.Present(nullptr, nullptr, nullptr, nullptr);
    scene->StartTransition(1);
    EXPECT_EQ(scene->TransitionTarget(), target);
    EXPECT_EQ(picture->Pixel(100, 700), 0xFF00FF00u);
    EXPECT_EQ(fx.host().renderer.LivePrimitives(), live) << "the old parts were given back";
    FrameTimeControl::Instance().Reset();
}

// The scene's line of text sits centred 90 pixels above the bottom, wherever the caller asks.
TEST(SceneText, CentredAboveTheBottomWhateverTheFirstTwoValues) {
    WorldFixture fx;
    fx.host().renderer.backBufferWidth = 800;
    fx.host().renderer.backBufferHeight = 600;
    TestScene* scene = fx.NewScene();
    const std::size_t before = world::GlyphFontMgr::Instance().Batch().size();
    scene->DrawText(0, 0, 1, 1, 1, 1, "ab");
    EXPECT_EQ(world::GlyphFontMgr::Instance().Batch().size(), before) << "nothing without a text font";
    world::GlyphFont* font = scene->EnsureTextFont();
    ASSERT_NE(font, nullptr);
    std::vector<std::vector<float>> placed;
    for (int first : {0, 7, -300}) {
        font->ResetBatch();
        scene->DrawText(first, first * 3, 1, 0.5f, 0.25f, 1, "ab");
        const auto& batch = world::GlyphFontMgr::Instance().Batch();
        ASSERT_GE(batch.size(), 4u);
        placed.push_back({batch[1].x, batch[1].y, float(batch[1].colour)});
    }
    EXPECT_EQ(placed[0], placed[1]);
    EXPECT_EQ(placed[0], placed[2]);
    const world::GlyphInfo* glyph = font->CachedGlyph("a");
    ASSERT_NE(glyph, nullptr);
    const int left = (800 - int(font->MeasureText("ab"))) / 2;
    EXPECT_FLOAT_EQ(placed[0][0], float(left) - 0.5f + float((glyph->advance - glyph->blackBoxWidth) / 2));
    EXPECT_FLOAT_EQ(placed[0][1], 510 - 0.5f + float(font->Ascent() - glyph->originY));
    font->ResetBatch();
}

}  // namespace
