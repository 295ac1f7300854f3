#pragma once
// Compiles collision trees from triangles and quads and writes the tree's section of a binary
// scene file in any version's layout, for the tree tests, the fuzz seeds and the samples.
#include <cstdint>
#include <vector>

#include "world/core/BSPTree.h"

namespace quor::test {

struct BspTreeDesc {
    std::vector<world::BspPolygon> polygons;
    std::vector<world::BspNode> nodes;
    std::int32_t root = -1;
};

// A polygon with its plane from its vertices (three, or four for a quad).
world::BspPolygon MakeBspPolygon(const Vec3* vertices, bool quad, std::int32_t userValue = 0);

// Each node's splitter is the best of a few polygons sampled from its set (fewest straddling,
// then balance); polygons straddling the plane are referenced on both sides, those in it go to
// the positive side.
BspTreeDesc CompileBsp(const std::vector<world::BspPolygon>& polygons, std::uint32_t seed);

// The section as a scene file of that version stores it. Polygons written in the variable
// layouts must be quads (flags 16) or triangles (flags 0) for the vertex count to follow.
std::vector<std::uint8_t> WriteBspSection(const BspTreeDesc& tree, std::uint32_t version);

// Random small triangles and quads facing random ways inside a cube of half size `half`.
std::vector<world::BspPolygon> RandomBspScene(std::uint32_t count, float half, float size, std::uint32_t seed);

}  // namespace quor::test
