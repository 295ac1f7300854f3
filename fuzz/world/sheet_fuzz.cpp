// Sheet files of any bytes: parsing must never crash or read outside the text, and what parses
// must give a texture name within its limit and a grid whose cells start inside the texture
// (a cell of a fractional grid may reach past its edge, where the texture repeats).
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "world/fx/SheetFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quor::world::SheetFile sheet;
    if (!quor::world::ParseSheetText(reinterpret_cast<const char*>(data), size, sheet)) {
        if (!sheet.texture.empty()) __builtin_trap();  // a failed parse leaves the target alone
        return 0;
    }
    if (sheet.texture.size() > quor::world::SheetFile::kMaxTexture) __builtin_trap();
    if (!sheet.texture.empty() && sheet.texture.back() == '\r') __builtin_trap();
    for (float v : {sheet.columns, sheet.rows, sheet.third, sheet.fourth, sheet.length})
        if (!std::isfinite(v)) __builtin_trap();

    const quor::world::SheetGrid grid(sheet.columns, sheet.rows);
    if (grid.FrameCount() < 1) __builtin_trap();
    const int probes[] = {0, 1, grid.FrameCount() - 1, grid.FrameCount(), -1, static_cast<int>(std::fmod(std::fabs(sheet.fourth), 1000.0f))};
    for (int frame : probes) {
        float uv[8];
        grid.FrameRect(frame, uv);
        for (float c : uv)
            if (!(c >= 0.0f) || !std::isfinite(c)) __builtin_trap();
        if (!(uv[0] < 1.0f && uv[1] < 1.0f)) __builtin_trap();
        if (!(uv[2] > uv[0] && uv[5] > uv[1])) __builtin_trap();
    }
    return 0;
}
