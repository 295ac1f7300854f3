#include "scene/annotation/KytEdge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "platform/kernel/KytModel.h"

namespace {
constexpr double kPi = 3.14159265358979323846;

KytLink* LinkWith(KytModel& model, std::unique_ptr<KytShapeRep> rep)
{
    KytLink* link = model.AddLink("part");
    model.SetShape(link, model.AddShape(std::move(rep)));
    return link;
}

// The upward-facing triangle whose xy projection holds (x, y).
const KytTriangle* TopTriangleAt(const KytLink* link, double x, double y)
{
    const KytShapeRep* rep = link->pShape->GetRep();
    for (unsigned i = 0; i < rep->GetTriangleCount(); ++i) {
        const KytTriangle& t = rep->GetTriangles()[i];
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

// Plates with two holes of other radii, indexed and with a vertex set per face: a pick on the
// top face just outside either rim finds that hole.
TEST(KytEdge, PickNearEitherRimFindsThatHole)
{
    const double thick = 10.0;
    const std::vector<double> radii = {30.0, 15.0};
    for (int segments : {16, 32, 48}) {
        KytModel model;
        KytLink* link = LinkWith(model, KytBuild::IndexedPlateRep(100, thick, radii, segments));
        for (int hole = 0; hole < 2; ++hole) {
            const double ox = -50.0 + 100.0 * hole;
            for (int step = 0; step < 7; ++step) {
                const double angle = 0.3 + step * 0.87;
                const double rr = radii[hole] * 1.08 + 1.0;
                const double px = ox + rr * std::cos(angle), py = rr * std::sin(angle);
                SCOPED_TRACE(testing::Message() << "segments " << segments << " hole " << hole
                                                << " angle " << angle);
                const KytTriangle* tri = TopTriangleAt(link, px, py);
                ASSERT_NE(tri, nullptr);
                KytEdge edge(link, tri, {px, py, thick});
                WqVector3D centre, point;
                double radius = 0;
                ASSERT_TRUE(edge.CalcCircle(centre, radius, point));
                EXPECT_NEAR(centre.x, ox, 1e-3);
                EXPECT_NEAR(centre.y, 0.0, 1e-3);
                EXPECT_NEAR(centre.z, thick, 1e-3);
                EXPECT_NEAR(radius, radii[hole], 1e-3);
                EXPECT_NEAR((point - centre).Length(), radii[hole], 1e-3);
                WqVector3D normal;
                ASSERT_TRUE(edge.GetNormal(normal));
                EXPECT_NEAR(normal.z, 1.0, 1e-6);
            }
        }
    }
}

TEST(KytEdge, PerFacePlateFindsItsHole)
{
    KytModel model;
    KytLink* link = LinkWith(model, KytBuild::PlateWithHoleRep(200, 10, 30, 32));
    const KytTriangle* tri = TopTriangleAt(link, 33.0, 5.0);
    ASSERT_NE(tri, nullptr);
    KytEdge edge(link, tri, {33.0, 5.0, 10.0});
    WqVector3D centre, point;
    double radius = 0;
    ASSERT_TRUE(edge.CalcCircle(centre, radius, point));
    EXPECT_NEAR(radius, 30.0, 1e-3);
    EXPECT_NEAR(centre.x, 0.0, 1e-3);
    EXPECT_NEAR(centre.y, 0.0, 1e-3);
}

TEST(KytEdge, RadiusLimits)
{
    KytModel model;
    KytLink* link = LinkWith(model, KytBuild::IndexedPlateRep(100, 10, {30.0}, 32));
    const KytTriangle* tri = TopTriangleAt(link, 34.0, 3.0);
    ASSERT_NE(tri, nullptr);
    WqVector3D centre, point;
    double radius = 0;
    // A circle larger than the link's bounding radius is refused.
    link->fRadius = 29.0f;
    KytEdge small(link, tri, {34.0, 3.0, 10.0});
    EXPECT_FALSE(small.CalcCircle(centre, radius, point));
    EXPECT_EQ(radius, 0.0);
    link->fRadius = 30.5f;
    KytEdge enough(link, tri, {34.0, 3.0, 10.0});
    EXPECT_TRUE(enough.CalcCircle(centre, radius, point));
}

// The circumcentre by the textbook formula, independent of the barycentric weights.
TEST(KytEdge, CalcCircleParameterMatchesCircumcentre)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-50, 50);
    for (int i = 0; i < 200; ++i) {
        const WqVector3D a(u(rng), u(rng), u(rng)), b(u(rng), u(rng), u(rng)),
            c(u(rng), u(rng), u(rng));
        const WqVector3D ab = b - a, ac = c - a, n = ab.Cross(ac);
        if (n.Length() < 1.0)
            continue;
        const WqVector3D expect =
            a + (n.Cross(ab) * ac.Length2() + ac.Cross(n) * ab.Length2()) * (1.0 / (2 * n.Length2()));
        double r = 0;
        WqVector3D cen;
        ASSERT_TRUE(CalcCircleParameter(a, b, c, r, cen));
        EXPECT_NEAR((cen - expect).Length(), 0.0, 1e-6 * (1 + expect.Length()));
        EXPECT_NEAR(r, (a - expect).Length(), 1e-6 * (1 + r));
    }
    struct Case {
        WqVector3D a, b, c;
    };
    const Case bad[] = {{{0, 0, 0}, {1, 1, 1}, {2, 2, 2}},
                        {{1, 2, 3}, {1, 2, 3}, {4, 5, 6}},
                        {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}};
    for (const Case& c : bad) {
        double r = -1;
        WqVector3D cen(9, 9, 9);
        EXPECT_FALSE(CalcCircleParameter(c.a, c.b, c.c, r, cen));
    }
}

TEST(KytEdge, MakeAxisRotMatrixMatchesQuaternion)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int i = 0; i < 100; ++i) {
        WqVector3D axis(u(rng), u(rng), u(rng));
        if (axis.Length() < 0.1)
            continue;
        axis = axis * (1.0 / axis.Length());
        const double angle = u(rng) * kPi * 2;
        WqMatrix33D m;
        MakeAxisRotMatrix(angle, axis, m);
        const double w = std::cos(angle / 2), s = std::sin(angle / 2);
        const WqVector3D q = axis * s;
        const WqVector3D v(u(rng), u(rng), u(rng));
        // v' = v + 2w (q x v) + 2 q x (q x v)
        const WqVector3D qv = q.Cross(v);
        const WqVector3D expect = v + qv * (2 * w) + q.Cross(qv) * 2.0;
        const WqVector3D got = m.Multi(v);
        EXPECT_NEAR((got - expect).Length(), 0.0, 1e-12);
    }
}

TEST(KytEdge, PairTest)
{
    // Square split into two right isosceles triangles; a 2 x 1 rectangle gives scalene ones.
    struct Case {
        const char* name;
        double w, h;
        bool oneNormal;
        bool expect;
    };
    const Case cases[] = {{"square", 1, 1, true, true},
                          {"rectangle", 2, 1, true, false},
                          {"square, two normals", 1, 1, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<KytPoint> v = {{0, 0, 0}, {float(c.w), 0, 0}, {float(c.w), float(c.h), 0},
                                         {0, float(c.h), 0}};
        const std::vector<KytPoint> n = {{0, 0, 1}, {0, 0, 1}};
        const int n2 = c.oneNormal ? 0 : 1;
        auto rep = KytBuild::IndexedRep(v, n, {{0, 1, 2, 0, 0, 0}, {0, 2, 3, n2, n2, n2}});
        EXPECT_EQ(KytEdge::IsFlatPair(&rep->aTriangle[0], &rep->aTriangle[1]), c.expect);
    }
    // The kernel's boxes keep one normal record a face, so their faces pass.
    auto box = KytBuild::BoxRep(2, 2, 2);
    int pairs = 0;
    for (unsigned i = 0; i < box->GetTriangleCount(); ++i)
        for (unsigned j = i + 1; j < box->GetTriangleCount(); ++j)
            if (box->aTriangle[i].pNormal[0] == box->aTriangle[j].pNormal[0])
                pairs += KytEdge::IsFlatPair(&box->aTriangle[i], &box->aTriangle[j]) ? 1 : 0;
    EXPECT_EQ(pairs, 6);
}

// A triangle with five edge neighbours (a fan of triangles over one edge): the query looks at
// the picked triangle and the first three neighbours in array order only.
TEST(KytEdge, NonManifoldPickUsesFirstThreeNeighbours)
{
    std::vector<KytPoint> v = {{0, 0, 0}, {1, 0, 0}, {0.5f, 1, 0}};
    std::vector<std::array<int, 6>> t = {{0, 1, 2, -1, -1, -1}};
    for (int i = 0; i < 5; ++i) {
        const double a = 0.4 + i * 0.5;
        v.push_back({0.5f, float(-std::cos(a)), float(std::sin(a))});
        t.push_back({1, 0, int(v.size()) - 1, -1, -1, -1});
    }
    KytModel model;
    KytLink* link = LinkWith(model, KytBuild::IndexedRep(v, {}, t));
    const KytShapeRep* rep = link->pShape->GetRep();
    KytEdge edge(link, &rep->aTriangle[0], {0.5, 0.3, 0});
    WqVector3D centre, point;
    double radius = 0;
    edge.CalcCircle(centre, radius, point);
    ASSERT_EQ(edge.Neighbours.GetCount(), 6);
    for (int s = 0; s < KytEdge::kSlots; ++s) {
        EXPECT_EQ(edge.Neighbours.Get(s), &rep->aTriangle[s]);
        EXPECT_EQ(edge.PointShared[s].GetHead(), &rep->aTriangle[s]) << s;
        EXPECT_NE(edge.EdgeStart[s], nullptr);
    }
}

// A second query on the same object starts from empty lists and unset edge ends.
TEST(KytEdge, SetDataStartsClean)
{
    KytModel model;
    KytLink* link = LinkWith(model, KytBuild::IndexedPlateRep(100, 10, {30.0}, 32));
    const KytTriangle* tri = TopTriangleAt(link, 34.0, 3.0);
    KytEdge edge(link, tri, {34.0, 3.0, 10.0});
    WqVector3D centre, point;
    double radius = 0;
    ASSERT_TRUE(edge.CalcCircle(centre, radius, point));
    KytLink* other = LinkWith(model, KytBuild::BoxRep(1, 1, 1));
    edge.SetData(other, &other->pShape->GetRep()->aTriangle[0], {0, 0, 0});
    EXPECT_TRUE(edge.Neighbours.IsEmpty());
    for (int s = 0; s < KytEdge::kSlots; ++s) {
        EXPECT_EQ(edge.EdgeStart[s], nullptr);
        EXPECT_EQ(edge.EdgeEnd[s], nullptr);
        EXPECT_TRUE(edge.PointShared[s].IsEmpty());
        EXPECT_TRUE(edge.Coplanar[s].IsEmpty());
        EXPECT_TRUE(edge.Others[s].IsEmpty());
        EXPECT_TRUE(edge.Segments[s].IsEmpty());
        EXPECT_TRUE(edge.Lines[s].IsEmpty());
    }
    WqVector3D n;
    EXPECT_FALSE(edge.GetNormal(n));
}

// Segments chain into polylines by coordinates; a closed loop starts and ends at one point;
// the nearest polyline of three or more points comes first and a tie keeps the earlier one.
TEST(KytEdge, EdgeLinesAndSort)
{
    static const float p[][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                 {5, 0, 0}, {6, 0, 0}, {6, 1, 0}, {5, 1, 0}};
    // A copy of point 0 at another address still joins.
    static const float p0copy[3] = {0, 0, 0};
    KytEdge edge;
    edge.PickPoint = WqVector3D(5.5, -1, 0);
    KytStack<KytSeg> segs;
    segs.Append(new KytSeg{p[0], p[1]});
    segs.Append(new KytSeg{p[2], p[3]});
    segs.Append(new KytSeg{p[1], p[2]});
    segs.Append(new KytSeg{p[3], p0copy});
    segs.Append(new KytSeg{p[4], p[5]});
    segs.Append(new KytSeg{p[6], p[5]});
    KytStack<KytLines> lines;
    edge.GetEdgeLine(segs, lines);
    EXPECT_TRUE(segs.IsEmpty());
    ASSERT_EQ(lines.GetCount(), 2);
    int n = 0;
    const KytLines* l = lines.Get(0);
    const float* first = l->point;
    const float* last = nullptr;
    for (; l; l = l->next, ++n)
        last = l->point;
    EXPECT_EQ(n, 5);
    EXPECT_TRUE(KytEdge::SamePoint(first, last));
    ASSERT_TRUE(edge.SortLine(lines));
    EXPECT_TRUE(KytEdge::SamePoint(lines.GetHead()->point, p[4]) ||
                KytEdge::SamePoint(lines.GetHead()->point, p[6]));
    edge.ClearLine(lines);
    EXPECT_FALSE(edge.SortLine(lines));
}
}  // namespace
