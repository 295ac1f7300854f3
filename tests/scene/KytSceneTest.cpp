// The scene core: names and ids, creation and sizing, the frame in its order, the text pass,
// moving-view save and restore, draw types, and copying.

#include "tests/support/scene/SceneFixture.h"

#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytViewPort.h"
#include "platform/kernel/KytModel.h"
#include "platform/kernel/KytRecords.h"
#include "scene/view/KytOglMem.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

using namespace scene_test;

namespace {

using Strings = std::vector<std::string>;

TEST_F(SceneFixture, DefaultNamesAndIdsCountFromZero)
{
    KytScene a, b;
    KytScene named(nullptr, "Named");
    KytScene c;
    EXPECT_STREQ(a.GetName(), "Scene000");
    EXPECT_STREQ(b.GetName(), "Scene001");
    EXPECT_STREQ(named.GetName(), "Named");
    EXPECT_STREQ(c.GetName(), "Scene003");
    EXPECT_EQ(a.GetID(), 0u);
    EXPECT_EQ(b.GetID(), 1u);
    EXPECT_EQ(named.GetID(), 2u);
    EXPECT_EQ(c.GetID(), 3u);
    // Fresh state of a scene.
    EXPECT_EQ(a.GetWidth(), 200);
    EXPECT_EQ(a.GetHeight(), 200);
    EXPECT_TRUE(a.IsNormal());
    EXPECT_TRUE(a.IsDepend());
    EXPECT_TRUE(a.GetAuxState());
    EXPECT_EQ(a.GetOgl(), nullptr);
    EXPECT_EQ(a.GetContents(), nullptr);
    EXPECT_NE(a.GetViewPort(), nullptr);
    EXPECT_EQ(a.GetLight(0), nullptr);
}

TEST_F(SceneFixture, CreateWithZeroSizeKeepsTheSize)
{
    RecordingScene scene;
    ASSERT_TRUE(scene.Create(NewOgl(64, 48), 0, 0));
    EXPECT_EQ(scene.GetWidth(), 200);
    EXPECT_EQ(scene.GetHeight(), 200);
    EXPECT_FLOAT_EQ(scene.GetDegPerPixelX(), 1.8f);
    EXPECT_FLOAT_EQ(scene.GetDegPerPixelY(), 1.8f);
    ASSERT_NE(scene.GetContents(), nullptr);
    // The default light is the scene's own and is sent to GL.
    ASSERT_NE(scene.GetLight(0), nullptr);
    EXPECT_STREQ(scene.GetLight(0)->GetName(), "Default");
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
}

TEST_F(SceneFixture, CreateWithASizeTakesIt)
{
    RecordingScene scene;
    ASSERT_TRUE(scene.Create(NewOgl(90, 60), 90, 60));
    EXPECT_EQ(scene.GetWidth(), 90);
    EXPECT_EQ(scene.GetHeight(), 60);
    EXPECT_FLOAT_EQ(scene.GetDegPerPixelX(), 4.0f);
    EXPECT_FLOAT_EQ(scene.GetDegPerPixelY(), 6.0f);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 90);
    EXPECT_EQ(vp[3], 60);
}

TEST_F(SceneFixture, FailedCreateFreesBothContexts)
{
    RecordingScene scene;
    ASSERT_TRUE(scene.Create(NewOgl(32, 32), 32, 32));
    // A context whose creation fails: the scene keeps none and leaks none, not even the one
    // it had before.
    FailContextCreation(true);
    EXPECT_FALSE(scene.Create(NewOgl(32, 32), 32, 32));
    FailContextCreation(false);
    EXPECT_EQ(scene.GetOgl(), nullptr);
    EXPECT_EQ(quor::wgl::LiveContexts(), 0);
    EXPECT_FALSE(scene.Create(true));
    scene.Draw(true);  // nothing, no crash
    EXPECT_FALSE(scene.Create(nullptr, 10, 10));
}

TEST_F(SceneFixture, ReSizeGuards)
{
    RecordingScene scene;
    scene.ReSize(100, 100);  // no context: nothing
    EXPECT_EQ(scene.GetWidth(), 200);
    ASSERT_TRUE(scene.Create(NewOgl(64, 64), 64, 64));
    struct Case {
        int x, y, w, h;
        bool changes;
    } cases[] = {
        {-1, 0, 100, 100, false}, {0, -1, 100, 100, false}, {0, 0, 0, 50, false},
        {0, 0, 50, 0, false},     {4, 2, 40, 20, true},
    };
    for (const Case& c : cases) {
        scene.ReSize(c.x, c.y, c.w, c.h);
        EXPECT_EQ(scene.GetWidth() == c.w && scene.GetOrgX() == c.x, c.changes) << c.w;
    }
    scene.ReSize(0, 30);
    scene.ReSize(30, 0);
    EXPECT_EQ(scene.GetWidth(), 40);
    EXPECT_EQ(scene.GetHeight(), 20);
    EXPECT_FLOAT_EQ(scene.GetDegPerPixelX(), 9.0f);
    EXPECT_DOUBLE_EQ(scene.GetViewPort()->GetAspect(), 2.0);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[0], 4);
    EXPECT_EQ(vp[1], 2);
    EXPECT_EQ(vp[2], 40);
    EXPECT_EQ(vp[3], 20);
}

class FrameTest : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        scene = std::make_unique<RecordingScene>(&root, "Frame");
        scene->SetLight(0, &lit);
        scene->SetLight(1, &still);
        ASSERT_TRUE(scene->Create(NewOgl(32, 32), 32, 32));
        scene->AddAuxContents(new RecordingAux("a1", 1), AUX_STAGE_FIRST);
        scene->AddAuxContents(new RecordingAux("b1", 2), AUX_STAGE_SECOND);
        scene->AddAuxContents(new RecordingAux("a2", 3), AUX_STAGE_FIRST);
        ClearLog();
    }
    void TearDown() override
    {
        scene.reset();
        SceneFixture::TearDown();
    }

    KytLink root;
    RecordingLight lit{"lit", true};
    RecordingLight still{"still", false};
    std::unique_ptr<RecordingScene> scene;
};

TEST_F(FrameTest, FrameRunsInItsOrder)
{
    scene->Draw(true);
    EXPECT_EQ(Log(), (Strings{"lit:Update0", "a1:Draw", "a2:Draw", "contents:Draw0", "b1:Draw", "swap"}));
    // The name and matrix stacks are balanced.
    GLint names = -1, depth = -1;
    glGetIntegerv(GL_NAME_STACK_DEPTH, &names);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(names, 0);
    EXPECT_EQ(depth, 1);
}

TEST_F(FrameTest, NoAnnotationsMeansOneSwapAndNoFont)
{
    const int fontsBefore = FontSelections(*scene->GetOgl());
    scene->Draw(true);
    EXPECT_EQ(std::count(Log().begin(), Log().end(), "swap"), 1);
    EXPECT_EQ(FontSelections(*scene->GetOgl()), fontsBefore);
}

TEST_F(FrameTest, AuxStateOffSkipsBothStagesButNotTheTexts)
{
    scene->AddAnnotation(new RecordingAnnotate("n1", &root), AUX_STAGE_SECOND);
    scene->SetAuxState(false);
    ClearLog();
    scene->Draw(true);
    EXPECT_EQ(Log(), (Strings{"lit:Update0", "contents:Draw0", "n1:DrawGDI", "swap", "n1:DrawGDI"}));
}

TEST_F(FrameTest, TextsStandOnBothBuffers)
{
    scene->AddAnnotation(new RecordingAnnotate("n1", &root), AUX_STAGE_SECOND);
    scene->AddAnnotation(new RecordingDRAnnotate("r1", &root), AUX_STAGE_SECOND);
    scene->AddAnnotation(new RecordingAnnotate("n2", &root), AUX_STAGE_SECOND);
    const int fontsBefore = FontSelections(*scene->GetOgl());
    ClearLog();
    scene->DrawGDI();
    EXPECT_EQ(Log(), (Strings{"n1:DrawGDI", "n2:DrawGDI", "r1:DrawGDI", "swap", "n1:DrawGDI", "n2:DrawGDI",
                              "r1:DrawGDI"}));
    // The annotation font in, the previous one back.
    EXPECT_EQ(FontSelections(*scene->GetOgl()), fontsBefore + 2);
    // The matrices the texts project with are the frame's.
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(AuxAnnotate::viewP[2], vp[2]);
    // Texts switched off: one plain swap.
    scene->SetDepend(false);
    ClearLog();
    scene->DrawGDI();
    EXPECT_EQ(Log(), (Strings{"swap"}));
}

TEST_F(FrameTest, ObjectWithId85DrawsItsTextAfterTheFrame)
{
    auto* follower = new RecordingAux("g85", 85);
    scene->AddAuxContents(follower, AUX_STAGE_FIRST);
    ClearLog();
    scene->DrawGDI();
    EXPECT_EQ(Log(), (Strings{"swap"}));  // only the head of the first list counts
    // Put it at the head, the rest of the list behind it.
    follower->pNextAux = nullptr;
    KytAuxContents* former = scene->GetAuxConts(AUX_STAGE_FIRST);
    KytAuxContents* last = former;
    while (last->pNextAux != follower)
        last = last->pNextAux;
    last->pNextAux = nullptr;
    follower->pNextAux = former;
    EXPECT_EQ(scene->ReplaceAuxContents(follower, false, AUX_STAGE_FIRST), former);
    ClearLog();
    scene->DrawGDI();
    EXPECT_EQ(Log(), (Strings{"swap", "g85:DrawGDI"}));
}

TEST_F(FrameTest, NothingWithoutContentsOrContext)
{
    RecordingScene bare(&root, "bare");
    bare.Draw(true);
    bare.ReDraw();
    bare.DrawGDI();
    EXPECT_TRUE(Log().empty());
}

TEST_F(FrameTest, ReDrawSkipsCameraLightsAndNames)
{
    scene->ReDraw();
    EXPECT_EQ(Log(), (Strings{"a1:Draw", "a2:Draw", "contents:Draw0", "b1:Draw", "swap"}));
}

TEST_F(FrameTest, DestroyReleasesGlResourcesAndKeepsTheObjects)
{
    scene->Destroy();
    EXPECT_EQ(Log(), (Strings{"contents:Destroy", "a1:Destroy", "a2:Destroy", "b1:Destroy"}));
    EXPECT_NE(scene->SearchAuxContents(1), nullptr);
}

TEST_F(FrameTest, ChangeAuxStateReportsChangesAndRedrawsWhenAsked)
{
    unsigned int ids[] = {1, 2, 0};
    EXPECT_FALSE(scene->ChangeAuxState(ids, true, true));  // already drawn
    EXPECT_EQ(std::count(Log().begin(), Log().end(), "swap"), 1);
    EXPECT_TRUE(scene->ChangeAuxState(ids, false, false));
    EXPECT_FALSE(scene->SearchAuxContents(2)->IsDraw());
    EXPECT_FALSE(scene->ChangeAuxState(2u, false, false));
    EXPECT_FALSE(scene->ChangeAuxState(99u, true, false));
}

TEST_F(SceneFixture, DrawTypeSavedAcrossTheTemporaryType)
{
    RecordingScene scene;
    scene.InstallContents();
    EXPECT_EQ(scene.GetDrawType(), DRAWTYPE_SHADE);
    EXPECT_TRUE(scene.ChangeDrawType(DRAWTYPE_WIRE, nullptr, nullptr, false));
    EXPECT_TRUE(scene.ChangeDrawType(DRAWTYPE_CUSTOM_COLOR, nullptr, nullptr, false));
    EXPECT_EQ(scene.GetContents()->ePrevDrawType, DRAWTYPE_WIRE);
    // Temporary over temporary keeps the saved type.
    EXPECT_TRUE(scene.ChangeDrawType(DRAWTYPE_CUSTOM_COLOR, nullptr, nullptr, false));
    EXPECT_EQ(scene.GetContents()->ePrevDrawType, DRAWTYPE_WIRE);
    scene.RestoreDrawType(false);
    EXPECT_EQ(scene.GetDrawType(), DRAWTYPE_WIRE);
    // From the temporary type to another one, the new type becomes the saved one.
    scene.ChangeDrawType(DRAWTYPE_CUSTOM_COLOR, nullptr, nullptr, false);
    KytLink a, b;
    scene.ChangeDrawType(DRAWTYPE_EDGE, &a, &b, false);
    EXPECT_EQ(scene.GetContents()->ePrevDrawType, DRAWTYPE_EDGE);
    EXPECT_EQ(scene.GetContents()->pFocusLink1, &a);
    EXPECT_EQ(scene.GetContents()->pFocusLink2, &b);
    EXPECT_EQ(scene.SetDrawType(DRAWTYPE_SHADE, false), DRAWTYPE_EDGE);
    EXPECT_TRUE(scene.SetSimplify(true));
    EXPECT_FALSE(scene.SetSimplify(true));
}

class MovingViewTest : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        scene.InstallContents();
        contents = scene.GetContents();
    }
    RecordingScene scene;
    KytLinkContents* contents = nullptr;
};

TEST_F(MovingViewTest, StartSavesAndEndRestoresEverySetting)
{
    struct Case {
        bool dynamic;
        bool simpleView;
        bool alreadySimple;
        bool thisOnly;
    } cases[] = {
        {true, false, false, false}, {true, true, false, false}, {false, true, true, false},
        {true, false, false, true},  {false, false, false, true},
    };
    for (const Case& c : cases) {
        KytLinkContents::bContributionDynamic = c.dynamic;
        KytLinkContents::eContributionBoxMode = BOXMODE_SOLID;
        KytLinkContents::eContributionBoxDynamicMode = BOXMODE_NONE;
        KytLinkContents::lfContributionRate = 0.018;
        KytLinkContents::lfContributionRateDynamic = 0.1;
        KytScene::bSimpleView = c.simpleView;
        contents->bWireBoxOnly = c.alreadySimple;
        contents->bSectionLine = true;
        contents->bContributionOn = false;

        scene.StartMovingView(c.thisOnly);
        EXPECT_TRUE(scene.IsMoving());
        EXPECT_EQ(KytScene::bMoving, !c.thisOnly);
        EXPECT_EQ(KytLinkContents::eContributionBoxMode, BOXMODE_NONE);
        EXPECT_TRUE(contents->bViewMoving);
        EXPECT_FALSE(contents->bSectionLine);
        EXPECT_EQ(contents->bContributionOn, c.dynamic);
        EXPECT_DOUBLE_EQ(KytLinkContents::lfContributionRate, c.dynamic && !c.thisOnly ? 0.1 : 0.018);
        EXPECT_EQ(contents->bWireBoxOnly, c.simpleView || c.alreadySimple);
        // A second start saves nothing over the first.
        scene.StartMovingView(c.thisOnly);
        EXPECT_EQ(scene.MoveSavedBoxMode(), BOXMODE_SOLID);

        scene.EndMovingView(false, c.thisOnly);
        EXPECT_FALSE(scene.IsMoving());
        EXPECT_FALSE(KytScene::bMoving);
        EXPECT_EQ(KytLinkContents::eContributionBoxMode, BOXMODE_SOLID);
        EXPECT_FALSE(contents->bViewMoving);
        EXPECT_TRUE(contents->bSectionLine);
        EXPECT_FALSE(contents->bContributionOn);
        EXPECT_DOUBLE_EQ(KytLinkContents::lfContributionRate, 0.018);
        EXPECT_EQ(contents->bWireBoxOnly, c.alreadySimple);
    }
}

TEST_F(MovingViewTest, EndWithoutStartDoesNothing)
{
    KytLinkContents::eContributionBoxMode = BOXMODE_SOLID;
    contents->bSectionLine = false;
    contents->bViewMoving = true;
    KytScene::bMoving = true;
    scene.EndMovingView(true, false);
    EXPECT_EQ(KytLinkContents::eContributionBoxMode, BOXMODE_SOLID);
    EXPECT_FALSE(contents->bSectionLine);
    EXPECT_TRUE(contents->bViewMoving);
    EXPECT_TRUE(KytScene::bMoving);
    EXPECT_TRUE(Log().empty());
}

TEST_F(SceneFixture, EndMovingViewRedrawsOnlyWhenMoving)
{
    KytLink root;
    RecordingScene scene(&root, "m");
    ASSERT_TRUE(scene.Create(NewOgl(16, 16), 16, 16));
    ClearLog();
    scene.EndMovingView(true, true);
    EXPECT_TRUE(Log().empty());
    scene.StartMovingView(true);
    scene.EndMovingView(true, true);
    EXPECT_EQ(std::count(Log().begin(), Log().end(), "swap"), 1);
}

TEST_F(SceneFixture, CopyDuplicatesAuxObjectsAndSkipsListedIds)
{
    KytLink root;
    RecordingScene src(&root, "src");
    ASSERT_TRUE(src.Create(NewOgl(16, 16), 16, 16));
    src.AddAuxContents(new RecordingAux("keep", 5), AUX_STAGE_FIRST);
    src.AddAuxContents(new RecordingAux("skip", 6), AUX_STAGE_FIRST);
    src.AddAuxContents(new RecordingAux("late", 7), AUX_STAGE_SECOND);
    src.AddAnnotation(new AuxAnnotate(12, &root), AUX_STAGE_SECOND);
    src.AddAnnotation(new AuxDRAnnotate(AuxDRAnnotate::ID, &root), AUX_STAGE_SECOND);
    // A review object with an id none of the review lists take.
    src.AddAuxContents(new AuxDRArrow(77, &root), AUX_STAGE_SECOND);
    src.SetDepend(false);
    src.SetNormal(false);

    RecordingScene dst;
    // Without a context there is nothing to copy into.
    EXPECT_FALSE(dst.Copy(&src, 16, 16, nullptr));
    ASSERT_TRUE(dst.Create(NewOgl(16, 16), 16, 16));
    const int liveBefore = RecordingAux::live;
    unsigned int skip[] = {6, 0xFFFFFFFFu};
    ClearLog();
    ASSERT_TRUE(dst.Copy(&src, 24, 0, skip));
    EXPECT_EQ(dst.GetWidth(), 24);
    EXPECT_EQ(dst.GetHeight(), 16);
    EXPECT_EQ(dst.GetRootLink(), &root);
    EXPECT_FALSE(dst.IsDepend());
    EXPECT_FALSE(dst.IsNormal());
    EXPECT_EQ(RecordingAux::live, liveBefore + 2);
    ASSERT_NE(dst.SearchAuxContents(5), nullptr);
    EXPECT_NE(dst.SearchAuxContents(5), src.SearchAuxContents(5));
    EXPECT_EQ(dst.SearchAuxContents(6), nullptr);
    EXPECT_NE(dst.SearchAuxContents(7), nullptr);
    EXPECT_EQ(dst.SearchAuxContents(77), nullptr);
    ASSERT_NE(dst.GetAnnotateHead(), nullptr);
    EXPECT_EQ(dst.GetAnnotateHead()->GetID(), 12u);
    ASSERT_NE(dst.GetDRAnnotateHead(), nullptr);
    // Each copy is created once, in the scene it now belongs to.
    EXPECT_EQ(std::count(Log().begin(), Log().end(), "keep:Create"), 1);
}

TEST_F(SceneFixture, CopyIntoASceneWhoseContextFails)
{
    RecordingScene src;
    RecordingScene dst;
    ASSERT_TRUE(dst.Create(NewOgl(16, 16), 16, 16));
    FailContextCreation(true);
    EXPECT_FALSE(dst.Copy(&src, 16, 16, nullptr));
}

TEST_F(SceneFixture, SwitchFunctionsStoreAndAnswerZeroOrOne)
{
    KYT_SetShowTarget(5);
    EXPECT_EQ(KYT_IsShowTarget(), 1);
    KytStack<KytLink> targets;
    KYT_SetShowTarget(0, &targets);
    EXPECT_EQ(KYT_IsShowTarget(), 0);
    EXPECT_EQ(KytScenes::pTargetStack, &targets);
    KytScenes::pTargetStack = nullptr;
    KYT_SetEchoActive(false);
    EXPECT_EQ(KYT_IsEchoActive(), 0);
    KYT_SetViewStep(7);
    EXPECT_EQ(KYT_GetViewStep(), 7);
    KYT_SetPickAlpha(0);
    EXPECT_EQ(KYT_IsPickAlpha(), 0);
    KYT_SetEnableCullFaceWhenClipping(2);
    EXPECT_EQ(KYT_IsEnableCullFaceWhenClipping(), 1);
}

} // namespace

namespace {

TEST_F(SceneFixture, ReviewRecordsFollowTheReviewScene)
{
    KytLink root, child, sibling;
    root.AddChild(&child);
    root.AddChild(&sibling);
    KytDRAnnotateData current, older, nested;
    current.ulDRKey = 4;
    older.ulDRKey = 3;
    nested.ulDRKey = 4;
    current.pNextDR = &older;
    child.pDRAnnotate = &current;
    sibling.pDRAnnotate = &nested;
    KytScene review(&root, "review");
    KytScene other(&root, "other");
    KytScene::ulID_DRData = 4;
    KytScene::pSceneDR = &review;
    review.Draw(true);  // no context: only the records change
    EXPECT_EQ(current.bShow, 1);
    EXPECT_EQ(older.bShow, 0);
    EXPECT_EQ(nested.bShow, 1);
    other.Draw(true);
    EXPECT_EQ(current.bShow, 0);
    EXPECT_EQ(nested.bShow, 0);
}

} // namespace

namespace {

TEST_F(SceneFixture, CamerasNeedAContextAndFollowTheResetViewFlag)
{
    KytLink root;
    RecordingScene scene(&root, "cams");
    auto* early = new KytCamera("early", 10.0f, 20.0f);
    EXPECT_FALSE(scene.AddCamera(early));
    delete early;
    ASSERT_TRUE(scene.Create(NewOgl(16, 16), 16, 16));
    auto* second = new KytCamera("second", 30.0f, 40.0f);
    EXPECT_TRUE(scene.AddCamera(second));
    EXPECT_EQ(scene.SearchCamera("second"), second);
    EXPECT_TRUE(scene.ChangeActive(second));
    EXPECT_EQ(scene.GetActiveCamera(), second);
    EXPECT_FALSE(scene.IsResetView());
    float direct = 0, zenith = 0;
    EXPECT_TRUE(scene.GetViewPoint(&direct, &zenith));
    EXPECT_FLOAT_EQ(direct, 30.0f);
    EXPECT_FLOAT_EQ(zenith, 40.0f);
}

TEST_F(SceneFixture, BackupStateTakesTheViewAndTheDrawType)
{
    KytLink root;
    RecordingScene scene(&root, "backup");
    ASSERT_TRUE(scene.Create(NewOgl(16, 16), 16, 16));
    scene.ChangeDrawType(DRAWTYPE_WIRE, nullptr, nullptr, false);
    scene.BackupState(1);
    const KytBackupSceneData& data = scene.GetBackup(1);
    const KytViewPort& vp = *scene.GetViewPort();
    EXPECT_FLOAT_EQ(data.fDirectAngle, vp.GetDirectAngle());
    EXPECT_FLOAT_EQ(data.fZenithAngle, vp.GetZenithAngle());
    EXPECT_DOUBLE_EQ(data.lfViewRadius, vp.GetViewRadius());
    EXPECT_DOUBLE_EQ(data.lfFarClip, vp.GetFarClip());
    EXPECT_EQ(data.eDrawType, DRAWTYPE_WIRE);
    EXPECT_TRUE(data.bSubDraw);
    EXPECT_EQ(scene.GetBackup(0).eDrawType, DRAWTYPE_SHADE);  // untouched record
}

TEST_F(SceneFixture, ChangeViewTypeOnlyOnAChange)
{
    RecordingScene scene;
    ASSERT_TRUE(scene.Create(NewOgl(16, 16), 16, 16));
    EXPECT_EQ(scene.GetProjType(), 1);
    EXPECT_FALSE(scene.ChangeViewType(PROJECT_PARALLEL));
    scene.GetViewPort()->GetRealScale().Flag = 1;
    EXPECT_TRUE(scene.ChangeViewType(PROJECT_PERSPECTIVE));
    EXPECT_EQ(scene.GetProjType(), 0);
    EXPECT_EQ(scene.GetViewPort()->GetRealScale().Flag, 0);
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    EXPECT_DOUBLE_EQ(projection[11], -1.0);  // a perspective projection
}

TEST_F(FrameTest, DependPartDrawsTheTextsWithoutSwapping)
{
    scene->AddAnnotation(new RecordingAnnotate("n1", &root), AUX_STAGE_SECOND);
    scene->AddAnnotation(new RecordingDRAnnotate("r1", &root), AUX_STAGE_SECOND);
    ClearLog();
    scene->DrawDependPart();
    EXPECT_EQ(Log(), (Strings{"n1:DrawGDI", "r1:DrawGDI"}));
    scene->SetDepend(false);
    ClearLog();
    scene->DrawDependPart();
    EXPECT_TRUE(Log().empty());
}

TEST_F(FrameTest, FitViewRefitsEveryObjectWithoutDrawing)
{
    scene->FitView(false);
    EXPECT_EQ(Log(), (Strings{"a1:FitView", "a2:FitView", "b1:FitView"}));
    ClearLog();
    scene->ResetView(true);
    EXPECT_EQ(Log(), (Strings{"a1:FitView", "a1:Draw", "a2:FitView", "a2:Draw", "contents:Draw0", "b1:FitView",
                              "b1:Draw", "swap"}));
}

// A 10-unit box whose corners all lie near (1000, 1000, 1000): every fit must take its own
// box, not one that reaches back to the world origin.
class FarPart : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        KytBuild::AddBox(model, "far", root, WqVector3D(1000, 1000, 1000), 10, 10, 10);
        model.UpdatePlacements();
    }
    // Moves the view away from the part, so that each entry has to fit it again.
    static void Unfit(KytScene& scene)
    {
        KytViewPort* vp = scene.GetViewPort();
        vp->ResetViewRadius(1.0, false);
        vp->GetActiveCamera()->Change(45.0f, 54.0f, WqVector3D(0, 0, 0));
    }
    static void ExpectFitted(const KytScene& scene, const char* entry)
    {
        const KytViewPort* vp = scene.GetViewPort();
        EXPECT_NEAR(vp->GetViewRadius(), std::sqrt(300.0) / 2, 1e-9) << entry;
        EXPECT_NEAR(vp->GetEyeDistance(), std::sqrt(300.0) / 2 * 2.5, 1e-9) << entry;
        const WqVector3D& at = vp->GetActiveCamera()->GetLookAtPosition();
        EXPECT_NEAR(at.x, 1000.0, 1e-9) << entry;
        EXPECT_NEAR(at.y, 1000.0, 1e-9) << entry;
        EXPECT_NEAR(at.z, 1000.0, 1e-9) << entry;
    }
    KytModel model;
    KytLink* root = nullptr;
};

TEST_F(FarPart, EveryFitTakesThePartsOwnBox)
{
    auto* scene = new RecordingScene(root, "far");
    KytScenes scenes(root, scene);
    ASSERT_TRUE(scene->Create(NewOgl(32, 32), 32, 32));
    ExpectFitted(*scene, "Create(ogl)");
    struct Entry {
        const char* name;
        std::function<void()> run;
    };
    const Entry entries[] = {
        {"FitView", [&] { scene->FitView(false); }},
        {"Create(false)", [&] { scene->Create(false); }},
        {"FitViews", [&] { scenes.FitViews(false); }},
        {"Initialize", [&] { scenes.Initialize(root, true); }},
    };
    for (const Entry& e : entries) {
        Unfit(*scene);
        e.run();
        ExpectFitted(*scene, e.name);
    }
}

// An annotation that fills a 3 x 3 block at (x, 4) of the frame with red in its text pass.
class PaintingAnnotate : public AuxAnnotate {
public:
    explicit PaintingAnnotate(KytLink* link) : AuxAnnotate(1, link) {}
    using AuxAnnotate::DrawGDI;
    void DrawGDI(KytOgl* ogl) override
    {
        for (int dy = 0; dy < 3; ++dy)
            for (int dx = 0; dx < 3; ++dx)
                quor::wgl::SetPixel(ogl->GetHdc(), x + dx, 4 + dy, RGB(255, 0, 0));
    }
    int x = 0;
};

TEST_F(SceneFixture, CapturedFramesShowOnlyTheirOwnTexts)
{
    using namespace quor::wgl;
    constexpr int w = 32, h = 12;
    HWND wnd = CreateStandInWindow(w, h);
    HDC mem = CreateCompatibleDC(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = 40;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bits, nullptr);
    SelectObject(mem, bmp);
    KytLink root;
    RecordingScene scene(&root, "capture");
    ASSERT_TRUE(scene.Create(new KytOglMem(wnd, mem, 24, 24), w, h));
    auto* text = new PaintingAnnotate(&root);
    scene.AddAnnotation(text, AUX_STAGE_SECOND);
    // Red of the captured pixel (x, y), y from the top.
    auto red = [&](int x, int y) {
        const int stride = (w * 3 + 3) / 4 * 4;
        return static_cast<const uint8_t*>(bits)[(h - 1 - y) * stride + x * 3 + 2];
    };

    text->x = 2;
    scene.Draw(true);  // frame 1: the text is drawn before and after the output
    EXPECT_EQ(red(3, 5), 255);
    text->x = 20;
    scene.Draw(true);  // frame 2: the view moved, the text with it
    EXPECT_EQ(red(21, 5), 255);
    EXPECT_EQ(red(3, 5), 0) << "frame 1's text stands in frame 2";
}

TEST_F(SceneFixture, FilingAnObjectTwiceIsRefused)
{
    KytLink root;
    RecordingScene scene(&root, "chains");
    ASSERT_TRUE(scene.Create(NewOgl(16, 16), 16, 16));
    auto* n1 = new RecordingAnnotate("n1", &root);
    auto* n2 = new RecordingAnnotate("n2", &root);
    auto* n3 = new RecordingAnnotate("n3", &root);
    auto* r1 = new AuxDRAnnotate(AuxDRAnnotate::ID, &root);
    auto* r2 = new AuxDRAnnotate(AuxDRAnnotate::ID, &root);
    auto* c1 = new AuxDRPartsConnect(AuxDRPartsConnect::ID, &root);
    auto* c2 = new AuxDRPartsConnect(AuxDRPartsConnect::ID, &root);
    auto* a1 = new AuxDRArrow(AuxDRArrow::ID, &root);
    auto* a2 = new AuxDRArrow(AuxDRArrow::ID, &root);
    for (AuxAnnotate* n : {n1, n2, n3})
        scene.AddAnnotation(n, AUX_STAGE_SECOND);
    scene.AddAnnotation(r1, AUX_STAGE_SECOND);
    scene.AddAnnotation(r2, AUX_STAGE_SECOND);
    scene.AddPartsConnect(c1);
    scene.AddPartsConnect(c2);
    scene.AddDRArrow(a1);
    scene.AddDRArrow(a2);
    // Each again, in an order that keeps even a broken chain walkable: the last of its chain,
    // one in the middle, the head, and once in the other stage.
    for (AuxAnnotate* n : {n3, n2, n1})
        scene.AddAnnotation(n, AUX_STAGE_SECOND);
    scene.AddAnnotation(r2, AUX_STAGE_SECOND);
    scene.AddAnnotation(r1, AUX_STAGE_FIRST);
    scene.AddPartsConnect(c2);
    scene.AddPartsConnect(c1);
    scene.AddDRArrow(a2);
    scene.AddDRArrow(a1);

    // (A cycle here would never let the text pass below end.)
    ASSERT_EQ(scene.GetAnnotateHead(), n1);
    ASSERT_EQ(n1->pNextAnnotation, n2);
    ASSERT_EQ(n2->pNextAnnotation, n3);
    ASSERT_EQ(n3->pNextAnnotation, nullptr);
    EXPECT_EQ(scene.GetDRAnnotateHead(), r1);
    EXPECT_EQ(r1->pNextDRAnnotation, r2);
    EXPECT_EQ(r2->pNextDRAnnotation, nullptr);
    EXPECT_EQ(scene.GetDRPartsConnectHead(), c1);
    EXPECT_EQ(c1->pNextDRPartsConnect, c2);
    EXPECT_EQ(c2->pNextDRPartsConnect, nullptr);
    EXPECT_EQ(scene.GetDRArrowHead(), a1);
    EXPECT_EQ(a1->pNextDRArrow, a2);
    EXPECT_EQ(a2->pNextDRArrow, nullptr);
    // The text pass ends, each annotation once per buffer.
    ClearLog();
    scene.DrawGDI();
    EXPECT_EQ(Log(), (Strings{"n1:DrawGDI", "n2:DrawGDI", "n3:DrawGDI", "swap", "n1:DrawGDI",
                              "n2:DrawGDI", "n3:DrawGDI"}));
}

} // namespace
