#include "platform/host/RenderCamera.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quor::host {

namespace {

constexpr double kPi = 3.14159265358979323846;

void Identity(float* m) {
    std::fill(m, m + 16, 0.0f);
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

void Multiply(const float* a, const float* b, float* out) {
    float r[16];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k) {
                s += static_cast<double>(a[4 * i + k]) * b[4 * k + j];
            }
            r[4 * i + j] = static_cast<float>(s);
        }
    }
    std::memcpy(out, r, sizeof r);
}

// Gauss-Jordan in double precision; false (out untouched) for a singular matrix.
bool Invert(const float* m, float* out) {
    double a[4][8];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            a[i][j] = m[4 * i + j];
            a[i][j + 4] = i == j ? 1.0 : 0.0;
        }
    }
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r) {
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) {
                pivot = r;
            }
        }
        if (a[pivot][c] == 0.0) {
            return false;
        }
        std::swap(a[pivot], a[c]);
        const double inv = 1.0 / a[c][c];
        for (double& v : a[c]) {
            v *= inv;
        }
        for (int r = 0; r < 4; ++r) {
            if (r == c) {
                continue;
            }
            const double f = a[r][c];
            for (int k = 0; k < 8; ++k) {
                a[r][k] -= f * a[c][k];
            }
        }
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            out[4 * i + j] = static_cast<float>(a[i][j + 4]);
        }
    }
    return true;
}

// (p, w) x m with the division by the resulting w.
void TransformCoord(const float* p, float w, const float* m, float* out) {
    float r[4];
    for (int j = 0; j < 4; ++j) {
        r[j] = p[0] * m[j] + p[1] * m[4 + j] + p[2] * m[8 + j] + w * m[12 + j];
    }
    out[0] = r[0] / r[3];
    out[1] = r[1] / r[3];
    out[2] = r[2] / r[3];
}

}  // namespace

RenderCamera::RenderCamera() {
    Identity(m_view);
    BuildProjection();
}

int RenderCamera::CountCalls(const std::string& name) const {
    return static_cast<int>(std::count(m_calls.begin(), m_calls.end(), name));
}

void RenderCamera::BuildProjection() {
    Identity(m_projection);
    const float depth = m_far - m_near;
    if (m_orthographic) {
        m_projection[0] = 2.0f / m_width;
        m_projection[5] = 2.0f / m_height;
        m_projection[10] = 1.0f / depth;
        m_projection[14] = -m_near / depth;
    } else {
        const float ys = static_cast<float>(1.0 / std::tan(m_fov * kPi / 360.0));
        m_projection[0] = ys / m_aspect;
        m_projection[5] = ys;
        m_projection[10] = m_far / depth;
        m_projection[11] = 1.0f;
        m_projection[14] = -m_near * m_far / depth;
        m_projection[15] = 0.0f;
    }
    Invert(m_projection, m_inverseProjection);
    // A new projection shows at once; a new view waits for Refresh, as the renderer's does.
    UpdateDerived();
}

int RenderCamera::SetPerspective(float fovDegrees, float aspect, float zNear, float zFar) {
    Record("SetPerspective");
    if (!(fovDegrees > 0.0f && fovDegrees < 180.0f && aspect > 0.0f && zNear > 0.0f &&
          zFar > zNear)) {
        return 0;
    }
    m_fov = fovDegrees;
    m_aspect = aspect;
    m_near = zNear;
    m_far = zFar;
    m_orthographic = false;
    BuildProjection();
    return 1;
}

int RenderCamera::SetOrthographic(float width, float height, float zNear, float zFar) {
    Record("SetOrthographic");
    if (!(width > 0.0f && height > 0.0f && zFar > zNear)) {
        return 0;
    }
    m_width = width;
    m_height = height;
    m_near = zNear;
    m_far = zFar;
    m_orthographic = true;
    BuildProjection();
    return 1;
}

void RenderCamera::SetAspect(float aspect) {
    Record("SetAspect");
    if (aspect > 0.0f) {
        m_aspect = aspect;
        BuildProjection();
    }
}

float RenderCamera::GetAspect() {
    Record("GetAspect");
    return m_aspect;
}

void RenderCamera::SetDepthRange(float zNear, float zFar) {
    Record("SetDepthRange");
    if (zFar > zNear && (m_orthographic || zNear > 0.0f)) {
        m_near = zNear;
        m_far = zFar;
        // Only the depth terms change, so a projection taken from another camera keeps the
        // rest of its terms.
        const float depth = m_far - m_near;
        m_projection[10] = m_orthographic ? 1.0f / depth : m_far / depth;
        m_projection[14] = m_orthographic ? -m_near / depth : -m_near * m_far / depth;
        Invert(m_projection, m_inverseProjection);
        UpdateDerived();
    }
}

void RenderCamera::SetProjectionMatrix(const float* projection) {
    Record("SetProjectionMatrix");
    if (!projection || projection[0] == 0.0f || projection[5] == 0.0f || projection[10] == 0.0f) return;
    std::memcpy(m_projection, projection, sizeof m_projection);
    // The shape the frustum corners are built from, read back from the matrix.
    const float* p = m_projection;
    m_orthographic = p[11] == 0.0f;
    m_near = -p[14] / p[10];
    if (m_orthographic) {
        m_width = 2.0f / p[0];
        m_height = 2.0f / p[5];
        m_far = m_near + 1.0f / p[10];
    } else {
        m_fov = static_cast<float>(2.0 * std::atan(1.0 / p[5]) * 180.0 / kPi);
        m_aspect = p[5] / p[0];
        m_far = p[10] != 1.0f ? p[10] * m_near / (p[10] - 1.0f) : m_near;
    }
    Invert(m_projection, m_inverseProjection);
    UpdateDerived();
}

float RenderCamera::GetNearPlane(float* zFar) {
    Record("GetNearPlane");
    if (zFar) *zFar = m_far;
    return m_near;
}

void RenderCamera::SetFieldOfView(float degrees) {
    Record("SetFieldOfView");
    if (degrees > 0.0f && degrees < 180.0f) {
        m_fov = degrees;
        BuildProjection();
    }
}

float RenderCamera::GetFieldOfView() {
    Record("GetFieldOfView");
    return m_fov;
}

const float* RenderCamera::GetViewMatrix() {
    Record("GetViewMatrix");
    return m_view;
}

const float* RenderCamera::GetProjectionMatrix() {
    Record("GetProjectionMatrix");
    return m_projection;
}

const float* RenderCamera::GetViewProjectionMatrix() {
    Record("GetViewProjectionMatrix");
    return m_viewProjection;
}

int RenderCamera::GetViewportWidth() {
    Record("GetViewportWidth");
    return m_viewportWidth;
}

int RenderCamera::GetViewportHeight() {
    Record("GetViewportHeight");
    return m_viewportHeight;
}

float RenderCamera::GetFarPlane() {
    Record("GetFarPlane");
    return m_far;
}

void RenderCamera::SetViewMatrix(const float* view) {
    Record("SetViewMatrix");
    std::memcpy(m_view, view, sizeof m_view);
}

void RenderCamera::Refresh() {
    Record("Refresh");
    UpdateDerived();
}

void RenderCamera::UpdateDerived() {
    Multiply(m_view, m_projection, m_viewProjection);
    float world[16];
    if (!Invert(m_view, world)) {
        return;
    }
    m_position[0] = world[12];
    m_position[1] = world[13];
    m_position[2] = world[14];
    // The corners straight from the view volume's shape rather than through the inverse of
    // the projection, whose depth terms lose most of their digits when far >> near.
    for (int i = 0; i < 8; ++i) {
        const double depth = (i & 4) ? m_far : m_near;
        double halfWidth = m_width / 2.0;
        double halfHeight = m_height / 2.0;
        if (!m_orthographic) {
            halfHeight = depth * std::tan(m_fov * kPi / 360.0);
            halfWidth = halfHeight * m_aspect;
        }
        const double p[3] = {(i & 1) ? halfWidth : -halfWidth, (i & 2) ? halfHeight : -halfHeight,
                             depth};
        for (int j = 0; j < 3; ++j) {
            m_corners[3 * i + j] = static_cast<float>(p[0] * world[j] + p[1] * world[4 + j] +
                                                      p[2] * world[8 + j] + world[12 + j]);
        }
    }
}

int RenderCamera::Project(const float* viewPoint, float* screen, float* depth) {
    Record("Project");
    float clip[4];
    for (int j = 0; j < 4; ++j) {
        clip[j] = viewPoint[0] * m_projection[j] + viewPoint[1] * m_projection[4 + j] +
                  viewPoint[2] * m_projection[8 + j] + m_projection[12 + j];
    }
    if (clip[3] <= 0.0f) {
        return 0;
    }
    const float x = clip[0] / clip[3] * m_viewScale[0] + m_projectionOffset[0];
    const float y = clip[1] / clip[3] * m_viewScale[1] + m_projectionOffset[1];
    if (screen) {
        screen[0] = (x + 1.0f) * 0.5f * static_cast<float>(m_viewportWidth);
        screen[1] = (1.0f - y) * 0.5f * static_cast<float>(m_viewportHeight);
    }
    if (depth) {
        *depth = clip[2] / clip[3];
    }
    return 1;
}

void RenderCamera::Unproject(float x, float* nearPoint, float* farPoint, float y) {
    Record("Unproject");
    const float ndc[3] = {
        (x / static_cast<float>(m_viewportWidth) * 2.0f - 1.0f - m_projectionOffset[0]) / m_viewScale[0],
        (1.0f - y / static_cast<float>(m_viewportHeight) * 2.0f - m_projectionOffset[1]) / m_viewScale[1], 0.0f};
    if (nearPoint) {
        TransformCoord(ndc, 1.0f, m_inverseProjection, nearPoint);
    }
    if (farPoint) {
        const float farNdc[3] = {ndc[0], ndc[1], 1.0f};
        TransformCoord(farNdc, 1.0f, m_inverseProjection, farPoint);
    }
}

void RenderCamera::SetViewScale(const float* scale) {
    Record("SetViewScale");
    // A zero or non-finite factor could not be undone by Unproject: the old scale stays.
    if (!scale) return;
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(scale[i]) || scale[i] == 0.0f) return;
    std::memcpy(m_viewScale, scale, sizeof m_viewScale);
}

void RenderCamera::SetProjectionOffset(const float* offset) {
    Record("SetProjectionOffset");
    if (!offset) return;
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(offset[i])) return;
    std::memcpy(m_projectionOffset, offset, sizeof m_projectionOffset);
}

const float* RenderCamera::GetPosition() {
    Record("GetPosition");
    return m_position;
}

const float* RenderCamera::GetFrustumCorners() {
    Record("GetFrustumCorners");
    return m_corners;
}

int RenderCamera::IsOrthographic() {
    Record("IsOrthographic");
    return m_orthographic ? 1 : 0;
}

void RenderCamera::GetDrawingProjection(float* out) const {
    // x' = x s + w o on the clip coordinates is ndc x s + o after the division by w.
    std::memcpy(out, m_projection, sizeof m_projection);
    for (int row = 0; row < 4; ++row) {
        const float w = m_projection[4 * row + 3];
        for (int axis = 0; axis < 2; ++axis)
            out[4 * row + axis] = m_projection[4 * row + axis] * m_viewScale[axis] + w * m_projectionOffset[axis];
    }
}

void RenderCamera::SetViewportSize(int width, int height) {
    if (width > 0 && height > 0) {
        m_viewportWidth = width;
        m_viewportHeight = height;
    }
}

}  // namespace quor::host
