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
    files.emplace_back("models/garden_sky.mom", WriteMom(DemoDefaultBox()));
    return files;
}

}  // namespace quor::test
