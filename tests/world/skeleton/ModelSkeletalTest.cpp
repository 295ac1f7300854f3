#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "tests/world/skeleton/SkelMeshSupport.h"
#include "world/core/FrameTimeControl.h"
#include "world/mesh/ModelBase.h"
#include "world/skeleton/MeshSkeletal.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::ModelSkeletal;

struct Figure {
    explicit Figure(int threads = 0) : fx(threads) {
        files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        files->AddFile("walk.ani", WriteSkelAnimFile(MakeSkelAnimFile(0x40003, 3, 2)));
        files->AddFile("wave.ani", WriteSkelAnimFile(MakeSkelAnimFile(0x40003, 3, 1)));
        files->AddFile("body.mom", WriteMom(SkinnedMeshDesc(3, "walk.ani")));
        FrameTimeControl::Instance().SetFrameRate(1000);
        FrameTimeControl::Instance().SetSpeed(10.0f);
        model = world::CreateModelSkeletal();
    }
    ~Figure() {
        delete static_cast<world::SpaceObject*>(model);
        FrameTimeControl::Instance().Reset();
    }
    WorldFixture fx;
    host::MemoryFileSystem* files = nullptr;
    ModelSkeletal* model = nullptr;
};

TEST(ModelSkeletal, ATypeOneFileMakesASkeletalModelThatPlaysAndMovesItsBones) {
    Figure f;
    ASSERT_TRUE(world::CreateModelForFile(f.model, "body.mom")) << f.fx.capture.Joined();
    ASSERT_EQ(f.model->IsSkeletal(), 1);
    ASSERT_NE(f.model->GetSkeletalMesh(), nullptr);
    EXPECT_EQ(f.model->GetBoneCount(), 3);
    EXPECT_EQ(f.model->FindBone("Bone2"), 2);
    EXPECT_EQ(f.model->GetBoneParent(2), 1);
    EXPECT_EQ(f.model->GetBoneParent(0), 0xFFFF);
    EXPECT_STREQ(f.model->GetBoneName(1), "Bone1");
    EXPECT_EQ(f.model->FindAnimation("anim1", false), 1);
    EXPECT_TRUE(f.model->LoadAnimationFile("wave.ani", 0, nullptr));
    EXPECT_EQ(f.model->GetAnimationCount(MeshBase::kSkeletal), 3);
    EXPECT_STREQ(f.model->GetAnimationName(2), "anim0");
    ASSERT_TRUE(f.model->PlayAnimationByName("anim1", -1.0f, 0));
    Matrix placed = MatrixIdentity();
    placed.m[12] = 5.0f;
    f.model->SetLocalMatrix(placed);
    for (int i = 0; i < 5; ++i) f.model->Update();
    // Spaces: skeleton, world = skeleton x world, and parent space for an object without
    // parent is the world.
    Matrix skeleton, worldSpace, parentSpace;
    ASSERT_TRUE(f.model->GetBoneWorldMatrix(2, skeleton, 2));
    ASSERT_TRUE(f.model->GetBoneWorldMatrix(2, worldSpace, 1));
    ASSERT_TRUE(f.model->GetBoneWorldMatrix(2, parentSpace, 0));
    EXPECT_NEAR(worldSpace.m[12], skeleton.m[12] + 5.0f, 1e-4f);
    EXPECT_EQ(worldSpace, parentSpace);
    EXPECT_FALSE(f.model->GetBoneWorldMatrix(3, skeleton, 2));
    // A non-looping clip ends: the end is pending until acknowledged.
    EXPECT_FALSE(f.model->IsAnimationEndPending());
    for (int i = 0; i < 40; ++i) f.model->Update();
    EXPECT_TRUE(f.model->IsAnimationEndPending());
    f.model->AcknowledgeSkeletalState();
    EXPECT_FALSE(f.model->IsAnimationEndPending());
}

TEST(ModelSkeletal, LoadingWithoutAMeshFailsWithItsMessage) {
    Figure f;
    EXPECT_EQ(f.model->LoadAnimationFileNow("walk.ani"), -1);
    EXPECT_TRUE(f.fx.capture.Contains("Failed to load animation file walk.ani! Main mesh is not loaded!"));
    EXPECT_EQ(f.model->IsLoading(), -1);
}

TEST(ModelSkeletal, FreezeAtTimePosesOnceAndStopsAnimating) {
    Figure f;
    ASSERT_TRUE(world::CreateModelForFile(f.model, "body.mom"));
    ASSERT_TRUE(f.model->PlaySkeletalAnimation(0, -1.0f, 16, -1.0f, 1, 1.0f));
    f.model->FreezeAtTime(0.15f);
    f.model->Update();
    const float frozen = f.model->GetAnimationTime(MeshBase::kSkeletal);
    EXPECT_NEAR(frozen, 160.0f, 1e-3f) << "posed at 150 ms, then one step";
    for (int i = 0; i < 5; ++i) f.model->Update();
    EXPECT_EQ(f.model->GetAnimationTime(MeshBase::kSkeletal), frozen);
}

TEST(ModelSkeletal, AnimationLoadThreadLoadsWhileTheModelUpdates) {
    Figure f(2);
    ASSERT_TRUE(world::CreateModelForFile(f.model, "body.mom"));
    ASSERT_TRUE(f.model->PlaySkeletalAnimation(0, -1.0f, 16, -1.0f, 1, 1.0f));
    std::uint32_t id = 0;
    ASSERT_TRUE(f.model->LoadAnimationFile("wave.ani", 1, &id));
    for (int i = 0; i < 2000 && f.model->IsLoading() == 1; ++i) {
        f.model->Update();
        std::this_thread::yield();
    }
    f.fx.host().loader->WaitIdle();
    EXPECT_EQ(f.model->IsLoading(), 0);
    EXPECT_EQ(f.model->GetAnimationCount(MeshBase::kSkeletal), 3);
    f.model->Update();
}

}  // namespace
