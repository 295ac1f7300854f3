// Geometric pens, filled polygons with their fill modes, and fonts made field by field.

#include <gtest/gtest.h>

#include <string>

#include "platform/wgl/Wgl.h"

using namespace quor::wgl;

namespace {

class GdiPenPolygon : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetStandIn();
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = 80;
        bi.bmiHeader.biHeight = 60;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bmp, nullptr);
        SelectObject(dc, bmp);
    }
    void TearDown() override { ResetStandIn(); }

    int Count(COLORREF c)
    {
        int n = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x)
                n += GetPixel(dc, x, y) == c;
        return n;
    }

    HDC dc = nullptr;
    HBITMAP bmp = nullptr;
};

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

TEST_F(GdiPenPolygon, FlatCappedGeometricPenStopsAtTheEnds)
{
    const LOGBRUSH brush{BS_SOLID, kRed, 0};
    HPEN flat = ExtCreatePen(PS_GEOMETRIC | PS_ENDCAP_FLAT | PS_SOLID, 3, &brush, 0, nullptr);
    ASSERT_NE(flat, nullptr);
    SelectObject(dc, flat);
    MoveToEx(dc, 10, 20, nullptr);
    LineTo(dc, 30, 20);
    // Three rows across the whole length, nothing before the first or at the last point.
    for (int y : {19, 20, 21}) {
        EXPECT_EQ(GetPixel(dc, 10, y), kRed) << y;
        EXPECT_EQ(GetPixel(dc, 29, y), kRed) << y;
        EXPECT_NE(GetPixel(dc, 9, y), kRed) << y;
        EXPECT_NE(GetPixel(dc, 30, y), kRed) << y;
    }
    EXPECT_EQ(Count(kRed), 3 * 20);
    // A vertical one spans across x.
    MoveToEx(dc, 50, 5, nullptr);
    LineTo(dc, 50, 15);
    EXPECT_EQ(GetPixel(dc, 49, 5), kRed);
    EXPECT_EQ(GetPixel(dc, 51, 14), kRed);
    EXPECT_NE(GetPixel(dc, 50, 4), kRed);
    EXPECT_EQ(Count(kRed), 3 * 20 + 3 * 10);
}

TEST_F(GdiPenPolygon, GeometricDashesScaleWithTheWidth)
{
    const LOGBRUSH brush{BS_SOLID, kRed, 0};
    HPEN dash = ExtCreatePen(PS_GEOMETRIC | PS_ENDCAP_FLAT | PS_DASH, 3, &brush, 0, nullptr);
    SelectObject(dc, dash);
    MoveToEx(dc, 0, 30, nullptr);
    LineTo(dc, 80, 30);
    // The cosmetic dash of 18 on and 6 off, three times longer.
    EXPECT_EQ(GetPixel(dc, 53, 30), kRed);
    EXPECT_NE(GetPixel(dc, 54, 30), kRed);
    EXPECT_NE(GetPixel(dc, 71, 30), kRed);
    EXPECT_EQ(GetPixel(dc, 72, 30), kRed);
}

TEST_F(GdiPenPolygon, PensThatCannotBeMadeAreRefused)
{
    const LOGBRUSH solid{BS_SOLID, kRed, 0};
    const LOGBRUSH hatched{BS_HATCHED, kRed, 1};
    const DWORD user[2] = {4, 2};
    EXPECT_EQ(ExtCreatePen(PS_GEOMETRIC, 3, &hatched, 0, nullptr), nullptr);
    EXPECT_EQ(ExtCreatePen(PS_GEOMETRIC, 3, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(ExtCreatePen(PS_COSMETIC, 3, &solid, 0, nullptr), nullptr);
    EXPECT_EQ(ExtCreatePen(PS_GEOMETRIC | 7, 3, &solid, 2, user), nullptr);
    EXPECT_EQ(LiveGdiObjects(), 1);  // the bitmap
    HPEN cosmetic = ExtCreatePen(PS_COSMETIC | PS_DOT, 1, &solid, 0, nullptr);
    ASSERT_NE(cosmetic, nullptr);
    EXPECT_TRUE(DeleteObject(cosmetic));
}

TEST_F(GdiPenPolygon, PolygonFillsByTheFillMode)
{
    // A five-pointed star drawn in one stroke: its centre is crossed twice.
    const POINT star[5] = {{40, 5}, {60, 55}, {10, 22}, {70, 22}, {20, 55}};
    HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    HBRUSH brush = CreateSolidBrush(kBlue);
    SelectObject(dc, pen);
    SelectObject(dc, brush);
    EXPECT_EQ(GetPolyFillMode(dc), ALTERNATE);
    ASSERT_TRUE(Polygon(dc, star, 5));
    EXPECT_EQ(CallLog(dc).back(), "Polygon(40,5,60,55,10,22,70,22,20,55)");
    EXPECT_NE(GetPixel(dc, 40, 32), kBlue);  // centre: even crossings
    EXPECT_EQ(GetPixel(dc, 40, 15), kBlue);  // a point
    EXPECT_EQ(GetPixel(dc, 40, 5), kRed);    // outline on the vertex
    const int alternate = Count(kBlue);

    EXPECT_EQ(SetPolyFillMode(dc, WINDING), ALTERNATE);
    EXPECT_EQ(CallLog(dc).back(), "SetPolyFillMode(2)");
    ASSERT_TRUE(Polygon(dc, star, 5));
    EXPECT_EQ(GetPixel(dc, 40, 32), kBlue);
    EXPECT_GT(Count(kBlue), alternate + 100);
    EXPECT_EQ(SetPolyFillMode(dc, 9), 0);
    EXPECT_EQ(GetPolyFillMode(dc), WINDING);
}

TEST_F(GdiPenPolygon, HollowBrushDrawsOnlyTheOutline)
{
    const POINT tri[3] = {{10, 10}, {50, 10}, {30, 40}};
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    SelectObject(dc, CreatePen(PS_SOLID, 1, kRed));
    ASSERT_TRUE(Polygon(dc, tri, 3));
    EXPECT_EQ(GetPixel(dc, 30, 10), kRed);
    EXPECT_EQ(GetPixel(dc, 30, 20), RGB(0, 0, 0));
    EXPECT_FALSE(Polygon(dc, tri, 1));
}

TEST_F(GdiPenPolygon, EllipseBoxesComeInEitherCornerOrder)
{
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    SelectObject(dc, CreatePen(PS_SOLID, 1, kRed));
    ASSERT_TRUE(Ellipse(dc, 30, 40, 50, 20));
    EXPECT_EQ(CallLog(dc).back(), "Ellipse(30,40,50,20)");
    EXPECT_EQ(GetPixel(dc, 40, 20), kRed);
    EXPECT_EQ(GetPixel(dc, 30, 30), kRed);
    EXPECT_EQ(Count(kRed) > 40, true);
}

TEST_F(GdiPenPolygon, FontsMadeFieldByFieldAndCenturyIsSerif)
{
    HFONT century = CreateFontA(-20, 0, 0, 0, FW_BOLD, 0, 1, 0, SHIFTJIS_CHARSET, OUT_TT_PRECIS,
                                CLIP_STROKE_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH | FF_ROMAN,
                                "Century");
    ASSERT_NE(century, nullptr);
    LOGFONTA lf{};
    ASSERT_EQ(GetObjectA(century, sizeof lf, &lf), int(sizeof lf));
    EXPECT_EQ(lf.lfHeight, -20);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfUnderline, 1);
    EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(lf.lfOutPrecision, OUT_TT_PRECIS);
    EXPECT_EQ(lf.lfClipPrecision, CLIP_STROKE_PRECIS);
    EXPECT_EQ(lf.lfQuality, DRAFT_QUALITY);
    EXPECT_EQ(lf.lfPitchAndFamily, VARIABLE_PITCH | FF_ROMAN);
    EXPECT_STREQ(lf.lfFaceName, "Century");
    HFONT serif = CreateFontA(-20, 0, 0, 0, FW_BOLD, 0, 1, 0, 0, 0, 0, 0, 0, "Serif");
    HFONT sans = CreateFontA(-20, 0, 0, 0, FW_BOLD, 0, 1, 0, 0, 0, 0, 0, 0, "Arial");
    const std::string long32(40, 'x');
    HFONT cut = CreateFontA(-20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, long32.c_str());
    ASSERT_EQ(GetObjectA(cut, sizeof lf, &lf), int(sizeof lf));
    EXPECT_EQ(std::string(lf.lfFaceName), long32.substr(0, LF_FACESIZE - 1));

    auto ink = [&](HFONT f) {
        SelectObject(dc, f);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, kRed);
        RECT all{0, 0, 80, 60};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        TextOutA(dc, 2, 2, "Rg", 2);
        std::string bits;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x)
                bits += GetPixel(dc, x, y) == kRed ? '1' : '0';
        return bits;
    };
    EXPECT_EQ(ink(century), ink(serif));
    EXPECT_NE(ink(century), ink(sans));
}

}  // namespace
