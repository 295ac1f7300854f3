#include "tests/support/world/DemoGarden.h"

#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/SceneFileWriter.h"

namespace quor::test {

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> DemoGardenFiles() {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    for (const auto& [path, text] : GardenSceneTexts()) files.emplace_back(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    const std::string terrain = "flat 200 0\n";
    files.emplace_back("scenes/garden.ter", std::vector<std::uint8_t>(terrain.begin(), terrain.end()));
    files.emplace_back("models/garden_box.mom", WriteMom(DemoDefaultBox()));
    files.emplace_back("models/garden_sky.mom", WriteMom(DemoGardenSky()));
    // The sky's colours: a 2 x 32 uncompressed 32-bit image, top row first, deep blue at the
    // zenith to a pale blue at the horizon.
    std::vector<std::uint8_t> sky = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 32, 0, 32, 0x28};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 2; ++x) {
            const float t = float(y) / 31.0f;
            for (float v : {200.0f + 40.0f * t, 110.0f + 95.0f * t, 50.0f + 130.0f * t, 255.0f})  // b, g, r, a
                sky.push_back(std::uint8_t(v));
        }
    files.emplace_back("models/garden_sky.tga", sky);
    const std::string shrubs = GardenShrubsIni();
    files.emplace_back("scenes/garden_shrubs.ini", std::vector<std::uint8_t>(shrubs.begin(), shrubs.end()));
    // The shrubs' leaf: an 8 x 8 uncompressed 32-bit image, green with a clear border.
    std::vector<std::uint8_t> leaf = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 8, 0, 32, 0x28};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = x > 0 && x < 7 && y > 0;
            for (std::uint8_t b : {std::uint8_t(40), std::uint8_t(150), std::uint8_t(60), std::uint8_t(inside ? 255 : 0)})
                leaf.push_back(b);
        }
    files.emplace_back("scene/texture/shurb/leaf.tga", leaf);
    return files;
}

}  // namespace quor::test
