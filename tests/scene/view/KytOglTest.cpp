#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "scene/view/KytOgl.h"

namespace {

class KytOglTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetStandIn();
        KytOgl::ResetHwnd();
        KytOgl::bAllwaysBackFaceDraw = false;
        KytOgl::bEnableCullFaceWhenClipping = true;
        KytOgl::bLineAntiAlias = true;
    }
    void TearDown() override
    {
        KytOgl::ResetHwnd();
        KytOgl::bAllwaysBackFaceDraw = false;
        ResetStandIn();
    }
    // A window of w x h with a created context, made current.
    std::unique_ptr<KytOgl> Make(HWND& wnd, int w = 32, int h = 32)
    {
        wnd = CreateStandInWindow(w, h);
        auto ogl = std::make_unique<KytOgl>(wnd, 32, 24);
        EXPECT_TRUE(ogl->Create(w, h));
        ogl->MakeCurrent();
        return ogl;
    }
};

TEST_F(KytOglTest, CreateGivesAContextThatAnswers)
{
    HWND wnd;
    auto ogl = Make(wnd);
    EXPECT_NE(glGetString(GL_RENDERER), nullptr);
    EXPECT_EQ(KytOgl::hWndNow, wnd);
    EXPECT_NE(KytOgl::m_hOrgRC, nullptr);
    unsigned long flags = 0;
    EXPECT_EQ(ogl->GetInformation(flags), 1);
    EXPECT_TRUE(flags & PFD_DOUBLEBUFFER);
    EXPECT_TRUE(MessageBoxes().empty());
    ogl->DeleteContext();
}

TEST_F(KytOglTest, MakeCurrentOncePerWindowChange)
{
    HWND a, b;
    auto one = Make(a);
    auto two = Make(b);
    const int base = Stats().makeCurrent;
    one->MakeCurrent();
    one->MakeCurrent();
    EXPECT_EQ(Stats().makeCurrent, base + 1);
    two->MakeCurrent();
    two->MakeCurrent();
    EXPECT_EQ(Stats().makeCurrent, base + 2);
    EXPECT_EQ(wglGetCurrentContext(), two->GetHglrc());
    KytOgl::ResetHwnd();
    two->MakeCurrent();
    EXPECT_EQ(Stats().makeCurrent, base + 3);
    two->MakeCurrentFource();
    EXPECT_EQ(Stats().makeCurrent, base + 4);
    one->DeleteContext();
    two->DeleteContext();
}

TEST_F(KytOglTest, DeleteContextTwiceReleasesOnce)
{
    HWND wnd;
    auto ogl = Make(wnd);
    EXPECT_EQ(LiveDCs(), 1);
    ogl->DeleteContext();
    ogl->DeleteContext();
    EXPECT_EQ(Stats().badRelease, 0);
    EXPECT_EQ(Stats().deleteContext, 1);
    EXPECT_EQ(LiveContexts(), 0);
    EXPECT_EQ(LiveDCs(), 0);
    EXPECT_EQ(KytOgl::hWndNow, nullptr);
    EXPECT_EQ(ogl->GetHglrc(), nullptr);
}

TEST_F(KytOglTest, BorrowedDeviceContextIsNotReleased)
{
    HWND wnd = CreateStandInWindow(16, 16);
    HDC dc = GetDC(wnd);
    {
        KytOgl ogl(wnd, dc, 32, 24);
        ASSERT_TRUE(ogl.Create(16, 16));
        ogl.MakeCurrent();
        ogl.DeleteContext();
    }
    EXPECT_EQ(Stats().badRelease, 0);
    EXPECT_EQ(LiveDCs(), 1);
    EXPECT_EQ(ReleaseDC(wnd, dc), 1);
}

TEST_F(KytOglTest, CreateFailuresShowTheirMessage)
{
    struct Case {
        void (*inject)();
        const char* text;
    };
    const Case cases[] = {
        {[] { Inject().failChoosePixelFormat = true; }, "ChoosePixelFormat failed."},
        {[] { Inject().refuseAllFormats = true; }, "SetPixelFormat failed."},
        {[] { SetDisplayBitsPerPixel(8); Inject().failCreatePalette = true; }, "SetPixelFormat failed."},
        {[] { Inject().failCreateContext = true; }, "CreateContext failed."},
    };
    for (const Case& c : cases) {
        ResetStandIn();
        c.inject();
        HWND wnd = CreateStandInWindow(8, 8);
        KytOgl ogl(wnd, 32, 24);
        EXPECT_FALSE(ogl.Create(8, 8)) << c.text;
        ASSERT_EQ(MessageBoxes().size(), 1u) << c.text;
        EXPECT_EQ(MessageBoxes()[0].text, c.text);
        EXPECT_EQ(MessageBoxes()[0].caption, "OpenGL Error");
        EXPECT_EQ(MessageBoxes()[0].type, MB_ICONERROR);
        EXPECT_EQ(MessageBoxes()[0].owner, wnd);
        ogl.DeleteContext();
    }
}

TEST_F(KytOglTest, PaletteDeviceGetsAThreeThreeTwoPalette)
{
    SetDisplayBitsPerPixel(8);
    HWND wnd;
    auto ogl = Make(wnd);
    EXPECT_TRUE(MessageBoxes().empty());
    HPALETTE pal = ogl->GetHdc()->palette;
    ASSERT_NE(pal, nullptr);
    PALETTEENTRY e[256] = {};
    ASSERT_EQ(GetPaletteEntries(pal, 0, 256, e), 256u);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(e[i].peRed, (i & 7) * 255 / 7) << i;
        ASSERT_EQ(e[i].peGreen, ((i >> 3) & 7) * 255 / 7) << i;
        ASSERT_EQ(e[i].peBlue, ((i >> 6) & 3) * 255 / 3) << i;
        ASSERT_EQ(e[i].peFlags, 0);
    }
    // The palette is given up with the context, even on a DC the caller keeps.
    ogl->DeleteContext();
    EXPECT_EQ(LiveGdiObjects(), 0);
    HDC dc = GetDC(wnd);
    {
        KytOgl borrowed(wnd, dc, 8, 16);
        ASSERT_TRUE(borrowed.Create(8, 8));
        EXPECT_EQ(LiveGdiObjects(), 1);
        borrowed.DeleteContext();
    }
    EXPECT_EQ(LiveGdiObjects(), 0);
    ReleaseDC(wnd, dc);
}

}  // namespace
