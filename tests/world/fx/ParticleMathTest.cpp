#include "world/fx/ParticleMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "world/core/Random.h"

namespace quor::world {
namespace {

// The generator's first values from seed 1.
const int kSeq[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};

float R01(int k) { return float(kSeq[k]) / 32767.0f; }
float Range(float a, float b, int k) { return a + (b - a) * float(kSeq[k]) / 32767.0f; }
Vec3 Unit(int k) {
    Vec3 v(2 * R01(k) - 1, 2 * R01(k + 1) - 1, 2 * R01(k + 2) - 1);
    return v * (1.0f / Vec3Length(v));
}

void ExpectVec(const Vec3& a, const Vec3& b, float eps = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

TEST(ParticleMath, DrawsFollowTheGeneratorInShapeOrder) {
    EmissionShape s;
    s.minSpeed = 10;
    s.maxSpeed = 30;
    s.plane = MakeEmissionPlane({0, 1, 0});

    // Sphere: direction (three draws), speed, radius.
    s.type = 0;
    SeedRand(1);
    Vec3 v, p;
    MakeEmissionPoint(s, 8.0f, v, p);
    const Vec3 d = Unit(0);
    ExpectVec(v, d * Range(10, 30, 3));
    ExpectVec(p, d * Range(0, 8, 4));

    // Cylinder: plane direction (three draws), radius, height, speed.
    s.type = 4;
    s.height = 6.0f;
    SeedRand(1);
    MakeEmissionPoint(s, 8.0f, v, p);
    Vec3 q = Vec3Cross({0, 1, 0}, Unit(0));
    q = q * (1.0f / Vec3Length(q));
    ExpectVec(p, q * Range(0, 8, 3) + Vec3(0, Range(0, 6, 4), 0));
    ExpectVec(v, Vec3(0, Range(10, 30, 5), 0));

    // Cone, inside: a, b, s, radius, then speed.
    s.type = 3;
    SeedRand(1);
    MakeEmissionPoint(s, 8.0f, v, p);
    const float a = Range(-1, 1, 0), b = Range(-1, 1, 1), t = Range(0, 1, 2);
    Vec3 cq = s.plane.axisU * b + s.plane.axisV * a;
    cq = cq * (1.0f / Vec3Length(cq));
    Vec3 P = cq * Range(0, 8 * t, 3) + Vec3(0, t * 6.0f, 0);
    ExpectVec(p, Vec3());
    ExpectVec(v, P * (Range(10, 30, 4) / Vec3Length(P)));
}

TEST(ParticleMath, SeededPointsLieInsideEachShape) {
    const Vec3 normals[] = {{0, 1, 0}, {0, -1, 0}, {1, 2, 3}, {0, 0, 0}};
    for (const Vec3& planeDir : normals) {
        for (int type = 0; type <= 6; ++type) {
            for (bool inside : {true, false}) {
                EmissionShape s;
                s.type = type;
                s.inside = inside;
                s.height = 4.0f;
                s.minSpeed = 2.0f;
                s.maxSpeed = 5.0f;
                s.plane = MakeEmissionPlane(planeDir);
                const Vec3 n = s.plane.normal;
                SeedRand(7u + unsigned(type));
                for (int i = 0; i < 500; ++i) {
                    Vec3 v, p;
                    const float r = 3.0f;
                    MakeEmissionPoint(s, r, v, p);
                    const float along = Vec3Dot(p, n);
                    const Vec3 across = p - n * along;
                    const float speed = Vec3Length(v);
                    SCOPED_TRACE(testing::Message() << "type " << type << " inside " << inside << " n " << n.x << ","
                                                    << n.y << "," << n.z);
                    switch (type) {
                    case 0:
                        if (inside) EXPECT_LE(Vec3Length(p), r + 1e-4f);
                        else EXPECT_NEAR(Vec3Length(p), r, 1e-4f);
                        EXPECT_NEAR(Vec3Dot(p, v), Vec3Length(p) * speed, 1e-3f);  // outward
                        break;
                    case 2:
                    case 5:
                        EXPECT_NEAR(along, 0.0f, 1e-4f);
                        if (inside) EXPECT_LE(Vec3Length(p), r + 1e-4f);
                        else EXPECT_NEAR(Vec3Length(p), r, 1e-4f);
                        if (type == 2) ExpectVec(v, n * speed);
                        else EXPECT_NEAR(Vec3Length(Vec3Cross(v, p)), 0.0f, 1e-3f);  // radial
                        break;
                    case 3:
                        ExpectVec(p, Vec3());
                        EXPECT_GE(Vec3Dot(v, n), -1e-4f);  // into the cone's half space
                        break;
                    case 4:
                        EXPECT_GE(along, -1e-4f);
                        EXPECT_LE(along, 4.0f + 1e-4f);
                        if (inside) EXPECT_LE(Vec3Length(across), r + 1e-4f);
                        else EXPECT_NEAR(Vec3Length(across), r, 1e-4f);
                        ExpectVec(v, n * speed);
                        break;
                    default:  // point, and types without a shape
                        ExpectVec(p, Vec3());
                        break;
                    }
                    if (type != 5) {
                        EXPECT_GE(speed, 2.0f - 1e-4f);
                        EXPECT_LE(speed, 5.0f + 1e-4f);
                    }
                }
            }
        }
    }
}

TEST(ParticleMath, EmissionPlaneAxes) {
    const EmissionPlane up = MakeEmissionPlane({0, 0, 0});
    ExpectVec(up.normal, {0, 1, 0});
    ExpectVec(up.axisU, Vec3Cross({0, 1, 0}, {1, 0, 0}));
    const EmissionPlane down = MakeEmissionPlane({0, -2, 0});
    ExpectVec(down.normal, {0, -1, 0});
    ExpectVec(down.axisU, Vec3Cross({0, -1, 0}, {1, 0, 0}));
    // At 30 degrees from y both axes are sin 30 long, not unit.
    const float a = 3.14159265f / 6;
    const EmissionPlane tilted = MakeEmissionPlane({std::sin(a), std::cos(a), 0});
    EXPECT_NEAR(Vec3Length(tilted.axisU), 0.5f, 1e-5f);
    EXPECT_NEAR(Vec3Length(tilted.axisV), 0.5f, 1e-5f);
}

TEST(ParticleMath, EmissionCounts) {
    // Rate 10 at dt 0.016: the fraction carries, one particle on the seventh frame.
    float acc = 0.0f;
    std::vector<int> counts;
    for (int i = 0; i < 13; ++i) counts.push_back(ComputeEmissionCount(0.016f, 10, false, false, acc));
    EXPECT_EQ(counts, (std::vector<int>{0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}));

    struct Case {
        float dt;
        int rate;
        bool atLeastOne, poolEmpty;
        float acc;
        int count;
        float accAfter;
    };
    const Case cases[] = {
        {0.016f, 10, true, false, 0.0f, 1, 0.0f},     // "EmitAtBegin": one at once
        {0.5f, 10, false, false, 0.75f, 5, 0.75f},    // whole numbers pass through
        {0.25f, 10, false, false, 0.75f, 3, 0.25f},   // 2.5 + 0.75: the whole part moves over
        {0.5f, 10, false, true, 0.5f, 0, 0.5f},       // full pool: nothing, nothing carried
        {0.016f, 0, false, false, 0.0f, 0, 0.0f},     // rate 0
        {0.016f, 0, true, false, 0.0f, 1, 0.0f},
        {1.0f, 2000000000, false, false, 0.0f, 1000000000, 0.0f},  // no int overflow
    };
    for (const Case& c : cases) {
        float a = c.acc;
        EXPECT_EQ(ComputeEmissionCount(c.dt, c.rate, c.atLeastOne, c.poolEmpty, a), c.count) << c.dt << " " << c.rate;
        EXPECT_NEAR(a, c.accAfter, 1e-5f);
    }
}

TEST(ParticleMath, IntegrationTable) {
    struct Case {
        float dt, friction, gravity;
        Vec3 velocity;
        Vec3 position, velocityAfter;
    };
    const Case cases[] = {
        {0.5f, 0.0f, 0.0f, {2, 0, 0}, {1, 0, 0}, {2, 0, 0}},
        {0.5f, 1.0f, 0.0f, {2, 0, 0}, {1, 0, 0}, {1, 0, 0}},        // f = 0.5
        {0.6f, 2.0f, -10.0f, {2, 0, 0}, {1.2f, 0, 0}, {0, -6, 0}},  // f clamped to 0; gravity of the step only
        {0.1f, 0.0f, -10.0f, {0, 5, 0}, {0, 0.5f, 0}, {0, 4, 0}},   // moved with the old velocity
        {0.0f, 3.0f, -10.0f, {1, 2, 3}, {0, 0, 0}, {1, 2, 3}},      // dt 0 changes nothing
    };
    for (const Case& c : cases) {
        Particle p;
        p.velocity = c.velocity;
        p.position = Vec3();
        IntegrateParticle(p, c.dt, c.friction, c.gravity, Vec3(), false);
        ExpectVec(p.position, c.position);
        ExpectVec(p.velocity, c.velocityAfter);
        ExpectVec(p.previous, Vec3());
    }
}

TEST(ParticleMath, JitterTurnsButKeepsSpeed) {
    SeedRand(5);
    Particle p;
    p.velocity = {3, 4, 0};
    for (int i = 0; i < 200; ++i) {
        IntegrateParticle(p, 0.1f, 0.0f, 0.0f, {2, 2, 2}, true);
        EXPECT_NEAR(Vec3Length(p.velocity), 5.0f, 1e-3f);
        ExpectVec(p.position - p.previous, p.velocity * 0.1f);
    }
    // A resting particle stays finite: the jittered vector is not normalised from zero length.
    Particle still;
    IntegrateParticle(still, 0.1f, 0.0f, 0.0f, {1e-6f, 1e-6f, 1e-6f}, true);
    EXPECT_TRUE(std::isfinite(still.velocity.x) && std::isfinite(still.position.x));
}

TEST(ParticleMath, ApproxLengthAndRanges) {
    EXPECT_FLOAT_EQ(Vec3ApproxLength({-4, 1, 2}), 4.75f);
    EXPECT_FLOAT_EQ(Vec3ApproxLength({1, 0, -8}), 8.25f);
    SeedRand(1);
    EXPECT_FLOAT_EQ(RandomRange(5, 1), Range(5, 1, 0));  // either order works
    EXPECT_FLOAT_EQ(RandomJitter(10, -2), 10 + Range(-2, 2, 1));
}

}  // namespace
}  // namespace quor::world
