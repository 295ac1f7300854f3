#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/kernel/KytModel.h"
#include "platform/kernel/KytShape.h"
#include "platform/kernel/KytStack.h"
#include "platform/wgl/Wgl.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytMultiContents.h"
#include "scene/view/KytMultiScene.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/SceneFixture.h"

namespace {

using scene_test::SceneFixture;

// Multi contents that log each shape drawn, with "+alpha" inside a translucent pass.
class ShapeLog : public KytMultiContents {
public:
    using KytMultiContents::KytMultiContents;
    void DrawShape(const KytLink* link) override
    {
        log.push_back(link->name + (bAlphaPass ? "+alpha" : ""));
        KytMultiContents::DrawShape(link);
    }
    std::vector<std::string> log;
};

class LoggingMultiScene : public KytMultiScene {
public:
    using KytMultiScene::KytMultiScene;

protected:
    KytLinkContents* CreateConts() override { return new ShapeLog(GetDrawParts()); }
};

class MultiViewTest : public SceneFixture {
protected:
    void TearDown() override
    {
        scene.reset();
        SceneFixture::TearDown();
    }

    KytLink* Box(const char* name, WqVector3D pos, double w = 1.0)
    {
        if (!model.Root())
            model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        KytLink* link = KytBuild::AddBox(model, name, model.Root(), pos, w, w, w);
        model.UpdatePlacements();
        return link;
    }

    void Open(int w = 64, int h = 64)
    {
        scene = std::make_unique<LoggingMultiScene>(&parts);
        scene->SetRootLink(model.Root());
        ASSERT_TRUE(scene->Create(NewOgl(w, h), w, h));
        scene->FitView(false);
    }

    ShapeLog& Contents() { return *dynamic_cast<ShapeLog*>(scene->GetContents()); }

    // Links hit anywhere in the window, in the order their records were written.
    std::vector<std::string> Hits()
    {
        std::vector<unsigned> buffer(4096);
        const int hits = scene->PickArea(0, 0, scene->GetWidth(), scene->GetHeight(),
                                         buffer.data(), static_cast<int>(buffer.size()));
        std::vector<std::string> names;
        size_t at = 0;
        for (int h = 0; h < hits && at < buffer.size(); ++h) {
            const unsigned count = buffer[at];
            if (count >= 2)
                if (const auto* link =
                        static_cast<const KytLink*>(KytPickNames::Lookup(buffer[at + 4])))
                    names.push_back(link->name);
            at += 3 + count;
        }
        return names;
    }

    KytModel model;
    KytStack<KytLink> parts;
    std::unique_ptr<KytMultiScene> scene;
};

TEST_F(MultiViewTest, NotNormalNotCopyableClipPlanesHonoured)
{
    Box("a", {0, 0, 0});
    parts.Append(model.Root()->GetChild());
    Open();
    EXPECT_FALSE(scene->IsNormal());
    EXPECT_TRUE(Contents().bClipAllowed);
    EXPECT_FALSE(Contents().bAlphaMode);
    EXPECT_TRUE(Contents().bDrawSilhouette);
    EXPECT_TRUE(Contents().bAlphaDepthMaskOff);
    EXPECT_EQ(Contents().GetDrawLinks(), &parts);
    EXPECT_EQ(KytOgl::hWndNow, scene->GetOgl()->GetHwnd());
    static_assert(!std::is_copy_constructible_v<KytMultiScene>);
    static_assert(!std::is_copy_constructible_v<KytMultiContents>);
}

// Culling against the GL projection of each sphere over random views.
TEST_F(MultiViewTest, CullingAgreesWithTheProjectedSphereOverRandomViews)
{
    std::mt19937 rng(30);
    std::uniform_real_distribution<double> pos(-12.0, 12.0);
    std::uniform_real_distribution<float> angle(-180.0f, 180.0f);
    std::vector<KytLink*> links;
    for (int i = 0; i < 120; ++i) {
        char name[16];
        std::snprintf(name, sizeof(name), "s%d", i);
        links.push_back(Box(name, {pos(rng), pos(rng), pos(rng)}, 0.2 + i % 5 * 0.3));
    }
    parts.Append(links.front());
    Open(80, 60);
    int drawn = 0, culled = 0;
    for (int view = 0; view < 20; ++view) {
        scene->GetViewPort()->ChangeViewPoint(angle(rng), angle(rng) / 2);
        scene->GetViewPort()->SetViewRadius(3.0 + view % 4);
        scene->ResetView(false);
        Contents().Draw(nullptr, 0);
        GLdouble model[16], proj[16];
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        glGetIntegerv(GL_VIEWPORT, vp);
        // Window pixels per world unit of the orthographic view.
        double ox, oy, oz, ux, uy, uz;
        gluProject(0, 0, 0, model, proj, vp, &ox, &oy, &oz);
        for (KytLink* link : links) {
            const WqVector3D c = link->mech.GetAbsPos(link->vGeomCen);
            double wx, wy, wz;
            gluProject(c.x, c.y, c.z, model, proj, vp, &wx, &wy, &wz);
            const WqVector3D dir = scene->GetViewPort()->GetActiveCamera()->GetViewUpVector();
            gluProject(c.x + dir.x, c.y + dir.y, c.z + dir.z, model, proj, vp, &ux, &uy, &uz);
            const double perUnit = std::hypot(ux - wx, uy - wy);
            const double r = static_cast<float>(link->GetRadius()) * perUnit;
            const double dx = std::max({0.0, vp[0] - wx, wx - (vp[0] + vp[2])});
            const double dy = std::max({0.0, vp[1] - wy, wy - (vp[1] + vp[3])});
            const bool inside = dx == 0.0 && dy == 0.0;
            const bool whollyOutside = dx * dx + dy * dy > (r + 0.01) * (r + 0.01);
            const bool draw = Contents().CheckViewFlustomCulling(link);
            if (inside) {
                EXPECT_TRUE(draw) << link->name << " view " << view;
                ++drawn;
            } else if (whollyOutside) {
                EXPECT_FALSE(draw) << link->name << " view " << view;
                ++culled;
            }
        }
    }
    EXPECT_GT(drawn, 100);
    EXPECT_GT(culled, 100);
}

TEST_F(MultiViewTest, CullingTableAroundTheAxisAndTheEdge)
{
    KytLink* link = Box("s", {0, 0, 0}, 1.0);
    parts.Append(link);
    Open(64, 64);
    scene->GetViewPort()->ChangeViewPoint(30.0f, 20.0f);
    scene->GetViewPort()->SetViewRadius(5.0);
    scene->ResetView(false);
    Contents().Draw(nullptr, 0);
    const KytCamera* camera = scene->GetViewPort()->GetActiveCamera();
    const WqVector3D L = camera->GetLookAtPosition();
    const WqVector3D o = camera->GetEyeOrientation();
    WqVector3D up = camera->GetViewUpVector();
    up -= o * up.Dot(o);
    up.Normarize();
    const double r = static_cast<float>(link->GetRadius());
    const double H = Contents().lfHalfHeight;
    ASSERT_GT(H, 0.0);
    struct Case {
        const char* what;
        WqVector3D at;
        bool draw;
    };
    const Case cases[] = {
        {"on the axis, far along it", L + o * 40.0, true},
        {"sphere covers the axis point", L + up * (r * 0.9), true},
        {"u equal to r", L + up * r, true},
        {"outline exactly H above", L + up * (H + r - 1e-9), true},
        {"outline slightly more than H above", L + up * (H + r + 1e-6), false},
        {"far below", L - up * (3 * H), false},
    };
    for (const Case& c : cases) {
        link->mech.vPos = c.at;
        EXPECT_EQ(Contents().CheckViewFlustomCulling(link), c.draw) << c.what;
    }
}

TEST_F(MultiViewTest, OpaqueLinksFirstThenTheDeferredTranslucentOnes)
{
    KytLink* a = Box("a", {-2, 0, 0});
    KytLink* b = Box("b", {0, 0, 0});
    KytLink* c = Box("c", {2, 0, 0});
    b->visual.uTransparent = 1;
    ASSERT_TRUE(b->IsTransparent());
    for (KytLink* l : {b, a, c})
        parts.Append(l);
    Open();
    KytLinkContents::bBackFaceColor = true;
    EXPECT_EQ(Hits(), (std::vector<std::string>{"a", "c", "b"}));
    scene->Draw(true);
    // Kept as the view has always done: the translucent pass leaves back colours off.
    EXPECT_FALSE(KytLinkContents::bBackFaceColor);
    EXPECT_FALSE(Contents().bAlphaPass);
}

TEST_F(MultiViewTest, AlphaModeDrawsNonAlphaLinksOpaqueEvenWhenHidden)
{
    KytLink* a = Box("a", {-2, 0, 0});
    KytLink* b = Box("b", {0, 0, 0});
    KytLink* hidden = Box("h", {2, 0, 0});
    hidden->visual.uVisible = 0;
    ASSERT_FALSE(hidden->IsVisible());
    for (KytLink* l : {a, b, hidden})
        parts.Append(l);
    KytStack<KytLink> opaque;
    opaque.Append(b);
    opaque.Append(hidden);
    Open();
    Contents().bAlphaMode = true;
    Contents().SetNonAlphaLinks(&opaque);
    Contents().log.clear();
    scene->Draw(true);
    EXPECT_EQ(Contents().log, (std::vector<std::string>{"a+alpha", "b", "h"}));
    GLboolean mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_TRUE(mask);
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
}

TEST_F(MultiViewTest, EmptyOrNullListDrawsAndFitsNothing)
{
    Box("a", {0, 0, 0});
    Open();
    KytViewPort* vp = scene->GetViewPort();
    const double radius = vp->GetViewRadius();
    const WqVector3D at = vp->GetActiveCamera()->GetLookAtPosition();
    for (KytStack<KytLink>* list : {&parts, static_cast<KytStack<KytLink>*>(nullptr)}) {
        scene->SetDrawParts(list, false);
        for (bool alpha : {false, true}) {
            Contents().bAlphaMode = alpha;
            GLuint buffer[64];
            glSelectBuffer(64, buffer);
            glRenderMode(GL_SELECT);
            glInitNames();
            Contents().Draw(nullptr, 0);
            GLint depth = -1;
            glGetIntegerv(GL_NAME_STACK_DEPTH, &depth);
            glRenderMode(GL_RENDER);
            EXPECT_EQ(depth, 0) << "no names pushed";
        }
        scene->FitView(false);
        EXPECT_FALSE(scene->CheckZClip());
        scene->MakeAlphaEdgeData();
        EXPECT_EQ(vp->GetViewRadius(), radius);
    }
    // A list of hidden links has no box: the view stays rather than going endless.
    KytLink* hidden = model.Root()->GetChild();
    hidden->visual.uVisible = 0;
    parts.Append(hidden);
    scene->SetDrawParts(&parts, false);
    scene->FitView(false);
    EXPECT_EQ(vp->GetViewRadius(), radius);
    EXPECT_EQ(vp->GetActiveCamera()->GetLookAtPosition().x, at.x);
}

TEST_F(MultiViewTest, FitViewTakesTheShownLinksOwnBoxes)
{
    KytLink* a = Box("a", {-3, 0, 0});
    KytLink* b = Box("b", {3, 0, 0});
    KytLink* c = Box("c", {0, 9, 0});
    c->visual.uVisible = 0;
    for (KytLink* l : {a, b, c})
        parts.Append(l);
    Open();
    const WqVector3D& at = scene->GetViewPort()->GetActiveCamera()->GetLookAtPosition();
    EXPECT_NEAR(at.x, 0.0, 1e-9);
    EXPECT_NEAR(at.y, 0.0, 1e-9);
    EXPECT_NEAR(scene->GetViewPort()->GetViewRadius(), std::sqrt(49.0 + 1 + 1) / 2, 1e-9);
    EXPECT_DOUBLE_EQ(scene->GetViewPort()->GetBaseRadius(),
                     scene->GetViewPort()->GetViewRadius());
}

TEST_F(MultiViewTest, CheckZClipSetsNearAndFarPlanes)
{
    KytLink* a = Box("a", {-3, 0, 0});
    KytLink* b = Box("b", {3, 0, 0});
    KytLink* hidden = Box("h", {0, 20, 0});
    hidden->visual.uVisible = 0;
    for (KytLink* l : {a, b, hidden})
        parts.Append(l);
    Open();
    KytViewPort* vp = scene->GetViewPort();
    vp->GetActiveCamera()->SetLookAtPosition(WqVector3D(0, 4, 0));
    EXPECT_FALSE(scene->CheckZClip());
    const double expected = 4.0 + 0.5 * std::sqrt(49.0 + 1 + 1) * vp->GetDistanceRate();
    EXPECT_NEAR(vp->GetEyeDistance(), expected, 1e-9);
    EXPECT_EQ(vp->GetNearClip(), 0.0);
    EXPECT_NEAR(vp->GetFarClip(), KytViewPort::lfFarRate * expected, 1e-9);
}

TEST_F(MultiViewTest, AlphaEdgeDataMarksEachShapeOnce)
{
    KytLink* a = Box("a", {-3, 0, 0});
    KytLink* b = Box("b", {3, 0, 0}, 2.0);
    KytLink* bare = model.AddLink("bare", model.Root());
    for (KytLink* l : {a, b, bare, a})
        parts.Append(l);
    Open();
    scene->MakeAlphaEdgeData();
    EXPECT_TRUE(a->pShape->uFlags & KYT_SHAPE_SILHOUETTE);
    EXPECT_TRUE(b->pShape->uFlags & KYT_SHAPE_SILHOUETTE);
    // The silhouettes then draw in both passes.
    scene->Draw(true);
    Contents().bAlphaMode = true;
    scene->Draw(true);
}

} // namespace
