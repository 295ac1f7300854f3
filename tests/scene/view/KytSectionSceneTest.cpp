#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytModel.h"
#include "platform/kernel/KytShape.h"
#include "platform/wgl/Wgl.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytSectionCut.h"
#include "scene/view/KytSectionScene.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/SceneFixture.h"

namespace {

using scene_test::SceneFixture;

constexpr double kPi = 3.14159265358979323846;

bool Near(const WqVector3D& a, const WqVector3D& b, double tol = 1e-9)
{
    return std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol &&
           std::fabs(a.z - b.z) <= tol;
}

TEST(SectionCut, TriangleCutTable)
{
    const WqVector3D n(0, 0, 1);
    struct Case {
        const char* what;
        WqVector3D p[3];
        bool found;
        WqVector3D a, b;
    };
    const Case cases[] = {
        {"one vertex on the plane, others above", {{0, 0, 0}, {1, 0, 1}, {0, 1, 1}}, false, {}, {}},
        {"edge in the plane", {{0, 0, 0}, {1, 0, 0}, {0, 1, 1}}, true, {0, 0, 0}, {1, 0, 0}},
        {"edge within the tolerance", {{0, 0, 1e-8}, {1, 0, -1e-8}, {0, 1, -1}}, true,
         {0, 0, 1e-8}, {1, 0, -1e-8}},
        {"one vertex on, others opposite", {{0, 0, 0}, {2, 0, 1}, {2, 2, -1}}, true, {0, 0, 0},
         {2, 1, 0}},
        {"all above", {{0, 0, 1}, {1, 0, 2}, {0, 1, 3}}, false, {}, {}},
        {"all below", {{0, 0, -1}, {1, 0, -2}, {0, 1, -3}}, false, {}, {}},
        {"odd vertex below", {{0, 0, -1}, {2, 0, 1}, {0, 2, 1}}, true, {1, 0, 0}, {0, 1, 0}},
        {"odd vertex above, off centre", {{0, 0, 3}, {4, 0, -1}, {0, 4, -1}}, true, {3, 0, 0},
         {0, 3, 0}},
        {"wholly in the plane", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, false, {}, {}},
        {"touching within the tolerance", {{0, 0, 1e-8}, {1, 0, 1}, {0, 1, 2}}, false, {}, {}},
    };
    for (const Case& c : cases) {
        WqVector3D seg[2];
        const bool found = CutTriangle(n, 0.0, c.p, seg);
        EXPECT_EQ(found, c.found) << c.what;
        if (found && c.found) {
            const bool same = (Near(seg[0], c.a) && Near(seg[1], c.b)) ||
                              (Near(seg[0], c.b) && Near(seg[1], c.a));
            EXPECT_TRUE(same) << c.what << ": (" << seg[0].x << "," << seg[0].y << ","
                              << seg[0].z << ")-(" << seg[1].x << "," << seg[1].y << ","
                              << seg[1].z << ")";
        }
    }
}

TEST(SectionCut, PrintScaleTable)
{
    struct Case {
        int print, view;
        bool ok;
        double scale;
    };
    const Case cases[] = {
        {250, 100, true, 2.0}, {50, 100, true, 0.5}, {100, 100, true, 1.0},
        {200, 100, true, 2.0}, {100, 0, false, 0.0},
    };
    for (const Case& c : cases) {
        double k = -1.0;
        EXPECT_EQ(PrintScale(c.print, c.view, k), c.ok) << c.print << "/" << c.view;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(k, c.scale) << c.print << "/" << c.view;
        }
    }
}

class SectionViewTest : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        savedUpAxis = KytEnv::nUpAxis;
    }
    void TearDown() override
    {
        scene.reset();
        KytEnv::nUpAxis = savedUpAxis;
        SceneFixture::TearDown();
    }

    // A root assembly with boxes of several sizes, some nested.
    void BuildTree()
    {
        KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        KytBuild::AddBox(model, "a", root, {0, 0, 0}, 2, 2, 2);
        KytLink* sub = model.AddLink("sub", root, KYT_LINK_ASSEMBLY);
        KytBuild::AddBox(model, "b", sub, {1.5, 0.5, 0.2}, 1, 3, 1);
        KytBuild::AddBox(model, "c", sub, {-1.2, -0.8, 0.3}, 0.5, 0.5, 4);
        model.UpdatePlacements();
    }

    // The plane through `at` with normal `normal` (the section link's z axis).
    void SetPlane(const WqVector3D& at, const WqVector3D& normal)
    {
        WqVector3D z = normal;
        z.Normarize();
        const WqVector3D axis = WqVector3D(0, 0, 1).Cross(z);
        WqMatrix33D rot;
        if (axis.Length() > 1e-12)
            rot.MakeRotMatrix(z.z, axis.Length(), axis);
        else
            rot.MakeRotMatrix(1.0, 0.0, WqVector3D(1, 0, 0));
        cut.mech.mRot = rot;
        cut.mech.vPos = at;
    }

    void Open()
    {
        scene = std::make_unique<KytSectionScene>(model.Root(), "Section");
        ASSERT_TRUE(scene->Create(NewOgl(96, 80), 96, 80));
    }

    KytSectionConts& Contents() { return *dynamic_cast<KytSectionConts*>(scene->GetContents()); }

    // Every section segment of the tree, cut with a plain loop over world triangles.
    std::vector<std::pair<WqVector3D, WqVector3D>> Segments(const WqVector3D& n, double d)
    {
        std::vector<std::pair<WqVector3D, WqVector3D>> out;
        for (const auto& link : model.Links()) {
            if (!link->pShape || link->nType != KYT_LINK_PART)
                continue;
            for (const KytTriangle& t : link->pShape->pRep->aTriangle) {
                WqVector3D p[3];
                double s[3];
                for (int i = 0; i < 3; ++i) {
                    p[i] = link->mech.GetAbsPos(
                        WqVector3D(t.pVertex[i]->x, t.pVertex[i]->y, t.pVertex[i]->z));
                    s[i] = n.Dot(p[i]) - d;
                }
                std::vector<WqVector3D> hits;
                for (int i = 0; i < 3; ++i) {
                    const int j = (i + 1) % 3;
                    if ((s[i] < 0) != (s[j] < 0))
                        hits.push_back(p[i] + (p[j] - p[i]) * (s[i] / (s[i] - s[j])));
                }
                if (hits.size() == 2)
                    out.emplace_back(hits[0], hits[1]);
            }
        }
        return out;
    }

    KytModel model;
    KytLink cut;
    std::unique_ptr<KytSectionScene> scene;
    int savedUpAxis = 0;
};

TEST_F(SectionViewTest, DefaultsAndCreation)
{
    BuildTree();
    Open();
    EXPECT_FALSE(scene->IsNormal());
    EXPECT_FALSE(scene->IsAddLight());
    EXPECT_TRUE(scene->bKeepSectMeasure);
    EXPECT_EQ(scene->GetSectionLink(), nullptr);
    EXPECT_EQ(scene->GetLinkContents(), scene->GetContents());
    EXPECT_NE(dynamic_cast<KytSectCamera*>(scene->GetViewPort()->GetActiveCamera()), nullptr);
    EXPECT_NE(scene->GetOgl()->GetFont(), nullptr);
    EXPECT_EQ(KytOgl::hWndNow, scene->GetOgl()->GetHwnd());
    EXPECT_FALSE(Contents().EnableClipPlanes()) << "no plane without a section link";
    EXPECT_EQ(Contents().MakeDisp(nullptr, nullptr), 0u);
}

TEST_F(SectionViewTest, BoxTestCountsOnlyStrictlyOppositeCorners)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* across = KytBuild::AddBox(model, "across", root, {0, 0, 0}, 1, 1, 1);
    KytLink* touching = KytBuild::AddBox(model, "touching", root, {3, 0, 0.5}, 1, 1, 1);
    KytLink* above = KytBuild::AddBox(model, "above", root, {-3, 0, 2}, 1, 1, 1);
    model.UpdatePlacements();
    Open();
    SetPlane({0, 0, 0}, {0, 0, 1});
    ASSERT_TRUE(Contents().SetSectionLink(&cut));
    EXPECT_FALSE(Contents().SetSectionLink(&cut)) << "the same link again";
    ASSERT_TRUE(Contents().EnableClipPlanes());
    EXPECT_TRUE(Contents().IsCut(across));
    EXPECT_FALSE(Contents().IsCut(touching));
    EXPECT_FALSE(Contents().IsCut(above));
    // Not cut: no output, yet answered true.
    EXPECT_TRUE(Contents().DrawSingleLink(above));
    EXPECT_FALSE(Contents().DrawSingleLink(root)) << "an assembly has no shape";
}

TEST_F(SectionViewTest, SetLookWithoutALinkLooksAtTheOriginWithRadius1000)
{
    BuildTree();
    Open();
    scene->GetViewPort()->GetActiveCamera()->SetLookAtPosition(WqVector3D(3, 4, 5));
    scene->SetLook(nullptr);
    const WqVector3D at = scene->GetViewPort()->GetActiveCamera()->GetLookAtPosition();
    EXPECT_EQ(at.x, 0.0);
    EXPECT_EQ(at.y, 0.0);
    EXPECT_EQ(at.z, 0.0);
    EXPECT_DOUBLE_EQ(scene->GetViewPort()->GetViewRadius(), 1000.0);
}

TEST_F(SectionViewTest, CrossPointsAgreeWithABruteForceCutOverRandomPlanesAndLines)
{
    BuildTree();
    Open();
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> px(0, 95), py(0, 79);
    int found = 0, compared = 0;
    for (int plane = 0; plane < 12; ++plane) {
        // Drawn one by one, last coordinate first: the order in which a constructor's
        // arguments are evaluated differs between compilers, and with it the planes.
        const double nz = unit(rng), ny = unit(rng), nx = unit(rng);
        WqVector3D normal(nx, ny, nz);
        if (!normal.Normarize())
            continue;
        SetPlane({unit(rng) * 0.5, unit(rng) * 0.5, unit(rng) * 0.5}, normal);
        // A fresh link object each time: the view keeps the one it has otherwise.
        scene->SetSectionLink(nullptr, false);
        scene->SetSectionLink(&cut, false);
        scene->Draw(true);
        const WqVector3D n = Contents().vSectNormal;
        const double d = Contents().lfSectD;
        const auto segments = Segments(n, d);
        for (int line = 0; line < 25; ++line) {
            const int x1 = px(rng), y1 = py(rng), x2 = px(rng), y2 = py(rng);
            _SECT_CROSS cross;
            const bool got = scene->GetCrossPoint(x1, y1, x2, y2, cross);
            const WqVector3D s = scene->Point2Vector(x1, y1);
            const WqVector3D e = scene->Point2Vector(x2, y2);
            const double length = (e - s).Length();
            if (length <= 1e-9)
                continue;
            const WqVector3D dir = (e - s) * (1.0 / length);
            // Crossings of the screen segment with each section segment, in the plane.
            double tMin = 1e300, tMax = -1e300;
            for (const auto& [a, b] : segments) {
                const WqVector3D ab = b - a;
                const WqVector3D w = n.Cross(ab);
                const double den = dir.Dot(w);
                if (std::fabs(den) < 1e-12)
                    continue;
                const double t = (a - s).Dot(w) / den;
                const WqVector3D q = s + dir * t;
                const double u = (q - a).Dot(ab) / ab.Length2();
                if (t < 0 || t > length || u < 0 || u > 1)
                    continue;
                tMin = std::min(tMin, t);
                tMax = std::max(tMax, t);
            }
            const bool expected = tMin <= tMax && tMax - tMin > 1e-6;
            if (std::fabs(tMax - tMin) < 1e-5 && tMin <= tMax)
                continue; // too close to call either way
            ++compared;
            EXPECT_EQ(got, expected) << "plane " << plane << " line " << line;
            if (got && expected) {
                ++found;
                EXPECT_TRUE(Near(cross.vCross1, s + dir * tMin, 1e-6));
                EXPECT_TRUE(Near(cross.vCross2, s + dir * tMax, 1e-6));
                EXPECT_NEAR(cross.lfDist2, tMax, 1e-6);
                EXPECT_NEAR(cross.lfDist1, length - tMin, 1e-6);
            }
        }
    }
    EXPECT_GT(compared, 200);
    EXPECT_GT(found, 30);
}

TEST_F(SectionViewTest, EndPointIsTheNearestSectionLineEnd)
{
    BuildTree();
    Open();
    SetPlane({0, 0, 0.1}, {0, 0, 1});
    scene->SetSectionLink(&cut, false);
    scene->Draw(true);
    const auto segments = Segments(Contents().vSectNormal, Contents().lfSectD);
    ASSERT_FALSE(segments.empty());
    int found = 0;
    for (int x = 0; x < 96; x += 7) {
        for (int y = 0; y < 80; y += 7) {
            _SECT_ENDP endp;
            const bool got = scene->GetEndPoint(x, y, &endp);
            double best = 1e300;
            for (const auto& [a, b] : segments)
                best = std::min({best, (a - endp.vPickPos).Length(), (b - endp.vPickPos).Length()});
            const bool expected = best <= endp.lfRange;
            if (std::fabs(best - endp.lfRange) < 1e-9)
                continue;
            EXPECT_EQ(got, expected) << x << "," << y;
            if (got) {
                ++found;
                EXPECT_NEAR(endp.lfDist, best, 1e-9);
            }
        }
    }
    EXPECT_FALSE(scene->GetEndPoint(0, 0, nullptr));
    EXPECT_GT(found, 0);
}

TEST_F(SectionViewTest, RollingByPiAndBetweenPointsOnOneRay)
{
    BuildTree();
    Open();
    SetPlane({0, 0, 0}, {0, 0, 1});
    scene->SetSectionLink(&cut, true);
    KytCamera* camera = scene->GetViewPort()->GetActiveCamera();
    const WqVector3D up = camera->GetViewUpVector();
    scene->Rolling(kPi, false);
    EXPECT_TRUE(Near(camera->GetViewUpVector(), up * -1.0, 1e-15));
    scene->Rolling(-kPi, false);
    EXPECT_TRUE(Near(camera->GetViewUpVector(), up, 1e-15));

    int wx = 0, wy = 0;
    scene->Vector2WinPos(camera->GetLookAtPosition(), wx, wy);
    scene->Rolling(wx + 10, wy, wx + 30, wy, false);
    const WqVector3D after = camera->GetViewUpVector();
    EXPECT_FALSE(std::isnan(after.x) || std::isnan(after.y) || std::isnan(after.z));
    EXPECT_TRUE(Near(after, up, 1e-6));
    // A quarter turn by the mouse turns the up vector by a quarter.
    scene->Rolling(wx + 20, wy, wx, wy + 20, false);
    EXPECT_NEAR(camera->GetViewUpVector().Dot(up), 0.0, 0.05);
}

TEST_F(SectionViewTest, InitBankForEachUpAxisAndItsFallback)
{
    BuildTree();
    Open();
    struct Case {
        int axis;
        WqVector3D normal; // eye orientation is the opposite
        WqVector3D up;
    };
    const double h = std::sqrt(0.5);
    const Case cases[] = {
        {1, {0, 0, 1}, {0, 1, 0}},
        {2, {0, 1, 0}, {0, 0, 1}},
        {0, {0, 1, 0}, {1, 0, 0}},
        {1, {h, 0, h}, {0, 1, 0}},
        {1, {0, 1, 0}, {-1, 0, 0}},
        {2, {0, 0, 1}, {0, -1, 0}},
        {0, {1, 0, 0}, {0, 0, -1}},
    };
    for (const Case& c : cases) {
        KytEnv::nUpAxis = c.axis;
        SetPlane({0, 0, 0}, c.normal);
        scene->SetSectionLink(nullptr, false);
        scene->SetSectionLink(&cut, false);
        scene->InitBank(false);
        const WqVector3D got = scene->GetViewPort()->GetActiveCamera()->GetViewUpVector();
        EXPECT_TRUE(Near(got, c.up, 1e-12))
            << "axis " << c.axis << ": " << got.x << "," << got.y << "," << got.z;
    }
}

TEST_F(SectionViewTest, AreaZoomOfNoSizeDoesNothing)
{
    BuildTree();
    Open();
    SetPlane({0, 0, 0}, {0, 0, 1});
    scene->SetSectionLink(&cut, false);
    const double radius = scene->GetViewPort()->GetViewRadius();
    scene->AreaZoom(40, 40, 40, 40);
    EXPECT_DOUBLE_EQ(scene->GetViewPort()->GetViewRadius(), radius);
    scene->AreaZoom(0, 0, 48, 10);
    EXPECT_NEAR(scene->GetViewPort()->GetViewRadius(), radius * 0.5, 1e-9);
    EXPECT_DOUBLE_EQ(scene->GetViewPort()->GetRadiusBack(), scene->GetViewPort()->GetViewRadius());
}

TEST_F(SectionViewTest, PrintPutsTheSectionLinesOnTheDevice)
{
    BuildTree();
    Open();
    SetPlane({0, 0, 0.1}, {0, 0, 1});
    scene->SetSectionLink(&cut, true);
    HWND page = quor::wgl::CreateStandInWindow(400, 300);
    HDC pageDc = quor::wgl::GetDC(page);
    auto lines = [&] {
        const auto& log = quor::wgl::CallLog(pageDc);
        return static_cast<int>(std::count_if(log.begin(), log.end(), [](const std::string& l) {
            return l.rfind("LineTo(", 0) == 0;
        }));
    };
    CDC dc(pageDc);
    scene->Print(&dc, CRect(0, 0, 240, 200), CRect(0, 0, 96, 80));
    const int printed = lines();
    EXPECT_GT(printed, 4);
    // Every line lies on the page: twice the view's pixels.
    for (const std::string& l : quor::wgl::CallLog(pageDc)) {
        int x = -1, y = -1;
        if (std::sscanf(l.c_str(), "LineTo(%d,%d)", &x, &y) == 2) {
            EXPECT_GE(x, 0);
            EXPECT_LE(x, 2 * 96);
            EXPECT_LE(y, 200);
            EXPECT_GE(y, 200 - 2 * 80);
        }
    }
    // A view of no width prints nothing.
    scene->Print(&dc, CRect(0, 0, 240, 200), CRect(0, 0, 0, 80));
    EXPECT_EQ(lines(), printed);
    quor::wgl::ReleaseDC(page, pageDc);
}

TEST_F(SectionViewTest, PrintedSegmentsAreTheDrawnOnesScaled)
{
    BuildTree();
    Open();
    SetPlane({0.1, 0, 0.1}, {0.3, 0.2, 1});
    scene->SetSectionLink(&cut, true);
    // The drawn lines in window coordinates, through feedback.
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    scene->GetContents()->Draw(scene->GetRootLink(), 0);
    const GLint n = glRenderMode(GL_RENDER);
    std::vector<std::array<double, 4>> drawn;
    for (GLint i = 0; i < n;) {
        const auto token = static_cast<GLint>(buffer[i]);
        if (token != GL_LINE_TOKEN && token != GL_LINE_RESET_TOKEN)
            break;
        drawn.push_back({buffer[i + 1], buffer[i + 2], buffer[i + 3], buffer[i + 4]});
        i += 5;
    }
    ASSERT_GT(drawn.size(), 8u);

    HWND page = quor::wgl::CreateStandInWindow(400, 300);
    HDC pageDc = quor::wgl::GetDC(page);
    CDC dc(pageDc);
    // 2.5 times the view's width: whole device pixels per view pixel, 2.
    scene->Print(&dc, CRect(10, 0, 10 + 240, 200), CRect(0, 0, 96, 80));
    int printed = 0, x0 = 0, y0 = 0;
    for (const std::string& l : quor::wgl::CallLog(pageDc)) {
        int x = 0, y = 0;
        if (std::sscanf(l.c_str(), "MoveToEx(%d,%d)", &x, &y) == 2) {
            x0 = x;
            y0 = y;
        } else if (std::sscanf(l.c_str(), "LineTo(%d,%d)", &x, &y) == 2) {
            ++printed;
            auto match = [&](double ax, double ay, double bx, double by) {
                auto px = [](double w) { return 10 + static_cast<int>(2.0 * w); };
                auto py = [](double w) { return 200 - static_cast<int>(2.0 * w); };
                return std::abs(px(ax) - x0) <= 1 && std::abs(py(ay) - y0) <= 1 &&
                       std::abs(px(bx) - x) <= 1 && std::abs(py(by) - y) <= 1;
            };
            bool found = false;
            for (const auto& d : drawn)
                found = found || match(d[0], d[1], d[2], d[3]) || match(d[2], d[3], d[0], d[1]);
            EXPECT_TRUE(found) << "printed (" << x0 << "," << y0 << ")-(" << x << "," << y << ")";
        }
    }
    // Only lines that fall on one device point are left out.
    EXPECT_GE(printed, static_cast<int>(drawn.size() * 9 / 10));
    EXPECT_LE(printed, static_cast<int>(drawn.size()));
    quor::wgl::ReleaseDC(page, pageDc);
}

TEST_F(SectionViewTest, ANewSectionLinkEmptiesTheSecondStageAndItsChains)
{
    BuildTree();
    Open();
    SetPlane({0, 0, 0}, {0, 0, 1});
    scene->SetSectionLink(&cut, false);
    scene->bKeepSectMeasure = true;
    auto* note = new scene_test::RecordingAnnotate("note", model.Root());
    scene->AddAnnotation(note, AUX_STAGE_SECOND);
    scene->AddAuxContents(new scene_test::RecordingAux("measure", 7), AUX_STAGE_SECOND);
    ASSERT_EQ(scene->GetAnnotateHead(), note);
    scene->Draw(true);
    EXPECT_NE(scene->GetAuxConts(AUX_STAGE_SECOND), nullptr) << "kept while asked";

    KytLink other;
    other.mech.vPos = WqVector3D(0, 0, 0.2);
    scene->SetSectionLink(&other, false);
    EXPECT_FALSE(scene->bKeepSectMeasure);
    scene->Draw(true);
    EXPECT_EQ(scene->GetAuxConts(AUX_STAGE_SECOND), nullptr);
    EXPECT_EQ(scene->GetAnnotateHead(), nullptr) << "no chain points at a deleted object";
    scene->DrawDependPart();
}

} // namespace
