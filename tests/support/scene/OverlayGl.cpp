#include "tests/support/scene/OverlayGl.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <tuple>

namespace overlaytest {

std::vector<Primitive> Feedback(const std::function<void()>& draw)
{
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    std::vector<GLfloat> buf(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buf.size()), GL_3D, buf.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const int n = glRenderMode(GL_RENDER);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    EXPECT_GE(n, 0) << "feedback buffer overflow";
    auto vertex = [&](int i) {
        return std::array<double, 3>{buf[i] / 16.0 - 2.0, buf[i + 1] / 16.0 - 2.0,
                                     -(buf[i + 2] * 4.0 - 2.0)};
    };
    std::vector<Primitive> out;
    for (int i = 0; i < n;) {
        const int token = static_cast<int>(buf[i]);
        Primitive p;
        if (token == GL_POINT_TOKEN) {
            p.token = GL_POINT_TOKEN;
            p.v.push_back(vertex(i + 1));
            i += 4;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            p.token = GL_LINE_TOKEN;
            p.v.push_back(vertex(i + 1));
            p.v.push_back(vertex(i + 4));
            i += 7;
        } else if (token == GL_POLYGON_TOKEN) {
            p.token = GL_POLYGON_TOKEN;
            const int k = static_cast<int>(buf[i + 1]);
            for (int j = 0; j < k; ++j)
                p.v.push_back(vertex(i + 2 + 3 * j));
            i += 2 + 3 * k;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i += 2;
            continue;
        } else if (token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                   token == GL_COPY_PIXEL_TOKEN) {
            // Label glyphs: their raster position only.
            i += 4;
            continue;
        } else {
            ADD_FAILURE() << "unexpected token " << token;
            break;
        }
        out.push_back(std::move(p));
    }
    return out;
}

int Count(const std::vector<Primitive>& prims, int token)
{
    int n = 0;
    for (const Primitive& p : prims)
        n += p.token == token;
    return n;
}

namespace {
constexpr GLenum kEnables[] = {GL_DEPTH_TEST,    GL_LIGHTING,     GL_BLEND,
                               GL_CULL_FACE,     GL_LINE_STIPPLE, GL_LINE_SMOOTH,
                               GL_POINT_SMOOTH,  GL_POLYGON_SMOOTH, GL_COLOR_MATERIAL,
                               GL_TEXTURE_2D,    GL_NORMALIZE,    GL_POLYGON_OFFSET_FILL,
                               GL_POLYGON_STIPPLE, GL_ALPHA_TEST, GL_FOG,
                               GL_CLIP_PLANE0,   GL_LIGHT0};
const char* const kEnableNames[] = {"depth test",   "lighting",      "blend",
                                    "cull face",    "line stipple",  "line smooth",
                                    "point smooth", "polygon smooth", "colour material",
                                    "texture 2D",   "normalize",     "polygon offset fill",
                                    "polygon stipple", "alpha test", "fog",
                                    "clip plane 0", "light 0"};
static_assert(std::size(kEnables) == std::tuple_size_v<decltype(GlState::enables)>);
static_assert(std::size(kEnableNames) == std::size(kEnables));
}  // namespace

GlState CaptureState()
{
    GlState s;
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &s.attrib);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.modelview);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &s.projection);
    glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
    for (size_t i = 0; i < std::size(kEnables); ++i)
        s.enables[i] = glIsEnabled(kEnables[i]) == GL_TRUE;
    glGetFloatv(GL_POINT_SIZE, &s.pointSize);
    glGetFloatv(GL_LINE_WIDTH, &s.lineWidth);
    glGetIntegerv(GL_LINE_STIPPLE_PATTERN, &s.stipplePattern);
    glGetIntegerv(GL_LINE_STIPPLE_REPEAT, &s.stippleRepeat);
    GLboolean mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    s.depthMask = mask == GL_TRUE;
    glGetIntegerv(GL_DEPTH_FUNC, &s.depthFunc);
    glGetIntegerv(GL_BLEND_SRC, &s.blendSrc);
    glGetIntegerv(GL_BLEND_DST, &s.blendDst);
    glGetIntegerv(GL_COLOR_MATERIAL_FACE, &s.colorMaterialFace);
    glGetIntegerv(GL_COLOR_MATERIAL_PARAMETER, &s.colorMaterialParam);
    glGetIntegerv(GL_SHADE_MODEL, &s.shadeModel);
    glGetIntegerv(GL_POLYGON_MODE, s.polygonMode.data());
    glGetIntegerv(GL_LIST_BASE, &s.listBase);
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelviewMatrix.data());
    glGetFloatv(GL_PROJECTION_MATRIX, s.projectionMatrix.data());
    return s;
}

std::string Diff(const GlState& a, const GlState& b)
{
    std::ostringstream out;
    auto field = [&](const char* name, auto x, auto y) {
        if (x != y)
            out << name << " " << x << " -> " << y << "; ";
    };
    field("attrib stack", a.attrib, b.attrib);
    field("modelview stack", a.modelview, b.modelview);
    field("projection stack", a.projection, b.projection);
    field("matrix mode", a.matrixMode, b.matrixMode);
    for (size_t i = 0; i < a.enables.size(); ++i)
        field(kEnableNames[i], a.enables[i], b.enables[i]);
    field("point size", a.pointSize, b.pointSize);
    field("line width", a.lineWidth, b.lineWidth);
    field("stipple pattern", a.stipplePattern, b.stipplePattern);
    field("stipple repeat", a.stippleRepeat, b.stippleRepeat);
    field("depth mask", a.depthMask, b.depthMask);
    field("depth func", a.depthFunc, b.depthFunc);
    field("blend src", a.blendSrc, b.blendSrc);
    field("blend dst", a.blendDst, b.blendDst);
    field("colour material face", a.colorMaterialFace, b.colorMaterialFace);
    field("colour material parameter", a.colorMaterialParam, b.colorMaterialParam);
    field("shade model", a.shadeModel, b.shadeModel);
    field("front polygon mode", a.polygonMode[0], b.polygonMode[0]);
    field("back polygon mode", a.polygonMode[1], b.polygonMode[1]);
    field("list base", a.listBase, b.listBase);
    if (a.modelviewMatrix != b.modelviewMatrix)
        out << "modelview matrix; ";
    if (a.projectionMatrix != b.projectionMatrix)
        out << "projection matrix; ";
    return out.str();
}

std::array<int, 3> ReadPixel(int x, int y)
{
    GLubyte px[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    return {px[0], px[1], px[2]};
}

}  // namespace overlaytest
