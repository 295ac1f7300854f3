#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d9/PictureDecode.h"
#include "tests/support/world/scene/GroundFiles.h"
#include "tests/support/world/scene/MapFixtures.h"

namespace quor::d3d9 {
namespace {

std::vector<std::uint8_t> Dds(std::uint32_t w, std::uint32_t h) {
    return fixtures::DdsBytes(w, h, [](std::uint32_t x, std::uint32_t y) { return 0x80000000u | (x << 8) | y; });
}

TEST(PictureDecode, ArgbDdsAndOtherPictures) {
    DecodedPicture p;
    const auto dds = Dds(3, 2);
    ASSERT_TRUE(DecodePicture(dds.data(), dds.size(), p));
    EXPECT_EQ(p.width, 3u);
    EXPECT_EQ(p.height, 2u);
    // Pixel (2, 1): blue 1, green 2, red 0, alpha 0x80.
    EXPECT_EQ(std::vector<std::uint8_t>(p.bgra.begin() + 20, p.bgra.begin() + 24),
              (std::vector<std::uint8_t>{1, 2, 0, 0x80}));
    const auto tga = fixtures::TgaBytes(2, 2, [](std::uint32_t, std::uint32_t) { return 0x11223344u; });
    ASSERT_TRUE(DecodePicture(tga.data(), tga.size(), p));
    EXPECT_EQ(std::vector<std::uint8_t>(p.bgra.begin(), p.bgra.begin() + 4),
              (std::vector<std::uint8_t>{0x44, 0x33, 0x22, 0x11}));
}

// 8-bit bitmaps: a palette with alpha in its fourth bytes gives each pixel its entry's alpha
// (rows stored bottom-up), one with all zero stays opaque.
TEST(PictureDecode, PaletteBitmapTakesThePaletteAlpha) {
    struct Case {
        std::vector<std::uint32_t> palette;
        std::vector<std::uint8_t> alphas;  // pixels (0, 0), (1, 0), (0, 1), (1, 1)
    };
    const Case cases[] = {{{0x00FFFFFFu, 0xFF000000u, 0x80102030u}, {0x00, 0xFF, 0x80, 0x00}},
                          {{0x00FFFFFFu, 0x00000000u, 0x00102030u}, {0xFF, 0xFF, 0xFF, 0xFF}}};
    for (const Case& c : cases) {
        fixtures::Bitmap8 bitmap;
        bitmap.width = 2;
        bitmap.height = 2;
        bitmap.palette = c.palette;
        bitmap.pixels = {0, 1, 2, 0};
        const std::vector<std::uint8_t> bytes = bitmap.Build();
        DecodedPicture p;
        ASSERT_TRUE(DecodePicture(bytes.data(), bytes.size(), p));
        ASSERT_EQ(p.bgra.size(), 16u);
        for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(p.bgra[i * 4 + 3], c.alphas[i]) << i;
        // The colour is the palette's: pixel (0, 1) is entry 2.
        EXPECT_EQ(p.bgra[8], 0x30);
        EXPECT_EQ(p.bgra[10], 0x10);
    }
}

TEST(PictureDecode, BadDdsIsRefused) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    auto patched = [](std::size_t at, std::uint32_t value) {
        auto b = Dds(4, 4);
        std::memcpy(&b[at], &value, 4);
        return b;
    };
    auto truncated = Dds(4, 4);
    truncated.resize(truncated.size() - 1);
    auto header = Dds(4, 4);
    header.resize(100);
    auto magic = Dds(4, 4);
    magic[0] = 'X';
    const Case cases[] = {{"pixels cut short", truncated},   {"header cut short", header},
                          {"wrong magic", magic},             {"compressed", patched(80, 0x4)},
                          {"24 bits", patched(88, 24)},       {"other masks", patched(92, 0xFF)},
                          {"zero width", patched(16, 0)},     {"huge height", patched(12, 0x7FFFFFFF)},
                          {"header size", patched(4, 7)}};
    for (const Case& c : cases) {
        DecodedPicture p;
        std::string why;
        EXPECT_FALSE(DecodePicture(c.bytes.data(), c.bytes.size(), p, &why)) << c.what;
        EXPECT_FALSE(why.empty()) << c.what;
        EXPECT_TRUE(p.bgra.empty()) << c.what;
    }
    DecodedPicture p;
    const std::uint8_t junk[] = {1, 2, 3, 4, 5};
    EXPECT_FALSE(DecodePicture(junk, sizeof junk, p));
    EXPECT_FALSE(DecodePicture(nullptr, 0, p));
}

}  // namespace
}  // namespace quor::d3d9
