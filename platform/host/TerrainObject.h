#pragma once
#include "platform/host/ITickObject.h"

namespace quor::render {

class IRenderCamera;

// A terrain the terrain module made from a file: a per-frame object of its scene, with level
// of detail distances, a hook run before the scene's extra passes, and an update around a
// point of the ground.
class TerrainObject : public ITickObject {
public:
    virtual void SetLodDistance(int index, float distance) = 0;
    virtual void RenderPass() = 0;
    virtual void UpdateAround(float x, float z) = 0;
    // The ground under a decal: how many positions (three per triangle) lie under the camera's
    // frustum, then those positions written (three floats each) into room for that many.
    virtual int CountDecalVertices(IRenderCamera* /*camera*/) { return 0; }
    virtual void FillDecalVertices(float* /*out*/) {}

protected:
    ~TerrainObject() = default;
};

}  // namespace quor::render
