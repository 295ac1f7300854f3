#include "world/core/math/Quaternion.h"

#include <cmath>

namespace quor {

float QuaternionDot(const Quaternion& a, const Quaternion& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

void QuaternionToMatrix(const Quaternion& q, Matrix& out) {
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    MatrixSet16(out,
                1.0f - 2.0f * (yy + zz), 2.0f * (xy + wz), 2.0f * (xz - wy), 0.0f,
                2.0f * (xy - wz), 1.0f - 2.0f * (xx + zz), 2.0f * (yz + wx), 0.0f,
                2.0f * (xz + wy), 2.0f * (yz - wx), 1.0f - 2.0f * (xx + yy), 0.0f,
                0.0f, 0.0f, 0.0f, 1.0f);
}

void MatrixToQuaternion(const Matrix& m, Quaternion& out) {
    // Take the root of the largest of the four diagonal combinations, so nothing divides by a
    // small number.
    const float trace = m(0, 0) + m(1, 1) + m(2, 2);
    Quaternion q;
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;  // 4w
        q.w = 0.25f * s;
        q.x = (m(1, 2) - m(2, 1)) / s;
        q.y = (m(2, 0) - m(0, 2)) / s;
        q.z = (m(0, 1) - m(1, 0)) / s;
    } else if (m(0, 0) > m(1, 1) && m(0, 0) > m(2, 2)) {
        const float s = std::sqrt(1.0f + m(0, 0) - m(1, 1) - m(2, 2)) * 2.0f;  // 4x
        q.w = (m(1, 2) - m(2, 1)) / s;
        q.x = 0.25f * s;
        q.y = (m(0, 1) + m(1, 0)) / s;
        q.z = (m(2, 0) + m(0, 2)) / s;
    } else if (m(1, 1) > m(2, 2)) {
        const float s = std::sqrt(1.0f + m(1, 1) - m(0, 0) - m(2, 2)) * 2.0f;  // 4y
        q.w = (m(2, 0) - m(0, 2)) / s;
        q.x = (m(0, 1) + m(1, 0)) / s;
        q.y = 0.25f * s;
        q.z = (m(1, 2) + m(2, 1)) / s;
    } else {
        const float s = std::sqrt(1.0f + m(2, 2) - m(0, 0) - m(1, 1)) * 2.0f;  // 4z
        q.w = (m(0, 1) - m(1, 0)) / s;
        q.x = (m(2, 0) + m(0, 2)) / s;
        q.y = (m(1, 2) + m(2, 1)) / s;
        q.z = 0.25f * s;
    }
    out = q;
}

void QuaternionSlerp(Quaternion& out, const Quaternion& a, const Quaternion& b, float t) {
    Quaternion e = b;
    float cosom = QuaternionDot(a, b);
    if (cosom < 0.0f) {
        cosom = -cosom;
        e = {-b.x, -b.y, -b.z, -b.w};
    }
    float ka, kb;
    if (cosom > 0.9999f) {
        ka = 1.0f - t;
        kb = t;
    } else {
        const float omega = std::acos(cosom);
        const float inv = 1.0f / std::sin(omega);
        ka = std::sin((1.0f - t) * omega) * inv;
        kb = std::sin(t * omega) * inv;
    }
    out = {ka * a.x + kb * e.x, ka * a.y + kb * e.y, ka * a.z + kb * e.z, ka * a.w + kb * e.w};
}

}  // namespace quor
