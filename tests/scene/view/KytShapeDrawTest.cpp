#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "scene/annotation/AuxAxis.h"
#include "scene/annotation/AuxCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/PartTreeFixture.h"

namespace {

using scene_test::PartTreeFixture;
using Rgb = std::array<float, 3>;

bool Dominant(const Rgb& c, int channel, float by = 0.2f)
{
    for (int k = 0; k < 3; ++k)
        if (k != channel && c[channel] < c[k] + by)
            return false;
    return true;
}

bool Whiteish(const Rgb& c)
{
    const float lo = std::min({c[0], c[1], c[2]}), hi = std::max({c[0], c[1], c[2]});
    return lo > 0.3f && hi - lo < 0.08f;
}

struct Segment {
    float a[3], b[3];
};

struct Feedback {
    int polygons = 0;
    std::vector<Segment> lines;
    int values = 0;
};

// Runs `draw` in GL_FEEDBACK (3D window coordinates) and sorts what came back.
template <class Draw> Feedback Capture(Draw&& draw)
{
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const int n = glRenderMode(GL_RENDER);
    Feedback f;
    f.values = n;
    for (int i = 0; i < n;) {
        const int token = static_cast<int>(buffer[i++]);
        switch (token) {
        case GL_POLYGON_TOKEN: {
            const int count = static_cast<int>(buffer[i++]);
            i += 3 * count;
            ++f.polygons;
            break;
        }
        case GL_LINE_TOKEN:
        case GL_LINE_RESET_TOKEN: {
            Segment s;
            std::copy(&buffer[i], &buffer[i] + 3, s.a);
            std::copy(&buffer[i + 3], &buffer[i + 3] + 3, s.b);
            f.lines.push_back(s);
            i += 6;
            break;
        }
        case GL_PASS_THROUGH_TOKEN: i += 1; break;
        default: i += 3; break;
        }
    }
    return f;
}

std::array<double, 3> Project(const KytLink* link, const KytPoint& p)
{
    GLdouble mv[16], pr[16];
    GLint vp[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    glGetIntegerv(GL_VIEWPORT, vp);
    const WqVector3D w = link->mech.GetAbsPos(WqVector3D(p.x, p.y, p.z));
    std::array<double, 3> out{};
    gluProject(w.x, w.y, w.z, mv, pr, vp, &out[0], &out[1], &out[2]);
    return out;
}

class ShapeDrawTest : public PartTreeFixture {
protected:
    // One unit box (colour index `color`) filling the view, seen obliquely.
    KytLink* OneBox(uint16_t color = 1, bool oblique = true)
    {
        KytColor::SetTable(KytBuild::SampleMaterials());
        root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        part = Box("part", root, {0, 0, 0}, 1.0, color);
        model.UpdatePlacements();
        Open(root, 64, 64);
        // Strong ambient light: colours read back close to the materials.
        const float ambient[4] = {0.8f, 0.8f, 0.8f, 1.0f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        // Room around the part, so its outlines stay inside the window.
        scene->GetViewPort()->SetViewRadius(scene->GetViewPort()->GetViewRadius() * 2.0);
        if (oblique) {
            scene->GetViewPort()->ChangeViewPoint(30.0f, 40.0f);
            scene->GetViewPort()->SetCamera();
        }
        return part;
    }
    // The walk's frame set-up without drawing: the camera's matrices stay loaded.
    void Prepare()
    {
        scene->GetViewPort()->SetCamera();
        ASSERT_TRUE(Contents().PreDraw());
    }
    std::vector<Rgb> All()
    {
        std::vector<float> px(size_t(width) * height * 3);
        glReadPixels(0, 0, width, height, GL_RGB, GL_FLOAT, px.data());
        std::vector<Rgb> out(size_t(width) * height);
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = {px[i * 3], px[i * 3 + 1], px[i * 3 + 2]};
        return out;
    }
    KytLink* root = nullptr;
    KytLink* part = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Geometry through GL_FEEDBACK

TEST_F(ShapeDrawTest, ParallelViewSendsExactlyTheTrianglesFacingTheEye)
{
    OneBox();
    part->mech.mRot.MakeRotMatrix(std::cos(0.7), std::sin(0.7), WqVector3D(1, 2, 3));
    Prepare();
    glDisable(GL_CULL_FACE);
    ASSERT_FALSE(scene->GetOgl()->IsDrawBackFace());
    float dir[3];
    Contents().LocalViewDir(part, dir);
    int facing = 0;
    for (const KytTriangle& t : part->pShape->pRep->aTriangle)
        facing += Contents().CheckBackFace(t, dir) ? 0 : 1;
    EXPECT_EQ(facing, 6);
    const Feedback f = Capture([&] { Contents().DrawShape(part); });
    EXPECT_EQ(f.polygons, facing);
    // With back faces drawn, every triangle goes.
    scene->GetOgl()->SetBackFaceMode(true, 0);
    const Feedback all = Capture([&] { Contents().DrawShape(part); });
    EXPECT_EQ(all.polygons, 12);
}

TEST_F(ShapeDrawTest, PerspectiveViewAndCutPartsSendEveryTriangle)
{
    // Large enough for the perspective view's fixed near plane.
    KytColor::SetTable(KytBuild::SampleMaterials());
    root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    part = KytBuild::AddBox(model, "big", root, {0, 0, 0}, 100, 100, 100, 1);
    model.UpdatePlacements();
    Open(root, 64, 64);
    Prepare();
    glDisable(GL_CULL_FACE);
    EXPECT_EQ(Capture([&] { Contents().DrawTriangles(part, part->pShape, true); }).polygons, 12);
    EXPECT_LT(Capture([&] { Contents().DrawTriangles(part, part->pShape, false); }).polygons, 12);
    EXPECT_TRUE(Contents().RejectBackFaces(false));
    EXPECT_FALSE(Contents().RejectBackFaces(true));
    scene->ChangeViewType(PROJECT_PERSPECTIVE);
    Prepare();
    EXPECT_FALSE(Contents().RejectBackFaces(false));
}

TEST_F(ShapeDrawTest, MovingViewDrawsOnlyTheLinesOfLinePictures)
{
    OneBox();
    for (DRAWTYPE type : {DRAWTYPE_HIDDENLINE, DRAWTYPE_SHADE_EDGE, DRAWTYPE_ALPHA_EDGE}) {
        SetType(type);
        Prepare();
        scene->StartMovingView(true);
        const Feedback moving = Capture([&] { Contents().DrawShape(part); });
        EXPECT_EQ(moving.polygons, 0) << type;
        EXPECT_EQ(moving.lines.size(), 12u) << type;
        KytLinkContents::bDrawHiddenLinesShape = true;
        EXPECT_GT(Capture([&] { Contents().DrawShape(part); }).polygons, 0) << type;
        KytLinkContents::bDrawHiddenLinesShape = false;
        scene->EndMovingView(false, true);
        EXPECT_GT(Capture([&] { Contents().DrawShape(part); }).polygons, 0) << type;
    }
}

TEST_F(ShapeDrawTest, ShapesWithoutEdgeDataDrawNothingInTheLineTypes)
{
    OneBox();
    part->pShape->pRep->uFlags &= ~KYT_REP_NEIGHBORS;
    for (DRAWTYPE type : {DRAWTYPE_EDGE, DRAWTYPE_HIDDENLINE, DRAWTYPE_SHADE_EDGE,
                          DRAWTYPE_ALPHA_EDGE}) {
        SetType(type);
        Prepare();
        const Feedback f = Capture([&] { Contents().DrawShape(part); });
        EXPECT_EQ(f.values, 0) << type;
    }
    part->pShape->pRep->uFlags |= KYT_REP_NEIGHBORS;
    SetType(DRAWTYPE_SHADE_EDGE);
    Prepare();
    EXPECT_GT(Capture([&] { Contents().DrawShape(part); }).values, 0);
}

TEST_F(ShapeDrawTest, EdgePictureDrawsEachHardEdgeOnceAndNoSoftOne)
{
    OneBox();
    SetType(DRAWTYPE_EDGE);
    Prepare();
    const KytShapeRep& rep = *part->pShape->pRep;
    // Independent classification: an edge shared by two triangles whose normals differ is a
    // box edge; the diagonals join coplanar triangles.
    struct Edge {
        KytPoint a, b;
    };
    std::vector<Edge> hard;
    auto same = [](const KytPoint& p, const KytPoint& q) {
        return std::fabs(p.x - q.x) < 1e-6 && std::fabs(p.y - q.y) < 1e-6 &&
               std::fabs(p.z - q.z) < 1e-6;
    };
    for (size_t i = 0; i < rep.aTriangle.size(); ++i)
        for (size_t j = i + 1; j < rep.aTriangle.size(); ++j) {
            const KytTriangle &t = rep.aTriangle[i], &u = rep.aTriangle[j];
            std::vector<KytPoint> shared;
            for (auto* p : t.pVertex)
                for (auto* q : u.pVertex)
                    if (same(*p, *q))
                        shared.push_back(*p);
            const float* n = t.pFaceNormal->fv();
            const float* m = u.pFaceNormal->fv();
            if (shared.size() == 2 && n[0] * m[0] + n[1] * m[1] + n[2] * m[2] < 0.9f)
                hard.push_back({shared[0], shared[1]});
        }
    ASSERT_EQ(hard.size(), 12u);
    const Feedback f = Capture([&] { Contents().DrawShape(part); });
    ASSERT_EQ(f.lines.size(), 12u);
    std::vector<int> matched(hard.size(), 0);
    for (const Segment& s : f.lines) {
        for (size_t e = 0; e < hard.size(); ++e) {
            const auto a = Project(part, hard[e].a), b = Project(part, hard[e].b);
            auto near = [](const float* p, const std::array<double, 3>& q) {
                return std::fabs(p[0] - q[0]) < 0.05 && std::fabs(p[1] - q[1]) < 0.05;
            };
            if ((near(s.a, a) && near(s.b, b)) || (near(s.a, b) && near(s.b, a)))
                ++matched[e];
        }
    }
    for (size_t e = 0; e < hard.size(); ++e)
        EXPECT_EQ(matched[e], 1) << e;
}

TEST_F(ShapeDrawTest, SectionOutlineIsTheAnalyticCut)
{
    OneBox();
    KytLink* clip = model.AddLink("clip", root, KYT_LINK_DATUM);
    clip->mech.vPos = WqVector3D(0, 0, 0.1);
    Contents().apClipLink[0] = clip;
    Contents().nClipCnt = 1;
    Prepare();
    Contents().CalcClipParameter(true);
    bool cut = false;
    ASSERT_FALSE(Contents().CheckClipping(part, cut));
    ASSERT_TRUE(cut);
    const Feedback f = Capture([&] {
        glPushMatrix();
        KytOgl::MultMatrix(part->mech);
        Contents().DrawSectionLine(part);
        glPopMatrix();
    });
    // The cut is the square z = 0.1, x and y in [-0.5, 0.5]: four sides.
    const KytPoint corners[4] = {{-0.5f, -0.5f, 0.1f}, {0.5f, -0.5f, 0.1f}, {0.5f, 0.5f, 0.1f},
                                 {-0.5f, 0.5f, 0.1f}};
    double covered[4] = {0, 0, 0, 0};
    for (const Segment& s : f.lines) {
        int side = -1;
        for (int k = 0; k < 4; ++k) {
            const auto p = Project(part, corners[k]), q = Project(part, corners[(k + 1) % 4]);
            auto onSide = [&](const float* v) {
                const double dx = q[0] - p[0], dy = q[1] - p[1];
                const double len = std::hypot(dx, dy);
                const double cross = ((v[0] - p[0]) * dy - (v[1] - p[1]) * dx) / len;
                const double along = ((v[0] - p[0]) * dx + (v[1] - p[1]) * dy) / len;
                return std::fabs(cross) < 0.05 && along > -0.05 && along < len + 0.05;
            };
            if (onSide(s.a) && onSide(s.b))
                side = k;
        }
        ASSERT_GE(side, 0) << "a segment off the cut";
        covered[side] += std::hypot(s.a[0] - s.b[0], s.a[1] - s.b[1]);
    }
    for (int k = 0; k < 4; ++k) {
        const auto p = Project(part, corners[k]), q = Project(part, corners[(k + 1) % 4]);
        EXPECT_NEAR(covered[k], std::hypot(q[0] - p[0], q[1] - p[1]), 0.1) << k;
    }
}

TEST_F(ShapeDrawTest, SimplifiedManikinScalesByName)
{
    struct Case {
        const char* name;
        float sx;
    };
    const Case cases[] = {{"h_head", 1.0f}, {"wrist", 1.0f},  {"arms_pL", 0.7f}, {"chest_p", 0.8f},
                          {"upRleg", 0.6f}, {"torso", 1.0f},  {"ab", 1.0f},      {"", 1.0f},
                          {"abcs", 1.0f},   {"abcs_", 1.0f},  {"upR", 1.0f}};
    OneBox(1, false);
    part->nType = KYT_LINK_HUMAN;
    SetType(DRAWTYPE_BOX);
    Prepare();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_MODELVIEW);
    for (const Case& c : cases) {
        part->name = c.name;
        const Feedback f = Capture([&] { Contents().DrawSimpleHuman(part); });
        // Widest x among the box's corners, from the quads' vertices in window units.
        std::vector<GLfloat> buffer(4096);
        glFeedbackBuffer(4096, GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        Contents().DrawSimpleHuman(part);
        const int n = glRenderMode(GL_RENDER);
        float lo = 1e9f, hi = -1e9f;
        for (int i = 0; i < n;) {
            const int token = static_cast<int>(buffer[i++]);
            if (token != GL_POLYGON_TOKEN)
                break;
            const int count = static_cast<int>(buffer[i++]);
            for (int k = 0; k < count; ++k, i += 3) {
                lo = std::min(lo, buffer[i]);
                hi = std::max(hi, buffer[i]);
            }
        }
        EXPECT_GT(f.polygons, 0) << c.name;
        EXPECT_NEAR((hi - lo) / 32.0f, c.sx, 0.01) << "'" << c.name << "'";
    }
}

// ---------------------------------------------------------------------------------------------
// Pixels

struct RecycleCase {
    double rate;  // negative: no record
    int colour;   // 0 red, 1 white, 2 blue, 3 green
};

class RecycleTable : public ShapeDrawTest, public ::testing::WithParamInterface<RecycleCase> {};

TEST_P(RecycleTable, ColourFollowsTheRecycleRate)
{
    const RecycleCase& c = GetParam();
    OneBox();
    KytLinkProperty property;
    property.dRecycleRate = c.rate;
    part->pProperty = &property;
    SetType(DRAWTYPE_RECYCLE);
    Frame();
    const Rgb px = Centre();
    switch (c.colour) {
    case 0: EXPECT_TRUE(Dominant(px, 0)) << px[0] << " " << px[1] << " " << px[2]; break;
    case 1: EXPECT_TRUE(Whiteish(px)) << px[0] << " " << px[1] << " " << px[2]; break;
    case 2: EXPECT_TRUE(Dominant(px, 2)) << px[0] << " " << px[1] << " " << px[2]; break;
    default: EXPECT_TRUE(Dominant(px, 1)) << px[0] << " " << px[1] << " " << px[2]; break;
    }
    part->pProperty = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Rates, RecycleTable,
                         ::testing::Values(RecycleCase{0.0, 0}, RecycleCase{0.3, 1},
                                           RecycleCase{0.6, 2}, RecycleCase{0.61, 3}));

TEST_F(ShapeDrawTest, MaterialComparisonPaintsTheSameMaterialRed)
{
    OneBox();
    static const int steel = 1, resin = 2;
    KytLinkProperty mine, focus;
    mine.pMaterial = &steel;
    focus.pMaterial = &steel;
    KytLink* other = Box("other", root, {5, 5, 5});
    model.UpdatePlacements();
    other->pProperty = &focus;
    part->pProperty = &mine;
    SetType(DRAWTYPE_MATERIAL, other);
    Frame();
    EXPECT_TRUE(Dominant(Centre(), 0));
    mine.pMaterial = &resin;
    Frame();
    const Rgb glass = Centre();  // pale white glass over black
    EXPECT_TRUE(Whiteish(glass) || (glass[0] < 0.45f && std::fabs(glass[0] - glass[2]) < 0.1f))
        << glass[0] << " " << glass[1] << " " << glass[2];
    part->pProperty = nullptr;
    other->pProperty = nullptr;
}

TEST_F(ShapeDrawTest, HiddenLinesContrastWithTheBackground)
{
    OneBox();
    SetType(DRAWTYPE_HIDDENLINE);
    for (float back : {0.0f, 1.0f}) {
        float colour[3] = {back, back, back};
        KYT_SetBackGroundColor(colour);
        scene->InitialOgl();
        Frame();
        const Rgb centre = Centre();
        EXPECT_NEAR(centre[0], back, 0.02f);  // faces in the background colour
        int lines = 0;
        for (const Rgb& p : All())
            lines += std::fabs(p[0] - back) > 0.4f && std::fabs(p[2] - back) > 0.4f;
        EXPECT_GT(lines, 20) << back;
    }
}

TEST_F(ShapeDrawTest, CustomColourKinds)
{
    OneBox();
    KytScenes::ColorTable = KytBuild::SampleColorTable();
    SetType(DRAWTYPE_CUSTOM_COLOR);
    struct Case {
        int index;
        std::function<bool(const Rgb&)> holds;
    };
    const Case cases[] = {
        {0, [](const Rgb& c) { return Dominant(c, 2, 0.1f); }},
        {1, [](const Rgb& c) {
             return std::fabs(c[0] - 1.0f) < 0.02f && std::fabs(c[1] - 0.5f) < 0.02f && c[2] < 0.02f;
         }},
        {2, [](const Rgb& c) { return Dominant(c, 1, 0.1f); }},  // alpha pass
        {3, [](const Rgb& c) { return c[0] > 0.2f && c[1] > 0.2f && c[2] < 0.1f; }},
        {4, [](const Rgb& c) { return c[0] > 0.9f && c[1] < 0.6f; }},
        {5, [](const Rgb& c) { return Dominant(c, 0, 0.1f); }},  // part colour: red
        {6, [](const Rgb& c) { return c[0] + c[1] + c[2] < 0.01f; }},  // beyond the table
        {-1, [](const Rgb& c) { return c[0] + c[1] + c[2] < 0.01f; }},
    };
    for (const Case& c : cases) {
        part->nCustomColor = c.index;
        KytScenes::AlphaStack.RemoveAll();
        KytScenes list;
        list.SetCustomAlphaStack(root, true);
        Frame();
        const Rgb px = Centre();
        EXPECT_TRUE(c.holds(px)) << c.index << ": " << px[0] << " " << px[1] << " " << px[2];
    }
    KytScenes::AlphaStack.RemoveAll();
    // The outline draws black lines.
    part->nCustomColor = 3;
    Frame();
    SetType(DRAWTYPE_CUSTOM_COLOR);
    float white[3] = {1, 1, 1};
    KYT_SetBackGroundColor(white);
    scene->InitialOgl();
    Frame();
    int black = 0;
    for (const Rgb& p : All())
        black += p[0] + p[1] + p[2] < 0.3f ? 1 : 0;
    EXPECT_GT(black, 20);
    part->nCustomColor = -1;
    EXPECT_FALSE(Contents().DrawCustomColor(part, part->pShape, false));
}

TEST_F(ShapeDrawTest, CutPartShowsTheBackFaceColourInside)
{
    OneBox();
    float green[3] = {0, 1, 0};
    KYT_SetBackFaceParam(1, green);
    scene->SetBackFaceMode(true);
    KytLink* clip = model.AddLink("clip", root, KYT_LINK_DATUM);
    MakeMatrixZ(scene->GetViewPort()->GetActiveCamera()->GetEyeOrientation(), clip->mech.mRot);
    Contents().AddClipPlane(clip);
    Frame();
    const Rgb inside = Centre();
    EXPECT_TRUE(Dominant(inside, 1)) << inside[0] << " " << inside[1] << " " << inside[2];
    Contents().RemoveClipPlane(clip);
    Frame();
    EXPECT_FALSE(Dominant(Centre(), 1));
}

TEST_F(ShapeDrawTest, TextureShowsItsChecker)
{
    OneBox(8);
    KytShapeRep& rep = *part->pShape->pRep;
    rep.pTexture = std::make_unique<KytTexture>();
    KytTexture& tex = *rep.pTexture;
    tex.nWidth = tex.nHeight = 10;  // rows of 30 bytes
    tex.rgb.resize(300);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool red = (x / 5 + y / 5) % 2 == 0;
            tex.rgb[(y * 10 + x) * 3] = red ? 255 : 0;
            tex.rgb[(y * 10 + x) * 3 + 2] = red ? 0 : 255;
        }
    for (KytTriangle& t : rep.aTriangle)
        for (int k = 0; k < 3; ++k) {
            t.afTexCoord[k][0] = t.pVertex[k]->x + 0.5f;
            t.afTexCoord[k][1] = t.pVertex[k]->y + 0.5f;
        }
    // The +z face towards the eye.
    MakeMatrixZ(scene->GetViewPort()->GetActiveCamera()->GetEyeOrientation(), part->mech.mRot);
    // GL's own defaults: packed rows of four bytes and a mipmapping filter.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_LINEAR);
    Frame();
    Prepare();
    Rgb q[4];
    const float at[4][2] = {{-0.25f, -0.25f}, {0.25f, -0.25f}, {0.25f, 0.25f}, {-0.25f, 0.25f}};
    for (int k = 0; k < 4; ++k) {
        const auto w = Project(part, KytPoint{at[k][0], at[k][1], 0.5f});
        q[k] = Px(int(w[0]), int(w[1]));
    }
    EXPECT_TRUE(Dominant(q[0], 0)) << q[0][0] << " " << q[0][2];
    EXPECT_TRUE(Dominant(q[1], 2)) << q[1][0] << " " << q[1][2];
    EXPECT_TRUE(Dominant(q[2], 0)) << q[2][0] << " " << q[2][2];
    EXPECT_TRUE(Dominant(q[3], 2)) << q[3][0] << " " << q[3][2];
    GLint alignment = 0, filter = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(alignment, 4);
    EXPECT_EQ(filter, GL_NEAREST_MIPMAP_LINEAR);
}

TEST_F(ShapeDrawTest, TransparentPartIsBlendedOverTheOneBehind)
{
    OneBox(1);  // red
    const WqVector3D eye = scene->GetViewPort()->GetActiveCamera()->GetEyeOrientation();
    KytLink* glass = Box("glass", root, eye * 1.5, 1.0, 3);  // blue, nearer the eye
    glass->visual.uTransparent = 1;
    glass->fAlpha = 0.5f;
    model.UpdatePlacements();
    KytScenes::AlphaStack.Append(glass);
    Frame();
    const Rgb px = Centre();
    EXPECT_GT(px[0], 0.15f);
    EXPECT_GT(px[2], 0.15f);
    KytScenes::AlphaStack.RemoveAll();
    glass->visual.uVisible = 0;
    Frame();
    EXPECT_LT(Centre()[2], 0.12f);  // only the red part
}

// ---------------------------------------------------------------------------------------------
// Faults

TEST_F(ShapeDrawTest, AllTransparentTypeRestoresTheOpaqueBackColour)
{
    OneBox();
    float grey[3] = {0.5f, 0.5f, 0.5f};
    KYT_SetBackFaceParam(1, grey);
    SetType(DRAWTYPE_ALPHA_EDGE);
    Frame();
    EXPECT_FLOAT_EQ(KytLinkContents::afPartBackFaceColor[3], 1.0f);
    GLfloat back[4];
    glGetMaterialfv(GL_BACK, GL_DIFFUSE, back);
    EXPECT_FLOAT_EQ(back[3], 1.0f);
}

TEST_F(ShapeDrawTest, BoxesKeepTheCurrentColourWithoutAReadableFirstTriangle)
{
    OneBox(99);  // beyond the table
    Prepare();
    KytShapeRep empty;
    empty.boxMin = {-1, -1, -1};
    empty.boxMax = {1, 1, 1};
    KytShape emptyShape;
    emptyShape.pRep = &empty;
    KytLink* bare = Box("bare", root, {0, 0, 0});
    model.SetShape(bare, &emptyShape);
    auto current = [] {
        GLfloat c[4];
        glGetFloatv(GL_CURRENT_COLOR, c);
        return Rgb{c[0], c[1], c[2]};
    };
    for (int round = 0; round < 2; ++round) {
        if (round == 1)
            KytColor::SetTable({});  // no table at all
        for (const KytLink* l : {part, bare}) {
            glColor4f(0.1f, 0.2f, 0.3f, 1.0f);
            Contents().DrawSingleWireBox(l);
            Contents().DrawBoxWire(l->pShape->pRep);
            Contents().DrawEdge(l, l->pShape);
            EXPECT_EQ(current(), (Rgb{0.1f, 0.2f, 0.3f})) << l->name << round;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Selection

TEST_F(ShapeDrawTest, PickDrawNamesLinkTrianglesAndVerticesThroughTheRegistry)
{
    OneBox();
    part->bHighlight = true;
    Contents().bPointMode = true;
    Prepare();
    GLuint buffer[8192];
    KytPickNames::Begin();
    KytContents::bPickMode = true;
    glSelectBuffer(8192, buffer);
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);
    Contents().PickDraw(part);
    const int hits = glRenderMode(GL_RENDER);
    KytContents::bPickMode = false;
    KytPickNames::End();
    ASSERT_GT(hits, 0);
    const KytShapeRep& rep = *part->pShape->pRep;
    int triangles = 0, vertices = 0;
    for (int h = 0, i = 0; h < hits; ++h) {
        const GLuint count = buffer[i];
        ASSERT_EQ(count, 4u);
        const GLuint* names = &buffer[i + 3];
        EXPECT_EQ(names[0], 1u);
        EXPECT_EQ(KytPickNames::Lookup(names[1]), part);
        const void* item = KytPickNames::Lookup(names[3]);
        if (names[2] == 5) {
            const auto* t = static_cast<const KytTriangle*>(item);
            EXPECT_TRUE(t >= rep.aTriangle.data() && t < rep.aTriangle.data() + rep.aTriangle.size());
            ++triangles;
        } else {
            ASSERT_EQ(names[2], 6u);
            const auto* v = static_cast<const KytPoint*>(item);
            EXPECT_TRUE(v >= rep.aVertex.data() && v < rep.aVertex.data() + rep.aVertex.size());
            ++vertices;
        }
        i += 3 + count;
    }
    EXPECT_EQ(triangles, 6);  // the ones facing the eye
    EXPECT_EQ(vertices, static_cast<int>(rep.aVertex.size()));
}

// ---------------------------------------------------------------------------------------------
// Glyphs

TEST_F(ShapeDrawTest, GlyphSizesFollowTheView)
{
    OneBox();
    const double radius = scene->GetViewPort()->GetViewRadius();
    KytLinkContents& c = Contents();
    c.FitView(scene->GetViewPort());
    EXPECT_NEAR(c.pAxis->AxisEnds[0][0], 1.5 * radius * 0.1, 1e-4);
    EXPECT_NEAR(c.pAxis->ConeRadius, radius * 0.03, 1e-4);
    EXPECT_NEAR(c.pWorkAxis->WorkLength, 1.3 * 2 * radius * 0.1, 1e-4);
    EXPECT_NEAR(c.fPointMarkSize, radius * 0.007, 1e-5);
    AuxCamera::SetSize(4);
    c.FitView(scene->GetViewPort());
    EXPECT_NEAR(c.pCameraGlyph->GetGlyphSize(), radius * 0.05, 1e-4);
    EXPECT_TRUE(c.SetSubContsState(3, true));
    EXPECT_TRUE(c.pWorkAxis->IsDraw());
    EXPECT_FALSE(c.SetSubContsState(4, true));
}

TEST_F(ShapeDrawTest, CameraTargetFollowsTheSubtree)
{
    OneBox();
    KytLink* camera = model.AddLink("camera", root, KYT_LINK_CAMERA);
    KytLink* view = model.AddLink("view", camera, KYT_LINK_CAMERA);
    EXPECT_FALSE(AuxCamera::CheckTargetPart(root));
    EXPECT_EQ(AuxCamera::GetTargetCamera(), view);
    EXPECT_TRUE(AuxCamera::CheckTargetPart(root));
    EXPECT_FALSE(AuxCamera::CheckTargetPart(part));
    EXPECT_EQ(AuxCamera::GetTargetCamera(), nullptr);
    // Drawn in pick mode without its view cone, under the registry's name.
    Contents().pCameraGlyph->SetDraw(true);
    AuxCamera::SetTargetCamera(view);
    Prepare();
    KytContents::bPickMode = true;
    const Feedback picking = Capture([&] { Contents().pCameraGlyph->Draw(view); });
    KytContents::bPickMode = false;
    const Feedback normal = Capture([&] { Contents().pCameraGlyph->Draw(view); });
    EXPECT_GT(picking.polygons, 12);
    EXPECT_GT(normal.polygons, picking.polygons);
}

}  // namespace
