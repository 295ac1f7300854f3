#include "tests/support/scene/SceneFixture.h"

#include "scene/annotation/AuxCamera.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytScenes.h"

#include <algorithm>

namespace scene_test {

void ResetSceneStatics()
{
    KytScene::uSceneDefCnt = 0;
    KytScene::afBackColor[0] = KytScene::afBackColor[1] = KytScene::afBackColor[2] = 0.0f;
    KytScene::afBackColor[3] = 0.0f;
    KytScene::bSenseOfSpace = true;
    KytScene::bEchoActiveLink = true;
    KytScene::bShowTargetLink = false;
    KytScene::nViewMoveStep = 1;
    KytScene::bPickAlphaLink = true;
    KytScene::bSimpleView = false;
    KytScene::bMoving = false;
    KytScene::bStrictPick = false;
    KytScene::pSceneDR = nullptr;
    KytScene::ulID_DRData = 0;
    KytLinkContents::Sphere = CSphere();
    KytLinkContents::bContribution = true;
    KytLinkContents::lfContributionRate = 0.018;
    KytLinkContents::eContributionBoxMode = BOXMODE_WIRE;
    KytLinkContents::bContributionDynamic = true;
    KytLinkContents::lfContributionRateDynamic = 0.1;
    KytLinkContents::eContributionBoxDynamicMode = BOXMODE_WIRE;
    KytLinkContents::fLocalRate = 0.1f;
    KytLinkContents::fLocalAxisRate = 0.03f;
    KytLinkContents::bDrawSectionLine = true;
    KytLinkContents::bDisableAlphaDepthTest = true;
    const float back[4] = {0.25f, 0.25f, 0.25f, 1.0f};
    std::copy(back, back + 4, KytLinkContents::afPartBackFaceColor);
    const float boxes[2][4] = {{0, 1, 1, 1}, {1, 0, 0, 1}};
    std::copy(&boxes[0][0], &boxes[0][0] + 8, &KytLinkContents::afBoxColor[0][0]);
    KytLinkContents::bDrawHiddenLinesShape = false;
    KytLinkContents::lfContRate = 0.0;
    KytLinkContents::eColorMode = COLORMODE_NORMAL;
    KytLinkContents::bBackFaceColor = false;
    KytScenes::ColorTable.entries.clear();
    KytPickNames::End();
    AuxCamera::SetTargetCamera(nullptr);
    AuxCamera::SetSize(2);
    KytScenes::AlphaStack.RemoveAll();
    KytScenes::pTargetStack = nullptr;
    KytScenes::nShapeCnt = 0;
    KytScenes::ColorTable.entries.clear();
    KytOgl::bEnableCullFaceWhenClipping = true;
    KytOgl::ResetHwnd();
}

SceneFixture::~SceneFixture()
{
    quor::wgl::ResetStandIn();
}

void SceneFixture::SetUp()
{
    quor::wgl::ResetStandIn();
    ResetSceneStatics();
    ClearLog();
}

void SceneFixture::TearDown()
{
    quor::wgl::Inject().failCreateContext = false;
    ResetSceneStatics();
}

RecordingOgl* SceneFixture::NewOgl(int width, int height)
{
    quor::wgl::HWND wnd = quor::wgl::CreateStandInWindow(width, height);
    return new RecordingOgl(wnd, 32, 24);
}

void SceneFixture::FailContextCreation(bool fail)
{
    quor::wgl::Inject().failCreateContext = fail;
}

int SceneFixture::FontSelections(const KytOgl& ogl)
{
    const auto& log = quor::wgl::CallLog(ogl.GetHdc());
    return static_cast<int>(std::count_if(log.begin(), log.end(), [](const std::string& line) {
        return line.rfind("SelectObject", 0) == 0;
    }));
}

} // namespace scene_test
