#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "world/core/SharedObject.h"
#include "world/core/math/Matrix.h"
#include "world/skeleton/SkelAnimation.h"

namespace quor::common {
class IXmlNode;
}

namespace quor {

constexpr std::uint32_t kSkelAnimMagic = 0x53494752;  // "RGIS"
constexpr std::uint32_t kSkelAnimOldestVersion = 0x20000;
constexpr std::uint32_t kSkelAnimNewestVersion = 0x40003;
constexpr std::size_t kSkelAnimMinSize = 40;

struct AnimationGroupMember {
    std::uint16_t animation = 65535;
    std::uint16_t priority = 0;
    float weight = 1.0f;
    std::uint8_t loop = 1;
    float startTime = -1.0f;
    std::int32_t syncTo = -1;
    float speedRate = 1.0f;
};

struct AnimationGroup {
    char name[32] = {};
    std::vector<AnimationGroupMember> members;
};

struct AnimationSequenceItem {
    std::uint16_t index = 65535;
    std::uint8_t isGroup = 0;
    float speedRate = 1.0f;
    float duration = 0.0f;
    std::uint32_t transitType = 16;
    float transitTimeLength = -1.0f;
};

struct AnimationSequence {
    char name[32] = {};
    std::vector<AnimationSequenceItem> items;
};

// One loaded skeletal animation file ("RGIS"): the bind matrices of older files, the animation
// records, the content hash and the groups and sequences of its ".ags" companion. Shared
// read-only through SkelAnimsDataMgr once loaded.
class SkelAnimsData : public SharedObject {
public:
    SkelAnimsData() = default;
    ~SkelAnimsData() override;

    // The file through the host's resource file system, then its companion.
    bool Load(const char* fileName, const char* pivotName);
    // The file image alone (magic, version, body, pivot tracks, content hash), with the log
    // lines of a load of `fileName`. False keeps nothing.
    bool LoadImage(const std::uint8_t* data, std::size_t size, const char* fileName, const char* pivotName);
    void ClearAnimations();
    static bool IsSkelAnimFile(const std::uint8_t* data, std::size_t size);
    static std::uint64_t ComputeContentHash(const std::uint8_t* data, std::size_t size);
    // The companion document: false without "AnimationGroups" or "AnimationSequences".
    bool LoadAnimationExtra(common::IXmlNode* document);

    std::uintptr_t ParseHeader(const std::uint8_t* data, std::uint32_t size) override;
    int ParseBody(std::uintptr_t header) override;

    std::int16_t FindAnimation(const char* name) const;
    std::int16_t FindGroup(const char* name) const;
    std::int16_t FindSequence(const char* name) const;

    // Accessors by animation index; an index out of range answers null, 0 or false.
    std::uint16_t GetAnimationCount() const { return static_cast<std::uint16_t>(animations.size()); }
    const SkelAnimation* GetAnimation(std::uint16_t i) const;
    const TrackData* GetPivotTrack(std::uint16_t i) const;
    std::uint8_t IsLooping(std::uint16_t i) const;
    std::uint8_t ScalesBones(std::uint16_t i) const;
    std::uint16_t GetPartMask(std::uint16_t i) const;
    std::uint16_t GetBoneCount(std::uint16_t i) const;
    const char* GetBoneName(std::uint16_t i, std::uint16_t b) const;
    const char* GetPivotBoneName(std::uint16_t i) const;
    const TrackChannel* GetChannel(std::uint16_t i, std::uint16_t b) const;
    bool IsChannelEuler(std::uint16_t i, std::uint16_t b) const;
    std::uint16_t GetKeyCount(std::uint16_t i) const;
    double GetLength(std::uint16_t i) const;
    std::uint16_t FindKeyForward(std::uint16_t i, float t, std::uint16_t start, float* fraction) const;
    std::uint16_t FindKeyBackward(std::uint16_t i, float t, std::uint16_t start, float* fraction) const;
    float GetKeyTimeAt(std::uint16_t i, float t) const;
    const char* GetEvent(std::uint16_t i, std::uint16_t k) const;
    std::uint16_t GetMorphMarkerCount(std::uint16_t i) const;
    std::uint16_t FindMorphSegment(std::uint16_t i, std::uint16_t key, bool forward) const;
    std::uint16_t GetMorphMarkerKey(std::uint16_t i, std::uint32_t p) const;
    float GetMorphMarkerTime(std::uint16_t i, std::uint32_t p) const;
    const char* GetMorphMarkerLabel(std::uint16_t i, std::uint32_t p) const;
    bool GetTransition(std::uint16_t i, std::uint16_t j, std::uint16_t* type, float* time,
                       std::uint8_t* enabled) const;
    void SampleChannel(std::uint16_t i, std::uint16_t b, std::uint16_t key, float fraction, TransformKey& out) const;
    std::uint16_t GetSequenceCount() const { return static_cast<std::uint16_t>(sequences.size()); }
    const AnimationSequence* GetSequence(std::uint16_t s) const;
    std::uint16_t GetSequenceItemCount(std::uint16_t s) const;
    const AnimationSequenceItem* GetSequenceItem(std::uint16_t s, std::uint16_t j) const;
    const AnimationGroup* GetGroup(std::uint16_t g) const { return g < groups.size() ? &groups[g] : nullptr; }

    // Bone count x 2 matrices (stored, then inverses); null from 0x30004 on.
    const Matrix* GetBindMatrices() const { return bindMatrices.get(); }
    const Matrix* GetInverseBindMatrices() const { return inverseBindMatrices; }
    std::uint16_t GetBindMatrixCount() const { return bindMatrixCount; }

    // The 32-bit cache key (low bits of the normalised name's hash), set by the cache.
    std::uint32_t key = 0;
    std::uint32_t version = 0;
    std::vector<std::unique_ptr<SkelAnimation>> animations;
    std::uint8_t hasTransitions = 0;
    std::uint32_t contentHash = 0;
    std::unique_ptr<Matrix[]> bindMatrices;
    const Matrix* inverseBindMatrices = nullptr;
    std::uint16_t bindMatrixCount = 0;
    std::uint32_t pivotFlagUnion = 0;
    std::uint8_t hasPivotTracks = 0;
    std::vector<AnimationGroup> groups;
    std::vector<AnimationSequence> sequences;
    std::int32_t groupsVersion = 1;
    std::int32_t sequencesVersion = 1;
    std::uint32_t memorySize = 0;

private:
    bool ParseMajor23(BinaryReader& in, const char* pivotName);
    bool ParseMajor4(BinaryReader& in, const char* pivotName);
    bool AppendRecord(BinaryReader& in, std::unique_ptr<SkelAnimation> record, bool major2);
    void LoadCompanion(const char* fileName);
    const SkelAnimation* At(std::uint16_t i) const { return i < animations.size() ? animations[i].get() : nullptr; }

    BinaryReader image_;
    const char* pivotName_ = nullptr;
};

}  // namespace quor
