#include "world/core/math/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "tests/support/world/core/RandomMath.h"

namespace quor {
namespace {

// One row per edge case: a name and a check that answers whether the behaviour holds.
struct EdgeCase {
    const char* name;
    std::function<bool()> holds;
};

Ray MakeRay(Vec3 o, Vec3 d) { return Ray{o, d}; }

const Plane kGround{{0, 1, 0}, 2.0f};  // y = 2

TEST(Geometry, EdgeCases) {
    const Vec3 a{0, 0, 0}, b{4, 0, 0}, c{0, 4, 0}, d{4, 4, 0};
    const EdgeCase cases[] = {
        {"line lying in the plane answers 0",
         [] { float t = 7; return IntersectLineWithPlane(MakeRay({0, 2, 0}, {1, 0, 0}), kGround, t) == 0 && t == 7; }},
        {"parallel line 1e-3 off the plane answers 1",
         [] { float t; return IntersectLineWithPlane(MakeRay({0, 2.001f, 0}, {1, 0, 0}), kGround, t) == 1; }},
        {"line crossing at t = 0.5 answers 2",
         [] { float t = 0; return IntersectLineWithPlane(MakeRay({0, 1, 0}, {0, 2, 0}), kGround, t) == 2 && t == 0.5f; }},
        {"crossing from above gives the same t",
         [] { float t = 0; return IntersectLineWithPlane(MakeRay({3, 3, 3}, {0, -2, 0}), kGround, t) == 2 && t == 0.5f; }},
        {"near-zero x direction does not meet x = c",
         [] { Vec3 p; float t; return !IntersectLineWithPlaneX(MakeRay({0, 0, 0}, {1e-5f, 1, 0}), 1, p, t); }},
        {"y = c crossing gives the point with the exact height",
         [] { Vec3 p; float t; return IntersectLineWithPlaneY(MakeRay({1, 0, 1}, {2, 4, 6}), 2, p, t) && t == 0.5f && p == Vec3{2, 2, 4}; }},
        {"point on a face is in the cube",
         [] { return PointInCube({1, 0.5f, -1}, {0, 0, 0}, Vec3{1, 1, 1}); }},
        {"point just off a face is not in the cube",
         [] { return !PointInCube({1.0001f, 0, 0}, {0, 0, 0}, 1.0f); }},
        {"near zero within 1e-4, inclusive",
         [] { return IsNearZero({1e-4f, -1e-4f, 0}) && !IsNearZero({2e-4f, 0, 0}); }},
        {"clamped distance behind the origin measures to the origin",
         [] { return SegmentPointDistance(MakeRay({0, 0, 0}, {1, 0, 0}), {-3, 4, 0}, true) == 5.0f; }},
        {"clamped distance beyond the end measures to the end",
         [] { return SegmentPointDistance(MakeRay({0, 0, 0}, {1, 0, 0}), {4, 4, 0}, true) == 5.0f; }},
        {"unclamped distance measures to the line",
         [] { return SegmentPointDistance(MakeRay({0, 0, 0}, {1, 0, 0}), {-3, 4, 0}, false) == 4.0f; }},
        {"segment touching the sphere does not intersect it",
         [] { Bounds s; s.radius = 1; return !s.SphereIntersectsSegment(MakeRay({-2, 1, 0}, {4, 0, 0})); }},
        {"segment passing inside the sphere intersects it",
         [] { Bounds s; s.radius = 1; return s.SphereIntersectsSegment(MakeRay({-2, 0.99f, 0}, {4, 0, 0})); }},
        {"segment ending short of the sphere does not intersect it",
         [] { Bounds s; s.radius = 1; return !s.SphereIntersectsSegment(MakeRay({-3, 0, 0}, {1.5f, 0, 0})); }},
        {"zero-length segment inside the sphere is a point inside it",
         [] { Bounds s; s.radius = 1; return s.SphereIntersectsSegment(MakeRay({0.5f, 0, 0}, {0, 0, 0})); }},
        {"zero-length segment outside the sphere is a point outside it",
         [] { Bounds s; s.radius = 1; return !s.SphereIntersectsSegment(MakeRay({1.5f, 0, 0}, {0, 0, 0})); }},
        {"distance to a zero-length segment or line is the distance to its origin",
         [] { return SegmentPointDistance(MakeRay({1, 1, 1}, {0, 0, 0}), {1, 4, 5}, true) == 5.0f &&
                     SegmentPointDistance(MakeRay({1, 1, 1}, {0, 0, 0}), {1, 4, 5}, false) == 5.0f; }},
        {"segment wholly inside the box crosses no face",
         [] { Bounds box; box.half = {2, 2, 2}; return !box.BoxIntersectsSegment(MakeRay({-1, 0, 0}, {2, 0, 0})); }},
        {"segment through the box crosses a face",
         [] { Bounds box; box.half = {2, 2, 2}; return box.BoxIntersectsSegment(MakeRay({-3, 0, 0}, {6, 0, 0})); }},
        {"segment leaving the box crosses a face",
         [] { Bounds box; box.half = {2, 2, 2}; return box.BoxIntersectsSegment(MakeRay({0, 0, 0}, {0, 0, 3})); }},
        {"segment ending on a face does not cross it (t < 1 strict)",
         [] { Bounds box; box.half = {2, 2, 2}; return !box.BoxIntersectsSegment(MakeRay({-4, 0, 0}, {2, 0, 0})); }},
        {"segment grazing along an edge does not cross (strictly between)",
         [] { Bounds box; box.half = {2, 2, 2}; return !box.BoxIntersectsSegment(MakeRay({-3, 2, 2}, {6, 0, 0})); }},
        {"collinear points leave the plane as it was",
         [] { Plane p = kGround; return !p.SetFromPoints({0, 0, 0}, {1, 1, 1}, {3, 3, 3}) && p.normal == kGround.normal && p.d == kGround.d; }},
        {"coincident points leave the plane as it was",
         [] { Plane p = kGround; return !p.SetFromPoints({1, 1, 1}, {1, 1, 1}, {1, 1, 1}) && p.d == kGround.d; }},
        {"plane normal follows (b - a) x (c - a)",
         [] { Plane p; return p.SetFromPoints({0, 0, 5}, {1, 0, 5}, {0, 1, 5}) && p.normal == Vec3{0, 0, 1} && p.d == 5.0f; }},
        {"long thin triangle still gives a unit normal",
         [] { Plane p; return p.SetFromPoints({0, 0, 0}, {1000, 0, 0}, {500, 0.1f, 0}) && std::fabs(p.normal.z - 1.0f) < 1e-6f; }},
        {"a thinner one falls under the relative area limit",
         [] { Plane p; return !p.SetFromPoints({0, 0, 0}, {1000, 0, 0}, {500, 0.01f, 0}); }},
        {"vertex of the triangle is inside",
         [=] { return PointInTriangle(b, a, b, c); }},
        {"point on an edge is inside",
         [=] { return PointInTriangle({2, 0, 0}, a, b, c); }},
        {"point off the triangle's plane is rejected by the bounds",
         [=] { return !PointInTriangle({1, 1, 0.1f}, a, b, c); }},
        {"masked: point beyond a-b gives mask 1 and false",
         [=] { std::uint32_t m = 99; return !PointInTriangle({2, -1, 0}, a, b, c, &m) && m == kTriEdgeAB; }},
        {"masked: point beyond b-c gives mask 2",
         [=] { std::uint32_t m = 0; return !PointInTriangle({3, 3, 0}, a, b, c, &m) && m == kTriEdgeBC; }},
        {"masked: point beyond c-a gives mask 4",
         [=] { std::uint32_t m = 0; return !PointInTriangle({-1, 2, 0}, a, b, c, &m) && m == kTriEdgeCA; }},
        {"masked: point beyond the corner at a names both edges there",
         [=] { std::uint32_t m = 0; return !PointInTriangle({-1, -1, 0}, a, b, c, &m) && m == (kTriEdgeAB | kTriEdgeCA); }},
        {"masked: inside point gives mask 0 and true",
         [=] { std::uint32_t m = 99; return PointInTriangle({1, 1, 0}, a, b, c, &m) && m == 0; }},
        {"quad: inside and on an edge",
         [=] { return PointInQuad({2, 2, 0}, a, b, d, c) && PointInQuad({4, 2, 0}, a, b, d, c); }},
        {"quad: outside beyond every edge, masks 1, 2, 8, 16",
         [=] {
             const Vec3 p[4] = {{2, -1, 0}, {5, 2, 0}, {2, 5, 0}, {-1, 2, 0}};
             const std::uint32_t want[4] = {kQuadEdgeAB, kQuadEdgeBC, kQuadEdgeCD, kQuadEdgeDA};
             for (int i = 0; i < 4; ++i) {
                 std::uint32_t m = 0;
                 if (PointInQuad(p[i], a, b, d, c, &m) || m != want[i]) return false;
                 if (PointInQuad(p[i], a, b, d, c)) return false;
             }
             return true;
         }},
        {"quad: bounding reject is 1e-3",
         [=] { return PointInQuad({2, 2, 0.0009f}, a, b, d, c) && !PointInQuad({2, 2, 0.0011f}, a, b, d, c); }},
        {"merging a sphere inside leaves the radius",
         [] { Bounds s, t; s.radius = 5; t.centre = {1, 1, 1}; t.radius = 1; s.MergeSphere(t); return s.radius == 5.0f; }},
        {"merging a sphere outside grows the radius, centre stays",
         [] { Bounds s, t; s.radius = 1; t.centre = {3, 4, 0}; t.radius = 1; s.MergeSphere(t); return s.radius == 6.0f && s.centre == Vec3{}; }},
        {"merging boxes encloses both",
         [] { Bounds s, t; s.SetBoxFromMinMax({0, 0, 0}, {1, 1, 1}); t.SetBoxFromMinMax({-1, 2, 0}, {0, 3, 0.5f});
              s.MergeBox(t); return s.centre == Vec3{0, 1.5f, 0.5f} && s.half == Vec3{1, 1.5f, 0.5f}; }},
        {"box and radius from points",
         [] { const Vec3 p[3] = {{1, 2, 3}, {-1, 0, 3}, {1, 0, 7}}; Bounds s; s.radius = 9; s.SetBoxFromPoints(p, 3);
              const bool box = s.centre == Vec3{0, 1, 5} && s.half == Vec3{1, 1, 2} && s.radius == 9;
              s.SetRadiusFromPoints(p, 3); return box && s.radius == std::sqrt(6.0f); }},
        {"clear zeroes all seven floats",
         [] { Bounds s{{1, 2, 3}, {4, 5, 6}, 7}; s.Clear(); return s.centre == Vec3{} && s.half == Vec3{} && s.radius == 0; }},
        {"projecting onto a plane and onto a line",
         [] { Vec3 out; kGround.ProjectPoint(out, {1, 7, 3}); Ray r; r.SetFromPoints({1, 1, 1}, {3, 1, 1});
              return out == Vec3{1, 2, 3} && ProjectPointOnLine(r, {2, 5, 5}) == 0.5f && kGround.DistanceTo({0, -1, 0}) == -3; }},
        {"rotating a point about an off-origin axis",
         [] { Vec3 out; RotatePointAroundAxis(out, {2, 1, 0}, MakeRay({1, 1, 0}, {0, 0, 5}), 3.14159265f / 2);
              return std::fabs(out.x - 1) < 1e-6f && std::fabs(out.y - 2) < 1e-6f && out.z == 0; }},
    };
    for (const auto& c : cases) EXPECT_TRUE(c.holds()) << c.name;
}

// The masked triangle test names the edges a point in the plane lies beyond, and is true
// exactly when the unmasked test is for points in the plane.
TEST(Geometry, TriangleMaskAgreesWithBarycentricOracle) {
    test::RandomMath rnd(31);
    int outside = 0;
    for (int i = 0; i < 3000; ++i) {
        const Vec3 a = rnd.Vector(), b = rnd.Vector();
        Vec3 c = rnd.Vector();
        c.z = 0;
        const Vec3 aa{a.x, a.y, 0}, bb{b.x, b.y, 0};
        const float area = (bb.x - aa.x) * (c.y - aa.y) - (bb.y - aa.y) * (c.x - aa.x);
        if (std::fabs(area) < 1.0f) continue;
        const Vec3 p{rnd.Uniform(-12, 12), rnd.Uniform(-12, 12), 0};
        // Signed areas of the sub-triangles opposite each edge.
        auto edge = [&](const Vec3& u, const Vec3& v) {
            return ((v.x - u.x) * (p.y - u.y) - (v.y - u.y) * (p.x - u.x)) / area;
        };
        const float sab = edge(aa, bb), sbc = edge(bb, c), sca = edge(c, aa);
        if (std::fabs(sab) < 1e-3f || std::fabs(sbc) < 1e-3f || std::fabs(sca) < 1e-3f) continue;
        std::uint32_t want = (sab < 0 ? kTriEdgeAB : 0) | (sbc < 0 ? kTriEdgeBC : 0) |
                             (sca < 0 ? kTriEdgeCA : 0);
        std::uint32_t mask = 0;
        const bool in = PointInTriangle(p, aa, bb, c, &mask);
        ASSERT_EQ(mask, want) << "round " << i;
        ASSERT_EQ(in, want == 0);
        ASSERT_EQ(PointInTriangle(p, aa, bb, c), want == 0);
        outside += want != 0;
    }
    EXPECT_GT(outside, 100);
}

}  // namespace
}  // namespace quor
