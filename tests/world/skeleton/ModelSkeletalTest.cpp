#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "tests/world/skeleton/SkelMeshSupport.h"
#include "platform/host/RecordingSkinBuffer.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/track/TrackSampled.h"
#include "world/mesh/ModelBase.h"
#include "world/skeleton/MeshSkeletal.h"
#include "world/mesh/MeshSegment.h"
#include "world/skeleton/SkelAnimsDataMgr.h"

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

// Loader threads load animations and materials into a model whose mesh the caller keeps
// replacing: each load holds the mesh it started with, so none reads a destroyed one.
TEST(ModelSkeletal, LoadsThreadRaceMeshChanges) {
    Figure f(2);
    ASSERT_TRUE(world::CreateModelForFile(f.model, "body.mom"));
    world::ModelSkeletal* copy = world::CreateModelSkeletal();
    for (int round = 0; round < 30; ++round) {
        EXPECT_TRUE(f.model->LoadAnimationFile("wave.ani", 1, nullptr));
        f.model->LoadMaterialFile("none.mtl", 1, nullptr);
        EXPECT_TRUE(f.model->ChangeMeshFile("body.mom"));
        copy->CopyFrom(f.model);
        f.model->Update();
    }
    f.fx.host().loader->WaitIdle();
    EXPECT_NE(f.model->GetSkeletalMesh(), nullptr);
    delete static_cast<world::SpaceObject*>(copy);
}

// Two models of one file built on two loader threads while a third model of it updates: the
// shared skeleton's socket records are written once, before any model reads them.
TEST(ModelSkeletal, SharedSocketsThreadBuildOnce) {
    Figure f(2);
    MeshDesc mesh = SkinnedMeshDesc(3, "walk.ani");
    SocketDesc socket;
    socket.name = "hand";
    socket.boneName = "Bone2";
    socket.boneIndex = 2;
    socket.animationName = "anim1";
    socket.startTime = 5.0f;
    mesh.sockets = {socket};
    f.files->AddFile("armed.mom", WriteMom(mesh));
    ASSERT_TRUE(world::CreateModelForFile(f.model, "armed.mom"));
    ASSERT_TRUE(f.model->PlaySkeletalAnimation(0, -1.0f, 16, -1.0f, 1, 1.0f));
    for (int round = 0; round < 10; ++round) {
        world::ModelSkeletal* a = world::CreateModelSkeletal();
        world::ModelSkeletal* b = world::CreateModelSkeletal();
        std::thread ta([&] { world::CreateModelForFile(a, "armed.mom"); });
        std::thread tb([&] { world::CreateModelForFile(b, "armed.mom"); });
        for (int i = 0; i < 50; ++i) {
            f.model->Update();
            Matrix m;
            f.model->GetSocketMatrix(0, m);
        }
        ta.join();
        tb.join();
        EXPECT_EQ(a->GetSocketCount(), 1);
        EXPECT_EQ(b->GetSocketCount(), 1);
        delete static_cast<world::SpaceObject*>(a);
        delete static_cast<world::SpaceObject*>(b);
    }
}

// A figure whose "stride" animation moves the object through its own key track, with a
// group and sequences in the companion, and a socket whose attachment waits for "stride".
struct Rigged : Figure {
    Rigged() : Figure() {
        SkelAnimFileDesc file = MakeSkelAnimFile(0x40003, 3, 3);
        file.records[0].name = "stride";
        file.records[0].hasPivotTrack = true;
        file.records[0].pivotTrack.times = {0, 100};
        TrackChannelDesc ch;
        ch.positions = {0, 0, 0, 1, 0, 0};
        ch.rotations = {0, 0, 0, 1, 0, 0, 0, 1};
        ch.scales.assign(6, 1.0f);
        file.records[0].pivotTrack.channels = {ch};
        // "long": 800 ms, plays once.
        SkelAnimRecordDesc longer = MakeSkelAnimRecord("long", 9, 3, 5);
        longer.transitions = file.records[1].transitions;
        longer.loop = 0;
        file.records[1] = longer;
        file.records[2].name = "short";
        file.records[2].loop = 0;
        files->AddFile("rig.ani", WriteSkelAnimFile(file));
        AgsDesc ags;
        ags.groups = {{"both", {{"stride", {}}, {"long", {{"Priority", "1"}}}}}, {"hollow", {{"nothing", {}}}}};
        ags.sequences = {
            {"timed", {{"stride", {{"Duration", "30"}}}, {"short", {{"Duration", "-0.0002"}}}}},
            {"edge", {{"stride", {{"Duration", "-0.0001"}}}, {"long", {{"Duration", "1000"}}}}},
            {"dud", {{"hollow", {{"IsGroup", "1"}}}}},
            {"looped", {{"stride", {{"Duration", "-0.0002"}}}, {"short", {}}}},
            {"empty", {{"nope", {}}}},
        };
        files->AddFile("rig.ags", WriteAgs(ags));
        MeshDesc mesh = SkinnedMeshDesc(3, "rig.ani");
        SocketDesc socket;
        socket.name = "hand";
        socket.boneName = "Bone2";
        socket.boneIndex = 2;
        socket.animationName = "long";
        socket.startTime = 500.0f;
        socket.objectFile = "sword.mom";  // the animation is stored with an object
        mesh.sockets = {socket};
        files->AddFile("rig.mom", WriteMom(mesh));
        EXPECT_TRUE(world::CreateModelForFile(model, "rig.mom")) << fx.capture.Joined();
    }
};

TEST(ModelSkeletal, AnAnimationWithAKeyTrackDrivesTheObjectAndRefusesOtherTracks) {
    Rigged f;
    ModelSkeletal* m = f.model;
    ASSERT_NE(m->GetAnimationTrack(0), nullptr) << "stride carries a key track";
    EXPECT_EQ(m->GetAnimationTrack(1), nullptr);
    EXPECT_EQ(m->GetAnimationTrack(3), nullptr) << "past the animations";
    EXPECT_EQ(m->GetAnimationTrack(-1), nullptr);
    // A track of the caller's, bound while no animation drives the object.
    world::TrackSampled* own = new world::TrackSampled();
    ASSERT_TRUE(m->BindTrack(own, 0.0f, true, 3, 0.0f));
    EXPECT_EQ(m->GetTrack(), own);
    ASSERT_TRUE(m->PlaySkeletalAnimation(0, 0.0f, 16, -1.0f, 1, 1.0f));
    EXPECT_EQ(m->GetTrack(), nullptr) << "stride drives the object now";
    EXPECT_EQ(m->GetBoundTrack(), m->GetAnimationTrack(0));
    EXPECT_FALSE(m->BindTrack(own, 0.0f, true, 3, 0.0f));
    EXPECT_TRUE(f.fx.capture.Contains(
        "rig.mom!It already has a track assigned by current animation stride."))
        << f.fx.capture.Joined();
    EXPECT_EQ(m->UnbindTrack(0.0f), nullptr);
    EXPECT_TRUE(f.fx.capture.Contains(
        "rig.mom!It's track is assigned by current animation stride."));
    for (int i = 0; i < 5; ++i) m->Update();
    Matrix local;
    m->GetLocalMatrix(local);
    EXPECT_NEAR(local.m[12], 0.5f, 1e-3f) << "50 ms into a 100 ms move by 1";
    // Posing the animation poses the object at once.
    ASSERT_TRUE(m->SetAnimationTime(80.0f, MeshBase::kSkeletal));
    m->GetLocalMatrix(local);
    EXPECT_NEAR(local.m[12], 0.8f, 1e-3f);
    // An animation without a key track lets the object go; the caller may bind again.
    ASSERT_TRUE(m->PlaySkeletalAnimation(1, 0.0f, 16, -1.0f, 1, 1.0f));
    EXPECT_EQ(m->GetBoundTrack(), nullptr);
    EXPECT_TRUE(m->BindTrack(own, 0.0f, true, 3, 0.0f));
    EXPECT_TRUE(m->UnbindTrack(0.0f) == own);
    delete own;
}

TEST(ModelSkeletal, GroupsAndSequencesPlayByNameWithTheirErrors) {
    Rigged f;
    ModelSkeletal* m = f.model;
    EXPECT_FALSE(m->PlayAnimationGroup("none", 0.0f));
    EXPECT_TRUE(f.fx.capture.Contains("No animation group named none!"));
    EXPECT_TRUE(m->PlayAnimationGroup("both", 0.0f));
    EXPECT_EQ(m->GetBoundTrack(), m->GetAnimationTrack(0)) << "the group's current animation is stride";
    struct Case {
        const char* name;
        bool started;
        const char* error;
    };
    const Case errors[] = {{"none", false, "No animation sequence named none!"},
                           {"empty", false, "Failed to play animation sequence empty! No animations in this sequence!"},
                           {"dud", false, nullptr}};
    for (const Case& c : errors) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(m->PlayAnimationSequence(c.name), c.started);
        if (c.error) {
            EXPECT_TRUE(f.fx.capture.Contains(c.error)) << f.fx.capture.Joined();
        }
    }
    // Every item of "dud" failed: the sequence ended at once and says so at the next update.
    EXPECT_FALSE(m->IsSequenceFinished());
    m->Update();
    EXPECT_TRUE(m->IsSequenceFinished());
    m->Update();
    EXPECT_FALSE(m->IsSequenceFinished()) << "cleared while none runs";

    // "timed": stride for 30 ms, then "short" (300 ms, -0.0002) until it has finished.
    ASSERT_TRUE(m->PlayAnimationSequence("timed"));
    EXPECT_EQ(m->GetCurrentAnimation(MeshBase::kSkeletal), 0);
    int updates = 0;
    while (m->GetCurrentAnimation(MeshBase::kSkeletal) == 0 && updates < 100) m->Update(), ++updates;
    EXPECT_EQ(updates, 3) << "10 ms frames";
    EXPECT_EQ(m->GetCurrentAnimation(MeshBase::kSkeletal), 2);
    EXPECT_EQ(m->SequenceItem(), 1);
    while (!m->IsSequenceFinished() && updates < 200) m->Update(), ++updates;
    EXPECT_TRUE(m->IsSequenceFinished());
    EXPECT_GE(updates, 3 + 30) << "short ran its 300 ms";
    EXPECT_FALSE(m->SequencePlaying());

    // "edge": a duration of exactly -0.0001 is timed, ending at the first update.
    ASSERT_TRUE(m->PlayAnimationSequence("edge"));
    m->Update();
    EXPECT_EQ(m->GetCurrentAnimation(MeshBase::kSkeletal), 1);
    // A direct play ends the sequence.
    ASSERT_TRUE(m->PlaySkeletalAnimation(0, 0.0f, 16, -1.0f, 1, 1.0f));
    EXPECT_FALSE(m->SequencePlaying());
}

TEST(ModelSkeletal, BoneBoundChildrenFollowTheirBoneAndARefusedChildLeavesNoEntry) {
    Rigged f;
    ModelSkeletal* m = f.model;
    auto* child = new world::Model();
    Matrix offset = MatrixIdentity();
    offset.m[13] = 1.0f;
    EXPECT_FALSE(m->BindChildToBone(child, 3, &offset, 0)) << "bone = count";
    EXPECT_FALSE(m->BindChildToBone(m, 1, &offset, 0)) << "a model cannot hold itself";
    EXPECT_EQ(m->GetAttachedCount(), 0);
    EXPECT_EQ(m->GetChildCount(), 0);
    Matrix placed = MatrixIdentity();
    placed.m[12] = 5.0f;
    m->SetLocalMatrix(placed);
    ASSERT_TRUE(m->BindChildToBone(child, 2, &offset, 0));
    EXPECT_EQ(m->GetAttachedCount(), 1);
    ASSERT_TRUE(m->PlaySkeletalAnimation(1, 0.0f, 16, -1.0f, 1, 1.0f));
    for (int i = 0; i < 7; ++i) m->Update();
    Matrix bone, expected;
    for (int space : {2, 1, 0}) {
        SCOPED_TRACE(space);
        ASSERT_TRUE(m->GetBoneWorldMatrix(2, bone, space));
        MatrixMultiplyFast(offset, bone, expected);
        Matrix actual;
        if (space == 2) child->GetLocalMatrix(actual);
        else actual = child->GetWorldMatrix();
        EXPECT_LT(test::MatrixError(actual, expected), 1e-4) << "the child stands at offset x bone";
    }
    EXPECT_FALSE(m->UnbindSocketChildren(3, true, 0));
    EXPECT_TRUE(m->UnbindSocketChildren(1, true, 0));
    EXPECT_EQ(m->GetAttachedCount(), 1) << "bound to bone 2";
    EXPECT_TRUE(m->UnbindSocketChildren(2, true, 0));
    EXPECT_EQ(m->GetAttachedCount(), 0);
    EXPECT_EQ(m->GetChildCount(), 0);
    delete child;
}

TEST(ModelSkeletal, ASocketAttachmentWaitsForItsAnimationsStartTime) {
    Rigged f;
    FrameTimeControl::Instance().SetFrameRate(30);
    FrameTimeControl::Instance().SetSpeed(1.0f);
    const float frame = float(GetFrameMilliseconds());
    ModelSkeletal* m = f.model;
    auto* attachment = new world::Model();
    ASSERT_TRUE(m->BindAttachmentToSocket(attachment, 0, 0, false, 0));
    attachment->SetHideFlags(true, 2, true);
    struct Step {
        const char* label;
        int animation;
        float before;  // posed here, then one update
        bool hidden;
    };
    const Step steps[] = {
        {"another animation", 0, 477.0f, true},
        {"jump over the start", 1, 600.0f - frame, true},
        {"not yet", 1, 300.0f, true},
        {"passed during the frame", 1, 510.0f - frame, false},
        {"stays shown", 1, 700.0f - frame, false},
        {"another animation hides it", 0, 100.0f, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.label);
        if (m->GetCurrentAnimation(MeshBase::kSkeletal) != s.animation) {
            ASSERT_TRUE(m->PlaySkeletalAnimation(s.animation, 0.0f, 16, -1.0f, 1, 1.0f));
        }
        ASSERT_TRUE(m->SetAnimationTime(s.before, MeshBase::kSkeletal));
        m->Update();
        EXPECT_EQ(attachment->HasHideFlags(2), s.hidden) << m->GetAnimationTime(MeshBase::kSkeletal);
    }
    // Shown, it stands at the socket, which follows its bone.
    ASSERT_TRUE(m->PlaySkeletalAnimation(1, 0.0f, 16, -1.0f, 1, 1.0f));
    ASSERT_TRUE(m->SetAnimationTime(510.0f - frame, MeshBase::kSkeletal));
    m->Update();
    ASSERT_FALSE(attachment->HasHideFlags(2));
    Matrix bone, placed;
    ASSERT_TRUE(m->GetBoneWorldMatrix(2, bone, 2));
    attachment->GetLocalMatrix(placed);
    EXPECT_LT(test::MatrixError(placed, bone), 1e-5);
    EXPECT_TRUE(m->UnbindAttachmentFromSocket(attachment, false));
    delete attachment;
}

TEST(ModelSkeletal, TheShadowStaysUnderItsBoneAndAFailedChangeKeepsTheMesh) {
    struct Case {
        int bone;
        std::uint16_t kept;
    };
    for (const Case& c : {Case{3, 255}, Case{1, 1}}) {
        SCOPED_TRACE(c.bone);
        Rigged g;
        ASSERT_TRUE(g.model->CreateShadow(c.bone, nullptr));
        EXPECT_EQ(g.model->ShadowBone(), c.kept);
        // A decal made already stays as it is.
        ASSERT_TRUE(g.model->CreateShadow(2, nullptr));
        EXPECT_EQ(g.model->ShadowBone(), c.kept);
    }
    Rigged f;
    ModelSkeletal* m = f.model;
    ASSERT_TRUE(m->PlaySkeletalAnimation(1, 0.0f, 16, -1.0f, 1, 1.0f));
    MeshBase* before = m->GetMesh();
    EXPECT_FALSE(m->ChangeMeshFile("missing.mom"));
    EXPECT_EQ(m->GetMesh(), before);
    EXPECT_EQ(m->GetSkeletalMesh(), before);
    EXPECT_FALSE(m->UpdateEnabled()) << "no update until a change succeeds";
    EXPECT_TRUE(m->ChangeMeshFile("rig.mom"));
    EXPECT_TRUE(m->UpdateEnabled());
    m->Update();
    EXPECT_NE(m->GetAnimationTrack(0), nullptr) << "tracks rebuilt for the new mesh";
    // A copy shares the mesh and gets tracks of its own.
    ModelSkeletal* copy = world::CreateModelSkeletal();
    copy->CopyFrom(m);
    EXPECT_EQ(copy->GetMesh(), m->GetMesh());
    ASSERT_NE(copy->GetAnimationTrack(0), nullptr);
    EXPECT_NE(copy->GetAnimationTrack(0), m->GetAnimationTrack(0));
    delete static_cast<world::SpaceObject*>(copy);
}


// "stride" moves the object 1 along x in 100 ms, "glide" 1 along z, "still" not at all; both
// key tracks may continue one another (0x800). A stride-glide switch cross-fades 200 ms (type 3).
struct Tracked : Figure {
    Tracked() : Figure() {
        SkelAnimFileDesc file = MakeSkelAnimFile(0x40003, 3, 3);
        const char* names[] = {"stride", "glide", "still"};
        for (int i = 0; i < 3; ++i) {
            SkelAnimRecordDesc& r = file.records[std::size_t(i)];
            r.name = names[i];
            for (SkelTransitionDesc& t : r.transitions) t = {0, 0.0f, 1};
            if (i == 2) continue;
            r.hasPivotTrack = true;
            r.pivotTrack.channelFlags = 0x800;
            r.pivotTrack.times = {0, 100};
            TrackChannelDesc ch;
            ch.positions = {0, 0, 0, i == 0 ? 1.0f : 0.0f, 0, i == 1 ? 1.0f : 0.0f};
            ch.rotations = {0, 0, 0, 1, 0, 0, 0, 1};
            ch.scales.assign(6, 1.0f);
            r.pivotTrack.channels = {ch};
            r.transitions[std::size_t(1 - i)] = {3, 200.0f, 1};
        }
        file.records[0].events = {{0, "step"}, {2, "land"}};
        files->AddFile("tracked.ani", WriteSkelAnimFile(file));
        files->AddFile("tracked.mom", WriteMom(SkinnedMeshDesc(3, "tracked.ani")));
        EXPECT_TRUE(world::CreateModelForFile(model, "tracked.mom")) << fx.capture.Joined();
    }
    Vec3 Where() {
        Matrix local;
        model->GetLocalMatrix(local);
        return local.Row(3);
    }
};

TEST(ModelSkeletal, TheObjectCrossFadesOnTheSkeletonsTimer) {
    Tracked f;
    ModelSkeletal* m = f.model;
    MeshSkeletal* mesh = m->GetSkeletalMesh();
    ASSERT_TRUE(m->PlaySkeletalAnimation(0, 0.0f, 16, -1.0f, 1, 1.0f));
    for (int i = 0; i < 3; ++i) m->Update();
    // The caller's 400 ms stretch the skeleton's fade past the table's 200 ms: the object's
    // fade lasts as long, blending at the skeleton's factor in every update. (Started at 0,
    // glide does not continue stride's motion but fades in.)
    ASSERT_TRUE(m->PlaySkeletalAnimation(1, 400.0f, 16, 0.0f, 1, 1.0f));
    world::TrackSampled* stride = m->GetAnimationTrack(0);
    world::TrackSampled* glide = m->GetAnimationTrack(1);
    ASSERT_EQ(m->GetFadingTrack(), stride);
    int skeletonFades = 0, objectFades = 0;
    for (int i = 0; i < 60; ++i) {
        SCOPED_TRACE(i);
        m->Update();
        const float factor = mesh->State().LastCrossFadeFactor();
        skeletonFades += factor > 0.0f;
        objectFades += m->GetFadingTrack() != nullptr;
        ASSERT_EQ(m->GetFadingTrack() != nullptr, factor > 0.0f);
        if (factor <= 0.0f) continue;
        Matrix a, b;
        stride->GetTransformMatrix(a, false);
        glide->GetTransformMatrix(b, false);
        const Vec3 at = f.Where();
        EXPECT_NEAR(at.x, b.m[12] + (a.m[12] - b.m[12]) * factor, 1e-4f);
        EXPECT_NEAR(at.z, b.m[14] + (a.m[14] - b.m[14]) * factor, 1e-4f);
    }
    EXPECT_EQ(skeletonFades, 40) << "400 ms of 10 ms frames";
    EXPECT_EQ(objectFades, skeletonFades);
    EXPECT_EQ(m->GetBoundTrack(), glide);
}

TEST(ModelSkeletal, AContinuingTrackStartsOverOnlyWhenTheCallerGivesAStartTime) {
    struct Case {
        const char* label;
        int next;
        float start;
        bool sameTrackTime;  // the stride track keeps its time
        bool fades;          // the object cross-fades to the new track
    };
    const Case cases[] = {
        {"stride again goes on", 0, -1.0f, true, false},
        {"stride again from 0 starts over where the object stands", 0, 0.0f, false, false},
        {"glide continues stride's motion", 1, -1.0f, false, false},
        {"glide from 0 is a fresh start", 1, 0.0f, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Tracked f;
        ModelSkeletal* m = f.model;
        ASSERT_TRUE(m->PlaySkeletalAnimation(0, 0.0f, 16, -1.0f, 1, 1.0f));
        for (int i = 0; i < 4; ++i) m->Update();
        world::TrackSampled* stride = m->GetAnimationTrack(0);
        const float strideTime = stride->GetTime();
        const Vec3 before = f.Where();
        const Matrix strideBase = *stride->GetBaseMatrix();
        ASSERT_NEAR(before.x, 0.4f, 1e-4f);
        ASSERT_TRUE(m->PlaySkeletalAnimation(c.next, 0.0f, 16, c.start, 1, 1.0f));
        world::TrackSampled* now = m->GetAnimationTrack(c.next);
        EXPECT_EQ(m->GetBoundTrack(), now);
        EXPECT_EQ(m->GetFadingTrack() != nullptr, c.fades);
        if (c.next == 0) {
            EXPECT_EQ(stride->GetTime() == strideTime, c.sameTrackTime);
        }
        if (c.next == 1 && !c.fades) {
            EXPECT_EQ(*now->GetBaseMatrix(), strideBase) << "glide goes on from stride's base";
        }
        // Nothing jumps at the switch.
        EXPECT_LT(Vec3Length(f.Where() - before), 1e-4f);
        if (c.next == 0) {
            // 80 ms on: the going track wraps its 100 ms pass at 120 ms, the restarted one is
            // at 80 ms from 0.4.
            for (int i = 0; i < 8; ++i) m->Update();
            EXPECT_NEAR(f.Where().x, c.sameTrackTime ? 0.2f : 1.2f, 1e-4f);
        }
    }
}

TEST(ModelSkeletal, QueuedEventsAndObjectTrackDataAreReadInPlace) {
    Tracked f;
    ModelSkeletal* m = f.model;
    EXPECT_EQ(m->GetAnimationEventCount(), 0);
    EXPECT_EQ(m->GetAnimationEvent(0), nullptr);
    EXPECT_EQ(m->GetAnimationExtra(0xFFFF), nullptr) << "nothing plays";
    ASSERT_TRUE(m->PlaySkeletalAnimation(0, 0.0f, 16, -1.0f, 1, 1.0f));
    for (int i = 0; i < 21; ++i) m->Update();
    ASSERT_EQ(m->GetAnimationEventCount(), 2);
    EXPECT_STREQ(m->GetAnimationEvent(0), "step");
    EXPECT_STREQ(m->GetAnimationEvent(1), "land");
    EXPECT_EQ(m->GetAnimationEvent(2), nullptr);
    EXPECT_EQ(m->GetAnimationEvent(-1), nullptr);
    EXPECT_STREQ(m->PopAnimationEvent(), "step") << "reading left the queue as it was";
    EXPECT_EQ(m->GetAnimationEventCount(), 1);
    EXPECT_STREQ(m->GetAnimationEvent(0), "land");

    TrackData* stride = m->GetAnimationTrack(0)->Data();
    ASSERT_NE(stride, nullptr);
    struct Case {
        int index;
        TrackData* data;
    };
    const Case cases[] = {{0, stride}, {0xFFFF, stride}, {1, m->GetAnimationTrack(1)->Data()}, {2, nullptr},
                          {3, nullptr}, {-1, nullptr}, {0x10000, nullptr}};
    for (const Case& c : cases) EXPECT_EQ(m->GetAnimationExtra(c.index), c.data) << c.index;
    ASSERT_TRUE(m->PlaySkeletalAnimation(2, 0.0f, 16, -1.0f, 1, 1.0f));
    EXPECT_EQ(m->GetAnimationExtra(0xFFFF), nullptr) << "\"still\" has no key track";
}

// "boxed.mom": the figure's skinned mesh with stored bounds for walk.ani's two clips, key k of
// clip c a box of half size 1 centred at x = centreX(c, k).
void AddBoxedMesh(Figure& f, float (*centreX)(int clip, int key)) {
    const std::uint32_t hash = SkelAnimsDataMgr::GetInstance().GetOrLoad("walk.ani", nullptr)->contentHash;
    SkelAnimsDataMgr::GetInstance().Release(SkelAnimsDataMgr::GetInstance().GetOrLoad("walk.ani", nullptr));
    MeshDesc desc = SkinnedMeshDesc(3, "walk.ani");
    desc.skeleton.hasAnimationBounds = true;
    AnimationSetDesc set{"walk.ani", hash, {}};
    for (int a = 0; a < 2; ++a) {
        AnimationBoundsDesc frames;
        for (int k = 0; k < 4; ++k) frames.frames.push_back({centreX(a, k), 0, 0, 1, 1, 1, 1});
        set.animations.push_back(frames);
    }
    desc.skeleton.sets = {set};
    f.files->AddFile("boxed.mom", WriteMom(desc));
}

TEST(ModelSkeletal, BoundsFollowTheKeyOfTheAnimationTime) {
    Figure f;
    // Stored bounds of the same file are kept: key k's box is centred at x = 10k, half size 1.
    AddBoxedMesh(f, [](int, int key) { return 10.0f * float(key); });
    ModelSkeletal* m = f.model;
    ASSERT_TRUE(world::CreateModelForFile(m, "boxed.mom")) << f.fx.capture.Joined();
    ASSERT_EQ(m->GetSkeletalMesh()->ActionResult(), 1) << "stored bounds kept";
    Matrix placed = MatrixIdentity();
    placed.m[12] = 100.0f;
    m->SetLocalMatrix(placed);
    Vec3 centre, half;
    const Bounds still = m->GetSkeletalMesh()->GetFrameBounds(MeshSegment::kStaticFrame);
    m->GetWorldBound(&centre, nullptr, &half, 1);
    EXPECT_NEAR(centre.x, still.centre.x + 100.0f, 1e-4f) << "nothing plays: the file's bounds";
    ASSERT_TRUE(m->PlaySkeletalAnimation(0, 0.0f, 16, -1.0f, 0, 1.0f));
    struct Case {
        float time;
        float centreX;  // the union of the key's box and the next one's; the last key alone
        float halfX;
    };
    const Case cases[] = {{0.0f, 5.0f, 6.0f},   {150.0f, 15.0f, 6.0f},  {299.0f, 25.0f, 6.0f},
                          {300.0f, 30.0f, 1.0f}, {1000.0f, 30.0f, 1.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        m->GetWorldBoundAt(c.time, &centre, nullptr, &half, 2);
        EXPECT_NEAR(centre.x, c.centreX, 1e-4f);
        EXPECT_NEAR(half.x, c.halfX, 1e-4f);
        m->GetWorldBoundAt(c.time, &centre, nullptr, nullptr, 1);
        EXPECT_NEAR(centre.x, c.centreX + 100.0f, 1e-4f);
    }
    // A negative time and the slot itself: the current key.
    ASSERT_TRUE(m->SetAnimationTime(150.0f, MeshBase::kSkeletal));
    m->GetWorldBoundAt(-1.0f, &centre, nullptr, nullptr, 2);
    EXPECT_NEAR(centre.x, 15.0f, 1e-4f);
    m->GetWorldBound(&centre, nullptr, nullptr, 1);
    EXPECT_NEAR(centre.x, 115.0f, 1e-4f);
    // Parts: the sub-mesh record's bounds; none past the sub-meshes.
    float radius = -1.0f;
    m->GetPartWorldBound(1, &centre, &radius, nullptr, 2);
    EXPECT_EQ(radius, 0.0f);
}

}  // namespace

// A looping clip never ends: no end pending, never finished, and a sequence item that lasts
// until its clip finishes stays on a looping one; a clip played once ends once.
TEST(ModelSkeletal, OnlyAClipPlayedOnceEnds) {
    Rigged f;  // 10 ms frames; "stride" is a looping clip of 300 ms
    ModelSkeletal* m = f.model;
    struct Case {
        int loopFlags;
        int ends;
    };
    for (const Case c : {Case{1, 0}, Case{0, 1}}) {
        SCOPED_TRACE(c.loopFlags ? "looping" : "once");
        ASSERT_TRUE(m->PlayAnimationByName("stride", -1.0f, c.loopFlags));
        int ends = 0, finished = 0;
        for (int i = 0; i < 200; ++i) {
            m->Update();
            if (m->IsAnimationEndPending()) {
                ++ends;
                m->AcknowledgeSkeletalState();
            }
            if (m->IsAnimationFinished(MeshBase::kSkeletal)) ++finished;
        }
        EXPECT_EQ(ends, c.ends);
        if (c.ends == 0) EXPECT_EQ(finished, 0);
        else EXPECT_GT(finished, 100) << "finished from the end on";
    }
    ASSERT_TRUE(m->PlayAnimationSequence("looped"));
    for (int i = 0; i < 200; ++i) m->Update();
    EXPECT_TRUE(m->SequencePlaying());
    EXPECT_EQ(m->SequenceItem(), 0) << "the looping item still plays";
    EXPECT_EQ(m->GetCurrentAnimation(MeshBase::kSkeletal), 0);
}

namespace {

// While the body is split, the lower body's clip is in the model's bound with the upper one's.
TEST(ModelSkeletal, ASplitBodysBoundCoversBothClips) {
    Figure f;
    // Clip 0's keys stand around x = 10k, clip 1's (the striding legs) at x = -50.
    AddBoxedMesh(f, [](int clip, int key) { return clip == 0 ? 10.0f * float(key) : -50.0f; });
    ModelSkeletal* m = f.model;
    ASSERT_TRUE(world::CreateModelForFile(m, "boxed.mom")) << f.fx.capture.Joined();
    ASSERT_TRUE(m->PlaySkeletalAnimation(0, 0.0f, 16, -1.0f, 1, 1.0f));
    m->Update();
    Vec3 centre, half;
    m->GetWorldBound(&centre, nullptr, &half, 2);
    EXPECT_GT(centre.x - half.x, -2.0f) << "the current clip alone";
    ASSERT_TRUE(m->PlaySplitAnimation(true, 1, 0.0f, 1, 1.0f));
    m->Update();
    m->GetWorldBound(&centre, nullptr, &half, 2);
    EXPECT_NEAR(centre.x - half.x, -51.0f, 1e-3f) << "the lower body's clip";
    EXPECT_GE(centre.x + half.x, 1.0f) << "and the upper body's";
    ASSERT_TRUE(m->PlaySplitAnimation(false, 1, 0.0f, 1, 1.0f));
    m->Update();
    m->GetWorldBound(&centre, nullptr, &half, 2);
    EXPECT_GT(centre.x - half.x, -2.0f) << "the split is over";
}

}  // namespace
