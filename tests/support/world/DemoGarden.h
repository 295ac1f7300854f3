#pragma once
// Every file of the demo's garden scene by resource path: the two scene files, the flat
// terrain they name and the meshes of the boxes and the sky.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quor::test {

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> DemoGardenFiles();

}  // namespace quor::test
