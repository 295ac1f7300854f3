#pragma once
#include <cstdint>
#include <vector>

#include "world/core/math/Geometry.h"
#include "world/core/ICamera.h"
#include "world/core/SpaceObject.h"

namespace quor::world {

// Projection kinds of a camera.
enum ProjectionKind : int {
    kProjectionPerspective = 0,
    kProjectionOrthographic = 1,
};

// The scene's view point: a placed object bound one to one to a camera of the host's
// renderer, which owns the projection, the viewport mapping and the frustum corners. Every
// transform change sends the renderer the new view matrix (the inverse of the world matrix)
// at once.
class Camera : public ICamera, public SpaceObject {
public:
    Camera();
    ~Camera() override;

    // --- ICamera, in slot order ---
    ISpaceObject* GetSpaceObject() override { return this; }
    render::IRenderCamera* GetRenderCamera() override { return m_renderCamera; }
    void OrbitPitch(float angle, float distance) override;
    void OrbitYaw(float angle, float distance) override;
    int SetPerspective(float fovDegrees, float aspect, float zNear, float zFar) override;
    int SetOrthographic(float width, float height, float zNear, float zFar) override;
    void SetParam2(float value) override;
    float GetParam3() override;
    void SetParam4(float a, float b) override;
    float GetParam5(float* zFar = nullptr) override;
    void SetParam6(float value) override;
    float GetParam7() override;
    int GetProjectionKind() override { return static_cast<int>(m_projectionKind); }
    void GetParam8(const Vec3& scale) override;
    const float* GetParam9() override;
    void GetParam10(const Vec3& offset) override;
    int GetParam11() override;
    int GetParam12() override;
    const float* GetParam13() override;
    void SetViewMatrix(const Matrix& view) override;
    const Matrix& GetViewMatrix() override { return GetInverseWorldMatrix(); }
    int GetParam20() override;
    Vec3& WorldToView(const Vec3& point, Vec3& out) override;
    Vec3& ViewToWorld(const Vec3& point, Vec3& out) override;
    int WorldToScreen(const Vec3& point, float* screen, float* depth) override;
    Ray& ScreenPointToRay(float x, Ray& out, float y) override;
    const Vec3* GetFrustumCorners() override;

    // --- the object side ---
    int GetObjectType() override { return 2; }
    void InvalidateTransform() override;

private:
    void Orbit(const Vec3& axis, float angle, float distance);

    render::IRenderCamera* m_renderCamera = nullptr;
    std::uint32_t m_projectionKind = kProjectionPerspective;
};

// A scene's cameras in creation order and the active one. The list owns its cameras.
class CameraList {
public:
    CameraList() = default;
    ~CameraList();
    CameraList(const CameraList&) = delete;
    CameraList& operator=(const CameraList&) = delete;

    // A new camera, appended; it does not become active.
    Camera* Create();
    // False for null and for a camera not in this list; true when it is (or already was)
    // the active one.
    bool SetActive(Camera* camera);
    // Deletes a listed camera; when it was active, the last camera left becomes active (or
    // none). Null and unlisted cameras are ignored.
    void Remove(Camera* camera);
    // Deletes every camera in list order and leaves none active.
    void Clear();
    // End of frame: every camera's transform-changed flag is cleared.
    void ClearChangedFlags();
    Camera* GetActive() const { return m_active; }
    const std::vector<Camera*>& Cameras() const { return m_cameras; }

private:
    std::vector<Camera*> m_cameras;
    Camera* m_active = nullptr;
};

}  // namespace quor::world
