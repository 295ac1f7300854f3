#include "world/scene/AreaData.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Loads the bytes as an area bitmap; a map that loads is read at every pixel of a few rows.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A private copy so reads past the end land outside an exact-size heap block.
    std::vector<uint8_t> bytes(data, data + size);
    quor::AreaData area;
    if (!area.LoadFromMemory(bytes.data(), bytes.size(), "fuzz.bmp")) return 0;
    volatile std::uint32_t sink = 0;
    for (std::int32_t y = -1; y <= area.Height() && y < 8; ++y) {
        for (std::int32_t x = -1; x <= area.Width() && x < 70000; ++x) sink = sink + static_cast<std::uint32_t>(area.GetValue(x, y));
    }
    return 0;
}
