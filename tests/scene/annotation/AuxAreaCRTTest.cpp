// The view-area marker: its eight points against a rotation built by the kernel's matrix, the
// side normals, the corner setters and the drawing.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "platform/kernel/KytLink.h"
#include "platform/kernel/WqMatrix33D.h"
#include "scene/annotation/AuxAreaCRT.h"
#include "tests/support/scene/GlFixture.h"
#include "tests/support/scene/OverlayGl.h"

namespace {

using overlaytest::CaptureState;
using overlaytest::Count;
using overlaytest::Feedback;
using quor::test::GlFixture;

constexpr double kPi = 3.14159265358979323846;

WqVector3D At(const float* p)
{
    return {p[0], p[1], p[2]};
}

// A 200 x 100 screen in the xy plane: width along x, height along y.
void Screen(AuxAreaCRT& area)
{
    const float p1[3] = {0, 0, 0}, p2[3] = {200, 100, 0};
    area.SetPoints(p1, p2, true);
}

// The far points worked out independently, with the kernel's axis rotation.
void Expected(const AuxAreaCRT& a, bool modeTwo, WqVector3D far[4])
{
    const WqVector3D p[4] = {At(a.afCorner[0]), At(a.afCorner[1]), At(a.afCorner[2]),
                             At(a.afCorner[3])};
    WqVector3D e1 = p[0] - p[1], e2 = p[2] - p[1];
    e1 = e1 * (1 / e1.Length());
    e2 = e2 * (1 / e2.Length());
    WqVector3D n = e2.Cross(e1);
    n = n * (1 / n.Length());
    const double s = a.bReverse ? -1 : 1, depth = s * a.fDepth, t = a.fUpDownAngle - 90.0;
    const double bottom = (modeTwo ? -1 : 1) * t / (s * 180.0) * kPi;
    WqMatrix33D rb, rt;
    rb.MakeRotMatrix(std::cos(bottom), std::sin(bottom), e2);
    rt.MakeRotMatrix(std::cos(-bottom), std::sin(-bottom), e2);
    const WqVector3D d1 = rb.Multi(n), d2 = rt.Multi(n);
    far[0] = p[0] + d1 * depth;
    far[3] = p[3] + d1 * depth;
    far[1] = p[1] + d2 * depth;
    far[2] = p[2] + d2 * depth;
    WqVector3D w = far[3] - far[0];
    w = w * (std::tan((a.fRightLeftAngle - 90.0) * kPi / 180.0) * a.fDepth / w.Length());
    far[0] -= w;
    far[1] -= w;
    far[2] += w;
    far[3] += w;
}

TEST(AuxAreaCRT, FarPointsMatchAnIndependentRotation)
{
    struct Case {
        float rightLeft, upDown;
        bool reverse;
        int mode;
    } cases[] = {{90, 90, false, 0}, {130, 130, false, 0}, {130, 130, true, 0},
                 {130, 130, false, 1}, {100, 150, true, 1},  {120, 60, false, 0}};
    for (const Case& c : cases) {
        AuxAreaCRT area(1, nullptr);
        Screen(area);
        area.bReverse = c.reverse;
        area.ChangeMode(c.mode);
        area.ChangeAngleDepth(c.rightLeft, c.upDown, 50.0f);
        WqVector3D far[4];
        Expected(area, c.mode != 0, far);
        SCOPED_TRACE(testing::Message() << c.rightLeft << "/" << c.upDown << " rev " << c.reverse
                                        << " mode " << c.mode);
        for (int i = 0; i < 4; ++i) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(area.afVertex[i][k], area.afCorner[i][k], 1e-6);
                EXPECT_NEAR(area.afVertex[i + 4][k], far[i][k], 1e-3) << i << " " << k;
            }
        }
    }
    // 90/90 is a straight prism of the depth, on the side the normal points to.
    AuxAreaCRT prism(1, nullptr);
    Screen(prism);
    prism.ChangeAngleDepth(90, 90, 50);
    EXPECT_NEAR(prism.afVertex[6][0], 200, 1e-4);
    EXPECT_NEAR(prism.afVertex[6][1], 100, 1e-4);
    EXPECT_NEAR(prism.afVertex[6][2], -50, 1e-4);
    prism.Reverse();
    EXPECT_NEAR(prism.afVertex[6][2], 50, 1e-4);
}

TEST(AuxAreaCRT, SideNormalsAreUnitAndOutward)
{
    for (bool reverse : {false, true})
        for (float angle : {90.0f, 130.0f, 110.0f}) {
            AuxAreaCRT area(1, nullptr);
            Screen(area);
            area.bReverse = reverse;
            area.ChangeMode(1);
            area.ChangeAngle(angle, angle);
            WqVector3D centre;
            for (const auto& v : area.afVertex)
                centre += At(v) * 0.125;
            for (int i = 0; i < 4; ++i) {
                const WqVector3D n = At(area.afNormal[i]);
                EXPECT_NEAR(n.Length(), 1.0, 1e-5) << i;
                const int b = (i + 1) % 4;
                const WqVector3D face = (At(area.afVertex[i]) + At(area.afVertex[b]) +
                                         At(area.afVertex[b + 4]) + At(area.afVertex[i + 4])) *
                                        0.25;
                EXPECT_GT(n.Dot(face - centre), 0.0) << i << " rev " << reverse << " " << angle;
            }
        }
}

TEST(AuxAreaCRT, SetPointsPicksTheWidthAxis)
{
    struct Case {
        float p1[3], p2[3];
        bool xWidth;
        float p1Out[3], p3Out[3];
    } cases[] = {
        {{0, 0, 0}, {4, 2, 0}, false, {0, 2, 0}, {4, 0, 0}},
        {{0, 0, 0}, {2, 4, 0}, false, {2, 0, 0}, {0, 4, 0}},
        {{0, 0, 0}, {2, 4, 0}, true, {0, 4, 0}, {2, 0, 0}},
        {{0, 0, 0}, {0, 1, 5}, false, {0, 1, 0}, {0, 0, 5}},
        {{1, 1, 1}, {3, 3, 1}, false, {1, 3, 1}, {3, 1, 1}},  // a tie goes to x
    };
    for (const Case& c : cases) {
        AuxAreaCRT area(1, nullptr);
        area.SetPoints(c.p1, c.p2, c.xWidth);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(area.afCorner[0][k], c.p1[k]);
            EXPECT_EQ(area.afCorner[2][k], c.p2[k]);
            EXPECT_EQ(area.afCorner[1][k], c.p1Out[k]) << k;
            EXPECT_EQ(area.afCorner[3][k], c.p3Out[k]) << k;
        }
        EXPECT_EQ(area.afVertex[7][0], 0.0f);  // no rebuild
    }
}

TEST(AuxAreaCRT, SetResizesAroundTheCentreAndGetSizeMeasures)
{
    AuxAreaCRT area(1, nullptr);
    Screen(area);
    float w = 0, h = 0;
    area.GetSize(w, h);
    EXPECT_FLOAT_EQ(w, 200);
    EXPECT_FLOAT_EQ(h, 100);
    struct Case {
        float diagonal, ratioW, ratioH;
        bool ok;
        float width, height;
    } cases[] = {{50, 4, 3, true, 40, 30},
                 {50, 0, 3, false, 40, 30},  // unchanged
                 {10, 1, 1, true, 7.0710678f, 7.0710678f},
                 {13, 12, 5, true, 12, 5}};
    for (const Case& c : cases) {
        EXPECT_EQ(area.Set(c.diagonal, c.ratioW, c.ratioH, 5, 6, 7), c.ok);
        area.GetSize(w, h);
        EXPECT_NEAR(w, c.width, 1e-4);
        EXPECT_NEAR(h, c.height, 1e-4);
        float x, y, z;
        area.GetCenter(x, y, z);
        EXPECT_NEAR(x, 5, 1e-4);
        EXPECT_NEAR(y, 6, 1e-4);
        EXPECT_NEAR(z, 7, 1e-4);
    }
    AuxAreaCRT fresh(2, nullptr);
    EXPECT_FALSE(fresh.Set(10, 1, 1, 0, 0, 0));
    fresh.GetSize(w, h);
    EXPECT_EQ(w, 0.0f);
    EXPECT_EQ(h, 0.0f);
    fresh.MakeDisp();
    for (const auto& v : fresh.afVertex)
        EXPECT_EQ(v[0] * v[0] + v[1] * v[1] + v[2] * v[2], 0.0f);
}

TEST(AuxAreaCRT, ModeChangeAloneKeepsTheGeometryAndWidthHeightSwap)
{
    AuxAreaCRT area(1, nullptr);
    Screen(area);
    area.ChangeAngle(130, 130);
    float before[8][3];
    std::memcpy(before, area.afVertex, sizeof before);
    area.ChangeMode(1);
    EXPECT_EQ(std::memcmp(before, area.afVertex, sizeof before), 0);
    EXPECT_EQ(area.GetDrawMode(), 1);
    area.MakeDisp();
    EXPECT_NE(std::memcmp(before, area.afVertex, sizeof before), 0);
    area.ReverseWidthHeight();
    EXPECT_TRUE(area.bReverse);
    EXPECT_EQ(area.afCorner[1][0], 200.0f);
    EXPECT_EQ(area.afCorner[3][1], 100.0f);
    // Width and height swapped and reversed: the volume stays on the same side.
    EXPECT_LT(area.afVertex[4][2], 0.0f);
}

using AreaDraw = GlFixture;

TEST_F(AreaDraw, BothModesEmitTheirFacesOnTheLink)
{
    Open(64, 64);
    KytLink link;
    link.mech.vPos = WqVector3D(-100, -50, 0);
    AuxAreaCRT area(1, &link);
    Screen(area);
    area.ChangeAngleDepth(90, 90, 100);
    for (int mode : {0, 1}) {
        area.ChangeMode(mode);
        area.MakeDisp();
        const auto before = CaptureState();
        const auto prims = Feedback([&] {
            glScaled(0.01, 0.01, 0.01);
            area.Draw();
        });
        EXPECT_EQ(CaptureState(), before);
        EXPECT_EQ(Count(prims, GL_LINE_TOKEN), mode == 0 ? 4 : 0);
        EXPECT_GE(Count(prims, GL_POLYGON_TOKEN), mode == 0 ? 2 : 4);
        for (const auto& p : prims)
            for (const auto& v : p.v) {
                EXPECT_LE(std::fabs(v[0]), 1.0 + 1e-3);  // the screen centred by the link
                EXPECT_LE(std::fabs(v[1]), 0.5 + 1e-3);
            }
    }
    area.SetDraw(false);
    EXPECT_TRUE(Feedback([&] { area.Draw(); }).empty());
    auto src = std::make_unique<AuxAreaCRT>(area);
    std::unique_ptr<KytAuxContents> dup(src->Duplicate());
    const float v6 = src->afVertex[6][2];
    src.reset();
    auto* d = static_cast<AuxAreaCRT*>(dup.get());
    EXPECT_EQ(d->afVertex[6][2], v6);
    EXPECT_EQ(d->GetTargetLink(), &link);
    EXPECT_EQ(d->GetDrawMode(), 1);
}

}  // namespace
