#include "scene/annotation/CMeasureData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <locale>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytModel.h"
#include "platform/kernel/TOKEN.h"
#include "scene/annotation/KytRidgeLine.h"

namespace {
constexpr double kPi = 3.14159265358979323846;

// The first triangle of `link`'s mesh whose face normal (own frame) is `n` and whose plane
// holds `p`.
KytTriangle* FaceTriangle(KytLink* link, const WqVector3D& n, const WqVector3D& p)
{
    KytShapeRep* rep = link->pShape->GetRep();
    for (KytTriangle& t : rep->aTriangle) {
        const WqVector3D f(t.pFaceNormal->x, t.pFaceNormal->y, t.pFaceNormal->z);
        const WqVector3D v(t.pVertex[0]->x, t.pVertex[0]->y, t.pVertex[0]->z);
        if (f.Dot(n) > 0.999 && std::fabs(n.Dot(p - v)) < 1e-5)
            return &t;
    }
    return nullptr;
}

// The triangle of the plate's top face whose xy projection holds (x, y).
KytTriangle* TopTriangleAt(KytLink* link, double x, double y)
{
    for (KytTriangle& t : link->pShape->GetRep()->aTriangle) {
        if (t.pFaceNormal->z < 0.99f)
            continue;
        double s[3];
        for (int k = 0; k < 3; ++k) {
            const KytPoint& a = *t.pVertex[k];
            const KytPoint& b = *t.pVertex[(k + 1) % 3];
            s[k] = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
        }
        if (s[0] >= 0 && s[1] >= 0 && s[2] >= 0)
            return &t;
    }
    return nullptr;
}

// A ridge line of the face under `pick` (own frame), with its nearest border found.
KytRidgeLine* RidgeAt(KytLink* link, KytTriangle* tri, const WqVector3D& pick)
{
    auto* ridge = new KytRidgeLine(link, tri, pick);
    EXPECT_TRUE(ridge->CalcBorder());
    EXPECT_TRUE(ridge->GetSeg());
    return ridge;
}

WqMatrix33D RotX(double deg)
{
    WqMatrix33D m;
    m.MakeRotMatrix(std::cos(deg * kPi / 180), std::sin(deg * kPi / 180), 0);
    return m;
}

void Place(KytModel& model, KytLink* link, const WqVector3D& pos, const WqMatrix33D& rot)
{
    link->referMech.vPos = pos;
    link->referMech.mRot = rot;
    model.UpdatePlacements();
}

double AngleBetween(const WqVector3D& a, const WqVector3D& b)
{
    return std::acos(std::clamp(a.Dot(b) / (a.Length() * b.Length()), -1.0, 1.0));
}

std::string Saved(const CMeasureData& m)
{
    std::ostringstream out;
    m.Save(out);
    return out.str();
}

int LoadText(CMeasureData& m, const std::string& text)
{
    std::istringstream in(text);
    TOKEN token(in);
    return m.Load(token);
}

bool SameBits(const WqVector3D& a, const WqVector3D& b)
{
    return std::memcmp(&a.x, &b.x, sizeof(double)) == 0 &&
           std::memcmp(&a.y, &b.y, sizeof(double)) == 0 &&
           std::memcmp(&a.z, &b.z, sizeof(double)) == 0;
}

// Everything Load may change, compared bit for bit.
void ExpectSameLoadedState(const CMeasureData& a, const CMeasureData& b)
{
    EXPECT_EQ(a.MeasureType, b.MeasureType);
    EXPECT_EQ(a.SnapType, b.SnapType);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a.PointType[i], b.PointType[i]);
        EXPECT_EQ(a.PointLink[i], b.PointLink[i]);
        EXPECT_EQ(a.PointTriangle[i], b.PointTriangle[i]);
        EXPECT_TRUE(SameBits(a.SavedPosition[i], b.SavedPosition[i]));
        EXPECT_TRUE(SameBits(a.SavedNormal[i], b.SavedNormal[i]));
    }
}

// The kernel's loaded model for the life of the fixture.
class CMeasureDataTest : public testing::Test {
protected:
    void SetUp() override
    {
        KytEnv::pLoaded = &model;
        root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    }
    void TearDown() override { KytEnv::Reset(); }

    KytLink* Box(const WqVector3D& pos, double sx, double sy, double sz)
    {
        KytLink* l = KytBuild::AddBox(model, "box", root, pos, sx, sy, sz);
        model.UpdatePlacements();
        return l;
    }
    KytLink* WithRep(std::unique_ptr<KytShapeRep> rep)
    {
        KytLink* l = model.AddLink("part", root);
        model.SetShape(l, model.AddShape(std::move(rep)));
        return l;
    }

    KytModel model;
    KytLink* root = nullptr;
};

// Two ridge-point picks near the ends of a box edge give the edge's length, the box placed
// and turned anywhere.
TEST_F(CMeasureDataTest, EdgeFromItsTwoEndsIsTheBoxSize)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> size(0.5, 40), pos(-100, 100), angle(-180, 180);
    for (int round = 0; round < 12; ++round) {
        const double sx = size(rng), sy = size(rng), sz = size(rng);
        KytLink* box = Box({}, sx, sy, sz);
        WqMatrix33D rot;
        const double turn = angle(rng) * kPi / 180;
        rot.MakeRotMatrix(std::cos(turn), std::sin(turn), WqVector3D(pos(rng), pos(rng), pos(rng)));
        Place(model, box, {pos(rng), pos(rng), pos(rng)}, rot);
        KytTriangle* top = FaceTriangle(box, {0, 0, 1}, {0, 0, sz / 2});
        ASSERT_NE(top, nullptr);
        CMeasureData m;
        m.MeasureType = 1;
        // Near either end of the edge y = sy/2 on the top face, slightly inside.
        const WqVector3D picks[2] = {{-sx * 0.3, sy * 0.45, sz / 2}, {sx * 0.3, sy * 0.45, sz / 2}};
        for (int i = 0; i < 2; ++i) {
            m.PointType[i] = 3;
            m.Ridge[i] = RidgeAt(box, top, picks[i]);
            m.SetPointData(i, box, top, picks[i], {0, 0, 1});
            EXPECT_EQ(m.Normal[i], WqVector3D());
            EXPECT_TRUE(SameBits(m.Position[i], picks[i]));
        }
        WqVector3D first, second, foot;
        m.GetPoints(first, second, foot);
        EXPECT_NEAR((second - first).Length(), sx, 1e-5 * sx);
        EXPECT_NEAR((first - box->mech.GetAbsPos({-sx / 2, sy / 2, sz / 2})).Length(), 0, 1e-5);
    }
}

// A face point against another part's point: H and V are the parts of the distance across
// and along the first face's normal, however the parts are placed.
TEST_F(CMeasureDataTest, HorizontalAndVerticalAgainstThePlacements)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> pos(-50, 50), unit(-1, 1);
    KytLink* a = Box({}, 4, 6, 2);
    KytLink* b = Box({}, 3, 3, 3);
    KytTriangle* top = FaceTriangle(a, {0, 0, 1}, {0, 0, 1});
    KytTriangle* side = FaceTriangle(b, {1, 0, 0}, {1.5, 0, 0});
    for (int round = 0; round < 20; ++round) {
        WqMatrix33D ra, rb;
        const double ta = unit(rng) * kPi, tb = unit(rng) * kPi;
        ra.MakeRotMatrix(std::cos(ta), std::sin(ta), WqVector3D(unit(rng), unit(rng), 1));
        rb.MakeRotMatrix(std::cos(tb), std::sin(tb), WqVector3D(1, unit(rng), unit(rng)));
        Place(model, a, {pos(rng), pos(rng), pos(rng)}, ra);
        Place(model, b, {pos(rng), pos(rng), pos(rng)}, rb);
        const WqVector3D pa(unit(rng), unit(rng) * 2, 1), pb(1.5, unit(rng), unit(rng));
        CMeasureData m;
        m.MeasureType = 0;
        m.PointType[0] = m.PointType[1] = 4;
        m.SetPointData(0, a, top, pa, {0, 0, 1});
        m.SetPointData(1, b, side, pb, {1, 0, 0});
        WqVector3D first, second, foot;
        const bool ok = m.GetPoints(first, second, foot);
        const WqVector3D p0 = a->mech.GetAbsPos(pa), p1 = b->mech.GetAbsPos(pb);
        const WqVector3D n = a->mech.mRot.Multi({0, 0, 1});
        const double v = n.Dot(p0 - p1);
        EXPECT_TRUE(SameBits(first, p0));
        EXPECT_TRUE(SameBits(second, p1));
        ASSERT_EQ(ok, std::fabs(v) > 1.1920929e-7);
        EXPECT_NEAR((foot - second).Length(), std::fabs(v), 1e-9);
        // The foot lies on the first face's plane.
        EXPECT_NEAR(n.Dot(foot - p0), 0.0, 1e-9);
    }
    // In one plane: V is 0 and the foot is the second point.
    Place(model, a, {}, {});
    Place(model, b, {10, 0, 1}, {});
    CMeasureData m;
    m.PointType[0] = m.PointType[1] = 4;
    m.SetPointData(0, a, top, {0, 0, 1}, {0, 0, 1});
    m.SetPointData(1, b, side, {1.5, 0, 0}, {1, 0, 0});
    WqVector3D first, second, foot;
    EXPECT_FALSE(m.GetPoints(first, second, foot));
    EXPECT_EQ(foot, second);
    // With placements that are true rotations the H and V are the closed forms.
    Place(model, a, {1, 2, 3}, RotX(30));
    Place(model, b, {20, -4, 9}, RotX(-45));
    m.SetPointData(0, a, top, {0.5, 1, 1}, {0, 0, 1});
    m.SetPointData(1, b, side, {1.5, 0.5, -1}, {1, 0, 0});
    ASSERT_TRUE(m.GetPoints(first, second, foot));
    const WqVector3D p0 = a->mech.GetAbsPos({0.5, 1, 1}), p1 = b->mech.GetAbsPos({1.5, 0.5, -1});
    const WqVector3D n = RotX(30).Multi({0, 0, 1});
    const double v = n.Dot(p0 - p1);
    EXPECT_NEAR((foot - second).Length(), std::fabs(v), 1e-9);
    EXPECT_NEAR((foot - first).Length(), std::sqrt((p1 - p0).Length2() - v * v), 1e-9);
}

// The hole of the plate through SetCircleData: the builder's radius and centre, its face
// normal, the picked position kept as saved.
TEST_F(CMeasureDataTest, HoleThroughSetCircleData)
{
    for (int segments : {16, 32, 48}) {
        SCOPED_TRACE(segments);
        KytLink* plate = WithRep(KytBuild::PlateWithHoleRep(200, 10, 30, segments));
        Place(model, plate, {5, 6, 7}, RotX(20));
        const WqVector3D pick(33.0, 5.0, 10.0);
        KytTriangle* tri = TopTriangleAt(plate, pick.x, pick.y);
        ASSERT_NE(tri, nullptr);
        CMeasureData m;
        m.PointType[0] = 5;
        WqVector3D normal;
        ASSERT_TRUE(m.SetCircleData(0, plate, tri, pick, normal));
        EXPECT_NEAR(m.Radius[0], 30.0, 1e-4);
        EXPECT_NEAR((m.Center[0] - WqVector3D(0, 0, 10)).Length(), 0.0, 1e-4);
        EXPECT_NEAR((m.Position[0] - m.Center[0]).Length(), 30.0, 1e-4);
        EXPECT_NEAR(normal.z, 1.0, 1e-6);
        EXPECT_EQ(m.Normal[0], normal);
        EXPECT_EQ(m.SavedNormal[0], normal);
        EXPECT_EQ(m.SavedPosition[0], pick);
        EXPECT_EQ(m.PointTriangle[0], tri);
        EXPECT_EQ(m.PointLink[0], plate);
        // The centre in absolute coordinates.
        m.PointType[1] = 4;
        m.SetPointData(1, plate, tri, {50, 50, 10}, {0, 0, 1});
        WqVector3D first, second, foot;
        m.GetPoints(first, second, foot);
        EXPECT_NEAR((first - plate->mech.GetAbsPos({0, 0, 10})).Length(), 0.0, 1e-4);
        // Off-range indexes are refused and write nothing.
        const CMeasureData before(m);
        EXPECT_FALSE(m.SetCircleData(2, plate, tri, pick, normal));
        EXPECT_FALSE(m.SetCircleData(-1, plate, tri, pick, normal));
        m.SetPointData(2, nullptr, nullptr, {1, 1, 1}, {1, 1, 1});
        m.SetPointData(-1, nullptr, nullptr, {1, 1, 1}, {1, 1, 1});
        ExpectSameLoadedState(m, before);
        EXPECT_EQ(m.Position[1], before.Position[1]);
    }
    // A circle larger than the part is no circle: nothing changes.
    KytLink* plate = WithRep(KytBuild::PlateWithHoleRep(200, 10, 30, 16));
    plate->fRadius = 29.0f;
    CMeasureData m;
    WqVector3D normal(7, 7, 7);
    EXPECT_FALSE(m.SetCircleData(0, plate, TopTriangleAt(plate, 33, 5), {33, 5, 10}, normal));
    EXPECT_EQ(m.PointLink[0], nullptr);
    EXPECT_EQ(m.Radius[0], 0.0);
    EXPECT_EQ(normal, WqVector3D(7, 7, 7));
}

// The plate's top against a box face tilted by theta: the measured angle is 180 - theta, the
// legs from the centre meet at that angle with the arc's radius, the centre lies on both
// faces' planes and the second leg ends on the second face.
TEST_F(CMeasureDataTest, FaceAngleOfATiltedBox)
{
    KytLink* plate = WithRep(KytBuild::PlateWithHoleRep(200, 10, 30, 16));
    KytLink* box = Box({}, 20, 20, 20);
    KytTriangle* top = TopTriangleAt(plate, 60, 60);
    KytTriangle* boxTop = FaceTriangle(box, {0, 0, 1}, {0, 0, 10});
    for (double theta : {30.0, 60.0, 90.0, 120.0, 150.0}) {
        for (const WqVector3D& at : {WqVector3D(0, 40, 25), WqVector3D(-30, -50, 60)}) {
            SCOPED_TRACE(testing::Message() << "theta " << theta << " at " << at.y);
            Place(model, box, at, RotX(theta));
            CMeasureData m;
            m.MeasureType = 2;
            m.PointType[0] = m.PointType[1] = 4;
            m.SetPointData(0, plate, top, {60, 60, 10}, {0, 0, 1});
            m.SetPointData(1, box, boxTop, {3, -4, 10}, {0, 0, 1});
            WqVector3D first, second, mid;
            ASSERT_TRUE(m.GetPoints(first, second, mid));
            EXPECT_NEAR(m.Angle, (180.0 - theta) * kPi / 180, 1e-12);
            EXPECT_EQ(mid, first);
            const WqVector3D c = m.Center[0];
            const double r = std::fabs(m.Radius[0]);
            EXPECT_NEAR((first - c).Length(), r, 1e-9 * (1 + r));
            EXPECT_NEAR((second - c).Length(), r, 1e-9 * (1 + r));
            EXPECT_NEAR(AngleBetween(first - c, second - c), m.Angle, 1e-9);
            const WqVector3D nf(0, 0, 1), ns = box->mech.mRot.Multi({0, 0, 1});
            const WqVector3D onSecond = box->mech.GetAbsPos({3, -4, 10});
            EXPECT_NEAR(nf.Dot(c - first), 0.0, 1e-9 * (1 + r));
            EXPECT_NEAR(ns.Dot(c - onSecond), 0.0, 1e-9 * (1 + r));
            EXPECT_NEAR(ns.Dot(second - onSecond), 0.0, 1e-9 * (1 + r));
        }
    }
    // Parallel faces (either way round): no angle, the mid point half-way between the first
    // point and the second moved onto the first face's plane.
    for (double theta : {0.0, 180.0}) {
        Place(model, box, {5, 5, 40}, RotX(theta));
        CMeasureData m;
        m.MeasureType = 2;
        m.PointType[0] = m.PointType[1] = 4;
        m.Angle = 1;
        m.SetPointData(0, plate, top, {60, 60, 10}, {0, 0, 1});
        m.SetPointData(1, box, boxTop, {2, 4, 10}, {0, 0, 1});
        WqVector3D first, second, mid;
        EXPECT_FALSE(m.GetPoints(first, second, mid));
        EXPECT_EQ(m.Angle, 0.0);
        const WqVector3D moved = box->mech.GetAbsPos({2, 4, 10});
        const WqVector3D expect((60 + moved.x) / 2, (60 + moved.y) / 2, 10);
        EXPECT_NEAR((mid - expect).Length(), 0.0, 1e-9);
        EXPECT_EQ(m.Center[0], mid);
    }
}

// Line angles between border edges: two edges of one box corner are square, and an edge
// against the same edge of a copy turned about the corner by theta makes theta.
TEST_F(CMeasureDataTest, LineAngles)
{
    KytLink* a = Box({}, 2, 2, 2);
    KytTriangle* topA = FaceTriangle(a, {0, 0, 1}, {0, 0, 1});
    {
        CMeasureData m;
        m.MeasureType = 2;
        m.PointType[0] = m.PointType[1] = 1;
        m.Ridge[0] = RidgeAt(a, topA, {0.2, 0.95, 1});
        m.Ridge[1] = RidgeAt(a, topA, {0.95, 0.1, 1});
        m.SetPointData(0, a, topA, {0.2, 0.95, 1}, {2, 0, 0});
        m.SetPointData(1, a, topA, {0.95, 0.1, 1}, {0, 3, 0});
        EXPECT_EQ(m.Normal[0], WqVector3D(1, 0, 0));
        WqVector3D first, second, n;
        ASSERT_TRUE(m.GetPoints(first, second, n));
        EXPECT_NEAR(m.Angle, kPi / 2, 1e-12);
        EXPECT_EQ(m.Center[0], WqVector3D(1, 1, 1));
        EXPECT_NEAR(std::fabs(n.z), 1.0, 1e-12);
    }
    const WqVector3D corner(1, 1, 1);
    KytLink* b = Box({}, 2, 2, 2);
    KytTriangle* topB = FaceTriangle(b, {0, 0, 1}, {0, 0, 1});
    for (double theta : {30.0, 60.0, 90.0, 120.0, 150.0}) {
        SCOPED_TRACE(theta);
        WqMatrix33D rz;
        rz.MakeRotMatrix(std::cos(theta * kPi / 180), std::sin(theta * kPi / 180), 2);
        Place(model, b, corner - rz.Multi(corner), rz);
        CMeasureData m;
        m.MeasureType = 2;
        m.PointType[0] = m.PointType[1] = 1;
        m.Ridge[0] = RidgeAt(a, topA, {0.2, 0.95, 1});
        m.Ridge[1] = RidgeAt(b, topB, {-0.3, 0.95, 1});
        m.SetPointData(0, a, topA, {0.2, 0.95, 1}, {1, 0, 0});
        m.SetPointData(1, b, topB, {-0.3, 0.95, 1}, {1, 0, 0});
        WqVector3D first, second, n;
        ASSERT_TRUE(m.GetPoints(first, second, n));
        EXPECT_NEAR(m.Angle, theta * kPi / 180, 1e-9);
        EXPECT_NEAR((m.Center[0] - corner).Length(), 0.0, 1e-9);
        EXPECT_NEAR(m.Radius[0], (first - corner).Length(), 1e-12);
        EXPECT_NEAR((second - corner).Length(), m.Radius[0], 1e-9);
        EXPECT_NEAR(AngleBetween(first - corner, second - corner), m.Angle, 1e-9);
        EXPECT_NEAR(m.Radius[1], 2.0, 1e-9);
    }
    // A ridge line whose ends coincide has no direction.
    const float point[3] = {1, 1, 1};
    CMeasureData m;
    m.MeasureType = 2;
    m.PointType[0] = m.PointType[1] = 1;
    m.PointLink[0] = m.PointLink[1] = a;
    m.Ridge[0] = RidgeAt(a, topA, {0.2, 0.95, 1});
    m.Ridge[1] = new KytRidgeLine();
    m.Ridge[1]->NearStart = m.Ridge[1]->NearEnd = point;
    WqVector3D first, second, n;
    EXPECT_FALSE(m.GetPoints(first, second, n));
    EXPECT_EQ(m.Angle, 0.0);
}

// Elements on ridge lines need them; a loaded measurement has none. Without both links there
// is nothing to resolve.
TEST_F(CMeasureDataTest, MissingRidgeLinesAndLinks)
{
    KytLink* a = Box({}, 2, 2, 2);
    KytTriangle* top = FaceTriangle(a, {0, 0, 1}, {0, 0, 1});
    const WqVector3D pick(0.2, 0.9, 1);
    for (int type0 : {1, 3, 4}) {
        for (int type1 : {1, 3, 4}) {
            for (int measure : {0, 1, 2}) {
                CMeasureData m;
                m.MeasureType = measure;
                m.PointType[0] = type0;
                m.PointType[1] = type1;
                m.SetPointData(0, a, top, pick, {0, 0, 1});
                m.SetPointData(1, a, top, pick, {0, 0, 1});
                WqVector3D first, second, foot;
                if (type0 != 4 || type1 != 4) {
                    EXPECT_FALSE(m.GetPoints(first, second, foot));
                }
                m.PointLink[1] = nullptr;
                EXPECT_FALSE(m.GetPoints(first, second, foot));
            }
        }
    }
    // Without a ridge line a ridge point and a snapped face point keep the picked position.
    for (int snap : {0, 1, 2}) {
        CMeasureData m;
        m.SnapType = snap;
        m.PointType[0] = 3;
        m.PointType[1] = 4;
        m.SetPointData(0, a, top, pick, {0, 0, 1});
        m.SetPointData(1, a, top, pick, {0, 0, 1});
        EXPECT_EQ(m.Position[0], pick);
        EXPECT_EQ(m.Position[1], pick);
        EXPECT_EQ(m.Normal[1], WqVector3D(0, 0, 1));
    }
}

// Face points combined with their ridge line: snap 1 exchanges the pick and the border point,
// snap 2 moves the element to the nearer end of the border.
TEST_F(CMeasureDataTest, SnappedFacePoints)
{
    KytLink* a = Box({}, 4, 2, 2);
    KytTriangle* top = FaceTriangle(a, {0, 0, 1}, {0, 0, 1});
    const WqVector3D near(-1.5, 0.9, 1), far(1.2, 0.9, 1);
    for (const WqVector3D& pick : {near, far}) {
        CMeasureData m;
        m.PointType[0] = 4;
        m.SnapType = 1;
        m.Ridge[0] = RidgeAt(a, top, pick);
        const WqVector3D border = m.Ridge[0]->NearPoint;
        m.SetPointData(0, a, top, pick, {0, 0, 1});
        EXPECT_EQ(m.Position[0], border);
        EXPECT_EQ(m.Ridge[0]->NearPoint, pick);
        EXPECT_EQ(m.SavedPosition[0], pick);

        CMeasureData s;
        s.PointType[0] = 4;
        s.SnapType = 2;
        s.Ridge[0] = RidgeAt(a, top, pick);
        s.SetPointData(0, a, top, pick, {0, 0, 1});
        EXPECT_EQ(s.Ridge[0]->NearPoint, pick);
        EXPECT_EQ(s.Position[0], WqVector3D(pick.x < 0 ? -2 : 2, 1, 1));
        EXPECT_EQ(s.Normal[0], WqVector3D(0, 0, 1));
    }
}

TEST_F(CMeasureDataTest, CopiesOwnTheirRidgeLines)
{
    KytLink* a = Box({}, 2, 2, 2);
    KytTriangle* top = FaceTriangle(a, {0, 0, 1}, {0, 0, 1});
    auto m = std::make_unique<CMeasureData>();
    m->HostWord = 77;
    m->PointType[0] = 3;
    m->Ridge[0] = RidgeAt(a, top, {0.2, 0.9, 1});
    m->SetPointData(0, a, top, {0.2, 0.9, 1}, {0, 0, 1});
    m->Center[1] = {1, 2, 3};
    m->Radius[1] = 4;

    const CMeasureData byPointer(m.get());
    const CMeasureData byReference(*m);
    CMeasureData assigned;
    assigned.Ridge[1] = RidgeAt(a, top, {0.9, 0.2, 1});
    assigned = *m;
    EXPECT_EQ(byPointer.HostWord, 0);
    EXPECT_EQ(byReference.HostWord, 77);
    EXPECT_EQ(assigned.HostWord, 77);
    for (const CMeasureData* c : {&byPointer, &byReference, static_cast<const CMeasureData*>(&assigned)}) {
        ASSERT_NE(c->Ridge[0], nullptr);
        EXPECT_NE(c->Ridge[0], m->Ridge[0]);
        EXPECT_EQ(c->Ridge[0]->NearPoint, m->Ridge[0]->NearPoint);
        EXPECT_EQ(c->Ridge[0]->NearStart, m->Ridge[0]->NearStart);
        EXPECT_EQ(c->Ridge[1], nullptr);
        EXPECT_EQ(c->Center[1], m->Center[1]);
        EXPECT_EQ(c->Radius[1], 4.0);
        EXPECT_EQ(c->Position[0], m->Position[0]);
        ExpectSameLoadedState(*c, *m);
    }
    m.reset();  // the copies' ridge lines outlive the source
    EXPECT_TRUE(byReference.Ridge[0]->GetLine());
    const CMeasureData none(static_cast<const CMeasureData*>(nullptr));
    EXPECT_EQ(none.PointType[0], 8);

    // Init forgets the picks but keeps the circle centres.
    CMeasureData c(byReference);
    c.Angle = 1;
    c.LabelShown = true;
    c.Init();
    EXPECT_EQ(c.Ridge[0], nullptr);
    EXPECT_EQ(c.PointLink[0], nullptr);
    EXPECT_EQ(c.PointType[0], 8);
    EXPECT_EQ(c.Radius[1], 0.0);
    EXPECT_EQ(c.Angle, 0.0);
    EXPECT_FALSE(c.LabelShown);
    EXPECT_EQ(c.Center[1], WqVector3D(1, 2, 3));

    c.Position[0] = {1, 2, 3};
    c.Position[1] = {-1, 0.5, 4};
    c.SavedPosition[0] = {9, 9, 9};
    c.Scale(2);
    EXPECT_EQ(c.Position[0], WqVector3D(2, 4, 6));
    EXPECT_EQ(c.Position[1], WqVector3D(-2, 1, 8));
    EXPECT_EQ(c.SavedPosition[0], WqVector3D(9, 9, 9));
}

TEST_F(CMeasureDataTest, SearchSameTriFindsTheTwinOfAnotherLink)
{
    KytLink* a = Box({}, 2, 3, 4);
    KytLink* b = Box({9, 9, 9}, 2, 3, 4);
    KytLink* c = Box({}, 2, 3, 5);
    KytLink* bare = model.AddLink("bare");
    CMeasureData m;
    for (int t = 0; t < 12; ++t) {
        m.PointTriangle[1] = &a->pShape->GetRep()->aTriangle[t];
        EXPECT_EQ(m.SearchSameTri(1, b), &b->pShape->GetRep()->aTriangle[t]);
    }
    m.PointTriangle[1] = FaceTriangle(a, {0, 0, 1}, {0, 0, 2});
    EXPECT_EQ(m.SearchSameTri(1, c), nullptr);
    EXPECT_EQ(m.SearchSameTri(1, bare), nullptr);
    EXPECT_EQ(m.SearchSameTri(1, nullptr), nullptr);
    EXPECT_EQ(m.SearchSameTri(2, b), nullptr);
    EXPECT_EQ(m.SearchSameTri(0, b), nullptr);
}

// ---- the text block ----

// A link with the given uID and one triangle.
KytLink* TriangleLink(KytModel& model, unsigned id, std::array<KytPoint, 3> corners)
{
    KytLink* l = model.AddLink("tri");
    l->uID = id;
    model.SetShape(l, model.AddShape(KytBuild::IndexedRep(
                          {corners[0], corners[1], corners[2]}, {}, {{0, 1, 2, -1, -1, -1}})));
    return l;
}

const char* const kExample =
    "  MeasureData {\n"
    "   Type 0\n"
    "   Snap 0\n"
    "   PointData0 {\n"
    "    ID 12\n"
    "    Type 4\n"
    "    Position 10 20.5 -3\n"
    "    Normal 0 0 1\n"
    "    Faceset {\n"
    "     Vertex0 0 0 0\n"
    "     Vertex1 10 0 0\n"
    "     Vertex2 0 10 0\n"
    "    }\n"
    "   }\n"
    "   PointData1 {\n"
    "    ID 15\n"
    "    Type 3\n"
    "    Position 40 20.5 -3\n"
    "    Normal 0 0 0\n"
    "   }\n"
    "  }\n";

TEST_F(CMeasureDataTest, ExampleLoadsAndSavesAgainAsWritten)
{
    KytLink* a = TriangleLink(model, 12, {KytPoint{0, 0, 0}, {10, 0, 0}, {0, 10, 0}});
    KytLink* b = TriangleLink(model, 15, {KytPoint{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    CMeasureData m;
    ASSERT_EQ(LoadText(m, kExample), 0);
    EXPECT_EQ(m.PointLink[0], a);
    EXPECT_EQ(m.PointLink[1], b);
    EXPECT_EQ(m.PointTriangle[0], &a->pShape->GetRep()->aTriangle[0]);
    EXPECT_EQ(m.PointTriangle[1], nullptr);
    EXPECT_EQ(m.PointType[0], 4);
    EXPECT_EQ(m.PointType[1], 3);
    EXPECT_EQ(m.SavedPosition[1], WqVector3D(40, 20.5, -3));
    EXPECT_EQ(m.Position[1], WqVector3D());  // only the saved values are read
    EXPECT_EQ(Saved(m), kExample);
    // The caller may have read the keyword and the brace already.
    CMeasureData n;
    const std::string text = kExample;
    ASSERT_EQ(LoadText(n, text.substr(text.find('{') + 1)), 0);
    ExpectSameLoadedState(n, m);
}

// Type mappings of Save, and what a block leaves alone.
TEST_F(CMeasureDataTest, SaveMapsOutOfRangeTypes)
{
    KytLink* a = TriangleLink(model, 3, {KytPoint{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    CMeasureData m;
    m.MeasureType = 7;
    m.SnapType = -5;
    m.PointLink[0] = a;  // PointType still 8
    const std::string text = Saved(m);
    EXPECT_EQ(text,
              "  MeasureData {\n   Type 0\n   Snap -5\n   PointData0 {\n    ID 3\n    Type 4\n"
              "    Position 0 0 0\n    Normal 0 0 0\n   }\n  }\n");
    CMeasureData n;
    n.PointType[1] = 6;
    n.SavedPosition[1] = {1, 2, 3};
    ASSERT_EQ(LoadText(n, text), 0);
    EXPECT_EQ(n.PointType[0], 4);
    EXPECT_EQ(n.PointType[1], 6);
    EXPECT_EQ(n.SavedPosition[1], WqVector3D(1, 2, 3));
    EXPECT_EQ(n.SnapType, -5);
}

// Numbers that are no short decimals come back bit-identical, triangles match exactly, and
// the text ignores the stream's locale and precision.
TEST_F(CMeasureDataTest, RoundTripsAreBitIdentical)
{
    std::mt19937 rng(21);
    std::uniform_real_distribution<double> u(-1000, 1000);
    std::uniform_int_distribution<int> pickSpecial(0, 9);
    const double specials[] = {1.0 / 3, -0.0, 1e-300, 1e300, -1e300, 123.4567,
                               1000.1f, 0.1, -2.0 / 3, 5e-324};
    // Vertices that are no short decimals.
    std::vector<KytLink*> links;
    for (int i = 0; i < 4; ++i) {
        std::array<KytPoint, 3> c;
        for (auto& p : c)
            p = {static_cast<float>(u(rng) / 3), 1000.1f * (i + 1), static_cast<float>(1.0 / 3)};
        c[1].z = 123.4567f;
        links.push_back(TriangleLink(model, 100 + i, c));
    }
    struct CommaPunct : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
        char do_thousands_sep() const override { return '.'; }
        std::string do_grouping() const override { return "\3"; }
    };
    for (int round = 0; round < 40; ++round) {
        CMeasureData m;
        m.MeasureType = round % 5;
        m.SnapType = round % 3;
        const auto value = [&] {
            return round % 2 ? specials[pickSpecial(rng)] : u(rng) / 7;
        };
        for (int i = 0; i < 2; ++i) {
            if (round % 4 == 3 && i == 1)
                continue;
            m.PointLink[i] = links[(round + i) % links.size()];
            m.PointType[i] = (round + i) % 8;
            m.PointTriangle[i] = round % 3 ? &m.PointLink[i]->pShape->GetRep()->aTriangle[0]
                                           : nullptr;
            m.SavedPosition[i] = {value(), value(), value()};
            m.SavedNormal[i] = {value(), value(), value()};
        }
        const std::string text = Saved(m);
        std::ostringstream odd;
        odd.imbue(std::locale(std::locale::classic(), new CommaPunct));
        odd.precision(3);
        m.Save(odd);
        EXPECT_EQ(odd.str(), text);

        CMeasureData n;
        ASSERT_EQ(LoadText(n, text), 0) << text;
        ExpectSameLoadedState(n, m);
        EXPECT_EQ(Saved(n), text);
    }
    // Short values keep their short form.
    CMeasureData m;
    m.PointLink[0] = links[0];
    m.SavedPosition[0] = {10, 20.5, -3};
    m.SavedNormal[0] = {-0.0, 1e-300, 1e300};
    const std::string text = Saved(m);
    EXPECT_NE(text.find("    Position 10 20.5 -3\n"), std::string::npos);
    EXPECT_NE(text.find("    Normal -0 1e-300 1e+300\n"), std::string::npos);
}

// Face vertices match within the float epsilon, in any order; a vertex off by more fails.
TEST_F(CMeasureDataTest, FaceVerticesMatchInAnyOrder)
{
    KytLink* a = TriangleLink(model, 5, {KytPoint{1, 2, 3}, {4, 5, 6}, {7, 8, 10}});
    TriangleLink(model, 6, {KytPoint{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    const std::string head = "MeasureData { PointData0 { ID 5 Faceset { ";
    const struct {
        const char* vertices;
        bool found;
    } cases[] = {
        {"Vertex0 1 2 3 Vertex1 4 5 6 Vertex2 7 8 10", true},
        {"Vertex0 7 8 10 Vertex1 1 2 3 Vertex2 4 5 6", true},
        {"Vertex2 1 2 3 Vertex1 4 5 6 Vertex0 7 8 10", true},
        {"Vertex0 4 5 6 Vertex1 7 8 10 Vertex2 1 2 3 Other 9", true},
        {"Vertex0 1.0000001 2 3 Vertex1 4 5 6 Vertex2 7 8 10", true},
        {"Vertex0 1.0000002 2 3 Vertex1 4 5 6 Vertex2 7 8 10", false},
        {"Vertex0 1 2 3 Vertex1 4 5 6", false},
        {"Vertex0 1 2 3 Vertex1 4 5 6 Vertex2 7 8 10.001", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vertices);
        CMeasureData m;
        const int r = LoadText(m, head + c.vertices + " } } }");
        EXPECT_EQ(r, c.found ? 0 : -1);
        EXPECT_EQ(m.PointTriangle[0], c.found ? &a->pShape->GetRep()->aTriangle[0] : nullptr);
    }
}

// Bad input: -1 and the object exactly as before. Types out of range are read and ignored.
TEST_F(CMeasureDataTest, BadInputLeavesTheObjectUnchanged)
{
    KytLink* a = TriangleLink(model, 12, {KytPoint{0, 0, 0}, {10, 0, 0}, {0, 10, 0}});
    KytLink* b = TriangleLink(model, 15, {KytPoint{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    const auto prior = [&] {
        CMeasureData m;
        m.MeasureType = 3;
        m.SnapType = 2;
        m.PointType[0] = 6;
        m.PointType[1] = 1;
        m.PointLink[1] = a;
        m.PointTriangle[1] = &a->pShape->GetRep()->aTriangle[0];
        m.SavedPosition[0] = {1.0 / 3, 2, 3};
        m.SavedNormal[1] = {0, 1, 0};
        return m;
    };
    const CMeasureData reference = prior();

    // Cut at every token boundary: the block is unfinished.
    std::vector<std::string> tokens;
    {
        std::istringstream in(kExample);
        TOKEN t(in);
        while (t.GetToken() >= 0)
            tokens.push_back(t.szToken);
    }
    std::string cut;
    for (size_t k = 0; k < tokens.size(); ++k) {
        SCOPED_TRACE(cut);
        CMeasureData m = prior();
        EXPECT_EQ(LoadText(m, cut), -1);
        ExpectSameLoadedState(m, reference);
        cut += tokens[k] + " ";
    }
    {
        CMeasureData m = prior();
        EXPECT_EQ(LoadText(m, cut), 0);
    }

    const char* const bad[] = {
        "MeasureData { PointData0 { Faceset { Vertex0 0 0 0 Vertex1 10 0 0 Vertex2 0 10 0 } "
        "ID 12 } }",
        "MeasureData { PointData0 { ID 99 } }",
        "MeasureData { PointData0 { ID -12 } }",
        "MeasureData { PointData0 { ID twelve } }",
        "MeasureData { Type x }",
        "MeasureData { Type 1.5 }",
        "MeasureData { Snap }",
        "MeasureData { Snap 99999999999 }",
        "MeasureData { Type 1 PointData0 { ID 12 Type y } }",
        "MeasureData { PointData0 { ID 12 Position 1 2 } }",
        "MeasureData { PointData0 { ID 12 Position 1 2 z } }",
        "MeasureData { PointData0 { ID 12 Normal 1,5 2 3 } }",
        "MeasureData { PointData0 ID 12 } }",
        "MeasureData { PointData1 }",
        "MeasureData { PointData0 { ID 12 Faceset Vertex0 0 0 0 } } }",
        "MeasureData { PointData0 { ID 12 Faceset { Vertex0 0 0 0 Vertex1 10 0 0 "
        "Vertex2 0 10 1 } } }",
        "MeasureData { PointData0 { ID 12 Faceset { Vertex0 0 0 } } }",
        "MeasureData { PointData0 { ID 12 Type 4 Faceset { Vertex0 0 0 0 Vertex1 10 0 0 "
        "Vertex2 0 10 0 } } PointData1 { ID 15 Position 1 2 3 ID 77 } }",
        "",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        CMeasureData m = prior();
        EXPECT_EQ(LoadText(m, text), -1);
        ExpectSameLoadedState(m, reference);
    }

    // Types 9 and 5 are read and ignored; unknown words are skipped.
    CMeasureData m = prior();
    ASSERT_EQ(LoadText(m, "MeasureData { Type 5 Colour red PointData1 { Type 9 Extra 1 2 ID 15 "
                          "Type -1 } Type 4 Snap 0 }"),
              0);
    EXPECT_EQ(m.MeasureType, 4);
    EXPECT_EQ(m.SnapType, 0);
    EXPECT_EQ(m.PointType[1], 1);
    EXPECT_EQ(m.PointLink[1], b);
    EXPECT_EQ(m.PointType[0], 6);
    EXPECT_EQ(m.PointLink[0], nullptr);
    EXPECT_EQ(m.PointTriangle[1], &a->pShape->GetRep()->aTriangle[0]);
}
}  // namespace
