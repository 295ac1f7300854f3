// The reference host's light sets, render views, render-camera projection hand-over and flat
// terrain.
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingHostParts.h"
#include "platform/host/RecordingRenderer.h"
#include "platform/host/RenderCamera.h"

namespace quor::host {
namespace {

TEST(RecordingLightsTest, LightsKeepWhatTheyAreGivenAndSetsAndViewsAreCounted) {
    RecordingRenderer renderer;
    render::ILightSet* set = renderer.CreateLightSet();
    const std::uint16_t a = set->CreateLight(2, 0xFFFF);
    const std::uint16_t b = set->CreateLight(3, 0xFFFF);
    EXPECT_NE(a, b);
    render::IRenderLight* light = set->GetLight(a);
    ASSERT_NE(light, nullptr);
    const float rgba[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    light->SetDiffuse(rgba);
    light->SetAttenuation(1, 2, 3);
    light->SetEnabled(true);
    float a0 = 0, a1 = 0, a2 = 0;
    light->GetAttenuation(&a0, &a1, &a2);
    EXPECT_EQ(a2, 3.0f);
    EXPECT_EQ(std::memcmp(light->GetDiffuse(), rgba, sizeof rgba), 0);
    EXPECT_TRUE(light->IsEnabled());
    EXPECT_EQ(light->GetType(), 2);
    EXPECT_EQ(light->GetIndex(), a);
    auto* rec = renderer.LastLightSet()->Light(a);
    EXPECT_EQ(rec->ops, (std::vector<int>{4, 13, 19, 14, 5, 20, 21, 23}));
    set->RemoveLight(a);
    EXPECT_EQ(set->GetLight(a), nullptr);
    EXPECT_EQ(renderer.LastLightSet()->LiveLights(), 1);
    set->Clear(0);
    EXPECT_EQ(renderer.LastLightSet()->LiveLights(), 0);

    render::IRenderView* view = renderer.CreateRenderView(1);
    RenderCamera camera;
    view->SetLights(set, nullptr);
    view->SetCamera(&camera);
    view->Clear();
    EXPECT_EQ(renderer.LastRenderView()->camera, &camera);
    EXPECT_EQ(renderer.LastRenderView()->clears, 1);
    EXPECT_EQ(renderer.LiveRenderViews(), 1);
    EXPECT_EQ(renderer.LiveLightSets(), 1);
    EXPECT_EQ(renderer.LiveObjects(), 2);
    renderer.ReleaseRenderView(view);
    renderer.ReleaseLightSet(set);
    renderer.ReleaseLightSet(set);
    EXPECT_EQ(renderer.LiveObjects(), 0);
    EXPECT_EQ(renderer.BadReleases(), 1);
}

TEST(RenderCameraProjectionTest, ATakenProjectionKeepsItsShapeWhenTheDepthRangeChanges) {
    struct Case {
        bool orthographic;
    };
    for (const Case c : {Case{false}, Case{true}}) {
        RenderCamera source, target;
        if (c.orthographic) {
            source.SetOrthographic(300, 200, 2, 900);
        } else {
            source.SetPerspective(60, 1.5f, 0.5f, 2000);
        }
        target.SetProjectionMatrix(source.GetProjectionMatrix());
        EXPECT_EQ(std::memcmp(target.GetProjectionMatrix(), source.GetProjectionMatrix(), 64), 0);
        EXPECT_EQ(target.IsOrthographic(), c.orthographic ? 1 : 0);
        EXPECT_NEAR(target.GetNearPlane(), c.orthographic ? 2.0f : 0.5f, 1e-3f);
        EXPECT_NEAR(target.GetFarPlane(), c.orthographic ? 900.0f : 2000.0f, 0.5f);
        target.SetDepthRange(1.0f, 50.0f);
        // The reference: the source's own projection built with the new depth range.
        source.SetDepthRange(1.0f, 50.0f);
        const float* p = target.GetProjectionMatrix();
        const float* q = source.GetProjectionMatrix();
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(p[i], q[i], 1e-5f) << "element " << i;
        // A point on the new far plane lands at depth 1.
        const float z = 50.0f;
        const float clipZ = z * p[10] + p[14], clipW = z * p[11] + p[15];
        EXPECT_NEAR(clipZ / clipW, 1.0f, 1e-5f);
    }
}

TEST(FlatTerrainTest, ReadsASquareFromItsTextFileAndRecordsItsCalls) {
    MemoryFileSystem files;
    files.AddFile("ground.ter", std::string_view("flat 50 2\n"));
    files.AddFile("bad.ter", std::string_view("hill 5 2"));
    files.AddFile("empty.ter", std::string_view(""));
    RecordingTerrain module;
    module.files = &files;
    EXPECT_EQ(module.CreateTerrain("missing.ter"), nullptr);
    EXPECT_EQ(module.CreateTerrain("bad.ter"), nullptr);
    EXPECT_EQ(module.CreateTerrain("empty.ter"), nullptr);
    EXPECT_EQ(FlatTerrain::Parse("flat -3 1"), nullptr);
    render::TerrainObject* terrain = module.CreateTerrain("ground.ter");
    ASSERT_NE(terrain, nullptr);
    auto* flat = module.terrains.back().get();
    float h = 0;
    EXPECT_TRUE(flat->HeightAt(49, -49, &h));
    EXPECT_EQ(h, 2.0f);
    EXPECT_FALSE(flat->HeightAt(51, 0, &h));
    terrain->SetOption(4, 1);
    terrain->SetScene(&module);
    terrain->SetLodDistance(2, 75.5f);
    terrain->UpdateAround(0, 0);
    terrain->RenderPass();
    terrain->Update();
    terrain->Render();
    EXPECT_EQ(module.LiveTerrains(), 1);
    terrain->Release();
    EXPECT_EQ(module.LiveTerrains(), 0);
    EXPECT_EQ(flat->calls, (std::vector<std::string>{"SetOption(4,1)", "SetScene", "SetLodDistance(2,75.5)",
                                                     "UpdateAround(0,0)", "RenderPass", "Update", "Render", "Release"}));
    EXPECT_EQ(flat->lodDistances[2], 75.5f);
}

}  // namespace
}  // namespace quor::host
