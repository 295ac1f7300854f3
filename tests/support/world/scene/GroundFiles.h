#pragma once
// Byte-by-byte writers of the 2D ground's block images: uncompressed A8R8G8B8 DDS, 32-bit TGA
// and JPEG (through stb_image_write), each from a colour function of the pixel.
#include <stb_image_write.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace quor::fixtures {

// 0xAARRGGBB of pixel (x, y), row 0 at the top.
using PixelFn = std::function<std::uint32_t(std::uint32_t x, std::uint32_t y)>;

inline void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::vector<std::uint8_t> DdsBytes(std::uint32_t width, std::uint32_t height, const PixelFn& pixel) {
    std::vector<std::uint8_t> b(128 + std::size_t(width) * height * 4, 0);
    b[0] = 'D', b[1] = 'D', b[2] = 'S', b[3] = ' ';
    PutLe32(&b[4], 124);
    PutLe32(&b[8], 0x100F);
    PutLe32(&b[12], height);
    PutLe32(&b[16], width);
    PutLe32(&b[20], width * 4);
    PutLe32(&b[28], 1);
    PutLe32(&b[76], 32);
    PutLe32(&b[80], 0x41);
    PutLe32(&b[88], 32);
    PutLe32(&b[92], 0x00FF0000);
    PutLe32(&b[96], 0x0000FF00);
    PutLe32(&b[100], 0x000000FF);
    PutLe32(&b[104], 0xFF000000);
    PutLe32(&b[108], 0x1000);
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) PutLe32(&b[128 + (std::size_t(y) * width + x) * 4], pixel(x, y));
    return b;
}

// Uncompressed true-colour TGA, 32 bits, rows stored top first.
inline std::vector<std::uint8_t> TgaBytes(std::uint32_t width, std::uint32_t height, const PixelFn& pixel) {
    std::vector<std::uint8_t> b(18, 0);
    b[2] = 2;
    b[12] = static_cast<std::uint8_t>(width), b[13] = static_cast<std::uint8_t>(width >> 8);
    b[14] = static_cast<std::uint8_t>(height), b[15] = static_cast<std::uint8_t>(height >> 8);
    b[16] = 32;
    b[17] = 0x28;  // 8 alpha bits, top-left origin
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t c = pixel(x, y);
            for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(c >> (8 * i)));
        }
    return b;
}

inline std::vector<std::uint8_t> JpegBytes(std::uint32_t width, std::uint32_t height, const PixelFn& pixel) {
    std::vector<std::uint8_t> rgb;
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t c = pixel(x, y);
            rgb.push_back(static_cast<std::uint8_t>(c >> 16));
            rgb.push_back(static_cast<std::uint8_t>(c >> 8));
            rgb.push_back(static_cast<std::uint8_t>(c));
        }
    std::vector<std::uint8_t> out;
    stbi_write_jpg_to_func(
        [](void* context, void* data, int size) {
            auto* v = static_cast<std::vector<std::uint8_t>*>(context);
            v->insert(v->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
        },
        &out, int(width), int(height), 3, rgb.data(), 90);
    return out;
}

}  // namespace quor::fixtures
