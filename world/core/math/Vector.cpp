#include "world/core/math/Vector.h"

#include <cmath>

namespace quor {

float Vec3Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

float Vec3LengthSq(const Vec3& v) { return Vec3Dot(v, v); }

float Vec3Length(const Vec3& v) { return std::sqrt(Vec3Dot(v, v)); }

float Vec3Distance(const Vec3& a, const Vec3& b) { return Vec3Length(a - b); }

float Vec3DistanceSq(const Vec3& a, const Vec3& b) { return Vec3LengthSq(a - b); }

void Vec3Cross(const Vec3& a, const Vec3& b, Vec3& out) {
    const Vec3 r{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    out = r;
}

Vec3 Vec3Cross(const Vec3& a, const Vec3& b) {
    Vec3 r;
    Vec3Cross(a, b, r);
    return r;
}

void Vec3DivScalar(Vec3& v, float s) {
    const float inv = 1.0f / s;
    v.x *= inv;
    v.y *= inv;
    v.z *= inv;
}

float Vec3SetLength(Vec3& v, float len) {
    const float old = Vec3Length(v);
    const float k = len / old;
    v.x *= k;
    v.y *= k;
    v.z *= k;
    return old;
}

float Vec3MaxComponent(const Vec3& v) {
    float m = v.x;
    if (v.y > m) m = v.y;
    if (v.z > m) m = v.z;
    return m;
}

void Vec3Lerp(const Vec3& a, const Vec3& b, float t, Vec3& out) {
    const Vec3 r{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
    out = r;
}

bool Vec2NearlyEqual(const float* a, const float* b) {
    return std::fabs(a[0] - b[0]) <= 1e-4f && std::fabs(a[1] - b[1]) <= 1e-4f;
}

}  // namespace quor
