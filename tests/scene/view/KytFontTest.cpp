#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include <string>

#include "tests/support/scene/GlFixture.h"

namespace {

using KytFontTest = quor::test::GlFixture;

// Pixels lit after calling the list of `code` at raster position (10, 10) of a 48x48 window.
int LitAround(KytOgl& o, unsigned base, char code, int& litFar)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 48, 0, 48, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    glRasterPos2i(10, 10);
    glListBase(base);
    glCallLists(1, GL_UNSIGNED_BYTE, &code);
    o.SwapBuffers();
    int lit = 0;
    litFar = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            if (GetPixel(o.GetHdc(), x, y) != RGB(255, 255, 255))
                continue;
            // GL row 10 is window row 37 from the top; glyphs stand on it, to the right.
            const bool near = x >= 9 && x < 40 && y >= 5 && y <= 40;
            (near ? lit : litFar) += 1;
        }
    return lit;
}

TEST_F(KytFontTest, SystemFontBuildsListsThatDraw)
{
    KytOgl& o = Open(48, 48);
    KytFont* font = o.SetFont(nullptr, 12);
    ASSERT_NE(font, nullptr);
    ASSERT_NE(font->listBase, 0u);
    EXPECT_TRUE(glIsList(font->listBase + 'A'));
    EXPECT_TRUE(glIsList(font->listBase + 254));
    int far = 0;
    EXPECT_GT(LitAround(o, font->listBase, 'H', far), 10);
    EXPECT_EQ(far, 0);
    // The system font stays selected.
    EXPECT_EQ(o.GetHdc()->font, GetStockObject(SYSTEM_FONT));
    EXPECT_TRUE(MessageBoxes().empty());
    const unsigned base = font->listBase;
    font->DeleteLists();
    EXPECT_EQ(font->listBase, 0u);
    EXPECT_FALSE(glIsList(base + 'A'));
    delete font;
}

TEST_F(KytFontTest, NamedFontIsUsedThenDeselectedAndDeleted)
{
    KytOgl& o = Open(48, 48);
    HGDIOBJ before = o.GetHdc()->font;
    KytFont* font = o.SetFont(const_cast<char*>("Sans"), 12);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(o.GetHdc()->font, before);
    EXPECT_EQ(LiveGdiObjects(), 0);
    int far = 0;
    EXPECT_GT(LitAround(o, font->listBase, 'W', far), 10);
    font->DeleteLists();
    delete font;
}

struct FontFailure {
    const char* what;
    void (*inject)();
    bool noDc;
    const char* face;
    std::vector<std::string> texts;
    std::vector<std::string> captions;
};

class FontFailures : public quor::test::GlFixture,
                     public ::testing::WithParamInterface<FontFailure> {};

TEST_P(FontFailures, ShowTheirMessagesAndGiveNull)
{
    const FontFailure& c = GetParam();
    KytOgl& o = Open(16, 16);
    if (c.inject)
        c.inject();
    KytOgl noDc;
    KytOgl& target = c.noDc ? noDc : o;
    const int objects = LiveGdiObjects();
    KytFont* font = target.SetFont(const_cast<char*>(c.face), 10);
    EXPECT_EQ(font, nullptr) << c.what;
    ASSERT_EQ(MessageBoxes().size(), c.texts.size()) << c.what;
    for (size_t i = 0; i < c.texts.size(); ++i) {
        EXPECT_EQ(MessageBoxes()[i].text, c.texts[i]) << c.what;
        EXPECT_EQ(MessageBoxes()[i].caption, c.captions[i]) << c.what;
    }
    EXPECT_EQ(LiveGdiObjects(), objects) << c.what;
}

const char* kNoMemory = "Not enough memory resources are available to process this command.\r\n";

INSTANTIATE_TEST_SUITE_P(
    Paths, FontFailures,
    ::testing::Values(
        FontFailure{"no device context", nullptr, true, nullptr, {"SetupFont failed."}, {"Error"}},
        FontFailure{"font not created", [] { Inject().failCreateFont = true; }, false, "Sans",
                    {"NewFontCreate failed.", "SetupFont failed."}, {"Error", "Error"}},
        FontFailure{"bitmaps fail twice", [] { Inject().failUseFontBitmaps = 2; }, false, "Sans",
                    {kNoMemory, "SetupFont failed."}, {"Error", "Error"}},
        FontFailure{"bitmaps fail twice, system font", [] { Inject().failUseFontBitmaps = 2; },
                    false, nullptr, {kNoMemory, "SetupFont failed."}, {"Error", "Error"}}),
    [](const ::testing::TestParamInfo<FontFailure>& info) {
        std::string name;
        for (const char* c = info.param.what; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST_F(KytFontTest, OneFailedBitmapCallIsRetried)
{
    KytOgl& o = Open(16, 16);
    Inject().failUseFontBitmaps = 1;
    KytFont* font = o.SetFont(nullptr, 10);
    ASSERT_NE(font, nullptr);
    EXPECT_TRUE(MessageBoxes().empty());
    EXPECT_EQ(Stats().useFontBitmaps, 2);
    font->DeleteLists();
    delete font;
}

TEST_F(KytFontTest, FailureBoxesCarryTheirIconsAndOwners)
{
    KytOgl& o = Open(16, 16);
    Inject().failUseFontBitmaps = 2;
    EXPECT_EQ(o.SetFont(nullptr, 10), nullptr);
    ASSERT_EQ(MessageBoxes().size(), 2u);
    EXPECT_EQ(MessageBoxes()[0].owner, nullptr);
    EXPECT_EQ(MessageBoxes()[0].type, MB_ICONINFORMATION);
    EXPECT_EQ(MessageBoxes()[1].owner, wnd);
    EXPECT_EQ(MessageBoxes()[1].type, MB_ICONERROR);
}

TEST_F(KytFontTest, CopiesNeverFreeTheFontTwice)
{
    KytOgl& o = Open(16, 16);
    KytFont* font = o.SetFont(nullptr, 10);
    ASSERT_NE(font, nullptr);
    o.SetFontRecord(font);
    {
        KytOgl copy(o);
        EXPECT_EQ(copy.GetFont(), nullptr);
        EXPECT_EQ(copy.GetHglrc(), o.GetHglrc());
        KytOgl assigned;
        assigned = o;
        EXPECT_EQ(assigned.GetFont(), nullptr);
    }
    EXPECT_EQ(o.GetFont(), font);
    font->DeleteLists();
}

TEST_F(KytFontTest, ChangeFontSelectsTheDefaultGothicFace)
{
    KytOgl& o = Open(16, 16);
    HFONT old = o.ChangeFont();
    EXPECT_EQ(old, GetStockObject(SYSTEM_FONT));
    const LOGFONTA& lf = o.GetHdc()->font->lf;
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(std::string(lf.lfFaceName), "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e");
    // SelectObject of the context deletes what it replaces.
    o.SelectObject(GetStockObject(SYSTEM_FONT));
    EXPECT_EQ(LiveGdiObjects(), 0);
}

}  // namespace
