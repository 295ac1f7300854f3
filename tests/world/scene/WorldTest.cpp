#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/host/XmlNode.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/core/SpaceLines.h"
#include "world/mesh/ModelMaterial.h"

namespace {

using namespace quor;
using namespace quor::test;

TEST(World, StartUpAndShutdownCallsInOrder) {
    WorldFixture fx(0, false);
    fx.host().renderer.ClearCalls();
    ASSERT_TRUE(World::Instance().Initialize(30));
    EXPECT_EQ(fx.host().device.Calls(), (std::vector<std::string>{"GetDevice", "AddDeviceCallback"}));
    EXPECT_EQ(fx.host().device.CallbackCount(), 1);
    // The model technique templates and their shared stage state come first.
    // The three plain shared effect materials and the three loaded ones (absent here) follow,
    // then the 3D background effect, the line effect and the pictures' effect, grass and the
    // overlay batch (absent here: no batch), with the mask pictures' effect after the pictures'
    // and the water blocks' after the batch (both absent here). The hardware-skin pair comes
    // last (this renderer has no such effect file).
    const std::vector<std::string> startCalls = {"GetTechnique(<ModelNormalTech>)", "GetTechnique(<ModelAlphaTech>)",
                                                 "CreateRenderState", "CreateEffect", "CreateEffect", "CreateEffect",
                                                 "LoadEffect(res/effect/sfx0.fx,Fx)", "LoadEffect(res/effect/sfx1.fx,Fx)",
                                                 "LoadEffect(res/effect/sfx2.fx,Fx)", "CreateEffect", "CreateEffect", "CreateEffect",
                                                 "LoadEffect(res/builtin/shader/maskpicture.fx,TAlpha)",
                                                 "LoadEffect(res/effect/grass.fx,Grass)",
                                                 "LoadEffect(res/effect/AlphaClip.fx,Common)",
                                                 "LoadEffect(res/builtin/shader/2dwater.fx,water)",
                                                 "LoadEffect(res/builtin/shader/hardware_skin.fx,THardwareSkin)",
                                                 "LoadEffect(res/builtin/shader/hardware_skin.fx,THardwareSkinAlpha)"};
    EXPECT_EQ(fx.host().renderer.Calls(), startCalls);
    ASSERT_NE(world::SpaceLines::SharedEffect(), nullptr);
    EXPECT_EQ(fx.host().renderer.LastEffect()->techniqueName, "Picture");
    EXPECT_FLOAT_EQ(FxDivisor(), 1.0f / 30.0f);

    fx.journal.existing = {"a.s3d"};
    ASSERT_NE(World::Instance().CreateScene("a.s3d", 0, 0, 0), nullptr);
    fx.host().renderer.ClearCalls();
    World::Instance().Shutdown();
    // The scene goes first (its light set and light state), then the material caches after
    // the last scene, then the shared effect materials, the line and picture effects; the device callback last.
    EXPECT_EQ(fx.host().renderer.Calls(),
              (std::vector<std::string>{"ReleaseLightSet", "ReleaseSceneLightState", "ReleaseEffect", "ReleaseEffect",
                                        "ReleaseRenderState", "ReleaseEffect", "ReleaseEffect", "ReleaseEffect",
                                        "ReleaseEffect", "ReleaseEffect", "ReleaseEffect"}));
    EXPECT_EQ(fx.journal.entries.back().rfind("destroy ", 0), 0u);
    EXPECT_EQ(fx.host().device.Calls().back(), "RemoveDeviceCallback");
    EXPECT_EQ(fx.host().device.CallbackCount(), 0);
    EXPECT_EQ(fx.host().renderer.LiveObjects(), 0);
    EXPECT_EQ(fx.host().renderer.BadReleases(), 0);
    EXPECT_EQ(World::Instance().GetSceneCount(), 0);

    // A second start in the same process works as the first.
    fx.host().renderer.ClearCalls();
    ASSERT_TRUE(World::Instance().Initialize(60));
    EXPECT_EQ(fx.host().device.CallbackCount(), 1);
    EXPECT_EQ(fx.host().renderer.Calls(), startCalls);
    // Started twice without a shutdown: still one device callback and one shared effect.
    ASSERT_TRUE(World::Instance().Initialize(60));
    EXPECT_EQ(fx.host().device.CallbackCount(), 1);
    // Two techniques, the three shared effect materials, the 3D background, the line effect
    // and the pictures' one.
    EXPECT_EQ(fx.host().renderer.LiveEffects(), 8);
}

// The mark mode set before start-up picks the mask pictures' effect file.
TEST(World, MaskMarkModeChoosesTheMaskEffect) {
    WorldFixture fx(0, false);
    World::Instance().SetMaskMarkMode(1);
    fx.host().renderer.ClearCalls();
    ASSERT_TRUE(World::Instance().Initialize(30));
    World::Instance().SetMaskMarkMode(0);
    const std::vector<std::string> calls = fx.host().renderer.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "LoadEffect(res/builtin/shader/maskpictureshowmark.fx,TAlpha)"),
              calls.end());
    EXPECT_EQ(std::find(calls.begin(), calls.end(), "LoadEffect(res/builtin/shader/maskpicture.fx,TAlpha)"),
              calls.end());
}

// The hardware-skin techniques live from start-up to shutdown; nothing of the renderer's stays.
TEST(World, HardwareSkinTechniquesLiveFromStartUpToShutdown) {
    WorldFixture fx(0, false);
    const std::string file = "res/builtin/shader/hardware_skin.fx";
    fx.host().renderer.Store()->DefineEffect(file + "::THardwareSkin", 1);
    fx.host().renderer.Store()->DefineEffect(file + "::THardwareSkinAlpha", 1, true);
    ASSERT_TRUE(World::Instance().Initialize(30));
    ASSERT_NE(world::HardwareSkinTechnique(false), nullptr);
    ASSERT_NE(world::HardwareSkinTechnique(true), nullptr);
    EXPECT_NE(world::HardwareSkinTechnique(false), world::HardwareSkinTechnique(true));
    World::Instance().Shutdown();
    EXPECT_EQ(world::HardwareSkinTechnique(false), nullptr);
    EXPECT_EQ(fx.host().renderer.LiveObjects(), 0);
    EXPECT_EQ(fx.host().renderer.BadReleases(), 0);
}

TEST(World, DeviceResetStopsAtTheFirstFailingScene) {
    WorldFixture fx;
    TestScene* scenes[3];
    for (TestScene*& s : scenes) s = fx.NewScene();
    scenes[1]->resetAnswer = false;
    fx.journal.entries.clear();
    fx.host().device.SignalLost();
    fx.host().device.SignalReset();
    const std::string a = std::to_string(scenes[0]->GetSceneId()), b = std::to_string(scenes[1]->GetSceneId()),
                      c = std::to_string(scenes[2]->GetSceneId());
    EXPECT_EQ(fx.journal.entries, (std::vector<std::string>{"lost " + a, "lost " + b, "lost " + c, "reset " + a,
                                                             "reset " + b}));
    EXPECT_EQ(fx.host().occlusion.calls, (std::vector<std::string>{"OnDeviceLost", "OnDeviceReset"}));
}

TEST(World, MemoryReportFlags) {
    for (unsigned flags = 0; flags < 4; ++flags) {
        WorldFixture fx;
        fx.host().client.reportMark = 41;
        TestScene* scene = fx.NewScene();
        ASSERT_TRUE(World::Instance().SetActiveScene(scene));
        host::XmlNode* doc = host::XmlNode::NewDocument();
        common::IXmlNode* report = doc->AddChildElement("Report");
        fx.host().renderer.ClearCalls();
        World::Instance().WriteMemoryReport(report, flags);
        EXPECT_EQ(report->GetIntAttribute(nullptr, "mark", 0), 41);
        common::IXmlNode* render = report->FirstChildElement("Render");
        ASSERT_NE(render, nullptr);
        EXPECT_EQ(render->CountChildElements("MeshDataMgr"), (flags & 1) ? 1 : 0);
        EXPECT_EQ(render->CountChildElements("SkelAnimsDataMgr"), (flags & 1) ? 1 : 0);
        EXPECT_EQ(render->CountChildElements("TrackDataMgr"), (flags & 1) ? 1 : 0);
        EXPECT_EQ(fx.host().renderer.Calls(), std::vector<std::string>{"WriteMemoryReport"});
        render->Release();
        report->Release();
        doc->Release();
    }
}

TEST(World, FrameForwardsToTheActiveScene) {
    WorldFixture fx;
    World::Instance().Update();
    World::Instance().Render();
    EXPECT_EQ(fx.host().renderer.Updates(), 1);
    TestScene* scene = fx.NewScene();
    ASSERT_TRUE(World::Instance().SetActiveScene(scene));
    World::Instance().Update();
    World::Instance().Render();
    World::Instance().RenderPost();
    EXPECT_EQ(fx.host().renderer.Updates(), 2);
    EXPECT_EQ(scene->renders, 1);
    EXPECT_EQ(scene->prepares, 1);
    EXPECT_TRUE(fx.capture.Contains("No active camera specified!"));
}

TEST(World, SwitchesAndForwards) {
    WorldFixture fx;
    World::Instance().SetFxDivisor(50);
    const float kept = FxDivisor();
    World::Instance().SetFxDivisor(0);
    World::Instance().SetFxDivisor(-3);
    EXPECT_FLOAT_EQ(FxDivisor(), kept);
    EXPECT_TRUE(fx.capture.Contains("SetFxDivisor(0) ignored"));

    fx.host().renderer.ClearCalls();
    EXPECT_TRUE(World::Instance().SetResourceCacheEnabled(false));
    EXPECT_FALSE(ResourceCacheEnabled());
    EXPECT_EQ(fx.host().renderer.Calls(), std::vector<std::string>{"SetResourceCacheEnabled(0)"});
    World::Instance().SetResourceCacheEnabled(true);

    World::Instance().SetModelTechniqueParams(1, 2, 3, 4);
    ASSERT_EQ(fx.host().terrain.renders.size(), 1u);
    EXPECT_EQ(fx.host().terrain.renders[0], (std::vector<float>{1, 2, 3, 4}));

    fx.host().renderer.waterTechniques = {"Water"};
    EXPECT_EQ(World::Instance().GetWaterTechnique("Stone"), nullptr);
    render::IWaterTechnique* water = World::Instance().GetWaterTechnique("Water");
    ASSERT_NE(water, nullptr);
    EXPECT_EQ(fx.host().terrain.water, water->GetHandle());

    World::Instance().SetParticleFactor(-0.5f);
    EXPECT_EQ(World::Instance().GetParticleFactor(), 0.0f);
    World::Instance().SetParticleFactor(2.0f);
    EXPECT_EQ(World::Instance().GetParticleFactor(), 1.0f);
    World::Instance().SetParticleFactor(1.0f);
}

TEST(World, CastsAndIdentifiers) {
    WorldFixture fx;
    TestScene* scene = fx.NewScene();
    world::SpaceObject plain;
    EXPECT_EQ(World::Instance().AsVisibleObject(&plain), nullptr);
    EXPECT_EQ(World::Instance().AsVisibleObject(nullptr), nullptr);
    world::Camera* camera = scene->CreateCamera(true);
    ASSERT_NE(camera, nullptr);
    EXPECT_TRUE(World::Instance().IsObjectIdRegistered(camera->GetId()));
    EXPECT_EQ(World::Instance().AsModel(camera), nullptr);
    EXPECT_FALSE(World::Instance().IsObjectIdRegistered(plain.GetId()));
}

}  // namespace
