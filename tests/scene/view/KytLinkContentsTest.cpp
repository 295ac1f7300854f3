#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <type_traits>

#include "scene/annotation/AuxAxis.h"
#include "scene/annotation/AuxDatum.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/PartTreeFixture.h"

namespace {

using scene_test::PartTreeFixture;
using scene_test::SceneFixture;
using scene_test::WalkRecorder;

int Count(const std::vector<std::string>& log, const std::string& entry)
{
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
}

// ---------------------------------------------------------------------------------------------
// Settings

TEST_F(SceneFixture, DrawSettingsAtLoadAndTheirEdgeCases)
{
    EXPECT_FLOAT_EQ(KytLinkContents::fLocalRate, 0.1f);
    EXPECT_FLOAT_EQ(KytLinkContents::fLocalAxisRate, 0.03f);
    EXPECT_TRUE(KytLinkContents::bDrawSectionLine);
    EXPECT_TRUE(KytLinkContents::bDisableAlphaDepthTest);
    EXPECT_FALSE(KytLinkContents::bDrawHiddenLinesShape);
    EXPECT_FALSE(KytLinkContents::bBackFaceColor);
    EXPECT_EQ(KytLinkContents::eColorMode, COLORMODE_NORMAL);
    EXPECT_DOUBLE_EQ(KytLinkContents::lfContRate, 0.0);
    EXPECT_FLOAT_EQ(KytLinkContents::afPartBackFaceColor[0], 0.25f);
    EXPECT_FLOAT_EQ(KytLinkContents::afBoxColor[1][0], 1.0f);
    EXPECT_FLOAT_EQ(KytLinkContents::afBoxColor[0][2], 1.0f);
    EXPECT_DOUBLE_EQ(KYT_GetSphereRate(), 1.2);
    EXPECT_FALSE(KYT_IsSphereMode());

    struct Case {
        const char* what;
        std::function<void()> act;
        std::function<bool()> holds;
    };
    const Case cases[] = {
        {"sphere rate floors at 1.0", [] { KYT_AddSphereRate(-5); },
         [] { return KYT_GetSphereRate() == 1.0; }},
        {"sphere rate adds", [] { KYT_SetSphereRate(1.5); KYT_AddSphereRate(0.25); },
         [] { return KYT_GetSphereRate() == 1.75; }},
        {"culling rates in thousandths, bad box mode kept",
         [] { KYT_SetCullingParam(1u, 18u, 7u, 1u, 100u, 2u); },
         [] {
             int c, r, b, d, dr, db;
             KYT_GetCullingParam(c, r, b, d, dr, db);
             return KytLinkContents::lfContributionRate == 18 * 0.001 &&
                    KytLinkContents::lfContributionRateDynamic == 100 * 0.001 && c == 1 &&
                    r == 18 && b == BOXMODE_WIRE && d == 1 && dr == 100 && db == BOXMODE_SOLID;
         }},
        {"culling flags", [] { KYT_SetCullingParam(false, true); },
         [] {
             bool c = true, d = false;
             KYT_GetCullingParam(c, d);
             return !c && d;
         }},
        {"outline width 0 is 1", [] { KYT_SetOutLineParam(1, 0); },
         [] {
             int a = 0, w = 0;
             KYT_GetOutLineParam(a, w);
             return a == 1 && w == 1 && KytOgl::fOutLineWidth == 1.0f;
         }},
        {"back-face colour alpha always 1",
         [] {
             KytLinkContents::afPartBackFaceColor[3] = 0.6f;
             float c[3] = {0.1f, 0.2f, 0.3f};
             KYT_SetBackFaceParam(5, c);
         },
         [] {
             int e = 0;
             float c[3];
             KYT_GetBackFaceParam(e, c);
             return e == 1 && c[2] == 0.3f && KytLinkContents::afPartBackFaceColor[3] == 1.0f;
         }},
        {"flags store non-zero",
         [] {
             KYT_SetDisableAlphaDepthTest(0);
             KYT_SetDrawHiddenLinesShape(3);
             KYT_SetDrawSectionLine(0);
             KYT_SetAllwaysBackParam(9);
         },
         [] {
             const bool ok = !KYT_IsDisableAlphaDepthTest() && KYT_IsDrawHiddenLinesShape() &&
                             KYT_IsDrawSectionLine() == 0 && KYT_GetAllwaysBackParam() == 1;
             KYT_SetAllwaysBackParam(0);
             return ok;
         }},
        {"simple view reverses", [] { KYT_SetSimpleView(0); KYT_ReverseSimpleView(); },
         [] { return KYT_IsSimpleView(); }},
        {"background colour", [] { float c[3] = {0.5f, 0.25f, 1.0f}; KYT_SetBackGroundColor(c); },
         [] {
             float c[3];
             KYT_GetBackGroundColor(c);
             return c[0] == 0.5f && c[1] == 0.25f && c[2] == 1.0f;
         }},
    };
    for (const Case& c : cases) {
        c.act();
        EXPECT_TRUE(c.holds()) << c.what;
    }
}

TEST(KytLinkContentsType, CopiesAreForbiddenBecauseTheGlyphsAreOwned)
{
    EXPECT_FALSE(std::is_copy_constructible_v<KytLinkContents>);
    EXPECT_FALSE(std::is_copy_assignable_v<KytLinkContents>);
}

// ---------------------------------------------------------------------------------------------
// Draw-type state, read back from GL

struct DispCase {
    DRAWTYPE type;
    bool lighting;
    GLint shade;  // 0: unchanged
    GLint polygon;
    bool cull;  // back faces culled afterwards (always-back-face off)
    COLORMODE colorMode;
};

class MakeDispTable : public PartTreeFixture, public ::testing::WithParamInterface<DispCase> {};

TEST_P(MakeDispTable, SetsTheGlStateOfTheType)
{
    const DispCase& c = GetParam();
    Open(KytBuild::FourLinkTree(model));
    glShadeModel(GL_FLAT);
    glShadeModel(c.shade == GL_FLAT ? GL_SMOOTH : GL_FLAT);
    const GLint before = c.shade == GL_FLAT ? GL_SMOOTH : GL_FLAT;
    scene->GetOgl()->SetBackFaceMode(true, 0);
    SetType(c.type);
    EXPECT_EQ(glIsEnabled(GL_LIGHTING) == GL_TRUE, c.lighting);
    EXPECT_EQ(Contents().bLighting, c.lighting);
    GLint shade = 0, modes[2] = {0, 0};
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, c.shade ? c.shade : before);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], c.polygon);
    EXPECT_EQ(modes[1], c.polygon);
    EXPECT_EQ(glIsEnabled(GL_CULL_FACE) == GL_TRUE, c.cull);
    EXPECT_EQ(KytLinkContents::eColorMode, c.colorMode);
}

INSTANTIATE_TEST_SUITE_P(
    DrawTypes, MakeDispTable,
    ::testing::Values(DispCase{DRAWTYPE_SHADE, true, GL_SMOOTH, GL_FILL, true, COLORMODE_NORMAL},
                      DispCase{DRAWTYPE_FOCUS_ALPHA, true, GL_SMOOTH, GL_FILL, false,
                               COLORMODE_NORMAL},
                      DispCase{DRAWTYPE_BOX, true, GL_FLAT, GL_FILL, true, COLORMODE_NORMAL},
                      DispCase{DRAWTYPE_WIREBOX, false, 0, GL_LINE, true, COLORMODE_NORMAL},
                      DispCase{DRAWTYPE_WIRE, false, 0, GL_LINE, true, COLORMODE_NORMAL},
                      DispCase{DRAWTYPE_EDGE, false, 0, GL_LINE, true, COLORMODE_NORMAL},
                      DispCase{DRAWTYPE_HIDDENLINE, false, 0, GL_FILL, true, COLORMODE_NORMAL},
                      DispCase{DRAWTYPE_SHADE_EDGE, false, 0, GL_FILL, true, COLORMODE_NORMAL},
                      DispCase{DRAWTYPE_ALPHA_EDGE, true, GL_SMOOTH, GL_FILL, true,
                               COLORMODE_NORMAL},
                      DispCase{DRAWTYPE_CUSTOM_COLOR, true, GL_SMOOTH, GL_FILL, true,
                               COLORMODE_NORMAL},
                      DispCase{DRAWTYPE_MATERIAL, true, GL_SMOOTH, GL_FILL, true,
                               COLORMODE_MATERIAL},
                      DispCase{DRAWTYPE_RECYCLE, true, GL_SMOOTH, GL_FILL, true,
                               COLORMODE_RECYCLE},
                      DispCase{DRAWTYPE_PROPERTY_44, true, GL_SMOOTH, GL_FILL, true,
                               COLORMODE_NORMAL}));

// ---------------------------------------------------------------------------------------------
// The walk

class WalkTest : public PartTreeFixture {
protected:
    // root (assembly)
    //   a (part)  b (part, transparent)  grp (assembly: c1, hidden (hid1 below it))
    //   man (manikin segment)  cam (camera link with its view link)  dat (kind 256)
    void Build(bool rootShape = false)
    {
        root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        if (rootShape) {
            root->nType = KYT_LINK_PART;
            model.SetShape(root, model.AddShape(KytBuild::BoxRep(1, 1, 1)));
        }
        a = Box("a", root, {0, 0, 0});
        b = Box("b", root, {2, 0, 0});
        b->visual.uTransparent = 1;
        b->fAlpha = 0.5f;
        grp = model.AddLink("grp", root, KYT_LINK_ASSEMBLY);
        c1 = Box("c1", grp, {4, 0, 0});
        hidden = Box("hidden", grp, {4, 2, 0});
        hidden->visual.uVisible = 0;
        Box("hid1", hidden, {4, 4, 0});
        man = Box("man", root, {-2, 0, 0});
        man->nType = KYT_LINK_HUMAN;
        KytLink* cam = model.AddLink("cam", root, KYT_LINK_CAMERA);
        model.AddLink("camview", cam, KYT_LINK_CAMERA);
        model.AddLink("dat", root, KYT_LINK_DATUM);
        model.UpdatePlacements();
        Open(root, 64, 64, [this] { return recorder = new WalkRecorder(); });
        recorder->log.clear();
    }

    KytLink *root = nullptr, *a = nullptr, *b = nullptr, *grp = nullptr, *c1 = nullptr,
            *hidden = nullptr, *man = nullptr;
    WalkRecorder* recorder = nullptr;
};

TEST_F(WalkTest, RootWithoutShapeDrawsTheChainOfItsFirstChild)
{
    Build();
    Frame();
    const std::vector<std::string> expect = {
        "link:a", "shape:a", "link:b", "shape:b", "link:c1", "shape:c1", "human:man",
        "shapehuman:man", "link:cam", "link:camview", "link:dat"};
    // No alpha stack: one walk with transparent links drawn in place.
    std::vector<std::string> got;
    for (const std::string& e : recorder->log)
        got.push_back(e.substr(0, e.find('+')));
    EXPECT_EQ(got, expect);
    EXPECT_EQ(Count(recorder->log, "shape:hid1"), 0);
}

TEST_F(WalkTest, RootWithShapeDrawsOnlyItsOwnSubtree)
{
    Build(true);
    KytLink* sibling = Box("sibling", nullptr, {0, 3, 0});
    root->pSibling[KYT_REFER_ASSEMBLY] = sibling;
    Frame();
    EXPECT_EQ(recorder->log.front().rfind("link:root", 0), 0u);
    EXPECT_EQ(Count(recorder->log, "link:sibling"), 0);
    EXPECT_EQ(Count(recorder->log, "shape:a"), 1);
    root->pSibling[KYT_REFER_ASSEMBLY] = nullptr;
}

TEST_F(WalkTest, TransparentLinksAreDrawnAfterwardsInAlphaStackOrderWithoutDepthTest)
{
    Build();
    KytLink* b2 = Box("b2", root, {0, 2, 0});
    b2->visual.uTransparent = 1;
    model.UpdatePlacements();
    KytScenes::AlphaStack.Append(b2);
    KytScenes::AlphaStack.Append(b);
    Frame();
    const auto& log = recorder->log;
    const auto first = std::find(log.begin(), log.end(), "link:b2+alpha");
    const auto second = std::find(log.begin(), log.end(), "link:b+alpha");
    ASSERT_NE(first, log.end());
    ASSERT_NE(second, log.end());
    EXPECT_LT(first, second);
    EXPECT_EQ(Count(log, "link:b"), 0);  // not in the opaque walk
    EXPECT_LT(std::find(log.begin(), log.end(), "link:dat"), first);
    ASSERT_EQ(recorder->alphaState.size(), 2u);
    EXPECT_TRUE(recorder->alphaState[0]);
    EXPECT_TRUE(recorder->alphaState[1]);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    KytScenes::AlphaStack.RemoveAll();
}

TEST_F(WalkTest, KindSixtyFourStaysOpaqueInsideTheAlphaPass)
{
    Build();
    KytLink* solid = Box("solid", root, {0, 2, 0});
    solid->nType = KYT_LINK_SOLIDPART;
    solid->visual.uTransparent = 1;
    model.UpdatePlacements();
    scene->FitView(false);
    KytScenes::AlphaStack.Append(solid);
    KytScenes::AlphaStack.Append(b);
    Frame();
    const auto& log = recorder->log;
    std::vector<std::string> shapes;
    for (const std::string& e : log)
        if (e.rfind("shape:", 0) == 0)
            shapes.push_back(e);
    ASSERT_EQ(shapes.size(), recorder->shapeState.size());
    for (size_t i = 0; i < shapes.size(); ++i) {
        if (shapes[i] == "shape:solid") {
            EXPECT_FALSE(recorder->shapeState[i].first);  // no blending
            EXPECT_TRUE(recorder->shapeState[i].second);  // writes depth
        } else if (shapes[i] == "shape:b") {
            EXPECT_TRUE(recorder->shapeState[i].first);
            EXPECT_FALSE(recorder->shapeState[i].second);
        }
    }
    EXPECT_EQ(Count(log, "shape:solid"), 1);
    KytScenes::AlphaStack.RemoveAll();
}

TEST_F(WalkTest, FocusLinksAreDrawnFirstAndSkippedInTheTransparentWalk)
{
    Build();
    SetType(DRAWTYPE_FOCUS_ALPHA, a, c1);
    Frame();
    const auto& log = recorder->log;
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "shape:a");
    EXPECT_EQ(log[1], "shape:c1");
    EXPECT_EQ(Count(log, "link:a+alpha"), 0);
    EXPECT_EQ(Count(log, "link:c1+alpha"), 0);
    EXPECT_EQ(Count(log, "link:b+alpha"), 1);
    EXPECT_TRUE(Contents().bDrawFocusInWalk);
}

TEST_F(WalkTest, TheActiveLinkIsEmphasised)
{
    Build();
    c1->bActive = true;
    KytScene::bEchoActiveLink = true;
    Frame();
    EXPECT_EQ(Count(recorder->log, "active:c1"), 1);
    EXPECT_EQ(Count(recorder->log, "shape:c1"), 1);
    KytScene::bEchoActiveLink = false;
}

TEST_F(WalkTest, TargetOnlyModeDrawsEachTargetsTransparentPartsOnce)
{
    Build();
    KytLink* t1 = Box("t1", root, {0, -2, 0});
    KytLink* t1a = Box("t1a", t1, {0, -3, 0});
    t1a->visual.uTransparent = 1;
    KytLink* t2 = Box("t2", root, {2, -2, 0});
    KytLink* t2a = Box("t2a", t2, {2, -3, 0});
    t2a->visual.uTransparent = 1;
    model.UpdatePlacements();
    KytStack<KytLink> targets;
    targets.Append(t1);
    targets.Append(t2);
    scene->FitView(false);
    KYT_SetShowTarget(1, &targets);
    Frame();
    EXPECT_EQ(Count(recorder->log, "shape:t1"), 1);
    EXPECT_EQ(Count(recorder->log, "shape:t2"), 1);
    EXPECT_EQ(Count(recorder->log, "link:t1a+alpha"), 1);
    EXPECT_EQ(Count(recorder->log, "link:t2a+alpha"), 1);
    // The context pass draws no part again.
    EXPECT_EQ(Count(recorder->log, "shape:a"), 0);
    KYT_SetShowTarget(0, nullptr);
}

TEST_F(WalkTest, WireBoxOnlyDrawsBoxesOfVisibleShapes)
{
    Build();
    Contents().bWireBoxOnly = true;
    Frame();
    for (const char* name : {"a", "b", "c1", "man"})
        EXPECT_EQ(Count(recorder->log, std::string("wirebox:") + name), 1) << name;
    EXPECT_EQ(Count(recorder->log, "wirebox:hid1"), 0);
    for (const std::string& e : recorder->log)
        EXPECT_EQ(e.rfind("shape", 0), std::string::npos) << e;
}

// ---------------------------------------------------------------------------------------------
// Culling

struct Screen {
    WqVector3D look, d, up, across;
};

Screen ScreenOf(const KytLinkContents& c)
{
    const KytCamera* cam = c.pViewPort->GetActiveCamera();
    Screen s{cam->GetLookAtPosition(), c.vViewDir, cam->GetViewUpVector(), {}};
    s.up -= s.d * s.up.Dot(s.d);
    s.up.Normarize();
    s.across = s.d.Cross(s.up);
    return s;
}

// True when some point of the sphere lands inside the GL view rectangle.
bool SampledOverlap(const WqVector3D& centre, double r, std::mt19937& rng)
{
    GLdouble mv[16], pr[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int i = 0; i < 400; ++i) {
        WqVector3D p(u(rng), u(rng), u(rng));
        if (p.Length2() > 1.0 || p.Length2() < 1e-12)
            continue;
        if (i % 2)
            p.Normarize();
        const WqVector3D q = centre + p * r;
        double e[4], c[4];
        for (int k = 0; k < 4; ++k)
            e[k] = mv[k] * q.x + mv[4 + k] * q.y + mv[8 + k] * q.z + mv[12 + k];
        for (int k = 0; k < 4; ++k)
            c[k] = pr[k] * e[0] + pr[4 + k] * e[1] + pr[8 + k] * e[2] + pr[12 + k] * e[3];
        if (c[3] > 0 && std::fabs(c[0]) <= c[3] && std::fabs(c[1]) <= c[3])
            return true;
    }
    return false;
}

class CullingTest : public PartTreeFixture {
protected:
    void Prepare(ProjectType projection)
    {
        root = KytBuild::FourLinkTree(model);
        Open(root, 80, 60);
        scene->ChangeViewType(projection);
        scene->GetViewPort()->SetCamera();
        SetType(DRAWTYPE_FOCUS_ALPHA);  // no contribution rule
        ASSERT_TRUE(Contents().PreDraw());
        link = root->GetChild();
        link->bGeomCenStale = false;
        link->vGeomCen = WqVector3D();
    }
    int Test(const WqVector3D& centre, double r)
    {
        link->mech.vPos = centre;
        link->fRadius = static_cast<float>(r);
        Contents().bCullTest = true;
        return Contents().CheckCulling(link, false);
    }
    KytLink* root = nullptr;
    KytLink* link = nullptr;
};

TEST_F(CullingTest, SphereOverlappingTheRectangleCornerIsKept)
{
    Prepare(PROJECT_PARALLEL);
    const Screen s = ScreenOf(Contents());
    Contents().lfHalfWidth = 1.0;
    Contents().lfHalfHeight = 1.0;
    EXPECT_EQ(Test(s.look + s.across * 1.5 + s.up * 3.0, 2.1), 2);
    EXPECT_EQ(Test(s.look + s.across * 1.5 + s.up * 3.0, 2.0), 1);
}

TEST_F(CullingTest, ParallelViewCullsExactlyTheSpheresOutsideTheRectangle)
{
    Prepare(PROJECT_PARALLEL);
    const Screen s = ScreenOf(Contents());
    const double W = Contents().lfHalfWidth, H = Contents().lfHalfHeight;
    std::mt19937 rng(26);
    std::uniform_real_distribution<double> pos(-2.5, 2.5), rad(0.01, 1.0);
    int culled = 0;
    for (int i = 0; i < 3000; ++i) {
        const double x = pos(rng) * W, y = pos(rng) * H, z = pos(rng) * H, r = rad(rng) * H;
        const WqVector3D centre = s.look + s.across * x + s.up * y + s.d * z;
        const double dx = std::max(0.0, std::fabs(x) - W), dy = std::max(0.0, std::fabs(y) - H);
        const bool overlaps = dx * dx + dy * dy <= r * r;
        const int result = Test(centre, r);
        EXPECT_EQ(result == 2, overlaps) << x << " " << y << " r " << r;
        if (overlaps) {
            EXPECT_TRUE(result == 2 || !SampledOverlap(centre, r, rng));
        }
        culled += result != 2;
    }
    EXPECT_GT(culled, 500);
}

TEST_F(CullingTest, PerspectiveViewNeverCullsAVisibleSphere)
{
    Prepare(PROJECT_PERSPECTIVE);
    const Screen s = ScreenOf(Contents());
    const double H = Contents().lfHalfHeight;
    std::mt19937 rng(27);
    std::uniform_real_distribution<double> pos(-3.0, 3.0), rad(0.01, 1.0);
    int culled = 0;
    for (int i = 0; i < 1500; ++i) {
        const WqVector3D centre =
            s.look + s.across * (pos(rng) * H) + s.up * (pos(rng) * H) + s.d * (pos(rng) * H);
        const double r = rad(rng) * H;
        const int result = Test(centre, r);
        if (result != 2) {
            ++culled;
            EXPECT_FALSE(SampledOverlap(centre, r, rng)) << i;
        }
    }
    EXPECT_GT(culled, 100);
}

TEST_F(CullingTest, OnlyAWhollyVisibleAssemblyEndsTheViewTest)
{
    Prepare(PROJECT_PARALLEL);
    const Screen s = ScreenOf(Contents());
    const double W = Contents().lfHalfWidth;
    model.SetShape(Box("child", link, {0, 0, 0}), nullptr);
    link->bGeomCenStale = false;
    Test(s.look + s.across * (W * 0.9), W * 0.2);  // partly outside
    EXPECT_TRUE(Contents().bCullTest);
    Test(s.look, W * 0.2);
    EXPECT_FALSE(Contents().bCullTest);
}

struct BoxModeCase {
    BOXMODE mode;
    bool highlight;
    const char* expect;  // slot logged, or "" for none
    int result;
};

class ContributionTable : public PartTreeFixture,
                          public ::testing::WithParamInterface<BoxModeCase> {};

TEST_P(ContributionTable, SmallPartsAreReplacedByTheirBox)
{
    const BoxModeCase& c = GetParam();
    KytLink* root = KytBuild::FourLinkTree(model);
    KytLink* tiny = Box("tiny", root, {1, 1, 0}, 0.01);
    tiny->bHighlight = c.highlight;
    model.UpdatePlacements();
    WalkRecorder* rec = nullptr;
    Open(root, 64, 64, [&rec] { return rec = new WalkRecorder(); });
    ASSERT_TRUE(Contents().PreDraw());
    KytLinkContents::eContributionBoxMode = c.mode;
    rec->log.clear();
    EXPECT_EQ(Contents().CheckCulling(tiny, true), c.result);
    EXPECT_EQ(rec->log.size(), std::string(c.expect).empty() ? 0u : 1u);
    if (!rec->log.empty()) {
        EXPECT_EQ(rec->log[0], c.expect);
    }
    // Never while sphere mode is on, or without the contents' own permission.
    rec->log.clear();
    EXPECT_EQ(Contents().CheckCulling(tiny, false), 2);
    EXPECT_TRUE(rec->log.empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, ContributionTable,
                         ::testing::Values(BoxModeCase{BOXMODE_NONE, false, "", 0},
                                           BoxModeCase{BOXMODE_WIRE, false, "wirebox:tiny", 0},
                                           BoxModeCase{BOXMODE_SOLID, false, "box:tiny", 0},
                                           BoxModeCase{BOXMODE_WIRE, true, "", 2}));

TEST_F(PartTreeFixture, SphereModeDrawsFarPartsAsWireBoxes)
{
    KytLink* root = KytBuild::FourLinkTree(model);
    WalkRecorder* rec = nullptr;
    Open(root, 64, 64, [&rec] { return rec = new WalkRecorder(); });
    KytStack<KytLink> near;
    near.Append(root->GetChild());  // boxA
    KytLinkContents::Sphere.bSphereMode = true;
    KytLinkContents::Sphere.pLinks = &near;
    rec->log.clear();
    Frame();
    EXPECT_NEAR(KytLinkContents::Sphere.lfRadius, 1.2 * std::sqrt(3.0) / 2, 1e-6);
    EXPECT_EQ(Count(rec->log, "shape:boxA"), 1);
    EXPECT_EQ(Count(rec->log, "wirebox:boxB"), 1);
    EXPECT_EQ(Count(rec->log, "shape:boxB"), 0);
    EXPECT_EQ(Count(rec->log, "wirebox:cylinder"), 1);
    KytLinkContents::Sphere.nBoxMode = 0;
    rec->log.clear();
    Frame();
    EXPECT_EQ(Count(rec->log, "wirebox:boxB"), 0);
    KytLinkContents::Sphere = CSphere();
}

// ---------------------------------------------------------------------------------------------
// Clip planes

TEST_F(PartTreeFixture, ClipPlaneSlots)
{
    KytLink* root = KytBuild::FourLinkTree(model);
    Open(root);
    KytLinkContents& c = Contents();
    KytLink* clips[6];
    for (int i = 0; i < 6; ++i) {
        clips[i] = model.AddLink("clip", root, KYT_LINK_DATUM);
        clips[i]->mech.vPos = WqVector3D(0, 0, i);
    }
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(c.AddClipPlane(clips[i]));
    EXPECT_TRUE(c.RemoveClipPlane(clips[0]));
    EXPECT_EQ(c.GetClipCnt(), 2);
    EXPECT_EQ(c.GetClipLink(0), clips[1]);
    EXPECT_EQ(c.GetClipLink(1), clips[2]);
    EXPECT_EQ(c.GetClipLink(2), nullptr);
    EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE2));
    EXPECT_FALSE(c.RemoveClipPlane(clips[0]));
    for (int i = 3; i < 6; ++i)
        ASSERT_TRUE(c.AddClipPlane(clips[i]));
    EXPECT_FALSE(c.AddClipPlane(clips[0]));  // a sixth
    EXPECT_EQ(c.GetClipCnt(), 5);
    EXPECT_EQ(c.GetClipLink(4), clips[5]);
    for (int i = 1; i < 6; ++i)
        c.RemoveClipPlane(clips[i]);
    EXPECT_EQ(c.GetClipCnt(), 0);
    c.bViewClip = true;
    EXPECT_EQ(c.GetClipCnt(), 1);
}

TEST_F(PartTreeFixture, ClipPlaneEquationsReachGl)
{
    KytLink* root = KytBuild::FourLinkTree(model);
    Open(root);
    KytLink* clip = model.AddLink("clip", root, KYT_LINK_DATUM);
    clip->mech.vPos = WqVector3D(1, 2, 3);
    clip->mech.mRot.MakeRotMatrix(std::cos(0.5), std::sin(0.5), 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    for (bool side : {false, true}) {
        clip->bSectionSide = side;
        Contents().AddClipPlane(clip);
        GLdouble eq[4];
        glGetClipPlane(GL_CLIP_PLANE0, eq);
        WqVector3D n = clip->mech.mRot.Column(2) * (side ? 1.0 : -1.0);
        EXPECT_NEAR(eq[0], n.x, 1e-6);
        EXPECT_NEAR(eq[1], n.y, 1e-6);
        EXPECT_NEAR(eq[2], n.z, 1e-6);
        EXPECT_NEAR(eq[3], -n.Dot(clip->mech.vPos), 1e-6);
        EXPECT_TRUE(glIsEnabled(GL_CLIP_PLANE0));
        Contents().RemoveClipPlane(clip);
        EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE0));
    }
}

TEST_F(PartTreeFixture, CheckClippingAgreesWithACornerSideTest)
{
    KytLink* root = KytBuild::FourLinkTree(model);
    Open(root);
    KytLinkContents& c = Contents();
    KytLink* clip = model.AddLink("clip", root, KYT_LINK_DATUM);
    KytLink* part = Box("part", root, {0, 0, 0}, 1.0);
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-1.5, 1.5), ang(-3.0, 3.0);
    for (int i = 0; i < 500; ++i) {
        clip->bSectionSide = i % 2;
        clip->mech.vPos = WqVector3D(u(rng), u(rng), u(rng));
        const double a = ang(rng);
        clip->mech.mRot.MakeRotMatrix(std::cos(a), std::sin(a),
                                      WqVector3D(u(rng), u(rng), u(rng) + 2.0));
        part->mech.vPos = WqVector3D(u(rng), u(rng), u(rng));
        c.nClipCnt = 0;
        std::fill(std::begin(c.apClipLink), std::end(c.apClipLink), nullptr);
        c.apClipLink[0] = clip;
        c.nClipCnt = 1;
        c.CalcClipParameter(true);
        // Plain test: which corners lie on the kept side.
        const WqVector3D z = clip->mech.mRot.Column(2);
        int kept = 0, removed = 0;
        for (const WqVector3D& corner : part->aBoxCorner) {
            const double s = z.Dot(part->mech.GetAbsPos(corner) - clip->mech.vPos);
            const bool gone = clip->bSectionSide ? s < 0 : s > 0;
            (gone ? removed : kept) += 1;
        }
        bool cut = false;
        const bool clipped = c.CheckClipping(part, cut);
        EXPECT_EQ(clipped, kept == 0) << i;
        EXPECT_EQ(cut, kept > 0 && removed > 0) << i;
        EXPECT_EQ(c.abClipCut[0] != 0, cut);
    }
}

}  // namespace

namespace {

TEST_F(PartTreeFixture, ContentsLifecycleAndSettingsCopy)
{
    KytLink* root = KytBuild::FourLinkTree(model);
    Open(root);
    KytLinkContents& source = Contents();
    KytLink* clip = model.AddLink("clip", root, KYT_LINK_DATUM);
    ASSERT_TRUE(source.AddClipPlane(clip));
    source.SetSubContsState(2, true);
    source.SetSubContsState(6, false);
    source.SetAlphaValue(0.25f);
    source.bPointMode = true;
    source.pFocusLink1 = root->GetChild();
    scene->ChangeDrawType(DRAWTYPE_WIRE, root->GetChild(), nullptr, false);
    {
        // A second scene on its own context takes the settings, never the glyphs.
        scene_test::ContentsScene other(root, "Other");
        ASSERT_TRUE(other.Create(NewOgl(32, 32), 32, 32));
        KytLinkContents& copy = *other.GetContents();
        copy.Copy(&source);
        EXPECT_EQ(copy.eDrawType, DRAWTYPE_WIRE);
        EXPECT_EQ(copy.GetClipLink(0), clip);
        EXPECT_EQ(copy.GetClipCnt(), 1);
        EXPECT_FLOAT_EQ(copy.fAlphaValue, 0.25f);
        EXPECT_TRUE(copy.bPointMode);
        EXPECT_EQ(copy.pFocusLink1, root->GetChild());
        EXPECT_TRUE(copy.pAxis->IsDraw());
        EXPECT_FALSE(copy.pDatum->IsDraw());
        EXPECT_NE(copy.pAxis, source.pAxis);
        GLint modes[2];
        glGetIntegerv(GL_POLYGON_MODE, modes);
        EXPECT_EQ(modes[0], GL_LINE);  // the copy's draw type reached its own context
        KytLinkContents clipOnly;
        clipOnly.CopyClipInfo(&source);
        EXPECT_EQ(clipOnly.GetClipLink(0), clip);
        EXPECT_EQ(clipOnly.eDrawType, DRAWTYPE_SHADE);
        other.Destroy();
    }
    scene->MakeCurrentForTest();
    source.Destroy();
    EXPECT_EQ(source.GetClipCnt(), 0);
    EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE0));
}

TEST_F(PartTreeFixture, AxisGlyphWithoutFontDrawsNothing)
{
    KytLink* root = KytBuild::FourLinkTree(model);
    Open(root);
    KytLinkContents fresh;  // never created: its glyphs have no font
    fresh.SetSubContsState(2, true);
    std::vector<GLfloat> buffer(1 << 18);
    glFeedbackBuffer(1 << 18, GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    fresh.pAxis->Draw();
    EXPECT_EQ(glRenderMode(GL_RENDER), 0);
    glRenderMode(GL_FEEDBACK);
    Contents().SetSubContsState(2, true);
    Contents().pAxis->Draw();
    EXPECT_GT(glRenderMode(GL_RENDER), 0);
}

}  // namespace
