#pragma once
#include <string>
#include <vector>

#include "platform/host/IRenderCamera.h"

namespace quor::host {

// The reference host's render camera: left-handed projections with depth 0..1, the view
// and projection products, the world-space frustum corners, and projection to and from a
// viewport in pixels. It also records every call it gets, so tests can check what reached it.
class RenderCamera final : public render::IRenderCamera {
public:
    RenderCamera();

    int SetPerspective(float fovDegrees, float aspect, float zNear, float zFar) override;
    int SetOrthographic(float width, float height, float zNear, float zFar) override;
    void SetAspect(float aspect) override;
    float GetAspect() override;
    void SetDepthRange(float zNear, float zFar) override;
    float GetNearPlane(float* zFar = nullptr) override;
    void SetFieldOfView(float degrees) override;
    float GetFieldOfView() override;
    const float* GetViewMatrix() override;
    const float* GetProjectionMatrix() override;
    const float* GetViewProjectionMatrix() override;
    int GetViewportWidth() override;
    int GetViewportHeight() override;
    float GetFarPlane() override;
    void SetViewMatrix(const float* view) override;
    void Refresh() override;
    int Project(const float* viewPoint, float* screen, float* depth) override;
    void Unproject(float x, float* nearPoint, float* farPoint, float y) override;
    const float* GetPosition() override;
    const float* GetFrustumCorners() override;
    int IsOrthographic() override;
    void SetProjectionMatrix(const float* projection) override;
    void SetViewScale(const float* scale) override;
    void SetProjectionOffset(const float* offset) override;

    // The host's own settings, not part of the interface.
    void SetViewportSize(int width, int height);
    // The projection a renderer draws with: the projection followed by the view scale and the
    // projection offset, as Project applies them (depth untouched).
    void GetDrawingProjection(float* out) const;

    // Names of the interface operations called, in order.
    const std::vector<std::string>& Calls() const { return m_calls; }
    int CountCalls(const std::string& name) const;
    void ClearCalls() { m_calls.clear(); }
    // Recording is on from construction; benchmarks switch it off.
    void SetRecording(bool on) { m_recording = on; }

private:
    void BuildProjection();
    void UpdateDerived();
    void Record(const char* name) {
        if (m_recording) m_calls.emplace_back(name);
    }

    float m_fov = 45.0f;
    float m_aspect = 4.0f / 3.0f;
    float m_near = 1.0f;
    float m_far = 10000.0f;
    float m_width = 100.0f;
    float m_height = 100.0f;
    bool m_orthographic = false;
    int m_viewportWidth = 800;
    int m_viewportHeight = 600;
    float m_view[16];
    float m_projection[16];
    float m_inverseProjection[16];
    float m_viewProjection[16];
    float m_position[3] = {0.0f, 0.0f, 0.0f};
    float m_viewScale[3] = {1.0f, 1.0f, 1.0f};
    float m_projectionOffset[3] = {0.0f, 0.0f, 0.0f};
    float m_corners[24] = {};
    std::vector<std::string> m_calls;
    bool m_recording = true;
};

}  // namespace quor::host
