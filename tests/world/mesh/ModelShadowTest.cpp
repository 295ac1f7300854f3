#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MaterialFileWriter.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "platform/host/RenderCamera.h"
#include "world/core/Camera.h"
#include "world/core/LightList.h"
#include "world/mesh/ModelBase.h"
#include "world/mesh/ShadowPlanes.h"
#include "world/scene/SceneBase.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::Light;
using world::Model;
using world::ModelBase;
using world::SpaceObject;

// A scene with a loaded model in it, and the recording renderer's shadow objects.
struct ShadowFixture {
    ShadowFixture() {
        files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        files->AddFile("q.mom", WriteMom(SquareMesh()));
        scene = fx.NewScene();
        model = new Model();
        EXPECT_TRUE(model->ChangeMeshFile("q.mom")) << fx.capture.Joined();
        model->SetLoading(0);
        model->SetOwnerScene(scene);
    }
    ~ShadowFixture() { delete static_cast<SpaceObject*>(model); }
    // A scene light standing for a light of the renderer's light set (itself, here).
    Light* AddLight(const char* name) {
        Light* light = scene->Lights()->CreateLight(1);
        light->SetName(name);
        light->SetEnabled(true);
        return light;
    }
    host::RecordingRenderer& renderer() { return fx.host().renderer; }
    std::vector<host::RecordingSkinBuffer*> Live(int kind) {
        std::vector<host::RecordingSkinBuffer*> out;
        for (host::RecordingSkinBuffer* b : renderer().SkinBuffers())
            if (b->kind == kind && !b->released) out.push_back(b);
        return out;
    }

    WorldFixture fx;
    host::MemoryFileSystem* files = nullptr;
    TestScene* scene = nullptr;
    ModelBase* model = nullptr;
};

const float kGround[4] = {0, 1, 0, 0};

TEST(ModelShadow, ANinthDistinctPlaneIsRefusedWithOrWithoutParts) {
    ShadowFixture f;
    Light* inScene = f.AddLight("a");
    world::LightList others;  // not the scene's lights: planes are kept, no parts made
    Light* outside = others.CreateLight(1);
    for (int i = 0; i < 8; ++i) {
        const float plane[4] = {0, 1, 0, float(i)};
        EXPECT_FALSE(f.model->CreatePlaneShadow(plane, outside, 1));
    }
    ASSERT_NE(f.model->PlaneShadows(), nullptr);
    EXPECT_EQ(f.model->PlaneShadows()->planeCount, 8u);
    EXPECT_TRUE(f.model->PlaneShadows()->parts.empty());
    const float ninth[4] = {0, 1, 0, 8};
    EXPECT_FALSE(f.model->CreatePlaneShadow(ninth, inScene, 1));
    EXPECT_EQ(f.model->PlaneShadows()->planeCount, 8u);
    EXPECT_TRUE(f.model->PlaneShadows()->parts.empty());
    EXPECT_TRUE(f.fx.capture.Contains("refused"));
    // A plane already held still takes a part for a light of the scene.
    const float third[4] = {0, 1, 0, 3};
    EXPECT_TRUE(f.model->CreatePlaneShadow(third, inScene, 1));
    ASSERT_EQ(f.model->PlaneShadows()->parts.size(), 1u);
    EXPECT_EQ(f.model->PlaneShadows()->partPlanes[0], 3);
    EXPECT_EQ(f.model->GetShadowMode(), 3);
}

// Eight parts are all a model takes, whatever the plane.
TEST(ModelShadow, ANinthPartIsRefused) {
    ShadowFixture g;
    std::vector<Light*> lights;
    for (int i = 0; i < 9; ++i) lights.push_back(g.AddLight(("l" + std::to_string(i)).c_str()));
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(g.model->CreatePlaneShadow(kGround, lights[i], 1));
    EXPECT_FALSE(g.model->CreatePlaneShadow(kGround, lights[8], 1));
    EXPECT_EQ(g.Live(render::kSkinBufferPlaneShadow).size(), 8u);
    EXPECT_EQ(g.model->PlaneShadows()->lightCount, 8u);
}

TEST(ModelShadow, PlanesWithinTheToleranceShareOneIndexAndItsPlacedPlane) {
    ShadowFixture f;
    Light* a = f.AddLight("a");
    Light* b = f.AddLight("b");
    const float near[4] = {0.00005f, 0.99995f, -0.00005f, 0.00009f};
    const float apart[4] = {0, 1, 0, 0.0002f};
    EXPECT_TRUE(f.model->CreatePlaneShadow(kGround, a, 1));
    EXPECT_TRUE(f.model->CreatePlaneShadow(near, b, 1));
    EXPECT_TRUE(f.model->CreatePlaneShadow(kGround, a, 2));  // another kind: another plane
    EXPECT_TRUE(f.model->CreatePlaneShadow(apart, b, 1));
    const world::PlaneShadowRecord* r = f.model->PlaneShadows();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->planeCount, 3u);
    EXPECT_EQ(r->partPlanes, (std::vector<int>{0, 0, 1, 2}));
    EXPECT_EQ(r->lightCount, 2u);
    const auto parts = f.Live(render::kSkinBufferPlaneShadow);
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(std::memcmp(parts[0]->plane, parts[1]->plane, sizeof parts[0]->plane), 0);
    EXPECT_EQ(parts[1]->light, static_cast<void*>(b->GetRenderLight()));
}

TEST(ModelShadow, WithoutAMainLightCreateShadowGivesTheDecalOnly) {
    for (const char* lightName : {"Other", "MainLight"}) {
        SCOPED_TRACE(lightName);
        ShadowFixture f;
        f.AddLight("mainlight");
        f.AddLight(lightName);
        EXPECT_TRUE(f.model->CreateShadow(0, nullptr));
        const bool main = std::string(lightName) == "MainLight";
        EXPECT_EQ(f.Live(render::kSkinBufferPlaneShadow).size(), main ? 1u : 0u);
        EXPECT_EQ(f.model->GetShadowMode(), main ? 3 : 0);
        const auto decals = f.Live(render::kSkinBufferDecal);
        ASSERT_EQ(decals.size(), 1u);
        // Placed at the model's world bound.
        Vec3 centre, half;
        float radius = 0;
        f.model->GetWorldBound(&centre, &radius, &half, world::kBoundWorld);
        EXPECT_EQ(decals[0]->placements, 1);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(decals[0]->centre[i], centre[i]) << i;
            EXPECT_EQ(decals[0]->extents[i], half[i]) << i;
        }
        // A second call makes no second decal.
        EXPECT_TRUE(f.model->CreateShadow(0, nullptr));
        EXPECT_EQ(f.Live(render::kSkinBufferDecal).size(), 1u);
        if (main) {
            const world::PlaneShadowRecord* r = f.model->PlaneShadows();
            EXPECT_EQ(r->kinds[0], world::kPlaneRelativeToModel);
            EXPECT_EQ(r->planes[0][1], 1.0f);
        }
    }
    // The caller's extents replace the bound's in x and z and stay on every placing.
    ShadowFixture f;
    const float extents[2] = {3, 5};
    EXPECT_TRUE(f.model->CreateShadow(0, extents));
    f.model->PlaceShadowDecal();
    host::RecordingSkinBuffer* decal = f.Live(render::kSkinBufferDecal).at(0);
    EXPECT_EQ(decal->placements, 2);
    EXPECT_EQ(decal->extents[0], 3.0f);
    EXPECT_EQ(decal->extents[2], 5.0f);
    // Cleared, the decal and the parts go back to the renderer.
    f.model->Clear();
    EXPECT_EQ(f.renderer().LiveSkinBuffers(), 0);
}

TEST(ModelShadow, SetShadowTargetIgnoresNullAndKeepsTheFirstTarget) {
    ShadowFixture f;
    Model first, second;
    world::RenderRecord firstRecord, secondRecord;
    first.SetRenderRecord(&firstRecord);
    second.SetRenderRecord(&secondRecord);
    f.model->SetShadowTarget(nullptr);
    EXPECT_EQ(f.renderer().LiveSkinBuffers(), 0);
    EXPECT_EQ(f.model->GetShadowMode(), 0);
    f.model->SetShadowTarget(&first);
    f.model->SetShadowTarget(&second);
    const auto volumes = f.Live(render::kSkinBufferVolume);
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(volumes[0]->target, &firstRecord);
    EXPECT_EQ(f.model->GetShadowMode(), 4);
    // Drawn through "<ShadowVolume>" with the model's draw description, still towards the
    // first target.
    f.model->PreDraw();
    f.model->DrawShadowVolume();
    EXPECT_EQ(volumes[0]->draws, 1);
    EXPECT_EQ(volumes[0]->target, &firstRecord);
    EXPECT_EQ(volumes[0]->stream, f.model->DrawDescription().stream);
    EXPECT_NE(volumes[0]->stream, nullptr);
    // Released, a new target can be taken.
    f.model->ReleaseShadow();
    EXPECT_TRUE(volumes[0]->released);
    f.model->SetShadowTarget(&second);
    ASSERT_EQ(f.Live(render::kSkinBufferVolume).size(), 1u);
    EXPECT_EQ(f.Live(render::kSkinBufferVolume)[0]->target, &secondRecord);
}

TEST(ModelShadow, LightAlphaReachesOnlyThatLightsParts) {
    ShadowFixture f;
    Light* a = f.AddLight("a");
    Light* b = f.AddLight("b");
    const float wall[4] = {1, 0, 0, 2};
    ASSERT_TRUE(f.model->CreatePlaneShadow(kGround, a, 1));
    ASSERT_TRUE(f.model->CreatePlaneShadow(kGround, b, 1));
    ASSERT_TRUE(f.model->CreatePlaneShadow(wall, b, 1));
    EXPECT_TRUE(f.model->SetShadowLightAlpha(1, 255));
    const auto parts = f.Live(render::kSkinBufferPlaneShadow);
    ASSERT_EQ(parts.size(), 3u);
    const std::vector<bool> lit = {false, true, true};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto& values = parts[i]->material->params.values;
        auto it = values.find("Alpha");
        EXPECT_EQ(it != values.end(), lit[i]) << i;
        if (it != values.end()) {
            EXPECT_EQ(it->second.at(0), 1.0f);
        }
    }
    EXPECT_TRUE(f.model->SetShadowLightAlpha(0, 51));
    EXPECT_NEAR(parts[0]->material->params.values["Alpha"].at(0), 0.2f, 1e-6f);
    // Light indices past the record's lights are refused.
    for (int bad : {2, -1, 8}) EXPECT_FALSE(f.model->SetShadowLightAlpha(bad, 10)) << bad;
    ShadowFixture none;
    EXPECT_FALSE(none.model->SetShadowLightAlpha(0, 10));
}

// Each kind's placed plane is the plane brought through the matrix its kind names.
TEST(ModelShadow, PlacedPlanesMatchADirectComputation) {
    ShadowFixture f;
    Light* a = f.AddLight("a");
    Model parent;
    parent.SetPosition(Vec3(0, 5, 0));
    ASSERT_TRUE(parent.AddChild(f.model, false));
    f.model->SetPosition(Vec3(1, 2, 3));
    f.model->SetScale(Vec3(2, 2, 2));
    const float plane[4] = {0, 1, 0, 1.5f};
    struct Row {
        std::int32_t kind;
        const Matrix* through;  // null: unchanged
    };
    Matrix parentRelative;
    f.model->GetInverseLocalMatrix(parentRelative);
    const Matrix worldInverse = f.model->GetInverseWorldMatrix();
    const Row rows[] = {{0, &parentRelative}, {1, &worldInverse}, {2, nullptr}};
    for (const Row& row : rows) {
        ASSERT_TRUE(f.model->CreatePlaneShadow(plane, a, row.kind));
        const int index = f.model->PlaneShadows()->partPlanes.back();
        const float* placed = f.model->PlaneShadows()->placedPlanes[index];
        float want[4] = {plane[0], plane[1], plane[2], plane[3]};
        if (row.through) {
            // Normal through the upper 3 x 3, made unit (the model is scaled); the point
            // normal x d through the whole matrix; d its dot product with the normal.
            const Matrix& m = *row.through;
            Vec3 n(m(1, 0), m(1, 1), m(1, 2));
            const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            n *= 1.0f / length;
            const Vec3 p(1.5f * m(1, 0) + m(3, 0), 1.5f * m(1, 1) + m(3, 1), 1.5f * m(1, 2) + m(3, 2));
            want[0] = n.x, want[1] = n.y, want[2] = n.z, want[3] = n.x * p.x + n.y * p.y + n.z * p.z;
        }
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(placed[i], want[i], 1e-5f) << "kind " << row.kind << " " << i;
        EXPECT_EQ(std::memcmp(f.Live(render::kSkinBufferPlaneShadow).back()->plane, placed, 16), 0);
    }
    parent.RemoveChild(f.model, false);
}

// A part draws only for a listed, enabled light stamped with the renderer's frame; a moved
// light marks each of its parts with 8, a draw marks it with 1.
TEST(ModelShadow, PlaneShadowsDrawForTheirLightInTheCurrentFrame) {
    ShadowFixture f;
    Light* a = f.AddLight("a");
    Light* b = f.AddLight("b");
    ASSERT_TRUE(f.model->CreatePlaneShadow(kGround, a, 1));
    ASSERT_TRUE(f.model->CreatePlaneShadow(kGround, b, 1));
    f.model->SetShadowVisible(true);
    ASSERT_TRUE(f.model->PreDraw());
    const auto parts = f.Live(render::kSkinBufferPlaneShadow);
    f.renderer().Update();
    a->SetFrameStamp(f.renderer().GetFrameStamp() - 1);
    f.model->DrawPlaneShadow(a);
    EXPECT_EQ(parts[0]->draws, 0) << "a light not drawn this frame";
    a->SetFrameStamp(f.renderer().GetFrameStamp());
    a->SetEnabled(false);
    f.model->DrawPlaneShadow(a);
    EXPECT_EQ(parts[0]->draws, 0) << "a disabled light";
    a->SetEnabled(true);
    a->InvalidateTransform();
    parts[0]->marks.clear();
    f.model->DrawPlaneShadow(a);
    EXPECT_EQ(parts[0]->draws, 1);
    EXPECT_EQ(parts[1]->draws, 0);
    ASSERT_FALSE(parts[0]->marks.empty());
    EXPECT_EQ(parts[0]->marks.front(), render::kMarkLightMoved);
    EXPECT_EQ(parts[0]->marks.back(), render::kMarkDrawn);
    EXPECT_EQ(parts[0]->stream, f.model->DrawDescription().stream);
    EXPECT_EQ(f.model->PlaneShadows()->dirty, 1);
    // The scene's pass for light 1 draws light b's part.
    b->SetFrameStamp(f.renderer().GetFrameStamp());
    world::CreateShadowOnPlaneTechnique(f.model, 1);
    EXPECT_EQ(parts[1]->draws, 1);
    world::CreateShadowOnPlaneTechnique(f.model, 2);  // no such light: nothing
    // With the scene's pass mode not 0 planar parts hide; mode 1 shows the decal.
    f.scene->SetModelPassCount(1);
    f.model->SetShadowVisible(true);
    EXPECT_FALSE(parts[0]->visible);
    f.scene->SetModelPassCount(0);
    f.model->SetShadowVisible(true);
    EXPECT_TRUE(parts[0]->visible);
    EXPECT_EQ(parts[0]->marks.back(), render::kMarkEverything);
}

TEST(ModelShadow, RenderEffectsNeedTheirTechniqueAndTheOutlineTakesTheModelsTexture) {
    ShadowFixture f;
    EXPECT_FALSE(f.model->SetRenderEffectEnabled("<NoSuchEffect>", true));
    EXPECT_FALSE(f.model->SetRenderEffectEnabled(nullptr, true));
    EXPECT_TRUE(f.model->SetRenderEffectEnabled("<Outline>", false));  // no entry, nothing made
    ASSERT_TRUE(f.model->PreDraw());
    f.model->DrawRenderEffects();
    host::RecordingExtTechnique* outline = f.renderer().FindExtTechnique("<Outline>");
    ASSERT_NE(outline, nullptr);
    EXPECT_EQ(outline->instanceDraws, 0);
    EXPECT_TRUE(f.model->SetRenderEffectEnabled("<Outline>", true));
    f.model->DrawRenderEffects();
    EXPECT_EQ(outline->instanceDraws, 1);
    EXPECT_EQ(outline->lastInstance.model, static_cast<const void*>(f.model));
    EXPECT_EQ(outline->lastInstance.world, f.model->GetWorldMatrix().m);
    EXPECT_EQ(outline->lastInstance.stream, f.model->DrawDescription().stream);
    ASSERT_NE(outline->lastInstance.material, nullptr);
    render::IMaterial* body = f.model->GetSubMeshMaterial(0);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(outline->lastInstance.material->GetTexture("TexDiffuse"), body->GetTexture("Tex0"));
    const int materials = f.renderer().LiveMaterials();
    f.model->DrawRenderEffects();
    EXPECT_EQ(f.renderer().LiveMaterials(), materials) << "the outline's material is made once";
    EXPECT_TRUE(f.model->SetRenderEffectEnabled("<Outline>", false));
    f.model->DrawRenderEffects();
    EXPECT_EQ(outline->instanceDraws, 2);
    auto* made = static_cast<host::RecordingMaterial*>(outline->lastInstance.material);
    EXPECT_EQ(made->refs, 1);
    f.model->Clear();
    EXPECT_EQ(made->refs, 0) << "given back when the model is cleared";
}

TEST(ModelShadow, SocketLabelsAreSetByLabelNameAndRemovedBySocket) {
    ShadowFixture f;
    f.model->SetSocketLabel("top", "hero", 10, f.scene);
    f.model->SetSocketLabel("hand", "hero", -4, nullptr);
    f.model->SetSocketLabel("top", "pet", 0, f.scene);
    ASSERT_EQ(f.model->NameLabels().size(), 2u);
    EXPECT_EQ(f.model->NameLabels()[0]->socketName, "hand");
    EXPECT_EQ(f.model->NameLabels()[0]->pixelOffset, -4);
    EXPECT_EQ(f.model->NameLabels()[0]->scene, nullptr);
    f.model->RemoveSocketLabel("top");
    ASSERT_EQ(f.model->NameLabels().size(), 1u);
    EXPECT_EQ(f.model->NameLabels()[0]->labelName, "hero");
    f.model->RemoveSocketLabel("nothing");
    EXPECT_EQ(f.model->NameLabels().size(), 1u);
    // No scene is current and no camera: the update leaves everything as it was.
    f.model->UpdateNameLabel();
}

// A label goes where the camera projects its point, in whole pixels, moved down by its
// offset, at the depth z / w; behind the eye or without a camera it is not placed.
TEST(ModelShadow, LabelsArePlacedWhereTheCameraProjectsTheirPoint) {
    ShadowFixture f;
    world::Camera* camera = f.scene->CreateCamera(true);
    ASSERT_NE(camera, nullptr);
    ASSERT_EQ(camera->SetPerspective(60.0f, 4.0f / 3.0f, 1.0f, 100.0f), 1);
    auto* renderCamera = static_cast<host::RenderCamera*>(camera->GetRenderCamera());
    renderCamera->SetViewportSize(800, 600);
    camera->SetPosition(Vec3(0, 1, -2));
    renderCamera->Refresh();
    const Vec3 point(1.3f, 2.2f, 10.0f);
    float at[3] = {};
    ASSERT_TRUE(world::PlaceLabel(camera, point, 7, at));
    float screen[2], depth;
    camera->WorldToScreen(point, screen, &depth);
    EXPECT_EQ(at[0], std::floor(screen[0]));
    EXPECT_EQ(at[1], std::floor(screen[1] + 7.0f));
    // Directly: the point's distance in front of the eye z' = 12 gives, through the
    // projection's third and fourth columns, (z' f / (f - n) - n f / (f - n)) / z'.
    const float n = 1.0f, far = 100.0f, zv = 12.0f;
    EXPECT_NEAR(at[2], (zv * far / (far - n) - n * far / (far - n)) / zv, 1e-5f);
    float untouched[3] = {5, 6, 7};
    EXPECT_FALSE(world::PlaceLabel(camera, Vec3(0, 1, -5), 0, untouched)) << "behind the eye";
    EXPECT_FALSE(world::PlaceLabel(nullptr, point, 0, untouched));
    EXPECT_EQ(untouched[0], 5.0f);
}

}  // namespace
