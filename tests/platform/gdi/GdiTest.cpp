#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"

namespace {

using namespace quor::gdi;

TEST(GdiCodePage, Gbk) {
    EXPECT_EQ(GetACP(), 936u);
    struct Case {
        std::string bytes;
        std::uint32_t codePage;
        std::u16string wide;  // empty: refused
    };
    const Case cases[] = {
        {"a\xD6\xD0", 936, u"a\u4E2D"},
        {"\xC4\xE7", CP_ACP, u"\u6EBA"},
        {"\xD6", 936, u""},        // a lone lead byte is no character
        {"\xD6\xD0", 1252, u""},   // another code page
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        WCHAR out[8] = {};
        const int n = MultiByteToWideChar(c.codePage, MB_PRECOMPOSED, c.bytes.data(), int(c.bytes.size()), out, 8);
        EXPECT_EQ(std::u16string(out, std::size_t(n)), c.wide);
    }
    WCHAR out[4];
    EXPECT_EQ(MultiByteToWideChar(936, 0, "ab", -1, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(936, 0, "abc", 3, out, 2), 0);
}

TEST(GdiGlyphs, OutlinesInBothFormats) {
    const int live = LiveObjects();
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontA(16, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY, VARIABLE_PITCH,
                             "any face");
    ASSERT_NE(font, nullptr);
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS gm;
    EXPECT_EQ(GetGlyphOutlineW(dc, u'\u4E2D', GGO_GRAY8_BITMAP, &gm, 0, nullptr, &identity), GDI_ERROR);  // no font
    EXPECT_EQ(SelectObject(dc, font), nullptr);
    TEXTMETRICA tm;
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_NEAR(tm.tmHeight, 16, 1);
    std::int32_t advance = 0;
    for (std::uint32_t format : {GGO_GRAY8_BITMAP, GGO_BITMAP}) {
        SCOPED_TRACE(format);
        const std::uint32_t size = GetGlyphOutlineW(dc, u'\u4E2D', format, &gm, 0, nullptr, &identity);
        ASSERT_NE(size, GDI_ERROR);
        const std::uint32_t pitch = format == GGO_BITMAP ? (gm.gmBlackBoxX + 31) / 32 * 4 : (gm.gmBlackBoxX + 3) / 4 * 4;
        EXPECT_EQ(size, pitch * gm.gmBlackBoxY);
        std::vector<std::uint8_t> buffer(size);
        EXPECT_EQ(GetGlyphOutlineW(dc, u'\u4E2D', format, &gm, size - 1, buffer.data(), &identity), GDI_ERROR);
        ASSERT_EQ(GetGlyphOutlineW(dc, u'\u4E2D', format, &gm, size, buffer.data(), &identity), size);
        if (format == GGO_GRAY8_BITMAP) advance = gm.gmCellIncX;
        if (format == GGO_GRAY8_BITMAP) {
            for (std::uint8_t level : buffer) EXPECT_LE(level, 64);
        }
        EXPECT_EQ(GetGlyphOutlineW(dc, u'\u4E2D', format, &gm, size, buffer.data(), nullptr), GDI_ERROR);
    }
    // A character the face lacks.
    EXPECT_EQ(GetGlyphOutlineW(dc, 0xE000, GGO_BITMAP, &gm, 0, nullptr, &identity), GDI_ERROR);
    SIZE extent;
    const WCHAR two[2] = {u'\u4E2D', u'\u4E2D'};
    ASSERT_TRUE(GetTextExtentPoint32W(dc, two, 2, &extent));
    EXPECT_EQ(extent.cx, 2 * advance);
    EXPECT_EQ(extent.cy, tm.tmHeight);
    DeleteDC(dc);
    DeleteObject(font);
    EXPECT_EQ(LiveObjects(), live);
    FailFontCreation(true);
    EXPECT_EQ(CreateFontA(16, 0, 0, 0, 400, 0, 0, 0, 1, 0, 0, 4, 2, "x"), nullptr);
    FailFontCreation(false);
}

}  // namespace
