// Seeds of pathgrid_fuzz: small grids with walls, costly cells and a one-cell map.
#include "fuzz/Seeds.h"
#include "tests/support/world/scene/MapFixtures.h"
#include "world/scene/PathGrid.h"

bool WriteSeeds() {
    using quor::fixtures::PathData;
    const std::vector<std::vector<std::uint8_t>> seeds = {
        PathData({"00000000", "00111100", "00000100", "01110100", "00000000"}),
        PathData({"000020", "000022"}), PathData({"0124"}), PathData(0, 1, "0\n")};
    bool ok = true;
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        quor::seeds::Seed("seed" + std::to_string(i) + ".data", seeds[i]);
        quor::PathGrid grid;
        if (i < 3) ok = grid.LoadFromMemory(seeds[i].data(), seeds[i].size()) && ok;
    }
    return ok;
}
