#include "scene/view/KytViewPort.h"

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytLink.h"
#include "tests/support/scene/ViewGl.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

using viewtest::ReadMatrix;
using viewtest::ViewGl;

class ViewPortTest : public testing::Test {
protected:
    void SetUp() override {
        KytEnv::Reset();
        KytEnv::nUpAxis = 1;
        ASSERT_TRUE(gl_.Ready());
    }
    void TearDown() override { KytEnv::Reset(); }
    ViewGl gl_{64, 64};
};

TEST(ViewPort, StartsWithTheDocumentedValues) {
    KytViewPort vp;
    EXPECT_DOUBLE_EQ(vp.GetViewRadius(), 1000.0);
    EXPECT_DOUBLE_EQ(vp.GetEyeDistance(), 2000.0);
    EXPECT_EQ(vp.GetProjectionMode(), 1);
    EXPECT_DOUBLE_EQ(vp.GetZoomAngle(), 53.13010235415604);
    EXPECT_DOUBLE_EQ(vp.GetFarClip(), 10000.0);
    EXPECT_DOUBLE_EQ(vp.GetAspect(), 1.0);
    EXPECT_EQ(vp.GetActiveCamera(), nullptr);
    EXPECT_FALSE(vp.AddScale(1.0f));
}

TEST_F(ViewPortTest, ZoomStepsByTenPercentAndRefusesZero) {
    KytViewPort vp;
    vp.Create(nullptr, 0, 0, 64, 64);
    vp.GetRealScale().Flag = 1;
    EXPECT_FALSE(vp.Zoom(0.0f));
    EXPECT_DOUBLE_EQ(vp.GetViewRadius(), 1000.0);
    EXPECT_EQ(vp.GetRealScale().Flag, 1);
    struct Case { float direction; double factor; };
    const Case cases[] = {{5.0f, 1.1}, {0.01f, 1.1}, {-3.0f, 0.9}, {-0.001f, 0.9}};
    for (const auto& c : cases) {
        const double before = vp.GetViewRadius();
        EXPECT_TRUE(vp.Zoom(c.direction));
        EXPECT_DOUBLE_EQ(vp.GetViewRadius(), before * c.factor);
        EXPECT_DOUBLE_EQ(vp.GetZoomAngle(),
                         std::atan2(before * c.factor, vp.GetEyeDistance()) * 114.59155902616477);
    }
    EXPECT_EQ(vp.GetRealScale().Flag, 0);
    vp.ZoomEnd();
    EXPECT_DOUBLE_EQ(vp.GetRadiusBack(), vp.GetViewRadius());
}

TEST_F(ViewPortTest, OrthographicBoxFollowsTheAspect) {
    KytViewPort vp;
    vp.Create(nullptr, 0, 0, 32, 64);  // aspect 0.5
    ASSERT_DOUBLE_EQ(vp.GetAspect(), 0.5);
    vp.SetViewRadius(100.0);
    auto p = ReadMatrix(GL_PROJECTION_MATRIX);
    EXPECT_NEAR(p[0], 2.0 / 200.0, 1e-8);   // x in [-100, 100]
    EXPECT_NEAR(p[5], 2.0 / 400.0, 1e-8);   // y in [-200, 200]
    EXPECT_NEAR(p[12], 0.0, 1e-8);
    EXPECT_NEAR(p[13], 0.0, 1e-8);
    // The field of view is taken from the taller side.
    EXPECT_DOUBLE_EQ(vp.GetZoomAngle(), std::atan2(200.0, vp.GetEyeDistance()) * 114.59155902616477);

    vp.SetProjection(2.0);  // wide window: x in [-200, 200], y in [-100, 100]
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    vp.SetProjection();
    p = ReadMatrix(GL_PROJECTION_MATRIX);
    EXPECT_NEAR(p[0], 2.0 / 400.0, 1e-8);
    EXPECT_NEAR(p[5], 2.0 / 200.0, 1e-8);
    glMatrixMode(GL_MODELVIEW);
}

TEST_F(ViewPortTest, PerspectiveUsesTheFixedNearPlane) {
    KytViewPort vp;
    vp.Create(nullptr, 0, 0, 64, 32);
    vp.SetProjectionMode(0);
    vp.SetCamera();
    const auto p = ReadMatrix(GL_PROJECTION_MATRIX);
    const double f = 1.0 / std::tan(vp.GetZoomAngle() * M_PI / 360.0);
    const double n = 10.0, far = vp.GetFarClip();
    EXPECT_NEAR(p[5], f, 1e-6);
    EXPECT_NEAR(p[0], f / 2.0, 1e-6);
    EXPECT_NEAR(p[10], (far + n) / (n - far), 1e-6);
    EXPECT_NEAR(p[14], 2 * far * n / (n - far), 1e-4);
}

TEST_F(ViewPortTest, ShapelessTreeLooksAtZero) {
    KytLink root, child;
    root.AddChild(&child);
    KytViewPort vp;
    vp.Create(&root, 0, 0, 64, 64);
    ASSERT_NE(vp.GetActiveCamera(), nullptr);
    EXPECT_EQ(vp.GetCameraCount(), 1);
    EXPECT_STREQ(static_cast<const char*>(vp.GetActiveCamera()->GetName()), "Default");
    EXPECT_FLOAT_EQ(vp.GetDirectAngle(), 45.0f);
    EXPECT_FLOAT_EQ(vp.GetZenithAngle(), 54.0f);
    EXPECT_TRUE(vp.GetActiveCamera()->GetLookAtPosition() == WqVector3D::zero);
    EXPECT_DOUBLE_EQ(vp.GetViewRadius(), 1000.0);
    EXPECT_DOUBLE_EQ(vp.GetBaseRadius(), 1000.0);
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    EXPECT_EQ(view[2], 64);
}

// A tree of two parts, each with a unit-cube shape box, the second one moved.
struct BoxTree {
    KytShapeRep rep;
    KytShape shape;
    KytLink root, a, b;
    BoxTree() {
        rep.boxMin = {0, 0, 0};
        rep.boxMax = {1, 2, 3};
        shape.pRep = &rep;
        a.pShape = &shape;
        b.pShape = &shape;
        b.mech.vPos = WqVector3D(10, 0, 0);
        root.AddChild(&a);
        root.AddChild(&b);
    }
};

TEST_F(ViewPortTest, FitsTheViewToTheTransformedShapeBoxes) {
    BoxTree tree;
    KytViewPort vp;
    vp.Create(&tree.root, 0, 0, 64, 64);
    EXPECT_TRUE(vp.GetBoxMin() == WqVector3D(0, 0, 0));
    EXPECT_TRUE(vp.GetBoxMax() == WqVector3D(11, 2, 3));
    const double radius = std::sqrt(11.0 * 11 + 4 + 9) / 2;
    EXPECT_DOUBLE_EQ(vp.GetViewRadius(), radius);
    EXPECT_DOUBLE_EQ(vp.GetRadiusBack(), radius);
    EXPECT_DOUBLE_EQ(vp.GetEyeDistance(), radius * 2.5);
    EXPECT_DOUBLE_EQ(vp.GetFarClip(), radius * 2.5 * 5.0);
    EXPECT_DOUBLE_EQ(vp.GetNearClip(), 0.0);
    EXPECT_DOUBLE_EQ(vp.GetBaseRadius(), radius);
    EXPECT_TRUE(vp.GetActiveCamera()->GetLookAtPosition() == WqVector3D(5.5, 1, 1.5));

    // A second Create keeps the camera and recomputes nothing from the tree.
    tree.b.mech.vPos = WqVector3D(100, 0, 0);
    vp.SetRadius(7.0);
    vp.Create(&tree.root, 0, 0, 32, 32);
    EXPECT_EQ(vp.GetCameraCount(), 1);
    EXPECT_DOUBLE_EQ(vp.GetBaseRadius(), 7.0);
    EXPECT_TRUE(vp.GetActiveCamera()->GetLookAtPosition() == WqVector3D(5.5, 1, 1.5));
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    EXPECT_EQ(view[2], 32);
}

TEST_F(ViewPortTest, RefitTakesTheFieldOfViewFromTheNewEyeDistance) {
    // Eye distance is 2.5 radii after a fit, so the full angle is 2 atan(0.4) whatever the
    // box and whatever distance the viewport had before; a tall window widens it by 1/aspect.
    struct Case { WqVector3D lo, hi; double aspect; double degrees; };
    const Case cases[] = {
        {{0, 0, 0}, {10, 10, 10}, 1.0, 2 * std::atan(0.4) * 180 / M_PI},
        {{-3, 5, 1}, {400, 9, 2}, 2.0, 2 * std::atan(0.4) * 180 / M_PI},
        {{995, 995, 995}, {1005, 1005, 1005}, 0.5, 2 * std::atan(0.8) * 180 / M_PI},
    };
    for (const auto& c : cases) {
        KytViewPort fresh;
        fresh.SetProjection(c.aspect);
        fresh.SetBoundingBox(c.lo, c.hi);
        EXPECT_NEAR(fresh.GetZoomAngle(), c.degrees, 1e-9) << c.hi.x;
        // A second fit from the fitted state gives the same angle.
        fresh.SetBoundingBox(c.lo * 3.0, c.hi * 3.0);
        EXPECT_NEAR(fresh.GetZoomAngle(), c.degrees, 1e-9) << c.hi.x;
    }
    EXPECT_NEAR(2 * std::atan(0.4) * 180 / M_PI, 43.6028, 1e-4);
}

TEST_F(ViewPortTest, BoxWithoutExtentKeepsTheRadius) {
    // A radius of 0 could never be scaled up again; the view only looks at the point.
    KytViewPort vp;
    vp.Create(nullptr, 0, 0, 64, 64);
    vp.SetBoundingBox(WqVector3D(0, 0, 0), WqVector3D(10, 10, 10));
    const double radius = vp.GetViewRadius();
    ASSERT_GT(radius, 0.0);
    const WqVector3D p(4, 5, 6);
    EXPECT_TRUE(vp.SetBoundingBox(p, p) == p);
    EXPECT_DOUBLE_EQ(vp.GetViewRadius(), radius);
    EXPECT_TRUE(vp.GetActiveCamera()->GetLookAtPosition() == p);
}

TEST_F(ViewPortTest, EyeViewPortAssignmentLoadsTheMatrixWithTheNewScale) {
    KytEyeViewPort from, to;
    from.AddCamera(new KytCamera("from", 45.0f, 54.0f));
    to.AddCamera(new KytCamera("to", 10.0f, 20.0f));
    ASSERT_TRUE(from.AddScale(1.0f));  // 2.0
    to = from;
    EXPECT_FLOAT_EQ(to.GetScale(), 2.0f);
    const auto assigned = ReadMatrix(GL_MODELVIEW_MATRIX);
    from.SetCamera();
    const auto expected = ReadMatrix(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(assigned[i], expected[i], 1e-9) << i;
    EXPECT_NEAR(assigned[15], 1.0, 1e-12);
}

TEST_F(ViewPortTest, RadiusSettersAndClipRate) {
    KytViewPort vp;
    vp.Create(nullptr, 0, 0, 64, 64);
    vp.GetRealScale().Flag = 1;
    vp.ResetViewRadius(50.0, true);
    EXPECT_EQ(vp.GetRealScale().Flag, 1);
    EXPECT_DOUBLE_EQ(vp.GetRadiusBack(), 50.0);
    vp.ResetViewRadius(60.0, false);
    EXPECT_EQ(vp.GetRealScale().Flag, 0);
    vp.SetCamera(2.0);
    EXPECT_DOUBLE_EQ(vp.GetEyeDistance(), 2.5 * 60.0 * 2.0);
    EXPECT_DOUBLE_EQ(vp.GetFarClip(), 2.5 * 60.0 * 2.0 * 5.0);
    vp.SetZClip(4.0);
    EXPECT_DOUBLE_EQ(vp.GetNearClip(), 0.0);
    EXPECT_DOUBLE_EQ(vp.GetFarClip(), 5.0 * 2.5 * 4.0);
}

TEST_F(ViewPortTest, CamerasAreAddedAtTheTailAndFoundByName) {
    KytViewPort vp;
    EXPECT_EQ(vp.AddCamera(new KytCamera("one", 0, 90)), 0);
    EXPECT_EQ(vp.AddCamera(new KytCamera("two", 0, 90)), 1);
    EXPECT_EQ(vp.GetCameraCount(), 2);
    EXPECT_STREQ(static_cast<const char*>(vp.GetActiveCamera()->GetName()), "two");
    EXPECT_EQ(vp.SearchCamera("one"), vp.GetCameras());
    EXPECT_EQ(vp.SearchCamera("three"), nullptr);
    EXPECT_EQ(vp.GetCameras()->GetNext(), vp.GetActiveCamera());
}

TEST_F(ViewPortTest, ViewPointChangesReloadTheMatrices) {
    KytViewPort vp;
    vp.Create(nullptr, 0, 0, 64, 64);
    vp.ChangeViewPoint(0.0f, 90.0f);
    auto m = ReadMatrix(GL_MODELVIEW_MATRIX);
    EXPECT_NEAR(m[14], -2000.0, 1e-6);  // eye 2000 units along +Z
    vp.MoveViewPoint(90.0f, 0.0f, WqVector3D(1, 0, 0));
    EXPECT_FLOAT_EQ(vp.GetDirectAngle(), 90.0f);
    EXPECT_TRUE(vp.GetActiveCamera()->GetLookAtPosition() == WqVector3D(1, 0, 0));
    WqVector3D dir(0, 1, 0);
    vp.ChangeViewPoint(dir);
    EXPECT_TRUE(dir == WqVector3D(0, 2000, 0));
    EXPECT_TRUE(vp.GetActiveCamera()->GetEyePosition() == WqVector3D(1, 2000, 0));
}

TEST_F(ViewPortTest, AssignmentTakesTheProjectionAndTheHeadCamerasView) {
    KytViewPort a, b;
    a.Create(nullptr, 0, 0, 64, 64);
    b.Create(nullptr, 0, 0, 64, 64);
    a.ChangeViewPoint(10.0f, 20.0f);
    a.SetViewRadius(33.0);
    a.SetProjectionMode(0);
    b = a;
    EXPECT_DOUBLE_EQ(b.GetViewRadius(), 33.0);
    EXPECT_EQ(b.GetProjectionMode(), 0);
    EXPECT_FLOAT_EQ(b.GetDirectAngle(), 10.0f);
    EXPECT_FLOAT_EQ(b.GetZenithAngle(), 20.0f);
    EXPECT_NE(b.GetActiveCamera(), a.GetActiveCamera());
}

TEST_F(ViewPortTest, EyeViewPortKeepsItsFieldOfViewAndScales) {
    KytEyeViewPort vp;
    EXPECT_DOUBLE_EQ(vp.GetAspect(), 2.0);
    EXPECT_EQ(vp.GetProjectionMode(), 0);
    EXPECT_DOUBLE_EQ(vp.GetNearClip(), 12.0);
    EXPECT_DOUBLE_EQ(vp.GetFarClip(), 20000.0);
    struct Case { float delta; bool ok; float scale; };
    const Case cases[] = {{-0.95f, false, 1.0f}, {99.0f, true, 100.0f}, {0.5f, false, 100.0f},
                          {-99.75f, true, 0.25f}, {-0.2f, false, 0.25f}};
    for (const auto& c : cases) {
        EXPECT_EQ(vp.AddScale(c.delta), c.ok) << c.delta;
        EXPECT_FLOAT_EQ(vp.GetScale(), c.scale) << c.delta;
    }
    vp.CalcViewFovy(12345.0);
    EXPECT_DOUBLE_EQ(vp.GetZoomAngle(), 42.0);

    BoxTree tree;
    vp.Create(&tree.root, 0, 0, 64, 32);
    EXPECT_TRUE(vp.GetActiveCamera()->GetLookAtPosition() == WqVector3D::zero);
    EXPECT_DOUBLE_EQ(vp.GetViewRadius(), 1200.0);
    EXPECT_TRUE(vp.SetBoundingBox(WqVector3D(1, 1, 1), WqVector3D(3, 3, 3)) == WqVector3D::zero);
    // The scale lands on the model-view matrix after the camera.
    KytViewPort plain;
    plain.Create(nullptr, 0, 0, 64, 32);
    plain.SetProjectionMode(0);
    vp.SetCamera();
    const auto scaled = ReadMatrix(GL_MODELVIEW_MATRIX);
    plain.ChangeViewPoint(45.0f, 54.0f);
    const auto unscaled = ReadMatrix(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(scaled[i], unscaled[i] * 0.25, 1e-4) << i;
}

TEST(ViewLifecycle, CopiesNeverFreeTheSourcesLists) {
    // Run under the sanitizers: every chain is freed exactly once, by its owner.
    auto vp = std::make_unique<KytViewPort>();
    vp->AddCamera(new KytCamera("head", 1, 2));
    vp->AddCamera(new KytTraceCamera(nullptr, WqVector3D(0, 0, -1), WqVector3D(),
                                     WqVector3D(0, 1, 0), 1));
    {
        KytViewPort copy(*vp);
        EXPECT_EQ(copy.GetActiveCamera(), vp->GetActiveCamera());
        KytCamera cameraCopy(*vp->GetCameras());
        EXPECT_EQ(cameraCopy.GetNext(), nullptr);
        EXPECT_STREQ(static_cast<const char*>(cameraCopy.GetName()), "head");
        KytEyeViewPort eye;
        KytEyeViewPort eyeCopy(eye);
        eyeCopy = eye;
    }
    KytCamera assigned("other", 0, 0);
    assigned = *vp->GetCameras();
    EXPECT_STREQ(static_cast<const char*>(assigned.GetName()), "other");
    EXPECT_FLOAT_EQ(assigned.GetZenithAngle(), 2);
    vp.reset();
}

}  // namespace
