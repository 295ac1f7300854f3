// demo_resources: writes the meshes the demo shows, built from descriptions with the mesh
// writer: models/sample.mom (two levels of detail, a textured body, a transparent sorted
// glass, socket "top", a material block), models/sample.png (its texture),
// models/sample_anim.mom (the same, vertex-animated), defualt_models/box.mom, and the garden
// scene (scenes/garden.scn, its layer, terrain and meshes), the loading screen's pictures
// (Launcher/) and the 2D town map (map2d/).
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/world/DemoGarden.h"
#include "tests/support/world/DemoYard.h"
#include "tests/support/world/DemoMap2D.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/DemoFigure.h"
#include "tests/support/world/MeshFileWriter.h"

namespace {

namespace fs = std::filesystem;
using namespace quor::test;

}  // namespace

namespace {

bool Write(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "demo_resources: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("wrote %s (%zu bytes)\n", path.c_str(), bytes.size());
    return true;
}

// A 64x64 checker of two warm colours.
bool WriteTexture(const fs::path& path) {
    constexpr int kSize = 64;
    std::vector<std::uint8_t> rgba(kSize * kSize * 4);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const bool dark = ((x / 8) + (y / 8)) % 2 != 0;
            std::uint8_t* p = &rgba[std::size_t(y * kSize + x) * 4];
            p[0] = dark ? 200 : 250;
            p[1] = dark ? 90 : 200;
            p[2] = dark ? 40 : 120;
            p[3] = 255;
        }
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (!stbi_write_png(path.c_str(), kSize, kSize, 4, rgba.data(), kSize * 4)) {
        std::fprintf(stderr, "demo_resources: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("wrote %s (%dx%d)\n", path.c_str(), kSize, kSize);
    return true;
}

// --- the loading screen's pictures, under Launcher/ of the root -------------------------------

using Rgba = std::vector<std::uint8_t>;

void Put(Rgba& px, int w, int x, int y, std::uint32_t rgba) {
    for (int k = 0; k < 4; ++k) px[std::size_t(y * w + x) * 4 + std::size_t(k)] = std::uint8_t(rgba >> (8 * k));
}

bool WriteTga(const fs::path& path, int w, int h, const Rgba& px) {
    if (!stbi_write_tga(path.c_str(), w, h, 4, px.data())) {
        std::fprintf(stderr, "demo_resources: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("wrote %s (%dx%d)\n", path.c_str(), w, h);
    return true;
}

// "LOADING" in 5 x 7 cells, one row of bits per line (bit 4 the left column).
constexpr std::uint8_t kLetters[7][7] = {
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},  // L
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E},  // O
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},  // A
    {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E},  // D
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E},  // I
    {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11},  // N
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F},  // G
};

bool WriteLoadingPictures(const fs::path& root) {
    const fs::path dir = root / "Launcher";
    std::error_code ec;
    fs::create_directories(dir, ec);
    // Background: a dusk sky over a dark field, laid out for 1920 x 1080 (any size stretches).
    constexpr int kBgW = 480, kBgH = 270;
    std::vector<std::uint8_t> bg(std::size_t(kBgW) * kBgH * 3);
    for (int y = 0; y < kBgH; ++y)
        for (int x = 0; x < kBgW; ++x) {
            std::uint8_t* p = &bg[std::size_t(y * kBgW + x) * 3];
            const float t = float(y) / float(kBgH);
            const bool field = y > kBgH * 2 / 3;
            p[0] = field ? 30 : std::uint8_t(40 + 200 * t);
            p[1] = field ? 50 : std::uint8_t(50 + 90 * t);
            p[2] = field ? 30 : std::uint8_t(120 - 60 * t);
        }
    bool ok = stbi_write_jpg((dir / "loading_bg.jpg").c_str(), kBgW, kBgH, 3, bg.data(), 90) != 0;
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "cannot write", (dir / "loading_bg.jpg").c_str(), kBgW, kBgH);
    // The word: white letters with a dark edge, 12 pixels a cell, in the middle of a clear
    // picture of the word box's size (540 x 400).
    constexpr int kCell = 12, kWordW = 540, kWordH = 400;
    constexpr int kLeft = (kWordW - 7 * 6 * kCell) / 2, kTop = (kWordH - 7 * kCell) / 2;
    Rgba word(std::size_t(kWordW) * kWordH * 4, 0);
    for (int letter = 0; letter < 7; ++letter)
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col) {
                if (((kLetters[letter][row] >> (4 - col)) & 1) == 0) continue;
                const int x0 = kLeft + (letter * 6 + col) * kCell + kCell / 2, y0 = kTop + row * kCell;
                for (int y = 0; y < kCell; ++y)
                    for (int x = 0; x < kCell; ++x) {
                        const bool edge = x == 0 || y == 0 || x == kCell - 1 || y == kCell - 1;
                        Put(word, kWordW, x0 + x, y0 + y, edge ? 0xFF402010u : 0xFFF0F8FFu);
                    }
            }
    ok = WriteTga(dir / "loading.tga", kWordW, kWordH, word) && ok;
    // The bar: a dark frame, a green fill and a front that lights the top edge.
    constexpr int kBarW = 32, kBarH = 8;
    Rgba frame(kBarW * kBarH * 4), fill(kBarW * kBarH * 4), front(kBarW * kBarH * 4, 0);
    for (int y = 0; y < kBarH; ++y)
        for (int x = 0; x < kBarW; ++x) {
            const bool border = x == 0 || y == 0 || x == kBarW - 1 || y == kBarH - 1;
            Put(frame, kBarW, x, y, border ? 0xFF909090u : 0xFF282828u);
            Put(fill, kBarW, x, y, 0xFF000000u | (std::uint32_t(60 + 20 * y) << 8) | std::uint32_t(40 + 4 * x));
            if (y == 1) Put(front, kBarW, x, y, 0x80FFFFFFu);
        }
    ok = WriteTga(dir / "bg.tga", kBarW, kBarH, frame) && ok;
    ok = WriteTga(dir / "M.tga", kBarW, kBarH, fill) && ok;
    ok = WriteTga(dir / "front.tga", kBarW, kBarH, front) && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path root = argc > 2 && std::strcmp(argv[1], "--out") == 0 ? fs::path(argv[2]) : fs::path("samples");
    bool ok = Write(root / "models" / "sample.mom", WriteMom(DemoSampleMesh(false)));
    ok = Write(root / "models" / "sample_anim.mom", WriteMom(DemoSampleMesh(true))) && ok;
    ok = WriteTexture(root / "models" / "sample.png") && ok;
    ok = Write(root / "defualt_models" / "box.mom", WriteMom(DemoDefaultBox())) && ok;
    for (const auto& [path, bytes] : DemoGardenFiles()) ok = Write(root / path, bytes) && ok;
    for (const auto& [path, bytes] : quor::test::DemoYardFiles()) ok = Write(root / path, bytes) && ok;
    const quor::test::DemoFigureFiles figure = quor::test::MakeDemoFigure("char/figure.ani");
    ok = Write(root / "char" / "figure.mom", figure.mesh) && ok;
    ok = Write(root / "char" / "figure.ani", figure.animation) && ok;
    ok = Write(root / "char" / "figure.ags", std::vector<std::uint8_t>(figure.ags.begin(), figure.ags.end())) && ok;
    ok = Write(root / "char" / "figure.ini", std::vector<std::uint8_t>(figure.split.begin(), figure.split.end())) && ok;
    ok = WriteLoadingPictures(root) && ok;
    // The 2D town map (map2d/town.scn2) and every file it names.
    for (const auto& [path, bytes] : DemoMap2DFiles()) ok = Write(root / path, bytes) && ok;
    return ok ? 0 : 1;
}
