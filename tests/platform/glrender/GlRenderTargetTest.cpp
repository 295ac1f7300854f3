// Render targets of the drawing renderer: quads drawn into a target's picture, that picture
// shown through the target's texture, and the bookkeeping the recording side keeps.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/glrender/GlRenderer.h"
#include "platform/host/IEffect.h"
#include "platform/host/RecordingResources.h"
#include "tests/platform/glrender/GlFixture.h"

namespace quor::host::test {
namespace {

constexpr int kWidth = 32;
constexpr int kHeight = 24;

std::array<int, 3> Pixel(const std::vector<std::uint8_t>& pixels, int x, int y) {
    const std::size_t at = (std::size_t(y) * kWidth + std::size_t(x)) * 4;
    return {pixels[at], pixels[at + 1], pixels[at + 2]};
}

constexpr std::array<int, 3> kRed = {255, 0, 0}, kGreen = {0, 255, 0}, kBlue = {0, 0, 255}, kWhite = {255, 255, 255};

struct Targets : testing::Test {
    Targets() {
        gl.Attach(&files, nullptr);
        // Four quarters: red, green over blue, white.
        files.AddFile("quarters.tga", Tga(2, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu}));
    }
    // A screen quad of the named technique showing the texture, placed by DrawEx.
    render::IPrimitive* Quad(const char* technique, render::ITexture* texture) {
        render::IEffect* effect = gl.CreateEffect();
        effect->SetTechniqueName(technique);
        effects.push_back(effect);
        render::IPrimitive* quad = gl.CreatePrimitive(7, 0x144);
        quad->SetVertexCount(1, -1, 0, 1);
        quad->SetEffect(effect);
        quad->SetTexture(0, texture);
        return quad;
    }
    static void Show(render::IPrimitive* quad, std::array<float, 4> rect, std::array<float, 4> uv) {
        quad->DrawEx(0, rect.data(), 0, uv.data());
        quad->Draw(-1, -1, 0);
    }
    ~Targets() override {
        for (render::IEffect* e : effects) gl.ReleaseEffect(e);
    }

    MemoryFileSystem files;
    GlRenderer gl;
    std::vector<render::IEffect*> effects;
};

TEST_F(Targets, PictureDrawnIntoATargetShowsScaledThroughItsTexture) {
    render::ITexture* picture = gl.LoadTexture("quarters.tga", 0, 0, -3, 0, 0, 0);
    render::ITexture* texture = gl.CreateTexture(2 * kWidth, 2 * kHeight, 21, 1, 1, 0);
    const int id = gl.AddRenderTarget(texture, 0, 75, 0);
    ASSERT_NE(id, 0);
    gl.SetRenderTargetClearColour(id, 0xFF000000u);
    render::IPrimitive* draw = Quad("Picture", picture);
    render::IPrimitive* copy = Quad("scene2dTech", texture);

    if (!gl.BeginFrame(nullptr, 0xFF000000u, kWidth, kHeight)) GTEST_SKIP() << "no GL context";
    ASSERT_TRUE(gl.BeginRenderTarget(id));
    int w = 0, h = 0;
    EXPECT_TRUE(gl.GetRenderTarget(0, &w, &h));
    EXPECT_EQ(w, 2 * kWidth);
    gl.SetViewport(0, 0, kWidth, kHeight);
    gl.GetViewportSize(&w, &h);
    EXPECT_EQ(w, kWidth);
    // The picture over the viewport's part of the target, then that part over the whole frame.
    Show(draw, {0, 0, float(kWidth), float(kHeight)}, {0, 0, 1, 1});
    gl.EndRenderTarget();
    gl.GetViewportSize(&w, &h);
    EXPECT_EQ(w, kWidth);
    Show(copy, {0, 0, float(kWidth), float(kHeight)}, {0, 0, 0.5f, 0.5f});
    gl.EndFrame();
    std::vector<std::uint8_t> pixels = gl.ReadPixels();
    EXPECT_EQ(Pixel(pixels, 4, 4), kRed);
    EXPECT_EQ(Pixel(pixels, kWidth - 4, 4), kGreen);
    EXPECT_EQ(Pixel(pixels, 4, kHeight - 4), kBlue);
    EXPECT_EQ(Pixel(pixels, kWidth - 4, kHeight - 4), kWhite);

    // The middle half of the target's drawn part: each quarter's inner corner, twice as large.
    ASSERT_TRUE(gl.BeginFrame(nullptr, 0xFF000000u, kWidth, kHeight));
    ASSERT_TRUE(gl.BeginRenderTarget(id));
    Show(draw, {0, 0, float(kWidth), float(kHeight)}, {0, 0, 1, 1});
    gl.EndRenderTarget();
    Show(copy, {0, 0, float(kWidth), float(kHeight)}, {0.125f, 0.125f, 0.375f, 0.375f});
    gl.EndFrame();
    pixels = gl.ReadPixels();
    EXPECT_EQ(Pixel(pixels, 4, 4), kRed);
    EXPECT_EQ(Pixel(pixels, kWidth - 4, kHeight - 4), kWhite);
    EXPECT_EQ(Pixel(pixels, kWidth / 2 - 2, 2), kRed);
    EXPECT_EQ(Pixel(pixels, kWidth / 2 + 1, 2), kGreen);
    // A frame left inside a target still ends in its own picture.
    ASSERT_TRUE(gl.BeginFrame(nullptr, 0xFF102030u, kWidth, kHeight));
    ASSERT_TRUE(gl.BeginRenderTarget(id));
    gl.EndFrame();
    EXPECT_EQ(Pixel(gl.ReadPixels(), 1, 1), (std::array<int, 3>{0x10, 0x20, 0x30}));

    EXPECT_FALSE(gl.BeginRenderTarget(id + 1));
    gl.RemoveRenderTarget(id);
    EXPECT_FALSE(gl.BeginRenderTarget(id));
    EXPECT_EQ(gl.Objects().LiveRenderTargets(), 0);
    gl.RemoveRenderTarget(id);  // twice: counted as a bad release
    EXPECT_EQ(gl.Objects().BadReleases(), 1);
    for (render::IPrimitive* p : {draw, copy}) gl.ReleasePrimitive(p);
    gl.ReleaseTexture(picture);
    gl.ReleaseTexture(texture);
}

TEST_F(Targets, CopyTakesARectangleClippedToTheTargetAndShowsWithoutItsBackground) {
    render::ITexture* picture = gl.LoadTexture("quarters.tga", 0, 0, -3, 0, 0, 0);
    render::ITexture* texture = gl.CreateTexture(kWidth, kHeight, 21, 1, 1, 0);
    const int id = gl.AddRenderTarget(texture, 0, 0x50, 0);
    ASSERT_NE(id, 0);
    // The model snapshots' faint background.
    gl.SetRenderTargetClearColour(id, 0x0F000000u);
    render::ITexture* copy = gl.CreateTexture(16, 16, 21, 0, 1, 0);
    render::IPrimitive* draw = Quad("Picture", picture);
    render::IPrimitive* show = Quad("Picture3DPic", copy);
    const std::int32_t rect[4] = {-4, -4, 12, 12};
    if (!gl.BeginFrame(nullptr, 0xFF808080u, kWidth, kHeight)) GTEST_SKIP() << "no GL context";
    ASSERT_TRUE(gl.BeginRenderTarget(id));
    Show(draw, {8, 6, 24, 18}, {0, 0, 1, 1});  // red at 8..15 x 6..11
    gl.EndRenderTarget();
    EXPECT_FALSE(gl.CopyRenderTarget(id + 1, rect, copy));
    // Partly outside the target: what lies outside comes out empty.
    ASSERT_TRUE(gl.CopyRenderTarget(id, rect, copy));
    Show(show, {0, 0, 16, 16}, {0, 0, 1, 1});
    gl.EndFrame();
    const std::vector<std::uint8_t> pixels = gl.ReadPixels();
    const std::array<int, 3> grey = {0x80, 0x80, 0x80};
    EXPECT_EQ(Pixel(pixels, 13, 11), kRed);  // target (9, 7)
    EXPECT_EQ(Pixel(pixels, 15, 15), kRed);  // target (11, 11)
    EXPECT_EQ(Pixel(pixels, 11, 10), grey);  // the target's background
    EXPECT_EQ(Pixel(pixels, 1, 1), grey);    // outside the target
    EXPECT_EQ(Pixel(pixels, 20, 10), grey);  // outside the copy
    EXPECT_EQ(gl.Objects().TargetCopies(copy), 1);
    gl.RemoveRenderTarget(id);
    EXPECT_FALSE(gl.CopyRenderTarget(id, rect, copy));
    for (render::IPrimitive* p : {draw, show}) gl.ReleasePrimitive(p);
    for (render::ITexture* t : {picture, texture, copy}) gl.ReleaseTexture(t);
}

TEST_F(Targets, DrawExPlacesEveryScreenQuadOfThePictureEffects) {
    render::ITexture* picture = gl.LoadTexture("quarters.tga", 0, 0, -3, 0, 0, 0);
    for (const char* technique : {"Picture", "Picture3DPic", "scene2dTech"}) {
        render::IPrimitive* quad = Quad(technique, picture);
        if (!gl.BeginFrame(nullptr, 0xFF000000u, kWidth, kHeight)) GTEST_SKIP() << "no GL context";
        // The picture's lower right quarter over the frame's upper left quarter.
        Show(quad, {0, 0, kWidth / 2.0f, kHeight / 2.0f}, {0.5f, 0.5f, 1, 1});
        gl.EndFrame();
        const std::vector<std::uint8_t> pixels = gl.ReadPixels();
        EXPECT_EQ(Pixel(pixels, 4, 4), kWhite) << technique;
        EXPECT_EQ(Pixel(pixels, kWidth - 4, kHeight - 4), (std::array<int, 3>{0, 0, 0})) << technique;
        gl.ReleasePrimitive(quad);
    }
    gl.ReleaseTexture(picture);
}

TEST(RecordingTargets, OnlyRenderTargetTexturesRegisterAndTheViewportFollows) {
    RecordingRenderer r;
    r.backBufferWidth = 640;
    r.backBufferHeight = 480;
    render::ITexture* plain = r.CreateTexture(64, 64, 21, 0, 1, 0);
    render::ITexture* target = r.CreateTexture(96, 48, 21, 1, 1, 0);
    EXPECT_EQ(r.AddRenderTarget(plain, 0, 75, 0), 0);
    EXPECT_EQ(r.AddRenderTarget(nullptr, 0, 75, 0), 0);
    const int id = r.AddRenderTarget(target, 0, 75, 0);
    ASSERT_NE(id, 0);
    EXPECT_EQ(r.FindRenderTarget(id)->depthFormat, 75);
    int w = 0, h = 0;
    EXPECT_FALSE(r.GetRenderTarget(0, &w, &h)) << "the host reports none by default";
    r.renderTarget0Width = 640;
    r.renderTarget0Height = 480;
    EXPECT_TRUE(r.GetRenderTarget(0, &w, &h));
    EXPECT_EQ(w, 640);
    ASSERT_TRUE(r.BeginRenderTarget(id));
    EXPECT_TRUE(r.GetRenderTarget(0, &w, &h));
    EXPECT_EQ(w, 96);
    r.GetViewportSize(&w, &h);
    EXPECT_EQ(h, 48);
    r.SetViewport(0, 0, 30, 20);
    r.GetViewportSize(&w, &h);
    EXPECT_EQ(w, 30);
    r.EndRenderTarget();
    r.GetViewportSize(&w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(r.LiveObjects(), 3);  // two textures and the target
    r.RemoveRenderTarget(id);
    r.ReleaseTexture(plain);
    r.ReleaseTexture(target);
    EXPECT_EQ(r.LiveObjects(), 0);
    EXPECT_EQ(r.BadReleases(), 0);
}

}  // namespace
}  // namespace quor::host::test
