#pragma once
#include <cstdint>
#include <vector>

#include "world/core/BinaryReader.h"
#include "world/core/KeyTimeTable.h"
#include "world/core/SharedObject.h"

namespace quor {

// One key channel of a sampled track: positions, rotations (quaternions or Euler angles) and
// scales, each either one per key or a single value for all keys.
struct TrackChannel {
    std::uint8_t hasPositionKeys = 0;
    std::uint8_t hasRotationKeys = 0;
    std::uint8_t hasScaleKeys = 0;
    std::uint8_t eulerRotation = 0;
    std::vector<float> positions;  // 3 per entry
    std::vector<float> rotations;  // 3 (Euler) or 4 (quaternion x, y, z, w) per entry
    std::vector<float> scales;     // 3 per entry
    std::uint16_t keyCount = 0;

    // Reads one channel record for `keyCount` keys; false leaves the reader failed.
    bool Read(BinaryReader& in, std::uint16_t keys);
};

// Shared key data of a sampled track (the body of a track file, also embedded in mesh files).
class TrackData : public SharedObject {
public:
    static constexpr std::size_t kNameSize = 32;

    // Reads the body (name, flags, channel flags, key times, channels) written with track
    // version `version`. Every count is checked against the bytes left; false leaves the
    // reader failed and the data empty.
    bool ReadBody(BinaryReader& in, std::uint32_t version);
    // A whole track image: the header (magic, version, kind 256) answers a handle for the body.
    std::uintptr_t ParseHeader(const std::uint8_t* data, std::uint32_t size) override;
    int ParseBody(std::uintptr_t header) override;
    std::uint16_t GetKeyCount() const { return keyTimes.Count(); }

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
