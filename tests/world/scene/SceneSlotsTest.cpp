// The scene operations a host reaches only through its IScene pointer, each called with all of its
// arguments, and the effect each has on the 3D scene.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/host/ITickObject.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/host/RecordingRenderer.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/track/ITrack.h"
#include "world/core/track/TrackTemplates.h"
#include "world/fx/CrossTexture.h"
#include "world/scene/IScene.h"
#include "world/scene/Scene3D.h"
#include "world/core/Camera.h"
#include "world/core/Light.h"
#include "world/core/PrimObject.h"
#include "world/core/track/HostTrackSampled.h"
#include "world/core/track/TrackSampled.h"

namespace quor::test {
// tests/world/HostOnlyScene.cpp, built from the host-facing headers alone.
std::string DriveSceneAsHost(world::IScene* scene, render::ITickObject* tick);
}  // namespace quor::test

namespace {

using namespace quor;
using world::IScene;
using world::Scene3D;

class Tick final : public render::ITickObject {
public:
    void Release() override {}
    void SetOption(int, int) override {}
    void Update() override {}
    void Render() override {}
    void SetScene(void*) override {}
    void OnLostDevice() override {}
    void OnResetDevice() override {}
};

struct SlotCase {
    const char* slot;
    // Calls the slot through the host's pointer and checks what it did to the scene.
    std::function<void(IScene*, Scene3D&, test::WorldFixture&)> run;
};

TEST(SceneSlots, EverySlotTakesTheFullArgumentsThroughTheHostPointer) {
    const SlotCase cases[] = {
        {"AddGrass",
         [](IScene* s, Scene3D& scene, test::WorldFixture& fx) {
             fx.host().renderer.Store()->DefineTexture("grass.dds");
             char name[260] = {};
             ASSERT_TRUE(s->AddGrass("grass.dds", name, 4, 5, 6, 30, 0, true, 2.0f, 0.0f, 1.5f, 0xFF102030u));
             ASSERT_EQ(s->GetGrassCount(), 1);
             EXPECT_STREQ(s->GetGrassName(0), name);
             world::Grass* patch = scene.Grasses().Patches()[0];
             EXPECT_EQ(patch->GetName(), name);
             const Vec3* at = patch->GetPosition();
             EXPECT_EQ((std::vector<float>{at->x, at->y, at->z}), (std::vector<float>{4, 5, 6}));
             EXPECT_EQ(patch->SpeedX(), 1.5f);
         }},
        {"SetGrassParams",
         [](IScene* s, Scene3D& scene, test::WorldFixture&) {
             s->SetGrassParams(1, 100, 300, 0.5f, 0.25f, 0.125f, 1.0f);
             world::GrassMgr& grass = scene.Grasses();
             EXPECT_TRUE(grass.FogEnabled());
             EXPECT_EQ(grass.FogStart(), 100);
             EXPECT_EQ(grass.FogEnd(), 300);
             EXPECT_EQ(std::vector<float>(grass.FogColour(), grass.FogColour() + 4),
                       (std::vector<float>{0.5f, 0.25f, 0.125f, 1.0f}));
         }},
        {"RemoveTickObject",
         [](IScene* s, Scene3D& scene, test::WorldFixture&) {
             Tick listed, other;
             s->AddTickObject(&listed);
             EXPECT_FALSE(s->RemoveTickObject(&other));
             EXPECT_TRUE(s->RemoveTickObject(&listed));
             EXPECT_TRUE(scene.TickObjects().empty());
             EXPECT_FALSE(s->RemoveTickObject(&listed));
         }},
        {"CreateTrack",
         [](IScene* s, Scene3D&, test::WorldFixture&) {
             world::TrackTemplate line;
             line.end = {0.0f, 0.0f, 10.0f};
             line.timeLength = 1000.0f;
             line.cycleType = 1;  // constant speed
             world::ITrack* track = s->CreateTrack(1, &line);
             ASSERT_NE(track, nullptr);
             EXPECT_EQ(s->GetTrackCount(), 1);
             // The template gave the track its length; without one it has none.
             EXPECT_GT(track->GetLength(), 0.0f);
             world::ITrack* bare = s->CreateTrack(1, nullptr);
             ASSERT_NE(bare, nullptr);
             EXPECT_EQ(bare->GetLength(), 0.0f);
             EXPECT_EQ(s->CreateTrack(4, nullptr), nullptr);
             EXPECT_EQ(s->GetTrackCount(), 2);
         }},
        {"SetFogParams, GetFogParams",
         [](IScene* s, Scene3D& scene, test::WorldFixture&) {
             world::FogRecord fog;
             fog.mode = 3;
             fog.type = 2;
             std::memcpy(fog.colour, "\x10\x20\x30\x40", 4);
             fog.start = 5.0f;
             fog.end = 50.0f;
             fog.density = 0.5f;
             s->SetFogParams(fog);
             world::FogRecord back;
             s->GetFogParams(&back);
             EXPECT_EQ(std::memcmp(&back, &fog, sizeof fog), 0);
             auto* light = static_cast<host::RecordingSceneLightState*>(scene.LightStateOfScene());
             EXPECT_EQ(light->fogMode, 3);
             EXPECT_EQ(light->fogType, 2);
             EXPECT_EQ(light->fogColour, 0x40302010u);
             EXPECT_EQ((std::vector<float>(light->fogRange, light->fogRange + 3)),
                       (std::vector<float>{5.0f, 50.0f, 0.5f}));
         }},
        {"SetFog",
         [](IScene* s, Scene3D&, test::WorldFixture&) {
             const std::uint8_t red[4] = {0, 0, 0xFF, 0xFF};
             s->SetFog(2, 3, red, 1.0f, 2.0f, 3.0f);
             world::FogRecord fog;
             s->GetFogParams(&fog);
             // The type goes to the second field, the mode to the first.
             EXPECT_EQ(fog.mode, 3);
             EXPECT_EQ(fog.type, 2);
             EXPECT_EQ(std::memcmp(fog.colour, red, 4), 0);
             EXPECT_EQ((std::vector<float>{fog.start, fog.end, fog.density}), (std::vector<float>{1, 2, 3}));
         }},
        {"SetBackground",
         [](IScene* s, Scene3D& scene, test::WorldFixture& fx) {
             fx.host().renderer.Store()->DefineTexture("bg.dds");
             EXPECT_TRUE(s->SetBackground("bg.dds"));
             EXPECT_STREQ(s->GetBackground(), "bg.dds");
             EXPECT_NE(scene.GetBackgroundQuad().primitive, nullptr);
             EXPECT_FALSE(s->SetBackground("missing.dds"));
             EXPECT_TRUE(s->SetBackground(""));
             EXPECT_STREQ(s->GetBackground(), "");
         }},
        {"SetScreenImage",
         [](IScene* s, Scene3D& scene, test::WorldFixture& fx) {
             render::ITexture* image = fx.host().renderer.CreateTexture(64, 32, 0, 0, 1, 0);
             const float at[2] = {10, 20};
             s->SetScreenImage(true, image, at);
             EXPECT_TRUE(scene.IsScreenImageOn());
             EXPECT_TRUE(scene.ScreenImageHasTexture());
             auto* quad = static_cast<host::RecordingPrimitive*>(scene.GetScreenPrimitive());
             EXPECT_EQ((std::vector<float>(quad->drawExRect, quad->drawExRect + 4)),
                       (std::vector<float>{10, 20, 74, 52}));
             EXPECT_EQ(quad->textures[0], image);
             s->SetScreenImage(true, nullptr, nullptr);
             EXPECT_FALSE(scene.ScreenImageHasTexture());
             s->SetScreenImage(false, image, at);
             EXPECT_FALSE(scene.IsScreenImageOn());
             fx.host().renderer.ReleaseTexture(image);
         }},
        {"CreateCrossTexture, SetCrossTextureWave, GetCrossTextureWave",
         [](IScene* s, Scene3D& scene, test::WorldFixture&) {
             const float shrub[9] = {1, 0, 2, 1, 1, 1, 1, 0.5f, 1};
             void* first = s->CreateCrossTexture("hedge", 2, shrub, 1);
             ASSERT_NE(first, nullptr);
             void* hedge = s->CreateCrossTexture("hedge", 3, shrub, 1);
             ASSERT_EQ(hedge, static_cast<void*>(scene.FindCrossTexture("hedge")));
             EXPECT_EQ(static_cast<world::CrossTexture*>(hedge)->GetVertexCount(), 12);
             s->SetCrossTextureWave("hedge", 10, 20, 0.1f, 0.2f, 3, 1);
             float values[5] = {};
             bool on = false;
             s->GetCrossTextureWave("hedge", &values[0], &values[1], &values[2], &values[3], &values[4], &on);
             EXPECT_EQ(std::vector<float>(values, values + 5), (std::vector<float>{10, 20, 0.1f, 0.2f, 3}));
             EXPECT_TRUE(on);
             // A name not there is left alone; null out pointers are skipped.
             s->SetCrossTextureWave("none", 1, 1, 1, 1, 1, 0);
             s->GetCrossTextureWave("hedge", nullptr, nullptr, nullptr, nullptr, nullptr, &on);
             EXPECT_TRUE(on);
         }},
    };
    for (const SlotCase& c : cases) {
        SCOPED_TRACE(c.slot);
        test::WorldFixture fx;
        Scene3D scene;
        c.run(static_cast<IScene*>(&scene), scene, fx);
    }
}

TEST(SceneSlots, AHostWithOnlyTheHostHeadersDrivesAScene) {
    test::WorldFixture fx;
    Scene3D scene;
    Tick tick;
    EXPECT_EQ(test::DriveSceneAsHost(&scene, &tick), "");
    EXPECT_EQ(scene.GetGrassCount(), 1);
    EXPECT_EQ(scene.GetTrackCount(), 1);
}

// The handles the scene gives a host are their interfaces at the same address.
TEST(SceneSlots, HandlesAreTheirInterfaces) {
    test::WorldFixture fx;
    Scene3D scene;
    world::Camera* camera = scene.CreateCamera(true);
    EXPECT_EQ(world::CameraInterface(camera), static_cast<world::ICamera*>(camera));
    world::Light* light = scene.CreateLight(1);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(world::LightInterface(light), static_cast<world::ILight*>(light));
    world::SpaceObject* root = scene.GetRootObject();
    EXPECT_EQ(world::SpaceObjectInterface(root), static_cast<world::ISpaceObject*>(root));
    world::PrimObject* prim = scene.CreatePrimObject(1, 0x142, false);
    ASSERT_NE(prim, nullptr);
    EXPECT_EQ(world::PrimObjectInterface(prim), static_cast<world::IPrimObject*>(prim));
    world::TrackSampled sampled;
    EXPECT_EQ(world::TrackSampledInterface(&sampled), static_cast<world::ITrack*>(&sampled));
}

}  // namespace
