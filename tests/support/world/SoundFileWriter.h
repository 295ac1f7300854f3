#pragma once
// Writes sound files for the sound nodes' samples and seeds: a silent PCM WAV.
#include <cstdint>
#include <vector>

namespace quor::test {

// A mono 16-bit PCM WAV of `samples` zero samples at `rate` per second.
std::vector<std::uint8_t> WriteSilentWav(std::uint32_t samples, std::uint32_t rate = 22050);

}  // namespace quor::test
