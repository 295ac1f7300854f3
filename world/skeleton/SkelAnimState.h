#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "world/core/Align16.h"
#include "world/core/PlayClock.h"
#include "world/core/math/Matrix.h"
#include "world/core/track/TransformKey.h"
#include "world/skeleton/SkelAnimsData.h"

namespace quor {

// One playing animation: its clock, the key it stands at, its weight in a group and its pose.
struct AnimationChannel {
    AnimationChannel() { clock.playing = 0; }

    std::uint16_t dataIndex = 0;
    std::uint16_t animation = 65535;  // inside its data; 65535: none
    PlayClock clock;
    float speedRate = 1.0f;
    std::uint16_t key = 0;
    std::uint16_t eventKey = 0;
    float fraction = 0.0f;
    std::uint16_t markerPosition = 0;
    std::uint8_t wholeBody = 0;
    std::uint32_t partMask = 7;
    float blendWeight = 1.0f;
    std::int32_t priority = 0;
    float fade = 0.0f;
    std::vector<TransformKey> pose;  // layered channels only
};

// The skeletal playback of one skeletal mesh: the skeleton's links, the attached animation
// files, the current, previous (cross-fade source) and split channels, layered channels of
// groups, key events, the upper/lower body split and the bone matrices. Not locked: the owning
// mesh calls it under its own lock.
class SkelAnimState : public Align16 {
public:
    static constexpr std::uint16_t kNone = 65535;
    static constexpr std::uint8_t kNoBone = 255;
    static constexpr std::uint16_t kMaxBones = 255;
    static constexpr std::size_t kMaxEvents = 16;
    static constexpr std::size_t kEventIdSlots = 17;
    static constexpr std::size_t kMaxLayers = 16;
    static constexpr std::size_t kReservedFiles = 8;

    SkelAnimState();
    ~SkelAnimState();
    SkelAnimState(const SkelAnimState&) = delete;
    SkelAnimState& operator=(const SkelAnimState&) = delete;

    // --- skeleton and files ---------------------------------------------------------------
    // Refuses (false, no skeleton) more than 255 bones, a parent at or above the count, and
    // parent chains that loop.
    bool SetSkeleton(const std::uint8_t* parents, const char* names, std::uint16_t count);
    // 1 attached; 0 the file did not load; -2 an old mesh skeleton (below 0x20010) meets a file
    // from 0x30004 on.
    int AttachAnimationFile(const char* fileName, std::uint32_t meshSkeletonVersion, std::int16_t slot,
                            const char* pivotName);
    // Bone tables and start bones of every animation of the file in that slot.
    void BindAnimationData(std::uint16_t slot);
    void ClearAnimationState();

    bool ResolveAnimation(std::uint16_t global, std::uint16_t& data, std::uint16_t& animation) const;
    // All animations of all attached files.
    int GetAnimationCount() const;
    std::int16_t FindAnimation(const char* name) const;
    std::int16_t FindGroup(const char* name) const;

    // --- playing ----------------------------------------------------------------------------
    bool PlaySkeletalAnimation(std::uint16_t global, float transitTime, std::uint32_t transitType, float startTime,
                               std::uint8_t loopFlags, float speed);
    bool PlayAnimationGroup(std::uint16_t group, float transitTime, std::uint32_t transitType, float speed);
    // Members name global animation indexes.
    bool PlayGroupMembers(const AnimationGroupMember* members, std::uint32_t count, float transitTime,
                          std::uint32_t transitType, float speed);
    bool PlaySplitAnimation(std::uint8_t enable, std::uint16_t global, float startTime, std::uint8_t loopFlags,
                            float speed);
    void SetSplitBoneMatrix(const float matrix[16]);
    bool LoadBodySplit(const char* iniFileName);
    void UpdateSkeletalAnimation(bool computePose);

    void SetAnimationSpeed(float speed);
    std::uint16_t GetCurrentAnimation() const;
    float GetAnimationLength() const;
    bool IsAnimationPlaying(std::uint16_t global) const;
    bool IsAnimationFinished(std::uint16_t global) const;
    void SetAnimationTime(float time, std::uint16_t global);
    float GetAnimationTime() const;
    void SetAnimationLoop(bool loop);
    bool IsAnimationLoop() const;

    // The mesh's own posing: the current channel set to an animation of a file, posed at one
    // of its keys (the bone matrices rebuilt), and cleared again.
    bool SetCurrentChannel(std::uint16_t data, std::uint16_t animation, float startTime);
    bool PoseCurrentAtKey(std::uint16_t key);
    void ClearCurrentAnimation() { m_current.animation = kNone; }
    // Keys of the current channel's animation (0 without one).
    std::uint16_t CurrentKeyCount() const;
    // Keys of a channel's animation (0 without one).
    std::uint16_t KeyCountOf(const AnimationChannel& c) const;
    // The key of the current animation at a time (ms, clamped to its length); the current key
    // for a negative time. kNone without a current animation.
    std::uint16_t CurrentKeyAt(float time) const;
    AnimationChannel& MutableCurrentChannel() { return m_current; }

    // --- bones ------------------------------------------------------------------------------
    bool GetBoneTransform(std::uint32_t bone, float* position, float* rotation, float* scale) const;
    void SetBoneTransform(std::uint32_t bone, float weight, const float* position, const float* rotation,
                          const float* scale);
    // Centre and half extents of the box around every bone position.
    void GetSkeletonBound(Vec3& centre, Vec3& halfExtents);
    std::uint16_t FindBone(const char* name) const;
    const char* GetBoneName(std::uint32_t bone) const;
    void RebuildMatrices();
    const char* PopEvent();
    // Queued event i, oldest first, left in the queue; null past the queue.
    const char* QueuedEvent(std::size_t i) const;

    // --- what the mesh and the tests read ---------------------------------------------------
    std::uint16_t BoneCount() const { return m_boneCount; }
    const Matrix& BoneMatrix(std::uint16_t bone) const { return m_boneMatrices[bone]; }
    const TransformKey* PublishedPose() const { return m_published; }
    const AnimationChannel& CurrentChannel() const { return m_current; }
    const AnimationChannel& PreviousChannel() const { return m_previous; }
    const AnimationChannel& SplitChannel() const { return m_split; }
    const std::vector<AnimationChannel>& Layers() const { return m_layers; }
    std::uint32_t TransitionType() const { return m_transitionType; }
    float TransitionTotal() const { return m_transitionTotal; }
    float TransitionRemaining() const { return m_transitionRemaining; }
    // The factor the last update blended the old pose in with (0 without a cross-fade).
    float LastCrossFadeFactor() const { return m_lastFadeFactor; }
    float GlobalSpeed() const { return m_globalSpeed; }
    std::size_t EventIdCount() const { return m_eventIdCount; }
    std::uint32_t EventId(std::size_t i) const { return m_eventIds[i % kEventIdSlots]; }
    std::size_t QueuedEvents() const { return m_eventQueueCount; }
    std::size_t FileCount() const { return m_datas.size(); }
    SkelAnimsData* Data(std::uint16_t slot) const { return slot < m_datas.size() ? m_datas[slot] : nullptr; }
    std::uint16_t SplitBone() const { return m_splitBone; }
    bool SplitActive() const { return m_splitActive != 0; }
    bool InUpperSet(std::uint16_t bone) const { return bone < 256 && m_upper[bone]; }
    bool InLowerSet(std::uint16_t bone) const { return bone < 256 && m_lower[bone]; }

    // Marker synchronisation: re-times a so that it runs in phase with b; answers b's clock
    // speed times the ratio used.
    float Sync(AnimationChannel& a, AnimationChannel& b);

private:
    struct BoneLink {
        std::uint8_t parent = kNoBone;
        std::uint8_t nextSibling = kNoBone;
        std::uint8_t firstChild = kNoBone;
        std::uint8_t spare = kNoBone;
    };
    // Per animation: the channel of each skeleton bone (kNone: none) and the start bone.
    struct Binding {
        std::vector<std::uint16_t> table;
        std::uint8_t startBone = kNoBone;
        std::uint8_t wholeBody = 1;
    };

    const SkelAnimation* AnimationOf(const AnimationChannel& c) const;
    const Binding* BindingOf(const AnimationChannel& c) const;
    std::uint16_t GlobalOf(const AnimationChannel& c) const;
    std::uint16_t DataOffset(std::uint16_t data) const;
    // Points a channel at an animation; false for an animation without keys.
    bool SetChannel(AnimationChannel& c, std::uint16_t data, std::uint16_t animation, float startTime,
                    TransformKey* pose);
    void ApplyLoopFlags(AnimationChannel& c, std::uint8_t loopFlags) const;
    void FindChannelKey(AnimationChannel& c) const;
    void AdjustEventKeyAfterSeek(AnimationChannel& c) const;
    void SampleChannel(const AnimationChannel& c, TransformKey* pose, float* accumulate, int splitPart) const;
    void SampleLayered(AnimationChannel& current, std::vector<AnimationChannel>& layers, TransformKey* pose,
                       bool advanceLayers);
    void BlendLayer(const AnimationChannel& c, float w, TransformKey* pose) const;
    void StartCrossFade(std::uint32_t type, float time);
    void TransitionDefaults(std::uint32_t& type, float& time) const;
    void CopyToPrevious();
    void WalkEvents();
    void RebuildSubtree(std::uint16_t bone);
    void ComposeBone(std::uint16_t bone, const TransformKey* pose);
    void ResetChannel(AnimationChannel& c) const;
    // Range of the preorder walk that is bone's subtree.
    std::size_t SubtreeBegin(std::uint16_t bone) const { return m_walkPos[bone]; }
    std::size_t SubtreeEnd(std::uint16_t bone) const { return m_walkPos[bone] + m_subtreeSize[bone]; }
    bool WritesBone(std::uint16_t bone, int splitPart) const;
    void ClearEvents();

    std::vector<SkelAnimsData*> m_datas;
    std::vector<std::vector<Binding>> m_bindings;  // per data slot, per animation

    std::uint16_t m_boneCount = 0;
    std::vector<BoneLink> m_links;
    std::vector<char> m_boneNames;  // m_boneCount x 32
    std::vector<std::uint8_t> m_walk;       // every root's subtree, preorder (parents first)
    std::vector<std::uint16_t> m_walkPos;   // position of each bone in m_walk
    std::vector<std::uint16_t> m_subtreeSize;
    std::uint8_t m_walkOrderFirst = kNoBone;  // 255 when the skeleton has several roots
    std::unique_ptr<Matrix[]> m_boneMatrices;
    std::vector<TransformKey> m_pose;          // the animation pose
    std::vector<TransformKey> m_previousPose;  // the cross-fade source
    std::vector<TransformKey> m_overridePose;  // SetBoneTransform's copy
    const TransformKey* m_published = nullptr;
    bool m_overrideMarked = false;
    bool m_boundValid = false;
    Vec3 m_boundCentre{0, 0, 0};
    Vec3 m_boundHalf{0, 0, 0};

    AnimationChannel m_current;
    AnimationChannel m_previous;
    AnimationChannel m_split;
    std::vector<AnimationChannel> m_layers;
    std::vector<AnimationChannel> m_previousLayers;
    float m_globalSpeed = 1.0f;
    std::uint32_t m_transitionType = 0;
    float m_transitionTotal = 0.0f;
    float m_transitionRemaining = 0.0f;
    float m_lastFadeFactor = 0.0f;
    bool m_suppressCrossFade = true;
    std::int32_t m_groupPriority = 0;
    std::vector<float> m_accumulated;  // 3 per bone: position, rotation, scale

    const char* m_eventQueue[kMaxEvents] = {};
    std::size_t m_eventQueueFirst = 0;
    std::size_t m_eventQueueCount = 0;
    std::uint32_t m_eventIds[kEventIdSlots] = {};
    std::size_t m_eventIdCount = 0;

    // Upper/lower body split.
    bool m_upper[256] = {};
    bool m_lower[256] = {};
    std::uint16_t m_splitBone = kNone;
    Matrix m_splitBoneMatrix;
    std::uint8_t m_splitActive = 0;
    std::uint8_t m_splitSampling = 1;
};

}  // namespace quor
