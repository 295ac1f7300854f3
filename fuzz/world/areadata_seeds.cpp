// Seeds of areadata_fuzz: 8-bit palette bitmaps, bottom-up and top-down, narrow and wide.
#include "fuzz/Seeds.h"
#include "tests/support/world/scene/MapFixtures.h"
#include "world/scene/AreaData.h"

bool WriteSeeds() {
    using namespace quor::fixtures;
    Bitmap8 small;
    small.width = 5;
    small.height = 3;
    small.pixels = {1, 1, 1, 2, 2, 0, 3, 3, 3, 0, 4, 4, 4, 4, 4};
    small.palette = TestPalette(8);
    Bitmap8 wide;
    wide.width = 300;
    wide.height = 2;
    wide.pixels.assign(600, 7);
    wide.palette = TestPalette(8);
    Bitmap8 topDown = small;
    topDown.height = -3;
    bool ok = true;
    int i = 0;
    for (const Bitmap8& bmp : {small, wide, topDown}) {
        const std::vector<std::uint8_t> bytes = bmp.Build();
        quor::seeds::Seed("seed" + std::to_string(i++) + ".bmp", bytes);
        quor::AreaData area;
        ok = area.LoadFromMemory(bytes.data(), bytes.size(), "seed.bmp") && ok;
    }
    return ok;
}
