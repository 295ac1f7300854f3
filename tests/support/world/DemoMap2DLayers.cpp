// The sample map's parallax layers (a back layer of hills, a front layer of leaves) and its
// water (the river's base texture and normal map).
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/world/DemoMap2D.h"

namespace quor::test {

namespace {

std::uint32_t Argb(int a, int r, int g, int b) {
    auto c = [](int v) { return std::uint32_t(v < 0 ? 0 : v > 255 ? 255 : v); };
    return c(a) << 24 | c(r) << 16 | c(g) << 8 | c(b);
}

// Hills against the sky: opaque, bluish with distance.
std::vector<std::uint32_t> Hills(int width, int height) {
    std::vector<std::uint32_t> p(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double ridge = height * (0.45 + 0.15 * std::sin(x * 0.013) + 0.08 * std::sin(x * 0.041 + 1.0));
            const bool hill = y > ridge;
            p[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                hill ? Argb(255, 70, 110 - y / 8, 120) : Argb(255, 150 + y / 4, 190 + y / 6, 235);
        }
    return p;
}

// Leaves hanging from the top edge: transparent below their outline.
std::vector<std::uint32_t> Leaves(int width, int height) {
    std::vector<std::uint32_t> p(std::size_t(width) * std::size_t(height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double edge = height * (0.35 + 0.25 * std::fabs(std::sin(x * 0.05)) + 0.1 * std::sin(x * 0.17));
            if (y < edge) p[std::size_t(y) * std::size_t(width) + std::size_t(x)] = Argb(235, 30, 90 + (x * 7) % 40, 35);
        }
    return p;
}

// Water: a blue base with lighter wave bands, and a normal map of gentle ripples.
std::vector<std::uint32_t> WaterBase(int width, int height) {
    std::vector<std::uint32_t> p(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Bands that repeat across the tile, so that the scrolled texture has no seam.
            const double wave = 0.5 + 0.5 * std::sin((x + 2 * y) * 6.2831853 / 32.0);
            const double crest = std::pow(0.5 + 0.5 * std::sin((2 * x - y) * 6.2831853 / 64.0), 8.0);
            p[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                Argb(200, 30 + int(40 * wave + 150 * crest), 90 + int(50 * wave + 130 * crest),
                     170 + int(40 * wave + 60 * crest));
        }
    return p;
}

std::vector<std::uint32_t> WaterNormals(int size) {
    std::vector<std::uint32_t> p(std::size_t(size) * std::size_t(size));
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double nx = 0.3 * std::cos(x * 6.2831853 / 16.0), ny = 0.3 * std::cos(y * 6.2831853 / 24.0);
            p[std::size_t(y) * std::size_t(size) + std::size_t(x)] =
                Argb(255, int(128 + 127 * nx), int(128 + 127 * ny), 230);
        }
    return p;
}

}  // namespace

void AddTownLayers(Map2DSample& s) {
    // Layer pictures are named in the map's "mask.txt" by their full resource path.
    s.Add("map2d/layer/hills.tga", Tga32(512, 256, Hills(512, 256)));
    s.Add("map2d/layer/leaves.tga", Tga32(512, 128, Leaves(512, 128)));
    // A layer shows at its record's place moved by its scroll, which follows the view at half
    // (back) or one and a half (front) its horizontal speed and at its vertical speed: the hills
    // show through the missing ground block in the middle of the crossing, the leaves hang from
    // the top of the screen at its end.
    s.maskLines.push_back("map2d/layer/hills.tga,400,400,512,256,3");
    s.maskLines.push_back("map2d/layer/leaves.tga,1740,720,512,128,2");

    // A water block is as large as its base texture: one river's width (x 1440 .. 1504).
    s.Add("map2d/water/river.tga", Tga32(64, 256, WaterBase(64, 256)));
    s.Add("map2d/water/river_n.tga", Tga32(64, 64, WaterNormals(64)));
    // Two blocks along the river in the south east, where the view ends up; the second leaves
    // out what the first gave. The bridge's mask is drawn over both.
    s.scene.Water(R"(name="river0" position="1440,720" watermap="map2d/water/river.tga" )"
                  R"(normalmap="map2d/water/river_n.tga" mapoffset="0.02,0.03,0.02,0.03" )"
                  R"(tempvars="0.5,-0.4725,0.5,0.4725" ripplescale="0.06,0.03" speed="0.0015")");
    s.scene.Water(R"(name="river1" position="1440,976" watermap="map2d/water/river.tga" )"
                  R"(normalmap="map2d/water/river_n.tga" ripplescale="0.06,0.03" speed="0.002")");
}

}  // namespace quor::test
