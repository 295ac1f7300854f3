#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "platform/kernel/KytModel.h"
#include "platform/kernel/KytShape.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KytSingleContents.h"
#include "scene/view/KytSingleScene.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/SceneFixture.h"

namespace {

using scene_test::SceneFixture;

class SingleViewTest : public SceneFixture {
protected:
    void TearDown() override
    {
        scene.reset();
        SceneFixture::TearDown();
    }

    void Open(double sx = 2.0, double sy = 1.0, double sz = 0.5)
    {
        part = KytBuild::AddBox(model, "plate", nullptr, {0, 0, 0}, sx, sy, sz);
        work = model.AddLink("work", part, KYT_LINK_WORKAXIS);
        model.UpdatePlacements();
        scene = std::make_unique<KytSingleScene>(part, "Single");
        ASSERT_TRUE(scene->Create(NewOgl(80, 80), 80, 80));
        scene->FitView(false);
    }

    KytSingleContents& Contents() { return *scene->GetSingleContents(); }

    // Window point (from the top) of a world point, after the scene's camera is loaded.
    void Project(const WqVector3D& p, int& x, int& y)
    {
        GLdouble mv[16], pr[16];
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        glGetDoublev(GL_PROJECTION_MATRIX, pr);
        glGetIntegerv(GL_VIEWPORT, vp);
        double wx, wy, wz;
        gluProject(p.x, p.y, p.z, mv, pr, vp, &wx, &wy, &wz);
        x = static_cast<int>(std::lround(wx));
        y = vp[3] - static_cast<int>(std::lround(wy));
    }

    KytModel model;
    KytLink* part = nullptr;
    KytLink* work = nullptr;
    std::unique_ptr<KytSingleScene> scene;
};

TEST_F(SingleViewTest, NotNormalAndSkippedByTheListsNormalDraw)
{
    Open();
    EXPECT_FALSE(scene->IsNormal());
    EXPECT_EQ(KytOgl::hWndNow, scene->GetOgl()->GetHwnd());
    static_assert(!std::is_copy_constructible_v<KytSingleContents>);
}

TEST_F(SingleViewTest, ConfirmBoxLiesTwoPercentOutsideTheShapeBox)
{
    Open(2.0, 1.0, 0.5);
    const auto* box = Contents().GetConfirmBox();
    const double lo[3] = {-1.0, -0.5, -0.25}, hi[3] = {1.0, 0.5, 0.25};
    for (int k = 0; k < 3; ++k) {
        const double margin = 0.02 * (hi[k] - lo[k]);
        EXPECT_NEAR(box[0][k], lo[k] - margin, 1e-6);
        EXPECT_NEAR(box[6][k], hi[k] + margin, 1e-6);
    }
    EXPECT_NEAR(box[1][0], hi[0] + 0.04, 1e-6);
    EXPECT_NEAR(box[3][1], hi[1] + 0.02, 1e-6);
    EXPECT_NEAR(box[4][2], hi[2] + 0.01, 1e-6);
    EXPECT_FLOAT_EQ(Contents().GetMarkSize(),
                    static_cast<float>(scene->GetViewPort()->GetViewRadius() * 0.05));
}

// Polygons sent by `draw`, through feedback, with face culling off.
int Polygons(const std::function<void()>& draw)
{
    std::vector<GLfloat> buffer(1 << 18);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glDisable(GL_CULL_FACE);
    draw();
    const GLint n = glRenderMode(GL_RENDER);
    int polygons = 0;
    for (GLint i = 0; i < n;) {
        const auto token = static_cast<GLint>(buffer[i]);
        if (token == GL_POLYGON_TOKEN) {
            ++polygons;
            i += 2 + 2 * static_cast<GLint>(buffer[i + 1]);
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            i += 5;
        } else if (token == GL_POINT_TOKEN || token == GL_PASS_THROUGH_TOKEN) {
            i += 3 - (token == GL_PASS_THROUGH_TOKEN);
        } else {
            break;
        }
    }
    return polygons;
}

TEST_F(SingleViewTest, PointMarksAtEveryVertexAndUpToThreeMarkedPoints)
{
    Open();
    scene->Draw(true);
    const float size = Contents().fPointMarkSize;
    const int box = Polygons([&] { KytOgl::DrawBox(size, -size); });
    ASSERT_GT(box, 0);
    auto frame = [&] { return Polygons([&] { Contents().Draw(part, 0); }); };
    Contents().bPointMode = false;
    const int plain = frame();
    Contents().bPointMode = true;
    Contents().SetMarkedPoints(nullptr, nullptr, nullptr);
    const int marks = frame();
    const int vertices = static_cast<int>(part->pShape->pRep->aVertex.size());
    EXPECT_EQ(marks - plain, (vertices + 8) * box) << "every vertex and the box corners";
    const float a[3] = {0.1f, 0, 0}, b[3] = {0, 0.1f, 0}, c[3] = {0, 0, 0.1f};
    Contents().SetMarkedPoints(a, b, nullptr);
    EXPECT_EQ(frame() - marks, 2 * box);
    Contents().SetMarkedPoints(a, nullptr, c);
    EXPECT_EQ(frame() - marks, 1 * box) << "a null ends the list";
    Contents().SetMarkedPoints(a, b, c);
    EXPECT_EQ(frame() - marks, 3 * box);
}

TEST_F(SingleViewTest, PickBeyondTheWindowAnswersFalse)
{
    Open();
    KytPickData data;
    EXPECT_FALSE(scene->Pick(80, 10, &data, false, false));
    EXPECT_FALSE(scene->Pick(10, 80, &data, false, false));
    EXPECT_FALSE(KytContents::bPickMode);
    GLint mode = 0;
    glGetIntegerv(GL_RENDER_MODE, &mode);
    EXPECT_EQ(mode, GL_RENDER);
}

TEST_F(SingleViewTest, PickNamesATriangleAndInPointModeAVertex)
{
    Open();
    scene->Draw(true);
    KytPickData data;
    ASSERT_TRUE(scene->Pick(40, 40, &data, false, false));
    EXPECT_EQ(data.Kind, 1);
    EXPECT_EQ(data.Link, part);
    EXPECT_EQ(data.Level, 5);
    const auto& tris = part->pShape->pRep->aTriangle;
    const KytTriangle* t = data.Triangle();
    EXPECT_TRUE(t >= tris.data() && t < tris.data() + tris.size());

    Contents().bPointMode = true;
    scene->Draw(true);
    // A corner of the mark round the part's outermost vertex, off the part itself.
    const KytPoint* corner = nullptr;
    for (const KytPoint& p : part->pShape->pRep->aVertex)
        if (p.x > 0 && p.y > 0 && p.z > 0)
            corner = &p;
    ASSERT_NE(corner, nullptr);
    const double s = Contents().fPointMarkSize;
    int x = 0, y = 0;
    Project(WqVector3D(corner->x + s, corner->y + s, corner->z + s), x, y);
    bool found = false;
    for (int dx = -1; dx <= 1 && !found; ++dx) {
        for (int dy = -1; dy <= 1 && !found; ++dy) {
            KytPickData d;
            if (scene->Pick(x + dx, y + dy, &d, false, false) && d.Level == 6) {
                found = true;
                EXPECT_EQ(d.Link, part);
                EXPECT_EQ(d.Kind, 1);
                EXPECT_NE(d.Item, 0u);
            }
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(SingleViewTest, DrawLineLooksAtTheMidpoint)
{
    Open();
    WqVector3D a(1, 2, 3), b(3, 6, -1);
    scene->DrawLine(a, b, true);
    const WqVector3D at = scene->GetViewPort()->GetActiveCamera()->GetLookAtPosition();
    EXPECT_NEAR(at.x, 2.0, 1e-12);
    EXPECT_NEAR(at.y, 4.0, 1e-12);
    EXPECT_NEAR(at.z, 1.0, 1e-12);
    WqVector3D p(0.5, 0, 0);
    scene->DrawPoint(p, false);
    EXPECT_NEAR(scene->GetViewPort()->GetActiveCamera()->GetLookAtPosition().x, 2.0, 1e-12);
    scene->DrawCircle(WqVector3D(), WqVector3D(0.5, 0, 0), WqVector3D(0, 0, 1), true);
    EXPECT_NEAR(scene->GetViewPort()->GetActiveCamera()->GetLookAtPosition().x, 0.0, 1e-12);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SingleViewTest, WorkModesDrawWithoutGlErrorsAndBalancedNames)
{
    Open();
    Contents().SetWorkLink(work);
    KytLink* tool = KytBuild::AddBox(model, "tool", nullptr, {0, 0, 1}, 0.2, 0.2, 0.2);
    Contents().SetToolLink(tool);
    KytLink* pin = KytBuild::AddBox(model, "pin", nullptr, {0.5, 0, 0}, 0.1, 0.1, 0.1);
    Contents().HilSetColPin(pin);
    for (int mode = 0; mode <= 3; ++mode) {
        Contents().SetWorkMode(mode);
        Contents().Create(scene.get());
        EXPECT_EQ(Contents().GetQuadric() != nullptr, mode >= 2) << mode;
        Contents().bPointMode = mode % 2 == 1;
        scene->Draw(true);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "mode " << mode;
        KytPickData d;
        scene->Pick(40, 40, &d, false, false);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "pick, mode " << mode;
        scene->DrawFace(&part->pShape->pRep->aTriangle[0], nullptr, false);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "face, mode " << mode;
    }
    Contents().HilResetColPin();
}

TEST_F(SingleViewTest, CircleLiesInTheAxisPlane)
{
    Open();
    Contents().SetWorkMode(2);
    Contents().Create(scene.get());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    for (int i = 0; i < 6; ++i)
        glDisable(GL_CLIP_PLANE0 + i);
    // Which window axis stays constant: 2 for z (XY plane), 1 for y, 0 for x.
    struct Case {
        int axis, flat;
    };
    for (const Case c : {Case{0, 2}, Case{1, 2}, Case{2, 1}, Case{3, 1}, Case{4, 0}, Case{5, 0},
                         Case{7, 2}}) {
        std::vector<GLfloat> buffer(4096);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        Contents().DrawCircle(1.0f, c.axis);
        const GLint n = glRenderMode(GL_RENDER);
        ASSERT_GT(n, 0) << c.axis;
        float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
        for (GLint i = 0; i < n;) {
            if (static_cast<GLint>(buffer[i]) != GL_POLYGON_TOKEN)
                break;
            const int count = static_cast<int>(buffer[i + 1]);
            for (int v = 0; v < count; ++v)
                for (int k = 0; k < 3; ++k) {
                    lo[k] = std::min(lo[k], buffer[i + 2 + 3 * v + k]);
                    hi[k] = std::max(hi[k], buffer[i + 2 + 3 * v + k]);
                }
            i += 2 + 3 * count;
        }
        for (int k = 0; k < 3; ++k) {
            if (k == c.flat)
                EXPECT_LT(hi[k] - lo[k], 1e-3) << "axis " << c.axis << " coord " << k;
            else
                EXPECT_GT(hi[k] - lo[k], 1e-2) << "axis " << c.axis << " coord " << k;
        }
    }
}

} // namespace
