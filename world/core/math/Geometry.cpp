#include "world/core/math/Geometry.h"

#include <cmath>
#include <initializer_list>

namespace quor {

namespace {
constexpr float kEps = 1e-4f;
}

void Bounds::Clear() { *this = Bounds{}; }

void Bounds::SetBoxFromMinMax(const Vec3& min, const Vec3& max) {
    centre = (min + max) * 0.5f;
    half = (max - min) * 0.5f;
}

void Bounds::SetBoxFromPoints(const Vec3* points, std::uint32_t count) {
    if (count == 0) {
        SetBoxFromMinMax({}, {});
        return;
    }
    Vec3 mn = points[0], mx = points[0];
    for (std::uint32_t i = 1; i < count; ++i)
        for (int k = 0; k < 3; ++k) {
            if (points[i][k] < mn[k]) mn[k] = points[i][k];
            if (points[i][k] > mx[k]) mx[k] = points[i][k];
        }
    SetBoxFromMinMax(mn, mx);
}

void Bounds::MergeBox(const Bounds& other) {
    Vec3 mn = centre - half, mx = centre + half;
    const Vec3 omn = other.centre - other.half, omx = other.centre + other.half;
    for (int k = 0; k < 3; ++k) {
        if (omn[k] < mn[k]) mn[k] = omn[k];
        if (omx[k] > mx[k]) mx[k] = omx[k];
    }
    SetBoxFromMinMax(mn, mx);
}

void Bounds::SetRadiusFromPoints(const Vec3* points, std::uint32_t count) {
    float r = 0.0f;
    for (std::uint32_t i = 0; i < count; ++i) {
        const float d = Vec3Distance(centre, points[i]);
        if (i == 0 || d > r) r = d;
    }
    radius = r;
}

void Bounds::MergeSphere(const Bounds& other) {
    const float r = Vec3Distance(centre, other.centre) + other.radius;
    if (r > radius) radius = r;
}

bool Bounds::SphereIntersectsSegment(const Ray& segment) const {
    return SegmentPointDistance(segment, centre, true) < radius;
}

bool Bounds::BoxIntersectsSegment(const Ray& seg) const {
    const Vec3 mn = centre - half, mx = centre + half;
    using Intersect = bool (*)(const Ray&, float, Vec3&, float&);
    static constexpr Intersect kFace[3] = {IntersectLineWithPlaneX, IntersectLineWithPlaneY,
                                           IntersectLineWithPlaneZ};
    for (int axis = 0; axis < 3; ++axis) {
        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
        for (const float c : {mn[axis], mx[axis]}) {
            Vec3 p;
            float t;
            if (!kFace[axis](seg, c, p, t)) continue;
            if (!(t > 0.0f && t < 1.0f)) continue;
            if (p[u] > mn[u] && p[u] < mx[u] && p[v] > mn[v] && p[v] < mx[v]) return true;
        }
    }
    return false;
}

void Ray::SetFromPoints(const Vec3& a, const Vec3& b) {
    const Vec3 dir = b - a;
    origin = a;
    direction = dir;
}

float Plane::DistanceTo(const Vec3& p) const { return Vec3Dot(normal, p) - d; }

void Plane::ProjectPoint(Vec3& out, const Vec3& p) const { out = p - normal * DistanceTo(p); }

bool Plane::SetFromPoints(const Vec3& a, const Vec3& b, const Vec3& c) {
    const float ab = Vec3DistanceSq(a, b), bc = Vec3DistanceSq(b, c), ca = Vec3DistanceSq(c, a);
    // Cross the two shorter edges, at the vertex opposite the longest one: the normal of a long
    // thin triangle stays accurate. All three orders give (b - a) x (c - a) exactly in theory.
    Vec3 n;
    const Vec3* ref;
    float p;
    if (ab >= bc && ab >= ca) {
        n = Vec3Cross(a - c, b - c);
        ref = &c;
        p = ca * bc;
    } else if (bc >= ca) {
        n = Vec3Cross(b - a, c - a);
        ref = &a;
        p = ab * ca;
    } else {
        n = Vec3Cross(c - b, a - b);
        ref = &b;
        p = bc * ab;
    }
    const float len2 = Vec3LengthSq(n);
    if (!(len2 > p * kEps * kEps)) return false;
    Vec3DivScalar(n, std::sqrt(len2));
    normal = n;
    d = Vec3Dot(n, *ref);
    return true;
}

float ProjectPointOnLine(const Ray& ray, const Vec3& p) {
    return Vec3Dot(p - ray.origin, ray.direction) / Vec3Dot(ray.direction, ray.direction);
}

float SegmentPointDistance(const Ray& ray, const Vec3& p, bool clamp) {
    // A zero-length segment is its origin: the projection would divide zero by zero.
    if (Vec3Dot(ray.direction, ray.direction) == 0.0f) return Vec3Distance(p, ray.origin);
    const float t = ProjectPointOnLine(ray, p);
    if (clamp) {
        if (t < 0.0f) return Vec3Distance(p, ray.origin);
        if (t > 1.0f) return Vec3Distance(p, ray.origin + ray.direction);
    }
    return Vec3Distance(p, ray.origin + ray.direction * t);
}

namespace {
bool IntersectAxis(const Ray& ray, int axis, float c, Vec3& point, float& t) {
    const float dir = ray.direction[axis];
    if (std::fabs(dir) < kEps) return false;
    t = (c - ray.origin[axis]) / dir;
    Vec3 hit = ray.origin + ray.direction * t;
    hit[axis] = c;
    point = hit;
    return true;
}
}  // namespace

bool IntersectLineWithPlaneX(const Ray& ray, float c, Vec3& point, float& t) {
    return IntersectAxis(ray, 0, c, point, t);
}
bool IntersectLineWithPlaneY(const Ray& ray, float c, Vec3& point, float& t) {
    return IntersectAxis(ray, 1, c, point, t);
}
bool IntersectLineWithPlaneZ(const Ray& ray, float c, Vec3& point, float& t) {
    return IntersectAxis(ray, 2, c, point, t);
}

int IntersectLineWithPlane(const Ray& ray, const Plane& plane, float& t, float eps) {
    const float n = Vec3Dot(ray.direction, plane.normal);
    const float s = Vec3Dot(ray.origin, plane.normal) - plane.d;
    if (std::fabs(n) > eps) {
        t = -s / n;
        return kLineCrosses;
    }
    return std::fabs(s) > kEps ? kLineParallel : kLineInPlane;
}

bool PointInCube(const Vec3& p, const Vec3& centre, const Vec3& h) {
    return std::fabs(p.x - centre.x) <= h.x && std::fabs(p.y - centre.y) <= h.y &&
           std::fabs(p.z - centre.z) <= h.z;
}

bool PointInCube(const Vec3& p, const Vec3& centre, float h) {
    return PointInCube(p, centre, Vec3{h, h, h});
}

bool IsNearZero(const Vec3& v) { return PointInCube(v, Vec3{}, kEps); }

namespace {
// True when on some axis every vertex lies more than tol below p, or every one more than tol
// above it.
bool BoundingReject(const Vec3& p, const Vec3* v, int n, float tol) {
    for (int k = 0; k < 3; ++k) {
        bool allBelow = true, allAbove = true;
        for (int i = 0; i < n; ++i) {
            allBelow = allBelow && v[i][k] < p[k] - tol;
            allAbove = allAbove && v[i][k] > p[k] + tol;
        }
        if (allBelow || allAbove) return true;
    }
    return false;
}

// Edge normals n_i = (v_i - p) x (v_i+1 - p). Unmasked: inside when consecutive normals agree.
// Masked: an edge is named when its normal faces against the polygon's own normal (the sum of
// all edge normals, which does not depend on p); for a point in the plane of a convex polygon
// that names exactly the edges it lies beyond, so a point near a corner names both edges there
// and the sweep that reads the mask tests both.
bool PointInPolygonImpl(const Vec3& p, const Vec3* v, int n, const std::uint32_t* bits,
                        float rejectTol, std::uint32_t* mask) {
    if (!mask && BoundingReject(p, v, n, rejectTol)) return false;
    Vec3 e[4];
    for (int i = 0; i < n; ++i) e[i] = Vec3Cross(v[i] - p, v[(i + 1) % n] - p);
    if (!mask) {
        for (int i = 0; i + 1 < n; ++i)
            if (!(Vec3Dot(e[i], e[i + 1]) >= 0.0f)) return false;
        return true;
    }
    Vec3 sum;
    for (int i = 0; i < n; ++i) sum += e[i];
    std::uint32_t m = 0;
    for (int i = 0; i < n; ++i)
        if (Vec3Dot(e[i], sum) < 0.0f) m |= bits[i];
    *mask = m;
    return m == 0;
}
}  // namespace

bool PointInTriangle(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c,
                     std::uint32_t* mask) {
    static constexpr std::uint32_t kBits[3] = {kTriEdgeAB, kTriEdgeBC, kTriEdgeCA};
    const Vec3 v[3] = {a, b, c};
    return PointInPolygonImpl(p, v, 3, kBits, kEps, mask);
}

bool PointInQuad(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d,
                 std::uint32_t* mask) {
    static constexpr std::uint32_t kBits[4] = {kQuadEdgeAB, kQuadEdgeBC, kQuadEdgeCD,
                                               kQuadEdgeDA};
    const Vec3 v[4] = {a, b, c, d};
    return PointInPolygonImpl(p, v, 4, kBits, 1e-3f, mask);
}

Vec3& RotatePointAroundAxis(Vec3& out, const Vec3& point, const Ray& axis, float angle) {
    Vec3 dir = axis.direction;
    Vec3SetLength(dir, 1.0f);
    Matrix r;
    MatrixRotationAxis(r, dir, angle);
    Vec3 q;
    TransformPoint(point - axis.origin, r, q);
    out = q + axis.origin;
    return out;
}

}  // namespace quor
