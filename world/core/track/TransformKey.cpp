#include "world/core/track/TransformKey.h"

#include <cmath>

namespace quor {

namespace {

constexpr float kKeyEpsilon = 1e-4f;

const int* AxesOf(std::uint32_t order) {
    return kEulerAxes[(order >= 1 && order <= kEulerOrderCount) ? order : 1];
}

void AxisRotation(int axis, float angle, Matrix& out) {
    Vec3 a{0.0f, 0.0f, 0.0f};
    a[axis] = 1.0f;
    MatrixRotationAxis(out, a, angle);
}

bool Differs(const Vec3& a, const Vec3& b) {
    return std::fabs(a.x - b.x) > kKeyEpsilon || std::fabs(a.y - b.y) > kKeyEpsilon ||
           std::fabs(a.z - b.z) > kKeyEpsilon;
}

void LerpRotation(Quaternion& q, const Quaternion& target, float f, std::uint32_t eulerOrder) {
    if (eulerOrder != 0) {
        q.x += (target.x - q.x) * f;
        q.y += (target.y - q.y) * f;
        q.z += (target.z - q.z) * f;
    } else {
        QuaternionSlerp(q, q, target, f);
    }
}

}  // namespace

void EulerToMatrix(float x, float y, float z, Matrix& out, std::uint32_t order) {
    const float angles[3] = {x, y, z};
    const int* axes = AxesOf(order);
    AxisRotation(axes[0], angles[axes[0]], out);
    Matrix r;
    for (int i = 1; i < 3; ++i) {
        AxisRotation(axes[i], angles[axes[i]], r);
        MatrixMultiplyPlain(out, r, out);
    }
}

void EulerToQuaternion(float x, float y, float z, std::uint32_t order, Quaternion& out) {
    Matrix m;
    EulerToMatrix(x, y, z, m, order);
    MatrixToQuaternion(m, out);
}

void MatrixToEuler(const Matrix& m, std::uint32_t order, float out[3]) {
    // With row vectors, p x Ri x Rj x Rk turns about axis i first; the transpose is the
    // column-vector product of the same turns about fixed axes i, j, k, whose angles are read
    // off below (n(r, c) is the element of that transpose).
    const int* axes = AxesOf(order);
    const int i = axes[0], j = axes[1], k = axes[2];
    auto n = [&](int r, int c) { return m(c, r); };
    const bool odd = ((j - i + 3) % 3) != 1;
    float a, b, c;
    const float cy = std::sqrt(n(i, i) * n(i, i) + n(j, i) * n(j, i));
    if (cy > 16.0f * 1.1920929e-7f) {
        a = std::atan2(n(k, j), n(k, k));
        b = std::atan2(-n(k, i), cy);
        c = std::atan2(n(j, i), n(i, i));
    } else {
        a = std::atan2(-n(j, k), n(j, j));
        b = std::atan2(-n(k, i), cy);
        c = 0.0f;
    }
    if (odd) {
        a = -a;
        b = -b;
        c = -c;
    }
    out[i] = a;
    out[j] = b;
    out[k] = c;
}

void QuaternionToEuler(const Quaternion& q, std::uint32_t order, float out[3]) {
    Matrix m;
    QuaternionToMatrix(q, m);
    MatrixToEuler(m, order, out);
}

bool MatrixInverseRegular(Matrix& m) {
    const float det = m(0, 0) * (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1)) -
                      m(0, 1) * (m(1, 0) * m(2, 2) - m(1, 2) * m(2, 0)) +
                      m(0, 2) * (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0));
    if (!(std::fabs(det) >= 1e-12f)) return false;
    return MatrixInverse(m);
}

void TransformKey::ToMatrix(const TransformKey& key, Matrix& out) {
    if (key.eulerOrder != 0) {
        EulerToMatrix(key.rotation.x, key.rotation.y, key.rotation.z, out, key.eulerOrder);
    } else {
        QuaternionToMatrix(key.rotation, out);
    }
    out.m[12] = key.position.x;
    out.m[13] = key.position.y;
    out.m[14] = key.position.z;
    out.m[15] = 1.0f;
    if (Differs(key.scale, Vec3{1.0f, 1.0f, 1.0f})) MatrixApplyScale(out, key.scale);
}

void TransformKeyFromMatrix(const Matrix& m, TransformKey& key) {
    Matrix rotation;
    Vec3 scale;
    MatrixDecompose(m, key.position, rotation, scale);
    for (int i = 0; i < 3; ++i) {
        // A zero axis has no direction: that axis keeps the identity's.
        if (!std::isfinite(rotation(i, 0)) || !std::isfinite(rotation(i, 1)) || !std::isfinite(rotation(i, 2))) {
            MatrixIdentity(rotation);
            break;
        }
    }
    key.scale = scale;
    if (key.eulerOrder != 0) {
        float angles[3];
        MatrixToEuler(rotation, key.eulerOrder, angles);
        key.rotation = {angles[0], angles[1], angles[2], 0.0f};
    } else {
        MatrixToQuaternion(rotation, key.rotation);
    }
}

void RelativeTransformKey(TransformKey& out, const TransformKey& a, const TransformKey& b) {
    Matrix ma, mb;
    TransformKey::ToMatrix(a, ma);
    TransformKey::ToMatrix(b, mb);
    if (!MatrixInverseRegular(mb)) {
        out = a;
        return;
    }
    MatrixMultiplyPlain(mb, ma, ma);
    const std::uint32_t order = out.eulerOrder;
    out = TransformKey{};
    out.eulerOrder = order;
    TransformKeyFromMatrix(ma, out);
}

void BlendTransformKey(TransformKey& key, const TransformKey& target, float f) {
    BlendTransformKeyWeighted(key, target, Vec3{f, f, f});
}

void BlendTransformKeyWeighted(TransformKey& key, const TransformKey& target, const Vec3& w) {
    if (w.x > 0.0f && Differs(key.position, target.position)) Vec3Lerp(key.position, target.position, w.x, key.position);
    if (w.y > 0.0f) LerpRotation(key.rotation, target.rotation, w.y, key.eulerOrder);
    if (w.z > 0.0f && Differs(key.scale, target.scale)) Vec3Lerp(key.scale, target.scale, w.z, key.scale);
}

}  // namespace quor
