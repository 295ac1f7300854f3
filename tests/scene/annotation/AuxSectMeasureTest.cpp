// Section measurements: their geometry against the view, their drawing and their printing.

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/KytModel.h"
#include "platform/wgl/Wgl.h"
#include "scene/annotation/AuxSectMeasure.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytSectionScene.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/SceneFixture.h"

namespace {

using scene_test::SceneFixture;

class SectMeasureTest : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        KytBuild::AddBox(model, "a", root, {0, 0, 0}, 2, 2, 2);
        model.UpdatePlacements();
        scene = std::make_unique<KytSectionScene>(model.Root(), "Section");
        ASSERT_TRUE(scene->Create(NewOgl(120, 100), 120, 100));
        // An oblique section plane, so nothing lines up with the world axes by chance.
        WqVector3D z(0.3, -0.4, 1.0);
        z.Normarize();
        const WqVector3D axis = WqVector3D(0, 0, 1).Cross(z);
        cut.mech.mRot.MakeRotMatrix(z.z, axis.Length(), axis * (1.0 / axis.Length()));
        cut.mech.vPos = WqVector3D(0.1, 0.2, 0.3);
        scene->SetSectionLink(&cut, true);
        scene->bKeepSectMeasure = true;
        scene->Draw(true);
        radius = scene->GetViewPort()->GetViewRadius();
    }
    void TearDown() override
    {
        scene.reset();
        SceneFixture::TearDown();
    }
    KytCamera* Camera() { return scene->GetViewPort()->GetActiveCamera(); }
    // A point of the screen plane through the look-at point, (sx, sy) along its axes.
    WqVector3D OnScreen(double sx, double sy)
    {
        const WqVector3D up = Camera()->GetViewUpVector();
        WqVector3D h = up.Cross(Camera()->GetEyeOrientation());
        h.Normarize();
        return Camera()->GetLookAtPosition() + h * sx + up * (sy / up.Length());
    }
    // The names of the page calls after `from`, with the labels' texts.
    static std::vector<std::string> Calls(HDC dc, size_t from)
    {
        std::vector<std::string> out;
        const auto& log = quor::wgl::CallLog(dc);
        for (size_t i = from; i < log.size(); ++i) {
            const std::string& l = log[i];
            const std::string name = l.substr(0, l.find('('));
            if (name == "TextOutA")
                out.push_back("Text " + l.substr(l.find('"')));
            else if (name == "MoveToEx" || name == "LineTo" || name == "Polyline" ||
                     name == "Polygon" || name == "Ellipse" || name == "SetPolyFillMode")
                out.push_back(name);
        }
        return out;
    }
    void PrepareStatics()
    {
        scene->Draw(true);
        glGetDoublev(GL_MODELVIEW_MATRIX, AuxSectMeasure::modelM);
        glGetDoublev(GL_PROJECTION_MATRIX, AuxSectMeasure::projM);
        glGetIntegerv(GL_VIEWPORT, AuxSectMeasure::viewP);
    }
    // Primitives of one Draw in feedback: (token, vertex count).
    static std::vector<std::pair<int, int>> Feedback(AuxSectMeasure& m)
    {
        std::vector<GLfloat> buffer(1 << 15);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        m.Draw();
        const GLint n = glRenderMode(GL_RENDER);
        std::vector<std::pair<int, int>> out;
        for (GLint i = 0; i < n;) {
            const int token = static_cast<int>(buffer[i++]);
            int count = 0;
            if (token == GL_POLYGON_TOKEN)
                count = static_cast<int>(buffer[i++]);
            else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN)
                count = 2;
            else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN ||
                     token == GL_DRAW_PIXEL_TOKEN || token == GL_COPY_PIXEL_TOKEN)
                count = 1;
            else if (token == GL_PASS_THROUGH_TOKEN) {
                ++i;
                continue;
            }
            out.emplace_back(token, count);
            i += 3 * count;
        }
        return out;
    }
    static int CountOf(const std::vector<std::pair<int, int>>& f, int token)
    {
        int n = 0;
        for (const auto& p : f)
            n += p.first == token;
        return n;
    }

    KytModel model;
    KytLink cut;
    std::unique_ptr<KytSectionScene> scene;
    double radius = 0.0;
};

TEST_F(SectMeasureTest, LegsMeetAtARightAngleWithTheFirstAcrossTheScreen)
{
    const WqVector3D a = OnScreen(-3.0, -1.0), b = OnScreen(2.0, 4.0);
    AuxSectMeasure m(7);
    m.Create(scene.get(), a, b);
    ASSERT_EQ(m.Mode, 5);
    const WqVector3D w1 = m.WorkPoints[0];
    const double h = (w1 - a).Length(), v = (b - w1).Length();
    EXPECT_NEAR(h * h + v * v, (b - a).Length2(), 1e-9);
    EXPECT_NEAR(h, 5.0, 1e-9);
    EXPECT_NEAR(v, 5.0, 1e-9);
    EXPECT_STREQ(m.Text2, "5.00 mm");
    EXPECT_STREQ(m.Text3, "5.00 mm");
    int ax, ay, wx, wy, bx, by;
    scene->Vector2WinPos(a, ax, ay);
    scene->Vector2WinPos(w1, wx, wy);
    scene->Vector2WinPos(b, bx, by);
    EXPECT_EQ(ay, wy);
    EXPECT_NE(ax, wx);
    EXPECT_NEAR(bx, wx, 1);
    // Leg midpoints carry the labels.
    EXPECT_NEAR((m.WorkPoints[2] - (a + w1) * 0.5).Length(), 0.0, 1e-12);
    EXPECT_NEAR((m.WorkPoints[3] - (b + w1) * 0.5).Length(), 0.0, 1e-12);
}

TEST_F(SectMeasureTest, DiameterArrowsGoOutsideBelowATenthOfTheViewRadius)
{
    const WqVector3D c = OnScreen(0.5, 0.5);
    const WqVector3D dir = OnScreen(1.5, 0.5) - c;
    for (double k : {0.05, 0.099, 0.101, 0.3}) {
        const double r = k * radius;
        AuxSectMeasure m(1);
        m.Create(scene.get(), c + dir * r, r, c, false);
        ASSERT_EQ(m.Mode, 3);
        char want[36];
        std::snprintf(want, sizeof want, " %.2lf mm", 2 * r);
        EXPECT_STREQ(m.Text, want);
        m.Draw();
        const bool outside = k < 0.1;
        const WqVector3D label = m.WorkPoints[3];
        if (outside) {
            // Beyond the first arrow, 1.3 arrow lengths out from the circle.
            EXPECT_NEAR((label - c).Length(), r + 1.3 * 0.05 * radius, 1e-9) << k;
        } else {
            EXPECT_NEAR((label - c).Length(), 0.0, 1e-12) << k;
        }
        // The arrow tips sit on the circle either way, pointing in or out.
        const WqVector3D base = (m.WorkPoints[5] + m.WorkPoints[6]) * 0.5;
        EXPECT_EQ((base - c).Length() > r, outside) << k;
    }
    // The radius form: a large circle starts its line half an arrow outside.
    AuxSectMeasure m(1);
    m.Create(scene.get(), c + dir, 1.0, c, true);
    ASSERT_EQ(m.Mode, 4);
    m.Draw();
    EXPECT_NEAR((m.WorkPoints[1] - c).Length(), 1.0 + 0.5 * 0.05 * radius, 1e-9);
    EXPECT_EQ(std::string(m.Text), " R 1.00 mm");
}

TEST_F(SectMeasureTest, CirclePointsLieInTheScreenPlaneAtTheRadius)
{
    const WqVector3D c(0.3, -0.2, 0.7);
    AuxSectMeasure m(1);
    m.Create(scene.get(), 1.25, c);
    ASSERT_EQ(m.Mode, 2);
    m.Draw();
    ASSERT_EQ(m.CirclePoints.size(), 64u);
    const WqVector3D e = Camera()->GetEyeOrientation();
    for (const WqVector3D& p : m.CirclePoints) {
        EXPECT_NEAR((p - c).Length(), 1.25, 1e-9);
        EXPECT_NEAR((p - c).Dot(e), 0.0, 1e-9);
    }
    // Point 0 straight up the screen, the rest evenly round.
    WqVector3D up = Camera()->GetViewUpVector();
    up.Normarize();
    EXPECT_NEAR(((m.CirclePoints[0] - c) * (1 / 1.25) - up).Length(), 0.0, 1e-12);
    EXPECT_NEAR((m.CirclePoints[16] - c).Dot(up), 0.0, 1e-9);
    EXPECT_NEAR((m.CirclePoints[32] - c).Dot(up), -1.25, 1e-9);
}

TEST_F(SectMeasureTest, PrintCallsPerMode)
{
    PrepareStatics();
    HDC page = quor::wgl::CreateRecordingDC(1200, 1000, 300);
    CDC dc(page);
    const WqVector3D a = OnScreen(-3, -1), b = OnScreen(2, 4), c = OnScreen(0, 2);
    using V = std::vector<std::string>;
    struct Case {
        const char* what;
        std::function<void(AuxSectMeasure&)> setup;
        V calls;
    };
    const std::string len = "Text \"7.07 mm\")";
    const Case cases[] = {
        {"distance", [&](AuxSectMeasure& m) { m.Create(scene.get(), a, b, true); },
         {"MoveToEx", "LineTo", "SetPolyFillMode", "Polygon", "Polygon", len,
          "SetPolyFillMode"}},
        {"distance, points marked",
         [&](AuxSectMeasure& m) {
             m.Create(scene.get(), a, b, false);
             m.EnablePointDraw(true);
         },
         {"MoveToEx", "LineTo", "SetPolyFillMode", "Polygon", "Polygon", "Ellipse", "Ellipse",
          len, "SetPolyFillMode"}},
        {"offset distance", [&](AuxSectMeasure& m) { m.Create(scene.get(), a, b, c, true); },
         {"MoveToEx", "LineTo", "MoveToEx", "LineTo", "SetPolyFillMode", "Polygon", "Polygon",
          len, "SetPolyFillMode"}},
        {"circle", [&](AuxSectMeasure& m) { m.Create(scene.get(), 2.0, c); }, {"Polyline"}},
        {"diameter", [&](AuxSectMeasure& m) { m.Create(scene.get(), b, (b - c).Length(), c, false); },
         {"MoveToEx", "LineTo", "Polyline", "SetPolyFillMode", "Polygon", "Polygon", "Ellipse",
          "Text \" 5.66 mm\")", "SetPolyFillMode"}},
        {"radius", [&](AuxSectMeasure& m) { m.Create(scene.get(), b, (b - c).Length(), c, true); },
         {"MoveToEx", "LineTo", "Polyline", "SetPolyFillMode", "Polygon", "Ellipse",
          "Text \" R 2.83 mm\")", "SetPolyFillMode"}},
        {"legs, with a stale text before",
         [&](AuxSectMeasure& m) {
             m.Create(scene.get(), a, b, true);
             m.Create(scene.get(), a, b);
         },
         {"Polyline", "SetPolyFillMode", "Ellipse", "Ellipse", "Ellipse", "Text \"H\")",
          "Text \"V\")", "SetPolyFillMode"}},
    };
    for (const Case& k : cases) {
        AuxSectMeasure m(3);
        k.setup(m);
        const size_t from = quor::wgl::CallLog(page).size();
        m.Print(&dc, CRect(0, 0, 1200, 1000), CRect(0, 0, 120, 100));
        EXPECT_EQ(Calls(page, from), k.calls) << k.what;
        // Nothing left selected: the page's own objects are back, ours are gone.
        EXPECT_EQ(quor::wgl::GetCurrentObject(page, quor::wgl::OBJ_FONT),
                  quor::wgl::GetStockObject(quor::wgl::SYSTEM_FONT))
            << k.what;
        EXPECT_EQ(quor::wgl::LiveGdiObjects(), 0) << k.what;
    }
    quor::wgl::DeleteDC(page);
}

TEST_F(SectMeasureTest, CoincidentPointsPrintNoDimensionLine)
{
    PrepareStatics();
    HDC page = quor::wgl::CreateRecordingDC(1200, 1000, 300);
    CDC dc(page);
    AuxSectMeasure m(3);
    const WqVector3D p = OnScreen(1, 1);
    m.Create(scene.get(), p, p, true);
    EXPECT_STREQ(m.Text, "0.00 mm");
    m.Print(&dc, CRect(0, 0, 1200, 1000), CRect(0, 0, 120, 100));
    const std::vector<std::string> want = {"SetPolyFillMode", "Polygon", "Polygon",
                                           "Text \"0.00 mm\")", "SetPolyFillMode"};
    EXPECT_EQ(Calls(page, 0), want);
    // A view of no width prints nothing at all.
    const size_t before = quor::wgl::CallLog(page).size();
    m.Print(&dc, CRect(0, 0, 1200, 1000), CRect(0, 0, 0, 100));
    m.Print(nullptr, CRect(0, 0, 1200, 1000), CRect(0, 0, 120, 100));
    EXPECT_EQ(quor::wgl::CallLog(page).size(), before);
    quor::wgl::DeleteDC(page);
}

TEST_F(SectMeasureTest, WithoutViewportNothingIsDrawnOrPrintedAndWithoutFontNoLabels)
{
    PrepareStatics();
    AuxSectMeasure m(3);
    m.Create(scene.get(), OnScreen(-0.3 * radius, 0), OnScreen(0.3 * radius, 0.1 * radius), true);
    const auto full = Feedback(m);

    EXPECT_EQ(CountOf(full, GL_POLYGON_TOKEN), 2);
    EXPECT_GT(CountOf(full, GL_BITMAP_TOKEN), 0);

    std::unique_ptr<KytAuxContents> copy(m.Duplicate());
    auto* dup = dynamic_cast<AuxSectMeasure*>(copy.get());
    ASSERT_NE(dup, nullptr);
    EXPECT_EQ(dup->ViewPort, nullptr);
    EXPECT_TRUE(Feedback(*dup).empty());
    HDC page = quor::wgl::CreateRecordingDC(1200, 1000, 300);
    CDC dc(page);
    dup->Print(&dc, CRect(0, 0, 1200, 1000), CRect(0, 0, 120, 100));
    EXPECT_TRUE(quor::wgl::CallLog(page).empty());
    // Given a scene, the copy draws what the original does.
    dup->Create(scene.get());
    EXPECT_EQ(Feedback(*dup), full);

    m.Font = nullptr;
    const auto bare = Feedback(m);
    EXPECT_EQ(CountOf(bare, GL_BITMAP_TOKEN), 0);
    EXPECT_EQ(CountOf(bare, GL_POLYGON_TOKEN), 2);
    quor::wgl::DeleteDC(page);
}

TEST_F(SectMeasureTest, DrawLeavesTheLineAndPointStateAsItFoundIt)
{
    AuxSectMeasure m(3);
    m.Create(scene.get(), OnScreen(-2, 0), OnScreen(2, 1));
    m.EnablePointDraw(true);
    glLineWidth(2.5f);
    glPointSize(1.5f);
    glColor3f(0.25f, 0.5f, 0.75f);
    m.Draw();
    GLfloat width = 0, size = 0, colour[4] = {};
    glGetFloatv(GL_LINE_WIDTH, &width);
    glGetFloatv(GL_POINT_SIZE, &size);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(width, 2.5f);
    EXPECT_EQ(size, 1.5f);
    EXPECT_EQ(colour[2], 0.75f);
    EXPECT_FALSE(glIsEnabled(GL_LINE_STIPPLE));
}

TEST_F(SectMeasureTest, ColourFollowsTheBackgroundAndHugeValuesStayBounded)
{
    const float saved[4] = {KytScene::afBackColor[0], KytScene::afBackColor[1],
                            KytScene::afBackColor[2], KytScene::afBackColor[3]};
    AuxSectMeasure m(3);
    KytScene::afBackColor[0] = KytScene::afBackColor[1] = KytScene::afBackColor[2] = 0.5f;
    m.Create(scene.get(), WqVector3D(0, 0, 0), WqVector3D(1e300, 0, 0), true);
    EXPECT_EQ(m.Color[0], 0.0f);
    EXPECT_STREQ(m.Text, "1.00e+300 mm");
    KytScene::afBackColor[0] = 0.4f;
    m.Create(scene.get(), WqVector3D(0, 0, 0), WqVector3D(0, 1e30, 0));
    EXPECT_EQ(m.Color[0], 1.0f);
    EXPECT_LT(std::strlen(m.Text2) + std::strlen(m.Text3), 48u);
    for (int i = 0; i < 4; ++i)
        KytScene::afBackColor[i] = saved[i];
}

TEST_F(SectMeasureTest, TheSectionViewPrintsItsSecondStageMeasurements)
{
    auto* m = new AuxSectMeasure(3);
    m->Create(scene.get(), OnScreen(-3, -1), OnScreen(2, 4), true);
    scene->AddAuxContents(m, AUX_STAGE_SECOND);
    auto* first = new AuxSectMeasure(4);
    first->Create(scene.get(), OnScreen(-3, 1), OnScreen(2, 4), true);
    scene->AddAuxContents(first, AUX_STAGE_FIRST);
    scene->Draw(true);
    HDC page = quor::wgl::CreateRecordingDC(1200, 1000, 300);
    CDC dc(page);
    scene->Print(&dc, CRect(0, 0, 1200, 1000), CRect(0, 0, 120, 100));
    int texts = 0;
    for (const std::string& l : quor::wgl::CallLog(page))
        texts += l.rfind("TextOutA(", 0) == 0;
    EXPECT_EQ(texts, 1);

    quor::wgl::DeleteDC(page);
}

}  // namespace
