#include "platform/host/FlatTerrain.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "platform/host/IRenderCamera.h"
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

void FlatTerrain::Render() {
    calls.emplace_back("Render");
    if (painter) painter->PaintGround(halfSize, height);
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

int FlatTerrain::CountDecalVertices(render::IRenderCamera* camera) {
    calls.emplace_back("CountDecalVertices");
    decalPositions.clear();
    const float* c = camera ? camera->GetFrustumCorners() : nullptr;
    if (!c) return 0;
    float lo[2] = {c[0], c[2]}, hi[2] = {c[0], c[2]};
    for (int i = 1; i < 8; ++i) {
        lo[0] = std::min(lo[0], c[3 * i]), hi[0] = std::max(hi[0], c[3 * i]);
        lo[1] = std::min(lo[1], c[3 * i + 2]), hi[1] = std::max(hi[1], c[3 * i + 2]);
    }
    if (!std::isfinite(lo[0] + lo[1] + hi[0] + hi[1])) return 0;
    const float x0 = std::max(std::floor(lo[0]), -halfSize), x1 = std::min(std::ceil(hi[0]), halfSize);
    const float z0 = std::max(std::floor(lo[1]), -halfSize), z1 = std::min(std::ceil(hi[1]), halfSize);
    // Far beyond what one decal covers: the count alone keeps a runaway frustum from filling memory.
    if (!(x1 > x0 && z1 > z0) || (x1 - x0) * (z1 - z0) > 1e6f) return 0;
    for (float x = x0; x < x1; x += 1.0f) {
        for (float z = z0; z < z1; z += 1.0f) {
            const float xe = std::min(x + 1.0f, x1), ze = std::min(z + 1.0f, z1);
            for (float v : {x, height, z, x, height, ze, xe, height, ze, x, height, z, xe, height, ze, xe, height, z})
                decalPositions.push_back(v);
        }
    }
    return static_cast<int>(decalPositions.size() / 3);
}

void FlatTerrain::FillDecalVertices(float* out) {
    calls.emplace_back("FillDecalVertices");
    if (out) std::copy(decalPositions.begin(), decalPositions.end(), out);
}

bool FlatTerrain::SweepTest(const float p[3], const float d[3], std::uint32_t, std::uint32_t, render::CollisionHit& hit) {
    if (!(d[1] < 0.0f) || p[1] < height) return false;
    const float t = (height - p[1]) / d[1];
    if (!(t < hit.t)) return false;
    const float x = p[0] + d[0] * t, z = p[2] + d[2] * t;
    if (!HeightAt(x, z, nullptr)) return false;
    hit.t = t;
    hit.normal[0] = 0.0f, hit.normal[1] = 1.0f, hit.normal[2] = 0.0f;
    hit.value = contactValue;
    return true;
}

bool FlatTerrain::RayTest(const float o[3], const float d[3], std::uint32_t a, std::uint32_t b, render::CollisionHit& hit) {
    return SweepTest(o, d, a, b, hit);
}

void FlatTerrain::OnContact(int slot, int kind) {
    calls.push_back("OnContact(" + std::to_string(slot) + "," + std::to_string(kind) + ")");
}

render::TerrainObject* RecordingTerrain::CreateTerrain(const char* file) {
    std::unique_ptr<FlatTerrain> terrain = FlatTerrain::Load(files, file);
    if (!terrain) return nullptr;
    terrain->painter = painter;
    terrains.push_back(std::move(terrain));
    return terrains.back().get();
}

int RecordingTerrain::LiveTerrains() const {
    return static_cast<int>(std::count_if(terrains.begin(), terrains.end(), [](const auto& t) { return t->releases == 0; }));
}

}  // namespace quor::host
