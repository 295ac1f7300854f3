#pragma once
// Writes "QTRK" track files of any version and channel layout, byte by byte, for the track
// tests, the fuzz seed corpus and the sample files.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/world/MeshFileWriter.h"

namespace quor::test {

struct TrackFileDesc {
    std::uint32_t magic = 0x4B525451;  // "QTRK"
    std::uint32_t version = 0x10001;
    std::uint16_t kind = 256;
    TrackDesc body;
};

std::vector<std::uint8_t> WriteTrackFile(const TrackFileDesc& file);

// A channel for `keys` keys: per-key parts where the flag asks for them (one entry otherwise),
// values following a simple pattern from `seed`; quaternions are unit length, Euler flag
// `euler` makes three angles per rotation.
TrackChannelDesc MakeTrackChannel(std::uint16_t keys, bool positionKeys, bool rotationKeys, bool scaleKeys,
                                  std::uint8_t euler, int seed);
// A track of `keys` keys 100 ms apart (from 0) and `channels` channels of every part per key.
TrackFileDesc MakeTrackFile(std::uint16_t keys, std::uint16_t channels, std::uint32_t version = 0x10001);

// The sample track files (samples/track) and the fuzz seeds, by file stem: a first-version
// file with channel flags, three full channels, and a go-and-return file mixing Euler,
// single-value and per-key channels.
std::vector<std::pair<std::string, TrackFileDesc>> SampleTrackFiles();

}  // namespace quor::test
