#include "world/scene/PathGrid.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// Loads the bytes as a ".data" grid; a grid that loads answers a few queries whose pixel
// points come from the data's last bytes (some far off the map).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A private copy so reads past the end land outside an exact-size heap block.
    std::vector<uint8_t> bytes(data, data + size);
    quor::PathGrid grid;
    if (!grid.LoadFromMemory(bytes.data(), bytes.size())) return 0;
    if (static_cast<std::int64_t>(grid.Width()) * grid.Height() > 4096) return 0;  // keep runs quick
    std::int32_t p[8] = {};
    for (int i = 0; i < 8 && size >= 8 + 2u * i; ++i) {
        std::int16_t v;
        std::memcpy(&v, data + size - 2 - 2 * i, 2);
        p[i] = v;
    }
    std::vector<std::int32_t> out;
    grid.FindPathFree(p[0], p[1], p[2], p[3], out);
    grid.FindPathAvoid2(p[4], p[5], p[6], p[7], out);
    grid.GetLineCells(p[0], p[5], p[2] * 4096, p[7], out);
    std::int32_t cell[2];
    grid.FindNearestFreeCell(p[1], p[6], cell);
    return 0;
}
