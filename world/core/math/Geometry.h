#pragma once
#include <cstdint>

#include "world/core/math/Matrix.h"

namespace quor {

struct Ray;

// The bound record of meshes, models and visible objects: a box and a sphere sharing one centre.
// Seven floats in this order; files store them the same way.
struct Bounds {
    Vec3 centre;
    Vec3 half;  // half extents of the box
    float radius = 0.0f;

    void Clear();
    // Radius unchanged.
    void SetBoxFromMinMax(const Vec3& min, const Vec3& max);
    // count >= 1; with 0 the box becomes empty at the origin.
    void SetBoxFromPoints(const Vec3* points, std::uint32_t count);
    void MergeBox(const Bounds& other);
    // Largest distance from the centre to a point; with 0 points the radius becomes 0.
    void SetRadiusFromPoints(const Vec3* points, std::uint32_t count);
    // r = max(r, |other centre - centre| + other radius); the centre stays.
    void MergeSphere(const Bounds& other);
    // Distance from the centre to the segment strictly less than the radius (a zero-length
    // segment is a point).
    bool SphereIntersectsSegment(const Ray& segment) const;
    // Whether the segment crosses a face of the box (a segment wholly inside crosses none).
    bool BoxIntersectsSegment(const Ray& segment) const;
};
static_assert(sizeof(Bounds) == 28, "Bounds is seven packed floats");

// A line or, with t in [0, 1], the segment origin + t x direction. The direction is not
// normalised.
struct Ray {
    Vec3 origin;
    Vec3 direction;

    void SetFromPoints(const Vec3& a, const Vec3& b);
};

// Points p with dot(normal, p) - d = 0.
struct Plane {
    Vec3 normal;
    float d = 0.0f;

    float DistanceTo(const Vec3& p) const;
    // out = p moved onto the plane along the normal; out may be p.
    void ProjectPoint(Vec3& out, const Vec3& p) const;
    // Unit normal along (b - a) x (c - a); false and the plane unchanged for a degenerate
    // triangle.
    bool SetFromPoints(const Vec3& a, const Vec3& b, const Vec3& c);
};

// Parameter of p's projection onto the line: dot(p - origin, dir) / dot(dir, dir).
float ProjectPointOnLine(const Ray& ray, const Vec3& p);
// Distance from p to the line, or with clamp to the segment (ends inclusive). A zero direction
// is the point at the origin.
float SegmentPointDistance(const Ray& ray, const Vec3& p, bool clamp);

// Crossing of the line with the plane x = c (y = c, z = c); false when the direction's
// component is below 1e-4 in magnitude.
bool IntersectLineWithPlaneX(const Ray& ray, float c, Vec3& point, float& t);
bool IntersectLineWithPlaneY(const Ray& ray, float c, Vec3& point, float& t);
bool IntersectLineWithPlaneZ(const Ray& ray, float c, Vec3& point, float& t);

// Results of IntersectLineWithPlane.
inline constexpr int kLineInPlane = 0, kLineParallel = 1, kLineCrosses = 2;
// 2 with t set when the line crosses; else 1 when parallel off the plane, 0 when lying in it
// (within 1e-4).
int IntersectLineWithPlane(const Ray& ray, const Plane& plane, float& t, float eps = 1e-4f);

// |p - centre| <= h on all three axes (bounds inclusive).
bool PointInCube(const Vec3& p, const Vec3& centre, const Vec3& h);
bool PointInCube(const Vec3& p, const Vec3& centre, float h);
// Every component within 1e-4 of zero.
bool IsNearZero(const Vec3& v);

// Masks of PointInTriangle and PointInQuad: the edges the point lies beyond.
inline constexpr std::uint32_t kTriEdgeAB = 1, kTriEdgeBC = 2, kTriEdgeCA = 4;
inline constexpr std::uint32_t kQuadEdgeAB = 1, kQuadEdgeBC = 2, kQuadEdgeCD = 8, kQuadEdgeDA = 16;
// Without a mask: a quick bounding reject (1e-4), then the point counts as inside when the
// edge normals agree (a point on an edge is inside). With a mask the point is taken to lie in
// the triangle's plane and the mask names the edges it lies beyond; true when the mask is 0.
bool PointInTriangle(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c,
                     std::uint32_t* mask = nullptr);
// The same for a convex quad a-b-c-d (bounding reject 1e-3).
bool PointInQuad(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d,
                 std::uint32_t* mask = nullptr);

// point turned by angle about the line `axis` (its direction need not be unit length).
Vec3& RotatePointAroundAxis(Vec3& out, const Vec3& point, const Ray& axis, float angle);

}  // namespace quor
