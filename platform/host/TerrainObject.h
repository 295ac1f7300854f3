#pragma once
#include "platform/host/ITickObject.h"

namespace quor::render {

// A terrain the terrain module made from a file: a per-frame object of its scene, with level
// of detail distances, a hook run before the scene's extra passes, and an update around a
// point of the ground.
class TerrainObject : public ITickObject {
public:
    virtual void SetLodDistance(int index, float distance) = 0;
    virtual void RenderPass() = 0;
    virtual void UpdateAround(float x, float z) = 0;

protected:
    ~TerrainObject() = default;
};

}  // namespace quor::render
