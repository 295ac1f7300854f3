#include "scene/view/KytCamera.h"

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytLink.h"
#include "tests/support/scene/ViewGl.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using viewtest::LookAtMatrix;
using viewtest::ReadMatrix;
using viewtest::ViewGl;

// Opens the window-point operations to the tests.
struct OpenCamera : KytCamera {
    using KytCamera::KytCamera;
    using KytCamera::Point2Vector;
    using KytCamera::Point2VectorP;
};
struct OpenSectCamera : KytSectCamera {
    using KytSectCamera::KytSectCamera;
    using KytSectCamera::Point2Vector;
};

void ExpectNear(const WqVector3D& v, double x, double y, double z, double tol = 1e-9) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

class CameraTest : public testing::Test {
protected:
    void SetUp() override {
        KytEnv::Reset();
        KytEnv::nUpAxis = 1;
        ASSERT_TRUE(gl_.Ready());
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    void TearDown() override { KytEnv::Reset(); }

    // Loads the camera at `distance` on an identity model-view and checks the matrix that GL
    // holds against the hand-computed look-at of the camera's own eye, target and up.
    void SetAndCheck(KytCamera& c, double distance) {
        glLoadIdentity();
        c.SetCamera(distance);
        const WqVector3D& e = c.GetEyePosition();
        const WqVector3D& a = c.GetLookAtPosition();
        const WqVector3D& u = c.GetViewUpVector();
        const double eye[3] = {e.x, e.y, e.z}, at[3] = {a.x, a.y, a.z}, up[3] = {u.x, u.y, u.z};
        const auto expect = LookAtMatrix(eye, at, up);
        const auto got = ReadMatrix(GL_MODELVIEW_MATRIX);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], expect[i], 1e-5) << i;
    }

    ViewGl gl_{64, 64};
};

TEST(CameraAngles, NormaliseIntoZeroTo360) {
    struct Case { float direct, zenith, wantDirect, wantZenith; };
    const Case cases[] = {
        {-30, 400, 330, 40}, {360, 0, 360, 0}, {-360, 720, 0, 0},
        {725, -725, 5, 355}, {0, -0.5f, 0, 359.5f}, {359, 361, 359, 1},
    };
    for (const auto& c : cases) {
        KytCamera cam;
        cam.Change(c.direct, c.zenith);
        EXPECT_FLOAT_EQ(cam.GetDirectAngle(), c.wantDirect) << c.direct;
        EXPECT_FLOAT_EQ(cam.GetZenithAngle(), c.wantZenith) << c.zenith;
    }
    KytCamera cam("c", 355, 10);
    const WqVector3D shift(1, 2, 3);
    cam.Move(10, -50, shift);
    EXPECT_FLOAT_EQ(cam.GetDirectAngle(), 5);
    EXPECT_FLOAT_EQ(cam.GetZenithAngle(), 320);
    ExpectNear(cam.GetLookAtPosition(), 1, 2, 3);
}

TEST(CameraAngles, DefaultsAndNames) {
    KytCamera plain;
    EXPECT_STREQ(static_cast<const char*>(plain.GetName()), "Default");
    EXPECT_FLOAT_EQ(plain.GetDirectAngle(), 54);
    EXPECT_FLOAT_EQ(plain.GetZenithAngle(), 45);
    EXPECT_FALSE(plain.IsResetView());
    WqVector3D at(4, 5, 6);
    KytCamera named("front", at, 10, 20);
    EXPECT_STREQ(static_cast<const char*>(named.GetName()), "front");
    ExpectNear(named.GetLookAtPosition(), 4, 5, 6);
}

TEST_F(CameraTest, EyeAndUpForEachUpAxis) {
    const double r = std::sqrt(0.5);
    struct Case {
        int axis;
        float direct, zenith;
        double ex, ey, ez;  // eye offset from the look-at point, distance 10
        double ux, uy, uz;
    };
    const Case cases[] = {
        {1, 0, 90, 0, 0, 10, 0, 1, 0},
        {1, 90, 90, 10, 0, 0, 0, 1, 0},
        {1, 0, 45, 0, 10 * r, 10 * r, 0, r, -r},
        {2, 0, 90, 10, 0, 0, 0, 0, 1},
        {2, 90, 90, 0, 10, 0, 0, 0, 1},
        {3, 0, 90, 0, 10, 0, 1, 0, 0},
        {0, 90, 90, 0, 0, 10, 1, 0, 0},
    };
    for (const auto& c : cases) {
        KytEnv::nUpAxis = c.axis;
        WqVector3D at(1, 2, 3);
        KytCamera cam("c", at, c.direct, c.zenith);
        SetAndCheck(cam, 10);
        const WqVector3D off = cam.GetEyePosition() - cam.GetLookAtPosition();
        ExpectNear(off, c.ex, c.ey, c.ez);
        ExpectNear(cam.GetViewUpVector(), c.ux, c.uy, c.uz);
        ExpectNear(cam.GetEyeOrientation(), c.ex / 10, c.ey / 10, c.ez / 10);
    }
}

TEST_F(CameraTest, LookingAlongTheUpAxisTakesTheUpVectorFromTheDirectAngle) {
    const double cd = std::cos(30 * M_PI / 180), sd = std::sin(30 * M_PI / 180);
    struct Case { int axis; float zenith; double ux, uy, uz; };
    const Case cases[] = {
        {1, 0, -sd, 0, -cd},   {1, 180, sd, 0, cd}, {1, 360, sd, 0, cd},
        {2, 0, -cd, -sd, 0},   {2, 180, cd, sd, 0}, {2, 360, cd, sd, 0},
        {3, 0, 0, -cd, -sd},   {3, 180, 0, cd, sd}, {3, 360, 0, cd, sd},
    };
    for (const auto& c : cases) {
        KytEnv::nUpAxis = c.axis;
        KytCamera cam("c", 30, c.zenith);
        SetAndCheck(cam, 10);
        ExpectNear(cam.GetViewUpVector(), c.ux, c.uy, c.uz, 1e-6);
    }
}

TEST_F(CameraTest, ZenithBeyond180TurnsTheViewUpsideDown) {
    KytCamera below("c", 0, 200);
    SetAndCheck(below, 10);
    const WqVector3D o = below.GetEyeOrientation();
    const WqVector3D u = below.GetViewUpVector();
    EXPECT_NEAR(o.Dot(u), 0.0, 1e-9);
    EXPECT_NEAR(u.Length(), 1.0, 1e-9);
    // The plain projection of the Y axis would point up; the view is upside down.
    EXPECT_LT(u.y, 0.0);
    ExpectNear(u, 0, -std::sin(20 * M_PI / 180), std::cos(20 * M_PI / 180), 1e-6);
}

TEST_F(CameraTest, ExplicitDirectionScalesTheCallersVector) {
    WqVector3D at(1, 1, 1);
    KytCamera cam("c", at, 0, 90);
    WqVector3D dir(0, 0, 2);
    glLoadIdentity();
    cam.SetCamera(5, dir);
    ExpectNear(dir, 0, 0, 10);
    ExpectNear(cam.GetEyePosition(), 1, 1, 11);
    ExpectNear(cam.GetEyeOrientation(), 0, 0, 2);  // kept as given
    ExpectNear(cam.GetViewUpVector(), 0, 1, 0);
}

TEST_F(CameraTest, ShiftEyeMovesOnlyTheEye) {
    KytCamera cam("c", 0, 90);
    SetAndCheck(cam, 10);
    const WqVector3D before = cam.GetEyeOrientation();
    glLoadIdentity();
    cam.ShiftEye(WqVector3D(0, 0, 5));
    ExpectNear(cam.GetEyePosition(), 0, 0, 15);
    ExpectNear(cam.GetEyeOrientation(), before.x, before.y, before.z);
    const double eye[3] = {0, 0, 15}, at[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    const auto expect = LookAtMatrix(eye, at, up);
    const auto got = ReadMatrix(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], expect[i], 1e-5);
}

TEST_F(CameraTest, WindowPointsMapOntoTheViewPlane) {
    WqVector3D at(1, 2, 3);
    OpenCamera cam("c", at, 0, 90);
    SetAndCheck(cam, 10);
    // 200 x 100 window, view radius 100: 2 world units per pixel.
    ExpectNear(cam.Point2Vector(100, 100, 50, 200, 100), 1, 2, 3);
    ExpectNear(cam.Point2Vector(100, 101, 50, 200, 100), 3, 2, 3);
    ExpectNear(cam.Point2Vector(100, 100, 49, 200, 100), 1, 4, 3);
    ExpectNear(cam.Point2Vector(100, 1, 1, 1, 100), 0, 0, 0);
    ExpectNear(cam.Point2Vector(100, 1, 1, 100, 1), 0, 0, 0);
    // Through a point 5 units behind the look-at point.
    ExpectNear(cam.Point2Vector(100, 101, 50, 200, 100, WqVector3D(7, 7, -2)), 3, 2, -2);
}

TEST_F(CameraTest, WindowPointsUnprojectAtTheDepthOfAPoint) {
    OpenCamera cam("c", 0, 90);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-32, 32, -32, 32, 0, 100);
    glMatrixMode(GL_MODELVIEW);
    glViewport(0, 0, 64, 64);
    SetAndCheck(cam, 10);
    // One world unit per pixel; window y counts from the top.
    const WqVector3D centre = cam.Point2VectorP(32, 32);
    ExpectNear(centre, 0, 0, 0, 1e-4);
    const WqVector3D p = cam.Point2VectorP(40, 20, WqVector3D(0, 0, -3));
    ExpectNear(p, 8, 12, -3, 1e-4);
}

// A part whose local Z axis points along world +X, with its origin at (5, 0, 0).
void PlaceFacingX(KytLink& link) {
    link.mech.mRot = WqMatrix33D(0, 0, 1, 0, 1, 0, -1, 0, 0);
    link.mech.vPos = WqVector3D(5, 0, 0);
}

TEST_F(CameraTest, SectionCameraLooksAtThePartsPlane) {
    KytLink link;
    PlaceFacingX(link);
    OpenSectCamera cam(&link);
    ExpectNear(cam.GetEyeOrientation(), -1, 0, 0);
    ExpectNear(cam.GetViewUpVector(), 0, 1, 0);
    cam.Change(0, 0, WqVector3D(0, 2, 3));
    glLoadIdentity();
    cam.SetCamera(10);
    ExpectNear(cam.GetLookAtPosition(), 5, 2, 3);
    const double eye[3] = {-5, 2, 3}, at[3] = {5, 2, 3}, up[3] = {0, 1, 0};
    const auto expect = LookAtMatrix(eye, at, up);
    const auto got = ReadMatrix(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], expect[i], 1e-5);
    // Window points land on the section plane whatever the base point.
    EXPECT_NEAR(cam.Point2Vector(100, 10, 10, 200, 100).x, 5, 1e-9);
    EXPECT_NEAR(cam.Point2Vector(100, 10, 10, 200, 100, WqVector3D(-40, 0, 0)).x, 5, 1e-9);
}

TEST_F(CameraTest, SectionPlaneAcrossTheUpAxisUsesTheFixedUpVector) {
    struct Case { int axis; double ux, uy, uz; };
    const Case cases[] = {{1, -1, 0, 0}, {2, 0, -1, 0}, {3, 0, 0, -1}};
    for (const auto& c : cases) {
        KytEnv::nUpAxis = c.axis;
        KytLink link;
        // Local Z along the up axis.
        const int up = c.axis == 1 ? 1 : (c.axis == 2 ? 2 : 0);
        WqMatrix33D r;
        if (up == 1) r = WqMatrix33D(1, 0, 0, 0, 0, -1, 0, 1, 0);
        if (up == 0) r = WqMatrix33D(0, 0, 1, 0, 1, 0, -1, 0, 0);
        link.mech.mRot = r;
        KytSectCamera cam(&link);
        ExpectNear(cam.GetViewUpVector(), c.ux, c.uy, c.uz);
    }
}

TEST_F(CameraTest, TraceCameraRidesOnItsPart) {
    KytLink link;
    link.name = "carrier";
    // Quarter turn about Y: local +Z goes to world +X.
    link.mech.mRot = WqMatrix33D(0, 0, 1, 0, 1, 0, -1, 0, 0);
    link.mech.vPos = WqVector3D(1, 2, 3);
    KytTraceCamera cam(&link, WqVector3D(0, 0, 1), WqVector3D(0, 0, 2), WqVector3D(0, 1, 0), 4);
    EXPECT_TRUE(cam.IsResetView());
    EXPECT_STREQ(static_cast<const char*>(cam.GetName()), "carrier");
    glLoadIdentity();
    cam.SetCamera(123);  // the distance argument plays no part
    ExpectNear(cam.GetEyePosition(), 3, 2, 3);
    ExpectNear(cam.GetLookAtPosition(), 7, 2, 3);
    ExpectNear(cam.GetViewUpVector(), 0, 1, 0);
    ExpectNear(cam.GetEyeOrientation(), -1, 0, 0);
    const double eye[3] = {3, 2, 3}, at[3] = {7, 2, 3}, up[3] = {0, 1, 0};
    const auto expect = LookAtMatrix(eye, at, up);
    auto got = ReadMatrix(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], expect[i], 1e-5);

    float pos[4], dir[3];
    cam.GetSpotParameter(pos, dir);
    EXPECT_FLOAT_EQ(pos[0], 3);
    EXPECT_FLOAT_EQ(pos[3], 1.0f);
    EXPECT_FLOAT_EQ(dir[0], 1);

    // Without a part the eye stays where it was.
    cam.ChangeTarget(nullptr);
    link.mech.vPos = WqVector3D(50, 50, 50);
    glLoadIdentity();
    cam.SetCamera(1);
    ExpectNear(cam.GetEyePosition(), 3, 2, 3);
    got = ReadMatrix(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], expect[i], 1e-5);
}

}  // namespace
