// The ground plane: the fitted geometry of the worked case, the grid families, the grid colour
// against the background, the class-wide switches and the GL state.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "platform/kernel/KytEnv.h"
#include "scene/annotation/AuxGlobalPlane.h"
#include "scene/annotation/AuxSysCoord.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/GlFixture.h"
#include "tests/support/scene/OverlayGl.h"

namespace {

using overlaytest::CaptureState;
using overlaytest::Count;
using overlaytest::Feedback;
using quor::test::GlFixture;

class GlobalPlane : public GlFixture {
protected:
    void SetUp() override
    {
        GlFixture::SetUp();
        std::copy(KytScene::afBackColor, KytScene::afBackColor + 4, savedBack);
    }
    void TearDown() override
    {
        KytEnv::nUpAxis = 1;
        KytEnv::dUpOffset = 0.0;
        AuxGlobalPlane::SetParam(1, 0, 1);
        std::copy(savedBack, savedBack + 4, KytScene::afBackColor);
        GlFixture::TearDown();
    }
    float savedBack[4];
};

TEST_F(GlobalPlane, WorkedCaseGeometryAndElevenLinesPerFamily)
{
    Open(64, 64);
    KytEnv::nUpAxis = 2;
    KytEnv::dUpOffset = -5.0;
    KytViewPort vp;
    WqVector3D at(100, 50, 0);
    vp.AddCamera(new KytCamera("c", at, 0.0f, 0.0f));
    ASSERT_EQ(vp.GetEyeDistance(), 2000.0);
    AuxGlobalPlane plane(1);
    plane.FitView(&vp);
    const float corners[4][3] = {
        {-1900, -1950, -5}, {-1900, 2050, -5}, {2100, 2050, -5}, {2100, -1950, -5}};
    for (int c = 0; c < 4; ++c)
        for (int k = 0; k < 3; ++k)
            EXPECT_FLOAT_EQ(plane.Corners[c][k], corners[c][k]) << c << " " << k;
    EXPECT_FLOAT_EQ(plane.GridStep, 400.0f);
    EXPECT_EQ(plane.Normal[2], 1.0f);
    EXPECT_EQ(plane.Normal[0] + plane.Normal[1], 0.0f);

    AuxGlobalPlane::SetParam(1, 0, 1);
    const double s = 1.0 / 2500.0;
    const auto prims = Feedback([&] {
        glScaled(s, s, s);
        plane.Draw();
    });
    ASSERT_EQ(prims.size(), 22u);
    for (int i = 0; i < 11; ++i) {
        // Family 1 runs along v (x) at u = y stepping; family 2 along u at v = x stepping.
        const auto& f1 = prims[2 * i].v;
        const auto& f2 = prims[2 * i + 1].v;
        EXPECT_NEAR(f1[0][1] / s, -1950 + 400 * i, 2.0) << i;
        EXPECT_NEAR(f1[1][1] / s, -1950 + 400 * i, 2.0) << i;
        EXPECT_NEAR(f1[0][0] / s, -1900, 2.0);
        EXPECT_NEAR(f1[1][0] / s, 2100, 2.0);
        EXPECT_NEAR(f2[0][0] / s, -1900 + 400 * i, 2.0) << i;
        EXPECT_NEAR(f2[1][1] / s, 2050, 2.0);
        EXPECT_NEAR(f1[0][2] / s, -5, 2.0);
    }
    // The fitted lines are not moved by drawing.
    EXPECT_FLOAT_EQ(plane.GridLines[0][1], -1950.0f);
    AuxGlobalPlane::SetParam(1, 1, 0);
    glDisable(GL_CULL_FACE);
    const auto planeOnly = Feedback([&] {
        glScaled(s, s, s);
        plane.Draw();
    });
    EXPECT_GE(Count(planeOnly, GL_POLYGON_TOKEN), 1);
    EXPECT_EQ(Count(planeOnly, GL_LINE_TOKEN), 0);
}

TEST_F(GlobalPlane, AxesFollowTheUpAxisAndNoCameraCentresAtTheOrigin)
{
    struct Case {
        int up, upIndex, u, v;
    } cases[] = {{1, 1, 0, 2}, {2, 2, 1, 0}, {0, 0, 2, 1}, {5, 0, 2, 1}, {-2, 0, 2, 1}};
    KytViewPort vp;
    for (const Case& c : cases) {
        KytEnv::nUpAxis = c.up;
        AuxGlobalPlane plane(1);
        plane.FitView(&vp);
        EXPECT_EQ(plane.UpIndex, c.upIndex) << c.up;
        EXPECT_EQ(plane.UIndex, c.u) << c.up;
        EXPECT_EQ(plane.VIndex, c.v) << c.up;
        EXPECT_FLOAT_EQ(plane.Corners[2][c.u], 2000.0f);
        EXPECT_FLOAT_EQ(plane.Corners[2][c.v], 2000.0f);
    }
}

TEST_F(GlobalPlane, GridColourStandsOutFromTheBackground)
{
    struct Case {
        float back[3];
        float grid[3];
    } cases[] = {
        {{0, 0, 0}, {1 / 3.0f, 1 / 3.0f, 1 / 3.0f}},
        {{1, 1, 1}, {0, 0, 0}},
        {{0.5f, 0.5f, 0.5f}, {0, 0, 0}},
        {{0.48f, 0.48f, 0.48f}, {1, 1, 1}},
        {{0.2f, 0.4f, 0.9f}, {0.8f, 0.6f, 0.1f}},
        {{0.48f, 0.52f, 0.9f}, {0.52f, 0.48f, 0.1f}},  // one component far off: plain inverse
    };
    KytViewPort vp;
    for (const Case& c : cases) {
        std::copy(c.back, c.back + 3, KytScene::afBackColor);
        AuxGlobalPlane plane(1);
        plane.FitView(&vp);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(plane.GridColor[k], c.grid[k], 1e-6) << c.back[0] << " " << k;
        EXPECT_EQ(plane.GridColor[3], 1.0f);
    }
}

TEST_F(GlobalPlane, ParametersAndStates)
{
    struct Case {
        int axis, plane, grid;
    } cases[] = {{0, 1, 0}, {1, 0, 1}, {7, -1, 0}, {0, 0, 0}};
    for (const Case& c : cases) {
        AuxGlobalPlane::SetParam(c.axis, c.plane, c.grid);
        int a = -1, p = -1, g = -1;
        AuxGlobalPlane::GetParam(a, p, g);
        EXPECT_EQ(a, c.axis != 0);
        EXPECT_EQ(p, c.plane != 0);
        EXPECT_EQ(g, c.grid != 0);
        EXPECT_EQ(AuxSysCoord::bAxisFlag, c.axis != 0);
    }
    float rgb[3] = {0.1f, 0.2f, 0.3f};
    AuxGlobalPlane::SetParam(1, 1, 1, rgb);
    EXPECT_FLOAT_EQ(AuxGlobalPlane::afPlaneColor[3], 0.5f);
    float out[3] = {};
    int a, p, g;
    AuxGlobalPlane::GetParam(a, p, g, out);
    EXPECT_FLOAT_EQ(out[1], 0.2f);
    const float grey[3] = {0.55f, 0.55f, 0.55f};
    std::copy(grey, grey + 3, AuxGlobalPlane::afPlaneColor);

    AuxGlobalPlane plane(1);
    plane.SetState(AuxGlobalPlane::GLOBAL_GRID, false);
    EXPECT_FALSE(AuxGlobalPlane::IsDrawGrid());
    plane.SetState(AuxGlobalPlane::GLOBAL_PLANE, false);
    plane.SetState(static_cast<AuxGlobalPlane::GlobalItem>(5), true);
    EXPECT_FALSE(AuxGlobalPlane::bPlaneFlag);
    EXPECT_FALSE(AuxGlobalPlane::bGridFlag);
    AuxGlobalPlane::bPlaneFlag = true;
    EXPECT_TRUE(plane.GetState(static_cast<AuxGlobalPlane::GlobalItem>(5)));
    EXPECT_FALSE(plane.GetState(AuxGlobalPlane::GLOBAL_GRID));
    AuxGlobalPlane::SetDrawGrid(true);
    EXPECT_TRUE(plane.GetState(AuxGlobalPlane::GLOBAL_GRID));
}

TEST_F(GlobalPlane, DrawLeavesTheStateAndCopiesKeepTheGeometry)
{
    Open(64, 64);
    KytViewPort vp;
    auto plane = std::make_unique<AuxGlobalPlane>(3);
    plane->FitView(&vp);
    for (int p = 0; p < 2; ++p)
        for (int g = 0; g < 2; ++g) {
            AuxGlobalPlane::SetParam(1, p, g);
            for (bool on : {false, true}) {
                on ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
                on ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
                const auto before = CaptureState();
                const auto prims = Feedback([&] { plane->Draw(); });
                EXPECT_EQ(CaptureState(), before);
                if (!p && !g) {
                    EXPECT_TRUE(prims.empty());
                }
            }
        }
    std::unique_ptr<KytAuxContents> dup(plane->Duplicate());
    AuxGlobalPlane copy(*plane);
    const float c2 = plane->Corners[2][0];
    plane.reset();
    auto* d = static_cast<AuxGlobalPlane*>(dup.get());
    EXPECT_EQ(d->Corners[2][0], c2);
    EXPECT_EQ(d->GridStep, 400.0f);
    EXPECT_EQ(copy.Corners[2][0], c2);
    EXPECT_EQ(d->GetID(), 3u);
}

}  // namespace
