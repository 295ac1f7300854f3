#pragma once
#include "world/core/math/Matrix.h"

namespace quor {

// Rotation as x, y, z, w (w last), the form tracks and keys store. Objects hold their rotation
// as a matrix; these helpers convert between the two.
struct Quaternion {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;

    constexpr Quaternion() = default;
    constexpr Quaternion(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    friend bool operator==(const Quaternion& a, const Quaternion& b) = default;
};
static_assert(sizeof(Quaternion) == 16, "Quaternion is four packed floats");

float QuaternionDot(const Quaternion& a, const Quaternion& b);
// The rotation of a unit quaternion, in the convention of MatrixRotationAxis: the quaternion
// (axis sin(a/2), cos(a/2)) gives MatrixRotationAxis(axis, a). out becomes a pure rotation
// (translation zero, fourth column (0, 0, 0, 1)).
void QuaternionToMatrix(const Quaternion& q, Matrix& out);
// The rotation of m's upper 3x3 (assumed orthonormal) as a unit quaternion with w >= 0 where
// the trace decides it.
void MatrixToQuaternion(const Matrix& m, Quaternion& out);
// Along the shorter arc (b negated when the dot product is negative); the linear blend when
// the cosine exceeds 0.9999. out may be a or b.
void QuaternionSlerp(Quaternion& out, const Quaternion& a, const Quaternion& b, float t);

}  // namespace quor
