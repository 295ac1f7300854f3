// The 3D scene's grass and shrub operations reach the scene's grass manager and shrub batches.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/host/RecordingRenderer.h"
#include "platform/win32/Clock.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/scene/Scene3D.h"

namespace {

using namespace quor;
using world::CrossTexture;
using world::Scene3D;

TEST(Scene3DVegetation, GrassOperationsMakeNameFogAndRemovePatches) {
    test::WorldFixture fx;
    fx.host().renderer.Store()->DefineTexture("grass.dds");
    Scene3D scene;
    char name[260] = {};
    ASSERT_TRUE(scene.AddGrass("grass.dds", name, 1, 2, 3, 40, 0, true, 10, 0, 2, 0xFF00FF00u));
    EXPECT_EQ(std::string(name).rfind("cross", 0), 0u) << name;
    // Without the sway flag the patch stands still.
    ASSERT_TRUE(scene.AddGrass("grass.dds", nullptr, 0, 0, 0, 40, 0, false, 10, 0, 2, 0));
    ASSERT_EQ(scene.GetGrassCount(), 2);
    EXPECT_STREQ(scene.GetGrassName(0), name);
    EXPECT_EQ(scene.GetGrassName(2), nullptr);
    EXPECT_EQ(scene.GetGrassName(-1), nullptr);
    const world::Grass* patch = scene.Grasses().Patches()[0];
    EXPECT_EQ(patch->GetName(), name);
    EXPECT_EQ(const_cast<world::Grass*>(patch)->GetPosition()->z, 3.0f);
    EXPECT_EQ(patch->SpeedX(), 2.0f);
    EXPECT_EQ(scene.Grasses().Patches()[1]->SpeedX(), 0.0f);
    // Both patches draw with the one cached texture.
    EXPECT_EQ(scene.Grasses().CachedTextures(), 1u);

    scene.SetGrassParams(1, 100, 300, 0.5f, 0.25f, 0.0f, 1.0f);
    EXPECT_TRUE(scene.Grasses().FogEnabled());
    EXPECT_EQ(scene.Grasses().FogEnd(), 300);
    EXPECT_EQ(scene.Grasses().FogColour()[1], 0.25f);
    scene.SetGrassParams(0, 50, 60, 0.5f, 0.25f, 0.0f, 1.0f);
    EXPECT_FALSE(scene.Grasses().FogEnabled());
    EXPECT_EQ(scene.Grasses().FogStart(), 50);
    EXPECT_EQ(scene.Grasses().FogColour()[0], 0.5f);

    scene.RemoveGrass(name);
    scene.RemoveGrass("nothing");
    ASSERT_EQ(scene.GetGrassCount(), 1);
    EXPECT_NE(scene.GetGrassName(0), std::string(name));
    // No texture name: a patch without geometry.
    ASSERT_TRUE(scene.AddGrass("", nullptr, 0, 0, 0, 40, 0, false, 0, 0, 0, 0));
    EXPECT_FALSE(scene.Grasses().Patches()[1]->HasGeometry());
}

TEST(Scene3DVegetation, ShrubBatchesAreKeptByNameTunedAndSteppedEveryFrame) {
    test::WorldFixture fx;
    Scene3D scene;
    const float shrub[9] = {1, 0, 2, 1, 1, 1, 1, 0.5f, 1};
    auto* first = static_cast<CrossTexture*>(scene.CreateCrossTexture("hedge", 2, shrub, 1));
    ASSERT_NE(first, nullptr);
    auto* hedge = static_cast<CrossTexture*>(scene.CreateCrossTexture("hedge", 3, shrub, 1));
    ASSERT_NE(hedge, nullptr);
    EXPECT_EQ(hedge->GetVertexCount(), 12);
    // No records: an empty batch.
    ASSERT_NE(scene.CreateCrossTexture("empty", 1, nullptr, 0), nullptr);
    EXPECT_EQ(scene.FindCrossTexture("empty")->GetArrayNum(), 0);
    // Refused records leave the batch kept but empty.
    auto* crowd = static_cast<CrossTexture*>(scene.CreateCrossTexture("crowd", 0, shrub, 1));
    ASSERT_NE(crowd, nullptr);
    EXPECT_EQ(crowd->GetVertexCount(), 0);
    std::vector<std::string> names;
    scene.GetCrossTextureNames(names);
    EXPECT_EQ(names.size(), 3u);
    scene.RemoveCrossTexture("crowd");
    scene.RemoveCrossTexture("empty");
    EXPECT_EQ(scene.FindCrossTexture("crowd"), nullptr);

    scene.SetCrossTextureWave("hedge", 10, 20, 0.1f, 0.2f, 3, 0);
    scene.SetCrossTextureWave("hedge", 30, 40, 0.1f, 0.2f, 3, 0);
    float values[5] = {};
    bool on = true;
    scene.GetCrossTextureWave("hedge", &values[0], &values[1], &values[2], &values[3], &values[4], &on);
    EXPECT_EQ(std::vector<float>(values, values + 5), (std::vector<float>{30, 40, 0.1f, 0.2f, 3}));
    EXPECT_FALSE(on);
    scene.SetCrossTextureWave("hedge", 32, 64, 0.1f, 0.2f, 3, 1);
    scene.SetCrossTextureFlag("hedge", true);
    EXPECT_TRUE(hedge->GetCountedDraw());

    // Each frame steps the batch by 1/32 s: the phases move on every second frame only.
    hedge->SetPhases(0, 0);
    scene.PrepareFrame();
    float x = -1, z = -1;
    hedge->GetPhases(&x, &z);
    EXPECT_EQ(x, 0.0f);
    scene.PrepareFrame();
    hedge->GetPhases(&x, &z);
    EXPECT_FLOAT_EQ(x, 32.0f / 32.0f);
    EXPECT_FLOAT_EQ(z, 64.0f / 32.0f);
    scene.ClearCrossTextures();
    names.clear();
    scene.GetCrossTextureNames(names);
    EXPECT_TRUE(names.empty());
}

TEST(Scene3DVegetation, TheRenderStepDrawsTheGrassSeenByTheCamera) {
    test::WorldFixture fx;
    host::RecordingRenderer& renderer = fx.host().renderer;
    renderer.Store()->DefineTexture("grass.dds");
    win32::TimeSource::SetManual(1000);
    {
        Scene3D scene;
        world::Camera* camera = scene.CreateCamera(true);
        camera->SetPerspective(60.0f, 1.0f, 1.0f, 1000.0f);
        scene.SetActiveCamera(camera);
        // In front of the camera and behind it.
        ASSERT_TRUE(scene.AddGrass("grass.dds", nullptr, 0, 0, 100, 10, 0, false, 0, 0, 0, 0));
        ASSERT_TRUE(scene.AddGrass("grass.dds", nullptr, 0, 0, -100, 10, 0, false, 0, 0, 0, 0));
        win32::TimeSource::Advance(40);
        scene.Render();
        const auto& patches = scene.Grasses().Patches();
        EXPECT_TRUE(patches[0]->IsVisible());
        EXPECT_FALSE(patches[1]->IsVisible());
    }
    win32::TimeSource::UseReal();
}

}  // namespace
