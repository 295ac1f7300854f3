#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "world/core/math/Vector.h"

namespace quor::world {

class SpaceObject;

// Stand-in for a scene light: only what a model asks of it to decide whether it is lit by it.
// The lights issue replaces it with the placed light and its renderer light.
class Light {
public:
    std::string name;
    bool enabled = true;
    // 0: no volume, the light reaches everything; any other kind bounds it by the sphere
    // below, and kind 3 reaches nothing it bounds.
    int volumeKind = 0;
    Vec3 centre{0.0f, 0.0f, 0.0f};
    float radius = 0.0f;
    // Set when the light moved this frame; cleared with the scene's light flags.
    bool moved = false;
    // The light set's light it stands for (opaque), and the renderer's frame stamp of the
    // frame it was last drawn in.
    void* renderLight = nullptr;
    std::uint32_t frameStamp = 0;

    bool Bounded() const { return volumeKind != 0; }
    // Whether the volume reaches a sphere (world space).
    bool TestVolume(const Vec3& c, float r) const {
        const Vec3 d = c - centre;
        const float reach = radius + r;
        return d.x * d.x + d.y * d.y + d.z * d.z < reach * reach;
    }
};

// Stand-in for a scene's lights: the members the scene calls, over a list that only tests
// fill (Append). The lights issue makes lights and their renderer light set.
class LightList {
public:
    Light* Create(int) { return nullptr; }
    Light* Append(const char* name) {
        m_lights.push_back(std::make_unique<Light>());
        m_lights.back()->name = name ? name : "";
        return m_lights.back().get();
    }
    int Count() const { return static_cast<int>(m_lights.size()); }
    Light* GetAt(std::uint32_t i) const { return i < m_lights.size() ? m_lights[i].get() : nullptr; }
    void Remove(SpaceObject*) {}
    void Clear() { m_lights.clear(); }
    void SetActive(bool) {}
    void ClearLightFlags() {
        for (auto& light : m_lights) light->moved = false;
    }
    // The renderer light set (the list's first field).
    void* GetLightSet() const { return nullptr; }

private:
    std::vector<std::unique_ptr<Light>> m_lights;
};

}  // namespace quor::world
