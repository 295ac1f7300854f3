#include "world/core/track/TransformKey.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using namespace quor;

void ExpectMatrixNear(const Matrix& a, const Matrix& b, float tol) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

TEST(TransformKey, EulerOrdersRoundTripOffGimbalLock) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> wide(-3.0f, 3.0f), middle(-1.3f, 1.3f);
    for (std::uint32_t order = 1; order <= kEulerOrderCount; ++order) {
        for (int n = 0; n < 50; ++n) {
            float angles[3] = {wide(rng), wide(rng), wide(rng)};
            // The middle axis of the order stays clear of +-90 degrees.
            angles[kEulerAxes[order][1]] = middle(rng);
            Matrix m;
            EulerToMatrix(angles[0], angles[1], angles[2], m, order);
            float back[3];
            MatrixToEuler(m, order, back);
            for (int i = 0; i < 3; ++i) EXPECT_NEAR(back[i], angles[i], 1e-3f) << "order " << order;
        }
    }
}

TEST(TransformKey, EulerOrderTurnsTheFirstAxisFirst) {
    // x by 90 degrees then y by 90 degrees (order 1) takes +y to +z and then to -x... check
    // with the single-axis products directly.
    Matrix rx, ry, both, want;
    MatrixRotationAxis(rx, Vec3{1, 0, 0}, 0.7f);
    MatrixRotationAxis(ry, Vec3{0, 1, 0}, -0.4f);
    MatrixMultiplyPlain(rx, ry, want);
    EulerToMatrix(0.7f, -0.4f, 0.0f, both, 1);
    ExpectMatrixNear(both, want, 1e-6f);
    MatrixMultiplyPlain(ry, rx, want);
    EulerToMatrix(0.7f, -0.4f, 0.0f, both, 3);
    ExpectMatrixNear(both, want, 1e-6f);
}

TEST(TransformKey, QuaternionKeysRoundTripThroughMatrices) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int n = 0; n < 100; ++n) {
        TransformKey key;
        key.position = {u(rng) * 10, u(rng) * 10, u(rng) * 10};
        Quaternion q{u(rng), u(rng), u(rng), u(rng)};
        const float len = std::sqrt(QuaternionDot(q, q));
        key.rotation = {q.x / len, q.y / len, q.z / len, q.w / len};
        key.scale = {1.5f + u(rng), 1.5f + u(rng), 1.5f + u(rng)};
        Matrix m;
        TransformKey::ToMatrix(key, m);
        TransformKey back;
        TransformKeyFromMatrix(m, back);
        Matrix again;
        TransformKey::ToMatrix(back, again);
        ExpectMatrixNear(again, m, 1e-4f);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(back.scale[i], key.scale[i], 1e-4f);
    }
}

TEST(TransformKey, RelativeKeyComposesBack) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int n = 0; n < 50; ++n) {
        TransformKey a, b;
        for (TransformKey* k : {&a, &b}) {
            k->position = {u(rng) * 5, u(rng) * 5, u(rng) * 5};
            EulerToQuaternion(u(rng) * 3, u(rng), u(rng) * 3, 1, k->rotation);
            const float s = 1.0f + 0.5f * std::fabs(u(rng));
            k->scale = {s, s, s};  // uniform: the relative key is exact
        }
        TransformKey rel;
        RelativeTransformKey(rel, a, b);
        Matrix ma, mb, mr, composed;
        TransformKey::ToMatrix(a, ma);
        TransformKey::ToMatrix(b, mb);
        TransformKey::ToMatrix(rel, mr);
        MatrixMultiplyPlain(mb, mr, composed);
        ExpectMatrixNear(composed, ma, 1e-3f);
    }
}

TEST(TransformKey, BlendMovesTowardTheTarget) {
    TransformKey key, target;
    target.position = {10, 0, 0};
    EulerToQuaternion(0, 1.0f, 0, 1, target.rotation);
    target.scale = {3, 3, 3};
    TransformKey half = key;
    BlendTransformKey(half, target, 0.5f);
    EXPECT_NEAR(half.position.x, 5, 1e-5f);
    EXPECT_NEAR(half.scale.x, 2, 1e-5f);
    Quaternion want;
    EulerToQuaternion(0, 0.5f, 0, 1, want);
    EXPECT_NEAR(std::fabs(QuaternionDot(half.rotation, want)), 1.0f, 1e-5f);
    TransformKey none = key;
    BlendTransformKey(none, target, 0.0f);
    EXPECT_EQ(none.position, key.position);
    EXPECT_EQ(none.rotation, key.rotation);
    TransformKey weighted = key;
    BlendTransformKeyWeighted(weighted, target, Vec3{1.0f, 0.0f, 0.5f});
    EXPECT_EQ(weighted.position, target.position);
    EXPECT_EQ(weighted.rotation, key.rotation);
    EXPECT_NEAR(weighted.scale.y, 2, 1e-5f);
}

TEST(TransformKey, UnitScaleIsNotApplied) {
    TransformKey key;
    key.scale = {1.00005f, 1.0f, 1.0f};
    Matrix m;
    TransformKey::ToMatrix(key, m);
    EXPECT_EQ(m.m[0], 1.0f);
}

}  // namespace
