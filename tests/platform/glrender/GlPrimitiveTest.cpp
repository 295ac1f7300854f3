// Effect primitives (position, colour, one texture pair): quads and triangle lists drawn
// blended over the scene by the shared effects' blend codes and the stream's stage settings.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/glrender/GlRenderer.h"
#include "tests/platform/glrender/GlFixture.h"

namespace quor::host::test {
namespace {

constexpr int kWidth = 80;
constexpr int kHeight = 60;

struct Corner {
    float x, y;
};

// One quad spanning [x0, x1] x [-1, 1] at depth 6, in the given colour.
void WriteQuad(render::IPrimitive* p, int index, float x0, float x1, std::uint32_t colour) {
    const Corner c[4] = {{x0, 1}, {x1, 1}, {x1, -1}, {x0, -1}};
    for (int k = 0; k < 4; ++k) {
        const float at[3] = {c[k].x, c[k].y, 6.0f};
        p->SetVertexUV(4 * index + k, at, 0, 0, colour);
    }
}

std::array<int, 3> Pixel(const std::vector<std::uint8_t>& pixels, int x, int y) {
    const std::size_t at = (std::size_t(y) * kWidth + std::size_t(x)) * 4;
    return {pixels[at], pixels[at + 1], pixels[at + 2]};
}

TEST(GlPrimitive, QuadsAndTrianglesBlendByTheirEffect) {
    d3d9::IDirect3DDevice9 device;
    MemoryFileSystem files;
    GlRenderer gl;
    gl.Attach(&files, nullptr);
    RenderCamera camera;
    Aim(camera, kWidth, kHeight);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    render::IEffect* alpha = gl.CreateEffect();
    alpha->SetTechniqueName("FxTech SrcAlpha");
    render::IEffect* add = gl.CreateEffect();
    add->SetTechniqueName("FxTech SrcAlpha-One");

    // Two quads in one primitive: opaque red on the left, half-transparent red on the right.
    render::IPrimitive* quads = gl.CreatePrimitive(7, 0x142);
    quads->SetVertexCount(2, -1, 0, 0);
    quads->SetEffect(alpha);
    quads->SetTransform(identity);
    WriteQuad(quads, 0, -2.0f, -0.2f, 0xFFFF0000u);
    WriteQuad(quads, 1, 0.2f, 2.0f, 0x80FF0000u);
    // Green added over the whole middle.
    render::IPrimitive* glow = gl.CreatePrimitive(7, 0x142);
    glow->SetVertexCount(1, -1, 0, 0);
    glow->SetEffect(add);
    glow->SetTransform(identity);
    WriteQuad(glow, 0, -1.0f, 1.0f, 0xFF00FF00u);
    // A triangle list whose stage selects the constant colour (blue) over the vertex colour.
    render::IPrimitive* list = gl.CreatePrimitive(4, 0x142);
    list->SetVertexCount(3, -1, 0, 0);
    list->SetEffect(alpha);
    list->SetTransform(identity);
    render::IStageStates* stage = gl.CreateDynamicBuffer();
    stage->SetColor(0, 0, 2);
    stage->SetColor(0, 1, 3);
    stage->SetConstantColor(0xFF0000FFu);
    list->GetVertexBuffer()->SetStageStates(stage, 0);
    const float a[3] = {-2.0f, -1.4f, 6.0f}, b[3] = {2.0f, -1.4f, 6.0f}, c[3] = {0.0f, -2.4f, 6.0f};
    list->SetVertexUV(0, a, 0, 0, 0xFFFFFFFFu);
    list->SetVertexUV(1, b, 0, 0, 0xFFFFFFFFu);
    list->SetVertexUV(2, c, 0, 0, 0xFFFFFFFFu);

    ASSERT_TRUE(gl.BeginFrame(&camera, 0xFF000000u, kWidth, kHeight));
    quads->SetVertexCountUsed(2);
    quads->Draw(-1, -1, 0);
    glow->SetVertexCountUsed(1);
    glow->Draw(-1, -1, 0);
    list->SetVertexCountUsed(1);
    list->Draw(-1, -1, 0);
    const GlFrameStats stats = gl.EndFrame();
    EXPECT_EQ(stats.primitives, 3);
    EXPECT_EQ(stats.primitiveTriangles, 4 + 2 + 1);
    const auto pixels = gl.ReadPixels();

    float screen[2], depth;
    auto at = [&](float x, float y) {
        const float p[3] = {x, y, 6.0f};
        camera.Project(p, screen, &depth);
        return Pixel(pixels, int(screen[0]), int(screen[1]));
    };
    const auto red = at(-1.6f, 0.0f);
    EXPECT_GT(red[0], 240);
    EXPECT_LT(red[1], 16);
    const auto halfRed = at(1.6f, 0.0f);
    EXPECT_NEAR(halfRed[0], 128, 8);
    const auto yellow = at(-0.6f, 0.0f);  // red, then green added
    EXPECT_GT(yellow[0], 240);
    EXPECT_GT(yellow[1], 240);
    const auto green = at(0.0f, 0.0f);  // green added over black
    EXPECT_LT(green[0], 16);
    EXPECT_GT(green[1], 240);
    const auto blue = at(0.0f, -1.8f);
    EXPECT_LT(blue[0], 16);
    EXPECT_GT(blue[2], 240);

    // Outside a frame a draw queues nothing.
    quads->Draw(-1, -1, 0);
    ASSERT_TRUE(gl.BeginFrame(&camera, 0xFF000000u, kWidth, kHeight));
    EXPECT_EQ(gl.EndFrame().primitives, 0);

    gl.ReleaseDynamicBuffer(stage);
    for (render::IPrimitive* p : {quads, glow, list}) gl.ReleasePrimitive(p);
    gl.ReleaseEffect(alpha);
    gl.ReleaseEffect(add);
    EXPECT_EQ(gl.Objects().LiveObjects(), 0);
}

TEST(GlPrimitive, ScreenQuadsAndTheStreamDepthOffset) {
    MemoryFileSystem files;
    GlRenderer gl;
    gl.Attach(&files, nullptr);
    RenderCamera camera;
    Aim(camera, kWidth, kHeight);  // near 1, far 100
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    render::IEffect* alpha = gl.CreateEffect();
    alpha->SetTechniqueName("FxTech SrcAlpha");

    // A screen-space strip of four points: pixels 10..30 across and down, at depth 1.
    render::IPrimitive* screen = gl.CreatePrimitive(5, 0x144);
    screen->SetVertexCount(2, 4, 0, 0);
    screen->SetEffect(alpha);
    const float points[4][3] = {{10, 10, 1}, {30, 10, 1}, {10, 30, 1}, {30, 30, 1}};
    screen->BeginScreenVertices();
    for (int i = 0; i < 4; ++i) screen->SetVertexUV(i, points[i], 0, 0, 0xFFFFFFFFu);
    screen->EndScreenVertices();
    // A quad just beyond the far plane: clipped, unless its stream's depth offset brings it in.
    render::IPrimitive* far = gl.CreatePrimitive(7, 0x142);
    far->SetVertexCount(1, -1, 0, 0);
    far->SetEffect(alpha);
    far->SetTransform(identity);
    const Corner c[4] = {{-20, 20}, {20, 20}, {20, -20}, {-20, -20}};
    for (int k = 0; k < 4; ++k) {
        const float at[3] = {c[k].x, c[k].y, 110.0f};
        far->SetVertexUV(k, at, 0, 0, 0xFF00FF00u);
    }

    for (float bias : {0.0f, -0.05f}) {
        far->GetVertexBuffer()->GetDepthBiasState()->SetDepthBias(bias);
        ASSERT_TRUE(gl.BeginFrame(&camera, 0xFF000000u, kWidth, kHeight));
        far->Draw(-1, -1, 0);
        screen->Draw(-1, -1, 0);
        gl.EndFrame();
        const auto pixels = gl.ReadPixels();
        EXPECT_EQ(Pixel(pixels, 20, 20), (std::array<int, 3>{255, 255, 255})) << bias;
        const auto middle = Pixel(pixels, 40, 30);
        if (bias == 0.0f)
            EXPECT_EQ(middle, (std::array<int, 3>{0, 0, 0}));
        else
            EXPECT_GT(middle[1], 240);
    }
    gl.ReleasePrimitive(screen);
    gl.ReleasePrimitive(far);
    gl.ReleaseEffect(alpha);
    EXPECT_EQ(gl.Objects().LiveObjects(), 0);
}

}  // namespace
}  // namespace quor::host::test
