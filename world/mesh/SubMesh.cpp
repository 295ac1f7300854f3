#include "world/mesh/SubMesh.h"

#include <cmath>

namespace quor {

std::uint8_t SubMesh::AlphaByte(float diffuseAlpha) {
    if (!(diffuseAlpha > 0.0f)) return 0;  // also NaN
    if (diffuseAlpha >= 1.0f) return 255;
    return static_cast<std::uint8_t>(diffuseAlpha * 255.0f);
}

std::string SubMesh::TechniqueFileName(const std::string& effect) {
    if (effect.size() < 2) return {};
    return effect.substr(0, effect.size() - 2) + "tech";
}

std::string SubMesh::AlphaName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return name + "_alpha";
    return name.substr(0, dot) + "_alpha" + name.substr(dot);
}

void SubMesh::ChooseBlend(int recordSource, int recordDestination, bool defaultTechnique, int& source,
                          int& destination) {
    source = recordSource;
    destination = recordDestination;
    if (defaultTechnique || source < 1 || source > 15 || destination < 1 || destination > 15) {
        source = kDefaultSourceBlend;
        destination = kDefaultDestinationBlend;
    }
}

}  // namespace quor
