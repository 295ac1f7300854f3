// The simple shapes: what they emit, their setters, their owned arrays and their GL state.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "platform/kernel/KytLink.h"
#include "scene/annotation/AuxCircle.h"
#include "scene/annotation/AuxDitch.h"
#include "scene/annotation/AuxLine.h"
#include "scene/annotation/AuxLineStrip.h"
#include "scene/annotation/AuxPoint.h"
#include "scene/annotation/AuxSphere.h"
#include "scene/annotation/AuxTriangle.h"
#include "tests/support/scene/GlFixture.h"
#include "tests/support/scene/OverlayGl.h"

namespace {

using overlaytest::CaptureState;
using overlaytest::Count;
using overlaytest::Feedback;
using overlaytest::ReadPixel;
using quor::test::GlFixture;
using SimpleShapes = GlFixture;

void ExpectAt(const std::array<double, 3>& p, const WqVector3D& q, double tol = 2e-3)
{
    EXPECT_NEAR(p[0], q.x, tol);
    EXPECT_NEAR(p[1], q.y, tol);
    EXPECT_NEAR(p[2], q.z, tol);
}

TEST(AuxCircle, SetRadiusTable)
{
    struct Case {
        WqVector3D centre, radiusPoint;
        double r;
        bool ok;
        WqVector3D expected;
    } cases[] = {
        {{0, 0, 0}, {1, 0, 0}, -2, true, {2, 0, 0}},
        {{1, 1, 1}, {1, 4, 1}, 0.5, true, {1, 1.5, 1}},
        {{1, 2, 3}, {1, 2, 3}, 5, false, {1, 2, 3}},
        {{0, 0, 0}, {1e-9, 0, 0}, 5, false, {1e-9, 0, 0}},
        {{0, 0, 0}, {3, 4, 0}, 10, true, {6, 8, 0}},
    };
    for (const Case& c : cases) {
        AuxCircle circle(1);
        circle.SetData(c.centre, {0, 0, 1}, c.radiusPoint, nullptr);
        EXPECT_EQ(circle.SetRadius(c.r), c.ok);
        EXPECT_NEAR(circle.RadiusPoint.x, c.expected.x, 1e-12);
        EXPECT_NEAR(circle.RadiusPoint.y, c.expected.y, 1e-12);
        EXPECT_NEAR(circle.RadiusPoint.z, c.expected.z, 1e-12);
    }
}

TEST(AuxTriangle, CalcNormalAndSetVertexTable)
{
    struct Case {
        WqVector3D v[3];
        bool ok;
        WqVector3D normal;
    } cases[] = {
        {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, true, {0, 0, 1}},
        {{{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, true, {0, 0, -1}},
        {{{0, 0, 5}, {0, 0, 0}, {0, 3, 0}}, true, {1, 0, 0}},
        {{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, false, {}},  // collinear, opposite edges
        {{{3, 0, 0}, {1, 0, 0}, {2, 0, 0}}, false, {}},  // both edges the same way
        {{{1, 0, 0}, {1, 0, 0}, {2, 0, 0}}, false, {}},  // a zero edge
    };
    for (const Case& c : cases) {
        double n[3] = {9, 9, 9};
        const double p[3] = {c.v[0].x, c.v[0].y, c.v[0].z};
        const double q[3] = {c.v[1].x, c.v[1].y, c.v[1].z};
        const double r[3] = {c.v[2].x, c.v[2].y, c.v[2].z};
        EXPECT_EQ(AuxTriangle::CalcNormal(p, q, r, n), c.ok);
        AuxTriangle t(1);
        ASSERT_TRUE(t.CreateData(2));
        EXPECT_EQ(t.SetVertex(1, c.v), c.ok);
        EXPECT_EQ(t.Triangles[1].Valid, c.ok);
        if (c.ok) {
            EXPECT_NEAR(n[0], c.normal.x, 1e-12);
            EXPECT_NEAR(n[1], c.normal.y, 1e-12);
            EXPECT_NEAR(n[2], c.normal.z, 1e-12);
            EXPECT_EQ(t.Triangles[1].Normal[2], n[2]);
        }
        EXPECT_FALSE(t.Triangles[0].Valid);
    }
}

TEST(AuxTriangle, BadIndicesCountsAndNullVerticesChangeNothing)
{
    const WqVector3D v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    AuxTriangle t(1);
    EXPECT_FALSE(t.SetVertex(0, v));  // no records
    EXPECT_FALSE(t.SetNormal(0, {1, 0, 0}));
    ASSERT_TRUE(t.CreateData(3));
    for (long i : {-1L, 3L, 1000L}) {
        EXPECT_FALSE(t.SetVertex(i, v)) << i;
        EXPECT_FALSE(t.SetVertex(i, v, {0, 0, 1})) << i;
        EXPECT_FALSE(t.SetNormal(i, {0, 0, 1})) << i;
    }
    EXPECT_FALSE(t.SetVertex(0, nullptr));
    EXPECT_FALSE(t.SetVertex(0, nullptr, {0, 0, 1}));
    EXPECT_FALSE(t.Triangles[0].Valid);
    EXPECT_TRUE(t.SetNormal(2, {0, 1, 0}));
    EXPECT_FALSE(t.Triangles[2].Valid);  // the normal alone does not validate
    for (long count : {0L, -4L, 1L << 40}) {
        EXPECT_FALSE(t.CreateData(count)) << count;
        EXPECT_EQ(t.TriangleCount, 0);
        EXPECT_EQ(t.Triangles, nullptr);
    }
}

TEST(AuxLineStrip, SetDataRejectsNullPointsAndKeepsNothingHalfMade)
{
    KytLink link;
    const WqVector3D pts[2] = {{1, 2, 3}, {4, 5, 6}};
    AuxLineStrip strip(3);
    EXPECT_TRUE(strip.SetData(2, pts, &link));
    EXPECT_EQ(strip.PointCount, 2u);
    EXPECT_EQ(strip.GetTargetLink(), &link);
    EXPECT_FALSE(strip.SetData(5, nullptr, nullptr));
    EXPECT_EQ(strip.PointCount, 0u);
    EXPECT_EQ(strip.Points, nullptr);
    EXPECT_TRUE(strip.SetData(0, nullptr, nullptr));
    EXPECT_EQ(strip.PointCount, 0u);
    // Far more than can be made.
    EXPECT_FALSE(strip.SetData(~0UL, pts, nullptr));
    EXPECT_EQ(strip.PointCount, 0u);
}

TEST(SimpleShapeCopies, OwnArraysSurviveTheSourceAndSelfAssignment)
{
    const WqVector3D pts[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    auto strip = std::make_unique<AuxLineStrip>(4);
    strip->SetData(3, pts, nullptr);
    auto tri = std::make_unique<AuxTriangle>(5);
    tri->CreateData(1);
    tri->SetVertex(0, pts);
    tri->SetColor(0.1f, 0.2f, 0.3f, 0.4f);
    std::unique_ptr<KytAuxContents> stripDup(strip->Duplicate());
    std::unique_ptr<KytAuxContents> triDup(tri->Duplicate());
    AuxLineStrip stripCopy(*strip);
    AuxTriangle triCopy(*tri);
    AuxLineStrip stripAssigned(9);
    stripAssigned.SetData(1, pts, nullptr);
    stripAssigned = *strip;
    AuxTriangle triAssigned(9);
    triAssigned.CreateData(7);
    triAssigned = *tri;
    strip.reset();
    tri.reset();
    for (AuxLineStrip* s : {static_cast<AuxLineStrip*>(stripDup.get()), &stripCopy, &stripAssigned}) {
        ASSERT_EQ(s->PointCount, 3u);
        EXPECT_EQ(s->Points[2].z, 1.0);
        EXPECT_EQ(s->GetID(), 4u);
    }
    for (AuxTriangle* t : {static_cast<AuxTriangle*>(triDup.get()), &triCopy, &triAssigned}) {
        ASSERT_EQ(t->TriangleCount, 1);
        EXPECT_TRUE(t->Triangles[0].Valid);
        EXPECT_FLOAT_EQ(t->Color[3], 0.4f);
    }
    AuxLineStrip& self = stripCopy;
    stripCopy = self;
    EXPECT_EQ(stripCopy.PointCount, 3u);
    AuxTriangle& selfT = triCopy;
    triCopy = selfT;
    EXPECT_EQ(triCopy.TriangleCount, 1);
    EXPECT_TRUE(triCopy.Triangles[0].Valid);
    // The sphere's copies share the stack and make no quadric of their own.
    KytStack<KytLink> stack;
    AuxSphere sphere(6);
    sphere.Stack = &stack;
    AuxSphere sphereCopy(sphere);
    std::unique_ptr<KytAuxContents> sphereDup(sphere.Duplicate());
    EXPECT_EQ(sphereCopy.Stack, &stack);
    EXPECT_EQ(static_cast<AuxSphere*>(sphereDup.get())->Stack, &stack);
    EXPECT_EQ(sphereCopy.Quadric, nullptr);
}

TEST(SimpleShapeCopies, PointerConstructorsFromNullArePlain)
{
    EXPECT_EQ(AuxLine(static_cast<const AuxLine*>(nullptr)).GetID(), 0u);
    EXPECT_EQ(AuxCircle(static_cast<const AuxCircle*>(nullptr)).HasCircle, true);
    EXPECT_EQ(AuxTriangle(static_cast<const AuxTriangle*>(nullptr)).TriangleCount, 0);
    EXPECT_EQ(AuxLineStrip(static_cast<const AuxLineStrip*>(nullptr)).PointCount, 0u);
    EXPECT_EQ(AuxSphere(static_cast<const AuxSphere*>(nullptr)).Stack, nullptr);
}

TEST(SimpleShapeFlags, LineAndPointFollowTheirDrawFlag)
{
    AuxLine line(1, {0, 0, 0}, {1, 0, 0});
    AuxPoint point(2, {0, 0, 0});
    for (KytAuxContents* obj : {static_cast<KytAuxContents*>(&line), static_cast<KytAuxContents*>(&point)}) {
        EXPECT_TRUE(obj->IsDraw());
        obj->SetDraw(false);
        EXPECT_FALSE(obj->IsDraw());
    }
}

TEST_F(SimpleShapes, EachShapeEmitsItsGeometry)
{
    Open(64, 64);
    KytLink link;
    link.mech.vPos = WqVector3D(0.5, 0.25, 0);

    AuxLine line(1, {-1, 0.5, 0}, {1, -0.5, 0.25});
    auto prims = Feedback([&] { line.Draw(); });
    ASSERT_EQ(prims.size(), 1u);
    ExpectAt(prims[0].v[0], line.StartPoint);
    ExpectAt(prims[0].v[1], line.EndPoint);

    AuxDitch ditch(2);
    ditch.SetData({1, 0, 0}, {0, 1, 0}, {-1, 0, 0});
    prims = Feedback([&] { ditch.Draw(); });
    ASSERT_EQ(prims.size(), 2u);
    ExpectAt(prims[0].v[0], ditch.Point3);
    ExpectAt(prims[0].v[1], ditch.Point2);
    ExpectAt(prims[1].v[1], ditch.Point1);

    const WqVector3D pts[3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    AuxLineStrip strip(3);
    strip.SetData(3, pts, &link);
    prims = Feedback([&] { strip.Draw(); });
    ASSERT_EQ(prims.size(), 2u);
    ExpectAt(prims[0].v[0], pts[0] + link.mech.vPos);
    ExpectAt(prims[1].v[1], pts[2] + link.mech.vPos);
    strip.SetDraw(false);
    EXPECT_TRUE(Feedback([&] { strip.Draw(); }).empty());

    AuxCircle circle(4);
    circle.SetData({0, 0, 0}, {0, 0, 1}, {1, 0, 0}, &link);
    prims = Feedback([&] { circle.Draw(); });
    EXPECT_EQ(Count(prims, GL_LINE_TOKEN), 35);
    ASSERT_EQ(Count(prims, GL_POINT_TOKEN), 1);
    ExpectAt(prims.back().v[0], link.mech.vPos);
    circle.SetData({0.5, 0, 0}, nullptr);
    prims = Feedback([&] { circle.Draw(); });
    ASSERT_EQ(prims.size(), 1u);
    ExpectAt(prims[0].v[0], {0.5, 0, 0});

    AuxPoint point(5, {0.25, -0.5, 0});
    prims = Feedback([&] { point.Draw(); });
    ASSERT_EQ(prims.size(), 1u);
    ExpectAt(prims[0].v[0], point.Point);

    AuxTriangle tri(6);
    tri.CreateData(3);
    tri.SetVertex(0, pts);
    const WqVector3D other[3] = {{0, 0, 0}, {-1, 0, 0}, {-1, -1, 0}};
    tri.SetVertex(2, other, {0, 0, 1});
    prims = Feedback([&] { tri.Draw(); });
    ASSERT_EQ(Count(prims, GL_POLYGON_TOKEN), 2);  // the unset record is skipped
    ExpectAt(prims[1].v[2], other[2]);
}

TEST_F(SimpleShapes, SphereNeedsAQuadricAndAStack)
{
    Open(64, 64);
    KytLink link;
    link.mech.vPos = WqVector3D(0.5, 0, 0);
    link.vGeomCen = WqVector3D(0, 0.5, 0);
    link.bGeomCenStale = false;
    link.fRadius = 0.5f;
    KytStack<KytLink> stack;
    AuxSphere sphere(7);
    const auto before = CaptureState();
    EXPECT_TRUE(Feedback([&] { sphere.Draw(); }).empty());  // no stack
    sphere.Stack = &stack;
    EXPECT_TRUE(Feedback([&] { sphere.Draw(); }).empty());  // empty stack
    stack.Push(&link);
    EXPECT_TRUE(Feedback([&] { sphere.Draw(); }).empty());  // no quadric yet
    AuxSphere copy(&sphere);
    sphere.Create(nullptr);
    ASSERT_NE(sphere.Quadric, nullptr);
    EXPECT_TRUE(Feedback([&] { copy.Draw(); }).empty());
    const auto prims = Feedback([&] { sphere.Draw(); });
    ASSERT_FALSE(prims.empty());
    double lo[2] = {9, 9}, hi[2] = {-9, -9};
    for (const auto& p : prims)
        for (const auto& v : p.v)
            for (int k = 0; k < 2; ++k) {
                lo[k] = std::min(lo[k], v[k]);
                hi[k] = std::max(hi[k], v[k]);
            }
    EXPECT_NEAR((lo[0] + hi[0]) / 2, 0.5, 0.02);
    EXPECT_NEAR((lo[1] + hi[1]) / 2, 0.5, 0.02);
    EXPECT_NEAR(hi[0] - lo[0], 1.0, 0.02);
    EXPECT_EQ(CaptureState(), before);
    sphere.Destroy();
    EXPECT_EQ(sphere.Quadric, nullptr);
}

TEST_F(SimpleShapes, DrawingLeavesTheStateAsFound)
{
    Open(64, 64);
    KytLink link;
    const WqVector3D pts[3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    AuxLine line(1, {0, 0, 0}, {1, 0, 0});
    AuxPoint point(2, {0, 0, 0});
    AuxDitch ditch(3);
    AuxCircle circle(4);
    circle.SetData({0, 0, 0}, {0, 0, 1}, {1, 0, 0}, &link);
    AuxLineStrip strip(5);
    strip.SetData(3, pts, &link);
    AuxTriangle tri(6);
    tri.CreateData(1);
    tri.SetVertex(0, pts);
    AuxCircle hidden(7);
    hidden.SetDraw(false);
    KytAuxContents* all[] = {&line, &point, &ditch, &circle, &strip, &tri, &hidden};
    for (bool depthSwitch : {false, true}) {
        KYT_SetAuxLineDepth(depthSwitch);
        for (bool on : {false, true}) {
            on ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
            on ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
            on ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
            glDisable(GL_BLEND);
            for (KytAuxContents* obj : all) {
                const auto before = CaptureState();
                obj->Draw();
                EXPECT_EQ(CaptureState(), before) << obj->GetID();
                GLboolean mask = GL_FALSE;
                glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
                EXPECT_EQ(mask, GL_TRUE) << obj->GetID();
            }
        }
    }
    KYT_SetAuxLineDepth(false);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// A blue square at depth 0 and a segment behind it: the segment shows only with the switch.
TEST_F(SimpleShapes, LineShowsThroughPartsOnlyWithTheDepthSwitch)
{
    Open(64, 64);
    const float red[3] = {AuxLine::afLineColor[0], AuxLine::afLineColor[1], AuxLine::afLineColor[2]};
    ASSERT_EQ(red[0], 1.0f);
    AuxLine line(1, {-2, 0, -1}, {2, 0, -1});
    AuxLine::fLineWidth = 4.0f;
    for (bool through : {false, true}) {
        KYT_SetAuxLineDepth(through);
        overlaytest::Feedback([] {});  // sets the 64 x 64 view; feedback itself draws nothing
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-2, 2, -2, 2, -2, 2);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glColor3f(0, 0, 1);
        glRectf(-1, -1, 1, 1);
        // The line's colour is a material colour: light it so the material shows.
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        const float ambient[4] = {1, 1, 1, 1};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        line.Draw();
        glFinish();
        const auto inside = ReadPixel(32, 32);
        const auto outside = ReadPixel(4, 32);
        EXPECT_GT(outside[0], 200) << through;
        EXPECT_LT(outside[2], 50) << through;
        if (through) {
            EXPECT_GT(inside[0], 200);
            EXPECT_LT(inside[2], 50);
        } else {
            EXPECT_LT(inside[0], 50);
            EXPECT_GT(inside[2], 200);
        }
        glDisable(GL_LIGHTING);
    }
    AuxLine::fLineWidth = 2.0f;
    KYT_SetAuxLineDepth(false);
}

// With the circle off the dot is drawn in the circle's colour, not in the colour left behind.
TEST_F(SimpleShapes, CentreDotTakesTheCircleColour)
{
    Open(64, 64);
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    AuxCircle circle(1);
    circle.SetData({0, 0, 0}, nullptr);
    circle.SetColor(0, 1, 0);
    glColor3f(0, 0, 1);
    circle.Draw();
    glFinish();
    const auto px = ReadPixel(32, 32);
    EXPECT_LT(px[0], 30);
    EXPECT_GT(px[1], 220);
    EXPECT_LT(px[2], 30);
}

}  // namespace
