#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/mfc/Afx.h"

using namespace quor::wgl;

namespace {

TEST(CStringTest, FormatsAndKeepsBytes)
{
    CString s;
    s.Format("%d-%s", 42, "x");
    EXPECT_EQ(s, "42-x");
    s.AppendFormat("%.1f", 1.5);
    EXPECT_EQ(s, "42-x1.5");
    const CString sjis("\x82\xa0\x41", 3);  // bytes pass through untouched
    EXPECT_EQ(sjis.GetLength(), 3);
    EXPECT_EQ(static_cast<unsigned char>(sjis.GetAt(0)), 0x82);
    EXPECT_EQ(s.Mid(3), "x1.5");
    EXPECT_EQ(s.Mid(1, 100), "2-x1.5");
    EXPECT_EQ(s.Find('x'), 3);
    CString r("a/b/c");
    EXPECT_EQ(r.Replace("/", "\\"), 2);
    EXPECT_EQ(r, "a\\b\\c");
}

TEST(CRectTest, Geometry)
{
    CRect r(10, 20, 4, 2);
    r.NormalizeRect();
    EXPECT_EQ(r, CRect(4, 2, 10, 20));
    EXPECT_EQ(r.Width(), 6);
    EXPECT_TRUE(r.PtInRect(CPoint(4, 2)));
    EXPECT_FALSE(r.PtInRect(CPoint(10, 2)));
    EXPECT_EQ(r.CenterPoint(), CPoint(7, 11));
}

TEST(CdcTest, FontsAndPensGoThroughTheDc)
{
    ResetStandIn();
    {
        HDC dc = CreateRecordingDC(100, 100, 96);
        CDC cdc;
        ASSERT_TRUE(cdc.Attach(dc));
        CFont font;
        ASSERT_TRUE(font.CreatePointFont(120, "Sans", &cdc));
        LOGFONTA lf{};
        font.GetLogFont(&lf);
        EXPECT_EQ(lf.lfHeight, -16);
        CPen pen(PS_DASH, 1, RGB(1, 2, 3));
        CFont* oldFont = cdc.SelectObject(&font);
        ASSERT_NE(oldFont, nullptr);
        EXPECT_EQ(oldFont->GetSafeHandle(), GetStockObject(SYSTEM_FONT));
        CPen* oldPen = cdc.SelectObject(&pen);
        cdc.MoveTo(1, 1);
        cdc.LineTo(5, 5);
        EXPECT_GT(cdc.GetTextExtent("abc", 3).cx, 0);
        cdc.SelectObject(oldPen);
        EXPECT_EQ(cdc.SelectObject(oldFont), &font);
        EXPECT_EQ(cdc.Detach(), dc);
        DeleteDC(dc);
    }
    EXPECT_EQ(LiveGdiObjects(), 0);
    ResetStandIn();
}

TEST(CdcTest, PolygonsFillModesAndFontsByFieldAreLogged)
{
    ResetStandIn();
    {
        HDC dc = CreateRecordingDC(100, 100, 300);
        CDC cdc;
        ASSERT_TRUE(cdc.Attach(dc));
        CFont font;
        const int height = MulDiv(11, -cdc.GetDeviceCaps(LOGPIXELSY), 72);
        ASSERT_TRUE(font.CreateFont(height, 0, 0, 0, FW_BOLD, 0, 1, 0, SHIFTJIS_CHARSET,
                                    OUT_TT_PRECIS, CLIP_STROKE_PRECIS, DRAFT_QUALITY,
                                    VARIABLE_PITCH | FF_ROMAN, "Century"));
        LOGFONTA lf{};
        font.GetLogFont(&lf);
        EXPECT_EQ(lf.lfHeight, -46);
        EXPECT_STREQ(lf.lfFaceName, "Century");
        EXPECT_EQ(cdc.SetPolyFillMode(WINDING), ALTERNATE);
        EXPECT_EQ(cdc.GetPolyFillMode(), WINDING);
        const POINT tri[3] = {{1, 2}, {3, 4}, {5, 6}};
        EXPECT_TRUE(cdc.Polygon(tri, 3));
        const auto& log = CallLog(dc);
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[log.size() - 2], "SetPolyFillMode(2)");
        EXPECT_EQ(log.back(), "Polygon(1,2,3,4,5,6)");
        cdc.Detach();
        DeleteDC(dc);
    }
    EXPECT_EQ(LiveGdiObjects(), 0);
    ResetStandIn();
}

TEST(CFileTest, WritesAndThrowsPointers)
{
    const std::string path = std::string(QUOR_BINARY_DIR) + "/cfile_test.bin";
    {
        CFile f(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        f.Write("abc", 3);
    }
    std::FILE* in = std::fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    char buf[4] = {};
    EXPECT_EQ(std::fread(buf, 1, 4, in), 3u);
    std::fclose(in);
    std::remove(path.c_str());
    bool caught = false;
    try {
        CFile bad("/nonexistent-dir/x.bin", CFile::modeCreate | CFile::modeWrite);
    } catch (CFileException* e) {
        caught = true;
        e->Delete();
    }
    EXPECT_TRUE(caught);
}

TEST(CFileTest, WritesToAFullDeviceThrowAtTheWrite)
{
    // /dev/full opens, then refuses every byte: each write fails where it is made, even one
    // small enough for a buffer, and the file closes quietly after the failure.
    struct Case {
        unsigned size;
    } cases[] = {{1}, {14}, {70000}};
    std::vector<char> data(70000, 'x');
    for (const Case& c : cases) {
        CFile f;
        ASSERT_TRUE(f.Open("/dev/full", CFile::modeCreate | CFile::modeWrite));
        int cause = -1;
        try {
            f.Write(data.data(), c.size);
        } catch (CFileException* e) {
            cause = e->m_cause;
            e->Delete();
        }
        EXPECT_EQ(cause, CFileException::diskFull) << c.size;
        f.Close();
        EXPECT_FALSE(f.IsOpen());
    }
}

}  // namespace
