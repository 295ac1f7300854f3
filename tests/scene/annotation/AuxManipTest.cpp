// Manipulator handles: which handle each link gets, their sizes and caps, the move arrows and
// the pick point, the simple line's colour, GL state, and copies.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytLink.h"
#include "scene/annotation/AuxManip.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/GlFixture.h"
#include "tests/support/scene/OverlayGl.h"

namespace {

using overlaytest::CaptureState;
using overlaytest::Feedback;
using overlaytest::Primitive;
using overlaytest::ReadPixel;
using quor::test::GlFixture;

// Reaches the handle makers that the scene never calls directly.
class ManipProbe : public AuxManip {
public:
    using AuxManip::AuxManip;
    using AuxManip::DrawArrow;
    using AuxManip::SetMoveVector;
};

// Every vertex `draw` emits, in the units of the drawing scaled by `scale` to fit the view.
std::vector<WqVector3D> Vertices(const std::function<void()>& draw, double scale = 1.0)
{
    std::vector<WqVector3D> out;
    for (const Primitive& p : Feedback([&] {
             glScaled(scale, scale, scale);
             draw();
         }))
        for (const auto& v : p.v)
            out.emplace_back(v[0] / scale, v[1] / scale, v[2] / scale);
    return out;
}

class ManipDraw : public GlFixture {
protected:
    void SetUp() override
    {
        GlFixture::SetUp();
        Open(64, 64);
        KytEnv::nManipMode = 0;
        KytEnv::nUpAxis = 1;
        KytScene::bMoving = false;
        KytVisual::uLayerMask = 1;
    }
    void TearDown() override
    {
        KytEnv::nManipMode = 0;
        KytEnv::nUpAxis = 1;
        GlFixture::TearDown();
    }
};

// With the view radius 100 the handle size is 10: a part of radius 1000 (s = 1050) has its bar
// half-width 5.25 capped to 1 and its end-cube half-size 52.5 capped to 10; one of radius 100
// (s = 105) keeps 0.525 and 5.25.
TEST_F(ManipDraw, TranslationBarsAndCubesAreCappedByTheHandleSize)
{
    struct Case {
        float radius;
        double bar, cube;
    } cases[] = {{1000.0f, 1.0, 10.0}, {100.0f, 0.525, 5.25}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.radius);
        KytLink link;
        link.nJointKind = 1;
        link.fRadius = c.radius;
        link.manip.nAxis = 1;
        KytStack<KytLink> stack;
        stack.Append(&link);
        AuxManip manip(1, &stack);
        manip.Create(nullptr);
        KytViewPort vp;
        vp.SetViewRadius(100);
        manip.FitView(&vp);
        ASSERT_EQ(manip.HandleSize, 10.0f);
        const double s = c.radius * 1.05, scale = 1.8 / (s + c.cube);
        const auto before = CaptureState();
        const auto v = Vertices([&] { manip.Draw(); }, scale);
        EXPECT_EQ(CaptureState(), before);
        ASSERT_FALSE(v.empty());
        const double tol = 2e-4 / scale;
        for (int w = 0; w < 3; ++w) {
            double barWidth = 0, cubeWidth = 0, far = 0;
            for (const WqVector3D& p : v) {
                const double along = p[w];
                const double across =
                    std::max(std::fabs(p[(w + 1) % 3]), std::fabs(p[(w + 2) % 3]));
                // Only this axis's bar has corners in its own origin plane.
                if (std::fabs(along) < tol)
                    barWidth = std::max(barWidth, across);
                if (std::fabs(along) > s + tol)
                    cubeWidth = std::max(cubeWidth, across);
                far = std::max(far, std::fabs(along));
            }
            EXPECT_NEAR(far, s + c.cube, tol) << w;
            EXPECT_NEAR(cubeWidth, c.cube, tol) << w;
            EXPECT_NEAR(barWidth, c.bar, tol) << w;
        }
        manip.Destroy();
    }
}

TEST_F(ManipDraw, MoveVectorsPerAxisCodeAndSimpleMode)
{
    KytLink link;
    ManipProbe manip(1, nullptr);
    manip.Origin[0] = 1;
    manip.Origin[1] = 2;
    manip.Origin[2] = 3;
    const float s = 4, d = 2;
    struct Case {
        int code;
        bool simple, direction;
        bool ok;
        float p1[3], p2[3], angles[2], axis[3];
    } cases[] = {
        {1, false, true, true, {1, 2 + s, 3 + d}, {1, 2 + s, 3 - d}, {0, 180}, {0, 1, 0}},
        {2, false, true, true, {1 + d, 2, 3 + s}, {1 - d, 2, 3 + s}, {90, -90}, {0, 1, 0}},
        {4, false, false, true, {1 + s, 2 + d, 3}, {1 + s, 2 - d, 3}, {-90, 90}, {1, 0, 0}},
        {1, true, true, true, {1, 2 + s, 3 + d}, {1, 2 + s, 3}, {0, 180}, {0, 1, 0}},
        {1, true, false, true, {1, 2 + s, 3}, {1, 2 + s, 3 - d}, {0, 180}, {0, 1, 0}},
        {2, true, false, true, {1, 2, 3 + s}, {1 - d, 2, 3 + s}, {90, -90}, {0, 1, 0}},
        {4, true, true, true, {1 + s, 2 + d, 3}, {1 + s, 2, 3}, {-90, 90}, {1, 0, 0}},
        {3, false, true, false, {}, {}, {}, {0, 0, 0}},
        {0, false, true, false, {}, {}, {}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " " << c.simple << " " << c.direction);
        link.manip.nAxis = c.code;
        link.manip.bDirection = c.direction;
        manip.Simple(c.simple);
        float pos[2][3] = {}, angles[2] = {}, axis[3] = {9, 9, 9};
        ASSERT_EQ(manip.SetMoveVector(&link, s, pos, angles, axis), c.ok);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(axis[k], c.axis[k]);
        if (!c.ok)
            continue;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(pos[0][k], c.p1[k]) << k;
            EXPECT_EQ(pos[1][k], c.p2[k]) << k;
        }
        EXPECT_EQ(angles[0], c.angles[0]);
        EXPECT_EQ(angles[1], c.angles[1]);
    }
    WqVector3D point;
    link.manip.nAxis = 3;
    EXPECT_FALSE(manip.GetPickPoint(&link, point));
    EXPECT_FALSE(manip.GetPickPoint(nullptr, point));
}

// Simple mode draws only the arrow of the direction: its cone tip is where the arrow points.
TEST_F(ManipDraw, SimpleArrowsFollowTheDirection)
{
    KytLink link;
    link.manip.nAxis = 1;
    ManipProbe manip(1, nullptr);
    manip.Create(nullptr);
    const float s = 1;
    const double c = s * 0.06666667;
    for (bool simple : {false, true})
        for (bool direction : {true, false}) {
            SCOPED_TRACE(testing::Message() << simple << " " << direction);
            manip.Simple(simple);
            link.manip.bDirection = direction;
            const auto v = Vertices([&] { manip.DrawArrow(&link, s); });
            // Cone tips: (0, s, d + 2c) for arrow 1, (0, s, -d - 2c) for arrow 2.
            bool tip[2] = {false, false};
            for (const WqVector3D& p : v) {
                tip[0] |= (p - WqVector3D(0, s, s / 2 + 2 * c)).Length() < 2e-3;
                tip[1] |= (p - WqVector3D(0, s, -s / 2 - 2 * c)).Length() < 2e-3;
            }
            EXPECT_EQ(tip[0], !simple || direction);
            EXPECT_EQ(tip[1], !simple || !direction);
        }
    manip.Destroy();
}

// The pick point is the base centre of the drawn first arrow, for every origin mode, on a
// link turned in the world and a manip turned in the link.
TEST_F(ManipDraw, PickPointIsTheDrawnConeBase)
{
    KytEnv::nManipMode = 1;
    KytLink link;
    link.nJointKind = 1;
    link.fRadius = 0.8f;
    link.mech.vPos = WqVector3D(0.1, -0.2, 0.15);
    link.mech.mRot.MakeRotMatrix(std::cos(0.7), std::sin(0.7), WqVector3D(1, 2, 0.5));
    link.manip.mOrientation.MakeRotMatrix(std::cos(-0.4), std::sin(-0.4), WqVector3D(0, 1, 1));
    link.manip.vOriginOffset = WqVector3D(0.2, 0.1, -0.3);
    link.vGeomCen = WqVector3D(-0.15, 0.05, 0.1);
    link.bGeomCenStale = false;
    KytStack<KytLink> stack;
    stack.Append(&link);
    AuxManip manip(1, &stack);
    manip.Create(nullptr);
    manip.HandleSize = 1;
    const double c = link.fRadius * 0.06666667;
    for (int code : {1, 2, 4})
        for (int mode : {0, 1, 2}) {
            SCOPED_TRACE(testing::Message() << "axis " << code << " mode " << mode);
            link.manip.nAxis = code;
            link.manip.nOriginMode = mode;
            WqVector3D p;
            ASSERT_TRUE(manip.GetPickPoint(&link, p));
            const WqVector3D origin =
                mode == 0 ? WqVector3D() : mode == 1 ? link.vGeomCen : link.manip.vOriginOffset;
            // The arrow's direction in the world: +z, +x or +y of the manip frame.
            WqVector3D dirLocal = code == 1 ? WqVector3D(0, 0, 1)
                                  : code == 2 ? WqVector3D(1, 0, 0)
                                              : WqVector3D(0, 1, 0);
            const WqVector3D dir = link.mech.mRot.Multi(link.manip.mOrientation.Multi(dirLocal));
            // The arrow's base sits s along the next axis from the origin.
            EXPECT_GT((p - link.mech.GetAbsPos(link.manip.mOrientation.Multi(origin))).Length(),
                      0.5);
            int ring = 0;
            bool apex = false;
            for (const WqVector3D& q : Vertices([&] { manip.Draw(); })) {
                const WqVector3D d = q - p;
                if (std::fabs(d.Length() - c) < 2e-3 && std::fabs(d.Dot(dir)) < 2e-3)
                    ++ring;
                apex |= (d - dir * (2 * c)).Length() < 2e-3;
            }
            EXPECT_GE(ring, 10);
            EXPECT_TRUE(apex);
        }
    manip.Destroy();
}

// Which links get a handle: hidden and kind-4096 links none; joint kinds pick the handle;
// ShowMode filters links of kind 2 only.
TEST_F(ManipDraw, LinkRulesChooseTheHandle)
{
    enum Handle { None, Translation, Rotation, JointRotation, JointSlide };
    struct Case {
        int type, joint, manipMode;
        SHOWMODE show;
        unsigned visible;
        Handle expect;
    } cases[] = {
        {KYT_LINK_PART, 1, 0, SHOWMODE_ALL, 1, Translation},
        {KYT_LINK_PART, 1, 1, SHOWMODE_ALL, 1, Rotation},
        {KYT_LINK_PART, 2, 0, SHOWMODE_ALL, 1, JointRotation},
        {KYT_LINK_PART, 7, 1, SHOWMODE_ALL, 1, JointRotation},
        {KYT_LINK_PART, 3, 0, SHOWMODE_ALL, 1, JointSlide},
        {KYT_LINK_PART, 8, 0, SHOWMODE_ALL, 1, JointSlide},
        {KYT_LINK_PART, 5, 0, SHOWMODE_ALL, 1, None},
        {KYT_LINK_PART, 0, 0, SHOWMODE_ALL, 1, None},
        {KYT_LINK_PART, 1, 0, SHOWMODE_ALL & ~SHOWMODE_TRANSLATION, 1, None},
        {KYT_LINK_PART, 1, 1, SHOWMODE_ALL & ~SHOWMODE_ROTATION, 1, None},
        {KYT_LINK_PART, 2, 0, SHOWMODE_ALL & ~SHOWMODE_JOINT_ROTATION, 1, None},
        {KYT_LINK_PART, 8, 0, SHOWMODE_ALL & ~SHOWMODE_JOINT_SLIDE, 1, None},
        {KYT_LINK_PART, 8, 0, SHOWMODE_JOINT_SLIDE, 1, JointSlide},
        {KYT_LINK_ASSEMBLY, 1, 0, 0, 1, Translation},
        {KYT_LINK_ASSEMBLY, 2, 0, 0, 1, JointRotation},
        {KYT_LINK_PART, 1, 0, SHOWMODE_ALL, 2, None},  // not in the current layer
        {KYT_LINK_ASSEMBLY, 1, 0, SHOWMODE_ALL, 0, None},
        {KYT_LINK_NOHANDLE, 1, 0, SHOWMODE_ALL, 1, None},
        {KYT_LINK_NOSIZE, 1, 0, SHOWMODE_ALL, 1, Translation},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " " << c.joint << " " << c.manipMode << " "
                                        << c.show << " " << c.visible);
        KytEnv::nManipMode = c.manipMode;
        KytLink link;
        link.nType = c.type;
        link.nJointKind = c.joint;
        link.visual.uVisible = c.visible;
        link.fRadius = 1;
        link.manip.nAxis = 2;
        KytStack<KytLink> stack;
        stack.Append(nullptr);
        stack.Append(&link);
        AuxManip manip(1, &stack);
        manip.Create(nullptr);
        manip.HandleSize = 0.5f;
        manip.SetShowMode(c.show);
        const auto before = CaptureState();
        const auto prims = Feedback([&] { manip.Draw(); });
        EXPECT_EQ(CaptureState(), before);
        int lines = overlaytest::Count(prims, GL_LINE_TOKEN);
        int polygons = overlaytest::Count(prims, GL_POLYGON_TOKEN);
        switch (c.expect) {
        case None: EXPECT_TRUE(prims.empty()); break;
        case Translation:
            EXPECT_EQ(lines, 0);
            EXPECT_GT(polygons, 0);
            break;
        case Rotation:
            EXPECT_EQ(lines, 36);  // the circle of the active axis
            break;
        case JointRotation:
        case JointSlide: {
            // The rod runs 3r along the joint frame's z; the ring sits at 0.4 of it.
            double top = -1e9;
            for (const Primitive& p : prims)
                for (const auto& v : p.v)
                    top = std::max(top, v[2]);
            EXPECT_EQ(lines, 0);
            const auto v = Vertices([&] { manip.Draw(); }, 0.5);
            double ring = 0;
            for (const WqVector3D& q : v)
                if (std::fabs(q.z - 1.2) < 1e-3)
                    ring = std::max(ring, std::hypot(q.x, q.y));
            if (c.expect == JointRotation)
                EXPECT_NEAR(ring, 0.3, 2e-3);
            else
                EXPECT_LT(ring, 0.05);
            double high = 0;
            for (const WqVector3D& q : v)
                high = std::max(high, q.z);
            EXPECT_NEAR(high, 3.0, 2e-3);
            break;
        }
        }
        manip.Destroy();
    }
}

// Nothing is drawn without a quadric, while the scene moves, or without links; the state is
// the same afterwards in every case.
TEST_F(ManipDraw, DrawsNothingWithoutQuadricStackOrWhileMoving)
{
    KytLink link;
    link.nJointKind = 1;
    link.fRadius = 1;
    KytStack<KytLink> stack;
    stack.Append(&link);
    KytStack<KytLink> empty;
    AuxManip manip(1, &stack);
    const auto before = CaptureState();
    EXPECT_TRUE(Feedback([&] { manip.Draw(); }).empty());  // no quadric yet
    manip.Create(nullptr);
    manip.HandleSize = 1;
    EXPECT_FALSE(Feedback([&] { manip.Draw(); }).empty());
    KytScene::bMoving = true;
    EXPECT_TRUE(Feedback([&] { manip.Draw(); }).empty());
    KytScene::bMoving = false;
    manip.SetDraw(false);
    EXPECT_TRUE(Feedback([&] { manip.Draw(); }).empty());
    manip.SetDraw(true);
    manip.Change(&empty);
    EXPECT_TRUE(Feedback([&] { manip.Draw(); }).empty());
    manip.Change(nullptr);
    EXPECT_TRUE(Feedback([&] { manip.Draw(); }).empty());
    EXPECT_EQ(CaptureState(), before);
    manip.Destroy();
    EXPECT_EQ(manip.Quadric, nullptr);
}

// A kind-4 link turned with manip axis 2 in rotation mode is placed by its position alone and
// framed by the up axis; its handles are sized from the handle size.
TEST_F(ManipDraw, NoSizeLinkInRotationModeIgnoresItsTurn)
{
    KytEnv::nManipMode = 1;
    KytLink link;
    link.nType = KYT_LINK_NOSIZE;
    link.nJointKind = 1;
    link.manip.nAxis = 2;
    link.mech.vPos = WqVector3D(0.2, 0.1, 0);
    KytStack<KytLink> stack;
    stack.Append(&link);
    AuxManip manip(1, &stack);
    manip.Create(nullptr);
    manip.HandleSize = 0.4f;  // r = 0.8
    for (int up : {1, 2, 0, 7}) {
        SCOPED_TRACE(up);
        KytEnv::nUpAxis = up;
        link.mech.mRot = WqMatrix33D();
        const auto a = Vertices([&] { manip.Draw(); });
        link.mech.mRot.MakeRotMatrix(0.0, 1.0, 2);
        const auto b = Vertices([&] { manip.Draw(); });
        ASSERT_EQ(a.size(), b.size());
        double worst = 0, reach = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            worst = std::max(worst, (a[i] - b[i]).Length());
            reach = std::max(reach, (a[i] - link.mech.vPos).Length());
        }
        EXPECT_LT(worst, 1e-6);
        // The arrow tips of the active axis: r out, r / 2 + 2c along.
        EXPECT_NEAR(reach, 0.8 * std::hypot(1.0, 0.5 + 2 * 0.06666667), 2e-3);
    }
    manip.Destroy();
}

// The simple line is drawn in its own material, not in the one left by whatever came before.
TEST_F(ManipDraw, SimpleLineTakesItsMaterial)
{
    KytLink link;
    link.nJointKind = 1;
    link.fRadius = 1;
    link.manip.nAxis = 1;
    KytStack<KytLink> stack;
    stack.Append(&link);
    AuxManip manip(1, &stack);
    manip.Create(nullptr);
    manip.HandleSize = 1;
    EXPECT_TRUE(manip.Simple(true));
    EXPECT_FALSE(manip.Simple(true));
    for (bool direction : {true, false}) {
        SCOPED_TRACE(direction);
        link.manip.bDirection = direction;
        Feedback([] {});
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-2, 2, -2, 2, -2, 2);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_LIGHT0);
        // Lit head-on by a white light without ambient, a line shows its material colour.
        const float ambient[4] = {0, 0, 0, 1}, green[4] = {0, 1, 0, 1};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, green);
        const auto before = CaptureState();
        manip.Draw();
        EXPECT_EQ(CaptureState(), before);
        glFinish();
        // The line runs along x from the centre, to the right or to the left.
        const auto on = ReadPixel(direction ? 48 : 16, 32);
        const auto off = ReadPixel(direction ? 16 : 48, 32);
        const std::array<int, 3> want =
            direction ? std::array<int, 3>{204, 0, 153} : std::array<int, 3>{77, 128, 255};
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(on[k], want[k], 8) << k;
        EXPECT_EQ(off, (std::array<int, 3>{0, 0, 0}));
        glDisable(GL_LIGHT0);
    }
    manip.Destroy();
}

// The names under the object's id, read from the hit records of a selection pass around one
// point: the link's id of the pass, then the axis and the half as they are.
TEST_F(ManipDraw, HandlesAreNamedLinkAxisHalf)
{
    KytLink link;
    link.fRadius = 1 / 1.05f;  // s = 1
    link.manip.nAxis = 1;
    KytStack<KytLink> stack;
    stack.Append(&link);
    AuxManip manip(7, &stack);
    manip.Create(nullptr);
    manip.HandleSize = 1;
    struct Case {
        int joint, mode;
        WqVector3D at;
        std::vector<uint32_t> names;  // after the id and the link
    } cases[] = {
        {1, 0, {1, 0, 0}, {0, 1}},   {1, 0, {-1, 0, 0}, {0, 0}}, {1, 0, {0, 1, 0}, {1, 1}},
        {1, 0, {0, 0, -1}, {2, 0}},  {1, 1, {0, 0, 1}, {2}},     {1, 1, {1, 0, 0}, {0}},
        {2, 0, {0, 0, 1.5}, {}},     {8, 0, {0, 0, 2.5}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.joint << " " << c.mode << " " << c.at.x << " "
                                        << c.at.y << " " << c.at.z);
        link.nJointKind = c.joint;
        KytEnv::nManipMode = c.mode;
        // Looking down the axis of the point (or along z), so that it stands alone.
        GLuint buf[256] = {};
        glSelectBuffer(256, buf);
        glRenderMode(GL_SELECT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-0.01, 0.01, -0.01, 0.01, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        if (std::fabs(c.at.x) > 0.5)
            glRotated(c.at.x > 0 ? -90 : 90, 0, 1, 0);
        else if (std::fabs(c.at.y) > 0.5)
            glRotated(c.at.y > 0 ? 90 : -90, 1, 0, 0);
        else if (c.at.z < 0 && c.joint == 1)
            glRotated(180, 1, 0, 0);
        const double d = std::max({std::fabs(c.at.x), std::fabs(c.at.y), std::fabs(c.at.z)});
        // Only the end of the handle lies in the view's depth range.
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-0.01, 0.01, -0.01, 0.01, -d - 0.2, -d + 0.02);
        glMatrixMode(GL_MODELVIEW);
        glInitNames();
        KytPickNames::Begin();
        glPushName(manip.GetID());
        manip.Draw();
        glPopName();
        KytPickNames::End();
        const int hits = glRenderMode(GL_RENDER);
        ASSERT_GE(hits, 1);
        // Every record is the same object, link, axis and half.
        size_t pos = 0;
        for (int h = 0; h < hits; ++h) {
            const GLuint count = buf[pos];
            ASSERT_EQ(count, 2 + c.names.size());
            EXPECT_EQ(buf[pos + 3], 7u);
            EXPECT_EQ(KytPickNames::Lookup(buf[pos + 4]), &link);
            for (size_t k = 0; k < c.names.size(); ++k)
                EXPECT_EQ(buf[pos + 5 + k], c.names[k]) << k;
            pos += 3 + count;
        }
    }
    manip.Destroy();
}

TEST(AuxManip, TablesCopiesAndDuplicates)
{
    auto stack = std::make_unique<KytStack<KytLink>>();
    auto src = std::make_unique<AuxManip>(5, stack.get());
    for (int i = 0; i < 36; ++i) {
        EXPECT_NEAR(AuxManip::afSin[i], std::sin(i * M_PI / 18), 1e-7);
        EXPECT_NEAR(AuxManip::afCos[i], std::cos(i * M_PI / 18), 1e-7);
    }
    EXPECT_EQ(src->ShowMode, 27u);
    EXPECT_EQ(src->Matrix[15], 1.0);
    src->Origin[1] = 2;
    src->Matrix[12] = 7;
    src->HandleSize = 3;
    src->SetShowMode(SHOWMODE_ROTATION);
    src->Simple(true);
    AuxManip copy(*src);
    AuxManip assigned(9, nullptr);
    assigned = *src;
    std::unique_ptr<KytAuxContents> dup(src->Duplicate());
    AuxManip fromNull(static_cast<const AuxManip*>(nullptr));
    src.reset();
    for (const AuxManip* m : {&copy, &assigned}) {
        EXPECT_EQ(m->GetID(), 5u);
        EXPECT_EQ(m->Stack, stack.get());
        EXPECT_EQ(m->Origin[1], 2.0f);
        EXPECT_EQ(m->Matrix[12], 7.0);
        EXPECT_EQ(m->HandleSize, 3.0f);
        EXPECT_EQ(m->ShowMode, SHOWMODE_ROTATION);
        EXPECT_TRUE(m->IsSimple);
        EXPECT_EQ(m->Quadric, nullptr);
    }
    AuxManip& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.HandleSize, 3.0f);
    auto* d = static_cast<AuxManip*>(dup.get());
    EXPECT_EQ(d->GetID(), 5u);
    EXPECT_EQ(d->Stack, stack.get());
    EXPECT_EQ(d->Origin[1], 2.0f);
    EXPECT_EQ(d->Matrix[12], 0.0);
    EXPECT_EQ(d->Matrix[15], 1.0);
    EXPECT_TRUE(d->IsSimple);
    EXPECT_EQ(d->Quadric, nullptr);
    EXPECT_TRUE(d->IsPickable());
    EXPECT_EQ(d->GetAuxType(), AUXTYPE_GENERAL);
    EXPECT_EQ(fromNull.GetID(), 0u);
    EXPECT_EQ(fromNull.Stack, nullptr);
}

// Each copy makes its own quadric; destroying one leaves the others drawing.
TEST_F(ManipDraw, CopiesNeverShareTheQuadric)
{
    KytLink link;
    link.nJointKind = 1;
    link.fRadius = 1;
    KytStack<KytLink> stack;
    stack.Append(&link);
    auto src = std::make_unique<AuxManip>(1, &stack);
    src->Create(nullptr);
    src->HandleSize = 1;
    AuxManip copy(*src);
    AuxManip assigned(2, nullptr);
    assigned.Create(nullptr);
    GLUquadricObj* own = assigned.Quadric;
    assigned = *src;
    EXPECT_EQ(assigned.Quadric, own);
    EXPECT_EQ(copy.Quadric, nullptr);
    copy.Create(nullptr);
    EXPECT_NE(copy.Quadric, src->Quadric);
    src.reset();
    EXPECT_FALSE(Feedback([&] { copy.Draw(); }).empty());
    EXPECT_FALSE(Feedback([&] { assigned.Draw(); }).empty());
    copy.Destroy();
    assigned.Destroy();
}

}  // namespace
