#include <GL/gl.h>
#include <GL/glu.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/kernel/KytModel.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/PartTreeFixture.h"

namespace scene_test {
namespace {

using Strings = std::vector<std::string>;

int Swaps()
{
    return static_cast<int>(std::count(Log().begin(), Log().end(), "swap"));
}

bool Logged(const char* entry)
{
    return std::find(Log().begin(), Log().end(), entry) != Log().end();
}

class SceneView : public PartTreeFixture {
protected:
    KytCamera* Camera() { return scene->GetActiveCamera(); }
    KytViewPort& Vp() { return *scene->GetViewPort(); }
    KytOgl& Ogl() { return *scene->GetOgl(); }

    // A box at the origin in a 64 x 64 window, fitted.
    KytLink* OneBox(double w = 2.0)
    {
        KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        KytLink* box = Box("box", root, {0, 0, 0}, w);
        model.UpdatePlacements();
        Open(root, 64, 64);
        return box;
    }

    // A small marker in a view fitted to a box of 20 units whose corner parts are then
    // hidden: only the marker is drawn. Home() returns to this view.
    KytLink* MarkerView(bool parallel, int w = 64, int h = 64)
    {
        KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        KytLink* a = Box("cornerA", root, {-10, -10, -10}, 0.1);
        KytLink* b = Box("cornerB", root, {10, 10, 10}, 0.1);
        KytLink* marker = Box("marker", root, {0, 0, 0}, 1.2);
        model.UpdatePlacements();
        Open(root, w, h);
        if (!parallel) {
            scene->ChangeViewType(PROJECT_PERSPECTIVE);
            scene->FitView(false);
        }
        a->visual.uVisible = 0;
        b->visual.uVisible = 0;
        home = Camera()->GetLookAtPosition();
        return marker;
    }
    void Home() { scene->Panning(home, false); }
    WqVector3D home;

    void MoveTo(KytLink* link, const WqVector3D& p)
    {
        link->referMech.vPos = p;
        model.UpdatePlacements();
    }

    // Centroid of the lit pixels in GL window coordinates (from the bottom left, pixel centres
    // at +0.5); nothing when no pixel is lit.
    std::optional<std::pair<double, double>> Centroid()
    {
        Frame();
        std::vector<float> rgb(static_cast<size_t>(width) * height * 3);
        glReadPixels(0, 0, width, height, GL_RGB, GL_FLOAT, rgb.data());
        double sx = 0, sy = 0;
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const float* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
                if (p[0] + p[1] + p[2] > 0.05f) {
                    sx += x + 0.5;
                    sy += y + 0.5;
                    ++n;
                }
            }
        if (n == 0)
            return std::nullopt;
        return std::make_pair(sx / n, sy / n);
    }

    // Lit pixels of the middle row.
    int RowSpan(int y)
    {
        Frame();
        std::vector<float> rgb(static_cast<size_t>(width) * 3);
        glReadPixels(0, y, width, 1, GL_RGB, GL_FLOAT, rgb.data());
        int n = 0;
        for (int x = 0; x < width; ++x)
            if (rgb[x * 3] + rgb[x * 3 + 1] + rgb[x * 3 + 2] > 0.05f)
                ++n;
        return n;
    }

    bool Lit(int x, int y)
    {
        Frame();
        const auto c = Px(x, y);
        return c[0] + c[1] + c[2] > 0.05f;
    }

    // A clip link whose plane passes through `origin` with the normal along its z axis.
    KytLink* ClipLink(const char* name, const WqVector3D& origin = {0, 0, 0})
    {
        KytLink* l = model.AddLink(name, nullptr, KYT_LINK_PART);
        l->nType = 0x100;
        l->mech.vPos = origin;
        return l;
    }
};

// ---------------------------------------------------------------------------------------------
// Clip planes and back faces

TEST_F(SceneView, FirstClipPlaneSwitchesBackFacesOnAndTheLastOff)
{
    OneBox();
    KytLink* c1 = ClipLink("c1");
    KytLink* c2 = ClipLink("c2", {0, 0, 0.5});
    ASSERT_FALSE(Ogl().IsDrawBackFace());
    ASSERT_TRUE(KytOgl::bEnableCullFaceWhenClipping);
    EXPECT_TRUE(scene->AddClipPlane(c1, false));
    EXPECT_TRUE(Ogl().IsDrawBackFace());
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(scene->AddClipPlane(c2, false));
    EXPECT_TRUE(scene->RemoveClipPlane(c1, false));
    EXPECT_TRUE(Ogl().IsDrawBackFace());  // one plane left
    EXPECT_TRUE(scene->RemoveClipPlane(c2, false));
    EXPECT_FALSE(Ogl().IsDrawBackFace());
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    // Removing a link that is no clip plane is refused.
    EXPECT_FALSE(scene->RemoveClipPlane(c1, false));
}

TEST_F(SceneView, BackFacesStayOffWhenClippingMayCull)
{
    OneBox();
    KytOgl::bEnableCullFaceWhenClipping = false;
    EXPECT_TRUE(scene->AddClipPlane(ClipLink("c"), false));
    EXPECT_FALSE(Ogl().IsDrawBackFace());
    KytOgl::bEnableCullFaceWhenClipping = true;
    // ReinitCullFace brings the mode in step with the switch.
    scene->ReinitCullFace();
    EXPECT_TRUE(Ogl().IsDrawBackFace());
}

TEST_F(SceneView, RefusedAddChangesNothingAndDoesNotRedraw)
{
    OneBox();
    std::vector<KytLink*> links;
    for (int i = 0; i < 5; ++i) {
        links.push_back(ClipLink("c", {0, 0, 10.0 + i}));
        ASSERT_TRUE(scene->AddClipPlane(links.back(), false));
    }
    ClearLog();
    EXPECT_FALSE(scene->AddClipPlane(ClipLink("sixth"), true));
    EXPECT_FALSE(scene->AddClipPlane(nullptr, true));
    EXPECT_EQ(Swaps(), 0);
    EXPECT_EQ(Contents().GetClipCnt(), 5);
    EXPECT_EQ(scene->GetClipLink(4), links[4]);
    // An accepted change redraws once when asked.
    EXPECT_TRUE(scene->RemoveClipPlane(links[0], true));
    EXPECT_EQ(Swaps(), 1);
}

TEST_F(SceneView, ClearClipPlanesRemovesEveryLink)
{
    OneBox();
    KytLink* links[3] = {ClipLink("a", {0, 0, 5}), ClipLink("b", {0, 0, 6}), ClipLink("c", {0, 0, 7})};
    for (KytLink* l : links) {
        l->bSectionSide = true;
        ASSERT_TRUE(scene->AddClipPlane(l, false));
    }
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(glIsEnabled(GL_CLIP_PLANE0 + i));
    ASSERT_TRUE(Ogl().IsDrawBackFace());
    // Each plane keeps what lies beyond it: the box is cut away whole.
    ASSERT_FALSE(Lit(32, 32));
    ClearLog();
    scene->ClearClipPlanes(true);
    EXPECT_EQ(Swaps(), 1);
    EXPECT_EQ(Contents().GetClipCnt(), 0);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Contents().GetClipLink(i), nullptr) << i;
        EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE0 + i)) << i;
    }
    for (KytLink* l : links)
        EXPECT_FALSE(scene->CheckClip(l));
    EXPECT_FALSE(Ogl().IsDrawBackFace());
    // Nothing cuts the box any more.
    EXPECT_TRUE(Lit(32, 32));
    // The links can be added again from the first slot.
    EXPECT_TRUE(scene->AddClipPlane(links[2], false));
    EXPECT_EQ(scene->GetClipLink(0), links[2]);
}

TEST_F(SceneView, ClipLinksByIndexAndMembership)
{
    OneBox();
    KytLink* a = ClipLink("a", {0, 0, 5});
    KytLink* b = ClipLink("b", {0, 0, 6});
    ASSERT_TRUE(scene->AddClipPlane(a, false));
    ASSERT_TRUE(scene->AddClipPlane(b, false));
    const int count = Contents().GetClipCnt();
    ASSERT_EQ(count, 2);
    EXPECT_EQ(scene->GetClipLink(-1), nullptr);
    EXPECT_EQ(scene->GetClipLink(count), nullptr);
    EXPECT_EQ(scene->GetClipLink(0), a);
    EXPECT_EQ(scene->GetClipLink(1), b);
    EXPECT_TRUE(scene->CheckClip(a));
    EXPECT_FALSE(scene->CheckClip(scene->GetRootLink()));
    EXPECT_FALSE(scene->CheckClip(nullptr));
}

TEST_F(SceneView, ReinitCullFaceWithoutPlanesDoesNothing)
{
    OneBox();
    scene->ReinitCullFace();
    EXPECT_FALSE(Ogl().IsDrawBackFace());
}

TEST_F(SceneView, BackFaceModeReadsTheClippingSwitch)
{
    OneBox();
    ASSERT_TRUE(scene->AddClipPlane(ClipLink("c", {0, 0, 5}), false));
    ASSERT_TRUE(Ogl().IsDrawBackFace());
    // bClipEnabled is only what the last frame enabled: the switch decides.
    Contents().bClipEnabled = false;
    scene->SetBackFaceMode(false);
    EXPECT_TRUE(Ogl().IsDrawBackFace());  // cut parts keep their inside
    Contents().bClipAllowed = false;
    scene->SetBackFaceMode(false);
    EXPECT_FALSE(Ogl().IsDrawBackFace());
}

TEST_F(SceneView, SpecialClipCutsAwayWhatLiesBeforeItsPoint)
{
    OneBox();
    ASSERT_TRUE(Lit(32, 32));
    const WqVector3D at = Camera()->GetLookAtPosition();
    const WqVector3D e = Camera()->GetEyeOrientation();
    WqVector3D before = at + e * 5.0;  // between the eye and the box
    scene->SetSpecialClip(true, &before, false);
    EXPECT_TRUE(Ogl().IsDrawBackFace());
    EXPECT_TRUE(Lit(32, 32));
    WqVector3D behind = at - e * 5.0;
    scene->SetSpecialClip(true, &behind, false);
    EXPECT_FALSE(Lit(32, 32));
    // Half the box: the clip through its centre keeps the far half, seen cut open.
    WqVector3D centre = at;
    scene->SetSpecialClip(true, &centre, false);
    EXPECT_TRUE(Lit(32, 32));
    scene->SetSpecialClip(false, nullptr, false);
    EXPECT_FALSE(Ogl().IsDrawBackFace());
    EXPECT_TRUE(Lit(32, 32));
}

TEST_F(SceneView, HideDisplayObject)
{
    KytLink* box = OneBox();
    auto* first = new RecordingAux("first", 90);
    first->target = box;
    auto* other = new RecordingAux("other", 91);
    auto* second = new RecordingAux("second", 92);
    second->target = box;
    scene->AddAuxContents(first, AUX_STAGE_FIRST);
    scene->AddAuxContents(other, AUX_STAGE_FIRST);
    scene->AddAuxContents(second, AUX_STAGE_SECOND);
    auto* note = new RecordingAnnotate("note", box);
    note->bPicked = true;
    scene->AddAnnotation(note, AUX_STAGE_SECOND);
    scene->ChangeDrawType(DRAWTYPE_FOCUS_ALPHA, box, nullptr, false);

    scene->HideDisplayObject(false, box);
    EXPECT_FALSE(first->bSubDraw);
    EXPECT_TRUE(other->bSubDraw);
    EXPECT_FALSE(second->bSubDraw);
    EXPECT_FALSE(note->bSubDraw);
    EXPECT_FALSE(note->bPicked);
    EXPECT_EQ(scene->GetDrawType(), DRAWTYPE_SHADE);
    EXPECT_EQ(Contents().pFocusLink1, nullptr);

    scene->HideDisplayObject(true, box);
    EXPECT_TRUE(first->bSubDraw);
    EXPECT_TRUE(second->bSubDraw);
    EXPECT_TRUE(note->bSubDraw);
}

TEST_F(SceneView, ShowingATransparentLinkPutsItOnTheAlphaStackOnce)
{
    KytLink* box = OneBox();
    KytScenes scenes;
    box->visual.uTransparent = 1;
    KytScenes::AlphaStack.RemoveAll();
    scenes.HideDisplayObject(true, box);
    scenes.HideDisplayObject(true, box);
    EXPECT_EQ(KytScenes::AlphaStack.GetCount(), 1);
    scenes.HideDisplayObject(false, box);
    EXPECT_EQ(KytScenes::AlphaStack.GetCount(), 0);
    box->visual.uTransparent = 0;
    scenes.HideDisplayObject(true, box);
    EXPECT_EQ(KytScenes::AlphaStack.GetCount(), 0);
    KytScenes::AlphaStack.RemoveAll();
}

TEST_F(SceneView, ClearLinkContentsDropsTheRoot)
{
    OneBox();
    scene->ClearLinkContents();
    EXPECT_EQ(scene->GetRootLink(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Z-clip and real scale

TEST_F(SceneView, ZClipRemovesWhatLiesNearerThanZ)
{
    OneBox(2.0);
    ASSERT_EQ(scene->GetProjType(), PROJECT_PARALLEL);
    const double eye = Vp().GetEyeDistance();
    scene->SetZClip(eye - 3.0, false);  // before the box
    EXPECT_DOUBLE_EQ(Vp().GetNearClip(), eye - 3.0);
    EXPECT_TRUE(Ogl().IsDrawBackFace());
    EXPECT_TRUE(Lit(32, 32));
    scene->SetZClip(eye + 3.0, false);  // behind the box
    EXPECT_FALSE(Lit(32, 32));
}

TEST_F(SceneView, ZClipAtOrBeyondTheFarPlaneIsRefused)
{
    OneBox();
    scene->SetZClip(1.0, false);
    double before[16], after[16];
    glGetDoublev(GL_PROJECTION_MATRIX, before);
    ClearLog();
    for (double z : {Vp().GetFarClip(), Vp().GetFarClip() + 1.0}) {
        scene->SetZClip(z, true);
        EXPECT_DOUBLE_EQ(Vp().GetNearClip(), 1.0);
        glGetDoublev(GL_PROJECTION_MATRIX, after);
        for (int i = 0; i < 16; ++i)
            EXPECT_DOUBLE_EQ(after[i], before[i]) << i;
    }
    EXPECT_EQ(Swaps(), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(SceneView, ResetZClip)
{
    OneBox(2.0);
    scene->SetZClip(5.0, false);
    ASSERT_TRUE(Ogl().IsDrawBackFace());
    scene->ResetZClip(false);
    const double r = std::sqrt(12.0) / 2.0;
    EXPECT_DOUBLE_EQ(Vp().GetNearClip(), 0.0);
    EXPECT_NEAR(Vp().GetFarClip(), KytViewPort::lfFarRate * 2.5 * r, 1e-9);
    EXPECT_FALSE(Ogl().IsDrawBackFace());
    EXPECT_TRUE(Lit(32, 32));
}

TEST_F(SceneView, ResetZClipWithoutABoxOnlyRebuildsTheProjection)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    model.UpdatePlacements();
    Open(root, 64, 64);
    scene->SetZClip(5.0, false);
    const double far = Vp().GetFarClip();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    scene->ResetZClip(false);
    EXPECT_DOUBLE_EQ(Vp().GetNearClip(), 5.0);
    EXPECT_DOUBLE_EQ(Vp().GetFarClip(), far);
    EXPECT_FALSE(Ogl().IsDrawBackFace());
    double m[16];
    glGetDoublev(GL_PROJECTION_MATRIX, m);
    EXPECT_NE(m[0], 1.0);  // no longer the identity
}

TEST_F(SceneView, RealPpmSetsTheRadiusFromTheWindow)
{
    struct Case {
        int w, h;
        double x, y, radius;
    } cases[] = {{800, 600, 2.0, 3.0, 900.0}, {100, 100, 2.0, 3.0, 150.0}, {60, 100, 2.0, 3.0, 60.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        Box("box", root, {0, 0, 0}, 1.0);
        model.UpdatePlacements();
        Open(root, c.w, c.h);
        EXPECT_TRUE(scene->SetRealPpm(c.x, c.y, false));
        EXPECT_DOUBLE_EQ(Vp().GetViewRadius(), c.radius);
        EXPECT_EQ(Vp().GetRealScale().Flag, 1);
        double x = 0, y = 0;
        scene->GetRealPpm(x, y);
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
        scene.reset();
    }
}

TEST_F(SceneView, RealPpmOfZeroOrLessIsRefused)
{
    OneBox();
    const double radius = Vp().GetViewRadius();
    ClearLog();
    for (auto [x, y] : {std::pair{0.0, 1.0}, {1.0, 0.0}, {-1.0, 1.0}, {1.0, -2.0}, {NAN, 1.0}}) {
        EXPECT_FALSE(scene->SetRealPpm(x, y, true));
        EXPECT_EQ(Vp().GetViewRadius(), radius);
        EXPECT_EQ(Vp().GetRealScale().Flag, 0);
    }
    EXPECT_EQ(Swaps(), 0);
}

TEST_F(SceneView, RealScaleOnPixelsSurvivesAResize)
{
    // A 10-unit box seen face on: at 0.1 units per pixel it spans 100 pixels.
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    Box("box", root, {0, 0, 0}, 10.0);
    model.UpdatePlacements();
    Open(root, 200, 200);
    scene->ChangeViewPoint(0.0f, 90.0f, false);  // looking down the z axis
    ASSERT_TRUE(scene->SetRealPpm(0.1, 0.1, false));
    EXPECT_NEAR(RowSpan(100), 100, 1);
    scene->ReSize(200, 160);
    EXPECT_DOUBLE_EQ(Vp().GetViewRadius(), 8.0);
    EXPECT_EQ(Vp().GetRealScale().Flag, 1);
    height = 160;
    EXPECT_NEAR(RowSpan(80), 100, 1);
}

TEST_F(SceneView, ViewAngleAndScale)
{
    OneBox();
    scene->SetViewAngle(30.0, false);
    EXPECT_EQ(Vp().GetZoomAngle(), 30.0);
    ClearLog();
    // The plain viewport has no scale of its own.
    EXPECT_FALSE(scene->AddScale(0.5f, true));
    EXPECT_EQ(Swaps(), 0);
}

// ---------------------------------------------------------------------------------------------
// Panning and rotating

class PanToPoint : public SceneView, public ::testing::WithParamInterface<bool> {};

TEST_P(PanToPoint, BringsThePointUnderTheMouseToTheCentre)
{
    {
        const bool parallel = GetParam();
        KytLink* marker = MarkerView(parallel);
        const std::pair<int, int> pixels[] = {{40, 20}, {12, 50}, {32, 32}, {55, 9}};
        for (auto [x, y] : pixels) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            Home();
            // The world point under (x, y) at the look-at depth, from the scene's own matrices.
            double model[16], proj[16], wx, wy, wz, ox, oy, oz;
            int vp[4];
            glGetDoublev(GL_MODELVIEW_MATRIX, model);
            glGetDoublev(GL_PROJECTION_MATRIX, proj);
            glGetIntegerv(GL_VIEWPORT, vp);
            const WqVector3D at = Camera()->GetLookAtPosition();
            gluProject(at.x, at.y, at.z, model, proj, vp, &wx, &wy, &wz);
            gluUnProject(x, height - y, wz, model, proj, vp, &ox, &oy, &oz);
            MoveTo(marker, {ox, oy, oz});
            const auto before = Centroid();
            ASSERT_TRUE(before);
            EXPECT_NEAR(before->first, x, 1.0);
            EXPECT_NEAR(before->second, height - y, 1.0);
            scene->Panning(x, y, false);
            const auto after = Centroid();
            ASSERT_TRUE(after);
            EXPECT_NEAR(after->first, width / 2, 1.0);
            EXPECT_NEAR(after->second, height / 2, 1.0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Projections, PanToPoint, ::testing::Values(true, false));

TEST_F(SceneView, DragsMoveThePictureByTheirSense)
{
    KytLink* marker = MarkerView(true);
    (void)marker;
    struct Case {
        bool sense;
        int x1, y1, x2, y2;
    } cases[] = {{true, 30, 30, 40, 35}, {true, 20, 40, 12, 30}, {false, 30, 30, 40, 35},
                 {false, 50, 10, 45, 18}, {true, 7, 7, 7, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sense << " " << c.x1 << "," << c.y1);
        Home();
        const auto before = Centroid();
        ASSERT_TRUE(before);
        KytScene::bSenseOfSpace = c.sense;
        ClearLog();
        scene->Panning(c.x1, c.y1, c.x2, c.y2, true);
        EXPECT_EQ(Swaps(), 1);
        const auto after = Centroid();
        ASSERT_TRUE(after);
        // In window rows from the top the picture moves by (x2 - x1, y1 - y2) with the sense on.
        const int s = c.sense ? 1 : -1;
        EXPECT_NEAR(after->first - before->first, s * (c.x2 - c.x1), 1.0);
        EXPECT_NEAR(-(after->second - before->second), s * (c.y1 - c.y2), 1.0);
    }
}

TEST_F(SceneView, SlideViewPoint)
{
    MarkerView(true);
    for (bool sense : {true, false}) {
        SCOPED_TRACE(sense);
        Home();
        const auto before = Centroid();
        ASSERT_TRUE(before);
        KytScene::bSenseOfSpace = sense;
        scene->SlideViewPoint(6, -9, false);
        const auto after = Centroid();
        ASSERT_TRUE(after);
        const int s = sense ? 1 : -1;
        EXPECT_NEAR(after->first - before->first, -s * 6, 1.0);
        EXPECT_NEAR(-(after->second - before->second), -s * -9, 1.0);
    }
}

TEST_P(PanToPoint, WithTheLookAtAsDepthPointIsPlainPanning)
{
    {
        MarkerView(GetParam());
        scene->Panning(20, 44, false);
        const WqVector3D plain = Camera()->GetLookAtPosition();
        Home();
        WqVector3D depth = Camera()->GetLookAtPosition();
        scene->Panning(20, 44, depth, false);
        const WqVector3D viaDepth = Camera()->GetLookAtPosition();
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(viaDepth[i], plain[i], 1e-9);
    }
}

TEST_F(SceneView, PanningToADepthPointMovesAlongTheLineOfSight)
{
    MarkerView(true);
    const WqVector3D at = Camera()->GetLookAtPosition();
    const WqVector3D e = Camera()->GetEyeOrientation();
    const WqVector3D side = e.Cross(Camera()->GetViewUpVector());
    WqVector3D depth = at + e * 4.0 + side * 3.0;
    scene->Panning(32, 32, depth, false);
    const WqVector3D moved = Camera()->GetLookAtPosition() - at;
    EXPECT_NEAR(moved.Dot(e), 4.0, 1e-9);
    EXPECT_NEAR(moved.Dot(side), 0.0, 1e-9);
}

TEST_F(SceneView, Panning2StopsAtTheTrianglePlane)
{
    KytLink* box = OneBox(2.0);
    const KytShapeRep* rep = box->pShape->GetRep();
    const WqVector3D e = Camera()->GetEyeOrientation();
    // A triangle facing the eye.
    const KytTriangle* tri = nullptr;
    for (unsigned i = 0; i < rep->GetTriangleCount() && !tri; ++i) {
        const KytTriangle& t = rep->GetTriangles()[i];
        const WqVector3D n(t.pFaceNormal->x, t.pFaceNormal->y, t.pFaceNormal->z);
        if (n.Dot(e) > 0.3)
            tri = &t;
    }
    ASSERT_NE(tri, nullptr);
    scene->Panning2(30, 35, box, tri, false);
    const WqVector3D l = Camera()->GetLookAtPosition();
    const WqVector3D v0(tri->pVertex[0]->x, tri->pVertex[0]->y, tri->pVertex[0]->z);
    const WqVector3D n(tri->pFaceNormal->x, tri->pFaceNormal->y, tri->pFaceNormal->z);
    EXPECT_NEAR(n.Dot(l - box->mech.GetAbsPos(v0)), 0.0, 1e-9);
    scene->Panning2(30, 35, nullptr, tri, false);
    EXPECT_EQ(Camera()->GetLookAtPosition(), l);
}

TEST_F(SceneView, PanningToALinkTakesTheDepthOfItsBox)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* box = Box("box", root, {1, 2, 3}, 1.0);
    KytLink* group = model.AddLink("group", root, KYT_LINK_ASSEMBLY);
    model.UpdatePlacements();
    Open(root, 64, 64);
    const WqVector3D e = Camera()->GetEyeOrientation();
    scene->Panning(Camera()->GetLookAtPosition() + e * 4.0, false);
    scene->Panning(20, 40, box, false);
    EXPECT_NEAR((Camera()->GetLookAtPosition() - WqVector3D(1, 2, 3)).Dot(e), 0.0, 1e-9);
    // A link without a shape pans at the current depth.
    scene->Panning(Camera()->GetLookAtPosition() + e * 4.0, false);
    const double depth = Camera()->GetLookAtPosition().Dot(e);
    scene->Panning(20, 40, group, false);
    EXPECT_NEAR(Camera()->GetLookAtPosition().Dot(e), depth, 1e-9);
}

TEST_F(SceneView, MoveViewPointTakesOneAnglePerMotion)
{
    OneBox();
    struct Case {
        int dx, dy;
        bool sense;
        bool horizontal;
    } cases[] = {{5, 5, true, false}, {6, 5, true, true}, {-6, 5, true, true}, {2, -7, true, false},
                 {5, 5, false, false}, {6, 5, false, true}};
    const float degX = scene->GetDegPerPixelX(), degY = scene->GetDegPerPixelY();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy << " " << c.sense);
        scene->ChangeViewPoint(45.0f, 54.0f, false);
        KytScene::bSenseOfSpace = c.sense;
        const float d0 = Camera()->GetDirectAngle(), z0 = Camera()->GetZenithAngle();
        scene->MoveViewPoint(c.dx, c.dy, false);
        const float s = c.sense ? 1.0f : -1.0f;
        const float dd = c.horizontal ? s * c.dx * degX : 0.0f;
        const float dz = c.horizontal ? 0.0f : s * c.dy * degY;
        EXPECT_NEAR(Camera()->GetDirectAngle(), d0 + dd, 1e-3);
        EXPECT_NEAR(Camera()->GetZenithAngle(), z0 + dz, 1e-3);
    }
    scene->ChangeViewPoint(45.0f, 54.0f, false);
    KytScene::bSenseOfSpace = false;
    scene->MoveViewPoint(3.0f, 2.0f, false);
    EXPECT_NEAR(Camera()->GetDirectAngle(), 42.0f, 1e-4);
    EXPECT_NEAR(Camera()->GetZenithAngle(), 52.0f, 1e-4);
}

TEST_F(SceneView, ChangeViewAngleDrawsTheContentsOnly)
{
    OneBox();
    auto* aux = new RecordingAux("aux", 90);
    scene->AddAuxContents(aux, AUX_STAGE_FIRST);
    ClearLog();
    scene->ChangeViewAngle(10.0f, 20.0f);
    EXPECT_EQ(Log(), (Strings{"swap"}));
    EXPECT_EQ(Camera()->GetDirectAngle(), 10.0f);
    EXPECT_EQ(Camera()->GetZenithAngle(), 20.0f);
}

// ---------------------------------------------------------------------------------------------
// Zooming

TEST_F(SceneView, RefusedZoomDrawsNothing)
{
    OneBox();
    const double radius = Vp().GetViewRadius();
    ClearLog();
    EXPECT_FALSE(scene->Zoom(0.0f, true));
    EXPECT_EQ(Swaps(), 0);
    EXPECT_EQ(Vp().GetViewRadius(), radius);
    EXPECT_TRUE(scene->Zoom(1.0f, true));
    EXPECT_EQ(Swaps(), 1);
    EXPECT_DOUBLE_EQ(Vp().GetViewRadius(), radius * 1.1);
    EXPECT_EQ(Vp().GetRadiusBack(), Vp().GetViewRadius());
}

TEST_F(SceneView, ZoomContinueKeepsTheTextsForTheLastStep)
{
    KytLink* box = OneBox();
    scene->AddAnnotation(new RecordingAnnotate("note", box), AUX_STAGE_SECOND);
    auto* aux = new RecordingAux("aux", 90);
    scene->AddAuxContents(aux, AUX_STAGE_FIRST);
    const double back = Vp().GetRadiusBack();
    ClearLog();
    EXPECT_TRUE(scene->ZoomContinue(-1.0f, false));
    EXPECT_EQ(Swaps(), 1);
    EXPECT_FALSE(Logged("note:DrawGDI"));
    EXPECT_TRUE(Logged("aux:FitView"));
    EXPECT_EQ(Vp().GetRadiusBack(), back);
    ClearLog();
    EXPECT_TRUE(scene->ZoomContinue(-1.0f, true));
    EXPECT_EQ(Swaps(), 1);
    EXPECT_TRUE(Logged("note:DrawGDI"));
    EXPECT_EQ(Vp().GetRadiusBack(), Vp().GetViewRadius());
    EXPECT_DOUBLE_EQ(Vp().GetViewRadius(), back * 0.81);
    // A refused step draws nothing; the back radius follows.
    ClearLog();
    EXPECT_FALSE(scene->ZoomContinue(0.0f, false));
    EXPECT_EQ(Swaps(), 0);
    EXPECT_EQ(Vp().GetRadiusBack(), Vp().GetViewRadius());
}

TEST_F(SceneView, ResetViewRefitsEveryObject)
{
    OneBox();
    auto* a = new RecordingAux("a", 90);
    auto* b = new RecordingAux("b", 91);
    scene->AddAuxContents(a, AUX_STAGE_FIRST);
    scene->AddAuxContents(b, AUX_STAGE_SECOND);
    ClearLog();
    scene->ResetView(false);
    EXPECT_EQ(Log(), (Strings{"a:FitView", "b:FitView"}));
    ClearLog();
    scene->ResetView(true);
    EXPECT_EQ(Log(), (Strings{"a:FitView", "a:Draw", "b:FitView", "b:Draw", "swap"}));
}

TEST_F(SceneView, OperationsWithoutAContextDoNothing)
{
    KytScene bare;
    WqVector3D p(1, 2, 3);
    bare.Panning(5, 5, false);
    bare.Panning(p, false);
    bare.SlideViewPoint(1, 1, false);
    bare.MoveViewPoint(3, 4, false);
    EXPECT_FALSE(bare.Zoom(1.0f, true));
    EXPECT_FALSE(bare.ZoomContinue(1.0f, true));
    EXPECT_FALSE(bare.AddClipPlane(model.AddLink("c", nullptr, 0x100), true));
    bare.ClearClipPlanes(true);
    EXPECT_EQ(bare.GetClipLink(0), nullptr);
    bare.SetZClip(1.0, true);
    bare.ResetZClip(true);
    EXPECT_EQ(bare.GetViewPort()->GetNearClip(), 0.0);
}

}  // namespace
}  // namespace scene_test
