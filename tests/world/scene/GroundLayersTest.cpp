// Far layers, water blocks and mask pictures of the 2D ground against the recording renderer.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/host/RecordingRenderer.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/scene/MapFixtures.h"
#include "world/core/InterfaceTable.h"
#include "world/fx/Picture.h"
#include "world/fx/SharedEffects.h"
#include "world/scene/FarLayer.h"
#include "world/scene/MaskPicture.h"
#include "world/scene/WaterBlock.h"

namespace quor::world {
namespace {

const char* const kWaterEffect = "res/builtin/shader/2dwater.fx::water";
const char* const kMaskEffect = "res/builtin/shader/maskpicture.fx::TAlpha";

struct GroundLayers : testing::Test {
    GroundLayers() : log(MakeFiles(files)) {
        Interfaces().renderer = &renderer();
        renderer().Attach(files, nullptr);
        store().DefineEffect(kWaterEffect, 1, true, {"BaseTex", "NormalTex"});
        store().DefineEffect(kMaskEffect, 1, true, {"BaseTex", "MarkTex"});
        CreatePictureMaterial();
        WaterBlock::LoadSharedEffect();
        MaskPicture::LoadSharedEffect(false);
    }
    ~GroundLayers() override {
        ReleasePictureMaterial();
        WaterBlock::ReleaseSharedEffect();
        MaskPicture::ReleaseSharedEffect();
    }
    static std::unique_ptr<host::ResFileSystemBase> MakeFiles(host::MemoryFileSystem*& out) {
        auto fs = std::make_unique<host::MemoryFileSystem>();
        out = fs.get();
        return fs;
    }
    host::RecordingRenderer& renderer() { return log.bound.host.renderer; }
    host::RecordingStore& store() { return *renderer().Store(); }
    void DefineImage(const std::string& name, std::uint32_t width, std::uint32_t height) {
        host::TextureDesc desc;
        desc.width = width;
        desc.height = height;
        store().DefineTexture(name, desc);
    }
    // A mask image: an 8-bit bitmap (black where it masks, white elsewhere) and its texture.
    void DefineMask(const std::string& name, std::int32_t width, std::int32_t height, std::uint8_t fill = 0) {
        fixtures::Bitmap8 bmp;
        bmp.width = width;
        bmp.height = height;
        bmp.pixels.assign(std::size_t(width) * std::size_t(height), fill);
        bmp.palette = {0x00000000u, 0x00FFFFFFu};
        files->AddFile(name, bmp.Build());
        DefineImage(name, std::uint32_t(width), std::uint32_t(height));
    }
    // Nothing the classes made is left with the renderer.
    void ExpectAllReleased() {
        EXPECT_EQ(renderer().LivePrimitives(), 0);
        EXPECT_EQ(renderer().LiveMaterials(), 0);
        EXPECT_EQ(renderer().LiveTextures(), 0);
        EXPECT_EQ(renderer().BadReleases(), 0);
    }
    static host::RecordingPrimitive* Quad(render::IPrimitive* p) { return static_cast<host::RecordingPrimitive*>(p); }
    static std::vector<float> Rect(const float* r) { return {r[0], r[1], r[2], r[3]}; }

    host::MemoryFileSystem* files = nullptr;
    test::LogCapture log;
};

// --- far layers -------------------------------------------------------------------------------

TEST_F(GroundLayers, FarLayerScrollsOnWholePixelsAndDrawsAsAsked) {
    DefineImage("far/hill.png", 64, 32);
    const float at[2] = {10, 20};
    renderer().ClearCalls();
    {
        FarLayer layer("far/hill.png", at);
        EXPECT_EQ(renderer().Calls(),
                  (std::vector<std::string>{"LoadTexture(far/hill.png,0,0,-3,0,0,0)", "CreatePrimitive(7,324)"}));
        EXPECT_EQ(Rect(layer.GetRect()), (std::vector<float>{10, 20, 74, 52}));
        host::RecordingPrimitive* quad = Quad(layer.GetQuad());
        ASSERT_NE(quad, nullptr);
        EXPECT_EQ(quad->calls, (std::vector<std::string>{"SetVertexCount(1,-1,0,1)", "SetEffect()", "DrawEx(0,0)",
                                                         "SetTexture(0)"}));
        EXPECT_EQ(quad->effect, Picture::SharedMaterial());
        EXPECT_EQ(quad->textures[0], layer.GetTexture());
        const float offset[2] = {0.7f, -0.2f};
        layer.Scroll(offset);
        EXPECT_EQ(Rect(quad->drawExRect), (std::vector<float>{10, 19, 74, 51}));
        EXPECT_EQ(Rect(quad->drawExUV), (std::vector<float>{0, 0, 1, 1}));
        layer.Draw(-1, -1, 3);
        layer.Draw(0, 2, 0);
        ASSERT_EQ(quad->draws.size(), 2u);
        EXPECT_EQ(quad->draws[1].first, 0);
        EXPECT_EQ(quad->draws[1].count, 2);
        EXPECT_EQ(quad->draws[0].pass, 3);
        renderer().ClearCalls();
    }
    // The texture goes back through its handle.
    EXPECT_EQ(renderer().Calls(), (std::vector<std::string>{"ReleasePrimitive", "UnloadTexture(1)"}));
    ExpectAllReleased();
}

TEST_F(GroundLayers, FarLayerWithoutImageUsesABlankTexture) {
    const float at[2] = {0, 0};
    {
        FarLayer layer("far/missing.png", at);
        EXPECT_TRUE(log.Contains("远景层：far/missing.png 丢失"));
        EXPECT_EQ(Rect(layer.GetRect()), (std::vector<float>{0, 0, 256, 256}));
        ASSERT_NE(layer.GetTexture(), nullptr);
        EXPECT_EQ(layer.GetName(), "far/missing.png");
    }
    ExpectAllReleased();
}

// --- water blocks -----------------------------------------------------------------------------

TEST_F(GroundLayers, WaterParametersFollowTheDraws) {
    DefineImage("w/base.png", 128, 64);
    DefineImage("w/normal.png", 32, 32);
    const float at[2] = {40, 50};
    {
        WaterBlock water(at, "w/base.png", "w/normal.png");
        EXPECT_EQ(Rect(water.GetRect()), (std::vector<float>{40, 50, 168, 114}));
        EXPECT_EQ(Rect(water.GetTempVars()), (std::vector<float>{0.5f, -0.4725f, 0.5f, 0.4725f}));
        EXPECT_EQ(Rect(water.GetRippleScale()), (std::vector<float>{0.06f, 0.03f, 0, 0}));
        EXPECT_FLOAT_EQ(water.GetSpeed(), 0.0015f);
        auto* material = static_cast<host::RecordingMaterial*>(water.GetMaterial());
        ASSERT_NE(material, nullptr);
        EXPECT_EQ(material->technique, WaterBlock::SharedEffect());
        EXPECT_TRUE(material->transparent);
        EXPECT_EQ(material->GetTexture("BaseTex"), water.GetBaseTexture());
        EXPECT_EQ(material->GetTexture("NormalTex"), water.GetNormalTexture());
        host::RecordingPrimitive* quad = Quad(water.GetQuad());
        EXPECT_EQ(quad->material, material);

        water.SetMapOffset(1, 2, 3, 4);
        water.SetTempVars(5, 6, 7, 8);
        water.SetRippleScale(9, 10, 0, 0);
        water.SetSpeed(0.5f);
        // Per draw, not per second: each draw moves the wave by the speed.
        for (float expected : {0.5f, 1.0f, 1.5f}) {
            water.Render();
            EXPECT_FLOAT_EQ(water.GetTime(), expected);
            const auto& values = material->params.values;
            EXPECT_EQ(values.at("g_vWaveMapOffset"),
                      (std::vector<float>{expected, 2 * expected, 3 * expected, 4 * expected}));
            EXPECT_EQ(values.at("g_temp"), (std::vector<float>{5, 6, 7, 8}));
            EXPECT_EQ(values.at("g_RippleScale"), (std::vector<float>{9, 10, 0, 0}));
        }
        ASSERT_EQ(quad->draws.size(), 3u);
        EXPECT_EQ(quad->draws[0].first, -1);
        EXPECT_EQ(quad->draws[0].pass, 9);

        // The view offset moves the quad, the position moves the block.
        const float view[2] = {-30, -5};
        water.SetViewOffset(view);
        EXPECT_EQ(Rect(quad->drawExRect), (std::vector<float>{10, 45, 138, 109}));
        const float moved[2] = {0, 0};
        water.SetPosition(moved);
        EXPECT_EQ(Rect(water.GetRect()), (std::vector<float>{0, 0, 128, 64}));
        EXPECT_EQ(Rect(quad->drawExRect), (std::vector<float>{-30, -5, 98, 59}));
    }
    ExpectAllReleased();
}

TEST_F(GroundLayers, WaterWithoutNormalMapStillDraws) {
    DefineImage("w/base.png", 128, 64);
    const float at[2] = {0, 0};
    {
        WaterBlock water(at, "w/base.png", "w/none.png");
        EXPECT_TRUE(log.Contains("程序水法线贴图：w/none.png 丢失"));
        EXPECT_FALSE(log.Contains("程序水贴图："));
        auto* material = static_cast<host::RecordingMaterial*>(water.GetMaterial());
        ASSERT_NE(material->GetTexture("NormalTex"), nullptr);
        auto* blank = static_cast<host::RecordingTexture*>(material->GetTexture("NormalTex"));
        EXPECT_TRUE(blank->blank);
        EXPECT_EQ(blank->width, 256u);
        water.Render();
        EXPECT_EQ(Quad(water.GetQuad())->draws.size(), 1u);
    }
    ExpectAllReleased();
}

TEST_F(GroundLayers, SharedEffectsLoadOnceAndTheMarkModeChoosesTheFile) {
    ASSERT_NE(WaterBlock::SharedEffect(), nullptr);
    ASSERT_NE(MaskPicture::SharedEffect(), nullptr);
    render::IEffect* water = WaterBlock::SharedEffect();
    WaterBlock::LoadSharedEffect();
    EXPECT_EQ(WaterBlock::SharedEffect(), water);
    MaskPicture::ReleaseSharedEffect();
    EXPECT_EQ(MaskPicture::SharedEffect(), nullptr);
    renderer().ClearCalls();
    CreateMaskPictureEffect(1);
    EXPECT_EQ(renderer().Calls(),
              (std::vector<std::string>{"LoadEffect(res/builtin/shader/maskpictureshowmark.fx,TAlpha)"}));
    ReleaseMaskPictureEffect();
    ReleaseWaterBlockEffect();
    EXPECT_EQ(WaterBlock::SharedEffect(), nullptr);
    EXPECT_EQ(store().LiveSharedEffects(), 0);
}

// --- mask pictures ----------------------------------------------------------------------------

struct PartCase {
    const char* what;
    float x, y;
    std::int32_t width, height;
    std::vector<std::int32_t> range;
    // Per part: column, row and the rectangle in map pixels.
    std::vector<std::vector<float>> parts;
};

TEST_F(GroundLayers, MaskPartsCoverEachBlockOnce) {
    const std::vector<PartCase> cases = {
        {"two blocks", 200, 100, 100, 50, {0, 0, 1, 0}, {{0, 0, 200, 100, 256, 150}, {1, 0, 256, 100, 300, 150}}},
        {"one whole block", 256, 256, 256, 256, {1, 1, 1, 1}, {{1, 1, 256, 256, 512, 512}}},
        {"right edge on a boundary", 0, 0, 512, 20, {0, 0, 1, 0}, {{0, 0, 0, 0, 256, 20}, {1, 0, 256, 0, 512, 20}}},
        {"four corners", 250, 250, 12, 12, {0, 0, 1, 1},
         {{0, 0, 250, 250, 256, 256}, {1, 0, 256, 250, 262, 256}, {0, 1, 250, 256, 256, 262},
          {1, 1, 256, 256, 262, 262}}},
        {"left of the map", -10, 0, 20, 20, {0, 0, 0, 0}, {{0, 0, 0, 0, 10, 20}}},
    };
    for (const PartCase& c : cases) {
        SCOPED_TRACE(c.what);
        DefineMask("m/mask.bmp", c.width, c.height);
        MaskPicture mask("m/mask.bmp", c.x, c.y);
        const std::int32_t* r = mask.GetBlockRange();
        EXPECT_EQ((std::vector<std::int32_t>{r[0], r[1], r[2], r[3]}), c.range);
        ASSERT_EQ(mask.GetParts().size(), c.parts.size());
        for (std::size_t i = 0; i < c.parts.size(); ++i) {
            const MaskPart* part = mask.GetParts()[i];
            const std::vector<float>& want = c.parts[i];
            EXPECT_EQ(float(part->GetColumn()), want[0]);
            EXPECT_EQ(float(part->GetRow()), want[1]);
            EXPECT_EQ(Rect(part->GetRect()), (std::vector<float>{want[2], want[3], want[4], want[5]}));
            EXPECT_EQ(part->GetBlockIndex(), -1);
            EXPECT_EQ(part->GetMarkTexture(), mask.GetMaskTexture());
        }
    }
    ExpectAllReleased();
}

TEST_F(GroundLayers, MaskPartTextureRectanglesAndQuads) {
    DefineMask("m/mask.bmp", 100, 50);
    {
        MaskPicture mask("m/mask.bmp", 200, 100);
        ASSERT_EQ(mask.GetParts().size(), 2u);
        const MaskPart* second = mask.GetParts()[1];
        EXPECT_EQ(Rect(second->GetBaseUV()), (std::vector<float>{0, 100 / 256.0f, 44 / 256.0f, 150 / 256.0f}));
        EXPECT_EQ(Rect(second->GetMarkUV()), (std::vector<float>{0.56f, 0, 1, 1}));
        host::RecordingPrimitive* quad = Quad(second->GetQuad());
        EXPECT_EQ(quad->vertexFormat, 0x244u);
        auto* material = static_cast<host::RecordingMaterial*>(second->GetMaterial());
        EXPECT_EQ(quad->material, material);
        EXPECT_EQ(material->technique, MaskPicture::SharedEffect());
        EXPECT_EQ(material->GetTexture("MarkTex"), mask.GetMaskTexture());
        // The view moves the quad; both texture rectangles go with it.
        const float view[2] = {-250, -90};
        mask.GetParts()[1]->SetViewOffset(view);
        EXPECT_EQ(Rect(quad->drawExRect), (std::vector<float>{6, 10, 50, 60}));
        EXPECT_EQ(std::vector<float>(quad->drawExUV, quad->drawExUV + 8),
                  (std::vector<float>{0, 100 / 256.0f, 44 / 256.0f, 150 / 256.0f, 0.56f, 0, 1, 1}));
        // A grid of one block keeps the first part only.
        mask.ClipToGrid(1, 1);
        ASSERT_EQ(mask.GetParts().size(), 1u);
        EXPECT_EQ(mask.GetBlockRange()[2], 0);
        mask.ClipToGrid(0, 0);
        EXPECT_TRUE(mask.GetParts().empty());
        EXPECT_EQ(mask.GetBlockRange()[0], -1);
    }
    ExpectAllReleased();
}

TEST_F(GroundLayers, MaskIsBehindReadsTheAreaWithItsEdges) {
    // Left half black (masks), right half white.
    fixtures::Bitmap8 bmp;
    bmp.width = 4;
    bmp.height = 2;
    bmp.pixels = {0, 0, 1, 1, 0, 0, 1, 1};
    bmp.palette = {0x00000000u, 0x00FFFFFFu};
    files->AddFile("m/half.bmp", bmp.Build());
    DefineImage("m/half.bmp", 4, 2);
    MaskPicture mask("m/half.bmp", 10, 20);
    struct Probe {
        float x, y;
        std::int32_t value;
    };
    const std::vector<Probe> probes = {
        {10, 20, 0}, {11.9f, 21, 0}, {12, 20, 0xFFFFFF}, {14, 20, 0xFFFFFF} /* right edge: inside */,
        {14, 22, 0xFFFFFF} /* bottom-right corner */, {15, 20, 0}, {9.9f, 20, 0}, {12, 22.5f, 0},
    };
    for (const Probe& p : probes) {
        const float point[2] = {p.x, p.y};
        EXPECT_EQ(mask.IsBehind(point), p.value) << p.x << "," << p.y;
    }
    EXPECT_EQ(mask.IsBehind(nullptr), 0);
}

TEST_F(GroundLayers, MaskWithoutImageHasNoParts) {
    {
        MaskPicture mask("m/none.bmp", 0, 0);
        EXPECT_TRUE(mask.GetParts().empty());
        EXPECT_EQ(mask.GetMaskTexture(), nullptr);
        const float point[2] = {1, 1};
        EXPECT_EQ(mask.IsBehind(point), 0);
        mask.Render();
    }
    // A bitmap that is no picture: the area map refuses it, no texture is asked for.
    files->AddFile("m/bad.bmp", std::string_view("BMxx"));
    renderer().ClearCalls();
    {
        MaskPicture mask("m/bad.bmp", 0, 0);
        EXPECT_TRUE(mask.GetParts().empty());
    }
    EXPECT_EQ(renderer().Calls(), std::vector<std::string>{});
    ExpectAllReleased();
}

TEST_F(GroundLayers, MaskRenderDrawsPartsWithGroundAndPicturesBehindOnce) {
    DefineMask("m/mask.bmp", 100, 50);
    DefineImage("block.png", 256, 256);
    render::ITexture* block = renderer().LoadTexture("block.png", 0, 0, -3, 0, 0, 0);
    auto* scene = reinterpret_cast<IScene*>(0x1000);
    auto* a = new Picture(scene);
    auto* b = new Picture(scene);
    {
        MaskPicture mask("m/mask.bmp", 200, 100);
        mask.AddBehind(a);
        mask.AddBehind(b);
        mask.AddBehind(a);
        // Only the part whose block has its texture draws.
        mask.GetParts()[0]->SetBaseTexture(block);
        std::set<PictureBase*> drawn = {b};
        mask.Render(&drawn);
        EXPECT_EQ(Quad(mask.GetParts()[0]->GetQuad())->draws.size(), 1u);
        EXPECT_EQ(Quad(mask.GetParts()[0]->GetQuad())->draws[0].pass, 2);
        EXPECT_TRUE(Quad(mask.GetParts()[1]->GetQuad())->draws.empty());
        // a drawn once, b already drawn in this pass.
        EXPECT_EQ(Quad(a->Primitive())->draws.size(), 1u);
        EXPECT_TRUE(Quad(b->Primitive())->draws.empty());
        EXPECT_EQ(drawn.size(), 2u);
        mask.ResetMarks();
        EXPECT_TRUE(mask.GetBehind().empty());
        // A released block takes its texture from the part.
        mask.GetParts()[0]->SetBaseTexture(nullptr);
        EXPECT_EQ(static_cast<host::RecordingMaterial*>(mask.GetParts()[0]->GetMaterial())->GetTexture("BaseTex"),
                  nullptr);
        mask.Render();
        EXPECT_EQ(Quad(mask.GetParts()[0]->GetQuad())->draws.size(), 1u);
    }
    a->DeletingDestructor();
    b->DeletingDestructor();
    renderer().ReleaseTexture(block);
    ExpectAllReleased();
}

}  // namespace
}  // namespace quor::world
