#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/wgl/Wgl.h"

using namespace quor::wgl;

namespace {

class DibSectionTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { ResetStandIn(); }
    void TearDown() override { ResetStandIn(); }
};

// A memory DC with a 5 x 3 DIB of the given depth and a GL context drawing into it.
struct GlDib {
    HDC mem = nullptr;
    HBITMAP bmp = nullptr;
    HGLRC rc = nullptr;
    void* bits = nullptr;
    BITMAPINFO bi{};

    explicit GlDib(int bitCount, int width = 5, int height = 3) {
        mem = CreateCompatibleDC(nullptr);
        bi.bmiHeader.biSize = 40;
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
        bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        SelectObject(mem, bmp);
        PIXELFORMATDESCRIPTOR pfd{};
        pfd.dwFlags = PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI | PFD_SUPPORT_OPENGL;
        pfd.cColorBits = static_cast<BYTE>(bitCount);
        pfd.cDepthBits = 16;
        SetPixelFormat(mem, ChoosePixelFormat(mem, &pfd), &pfd);
        rc = wglCreateContext(mem);
        wglMakeCurrent(mem, rc);
    }
    ~GlDib() {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(rc);
        DeleteDC(mem);
        DeleteObject(bmp);
    }
};

TEST_P(DibSectionTest, CurrentObjectDescribesTheSelectedDib) {
    const int bitCount = GetParam();
    GlDib d(bitCount);
    ASSERT_NE(d.rc, nullptr);
    EXPECT_EQ(GetCurrentObject(d.mem, OBJ_BITMAP), d.bmp);
    EXPECT_EQ(GetCurrentObject(d.mem, OBJ_PAL), nullptr);
    DIBSECTION ds{};
    ASSERT_EQ(GetObjectA(d.bmp, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmBits, d.bits);
    EXPECT_EQ(ds.dsBm.bmWidth, 5);
    EXPECT_EQ(ds.dsBm.bmHeight, 3);
    EXPECT_EQ(ds.dsBm.bmWidthBytes, ((5 * bitCount + 31) / 32) * 4);
    EXPECT_EQ(ds.dsBmih.biBitCount, bitCount);
    BITMAP bm{};
    EXPECT_EQ(GetObjectA(d.bmp, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmBits, d.bits);
}

TEST_P(DibSectionTest, GlImageAndGdiPixelsBothReachTheBits) {
    const int bitCount = GetParam();
    GlDib d(bitCount);
    ASSERT_NE(d.rc, nullptr);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);  // bottom-left pixel red
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glFlush();
    GdiFlush();
    const int bpp = bitCount / 8;
    const int stride = ((5 * bitCount + 31) / 32) * 4;
    const auto* p = static_cast<const unsigned char*>(d.bits);
    // Bottom-up rows of blue, green, red.
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[2], 255);
    EXPECT_EQ(p[bpp + 0], 255);
    EXPECT_EQ(p[2 * stride + 4 * bpp + 0], 255);
    EXPECT_EQ(p[2 * stride + 4 * bpp + 2], 0);
    if (bitCount == 32) {
        EXPECT_EQ(p[3], 255);
    }

    // A GDI pixel over the GL image (top-left, counted from the top).
    SetPixel(d.mem, 0, 0, RGB(0, 255, 0));
    GdiFlush();
    EXPECT_EQ(p[2 * stride + 1], 255);
    EXPECT_EQ(p[2 * stride + 0], 0);
    EXPECT_EQ(p[2], 255);  // the GL image is still under the rest
}

// GDI drawing on a memory bitmap lands in the pixels OpenGL draws into: it stays until
// OpenGL clears those pixels, so it belongs to the frame it was drawn on and never reaches
// the next one. A scissored clear takes only what lies inside its box; a clear that writes no
// colour takes nothing.
TEST_P(DibSectionTest, GdiDrawingLastsUntilAColourClear) {
    const int bitCount = GetParam();
    GlDib d(bitCount, 8, 3);
    ASSERT_NE(d.rc, nullptr);
    const int bpp = bitCount / 8;
    const int stride = ((8 * bitCount + 31) / 32) * 4;
    const auto* p = static_cast<const unsigned char*>(d.bits);
    // Green of pixel (x, 1): the middle row.
    auto green = [&](int x) { return p[stride + x * bpp + 1]; };
    auto frame = [] {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    };
    auto output = [] {
        glFlush();
        GdiFlush();
    };

    frame();
    SetPixel(d.mem, 1, 1, RGB(0, 255, 0));  // before the frame's output
    output();
    EXPECT_EQ(green(1), 255);
    SetPixel(d.mem, 3, 1, RGB(0, 255, 0));  // after it
    EXPECT_EQ(GetPixel(d.mem, 3, 1), RGB(0, 255, 0));
    frame();
    SetPixel(d.mem, 5, 1, RGB(0, 255, 0));
    output();
    EXPECT_EQ(green(5), 255);
    EXPECT_EQ(green(3), 0) << "the last frame's drawing reached this one";
    EXPECT_EQ(green(1), 0);

    // Clears that leave colour alone, or another place, keep the drawing.
    SetPixel(d.mem, 6, 1, RGB(0, 255, 0));
    glClear(GL_DEPTH_BUFFER_BIT);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glClear(GL_COLOR_BUFFER_BIT);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 6, 3);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    output();
    EXPECT_EQ(green(6), 255);
    EXPECT_EQ(green(5), 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, DibSectionTest, ::testing::Values(24, 32));

// The bitmap after a flush holds exactly what OpenGL reads back, for widths that end the
// conversion's sixteen-pixel steps anywhere.
TEST(DibConversion, BitsEqualTheGlImage) {
    for (int bitCount : {24, 32}) {
        for (int width : {3, 4, 5, 16, 17, 37}) {
            ResetStandIn();
            const int height = 6;
            GlDib d(bitCount, width, height);
            ASSERT_NE(d.rc, nullptr);
            glViewport(0, 0, width, height);
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            glOrtho(0, width, 0, height, -1, 1);
            glClearColor(0.1f, 0.2f, 0.3f, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            uint32_t state = 12345u + static_cast<uint32_t>(width);
            auto next = [&state] {
                state = state * 214013u + 2531011u;
                return static_cast<float>((state >> 16) & 0x7FFF) / 32767.0f;
            };
            glBegin(GL_TRIANGLES);
            for (int t = 0; t < 12; ++t)
                for (int v = 0; v < 3; ++v) {
                    glColor3f(next(), next(), next());
                    glVertex2f(next() * width, next() * height);
                }
            glEnd();
            glFlush();
            GdiFlush();
            std::vector<unsigned char> gl(static_cast<size_t>(width) * height * 4);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, gl.data());
            const int bpp = bitCount / 8;
            const int stride = ((width * bitCount + 31) / 32) * 4;
            const auto* bits = static_cast<const unsigned char*>(d.bits);
            int mismatches = 0;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const unsigned char* g = &gl[(static_cast<size_t>(y) * width + x) * 4];
                    const unsigned char* b = bits + static_cast<size_t>(y) * stride + x * bpp;
                    if (b[0] != g[2] || b[1] != g[1] || b[2] != g[0]) ++mismatches;
                    if (bpp == 4 && b[3] != 255) ++mismatches;
                }
            EXPECT_EQ(mismatches, 0) << bitCount << " bits, width " << width;
        }
    }
    ResetStandIn();
}

}  // namespace
