// Picking against an independent CPU ray cast through the pick region's centre.

#include <GL/gl.h>
#include <GL/glu.h>

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <vector>

#include "platform/kernel/KytModel.h"
#include "scene/annotation/KytEdge.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/PartTreeFixture.h"

namespace scene_test {
namespace {

struct WorldTri {
    const KytLink* link;
    const KytTriangle* tri;
    WqVector3D w[3];
    double sx[3], sy[3];
};

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay;
    const double l2 = dx * dx + dy * dy;
    double t = l2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / l2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// Distance in pixels from a window point to the triangle's projection (0 inside).
double ScreenDistance(const WorldTri& t, double px, double py)
{
    double s[3];
    for (int k = 0; k < 3; ++k) {
        const int j = (k + 1) % 3;
        s[k] = (t.sx[j] - t.sx[k]) * (py - t.sy[k]) - (t.sy[j] - t.sy[k]) * (px - t.sx[k]);
    }
    if ((s[0] >= 0 && s[1] >= 0 && s[2] >= 0) || (s[0] <= 0 && s[1] <= 0 && s[2] <= 0))
        return 0.0;
    double d = DBL_MAX;
    for (int k = 0; k < 3; ++k) {
        const int j = (k + 1) % 3;
        d = std::min(d, SegmentDistance(px, py, t.sx[k], t.sy[k], t.sx[j], t.sy[j]));
    }
    return d;
}

double EdgeDistance(const WorldTri& t, double px, double py)
{
    double d = DBL_MAX;
    for (int k = 0; k < 3; ++k) {
        const int j = (k + 1) % 3;
        d = std::min(d, SegmentDistance(px, py, t.sx[k], t.sy[k], t.sx[j], t.sy[j]));
    }
    return d;
}

// Ray parameter of the hit with the triangle, or a negative value.
double RayHit(const WorldTri& t, const WqVector3D& o, const WqVector3D& d)
{
    const WqVector3D e1 = t.w[1] - t.w[0], e2 = t.w[2] - t.w[0];
    const WqVector3D p = d.Cross(e2);
    const double det = e1.Dot(p);
    if (std::fabs(det) < 1e-14)
        return -1;
    const WqVector3D s = o - t.w[0];
    const double u = s.Dot(p) / det;
    if (u < 0 || u > 1)
        return -1;
    const WqVector3D q = s.Cross(e1);
    const double v = d.Dot(q) / det;
    if (v < 0 || u + v > 1)
        return -1;
    return e2.Dot(q) / det;
}

// Depth along the ray of the triangle's plane (its nearest vertex when seen edge-on).
double PlaneDepth(const WorldTri& t, const WqVector3D& o, const WqVector3D& d)
{
    const WqVector3D n = (t.w[1] - t.w[0]).Cross(t.w[2] - t.w[0]);
    const double nd = n.Dot(d);
    if (std::fabs(nd) < 1e-9 * n.Length())
        return std::min({(t.w[0] - o).Dot(d), (t.w[1] - o).Dot(d), (t.w[2] - o).Dot(d)});
    return n.Dot(t.w[0] - o) / nd;
}

class PickOracle : public PartTreeFixture {
protected:
    // Parts of about `k` units; a perspective view needs them well past its near plane at 10.
    void Build(double k = 1.0, bool perspective = false)
    {
        std::mt19937 rng(2024);
        std::uniform_real_distribution<double> pos(-2.2, 2.2), unit(-1, 1), ang(0, 6.283);
        KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        for (int i = 0; i < 7; ++i) {
            std::unique_ptr<KytShapeRep> rep;
            switch (i % 3) {
            case 0: rep = KytBuild::BoxRep((1.5 + i * 0.2) * k, 1.8 * k, 1.2 * k); break;
            case 1: rep = KytBuild::PlateWithHoleRep(2.5 * k, 0.4 * k, 0.6 * k, 8); break;
            default: rep = KytBuild::CylinderRep(0.9 * k, 2.0 * k, 8); break;
            }
            KytLink* l = model.AddLink(("part" + std::to_string(i)).c_str(), root, KYT_LINK_PART);
            model.SetShape(l, model.AddShape(std::move(rep)));
            // Drawn one by one, last coordinate first: the order in which a constructor's
            // arguments are evaluated differs between compilers, and with it the scene.
            const double az = unit(rng), ay = unit(rng), ax = unit(rng);
            WqVector3D axis(ax, ay, az);
            axis = axis * (1.0 / axis.Length());
            MakeAxisRotMatrix(ang(rng), axis, l->referMech.mRot);
            const double pz = pos(rng), py = pos(rng), px = pos(rng);
            l->referMech.vPos = WqVector3D(px, py, pz * 0.5) * k;
            l->uColor = static_cast<uint16_t>(i);
            parts.push_back(l);
        }
        parts[3]->visual.uTransparent = 1;
        parts[3]->fAlpha = 0.4f;
        transparent = parts[3];
        model.UpdatePlacements();
        Open(root, 192, 192);
        if (perspective) {
            scene->ChangeViewType(PROJECT_PERSPECTIVE);
            scene->FitView(false);
        }
        Contents().bContributionOn = false;
        Capture();
    }

    // The matrices of a frame and every part's triangles in the world and on the window.
    void Capture()
    {
        tris.clear();
        Frame();
        glGetDoublev(GL_MODELVIEW_MATRIX, model_);
        glGetDoublev(GL_PROJECTION_MATRIX, proj_);
        glGetIntegerv(GL_VIEWPORT, vp_);
        for (const KytLink* l : parts) {
            const KytShapeRep* rep = l->pShape->GetRep();
            for (const KytTriangle& t : rep->aTriangle) {
                WorldTri w{l, &t, {}, {}, {}};
                for (int k = 0; k < 3; ++k) {
                    const KytPoint& v = *t.pVertex[k];
                    w.w[k] = l->mech.GetAbsPos(WqVector3D(v.x, v.y, v.z));
                    double z;
                    gluProject(w.w[k].x, w.w[k].y, w.w[k].z, model_, proj_, vp_, &w.sx[k],
                               &w.sy[k], &z);
                }
                tris.push_back(w);
                for (int k = 0; k < 3; ++k) {
                    lo[0] = std::min(lo[0], w.sx[k]);
                    hi[0] = std::max(hi[0], w.sx[k]);
                    lo[1] = std::min(lo[1], vp_[3] - w.sy[k]);
                    hi[1] = std::max(hi[1], vp_[3] - w.sy[k]);
                }
            }
        }
    }

    enum class Verdict { Hit, Miss, Unclear };
    // The oracle's answer at window point (x, y) over the links `use` accepts.
    template <class Use>
    Verdict Cast(int x, int y, Use use, const WorldTri** hit, WqVector3D* point)
    {
        const double px = x, py = vp_[3] - y;
        WqVector3D o, f;
        gluUnProject(px, py, 0.0, model_, proj_, vp_, &o.x, &o.y, &o.z);
        gluUnProject(px, py, 1.0, model_, proj_, vp_, &f.x, &f.y, &f.z);
        WqVector3D d = f - o;
        d = d * (1.0 / d.Length());
        double best = DBL_MAX;
        const WorldTri* nearest = nullptr;
        for (const WorldTri& t : tris) {
            if (!use(t.link))
                continue;
            const double h = RayHit(t, o, d);
            if (h >= 0 && h < best) {
                best = h;
                nearest = &t;
            }
        }
        if (!nearest) {
            for (const WorldTri& t : tris)
                if (use(t.link) && ScreenDistance(t, px, py) < 2.0)
                    return Verdict::Unclear;
            return Verdict::Miss;
        }
        if (EdgeDistance(*nearest, px, py) < 2.0)
            return Verdict::Unclear;
        const double margin = 1e-2;
        for (const WorldTri& t : tris) {
            if (&t == nearest || !use(t.link) || ScreenDistance(t, px, py) >= 2.0)
                continue;
            if (PlaneDepth(t, o, d) < best + margin && RayHit(t, o, d) != best)
                return Verdict::Unclear;
        }
        *hit = nearest;
        *point = o + d * best;
        return Verdict::Hit;
    }

    std::vector<KytLink*> parts;
    KytLink* transparent = nullptr;
    std::vector<WorldTri> tris;
    double model_[16], proj_[16];
    GLint vp_[4];
    // Window-coordinate extent of the parts (y from the top), where the samples are taken.
    double lo[2] = {DBL_MAX, DBL_MAX}, hi[2] = {-DBL_MAX, -DBL_MAX};
    int SampleX(std::mt19937& rng) const { return Sample(rng, 0); }
    int SampleY(std::mt19937& rng) const { return Sample(rng, 1); }
    int Sample(std::mt19937& rng, int axis) const
    {
        std::uniform_int_distribution<int> d(std::max(0, int(lo[axis]) - 4),
                                             std::min(int(vp_[2 + axis]) - 1, int(hi[axis]) + 4));
        return d(rng);
    }
};

TEST_F(PickOracle, PickAgreesWithTheRayCast)
{
    Build();
    std::mt19937 rng(99);
    int hits = 0, misses = 0;
    for (int alpha : {1, 0}) {
        KYT_SetPickAlpha(alpha);
        auto use = [&](const KytLink* l) { return alpha || l != transparent; };
        for (int i = 0; i < 300; ++i) {
            const int x = SampleX(rng);
            const int y = SampleY(rng);
            const WorldTri* hit = nullptr;
            WqVector3D point;
            const Verdict v = Cast(x, y, use, &hit, &point);
            if (v == Verdict::Unclear)
                continue;
            SCOPED_TRACE(testing::Message() << "alpha " << alpha << " at " << x << "," << y);
            for (bool strict : {false, true}) {
                KytScene::bStrictPick = strict;
                KytPickData out;
                const bool found = scene->Pick(x, y, &out, false, false);
                if (v == Verdict::Miss) {
                    EXPECT_FALSE(found) << strict;
                    continue;
                }
                ASSERT_TRUE(found) << strict;
                EXPECT_EQ(out.Link, hit->link) << strict;
                EXPECT_EQ(out.Triangle(), hit->tri) << strict;
            }
            KytScene::bStrictPick = false;
            if (v == Verdict::Miss) {
                ++misses;
                continue;
            }
            ++hits;
            KytLink* link = nullptr;
            KytTriangle* tri = nullptr;
            WqVector3D own, normal;
            ASSERT_TRUE(scene->GetFacePoint(x, y, &link, &tri, own, normal));
            const WqVector3D world = link->mech.GetAbsPos(own);
            EXPECT_NEAR((world - point).Length(), 0.0, 1e-4);
        }
    }
    KYT_SetPickAlpha(1);
    EXPECT_GT(hits, 100);
    EXPECT_GT(misses, 20);
}

// A long box beside the line of sight, its length along the view: in perspective one of its
// side faces is in sight, and a ray parallel to the view axis would see that face edge-on and
// take the far end's face behind it.
TEST_F(PickOracle, StrictPerspectivePicksTheSideFaceInSight)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* box = model.AddLink("long", root, KYT_LINK_PART);
    model.SetShape(box, model.AddShape(KytBuild::BoxRep(100, 100, 400)));
    KytLink* anchor = model.AddLink("anchor", root, KYT_LINK_PART);
    model.SetShape(anchor, model.AddShape(KytBuild::BoxRep(400, 400, 400)));
    model.UpdatePlacements();
    Open(root, 192, 192);
    scene->ChangeViewType(PROJECT_PERSPECTIVE);
    scene->FitView(false);
    KytCamera* camera = scene->GetActiveCamera();
    WqVector3D view = camera->GetLookAtPosition() - camera->GetEyePosition();
    view = view * (1.0 / view.Length());
    const WqVector3D right = view.Cross(camera->GetViewUpVector());
    ASSERT_TRUE(MakeMatrixZ(view, box->referMech.mRot));
    box->referMech.vPos = camera->GetLookAtPosition() + right * (150.0 / right.Length());
    anchor->visual.uVisible = 0;
    model.UpdatePlacements();
    parts = {box};
    Capture();
    int checked = 0;
    KytScene::bStrictPick = true;
    for (int x = 0; x < 192; ++x) {
        const WorldTri* hit = nullptr;
        WqVector3D point;
        if (Cast(x, 96, [](const KytLink*) { return true; }, &hit, &point) != Verdict::Hit)
            continue;
        const KytPoint& n = *hit->tri->pFaceNormal;
        const WqVector3D wn = box->mech.mRot.Multi(WqVector3D(n.x, n.y, n.z));
        if (std::fabs(wn.Dot(view)) > 1e-6)
            continue;  // not a side face
        SCOPED_TRACE(x);
        ++checked;
        KytPickData out;
        ASSERT_TRUE(scene->Pick(x, 96, &out, false, false));
        EXPECT_EQ(out.Triangle(), hit->tri);
    }
    KytScene::bStrictPick = false;
    EXPECT_GT(checked, 3);
}

// In a perspective view the strict ray runs from the eye through the point.
TEST_F(PickOracle, PerspectivePickAgreesWithTheRayCast)
{
    Build(100.0, true);
    ASSERT_EQ(scene->GetProjType(), 0);
    std::mt19937 rng(5);
    int hits = 0;
    auto use = [](const KytLink*) { return true; };
    for (int i = 0; i < 300; ++i) {
        const int x = SampleX(rng);
        const int y = SampleY(rng);
        const WorldTri* hit = nullptr;
        WqVector3D point;
        const Verdict v = Cast(x, y, use, &hit, &point);
        if (v == Verdict::Unclear)
            continue;
        SCOPED_TRACE(testing::Message() << x << "," << y);
        hits += v == Verdict::Hit ? 1 : 0;
        for (bool strict : {false, true}) {
            KytScene::bStrictPick = strict;
            KytPickData out;
            const bool found = scene->Pick(x, y, &out, false, false);
            if (v == Verdict::Miss) {
                EXPECT_FALSE(found) << strict;
                continue;
            }
            ASSERT_TRUE(found) << strict;
            EXPECT_EQ(out.Link, hit->link) << strict;
            EXPECT_EQ(out.Triangle(), hit->tri) << strict;
        }
        KytScene::bStrictPick = false;
    }
    EXPECT_GT(hits, 40);
}

TEST_F(PickOracle, MaterialPickAgreesWithTheRayCastOverOneMaterial)
{
    Build();
    UmoMaterial steel, brass;
    std::vector<KytVisualData> visual(parts.size());
    for (size_t i = 0; i < parts.size(); ++i) {
        visual[i] = {i % 2 ? &steel : &brass, true};
        parts[i]->pVisualData = &visual[i];
    }
    std::mt19937 rng(7);
    int hits = 0;
    auto use = [&](const KytLink* l) { return l->pVisualData->pMaterial == &steel; };
    for (int i = 0; i < 300; ++i) {
        const int x = SampleX(rng);
            const int y = SampleY(rng);
        const WorldTri* hit = nullptr;
        WqVector3D point;
        const Verdict v = Cast(x, y, use, &hit, &point);
        if (v == Verdict::Unclear)
            continue;
        SCOPED_TRACE(testing::Message() << x << "," << y);
        KytPickData out;
        const bool found = scene->Pick2(x, y, &out, &steel, false, false, false);
        if (v == Verdict::Miss) {
            EXPECT_FALSE(found);
            continue;
        }
        ++hits;
        ASSERT_TRUE(found);
        EXPECT_EQ(out.Link, hit->link);
        EXPECT_EQ(out.Triangle(), hit->tri);
    }
    EXPECT_GT(hits, 20);
}

}  // namespace
}  // namespace scene_test
