#include "world/fx/OrthoLabel.h"

#include <cmath>

#include "platform/host/ICEGUI.h"
#include "platform/host/IRenderer.h"
#include "world/core/Camera.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/math/Matrix.h"
#include "world/fx/QuadBatch.h"
#include "world/mesh/ModelBase.h"

namespace quor::world {

namespace {
int g_screenWidth = 0;
int g_screenHeight = 0;
}  // namespace

void OrthoLabel::FlushBatch(bool skip) {
    if (!skip) QuadBatch::DrawQueued();
}

OrthoLabelList::~OrthoLabelList() { Clear(); }

int OrthoLabelList::ScreenWidth() { return g_screenWidth; }
int OrthoLabelList::ScreenHeight() { return g_screenHeight; }

OrthoLabel* OrthoLabelList::AddLabel(const char* windowName, IModel* model, const char* socketName, IScene* scene) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto* label = new OrthoLabel;
    m_labels.push_back(label);
    if (model) model->FindSocket(socketName ? socketName : "");
    label->model = model;
    label->scene = scene;
    label->list = this;
    label->socketName = socketName ? socketName : "";
    label->windowName = windowName ? windowName : "";
    return label;
}

void OrthoLabelList::DeleteLabel(std::size_t index) {
    OrthoLabel* label = m_labels[index];
    // Overlay calls after this must not reach the freed label.
    if (m_current == label) m_current = nullptr;
    m_labels.erase(m_labels.begin() + std::ptrdiff_t(index));
    delete label;
}

void OrthoLabelList::RemoveLabel(const char* windowName, IModel* model, const char* socketName) {
    std::lock_guard<std::mutex> lock(m_lock);
    const std::string window = windowName ? windowName : "";
    const std::string socket = socketName ? socketName : "";
    for (std::size_t i = 0; i < m_labels.size(); ++i) {
        const OrthoLabel* l = m_labels[i];
        if (l->socketName == socket && l->windowName == window && l->model == model) {
            DeleteLabel(i);
            return;
        }
    }
}

void OrthoLabelList::RemoveModelLabels(const IModel* model) {
    std::lock_guard<std::mutex> lock(m_lock);
    for (std::size_t i = m_labels.size(); i-- > 0;)
        if (m_labels[i]->model == model) DeleteLabel(i);
}

void OrthoLabelList::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    for (OrthoLabel* label : m_labels) delete label;
    m_labels.clear();
    m_current = nullptr;
}

void OrthoLabelList::RenderAll(Camera* camera) {
    if (render::IRenderer* renderer = Interfaces().renderer) renderer->GetBackBufferSize(&g_screenWidth, &g_screenHeight);
    std::lock_guard<std::mutex> lock(m_lock);
    QuadBatch::BeginPass();
    client::ICEGUI* gui = Interfaces().gui;
    for (OrthoLabel* label : m_labels) {
        m_current = label;
        QuadBatch::BeginLabel();
        if (!label->model || !camera) continue;
        Matrix socket;
        const int index = label->model->FindSocket(label->socketName.c_str());
        // Without the socket there is no anchor: the label is not drawn.
        if (index < 0 || !label->model->GetSocketWorldMatrix(index, socket)) continue;
        const Vec3 anchor(socket(3, 0), socket(3, 1), socket(3, 2));
        float screen[2] = {0, 0};
        float unused = 0;
        camera->WorldToScreen(anchor, screen, &unused);
        label->x = screen[0];
        label->y = screen[1];
        label->depth = ProjectToScreen(anchor.x, anchor.y, anchor.z, camera);
        if (gui && IsOnScreen(label->x, label->y, label->width, label->height, g_screenWidth, g_screenHeight))
            gui->DrawWindow(label->windowName.c_str());
    }
}

bool OrthoLabelList::IsOnScreen(float x, float y, int width, int height, int screenWidth, int screenHeight) {
    const float halfWidth = static_cast<float>(width / 2);
    return y - static_cast<float>(height) <= static_cast<float>(screenHeight) &&
           x - halfWidth <= static_cast<float>(screenWidth) && x + halfWidth >= 0.0f && y >= 0.0f;
}

void OrthoLabelList::SetOverlaySize(int width, int height) {
    if (!m_current) return;
    m_current->width = width < 0 ? 200 : width;
    m_current->height = height < 0 ? 200 : height;
}

void OrthoLabelList::SetQuadTexture(render::ITexture* texture) {
    if (m_current) QuadBatch::SetTexture(texture);
}

void OrthoLabelList::AddQuad(float x, float y, float u, float v, std::uint32_t colour) {
    if (m_current) QuadBatch::AddVertex(x, y, u, v, colour);
}

void OrthoLabelList::FlushQuads() {
    if (m_current) FlushOverlay(m_current);
}

void OrthoLabelList::FlushOverlay(OrthoLabel* label) {
    const float left = label->x - static_cast<float>(label->width / 2);
    const float top = label->y - static_cast<float>(label->height);
    if (!QuadBatch::WriteQueued(left, top, label->depth)) return;
    label->FlushBatch(false);
}

bool OrthoLabelList::SetCursorPosition(int x, int y) {
    for (OrthoLabel* label : m_labels) {
        label->cursorX = static_cast<std::int32_t>(static_cast<float>(x) - (label->x - static_cast<float>(label->width / 2)));
        label->cursorY = static_cast<std::int32_t>(static_cast<float>(y) - (label->y - static_cast<float>(label->height)));
    }
    return false;
}

bool OrthoLabelList::HitTest(int, int) {
    // Nearest first; labels of equal depth keep their order.
    const std::size_t n = m_labels.size();
    for (std::size_t pass = 0; pass + 1 < n; ++pass)
        for (std::size_t i = 0; i + 1 < n - pass; ++i)
            if (m_labels[i + 1]->depth < m_labels[i]->depth) std::swap(m_labels[i], m_labels[i + 1]);
    client::ICEGUI* gui = Interfaces().gui;
    if (!gui) return false;
    for (std::size_t i = 0; i < n; ++i) {
        OrthoLabel* l = m_labels[i];
        if (gui->HitTest(l->windowName.c_str(), l->cursorX, l->cursorY, l->x, l->y)) {
            LogInfo("click item[%d] = %f (%s)", static_cast<int>(i), static_cast<double>(l->depth),
                    l->windowName.c_str());
            return true;
        }
    }
    return false;
}

float ProjectToScreen(float x, float y, float z, Camera* camera) {
    if (!camera) return 0.0f;
    const Vec4 point(x, y, z, 1.0f);
    Vec4 view;
    Vec4Transform(point, camera->GetViewMatrix(), view);
    const float* p = camera->GetParam13();
    if (!p) return 0.0f;
    Matrix projection;
    for (int i = 0; i < 16; ++i) projection.m[i] = p[i];
    Vec4 clip;
    Vec4Transform(view, projection, clip);
    return clip.w == 0.0f ? 0.0f : clip.z / clip.w;
}

float PointPlaneDistance(const Vec3& p, const float* plane) {
    const float d = plane[0] * p.x + plane[1] * p.y + plane[2] * p.z - plane[3];
    return d > -0.00001f && d < 0.00001f ? 0.0f : d;
}

bool PlaneFromPoints(const Vec3& p0, const Vec3& p1, const Vec3& p2, float* out) {
    if (p1.y == p0.y || p1.z == p0.z) return false;
    out[0] = 1.0f;
    out[1] = (p1.x - p0.x) / (p1.y - p0.y);
    out[2] = (p1.x - p0.x) / (p1.z - p0.z);
    out[3] = out[1] * p2.y + p2.x + out[2] * p2.z;
    return true;
}

}  // namespace quor::world
