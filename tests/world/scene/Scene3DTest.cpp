#include "world/scene/Scene3D.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/ICollisionOwner.h"
#include "platform/host/ITickObject.h"
#include "platform/host/TerrainObject.h"
#include "platform/host/IXmlNode.h"
#include "platform/host/RecordingHostParts.h"
#include "platform/host/RecordingRenderer.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/core/LodGroup.h"
#include "world/core/VisibleObject.h"
#include "world/core/XmlNodePtr.h"
#include "world/scene/SceneRegistry.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::Scene3D;

// An object of the render list that notes its draws in the renderer's call list: opaque parts
// through DrawParts, transparent ones (draw pass 1) one by one.
class Drawn : public world::VisibleObject {
public:
    Drawn(std::string name, host::RecordingRenderer* renderer, int type = 0)
        : m_name(std::move(name)), m_renderer(renderer), m_type(type) {}
    int GetObjectType() override { return m_type; }
    int GetPartCount() override { return static_cast<int>(centres.size()); }
    int GetDrawPass() override { return centres.empty() ? 0 : 1; }
    int GetPartDrawPass(int part) override { return part >= 0 && part < GetPartCount() ? 1 : 0; }
    Vec3 GetPartCenter(int part, int) override { return centres[static_cast<std::size_t>(part)]; }
    void DrawParts(int pass) override { m_renderer->Note("opaque " + m_name + " " + std::to_string(pass)); }
    void DrawPart(int part) override { m_renderer->Note("part " + m_name + "#" + std::to_string(part)); }

    std::vector<Vec3> centres;

private:
    std::string m_name;
    host::RecordingRenderer* m_renderer;
    int m_type;
};

class Tick final : public render::ITickObject {
public:
    explicit Tick(host::RecordingRenderer* renderer) : m_renderer(renderer) {}
    void Release() override {}
    void SetOption(int, int) override {}
    void Update() override { ++updates; }
    void Render() override { m_renderer->Note("tick"); }
    void SetScene(void* scene) override {
        ++setScenes;
        this->scene = scene;
    }
    void OnLostDevice() override { ++lost; }
    void OnResetDevice() override { ++reset; }

    int updates = 0, setScenes = 0, lost = 0, reset = 0;
    void* scene = nullptr;

private:
    host::RecordingRenderer* m_renderer;
};

// The lines of the call list that tell the frame's order.
std::vector<std::string> Order(const std::vector<std::string>& calls) {
    std::vector<std::string> out;
    for (const std::string& c : calls) {
        if (c.rfind("opaque ", 0) == 0 || c.rfind("part ", 0) == 0 || c == "tick" || c == "screen" ||
            c == "background" || c == "SetCurrentView" || c.rfind("GetExtTechnique(<", 0) == 0 ||
            c.rfind("CreateRenderView", 0) == 0)
            out.push_back(c);
    }
    return out;
}

struct SceneSetup {
    explicit SceneSetup(WorldFixture& fx) : renderer(fx.host().renderer) {
        scene = new Scene3D;
        camera = scene->CreateCamera(true);
        camera->SetPerspective(60.0f, 1.0f, 1.0f, 1000.0f);
    }
    // Objects no list owns are unlinked by the scene's clear and go before the scene.
    ~SceneSetup() {
        scene->SceneBase::Clear();
        owned.clear();
        delete scene;
    }
    Drawn* Add(std::string name, int type = 0) {
        owned.push_back(std::make_unique<Drawn>(std::move(name), &renderer, type));
        scene->AttachObject(owned.back().get());
        return owned.back().get();
    }
    std::vector<std::unique_ptr<Drawn>> owned;
    host::RecordingRenderer& renderer;
    Scene3D* scene = nullptr;
    world::Camera* camera = nullptr;
};

TEST(Scene3D, RenderDrawsThePassesInOrder) {
    struct Case {
        bool screenImage;
        bool water;
        bool depth;
        std::vector<std::string> expected;
    };
    const std::vector<std::string> main = {"CreateRenderView(1)", "SetCurrentView"};
    const std::vector<std::string> frame = {"opaque solid 0", "opaque sky 0", "opaque glass 0", "tick", "background",
                                            "GetExtTechnique(<Decal>,1)", "part glass#1", "part glass#0"};
    auto join = [](std::vector<std::vector<std::string>> parts) {
        std::vector<std::string> out;
        for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    const std::vector<Case> cases = {
        {false, false, false, join({main, frame, {"GetExtTechnique(<AdvancedWater>,1)", "GetExtTechnique(<Depth>,1)"}})},
        {true, false, false,
         join({main, {"screen"}, frame, {"GetExtTechnique(<AdvancedWater>,1)", "GetExtTechnique(<Depth>,1)"}})},
        // Water draws models, effects and skies only: here the sky, in both targets.
        {false, true, false,
         join({main, frame,
               {"GetExtTechnique(<AdvancedWater>,1)", "SetCurrentView", "opaque sky 0", "SetCurrentView",
                "opaque sky 0", "GetExtTechnique(<Depth>,1)"}})},
        // Depth draws every kind again, opaque then transparent.
        {false, false, true,
         join({main, frame,
               {"GetExtTechnique(<AdvancedWater>,1)", "GetExtTechnique(<Depth>,1)", "SetCurrentView", "opaque solid 0",
                "opaque sky 0", "opaque glass 0", "part glass#1", "part glass#0"}})},
    };
    for (const Case& c : cases) {
        WorldFixture fx;
        SceneSetup s(fx);
        if (c.water) s.renderer.EnableAdvancedWater();
        if (c.depth) s.renderer.EnableDepthTechnique();
        s.Add("solid");
        s.Add("sky", 8);
        // Camera at the origin looking down +z: the second part lies nearer than the first.
        Drawn* glass = s.Add("glass");
        glass->centres = {Vec3{0, 0, 50}, Vec3{0, 0, 10}};
        Tick tick(&s.renderer);
        s.scene->AddTickObject(&tick);
        fx.host().renderer.Store()->DefineTexture("bg.dds");
        ASSERT_TRUE(s.scene->SetBackground("bg.dds"));
        auto* bg = static_cast<host::RecordingPrimitive*>(s.scene->GetBackgroundQuad().primitive);
        bg->drawSink = [&](const host::RecordingPrimitive&) { s.renderer.Note("background"); };
        auto* screen = static_cast<host::RecordingPrimitive*>(s.scene->GetScreenPrimitive());
        screen->drawSink = [&](const host::RecordingPrimitive&) { s.renderer.Note("screen"); };
        render::ITexture* image = s.renderer.CreateTexture(64, 32, 0, 0, 1, 0);
        const float at[2] = {10, 20};
        s.scene->SetScreenImage(c.screenImage, image, at);
        s.renderer.ClearCalls();
        s.scene->Render();
        EXPECT_EQ(Order(s.renderer.Calls()), c.expected) << c.screenImage << c.water << c.depth;
        EXPECT_FALSE(s.scene->IsRendering());
        // A second frame reuses the view.
        s.renderer.ClearCalls();
        s.scene->Render();
        const auto calls = s.renderer.Calls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "CreateRenderView(1)"), 0);
        EXPECT_EQ(s.scene->GetRenderViewCount(), 1);
        s.renderer.ReleaseTexture(image);
    }
}

TEST(Scene3D, WaterWithoutPassesDrawsNothing) {
    WorldFixture fx;
    SceneSetup s(fx);
    s.renderer.EnableAdvancedWater()->passes = 0;
    s.Add("sky", 8);
    s.renderer.ClearCalls();
    s.scene->Render();
    const std::vector<std::string> expected = {"CreateRenderView(1)", "SetCurrentView", "opaque sky 0",
                                               "GetExtTechnique(<Decal>,1)", "GetExtTechnique(<AdvancedWater>,1)",
                                               "GetExtTechnique(<Depth>,1)"};
    EXPECT_EQ(Order(s.renderer.Calls()), expected);
}

TEST(Scene3D, WithoutACameraNothingIsDrawnAndTheLockIsFreeThread) {
    WorldFixture fx;
    auto* scene = new Scene3D;
    std::vector<std::unique_ptr<Drawn>> owned;
    owned.push_back(std::make_unique<Drawn>("solid", &fx.host().renderer));
    scene->AttachObject(owned.back().get());
    Tick tick(&fx.host().renderer);
    scene->AddTickObject(&tick);
    fx.host().renderer.ClearCalls();
    scene->Render();
    EXPECT_TRUE(Order(fx.host().renderer.Calls()).empty());
    EXPECT_FALSE(scene->IsRendering());
    // The lock is free: another thread takes it at once.
    std::atomic<bool> took{false};
    std::thread other([&] {
        scene->GetObjectLock().Enter();
        took = true;
        scene->GetObjectLock().Leave();
    });
    other.join();
    EXPECT_TRUE(took.load());
    // Update runs the tick objects but leaves LOD groups alone without a camera.
    auto* group = static_cast<world::LodGroup*>(scene->CreateLodGroup());
    owned.push_back(std::make_unique<Drawn>("member", &fx.host().renderer));
    Drawn* member = owned.back().get();
    scene->AttachObject(member);
    group->SetLevel(1, 1.0f, 1, 1);
    group->AddObject(member);
    scene->Update();
    EXPECT_EQ(tick.updates, 1);
    EXPECT_EQ(member->GetLod(), 0);
    scene->SceneBase::Clear();
    owned.clear();
    delete scene;
}

TEST(Scene3D, SortedPartsMatchStdSort) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coord(-100.0f, 100.0f);
    WorldFixture fx;
    std::vector<std::unique_ptr<Drawn>> objects;
    std::vector<world::VisibleObject*> list;
    for (int i = 0; i < 200; ++i) {
        objects.push_back(std::make_unique<Drawn>("o" + std::to_string(i), &fx.host().renderer));
        const int parts = i % 4;  // some objects have no transparent part at all
        for (int p = 0; p < parts; ++p) objects.back()->centres.push_back(Vec3{coord(random), coord(random), coord(random)});
        list.push_back(objects.back().get());
    }
    const Vec3 eye{3, -2, 5};
    Vec3 d{0.3f, 0.2f, 0.9f};
    std::vector<world::SortedPart> parts;
    world::BuildSortedParts(list, eye, d, parts);
    std::vector<float> expected;
    for (auto& o : objects)
        for (const Vec3& c : o->centres) expected.push_back((c.x - eye.x) * d.x + (c.y - eye.y) * d.y + (c.z - eye.z) * d.z);
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(parts.size(), expected.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        EXPECT_EQ(parts[i].depth, expected[i]);
        auto* o = static_cast<Drawn*>(parts[i].object);
        const Vec3 c = o->centres[parts[i].part];
        EXPECT_EQ(parts[i].depth, (c.x - eye.x) * d.x + (c.y - eye.y) * d.y + (c.z - eye.z) * d.z);
    }
}

TEST(Scene3D, ConstructionAndClearLeaveTheStartingState) {
    WorldFixture fx;
    auto& renderer = fx.host().renderer;
    const int effects = renderer.LiveEffects();
    const int primitives = renderer.LivePrimitives();
    auto* scene = new Scene3D;
    EXPECT_EQ(scene->GetSceneType(), 1);
    EXPECT_EQ(renderer.LiveEffects(), effects + 1);
    EXPECT_EQ(renderer.LivePrimitives(), primitives + 1);
    auto check = [&](const char* when) {
        ASSERT_EQ(scene->GetLayerCount(), 1) << when;
        EXPECT_EQ(scene->GetLayer(0)->id, 0) << when;
        EXPECT_STREQ(scene->GetLayer(0)->name, "Main") << when;
        EXPECT_STREQ(scene->GetLayer(0)->path, "") << when;
        const world::FogRecord& fog = scene->GetFogRecord();
        EXPECT_EQ(fog.mode, 1) << when;
        EXPECT_EQ(fog.type, 1) << when;
        std::uint32_t colour = 0;
        std::memcpy(&colour, fog.colour, 4);
        EXPECT_EQ(colour, 0x00FFFFFFu) << when;
        EXPECT_EQ(fog.start, 0.0f) << when;
        EXPECT_EQ(fog.end, 0.0f) << when;
        EXPECT_EQ(fog.density, 0.0f) << when;
        EXPECT_EQ(renderer.LastSceneLightState()->fogColour, 0x00FFFFFFu) << when;
        EXPECT_EQ(scene->GetLodGroupCount(), 0) << when;
        EXPECT_EQ(scene->GetTrackCount(), 0) << when;
        EXPECT_EQ(scene->GetRenderViewCount(), 0) << when;
        EXPECT_TRUE(scene->TickObjects().empty()) << when;
        EXPECT_STREQ(scene->GetBackground(), "") << when;
        EXPECT_EQ(scene->GetTerrain(), nullptr) << when;
    };
    check("constructed");
    // Fill what Clear empties.
    world::Camera* camera = scene->CreateCamera(true);
    camera->SetPerspective(60.0f, 1.0f, 1.0f, 1000.0f);
    scene->Render();
    scene->CreateLodGroup();
    scene->AddLayer(world::SceneLayer::Make(1, "Layer", "layer.scn"));
    EXPECT_TRUE(scene->AddPresetCamera("gate", MatrixIdentity()));
    const std::uint8_t red[4] = {0, 0, 0xFF, 0xFF};
    scene->SetFog(2, 3, red, 1.0f, 2.0f, 3.0f);
    Tick tick(&renderer);
    scene->AddTickObject(&tick);
    renderer.Store()->DefineTexture("bg.dds");
    EXPECT_TRUE(scene->SetBackground("bg.dds"));
    const int views = renderer.LiveRenderViews();
    scene->Clear();
    check("cleared");
    EXPECT_EQ(renderer.LiveRenderViews(), views - 1);
    Matrix m;
    EXPECT_FALSE(scene->GetPresetCamera("gate", &m));
    delete scene;
    EXPECT_EQ(renderer.LiveEffects(), effects);
    EXPECT_EQ(renderer.LivePrimitives(), primitives);
}

// A terrain that frees itself on release, as a terrain module's objects do, and owns a floor.
class SelfFreeingTerrain final : public render::TerrainObject, public render::ICollisionOwner {
public:
    void Release() override { delete this; }
    void SetOption(int, int) override {}
    void Update() override {}
    void Render() override {}
    void SetScene(void*) override {}
    void OnLostDevice() override {}
    void OnResetDevice() override {}
    void SetLodDistance(int, float) override {}
    void RenderPass() override {}
    void UpdateAround(float, float) override {}
    bool SweepTest(const float*, const float*, std::uint32_t, std::uint32_t, render::CollisionHit&) override {
        return false;
    }
    bool RayTest(const float*, const float*, std::uint32_t, std::uint32_t, render::CollisionHit&) override {
        return false;
    }
    void OnContact(int, int) override {}
};

TEST(Scene3D, ClearForgetsTheCollisionOwnerWithTheTerrain) {
    WorldFixture fx;
    Scene3D scene;
    auto* terrain = new SelfFreeingTerrain;
    scene.SetTerrain(terrain);
    scene.GetBSPTreeObject()->SetOwner(terrain);
    scene.Clear();
    EXPECT_EQ(scene.GetBSPTreeObject()->GetOwner(), nullptr);
    // The sweep with the owner test must not reach the released terrain.
    Vec3 end;
    EXPECT_FALSE(scene.GetBSPTreeObject()->SweepSphere(end, {0, 5, 0}, {0, -10, 0}, 0.5f, 45.0f, 0, 0, true));
}

TEST(Scene3D, Getters) {
    WorldFixture fx;
    Scene3D scene;
    EXPECT_EQ(scene.FindTrack("nothing"), nullptr);
    EXPECT_EQ(scene.FindTrack(nullptr), nullptr);
    EXPECT_EQ(scene.GetTrack(0), nullptr);
    EXPECT_EQ(scene.GetLodGroup(0), nullptr);
    world::ILodGroup* group = scene.CreateLodGroup();
    EXPECT_EQ(scene.GetLodGroup(0), group);
    EXPECT_EQ(scene.GetLodGroup(1), nullptr);
    scene.RemoveLodGroup(group);
    EXPECT_EQ(scene.GetLodGroupCount(), 0);
    // Preset cameras: the first under a key stays.
    Matrix a = MatrixIdentity(), b = MatrixIdentity();
    a.m[12] = 5;
    b.m[12] = 7;
    EXPECT_TRUE(scene.AddPresetCamera("door", a));
    EXPECT_FALSE(scene.AddPresetCamera("door", b));
    Matrix out;
    ASSERT_TRUE(scene.GetPresetCamera("door", &out));
    EXPECT_EQ(out.m[12], 5.0f);
    EXPECT_FALSE(scene.GetPresetCamera(nullptr, &out));
    EXPECT_FALSE(scene.GetPresetCamera("window", &out));
    // Background: null or empty clears the name without loading.
    fx.host().renderer.ClearCalls();
    EXPECT_TRUE(scene.SetBackground(""));
    EXPECT_TRUE(scene.SetBackground(nullptr));
    for (const std::string& c : fx.host().renderer.Calls()) EXPECT_NE(c.rfind("LoadTexture", 0), 0u) << c;
    // A missing texture: the info line, a blank 256 x 256 stand-in, false.
    EXPECT_FALSE(scene.SetBackground("missing.dds"));
    EXPECT_TRUE(fx.capture.Contains("missing.dds"));
    EXPECT_NE(scene.GetBackgroundQuad().texture, nullptr);
    EXPECT_STREQ(scene.GetBackground(), "missing.dds");
    // No label to click.
    EXPECT_FALSE(scene.OnLabelClick(0, 0));
    // Report.
    XmlNodePtr doc(fx.host().utils.CreateXmlDocument());
    ASSERT_TRUE(doc);
    scene.WriteReport(doc.Get());
    XmlNodePtr node(doc->FirstChildElement("Scene3D"));
    ASSERT_TRUE(node);
    EXPECT_EQ(node->GetIntAttribute(nullptr, "id", -1), scene.GetSceneId());
    EXPECT_EQ(node->GetIntAttribute(nullptr, "is_active", -1), 0);
}

TEST(Scene3D, TickObjects) {
    WorldFixture fx;
    Scene3D scene;
    Tick a(&fx.host().renderer), b(&fx.host().renderer);
    scene.AddTickObject(nullptr);
    scene.AddTickObject(&a);
    scene.AddTickObject(&a);
    EXPECT_EQ(a.setScenes, 1) << "a second add does not hand the scene again";
    EXPECT_EQ(a.scene, static_cast<void*>(static_cast<world::IScene*>(&scene)));
    EXPECT_FALSE(scene.RemoveTickObject(&b));
    scene.AddTickObject(&b);
    scene.OnLostDevice();
    EXPECT_EQ(a.lost, 1);
    EXPECT_EQ(b.lost, 1);
    EXPECT_TRUE(scene.OnResetDevice());
    EXPECT_EQ(a.reset, 1);
    EXPECT_TRUE(scene.RemoveTickObject(&a));
    ASSERT_EQ(scene.TickObjects().size(), 1u);
    EXPECT_EQ(scene.TickObjects()[0], &b);
}

TEST(Scene3D, RemovedCameraTakesItsRenderView) {
    WorldFixture fx;
    SceneSetup s(fx);
    s.scene->Render();
    const int views = s.renderer.LiveRenderViews();
    EXPECT_EQ(s.scene->GetRenderViewCount(), 1);
    EXPECT_TRUE(s.scene->ReleaseObject(s.camera, false));
    EXPECT_EQ(s.scene->GetRenderViewCount(), 0);
    EXPECT_EQ(s.renderer.LiveRenderViews(), views - 1);
}

TEST(Scene3D, TheRegistryMakes3DScenesAndTheStubReaderFails) {
    WorldFixture fx;
    world::SceneRegistry& registry = world::SceneRegistry::Instance();
    registry.SetFactory(world::SceneRegistry::kScene3D, [] { return new Scene3D; });
    EXPECT_EQ(World::Instance().CreateScene("garden.scn", 0, 0, 0), nullptr);
    EXPECT_EQ(World::Instance().GetSceneCount(), 0);
    // The failed load is the reader's: the progress word says so.
    Scene3D scene;
    EXPECT_FALSE(scene.Create("garden.scn", 0, 0, 0));
    EXPECT_EQ(scene.GetProgress(), 0xFFFFFFFFu);
    EXPECT_STREQ(scene.GetLayer(0)->path, "garden.scn");
    EXPECT_NE(scene.GetTransitionEffect(), nullptr);
}

// The registry tries the binary form first: its absence is information; only the last form
// missing is an error, for loads at once and through the loader alike.
TEST(Scene3D, TheMissingBinaryFormIsNoError) {
    for (int async : {0, 1}) {
        SCOPED_TRACE(async);
        WorldFixture fx;
        world::SceneRegistry::Instance().SetFactory(world::SceneRegistry::kScene3D, [] { return new Scene3D; });
        EXPECT_EQ(World::Instance().CreateScene("maps/gone.scn", async, 0, 0), nullptr);
        EXPECT_TRUE(fx.capture.Contains("Scene file maps/gone.s3d is not found!")) << fx.capture.Joined();
        EXPECT_FALSE(fx.capture.Contains("[ERROR] Scene file maps/gone.s3d")) << fx.capture.Joined();
        EXPECT_TRUE(fx.capture.Contains("[ERROR] Scene file maps/gone.scn is not found!")) << fx.capture.Joined();
    }
}

// A scene is built on a loader thread while the main thread renders another.
TEST(Scene3D, ThreadBuildWhileAnotherRenders) {
    WorldFixture fx;
    SceneSetup shown(fx);
    for (int i = 0; i < 20; ++i) shown.Add("a" + std::to_string(i))->centres = {Vec3{0, 0, float(i)}};
    std::atomic<bool> done{false};
    Scene3D* built = nullptr;
    std::vector<std::unique_ptr<Drawn>> owned;
    std::thread loader([&] {
        auto* scene = new Scene3D;
        world::Camera* camera = scene->CreateCamera(true);
        camera->SetPerspective(60.0f, 1.0f, 1.0f, 1000.0f);
        auto* group = static_cast<world::LodGroup*>(scene->CreateLodGroup());
        group->SetLevel(1, 10.0f, 1, 1);
        for (int i = 0; i < 50; ++i) {
            owned.push_back(std::make_unique<Drawn>("b" + std::to_string(i), &shown.renderer));
            Drawn* object = owned.back().get();
            scene->AttachObject(object);
            group->AddObject(object);
            scene->CreateLight(1);
        }
        scene->AddPresetCamera("start", MatrixIdentity());
        built = scene;
        done = true;
    });
    int frames = 0;
    while (!done.load() || frames < 5) {
        shown.scene->Update();
        shown.scene->Render();
        ++frames;
    }
    loader.join();
    ASSERT_NE(built, nullptr);
    EXPECT_EQ(built->GetLightCount(), 50);
    built->Update();
    built->Render();
    EXPECT_FALSE(built->IsRendering());
    built->SceneBase::Clear();
    owned.clear();
    delete built;
}

}  // namespace
