#include "world/scene/SkyObject.h"

#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RenderCamera.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/MaterialFileWriter.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/core/ObjectModelSupport.h"
#include "tests/support/world/core/RandomMath.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/mesh/MeshBase.h"
#include "world/mesh/MeshDataMgr.h"
#include "world/mesh/ModelMaterial.h"
#include "world/mesh/SubMesh.h"
#include "world/scene/ObjectIdMap.h"
#include "world/scene/Scene3D.h"

namespace quor::world {
namespace {

// A mesh of named sub-meshes, each with a material of its own and no textures.
std::vector<std::uint8_t> SkyMesh(const std::vector<std::string>& names) {
    test::MeshDesc desc = test::MakeMesh(0x30011, 0, int(names.size()), 1);
    desc.sorterType = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        desc.subMeshes[i].name = names[i];
        desc.subMeshes[i].extraName.clear();
        desc.subMeshes[i].materialSlot = 0;
    }
    test::MaterialGroupDesc group = test::MakeMaterialGroup(names);
    for (test::MaterialSlotDesc& slot : group.slots) slot.material.stages.clear();
    desc.blob = test::WriteMaterialGroup(group);
    return test::WriteMom(desc);
}

class SkyObjectTest : public ::testing::Test {
protected:
    SkyObjectTest() : log(MakeFiles()) {
        EXPECT_TRUE(RegisterModelTechniqueTemplates());
        files->AddFile("sky.mom", SkyMesh({"sky"}));
        files->AddFile("dome.mom", SkyMesh({"upper", "lower"}));
    }
    ~SkyObjectTest() override {
        ObjectIdMap::Instance().Reset();
        MeshDataMgr::GetInstance().Clear();
        ReleaseMaterialStateCaches();
    }
    std::unique_ptr<host::ResFileSystemBase> MakeFiles() {
        auto fs = std::make_unique<host::MemoryFileSystem>();
        files = fs.get();
        return fs;
    }
    host::RecordingRenderer& Renderer() { return scope.renderer; }

    host::MemoryFileSystem* files = nullptr;
    test::LogCapture log;
    test::RendererScope scope;
};

TEST_F(SkyObjectTest, AFailedLoadIsReportedAndKeepsTheMeshThereWas) {
    const int before = Renderer().LiveObjects();
    {
        SkyObject sky;
        EXPECT_EQ(sky.GetObjectType(), 8);
        EXPECT_EQ(sky.GetVisibleObject(), static_cast<IVisibleObject*>(&sky));
        ASSERT_NE(sky.GetRenderCamera(), nullptr);
        EXPECT_FALSE(sky.LoadMesh("missing.mom"));
        EXPECT_TRUE(log.Contains("Failed to load SkyObject's mesh file missing.mom!"));
        EXPECT_EQ(sky.GetMesh(), nullptr);
        EXPECT_STREQ(sky.GetResourceName().c_str(), "");
        sky.Update();
        sky.DrawParts(1);  // no mesh: nothing to draw, nothing touched

        ASSERT_TRUE(sky.LoadMesh("sky.mom")) << log.Joined();
        MeshBase* first = sky.GetMesh();
        ASSERT_NE(first, nullptr);
        EXPECT_NE(std::string(sky.GetResourceName().c_str()).find("sky.mom"), std::string::npos);
        log.Clear();
        EXPECT_FALSE(sky.LoadMesh("missing.mom"));
        EXPECT_TRUE(log.Contains("Failed to load SkyObject's mesh file missing.mom!"));
        EXPECT_EQ(sky.GetMesh(), first) << "a failed load keeps the old mesh";
        ASSERT_TRUE(sky.LoadMesh("dome.mom"));
        EXPECT_NE(std::string(sky.GetResourceName().c_str()).find("dome.mom"), std::string::npos);
        EXPECT_EQ(sky.GetMesh()->GetSubMeshCount(), 2u) << "the second load replaced the first";
        sky.SetPosition({1, 2, 3});
        sky.Update();
        EXPECT_TRUE(sky.GetMesh()->SoftwareSkinning(0)) << "a moved sky tells its mesh";
    }
    MeshDataMgr::GetInstance().Clear();
    EXPECT_EQ(Renderer().LiveObjects(), before) << "meshes and the render camera given back";
}

TEST_F(SkyObjectTest, TheSkyDepthRangeHoldsItsWholeBoundFromAnyCameraPose) {
    SkyObject sky;
    ASSERT_TRUE(sky.LoadMesh("dome.mom"));
    sky.SetPosition({30, -5, 12});
    sky.SetScale({40, 25, 40});
    Vec3 min, max;
    ASSERT_TRUE(sky.GetMesh()->GetBoundingBox(min, max));
    Camera camera;
    auto* source = static_cast<host::RenderCamera*>(camera.GetRenderCamera());
    auto* own = static_cast<host::RenderCamera*>(sky.GetRenderCamera());
    test::RandomMath random(5);
    for (int pose = 0; pose < 100; ++pose) {
        camera.SetPosition(random.Vector(200.0f));
        camera.SetRotation(random.Rotation());
        camera.Update();
        ASSERT_TRUE(sky.PrepareCamera(&camera));
        Vec3 centre, eye;
        float radius = 0;
        sky.GetWorldBound(&centre, &radius, nullptr, kBoundWorld);
        camera.SpaceObject::GetWorldPosition(eye);
        EXPECT_NEAR(own->GetFarPlane(), Vec3Length(centre - eye) + radius, 1e-2f);
        EXPECT_FLOAT_EQ(own->GetNearPlane(), 1.0f);
        const float* p = own->GetProjectionMatrix();
        const float* q = source->GetProjectionMatrix();
        for (int i : {0, 5, 11}) EXPECT_FLOAT_EQ(p[i], q[i]) << "all but the depth terms copied";
        EXPECT_EQ(std::memcmp(own->GetViewMatrix(), source->GetViewMatrix(), 64), 0);
        const Matrix& world = sky.GetWorldMatrix();
        for (int corner = 0; corner < 8; ++corner) {
            const Vec3 local{corner & 1 ? max.x : min.x, corner & 2 ? max.y : min.y, corner & 4 ? max.z : min.z};
            double w[4] = {0, 0, 0, 0}, v[4] = {0, 0, 0, 0}, c[4] = {0, 0, 0, 0};
            for (int j = 0; j < 4; ++j) {
                w[j] = local.x * world.m[j] + local.y * world.m[4 + j] + local.z * world.m[8 + j] + world.m[12 + j];
            }
            const float* view = own->GetViewMatrix();
            for (int j = 0; j < 4; ++j) {
                for (int k = 0; k < 4; ++k) v[j] += w[k] * view[4 * k + j];
            }
            for (int j = 0; j < 4; ++j) {
                for (int k = 0; k < 4; ++k) c[j] += v[k] * p[4 * k + j];
            }
            if (v[2] <= 1.0) continue;  // behind the near plane: not a question of the far plane
            EXPECT_LE(c[2] / c[3], 1.0 + 1e-5) << "pose " << pose << " corner " << corner;
        }
    }
}

}  // namespace
}  // namespace quor::world

namespace quor::world {
namespace {

// A host's frames over a 3D scene with a sky: every sub-mesh of the sky draws through the
// sky's render camera, which holds the frame camera's view and a depth range that ends at the
// far side of the sky's bound, wherever the camera goes.
TEST(SkyObjectFrames, TheSkyDrawsThroughItsOwnCameraAndDepthRange) {
    test::WorldFixture fx;
    auto* files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
    files->AddFile("dome.mom", SkyMesh({"upper", "lower"}));
    auto* scene = new Scene3D;
    Camera* camera = scene->CreateCamera(true);
    camera->SetPerspective(60.0f, 1.0f, 1.0f, 100.0f);
    ISkyObject* face = scene->CreateSkyObject("dome.mom");
    ASSERT_NE(face, nullptr) << fx.capture.Joined();
    SkyObject* sky = face->GetObject();
    sky->SetScale({400, 300, 400});
    auto* own = static_cast<host::RenderCamera*>(sky->GetRenderCamera());
    MeshBase* mesh = sky->GetMesh();
    ASSERT_EQ(mesh->GetSubMeshCount(), 2u);
    for (std::uint32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(mesh->GetSubMesh(i)->RecordFlags() & SubMesh::kOwnCamera, SubMesh::kOwnCamera);
        EXPECT_EQ(mesh->GetSubMesh(i)->RenderCamera(), own);
    }
    for (const Vec3 eye : {Vec3{0, 0, 0}, Vec3{50, 10, -30}, Vec3{-120, 40, 90}}) {
        camera->SetPosition(eye);
        scene->Update();
        scene->Render();
        Vec3 centre;
        float radius = 0;
        sky->GetWorldBound(&centre, &radius, nullptr, kBoundWorld);
        EXPECT_NEAR(own->GetFarPlane(), Vec3Length(centre - eye) + radius, 1e-2f);
        EXPECT_FLOAT_EQ(own->GetNearPlane(), SkyObject::kNear);
        EXPECT_GT(own->GetFarPlane(), 100.0f) << "beyond the scene camera's far plane";
        EXPECT_EQ(std::memcmp(own->GetViewMatrix(), camera->GetRenderCamera()->GetViewMatrix(), 64), 0);
        for (std::uint32_t i = 0; i < 2; ++i) {
            auto* renderable = static_cast<host::RecordingRenderable*>(mesh->GetSubMesh(i)->Renderable());
            EXPECT_GT(renderable->submits, 0) << "sub-mesh " << i << " drawn";
            EXPECT_EQ(renderable->renderCamera, own) << "sub-mesh " << i << " drawn with the sky's camera";
        }
    }
    scene->SceneBase::Clear();
    delete scene;
}

}  // namespace
}  // namespace quor::world
