#include "tests/support/world/TrackFileWriter.h"

#include <cmath>

namespace quor::test {

std::vector<std::uint8_t> WriteTrackFile(const TrackFileDesc& file) {
    ByteWriter w;
    w.U32(file.magic);
    w.U32(file.version);
    w.U16(file.kind);
    WriteTrack(w, file.body);
    return w.bytes;
}

TrackChannelDesc MakeTrackChannel(std::uint16_t keys, bool positionKeys, bool rotationKeys, bool scaleKeys,
                                  std::uint8_t euler, int seed) {
    TrackChannelDesc c;
    c.flags[0] = positionKeys ? 1 : 0;
    c.flags[1] = rotationKeys ? 1 : 0;
    c.flags[2] = scaleKeys ? 1 : 0;
    c.flags[3] = euler;
    const std::size_t pn = positionKeys ? keys : 1, rn = rotationKeys ? keys : 1, sn = scaleKeys ? keys : 1;
    for (std::size_t k = 0; k < pn; ++k) {
        c.positions.insert(c.positions.end(), {float(seed + k), float(2 * k), -float(k) * 0.5f});
    }
    for (std::size_t k = 0; k < rn; ++k) {
        const float angle = 0.3f * float(k + 1) + 0.1f * float(seed);
        if (euler) {
            c.rotations.insert(c.rotations.end(), {angle * 0.5f, angle * 0.25f, -angle * 0.125f});
        } else {
            c.rotations.insert(c.rotations.end(), {0.0f, std::sin(angle * 0.5f), 0.0f, std::cos(angle * 0.5f)});
        }
    }
    for (std::size_t k = 0; k < sn; ++k) {
        c.scales.insert(c.scales.end(), {1.0f + 0.1f * float(k), 1.0f, 1.0f + 0.05f * float(seed)});
    }
    return c;
}

TrackFileDesc MakeTrackFile(std::uint16_t keys, std::uint16_t channels, std::uint32_t version) {
    TrackFileDesc f;
    f.version = version;
    f.body.name = "walk";
    for (std::uint16_t k = 0; k < keys; ++k) f.body.times.push_back(100.0f * float(k));
    for (std::uint16_t c = 0; c < channels; ++c) f.body.channels.push_back(MakeTrackChannel(keys, true, true, true, 0, c));
    return f;
}

std::vector<std::pair<std::string, TrackFileDesc>> SampleTrackFiles() {
    std::vector<std::pair<std::string, TrackFileDesc>> files;
    files.emplace_back("walk_v10000", MakeTrackFile(4, 1, 0x10000));
    files.back().second.body.channelFlags = 5;
    files.emplace_back("three_channels", MakeTrackFile(5, 3));
    TrackFileDesc mixed = MakeTrackFile(6, 0);
    mixed.body.flags[1] = 1;  // go-and-return
    mixed.body.channels.push_back(MakeTrackChannel(6, false, true, false, 2, 0));
    mixed.body.channels.push_back(MakeTrackChannel(6, true, false, true, 0, 1));
    mixed.body.channels.push_back(MakeTrackChannel(6, false, false, false, 0, 2));
    files.emplace_back("mixed_euler", mixed);
    return files;
}

}  // namespace quor::test
