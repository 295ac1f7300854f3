#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/glrender/GlRenderer.h"
#include "tests/platform/glrender/GlFixture.h"

namespace quor::host::test {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr std::uint32_t kClear = 0xFF000040;  // dark blue

using Rgb = std::array<int, 3>;

class GlShadows : public ::testing::Test {
protected:
    GlShadows() : quads(device) {
        Aim(camera, kWidth, kHeight);
        stream = quads.MakeStream(gl);
        white = ColourMaterial(gl, LitTechnique(gl), 1, 1, 1, 1);
    }
    Rgb At(const std::vector<std::uint8_t>& pixels, float x, float y) const {
        const std::size_t at = (std::size_t(int(y)) * kWidth + std::size_t(int(x))) * 4;
        return {pixels[at], pixels[at + 1], pixels[at + 2]};
    }
    Rgb AtWorld(const std::vector<std::uint8_t>& pixels, float x, float y, float z) {
        const float p[3] = {x, y, z};
        float screen[2], depth;
        camera.Project(p, screen, &depth);
        return At(pixels, screen[0], screen[1]);
    }

    d3d9::IDirect3DDevice9 device;
    GlRenderer gl;
    RenderCamera camera;
    QuadBuffers quads;
    render::IVertexBuffer* stream = nullptr;
    render::IMaterial* white = nullptr;
};

// A white wall at z = 6 and, in front of it, a small quad whose planar shadow is flattened
// onto the wall's plane: the wall darkens where the shadow falls, by its "Alpha".
TEST_F(GlShadows, APlanarShadowDarkensThePlaneItIsFlattenedOn) {
    const auto wallAt = Placed(3.0f, 0, 0, 6);
    render::IRenderable* wall = Quad(gl, stream, kFront, white, wallAt);
    const auto casterAt = Placed(0.5f, 0, 0, 5);
    render::ISkinBuffer* part = gl.CreateSkinBuffer(render::kSkinBufferPlaneShadow);
    const float plane[4] = {0, 0, 1, 2};  // model z = 2 is world z = 6
    part->SetPlane(plane);
    int light = 0;
    part->SetLight(&light);
    part->SetVisible(true);
    part->GetMaterial()->GetParameters()->SetFloat("Alpha", 0.75f);
    part->SetDrawRecord(stream, &kFront, 1, casterAt.data());
    render::IExtTechnique* technique = gl.GetExtTechnique("<ShadowOnPlane>", 1);
    ASSERT_NE(technique, nullptr);

    ASSERT_TRUE(gl.BeginFrame(&camera, kClear, kWidth, kHeight));
    gl.Submit(wall);
    technique->DrawObject(part);
    const GlFrameStats stats = gl.EndFrame();
    const auto pixels = gl.ReadPixels();
    EXPECT_EQ(stats.planeShadows, 1);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(AtWorld(pixels, 0.2f, 0.2f, 6)[c], 64, 6) << c;     // under the shadow
        EXPECT_NEAR(AtWorld(pixels, 1.5f, 1.5f, 6)[c], 255, 6) << c;    // the wall beside it
    }
    // Hidden, it draws nothing.
    part->SetVisible(false);
    ASSERT_TRUE(gl.BeginFrame(&camera, kClear, kWidth, kHeight));
    gl.Submit(wall);
    technique->DrawObject(part);
    EXPECT_EQ(gl.EndFrame().planeShadows, 0);
    EXPECT_NEAR(AtWorld(gl.ReadPixels(), 0.2f, 0.2f, 6)[0], 255, 6);
    gl.ReleaseSkinBuffer(part);
}

// A visible placed decal is a dark quad at the foot of its bound; a volume is only recorded;
// an outline draws the back faces it is given as dark lines.
TEST_F(GlShadows, DecalsOutlinesAndVolumes) {
    const auto wallAt = Placed(1.0f, 0, 0, 6);
    render::IRenderable* wall = Quad(gl, stream, kFront, white, wallAt);
    render::ISkinBuffer* decal = gl.CreateSkinBuffer(render::kSkinBufferDecal);
    const float centre[3] = {0, 0, 6}, extents[3] = {1, 2.5f, 2};
    decal->SetPlacement(centre, extents);
    decal->SetVisible(true);
    render::ISkinBuffer* volume = gl.CreateSkinBuffer(render::kSkinBufferVolume);
    int target = 0;
    volume->SetTarget(&target);
    volume->SetDrawRecord(stream, &kFront, 1, wallAt.data());
    render::IExtTechnique* volumes = gl.GetExtTechnique("<ShadowVolume>", 1);
    render::IExtTechnique* outline = gl.GetExtTechnique("<Outline>", 2);
    ASSERT_NE(volumes, nullptr);
    ASSERT_NE(outline, nullptr);
    render::RenderEffectInstance entry;
    entry.technique = outline;
    entry.world = wallAt.data();
    entry.stream = stream;
    entry.ranges = &kBack;
    entry.rangeCount = 1;

    ASSERT_TRUE(gl.BeginFrame(&camera, kClear, kWidth, kHeight));
    gl.Submit(wall);
    volumes->DrawObject(volume);
    outline->DrawInstance(&entry);
    const GlFrameStats stats = gl.EndFrame();
    const auto pixels = gl.ReadPixels();
    EXPECT_EQ(stats.decals, 1);
    EXPECT_EQ(stats.outlines, 1);
    EXPECT_EQ(stats.planeShadows, 0);
    EXPECT_EQ(static_cast<RecordingExtTechnique*>(volumes)->objectDraws, 1);
    // The decal at y = -2.5, below the wall, over the clear colour.
    EXPECT_NEAR(AtWorld(pixels, 0, -2.5f, 7)[2], 32, 6);
    EXPECT_NEAR(AtWorld(pixels, 0, -2.5f, 11)[2], 64, 6);  // beyond its far edge
    // The wall stays white away from its triangles' edges; its border is drawn dark.
    EXPECT_NEAR(AtWorld(pixels, 0.4f, 0.4f, 6)[1], 255, 6);
    const float p[3] = {-1, 0, 6};
    float screen[2], depth;
    camera.Project(p, screen, &depth);
    int darkest = 255;
    for (int dx = -2; dx <= 2; ++dx) darkest = std::min(darkest, At(pixels, screen[0] + float(dx), screen[1])[1]);
    EXPECT_LT(darkest, 40);
    gl.ReleaseSkinBuffer(decal);
    gl.ReleaseSkinBuffer(volume);
    // A released decal is not drawn.
    ASSERT_TRUE(gl.BeginFrame(&camera, kClear, kWidth, kHeight));
    EXPECT_EQ(gl.EndFrame().decals, 0);
}

// The recording side: the names answered, the calls recorded, and a technique outliving the
// drawing renderer that hooked it.
TEST(RecordingSkinBuffers, NamesKindsAndCalls) {
    auto store = std::make_shared<RecordingStore>();
    RecordingRenderer recording(store);
    recording.extTechniques = {"<ShadowOnPlane>"};
    EXPECT_EQ(recording.GetExtTechnique("<Outline>", 2), nullptr);
    render::IExtTechnique* plane = recording.GetExtTechnique("<ShadowOnPlane>", 1);
    ASSERT_NE(plane, nullptr);
    EXPECT_STREQ(plane->GetName(), "<ShadowOnPlane>");
    EXPECT_EQ(recording.GetExtTechnique("<ShadowOnPlane>", 1), plane);
    EXPECT_EQ(recording.CreateSkinBuffer(5), nullptr);
    EXPECT_EQ(recording.Calls().back(), "CreateSkinBuffer(5)");
    {
        GlRenderer gl(store);
        EXPECT_EQ(gl.GetExtTechnique("<ShadowOnPlane>", 1), plane);
    }
    render::ISkinBuffer* part = recording.CreateSkinBuffer(3);
    EXPECT_FALSE(part->IsReady());
    const float p[4] = {0, 1, 0, 0};
    part->SetPlane(p);
    int light = 0;
    part->SetLight(&light);
    EXPECT_TRUE(part->IsReady());
    plane->DrawObject(part);  // the gone renderer's hook is not called
    EXPECT_EQ(static_cast<RecordingSkinBuffer*>(part)->draws, 1);
    recording.Update();
    recording.Update();
    EXPECT_EQ(recording.GetFrameStamp(), 2u);
    EXPECT_EQ(recording.LiveSkinBuffers(), 1);
    recording.ReleaseSkinBuffer(part);
    recording.ReleaseSkinBuffer(part);
    EXPECT_EQ(recording.LiveSkinBuffers(), 0);
    EXPECT_EQ(recording.LiveMaterials(), 0);
    EXPECT_EQ(recording.BadReleases(), 1);
}

}  // namespace
}  // namespace quor::host::test
