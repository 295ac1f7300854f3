#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "world/mesh/MeshBase.h"
#include "world/skeleton/SkelAnimState.h"

namespace quor {

class MeshSkelSegment;
class MeshSkeletalData;

// The mesh of a skeletal model: its parts are skeletal mesh files that share one skeletal
// animation file, and it owns the skeletal playback. Every public operation runs under the
// mesh lock; kind 1 animation requests go to the playback, other kinds to the mesh base.
class MeshSkeletal : public Mesh {
public:
    static constexpr std::uint16_t kMaxHardwareBones = 80;
    static constexpr std::uint32_t kBindPoseVersion = 0x20010;

    explicit MeshSkeletal(d3d9::IDirect3DDevice9* device = nullptr);
    ~MeshSkeletal() override;

    void Destroy() override;
    bool LoadMeshFromMemory(const char* name, const void* data, std::size_t size) override;
    bool SetMeshData(MeshData* data) override;
    bool LoadMeshFile(const char* fileName) override;
    bool PrepareRender(const MeshDrawEntry& entry, const Matrix& world) override;
    bool HasAnimation(int kind) override;
    int GetAnimationCount(int kind) override;
    int GetCurrentAnimation(int kind) override;
    bool PlayAnimation(int index, int kind, float startTime, bool loop, std::uint32_t flags) override;
    void StopAnimation(int kind) override;
    bool IsAnimationPlaying(int kind) override;
    bool SetAnimationTime(float time, int kind) override;
    float GetAnimationTime(int kind) override;
    void SetAnimationSpeed(float speed, int kind) override;
    float GetAnimationSpeed(int kind) override;
    void SetAnimationReverse(bool reverse, int kind) override;
    bool IsAnimationReverse(int kind) override;
    void SetAnimationLoop(bool loop, int kind) override;
    bool IsAnimationLoop(int kind) override;
    float GetAnimationLength(int kind) override;
    bool IsAnimationFinished(int kind) override;
    // The union of the current animation's frame bounds over every part (the file's bounds
    // without an animation).
    void UpdateBounds() override;

    virtual bool PlaySkeletalAnimation(std::uint16_t global, float transitTime, std::uint32_t transitType,
                                       float startTime, std::uint8_t loopFlags, float speed);
    virtual bool PlaySplitAnimation(std::uint8_t enable, std::uint16_t global, float startTime,
                                    std::uint8_t loopFlags, float speed);
    virtual void SetSplitBoneMatrix(const float matrix[16]);
    // Equal bone counts and byte-equal parent arrays.
    virtual bool IsSkeletonCompatible(MeshSkeletal* other);

    // Requests naming one animation of a group of layered channels (index below 65535).
    bool IsSkeletalAnimationPlaying(std::uint16_t index);
    bool IsSkeletalAnimationFinished(std::uint16_t index);
    void SetSkeletalAnimationTime(float time, std::uint16_t index);

    // 1 attached (or attached before), 2 attached with the bounds recomputed, 0 not loaded,
    // -2 an old mesh skeleton meets a new animation file.
    int LoadActionFile(const char* fileName, std::int16_t slot, std::uint8_t rebuild);
    void RefreshHardwareSkinning();
    // The per-frame entry of the model's update; answers false.
    bool UpdateSkeletal(bool computePose, bool meshStep);

    // --- forwarders of the model ------------------------------------------------------------
    int FindAnimation(const char* name);
    int FindGroup(const char* name);
    bool PlayAnimationGroup(std::uint16_t group, float transitTime, std::uint32_t transitType, float speed);
    bool PlayGroupMembers(const AnimationGroupMember* members, std::uint32_t count, float transitTime,
                          std::uint32_t transitType, float speed);
    bool GetTransition(std::uint16_t from, std::uint16_t to, std::uint16_t* type, float* time, std::uint8_t* enabled);
    // Copied into the caller's buffer (empty for an index past the animations).
    std::string GetAnimationName(std::uint16_t global);
    // Copied: the text lives in shared animation data.
    bool PopEvent(std::string& event);
    // Queued event i (oldest first), left queued; false past the queue.
    bool GetQueuedEvent(std::size_t i, std::string& event);
    std::size_t GetQueuedEventCount();
    // The whole-mesh bounds at the key the current animation reaches at a time (ms; negative:
    // the current key); the static bounds without a current animation.
    Bounds GetAnimationFrameBounds(float time);
    // The bounds of sub-mesh i at that key.
    Bounds GetAnimationSubMeshBounds(std::uint32_t subMesh, float time);
    // The playback's cross-fade timer (ms): total and remaining.
    void GetTransitionTimer(float& total, float& remaining);
    bool ScalesBones();
    int FindBone(const char* name);
    std::string GetBoneName(std::uint32_t bone);
    bool GetBoneTransform(std::uint32_t bone, float* position, float* rotation, float* scale);
    void SetBoneTransform(std::uint32_t bone, float weight, const float* position, const float* rotation,
                          const float* scale);
    std::uint16_t GetBoneCount();
    std::uint8_t GetBoneParent(std::uint32_t bone);
    std::uint32_t GetBonePaletteSize();
    std::uint16_t GetBonePaletteEntry(std::uint32_t i);
    // The bone's matrix in model space; false for a bone past the skeleton.
    bool GetBoneMatrix(std::uint32_t bone, Matrix& out);
    bool LoadBodySplit(const char* iniFileName);
    bool SplitActive();
    std::uint16_t GetSocketAnimation(std::uint32_t socket);
    // The object key track of an animation (global index); null without one.
    TrackData* GetPivotTrack(std::uint16_t global);
    // Sequences of the current animation file; an item's animation index made global.
    int FindSequence(const char* name);
    bool GetSequenceItem(std::uint16_t sequence, std::uint16_t item, AnimationSequenceItem& out,
                         std::uint16_t* itemCount);
    // The transition settings between two animations (global indexes) of one file; false
    // when they are not of one file.
    bool GetGlobalTransition(std::uint16_t from, std::uint16_t to, float* time, std::uint8_t* enabled);

    // Tests and the model read the playback through the lock holder.
    SkelAnimState& State() { return m_state; }
    MeshSkelSegment* SkelPart(std::uint32_t i);
    std::int32_t ActionResult() const { return m_actionResult; }
    bool PlayFlag() const { return m_playFlag != 0; }
    const std::vector<Matrix>& BindMatrices() const { return m_bindMatrices; }

    // "%s%s.ini" of the folder and base name: the animation file's path without its drive and
    // with ".ini" for its extension.
    static std::string BodySplitName(const char* animationFile);

protected:
    bool UsesHardwareSkin() const override { return HardwareSkinned(); }

private:
    bool AddSegment(MeshData* data);
    bool AddMesh();
    // Links the data's sockets to bones and to this mesh's animations (once per data).
    void ResolveSockets(MeshSkeletalData& skeleton);
    MeshSkelSegment* CurrentSkelPart();
    void FillAllSkinningMatrices();
    // Bounds of every animation of the file in the slot, skinned aside; false when none.
    bool ComputeFileBounds(std::uint16_t slot, std::vector<std::vector<Bounds>>& out);

    SkelAnimState m_state;
    std::vector<Matrix> m_bindMatrices;
    std::int32_t m_actionResult = 1;
    std::set<std::string> m_actionFiles;
    std::uint8_t m_playFlag = 0;
    std::uint32_t m_playState = 0;
};

}  // namespace quor
