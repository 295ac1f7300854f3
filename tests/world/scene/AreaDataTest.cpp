#include "world/scene/AreaData.h"

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/BoundHost.h"
#include "tests/support/world/scene/MapFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using quor::AreaData;
using quor::AreaRun;
using quor::fixtures::Bitmap8;
using quor::fixtures::TestPalette;

bool Load(AreaData& area, const Bitmap8& bmp) {
    const auto bytes = bmp.Build();
    return area.LoadFromMemory(bytes.data(), bytes.size(), "test.bmp");
}

void ExpectRuns(const AreaData& area, std::int32_t y, const std::vector<std::pair<int, int>>& runs) {
    const auto row = area.Row(y);
    ASSERT_EQ(row.size(), runs.size()) << "row " << y;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(row[i].value, runs[i].first) << "row " << y << " run " << i;
        EXPECT_EQ(row[i].length, runs[i].second) << "row " << y << " run " << i;
    }
}

// A 5 x 3 picture whose rows differ, so that a flipped load shows.
Bitmap8 SmallPicture() {
    Bitmap8 bmp;
    bmp.width = 5;
    bmp.height = 3;
    bmp.pixels = {1, 1, 1, 2, 2,
                  0, 3, 3, 3, 0,
                  4, 4, 4, 4, 4};
    bmp.palette = TestPalette(8);
    return bmp;
}

TEST(AreaData, RowsAreRunLengthEncoded) {
    Bitmap8 bmp;
    bmp.width = 4;
    bmp.height = 1;
    bmp.pixels = {3, 3, 5, 3};
    bmp.palette = TestPalette(6);
    AreaData area;
    ASSERT_TRUE(Load(area, bmp));
    ExpectRuns(area, 0, {{3, 2}, {5, 1}, {3, 1}});
    EXPECT_EQ(area.GetValue(2, 0), static_cast<std::int32_t>(bmp.palette[5]));
    EXPECT_EQ(area.GetValue(0, 0), static_cast<std::int32_t>(bmp.palette[3]));
    EXPECT_EQ(area.GetValue(3, 0), static_cast<std::int32_t>(bmp.palette[3]));
}

TEST(AreaData, GetValueMatchesThePictureAndAnswersZeroOutside) {
    const Bitmap8 bmp = SmallPicture();
    AreaData area;
    ASSERT_TRUE(Load(area, bmp));
    EXPECT_EQ(area.Width(), 5);
    EXPECT_EQ(area.Height(), 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(area.GetValue(x, y), static_cast<std::int32_t>(bmp.palette[bmp.pixels[y * 5 + x]])) << x << "," << y;
        }
    }
    const std::pair<int, int> outside[] = {{-1, 0}, {5, 0}, {0, -1}, {0, 3}, {-100000, 1}, {1, 1 << 30}};
    for (auto [x, y] : outside) EXPECT_EQ(area.GetValue(x, y), 0) << x << "," << y;
    ExpectRuns(area, 1, {{0, 1}, {3, 3}, {0, 1}});
}

TEST(AreaData, NegativeHeightLoadsUpsideDown) {
    Bitmap8 bmp = SmallPicture();
    bmp.height = -3;  // stored top row first, still read as the bottom row
    AreaData area;
    ASSERT_TRUE(Load(area, bmp));
    EXPECT_EQ(area.Height(), 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(area.GetValue(x, y), static_cast<std::int32_t>(bmp.palette[bmp.pixels[(2 - y) * 5 + x]]));
        }
    }
}

TEST(AreaData, ColoursUsedZeroReads256Entries) {
    Bitmap8 bmp = SmallPicture();
    bmp.palette = TestPalette(256);
    bmp.colorsUsed = 0;
    bmp.pixels[0] = 255;
    AreaData area;
    ASSERT_TRUE(Load(area, bmp));
    EXPECT_EQ(area.Palette().size(), 256u);
    EXPECT_EQ(area.GetValue(0, 0), static_cast<std::int32_t>(bmp.palette[255]));
}

TEST(AreaData, IndexWithoutPaletteEntryAnswersZero) {
    Bitmap8 bmp = SmallPicture();
    bmp.palette = TestPalette(3);  // indices 3 and 4 have no entry
    AreaData area;
    ASSERT_TRUE(Load(area, bmp));
    EXPECT_EQ(area.GetValue(0, 2), 0);
    EXPECT_EQ(area.GetValue(1, 1), 0);
    EXPECT_EQ(area.GetValue(3, 0), static_cast<std::int32_t>(bmp.palette[2]));
}

TEST(AreaData, PaletteFollowsALargerInformationHeader) {
    Bitmap8 bmp = SmallPicture();
    bmp.infoSize = 124;
    AreaData area;
    ASSERT_TRUE(Load(area, bmp));
    EXPECT_EQ(area.GetValue(3, 0), static_cast<std::int32_t>(bmp.palette[2]));
}

TEST(AreaData, RowsWiderThanARunSplitTheirRuns) {
    Bitmap8 bmp;
    bmp.width = 70000;
    bmp.height = 1;
    bmp.pixels.assign(70000, 1);
    bmp.pixels[69999] = 2;
    bmp.palette = TestPalette(4);
    AreaData area;
    ASSERT_TRUE(Load(area, bmp));
    ExpectRuns(area, 0, {{1, 65535}, {1, 4464}, {2, 1}});
    EXPECT_EQ(area.GetValue(65534, 0), static_cast<std::int32_t>(bmp.palette[1]));
    EXPECT_EQ(area.GetValue(65535, 0), static_cast<std::int32_t>(bmp.palette[1]));
    EXPECT_EQ(area.GetValue(69999, 0), static_cast<std::int32_t>(bmp.palette[2]));
}

TEST(AreaData, RandomPicturesMatchDirectIndexing) {
    std::uint32_t state = 1;
    auto next = [&state] {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    };
    for (int round = 0; round < 40; ++round) {
        Bitmap8 bmp;
        bmp.width = 1 + next() % 37;
        bmp.height = 1 + next() % 19;
        const int colours = 1 + next() % 6;
        for (int i = 0; i < bmp.width * bmp.height; ++i) {
            // Mostly repeats, so that rows hold runs of every length.
            const int v = next() % 4 == 0 ? next() % colours : (i ? bmp.pixels.back() : 0);
            bmp.pixels.push_back(static_cast<std::uint8_t>(v));
        }
        bmp.palette = TestPalette(static_cast<std::size_t>(colours));
        AreaData area;
        ASSERT_TRUE(Load(area, bmp));
        for (int y = 0; y < bmp.height; ++y) {
            int total = 0;
            for (const AreaRun& run : area.Row(y)) total += run.length;
            EXPECT_EQ(total, bmp.width);
            for (int x = 0; x < bmp.width; ++x) {
                ASSERT_EQ(area.GetValue(x, y), static_cast<std::int32_t>(bmp.palette[bmp.pixels[y * bmp.width + x]]))
                    << "round " << round << " at " << x << "," << y;
            }
        }
    }
}

TEST(AreaData, EveryTruncatedPrefixIsRefused) {
    const auto bytes = SmallPicture().Build();
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        AreaData area;
        const std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(area.LoadFromMemory(prefix.data(), prefix.size(), "cut.bmp")) << n;
        EXPECT_FALSE(area.IsLoaded());
        EXPECT_EQ(area.GetValue(0, 0), 0);
    }
}

TEST(AreaData, BadHeadersAreRefused) {
    // Each case patches one header field of a valid file in place.
    struct Case {
        const char* what;
        std::size_t offset, size;
        std::uint32_t value;
    } cases[] = {
        {"magic", 0, 2, 0x4D58},
        {"short information header", 14, 4, 12},
        {"zero width", 18, 4, 0},
        {"negative width", 18, 4, static_cast<std::uint32_t>(-5)},
        {"zero height", 22, 4, 0},
        {"rows beyond the file", 22, 4, 4},
        {"huge height", 22, 4, 0x7FFFFFFF},
        {"lowest height", 22, 4, 0x80000000u},
        {"24 bits", 28, 2, 24},
        {"4 bits", 28, 2, 4},
        {"run-length compressed", 30, 4, 1},
        {"257 colours", 46, 4, 257},
        {"colours beyond the file", 46, 4, 200},
        {"pixels beyond the file", 10, 4, 0xFFFFFFFFu},
        {"pixels at the end", 10, 4, 0},  // patched below to the file size
    };
    const auto good = SmallPicture().Build();
    for (const Case& c : cases) {
        auto bytes = good;
        std::uint32_t value = c.value;
        if (std::string(c.what) == "pixels at the end") value = static_cast<std::uint32_t>(bytes.size() - 10);
        for (std::size_t i = 0; i < c.size; ++i) bytes[c.offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        AreaData area;
        EXPECT_FALSE(area.LoadFromMemory(bytes.data(), bytes.size(), "bad.bmp")) << c.what;
        EXPECT_EQ(area.GetValue(0, 0), 0) << c.what;
    }
}

TEST(AreaData, FailedLoadKeepsTheEarlierMap) {
    const Bitmap8 bmp = SmallPicture();
    AreaData area;
    ASSERT_TRUE(Load(area, bmp));
    Bitmap8 bad = bmp;
    bad.bitCount = 24;
    EXPECT_FALSE(Load(area, bad));
    EXPECT_EQ(area.GetValue(3, 0), static_cast<std::int32_t>(bmp.palette[2]));
}

}  // namespace

namespace {

TEST(AreaData, LoadsThroughTheResourceFileSystem) {
    auto files = std::make_unique<quor::host::MemoryFileSystem>();
    auto* memory = files.get();
    const Bitmap8 bmp = SmallPicture();
    memory->AddFile("maps/mask.bmp", bmp.Build());
    quor::test::BoundHost bound(std::move(files));
    AreaData area;
    ASSERT_TRUE(area.LoadFromBitmap("MAPS\\Mask.bmp"));
    EXPECT_EQ(area.GetValue(4, 0), static_cast<std::int32_t>(bmp.palette[2]));
    EXPECT_EQ(memory->OpenFileCount(), 0);  // closed again
}

TEST(AreaData, MissingFileLogsTheErrorAndStaysEmpty) {
    quor::test::BoundHost bound;
    bound.host.log.Clear();
    AreaData area;
    EXPECT_FALSE(area.LoadFromBitmap("maps\\none.bmp"));
    EXPECT_FALSE(area.IsLoaded());
    EXPECT_EQ(area.GetValue(0, 0), 0);
    bool logged = false;
    for (const auto& e : bound.host.log.Entries()) logged = logged || e.text == "[ERROR] 遮罩贴图： maps\\none.bmp 不存在!";
    EXPECT_TRUE(logged);
}

TEST(AreaData, BadFileLogsWhyAndIsClosed) {
    auto files = std::make_unique<quor::host::MemoryFileSystem>();
    auto* memory = files.get();
    auto bytes = SmallPicture().Build();
    bytes[28] = 24;  // 24 bits per pixel
    memory->AddFile("bad.bmp", bytes);
    quor::test::BoundHost bound(std::move(files));
    bound.host.log.Clear();
    AreaData area;
    EXPECT_FALSE(area.LoadFromBitmap("bad.bmp"));
    EXPECT_EQ(memory->OpenFileCount(), 0);
    bool logged = false;
    for (const auto& e : bound.host.log.Entries()) logged = logged || e.text.rfind("[ERROR] area map bad.bmp", 0) == 0;
    EXPECT_TRUE(logged);
}

}  // namespace
