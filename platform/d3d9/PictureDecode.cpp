#include "platform/d3d9/PictureDecode.h"

#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

namespace quor::d3d9 {

namespace {

std::uint32_t Get32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

bool Fail(std::string* why, const char* text) {
    if (why) *why = text;
    return false;
}

constexpr std::size_t kDdsHeader = 128;

// An uncompressed 8-bit palette bitmap whose palette gives some entry a non-zero fourth byte
// carries alpha there (masks drawn through their alpha are stored so); a palette whose fourth
// bytes are all zero is opaque, as usual. Applied to what the general decoder made of it.
void ApplyPaletteAlpha(const std::uint8_t* data, std::size_t size, DecodedPicture& out) {
    if (size < 54 || data[0] != 'B' || data[1] != 'M') return;
    const std::uint32_t bitsOffset = Get32(data + 10), infoSize = Get32(data + 14);
    const auto width = std::int32_t(Get32(data + 18)), height = std::int32_t(Get32(data + 22));
    const std::uint32_t bitCount = std::uint32_t(data[28]) | std::uint32_t(data[29]) << 8;
    if (bitCount != 8 || Get32(data + 30) != 0 || infoSize < 40 || infoSize > size - 14) return;
    const std::int64_t rows = height < 0 ? -std::int64_t(height) : height;
    if (width <= 0 || std::uint32_t(width) != out.width || std::uint64_t(rows) != out.height) return;
    std::uint32_t colours = Get32(data + 46);
    if (colours == 0 || colours > 256) colours = 256;
    const std::size_t palette = 14 + std::size_t(infoSize);
    colours = std::uint32_t(std::min<std::size_t>(colours, (size - palette) / 4));
    bool alpha = false;
    for (std::uint32_t i = 0; i < colours; ++i) alpha = alpha || data[palette + i * 4 + 3] != 0;
    const std::size_t stride = (std::size_t(width) + 3) & ~std::size_t(3);
    if (!alpha || bitsOffset > size || std::uint64_t(size - bitsOffset) < stride * std::uint64_t(rows)) return;
    for (std::int64_t y = 0; y < rows; ++y) {
        // Rows are stored bottom-up unless the height is negative.
        const std::int64_t row = height < 0 ? y : rows - 1 - y;
        const std::uint8_t* in = data + bitsOffset + std::size_t(row) * stride;
        std::uint8_t* pixel = out.bgra.data() + std::size_t(y) * std::size_t(width) * 4;
        for (std::int32_t x = 0; x < width; ++x, pixel += 4)
            if (in[x] < colours) pixel[3] = data[palette + std::size_t(in[x]) * 4 + 3];
    }
}

}  // namespace

bool DecodeDds(const std::uint8_t* data, std::size_t size, DecodedPicture& out, std::string* why) {
    if (!data || size < 4 || std::memcmp(data, "DDS ", 4) != 0) return Fail(why, "not a DDS file");
    if (size < kDdsHeader) return Fail(why, "DDS header truncated");
    if (Get32(data + 4) != 124 || Get32(data + 76) != 32) return Fail(why, "DDS header sizes wrong");
    const std::uint32_t height = Get32(data + 12), width = Get32(data + 16);
    const std::uint32_t flags = Get32(data + 80);
    // RGB with alpha, 32 bits, the A8R8G8B8 masks: the one layout read here.
    if (!(flags & 0x40) || (flags & 0x4) || Get32(data + 88) != 32 || Get32(data + 92) != 0x00FF0000u ||
        Get32(data + 96) != 0x0000FF00u || Get32(data + 100) != 0x000000FFu || Get32(data + 104) != 0xFF000000u)
        return Fail(why, "DDS pixel format is not A8R8G8B8");
    if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide)
        return Fail(why, "DDS size out of range");
    const std::size_t bytes = std::size_t(width) * height * 4;
    if (size - kDdsHeader < bytes) return Fail(why, "DDS pixels truncated");
    out.width = width;
    out.height = height;
    out.bgra.assign(data + kDdsHeader, data + kDdsHeader + bytes);
    return true;
}

bool DecodePicture(const std::uint8_t* data, std::size_t size, DecodedPicture& out, std::string* why) {
    if (!data || size == 0) return Fail(why, "no data");
    if (size >= 4 && std::memcmp(data, "DDS ", 4) == 0) return DecodeDds(data, size, out, why);
    if (size > std::size_t(INT_MAX)) return Fail(why, "picture too large");
    int w = 0, h = 0, info = 0;
    if (!stbi_info_from_memory(data, int(size), &w, &h, &info)) return Fail(why, "not a picture");
    if (w <= 0 || h <= 0 || std::uint32_t(w) > kMaxPictureSide || std::uint32_t(h) > kMaxPictureSide)
        return Fail(why, "picture size out of range");
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load_from_memory(data, int(size), &w, &h, &info, 4),
                                                     stbi_image_free);
    if (!pixels) return Fail(why, "picture cannot be decoded");
    out.width = std::uint32_t(w);
    out.height = std::uint32_t(h);
    const std::size_t n = std::size_t(w) * std::size_t(h);
    out.bgra.resize(n * 4);
    const stbi_uc* in = pixels.get();
    for (std::size_t i = 0; i < n; ++i) {
        out.bgra[i * 4 + 0] = in[i * 4 + 2];
        out.bgra[i * 4 + 1] = in[i * 4 + 1];
        out.bgra[i * 4 + 2] = in[i * 4 + 0];
        out.bgra[i * 4 + 3] = in[i * 4 + 3];
    }
    ApplyPaletteAlpha(data, size, out);
    return true;
}

}  // namespace quor::d3d9
