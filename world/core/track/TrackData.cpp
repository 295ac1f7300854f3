#include "world/core/track/TrackData.h"

namespace quor {

namespace {
// Reads `entries` entries of `floats` floats each, one per key or one for all.
bool ReadEntries(BinaryReader& in, std::vector<float>& out, std::size_t entries, std::size_t floats) {
    if (!in.CheckCount(entries, floats * 4)) return false;
    out.resize(entries * floats);
    return in.F32s(out.data(), out.size());
}
}  // namespace

bool TrackChannel::Read(BinaryReader& in, std::uint16_t keys) {
    hasPositionKeys = in.U8();
    hasRotationKeys = in.U8();
    hasScaleKeys = in.U8();
    eulerRotation = in.U8();
    keyCount = keys;
    return in.Ok() && ReadEntries(in, positions, hasPositionKeys ? keys : 1, 3) &&
           ReadEntries(in, rotations, hasRotationKeys ? keys : 1, eulerRotation ? 3 : 4) &&
           ReadEntries(in, scales, hasScaleKeys ? keys : 1, 3);
}

std::uintptr_t TrackData::ParseHeader(const std::uint8_t* data, std::uint32_t size) {
    image_ = BinaryReader(data, size);
    version = image_.U32At(4);
    if (image_.U16At(8) != 256 || !image_.Seek(10)) return 0;
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
    keyTimes.Assign(times.data(), keys);
    const std::uint16_t channelCount = in.U16();
    // A channel is at least its four flags and one position, rotation and scale.
    if (!in.CheckCount(channelCount, 4 + 12 + 12 + 12)) return false;
    channels.resize(channelCount);
    for (TrackChannel& c : channels) {
        if (!c.Read(in, keys)) {
            channels.clear();
            return false;
        }
    }
    return in.Ok();
}

}  // namespace quor
