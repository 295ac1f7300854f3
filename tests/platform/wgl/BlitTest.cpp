// Compatible bitmaps and block transfers: a window area saved into a bitmap and put back,
// partly outside rectangles, and the refusals.

#include <gtest/gtest.h>

#include "platform/wgl/Wgl.h"

using namespace quor::wgl;

namespace {

class BlitTest : public ::testing::Test {
protected:
    void SetUp() override { ResetStandIn(); }
    void TearDown() override { ResetStandIn(); }
};

TEST_F(BlitTest, SavedAreaPutsBackWhatWasDrawnOver)
{
    HWND wnd = CreateStandInWindow(16, 16);
    HDC dc = GetDC(wnd);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            SetPixel(dc, x, y, RGB(x * 10, y * 10, 7));
    HBITMAP saved = CreateCompatibleBitmap(dc, 6, 5);
    ASSERT_NE(saved, nullptr);
    BITMAP bm{};
    ASSERT_EQ(GetObjectA(saved, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmWidth, 6);
    EXPECT_EQ(bm.bmHeight, 5);
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, saved);
    // Partly outside the window: what lies outside is left alone.
    ASSERT_TRUE(BitBlt(mem, 0, 0, 6, 5, dc, 12, 3, SRCCOPY));
    EXPECT_EQ(GetPixel(mem, 1, 2), RGB(130, 50, 7));
    for (int y = 3; y < 8; ++y)
        for (int x = 12; x < 16; ++x)
            SetPixel(dc, x, y, RGB(255, 128, 0));
    ASSERT_TRUE(BitBlt(dc, 12, 3, 6, 5, mem, 0, 0, SRCCOPY));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(GetPixel(dc, x, y), RGB(x * 10, y * 10, 7)) << x << "," << y;
    EXPECT_FALSE(BitBlt(dc, 0, 0, 2, 2, mem, 0, 0, 0x00EE0086));  // SRCPAINT: not supported
    SelectObject(mem, old);
    DeleteDC(mem);
    EXPECT_TRUE(DeleteObject(saved));
    EXPECT_EQ(CreateCompatibleBitmap(dc, 0, 4), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 4, 4), nullptr);
    EXPECT_EQ(LiveGdiObjects(), 0);
    ReleaseDC(wnd, dc);
}

} // namespace
