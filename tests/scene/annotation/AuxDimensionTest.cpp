// Dimension annotations: their value texts, label picks through the scene in both projections,
// the angle arc, the review comment and the lifetime of the measurement they show.

#include <GL/gl.h>
#include <GL/glu.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/KytModel.h"
#include "platform/wgl/Wgl.h"
#include "scene/annotation/AuxDimension.h"
#include "scene/annotation/CMeasureData.h"
#include "scene/annotation/KytRidgeLine.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/PartTreeFixture.h"

namespace scene_test {
namespace {

const std::string kMicro = "\x83\xCA";
const std::string kTheta = "\x83\xA6";
const std::string kDegree = "\x81\x8B";

// The label operations, reachable from the tests.
class Probe : public AuxDimension {
public:
    using AuxDimension::AuxDimension;
    // The value text and label place of the measurement's type.
    bool Label(HDC dc, int x[2], int y[2], SIZE& size, bool makeText = true)
    {
        int length = 0;
        switch (pMeasure->MeasureType) {
        case 0: return GetProjGDIPos(dc, x, y, size, length, makeText);
        case 1: return Get2PGDIPos(dc, x, y, size, length, makeText);
        case 2: return GetAngleGDIPos(dc, x, y, size, length, makeText);
        default: return GetRadiusGDIPos(dc, x, y, size, length, makeText);
        }
    }
};

// Two face points on two links.
void FacePoints(CMeasureData& m, KytLink* a, KytLink* b, int type, const WqVector3D& p,
                const WqVector3D& q, const WqVector3D& n = {0, 0, 1},
                const WqVector3D& n2 = {0, 0, 1})
{
    m.MeasureType = type;
    m.PointType[0] = m.PointType[1] = 4;
    m.PointLink[0] = a;
    m.PointLink[1] = b;
    m.Position[0] = m.SavedPosition[0] = p;
    m.Position[1] = m.SavedPosition[1] = q;
    m.Normal[0] = n;
    m.Normal[1] = n2;
}

class DimensionText : public ::testing::Test {
protected:
    void SetUp() override
    {
        quor::wgl::ResetStandIn();
        dc = quor::wgl::CreateRecordingDC(800, 600, 96);
        assembly.nType = KYT_LINK_ASSEMBLY;
    }
    void TearDown() override { quor::wgl::ResetStandIn(); }
    std::string Value(CMeasureData& m)
    {
        Probe p(7, &m);
        int x[2], y[2];
        SIZE size{};
        EXPECT_TRUE(p.Label(dc, x, y, size));
        const std::string v = p.GetValue();
        p.pMeasure = nullptr;  // the measurement outlives the probe untouched
        return v;
    }
    HDC dc = nullptr;
    KytLink part, other, assembly;
};

TEST_F(DimensionText, ValueTextsInCodePage932)
{
    struct Row {
        const char* what;
        int type;
        WqVector3D p, q;
        KytLink* first;
        std::string text;
    };
    const Row rows[] = {
        {"micrometres below 0.01", 1, {0, 0, 0}, {0.004, 0, 0}, &part, "L=4.00" + kMicro + "m"},
        {"0.01 in millimetres", 1, {0, 0, 0}, {0, 0.01, 0}, &part, "L=0.01 mm"},
        {"both legs", 0, {0, 0, 0}, {1, 0, 2}, &part, "H=1.00 : V=2.00 mm"},
        {"small V", 0, {0, 0, 0}, {1, 0, 0.004}, &part, "H=1.00 mm : V=4.00" + kMicro + "m"},
        {"small H", 0, {0, 0, 0}, {0.004, 0, 1}, &part, "H=4.00" + kMicro + "m : V=1.00 mm"},
        {"both small", 0, {0, 0, 0}, {0.004, 0, 0.003}, &part, "H=4.00 : V=3.00" + kMicro + "m"},
        {"no V", 0, {0, 0, 0}, {1.5, 0, 0}, &part, "H=1.50 mm"},
        {"first not a part: H only", 0, {0, 0, 0}, {1, 0, 2}, &assembly, "H=1.00 mm"},
        {"huge, bounded", 1, {0, 0, 0}, {1e300, 0, 0}, &part, "L=1.00e+300 mm"},
    };
    for (const Row& r : rows) {
        CMeasureData m;
        FacePoints(m, r.first, &other, r.type, r.p, r.q);
        EXPECT_EQ(Value(m), r.text) << r.what;
    }
    CMeasureData radius;
    radius.MeasureType = 3;
    radius.PointType[0] = 5;
    radius.PointLink[0] = &part;
    radius.Radius[0] = 0.8;
    EXPECT_EQ(Value(radius), "R=0.80mm");
    radius.Radius[0] = 0.005;
    EXPECT_EQ(Value(radius), "R=5.00" + kMicro + "m");
    CMeasureData angle;
    // Faces 60 degrees apart meet at 120 degrees.
    FacePoints(angle, &part, &other, 2, {0, 0, 0}, {1, 0, 0}, {0, 0, 1},
               {0, std::sqrt(0.75), 0.5});
    Probe p(7, &angle);
    int x[2], y[2];
    SIZE size{};
    ASSERT_TRUE(p.Label(dc, x, y, size));
    p.pMeasure = nullptr;
    EXPECT_EQ(std::string(p.GetValue()), kTheta + "=120.00" + kDegree);
    // The label is the value between two blanks.
    EXPECT_EQ(std::string(p.GetLabel()), " " + std::string(p.GetValue()) + " ");
}

TEST_F(DimensionText, ReviewCommentsAreCutOnWholeCharacters)
{
    CMeasureData m;
    FacePoints(m, &part, &other, 1, {0, 0, 0}, {2, 0, 0});
    Probe p(AuxDimension::ID, &m);
    std::string mixed(63, 'a');
    mixed += "\x8e\x95" "b";  // the double-byte character would straddle byte 64
    p.SetDRComment(mixed.c_str());
    char out[80] = {};
    p.GetDRComment(out);
    EXPECT_EQ(std::string(out), std::string(63, 'a'));
    const std::string exact = std::string(62, 'c') + "\x8e\x95" + "tail";
    p.SetDRComment(exact.c_str());
    p.GetDRComment(out);
    EXPECT_EQ(std::string(out), exact.substr(0, 64));
    p.SetDRComment("short");
    p.GetDRComment(out);
    EXPECT_STREQ(out, "short");
    p.SetDRComment(nullptr);
    p.GetDRComment(out);
    EXPECT_STREQ(out, "short");
    // A review dimension with an empty comment takes its first value as the comment.
    p.SetDRComment("");
    int x[2], y[2];
    SIZE size{};
    ASSERT_TRUE(p.Label(dc, x, y, size));
    EXPECT_STREQ(p.szDRComment, "L=2.00 mm");
    m.Position[1] = WqVector3D(3, 0, 0);
    ASSERT_TRUE(p.Label(dc, x, y, size));
    EXPECT_STREQ(p.GetValue(), "L=3.00 mm");
    EXPECT_STREQ(p.GetLabel(), " L=2.00 mm ");
}

TEST_F(DimensionText, BorrowedMeasurementsAreResetAndCopiesOwnTheirs)
{
    CMeasureData m;
    FacePoints(m, &part, &other, 1, {0, 0, 0}, {2, 0, 0});
    m.Ridge[0] = new KytRidgeLine();
    auto* dim = new AuxDimension(7, &m);
    dim->vLabelOffset = WqVector3D(1, 2, 3);
    dim->SetLineColor(1, 2, 3);
    std::unique_ptr<AuxDimension> copy(static_cast<AuxDimension*>(dim->Duplicate()));
    ASSERT_NE(copy->pMeasure, nullptr);
    EXPECT_NE(copy->pMeasure, &m);
    EXPECT_TRUE(copy->bOwnMeasure);
    ASSERT_NE(copy->pMeasure->Ridge[0], nullptr);
    EXPECT_NE(copy->pMeasure->Ridge[0], m.Ridge[0]);
    EXPECT_EQ(copy->pMeasure->PointLink[1], &other);
    EXPECT_EQ(copy->vLabelOffset, WqVector3D(1, 2, 3));
    EXPECT_EQ(copy->GetLineColor(), 0x030201u);
    EXPECT_EQ(copy->GetTargetLink(), &part);
    EXPECT_EQ(copy->GetSecondLink(), &other);
    delete dim;
    // The host's measurement is back to "nothing picked"; the copy keeps its own.
    EXPECT_EQ(m.PointLink[0], nullptr);
    EXPECT_EQ(m.Ridge[0], nullptr);
    EXPECT_EQ(m.PointType[0], 8);
    EXPECT_EQ(copy->pMeasure->PointLink[0], &part);
    // Offsets: moves add up; only another dimension lends its offset.
    EXPECT_TRUE(copy->MoveEndPos(WqVector3D(1, 0, 0), false));
    WqVector3D v;
    EXPECT_TRUE(copy->GetVector(v));
    EXPECT_EQ(v, WqVector3D(2, 2, 3));
    AuxAnnotate balloon(12, &part);
    EXPECT_FALSE(copy->CopyEndPos(&balloon));
    EXPECT_FALSE(copy->CopyEndPos(nullptr));
    AuxDimension none(7, nullptr);
    EXPECT_EQ(none.GetTargetLink(), nullptr);
    EXPECT_FALSE(none.IsDraw());
    EXPECT_TRUE(copy->CopyEndPos(&none));
    EXPECT_TRUE(copy->GetVector(v));
    EXPECT_EQ(v, WqVector3D());
}

// ---- through a scene -------------------------------------------------------------------------

class DimensionScene : public PartTreeFixture {
protected:
    void Build(ProjectType type)
    {
        KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        a = Box("a", root, {-1.5, 0, 0}, 1.0, 1);
        b = Box("b", root, {1.5, 0.5, 0.5}, 1.0, 2);
        model.UpdatePlacements();
        Open(root, 200, 160);
        scene->ChangeViewType(type);
        scene->ChangeViewPoint(30.0f, 50.0f, false);
        scene->FitView(false);
    }
    // Label place and extent of `dim` in the last frame.
    void Place(Probe& dim, int x[2], int y[2], SIZE& size)
    {
        Frame();
        HFONT previous = scene->GetOgl()->ChangeFont(&AuxAnnotate::MsgFont);
        ASSERT_TRUE(dim.Label(scene->GetOgl()->GetHdc(), x, y, size, false));
        scene->GetOgl()->SelectObject(previous);
    }
    bool Picked(Probe* dim, int px, int py) { return scene->PickAnnotation(px, py) == dim; }

    KytLink *a = nullptr, *b = nullptr;
};

class DimensionPick : public DimensionScene, public ::testing::WithParamInterface<ProjectType> {};

TEST_P(DimensionPick, LabelBoxAndLeaderTable)
{
    Build(GetParam());
    struct Row {
        const char* what;
        int type;
        bool placed;
        bool label;
        bool leader;
    };
    const Row rows[] = {
        {"H and V", 0, true, true, true},
        {"length", 1, true, true, false},
        {"angle", 2, true, true, true},
        {"radius", 3, true, true, true},
        {"length, label not placed", 1, false, false, false},
        {"H and V, label not placed", 0, false, false, false},
    };
    for (const Row& r : rows) {
        CMeasureData m;
        FacePoints(m, a, b, r.type, {0.5, 0, 0}, {-0.5, 0.3, 0.2}, {1, 0, 0},
                   {0.3, 0.2, 0.9});
        m.PointType[0] = r.type == 3 ? 5 : 4;
        m.Center[0] = WqVector3D(0.2, 0.1, 0.5);
        m.Radius[0] = 0.3;
        m.LabelShown = r.placed;
        auto* dim = new Probe(7, &m);
        dim->vLabelOffset = WqVector3D(0.2, 1.2, 0.3);
        scene->AddAnnotation(dim, AUX_STAGE_SECOND);
        int x[2], y[2];
        SIZE size{};
        Place(*dim, x, y, size);
        if (r.placed) {
            ASSERT_GT(std::abs(x[1] - x[0]) + std::abs(y[1] - y[0]), 20) << r.what;
        }
        // The label box: twice as wide as the label, from its top to its baseline.
        EXPECT_EQ(Picked(dim, x[1] - size.cx, y[1] - size.cy), r.label) << r.what;
        EXPECT_EQ(Picked(dim, x[1] + size.cx, y[1]), r.label) << r.what;
        EXPECT_FALSE(Picked(dim, x[1] + size.cx + 1, y[1])) << r.what;
        EXPECT_FALSE(Picked(dim, x[1], y[1] + 1 + 6)) << r.what;
        // Beside the leader, half-way: 5 pixels picks, 6 does not.
        const double lx = x[1] - size.cx / 2, ly = y[1];
        const double mx = (x[0] + lx) / 2, my = (y[0] + ly) / 2;
        const double len = std::hypot(lx - x[0], ly - y[0]);
        const double nx = -(ly - y[0]) / len, ny = (lx - x[0]) / len;
        auto near = [&](double d) {
            return Picked(dim, static_cast<int>(std::lround(mx + nx * d)),
                          static_cast<int>(std::lround(my + ny * d)));
        };
        const bool inBox = [&] {
            for (double d : {4.0, 5.0, 6.5, -4.0, -5.0, -6.5}) {
                const double px = mx + nx * d, py = my + ny * d;
                if (px >= x[1] - size.cx && px <= x[1] + size.cx && py >= y[1] - size.cy &&
                    py <= y[1])
                    return true;
            }
            return false;
        }();
        if (!inBox) {
            EXPECT_EQ(near(4.0), r.leader) << r.what;
            EXPECT_FALSE(near(6.9)) << r.what;
            EXPECT_FALSE(near(-6.9)) << r.what;
            // The anchor end itself.
            EXPECT_EQ(Picked(dim, x[0] - 3, y[0] + 4), r.leader) << r.what;
        }
        ASSERT_TRUE(scene->RemoveAnnotation(dim));
    }
}

INSTANTIATE_TEST_SUITE_P(Projections, DimensionPick,
                         ::testing::Values(PROJECT_PERSPECTIVE, PROJECT_PARALLEL));

TEST_F(DimensionScene, PlaneAngleArcEndsOnTheSecondPoint)
{
    Build(PROJECT_PARALLEL);
    // Far enough out for the whole construction of the flat angles.
    scene->GetViewPort()->SetViewRadius(scene->GetViewPort()->GetViewRadius() * 4.0);
    const double pi = std::acos(-1.0);
    for (double deg : {30.0, 60.0, 120.0, 150.0}) {
        const double t = deg * pi / 180.0;
        CMeasureData m;
        FacePoints(m, a, b, 2, {0.2, 0.1, 0.5}, {0.1, -0.3, 0.2}, {0, 0, 1},
                   {std::sin(t), 0, std::cos(t)});
        auto* dim = new Probe(7, &m);
        scene->AddAnnotation(dim, AUX_STAGE_FIRST);
        Frame();
        WqVector3D first, second, foot;
        ASSERT_TRUE(m.GetPoints(first, second, foot)) << deg;
        EXPECT_NEAR(m.Angle * 180.0 / pi, 180.0 - deg, 1e-9);
        std::vector<GLfloat> buffer(1 << 16);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        dim->Draw();
        const GLint n = glRenderMode(GL_RENDER);
        ASSERT_GT(n, 0);
        // The arc is the last primitive: its last vertex closes the feedback.
        const double fx = buffer[n - 3], fy = buffer[n - 2];
        double mv[16], pj[16], wx, wy, wz;
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        glGetDoublev(GL_PROJECTION_MATRIX, pj);
        glGetIntegerv(GL_VIEWPORT, vp);
        gluProject(second.x, second.y, second.z, mv, pj, vp, &wx, &wy, &wz);
        EXPECT_NEAR(fx, wx, 1e-2) << deg;
        EXPECT_NEAR(fy, wy, 1e-2) << deg;
        ASSERT_TRUE(scene->RemoveAnnotation(dim));
    }
}

}  // namespace
}  // namespace scene_test
