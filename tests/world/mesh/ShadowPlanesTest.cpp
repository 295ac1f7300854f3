#include "world/mesh/ShadowPlanes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace quor;
using namespace quor::world;

struct PlaneSet {
    float planes[kMaxShadowPlanes][4] = {};
    std::int32_t kinds[kMaxShadowPlanes] = {};
    std::uint32_t count = 0;
    int Add(const float* p, std::int32_t kind, bool* added = nullptr) {
        return FindOrAddShadowPlane(planes, kinds, count, p, kind, added);
    }
};

TEST(ShadowPlanes, PlanesWithinTheToleranceShareOneIndex) {
    const float base[4] = {0, 1, 0, 2};
    struct Case {
        float delta[4];
        std::int32_t kind;
        bool same;
    };
    const Case cases[] = {
        {{0, 0, 0, 0}, 1, true},
        {{0.00009f, -0.00009f, 0.00009f, -0.00009f}, 1, true},
        {{0.00015f, 0, 0, 0}, 1, false},
        {{0, 0, -0.00015f, 0}, 1, false},
        {{0, 0, 0, 0.00015f}, 1, false},
        {{0, 0, 0, 0}, 2, false},
    };
    for (const Case& c : cases) {
        PlaneSet set;
        bool added = false;
        ASSERT_EQ(set.Add(base, 1, &added), 0);
        EXPECT_TRUE(added);
        const float other[4] = {base[0] + c.delta[0], base[1] + c.delta[1], base[2] + c.delta[2], base[3] + c.delta[3]};
        const int index = set.Add(other, c.kind, &added);
        EXPECT_EQ(index, c.same ? 0 : 1) << c.delta[0] << " " << c.delta[3] << " kind " << c.kind;
        EXPECT_EQ(added, !c.same);
        EXPECT_EQ(set.count, c.same ? 1u : 2u);
        // The first plane stored stays the one matched against.
        EXPECT_EQ(set.planes[0][3], 2.0f);
    }
}

TEST(ShadowPlanes, ANinthDistinctPlaneIsRefusedAndTheEightStay) {
    PlaneSet set;
    for (int i = 0; i < 8; ++i) {
        const float p[4] = {0, 1, 0, float(i)};
        ASSERT_EQ(set.Add(p, i % 3), i);
    }
    PlaneSet before = set;
    const float ninth[4] = {0, 1, 0, 8};
    bool added = true;
    EXPECT_EQ(set.Add(ninth, 0, &added), -1);
    EXPECT_FALSE(added);
    EXPECT_EQ(set.count, 8u);
    EXPECT_EQ(std::memcmp(&before, &set, sizeof set), 0);
    // A plane already held is still found when the arrays are full.
    const float held[4] = {0, 1, 0, 5.00005f};
    EXPECT_EQ(set.Add(held, 5 % 3), 5);
}

// A similarity transform: rotation about an axis, uniform scale (negative: mirrored) and a
// translation.
Matrix Similarity(std::mt19937& random) {
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    Vec3 axis(u(random), u(random), u(random));
    const float length = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
    if (length < 1e-3f) axis = Vec3(0, 1, 0);
    else axis *= 1.0f / length;
    Matrix rotation, scale, m;
    MatrixRotationAxis(rotation, axis, u(random) * 3.0f);
    const float s = (0.5f + std::fabs(u(random)) * 2.0f) * (u(random) < -0.5f ? -1.0f : 1.0f);
    MatrixScaling(scale, Vec3(s, s, s));
    MatrixMultiplyPlain(scale, rotation, m);
    m(3, 0) = u(random) * 10.0f;
    m(3, 1) = u(random) * 10.0f;
    m(3, 2) = u(random) * 10.0f;
    return m;
}

// Points of the plane a x + b y + c z = d.
std::vector<Vec3> PointsOn(const float* plane, std::mt19937& random) {
    std::uniform_real_distribution<float> u(-5.0f, 5.0f);
    const Vec3 n(plane[0], plane[1], plane[2]);
    const float nn = n.x * n.x + n.y * n.y + n.z * n.z;
    std::vector<Vec3> points;
    for (int i = 0; i < 6; ++i) {
        Vec3 q(u(random), u(random), u(random));
        const float off = (n.x * q.x + n.y * q.y + n.z * q.z - plane[3]) / nn;
        points.push_back(q - n * off);
    }
    return points;
}

// Every kind places the plane through the matrix its frame names: the placed plane holds
// exactly the images of the original plane's points, its normal points the way the matrix
// turns the original one, and it is unit length when renormalising was asked for.
TEST(ShadowPlanes, PlacedPlanesAgreeWithADirectComputation) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int round = 0; round < 200; ++round) {
        // Planes come with unit normals (the point normal x d lies on them).
        Vec3 n(u(random), u(random) + 1.5f, u(random));
        n *= 1.0f / std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        const float plane[4] = {n.x, n.y, n.z, u(random) * 4.0f};

        ShadowPlaneFrame frame;
        frame.hasParent = round % 2 == 0;
        frame.parentRelativeInverse = Similarity(random);
        frame.worldInverse = Similarity(random);
        frame.renormalise = round % 3 == 0;
        frame.scaledOrMirrored = round % 5 == 0;
        for (std::int32_t kind : {0, 1, 2}) {
            float placed[4];
            PlaceShadowPlane(plane, kind, frame, placed);
            if (kind == kPlaneFixedInWorld) {
                for (int i = 0; i < 4; ++i) EXPECT_EQ(placed[i], plane[i]);
                continue;
            }
            const bool parent = kind == kPlaneRelativeToParent && frame.hasParent;
            const Matrix& m = parent ? frame.parentRelativeInverse : frame.worldInverse;
            const bool unit = parent ? frame.renormalise : frame.scaledOrMirrored;
            const Vec3 placedNormal(placed[0], placed[1], placed[2]);
            const float pl = std::sqrt(placed[0] * placed[0] + placed[1] * placed[1] + placed[2] * placed[2]);
            if (unit) {
                EXPECT_NEAR(pl, 1.0f, 1e-4f);
            }
            // The normal's direction, as the matrix's rows turn it.
            Vec3 turned;
            TransformNormal(Vec3(plane[0], plane[1], plane[2]), m, turned);
            const float tl = std::sqrt(turned.x * turned.x + turned.y * turned.y + turned.z * turned.z);
            for (int i = 0; i < 3; ++i) EXPECT_NEAR(placedNormal[i] / pl, turned[i] / tl, 1e-4f);
            for (const Vec3& q : PointsOn(plane, random)) {
                Vec3 image;
                TransformPoint(q, m, image);
                const float side = (placed[0] * image.x + placed[1] * image.y + placed[2] * image.z - placed[3]) / pl;
                EXPECT_NEAR(side, 0.0f, 2e-3f) << "round " << round << " kind " << kind;
            }
        }
    }
}

TEST(ShadowPlanes, ACollapsedNormalIsNotDividedByZero) {
    Matrix zero;
    MatrixScaling(zero, Vec3(0, 0, 0));
    const float plane[4] = {0, 1, 0, 3};
    float out[4];
    TransformShadowPlane(plane, zero, true, out);
    for (float v : out) EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(out[1], 0.0f);
}

}  // namespace
