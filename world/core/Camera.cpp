#include "world/core/Camera.h"

#include <algorithm>

#include "platform/host/IRenderCamera.h"
#include "platform/host/IRenderer.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"

namespace quor::world {

namespace {

render::IRenderer* Renderer() { return Interfaces().renderer; }

}  // namespace

Camera::Camera() : m_renderCamera(Renderer()->CreateRenderCamera()) {
    m_renderCamera->SetPerspective(45.0f, 1.3333334f, 1.0f, 10000.0f);
    SetPositionAndDirection(Vec3{0.0f, 0.0f, -100.0f}, Vec3{0.0f, 0.0f, 1.0f},
                            Vec3{0.0f, 1.0f, 0.0f});
    m_projectionKind = kProjectionPerspective;
}

Camera::~Camera() {
    Renderer()->ReleaseRenderCamera(m_renderCamera);
    m_renderCamera = nullptr;
}

void Camera::InvalidateTransform() {
    SpaceObject::InvalidateTransform();
    m_renderCamera->SetViewMatrix(GetInverseWorldMatrix().m);
    m_renderCamera->Refresh();
}

int Camera::SetPerspective(float fovDegrees, float aspect, float zNear, float zFar) {
    const int result = m_renderCamera->SetPerspective(fovDegrees, aspect, zNear, zFar);
    m_projectionKind = kProjectionPerspective;
    return result;
}

int Camera::SetOrthographic(float width, float height, float zNear, float zFar) {
    const int result = m_renderCamera->SetOrthographic(width, height, zNear, zFar);
    m_projectionKind = kProjectionOrthographic;
    return result;
}

void Camera::SetParam2(float value) { m_renderCamera->SetAspect(value); }
float Camera::GetParam3() { return m_renderCamera->GetAspect(); }
void Camera::SetParam4(float a, float b) { m_renderCamera->SetDepthRange(a, b); }
float Camera::GetParam5(float* zFar) { return m_renderCamera->GetNearPlane(zFar); }
void Camera::SetParam6(float value) { m_renderCamera->SetFieldOfView(value); }
float Camera::GetParam7() { return m_renderCamera->GetFieldOfView(); }
void Camera::GetParam8(const Vec3& scale) { m_renderCamera->SetViewScale(&scale.x); }
const float* Camera::GetParam9() { return m_renderCamera->GetProjectionMatrix(); }
void Camera::GetParam10(const Vec3& offset) { m_renderCamera->SetProjectionOffset(&offset.x); }
int Camera::GetParam11() { return m_renderCamera->GetViewportWidth(); }
int Camera::GetParam12() { return m_renderCamera->GetViewportHeight(); }
const float* Camera::GetParam13() { return m_renderCamera->GetProjectionMatrix(); }
int Camera::GetParam20() { return m_renderCamera->IsOrthographic(); }

void Camera::SetViewMatrix(const Matrix& view) {
    Matrix world = view;
    const bool inverted = MatrixInverseFast(world);
    if (!inverted) {
        // A singular view has no camera pose: keep the one we have, and the renderer with it.
        LogWarning("Camera::SetViewMatrix: the view matrix cannot be inverted; ignored.");
        return;
    }
    m_renderCamera->SetViewMatrix(view.m);
    SetWorldMatrix(world);
}

Vec3& Camera::WorldToView(const Vec3& point, Vec3& out) {
    return TransformPoint(point, GetInverseWorldMatrix(), out);
}

Vec3& Camera::ViewToWorld(const Vec3& point, Vec3& out) {
    return TransformPoint(point, GetWorldMatrix(), out);
}

int Camera::WorldToScreen(const Vec3& point, float* screen, float* depth) {
    Vec3 view;
    WorldToLocal(point, view);
    return m_renderCamera->Project(&view.x, screen, depth);
}

Ray& Camera::ScreenPointToRay(float x, Ray& out, float y) {
    Vec3 nearPoint;
    Vec3 farPoint;
    m_renderCamera->Unproject(x, &nearPoint.x, &farPoint.x, y);
    LocalToWorld(nearPoint, nearPoint);
    LocalToWorld(farPoint, farPoint);
    out.origin = nearPoint;
    out.direction = farPoint - nearPoint;
    return out;
}

const Vec3* Camera::GetFrustumCorners() {
    return reinterpret_cast<const Vec3*>(m_renderCamera->GetFrustumCorners());
}

void Camera::Orbit(const Vec3& axis, float angle, float distance) {
    Matrix turn;
    MatrixRotationAxis(turn, axis, angle);
    const Vec3 ahead = GetRotation()->Row(2) * distance;
    Vec3 turned;
    TransformPoint(ahead, turn, turned);
    // The point `distance` ahead stays where it is while the camera circles it.
    const Vec3 position = (*GetPosition() + ahead) - turned;
    SetPosition(position);
}

void Camera::OrbitPitch(float angle, float distance) {
    const Vec3 right = GetRotation()->Row(0);
    Orbit(right, angle, distance);
    RotateLocalX(angle);
}

void Camera::OrbitYaw(float angle, float distance) {
    const Vec3 up = GetRotation()->Row(1);
    Orbit(up, angle, distance);
    RotateLocalY(angle);
}

// --- CameraList ----------------------------------------------------------------------------------

CameraList::~CameraList() { Clear(); }

Camera* CameraList::Create() {
    auto* camera = NewObject<Camera>();
    if (!camera) return nullptr;
    m_cameras.push_back(camera);
    return camera;
}

bool CameraList::SetActive(Camera* camera) {
    if (!camera) {
        return false;
    }
    if (camera == m_active) {
        return true;
    }
    if (std::find(m_cameras.begin(), m_cameras.end(), camera) == m_cameras.end()) {
        return false;
    }
    m_active = camera;
    return true;
}

void CameraList::Remove(Camera* camera) {
    auto it = std::find(m_cameras.begin(), m_cameras.end(), camera);
    if (!camera || it == m_cameras.end()) {
        return;
    }
    m_cameras.erase(it);
    delete camera;
    if (m_active == camera) {
        m_active = m_cameras.empty() ? nullptr : m_cameras.back();
    }
}

void CameraList::Clear() {
    for (Camera* camera : m_cameras) {
        delete camera;
    }
    m_cameras.clear();
    m_active = nullptr;
}

void CameraList::ClearChangedFlags() {
    for (Camera* camera : m_cameras) camera->ClearTransformChanged();
}

}  // namespace quor::world
