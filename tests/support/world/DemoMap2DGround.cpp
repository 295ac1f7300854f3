// The sample map's ground: the 256 x 256 blocks named after the map path ("map2d/town\map_R_C"),
// written as DDS, JPEG and TGA in turn with one block left out (the loader logs it and shows a
// blank block), and the masks over two houses in the map's "mask.txt".
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/world/DemoMap2D.h"
#include "tests/support/world/scene/MapFixtures.h"

namespace quor::test {

namespace {

constexpr int kSide = 256;
// The block left out: in the middle of the map, so the view passes over it.
constexpr int kMissingRow = 2, kMissingColumn = 3;

std::uint32_t Rgb(int r, int g, int b) {
    auto c = [](int v) { return std::uint32_t(v < 0 ? 0 : v > 255 ? 255 : v); };
    return 0xFF000000u | c(r) << 16 | c(g) << 8 | c(b);
}

// The ground at map pixel (x, y): grass with speckles, two sandy streets crossing at the
// gate, the paved market, the town wall's stone strip and the river in the east.
std::uint32_t Ground(int x, int y) {
    const unsigned h = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u;
    const int speckle = int((h >> 7) % 24) - 12;
    if (x >= 1440 && x < 1504) return Rgb(40, 80 + speckle / 2, 170);
    if (x >= 1428 && x < 1516) return Rgb(150 + speckle, 135 + speckle, 95);  // river banks
    if (y >= 560 && y < 592) return Rgb(120 + speckle, 118 + speckle, 112 + speckle);
    if (x >= 560 && x < 1040 && y >= 620 && y < 780) {
        const bool joint = x % 24 == 0 || y % 24 == 0;
        return joint ? Rgb(110, 104, 92) : Rgb(168 + speckle, 160 + speckle, 140 + speckle);
    }
    const bool street = (y >= 420 && y < 468) || (y >= 940 && y < 988) || (x >= 776 && x < 824);
    if (street) return Rgb(190 + speckle, 165 + speckle, 115 + speckle);
    const int patch = int(12.0 * std::sin(x * 0.021) * std::cos(y * 0.017));
    return Rgb(70 + speckle + patch, 128 + speckle + patch, 52 + speckle / 2);
}

std::vector<std::uint32_t> BlockPixels(int row, int column) {
    std::vector<std::uint32_t> argb(std::size_t(kSide) * kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            argb[std::size_t(y) * kSide + std::size_t(x)] = Ground(column * kSide + x, row * kSide + y);
    return argb;
}

// An 8-bit mask bitmap: palette 1 (green 0, opaque) where the mask covers, 0 (clear) elsewhere;
// the mask covers the upper `cover` rows.
std::vector<std::uint8_t> MaskBitmap(int width, int height, int cover) {
    fixtures::Bitmap8 map;
    map.width = width;
    map.height = height;
    map.palette = {0x00FFFFFFu, 0xFF000000u};
    map.pixels.assign(std::size_t(width) * std::size_t(height), 0);
    // Rows are stored bottom-up.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (y < cover) map.pixels[std::size_t(height - 1 - y) * std::size_t(width) + std::size_t(x)] = 1;
    return map.Build();
}

}  // namespace

void AddTownGround(Map2DSample& s) {
    // The scene file's MapBlock (MapPath and size) names the block directory; the blocks are
    // looked for as ".dds", ".jpg", then ".tga".
    const int columns = (s.width + kSide - 1) / kSide, rows = (s.height + kSide - 1) / kSide;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            if (r == kMissingRow && c == kMissingColumn) continue;
            const std::string stem = s.mapPath + "/map_" + std::to_string(r) + "_" + std::to_string(c);
            const std::vector<std::uint32_t> pixels = BlockPixels(r, c);
            switch ((r * columns + c) % 3) {
            case 0: s.Add(stem + ".dds", Dds32(kSide, kSide, pixels)); break;
            case 1: s.Add(stem + ".jpg", Jpeg32(kSide, kSide, pixels)); break;
            default: s.Add(stem + ".tga", Tga32(kSide, kSide, pixels)); break;
            }
        }

    // Masks over the first two houses' roofs: a group of two ("roof_0", "roof_1" share the group
    // "roof") over the first, a plain one over the second.
    s.Add("map2d/mask/roof_0.bmp", MaskBitmap(48, 40, 32));
    s.Add("map2d/mask/roof_1.bmp", MaskBitmap(48, 40, 32));
    s.Add("map2d/mask/chimney.bmp", MaskBitmap(96, 40, 32));
    s.maskLines.push_back("map2d/mask/roof_0.bmp,200,200,48,40,0");
    s.maskLines.push_back("map2d/mask/roof_1.bmp,248,200,48,40,0");
    s.maskLines.push_back("map2d/mask/chimney.bmp,500,240,96,40,0");
}

}  // namespace quor::test
