#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "world/core/BinaryReader.h"
#include "world/core/KeyTimeTable.h"
#include "world/core/track/TrackData.h"

namespace quor {

struct TransformKey;

// Settings of a transition from one animation of a file into animation j of the same file.
struct AnimationTransition {
    std::uint16_t type = 16;  // 16: the file leaves the type open
    float time = 0.0f;
    std::uint8_t enabled = 1;
};

// One animation of a skeletal animation file: key times, one key channel per bone, events on
// keys, "morph: " markers, an optional pivot track and the transition table. Read-only once
// its file is loaded.
class SkelAnimation {
public:
    static constexpr std::size_t kNameSize = 32;
    static constexpr std::uint16_t kNoBone = 255;
    static constexpr std::uint16_t kMaxMorphMarkers = 16;
    static constexpr std::uint16_t kNoSegment = 65535;
    // The pivot flags that move an object.
    static constexpr std::uint32_t kPivotFlagMask = 0xB002;

    SkelAnimation() = default;
    // Deep copy; key events point into the copy's own event names.
    SkelAnimation(const SkelAnimation& other);
    SkelAnimation& operator=(const SkelAnimation&) = delete;
    ~SkelAnimation() = default;

    void Clear();
    // One record block of a major-2 (ReadV2) or major-3/4 (ReadV3) file. Bone count, given
    // pivot name and the transition table are set by the caller. Every count is checked
    // against the bytes left; false leaves the reader failed (the caller drops the record).
    bool ReadV2(BinaryReader& in, std::uint32_t version);
    bool ReadV3(BinaryReader& in, std::uint32_t version);
    void AllocTransitions(std::uint16_t count);
    // count x 32 bytes of names.
    void SetBoneNames(const char* names, std::uint16_t count, std::uint32_t version);
    void BuildPivotTrack(std::uint32_t fileFlags, std::uint32_t version);
    bool HasPivotMotion() const;
    bool GetTransition(std::uint16_t target, std::uint16_t* type, float* time, std::uint8_t* enabled) const;
    void SampleChannel(std::uint16_t bone, std::uint16_t key, float fraction, TransformKey& out) const;
    std::uint16_t FindMorphSegment(std::uint16_t key, bool forward) const;

    // Event name of key k, or null.
    const char* GetEvent(std::uint16_t key) const;
    std::uint16_t GetKeyCount() const { return keyTimes.Count(); }
    double GetLength() const { return keyTimes.Length(); }
    const char* GetBoneName(std::uint16_t bone) const;
    // Marker p (wrapping past the count): key, time and the label after "morph: ".
    std::uint16_t GetMorphMarkerKey(std::uint32_t p) const;
    float GetMorphMarkerTime(std::uint32_t p) const;
    const char* GetMorphMarkerLabel(std::uint32_t p) const;

    char name[kNameSize] = {};
    std::uint32_t nameId = 0;
    char pivotBoneName[kNameSize] = {};
    const char* givenPivotName = nullptr;  // not owned
    KeyTimeTable keyTimes;
    std::vector<char> boneNames;  // boneCount x 32
    std::vector<TrackChannel> channels;
    std::unique_ptr<TrackData> pivotTrack;
    std::uint16_t boneCount = 0;
    std::uint8_t loop = 1;
    std::uint8_t scalesBones = 0;
    std::uint16_t partMask = 7;
    std::uint32_t pivotFlags = 0;
    std::vector<const char*> keyEvents;  // per key, into eventNames; empty without events
    std::vector<char> eventNames;        // eventCount x 32
    std::uint16_t eventCount = 0;
    std::uint16_t morphMarkers[kMaxMorphMarkers] = {};
    std::uint16_t morphMarkerCount = 0;
    std::vector<AnimationTransition> transitions;
    std::uint16_t transitionCount = 0;
    std::uint16_t pivotBone = kNoBone;
    std::uint8_t pivotTrackBuilt = 0;
    std::uint32_t memorySize = 0;

private:
    bool ReadName(BinaryReader& in);
    bool ReadKeyTimes(BinaryReader& in, std::uint16_t count, bool integers);
    bool ReadEvents(BinaryReader& in, bool lastKeyEnds);
};

}  // namespace quor
