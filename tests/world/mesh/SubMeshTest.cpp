#include "world/mesh/SubMesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using quor::SubMesh;

TEST(SubMesh, AlphaBytesAreTruncatedAndClamped) {
    struct Case {
        float alpha;
        int byte;
    };
    const Case cases[] = {{1.0f, 255},  {0.999f, 254}, {0.5f, 127},  {0.0f, 0},    {-0.5f, 0},
                          {1.5f, 255},  {256.0f, 255}, {-1e30f, 0},  {INFINITY, 255},
                          {std::numeric_limits<float>::quiet_NaN(), 0}};
    for (const Case& c : cases) EXPECT_EQ(SubMesh::AlphaByte(c.alpha), c.byte) << c.alpha;
    EXPECT_EQ(SubMesh::RepeatedAlpha(128), 0x80808080u);
    EXPECT_EQ(SubMesh::RepeatedAlpha(255), 0xFFFFFFFFu);
}

TEST(SubMesh, TechniqueAndAlphaNames) {
    EXPECT_EQ(SubMesh::TechniqueFileName("a.fx"), "a.tech");
    EXPECT_EQ(SubMesh::AlphaName("a.tech"), "a_alpha.tech");
    EXPECT_EQ(SubMesh::AlphaName("dir.v2/a.tech"), "dir.v2/a_alpha.tech");
    EXPECT_EQ(SubMesh::AlphaName("noext"), "noext_alpha");
    EXPECT_EQ(SubMesh::TechniqueFileName("x"), "");
    EXPECT_EQ(SubMesh::TechniqueFileName(""), "");
    EXPECT_EQ(SubMesh::TechniqueFileName("ab"), "tech");
}

TEST(SubMesh, ColourOpAndBlend) {
    for (std::uint32_t op : {0u, 3u, 6u, 255u}) EXPECT_EQ(SubMesh::ColourOp(op), 4u) << op;
    EXPECT_EQ(SubMesh::ColourOp(4), 4u);
    EXPECT_EQ(SubMesh::ColourOp(5), 5u);
    struct Case {
        int source, destination;
        bool defaultTechnique;
        int wantSource, wantDestination;
    };
    const Case cases[] = {{2, 3, false, 2, 3},  {0, 3, false, 5, 6},  {2, 16, false, 5, 6},
                          {16, 1, false, 5, 6}, {15, 15, false, 15, 15}, {2, 3, true, 5, 6}};
    for (const Case& c : cases) {
        int s = -1, d = -1;
        SubMesh::ChooseBlend(c.source, c.destination, c.defaultTechnique, s, d);
        EXPECT_EQ(s, c.wantSource) << c.source << " " << c.destination;
        EXPECT_EQ(d, c.wantDestination) << c.source << " " << c.destination;
    }
}

}  // namespace
