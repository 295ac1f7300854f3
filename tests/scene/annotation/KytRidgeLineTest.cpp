#include "scene/annotation/KytRidgeLine.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "platform/kernel/KytModel.h"

namespace {
using Edge = std::pair<const float*, const float*>;

KytLink* LinkWith(KytModel& model, std::unique_ptr<KytShapeRep> rep)
{
    KytLink* link = model.AddLink("part");
    model.SetShape(link, model.AddShape(std::move(rep)));
    return link;
}

const float* V(const KytTriangle& t, int k) { return t.pVertex[k]->fv(); }

std::vector<std::vector<Edge>> Chains(const KytRidgeLine& r)
{
    std::vector<std::vector<Edge>> out;
    for (const CElemBorder* c : r.BorderChains) {
        out.emplace_back();
        for (const CElemBorder* b = c; b; b = b->pNext)
            out.back().push_back({b->pStart, b->pEnd});
    }
    return out;
}

// A plain transcription of the border search: record selection, the edge look-through over
// later records, borders pushed at the head, chains joined by list walks.
std::vector<std::vector<Edge>> PlainBorders(const KytLink* link, const KytTriangle* pick)
{
    const KytShapeRep* rep = link->pShape->GetRep();
    const float* pn = pick->pFaceNormal->fv();
    auto offsetOf = [](const KytTriangle* t, const float* n) {
        float c[3];
        for (int i = 0; i < 3; ++i)
            c[i] = (V(*t, 0)[i] + V(*t, 1)[i] + V(*t, 2)[i]) * 0.33333334f;
        return n[0] * c[0] + n[1] * c[1] + n[2] * c[2];
    };
    const float offset = offsetOf(pick, pn);
    struct Rec {
        const KytTriangle* t;
        bool f[3];
    };
    std::vector<Rec> recs = {{pick, {false, false, false}}};
    for (unsigned i = 0; i < rep->GetTriangleCount(); ++i) {
        const KytTriangle* t = &rep->aTriangle[i];
        if (t == pick)
            continue;
        const float* f = t->pFaceNormal->fv();
        if (std::fabs(pn[0] * f[0] + pn[1] * f[1] + pn[2] * f[2]) >= 0.9998476951563913 &&
            std::fabs(offsetOf(t, f) - offset) < 0.1f)
            recs.push_back({t, {false, false, false}});
    }
    for (size_t i = 0; i < recs.size(); ++i) {
        for (int e = 0; e < 3; ++e) {
            if (recs[i].f[e])
                continue;
            const float* a = V(*recs[i].t, e);
            const float* b = V(*recs[i].t, (e + 1) % 3);
            for (size_t j = i + 1; j < recs.size() && !recs[i].f[e]; ++j)
                for (int g = 0; g < 3; ++g) {
                    if (recs[j].f[g])
                        continue;
                    const float* c = V(*recs[j].t, g);
                    const float* d = V(*recs[j].t, (g + 1) % 3);
                    if ((c == a && d == b) || (c == b && d == a)) {
                        recs[j].f[g] = recs[i].f[e] = true;
                        break;
                    }
                }
        }
    }
    std::vector<Edge> loose;  // head first
    for (const Rec& r : recs)
        for (int e = 0; e < 3; ++e)
            if (!r.f[e])
                loose.insert(loose.begin(), {V(*r.t, e), V(*r.t, (e + 1) % 3)});
    std::vector<std::vector<Edge>> chains;  // head first
    while (!loose.empty()) {
        std::vector<Edge> chain = {loose.front()};
        loose.erase(loose.begin());
        for (bool found = true; found;) {
            found = false;
            for (size_t i = 0; i < loose.size(); ++i)
                if (loose[i].first == chain.back().second) {
                    chain.push_back(loose[i]);
                    loose.erase(loose.begin() + long(i));
                    found = true;
                    break;
                }
        }
        for (bool found = true; found;) {
            found = false;
            for (size_t i = 0; i < loose.size(); ++i)
                if (loose[i].second == chain.front().first) {
                    chain.insert(chain.begin(), loose[i]);
                    loose.erase(loose.begin() + long(i));
                    found = true;
                    break;
                }
        }
        chains.insert(chains.begin(), chain);
    }
    return chains;
}

// A plain transcription of the crease scan: per vertex, every triangle in order.
std::vector<const float*> PlainRidgePoints(const KytLink* link)
{
    const KytShapeRep* rep = link->pShape->GetRep();
    std::vector<const float*> out;  // head first
    for (unsigned v = 0; v < rep->GetVertexCount(); ++v) {
        const KytPoint* vp = &rep->aVertex[v];
        const KytPoint* ref = nullptr;
        bool smooth = false, crease = false;
        for (unsigned i = 0; i < rep->GetTriangleCount() && !crease; ++i) {
            const KytTriangle& t = rep->aTriangle[i];
            int k = 0;
            while (k < 3 && t.pVertex[k] != vp)
                ++k;
            if (k == 3 || !t.pNormal[k])
                continue;
            if (!ref)
                ref = t.pNormal[k];
            else if (t.pNormal[k] != ref)
                crease = true;
            else
                smooth = true;
        }
        if (crease || !smooth)
            out.insert(out.begin(), vp->fv());
    }
    return out;
}

const KytTriangle* FirstTopTriangle(const KytLink* link)
{
    const KytShapeRep* rep = link->pShape->GetRep();
    for (const KytTriangle& t : rep->aTriangle)
        if (t.pFaceNormal->z > 0.99f)
            return &t;
    return nullptr;
}

TEST(KytRidgeLine, IndexedPlateTopFaceHasThreeClosedChains)
{
    KytModel model;
    KytLink* link = LinkWith(model, KytBuild::IndexedPlateRep(100, 10, {30.0, 15.0}, 32));
    const KytTriangle* pick = FirstTopTriangle(link);
    KytRidgeLine ridge(link, pick, {0, 0, 10});
    ASSERT_TRUE(ridge.CalcBorder());
    const auto chains = Chains(ridge);
    ASSERT_EQ(chains.size(), 3u);
    // Brute force: top-face edges used once, by pointer, with their winding.
    std::map<std::pair<const float*, const float*>, int> uses;
    std::vector<Edge> directed;
    for (const KytTriangle& t : link->pShape->GetRep()->aTriangle) {
        if (t.pFaceNormal->z < 0.99f)
            continue;
        for (int e = 0; e < 3; ++e) {
            const float *a = V(t, e), *b = V(t, (e + 1) % 3);
            ++uses[std::minmax(a, b)];
            directed.push_back({a, b});
        }
    }
    std::multiset<Edge> expect, got;
    for (const Edge& e : directed)
        if (uses[std::minmax(e.first, e.second)] == 1)
            expect.insert(e);
    std::vector<size_t> sizes;
    for (const auto& c : chains) {
        EXPECT_EQ(c.back().second, c.front().first) << "chain closes";
        for (size_t i = 1; i < c.size(); ++i)
            EXPECT_EQ(c[i - 1].second, c[i].first);
        got.insert(c.begin(), c.end());
        sizes.push_back(c.size());
    }
    EXPECT_EQ(got, expect);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<size_t>{32, 32, 2 * (32 - 8)}));
}

TEST(KytRidgeLine, OnePassMatchesPlainTranscriptionOnRandomMeshes)
{
    std::mt19937 rng(11);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        // A 4 x 4 grid on z = 0 plus a few points off the plane; random triangles reuse grid
        // points, so edges are shared by two, three or more triangles.
        std::vector<KytPoint> v;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                v.push_back({float(x), float(y), 0});
        v.push_back({1.5f, 1.5f, 2});
        v.push_back({0.5f, 2.5f, 0.05f});
        std::vector<KytPoint> normals(4, KytPoint{0, 0, 1});
        std::uniform_int_distribution<int> pickV(0, int(v.size()) - 1), pickN(-1, 3);
        std::vector<std::array<int, 6>> tris;
        while (tris.size() < 40) {
            const int a = pickV(rng), b = pickV(rng), c = pickV(rng);
            const KytPoint &pa = v[a], &pb = v[b], &pc = v[c];
            const double cz = (pb.x - pa.x) * (pc.y - pa.y) - (pb.y - pa.y) * (pc.x - pa.x);
            if (a == b || b == c || a == c || std::fabs(cz) < 0.5)
                continue;
            tris.push_back({a, b, c, pickN(rng), pickN(rng), pickN(rng)});
            if (rng() % 4 == 0)  // the same triangle again, either way round
                tris.push_back({c, b, a, pickN(rng), pickN(rng), pickN(rng)});
        }
        KytModel model;
        KytLink* link = LinkWith(model, KytBuild::IndexedRep(v, normals, tris));
        const KytShapeRep* rep = link->pShape->GetRep();
        const KytTriangle* pick = &rep->aTriangle[rng() % rep->GetTriangleCount()];
        if (std::fabs(pick->pFaceNormal->z) < 0.99f)
            pick = FirstTopTriangle(link);
        KytRidgeLine ridge(link, pick, {1, 1, 0});
        ASSERT_TRUE(ridge.CalcBorder());
        EXPECT_EQ(Chains(ridge), PlainBorders(link, pick));
        EXPECT_TRUE(ridge.LooseBorders.IsEmpty());
        ridge.Get(link);
        std::vector<const float*> points;
        for (const float* p : ridge.RidgePoints)
            points.push_back(p);
        EXPECT_EQ(points, PlainRidgePoints(link));
    }
}

TEST(KytRidgeLine, CreasesOfTheIndexedPlate)
{
    KytModel model;
    KytLink* link = LinkWith(model, KytBuild::IndexedPlateRep(100, 10, {30.0}, 16));
    KytRidgeLine ridge;
    ridge.Get(link);
    // Every vertex of the plate lies on a crease (top or bottom meets a wall).
    EXPECT_EQ(ridge.RidgePoints.GetCount(), int(link->pShape->GetRep()->GetVertexCount()));
    std::vector<const float*> points;
    for (const float* p : ridge.RidgePoints)
        points.push_back(p);
    EXPECT_EQ(points, PlainRidgePoints(link));
}

// Brute force: the least foot distance over every border of every chain.
TEST(KytRidgeLine, GetSegMatchesBruteForce)
{
    KytModel model;
    KytLink* link = LinkWith(model, KytBuild::IndexedPlateRep(100, 10, {30.0, 15.0}, 32));
    const KytTriangle* pick = FirstTopTriangle(link);
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> ux(-100, 100), uy(-50, 50);
    int found = 0;
    for (int i = 0; i < 200; ++i) {
        const WqVector3D p(ux(rng), uy(rng), 10);
        KytRidgeLine ridge(link, pick, p);
        ASSERT_TRUE(ridge.CalcBorder());
        double best = DBL_MAX;
        const CElemBorder* bestBorder = nullptr;
        const CElemBorder* bestChain = nullptr;
        WqVector3D bestFoot;
        for (const CElemBorder* c : ridge.BorderChains)
            for (const CElemBorder* b = c; b; b = b->pNext) {
                const WqVector3D s(b->pStart[0], b->pStart[1], b->pStart[2]);
                const WqVector3D e(b->pEnd[0], b->pEnd[1], b->pEnd[2]);
                const double len2 = (e - s).Length2();
                const double t = (p - s).Dot(e - s) / len2;
                if (t < 0 || t > 1)
                    continue;
                const WqVector3D f = s + (e - s) * t;
                if ((p - f).Length() < best) {
                    best = (p - f).Length();
                    bestBorder = b;
                    bestChain = c;
                    bestFoot = f;
                }
            }
        const bool ok = ridge.GetSeg();
        EXPECT_EQ(ok, bestBorder != nullptr);
        if (!ok || !bestBorder)
            continue;
        ++found;
        EXPECT_EQ(ridge.NearStart, bestBorder->pStart);
        EXPECT_EQ(ridge.NearEnd, bestBorder->pEnd);
        EXPECT_NEAR((ridge.NearPoint - bestFoot).Length(), 0.0, 1e-9);
        EXPECT_EQ(ridge.BorderChains.GetHead(), bestChain);
    }
    EXPECT_GT(found, 150);
}

TEST(KytRidgeLine, GetSegEdgeCases)
{
    KytModel model;
    KytLink* link = LinkWith(model, KytBuild::IndexedPlateRep(100, 10, {30.0}, 16));
    const KytTriangle* pick = FirstTopTriangle(link);
    KytRidgeLine probe(link, pick, {0, 0, 10});
    ASSERT_TRUE(probe.CalcBorder());
    const CElemBorder* b = probe.BorderChains.Get(1);
    ASSERT_NE(b, nullptr);
    // A pick on a border's start takes that border at once, without reordering in GetCircle.
    KytRidgeLine at(link, pick, {b->pStart[0], b->pStart[1], b->pStart[2]});
    ASSERT_TRUE(at.CalcBorder());
    const CElemBorder* headBefore = at.BorderChains.GetHead();
    CElemCircle circle;
    ASSERT_TRUE(at.GetCircle(&circle));
    EXPECT_EQ(at.NearStart, b->pStart);
    EXPECT_EQ(at.BorderChains.GetHead(), headBefore);
    // A pick whose foot lies beyond every border's ends.
    KytRidgeLine far(link, pick, {500, 500, 10});
    ASSERT_TRUE(far.CalcBorder());
    EXPECT_FALSE(far.GetSeg());
    EXPECT_FALSE(far.GetCircle(&circle));
    KytRidgeLine none;
    EXPECT_FALSE(none.GetSeg());
}

TEST(KytRidgeLine, CopyKeepsOnlyTheFirstChain)
{
    KytModel model;
    KytLink* link = LinkWith(model, KytBuild::IndexedPlateRep(100, 10, {30.0, 15.0}, 16));
    const KytTriangle* pick = FirstTopTriangle(link);
    auto source = std::make_unique<KytRidgeLine>(link, pick, WqVector3D(0, 0, 10));
    ASSERT_TRUE(source->CalcBorder());
    ASSERT_TRUE(source->GetSeg());
    const auto first = Chains(*source).front();
    KytRidgeLine copy(source.get());
    const auto chains = Chains(copy);
    ASSERT_EQ(chains.size(), 1u);
    EXPECT_EQ(chains.front(), first);
    EXPECT_NE(copy.BorderChains.GetHead(), source->BorderChains.GetHead());
    EXPECT_EQ(copy.NearStart, source->NearStart);
    EXPECT_EQ(copy.PlaneOffset, source->PlaneOffset);
    source.reset();  // the copy's chain is its own
    EXPECT_TRUE(copy.GetLine());
}

// Faces that hold copies of their points share no edge: every edge is a border.
TEST(KytRidgeLine, CopiedVerticesMakeEveryEdgeABorder)
{
    auto plate = KytBuild::IndexedPlateRep(100, 10, {30.0}, 16);
    std::vector<KytPoint> v;
    std::vector<std::array<int, 6>> tris;
    for (const KytTriangle& t : plate->aTriangle) {
        if (t.pFaceNormal->z < 0.99f)
            continue;
        const int base = int(v.size());
        for (int k = 0; k < 3; ++k)
            v.push_back(*t.pVertex[k]);
        tris.push_back({base, base + 1, base + 2, -1, -1, -1});
    }
    KytModel model;
    KytLink* link = LinkWith(model, KytBuild::IndexedRep(v, {}, tris));
    KytRidgeLine ridge(link, &link->pShape->GetRep()->aTriangle[0], {0, 0, 10});
    ASSERT_TRUE(ridge.CalcBorder());
    const auto chains = Chains(ridge);
    EXPECT_EQ(chains.size(), tris.size());
    for (const auto& c : chains)
        EXPECT_EQ(c.size(), 3u);
}

TEST(KytRidgeLine, GetLine)
{
    KytRidgeLine empty;
    EXPECT_FALSE(empty.GetLine());  // no chain to read
    // A chain along x; a pick on the line's extension is collinear, where rounding can take
    // the cosine past 1.
    static const float p[][3] = {{0.1f, 0.7f, 0.3f}, {1.3f, 0.7f, 0.3f}, {2.9f, 0.7f, 0.3f}};
    KytModel model;
    KytLink* link = LinkWith(model, KytBuild::BoxRep(1, 1, 1));
    KytRidgeLine ridge(link, &link->pShape->GetRep()->aTriangle[0], {-3.7, 0.7, 0.3});
    ridge.MakeBorder(p[1], p[2]);
    ridge.MakeBorder(p[0], p[1]);
    ridge.ConnectBorder();
    ASSERT_EQ(ridge.BorderChains.GetCount(), 1);
    ASSERT_TRUE(ridge.GetLine());
    EXPECT_TRUE(std::isfinite(ridge.NearPoint.x));
    EXPECT_EQ(ridge.NearStart, p[0]);
}
}  // namespace
