// The 2D ground's mask and water quads: fixed-function look-alikes of their effects, checked
// on real pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/glrender/GlRenderer.h"
#include "platform/host/RecordingResources.h"
#include "tests/platform/glrender/GlFixture.h"

namespace quor::host::test {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 64;

std::array<int, 3> Pixel(const std::vector<std::uint8_t>& pixels, int x, int y) {
    const std::size_t at = (std::size_t(y) * kWidth + std::size_t(x)) * 4;
    return {pixels[at], pixels[at + 1], pixels[at + 2]};
}

struct GroundQuads : testing::Test {
    GroundQuads() {
        gl.Attach(&files, nullptr);
        Aim(camera, kWidth, kHeight);
        // Left column red, right column green; the mark shows its left column only.
        files.AddFile("base.tga", Tga(2, 1, {0xFFFF0000u, 0xFF00FF00u}));
        files.AddFile("mark.tga", Tga(2, 1, {0xFFFFFFFFu, 0x00FFFFFFu}));
    }
    std::vector<std::uint8_t> DrawOne(render::IPrimitive* quad) {
        EXPECT_TRUE(gl.BeginFrame(&camera, 0xFF000000u, kWidth, kHeight));
        quad->Draw(-1, -1, 2);
        gl.EndFrame();
        return gl.ReadPixels();
    }

    MemoryFileSystem files;
    GlRenderer gl;
    RenderCamera camera;
};

TEST_F(GroundQuads, MaskTakesTheGroundColourAndTheMarkAlpha) {
    render::IEffect* effect = gl.LoadEffect("res/builtin/shader/maskpicture.fx", "TAlpha");
    ASSERT_NE(effect, nullptr);
    render::IMaterial* material = gl.CreateMaterial(effect);
    render::ITexture* base = gl.LoadTexture("base.tga", 0, 0, -3, 0, 0, 0);
    render::ITexture* mark = gl.LoadTexture("mark.tga", 0, 0, -3, 0, 0, 0);
    material->SetTexture("BaseTex", base);
    material->SetTexture("MarkTex", mark);
    render::IPrimitive* quad = gl.CreatePrimitive(7, 0x244);
    quad->SetVertexCount(1, -1, 0, 1);
    quad->SetMaterial(material);
    // The ground's left half (red) across the whole quad; the whole mark across it.
    const float rect[4] = {8, 8, 56, 56};
    const float uv[8] = {0, 0, 0.5f, 1, 0, 0, 1, 1};
    quad->DrawEx(0, rect, 0, uv);
    const auto pixels = DrawOne(quad);
    const auto left = Pixel(pixels, 20, 32), right = Pixel(pixels, 44, 32), outside = Pixel(pixels, 2, 2);
    EXPECT_GT(left[0], 240);
    EXPECT_LT(left[1], 16);
    EXPECT_LT(right[0], 16);  // transparent through the mark: the black background
    EXPECT_LT(outside[0], 16);
    // Without a ground texture the part shows nothing.
    material->SetTexture("BaseTex", nullptr);
    EXPECT_LT(Pixel(DrawOne(quad), 20, 32)[0], 16);

    gl.ReleasePrimitive(quad);
    gl.ReleaseMaterial(material);
    gl.ReleaseTexture(base);
    gl.ReleaseTexture(mark);
    gl.ReleaseEffect(effect);
    EXPECT_EQ(gl.Objects().LiveObjects(), 0);
}

TEST_F(GroundQuads, WaterScrollsItsBaseTextureByTheWaveOffset) {
    render::IEffect* effect = gl.LoadEffect("res/builtin/shader/2dwater.fx", "water");
    ASSERT_NE(effect, nullptr);
    render::IMaterial* material = gl.CreateMaterial(effect);
    render::ITexture* base = gl.LoadTexture("base.tga", 0, 0, -3, 0, 0, 0);
    material->SetTexture("BaseTex", base);
    render::IPrimitive* quad = gl.CreatePrimitive(7, 0x144);
    quad->SetVertexCount(1, -1, 0, 1);
    quad->SetMaterial(material);
    const float rect[4] = {8, 8, 56, 56};
    const float uv[4] = {0, 0, 1, 1};
    quad->DrawEx(0, rect, 0, uv);
    auto pixels = DrawOne(quad);
    EXPECT_GT(Pixel(pixels, 20, 32)[0], 240);
    EXPECT_GT(Pixel(pixels, 44, 32)[1], 240);
    // Half a texture along u: the columns change places.
    const float wave[4] = {0.5f, 0, 0.5f, 0};
    material->GetParameters()->SetFloatArray("g_vWaveMapOffset", wave, 4);
    pixels = DrawOne(quad);
    EXPECT_GT(Pixel(pixels, 20, 32)[1], 240);
    EXPECT_GT(Pixel(pixels, 44, 32)[0], 240);

    gl.ReleasePrimitive(quad);
    gl.ReleaseMaterial(material);
    gl.ReleaseTexture(base);
    gl.ReleaseEffect(effect);
    EXPECT_EQ(gl.Objects().LiveObjects(), 0);
}

// A ground block shows its own texture up to its edges: every pixel it covers takes the texel
// of its own quarter, none the opposite edge's (a wrapping sample there draws seams between
// blocks). Drawn inside the screen and over its top left corner.
TEST_F(GroundQuads, GroundBlockClampsAtItsEdges) {
    files.AddFile("block.tga", Tga(2, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu}));
    render::IEffect* effect = gl.CreateEffect();
    effect->SetTechniqueName("Picture");
    render::ITexture* block = gl.LoadTexture("block.tga", 0, 0, -3, 0, 0, 0);
    render::IPrimitive* quad = gl.CreatePrimitive(7, 0x144);
    quad->SetVertexCount(1, -1, 0, 1);
    quad->SetEffect(effect);
    quad->SetTexture(0, block);
    const std::array<int, 3> quarters[2][2] = {{{255, 0, 0}, {0, 255, 0}}, {{0, 0, 255}, {255, 255, 255}}};
    for (const int left : {8, -40}) {
        const float rect[4] = {float(left), float(left), float(left + 48), float(left + 48)};
        const float uv[4] = {0, 0, 1, 1};
        quad->DrawEx(0, rect, 0, uv);
        EXPECT_TRUE(gl.BeginFrame(&camera, 0xFF000000u, kWidth, kHeight));
        quad->Draw(-1, -1, 3);
        gl.EndFrame();
        const auto pixels = gl.ReadPixels();
        int covered = 0, wrong = 0;
        for (int y = std::max(0, left); y <= left + 48; ++y)
            for (int x = std::max(0, left); x <= left + 48; ++x) {
                const auto p = Pixel(pixels, x, y);
                if (p == std::array<int, 3>{0, 0, 0}) continue;
                ++covered;
                // The line between the texels may fall on either side.
                if (x == left + 24 || y == left + 24) continue;
                wrong += p != quarters[y < left + 24 ? 0 : 1][x < left + 24 ? 0 : 1];
            }
        const int side = left + 48 - std::max(0, left);
        EXPECT_GE(covered, side * side) << left;
        EXPECT_EQ(wrong, 0) << left;
    }
    gl.ReleasePrimitive(quad);
    gl.ReleaseTexture(block);
    gl.ReleaseEffect(effect);
    EXPECT_EQ(gl.Objects().LiveObjects(), 0);
}

}  // namespace
}  // namespace quor::host::test
