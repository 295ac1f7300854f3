#include "world/core/track/TrackData.h"

#include <cmath>
#include <cstring>

#include "platform/host/IResFileSystem.h"
#include "platform/host/IXmlNode.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/XmlNodePtr.h"
#include "world/core/track/TransformKey.h"

namespace quor {

namespace {

constexpr float kKeyEpsilon = 1e-4f;

// Reads `entries` entries of `floats` floats each, one per key or one for all.
bool ReadEntries(BinaryReader& in, std::vector<float>& out, std::size_t entries, std::size_t floats) {
    if (!in.CheckCount(entries, floats * 4)) return false;
    out.resize(entries * floats);
    return in.F32s(out.data(), out.size());
}

bool Near(const float* a, const float* b) {
    return std::fabs(a[0] - b[0]) <= kKeyEpsilon && std::fabs(a[1] - b[1]) <= kKeyEpsilon &&
           std::fabs(a[2] - b[2]) <= kKeyEpsilon;
}

void Lerp3(const float* a, const float* b, float f, Vec3& out) {
    out = {a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f, a[2] + (b[2] - a[2]) * f};
}

// A three-float part at key i, or from key i toward i + 1 by f when blending and the two
// differ (equal keys give the key itself, unblended).
void SamplePart(const std::vector<float>& values, bool perKey, std::uint16_t i, bool blend, float f, Vec3& out) {
    const float* a = values.data() + (perKey ? std::size_t(i) * 3 : 0);
    if (perKey && blend && !Near(a, a + 3)) {
        Lerp3(a, a + 3, f, out);
        return;
    }
    out = {a[0], a[1], a[2]};
}

}  // namespace

bool TrackChannel::Read(BinaryReader& in, std::uint16_t keys) {
    hasPositionKeys = in.U8();
    hasRotationKeys = in.U8();
    hasScaleKeys = in.U8();
    eulerRotation = in.U8();
    keyCount = keys;
    // An Euler flag names one of the six axis orders.
    if (in.Ok() && eulerRotation > kTrackMaxEulerOrder) in.Fail();
    return in.Ok() && ReadEntries(in, positions, hasPositionKeys ? keys : 1, 3) &&
           ReadEntries(in, rotations, hasRotationKeys ? keys : 1, eulerRotation ? 3 : 4) &&
           ReadEntries(in, scales, hasScaleKeys ? keys : 1, 3);
}

void TrackChannel::Resize() {
    const std::size_t n = keyCount ? keyCount : 1;
    positions.assign((hasPositionKeys ? n : 1) * 3, 0.0f);
    const std::size_t rf = RotationFloats();
    rotations.assign((hasRotationKeys ? n : 1) * rf, 0.0f);
    if (!eulerRotation) {
        for (std::size_t i = 3; i < rotations.size(); i += 4) rotations[i] = 1.0f;
    }
    scales.assign((hasScaleKeys ? n : 1) * 3, 1.0f);
}

void TrackChannel::Sample(std::uint16_t key, float fraction, TransformKey& out) const {
    out.eulerOrder = eulerRotation;
    if (positions.empty() || rotations.empty() || scales.empty()) return;
    // Past the last key there is no next key to blend toward.
    std::uint16_t i = key;
    bool blend = fraction > 0.0f && std::isfinite(fraction);
    if (keyCount <= 1 || i + 1 >= keyCount) {
        i = keyCount ? static_cast<std::uint16_t>(std::min<int>(i, keyCount - 1)) : 0;
        blend = false;
    }
    const float f = blend ? fraction : 0.0f;
    SamplePart(positions, hasPositionKeys, i, blend, f, out.position);
    SamplePart(scales, hasScaleKeys, i, blend, f, out.scale);
    const std::size_t rf = RotationFloats();
    const float* a = rotations.data() + (hasRotationKeys ? std::size_t(i) * rf : 0);
    if (eulerRotation) {
        Quaternion q{a[0], a[1], a[2], 0.0f};
        if (hasRotationKeys && blend) {
            const float* b = a + 3;
            q = {a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f, a[2] + (b[2] - a[2]) * f, 0.0f};
        }
        out.rotation = q;
    } else {
        const Quaternion qa{a[0], a[1], a[2], a[3]};
        if (hasRotationKeys && blend) {
            const Quaternion qb{a[4], a[5], a[6], a[7]};
            QuaternionSlerp(out.rotation, qa, qb, f);
        } else {
            out.rotation = qa;
        }
    }
}

bool TrackChannel::LoadXml(common::IXmlNode* node) {
    if (!node) return false;
    const std::uint32_t euler = node->GetUIntAttribute(nullptr, "EulerFlags", 0);
    if (euler > kTrackMaxEulerOrder) return false;
    hasPositionKeys = node->GetBoolAttribute(nullptr, "HasPositionKeys", false) ? 1 : 0;
    hasRotationKeys = node->GetBoolAttribute(nullptr, "HasRotationKeys", false) ? 1 : 0;
    hasScaleKeys = node->GetBoolAttribute(nullptr, "HasScaleKeys", false) ? 1 : 0;
    eulerRotation = static_cast<std::uint8_t>(euler);
    Resize();
    static const float kZero3[3] = {0.0f, 0.0f, 0.0f};
    static const float kOne3[3] = {1.0f, 1.0f, 1.0f};
    static const float kQuat[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    auto readPart = [&](bool perKey, auto&& read) {
        if (!perKey) {
            read(node, 0);
            return;
        }
        for (std::uint16_t k = 0; k < keyCount; ++k) {
            XmlNodePtr child(node->ChildElement(nullptr, k), true);
            if (child) read(child.Get(), k);
        }
    };
    readPart(hasPositionKeys, [&](common::IXmlNode* n, std::size_t k) {
        ReadXmlFloat3(n, nullptr, "Position", &positions[k * 3], kZero3);
    });
    readPart(hasRotationKeys, [&](common::IXmlNode* n, std::size_t k) {
        if (eulerRotation) ReadXmlFloat3(n, nullptr, "Euler", &rotations[k * 3], kZero3);
        else ReadXmlFloat4(n, nullptr, "Rotation", &rotations[k * 4], kQuat);
    });
    readPart(hasScaleKeys, [&](common::IXmlNode* n, std::size_t k) {
        ReadXmlFloat3(n, nullptr, "Scale", &scales[k * 3], kOne3);
    });
    return true;
}

void TrackChannel::ImportKeys(const TrackChannel& source, std::uint32_t, int, bool) { Assign(source); }

void TrackChannel::SetKey(std::uint16_t index, const Vec3* position, const Quaternion* rotation, const Vec3* scale) {
    auto slot = [&](bool perKey) -> int {
        if (!perKey) return 0;
        return index < keyCount ? index : -1;
    };
    int k = slot(hasPositionKeys);
    if (position && k >= 0 && positions.size() >= std::size_t(k + 1) * 3) {
        std::memcpy(&positions[std::size_t(k) * 3], position, 12);
    }
    k = slot(hasRotationKeys);
    const std::size_t rf = RotationFloats();
    if (rotation && k >= 0 && rotations.size() >= std::size_t(k + 1) * rf) {
        const float q[4] = {rotation->x, rotation->y, rotation->z, rotation->w};
        std::memcpy(&rotations[std::size_t(k) * rf], q, rf * 4);
    }
    k = slot(hasScaleKeys);
    if (scale && k >= 0 && scales.size() >= std::size_t(k + 1) * 3) std::memcpy(&scales[std::size_t(k) * 3], scale, 12);
}

TrackData::TrackData(const TrackData& other)
    : SharedObject(),
      nameHash(other.nameHash),
      fileSize(other.fileSize),
      version(other.version),
      channelFlags(other.channelFlags),
      keyTimes(other.keyTimes) {
    std::memcpy(name, other.name, kNameSize);
    std::memcpy(flags, other.flags, 4);
    channels.resize(other.channels.size());
    for (std::size_t i = 0; i < channels.size(); ++i) channels[i].Assign(other.channels[i]);
    SetName(other.Name());
    SetVersion(other.Version());
    SetMemSize(other.MemSize());
}

std::uintptr_t TrackData::ParseHeader(const std::uint8_t* data, std::uint32_t size) {
    image_ = BinaryReader(data, size);
    version = image_.U32At(4);
    if (image_.U16At(8) != kTrackFileKind || !image_.Seek(kTrackHeaderSize)) return 0;
    return reinterpret_cast<std::uintptr_t>(&image_);
}

int TrackData::ParseBody(std::uintptr_t header) {
    if (header != reinterpret_cast<std::uintptr_t>(&image_)) return 0;
    const bool ok = ReadBody(image_, version);
    image_ = BinaryReader();  // the caller's image is not kept
    return ok ? 1 : 0;
}

bool TrackData::ReadBody(BinaryReader& in, std::uint32_t trackVersion) {
    version = trackVersion;
    channels.clear();
    in.Bytes(name, kNameSize);
    in.Bytes(flags, 4);
    channelFlags = in.U16();
    if (trackVersion == 0x10000 && channelFlags != 0) channelFlags = 0xB007;
    const std::uint16_t keys = in.U16();
    // A track without keys has no length and nothing to play.
    if (!in.Ok() || keys == 0 || !in.CheckCount(keys, 4)) {
        in.Fail();
        return false;
    }
    std::vector<float> times(keys);
    in.F32s(times.data(), keys);
    // Key times order the search; one that is not a number orders nothing.
    for (float t : times) {
        if (!std::isfinite(t)) {
            in.Fail();
            return false;
        }
    }
    keyTimes.Assign(times.data(), keys);
    const std::uint16_t channelCount = in.U16();
    // A channel is at least its four flags and one position, rotation and scale.
    if (!in.CheckCount(channelCount, 4 + 12 + 12 + 12)) return false;
    channels.resize(channelCount);
    for (TrackChannel& c : channels) {
        if (!c.Read(in, keys)) {
            channels.clear();
            keyTimes.Clear();
            return false;
        }
    }
    if (!in.Ok()) {
        channels.clear();
        keyTimes.Clear();
        return false;
    }
    return true;
}

bool TrackData::LoadFile(const char* fileName) {
    common::IResFileSystem* fs = Interfaces().resFileSystem;
    common::IResFile* file = fs && fileName ? fs->OpenFile(fileName, 0) : nullptr;
    if (!file) {
        LogWarning("Track file %s is not found!", fileName ? fileName : "");
        return false;
    }
    const std::uint8_t* data = file->GetData();
    const std::uint32_t size = file->GetSize();
    const BinaryReader peek(data, size);
    bool ok = false;
    if (!peek.Has(0, kTrackHeaderSize) || peek.U32At(0) != kTrackMagic) {
        LogError("Bad format in track file %s!", fileName);
    } else if (peek.U32At(4) < kTrackOldestVersion) {
        LogError("Track file %s version too old!", fileName);
    } else if (peek.U32At(4) > kTrackNewestVersion) {
        LogError("Track file %s version too new!", fileName);
    } else if (!LoadFromMemory(data, size)) {
        LogError("Bad format in track file %s!", fileName);
        channels.clear();
        keyTimes.Clear();
    } else {
        ok = true;
        SetName(fileName);
        fileSize = size;
        SetMemSize(static_cast<std::int32_t>(size));
        SetVersion(static_cast<std::int32_t>(version));
    }
    file->Close();
    return ok;
}

}  // namespace quor
