#include <GL/gl.h>
#include <GL/glu.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/kernel/KytModel.h"
#include "platform/wgl/Wgl.h"
#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/KytEdge.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/PartTreeFixture.h"

namespace scene_test {
namespace {
constexpr double kPi = 3.14159265358979323846;

class SceneFace : public PartTreeFixture {
protected:
    KytCamera* Camera() { return scene->GetActiveCamera(); }
    // One box of side 2 at the origin, turned about an oblique axis.
    KytLink* OpenTurnedBox()
    {
        KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        KytLink* box = Box("box", root, {0.3, -0.2, 0.1}, 2.0);
        MakeAxisRotMatrix(0.6, WqVector3D(1, 2, 3) * (1.0 / std::sqrt(14.0)), box->referMech.mRot);
        model.UpdatePlacements();
        Open(root, 64, 64);
        return box;
    }
};

// Window coordinates of the feedback vertices of one call, under an orthographic view of
// [-2, 2] on a 64 x 64 viewport.
std::vector<WqVector3D> FeedbackPoints(const std::function<void()>& draw)
{
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    std::vector<GLfloat> buf(4096);
    glFeedbackBuffer(static_cast<GLsizei>(buf.size()), GL_3D, buf.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const int n = glRenderMode(GL_RENDER);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    std::vector<WqVector3D> out;
    for (int i = 0; i < n;) {
        const int token = static_cast<int>(buf[i]);
        if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            // The first vertex of each segment, back in world units.
            out.push_back({buf[i + 1] / 16.0 - 2.0, buf[i + 2] / 16.0 - 2.0,
                           -(buf[i + 3] * 4.0 - 2.0)});
            i += 7;
        } else {
            ADD_FAILURE() << "unexpected token " << token;
            break;
        }
    }
    return out;
}

TEST_F(SceneFace, DashedCircleThroughFeedback)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    Box("box", root, {0, 0, 0});
    model.UpdatePlacements();
    Open(root, 64, 64);
    const WqVector3D centre(0.25, -0.125, 0.0), start(1.25, -0.125, 0.0);
    // An axis of length 3 still turns the point in the plane perpendicular to it.
    for (const WqVector3D& axis : {WqVector3D(0, 0, 1), WqVector3D(0, 0, 3)}) {
        const auto pts = FeedbackPoints([&] { DrawDashedCircle(start, centre, axis); });
        ASSERT_EQ(pts.size(), 35u);
        EXPECT_NEAR(pts[0].x, start.x, 1e-3);
        EXPECT_NEAR(pts[0].y, start.y, 1e-3);
        for (size_t i = 0; i < pts.size(); ++i) {
            const double a = 10.0 * double(i) * kPi / 180.0;
            EXPECT_NEAR(pts[i].x, centre.x + std::cos(a), 2e-3) << i;
            EXPECT_NEAR(pts[i].y, centre.y + std::sin(a), 2e-3) << i;
            EXPECT_NEAR(pts[i].z, 0.0, 2e-3) << i;
        }
    }
    EXPECT_TRUE(FeedbackPoints([&] { DrawDashedCircle(centre, centre, {0, 0, 1}); }).empty());
    EXPECT_TRUE(FeedbackPoints([&] { DrawDashedCircle(start, centre, {0, 0, 0}); }).empty());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(SceneFace, MarksRestoreTheirState)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    Box("box", root, {0, 0, 0});
    model.UpdatePlacements();
    Open(root, 64, 64);
    Frame();
    const std::function<void()> marks[] = {
        [&] { scene->DrawCircleOnce({1, 0, 0}, {0, 0, 0}, {0, 0, 1}); },
        [&] { scene->DrawLineOnce({-1, 0, 0}, {1, 0, 0}, false); },
        [&] { scene->DrawLineOnce({-1, 0, 0}, {1, 0, 0}, true); },
        [&] { scene->DrawPointOnce({0, 0, 0}); }};
    for (size_t i = 0; i < std::size(marks); ++i) {
        SCOPED_TRACE(i);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_LIGHTING);
        glDisable(GL_LINE_STIPPLE);
        glLineWidth(1.0f);
        glPointSize(1.0f);
        GLint bufferBefore = 0;
        glGetIntegerv(GL_DRAW_BUFFER, &bufferBefore);
        marks[i]();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_FALSE(glIsEnabled(GL_LINE_STIPPLE));
        GLfloat width = 0, size = 0, colour[4] = {};
        glGetFloatv(GL_LINE_WIDTH, &width);
        glGetFloatv(GL_POINT_SIZE, &size);
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_EQ(width, 1.0f);
        EXPECT_EQ(size, 1.0f);
        GLint bufferAfter = 0;
        glGetIntegerv(GL_DRAW_BUFFER, &bufferAfter);
        EXPECT_EQ(bufferAfter, bufferBefore);
        // The colour stays as the mark left it.
        if (i == 3)
            EXPECT_NEAR(colour[1], 0.9f, 1e-6);
        else
            EXPECT_NEAR(colour[0], 0.9f, 1e-6);
    }
}

// A line behind the box: drawn solid over it, or stippled and hidden by it.
TEST_F(SceneFace, StippledLineIsHiddenByNearerGeometry)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    Box("box", root, {0, 0, 0}, 2.0);
    model.UpdatePlacements();
    Open(root, 64, 64);
    WqVector3D o = Camera()->GetLookAtPosition() - Camera()->GetEyePosition();
    o = o * (1.0 / o.Length());
    const WqVector3D side = o.Cross(Camera()->GetViewUpVector());
    const WqVector3D behind = Camera()->GetLookAtPosition() + o * 3.0;
    const WqVector3D a = behind - side * 50.0, b = behind + side * 50.0;
    auto yellowInRow = [&](int x0, int x1) {
        int n = 0;
        for (int x = x0; x < x1; ++x) {
            const auto c = Px(x, height / 2);
            n += (c[0] > 0.8f && c[1] > 0.8f && c[2] < 0.2f) ? 1 : 0;
        }
        return n;
    };
    Frame();
    const auto boxColour = Centre();
    scene->DrawLineOnce(a, b, true);
    EXPECT_EQ(yellowInRow(28, 36), 0);  // behind the box
    EXPECT_GT(yellowInRow(0, 8), 0);    // beside it, in dashes
    EXPECT_LT(yellowInRow(0, 8), 8);
    EXPECT_EQ(Centre(), boxColour);
    Frame();
    scene->DrawLineOnce(a, b, false);
    EXPECT_EQ(yellowInRow(28, 36), 8);  // over everything, solid
}

TEST_F(SceneFace, FacePointMatchesThePointOnTheTriangle)
{
    KytLink* box = OpenTurnedBox();
    for (int projection : {1}) {
        for (auto [x, y] : {std::pair{32, 32}, {28, 35}, {36, 30}}) {
            SCOPED_TRACE(testing::Message() << projection << " " << x << "," << y);
            KytLink* link = nullptr;
            KytTriangle* tri = nullptr;
            WqVector3D point, normal;
            ASSERT_TRUE(scene->GetFacePoint(x, y, &link, &tri, point, normal));
            EXPECT_EQ(link, box);
            WqVector3D world;
            scene->CalcPointOnTriangle(link, tri, x, y, world);
            const WqVector3D own = box->mech.mRot.Transpose().Multi(world - box->mech.vPos);
            EXPECT_NEAR((own - point).Length(), 0.0, 1e-6);
            EXPECT_NEAR(normal.Length(), 1.0, 1e-9);
            // The face point lies on the picked triangle's plane.
            const KytPoint& v0 = *tri->pVertex[0];
            EXPECT_NEAR((point - WqVector3D(v0.x, v0.y, v0.z)).Dot(normal), 0.0, 1e-6);
        }
    }
    KytLink* link = reinterpret_cast<KytLink*>(1);
    WqVector3D point(7, 7, 7), normal;
    KytTriangle* tri = nullptr;
    EXPECT_FALSE(scene->GetFacePoint(0, 0, &link, &tri, point, normal));
    EXPECT_EQ(link, reinterpret_cast<KytLink*>(1));
    EXPECT_EQ(point, WqVector3D(7, 7, 7));
}

TEST_F(SceneFace, PickedPartPointOnlyOverTheScenesWindow)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    Box("box", root, {0, 0, 0}, 2.0);
    model.UpdatePlacements();
    using namespace quor::wgl;
    HWND frame = CreateStandInWindow(200, 100);
    HWND view = CreateStandInWindow(64, 64, frame);
    HWND sibling = CreateStandInWindow(64, 64, frame);
    ASSERT_TRUE(MoveWindow(view, 0, 0, 64, 64, TRUE));
    ASSERT_TRUE(MoveWindow(sibling, 100, 0, 64, 64, TRUE));
    scene = std::make_unique<ContentsScene>(root, "Child");
    ASSERT_TRUE(scene->Create(new RecordingOgl(view, 32, 24), 64, 64));
    scene->FitView(false);
    WqVector3D out(5, 5, 5);
    ASSERT_TRUE(scene->GetPickedPartPoint(CPoint(32, 32), out));
    EXPECT_LT(std::fabs(out.x), 1.0 + 1e-6);
    // Over the sibling, and outside the frame: no pick at all.
    WqVector3D untouched(5, 5, 5);
    EXPECT_FALSE(scene->GetPickedPartPoint(CPoint(120, 32), untouched));
    EXPECT_FALSE(scene->GetPickedPartPoint(CPoint(300, 32), untouched));
    EXPECT_EQ(untouched, WqVector3D(5, 5, 5));
    EXPECT_EQ(ChildWindowFromPoint(frame, POINT{150, 80}), frame);
}

class CountScene : public KytScene {
public:
    using KytScene::KytScene;
    void Draw(bool) override { ++draws; }
    int draws = 0;
};

TEST(SceneScaleLines, SetScaleLineStateTable)
{
    struct Case {
        const char* name;
        int argId;  // 0: null annotation
        int argNo;
        std::vector<std::pair<int, int>> chain;  // id, serial number
        std::vector<bool> switched;
        bool redraws;
    };
    const Case cases[] = {
        {"id 12 changes nothing", 12, 1, {{13, 1}, {14, 1}}, {false, false}, false},
        {"null switches every scale line", 0, 0, {{13, 1}, {12, 1}, {14, 2}}, {true, false, true},
         true},
        {"same serial number only", 13, 2, {{13, 1}, {14, 2}, {13, 2}}, {false, true, true}, true},
        {"no match, no redraw", 14, 9, {{13, 1}, {14, 2}}, {false, false}, false},
        {"no scale lines, no redraw", 0, 0, {{12, 1}}, {false}, false},
        {"empty chain", 0, 0, {}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CountScene scene(nullptr, "s");
        std::vector<AuxAnnotate*> objs;
        for (auto [id, no] : c.chain) {
            auto* a = new AuxAnnotate(static_cast<unsigned>(id), nullptr);
            a->nNo = no;
            a->SetDraw(true);
            scene.AddAnnotation(a, AUX_STAGE_SECOND);
            objs.push_back(a);
        }
        AuxAnnotate arg(static_cast<unsigned>(c.argId), nullptr);
        arg.nNo = c.argNo;
        scene.SetScaleLineState(c.argId ? &arg : nullptr, false, true);
        for (size_t i = 0; i < objs.size(); ++i)
            EXPECT_EQ(objs[i]->KytContents::IsDraw(), !c.switched[i]) << i;
        EXPECT_EQ(scene.draws, c.redraws ? 1 : 0);
    }
}

}  // namespace
}  // namespace scene_test

namespace scene_test {
namespace {

// In point mode a highlighted layered part names its vertices: a pick on a vertex mark gives
// the vertex, and the picked part point is the vertex as stored.
TEST_F(SceneFace, VertexHitGivesTheVertex)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* box = Box("box", root, {0, 0, 0}, 2.0);
    box->bHighlight = true;
    model.UpdatePlacements();
    using namespace quor::wgl;
    HWND frame = CreateStandInWindow(64, 64);
    HWND view = CreateStandInWindow(64, 64, frame);
    scene = std::make_unique<ContentsScene>(root, "Child");
    ASSERT_TRUE(scene->Create(new RecordingOgl(view, 32, 24), 64, 64));
    scene->FitView(false);
    Contents().bPointMode = true;
    Contents().lfPointMarkRate = 0.05;
    Contents().MakePointMark(scene->GetViewPort()->GetViewRadius());
    Frame();
    double mv[16], pj[16];
    GLint vp[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pj);
    glGetIntegerv(GL_VIEWPORT, vp);
    // The vertex nearest to the eye is in front of every face.
    const KytShapeRep* rep = box->pShape->GetRep();
    const KytPoint* nearest = nullptr;
    double best = 2.0, wx = 0, wy = 0;
    for (const KytPoint& v : rep->aVertex) {
        const WqVector3D w = box->mech.GetAbsPos(WqVector3D(v.x, v.y, v.z));
        double x, y, z;
        gluProject(w.x, w.y, w.z, mv, pj, vp, &x, &y, &z);
        if (z < best) {
            best = z;
            nearest = &v;
            wx = x;
            wy = y;
        }
    }
    ASSERT_NE(nearest, nullptr);
    const CPoint pt(int(wx), vp[3] - int(wy));
    KytPickData out;
    ASSERT_TRUE(scene->Pick(pt.x, pt.y, &out, false, false));
    EXPECT_EQ(out.Level, 6);
    ASSERT_NE(out.Vertex(), nullptr);
    // Faces hold their own copies of a corner: any copy at the same place will do.
    EXPECT_EQ(out.Vertex()->x, nearest->x);
    EXPECT_EQ(out.Vertex()->y, nearest->y);
    EXPECT_EQ(out.Vertex()->z, nearest->z);
    WqVector3D p;
    ASSERT_TRUE(scene->GetPickedPartPoint(pt, p));
    EXPECT_EQ(p, WqVector3D(nearest->x, nearest->y, nearest->z));
    // A vertex hit is no face point.
    KytLink* link = nullptr;
    KytTriangle* tri = nullptr;
    WqVector3D point(1, 2, 3), normal;
    EXPECT_FALSE(scene->GetFacePoint(pt.x, pt.y, &link, &tri, point, normal));
    EXPECT_EQ(link, nullptr);
    EXPECT_EQ(point, WqVector3D(1, 2, 3));
}

}  // namespace
}  // namespace scene_test


namespace scene_test {
namespace {

// The scene list forwards to its normal scenes only, and only a scale-line annotation or none.
TEST(SceneScaleLines, SceneListForwardsToNormalScenes)
{
    KytScenes scenes;
    auto* normal = new CountScene(nullptr, "normal");
    auto* other = new CountScene(nullptr, "other");
    other->SetNormal(false);
    scenes.AddScene(normal);
    scenes.AddScene(other);
    std::vector<AuxAnnotate*> objs;
    for (CountScene* s : {normal, other}) {
        auto* a = new AuxAnnotate(13, nullptr);
        a->SetDraw(true);
        s->AddAnnotation(a, AUX_STAGE_SECOND);
        objs.push_back(a);
    }
    AuxAnnotate wrong(12, nullptr);
    scenes.SetScaleLineState(&wrong, false, true);
    EXPECT_TRUE(objs[0]->KytContents::IsDraw());
    scenes.SetScaleLineState(nullptr, false, true);
    EXPECT_FALSE(objs[0]->KytContents::IsDraw());
    EXPECT_TRUE(objs[1]->KytContents::IsDraw());
    EXPECT_EQ(normal->draws, 1);
    EXPECT_EQ(other->draws, 0);
}

}  // namespace
}  // namespace scene_test
