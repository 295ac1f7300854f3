#include "world/skeleton/SkelAnimation.h"

#include <cmath>
#include <cstring>

#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/NameHash64.h"
#include "world/core/track/TransformKey.h"

namespace quor {

namespace {

constexpr char kMorphPrefix[] = "morph: ";
constexpr std::size_t kMorphPrefixLength = 7;
constexpr std::size_t kReservedSize = 64;
// A channel block is at least its four flags, one position, one Euler rotation and one scale.
constexpr std::size_t kSmallestChannel = 4 + 12 + 12 + 12;

bool SameName(const char* a, const char* b) { return std::strncmp(a, b, SkelAnimation::kNameSize) == 0; }

}  // namespace

SkelAnimation::SkelAnimation(const SkelAnimation& other)
    : nameId(other.nameId),
      givenPivotName(other.givenPivotName),
      keyTimes(other.keyTimes),
      boneNames(other.boneNames),
      boneCount(other.boneCount),
      loop(other.loop),
      scalesBones(other.scalesBones),
      partMask(other.partMask),
      pivotFlags(other.pivotFlags),
      eventNames(other.eventNames),
      eventCount(other.eventCount),
      morphMarkerCount(other.morphMarkerCount),
      transitions(other.transitions),
      transitionCount(other.transitionCount),
      pivotBone(other.pivotBone),
      pivotTrackBuilt(other.pivotTrackBuilt),
      memorySize(other.memorySize) {
    std::memcpy(name, other.name, kNameSize);
    std::memcpy(pivotBoneName, other.pivotBoneName, kNameSize);
    std::memcpy(morphMarkers, other.morphMarkers, sizeof morphMarkers);
    channels.resize(other.channels.size());
    for (std::size_t i = 0; i < channels.size(); ++i) channels[i].Assign(other.channels[i]);
    if (other.pivotTrack) pivotTrack.reset(NewObject<TrackData>(*other.pivotTrack));
    // The key events of the copy point into the copy's own names.
    keyEvents.resize(other.keyEvents.size(), nullptr);
    for (std::size_t k = 0; k < keyEvents.size(); ++k) {
        if (other.keyEvents[k]) keyEvents[k] = eventNames.data() + (other.keyEvents[k] - other.eventNames.data());
    }
}

void SkelAnimation::Clear() {
    keyTimes.Clear();
    boneNames.clear();
    channels.clear();
    pivotTrack.reset();
    keyEvents.clear();
    eventNames.clear();
    transitions.clear();
    boneCount = 0;
    eventCount = 0;
    morphMarkerCount = 0;
    transitionCount = 0;
    memorySize = 0;
}

bool SkelAnimation::ReadName(BinaryReader& in) {
    in.Bytes(name, kNameSize);
    name[kNameSize - 1] = 0;
    nameId = static_cast<std::uint32_t>(NameHash64(name));
    return in.Ok();
}

bool SkelAnimation::ReadKeyTimes(BinaryReader& in, std::uint16_t count, bool integers) {
    if (!in.CheckCount(count, 4)) return false;
    if (count == 0) return true;  // a record without keys loads, but never plays
    if (integers) {
        std::vector<std::uint32_t> times(count);
        if (!in.U32s(times.data(), count)) return false;
        keyTimes.AssignIntegers(times.data(), count);
        return true;
    }
    std::vector<float> times(count);
    if (!in.F32s(times.data(), count)) return false;
    // Key times order every search; one that is not a number orders nothing.
    for (float t : times) {
        if (!std::isfinite(t)) {
            in.Fail();
            return false;
        }
    }
    keyTimes.Assign(times.data(), count);
    return true;
}

bool SkelAnimation::ReadEvents(BinaryReader& in, bool lastKeyEnds) {
    const std::uint16_t count = in.U16();
    if (!in.CheckCount(count, 2 + kNameSize)) return false;
    std::vector<std::uint16_t> keys(count);
    in.U16s(keys.data(), count);
    eventNames.assign(std::size_t(count) * kNameSize, 0);
    in.Bytes(eventNames.data(), eventNames.size());
    if (!in.Ok()) return false;
    eventCount = count;
    const std::uint16_t keyCount = GetKeyCount();
    for (std::uint16_t e = 0; e < count; ++e) eventNames[std::size_t(e) * kNameSize + kNameSize - 1] = 0;
    if (count == 0) return true;
    keyEvents.assign(keyCount, nullptr);
    for (std::uint16_t e = 0; e < count; ++e) {
        const char* text = &eventNames[std::size_t(e) * kNameSize];
        // The table has one slot per key: an event past the last key has nowhere to go.
        if (keys[e] >= keyCount) {
            LogWarning("Event %s of skeletal animation %s is on key %u, past its %u keys; dropped!", text, name,
                       unsigned(keys[e]), unsigned(keyCount));
            continue;
        }
        keyEvents[keys[e]] = text;
    }
    if (keyCount == 0) keyEvents.clear();
    if (lastKeyEnds && keyCount > 0 && keyEvents[keyCount - 1] && std::strcmp(keyEvents[keyCount - 1], "end") != 0) {
        char* last = eventNames.data() + (keyEvents[keyCount - 1] - eventNames.data());
        std::memset(last, 0, kNameSize);
        std::memcpy(last, "end", 3);
    }
    morphMarkerCount = 0;
    for (std::uint16_t k = 0; k + 1 < keyCount && morphMarkerCount < kMaxMorphMarkers; ++k) {
        if (keyEvents[k] && std::strncmp(keyEvents[k], kMorphPrefix, kMorphPrefixLength) == 0) {
            morphMarkers[morphMarkerCount++] = k;
        }
    }
    return true;
}

bool SkelAnimation::ReadV2(BinaryReader& in, std::uint32_t version) {
    const std::size_t start = in.Offset();
    if (!ReadName(in)) return false;
    const std::uint16_t keys = in.U16();
    if (!in.Ok() || !ReadKeyTimes(in, keys, true)) return false;
    std::uint8_t hasScale = 0;
    if (version >= 0x20001) {
        in.Skip(kReservedSize);
        hasScale = in.U8();
    }
    const std::uint64_t bones = boneCount;
    const std::uint64_t perKey = bones * 12 + bones * 16 + (hasScale ? bones * 12 : 0);
    if (!in.Ok() || !in.CheckCount(std::uint64_t(keys) * perKey, 1)) return false;
    channels.assign(boneCount, TrackChannel{});
    for (TrackChannel& c : channels) {
        c.hasPositionKeys = 1;
        c.hasRotationKeys = 1;
        c.hasScaleKeys = hasScale ? 1 : 0;
        c.eulerRotation = 0;
        c.keyCount = keys;
        c.positions.resize(std::size_t(keys) * 3);
        c.rotations.resize(std::size_t(keys) * 4);
        c.scales.assign(hasScale ? std::size_t(keys) * 3 : 3, 1.0f);
    }
    // Per key: every bone's position, then every bone's rotation, then every bone's scale.
    for (std::uint16_t k = 0; k < keys; ++k) {
        for (TrackChannel& c : channels) in.F32s(&c.positions[std::size_t(k) * 3], 3);
        for (TrackChannel& c : channels) in.F32s(&c.rotations[std::size_t(k) * 4], 4);
        if (hasScale) {
            for (TrackChannel& c : channels) in.F32s(&c.scales[std::size_t(k) * 3], 3);
        }
    }
    if (!in.Ok() || !ReadEvents(in, false)) return false;
    memorySize = static_cast<std::uint32_t>(in.Offset() - start);
    return true;
}

bool SkelAnimation::ReadV3(BinaryReader& in, std::uint32_t version) {
    const std::size_t start = in.Offset();
    if (!ReadName(in)) return false;
    if (version < 0x40000) {
        pivotBone = in.U16();
    } else {
        in.Bytes(pivotBoneName, kNameSize);
        pivotBoneName[kNameSize - 1] = 0;
    }
    loop = in.U8();
    scalesBones = in.U8();
    partMask = version >= 0x40003 ? in.U16() : 7;
    pivotFlags = in.U32();
    if (version < 0x30002) in.Skip(kReservedSize);
    const std::uint16_t keys = in.U16();
    if (!in.Ok() || !ReadKeyTimes(in, keys, version < 0x30001)) return false;
    if (version >= 0x40000) {
        boneCount = in.U16();
        if (!in.CheckCount(boneCount, kNameSize)) return false;
        boneNames.assign(std::size_t(boneCount) * kNameSize, 0);
        in.Bytes(boneNames.data(), boneNames.size());
        if (!in.Ok()) return false;
        for (std::uint16_t b = 0; b < boneCount; ++b) {
            if (SameName(&boneNames[std::size_t(b) * kNameSize], pivotBoneName)) {
                pivotBone = b;
                break;
            }
        }
    } else if (pivotBone != kNoBone && pivotBone >= boneCount) {
        // An index past the skeleton names no bone.
        pivotBone = kNoBone;
    }
    if (!in.CheckCount(boneCount, kSmallestChannel)) return false;
    channels.assign(boneCount, TrackChannel{});
    for (TrackChannel& c : channels) {
        if (!c.Read(in, keys)) return false;
    }
    if (version >= 0x40001 && in.U8() != 0) {
        const std::uint32_t trackVersion = in.U32();
        if (!in.Ok()) return false;
        pivotTrack.reset(NewObject<TrackData>());
        if (!pivotTrack || !pivotTrack->ReadBody(in, trackVersion)) {
            pivotTrack.reset();
            in.Fail();
            return false;
        }
        pivotTrackBuilt = 1;
    }
    if (!in.Ok() || !ReadEvents(in, true)) return false;
    if (!transitions.empty()) {
        const std::size_t entry = version >= 0x40002 ? 7 : 6;
        if (!in.CheckCount(transitions.size(), entry)) return false;
        for (AnimationTransition& t : transitions) {
            t.type = in.U16();
            t.time = in.F32();
            t.enabled = version >= 0x40002 ? in.U8() : (t.type > 1 ? 1 : 0);
        }
        if (!in.Ok()) return false;
    }
    if (version >= 0x40001 && !HasPivotMotion()) {
        pivotFlags = 0;
        if (pivotTrack) pivotTrack->channelFlags = 0;
    }
    memorySize = static_cast<std::uint32_t>(in.Offset() - start);
    return true;
}

void SkelAnimation::AllocTransitions(std::uint16_t count) {
    transitionCount = count;
    transitions.assign(count, AnimationTransition{});
}

void SkelAnimation::SetBoneNames(const char* names, std::uint16_t count, std::uint32_t version) {
    boneNames.assign(names, names + std::size_t(count) * kNameSize);
    if (version < 0x30000) {
        std::memset(pivotBoneName, 0, kNameSize);
        if (givenPivotName) std::strncpy(pivotBoneName, givenPivotName, kNameSize - 1);
        for (std::uint16_t b = 0; b < count; ++b) {
            if (SameName(&boneNames[std::size_t(b) * kNameSize], pivotBoneName)) {
                pivotBone = b;
                break;
            }
        }
    } else if (pivotBone != kNoBone && pivotBone < count) {
        std::memcpy(pivotBoneName, &boneNames[std::size_t(pivotBone) * kNameSize], kNameSize);
        pivotBoneName[kNameSize - 1] = 0;
    }
}

void SkelAnimation::BuildPivotTrack(std::uint32_t fileFlags, std::uint32_t version) {
    if (version >= 0x40001) return;  // those files store their pivot track
    if (!(fileFlags & kPivotFlagMask) || !givenPivotName || std::strcmp(givenPivotName, pivotBoneName) != 0 ||
        pivotBone >= channels.size()) {
        pivotFlags = 0;
        return;
    }
    pivotTrack.reset(NewObject<TrackData>());
    if (!pivotTrack) {
        pivotFlags = 0;
        return;
    }
    pivotFlags &= kPivotFlagMask;
    std::strncpy(pivotTrack->name, "Skeletal Pivot Track", TrackData::kNameSize - 1);
    pivotTrack->flags[0] = loop;
    pivotTrack->channelFlags = static_cast<std::uint16_t>(pivotFlags);
    pivotTrack->keyTimes = keyTimes;
    pivotTrack->channels.resize(1);
    pivotTrack->channels[0].ImportKeys(channels[pivotBone], pivotFlags, 2, pivotFlags != 0);
    pivotTrackBuilt = 1;
    if (!HasPivotMotion()) {
        pivotFlags = 0;
        pivotTrack->channelFlags = 0;
    }
}

bool SkelAnimation::HasPivotMotion() const {
    if (!pivotTrack) return false;
    if (pivotTrack->channelFlags & 0x800) return true;
    for (const TrackChannel& c : pivotTrack->channels) {
        if (c.hasPositionKeys || c.hasRotationKeys || c.hasScaleKeys) return true;
    }
    return false;
}

bool SkelAnimation::GetTransition(std::uint16_t target, std::uint16_t* type, float* time,
                                  std::uint8_t* enabled) const {
    if (target >= transitions.size()) return false;
    const AnimationTransition& t = transitions[target];
    if (type) *type = t.type;
    if (time) *time = t.time;
    if (enabled) *enabled = t.enabled;
    return true;
}

void SkelAnimation::SampleChannel(std::uint16_t bone, std::uint16_t key, float fraction, TransformKey& out) const {
    if (bone < channels.size()) channels[bone].Sample(key, fraction, out);
}

std::uint16_t SkelAnimation::FindMorphSegment(std::uint16_t key, bool forward) const {
    if (morphMarkerCount == 0) return kNoSegment;
    if (morphMarkerCount == 1) return 0;
    if (forward) {
        for (std::uint16_t i = 0; i + 1 < morphMarkerCount; ++i) {
            if (morphMarkers[i] <= key && key < morphMarkers[i + 1]) return i;
        }
        return 0;
    }
    for (std::uint16_t i = 1; i < morphMarkerCount; ++i) {
        if (morphMarkers[i - 1] < key && key <= morphMarkers[i]) return i == morphMarkerCount - 1 ? 0 : i;
    }
    return 0;
}

const char* SkelAnimation::GetEvent(std::uint16_t key) const {
    return key < keyEvents.size() ? keyEvents[key] : nullptr;
}

const char* SkelAnimation::GetBoneName(std::uint16_t bone) const {
    return bone < boneCount && std::size_t(bone + 1) * kNameSize <= boneNames.size()
               ? &boneNames[std::size_t(bone) * kNameSize]
               : nullptr;
}

std::uint16_t SkelAnimation::GetMorphMarkerKey(std::uint32_t p) const {
    return morphMarkerCount ? morphMarkers[p % morphMarkerCount] : 0;
}

float SkelAnimation::GetMorphMarkerTime(std::uint32_t p) const {
    if (!morphMarkerCount || !keyTimes.Times()) return 0.0f;
    return keyTimes.Times()[GetMorphMarkerKey(p)];
}

const char* SkelAnimation::GetMorphMarkerLabel(std::uint32_t p) const {
    if (!morphMarkerCount) return nullptr;
    const char* text = GetEvent(GetMorphMarkerKey(p));
    return text ? text + kMorphPrefixLength : nullptr;
}

}  // namespace quor
