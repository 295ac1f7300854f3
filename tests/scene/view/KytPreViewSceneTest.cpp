#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/kernel/KytModel.h"
#include "platform/wgl/Wgl.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytPreViewContents.h"
#include "scene/view/KytPreViewScene.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/SceneFixture.h"

namespace {

using scene_test::SceneFixture;

class PreViewTest : public SceneFixture {
protected:
    void TearDown() override
    {
        scene.reset();
        SceneFixture::TearDown();
    }

    // Placements are relative to the parent.
    // root (shape)
    //  +- t  (target)  +- t1
    //  +- n            +- n1 (target)
    //  +- s  (solid part kind)
    void BuildTree()
    {
        root = KytBuild::AddBox(model, "root", nullptr, {0, 0, 0}, 1, 1, 1);
        t = KytBuild::AddBox(model, "t", root, {2, 0, 0}, 1, 1, 1);
        t1 = KytBuild::AddBox(model, "t1", t, {2, 2, 0}, 1, 1, 1);
        n = KytBuild::AddBox(model, "n", root, {-2, 0, 0}, 1, 1, 1);
        n1 = KytBuild::AddBox(model, "n1", n, {-2, 2, 0}, 1, 1, 1);
        s = KytBuild::AddBox(model, "s", root, {0, -2, 0}, 1, 1, 1);
        s->nType = KYT_LINK_SOLIDPART;
        t->bTarget = true;
        n1->bTarget = true;
        model.UpdatePlacements();
    }

    void Open(KytLink* r)
    {
        scene = std::make_unique<KytPreViewScene>(r, "Preview");
        ASSERT_TRUE(scene->Create(NewOgl(64, 64), 64, 64));
        scene->FitView(false);
    }

    KytPreViewContents& Contents()
    {
        return *dynamic_cast<KytPreViewContents*>(scene->GetContents());
    }

    // Names of the links that leave a selection hit anywhere in the window.
    std::set<std::string> Drawn()
    {
        std::vector<unsigned> buffer(4096);
        const int hits = scene->PickArea(0, 0, 64, 64, buffer.data(),
                                         static_cast<int>(buffer.size()));
        EXPECT_GE(hits, 0);
        std::set<std::string> names;
        size_t at = 0;
        for (int h = 0; h < hits && at < buffer.size(); ++h) {
            const unsigned count = buffer[at];
            if (count >= 2) {
                if (const auto* link =
                        static_cast<const KytLink*>(KytPickNames::Lookup(buffer[at + 4])))
                    names.insert(link->name);
            }
            at += 3 + count;
        }
        return names;
    }

    KytModel model;
    KytLink *root = nullptr, *t = nullptr, *t1 = nullptr, *n = nullptr, *n1 = nullptr,
            *s = nullptr;
    std::unique_ptr<KytPreViewScene> scene;
};

TEST_F(PreViewTest, DefaultsOfSceneAndContents)
{
    BuildTree();
    Open(root);
    EXPECT_FALSE(scene->IsNormal());
    EXPECT_FALSE(scene->IsTargetOnly());
    EXPECT_DOUBLE_EQ(scene->GetViewPort()->GetDistanceRate(), 1.1);
    EXPECT_FALSE(Contents().bTargetOnly);
    EXPECT_EQ(Contents().nLinkTypeMask, 2);
    static_assert(!std::is_copy_constructible_v<KytPreViewScene>);
    static_assert(!std::is_copy_assignable_v<KytPreViewScene>);
}

TEST_F(PreViewTest, TargetOnlyAndTypeMaskChooseTheLinksDrawn)
{
    BuildTree();
    Open(root);
    struct Case {
        bool targetOnly;
        int mask;
        std::set<std::string> drawn;
    };
    const Case cases[] = {
        {false, 2, {"root", "t", "t1", "n", "n1"}},
        // The root always; below a target its subtree without marks of its own.
        {true, 2, {"root", "t", "t1", "n1"}},
        {false, 2 | KYT_LINK_SOLIDPART, {"root", "t", "t1", "n", "n1", "s"}},
        {true, KYT_LINK_SOLIDPART, {}},
    };
    for (const Case& c : cases) {
        scene->SetTargetOnly(c.targetOnly);
        Contents().nLinkTypeMask = c.mask;
        EXPECT_EQ(Contents().bTargetOnly, c.targetOnly);
        EXPECT_EQ(Drawn(), c.drawn) << "targetOnly " << c.targetOnly << " mask " << c.mask;
        EXPECT_EQ(Contents().bTargetOnly, c.targetOnly) << "restored after the walk";
    }
}

TEST_F(PreViewTest, ChangePartDrawsTheNewLinkAlone)
{
    BuildTree();
    Open(root);
    scene->ChangePart(t);
    EXPECT_EQ(scene->GetRootLink(), t);
    scene->FitView(false);
    EXPECT_EQ(Drawn(), (std::set<std::string>{"t", "t1"}));
}

TEST_F(PreViewTest, SetLookWithoutABoxLooksAtTheOrigin)
{
    KytLink* empty = model.AddLink("empty");
    Open(empty);
    KytCamera* camera = scene->GetViewPort()->GetActiveCamera();
    ASSERT_NE(camera, nullptr);
    camera->SetLookAtPosition(WqVector3D(5, 6, 7));
    const double radius = scene->GetViewPort()->GetViewRadius();
    scene->SetLook(empty);
    EXPECT_EQ(camera->GetLookAtPosition().x, 0.0);
    EXPECT_EQ(camera->GetLookAtPosition().y, 0.0);
    EXPECT_EQ(camera->GetLookAtPosition().z, 0.0);
    EXPECT_EQ(scene->GetViewPort()->GetViewRadius(), radius);
    // A null link changes nothing.
    camera->SetLookAtPosition(WqVector3D(5, 6, 7));
    scene->SetLook(nullptr);
    EXPECT_EQ(camera->GetLookAtPosition().x, 5.0);
}

TEST_F(PreViewTest, SetLookFitsTheTargetBox)
{
    BuildTree();
    Open(root);
    scene->SetTargetOnly(true);
    scene->SetLook(n1);
    // n1 alone: a unit cube at (-4, 2, 0).
    const WqVector3D& at = scene->GetViewPort()->GetActiveCamera()->GetLookAtPosition();
    EXPECT_NEAR(at.x, -4.0, 1e-9);
    EXPECT_NEAR(at.y, 2.0, 1e-9);
    EXPECT_NEAR(scene->GetViewPort()->GetViewRadius(), std::sqrt(3.0) / 2, 1e-9);
}

TEST_F(PreViewTest, CheckZClipFitsTheDepthAndAnswersFalse)
{
    BuildTree();
    Open(root);
    KytViewPort* vp = scene->GetViewPort();
    KytCamera* camera = vp->GetActiveCamera();
    camera->SetLookAtPosition(WqVector3D(0, 0, 0));
    EXPECT_FALSE(scene->CheckZClip());
    // The box of everything of type 2: x -4.5..4.5, y -0.5..2.5, z -0.5..0.5.
    const WqVector3D centre(0, 1, 0);
    const double diagonal = std::sqrt(81.0 + 9.0 + 1.0);
    const double expected = centre.Length() + 0.5 * diagonal * 1.1;
    EXPECT_NEAR(vp->GetEyeDistance(), expected, 1e-9);
    EXPECT_EQ(vp->GetNearClip(), 0.0);
    EXPECT_NEAR(vp->GetFarClip(), KytViewPort::lfFarRate * expected, 1e-9);

    KytLink* empty = model.AddLink("lonely");
    scene->ChangePart(empty);
    EXPECT_FALSE(scene->CheckZClip());
    EXPECT_NEAR(vp->GetEyeDistance(), expected, 1e-9) << "no box: nothing changes";
}

TEST_F(PreViewTest, AllAlphaDrawLeavesDepthAndBlendAsTheyWere)
{
    BuildTree();
    Open(root);
    scene->SetDrawType(DRAWTYPE_ALPHA_EDGE, false);
    ASSERT_EQ(Contents().GetDrawType(), DRAWTYPE_ALPHA_EDGE);
    struct Case {
        bool depthTest, depthMask, blend;
    };
    for (const Case c : {Case{true, true, false}, Case{false, false, true},
                         Case{true, false, true}}) {
        c.depthTest ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
        glDepthMask(c.depthMask ? GL_TRUE : GL_FALSE);
        c.blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
        Contents().Draw(root, 0);
        GLboolean mask = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
        EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST) == GL_TRUE, c.depthTest);
        EXPECT_EQ(mask == GL_TRUE, c.depthMask);
        EXPECT_EQ(glIsEnabled(GL_BLEND) == GL_TRUE, c.blend);
        EXPECT_FALSE(Contents().bAlphaPass);
    }
}

TEST_F(PreViewTest, BackFaceAlphaIsGivenBackAsItWas)
{
    BuildTree();
    root->visual.uTransparent = 1;
    root->fAlpha = 0.3f;
    ASSERT_TRUE(root->IsTransparent());
    Open(root);
    KytLinkContents::bBackFaceColor = true;
    KytLinkContents::afPartBackFaceColor[3] = 0.8f;
    Contents().Draw(root, 0);
    EXPECT_FLOAT_EQ(KytLinkContents::afPartBackFaceColor[3], 0.8f);
    EXPECT_FLOAT_EQ(Contents().fAlphaValue, 0.3f);
    scene->SetDrawType(DRAWTYPE_ALPHA_EDGE, false);
    Contents().Draw(root, 0);
    EXPECT_FLOAT_EQ(KytLinkContents::afPartBackFaceColor[3], 0.8f);
    float back[4] = {};
    glGetMaterialfv(GL_BACK, GL_DIFFUSE, back);
    EXPECT_FLOAT_EQ(back[3], 0.8f);
}

TEST_F(PreViewTest, CreateMakesTheNewContextCurrentEvenOverAStaleWindowRecord)
{
    BuildTree();
    std::unique_ptr<KytOgl> other(NewOgl(16, 16));
    ASSERT_TRUE(other->Create(16, 16));
    other->MakeCurrentFource();
    auto* ogl = NewOgl(32, 32);
    // The window record already names the new window: only an unconditional switch helps.
    KytOgl::hWndNow = ogl->GetHwnd();
    scene = std::make_unique<KytPreViewScene>(root, "Preview");
    ASSERT_TRUE(scene->Create(ogl, 32, 32));
    EXPECT_EQ(scene->GetOgl(), ogl);
    EXPECT_EQ(quor::wgl::wglGetCurrentContext(), ogl->GetHglrc());
    EXPECT_EQ(KytOgl::hWndNow, ogl->GetHwnd());
    EXPECT_FLOAT_EQ(scene->GetDegPerPixelX(), 360.0f / 32);

    // A replaced context is freed.
    const int live = quor::wgl::LiveContexts();
    ASSERT_TRUE(scene->Create(NewOgl(32, 32), 32, 32));
    EXPECT_EQ(quor::wgl::LiveContexts(), live);
    other->DeleteContext();
}

TEST_F(PreViewTest, FailingCreateKeepsNoContext)
{
    BuildTree();
    Open(root);
    const int live = quor::wgl::LiveContexts();
    FailContextCreation(true);
    EXPECT_FALSE(scene->Create(NewOgl(32, 32), 32, 32));
    FailContextCreation(false);
    EXPECT_EQ(scene->GetOgl(), nullptr);
    EXPECT_EQ(quor::wgl::LiveContexts(), live - 1);
    // Without a context every operation does nothing.
    scene->Draw(true);
    scene->FitView(true);
    EXPECT_FALSE(scene->CheckZClip());
}

TEST_F(PreViewTest, FrameDrawsTheTree)
{
    BuildTree();
    Open(root);
    scene->Draw(true);
    glFinish();
    EXPECT_EQ(KytOgl::hWndNow, scene->GetOgl()->GetHwnd());
}

} // namespace
