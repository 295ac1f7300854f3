#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quor::d3d9 {

// A picture decoded from file bytes: A8R8G8B8 words (bytes blue, green, red, alpha), rows
// top first, no padding.
struct DecodedPicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> bgra;
};

// The largest side a decoded picture may have; bigger ones are refused before allocating.
constexpr std::uint32_t kMaxPictureSide = 16384;

// Uncompressed 32-bit A8R8G8B8 DDS (level 0; the other levels are ignored). False with the
// reason in why for anything else: wrong magic, a header or pixels overrunning the bytes,
// another pixel format, a zero or oversized side.
bool DecodeDds(const std::uint8_t* data, std::size_t size, DecodedPicture& out, std::string* why = nullptr);

// DDS as above, or JPEG, TGA, PNG and BMP through stb_image. An 8-bit palette BMP takes its
// alpha from the palette when any entry has a non-zero fourth byte.
bool DecodePicture(const std::uint8_t* data, std::size_t size, DecodedPicture& out, std::string* why = nullptr);

}  // namespace quor::d3d9
