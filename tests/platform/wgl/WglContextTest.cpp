#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>

#include "platform/wgl/Wgl.h"

using namespace quor::wgl;

namespace {

class WglTest : public ::testing::Test {
protected:
    void SetUp() override { ResetStandIn(); }
    void TearDown() override { ResetStandIn(); }

    // A window with a GL context current on it.
    HGLRC MakeWindowContext(HWND& wnd, HDC& dc, int w = 32, int h = 24)
    {
        wnd = CreateStandInWindow(w, h);
        dc = GetDC(wnd);
        PIXELFORMATDESCRIPTOR pfd{};
        pfd.nSize = sizeof pfd;
        pfd.nVersion = 1;
        pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        pfd.cColorBits = 32;
        pfd.cDepthBits = 24;
        const int format = ChoosePixelFormat(dc, &pfd);
        EXPECT_NE(format, 0);
        EXPECT_TRUE(SetPixelFormat(dc, format, &pfd));
        HGLRC rc = wglCreateContext(dc);
        EXPECT_NE(rc, nullptr);
        EXPECT_TRUE(wglMakeCurrent(dc, rc));
        return rc;
    }
};

TEST_F(WglTest, ContextAnswersRendererAfterMakeCurrent)
{
    HWND wnd;
    HDC dc;
    HGLRC rc = MakeWindowContext(wnd, dc);
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    ASSERT_NE(renderer, nullptr);
    EXPECT_GT(std::strlen(renderer), 0u);
    EXPECT_EQ(wglGetCurrentContext(), rc);
    EXPECT_EQ(wglGetCurrentDC(), dc);
    EXPECT_EQ(Stats().makeCurrent, 1);
    EXPECT_TRUE(wglDeleteContext(rc));
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_EQ(LiveContexts(), 0);
}

TEST_F(WglTest, ClearToBlueFillsTheWindowImage)
{
    HWND wnd;
    HDC dc;
    MakeWindowContext(wnd, dc, 17, 9);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(SwapBuffers(dc));
    EXPECT_EQ(Stats().swapBuffers, 1);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 17; ++x)
            ASSERT_EQ(GetPixel(dc, x, y), RGB(0, 0, 255)) << x << "," << y;
    EXPECT_EQ(GetPixel(dc, 17, 0), CLR_INVALID);
}

TEST_F(WglTest, RowsAreBottomUpLikeDibs)
{
    HWND wnd;
    HDC dc;
    MakeWindowContext(wnd, dc, 8, 8);
    glViewport(0, 0, 8, 8);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 8, 2);  // GL's bottom two rows
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    SwapBuffers(dc);
    EXPECT_EQ(GetPixel(dc, 3, 7), RGB(255, 0, 0));  // window bottom (top-down y)
    EXPECT_EQ(GetPixel(dc, 3, 0), RGB(0, 0, 0));
}

TEST_F(WglTest, SelectModeGivesOneHitWithItsNames)
{
    HWND wnd;
    HDC dc;
    MakeWindowContext(wnd, dc);
    GLuint buffer[64] = {};
    glSelectBuffer(64, buffer);
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(1);
    glPushName(77);
    glBegin(GL_TRIANGLES);
    glVertex3f(-0.5f, -0.5f, 0);
    glVertex3f(0.5f, -0.5f, 0);
    glVertex3f(0, 0.5f, 0);
    glEnd();
    glPopName();
    glLoadName(2);
    glBegin(GL_TRIANGLES);  // outside the view volume: no hit
    glVertex3f(5, 5, 0);
    glVertex3f(6, 5, 0);
    glVertex3f(5, 6, 0);
    glEnd();
    const GLint hits = glRenderMode(GL_RENDER);
    ASSERT_EQ(hits, 1);
    EXPECT_EQ(buffer[0], 2u);
    EXPECT_EQ(buffer[3], 1u);
    EXPECT_EQ(buffer[4], 77u);
}

TEST_F(WglTest, GdiTextSurvivesAGlFinish)
{
    HWND wnd;
    HDC dc;
    MakeWindowContext(wnd, dc, 64, 32);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    SwapBuffers(dc);
    SetTextColor(dc, RGB(255, 255, 0));
    SetBkMode(dc, TRANSPARENT);
    ASSERT_TRUE(TextOutA(dc, 2, 2, "HI", 2));
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();
    int lit = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            lit += GetPixel(dc, x, y) == RGB(255, 255, 0);
    EXPECT_GT(lit, 10);
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "HI", 2, &size));
    EXPECT_GT(size.cx, 8);
    EXPECT_GT(size.cy, 8);
    // The swap repaints the window, and GDI drawing made before it is gone.
    SwapBuffers(dc);
    EXPECT_EQ(GetPixel(dc, 3, 5), RGB(0, 255, 0));
    EXPECT_EQ(CallLog(dc).back(), "SwapBuffers");
}

TEST_F(WglTest, MemoryDcRendersIntoItsDibAtGdiFlush)
{
    HWND wnd = CreateStandInWindow(4, 4);
    HDC wdc = GetDC(wnd);
    HDC mem = CreateCompatibleDC(wdc);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = 40;
    bi.bmiHeader.biWidth = 6;
    bi.bmiHeader.biHeight = 3;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bmp, nullptr);
    ASSERT_NE(bits, nullptr);
    SelectObject(mem, bmp);
    EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 24);
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.dwFlags = PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI | PFD_SUPPORT_OPENGL;
    pfd.cColorBits = 24;
    pfd.cDepthBits = 16;
    const int format = ChoosePixelFormat(mem, &pfd);
    ASSERT_TRUE(SetPixelFormat(mem, format, &pfd));
    HGLRC rc = wglCreateContext(mem);
    ASSERT_TRUE(wglMakeCurrent(mem, rc));
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glFlush();
    GdiFlush();
    const auto* p = static_cast<const unsigned char*>(bits);
    // 24-bit rows are padded to 4 bytes and hold blue, green, red.
    const int stride = 20;
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(p[row * stride + x * 3 + 0], 0);
            EXPECT_EQ(p[row * stride + x * 3 + 2], 255);
        }
    wglDeleteContext(rc);
    EXPECT_TRUE(DeleteDC(mem));
    EXPECT_TRUE(DeleteObject(bmp));
    EXPECT_EQ(ReleaseDC(wnd, wdc), 1);
    EXPECT_EQ(LiveGdiObjects(), 0);
}

TEST_F(WglTest, DeviceContextOwnershipIsChecked)
{
    HWND a = CreateStandInWindow(4, 4);
    HWND b = CreateStandInWindow(4, 4, a);
    EXPECT_EQ(GetParent(b), a);
    ASSERT_EQ(GetChildren(a).size(), 1u);
    HDC dc = GetDC(a);
    EXPECT_EQ(WindowFromDC(dc), a);
    EXPECT_EQ(ReleaseDC(b, dc), 0);  // not b's
    EXPECT_EQ(ReleaseDC(a, dc), 1);
    EXPECT_EQ(ReleaseDC(a, dc), 0);  // twice
    EXPECT_EQ(Stats().badRelease, 2);
    HDC mem = CreateCompatibleDC(nullptr);
    EXPECT_EQ(ReleaseDC(a, mem), 0);  // ReleaseDC is for GetDC only
    EXPECT_TRUE(DeleteDC(mem));
    EXPECT_TRUE(DestroyWindow(a));
    EXPECT_FALSE(IsWindow(b));
    EXPECT_EQ(LiveWindows(), 0);
}

TEST_F(WglTest, PixelFormatsCanBeRefusedAndDescribed)
{
    HWND wnd = CreateStandInWindow(4, 4);
    HDC dc = GetDC(wnd);
    PIXELFORMATDESCRIPTOR pfd{};
    const int count = DescribePixelFormat(dc, 1, sizeof pfd, &pfd);
    EXPECT_GE(count, 4);
    EXPECT_EQ(DescribePixelFormat(dc, count + 1, sizeof pfd, &pfd), 0);
    EXPECT_EQ(DescribePixelFormat(dc, 1, sizeof pfd, nullptr), count);
    pfd = {};
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.cColorBits = 8;
    const int format = ChoosePixelFormat(dc, &pfd);
    ASSERT_NE(format, 0);
    PIXELFORMATDESCRIPTOR got{};
    DescribePixelFormat(dc, format, sizeof got, &got);
    EXPECT_TRUE(got.dwFlags & PFD_NEED_PALETTE);
    Inject().refuseFormats.insert(format);
    EXPECT_FALSE(SetPixelFormat(dc, format, &pfd));
    EXPECT_EQ(GetPixelFormat(dc), 0);
    Inject().refuseFormats.clear();
    EXPECT_TRUE(SetPixelFormat(dc, format, &pfd));
    EXPECT_EQ(GetPixelFormat(dc), format);
    EXPECT_FALSE(SetPixelFormat(dc, format == 1 ? 2 : 1, &pfd));  // a drawable keeps its first
    ReleaseDC(wnd, dc);
}

TEST_F(WglTest, MakeCurrentFollowsAResizedWindow)
{
    HWND wnd;
    HDC dc;
    MakeWindowContext(wnd, dc, 4, 4);
    ASSERT_TRUE(SetClientSize(wnd, 10, 6));
    glViewport(0, 0, 10, 6);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    SwapBuffers(dc);
    EXPECT_EQ(GetPixel(dc, 9, 5), RGB(0, 255, 0));
    RECT r{};
    GetClientRect(wnd, &r);
    EXPECT_EQ(r.right, 10);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 10);
}

TEST_F(WglTest, FontBitmapListsLightPixelsAtTheRasterPosition)
{
    HWND wnd;
    HDC dc;
    MakeWindowContext(wnd, dc, 40, 40);
    const GLuint base = glGenLists(256);
    ASSERT_TRUE(wglUseFontBitmapsA(dc, 0, 256, base));
    glViewport(0, 0, 40, 40);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 40, 0, 40, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    glRasterPos2i(10, 10);
    glCallList(base + 'H');
    SwapBuffers(dc);
    int lit = 0, litOutside = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool on = GetPixel(dc, x, y) == RGB(255, 255, 255);
            // Raster position (10, 10) in GL is window row 29 counted from the top.
            const bool near = x >= 9 && x < 30 && y >= 10 && y <= 30;
            lit += on && near;
            litOutside += on && !near;
        }
    EXPECT_GT(lit, 10);
    EXPECT_EQ(litOutside, 0);
    glDeleteLists(base, 256);
    Inject().failUseFontBitmaps = 1;
    EXPECT_FALSE(wglUseFontBitmapsA(dc, 0, 1, base));
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(WglTest, MessageBoxesAndFormatMessageRecord)
{
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_ICONERROR), IDOK);
    ASSERT_EQ(MessageBoxes().size(), 1u);
    EXPECT_EQ(MessageBoxes()[0].caption, "caption");
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, ERROR_NOT_ENOUGH_MEMORY, 0x400,
                                   reinterpret_cast<LPSTR>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(n, std::strlen(text));
    LocalFree(text);
    EXPECT_EQ(MulDiv(12, -96, 72), -16);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(3, 1, 2), 2);
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
}

TEST_F(WglTest, PalettesHoldTheirEntries)
{
    HWND wnd = CreateStandInWindow(4, 4);
    HDC dc = GetDC(wnd);
    struct {
        LOGPALETTE lp;
        PALETTEENTRY more[2];
    } block{};
    block.lp.palVersion = 0x300;
    block.lp.palNumEntries = 3;
    PALETTEENTRY* e = block.lp.palPalEntry;
    e[2].peRed = 200;
    HPALETTE pal = CreatePalette(&block.lp);
    ASSERT_NE(pal, nullptr);
    EXPECT_EQ(SelectPalette(dc, pal, FALSE), nullptr);
    EXPECT_EQ(RealizePalette(dc), 3u);
    PALETTEENTRY out[3] = {};
    EXPECT_EQ(GetPaletteEntries(pal, 0, 3, out), 3u);
    EXPECT_EQ(out[2].peRed, 200);
    ReleaseDC(wnd, dc);
    EXPECT_TRUE(DeleteObject(pal));
}

TEST_F(WglTest, RecordingDcLogsDrawing)
{
    HDC dc = CreateRecordingDC();
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(1, 2, 3));
    HGDIOBJ old = SelectObject(dc, pen);
    EXPECT_EQ(old, GetStockObject(BLACK_PEN));
    MoveToEx(dc, 1, 2, nullptr);
    LineTo(dc, 3, 4);
    TextOutA(dc, 5, 6, "ab", 2);
    const auto& log = CallLog(dc);
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[1], "MoveToEx(1,2)");
    EXPECT_EQ(log[2], "LineTo(3,4)");
    EXPECT_EQ(log[3], "TextOutA(5,6,\"ab\")");
    EXPECT_FALSE(DeleteObject(pen));  // still selected
    SelectObject(dc, old);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen));
    DeleteDC(dc);
}

}  // namespace
