#pragma once

namespace quor {

// Packed three-float vector: vertex arrays, corner tables and polygon records rely on the
// 12-byte stride, so it never gets padding or alignment of its own.
struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr Vec3() = default;
    constexpr Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    float& operator[](int i) { return (&x)[i]; }
    float operator[](int i) const { return (&x)[i]; }

    Vec3& operator+=(const Vec3& o) { x += o.x; y += o.y; z += o.z; return *this; }
    Vec3& operator-=(const Vec3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    Vec3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
    friend Vec3 operator+(Vec3 a, const Vec3& b) { return a += b; }
    friend Vec3 operator-(Vec3 a, const Vec3& b) { return a -= b; }
    friend Vec3 operator*(Vec3 a, float s) { return a *= s; }
    friend Vec3 operator*(float s, Vec3 a) { return a *= s; }
    friend Vec3 operator-(const Vec3& a) { return {-a.x, -a.y, -a.z}; }
    friend bool operator==(const Vec3& a, const Vec3& b) = default;
};
static_assert(sizeof(Vec3) == 12, "Vec3 arrays are packed");

// Four floats; the homogeneous form of a point or a plane.
struct Vec4 {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;

    constexpr Vec4() = default;
    constexpr Vec4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

    float& operator[](int i) { return (&x)[i]; }
    float operator[](int i) const { return (&x)[i]; }
    friend bool operator==(const Vec4& a, const Vec4& b) = default;
};
static_assert(sizeof(Vec4) == 16, "Vec4 is four packed floats");

float Vec3Dot(const Vec3& a, const Vec3& b);
float Vec3LengthSq(const Vec3& v);
float Vec3Length(const Vec3& v);
float Vec3Distance(const Vec3& a, const Vec3& b);
float Vec3DistanceSq(const Vec3& a, const Vec3& b);
// out may be a or b.
void Vec3Cross(const Vec3& a, const Vec3& b, Vec3& out);
Vec3 Vec3Cross(const Vec3& a, const Vec3& b);
// v *= 1/s: one reciprocal, three products. A zero s gives non-finite components.
void Vec3DivScalar(Vec3& v, float s);
// Scales v to length len and returns its old length. A zero vector becomes non-finite.
float Vec3SetLength(Vec3& v, float len);
float Vec3MaxComponent(const Vec3& v);
// a + (b - a) * t; out may be a or b.
void Vec3Lerp(const Vec3& a, const Vec3& b, float t, Vec3& out);
// Both differences within 1e-4, bounds inclusive.
bool Vec2NearlyEqual(const float* a, const float* b);

}  // namespace quor
