// Review arrows and parts connections: head corners, drawing primitives, picks with their drag
// modes, end moves, the connection path and its rate, and copies.

#include "tests/support/scene/OverlayGl.h"
#include "tests/support/scene/PartTreeFixture.h"

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"
#include "scene/annotation/AuxWindowGeometry.h"
#include "scene/view/KytViewPort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace scene_test {
namespace {

using overlaytest::Count;
using overlaytest::Feedback;

// A 64 x 64 window whose pixel (x, y) (y downward) shows world (x, 64 - y) on the z = 0 plane.
template <class T>
void PixelView()
{
    for (int i = 0; i < 16; ++i)
        T::modelM[i] = T::projM[i] = (i % 5 == 0) ? 1.0 : 0.0;
    T::projM[0] = T::projM[5] = 2.0 / 64.0;
    T::projM[12] = T::projM[13] = -1.0;
    T::viewP[0] = T::viewP[1] = 0;
    T::viewP[2] = T::viewP[3] = 64;
}

// World point drawn at the centre of window pixel (x, y) of PixelView.
WqVector3D AtPixel(int x, int y)
{
    return WqVector3D(x + 0.5, 64 - y + 0.5, 0.0);
}

class ReviewArrow : public PartTreeFixture {
protected:
    void SetUp() override
    {
        PartTreeFixture::SetUp();
        PixelView<AuxDRArrow>();
        arrow.pDRData = &rec;
    }
    KytLink part;
    KytDRArrowData rec;
    AuxDRArrow arrow{AuxDRArrow::ID, &part};
};

// The corners sit at head length plus line width from the tip, at the head angle either side
// of the shaft; the angles whose heads open forward list their corners the other way round.
TEST_F(ReviewArrow, HeadCornersFollowTheAngleAndTheirOrder)
{
    KytLink* root = KytBuild::FourLinkTree(model);
    Open(root, 96, 64);
    scene->ChangeViewType(PROJECT_PARALLEL);
    Frame();
    rec.vStart = WqVector3D(-1.0, 0.2, 0.0);
    rec.vEnd = WqVector3D(2.5, 1.1, 0.3);
    rec.nHeadLength = 12;
    rec.nLineWidth = 3;
    struct Row {
        int angle;
        bool swapped;
    } rows[] = {{30, true}, {120, false}, {-150, true}, {390, true}, {200, true}, {-60, false}};
    for (const Row& r : rows) {
        rec.nHeadAngle = r.angle;
        arrow.CalcCoordinate(scene.get());
        auto win = [](const WqVector3D& p, double& x, double& y) {
            double wz;
            gluProject(p.x, p.y, p.z, AuxDRArrow::modelM, AuxDRArrow::projM, AuxDRArrow::viewP,
                       &x, &y, &wz);
            y = AuxDRArrow::viewP[3] - y;
        };
        double sx, sy, ex, ey;
        win(rec.vStart, sx, sy);
        win(rec.vEnd, ex, ey);
        const double th = std::atan2(ey - sy, ex - sx), m = 15.0, g = r.angle * M_PI / 180.0;
        const double want[4][2] = {
            {sx + m * std::cos(th + g), sy + m * std::sin(th + g)},
            {sx + m * std::cos(th - g), sy + m * std::sin(th - g)},
            {ex + m * std::cos(th + g + M_PI), ey + m * std::sin(th + g + M_PI)},
            {ex + m * std::cos(th + M_PI - g), ey + m * std::sin(th + M_PI - g)},
        };
        for (int i = 0; i < 4; ++i) {
            const int j = r.swapped ? (i ^ 1) : i;
            double hx, hy;
            win(arrow.avHead[i], hx, hy);
            // Window points are whole pixels before they go back to the world.
            EXPECT_NEAR(hx, want[j][0], 2.0) << r.angle << " corner " << i;
            EXPECT_NEAR(hy, want[j][1], 2.0) << r.angle << " corner " << i;
            EXPECT_GT(std::hypot(hx - want[j ^ 1][0], hy - want[j ^ 1][1]), 4.0)
                << r.angle << " corner " << i;
        }
    }
}

TEST_F(ReviewArrow, HeadPrimitivesByKindAndPlacement)
{
    quor::wgl::HWND wnd = quor::wgl::CreateStandInWindow(64, 64);
    KytOgl ogl(wnd, 32, 24);
    ASSERT_TRUE(ogl.Create(64, 64));
    ogl.MakeCurrent();
    rec.vStart = WqVector3D(-1, 0, 0);
    rec.vEnd = WqVector3D(1, 0, 0);
    arrow.avHead[0] = WqVector3D(-0.5, 0.5, 0);
    arrow.avHead[1] = WqVector3D(-0.5, -0.5, 0);
    arrow.avHead[2] = WqVector3D(0.5, 0.5, 0);
    arrow.avHead[3] = WqVector3D(0.5, -0.5, 0);
    struct Row {
        int kind, place;
        int polygons, lines;
    } rows[] = {
        {1, 0, 1, 1 + 3}, {1, 1, 1, 1 + 3}, {1, 2, 2, 1 + 6}, {2, 1, 0, 1 + 3},
        {2, 2, 0, 1 + 6}, {0, 1, 0, 1 + 2}, {7, 2, 0, 1 + 4}, {1, 3, 0, 1},
    };
    for (const Row& r : rows) {
        rec.nHeadKind = r.kind;
        rec.nHeadPlace = r.place;
        const overlaytest::GlState before = overlaytest::CaptureState();
        const auto prims = Feedback([&] { arrow.Draw(); });
        EXPECT_EQ(Count(prims, GL_POLYGON_TOKEN), r.polygons) << r.kind << "/" << r.place;
        EXPECT_EQ(Count(prims, GL_LINE_TOKEN), r.lines) << r.kind << "/" << r.place;
        EXPECT_EQ(overlaytest::CaptureState(), before);
    }
    // The filled start head runs from side 1 through the tip to side 2.
    rec.nHeadKind = 1;
    rec.nHeadPlace = 0;
    const auto prims = Feedback([&] { arrow.Draw(); });
    for (const auto& p : prims)
        if (p.token == GL_POLYGON_TOKEN) {
            ASSERT_EQ(p.v.size(), 3u);
            EXPECT_NEAR(p.v[0][0], -0.5, 1e-3);
            EXPECT_NEAR(p.v[0][1], 0.5, 1e-3);
            EXPECT_NEAR(p.v[1][0], -1.0, 1e-3);
            EXPECT_NEAR(p.v[2][1], -0.5, 1e-3);
        }
    arrow.bBackup = true;
    EXPECT_TRUE(Feedback([&] { arrow.Draw(); }).empty());
}

// Shaft from pixel (10, 32) to (50, 32); an open 30 degree head of 30 + 1 pixels at the end
// (corners near (23, 16) and (23, 47)).
TEST_F(ReviewArrow, PickTableSetsTheDragMode)
{
    rec.vStart = AtPixel(10, 32);
    rec.vEnd = AtPixel(50, 32);
    rec.nHeadLength = 30;
    rec.nLineWidth = 1;
    rec.nHeadAngle = 30;
    const double m = 31.0, c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
    arrow.avHead[2] = AtPixel(static_cast<int>(50.5 - m * c), static_cast<int>(32.5 - m * s));
    arrow.avHead[3] = AtPixel(static_cast<int>(50.5 - m * c), static_cast<int>(32.5 + m * s));
    arrow.avHead[0] = arrow.avHead[1] = rec.vStart;
    struct Row {
        int kind, place, x, y;
        bool hit;
        int mode;
    } rows[] = {
        {1, 1, 15, 32, true, 1},   // 5.0 from the start, on the shaft too: the start wins
        {1, 1, 13, 36, true, 1},   // 5.0 off the start diagonally
        {1, 1, 14, 36, true, 3},   // beyond 5 of the start, on the shaft's band
        {1, 1, 16, 37, true, 3},   // 5 px from the shaft: within 1 * 0.5 + 5
        {1, 1, 16, 38, false, 0},  // 6 px
        {1, 1, 55, 32, true, 2},   // 5.0 beyond the end
        {1, 1, 4, 32, false, 0},   // 6 beyond the start, outside the shaft
        {1, 1, 28, 20, true, 2},   // on the end head's upper side
        {1, 0, 28, 20, false, 0},  // no end head
        {1, 2, 28, 20, true, 2},
        {1, 1, 24, 40, true, 2},   // on the back edge of a filled head
        {2, 1, 24, 40, true, 2},   // and of a closed one
        {0, 1, 24, 40, false, 0},  // an open head has none
        {0, 1, 28, 44, true, 2},   // its lower side
        {5, 1, 28, 20, false, 0},  // other kinds have no head to pick
    };
    for (const Row& r : rows) {
        rec.nHeadKind = r.kind;
        rec.nHeadPlace = r.place;
        arrow.nDragMode = 0;
        EXPECT_EQ(arrow.Pick(nullptr, r.x, r.y), r.hit) << r.x << "," << r.y << " kind " << r.kind;
        EXPECT_EQ(arrow.nDragMode, r.mode) << r.x << "," << r.y << " kind " << r.kind;
    }
    // A wide line widens the shaft's band, not the ends'.
    rec.nLineWidth = 5;
    EXPECT_TRUE(arrow.Pick(nullptr, 16, 39));
    EXPECT_FALSE(arrow.Pick(nullptr, 16, 40));
    arrow.bBackup = true;
    EXPECT_FALSE(arrow.Pick(nullptr, 30, 32));
}

TEST_F(ReviewArrow, MovesFollowTheDragMode)
{
    rec.vStart = WqVector3D(1, 2, 3);
    rec.vEnd = WqVector3D(4, 5, 6);
    const WqVector3D d(1, 1, 1);
    struct Row {
        int mode;
        WqVector3D start, end;
    } rows[] = {
        {0, {1, 2, 3}, {4, 5, 6}}, {1, {2, 3, 4}, {4, 5, 6}},
        {2, {1, 2, 3}, {5, 6, 7}}, {3, {2, 3, 4}, {5, 6, 7}},
    };
    for (const Row& r : rows) {
        rec.vStart = WqVector3D(1, 2, 3);
        rec.vEnd = WqVector3D(4, 5, 6);
        arrow.nDragMode = r.mode;
        EXPECT_TRUE(arrow.MoveEndPos(d, false));
        EXPECT_EQ(rec.vStart, r.start) << r.mode;
        EXPECT_EQ(rec.vEnd, r.end) << r.mode;
    }
    AuxDRArrow bare;
    EXPECT_FALSE(bare.MoveEndPos(d, false));
    EXPECT_FALSE(bare.CopyEndPos(&arrow));
    EXPECT_FALSE(arrow.CopyEndPos(nullptr));
    KytDRArrowData other;
    other.vStart = WqVector3D(7, 7, 7);
    other.vEnd = WqVector3D(8, 8, 8);
    bare.pDRData = &other;
    EXPECT_TRUE(arrow.CopyEndPos(&bare));
    EXPECT_EQ(rec.vStart, other.vStart);
    EXPECT_EQ(rec.vEnd, other.vEnd);
}

TEST_F(ReviewArrow, WindowMovesGoThroughTheScenesViewPlane)
{
    KytLink* root = KytBuild::FourLinkTree(model);
    Open(root, 64, 64);
    scene->ChangeViewType(PROJECT_PARALLEL);
    Frame();
    rec.vStart = WqVector3D(1, 1, 1);
    rec.vEnd = WqVector3D(2, 2, 2);
    const CPoint a(20, 30), b(40, 10);
    arrow.MoveOrgCoordinate(scene.get(), a);
    EXPECT_EQ(rec.vStart, scene->Point2Vector(20, 30));
    arrow.MoveEndCoordinate(scene.get(), b);
    EXPECT_EQ(rec.vEnd, scene->Point2Vector(40, 10));
    const WqVector3D s = rec.vStart, e = rec.vEnd, p = scene->Point2Vector(5, 6);
    arrow.nDragMode = 3;
    arrow.MoveCoordinate(scene.get(), CPoint(5, 6));
    // Both ends lose the point (the form hosts hand it in).
    EXPECT_EQ(rec.vStart, s - p);
    EXPECT_EQ(rec.vEnd, e - p);
    arrow.nDragMode = 0;
    arrow.MoveCoordinate(scene.get(), CPoint(1, 1));
    EXPECT_EQ(rec.vStart, s - p);
    arrow.nDragMode = 2;
    arrow.MoveCoordinate(scene.get(), CPoint(1, 1));
    EXPECT_EQ(rec.vEnd, scene->Point2Vector(1, 1));
    arrow.MoveOrgCoordinate(nullptr, a);
    EXPECT_EQ(rec.vEnd, scene->Point2Vector(1, 1));
}

// Through a scene: the picks read the scene's view and reach the arrow's ends and heads and the
// connection's crossing.
TEST_F(ReviewArrow, ScenePicksReachArrowsAndConnections)
{
    KytLink* root = KytBuild::FourLinkTree(model);
    KytLink* box = KytBuild::FindByName(model, "boxB");
    Open(root, 96, 96);
    Frame();
    KYT_SetReferencePlacement(root);
    box->referWorldMech.vPos = WqVector3D(3, -2, 0);
    KytDRPartsConnectData moved;
    moved.nAxisMode = 1;
    auto* path = new AuxDRPartsConnect(AuxDRPartsConnect::ID, box);
    path->pDRData = &moved;
    scene->AddPartsConnect(path);
    rec.vStart = WqVector3D(-2, -1, 0);
    rec.vEnd = WqVector3D(3, 2, 0);
    rec.nHeadPlace = 2;
    auto* owned = new AuxDRArrow(AuxDRArrow::ID, root);
    owned->pDRData = &rec;
    scene->AddDRArrow(owned);
    Frame();
    owned->CalcCoordinate(scene.get());
    int sx, sy, ex, ey;
    aux_window::ProjectInt(rec.vStart, AuxDRArrow::modelM, AuxDRArrow::projM, AuxDRArrow::viewP,
                           sx, sy);
    aux_window::ProjectInt(rec.vEnd, AuxDRArrow::modelM, AuxDRArrow::projM, AuxDRArrow::viewP,
                           ex, ey);
    ASSERT_GT(std::hypot(ex - sx, ey - sy), 30.0);
    EXPECT_EQ(scene->PickDRArrow(sx + 3, sy), owned);
    EXPECT_EQ(owned->nDragMode, 1);
    EXPECT_EQ(scene->PickDRArrow((sx + ex) / 2, (sy + ey) / 2), owned);
    EXPECT_EQ(owned->nDragMode, 3);
    EXPECT_EQ(scene->PickDRArrow(ex, ey), owned);
    EXPECT_EQ(owned->nDragMode, 2);
    // Well off the middle of the shaft, sideways.
    const double len = std::hypot(ex - sx, ey - sy);
    const int ox = (sx + ex) / 2 + static_cast<int>(30 * -(ey - sy) / len);
    const int oy = (sy + ey) / 2 + static_cast<int>(30 * (ex - sx) / len);
    EXPECT_EQ(scene->PickDRArrow(ox, oy), nullptr);

    WqVector3D a, b;
    ASSERT_TRUE(path->GetCenterPos(a, b));
    int ax, ay, bx, by;
    aux_window::ProjectInt((a + b) * 0.5, AuxDRArrow::modelM, AuxDRArrow::projM,
                           AuxDRArrow::viewP, ax, ay);
    EXPECT_EQ(scene->PickDRPartsConnect(ax, ay), path);
    EXPECT_TRUE(path->bPicked);
    aux_window::ProjectInt(b, AuxDRArrow::modelM, AuxDRArrow::projM, AuxDRArrow::viewP, bx, by);
    EXPECT_EQ(scene->PickDRPartsConnect2(bx, by), path);
}

// Shown below a link: visible when the link is the top of the tree or on the way up from the
// object's part.
TEST_F(ReviewArrow, VisibleBelowTheShownLink)
{
    KytLink* root = KytBuild::FourLinkTree(model);
    KytLink* a = KytBuild::FindByName(model, "boxA");
    KytLink* b = KytBuild::FindByName(model, "boxB");
    AuxDRArrow arrow2(AuxDRArrow::ID, a);
    AuxDRPartsConnect path2(AuxDRPartsConnect::ID, a);
    struct Row {
        KytLink* shown;
        bool visible;
    } rows[] = {{root, true}, {a, true}, {b, false}, {nullptr, false}};
    for (const Row& r : rows) {
        arrow2.CheckVisual(r.shown);
        path2.CheckVisual(r.shown);
        EXPECT_EQ(arrow2.bSubDraw, r.visible);
        EXPECT_EQ(path2.bSubDraw, r.visible);
    }
}

class ReviewPath : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        PixelView<AuxDRPartsConnect>();
        path.pDRData = &rec;
    }
    void TearDown() override
    {
        KytEnv::nUpAxis = 1;
        SceneFixture::TearDown();
    }
    // The part's reference point moves from `from` to `to` (world).
    void Move(const WqVector3D& from, const WqVector3D& to)
    {
        part.vGeomCen = WqVector3D(0, 0, 0);
        part.referWorldMech.vPos = from;
        part.mech.vPos = to;
    }
    KytLink part;
    KytDRPartsConnectData rec;
    AuxDRPartsConnect path{AuxDRPartsConnect::ID, &part};
};

TEST_F(ReviewPath, RateOnlyFromZeroToOne)
{
    struct Row {
        double rate;
        bool ok;
        double kept;
    } rows[] = {{0.25, true, 0.25}, {1.5, false, 0.25}, {1.0, true, 1.0}, {-0.1, false, 1.0},
                {0.0, true, 0.0},   {std::numeric_limits<double>::quiet_NaN(), false, 0.0}};
    for (const Row& r : rows) {
        EXPECT_EQ(path.ChangeRate(r.rate), r.ok) << r.rate;
        EXPECT_EQ(rec.dRate, r.kept) << r.rate;
    }
    AuxDRPartsConnect bare;
    EXPECT_FALSE(bare.ChangeRate(0.5));
}

TEST_F(ReviewPath, CornersAlongTheChosenAxis)
{
    struct Row {
        int axisMode, up;
        WqVector3D to;
        double rate;
        WqVector3D a, b;
    } rows[] = {
        // The largest move decides, the first axis on ties.
        {1, 1, {3, 1, 4}, 0.5, {0, 0, 2}, {3, 1, 2}},
        {1, 1, {4, -4, 0}, 0.25, {1, 0, 0}, {1, -4, 0}},
        {1, 1, {0, -5, 2}, 1.0, {0, -5, 0}, {0, -5, 2}},
        // Otherwise the up axis: y, z, anything else x.
        {0, 1, {3, 1, 4}, 0.5, {0, 0.5, 0}, {3, 0.5, 4}},
        {0, 2, {3, 1, 4}, 0.0, {0, 0, 0}, {3, 1, 0}},
        {0, 7, {3, 1, 4}, 0.5, {1.5, 0, 0}, {1.5, 1, 4}},
        // Not moved along the axis: the corners are the ends.
        {0, 1, {3, 0, 4}, 0.5, {0, 0, 0}, {3, 0, 4}},
    };
    for (const Row& r : rows) {
        Move(WqVector3D(0, 0, 0), r.to);
        rec.nAxisMode = r.axisMode;
        rec.dRate = r.rate;
        KytEnv::nUpAxis = r.up;
        WqVector3D a, b, from, to;
        ASSERT_TRUE(path.GetCenterPos(a, b));
        EXPECT_EQ(a, r.a) << r.axisMode << "/" << r.up;
        EXPECT_EQ(b, r.b) << r.axisMode << "/" << r.up;
        ASSERT_TRUE(path.GetBothEndPos(from, to));
        EXPECT_EQ(from, WqVector3D(0, 0, 0));
        EXPECT_EQ(to, r.to);
    }
    AuxDRPartsConnect bare;
    WqVector3D a, b;
    EXPECT_FALSE(bare.GetCenterPos(a, b));
    EXPECT_FALSE(bare.GetBothEndPos(a, b));
}

TEST_F(ReviewPath, ReferencePointUnderBothPlacements)
{
    part.vGeomCen = WqVector3D(1, 0, 0);
    part.referWorldMech.vPos = WqVector3D(10, 0, 0);
    part.mech.vPos = WqVector3D(0, 5, 0);
    part.mech.mRot.MakeRotMatrix(0.0, 1.0, 2);  // a quarter turn about z
    WqVector3D from, to;
    ASSERT_TRUE(path.GetBothEndPos(from, to));
    EXPECT_EQ(from, WqVector3D(11, 0, 0));
    EXPECT_NEAR(to.x, 0.0, 1e-12);
    EXPECT_NEAR(to.y, 6.0, 1e-12);
}

TEST_F(ReviewPath, MovingTheCrossingIsNotHeldToTheEnds)
{
    Move(WqVector3D(0, 0, 0), WqVector3D(0, 8, 0));
    rec.dRate = 0.5;
    EXPECT_TRUE(path.MoveEndPos(WqVector3D(100, 2, 100), false));
    EXPECT_DOUBLE_EQ(rec.dRate, 0.75);
    EXPECT_TRUE(path.MoveEndPos(WqVector3D(0, 6, 0), false));
    EXPECT_DOUBLE_EQ(rec.dRate, 1.5);
    Move(WqVector3D(0, 0, 0), WqVector3D(5, 0, 0));
    EXPECT_TRUE(path.MoveEndPos(WqVector3D(0, 6, 0), false));
    EXPECT_EQ(rec.dRate, 0.0);
    AuxDRPartsConnect bare;
    EXPECT_FALSE(bare.MoveEndPos(WqVector3D(0, 1, 0), false));
    KytDRPartsConnectData other;
    other.dRate = 0.125;
    bare.pDRData = &other;
    EXPECT_TRUE(path.CopyEndPos(&bare));
    EXPECT_EQ(rec.dRate, 0.125);
    EXPECT_FALSE(path.CopyEndPos(nullptr));
}

// P0 at pixel (10, 54), the crossing from (10, 39) to (50, 39), P1 at (50, 24).
TEST_F(ReviewPath, PickTheCrossingOrAnySegment)
{
    Move(AtPixel(10, 54), AtPixel(50, 24));
    rec.dRate = 0.5;
    struct Row {
        int x, y;
        bool pick, pick2;
    } rows[] = {
        {30, 39, true, true},   {30, 44, true, true},  {30, 34, true, true},
        {30, 45, false, false}, {10, 46, false, true}, {50, 30, false, true},
        {2, 39, false, false},  {58, 39, false, false}, {10, 60, false, false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(path.Pick(nullptr, r.x, r.y), r.pick) << r.x << "," << r.y;
        EXPECT_EQ(path.Pick2(nullptr, r.x, r.y), r.pick2) << r.x << "," << r.y;
    }
    rec.bDRVisible = 0;
    EXPECT_FALSE(path.Pick2(nullptr, 30, 38));
}

TEST_F(ReviewPath, DrawsTheFourPointsAndTheirMarks)
{
    quor::wgl::HWND wnd = quor::wgl::CreateStandInWindow(64, 64);
    KytOgl ogl(wnd, 32, 24);
    ASSERT_TRUE(ogl.Create(64, 64));
    ogl.MakeCurrent();
    Move(WqVector3D(-1, -1, 0), WqVector3D(1, 1, 0));
    rec.dRate = 0.25;
    const overlaytest::GlState before = overlaytest::CaptureState();
    const auto prims = Feedback([&] { path.Draw(); });
    EXPECT_EQ(overlaytest::CaptureState(), before);
    ASSERT_EQ(Count(prims, GL_LINE_TOKEN), 3);
    ASSERT_EQ(Count(prims, GL_POINT_TOKEN), 4);
    const double want[4][2] = {{-1, -1}, {-1, -0.5}, {1, -0.5}, {1, 1}};
    int i = 0;
    for (const auto& p : prims)
        if (p.token == GL_POINT_TOKEN) {
            EXPECT_NEAR(p.v[0][0], want[i][0], 1e-3) << i;
            EXPECT_NEAR(p.v[0][1], want[i][1], 1e-3) << i;
            ++i;
        }
    // Not moved: the corners are the ends.
    Move(WqVector3D(-1, 0, 0), WqVector3D(1, 0, 0));
    const auto flat = Feedback([&] { path.Draw(); });
    ASSERT_EQ(Count(flat, GL_POINT_TOKEN), 4);
    EXPECT_NEAR(flat[3].v[0][0], -1.0, 1e-3);
    EXPECT_NEAR(flat[4].v[0][0], -1.0, 1e-3);
}

TEST_F(ReviewPath, CopiesOwnNoBackgroundAndOutliveTheirSource)
{
    const int live = quor::wgl::LiveGdiObjects();
    quor::wgl::BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = 8;
    bi.bmiHeader.biHeight = 8;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    auto* source = new AuxDRPartsConnect(AuxDRPartsConnect::ID, &part);
    source->pDRData = &rec;
    source->bPicked = true;
    source->rcBack[2] = 8;
    source->hBackBitmap = quor::wgl::CreateDIBSection(nullptr, &bi, 0, &bits, nullptr, 0);
    ASSERT_NE(source->hBackBitmap, nullptr);
    std::unique_ptr<AuxDRPartsConnect> dup(source->DuplicateDRPartsConnect());
    AuxDRPartsConnect value(*source);
    AuxDRPartsConnect assigned;
    assigned = *source;
    delete source;
    EXPECT_EQ(quor::wgl::LiveGdiObjects(), live);
    for (AuxDRPartsConnect* c : {dup.get(), &value, &assigned}) {
        EXPECT_EQ(c->hBackBitmap, nullptr);
        EXPECT_EQ(c->pDRData, &rec);
        EXPECT_TRUE(c->bPicked);
        EXPECT_EQ(c->rcBack[2], 8);
    }
    value.EndDrag();
    EXPECT_EQ(value.rcBack[2], 0);

    // The saved background fits the latest box and goes with EndDrag.
    struct Probe : AuxDRPartsConnect {
        using AuxDRPartsConnect::CaptureBackground;
    } probe;
    quor::wgl::HWND wnd = quor::wgl::CreateStandInWindow(32, 32);
    quor::wgl::HDC dc = quor::wgl::GetDC(wnd);
    probe.CaptureBackground(dc, 1, 1, 4, 3);
    ASSERT_NE(probe.hBackBitmap, nullptr);
    probe.CaptureBackground(dc, 1, 1, 10, 6);
    quor::wgl::BITMAP bm{};
    quor::wgl::GetObjectA(probe.hBackBitmap, sizeof bm, &bm);
    EXPECT_GE(bm.bmWidth, 10);
    EXPECT_GE(bm.bmHeight, 6);
    EXPECT_EQ(quor::wgl::LiveGdiObjects(), live + 1);
    probe.EndDrag();
    EXPECT_EQ(probe.hBackBitmap, nullptr);
    EXPECT_EQ(quor::wgl::LiveGdiObjects(), live);
    quor::wgl::ReleaseDC(wnd, dc);

    KytDRArrowData ar;
    auto* arrow = new AuxDRArrow(AuxDRArrow::ID, &part);
    arrow->pDRData = &ar;
    arrow->bPicked = true;
    arrow->bBackup = true;
    arrow->nDragMode = 2;
    arrow->avHead[3] = WqVector3D(1, 2, 3);
    std::unique_ptr<AuxDRArrow> arrowDup(arrow->DuplicateDRArrow());
    AuxDRArrow arrowValue(*arrow);
    delete arrow;
    EXPECT_TRUE(arrowDup->bPicked);
    EXPECT_FALSE(arrowDup->bBackup);
    EXPECT_EQ(arrowDup->nDragMode, 2);
    EXPECT_EQ(arrowDup->avHead[3], WqVector3D(1, 2, 3));
    EXPECT_TRUE(arrowValue.bBackup);
    EXPECT_EQ(arrowValue.avHead[3], WqVector3D(1, 2, 3));
}

} // namespace
} // namespace scene_test
