// The colours the overlay objects put on the screen, probed at interior points of their parts
// under a white light from the eye and no ambient light (a face towards the eye shows its
// material colour), with blending over known backgrounds; the GL state after every draw.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytLink.h"
#include "scene/annotation/AuxCOM2.h"
#include "scene/annotation/AuxDirect.h"
#include "scene/annotation/AuxDitch.h"
#include "scene/annotation/AuxJoint.h"
#include "scene/annotation/AuxManip.h"
#include "scene/annotation/AuxSphere.h"
#include "scene/annotation/AuxTriangle.h"
#include "scene/view/KytScene.h"
#include "tests/support/scene/GlFixture.h"
#include "tests/support/scene/OverlayGl.h"

namespace {

using overlaytest::CaptureState;
using overlaytest::ReadPixel;
using quor::test::GlFixture;

using Rgb = std::array<int, 3>;

class OverlayPixels : public GlFixture {
protected:
    void SetUp() override
    {
        GlFixture::SetUp();
        Open(64, 64);
        KytEnv::nManipMode = 0;
        KytEnv::nUpAxis = 1;
        KytScene::bMoving = false;
    }
    void TearDown() override
    {
        KytEnv::nManipMode = 0;
        KytEnv::nUpAxis = 1;
        GlFixture::TearDown();
    }

    // The colour of the window's centre with the view a square of half-width `half` around
    // `at`, seen from +z, on a background of grey level `bg`.
    Rgb Probe(const WqVector3D& at, double half, const std::function<void()>& draw,
              float bg = 0.0f)
    {
        glViewport(0, 0, 64, 64);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        // `at` lands on the centre of pixel (32, 32), where a thin line through it shows.
        const double px = half / 32;
        glOrtho(at.x - half - px / 2, at.x + half - px / 2, at.y - half - px / 2,
                at.y + half - px / 2, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(bg, bg, bg, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        const float none[4] = {0, 0, 0, 1};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
        const auto before = CaptureState();
        draw();
        EXPECT_EQ(CaptureState(), before);
        glFinish();
        return ReadPixel(32, 32);
    }
};

void ExpectColour(const Rgb& got, const Rgb& want, int tol = 6)
{
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(got[k], want[k], tol) << "channel " << k << " of (" << got[0] << ", "
                                          << got[1] << ", " << got[2] << ")";
}

TEST_F(OverlayPixels, ManipHandleColours)
{
    KytLink link;
    link.nJointKind = 1;
    link.manip.nAxis = 1;
    KytStack<KytLink> stack;
    stack.Append(&link);
    AuxManip manip(1, &stack);
    manip.Create(nullptr);
    manip.HandleSize = 1;
    auto draw = [&] { manip.Draw(); };
    struct Case {
        const char* what;
        int mode, axis;
        float radius;
        WqVector3D at;
        double half;
        Rgb want;
    } cases[] = {
        // Translation handle, s = 1: end cubes in the axis colours, the active axis's halves
        // light blue and magenta, the others grey.
        {"x end cube", 0, 1, 1 / 1.05f, {1, 0, 0}, 0.03, {204, 0, 0}},
        {"y end cube", 0, 1, 1 / 1.05f, {0, -1, 0}, 0.03, {0, 204, 0}},
        {"x positive half", 0, 1, 1 / 1.05f, {0.5, 0, 0}, 0.003, {204, 0, 153}},
        {"x negative half", 0, 1, 1 / 1.05f, {-0.5, 0, 0}, 0.003, {77, 128, 255}},
        {"y positive half", 0, 1, 1 / 1.05f, {0, 0.5, 0}, 0.003, {166, 166, 166}},
        {"y active, positive half", 0, 2, 1 / 1.05f, {0, 0.5, 0}, 0.003, {204, 0, 153}},
        // Rotation handle, r = 1, z active: its end sphere, the unlit circle at a vertex.
        {"z end sphere", 1, 4, 1.0f, {0, 0, 1}, 0.02, {0, 0, 204}},
        {"circle", 1, 4, 1.0f,
         {std::cos(40 * M_PI / 180), std::sin(40 * M_PI / 180), 0}, 0.02, {128, 128, 128}},
        {"x end sphere, inactive", 1, 4, 1.0f, {1, 0, 0}, 0.01, {204, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KytEnv::nManipMode = c.mode;
        link.manip.nAxis = c.axis;
        link.fRadius = c.radius;
        ExpectColour(Probe(c.at, c.half, draw), c.want);
    }
    // The joint-rotation handle's ring, a = 1.
    link.nJointKind = 2;
    link.fRadius = 1.0f / 3;
    ExpectColour(Probe({0.09, 0, 0}, 0.004, draw), {204, 0, 153});
    manip.Destroy();
}

TEST_F(OverlayPixels, JointRingRedOnlyWhileActive)
{
    KytLink link;
    link.nJointKind = 2;
    AuxJoint joint(1);
    joint.Create(nullptr);
    joint.GlyphSize = 1;
    joint.Push(&link, true);
    const double ring = 2.2 * 1.5 * 0.08;
    for (bool active : {false, true}) {
        SCOPED_TRACE(active);
        joint.SetActive(active ? &link : nullptr, false);
        ExpectColour(Probe({ring, 0, 0}, 0.005, [&] { joint.Draw(); }),
                     active ? Rgb{255, 0, 0} : Rgb{179, 179, 179});
    }
    // The pin's end, white.
    ExpectColour(Probe({0, 0, 0}, 0.02, [&] { joint.Draw(); }), {255, 255, 255});
}

TEST_F(OverlayPixels, MarkerAndRodColours)
{
    AuxCOM2 com(1, {0, 1, 0});
    com.Create(nullptr);
    com.Size = 0.2f;
    // The sphere is drawn through everything, without a depth test: the scene's back-face
    // culling keeps its far half from covering the near one.
    auto culled = [&] {
        glPushAttrib(GL_ENABLE_BIT);
        glEnable(GL_CULL_FACE);
        com.Draw();
        glPopAttrib();
    };
    ExpectColour(Probe({0.05, 1, 0}, 0.02, culled), {0, 230, 230}, 12);
    ExpectColour(Probe({0, 0.5, 0}, 0.01, [&] { com.Draw(); }), {255, 255, 0});  // the plumb line
    KytLink link;
    AuxDirect rod(2);
    rod.SetLink(&link);
    rod.SetPoint({0, 0, 0});
    rod.SetUp({0, 1, 0});
    rod.Create(nullptr);
    rod.Size = 1;
    ExpectColour(Probe({0, 0.5, 0}, 0.003, [&] { rod.Draw(); }), {204, 0, 204});
    ExpectColour(Probe({0, -0.5, 0}, 0.003, [&] { rod.Draw(); }), {204, 0, 204});
}

// The translucent sphere blends both its halves over what lies behind: over black and over
// grey, with alpha 0.3 twice.
TEST_F(OverlayPixels, SphereBlendsOverTheBackground)
{
    KytLink link;
    link.fRadius = 1;
    link.bGeomCenStale = false;
    KytStack<KytLink> stack;
    stack.Append(&link);
    AuxSphere sphere(1);
    sphere.Stack = &stack;
    sphere.Create(nullptr);
    for (float bg : {0.0f, 0.4f}) {
        SCOPED_TRACE(bg);
        const double r1 = 0.3 + 0.7 * bg, r2 = 0.3 + 0.7 * r1;
        const double g2 = 0.7 * 0.7 * bg;
        const int r = int(std::lround(r2 * 255)), g = int(std::lround(g2 * 255));
        ExpectColour(Probe({0, 0, 0}, 0.05, [&] { sphere.Draw(); }, bg), {r, g, g}, 8);
    }
    sphere.Destroy();
}

// Triangles blend their colour by its alpha over what lies behind; an opaque one covers it.
TEST_F(OverlayPixels, TrianglesBlendByTheirAlpha)
{
    AuxTriangle tri(1);
    ASSERT_TRUE(tri.CreateData(1));
    const WqVector3D v[3] = {{-1, -1, 0}, {1, -1, 0}, {0, 1, 0}};
    ASSERT_TRUE(tri.SetVertex(0, v));
    for (float alpha : {0.5f, 1.0f})
        for (float bg : {0.0f, 0.4f}) {
            SCOPED_TRACE(testing::Message() << alpha << " over " << bg);
            tri.SetColor(1.0f, 0.5f, 0.0f, alpha);
            auto mix = [&](float c) {
                return int(std::lround((alpha * c + (1 - alpha) * bg) * 255));
            };
            ExpectColour(Probe({0, 0, 0}, 0.1, [&] { tri.Draw(); }, bg),
                         {mix(1.0f), mix(0.5f), mix(0.0f)});
        }
}

// The ditch's lines show through a face nearer the eye.
TEST_F(OverlayPixels, DitchShowsThroughNearerFaces)
{
    AuxDitch ditch(1);
    ditch.SetData({0, 1, 0}, {1, 0, 0}, {-1, 0, 0});
    auto draw = [&] {
        glColor3f(0.4f, 0.4f, 0.4f);
        glBegin(GL_QUADS);
        glVertex3f(-2, -2, 1);
        glVertex3f(2, -2, 1);
        glVertex3f(2, 2, 1);
        glVertex3f(-2, 2, 1);
        glEnd();
        ditch.Draw();
    };
    ExpectColour(Probe({0, 0, 0}, 0.05, draw), {0, 255, 255});
    ExpectColour(Probe({0, -0.5, 0}, 0.05, draw), {102, 102, 102});
}

}  // namespace
