// The sample map's ground: the 256 x 256 blocks named after the map path ("map2d/town\map_R_C"),
// written as DDS, JPEG and TGA in turn with one block left out (the loader logs it and shows a
// blank block); the masks of the map's "mask.txt" over what the ground picture shows standing
// up (an old oak's crown, the bridge over the river) and a walker standing behind the oak.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/world/DemoMap2D.h"
#include "tests/support/world/scene/MapFixtures.h"

namespace quor::test {

namespace {

constexpr int kSide = 256;
// The block left out: in the middle of the map, so the view passes over it.
constexpr int kMissingRow = 2, kMissingColumn = 3;

// The old oak south of the east road: its crown, painted into the ground, hides what stands
// behind it (north of its trunk). Two masks of one group cover its halves.
constexpr int kOakX = 1080, kOakY = 1090, kOakRadius = 80;
// The wooden bridge where the east road crosses the river: drawn again over the water.
constexpr int kBridgeLeft = 1428, kBridgeTop = 932, kBridgeRight = 1516, kBridgeBottom = 996;

bool InCrown(int x, int y) {
    const int dx = x - kOakX, dy = y - kOakY;
    return dx * dx + dy * dy < kOakRadius * kOakRadius;
}

std::uint32_t Rgb(int r, int g, int b) {
    auto c = [](int v) { return std::uint32_t(v < 0 ? 0 : v > 255 ? 255 : v); };
    return 0xFF000000u | c(r) << 16 | c(g) << 8 | c(b);
}

// The ground at map pixel (x, y): grass with speckles, two sandy streets crossing at the
// gate, the paved market, the town wall's stone strip and the river in the east.
std::uint32_t Ground(int x, int y) {
    const unsigned h = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u;
    const int speckle = int((h >> 7) % 24) - 12;
    if (InCrown(x, y)) {
        // Leaf clusters, darker towards the rim and lit from the top left.
        const int dx = x - kOakX, dy = y - kOakY;
        const int cluster = int(18.0 * std::sin(x * 0.19) * std::sin(y * 0.23));
        const int light = -(dx + dy) / 6 - (dx * dx + dy * dy) / 400;
        return Rgb(38 + speckle + cluster + light, 96 + speckle + cluster + light, 30 + speckle / 2 + light / 2);
    }
    if (x >= kOakX - 7 && x < kOakX + 7 && y >= kOakY && y < kOakY + kOakRadius + 24)
        return Rgb(92 + speckle / 2, 62 + speckle / 2, 34);  // the trunk below the crown
    if (x >= kBridgeLeft && x < kBridgeRight && y >= kBridgeTop && y < kBridgeBottom) {
        const bool rail = y < kBridgeTop + 6 || y >= kBridgeBottom - 6;
        const bool joint = (x - kBridgeLeft) % 11 == 0;
        return rail ? Rgb(88, 56, 30) : joint ? Rgb(110, 76, 42) : Rgb(160 + speckle, 116 + speckle, 66);
    }
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

// An 8-bit mask bitmap of the map rectangle (left, top, width, height): palette 1 (green 0,
// opaque) where the mask covers, 0 (clear) elsewhere. The mask is drawn through the
// palette's alpha and tells what stands behind it by the green byte.
template <typename Covers>
std::vector<std::uint8_t> MaskBitmap(int left, int top, int width, int height, Covers covers) {
    fixtures::Bitmap8 map;
    map.width = width;
    map.height = height;
    map.palette = {0x00FFFFFFu, 0xFF000000u};
    map.pixels.assign(std::size_t(width) * std::size_t(height), 0);
    // Rows are stored bottom-up.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (covers(left + x, top + y))
                map.pixels[std::size_t(height - 1 - y) * std::size_t(width) + std::size_t(x)] = 1;
    return map.Build();
}

std::string MaskLine(const std::string& path, int left, int top, int width, int height) {
    return path + "," + std::to_string(left) + "," + std::to_string(top) + "," + std::to_string(width) + "," +
           std::to_string(height) + ",0";
}

// A walker seen from the south: dark hair, a red tunic, blue legs, on a clear background.
std::vector<std::uint32_t> Walker(int width, int height) {
    std::vector<std::uint32_t> p(std::size_t(width) * std::size_t(height), 0);
    auto put = [&](int x, int y, std::uint32_t argb) { p[std::size_t(y) * std::size_t(width) + std::size_t(x)] = argb; };
    const float cx = float(width - 1) / 2.0f;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float dx = float(x) - cx;
            const float head = std::hypot(dx, float(y) - 9.0f);
            if (head < 7.5f) put(x, y, y < 6 ? 0xFF3A2414u : 0xFFF0C8A0u);
            else if (y >= 17 && y < 42 && std::fabs(dx) < 11.0f - float(y - 17) / 8.0f)
                put(x, y, std::fabs(dx) > 8.5f ? 0xFF801010u : 0xFFD02828u);
            else if (y >= 42 && std::fabs(dx) >= 1.5f && std::fabs(dx) < 7.0f)
                put(x, y, y >= height - 4 ? 0xFF302010u : 0xFF2848A0u);
        }
    return p;
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

    // The oak's crown: a group of two ("oak_0", "oak_1" share the group "oak"), its west and
    // east halves, each over four blocks. The bridge: a plain mask, drawn over the water.
    const int top = kOakY - kOakRadius, side = 2 * kOakRadius;
    for (int half = 0; half < 2; ++half) {
        const std::string path = "map2d/mask/oak_" + std::to_string(half) + ".bmp";
        const int left = kOakX - kOakRadius + half * kOakRadius;
        s.Add(path, MaskBitmap(left, top, kOakRadius, side, InCrown));
        s.maskLines.push_back(MaskLine(path, left, top, kOakRadius, side));
    }
    const int bridgeWidth = kBridgeRight - kBridgeLeft, bridgeHeight = kBridgeBottom - kBridgeTop;
    s.Add("map2d/mask/bridge.bmp",
          MaskBitmap(kBridgeLeft, kBridgeTop, bridgeWidth, bridgeHeight, [](int, int) { return true; }));
    s.maskLines.push_back(MaskLine("map2d/mask/bridge.bmp", kBridgeLeft, kBridgeTop, bridgeWidth, bridgeHeight));

    // The walker stands behind the oak, just inside its crown's north rim: the mask hides what
    // the crown covers and his head and shoulders show above it. A picture that takes part in
    // the masks carries Occlusion; its position (its centre) decides whether it is behind.
    constexpr int kWalkerWidth = 32, kWalkerHeight = 64;
    s.Add("map2d/pic/walker.tga", Tga32(kWalkerWidth, kWalkerHeight, Walker(kWalkerWidth, kWalkerHeight)));
    const int walker = s.scene.AddFile("map2d/pic/walker.tga");
    const float x = float(kOakX - 20), y = float(kOakY - kOakRadius + 6);
    char bound[256];
    std::snprintf(bound, sizeof bound,
                  "Name=\"walker\" Position=\"%g,%g\" boundingMax=\"%g,%g\" boundingMin=\"%g,%g\" EffectLevel=\"0\" "
                  "Occlusion=\"true\"",
                  double(x), double(y), double(x) + kWalkerWidth / 2, double(y) + kWalkerHeight / 2,
                  double(x) - kWalkerWidth / 2, double(y) - kWalkerHeight / 2);
    s.scene.Model(walker, bound);
}

}  // namespace quor::test
