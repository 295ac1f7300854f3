#include "world/fx/SheetFile.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/BoundHost.h"
#include "tests/support/world/CommaLocale.h"
#include "tests/support/world/SheetFileWriter.h"

namespace quor::world {
namespace {

using test::SheetFileDesc;
using test::SheetLineForm;
using test::WriteSheetFile;

SheetFile Parse(const std::string& text, bool expectOk = true) {
    SheetFile s;
    s.texture = "untouched";
    EXPECT_EQ(ParseSheetText(text.data(), text.size(), s), expectOk) << text;
    return s;
}

TEST(SheetFile, EveryLineFormReadsTheSameValues) {
    SheetFileDesc d;
    d.columns = "4";
    d.rows = "2.5";
    d.third = "2";
    d.fourth = "3";
    d.texture = "fx/fire sheet.dds";
    d.length = "1500";
    d.loop = "0";
    for (SheetLineForm form : {SheetLineForm::kCrLf, SheetLineForm::kLf, SheetLineForm::kOneNumberPerLine,
                               SheetLineForm::kNoFinalLineEnd}) {
        const SheetFile s = Parse(WriteSheetFile(d, form));
        EXPECT_EQ(s.columns, 4.0f);
        EXPECT_EQ(s.rows, 2.5f);
        EXPECT_EQ(s.third, 2.0f);
        EXPECT_EQ(s.fourth, 3.0f);
        EXPECT_EQ(s.texture, "fx/fire sheet.dds");
        EXPECT_EQ(s.length, 1500.0f);
        EXPECT_FALSE(s.loop);
    }
}

TEST(SheetFile, NumbersReadTheSameUnderACommaLocale) {
    test::CommaLocale comma;
    if (!comma.Active()) GTEST_SKIP() << comma.Why();
    SheetFileDesc d;
    d.rows = "2.5";
    d.length = "12.75";
    const SheetFile s = Parse(WriteSheetFile(d));
    EXPECT_EQ(s.rows, 2.5f);
    EXPECT_EQ(s.length, 12.75f);
}

TEST(SheetFile, TextureLineRules) {
    struct Case {
        std::string text;
        std::string texture;
        float length;
        bool loop;
    };
    const std::string longName(300, 'a');
    const Case cases[] = {
        // The rest of the number line is skipped once, blank or a lone CR.
        {"4 4 1 4\r\n\r\ntex.dds\r\n500 1", "", 0.0f, true},
        {"4 4 1 4   \ntex.dds\n500 1", "tex.dds", 500.0f, true},
        // Text after the fourth number on its line is the texture name.
        {"4 4 1 4 tex.dds\n500 0", " tex.dds", 500.0f, false},
        // Long names are cut at 255 characters.
        {"1 1 1 1\n" + longName + "\r\n20 1", longName.substr(0, 255), 20.0f, true},
        // A missing length and flag keep their defaults; a flag other than 0 or 1 keeps looping.
        {"1 1 1 1\ntex.dds", "tex.dds", 0.0f, true},
        {"1 1 1 1\ntex.dds\n300 7", "tex.dds", 300.0f, true},
        {"1 1 1 1\ntex.dds\nx 0", "tex.dds", 0.0f, true},
    };
    for (const Case& c : cases) {
        const SheetFile s = Parse(c.text);
        EXPECT_EQ(s.texture, c.texture) << c.text;
        EXPECT_EQ(s.length, c.length) << c.text;
        EXPECT_EQ(s.loop, c.loop) << c.text;
    }
}

TEST(SheetFile, UnreadableLeadingNumbersFailAndLeaveTheTargetAlone) {
    const std::string bad[] = {"",      "4 4 1",          "4 4 1 x\ntex.dds\n", "nan 1 1 1\nt\n",
                               "inf 1 1 1\nt\n", "1e60 1 1 1\nt\n", "- 1 1 1\nt\n", std::string("4\0 4 1 1\nt", 10)};
    for (const std::string& text : bad) {
        const SheetFile s = Parse(text, false);
        EXPECT_EQ(s.texture, "untouched");
    }
    // Signs, exponents and fractions without leading digits read as the standard extraction does.
    const SheetFile s = Parse("+2 .5 -1e1 3.\nt\n");
    EXPECT_EQ(s.columns, 2.0f);
    EXPECT_EQ(s.rows, 0.5f);
    EXPECT_EQ(s.third, -10.0f);
    EXPECT_EQ(s.fourth, 3.0f);
}

TEST(SheetFile, SheetNamesByExtension) {
    EXPECT_TRUE(IsSheetName("a/b.spr"));
    EXPECT_TRUE(IsSheetName("a/b.EMS"));
    EXPECT_TRUE(IsSheetName("x.y.Spr"));
    EXPECT_FALSE(IsSheetName("b.dds"));
    EXPECT_FALSE(IsSheetName("spr"));
    EXPECT_FALSE(IsSheetName("b.sprx"));
    EXPECT_FALSE(IsSheetName(nullptr));
}

TEST(SheetFile, ReadsThroughTheResourceFileSystem) {
    auto files = std::make_unique<host::MemoryFileSystem>();
    files->AddFile("fx/a.spr", WriteSheetFile(SheetFileDesc{}));
    files->AddFile("fx/bad.spr", std::string("4 4"));
    test::BoundHost bound(std::move(files));
    SheetFile s;
    EXPECT_EQ(ReadSheetFile("FX\\A.SPR", s), SheetResult::kOk);
    EXPECT_EQ(s.texture, "fx/sheet.dds");
    EXPECT_EQ(ReadSheetFile("fx/none.spr", s), SheetResult::kMissing);
    EXPECT_EQ(ReadSheetFile("fx/bad.spr", s), SheetResult::kBadNumbers);
    EXPECT_EQ(ReadSheetFile(nullptr, s), SheetResult::kMissing);
}

TEST(SheetGrid, FrameRectanglesForAnyFrameCount) {
    // 8 x 6 = 48 frames, more than a fixed table of 40 would hold.
    const SheetGrid g(8.0f, 6.0f);
    EXPECT_EQ(g.FrameCount(), 48);
    float uv[8];
    g.FrameRect(47, uv);
    const float last[8] = {7 / 8.0f, 5 / 6.0f, 1.0f, 5 / 6.0f, 1.0f, 1.0f, 7 / 8.0f, 1.0f};
    for (int k = 0; k < 8; ++k) EXPECT_FLOAT_EQ(uv[k], last[k]) << k;
    g.FrameRect(48 + 9, uv);  // taken modulo the frame count: row 1, column 1
    EXPECT_FLOAT_EQ(uv[0], 1 / 8.0f);
    EXPECT_FLOAT_EQ(uv[1], 1 / 6.0f);
    g.FrameRect(-1, uv);
    EXPECT_FLOAT_EQ(uv[0], 7 / 8.0f);

    // Counts that give no grid become one cell; huge ones are limited.
    for (float bad : {0.0f, -3.0f, 0.5f, std::numeric_limits<float>::quiet_NaN()}) {
        const SheetGrid one(bad, bad);
        EXPECT_EQ(one.FrameCount(), 1);
        one.FrameRect(5, uv);
        EXPECT_EQ(uv[4], 1.0f);
        EXPECT_EQ(uv[5], 1.0f);
    }
    const SheetGrid huge(1e30f, 1e30f);
    EXPECT_EQ(huge.Columns(), SheetGrid::kMaxCells);
    EXPECT_EQ(huge.FrameCount(), int(SheetGrid::kMaxCells * SheetGrid::kMaxCells));
}

}  // namespace
}  // namespace quor::world
