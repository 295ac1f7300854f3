#include "world/fx/Picture3D.h"

#include <cmath>

#include "platform/host/IEffect.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderView.h"
#include "platform/host/IRenderer.h"
#include "platform/host/ITexture.h"
#include "world/core/Camera.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/math/Geometry.h"
#include "world/fx/FxBase.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/IScene.h"

namespace quor::world {

render::IEffect* MakePictureEffect();

namespace {

constexpr float kDegToRad = 3.14159265358979323846f / 180.0f;

// The target every picture in snapshot mode renders its model into, and how many hold it.
render::ITexture* g_sharedTarget = nullptr;
int g_sharedTargetId = 0;
int g_sharedCount = 0;

void ViewportSize(int& width, int& height) {
    width = height = 0;
    if (render::IRenderer* renderer = Interfaces().renderer) renderer->GetBackBufferSize(&width, &height);
}

}  // namespace

int Picture3D::SharedTargetCount() { return g_sharedCount; }

Picture3D::Picture3D(IScene* owner) : PictureBase(owner) {
    m_kind = 1;
    if (render::IRenderer* renderer = Interfaces().renderer) m_view = renderer->CreateRenderView(1);
}

Picture3D::~Picture3D() {
    if (m_snapshot) DropSharedTarget();
    ReleaseSnapshot();
    if (render::IRenderer* renderer = Interfaces().renderer)
        if (m_view) renderer->ReleaseRenderView(m_view);
    m_view = nullptr;
    m_object = nullptr;
}

bool Picture3D::AttachTo(SpaceObject* object, Camera* camera) {
    if (!object || (object->GetObjectType() != 3 && object->GetObjectType() != 4)) return false;
    m_object = object;
    SetAttachTarget(camera);
    return true;
}

void Picture3D::SetAttachTarget(Camera* camera) {
    m_camera = camera;
    MarkDirty(true);
}

IModel* Picture3D::GetAttachedModel() {
    return m_object && m_object->GetObjectType() == 3 ? static_cast<ModelBase*>(m_object) : nullptr;
}

IFxBase* Picture3D::GetAttachedEffect() {
    return m_object && m_object->GetObjectType() == 4 ? static_cast<FxBase*>(m_object) : nullptr;
}

ISpaceObject* Picture3D::GetAttachedSpaceObject() { return m_object; }

common::SharedString Picture3D::GetTextureName() {
    if (IModel* model = GetAttachedModel()) return model->GetMeshFileName();
    if (m_object && m_object->GetObjectType() == 4) {
        std::string name;
        return common::SharedString(static_cast<FxBase*>(m_object)->GetFileName(name).c_str());
    }
    return {};
}

const char* Picture3D::GetName() {
    if (m_object && m_object->GetObjectType() == 4) return static_cast<FxBase*>(m_object)->GetName();
    m_nameCache = GetTextureName();
    return m_nameCache.c_str();
}

void Picture3D::SetLocalScale(float x, float y) {
    m_scale = {x, y};
    if (m_object) m_object->SetScale(Vec3(x, x, x));
    PictureBase::MarkDirty(false);
}

void Picture3D::Rotate(float degrees) {
    PictureBase::Rotate(degrees);
    if (m_object) m_object->RotateLocalY(degrees * kDegToRad);
}

bool Picture3D::CreateShadow(const PicPoint* size) {
    if (!PictureBase::CreateShadow(size)) return false;
    IModel* model = GetAttachedModel();
    Light* light = m_owner ? m_owner->GetMainLight() : nullptr;
    if (model && light) {
        const float plane[4] = {0.0f, 1.0f, 0.0f, 0.0f};
        model->CreatePlaneShadow(plane, light, 1);
    }
    return true;
}

void Picture3D::MarkDirty(bool moved) {
    PictureBase::MarkDirty(moved);
    if (!moved || !m_camera || !m_object) return;
    const PicPoint p = GetPosition();
    Ray ray;
    m_camera->ScreenPointToRay(p.x, ray, p.y);
    Vec3 hit;
    float t = 0.0f;
    // A ray along the ground never meets it: the object stays where it is.
    if (!IntersectLineWithPlaneY(ray, 0.0f, hit, t) || !std::isfinite(hit.x) || !std::isfinite(hit.z)) {
        LogWarning("Picture3D: the view ray does not meet the ground; the object stays");
        return;
    }
    if (m_heightOffset > 0.0f) hit.y = m_heightOffset;
    m_object->SetPosition(hit);
}

void Picture3D::UpdatePlacement() {
    m_placement[0] = m_placement[1] = -1e10f;
    m_placement[2] = m_placement[3] = 1e10f;
    IModel* model = GetAttachedModel();
    if (!model || !m_camera) return;
    Vec3 lo, hi;
    if (!model->GetBoundingBox(lo, hi, nullptr)) return;
    for (int i = 0; i < 8; ++i) {
        // The bounds are the model's own: its corners go through its placement, scale and turn.
        Vec3 corner(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z);
        if (m_object) m_object->LocalToWorld(Vec3(corner), corner);
        float screen[2] = {};
        float depth = 0.0f;
        m_camera->WorldToScreen(corner, screen, &depth);
        m_placement[0] = std::max(m_placement[0], screen[0]);
        m_placement[1] = std::max(m_placement[1], screen[1]);
        m_placement[2] = std::min(m_placement[2], screen[0]);
        m_placement[3] = std::min(m_placement[3], screen[1]);
    }
}

void Picture3D::Render(bool draw, bool drawShadow) {
    if (m_shadowEnabled && drawShadow) {
        render::IRenderer* renderer = Interfaces().renderer;
        const bool hardware = renderer && renderer->IsHardwareSkinning();
        const int passes = m_owner ? m_owner->GetModelPassCount() : 0;
        if (hardware || passes == 1) {
            if (m_shadow) m_shadow->Render(true, true);
        }
        // Without hardware skinning and with pass count 0 the model's own plane shadow is drawn
        // by the model with the scene's objects.
    }
    if (!draw) return;
    if (m_snapshot && m_snapshotTaken && !m_snapshotCopied && m_snapshotPrimitive) {
        m_snapshotCopied = true;
        UpdatePlacement();
        const float rect[4] = {m_placement[2], m_placement[3], m_placement[0], m_placement[1]};
        const float uv[4] = {0.0f, 0.0f, 1.0f, 1.0f};
        m_snapshotPrimitive->DrawEx(0, rect, 0, uv);
        return;
    }
    if (m_snapshot && !m_snapshotTaken) m_snapshotTaken = true;
    // The model itself is drawn by its scene's object pass.
}

bool Picture3D::TakeSharedTarget(int width, int height) {
    if (g_sharedCount == 0) {
        render::IRenderer* renderer = Interfaces().renderer;
        g_sharedTarget = renderer ? renderer->CreateTexture(width, height, 21, 1, 1, 0) : nullptr;
        if (!g_sharedTarget) return false;
        // Registered to be drawn into, depth 16 bits; a texture the renderer cannot draw into
        // goes back.
        g_sharedTargetId = renderer->AddRenderTarget(g_sharedTarget, 0, 0x50, 0);
        if (g_sharedTargetId == 0) {
            renderer->ReleaseTexture(g_sharedTarget);
            g_sharedTarget = nullptr;
            return false;
        }
        renderer->SetRenderTargetClearColour(g_sharedTargetId, 0x0F000000u);
    }
    ++g_sharedCount;
    return true;
}

void Picture3D::DropSharedTarget() {
    if (g_sharedCount <= 0) return;
    if (--g_sharedCount == 0) {
        if (render::IRenderer* renderer = Interfaces().renderer) {
            if (g_sharedTargetId) renderer->RemoveRenderTarget(g_sharedTargetId);
            if (g_sharedTarget) renderer->ReleaseTexture(g_sharedTarget);
        }
        g_sharedTarget = nullptr;
        g_sharedTargetId = 0;
    }
}

void Picture3D::ReleaseSnapshot() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (renderer) {
        if (m_snapshotTexture) renderer->ReleaseTexture(m_snapshotTexture);
        if (m_snapshotPrimitive) {
            m_snapshotPrimitive->Release();
            renderer->ReleasePrimitive(m_snapshotPrimitive);
        }
        if (m_snapshotEffect) renderer->ReleaseEffect(m_snapshotEffect);
    }
    m_snapshotTexture = nullptr;
    m_snapshotPrimitive = nullptr;
    m_snapshotEffect = nullptr;
}

void Picture3D::SetSnapshotMode(bool on) {
    if (on == m_snapshot) return;
    m_snapshotTaken = m_snapshotCopied = false;
    ReleaseSnapshot();
    if (!on) {
        m_snapshot = false;
        DropSharedTarget();
        return;
    }
    int vw = 0, vh = 0;
    ViewportSize(vw, vh);
    UpdatePlacement();
    const float w = m_placement[0] - m_placement[2], h = m_placement[1] - m_placement[3];
    if (m_placement[2] < 0.0f || m_placement[3] < 0.0f || m_placement[0] > float(vw) || m_placement[1] > float(vh) ||
        !(w > 0.0f) || !(h > 0.0f))
        return;
    if (!TakeSharedTarget(vw, vh)) return;
    render::IRenderer* renderer = Interfaces().renderer;
    m_snapshotTexture = renderer->CreateTexture(int(std::ceil(w)), int(std::ceil(h)), 21, 0, 1, 0);
    if (!m_snapshotTexture) {
        LogError("%0.3f,%0.3f", static_cast<double>(w), static_cast<double>(h));
        // The count taken above goes back: the mode stays off.
        DropSharedTarget();
        return;
    }
    m_snapshotPrimitive = renderer->CreatePrimitive(7, 0x144);
    m_snapshotEffect = MakePictureEffect();
    if (m_snapshotEffect) m_snapshotEffect->SetTechniqueName("Picture3DPic");
    if (m_snapshotPrimitive) {
        m_snapshotPrimitive->SetVertexCount(1, -1, 0, 1);
        m_snapshotPrimitive->SetEffect(m_snapshotEffect);
        m_snapshotPrimitive->SetTexture(0, m_snapshotTexture);
    }
    m_snapshot = true;
}

bool Picture3D::Load(const char* path) {
    IModel* model = GetAttachedModel();
    return model && path && model->AddMeshFile(path, 0, nullptr);
}

void Picture3D::SetDisplayStateAll(std::uint8_t state) {
    SetDisplayState(state, false);
    if (m_object) m_object->SetVisible(state != 0, true);
}

}  // namespace quor::world
