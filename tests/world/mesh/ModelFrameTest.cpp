// Models driven as a host drives them: made by a scene from files, then real frames (the
// scene's update, then its render), with the frame step set as a host sets it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MaterialFileWriter.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/core/FrameTimeControl.h"
#include "world/mesh/MeshBase.h"
#include "world/mesh/MeshSegment.h"
#include "world/mesh/MeshVertexBuffer.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/Scene3D.h"
#include "world/scene/SceneBase.h"
#include "world/scene/World.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::ModelBase;

// The host's frame step (frame rate and speed), back to zero afterwards.
struct HostFrameStep {
    HostFrameStep(int rate, float speed) {
        FrameTimeControl::Instance().SetFrameRate(rate);
        FrameTimeControl::Instance().SetSpeed(speed);
    }
    ~HostFrameStep() { FrameTimeControl::Instance().Reset(); }
};

// One sub-mesh moved by a uv track of two keys, 1000 ms apart.
MeshDesc UvAnimatedMesh() {
    MeshDesc m = MakeUvTrackedMesh(1000);
    m.subMeshes[0].name = "a";
    m.subMeshes[0].materialSlot = 0;
    MaterialGroupDesc group = MakeMaterialGroup({"a"});
    group.slots[0].material.stages.clear();
    m.blob = WriteMaterialGroup(group);
    return m;
}

struct SceneFrames {
    SceneFrames() {
        files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        scene = fx.NewScene();
        camera = scene->CreateCamera(true);
        camera->SetPerspective(60.0f, 1.0f, 1.0f, 1000.0f);
        camera->SetPosition(Vec3{0, 0, -20});
    }
    ModelBase* Create(const char* file) {
        return static_cast<ModelBase*>(scene->CreateModel(file, 0, 0, nullptr));
    }
    void Frame() {
        scene->Update();
        scene->Render();
    }

    WorldFixture fx;
    host::MemoryFileSystem* files = nullptr;
    TestScene* scene = nullptr;
    world::Camera* camera = nullptr;
};

// A mesh's clip advances once per frame, by the host's frame step, whatever the number of
// models sharing it and however often they draw.
TEST(ModelFrames, AnimationAdvancesOnceAFramePerMesh) {
    struct Case {
        const char* file;
        int kind;
    };
    for (const Case c : {Case{"keys.mom", MeshBase::kVertexKeys}, Case{"uv.mom", MeshBase::kUv}}) {
        for (int models : {1, 3}) {
            SCOPED_TRACE(std::string(c.file) + " x" + std::to_string(models));
            SceneFrames s;
            s.files->AddFile("keys.mom", WriteMom(DemoSampleMesh(true)));
            s.files->AddFile("uv.mom", WriteMom(UvAnimatedMesh()));
            ModelBase* model = s.Create(c.file);
            ASSERT_NE(model, nullptr) << s.fx.capture.Joined();
            ASSERT_TRUE(model->HasAnimation(c.kind));
            for (int i = 1; i < models; ++i) s.scene->CloneObject(model->GetSpaceObject(0));
            ASSERT_EQ(model->GetMesh()->GetRefCount(), models);
            ASSERT_TRUE(model->PlayAnimation(0, c.kind, 0.0f));
            HostFrameStep step(100, 1.0f);  // 10 ms frames
            for (int frame = 0; frame < 3; ++frame) s.Frame();
            EXPECT_NEAR(model->GetAnimationTime(c.kind), 30.0f, 1e-3f);
            EXPECT_GT(model->GetMesh()->GetCurrentVertexBuffer()->UsedTriangles(), 0u) << "the frames drew";
        }
    }
}

}  // namespace

namespace {

// Three equal triangles facing the z axis at z = 0, 4 and -4 (in that file order), one
// transparent sub-mesh sorted by the given sorter type.
MeshDesc StackedGlass(std::uint32_t sorterType) {
    MeshDesc m = MakeMesh(0x30011, 0, 1, 1);
    m.sorterType = sorterType;
    m.subMeshes[0].name = "glass";
    m.subMeshes[0].materialSlot = 0;
    LodDesc lod = MakeLod({9}, {3}, 1, false, 1, 1);
    const float z[3] = {0.0f, 4.0f, -4.0f};
    lod.positions.clear();
    lod.indices.clear();
    for (int t = 0; t < 3; ++t) {
        lod.positions.insert(lod.positions.end(), {-1, -1, z[t], -1, 1, z[t], 1, -1, z[t]});
        for (int k = 0; k < 3; ++k) lod.indices.push_back(std::uint16_t(3 * t + k));
    }
    m.lods = {lod};
    m.bounds = {0, 0, 0, 1, 1, 4, 4.25f};
    m.subMeshes[0].bounds = m.bounds;
    MaterialGroupDesc group = MakeMaterialGroup({"glass"});
    group.slots[0].material.stages.clear();
    group.slots[0].material.technique = "glass.fx::T";
    m.blob = WriteMaterialGroup(group);
    return m;
}

// The triangles of the sub-mesh in the order they are drawn, by their depth in the file
// (0: z = 0, 1: z = 4, 2: z = -4).
std::vector<int> DrawnOrder(ModelBase* model) {
    const std::uint16_t* indices = model->GetMesh()->GetPart(0)->IndexList();
    std::vector<int> order;
    for (int t = 0; t < 3; ++t) order.push_back(indices[3 * t] / 3);
    return order;
}

}  // namespace

// A transparent sub-mesh of a model in a scene is drawn back to front for the scene's camera,
// and sorted again when that camera moves to the other side of it.
TEST(ModelFrames, TransparentTrianglesSortForTheFrameCamera) {
    for (std::uint32_t type = 1; type <= 4; ++type) {
        SCOPED_TRACE("sorter type " + std::to_string(type));
        SceneFrames s;
        s.fx.host().renderer.Store()->DefineEffect("glass.fx::T", 1, true);
        s.files->AddFile("glass.mom", WriteMom(StackedGlass(type)));
        ModelBase* model = s.Create("glass.mom");
        ASSERT_NE(model, nullptr) << s.fx.capture.Joined();
        ASSERT_NE(model->GetMesh()->GetPart(0)->Sorter(), nullptr);
        s.Frame();
        s.Frame();
        EXPECT_EQ(DrawnOrder(model), (std::vector<int>{1, 0, 2})) << "seen from -z: z = 4 first";
        Matrix turned;
        MatrixRotationY(turned, 3.14159265f);
        s.camera->SetRotation(turned);
        s.camera->SetPosition(Vec3{0, 0, 20});
        s.Frame();
        EXPECT_EQ(DrawnOrder(model), (std::vector<int>{2, 0, 1})) << "seen from +z: z = -4 first";
        // A sorter type set by the host sorts the next move the same way.
        model->SetSorterType(type % 4 + 1);
        MatrixIdentity(turned);
        s.camera->SetRotation(turned);
        s.camera->SetPosition(Vec3{0, 0, -20});
        s.Frame();
        EXPECT_EQ(DrawnOrder(model), (std::vector<int>{1, 0, 2})) << "back on -z";
    }
}

// A draw of a sub-mesh answers what the renderer answered to its submit.
TEST(ModelFrames, ADrawAnswersTheRenderersAnswer) {
    SceneFrames s;
    s.files->AddFile("m.mom", WriteMom(DemoSampleMesh(false)));
    ModelBase* model = s.Create("m.mom");
    ASSERT_NE(model, nullptr);
    s.Frame();
    MeshBase* mesh = model->GetMesh();
    EXPECT_TRUE(mesh->DrawSubMesh(0, model->GetWorldMatrix()));
    s.fx.host().renderer.refuseSubmits = true;
    EXPECT_FALSE(mesh->DrawSubMesh(0, model->GetWorldMatrix()));
    s.fx.host().renderer.refuseSubmits = false;
}

// The load priority a scene gives its models (the world's option 2 once the scene has
// loaded) is the priority the mesh's materials load their textures with: mip -3 - priority.
TEST(ModelFrames, TheScenesLoadPriorityReachesTheMaterials) {
    for (int priority : {0, 5}) {
        SCOPED_TRACE(priority);
        SceneFrames s;
        s.files->AddFile("m.mom", WriteMom(DemoSampleMesh(false)));
        World::Instance().SetOption(2, priority);
        s.fx.host().renderer.ClearCalls();
        ModelBase* model = s.Create("m.mom");
        ASSERT_NE(model, nullptr);
        const std::string mip = "," + std::to_string(-3 - priority) + ")";
        int groups = 0;
        for (const std::string& call : s.fx.host().renderer.Calls()) {
            if (call.rfind("CreateMaterialGroup(", 0) != 0) continue;
            ++groups;
            EXPECT_NE(call.find(mip), std::string::npos) << call;
        }
        EXPECT_EQ(groups, 1);
        World::Instance().SetOption(2, 0);
    }
}

// The bound of a part in its parent's space and in the world are two answers a caller may
// hold at once.
TEST(ModelFrames, PartBoundsInParentAndWorldAreKeptApart) {
    SceneFrames s;
    s.files->AddFile("m.mom", WriteMom(DemoSampleMesh(false)));
    ModelBase* parent = s.Create("m.mom");
    ModelBase* child = s.Create("m.mom");
    ASSERT_TRUE(parent && child);
    parent->GetSpaceObject(0)->SetPosition(Vec3{100, 0, 0});
    child->GetSpaceObject(0)->SetParent(parent->GetSpaceObject(0));
    child->GetSpaceObject(0)->SetPosition(Vec3{1, 0, 0});
    s.Frame();
    const Bounds* inParent = child->GetPartBoundInParent(0);
    const float parentX = inParent->centre.x;
    const Bounds* inWorld = child->GetPartBoundInWorld(0);
    EXPECT_NE(inParent, inWorld);
    EXPECT_FLOAT_EQ(inParent->centre.x, parentX);
    EXPECT_NEAR(inWorld->centre.x - inParent->centre.x, 100.0f, 1e-3f);
}

// A model's copies follow it to its new file.
TEST(ModelFrames, ChangingAModelsFileRefreshesItsCopies) {
    WorldFixture fx;
    auto* files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
    files->AddFile("a.mom", WriteMom(DemoSampleMesh(false)));
    files->AddFile("b.mom", WriteMom(DemoDefaultBox()));
    auto* scene = new world::Scene3D;
    auto* model = static_cast<ModelBase*>(scene->CreateModel("a.mom", 0, 0, nullptr));
    auto* other = static_cast<ModelBase*>(scene->CreateModel("a.mom", 0, 0, nullptr));
    ASSERT_TRUE(model && other);
    scene->CloneObject(model->GetSpaceObject(0));
    scene->CloneObject(model->GetSpaceObject(0));
    ASSERT_EQ(scene->GetModelCount(), 4);
    MeshBase* before = other->GetMesh();
    ASSERT_TRUE(scene->ChangeModelFile(model, "b.mom"));
    EXPECT_EQ(model->GetSubMeshCount(), 1) << "the box";
    int following = 0;
    for (int i = 0; i < scene->GetModelCount(); ++i) {
        auto* m = static_cast<ModelBase*>(scene->GetModel(std::uint32_t(i)));
        if (m == model || m == other) continue;
        EXPECT_EQ(m->GetMesh(), model->GetMesh()) << "copy " << i;
        ++following;
    }
    EXPECT_EQ(following, 2);
    EXPECT_EQ(other->GetMesh(), before) << "a model of the same file that is no copy keeps its mesh";
    scene->SceneBase::Clear();
    delete scene;
}
