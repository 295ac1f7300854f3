#include <GL/gl.h>
#include <GL/glu.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/kernel/KytModel.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/PartTreeFixture.h"

namespace scene_test {
namespace {

constexpr double kHuge = std::numeric_limits<double>::max();

int Swaps()
{
    return static_cast<int>(std::count(Log().begin(), Log().end(), "swap"));
}

class SceneFit : public PartTreeFixture {
protected:
    KytCamera* Camera() { return scene->GetActiveCamera(); }
    KytViewPort& Vp() { return *scene->GetViewPort(); }

    static WqVector3D Centre(KytLink* l)
    {
        if (l->bGeomCenStale)
            l->SetGeomCEN();
        return l->mech.GetAbsPos(l->vGeomCen);
    }

    std::optional<std::pair<double, double>> Centroid()
    {
        Frame();
        std::vector<float> rgb(static_cast<size_t>(width) * height * 3);
        glReadPixels(0, 0, width, height, GL_RGB, GL_FLOAT, rgb.data());
        double sx = 0, sy = 0;
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const float* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
                if (p[0] + p[1] + p[2] > 0.05f) {
                    sx += x + 0.5;
                    sy += y + 0.5;
                    ++n;
                }
            }
        if (n == 0)
            return std::nullopt;
        return std::make_pair(sx / n, sy / n);
    }
};

// ---------------------------------------------------------------------------------------------
// CalcMinMax

TEST_F(SceneFit, CalcMinMaxAgreesWithTheKernelWalk)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* a = Box("a", root, {0, 0, 0}, 1.0);
    Box("a1", a, {2, 0, 0}, 0.5);
    KytLink* b = Box("b", root, {5, 0, 0}, 1.0);
    Box("b1", b, {5, 3, 0}, 1.0);
    KytLink* c = model.AddLink("c", root, KYT_LINK_ASSEMBLY);
    KytLink* c1 = Box("c1", c, {-4, 1, 2}, 2.0);
    KytLink* d = Box("d", root, {0, -6, 0}, 1.0);
    d->nType = KYT_LINK_DATUM;
    Box("d1", d, {0, -6, 4}, 1.0);
    model.UpdatePlacements();
    b->visual.uVisible = 0;  // hides b1 too
    c->bTarget = true;
    Open(root, 64, 64);
    struct Case {
        KytLink* link;
        bool targetOnly;
        int mask;
        bool single;
    } cases[] = {
        {root, false, -1, true},          {root, true, -1, true},
        {a, false, -1, false},            {a, false, -1, true},
        {a, true, -1, false},             {a, true, -1, true},
        {root, false, KYT_LINK_PART, true}, {root, false, KYT_LINK_DATUM, true},
        {b, false, -1, true},             {c1, true, -1, false},
        {d, false, KYT_LINK_ASSEMBLY, false}, {nullptr, false, -1, true},
    };
    int i = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(i++);
        WqVector3D min(kHuge, kHuge, kHuge), max(-kHuge, -kHuge, -kHuge);
        WqVector3D omin = min, omax = max;
        const bool got = scene->CalcMinMax(k.link, min, max, k.targetOnly, k.mask, k.single);
        const bool want =
            k.link && k.link->GetBoundingBox(&omin, &omax, k.targetOnly, k.mask, k.single);
        EXPECT_EQ(got, want);
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(min[j], omin[j]);
            EXPECT_EQ(max[j], omax[j]);
        }
    }
    // A target below non-targets counts alone.
    WqVector3D min(kHuge, kHuge, kHuge), max(-kHuge, -kHuge, -kHuge);
    ASSERT_TRUE(scene->CalcMinMax(a, min, max, true, -1, false));
    WqVector3D cmin(kHuge, kHuge, kHuge), cmax(-kHuge, -kHuge, -kHuge);
    c1->GetSingleBoundingBox(&cmin, &cmax);
    EXPECT_EQ(min, cmin);
    EXPECT_EQ(max, cmax);
}

TEST_F(SceneFit, ClipPlanesShapeTheFittedBox)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* near = Box("near", root, {0, 0, 0}, 2.0);
    Box("far", root, {0, 0, 10}, 2.0);
    model.UpdatePlacements();
    Open(root, 64, 64);
    KytLink* clip = model.AddLink("clip", nullptr, KYT_LINK_DATUM);
    clip->mech.vPos = WqVector3D(0, 0, 0.5);  // keeps z <= 0.5: far goes, near is cut
    ASSERT_TRUE(scene->AddClipPlane(clip, false));
    WqVector3D min(kHuge, kHuge, kHuge), max(-kHuge, -kHuge, -kHuge);
    ASSERT_TRUE(scene->CalcMinMax(root, min, max, false, -1, true));
    EXPECT_EQ(min, WqVector3D(-1, -1, 0.5));
    EXPECT_EQ(max, WqVector3D(1, 1, 0.5));
    // The fit follows the clipped box.
    scene->FitView(false);
    EXPECT_NEAR(Vp().GetViewRadius(), std::sqrt(8.0) / 2, 1e-12);
    EXPECT_EQ(Camera()->GetLookAtPosition(), WqVector3D(0, 0, 0.5));
    // A part wholly cut away does not count; a no-clip part counts whole.
    clip->mech.vPos = WqVector3D(0, 0, -5);
    ASSERT_TRUE(scene->RemoveClipPlane(clip, false));
    ASSERT_TRUE(scene->AddClipPlane(clip, false));
    WqVector3D min2(kHuge, kHuge, kHuge), max2(-kHuge, -kHuge, -kHuge);
    EXPECT_FALSE(scene->CalcMinMax(root, min2, max2, false, -1, true));
    near->bNoClip = true;
    EXPECT_TRUE(scene->CalcMinMax(root, min2, max2, false, -1, true));
    EXPECT_EQ(min2, WqVector3D(-1, -1, -1));
    // Without the switch the fit takes the plain boxes.
    Contents().bClipAllowed = false;
    scene->FitView(false);
    EXPECT_EQ(Camera()->GetLookAtPosition(), WqVector3D(0, 0, 5));
}

TEST_F(SceneFit, ABoxWithoutExtentKeepsTheRadius)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    Box("dot", root, {3, 4, 5}, 0.0);
    KytLink* big = Box("big", root, {0, 0, 0}, 2.0);
    model.UpdatePlacements();
    Open(root, 64, 64);
    big->visual.uVisible = 0;
    const double fitted = Vp().GetViewRadius();
    scene->FitView(false);
    EXPECT_EQ(Vp().GetViewRadius(), fitted);
    EXPECT_EQ(Camera()->GetLookAtPosition(), WqVector3D(3, 4, 5));
    const double r = Vp().GetViewRadius();
    EXPECT_TRUE(scene->Zoom(1.0f, true));
    EXPECT_DOUBLE_EQ(Vp().GetViewRadius(), r * 1.1);
}

// ---------------------------------------------------------------------------------------------
// Flights

TEST_F(SceneFit, FlightFramesAndEndState)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* target = Box("target", root, {6, 1, -2}, 1.0);
    Box("other", root, {-20, 0, 0}, 1.0);
    model.UpdatePlacements();
    Open(root, 64, 64);
    const WqVector3D w = Centre(target);
    const double r = target->GetRadius();
    for (short steps : {0, 1, 4, 24}) {
        for (bool redraw : {true, false}) {
            SCOPED_TRACE(testing::Message() << steps << " " << redraw);
            scene->ChangeViewPoint(45.0f, 54.0f, false);
            scene->FitView(false);
            const WqVector3D l0 = Camera()->GetLookAtPosition();
            const double model = Vp().GetViewRadius();
            KytScene::nViewMoveStep = steps;
            ClearLog();
            scene->FlyTo(target, redraw);
            const int n = std::max<int>(steps, 1);
            const int frames = redraw ? (steps != 0 ? 2 : 0) + 2 * n : 2 * (n - 1);
            EXPECT_EQ(Swaps(), frames);
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(Camera()->GetLookAtPosition()[i], w[i], 1e-9);
            EXPECT_NEAR(Vp().GetViewRadius(), std::min(3.0 * r, model), 1e-9);
            EXPECT_NEAR(Vp().GetNearClip(), Vp().GetEyeDistance() - r, 1e-9);
            const WqVector3D u = (w - l0) * (1.0 / (w - l0).Length());
            const double a = std::acos(u.x) * 57.29577951308239;
            EXPECT_NEAR(Camera()->GetDirectAngle(), 45.0 + (a - 45.0), 1e-3);
            const auto c = Centroid();
            ASSERT_TRUE(c);
            EXPECT_NEAR(c->first, 32, 2.0);
            EXPECT_NEAR(c->second, 32, 2.0);
        }
    }
    KytScene::nViewMoveStep = 1;
}

TEST_F(SceneFit, FlightToTheCentreMakesNoTurn)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* target = Box("target", root, {0, 0, 0}, 1.0);
    model.UpdatePlacements();
    Open(root, 64, 64);
    KytScene::nViewMoveStep = 4;
    ClearLog();
    scene->FlyTo(target, true);
    EXPECT_EQ(Swaps(), 2 + 4);
    EXPECT_EQ(Camera()->GetDirectAngle(), 45.0f);
    // The link's radius is more than a third of the model's: the model radius stays.
    EXPECT_NEAR(Vp().GetViewRadius(), target->GetRadius(), 1e-6);
}

TEST_F(SceneFit, FlightToALinkWithoutRadiusKeepsTheRadius)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    Box("big", root, {0, 0, 0}, 4.0);
    KytLink* dot = Box("dot", root, {1, 1, 1}, 0.0);
    model.UpdatePlacements();
    Open(root, 64, 64);
    for (short steps : {1, 4}) {
        KytScene::nViewMoveStep = steps;
        scene->FitView(false);
        const double radius = Vp().GetViewRadius();
        scene->FlyTo(dot, false);
        EXPECT_NEAR(Vp().GetViewRadius(), radius, 1e-9);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(Camera()->GetLookAtPosition()[i], 1.0, 1e-9);
    }
    // Null link or a scene without a root: nothing.
    ClearLog();
    scene->FlyTo(nullptr, true);
    EXPECT_EQ(Swaps(), 0);
}

TEST_F(SceneFit, JumpPoint)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    Box("box", root, {0, 0, 0}, 2.0);
    model.UpdatePlacements();
    Open(root, 64, 64);
    WqVector3D p(0.5, -0.25, 0.75);
    KytScene::nViewMoveStep = 4;
    const double radius = Vp().GetViewRadius();
    ClearLog();
    EXPECT_TRUE(scene->JumpPoint(p, 0, 1.0));
    EXPECT_EQ(Swaps(), 4);
    EXPECT_FALSE(scene->IsMoving());
    EXPECT_FALSE(KytScene::bMoving);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(Camera()->GetLookAtPosition()[i], p[i], 1e-12);
    EXPECT_EQ(Vp().GetViewRadius(), radius);
    // With a refit the radius ends at scale times the home radius.
    WqVector3D q(0, 0, 0);
    EXPECT_TRUE(scene->JumpPoint(q, 1, 0.5));
    EXPECT_NEAR(Vp().GetViewRadius(), 0.5 * Vp().GetBaseRadius(), 1e-9);
    EXPECT_EQ(Vp().GetRadiusBack(), Vp().GetViewRadius());

    KytScene::nViewMoveStep = 1;
    const double before = Vp().GetViewRadius();
    ClearLog();
    EXPECT_TRUE(scene->JumpPoint(p, 0, 3.0));
    EXPECT_EQ(Swaps(), 1);
    EXPECT_EQ(Vp().GetViewRadius(), before);
    EXPECT_EQ(Camera()->GetLookAtPosition(), p);
    EXPECT_TRUE(scene->JumpPoint(q, 1, 2.0));
    EXPECT_DOUBLE_EQ(Vp().GetViewRadius(), 2.0 * Vp().GetBaseRadius());
    // A scale of 0 or less keeps the radius; the point is still reached.
    for (short steps : {1, 4}) {
        KytScene::nViewMoveStep = steps;
        for (double s : {0.0, -1.0}) {
            const double kept = Vp().GetViewRadius();
            EXPECT_TRUE(scene->JumpPoint(p, 1, s));
            EXPECT_EQ(Vp().GetViewRadius(), kept);
            EXPECT_NEAR(Camera()->GetLookAtPosition().x, p.x, 1e-12);
        }
    }
    KytScene::nViewMoveStep = 1;
}

// ---------------------------------------------------------------------------------------------
// Area zoom and eye shift

TEST_F(SceneFit, AreaZoomFactors)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    Box("box", root, {0, 0, 0}, 0.2);
    model.UpdatePlacements();
    Open(root, 200, 100);
    const WqVector3D home = Camera()->GetLookAtPosition();
    struct Case {
        int x1, y1, x2, y2;
        double f;
    } cases[] = {{10, 10, 110, 60, 0.5}, {0, 0, 100, 100, 1.0}, {110, 60, 10, 10, 0.5},
                 {0, 0, 20, 50, 0.5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x1);
        scene->FitView(false);
        const double r = Vp().GetViewRadius();
        ClearLog();
        scene->AreaZoom(c.x1, c.y1, c.x2, c.y2);
        EXPECT_NEAR(Vp().GetViewRadius(), r * c.f, 1e-12);
        EXPECT_EQ(Vp().GetRadiusBack(), Vp().GetViewRadius());
        EXPECT_EQ(Swaps(), 1);
    }
    // The centre rounds towards zero.
    scene->FitView(false);
    scene->Panning(-1, 0, false);
    const WqVector3D expected = Camera()->GetLookAtPosition();
    scene->FitView(false);
    scene->AreaZoom(-3, 0, 0, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(Camera()->GetLookAtPosition()[i], expected[i], 1e-12);
    // An empty rectangle is refused.
    scene->FitView(false);
    const double r = Vp().GetViewRadius();
    ClearLog();
    scene->AreaZoom(5, 5, 5, 5);
    EXPECT_EQ(Vp().GetViewRadius(), r);
    EXPECT_EQ(Camera()->GetLookAtPosition(), home);
    EXPECT_EQ(Swaps(), 0);
}

TEST_F(SceneFit, AreaZoomAimsAtThePartDepth)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* box = Box("box", root, {0, 0, 0}, 2.0);
    model.UpdatePlacements();
    Open(root, 64, 64);
    const WqVector3D e = Camera()->GetEyeOrientation();
    // Look-at off the part's depth, the part still under the centre.
    scene->Panning(Camera()->GetLookAtPosition() + e * 3.0, false);
    scene->AreaZoom(22, 22, 42, 42);
    const WqVector3D l = Camera()->GetLookAtPosition();
    EXPECT_NEAR((l - Centre(box)).Dot(e), 0.0, 1e-9);
    EXPECT_NEAR(Vp().GetViewRadius(), scene->GetViewPort()->GetBaseRadius() * 20.0 / 64.0, 1e-9);
}

TEST_F(SceneFit, ShiftCamera)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    Box("box", root, {0, 0, 0}, 2.0);
    model.UpdatePlacements();
    Open(root, 64, 64);
    scene->ChangeViewPoint(0.0f, 90.0f, false);
    ASSERT_NEAR(Camera()->GetEyeOrientation().z, 1.0, 1e-12);
    const double eye = Vp().GetEyeDistance(), far = Vp().GetFarClip();
    const WqVector3D eyePos = Camera()->GetEyePosition(), at = Camera()->GetLookAtPosition();
    WqVector3D side(1, 0, 0);
    ClearLog();
    EXPECT_FALSE(scene->ShiftCamera(side, true));
    EXPECT_EQ(Vp().GetEyeDistance(), eye);
    EXPECT_EQ(Swaps(), 0);
    WqVector3D towards(0.5, 0, -5);
    EXPECT_TRUE(scene->ShiftCamera(towards, true));
    EXPECT_EQ(Swaps(), 1);
    EXPECT_DOUBLE_EQ(Vp().GetEyeDistance(), eye + 5);
    EXPECT_DOUBLE_EQ(Vp().GetFarClip(), far + 5);
    EXPECT_NEAR(Camera()->GetEyePosition().z, eyePos.z - 5, 1e-12);
    EXPECT_NEAR(Camera()->GetEyePosition().x, eyePos.x, 1e-12);
    EXPECT_EQ(Camera()->GetLookAtPosition(), at);
}

TEST_F(SceneFit, WithoutAContextNothingMoves)
{
    KytScene bare;
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    bare.SetRootLink(root);
    WqVector3D p(1, 2, 3);
    bare.FlyTo(root, true);
    EXPECT_FALSE(bare.JumpPoint(p, 1, 1.0));
    EXPECT_FALSE(bare.ShiftCamera(p, true));
    bare.AreaZoom(0, 0, 10, 10);
    EXPECT_EQ(bare.GetViewPort()->GetViewRadius(), 1000.0);
    // No camera: no view plane.
    EXPECT_EQ(bare.Point2Vector(3, 4), WqVector3D(0, 0, 0));
    // A camera but no context: a perspective view has no matrices to read.
    WqVector3D at(5, 6, 7);
    bare.GetViewPort()->AddCamera(new KytCamera("c", at, 45.0f, 54.0f));
    bare.GetViewPort()->SetProjectionMode(PROJECT_PERSPECTIVE);
    EXPECT_EQ(bare.Point2Vector(3, 4), at);
    EXPECT_EQ(bare.Point2Vector(3, 4, p), p);
    bare.FlyTo(root, true);
    EXPECT_FALSE(bare.JumpPoint(p, 0, 1.0));
    EXPECT_FALSE(bare.ShiftCamera(p, false));
    EXPECT_EQ(bare.GetActiveCamera()->GetLookAtPosition(), at);
}

}  // namespace
}  // namespace scene_test

namespace scene_test {
namespace {

// ---------------------------------------------------------------------------------------------
// Window points and fitting on pixels

struct Shot {
    int w, h;
};

class SceneWindow : public SceneFit {
protected:
    // Lit pixels as distances from the window centre.
    std::vector<double> LitRadii()
    {
        Frame();
        std::vector<float> rgb(static_cast<size_t>(width) * height * 3);
        glReadPixels(0, 0, width, height, GL_RGB, GL_FLOAT, rgb.data());
        std::vector<double> out;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const float* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
                if (p[0] + p[1] + p[2] > 0.02f)
                    out.push_back(std::hypot(x + 0.5 - width / 2.0, y + 0.5 - height / 2.0));
            }
        return out;
    }
};

TEST_F(SceneWindow, WindowPointsRoundTripThroughTheScenesMatrices)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* box = Box("box", root, {0, 0, 0}, 2.0);
    model.UpdatePlacements();
    std::mt19937 rng(28);
    std::uniform_real_distribution<double> pos(-20, 20), dir(0, 360), zen(10, 170), rad(0.5, 30);
    const Shot shots[] = {{32, 64}, {64, 64}, {128, 64}};
    for (const Shot& s : shots) {
        Open(root, s.w, s.h);
        for (bool parallel : {true, false}) {
            scene->ChangeViewType(parallel ? PROJECT_PARALLEL : PROJECT_PERSPECTIVE);
            for (int k = 0; k < 12; ++k) {
                SCOPED_TRACE(testing::Message() << s.w << "x" << s.h << " " << parallel << " " << k);
                Vp().SetViewRadius(rad(rng));
                WqVector3D at(pos(rng), pos(rng), pos(rng));
                scene->ChangeViewPoint(static_cast<float>(dir(rng)), static_cast<float>(zen(rng)),
                                       at, false);
                double mv[16], pj[16];
                int vp[4];
                glGetDoublev(GL_MODELVIEW_MATRIX, mv);
                glGetDoublev(GL_PROJECTION_MATRIX, pj);
                glGetIntegerv(GL_VIEWPORT, vp);
                const int x = static_cast<int>(rng() % s.w), y = static_cast<int>(rng() % s.h);
                // The driver keeps its matrices in single precision: the orthographic
                // point, computed in double from the camera, meets them within a few
                // millionths of a pixel.
                const double tol = parallel ? 5e-5 : 1e-6;
                double wx, wy, wz, dz;
                gluProject(at.x, at.y, at.z, mv, pj, vp, &wx, &wy, &dz);
                const WqVector3D p = scene->Point2Vector(x, y);
                gluProject(p.x, p.y, p.z, mv, pj, vp, &wx, &wy, &wz);
                EXPECT_NEAR(wx, x, tol);
                EXPECT_NEAR(wy, s.h - y, tol);
                EXPECT_NEAR(wz, dz, tol);
                WqVector3D base(pos(rng), pos(rng), pos(rng));
                gluProject(base.x, base.y, base.z, mv, pj, vp, &wx, &wy, &dz);
                const WqVector3D q = scene->Point2Vector(x, y, base);
                gluProject(q.x, q.y, q.z, mv, pj, vp, &wx, &wy, &wz);
                EXPECT_NEAR(wx, x, tol);
                EXPECT_NEAR(wy, s.h - y, tol);
                EXPECT_NEAR(wz, dz, tol);
                if (parallel) {
                    const KytShapeRep* rep = box->pShape->GetRep();
                    const KytTriangle& t = rep->GetTriangles()[k % rep->GetTriangleCount()];
                    const WqVector3D f = scene->Point2FacePoint(x, y, box, &t);
                    const WqVector3D v0(t.pVertex[0]->x, t.pVertex[0]->y, t.pVertex[0]->z);
                    const WqVector3D n(t.pFaceNormal->x, t.pFaceNormal->y, t.pFaceNormal->z);
                    if (std::fabs(n.Dot(Camera()->GetEyeOrientation())) > 1e-3) {
                        EXPECT_NEAR(n.Dot(f - box->mech.GetAbsPos(v0)), 0.0, 1e-6);
                    }
                }
            }
        }
        scene.reset();
    }
}

TEST_F(SceneWindow, FittedPartsStayInsideTheInscribedCircle)
{
    KytBuild::SampleMachine(model);
    auto find = [&](const char* name) -> KytLink* {
        for (const auto& l : model.Links())
            if (l->name == name)
                return l.get();
        return nullptr;
    };
    struct Angle {
        float direct, zenith;
    };
    const Angle angles[] = {{45, 54}, {0, 90}, {120, 30}, {200, 70}};
    const Shot shots[] = {{64, 64}, {96, 48}, {48, 96}};
    for (const char* name : {"plate", "shaftA", "panel", "lamp", "solid64"}) {
        KytLink* root = find(name);
        ASSERT_NE(root, nullptr) << name;
        for (const Shot& s : shots) {
            Open(root, s.w, s.h);
            for (const Angle& a : angles) {
                SCOPED_TRACE(testing::Message() << name << " " << s.w << "x" << s.h << " "
                                                << a.direct << "/" << a.zenith);
                scene->ChangeViewPoint(a.direct, a.zenith, false);
                scene->FitView(true);
                const std::vector<double> radii = LitRadii();
                ASSERT_FALSE(radii.empty());
                const double limit = std::min(s.w, s.h) / 2.0;
                EXPECT_LE(*std::max_element(radii.begin(), radii.end()), limit + 1.0);
                EXPECT_GE(*std::max_element(radii.begin(), radii.end()), 0.15 * limit);
            }
            scene.reset();
        }
    }
    // In perspective the field of view is narrower than the bounding sphere seen from the eye,
    // so deep parts may overhang a little: the plate faces the eye.
    for (const Shot& s : shots) {
        SCOPED_TRACE(testing::Message() << "perspective " << s.w << "x" << s.h);
        Open(find("plate"), s.w, s.h);
        scene->ChangeViewType(PROJECT_PERSPECTIVE);
        scene->ChangeViewPoint(0.0f, 90.0f, false);
        scene->FitView(true);
        const std::vector<double> radii = LitRadii();
        ASSERT_FALSE(radii.empty());
        const double limit = std::min(s.w, s.h) / 2.0;
        EXPECT_LE(*std::max_element(radii.begin(), radii.end()), limit + 1.0);
        EXPECT_GE(*std::max_element(radii.begin(), radii.end()), 0.15 * limit);
        scene.reset();
    }
}

}  // namespace
}  // namespace scene_test
