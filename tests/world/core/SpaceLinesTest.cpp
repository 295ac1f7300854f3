#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "tests/support/world/core/ObjectModelSupport.h"
#include "world/core/SpaceLines.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::SpaceLines;

Vec3 VertexAt(SpaceLines& lines, std::uint32_t i) {
    Vec3 p{-99, -99, -99};
    lines.GetVertex(i, &p, nullptr);
    return p;
}

TEST(SpaceLines, InitPerKind) {
    RendererScope scope;
    struct Case {
        int kind;
        std::uint32_t lines, vertices;
        bool ok;
        std::uint32_t vertexCount, indexCount, available;
    };
    const Case cases[] = {
        {1, 3, 0, true, 6, 0, 3},   {2, 3, 0, true, 4, 0, 3},   {1, 0, 7, true, 7, 0, 3},
        {2, 0, 7, true, 7, 0, 6},   {1, 0, 0, false, 0, 0, 0},  {3, 4, 0, false, 0, 0, 0},
        {3, 0, 4, false, 0, 0, 0},  {3, 12, 8, true, 8, 24, 12}, {3, 1, 65537, false, 0, 0, 0},
        {3, 1, 65536, true, 65536, 2, 1},
    };
    for (const Case& c : cases) {
        SpaceLines lines(c.kind, false, 0xFF102030);
        EXPECT_EQ(lines.Init(c.lines, c.vertices), c.ok) << c.kind << " " << c.lines << " " << c.vertices;
        EXPECT_EQ(lines.GetVertexCount(), c.vertexCount);
        EXPECT_EQ(lines.GetIndexCount(), c.indexCount);
        EXPECT_EQ(lines.AvailableLines(), c.available);
        // A new object draws every line it holds.
        EXPECT_EQ(lines.GetDrawLineCount(), c.available);
        if (c.ok) {
            auto* rec = scope.renderer.LastRenderable();
            ASSERT_NE(rec, nullptr);
            ASSERT_EQ(rec->ranges.size(), 1u);
            EXPECT_EQ(rec->ranges[0].primitiveCount, c.available);
            auto* buffer = scope.renderer.LastVertexBuffer();
            EXPECT_EQ(buffer->format, 0x2u);
            EXPECT_EQ(buffer->stride, 12u);
            EXPECT_EQ(buffer->primitiveType, c.kind == 2 ? 3 : 2);
        }
    }
}

TEST(SpaceLines, ShapesRecordTheirVertices) {
    RendererScope scope;
    SpaceLines circle(1, false, 0xFFFFFFFF);
    circle.MakeCircle(2.0f, 4);
    ASSERT_EQ(circle.GetKind(), 2);
    ASSERT_EQ(circle.GetVertexCount(), 5u);
    const float expected[5][2] = {{2, 0}, {0, 2}, {-2, 0}, {0, -2}, {2, 0}};
    for (std::uint32_t i = 0; i < 5; ++i) {
        EXPECT_NEAR(VertexAt(circle, i).x, expected[i][0], 1e-5f);
        EXPECT_NEAR(VertexAt(circle, i).y, expected[i][1], 1e-5f);
    }
    EXPECT_EQ(circle.GetDrawLineCount(), 4u) << "a new circle draws all its segments";
    circle.CommitIfDirty();
    // What the renderer holds is what the object holds.
    const auto* buffer = scope.renderer.LastVertexBuffer();
    ASSERT_EQ(buffer->vertices.size(), 5u * 12u);
    float x4 = 0;
    std::memcpy(&x4, buffer->vertices.data() + 4 * 12, 4);
    EXPECT_NEAR(x4, 2.0f, 1e-5f);

    SpaceLines box(1, false, 0xFFFFFFFF);
    box.MakeBox(Vec3{0, 0, 0}, Vec3{1, 2, 3});
    ASSERT_EQ(box.GetKind(), 3);
    ASSERT_EQ(box.GetIndexCount(), 24u);
    const std::uint16_t joins[24] = {0, 1, 1, 2, 2, 3, 3, 0, 4, 5, 5, 6, 6, 7, 7, 4, 0, 4, 1, 5, 2, 6, 3, 7};
    EXPECT_EQ(std::vector<std::uint16_t>(box.GetIndices(), box.GetIndices() + 24),
              std::vector<std::uint16_t>(joins, joins + 24));
    Vec3 from, to;
    box.GetLineVertices(10, &from, &to);  // 2-6: a vertical edge of the far corner column
    EXPECT_EQ(from.z, 0.0f);
    EXPECT_EQ(to.z, 3.0f);
    EXPECT_EQ(from.x, 1.0f);
    EXPECT_EQ(from.y, 2.0f);
    Vec3 untouched{7, 7, 7};
    box.GetLineVertices(12, &untouched, nullptr);
    EXPECT_EQ(untouched.x, 7.0f) << "lines past the end are ignored";

    SpaceLines axes(1, false, 0xFFFFFFFF);
    axes.MakeAxes(1.0f, true);
    EXPECT_TRUE(axes.HasVertexColours());
    std::uint32_t colour = 0;
    axes.GetVertexColour(&colour, 3);
    EXPECT_EQ(colour, 0xFF00B000u);
    EXPECT_EQ(scope.renderer.LastVertexBuffer()->format, 0x42u);

    SpaceLines segment(2, true, 0xFFFFFFFF);
    segment.MakeSegment(Vec3{1, 2, 3}, Vec3{4, 5, 6}, 0xFF0000FF);
    EXPECT_EQ(segment.GetKind(), 1);
    segment.GetVertexColour(&colour, 1);
    EXPECT_EQ(colour, 0xFF0000FFu);

    SpaceLines plain(1, false, 0xFF123456);
    plain.MakeCross(2.0f);
    plain.GetVertexColour(&colour, 0);
    EXPECT_EQ(colour, 0xFF123456u) << "without vertex colours the object colour answers";

    SpaceLines grid(1, false, 0xFFFFFFFF);
    grid.MakeGrid(1.0f, 2.0f, 2, 1);
    EXPECT_EQ(grid.AvailableLines(), 5u);
    EXPECT_EQ(VertexAt(grid, 0).x, -1.0f);
    EXPECT_EQ(VertexAt(grid, 0).y, -1.0f);

    for (auto make : {+[](SpaceLines& l) { l.MakeMarker(1.0f); }, +[](SpaceLines& l) { l.MakeArrow(1.0f); },
                      +[](SpaceLines& l) { l.MakeAxes(1.0f, false); }}) {
        SpaceLines shape(1, false, 0xFFFFFFFF);
        make(shape);
        ASSERT_EQ(shape.GetKind(), 3);
        // Every index names a real vertex and no line is degenerate.
        for (std::uint32_t i = 0; i + 1 < shape.GetIndexCount(); i += 2) {
            EXPECT_LT(shape.GetIndices()[i], shape.GetVertexCount());
            EXPECT_NE(shape.GetIndices()[i], shape.GetIndices()[i + 1]);
        }
    }
}

TEST(SpaceLines, RefusedShapes) {
    RendererScope scope;
    for (int n : {0, -3}) {
        SpaceLines arc(2, false, 0xFFFFFFFF);
        arc.MakeArc(1.0f, 90.0f, n);
        EXPECT_EQ(arc.GetVertexCount(), 0u);
    }
    SpaceLines huge(1, false, 0xFFFFFFFF);
    EXPECT_FALSE(huge.Init(0x80000000u, 0));
    EXPECT_EQ(huge.GetVertexCount(), 0u);
}

TEST(SpaceLines, DrawLineCountReachesTheRenderer) {
    RendererScope scope;
    SpaceLines grid(1, false, 0xFFFFFFFF);
    grid.MakeGrid(1, 1, 5, 5);  // 12 lines
    ASSERT_EQ(grid.AvailableLines(), 12u);
    EXPECT_EQ(grid.SetDrawLineCount(100), 12u);
    EXPECT_EQ(grid.GetDrawLineCount(), 12u);
    EXPECT_EQ(grid.SetDrawLineCount(5), 12u);
    EXPECT_EQ(grid.GetDrawVertexCount(), 10u);
    auto* rec = scope.renderer.LastRenderable();
    EXPECT_EQ(rec->ranges[0].primitiveCount, 5u);
    EXPECT_EQ(rec->ranges[0].vertexCount, 10u);
    grid.CommitIfDirty();
    EXPECT_EQ(rec->submits, 1);
    grid.SetDrawEnabled(false);
    EXPECT_EQ(rec->flags, 0x30u);
    grid.CommitIfDirty();
    EXPECT_EQ(rec->submits, 1);
}

TEST(SpaceLines, TransformVerticesClamps) {
    RendererScope scope;
    Matrix shift;
    MatrixIdentity(shift);
    shift.m[12] = 10.0f;
    struct Case {
        std::uint32_t first;
        int count;
        std::vector<float> xs;  // x of the 6 vertices after
    };
    const Case cases[] = {
        {1, 1, {0, 1, 12, 13, 4, 5}},
        {1, -1, {0, 1, 12, 13, 14, 15}},     // negative: the rest
        {2, 5, {0, 1, 2, 3, 14, 15}},        // past the end: the rest
        {7, 1, {10, 11, 2, 3, 4, 5}},        // first beyond the lines: from line 0
    };
    for (const Case& c : cases) {
        SpaceLines lines(1, false, 0xFFFFFFFF);
        ASSERT_TRUE(lines.Init(3, 0));
        for (std::uint32_t i = 0; i < 6; ++i) lines.SetVertexXYZ(i, float(i), 0, 0, nullptr);
        lines.TransformVertices(shift, c.first, c.count);
        for (std::uint32_t i = 0; i < 6; ++i) EXPECT_EQ(VertexAt(lines, i).x, c.xs[i]) << c.first << "," << c.count;
    }
}

TEST(SpaceLines, SharedEffectAndRenderObjectsAreReleased) {
    RendererScope scope;
    SpaceLines::CreateSharedResource();
    ASSERT_NE(SpaceLines::SharedEffect(), nullptr);
    {
        SpaceLines lines(1, true, 0xFFFFFFFF);
        lines.MakeCross(1.0f);
        EXPECT_EQ(scope.renderer.LastRenderable()->effect, SpaceLines::SharedEffect());
    }
    SpaceLines::ReleaseSharedResource();
    EXPECT_EQ(scope.renderer.LiveObjects(), 0);
    EXPECT_EQ(scope.renderer.BadReleases(), 0);
}

}  // namespace
