// Point measurements: distances between placed parts, the datum's signed distance, texts,
// refusals, offsets and drags, copies, and the label picks through the scene in both
// projections.

#include "scene/annotation/AuxMeasure2Point.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>
#include <tuple>

#include "platform/kernel/KytModel.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/GlFixture.h"
#include "tests/support/scene/OverlayGl.h"
#include "tests/support/scene/PartTreeFixture.h"

namespace scene_test {
namespace {

constexpr double kPi = 3.14159265358979323846;

WqMatrix33D Turn(double deg, const WqVector3D& axis)
{
    WqMatrix33D m;
    m.MakeRotMatrix(std::cos(deg * kPi / 180), std::sin(deg * kPi / 180), axis);
    return m;
}

std::string Mm(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f mm", v);
    return buf;
}

class PointMeasure : public testing::Test {
protected:
    void SetUp() override
    {
        root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        a = KytBuild::AddBox(model, "a", root, {}, 1, 1, 1);
        b = KytBuild::AddBox(model, "b", root, {}, 1, 1, 1);
    }
    void Place(KytLink* l, const WqVector3D& pos, const WqMatrix33D& rot)
    {
        l->referMech.vPos = pos;
        l->referMech.mRot = rot;
        model.UpdatePlacements();
    }

    KytModel model;
    KytLink* root = nullptr;
    KytLink* a = nullptr;
    KytLink* b = nullptr;
};

TEST_F(PointMeasure, DistancesOnRandomPlacements)
{
    std::mt19937 rng(4);
    std::uniform_real_distribution<double> u(-200, 200), deg(-180, 180);
    for (int i = 0; i < 30; ++i) {
        Place(a, {u(rng), u(rng), u(rng)}, Turn(deg(rng), {u(rng), u(rng), u(rng)}));
        Place(b, {u(rng), u(rng), u(rng)}, Turn(deg(rng), {u(rng), u(rng), u(rng)}));
        WqVector3D p(u(rng) / 100, u(rng) / 100, u(rng) / 100);
        WqVector3D q(u(rng) / 100, u(rng) / 100, u(rng) / 100);
        AuxMeasure2Point m(50, a, p, nullptr, nullptr);
        m.SetEndPos({u(rng), u(rng), u(rng)});
        const double expect = (b->mech.GetAbsPos(q) - a->mech.GetAbsPos(p)).Length();
        EXPECT_NEAR(m.SetPair(b, q, nullptr, nullptr), expect, 1e-9);
        EXPECT_EQ(m.GetPairState(), 1);
        EXPECT_EQ(m.GetDistanceText(), Mm(m.GetDistance()));
        // The ends of the dimension line as measured at the pair; a later offset changes
        // neither the distance nor the text.
        EXPECT_NEAR((m.vBalloonPos - m.vFirstEnd).Length(), expect, 1e-9);
        EXPECT_EQ(m.GetSecondLink(), b);
        EXPECT_TRUE(m.IsTargetLink(a));
        EXPECT_TRUE(m.IsTargetLink(b));
        EXPECT_FALSE(m.IsTargetLink(root));
    }
}

// "%.2lf mm" always, never micrometres; huge values stay within the buffer.
TEST_F(PointMeasure, DistanceTexts)
{
    const struct {
        double distance;
        const char* text;
    } cases[] = {
        {0.004, "0.00 mm"},
        {0.01, "0.01 mm"},
        {12.345, "12.35 mm"},  // 12.345 is held as 12.3450000000000006
        {1e20, "100000000000000000000.00 mm"},
        {1e300, "1.000000e+300 mm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.distance);
        Place(a, {}, {});
        Place(b, {c.distance, 0, 0}, {});
        WqVector3D p, q;
        AuxMeasure2Point m(50, a, p, nullptr, nullptr);
        m.SetPair(b, q, nullptr, nullptr);
        EXPECT_STREQ(m.GetDistanceText(), c.text);
    }
    AuxMeasure2Point fresh;
    EXPECT_STREQ(fresh.GetDistanceText(), "0");
    EXPECT_TRUE(fresh.bSubDraw);
}

// Without a second link or a first part there is no pair: nothing changes and 0 comes back.
TEST_F(PointMeasure, SetPairRefusals)
{
    WqVector3D p(1, 2, 3), q(4, 5, 6);
    float edge[2][3] = {{0, 0, 0}, {1, 0, 0}};
    AuxMeasure2Point m(50, a, p, edge[0], edge[1]);
    EXPECT_EQ(m.SetPair(nullptr, q, edge[0], edge[1]), 0.0);
    AuxMeasure2Point orphan(50, nullptr, p, nullptr, nullptr);
    EXPECT_EQ(orphan.SetPair(b, q, edge[0], edge[1]), 0.0);
    for (const AuxMeasure2Point* o : {&m, &orphan}) {
        EXPECT_EQ(o->GetPairState(), 0);
        EXPECT_EQ(o->pSecondLink, nullptr);
        EXPECT_EQ(o->pEdgeStart[1], nullptr);
        EXPECT_EQ(o->vSecondPoint, WqVector3D());
        EXPECT_FALSE(o->IsDraw());
    }
    AuxMeasureDatumPoint d(51, a, p);
    EXPECT_EQ(d.SetPair(nullptr, q), 0.0);
    AuxMeasureDatumPoint orphanDatum(51, nullptr, p);
    EXPECT_EQ(orphanDatum.SetPair(b, q), 0.0);
    EXPECT_EQ(d.GetPairState(), 0);
    EXPECT_EQ(orphanDatum.GetPairState(), 0);
    EXPECT_EQ(d.vEndPos, WqVector3D());
}

// The datum point: signed distance from the XY plane of the first part, shown with its sign
// right after the pair (the return stays unsigned), on one link as on two.
TEST_F(PointMeasure, DatumPointsAreSigned)
{
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> u(-100, 100), deg(-180, 180);
    for (int i = 0; i < 20; ++i) {
        Place(a, {u(rng), u(rng), u(rng)}, Turn(deg(rng), {u(rng), u(rng), u(rng)}));
        Place(b, {u(rng), u(rng), u(rng)}, Turn(deg(rng), {u(rng), u(rng), u(rng)}));
        WqVector3D p;
        WqVector3D q(u(rng), u(rng), u(rng));
        for (KytLink* second : {b, a}) {
            AuxMeasureDatumPoint m(51, a, p);
            const WqVector3D world = second->mech.GetAbsPos(q);
            const WqVector3D n = a->mech.mRot.Multi({0, 0, 1});
            const double signedDistance = n.Dot(world - a->mech.vPos);
            EXPECT_NEAR(m.SetPair(second, q), std::fabs(signedDistance), 1e-9);
            EXPECT_NEAR(m.GetDistance(), signedDistance, 1e-9);
            EXPECT_EQ(m.GetDistanceText(), Mm(signedDistance));
            EXPECT_EQ(m.vEndPos, n);
            WqVector3D foot, w;
            m.GetPoints(m.vFirstPoint, m.vSecondPoint, foot, w);
            EXPECT_NEAR(n.Dot(foot - a->mech.vPos), 0.0, 1e-9);
            EXPECT_NEAR((w - world).Length(), 0.0, 1e-9);
        }
    }
    // In the part's own frame: 2.5 below its plane.
    Place(a, {0, 0, 10}, {});
    WqVector3D p, q(3, 4, -2.5);
    AuxMeasureDatumPoint m(51, a, p);
    EXPECT_DOUBLE_EQ(m.SetPair(a, q), 2.5);
    EXPECT_STREQ(m.GetDistanceText(), "-2.50 mm");
    m.Scale(2);
    EXPECT_EQ(m.vSecondPoint, WqVector3D(6, 8, -5));
}

// Offsets: moves add up; keeping perpendicular removes the part along the measured line; the
// datum's offset moves within its plane only.
TEST_F(PointMeasure, OffsetsAndTheirMoves)
{
    Place(a, {1, 2, 3}, Turn(30, {0, 1, 1}));
    Place(b, {-4, 5, 9}, Turn(-70, {1, 0, 1}));
    WqVector3D p(0.5, 0, 0), q(0, 0.5, 0);
    AuxMeasure2Point m(50, a, p, nullptr, nullptr);
    m.SetPair(b, q, nullptr, nullptr);
    EXPECT_TRUE(m.MoveEndPos({1, 2, 3}, false));
    EXPECT_TRUE(m.MoveEndPos({-0.5, 0.25, 4}, false));
    WqVector3D end;
    m.GetEndPos(end);
    EXPECT_EQ(end, WqVector3D(0.5, 2.25, 7));
    // Along the measured line with keepPerpendicular: nothing changes.
    const WqVector3D along = b->mech.GetAbsPos(q) - a->mech.GetAbsPos(p);
    m.SetEndPos({});
    EXPECT_TRUE(m.MoveEndPos(along * 0.3, true));
    m.GetEndPos(end);
    EXPECT_NEAR(end.Length(), 0.0, 1e-12);
    EXPECT_TRUE(m.MoveEndPos({3, -1, 2}, true));
    m.GetEndPos(end);
    EXPECT_NEAR(end.Dot(along), 0.0, 1e-9);

    // The datum offset stays in the plane whatever the moves.
    AuxMeasureDatumPoint d(51, a, p);
    d.SetPair(b, q);
    const WqVector3D n = a->mech.mRot.Multi({0, 0, 1});
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> u(-50, 50);
    for (int i = 0; i < 20; ++i) {
        const WqVector3D delta(u(rng), u(rng), u(rng));
        WqVector3D before;
        d.GetEndPos(before);
        EXPECT_TRUE(d.MoveEndPos(delta, i % 2 == 0));
        d.GetEndPos(end);
        EXPECT_NEAR(end.Dot(n), 1.0, 1e-9);
        EXPECT_NEAR(((end - before) - (delta - n * n.Dot(delta))).Length(), 0.0, 1e-9);
    }
    AuxMeasureDatumPoint orphan(51, nullptr, p);
    EXPECT_FALSE(orphan.MoveEndPos({1, 1, 1}, false));

    // Offsets copy between point measurements only.
    AuxMeasure2Point other(50, a, p, nullptr, nullptr);
    AuxAnnotate balloon(12, a);
    EXPECT_FALSE(other.CopyEndPos(nullptr));
    EXPECT_FALSE(other.CopyEndPos(&balloon));
    EXPECT_TRUE(other.CopyEndPos(&d));
    other.GetEndPos(end);
    WqVector3D datumEnd;
    d.GetEndPos(datumEnd);
    EXPECT_EQ(end, datumEnd);
}

// Copies take every field but the quadric; each object frees only its own.
TEST_F(PointMeasure, CopiesTakeNoQuadric)
{
    WqVector3D p(1, 0, 0), q(0, 1, 0);
    float edge[2][3] = {{0, 0, 0}, {1, 0, 0}};
    auto m = std::make_unique<AuxMeasure2Point>(50, a, p, edge[0], edge[1]);
    m->Create(nullptr);
    ASSERT_NE(m->pQuadric, nullptr);
    m->SetPair(b, q, edge[1], edge[0]);
    m->SetEndPos({0, 0, 2});
    KytViewPort viewport;
    viewport.SetViewRadius(100.0);
    m->FitView(&viewport);
    EXPECT_FLOAT_EQ(m->fMarkSize, static_cast<float>(viewport.GetViewRadius() * 0.03));

    std::unique_ptr<KytAuxContents> dup(m->Duplicate());
    auto* d = dynamic_cast<AuxMeasure2Point*>(dup.get());
    ASSERT_NE(d, nullptr);
    AuxMeasure2Point copy(*m);
    AuxMeasure2Point assigned;
    assigned.Create(nullptr);
    GLUquadric* own = assigned.pQuadric;
    assigned = *m;
    const AuxMeasure2Point* copies[] = {d, &copy, &assigned};
    for (const AuxMeasure2Point* c : copies) {
        EXPECT_NE(c->pQuadric, m->pQuadric);
        EXPECT_EQ(c->pSecondLink, b);
        EXPECT_EQ(c->vEndPos, WqVector3D(0, 0, 2));
        EXPECT_EQ(c->GetDistance(), m->GetDistance());
        EXPECT_STREQ(c->GetDistanceText(), m->GetDistanceText());
        EXPECT_EQ(c->pEdgeStart[1], edge[1]);
        EXPECT_EQ(c->fMarkSize, m->fMarkSize);
        EXPECT_EQ(c->GetPairState(), 1);
    }
    EXPECT_EQ(d->pQuadric, nullptr);
    EXPECT_EQ(copy.pQuadric, nullptr);
    EXPECT_EQ(assigned.pQuadric, own);
    m->Destroy();
    EXPECT_EQ(m->pQuadric, nullptr);

    AuxMeasureDatumPoint datum(51, a, p);
    datum.SetPair(b, q);
    std::unique_ptr<KytAuxContents> datumDup(datum.Duplicate());
    EXPECT_NE(dynamic_cast<AuxMeasureDatumPoint*>(datumDup.get()), nullptr);
}

// Drawn only after the pair, with both parts shown; in the show-target mode when either part
// carries the mark.
TEST_F(PointMeasure, DrawStates)
{
    WqVector3D p, q(1, 1, 1);
    AuxMeasure2Point m(50, a, p, nullptr, nullptr);
    EXPECT_FALSE(m.IsDraw());
    m.SetPair(b, q, nullptr, nullptr);
    EXPECT_TRUE(m.IsDraw());
    m.SetDraw(false);
    EXPECT_FALSE(m.IsDraw());
    m.SetDraw(true);
    m.bSubDraw = false;
    EXPECT_FALSE(m.IsDraw());
    m.bSubDraw = true;
    KytScene::bShowTargetLink = true;
    EXPECT_FALSE(m.IsDraw());
    b->bTarget = true;
    EXPECT_TRUE(m.IsDraw());
    b->bTarget = false;
    a->bTarget = true;
    EXPECT_TRUE(m.IsDraw());
    a->bTarget = false;
    KytScene::bShowTargetLink = false;
    EXPECT_TRUE(m.IsDraw());
}

// ---- drawing ----

using overlaytest::Count;
using overlaytest::Feedback;
using overlaytest::Primitive;

class PointDraw : public quor::test::GlFixture {
protected:
    void SetUp() override
    {
        GlFixture::SetUp();
        Open(64, 64);
        root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        a = KytBuild::AddBox(model, "a", root, {}, 1, 1, 1);
        b = KytBuild::AddBox(model, "b", root, {}, 1, 1, 1);
    }
    // Vertices of the polygons whose x lies on one side of 0.
    static std::vector<std::array<double, 3>> Side(const std::vector<Primitive>& prims, int sign)
    {
        std::vector<std::array<double, 3>> out;
        for (const Primitive& p : prims)
            if (p.token == GL_POLYGON_TOKEN)
                for (const auto& v : p.v)
                    if (v[0] * sign > 0)
                        out.push_back(v);
        return out;
    }

    KytModel model;
    KytLink* root = nullptr;
    KytLink* a = nullptr;
    KytLink* b = nullptr;
};

// The dimension line, its extension lines and points; cones with their tips on the line's
// ends, of radius an eighth of the line or the mark size, whichever is less, three times as
// tall; none for a line of no length. The GL state is left as found.
TEST_F(PointDraw, ArrowheadsAndLines)
{
    a->referMech.vPos = {-1, 0, 0};
    b->referMech.vPos = {1, 0, 0};
    model.UpdatePlacements();
    WqVector3D p, q;
    AuxMeasure2Point m(50, a, p, nullptr, nullptr);
    m.Create(nullptr);
    m.SetPair(b, q, nullptr, nullptr);
    m.SetEndPos({0, 0.5, 0});
    for (float mark : {0.1f, 1.0f}) {
        SCOPED_TRACE(mark);
        m.fMarkSize = mark;
        const overlaytest::GlState before = overlaytest::CaptureState();
        const auto prims = Feedback([&] { m.Draw(); });
        EXPECT_EQ(overlaytest::CaptureState(), before);
        EXPECT_EQ(Count(prims, GL_LINE_TOKEN), 3);
        EXPECT_EQ(Count(prims, GL_POINT_TOKEN), 2);
        const double r = std::min(2.0 * 0.125, static_cast<double>(mark)), h = 3 * r;
        for (int sign : {-1, 1}) {
            const auto cone = Side(prims, sign);
            ASSERT_FALSE(cone.empty());
            double nearest = 9, farthest = 0, radial = 0;
            for (const auto& v : cone) {
                nearest = std::min(nearest, std::fabs(v[0]));
                farthest = std::max(farthest, std::fabs(v[0]));
                radial = std::max(radial, std::hypot(v[1] - 0.5, v[2]));
            }
            EXPECT_NEAR(farthest, 1.0, 1e-3);
            EXPECT_NEAR(nearest, 1.0 - h, 1e-3);
            EXPECT_NEAR(radial, r, 1e-3);
        }
    }
    EXPECT_STREQ(m.GetDistanceText(), "2.00 mm");
    // Both points in one place: the lines and points only.
    b->referMech.vPos = {-1, 0, 0};
    model.UpdatePlacements();
    const auto prims = Feedback([&] { m.Draw(); });
    EXPECT_EQ(Count(prims, GL_POLYGON_TOKEN), 0);
    EXPECT_EQ(Count(prims, GL_LINE_TOKEN), 3);
}

// Before the pair: the first pick (and its edge) on its part. The datum member shows the
// first pick where it is in the world too.
TEST_F(PointDraw, FirstPickBeforeThePair)
{
    a->referMech.vPos = {0.5, -0.5, 0};
    model.UpdatePlacements();
    float edge[2][3] = {{0, 0, 0}, {0, 1, 0}};
    WqVector3D p(0.25, 0.25, 0);
    AuxMeasure2Point m(50, a, p, edge[0], edge[1]);
    AuxMeasureDatumPoint d(51, a, p);
    for (AuxMeasure2Point* o : {&m, static_cast<AuxMeasure2Point*>(&d)}) {
        const auto prims = Feedback([&] { o->Draw(); });
        ASSERT_EQ(Count(prims, GL_POINT_TOKEN), 1);
        for (const Primitive& pr : prims)
            if (pr.token == GL_POINT_TOKEN) {
                EXPECT_NEAR(pr.v[0][0], 0.75, 1e-3);
                EXPECT_NEAR(pr.v[0][1], -0.25, 1e-3);
            }
        EXPECT_EQ(Count(prims, GL_LINE_TOKEN), o == &m ? 1 : 0);
    }
}

// The datum: a line from the plane to the offset point, a stippled one on to the point, and a
// disk on the plane of a twentieth of the line or the mark size.
TEST_F(PointDraw, DatumLineAndDisk)
{
    WqVector3D p, q(1, 0.5, -1.5);
    AuxMeasureDatumPoint d(51, a, p);
    d.Create(nullptr);
    d.SetPair(b, q);
    EXPECT_STREQ(d.GetDistanceText(), "-1.50 mm");
    for (float mark : {0.01f, 1.0f}) {
        SCOPED_TRACE(mark);
        d.fMarkSize = mark;
        const auto prims = Feedback([&] { d.Draw(); });
        EXPECT_EQ(Count(prims, GL_POINT_TOKEN), 1);
        ASSERT_GE(Count(prims, GL_LINE_TOKEN), 2);
        // The first segment starts on the plane below the offset point.
        EXPECT_NEAR(prims[0].v[0][2], 0.0, 1e-3);
        EXPECT_NEAR(prims[0].v[1][2], -0.5, 1e-3);
        const double r = std::min(0.5 * 0.05, static_cast<double>(mark));
        double radial = 0;
        int polygons = 0;
        for (const Primitive& pr : prims)
            if (pr.token == GL_POLYGON_TOKEN) {
                ++polygons;
                for (const auto& v : pr.v) {
                    EXPECT_NEAR(v[2], 0.0, 1e-3);
                    radial = std::max(radial, std::hypot(v[0] - 1.0, v[1] - 0.5));
                }
            }
        EXPECT_GT(polygons, 0);
        EXPECT_NEAR(radial, r, 1e-3);
    }
}

// One world unit a pixel, y up, the statics taken from it.
void PixelView()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 64, 0, 64, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glGetDoublev(GL_MODELVIEW_MATRIX, AuxAnnotate::modelM);
    glGetDoublev(GL_PROJECTION_MATRIX, AuxAnnotate::projM);
    glGetIntegerv(GL_VIEWPORT, AuxAnnotate::viewP);
}

// A frame as the scene makes it: the GL part, the swap, then the label.
void PixelFrame(KytOgl& o, AuxMeasure2Point& m)
{
    glClearColor(0.2f, 0.3f, 0.4f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    PixelView();
    m.Draw();
    o.SwapBuffers();
    HFONT previous = o.ChangeFont(&AuxAnnotate::MsgFont);
    m.DrawGDI(&o);
    o.SelectObject(previous);
}

std::vector<COLORREF> Shot(KytOgl& o)
{
    std::vector<COLORREF> px;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            px.push_back(GetPixel(o.GetHdc(), x, y));
    return px;
}

// The label in green (red when picked) at the line's middle; a drag shows it in orange in its
// saved box, frees every object it made, and the frame after the drag is a fresh one's.
TEST_F(PointDraw, LabelAndDragRoundTrip)
{
    a->referMech.vPos = {10.5, 20.5, 0};
    b->referMech.vPos = {54.5, 20.5, 0};
    model.UpdatePlacements();
    WqVector3D p, q;
    AuxMeasure2Point m(50, a, p, nullptr, nullptr);
    m.SetPair(b, q, nullptr, nullptr);
    m.SetEndPos({0, 20, 0});
    KytOgl& o = *ogl;
    const int baseline = quor::wgl::LiveGdiObjects();
    PixelFrame(o, m);
    int x = 0, y = 0;
    SIZE size{};
    HFONT previous = o.ChangeFont(&AuxAnnotate::MsgFont);
    m.GetWindowPos(o.GetHdc(), x, y, &size);
    o.SelectObject(previous);
    EXPECT_EQ(x, 32);
    EXPECT_EQ(y, 64 - 40);
    const auto count = [&](const std::vector<COLORREF>& px, COLORREF c) {
        int n = 0;
        for (int yy = y - size.cy; yy < y; ++yy)
            for (int xx = x - size.cx / 2; xx < x + size.cx / 2; ++xx)
                n += px[size_t(yy) * 64 + xx] == c;
        return n;
    };
    EXPECT_GT(count(Shot(o), 0x009B00), 10);
    m.bPicked = true;
    PixelFrame(o, m);
    EXPECT_GT(count(Shot(o), 0x00009B), 10);
    EXPECT_EQ(count(Shot(o), 0x009B00), 0);
    m.bPicked = false;
    PixelFrame(o, m);

    for (int k = 0; k < 4; ++k) {
        ASSERT_TRUE(m.MoveEndPos({0, -3, 0}, false));
        m.Dragging(&o);
        ASSERT_NE(m.hBackBitmap, nullptr);
        const std::vector<COLORREF> now = Shot(o);
        int orange = 0;
        for (int yy = m.rcBack[1]; yy < m.rcBack[1] + m.rcBack[3]; ++yy)
            for (int xx = m.rcBack[0]; xx < m.rcBack[0] + m.rcBack[2]; ++xx)
                orange += now[size_t(yy) * 64 + xx] == 0x0080FF;
        // The first call only saves the area under the label.
        if (k == 0)
            EXPECT_EQ(orange, 0);
        else
            EXPECT_GT(orange, 10) << "move " << k;
    }
    // A call without a move erases its feedback and draws the same again.
    const std::vector<COLORREF> dragged = Shot(o);
    m.Dragging(&o);
    EXPECT_EQ(Shot(o), dragged);
    m.EndDrag();
    EXPECT_EQ(m.hBackBitmap, nullptr);
    EXPECT_EQ(quor::wgl::LiveGdiObjects(), baseline);
    PixelFrame(o, m);
    const std::vector<COLORREF> after = Shot(o);

    HWND other = quor::wgl::CreateStandInWindow(64, 64);
    KytOgl fresh(other, 32, 24);
    ASSERT_TRUE(fresh.Create(64, 64));
    fresh.MakeCurrent();
    AuxMeasure2Point copy(50, a, p, nullptr, nullptr);
    copy.SetPair(b, q, nullptr, nullptr);
    copy.SetEndPos({0, 8, 0});
    PixelFrame(fresh, copy);
    EXPECT_EQ(Shot(fresh), after);
    fresh.DeleteContext();
    ogl->MakeCurrent();
}

// ---- through the scene ----

class PointPicks : public PartTreeFixture,
                   public testing::WithParamInterface<std::tuple<ProjectType, bool>> {
protected:
    void SetUp() override
    {
        PartTreeFixture::SetUp();
        root = KytBuild::SampleMachine(model);
        Open(root, 240, 240);
        scene->ChangeViewType(std::get<0>(GetParam()));
        scene->ChangeViewPoint(35.0f, 60.0f, false);
        scene->FitView(false);
    }
    // The label box as the object measures it in the font the scene picks with.
    void Box(AuxMeasure2Point& m, int& x, int& y, SIZE& size)
    {
        Frame();
        KytOgl* ogl = scene->GetOgl();
        HFONT previous = ogl->ChangeFont(&AuxAnnotate::MsgFont);
        glGetDoublev(GL_MODELVIEW_MATRIX, AuxAnnotate::modelM);
        glGetDoublev(GL_PROJECTION_MATRIX, AuxAnnotate::projM);
        glGetIntegerv(GL_VIEWPORT, AuxAnnotate::viewP);
        m.GetWindowPos(ogl->GetHdc(), x, y, &size);
        ogl->SelectObject(previous);
    }
    static std::pair<int, int> Window(const WqVector3D& p)
    {
        double wx, wy, wz;
        gluProject(p.x, p.y, p.z, AuxAnnotate::modelM, AuxAnnotate::projM, AuxAnnotate::viewP,
                   &wx, &wy, &wz);
        return {static_cast<int>(wx), AuxAnnotate::viewP[3] - static_cast<int>(wy)};
    }

    KytLink* root = nullptr;
};

TEST_P(PointPicks, LabelTable)
{
    const bool datum = std::get<1>(GetParam());
    KytLink* gearbox = KytBuild::FindByName(model, "gearbox");
    KytLink* shaft = KytBuild::FindByName(model, "shaftA");
    // The second point well away from the first, so that the label leaves the line's ends free.
    const double r = scene->GetViewPort()->GetViewRadius();
    const WqVector3D far = gearbox->mech.vPos + WqVector3D(0.5 * r, 0.1 * r, 0.4 * r);
    WqVector3D p, q = shaft->mech.mRot.Transpose().Multi(far - shaft->mech.vPos);
    AuxMeasure2Point* m = datum ? new AuxMeasureDatumPoint(51, gearbox, p)
                                : new AuxMeasure2Point(50, gearbox, p, nullptr, nullptr);
    scene->AddAnnotation(m, AUX_STAGE_SECOND);
    EXPECT_NE(m->pQuadric, nullptr);
    EXPECT_GT(m->fMarkSize, 0.0f);
    // Before the pair: nothing to pick anywhere.
    int x0 = 0, y0 = 0;
    SIZE s{};
    Box(*m, x0, y0, s);
    EXPECT_EQ(scene->PickAnnotation(x0, y0 - 1), nullptr);
    EXPECT_EQ(scene->PickAnnotation(width / 2, height / 2), nullptr);

    if (datum)
        static_cast<AuxMeasureDatumPoint*>(m)->SetPair(shaft, q);
    else
        m->SetPair(shaft, q, nullptr, nullptr);
    if (!datum)
        m->SetEndPos({0, 0, 0.5});
    Box(*m, x0, y0, s);
    ASSERT_GT(s.cx, 0);
    struct Case {
        int x, y;
        bool hit;
    };
    const Case cases[] = {
        {x0, y0, true},
        {x0 - s.cx, y0 - s.cy, true},
        {x0 + s.cx, y0, true},
        {x0 - s.cx, y0, true},
        {x0 + s.cx, y0 - s.cy, true},
        {x0 - s.cx - 1, y0, false},
        {x0 + s.cx + 1, y0, false},
        {x0, y0 + 1, false},
        {x0, y0 - s.cy - 1, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scene->PickAnnotation(c.x, c.y), c.hit ? m : nullptr) << c.x << "," << c.y;
        EXPECT_EQ(m->bPicked, c.hit);
    }
    // No leader: the dimension line's ends, outside the label, pick nothing.
    int tried = 0;
    for (const WqVector3D& end : {m->vFirstEnd, m->vBalloonPos}) {
        const auto [ex, ey] = Window(end);
        if (std::abs(ex - x0) > s.cx || ey > y0 || ey < y0 - s.cy) {
            EXPECT_EQ(scene->PickAnnotation2(ex, ey), nullptr);
            ++tried;
        }
    }
    EXPECT_GT(tried, 0);
}

INSTANTIATE_TEST_SUITE_P(BothProjections, PointPicks,
                         testing::Combine(testing::Values(PROJECT_PERSPECTIVE, PROJECT_PARALLEL),
                                          testing::Bool()));

}  // namespace
}  // namespace scene_test
