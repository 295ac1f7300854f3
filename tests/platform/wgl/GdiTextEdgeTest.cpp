// Double-byte text (code page 932) drawn from its Japanese face, its extents, and 3D edges.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/wgl/Wgl.h"

using namespace quor::wgl;

namespace {

class GdiTextEdge : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetStandIn();
        wnd = CreateStandInWindow(96, 48);
        dc = GetDC(wnd);
        PIXELFORMATDESCRIPTOR pfd{};
        pfd.nSize = sizeof pfd;
        pfd.nVersion = 1;
        pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        pfd.cColorBits = 32;
        pfd.cDepthBits = 24;
        ASSERT_TRUE(SetPixelFormat(dc, ChoosePixelFormat(dc, &pfd), &pfd));
        rc = wglCreateContext(dc);
        ASSERT_TRUE(wglMakeCurrent(dc, rc));
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        SwapBuffers(dc);
        LOGFONTA lf{};
        lf.lfHeight = -16;
        lf.lfCharSet = 128;
        font = CreateFontIndirectA(&lf);
        SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 0));
    }
    void TearDown() override { ResetStandIn(); }

    struct Ink {
        int count = 0, left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
    };
    // Text pixels over the whole window; clears the overlay first.
    Ink Draw(const std::string& text, int x = 4, int y = 4)
    {
        glClear(GL_COLOR_BUFFER_BIT);
        SwapBuffers(dc);
        EXPECT_TRUE(TextOutA(dc, x, y, text.data(), static_cast<int>(text.size())));
        Ink ink;
        for (int yy = 0; yy < 48; ++yy)
            for (int xx = 0; xx < 96; ++xx)
                if (GetPixel(dc, xx, yy) == RGB(255, 255, 0)) {
                    ++ink.count;
                    ink.left = std::min(ink.left, xx);
                    ink.top = std::min(ink.top, yy);
                    ink.right = std::max(ink.right, xx);
                    ink.bottom = std::max(ink.bottom, yy);
                }
        return ink;
    }
    SIZE Extent(const std::string& text)
    {
        SIZE s{};
        EXPECT_TRUE(GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &s));
        return s;
    }
    std::string Signature(const std::string& text)
    {
        Draw(text);
        std::string bits;
        for (int yy = 0; yy < 48; ++yy)
            for (int xx = 0; xx < 96; ++xx)
                bits += GetPixel(dc, xx, yy) == RGB(255, 255, 0) ? '1' : '0';
        return bits;
    }

    HWND wnd = nullptr;
    HDC dc = nullptr;
    HGLRC rc = nullptr;
    HFONT font = nullptr;
};

const std::string kGear = "\x8e\x95";        // 歯
const std::string kWheel = "\x8e\xd4";       // 車
const std::string kPin = "\x83\x73\x83\x93"; // ピン

TEST_F(GdiTextEdge, DoubleByteLabelsDrawTheirCharactersInsideTheirExtent)
{
    const SIZE size = Extent(kGear + kWheel);
    const Ink ink = Draw(kGear + kWheel);
    EXPECT_GT(ink.count, 40);
    EXPECT_GE(ink.left, 4);
    EXPECT_LT(ink.right, 4 + size.cx);
    EXPECT_GE(ink.top, 4);
    EXPECT_LT(ink.bottom, 4 + size.cy);
    // Full-width characters of a 16 pixel face.
    EXPECT_GE(size.cx, 28);
    EXPECT_LE(size.cx, 34);
    // Two different characters, not two boxes.
    EXPECT_NE(Signature(kGear), Signature(kWheel));
    EXPECT_GT(Draw(kPin).count, 20);
}

TEST_F(GdiTextEdge, ExtentsAddUpOverMixedText)
{
    const std::string mixed = "A" + kGear + "/" + kWheel + "+C";
    int sum = 0;
    for (const std::string& part : {std::string("A"), kGear, std::string("/"), kWheel,
                                    std::string("+C")})
        sum += Extent(part).cx;
    EXPECT_EQ(Extent(mixed).cx, sum);
    // The drawn text ends where the extent says.
    const Ink ink = Draw(mixed, 0, 4);
    EXPECT_LT(ink.right, Extent(mixed).cx);
    EXPECT_GE(ink.right, Extent(mixed).cx - Extent("C").cx);
}

TEST_F(GdiTextEdge, SingleBytesKeepTheirFaceAndBadPairsDrawNothing)
{
    const std::string latin = Signature("HI");
    const SIZE before = Extent("HI");
    Inject().noDoubleByteFont = true;
    EXPECT_EQ(Signature("HI"), latin);
    EXPECT_EQ(Extent("HI").cx, before.cx);
    // Without the face a double-byte character is a full-width box.
    const std::string box = Signature(kGear);
    EXPECT_NE(box, latin);
    EXPECT_EQ(Signature(kWheel), box);
    Inject().noDoubleByteFont = false;
    // A pair with no character: no ink, a full-width advance.
    EXPECT_EQ(Draw("\x85\x40").count, 0);
    EXPECT_EQ(Extent("\x85\x40").cx, 16);
    // A lead byte at the very end stands alone.
    EXPECT_EQ(Extent("A\x8e").cx, Extent("A").cx + Extent("\x8e").cx);
}

TEST_F(GdiTextEdge, EtchedEdgeRings)
{
    const COLORREF shadow = 0xA0A0A0;
    RECT r{2, 2, 12, 10};
    ASSERT_TRUE(DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT));
    EXPECT_EQ(CallLog(dc).back(), "DrawEdge(2,2,12,10,6,15)");
    struct Px {
        int x, y;
        COLORREF c;
    } px[] = {
        {2, 2, shadow}, {6, 2, shadow}, {2, 6, shadow},      // outer top and left: shadow
        {11, 9, 0xFFFFFF}, {6, 9, 0xFFFFFF}, {11, 5, 0xFFFFFF},  // outer bottom and right: light
        {3, 3, 0xFFFFFF}, {6, 3, 0xFFFFFF}, {3, 6, 0xFFFFFF},  // inner top and left: light
        {10, 8, shadow}, {6, 8, shadow}, {10, 5, shadow},     // inner bottom and right: shadow
        {6, 5, 0}, {1, 1, 0}, {12, 10, 0},                    // inside and outside untouched
    };
    for (const Px& p : px)
        EXPECT_EQ(GetPixel(dc, p.x, p.y), p.c) << p.x << "," << p.y;
    glClear(GL_COLOR_BUFFER_BIT);
    SwapBuffers(dc);
    ASSERT_TRUE(DrawEdge(dc, &r, EDGE_ETCHED, BF_TOP));
    EXPECT_EQ(GetPixel(dc, 6, 2), shadow);
    EXPECT_EQ(GetPixel(dc, 2, 6), 0u);
    EXPECT_EQ(GetPixel(dc, 6, 9), 0u);
    EXPECT_FALSE(DrawEdge(dc, nullptr, EDGE_ETCHED, BF_RECT));
}

} // namespace
