// The ruler: line counts per aspect, narrow views, spacings too dense to show, and no view.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "scene/annotation/AuxRuler.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/GlFixture.h"
#include "tests/support/scene/OverlayGl.h"

namespace {

using overlaytest::CaptureState;
using overlaytest::Count;
using overlaytest::Feedback;
using quor::test::GlFixture;

class LookCamera : public KytCamera {
public:
    LookCamera()
    {
        ViewUpVector = WqVector3D(0, 2, 0);  // not unit: the ruler makes it so
        EyeOrientation = WqVector3D(0, 0, -1);
        LookAtPosition = WqVector3D(10, 20, 0);
    }
};

class RulerView : public KytViewPort {
public:
    void Set(double radius, double aspect)
    {
        ViewRadius = radius;
        Aspect = aspect;
    }
};

using Ruler = GlFixture;

// Lines of one spacing over a half-width w and half-height h, when the 64 x 64 viewport
// resolves them (no more than 32 per half).
int Lines(double w, double h, double s)
{
    // A negative half size (negative aspect) has no lines.
    const double n = std::max(0.0, std::floor(w / s)), m = std::max(0.0, std::floor(h / s));
    if (n > 32 || m > 32)
        return 0;
    return static_cast<int>(2 * n + 2 * m);
}

TEST_F(Ruler, LineCountsFollowTheVisibleArea)
{
    Open(64, 64);
    RulerView vp;
    vp.AddCamera(new LookCamera);
    AuxRuler ruler(1);
    ruler.ViewPort = &vp;
    struct Case {
        double radius, aspect;
        bool drawn;
    } cases[] = {
        {120, 1, true},  {120, 2, true},  {120, 0.5, true}, {120, 0, false},
        {5, 1, true},    {55, 1.5, true}, {1000, 1, true},  {1e12, 1, true},
        {120, -2, true},
    };
    for (const Case& c : cases) {
        vp.Set(c.radius, c.aspect);
        double w = c.radius, h = c.radius;
        if (c.aspect > 1)
            w = c.aspect * c.radius;
        else if (c.aspect != 0)
            h = c.radius / c.aspect;
        const double scale = 1.9 / std::max(std::fabs(w), std::fabs(h));
        const auto before = CaptureState();
        const auto prims = Feedback([&] {
            glScaled(scale, scale, scale);
            glTranslated(-10, -20, 0);
            ruler.Draw();
        });
        EXPECT_EQ(CaptureState(), before);
        SCOPED_TRACE(testing::Message() << "radius " << c.radius << " aspect " << c.aspect);
        if (!c.drawn) {
            EXPECT_TRUE(prims.empty());
            continue;
        }
        const int expected = 6 + Lines(w, h, 100) + Lines(w, h, 10) + Lines(w, h, 50) +
                             Lines(w, h, 10);
        EXPECT_EQ(Count(prims, GL_LINE_TOKEN), expected);
        EXPECT_GE(Count(prims, GL_POLYGON_TOKEN), 1);
    }
}

// The first vertical grid line of spacing 100 stands 100 units right of the look-at point.
TEST_F(Ruler, GridLinesLieInTheScreenPlaneThroughTheLookAtPoint)
{
    Open(64, 64);
    RulerView vp;
    vp.AddCamera(new LookCamera);
    vp.Set(150, 1);
    AuxRuler ruler(1);
    ruler.ViewPort = &vp;
    const double scale = 1.0 / 100.0;
    const auto prims = Feedback([&] {
        glScaled(scale, scale, scale);
        glTranslated(-10, -20, 0);
        ruler.Draw();
    });
    ASSERT_GT(prims.size(), 7u);
    // Tokens: the field, the six frame lines, then spacing 100 (x = +-100, then y = +-100).
    size_t i = 0;
    while (prims[i].token != GL_LINE_TOKEN)
        ++i;
    const auto& first = prims[i + 6].v;
    EXPECT_NEAR(std::fabs(first[0][0] / scale), 100.0, 0.5);
    EXPECT_NEAR(first[0][1] / scale, 150.0, 0.5);
    EXPECT_NEAR(first[1][1] / scale, -150.0, 0.5);
    for (const auto& p : prims)
        for (const auto& v : p.v)
            EXPECT_NEAR(v[2], 0.0, 1e-3);
}

TEST_F(Ruler, NothingWithoutAViewportOrCamera)
{
    Open(64, 64);
    AuxRuler ruler(1);
    EXPECT_TRUE(Feedback([&] { ruler.Draw(); }).empty());
    RulerView vp;
    ruler.ViewPort = &vp;
    EXPECT_TRUE(Feedback([&] { ruler.Draw(); }).empty());
    vp.AddCamera(new LookCamera);
    ruler.SetDraw(false);
    EXPECT_TRUE(Feedback([&] { ruler.Draw(); }).empty());
    auto src = std::make_unique<AuxRuler>(4);
    src->ViewPort = &vp;
    std::unique_ptr<KytAuxContents> dup(src->Duplicate());
    src.reset();
    EXPECT_EQ(static_cast<AuxRuler*>(dup.get())->ViewPort, &vp);
    EXPECT_EQ(dup->GetID(), 4u);
}

}  // namespace
