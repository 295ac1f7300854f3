// The process-wide settings of the part-tree drawing and the host's setters and getters.

#include <cmath>

#include "scene/view/KytLinkContents.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"

CSphere KytLinkContents::Sphere;
float KytLinkContents::fLocalRate = 0.1f;
float KytLinkContents::fLocalAxisRate = 0.03f;
bool KytLinkContents::bContribution = true;
double KytLinkContents::lfContributionRate = 0.018;
BOXMODE KytLinkContents::eContributionBoxMode = BOXMODE_WIRE;
bool KytLinkContents::bContributionDynamic = true;
double KytLinkContents::lfContributionRateDynamic = 0.1;
BOXMODE KytLinkContents::eContributionBoxDynamicMode = BOXMODE_WIRE;
bool KytLinkContents::bDrawSectionLine = true;
bool KytLinkContents::bDisableAlphaDepthTest = true;
float KytLinkContents::afPartBackFaceColor[4] = {0.25f, 0.25f, 0.25f, 1.0f};
float KytLinkContents::afBoxColor[2][4] = {{0, 1, 1, 1}, {1, 0, 0, 1}};
bool KytLinkContents::bDrawHiddenLinesShape = false;
double KytLinkContents::lfContRate = 0.0;
COLORMODE KytLinkContents::eColorMode = COLORMODE_NORMAL;
bool KytLinkContents::bBackFaceColor = false;

namespace {
// A box mode changes only to one of its three values.
void SetBoxMode(BOXMODE& mode, unsigned int value)
{
    if (value <= 2)
        mode = static_cast<BOXMODE>(value);
}
}  // namespace

void KYT_SetSphereRate(double rate) { KytLinkContents::Sphere.lfRate = rate; }

void KYT_AddSphereRate(double delta)
{
    double& rate = KytLinkContents::Sphere.lfRate;
    rate += delta;
    if (rate < 1.0)
        rate = 1.0;
}

double KYT_GetSphereRate() { return KytLinkContents::Sphere.lfRate; }
bool KYT_IsSphereMode() { return KytLinkContents::Sphere.bSphereMode; }

void KYT_SetDisableAlphaDepthTest(int on) { KytLinkContents::bDisableAlphaDepthTest = on != 0; }
bool KYT_IsDisableAlphaDepthTest() { return KytLinkContents::bDisableAlphaDepthTest; }

void KYT_SetDrawHiddenLinesShape(int on) { KytLinkContents::bDrawHiddenLinesShape = on != 0; }
bool KYT_IsDrawHiddenLinesShape() { return KytLinkContents::bDrawHiddenLinesShape; }

void KYT_SetAllwaysBackParam(int on) { KytOgl::bAllwaysBackFaceDraw = on != 0; }
int KYT_GetAllwaysBackParam() { return KytOgl::bAllwaysBackFaceDraw ? 1 : 0; }

void KYT_SetBackFaceParam(int enable, float colour[3])
{
    if (colour)
        for (int i = 0; i < 3; ++i)
            KytLinkContents::afPartBackFaceColor[i] = colour[i];
    KytLinkContents::afPartBackFaceColor[3] = 1.0f;
    KytLinkContents::bBackFaceColor = enable != 0;
}

void KYT_GetBackFaceParam(int& enable, float colour[3])
{
    if (colour)
        for (int i = 0; i < 3; ++i)
            colour[i] = KytLinkContents::afPartBackFaceColor[i];
    enable = KytLinkContents::bBackFaceColor ? 1 : 0;
}

void KYT_SetOutLineParam(int antiAlias, int width)
{
    KytOgl::bLineAntiAlias = antiAlias != 0;
    KytOgl::fOutLineWidth = width == 0 ? 1.0f : static_cast<float>(width);
}

void KYT_GetOutLineParam(int& antiAlias, int& width)
{
    antiAlias = KytOgl::bLineAntiAlias ? 1 : 0;
    width = static_cast<int>(std::floor(KytOgl::fOutLineWidth));
}

void KYT_SetSimpleView(unsigned int on) { KytScene::bSimpleView = on != 0; }
bool KYT_IsSimpleView() { return KytScene::bSimpleView; }
void KYT_ReverseSimpleView() { KytScene::bSimpleView = !KytScene::bSimpleView; }

void KYT_SetSceneSense(unsigned int on) { KytScene::bSenseOfSpace = on != 0; }
bool KYT_IsSceneSense() { return KytScene::bSenseOfSpace; }

void KYT_SetBackGroundColor(float colour[3])
{
    if (colour)
        for (int i = 0; i < 3; ++i)
            KytScene::afBackColor[i] = colour[i];
}

void KYT_GetBackGroundColor(float colour[3])
{
    if (colour)
        for (int i = 0; i < 3; ++i)
            colour[i] = KytScene::afBackColor[i];
}

void KYT_SetCullingParam(bool contribution, bool dynamic)
{
    KytLinkContents::bContribution = contribution;
    KytLinkContents::bContributionDynamic = dynamic;
}

void KYT_GetCullingParam(bool& contribution, bool& dynamic)
{
    contribution = KytLinkContents::bContribution;
    dynamic = KytLinkContents::bContributionDynamic;
}

void KYT_SetCullingParam(unsigned int contribution, unsigned int rate, unsigned int boxMode,
                         unsigned int dynamic, unsigned int dynamicRate,
                         unsigned int dynamicBoxMode)
{
    KytLinkContents::bContribution = contribution != 0;
    KytLinkContents::lfContributionRate = rate * 0.001;
    SetBoxMode(KytLinkContents::eContributionBoxMode, boxMode);
    KytLinkContents::bContributionDynamic = dynamic != 0;
    KytLinkContents::lfContributionRateDynamic = dynamicRate * 0.001;
    SetBoxMode(KytLinkContents::eContributionBoxDynamicMode, dynamicBoxMode);
}

void KYT_GetCullingParam(int& contribution, int& rate, int& boxMode, int& dynamic,
                         int& dynamicRate, int& dynamicBoxMode)
{
    contribution = KytLinkContents::bContribution ? 1 : 0;
    rate = static_cast<int>(KytLinkContents::lfContributionRate * 1000.0);
    boxMode = KytLinkContents::eContributionBoxMode;
    dynamic = KytLinkContents::bContributionDynamic ? 1 : 0;
    dynamicRate = static_cast<int>(KytLinkContents::lfContributionRateDynamic * 1000.0);
    dynamicBoxMode = KytLinkContents::eContributionBoxDynamicMode;
}

void KYT_SetDrawSectionLine(int on) { KytLinkContents::bDrawSectionLine = on != 0; }
int KYT_IsDrawSectionLine() { return KytLinkContents::bDrawSectionLine ? 1 : 0; }
