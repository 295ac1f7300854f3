#include "tests/support/scene/OverlayGl.h"

#include <gtest/gtest.h>

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

GlState CaptureState()
{
    GlState s;
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &s.attrib);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.modelview);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &s.projection);
    glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
    s.depth = glIsEnabled(GL_DEPTH_TEST);
    s.lighting = glIsEnabled(GL_LIGHTING);
    s.blend = glIsEnabled(GL_BLEND);
    s.cull = glIsEnabled(GL_CULL_FACE);
    s.stipple = glIsEnabled(GL_LINE_STIPPLE);
    return s;
}

std::array<int, 3> ReadPixel(int x, int y)
{
    GLubyte px[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    return {px[0], px[1], px[2]};
}

}  // namespace overlaytest
