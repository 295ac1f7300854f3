#include "world/core/math/Vector.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/world/core/RandomMath.h"
#include "world/core/math/Quaternion.h"

namespace quor {
namespace {

TEST(Vector, BasicsAndAliasedCross) {
    Vec3 a{1, 2, 3}, b{4, 5, 6};
    EXPECT_EQ(Vec3Dot(a, b), 32.0f);
    EXPECT_EQ(Vec3LengthSq(a), 14.0f);
    EXPECT_EQ(Vec3DistanceSq(a, b), 27.0f);
    EXPECT_FLOAT_EQ(Vec3Distance(a, b), std::sqrt(27.0f));
    Vec3Cross(a, b, a);
    EXPECT_EQ(a, (Vec3{-3, 6, -3}));
    EXPECT_EQ(Vec3MaxComponent({-1, 7, 3}), 7.0f);
    EXPECT_EQ(Vec3MaxComponent({-1, -7, -3}), -1.0f);
    Vec3 v{3, 4, 0};
    EXPECT_EQ(Vec3SetLength(v, 10), 5.0f);
    EXPECT_FLOAT_EQ(v.x, 6.0f);
    EXPECT_FLOAT_EQ(v.y, 8.0f);
    Vec3DivScalar(v, 2);
    EXPECT_FLOAT_EQ(v.x, 3.0f);
    Vec3Lerp({0, 0, 0}, {2, 4, 6}, 0.25f, v);
    EXPECT_EQ(v, (Vec3{0.5f, 1, 1.5f}));
}

TEST(Vector, NearlyEqualBoundsAreInclusive) {
    const float a[2] = {0, 0};
    const float exact[2] = {1e-4f, -1e-4f};
    const float above[2] = {std::nextafter(1e-4f, 1.0f), 0};
    const float aboveY[2] = {0, std::nextafter(1e-4f, 1.0f)};
    EXPECT_TRUE(Vec2NearlyEqual(a, exact));
    EXPECT_FALSE(Vec2NearlyEqual(a, above));
    EXPECT_FALSE(Vec2NearlyEqual(a, aboveY));
}

TEST(Quaternion, ToMatrixMatchesAxisRotation) {
    test::RandomMath rnd(21);
    for (int i = 0; i < 1000; ++i) {
        const Vec3 axis = rnd.UnitVector();
        const float angle = rnd.Uniform(-3.1f, 3.1f);
        const float s = std::sin(angle / 2);
        Matrix fromQ, fromAxis;
        QuaternionToMatrix({axis.x * s, axis.y * s, axis.z * s, std::cos(angle / 2)}, fromQ);
        MatrixRotationAxis(fromAxis, axis, angle);
        ASSERT_LE(test::MaxAbsDiff(fromQ, fromAxis), 2e-6f);
    }
}

TEST(Quaternion, MatrixRoundTripUpToSign) {
    test::RandomMath rnd(22);
    for (int i = 0; i < 2000; ++i) {
        const Quaternion q = rnd.UnitQuaternion();
        Matrix m;
        QuaternionToMatrix(q, m);
        m.Row(3) = rnd.Vector();  // translation is ignored
        Quaternion back;
        MatrixToQuaternion(m, back);
        const float d = std::fabs(QuaternionDot(q, back));
        ASSERT_NEAR(d, 1.0f, 1e-5f) << "round " << i;
    }
}

TEST(Quaternion, SlerpEndsShorterArcAndNearlyEqualInputs) {
    const Quaternion id{0, 0, 0, 1};
    const float h = std::sqrt(0.5f);
    const Quaternion z90{0, 0, h, h};
    Quaternion out;
    QuaternionSlerp(out, id, z90, 0.0f);
    EXPECT_NEAR(out.w, 1.0f, 1e-6f);
    QuaternionSlerp(out, id, z90, 1.0f);
    EXPECT_NEAR(out.z, h, 1e-6f);
    QuaternionSlerp(out, id, z90, 0.5f);
    EXPECT_NEAR(out.z, std::sin(3.14159265f / 8), 1e-6f);
    EXPECT_NEAR(out.w, std::cos(3.14159265f / 8), 1e-6f);
    // The negated target is the same rotation: still the short way round.
    QuaternionSlerp(out, id, {0, 0, -h, -h}, 0.5f);
    EXPECT_NEAR(out.z, std::sin(3.14159265f / 8), 1e-6f);
    // Nearly equal inputs blend linearly (and alias the output).
    Quaternion a{0, 0, 0.001f, 1}, b{0, 0, 0.002f, 1};
    QuaternionSlerp(a, a, b, 0.5f);
    EXPECT_FLOAT_EQ(a.z, 0.0015f);
}

}  // namespace
}  // namespace quor
