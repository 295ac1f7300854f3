#include "world/scene/AreaData.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, b.data() + at, 4);  // little-endian, as the file
    return v;
}

void Require(bool holds) {
    if (!holds) __builtin_trap();
}

}  // namespace

// Loads the bytes as an area bitmap; a map that loads must answer, at every pixel of its first
// rows (and just outside them), what a direct decode of the bitmap's bytes gives.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A private copy so reads past the end land outside an exact-size heap block.
    std::vector<uint8_t> bytes(data, data + size);
    quor::AreaData area;
    if (!area.LoadFromMemory(bytes.data(), bytes.size(), "fuzz.bmp")) {
        Require(!area.IsLoaded() && area.Width() == 0 && area.Height() == 0);
        return 0;
    }
    // The headers the loader accepted: bits at offset 10, header size at 14, palette after it.
    const std::uint32_t bitsOffset = U32At(bytes, 10), headerSize = U32At(bytes, 14);
    const std::int32_t width = static_cast<std::int32_t>(U32At(bytes, 18));
    const std::int32_t rawHeight = static_cast<std::int32_t>(U32At(bytes, 22));
    const std::uint32_t colorsUsed = U32At(bytes, 46);
    const std::int32_t height = rawHeight < 0 ? -rawHeight : rawHeight;
    Require(area.Width() == width && area.Height() == height);
    const std::uint32_t colours = colorsUsed ? colorsUsed : 256;
    const std::size_t palette = 14 + std::size_t(headerSize);
    const std::size_t stride = ((8ull * std::size_t(width) + 31) / 8) & ~std::size_t(3);
    for (std::int32_t y = -1; y <= height && y < 8; ++y) {
        for (std::int32_t x = -1; x <= width && x < 70000; ++x) {
            std::int32_t want = 0;
            if (x >= 0 && y >= 0 && x < width && y < height) {
                // Rows are stored bottom-up.
                const std::uint8_t index = bytes[bitsOffset + std::size_t(height - 1 - y) * stride + std::size_t(x)];
                if (index < colours) want = static_cast<std::int32_t>(U32At(bytes, palette + 4u * index));
            }
            Require(area.GetValue(x, y) == want);
        }
    }
    return 0;
}
