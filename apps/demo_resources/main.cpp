// demo_resources: writes the meshes the demo shows, built from descriptions with the mesh
// writer: models/sample.mom (two levels of detail, a textured body, a transparent sorted
// glass, socket "top", a material block), models/sample.png (its texture),
// models/sample_anim.mom (the same, vertex-animated), defualt_models/box.mom, and the garden
// scene (scenes/garden.scn, its layer, terrain and meshes), and the 2D town map (map2d/).
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

}  // namespace

int main(int argc, char** argv) {
    const fs::path root = argc > 2 && std::strcmp(argv[1], "--out") == 0 ? fs::path(argv[2]) : fs::path("samples");
    bool ok = Write(root / "models" / "sample.mom", WriteMom(DemoSampleMesh(false)));
    ok = Write(root / "models" / "sample_anim.mom", WriteMom(DemoSampleMesh(true))) && ok;
    ok = WriteTexture(root / "models" / "sample.png") && ok;
    ok = Write(root / "defualt_models" / "box.mom", WriteMom(DemoDefaultBox())) && ok;
    for (const auto& [path, bytes] : DemoGardenFiles()) ok = Write(root / path, bytes) && ok;
    const quor::test::DemoFigureFiles figure = quor::test::MakeDemoFigure("char/figure.ani");
    ok = Write(root / "char" / "figure.mom", figure.mesh) && ok;
    ok = Write(root / "char" / "figure.ani", figure.animation) && ok;
    ok = Write(root / "char" / "figure.ags", std::vector<std::uint8_t>(figure.ags.begin(), figure.ags.end())) && ok;
    ok = Write(root / "char" / "figure.ini", std::vector<std::uint8_t>(figure.split.begin(), figure.split.end())) && ok;
    // The 2D town map (map2d/town.scn2) and every file it names.
    for (const auto& [path, bytes] : DemoMap2DFiles()) ok = Write(root / path, bytes) && ok;
    return ok ? 0 : 1;
}
