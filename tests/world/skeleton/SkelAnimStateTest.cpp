#include "world/skeleton/SkelAnimState.h"

#include <cmath>
#include <cstring>

#include "tests/world/skeleton/SkelTestSupport.h"
#include "world/core/Memory.h"
#include "world/core/NameHash64.h"

namespace {

using namespace quor;
using namespace quor::test;

// Bone0 (root) - Bone1 - Bone2, and "Bip01 Spine1" under Bone1.
const std::vector<std::string> kNames = {"Bone0", "Bone1", "Bone2", "Bip01 Spine1"};
const std::vector<std::uint8_t> kParents = {255, 0, 1, 1};

// A clip whose every bone sits at x = value(key) on every key: easy to read back.
SkelAnimRecordDesc Clip(const std::string& name, std::uint16_t keys, float spacing, float base,
                        const std::vector<std::string>& bones = kNames) {
    SkelAnimRecordDesc r = MakeSkelAnimRecord(name, keys, std::uint16_t(bones.size()), 0);
    r.boneNames = bones;
    r.times.clear();
    for (std::uint16_t k = 0; k < keys; ++k) r.times.push_back(spacing * float(k));
    for (auto& c : r.channels) {
        c = MakeTrackChannel(keys, true, false, false, 0, 0);
        for (std::uint16_t k = 0; k < keys; ++k) {
            c.positions[k * 3] = base + float(k);
            c.positions[k * 3 + 1] = 0;
            c.positions[k * 3 + 2] = 0;
        }
        c.rotations = {0, 0, 0, 1};
        c.scales = {1, 1, 1};
    }
    return r;
}

class SkelPlayback : public SkelTest {
protected:
    SkelPlayback() { state.reset(NewObject<SkelAnimState>()); }

    // A major-4 file of these records (transition tables when given) attached in slot 0.
    void Attach(std::vector<SkelAnimRecordDesc> records, bool transitions = false) {
        SkelAnimFileDesc file;
        file.version = 0x40003;
        file.transitionFlag = transitions ? 1 : 0;
        for (auto& r : records) {
            if (transitions && r.transitions.empty()) r.transitions.assign(records.size(), SkelTransitionDesc{});
        }
        file.records = std::move(records);
        AddFile("clips.san", WriteSkelAnimFile(file));
        std::vector<char> names(kNames.size() * 32, 0);
        for (std::size_t i = 0; i < kNames.size(); ++i) std::memcpy(&names[i * 32], kNames[i].data(), kNames[i].size());
        ASSERT_TRUE(state->SetSkeleton(kParents.data(), names.data(), std::uint16_t(kNames.size())));
        ASSERT_EQ(state->AttachAnimationFile("clips.san", 0x30000, 0, nullptr), 1);
        state->BindAnimationData(0);
    }
    float X(std::uint16_t bone) const { return state->PublishedPose()[bone].position.x; }

    std::unique_ptr<SkelAnimState> state;
};

TEST_F(SkelPlayback, SetSkeletonRefusesBrokenSkeletons) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> parents;
        bool ok;
    };
    std::vector<std::uint8_t> wide(256, 255);
    const Case cases[] = {
        {"chain", {255, 0, 1}, true},
        {"several roots", {255, 255, 0}, true},
        {"self parent", {255, 1, 0}, false},
        {"cycle", {255, 2, 1}, false},
        {"cycle without a root", {1, 0}, false},
        {"parent past the count", {255, 7}, false},
        {"256 bones", wide, false},
        {"no bones", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<char> names(c.parents.size() * 32 + 32, 0);
        EXPECT_EQ(state->SetSkeleton(c.parents.data(), names.data(), std::uint16_t(c.parents.size())), c.ok);
        EXPECT_EQ(state->BoneCount(), c.ok ? c.parents.size() : 0u);
    }
}

TEST_F(SkelPlayback, PlayCallsRefuseWhatCannotPlay) {
    SkelAnimRecordDesc empty = Clip("empty", 0, 100, 0);
    for (auto& c : empty.channels) c = MakeTrackChannel(0, false, false, false, 0, 0);
    Attach({Clip("walk", 4, 100, 0), empty, Clip("pose", 1, 100, 50)});
    EXPECT_FALSE(state->PlaySkeletalAnimation(65535, -1, 16, -1, 1, 1));  // nothing plays yet
    EXPECT_FALSE(state->PlaySkeletalAnimation(3, -1, 16, -1, 1, 1));
    EXPECT_FALSE(state->PlaySkeletalAnimation(1, -1, 16, -1, 1, 1));  // no keys
    EXPECT_EQ(state->GetCurrentAnimation(), 65535);
    // One key: posed at once, though its clock never runs.
    ASSERT_TRUE(state->PlaySkeletalAnimation(2, -1, 16, -1, 1, 1));
    EXPECT_FLOAT_EQ(X(2), 50.0f);
    EXPECT_FLOAT_EQ(state->BoneMatrix(2).m[12], 150.0f);  // three bones at x = 50 along the chain
    state->UpdateSkeletalAnimation(true);
    EXPECT_FLOAT_EQ(X(2), 50.0f);
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, -1, 1, 1));
    EXPECT_TRUE(state->PlaySkeletalAnimation(65535, -1, 16, -1, 1, 1));
    EXPECT_EQ(state->GetCurrentAnimation(), 0);
}

TEST_F(SkelPlayback, TransitionTimesAndTypes) {
    std::vector<SkelAnimRecordDesc> clips = {Clip("a", 5, 100, 0), Clip("b", 5, 100, 100)};
    clips[0].transitions = {{16, 0, 1}, {3, 200, 1}};
    clips[1].transitions = {{2, 120, 1}, {16, 0, 1}};
    Attach(clips, true);
    struct Case {
        const char* what;
        float time;
        std::uint32_t type;
        std::uint32_t expectType;
        float expectTime;
        bool previousPlays;
    };
    const Case cases[] = {
        {"-1 takes the table", -1.0f, 16, 3, 200, true},
        {"0 switches at once", 0.0f, 16, 3, 0, true},
        {"type 1 holds the old pose", 150.0f, 1, 1, 150, false},
        {"type 2", 150.0f, 2, 2, 150, false},
        {"type 3 plays on", 150.0f, 3, 3, 150, true},
        {"type 4 without markers is 3", 150.0f, 4, 3, 150, true},
        {"type 7 plays on as 3", 150.0f, 7, 7, 150, true},
        {"type 0: no cross-fade", 150.0f, 0, 0, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        state->ClearAnimationState();
        Attach(clips, true);
        ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, 100, 1, 1));  // first play: no cross-fade
        EXPECT_EQ(state->TransitionType(), 0u);
        ASSERT_TRUE(state->PlaySkeletalAnimation(1, c.time, c.type, -1, 1, 1));
        EXPECT_EQ(state->TransitionType(), c.expectType);
        EXPECT_FLOAT_EQ(state->TransitionTotal(), c.expectTime);
        EXPECT_FLOAT_EQ(state->TransitionRemaining(), c.expectTime);
        if (c.expectTime > 0) {
            EXPECT_EQ(state->PreviousChannel().clock.playing != 0, c.previousPlays);
        }
        state->UpdateSkeletalAnimation(true);
        if (c.expectTime == 0) {
            EXPECT_FLOAT_EQ(X(1), 100.0f + 0.1f);  // wholly the new clip after one 10 ms step
        } else {
            EXPECT_LT(X(1), 100.0f);  // still mostly the old pose
        }
    }
    // The same animation again with type 16: no cross-fade.
    state->ClearAnimationState();
    Attach(clips, true);
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, -1, 1, 1));
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, 100, 16, 50, 1, 1));
    EXPECT_EQ(state->TransitionType(), 0u);
}

TEST_F(SkelPlayback, MarkerTransitionLandsOnTheMatchingPhase) {
    SkelAnimRecordDesc a = Clip("a", 9, 100, 0);
    a.events = {{1, "morph: L"}, {5, "morph: R"}};
    SkelAnimRecordDesc b = Clip("b", 5, 100, 100);
    b.events = {{0, "morph: L"}, {2, "morph: R"}};
    Attach({a, b});
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, 300, 1, 1));
    ASSERT_TRUE(state->PlaySkeletalAnimation(1, 200, 4, -1, 1, 1));
    EXPECT_EQ(state->TransitionType(), 4u);
    // a stands halfway from L (100) to R (500); b lands halfway from its L (0) to its R (200),
    // and a runs twice as fast to stay in step.
    EXPECT_NEAR(state->CurrentChannel().clock.time, 100.0, 1e-3);
    EXPECT_NEAR(state->PreviousChannel().clock.speed, 2.0f, 1e-5f);
    EXPECT_TRUE(state->PreviousChannel().clock.playing);
    // Without a common label the switch plays on as type 3.
    SkelAnimRecordDesc c = Clip("c", 5, 100, 100);
    c.events = {{1, "morph: X"}};
    state->ClearAnimationState();
    Attach({a, c});
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, 300, 1, 1));
    ASSERT_TRUE(state->PlaySkeletalAnimation(1, 200, 16, -1, 1, 1));
    EXPECT_EQ(state->TransitionType(), 3u);
}

TEST_F(SkelPlayback, SyncOfZeroLengthsAndDistancesRunsAtOneToOne) {
    SkelAnimRecordDesc a = Clip("a", 4, 100, 0);
    a.events = {{1, "morph: L"}};
    SkelAnimRecordDesc b = Clip("b", 2, 0, 0);  // both keys at 0: length 0
    b.events = {{0, "morph: L"}};
    Attach({a, b});
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, 150, 1, 1));
    AnimationChannel x = state->CurrentChannel();
    AnimationChannel y = state->CurrentChannel();
    y.animation = 1;
    const float s = state->Sync(x, y);
    EXPECT_TRUE(std::isfinite(s));
    EXPECT_TRUE(std::isfinite(x.clock.time));
}

TEST_F(SkelPlayback, GroupWeightsPrioritiesAndSync) {
    std::vector<SkelAnimRecordDesc> clips = {Clip("a", 5, 100, 0), Clip("b", 5, 100, 100), Clip("c", 3, 100, 1000),
                                             Clip("arm", 5, 100, 500, {"Bone2"})};
    clips[3].pivotBoneName = "Bone2";
    Attach(clips);
    auto member = [](std::uint16_t a, float w, std::uint16_t p = 0, std::int32_t sync = -1, float rate = 1.0f) {
        AnimationGroupMember m;
        m.animation = a;
        m.weight = w;
        m.priority = p;
        m.syncTo = sync;
        m.speedRate = rate;
        return m;
    };
    // Weights 1 and 3: a quarter and three quarters.
    AnimationGroupMember avg[] = {member(0, 1), member(1, 3)};
    ASSERT_TRUE(state->PlayGroupMembers(avg, 2, -1, 16, 1));
    state->UpdateSkeletalAnimation(true);
    EXPECT_NEAR(X(1), 0.25f * 0.1f + 0.75f * 100.1f, 1e-3f);
    // A higher priority overrides.
    AnimationGroupMember over[] = {member(0, 1), member(1, 1, 1)};
    state->ClearAnimationState();
    Attach(clips);
    ASSERT_TRUE(state->PlayGroupMembers(over, 2, -1, 16, 1));
    state->UpdateSkeletalAnimation(true);
    EXPECT_NEAR(X(1), 100.1f, 1e-3f);
    // A partial clip drives only its subtree; weight -0.5 counts as 0.
    AnimationGroupMember partial[] = {member(0, 1), member(3, 1, 1), member(1, -0.5f)};
    state->ClearAnimationState();
    Attach(clips);
    ASSERT_TRUE(state->PlayGroupMembers(partial, 3, -1, 16, 1));
    state->UpdateSkeletalAnimation(true);
    EXPECT_NEAR(X(2), 500.1f, 1e-3f);
    EXPECT_NEAR(X(1), 0.1f, 1e-3f);
    bool zero = false;
    for (const auto& l : state->Layers()) zero |= l.animation == 1 && l.blendWeight == 0.0f;
    EXPECT_TRUE(zero || (state->CurrentChannel().animation == 1 && state->CurrentChannel().blendWeight == 0.0f));
    // Sync-to: a member follows its target's pace; self and cycles keep their own rate.
    struct SyncCase {
        const char* what;
        std::vector<AnimationGroupMember> members;
        std::uint16_t probe;
        float speed;
    };
    const SyncCase syncs[] = {
        {"to a longer clip", {member(0, 1, 0, -1, 2.0f), member(2, 1, 0, 0)}, 2, 2.0f * 200.0f / 400.0f},
        {"to itself", {member(0, 1, 0, -1, 2.0f), member(2, 1, 0, 1, 3.0f)}, 2, 3.0f},
        {"cycle", {member(0, 1, 0, 1, 1.5f), member(2, 1, 0, 0, 3.0f)}, 2, 3.0f},
    };
    for (const SyncCase& c : syncs) {
        SCOPED_TRACE(c.what);
        state->ClearAnimationState();
        Attach(clips);
        ASSERT_TRUE(state->PlayGroupMembers(c.members.data(), std::uint32_t(c.members.size()), -1, 16, 1));
        float speed = -1;
        if (state->CurrentChannel().animation == c.probe) speed = state->CurrentChannel().clock.speed;
        for (const auto& l : state->Layers())
            if (l.animation == c.probe) speed = l.clock.speed;
        EXPECT_NEAR(speed, c.speed, 1e-5f);
    }
}

TEST_F(SkelPlayback, StoppedLayerFadesOutIn333Ms) {
    std::vector<SkelAnimRecordDesc> clips = {Clip("base", 5, 100, 0), Clip("short", 3, 100, 100)};
    clips[1].loop = 0;
    Attach(clips);
    AnimationGroupMember m[2];
    m[0].animation = 0;
    m[1].animation = 1;
    m[1].loop = 0;
    m[1].priority = 1;
    ASSERT_TRUE(state->PlayGroupMembers(m, 2, -1, 16, 1));
    ASSERT_EQ(state->Layers().size(), 1u);
    EXPECT_TRUE(state->IsAnimationPlaying(1));
    int frames = 0;
    bool checked = false;
    while (!state->Layers().empty() && frames < 200) {
        // Updates without a pose move clocks and fades on all the same.
        state->UpdateSkeletalAnimation(frames % 2 == 0);
        ++frames;
        if (!checked && !state->Layers().empty() && !state->Layers()[0].clock.playing) {
            // Fading out: the layer answers for its animation, no longer playing.
            EXPECT_FALSE(state->IsAnimationPlaying(1));
            EXPECT_TRUE(state->IsAnimationFinished(1));
            EXPECT_FALSE(state->IsAnimationFinished(0));
            EXPECT_TRUE(state->IsAnimationFinished(2));  // played by no channel
            checked = true;
        }
    }
    EXPECT_TRUE(checked);
    // 200 ms of clip, then a fade from 1.0 by 0.03 per 10 ms frame.
    EXPECT_GE(frames, 20 + 33);
    EXPECT_LE(frames, 20 + 36);
}

TEST_F(SkelPlayback, SeventeenEventsInOneUpdateKeepSixteen) {
    SkelAnimRecordDesc r = Clip("busy", 40, 10, 0);
    for (std::uint16_t k = 0; k < 39; ++k) r.events.push_back({k, "e" + std::to_string(k)});
    Attach({r});
    SetFrameStep(195);
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, -1, 1, 1));
    state->UpdateSkeletalAnimation(true);
    ASSERT_EQ(state->EventIdCount(), 16u);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(state->EventId(i), std::uint32_t(NameHash64(("e" + std::to_string(i)).c_str())));
    }
    EXPECT_EQ(state->QueuedEvents(), 16u);
    state->UpdateSkeletalAnimation(true);
    EXPECT_EQ(state->QueuedEvents(), 16u);  // the oldest went
    const char* first = state->PopEvent();
    ASSERT_NE(first, nullptr);
    EXPECT_STRNE(first, "e0");
    while (state->PopEvent()) {
    }
    EXPECT_EQ(state->PopEvent(), nullptr);
}

TEST_F(SkelPlayback, SetBoneTransformWeights) {
    Attach({Clip("a", 5, 100, 0)});
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, -1, 1, 1));
    state->UpdateSkeletalAnimation(true);
    const float p[3] = {10, 0, 0};
    state->SetBoneTransform(1, 0.00005f, p, nullptr, nullptr);  // too light: ignored
    EXPECT_NEAR(X(1), 0.1f, 1e-4f);
    state->SetBoneTransform(9, 1, p, nullptr, nullptr);  // no such bone
    state->SetBoneTransform(1, 0.5f, p, nullptr, nullptr);
    EXPECT_NEAR(X(1), 5.05f, 1e-4f);
    EXPECT_NEAR(state->BoneMatrix(2).m[12], 0.1f + 5.05f + 0.1f, 1e-4f);  // the subtree follows
    state->SetBoneTransform(1, 1.0f, p, nullptr, nullptr);
    EXPECT_NEAR(X(1), 10.0f, 1e-4f);
    float out[3] = {};
    ASSERT_TRUE(state->GetBoneTransform(1, out, nullptr, nullptr));
    EXPECT_FLOAT_EQ(out[0], 10.0f);
    state->UpdateSkeletalAnimation(true);  // the animation pose is published again
    EXPECT_NEAR(X(1), 0.2f, 1e-4f);
}

TEST_F(SkelPlayback, ReattachingASlotReleasesTheOldFile) {
    Attach({Clip("a", 5, 100, 0)});
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, -1, 1, 1));
    SkelAnimsData* old = state->Data(0);
    AddFile("other.san", WriteSkelAnimFile(MakeSkelAnimFile(0x40003, 2, 1)));
    ASSERT_EQ(state->AttachAnimationFile("other.san", 0x30000, 0, nullptr), 1);
    EXPECT_NE(state->Data(0), old);
    EXPECT_EQ(SkelAnimsDataMgr::GetInstance().Count(), 1u);  // the old file's one reference went back
    EXPECT_EQ(state->GetCurrentAnimation(), 65535);
    // An old mesh skeleton refuses a new file and keeps nothing of it.
    EXPECT_EQ(state->AttachAnimationFile("other.san", 0x20000, 1, nullptr), -2);
    EXPECT_EQ(state->Data(1), nullptr);
    EXPECT_EQ(state->AttachAnimationFile("none.san", 0x30000, 2, nullptr), 0);
    state->ClearAnimationState();
    EXPECT_EQ(SkelAnimsDataMgr::GetInstance().Count(), 0u);
}


TEST_F(SkelPlayback, SpeedBoundAndReplays) {
    Attach({Clip("a", 5, 100, 0), Clip("b", 5, 100, 100)});
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, -1, 0, 1));
    state->SetAnimationSpeed(0.0f);  // ignored
    EXPECT_FLOAT_EQ(state->GlobalSpeed(), 1.0f);
    state->SetAnimationSpeed(9.0f);
    EXPECT_FLOAT_EQ(state->GlobalSpeed(), 4.0f);
    EXPECT_FLOAT_EQ(state->CurrentChannel().clock.speed, 4.0f);
    state->SetAnimationSpeed(1.0f);
    state->UpdateSkeletalAnimation(true);
    // Bone positions: x = 0.1 per bone along the chain, the spine beside Bone2.
    Vec3 centre, half;
    state->GetSkeletonBound(centre, half);
    EXPECT_NEAR(centre.x, (0.1f + 0.3f) * 0.5f, 1e-4f);
    EXPECT_NEAR(half.x, 0.1f * 1.1f, 1e-4f);
    EXPECT_NEAR(half.y, 0.01f, 1e-4f);
    // Playing the same clip again without a start time lets it run on ...
    const double before = state->CurrentChannel().clock.time;
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, -1, 0, 1));
    EXPECT_DOUBLE_EQ(state->CurrentChannel().clock.time, before);
    // ... and once it has ended, restarts it from 0.
    for (int i = 0; i < 60; ++i) state->UpdateSkeletalAnimation(true);
    EXPECT_TRUE(state->IsAnimationFinished(65535));
    EXPECT_FALSE(state->IsAnimationPlaying(65535));
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, -1, 0, 1));
    EXPECT_DOUBLE_EQ(state->CurrentChannel().clock.time, 0.0);
    EXPECT_TRUE(state->IsAnimationPlaying(65535));
    // A start time seeks; the key before is the last handled event key.
    ASSERT_TRUE(state->PlaySkeletalAnimation(1, 0, 16, 200, 1, 1));
    EXPECT_EQ(state->CurrentChannel().key, 2);
    EXPECT_EQ(state->CurrentChannel().eventKey, 1);
    EXPECT_FLOAT_EQ(state->GetAnimationTime(), 200.0f);
    state->SetAnimationTime(250.0f, 65535);
    EXPECT_EQ(state->CurrentChannel().key, 2);
    EXPECT_FLOAT_EQ(state->GetAnimationLength(), 400.0f);
}

TEST_F(SkelPlayback, MarkerSwitchKeepsTheOldClipInStep) {
    SkelAnimRecordDesc a = Clip("a", 9, 100, 0);
    a.events = {{1, "morph: L"}, {5, "morph: R"}};
    SkelAnimRecordDesc b = Clip("b", 5, 100, 100);
    b.events = {{0, "morph: L"}, {2, "morph: R"}};
    Attach({a, b});
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, 300, 1, 1));
    ASSERT_TRUE(state->PlaySkeletalAnimation(1, 5000, 4, -1, 1, 1));
    // Whenever b passes one of its markers, a is re-timed onto its own marker of that label.
    int checks = 0;
    for (int i = 0; i < 80; ++i) {
        const std::uint16_t before = state->CurrentChannel().key;
        state->UpdateSkeletalAnimation(true);
        const std::uint16_t key = state->CurrentChannel().key;
        if (key != before && (key == 0 || key == 2) && state->CurrentChannel().fraction < 0.2f) {
            const double tb = state->CurrentChannel().clock.time;
            const double ta = state->PreviousChannel().clock.time;
            // b: L at 0, R at 200, length 400; a: L at 100, R at 500, length 800.
            const double phaseB = key == 0 ? tb : tb - 200.0;
            const double phaseA = key == 0 ? ta - 100.0 : ta - 500.0;
            const double spanB = 200.0, spanA = 400.0;
            EXPECT_NEAR(phaseA / spanA, phaseB / spanB, 0.05) << i;
            ++checks;
        }
    }
    EXPECT_GT(checks, 2);
    EXPECT_EQ(state->TransitionType(), 4u);
}

class SkelBodySplit : public SkelPlayback {};

TEST_F(SkelBodySplit, IniSetsAndSampling) {
    Attach({Clip("up", 5, 100, 0), Clip("down", 5, 100, 100)});
    AddFile("split.ini", WriteBodySplitIni({{"0", "Bone2"}, {"1", "Bip01 Spine1"}, {"3", "Bone0"}},
                                           {{"0", "Bone0"}, {"1", "Nobody"}}));
    ASSERT_TRUE(state->LoadBodySplit("split.ini"));
    EXPECT_EQ(state->SplitBone(), 3);
    EXPECT_TRUE(state->InUpperSet(2));
    EXPECT_TRUE(state->InUpperSet(3));
    EXPECT_FALSE(state->InUpperSet(0));  // key "3" follows a gap
    EXPECT_TRUE(state->InLowerSet(0));
    EXPECT_FALSE(state->InLowerSet(1));
    ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1, 16, -1, 1, 1));
    state->UpdateSkeletalAnimation(true);
    ASSERT_TRUE(state->PlaySplitAnimation(1, 1, -1, 1, 1));
    state->UpdateSkeletalAnimation(true);
    EXPECT_NEAR(X(2), 0.2f, 1e-4f);    // upper: the current clip
    EXPECT_NEAR(X(0), 100.1f, 1e-4f);  // lower: the split clip
    EXPECT_NEAR(X(1), 0.1f, 1e-4f);    // neither: keeps its last pose
    // The split-bone matrix turns what hangs below the split bone.
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 5, 0, 1};
    state->SetSplitBoneMatrix(m);
    state->UpdateSkeletalAnimation(true);
    EXPECT_NEAR(state->BoneMatrix(3).m[13], 5.0f, 1e-4f);
    EXPECT_NEAR(state->BoneMatrix(2).m[13], 0.0f, 1e-4f);
    // Off at once; every bone back with the current clip on the next update.
    ASSERT_TRUE(state->PlaySplitAnimation(0, 1, -1, 1, 1));
    EXPECT_FALSE(state->SplitActive());
    state->UpdateSkeletalAnimation(true);
    EXPECT_NEAR(X(0), 0.4f, 1e-4f);
    // An index that resolves to nothing: false, split off.
    EXPECT_FALSE(state->PlaySplitAnimation(1, 40, -1, 1, 1));
    EXPECT_FALSE(state->SplitActive());
}

TEST_F(SkelBodySplit, NoSplitBoneMeansNoExtraMatrix) {
    Attach({Clip("up", 5, 100, 0)});
    AddFile("split.ini", WriteBodySplitIni({{"0", "Bone2"}}, {}));
    EXPECT_FALSE(state->LoadBodySplit("missing.ini"));
    std::vector<char> names(3 * 32, 0);
    std::memcpy(&names[0], "A", 1);
    std::memcpy(&names[32], "B", 1);
    std::memcpy(&names[64], "C", 1);
    const std::uint8_t parents[] = {255, 0, 1};
    ASSERT_TRUE(state->SetSkeleton(parents, names.data(), 3));
    ASSERT_TRUE(state->LoadBodySplit("split.ini"));
    EXPECT_EQ(state->SplitBone(), 65535);
}

TEST_F(SkelBodySplit, SetsComeFromTheSkeletonNotTheFirstClip) {
    // The first clip knows one bone only; the sets still name skeleton bones.
    Attach({Clip("arm", 3, 100, 0, {"Bone2"}), Clip("all", 3, 100, 0)});
    AddFile("split.ini", WriteBodySplitIni({{"0", "Bone0"}, {"1", "Bone1"}}, {{"0", "Bip01 Spine1"}}));
    ASSERT_TRUE(state->LoadBodySplit("split.ini"));
    EXPECT_EQ(state->SplitBone(), 3);
    EXPECT_TRUE(state->InUpperSet(0));
    EXPECT_TRUE(state->InUpperSet(1));
    EXPECT_FALSE(state->InUpperSet(2));
    EXPECT_TRUE(state->InLowerSet(3));
}

}  // namespace
