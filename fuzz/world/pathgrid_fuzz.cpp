#include "world/scene/PathGrid.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/win32/Messages.h"

namespace {

void Require(bool holds) {
    if (!holds) __builtin_trap();
}

// A path search's output: the count twice, then that many cell centres. With a path every
// cell lies on the grid and passes the variant's test; without one the single entry is (-8, -8).
void CheckPath(const quor::PathGrid& grid, const std::vector<std::int32_t>& out, bool freeOnly) {
    Require(out.size() >= 4 && out[0] == out[1] && out.size() == 2 + 2 * std::size_t(out[0]));
    if (out[0] == 1) {
        Require(out[2] == -8 && out[3] == -8);
        return;
    }
    for (std::size_t i = 2; i < out.size(); i += 2) {
        Require((out[i] - 8) % 16 == 0 && (out[i + 1] - 8) % 16 == 0);
        const std::int32_t x = (out[i] - 8) / 16, y = (out[i + 1] - 8) / 16;
        Require(freeOnly ? grid.IsCellFree(x, y) : grid.IsCellNot2(x, y));
    }
}

}  // namespace

// Loads the bytes as a ".data" grid; a grid that loads answers a few queries whose pixel
// points come from the data's last bytes (some far off the map), and each answer is checked.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The size warnings go to the message-box stand-in, which keeps them: each input leaves
    // it empty, so that no input looks like a leak.
    struct ClearMessages {
        ~ClearMessages() { quor::win32::MessageSink::Instance().Clear(); }
    } clearMessages;
    // A private copy so reads past the end land outside an exact-size heap block.
    std::vector<uint8_t> bytes(data, data + size);
    quor::PathGrid grid;
    if (!grid.LoadFromMemory(bytes.data(), bytes.size())) {
        Require(!grid.IsLoaded());
        return 0;
    }
    if (static_cast<std::int64_t>(grid.Width()) * grid.Height() > 4096) return 0;  // keep runs quick
    std::int32_t p[8] = {};
    for (int i = 0; i < 8 && size >= 8 + 2u * i; ++i) {
        std::int16_t v;
        std::memcpy(&v, data + size - 2 - 2 * i, 2);
        p[i] = v;
    }
    std::vector<std::int32_t> out;
    grid.FindPathFree(p[0], p[1], p[2], p[3], out);
    CheckPath(grid, out, true);
    grid.FindPathAvoid2(p[4], p[5], p[6], p[7], out);
    CheckPath(grid, out, false);
    grid.GetLineCells(p[0], p[5], p[2] * 4096, p[7], out);
    // The line fits the scene's buffer of width + height + 4 entries and starts at its first cell.
    Require(out.size() >= 6 && out[0] == out[1] && out[0] >= 2 && out[0] <= grid.Width() + grid.Height() + 4);
    Require(out.size() == 2 + 2 * std::size_t(out[0]) + 2 && out[out.size() - 1] == -1 && out[out.size() - 2] == -1);
    Require(out[2] == quor::PathGrid::CellCentre(quor::PathGrid::PixelToCell(p[0])));
    std::int32_t cell[2] = {-1, -1};
    if (grid.FindNearestFreeCell(p[1], p[6], cell)) {
        Require(grid.IsCellFree((cell[0] - 8) / 16, (cell[1] - 8) / 16));
    }
    return 0;
}
