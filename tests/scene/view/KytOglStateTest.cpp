#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include <array>
#include <cmath>
#include <vector>

#include "tests/support/scene/GlFixture.h"

namespace {

using quor::test::GlFixture;
using KytOglState = GlFixture;

bool Enabled(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }
int TwoSide()
{
    GLint v = -1;
    glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &v);
    return v;
}

TEST_F(KytOglState, InitialSetsTheDocumentedState)
{
    KytOgl& o = Open();
    glPolygonMode(GL_BACK, GL_LINE);
    float back[3] = {0.25f, 0.5f, 0.75f};
    o.Initial(back);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 0.25f);
    EXPECT_FLOAT_EQ(clear[3], 1.0f);
    EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
    EXPECT_FALSE(Enabled(GL_COLOR_MATERIAL));
    EXPECT_TRUE(Enabled(GL_CULL_FACE));
    EXPECT_EQ(TwoSide(), 0);
    GLint modes[2];
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_LINE);  // the front takes the back mode read before
    GLint env = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(env, GL_MODULATE);
    GLint wrap = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(wrap, GL_CLAMP);
    o.SwapBuffers();
    EXPECT_EQ(Pixel(5, 5), RGB(64, 128, 191));
}

struct BackFaceCase {
    const char* what;
    bool startBack;
    bool drawBack;
    int clips;
    bool cullWhenClipping;
    bool always;
    int expectMode;  // m_bDrawBackFace afterwards
};

class BackFaceTable : public GlFixture, public ::testing::WithParamInterface<BackFaceCase> {};

TEST_P(BackFaceTable, ReadsBackFromGl)
{
    const BackFaceCase& c = GetParam();
    KytOgl& o = Open();
    float back[3] = {0, 0, 0};
    o.Initial(back);
    if (c.startBack)
        o.SetBackFaceMode(true, 0);
    ASSERT_EQ(o.IsDrawBackFace(), c.startBack);
    KytOgl::bEnableCullFaceWhenClipping = c.cullWhenClipping;
    KytOgl::bAllwaysBackFaceDraw = c.always;
    o.SetBackFaceMode(c.drawBack, c.clips);
    EXPECT_EQ(o.IsDrawBackFace(), c.expectMode == 1) << c.what;
    EXPECT_EQ(Enabled(GL_CULL_FACE), c.expectMode == 0) << c.what;
    EXPECT_EQ(TwoSide(), c.expectMode) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Decisions, BackFaceTable,
    ::testing::Values(BackFaceCase{"turn on", false, true, 0, true, false, 1},
                      BackFaceCase{"turn off", true, false, 0, true, false, 0},
                      BackFaceCase{"clipping keeps it", true, false, 2, true, false, 1},
                      BackFaceCase{"clipping without the switch", true, false, 2, false, false, 0},
                      BackFaceCase{"always drawn", true, false, 0, true, true, 1},
                      BackFaceCase{"on while clipping", false, true, 3, true, false, 1}),
    [](const ::testing::TestParamInfo<BackFaceCase>& info) {
        std::string name;
        for (const char* c = info.param.what; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST_F(KytOglState, UnchangedBackFaceModeTouchesNothing)
{
    KytOgl& o = Open();
    float back[3] = {0, 0, 0};
    o.Initial(back);
    glDisable(GL_CULL_FACE);  // a state the call would overwrite if it acted
    KytOgl::ResetHwnd();
    const int calls = Stats().makeCurrent;
    o.SetBackFaceMode(false, 0);
    EXPECT_EQ(Stats().makeCurrent, calls);
    EXPECT_EQ(KytOgl::hWndNow, nullptr);
    EXPECT_FALSE(Enabled(GL_CULL_FACE));
}

// Vertices of one feedback pass, in object coordinates (identity modelview, ortho of +-2).
std::vector<std::array<float, 3>> Feedback(void (*draw)(float, float), float a, float b, int w)
{
    std::vector<GLfloat> buf(2048);
    glFeedbackBuffer(static_cast<GLsizei>(buf.size()), GL_3D, buf.data());
    glRenderMode(GL_FEEDBACK);
    draw(a, b);
    const GLint n = glRenderMode(GL_RENDER);
    std::vector<std::array<float, 3>> out;
    for (GLint i = 0; i < n;) {
        EXPECT_EQ(buf[i], GL_POLYGON_TOKEN);
        const int count = static_cast<int>(buf[i + 1]);
        EXPECT_EQ(count, 3);
        for (int k = 0; k < count; ++k) {
            const float* v = &buf[i + 2 + k * 3];
            // Window to object: x, y over [-2, 2]; depth: z = 2 - 4 * depth.
            out.push_back({(v[0] / w * 2 - 1) * 2, (v[1] / w * 2 - 1) * 2, 2 - 4 * v[2]});
        }
        i += 2 + count * 3;
    }
    return out;
}

TEST_F(KytOglState, DrawBoxEmitsTwelveOutwardTrianglesInFaceOrder)
{
    Open(64, 64);
    glMatrixMode(GL_PROJECTION);
    glOrtho(-2, 2, -2, 2, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_CULL_FACE);
    const float a = 0.5f, b = -1.0f;
    for (auto draw : {&KytOgl::DrawBox, &KytOgl::DrawWireBox}) {
        glNormal3f(7, 7, 7);
        const auto v = Feedback(draw, a, b, 64);
        ASSERT_EQ(v.size(), 36u);
        const int axis[6] = {2, 1, 0, 1, 0, 2};
        const float at[6] = {b, b, b, a, a, a};
        for (int f = 0; f < 6; ++f)
            for (int k = 0; k < 6; ++k) {
                const auto& p = v[f * 6 + k];
                EXPECT_NEAR(p[axis[f]], at[f], 1e-3) << "face " << f;
                for (int c = 0; c < 3; ++c)
                    EXPECT_TRUE(std::fabs(p[c] - a) < 1e-3 || std::fabs(p[c] - b) < 1e-3);
            }
        // Winding: counter-clockwise seen from outside.
        for (int t = 0; t < 12; ++t) {
            const auto &p0 = v[t * 3], &p1 = v[t * 3 + 1], &p2 = v[t * 3 + 2];
            const float e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
            const float e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
            const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                e1[0] * e2[1] - e1[1] * e2[0]};
            const int f = t / 2;
            EXPECT_GT(n[axis[f]] * (at[f] == a ? 1 : -1), 0) << "triangle " << t;
        }
        GLfloat normal[3];
        glGetFloatv(GL_CURRENT_NORMAL, normal);
        if (draw == &KytOgl::DrawBox)
            EXPECT_FLOAT_EQ(normal[2], 1.0f);  // the last face, z = a
        else
            EXPECT_FLOAT_EQ(normal[0], 7.0f);  // no normals at all
    }
}

TEST_F(KytOglState, MultMatrixTransposesTheRowStoredRotation)
{
    Open();
    KytMech mech;
    mech.mRot.MakeRotMatrix(0.6, 0.8, WqVector3D(1, 2, 3));
    mech.vPos = {4, 5, 6};
    glLoadIdentity();
    KytOgl::MultMatrix(mech);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(m[j * 4 + i], mech.mRot.m[i][j], 1e-6);
    EXPECT_FLOAT_EQ(m[12], 4);
    EXPECT_FLOAT_EQ(m[14], 6);
    EXPECT_FLOAT_EQ(m[3], 0);
    EXPECT_FLOAT_EQ(m[15], 1);
    // GL's image of a point equals the kernel's placement of it.
    const WqVector3D p(0.5, -1, 2);
    const WqVector3D w = mech.GetAbsPos(p);
    const double gx = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12];
    EXPECT_NEAR(gx, w.x, 1e-5);
}

TEST_F(KytOglState, LineAntiAliasBracketsPushOnlyWhenOn)
{
    Open();
    GLint depth0 = 0, depth = 0;
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth0);
    KytOgl::bLineAntiAlias = false;
    EXPECT_FALSE(KytOgl::LineAntiAliasON());
    KytOgl::LineAntiAliasOFF();
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, depth0);
    KytOgl::bLineAntiAlias = true;
    EXPECT_TRUE(KytOgl::LineAntiAliasON());
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, depth0 + 1);
    EXPECT_TRUE(Enabled(GL_LINE_SMOOTH));
    EXPECT_TRUE(Enabled(GL_BLEND));
    KytOgl::LineAntiAliasOFF();
    EXPECT_FALSE(Enabled(GL_LINE_SMOOTH));
    EXPECT_FALSE(Enabled(GL_BLEND));
}

TEST_F(KytOglState, PickMatrixSelectsAroundTheWindowPoint)
{
    KytOgl& o = Open(40, 40);
    for (const auto& [x, y, hits] : std::vector<std::array<int, 3>>{{30, 10, 1}, {10, 30, 0}}) {
        unsigned int buffer[2048] = {};
        o.MakePickMatrix(x, y, buffer, 3, 3);
        glMatrixMode(GL_MODELVIEW);
        glInitNames();
        glPushName(9);
        // A square over the top-right quarter of the window.
        glBegin(GL_QUADS);
        glVertex2f(0, 0);
        glVertex2f(1, 0);
        glVertex2f(1, 1);
        glVertex2f(0, 1);
        glEnd();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        EXPECT_EQ(glRenderMode(GL_RENDER), hits) << x << "," << y;
        if (hits) {
            EXPECT_EQ(buffer[3], 9u);
        }
    }
}

TEST_F(KytOglState, TranslateAndVertexHelpers)
{
    Open();
    glLoadIdentity();
    KytOgl::Translate(WqVector3D(1, 2, 3));
    KytPoint p{0.5f, 0.5f, 0.5f};
    KytOgl::Translate(p);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], 1.5f);
    EXPECT_FLOAT_EQ(m[14], 3.5f);
}

// Red of each vertex of one lit triangle through feedback; lit means the normal faced +z.
std::vector<float> LitReds(const KytTriangle& t, const float* lastNormal, bool always)
{
    std::vector<GLfloat> buf(256);
    glFeedbackBuffer(static_cast<GLsizei>(buf.size()), GL_3D_COLOR, buf.data());
    glRenderMode(GL_FEEDBACK);
    glNormal3f(0, 1, 0);
    glBegin(GL_TRIANGLES);
    if (always)
        KytOgl::DrawPolygon(&t);
    else
        KytOgl::DrawPolygon(t, lastNormal);
    glEnd();
    const GLint n = glRenderMode(GL_RENDER);
    std::vector<float> reds;
    if (n >= 2 + 3 * 7)
        for (int k = 0; k < 3; ++k)
            reds.push_back(buf[2 + k * 7 + 3]);
    return reds;
}

TEST_F(KytOglState, DrawPolygonSkipsANormalPointerJustSent)
{
    Open(64, 64);
    glDisable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat dir[4] = {0, 0, 1, 0}, white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, dir);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    KytPoint v[3] = {{0, 0, 0}, {0.5f, 0, 0}, {0, 0.5f, 0}};
    KytPoint n[2] = {{0, 0, 1}, {0, 0, 1}};
    KytTriangle t;
    for (int k = 0; k < 3; ++k)
        t.pVertex[k] = &v[k];
    t.pNormal[0] = &n[0];
    t.pNormal[1] = &n[1];
    t.pNormal[2] = &n[1];
    // Vertex 0's normal is the one the caller sent last: not sent again, so the current
    // normal (0, 1, 0) lights it; vertex 2 repeats vertex 1's pointer and keeps its normal.
    const auto skipped = LitReds(t, n[0].fv(), false);
    ASSERT_EQ(skipped.size(), 3u);
    EXPECT_NEAR(skipped[0], 0.0f, 0.02f);
    EXPECT_NEAR(skipped[1], 1.0f, 0.02f);
    EXPECT_NEAR(skipped[2], 1.0f, 0.02f);
    const auto always = LitReds(t, nullptr, true);
    ASSERT_EQ(always.size(), 3u);
    EXPECT_NEAR(always[0], 1.0f, 0.02f);
    glDisable(GL_LIGHTING);
}

}  // namespace
