#pragma once
#include <cstdint>

#include "world/core/VisibleObject.h"

namespace quor {
class MeshBase;
}
namespace quor::render {
class IRenderCamera;
}

namespace quor::world {

class Camera;
class SkyObject;

// The host's face of the sky.
class ISkyObject {
public:
    virtual IVisibleObject* GetVisibleObject() = 0;
    virtual SkyObject* GetObject() = 0;

protected:
    ~ISkyObject() = default;
};

// The sky of a 3D scene: one mesh drawn through a render camera of its own, which takes the
// active camera's view and projection every frame and ends its depth range at the far side
// of the sky's bound, so the sky always lies inside the depth range and behind the scene.
class SkyObject : public VisibleObject, public ISkyObject {
public:
    static constexpr float kNear = 1.0f;

    SkyObject();
    ~SkyObject() override;

    // A second load replaces the mesh only once the new one has loaded; a failed load keeps
    // the mesh there was.
    bool LoadMesh(const char* fileName);

    // --- ISkyObject ---
    IVisibleObject* GetVisibleObject() override { return this; }
    SkyObject* GetObject() override { return this; }

    // --- VisibleObject operations the sky answers differently ---
    int GetObjectType() override { return 8; }
    common::SharedString GetResourceName() override;
    void GetWorldBound(Vec3* center, float* radius, Vec3* extents, int space) override;
    void Update() override;
    void DrawParts(int pass) override;

    // Points the sky's render camera at the camera's view: its view and projection, depth
    // from kNear to the distance to the sky's centre plus its radius. False without a render
    // camera on either side.
    bool PrepareCamera(Camera* camera);

    MeshBase* GetMesh() const { return m_mesh; }
    render::IRenderCamera* GetRenderCamera() const { return m_renderCamera; }

private:
    MeshBase* m_mesh = nullptr;
    render::IRenderCamera* m_renderCamera = nullptr;
};

}  // namespace quor::world
