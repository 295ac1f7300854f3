#pragma once
#include <cstdint>
#include <vector>

#include "world/core/BinaryReader.h"
#include "world/core/KeyTimeTable.h"
#include "world/core/SharedObject.h"

namespace quor::common {
class IXmlNode;
}

namespace quor {

struct TransformKey;
struct Quaternion;
struct Vec3;

// Track file header: magic "QTRK", version, kind; the body follows at kTrackHeaderSize.
constexpr std::uint32_t kTrackMagic = 0x4B525451;  // "QTRK"
constexpr std::size_t kTrackHeaderSize = 10;
constexpr std::uint16_t kTrackFileKind = 256;
// Versions whose body this reader knows.
constexpr std::uint32_t kTrackOldestVersion = 0x10000;
constexpr std::uint32_t kTrackNewestVersion = 0x10001;
// Euler flags above this name no axis order.
constexpr std::uint8_t kTrackMaxEulerOrder = 6;

// One key channel of a sampled track: positions, rotations (quaternions or Euler angles) and
// scales, each either one per key or a single value for all keys.
struct TrackChannel {
    std::uint8_t hasPositionKeys = 0;
    std::uint8_t hasRotationKeys = 0;
    std::uint8_t hasScaleKeys = 0;
    std::uint8_t eulerRotation = 0;  // 0 quaternions, else the Euler axis order 1..6
    std::vector<float> positions;  // 3 per entry
    std::vector<float> rotations;  // 3 (Euler) or 4 (quaternion x, y, z, w) per entry
    std::vector<float> scales;     // 3 per entry
    std::uint16_t keyCount = 0;

    // Reads one channel record for `keyCount` keys; false leaves the reader failed.
    bool Read(BinaryReader& in, std::uint16_t keys);
    void Assign(const TrackChannel& other) { *this = other; }
    // The transform between key i and the next at `fraction` (0..1). A key past the last, or
    // a fraction that is not above 0, gives the key itself.
    void Sample(std::uint16_t key, float fraction, TransformKey& out) const;
    // Flags from the element's attributes and the values from it (single values) or from its
    // child elements (one per key, keyCount of them). False for an Euler order above 6.
    bool LoadXml(common::IXmlNode* node);
    // Writes the given parts of key `index` (the single entry of a part without keys).
    void SetKey(std::uint16_t index, const Vec3* position, const Quaternion* rotation, const Vec3* scale);
    std::size_t RotationFloats() const { return eulerRotation ? 3 : 4; }
    // Fills this channel from a skeletal animation's bone channel (a pivot bone feeding an
    // object track): the keys are copied as stored, Euler channels keeping their axis order.
    // What the object takes of them is the owning track's channel-flags word (`flags`, bits
    // 0xB002), so neither `flags`, `mode` nor `hasFlags` filters the keys here.
    void ImportKeys(const TrackChannel& source, std::uint32_t flags, int mode, bool hasFlags);
    // Sizes the three arrays for the flags and key count, filled with the neutral values.
    void Resize();
};

// Shared key data of a sampled track (the body of a track file, also embedded in mesh files).
class TrackData : public SharedObject {
public:
    static constexpr std::size_t kNameSize = 32;

    TrackData() = default;
    // Header, flags, key times and a deep copy of every channel.
    TrackData(const TrackData& other);

    // Reads the body (name, flags, channel flags, key times, channels) written with track
    // version `version`. Every count is checked against the bytes left; false leaves the
    // reader failed and the data empty.
    bool ReadBody(BinaryReader& in, std::uint32_t version);
    // A whole track image: the header (magic, version, kind 256) answers a handle for the body.
    std::uintptr_t ParseHeader(const std::uint8_t* data, std::uint32_t size) override;
    int ParseBody(std::uintptr_t header) override;
    std::uint16_t GetKeyCount() const { return keyTimes.Count(); }
    // A track file through the host's resource file system, with its log line on failure.
    bool LoadFile(const char* fileName);

    std::uint32_t nameHash = 0;
    std::uint32_t fileSize = 0;
    std::uint32_t version = 0;
    char name[kNameSize] = {};
    std::uint8_t flags[4] = {1, 0, 0, 1};
    std::uint16_t channelFlags = 0;
    KeyTimeTable keyTimes;
    std::vector<TrackChannel> channels;

private:
    BinaryReader image_;
};

}  // namespace quor
