// The scene's decal operations as the host and the models call them, reaching the decal
// manager: the scene's decal form, models' shadow decals and the frame's build.
#include <gtest/gtest.h>

#include "platform/host/IDecal.h"
#include "platform/host/ISkinBuffer.h"
#include "platform/host/RecordingDecal.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/scene/DecalMgr.h"
#include "world/scene/Scene3D.h"

namespace quor::world {
namespace {

// A skin buffer; with Face, one that also projects as a renderer decal.
struct Skin : render::ISkinBuffer {
    int GetKind() override { return render::kSkinBufferDecal; }
    void SetVisible(bool) override {}
    bool IsVisible() override { return true; }
    bool IsReady() override { return true; }
    void SetDrawRecord(render::IVertexBuffer*, const render::DrawRange*, std::uint32_t, const float*) override {}
    void SetLight(void*) override {}
    void* GetLight() override { return nullptr; }
    void SetPlane(const float*) override {}
    void SetBounds(const float*) override {}
    void Refresh(std::uint32_t) override {}
    render::IMaterial* GetMaterial() override { return nullptr; }
    void SetPlacement(const float*, const float*) override {}
    void SetTarget(const void*) override {}
};
struct Face final : Skin, render::IDecal {
    void* GetRenderable() override { return this; }
    render::IRenderCamera* GetProjectionCamera() override { return nullptr; }
    void Update() override { ++updates; }
    void SetDrawRecord(render::IVertexBuffer*, const render::DrawRange*, std::uint32_t) override {}
    using Skin::SetDrawRecord;
    bool IsActive() override { return true; }
    int updates = 0;
};

TEST(SceneDecals, TheScenesOperationsReachTheManager) {
    test::WorldFixture fx;
    host::RecordingRenderer& renderer = fx.host().renderer;
    auto* scene = new Scene3D;
    DecalMgr& decals = *scene->Decals();
    const Vec3 at{1, 2, 3};

    // Without a texture there is no description: nothing is asked of the renderer.
    renderer.ClearCalls();
    EXPECT_EQ(scene->AddDecal(nullptr, &at, 2.0f), nullptr);
    for (const std::string& c : renderer.Calls()) EXPECT_NE(c, "CreateDecalBatch");
    void* made = scene->AddDecal("d.dds", &at, 2.0f);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(decals.GetCount(), 1u);
    renderer.failDecals = true;
    EXPECT_EQ(scene->AddDecal("d.dds", nullptr, 2.0f), nullptr);
    renderer.failDecals = false;
    EXPECT_EQ(decals.GetCount(), 1u);

    // A model's shadow decal: kept when it has the decal face, never released by the scene.
    Face face;
    Skin plain;
    scene->AddModelDecal(static_cast<render::ISkinBuffer*>(&face), nullptr);
    scene->AddModelDecal(static_cast<render::ISkinBuffer*>(&plain), nullptr);
    scene->AddModelDecal(nullptr, nullptr);
    ASSERT_EQ(decals.GetCount(), 2u);
    EXPECT_TRUE(decals.Records()[1].modelDecal);
    EXPECT_EQ(decals.Records()[1].decal, static_cast<render::IDecal*>(&face));
    scene->RemoveModelDecals(static_cast<render::ISkinBuffer*>(&plain));
    scene->RemoveModelDecals(static_cast<render::ISkinBuffer*>(&face));
    EXPECT_EQ(decals.GetCount(), 1u);
    EXPECT_EQ(renderer.LiveDecals(), 1);

    // The frame builds and draws the decals: one that gathers nothing gets an empty record.
    Camera* camera = scene->CreateCamera(true);
    camera->SetPerspective(60.0f, 1.0f, 1.0f, 1000.0f);
    scene->Render();
    auto* decal = static_cast<host::RecordingDecal*>(static_cast<render::IDecal*>(made));
    EXPECT_EQ(decal->updates, 1);
    ASSERT_EQ(decal->draws.size(), 1u);
    EXPECT_TRUE(decal->draws[0].ranges.empty());

    scene->RemoveDecal(made);
    EXPECT_EQ(decals.GetCount(), 0u);
    EXPECT_EQ(renderer.LiveDecals(), 0);
    scene->AddDecal("d.dds", &at, 1.0f);
    scene->Clear();
    EXPECT_EQ(renderer.LiveDecals(), 0);
    delete scene;
}

}  // namespace
}  // namespace quor::world
