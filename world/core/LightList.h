#pragma once
#include <cstdint>

namespace quor::world {

class Light;
class SpaceObject;

// Stand-in for a scene's lights: the members the scene calls, over an empty list. The lights
// issue makes lights and their renderer light set.
class LightList {
public:
    Light* Create(int) { return nullptr; }
    int Count() const { return 0; }
    Light* GetAt(std::uint32_t) const { return nullptr; }
    void Remove(SpaceObject*) {}
    void Clear() {}
    void SetActive(bool) {}
    void ClearLightFlags() {}
    // The renderer light set (the list's first field).
    void* GetLightSet() const { return nullptr; }
};

}  // namespace quor::world
