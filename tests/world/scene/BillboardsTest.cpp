#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/world/core/ObjectModelSupport.h"
#include "world/core/Camera.h"
#include "world/scene/Billboards.h"

namespace {

using namespace quor;
using namespace quor::test;
using namespace quor::world;

void ExpectRotation(const Matrix& m) {
    for (int r = 0; r < 3; ++r) EXPECT_NEAR(Vec3Length(m.Row(r)), 1.0f, 1e-5f) << r;
    EXPECT_NEAR(Vec3Dot(m.Row(0), m.Row(1)), 0.0f, 1e-5f);
    EXPECT_NEAR(Vec3Dot(m.Row(1), m.Row(2)), 0.0f, 1e-5f);
    EXPECT_NEAR(Vec3Dot(Vec3Cross(m.Row(0), m.Row(1)), m.Row(2)), 1.0f, 1e-5f) << "not mirrored";
}

TEST(Billboards, MatrixFromForwardUp) {
    Matrix m;
    ASSERT_TRUE(MatrixFromForwardUp(m, Vec3{0, 0, 5}, Vec3{0, 2, 0}));
    EXPECT_NEAR(m.Row(0).x, 1.0f, 1e-6f);
    EXPECT_NEAR(m.Row(1).y, 1.0f, 1e-6f);
    EXPECT_NEAR(m.Row(2).z, 1.0f, 1e-6f);
    // An up hint parallel to the facing direction is replaced; the result is still a rotation
    // facing the given way.
    const Vec3 directions[] = {{0, 1, 0}, {0, -3, 0}, {1, 1e-6f, 0}, {0.3f, 0.4f, 0.5f}};
    for (const Vec3& f : directions) {
        ASSERT_TRUE(MatrixFromForwardUp(m, f, f));
        ExpectRotation(m);
        const Vec3 unit = f * (1.0f / Vec3Length(f));
        EXPECT_NEAR(Vec3Dot(m.Row(2), unit), 1.0f, 1e-5f);
    }
    Matrix untouched;
    MatrixIdentity(untouched);
    EXPECT_FALSE(MatrixFromForwardUp(untouched, Vec3{0, 0, 0}, Vec3{0, 1, 0}));
    EXPECT_EQ(untouched.m[0], 1.0f);
}

TEST(Billboards, TypesOneToFive) {
    RendererScope scope;
    Camera camera;
    camera.SetPosition(Vec3{0, 0, -10});
    BillboardBlock block;
    block.Prepare(camera);
    EXPECT_NEAR(block.cameraForward.z, 1.0f, 1e-5f);

    struct Case {
        int type;
        Vec3 position;
        Vec3 facing;  // expected third row
    };
    const Case cases[] = {
        {1, {5, 0, 0}, {0, 0, 1}},
        {2, {5, 0, 0}, {0, 0, 1}},
        {3, {5, 0, 0}, {0, 0, 1}},
        {4, {10, 0, -10}, {1, 0, 0}},
        {5, {0, 10, -10}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        SpaceObject o;
        o.SetPosition(c.position);
        block.Turn(o, c.type);
        Matrix r;
        o.GetWorldRotation(r);
        ExpectRotation(r);
        EXPECT_NEAR(r.Row(2).x, c.facing.x, 1e-5f) << c.type;
        EXPECT_NEAR(r.Row(2).y, c.facing.y, 1e-5f) << c.type;
        EXPECT_NEAR(r.Row(2).z, c.facing.z, 1e-5f) << c.type;
    }
    // Types 1-3 compute their rotation once per frame and share it.
    SpaceObject a, b;
    block.Turn(a, 2);
    b.SetPosition(Vec3{100, 3, 3});
    block.Turn(b, 2);
    Matrix ra, rb;
    a.GetWorldRotation(ra);
    b.GetWorldRotation(rb);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(ra.m[i], rb.m[i]);

    // At the camera's own position there is no facing direction: the rotation stays.
    SpaceObject atCamera;
    atCamera.SetPosition(Vec3{0, 0, -10});
    Matrix turned;
    MatrixRotationY(turned, 0.5f);
    atCamera.SetRotation(turned);
    block.Turn(atCamera, 4);
    Matrix kept;
    atCamera.GetWorldRotation(kept);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(kept.m[i], turned.m[i], 1e-6f);
}

}  // namespace
