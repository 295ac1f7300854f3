#pragma once
#include "platform/host/TerrainObject.h"

namespace quor::render {

// The host's terrain. It may be absent; test for null before each use.
class Terrain {
public:
    // Takes the four model technique values the module is given each frame.
    virtual void Render(float a, float b, float c, float d) = 0;
    virtual void SetWaterTechnique(void* technique) = 0;
    // A terrain object from a terrain file; null when the file is missing or unusable.
    virtual TerrainObject* CreateTerrain(const char* /*file*/) { return nullptr; }

protected:
    ~Terrain() = default;
};

}  // namespace quor::render
