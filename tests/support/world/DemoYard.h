#pragma once
// The demo's walled yard in binary scene form, at the newest version and at 0x10014: the
// garden's terrain and box, and a collision tree over a ground grid, four walls, a ramp and a
// pillar (a few thousand polygons). The terrain and mesh files are DemoGardenFiles'.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "world/core/BSPTree.h"

namespace quor::test {

std::vector<world::BspPolygon> DemoYardPolygons();
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> DemoYardFiles();

}  // namespace quor::test
