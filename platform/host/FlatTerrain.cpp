#include "platform/host/FlatTerrain.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "platform/host/IResFileSystem.h"
#include "platform/host/RecordingHostParts.h"

namespace quor::host {

std::unique_ptr<FlatTerrain> FlatTerrain::Parse(const std::string& text) {
    std::istringstream in(text);
    std::string word;
    float half = 0.0f, h = 0.0f;
    if (!(in >> word >> half >> h) || word != "flat" || !(half > 0.0f) || !std::isfinite(half) || !std::isfinite(h)) {
        return nullptr;
    }
    auto terrain = std::make_unique<FlatTerrain>();
    terrain->halfSize = half;
    terrain->height = h;
    return terrain;
}

std::unique_ptr<FlatTerrain> FlatTerrain::Load(common::IResFileSystem* files, const char* file) {
    if (!files || !file) return nullptr;
    common::IResFile* f = files->OpenFile(file, 0);
    if (!f) return nullptr;
    const std::uint8_t* data = f->GetData();
    const std::string text = data ? std::string(reinterpret_cast<const char*>(data), f->GetSize()) : std::string();
    f->Close();
    return Parse(text);
}

void FlatTerrain::Release() {
    calls.emplace_back("Release");
    ++releases;
}

void FlatTerrain::SetOption(int which, int value) {
    calls.push_back("SetOption(" + std::to_string(which) + "," + std::to_string(value) + ")");
    option = value;
}

void FlatTerrain::SetScene(void* value) {
    calls.emplace_back("SetScene");
    scene = value;
}

void FlatTerrain::SetLodDistance(int index, float distance) {
    std::ostringstream s;
    s << "SetLodDistance(" << index << "," << distance << ")";
    calls.push_back(s.str());
    if (index >= 0 && index < 10) lodDistances[index] = distance;
}

void FlatTerrain::UpdateAround(float x, float z) {
    std::ostringstream s;
    s << "UpdateAround(" << x << "," << z << ")";
    calls.push_back(s.str());
}

bool FlatTerrain::HeightAt(float x, float z, float* out) const {
    if (std::fabs(x) > halfSize || std::fabs(z) > halfSize) return false;
    if (out) *out = height;
    return true;
}

render::TerrainObject* RecordingTerrain::CreateTerrain(const char* file) {
    std::unique_ptr<FlatTerrain> terrain = FlatTerrain::Load(files, file);
    if (!terrain) return nullptr;
    terrains.push_back(std::move(terrain));
    return terrains.back().get();
}

int RecordingTerrain::LiveTerrains() const {
    return static_cast<int>(std::count_if(terrains.begin(), terrains.end(), [](const auto& t) { return t->releases == 0; }));
}

}  // namespace quor::host
