// Shadows, render effects and name labels of a model.
#include <cmath>
#include <cstring>

#include "platform/host/IRenderCamera.h"
#include "platform/host/IRenderer.h"
#include "platform/host/ISkinBuffer.h"
#include "platform/host/IUpperText.h"
#include "world/core/Camera.h"
#include "world/core/IWorld.h"
#include "world/core/InterfaceTable.h"
#include "world/core/LightList.h"
#include "world/core/Log.h"
#include "world/fx/UpperText.h"
#include "world/mesh/MeshBase.h"
#include "world/mesh/MeshSegment.h"
#include "world/mesh/ModelBase.h"
#include "world/mesh/ShadowPlanes.h"
#include "world/scene/IScene.h"

namespace quor::world {

namespace {

render::IRenderer* Renderer() { return Interfaces().renderer; }

// The scene's light named exactly "MainLight", or null.
Light* FindMainLight(IScene* scene) {
    if (!scene) return nullptr;
    const int count = scene->GetLightCount();
    for (int i = 0; i < count; ++i) {
        Light* light = scene->GetLight(std::uint32_t(i));
        if (light && std::strcmp(light->GetName(), "MainLight") == 0) return light;
    }
    return nullptr;
}

bool SceneHasLight(IScene* scene, const Light* light) {
    if (!scene || !light) return false;
    const int count = scene->GetLightCount();
    for (int i = 0; i < count; ++i)
        if (scene->GetLight(std::uint32_t(i)) == light) return true;
    return false;
}

// The scene's model pass mode: 1 lets decals show, 0 planar shadows.
int PassMode(IScene* scene) { return scene ? scene->GetModelPassCount() : 0; }

}  // namespace

// --- name labels -----------------------------------------------------------------------------

void ModelBase::SetSocketLabel(const char* socketName, const char* labelName, int pixelOffset, IScene* scene) {
    const std::string label = labelName ? labelName : "";
    for (auto& entry : m_labels) {
        if (entry->labelName != label) continue;
        entry->socketName = socketName ? socketName : "";
        entry->pixelOffset = pixelOffset;
        entry->scene = scene;
        return;
    }
    auto entry = std::make_unique<NameLabelEntry>();
    entry->socketName = socketName ? socketName : "";
    entry->labelName = label;
    entry->pixelOffset = pixelOffset;
    entry->scene = scene;
    m_labels.push_back(std::move(entry));
}

void ModelBase::RemoveSocketLabel(const char* socketName) {
    const std::string socket = socketName ? socketName : "";
    for (auto it = m_labels.begin(); it != m_labels.end(); ++it) {
        if ((*it)->socketName != socket) continue;
        m_labels.erase(it);
        return;
    }
}

bool PlaceLabel(Camera* camera, const Vec3& point, int pixelOffset, float* out) {
    render::IRenderCamera* renderCamera = camera ? camera->GetRenderCamera() : nullptr;
    if (!renderCamera) return false;
    // The depth the text sorts and draws at: z / w through view and projection. Behind the
    // eye (w <= 0) there is no place on the screen.
    Vec4 viewPoint, clip;
    Vec4Transform(Vec4(point.x, point.y, point.z, 1.0f), camera->GetViewMatrix(), viewPoint);
    Matrix projection;
    std::memcpy(projection.m, renderCamera->GetProjectionMatrix(), sizeof projection.m);
    Vec4Transform(viewPoint, projection, clip);
    if (!(clip.w > 0.0f)) return false;
    float screen[2] = {0.0f, 0.0f};
    float projected = 0.0f;
    camera->WorldToScreen(point, screen, &projected);
    // Whole pixels, cut towards zero in floating point: a point just in front of the eye
    // projects far outside any integer range.
    out[0] = std::trunc(screen[0]);
    out[1] = std::trunc(screen[1] + float(pixelOffset));
    out[2] = clip.z / clip.w;
    return true;
}

void ModelBase::UpdateNameLabel() {
    if (m_labels.empty()) return;
    IScene* scene = Interfaces().world ? Interfaces().world->GetCurrentScene() : nullptr;
    if (!scene) return;
    // A label needs the active camera to be placed; without one it stays where it was.
    Camera* camera = scene->GetActiveCamera();
    if (!camera || !camera->GetRenderCamera()) return;
    UpperTextGroup* group = UpperTextMgr::Instance().FindGroup("world_name");
    if (!group) return;
    for (const auto& entry : m_labels) {
        if (entry->scene != scene) continue;
        const int socket = FindSocket(entry->socketName.c_str());
        if (socket < 0) continue;
        render::IUpperText* text = group->FindText(entry->labelName.c_str());
        if (!text) continue;
        Matrix world;
        if (!GetSocketWorldMatrix(socket, world)) continue;
        float at[3];
        if (!PlaceLabel(camera, Vec3(world(3, 0), world(3, 1), world(3, 2)), entry->pixelOffset, at)) continue;
        text->SetPosition(at);
        if (text->IsVisible()) text->Show();
    }
}

// --- planar shadows --------------------------------------------------------------------------

ShadowPlaneFrame ModelBase::ShadowFrame() {
    ShadowPlaneFrame frame;
    frame.hasParent = GetParent() != nullptr;
    if (frame.hasParent) GetInverseLocalMatrix(frame.parentRelativeInverse);
    frame.renormalise = HasScale();
    frame.worldInverse = GetInverseWorldMatrix();
    frame.scaledOrMirrored = HasWorldScale() || IsWorldMirrored();
    return frame;
}

bool ModelBase::CreatePlaneShadow(const float* plane, Light* light, int kind) {
    if (!plane) return false;
    if (!m_planeShadow) m_planeShadow = std::make_unique<PlaneShadowRecord>();
    PlaneShadowRecord& record = *m_planeShadow;
    if (record.parts.size() >= PlaneShadowRecord::kMaxPlanes) return false;
    bool added = false;
    const int index = FindOrAddShadowPlane(record.planes, record.kinds, record.planeCount, plane, kind, &added);
    if (index < 0) {
        LogWarning("Model shadow plane (%g, %g, %g, %g) refused: %u planes are in use already", plane[0], plane[1],
                   plane[2], plane[3], record.planeCount);
        return false;
    }
    if (added) PlaceShadowPlane(record.planes[index], record.kinds[index], ShadowFrame(), record.placedPlanes[index]);
    m_shadowMode = 3;
    if (!SceneHasLight(GetOwnerScene(), light)) return false;
    render::IRenderer* renderer = Renderer();
    render::ISkinBuffer* part = renderer ? renderer->CreateSkinBuffer(render::kSkinBufferPlaneShadow) : nullptr;
    if (!part) return false;
    bool known = false;
    for (std::uint32_t i = 0; i < record.lightCount; ++i) known = known || record.lights[i] == light;
    if (!known && record.lightCount < PlaneShadowRecord::kMaxPlanes) record.lights[record.lightCount++] = light;
    part->SetLight(light->GetRenderLight());
    part->SetPlane(record.placedPlanes[index]);
    part->SetVisible(m_shadowFlag != 0);
    record.parts.push_back(part);
    record.partLights.push_back(light);
    record.partPlanes.push_back(index);
    return true;
}

bool ModelBase::CreateShadow(int, const float* extents) {
    IScene* scene = GetOwnerScene();
    if (Light* main = FindMainLight(scene)) {
        const float ground[4] = {0.0f, 1.0f, 0.0f, 0.0f};
        CreatePlaneShadow(ground, main, kPlaneRelativeToModel);
        SetShadowVisible(true);
    }
    if (m_decal) return true;
    render::IRenderer* renderer = Renderer();
    if (!renderer) return false;
    m_decal = renderer->CreateSkinBuffer(render::kSkinBufferDecal);
    if (!m_decal) return false;
    m_decalKind = 2;
    if (scene) scene->AddModelDecal(m_decal, static_cast<IVisibleObject*>(this));
    if (extents) {
        m_extentsOff = 1;
        m_decalExtents[0] = extents[0];
        m_decalExtents[1] = extents[1];
    }
    PlaceShadowDecal();
    return true;
}

void ModelBase::PlaceShadowDecal() {
    if (!m_decal) return;
    Vec3 centre, half;
    float radius = 0.0f;
    GetWorldBound(&centre, &radius, &half, kBoundWorld);
    const float at[3] = {centre.x, centre.y, centre.z};
    // The caller's extents replace the bound's in x and z; the height stays the bound's.
    const float extents[3] = {m_extentsOff ? m_decalExtents[0] : half.x, half.y,
                              m_extentsOff ? m_decalExtents[1] : half.z};
    m_decal->SetPlacement(at, extents);
}

void ModelBase::SetShadowTarget(ISpaceObject* object) {
    if (!object || m_shadowVolume) return;
    render::IRenderer* renderer = Renderer();
    render::ISkinBuffer* volume = renderer ? renderer->CreateSkinBuffer(render::kSkinBufferVolume) : nullptr;
    if (!volume) return;
    auto* visible = dynamic_cast<VisibleObject*>(object);
    m_shadowTarget = visible ? visible->GetRenderRecord() : nullptr;
    m_shadowVolume = volume;
    m_shadowVolume->SetTarget(m_shadowTarget);
    m_shadowVolume->SetVisible(m_shadowFlag != 0);
    m_shadowMode = 4;
}

void ModelBase::SetShadowPlaneOffset(float d) {
    if (!m_planeShadow) return;
    m_planeShadow->planes[0][3] = d;
    // The next draw places every plane again.
    m_planeShadow->dirty = 0;
}

float ModelBase::GetShadowPlaneOffset() { return m_planeShadow ? m_planeShadow->planes[0][3] : 0.0f; }

void ModelBase::ReleasePlaneParts() {
    if (!m_planeShadow) return;
    render::IRenderer* renderer = Renderer();
    for (render::ISkinBuffer* part : m_planeShadow->parts)
        if (renderer) renderer->ReleaseSkinBuffer(part);
    *m_planeShadow = PlaneShadowRecord();
}

void ModelBase::ReleaseShadow() {
    ReleasePlaneParts();
    if (m_decal) {
        if (IScene* scene = GetOwnerScene()) scene->RemoveModelDecals(m_decal);
        // Off the scene's list it is not drawn.
        m_decal->SetVisible(false);
    }
    if (m_shadowVolume) {
        if (render::IRenderer* renderer = Renderer()) renderer->ReleaseSkinBuffer(m_shadowVolume);
        m_shadowVolume = nullptr;
        m_shadowTarget = nullptr;
    }
}

void ModelBase::SetShadowVisible(bool visible) {
    m_shadowFlag = visible ? 1 : 0;
    const int mode = PassMode(GetOwnerScene());
    if (m_decal) m_decal->SetVisible(mode == 1 ? visible : false);
    if (m_shadowVolume) m_shadowVolume->SetVisible(visible);
    if (!m_planeShadow) return;
    const bool show = mode == 0 && visible;
    for (render::ISkinBuffer* part : m_planeShadow->parts) {
        part->SetVisible(show);
        if (show) part->Refresh(render::kMarkEverything);
    }
}

bool ModelBase::SetShadowLightAlpha(int light, std::uint8_t alpha) {
    if (!m_planeShadow || light < 0 || std::uint32_t(light) >= m_planeShadow->lightCount) {
        LogWarning("SetShadowLightAlpha: no shadow light %d", light);
        return false;
    }
    const Light* which = m_planeShadow->lights[light];
    for (std::size_t i = 0; i < m_planeShadow->parts.size(); ++i) {
        if (m_planeShadow->partLights[i] != which) continue;
        render::IMaterial* material = m_planeShadow->parts[i]->GetMaterial();
        render::IMaterialParams* params = material ? material->GetParameters() : nullptr;
        if (params) params->SetFloat("Alpha", float(alpha) / 255.0f);
    }
    return true;
}

void ModelBase::UpdateShadowHelpers() {
    if (!m_planeShadow || m_planeShadow->parts.empty()) return;
    MeshBase* mesh = GetMesh();
    if (!mesh) return;
    const Bounds bounds = mesh->GetFrameBounds(MeshSegment::kCurrentFrame);
    for (render::ISkinBuffer* part : m_planeShadow->parts) part->SetBounds(&bounds.centre.x);
    for (render::ISkinBuffer* part : m_planeShadow->parts) part->Refresh(render::kMarkEverything);
}

void ModelBase::MarkShadowsMoved() {
    if (!m_planeShadow) return;
    m_planeShadow->dirty = 1;
    if (m_shadowMode == 2) return;
    for (render::ISkinBuffer* part : m_planeShadow->parts) part->Refresh(render::kMarkEverything);
}

void ModelBase::RefreshShadowPlanes() {
    PlaneShadowRecord& record = *m_planeShadow;
    const bool all = record.dirty == 0;
    const bool modelMoved = IsTransformChanged();
    ISpaceObject* parent = GetParent();
    const bool parentMoved = parent && parent->IsTransformChanged();
    const ShadowPlaneFrame frame = ShadowFrame();
    for (std::uint32_t i = 0; i < record.planeCount && i < PlaneShadowRecord::kMaxPlanes; ++i) {
        const bool moved = (record.kinds[i] == kPlaneRelativeToParent && parentMoved) ||
                           (record.kinds[i] == kPlaneFixedInWorld && modelMoved);
        if (!all && !moved) continue;
        PlaceShadowPlane(record.planes[i], record.kinds[i], frame, record.placedPlanes[i]);
        for (std::size_t p = 0; p < record.parts.size(); ++p) {
            if (record.partPlanes[p] != int(i)) continue;
            record.parts[p]->SetPlane(record.placedPlanes[i]);
            record.parts[p]->Refresh(render::kMarkEverything);
        }
    }
}

void ModelBase::DrawPlaneShadow(Light* light) {
    if (!UpdateEnabled() || !ReadyMesh() || !m_planeShadow || !light) return;
    render::IRenderer* renderer = Renderer();
    if (!renderer) return;
    PlaneShadowRecord& record = *m_planeShadow;
    bool listed = false;
    for (std::uint32_t i = 0; i < record.lightCount; ++i) listed = listed || record.lights[i] == light;
    if (listed && light->IsEnabled() && light->FrameStamp() == renderer->GetFrameStamp()) {
        if (light->IsTransformChanged()) {
            for (std::size_t p = 0; p < record.parts.size(); ++p)
                if (record.partLights[p] == light) record.parts[p]->Refresh(render::kMarkLightMoved);
        }
        RefreshShadowPlanes();
        if (render::IExtTechnique* technique = renderer->GetExtTechnique("<ShadowOnPlane>", 1)) {
            const Matrix& world = GetWorldMatrix();
            for (std::size_t p = 0; p < record.parts.size(); ++p) {
                render::ISkinBuffer* part = record.parts[p];
                if (record.partLights[p] != light || !part->IsReady()) continue;
                part->SetDrawRecord(m_draw.stream, m_draw.ranges.data(), std::uint32_t(m_draw.ranges.size()), world.m);
                part->Refresh(render::kMarkDrawn);
                technique->DrawObject(part);
            }
        }
        record.dirty = 1;
    }
    // Models carried by this one cast their planar shadows with it.
    for (SpaceObject* child : Children()) {
        auto* model = dynamic_cast<ModelBase*>(child);
        if (model && model->m_planeShadow && model->m_shadowFlag) model->DrawPlaneShadow(light);
    }
}

// --- shadow volume ---------------------------------------------------------------------------

void ModelBase::DrawShadowVolume() {
    if (IsLoading() == 1 || !m_shadowVolume) return;
    render::IRenderer* renderer = Renderer();
    render::IExtTechnique* technique = renderer ? renderer->GetExtTechnique("<ShadowVolume>", 1) : nullptr;
    if (!technique) return;
    m_shadowVolume->SetTarget(m_shadowTarget);
    m_shadowVolume->SetDrawRecord(m_draw.stream, m_draw.ranges.data(), std::uint32_t(m_draw.ranges.size()),
                                  GetWorldMatrix().m);
    technique->DrawObject(m_shadowVolume);
}

// --- render effects --------------------------------------------------------------------------

bool ModelBase::SetRenderEffectEnabled(const char* effect, bool enable) {
    render::IRenderer* renderer = Renderer();
    render::IExtTechnique* technique = renderer && effect ? renderer->GetExtTechnique(effect, 2) : nullptr;
    if (!technique) {
        LogWarning("SetRenderEffectEnabled: no render effect \"%s\"", effect ? effect : "(null)");
        return false;
    }
    auto it = m_renderEffects.find(technique);
    if (it == m_renderEffects.end()) {
        if (!enable) return true;
        it = m_renderEffects.emplace(technique, RenderEffectEntry{}).first;
        it->second.technique = technique;
    }
    it->second.enabled = enable ? 1 : 0;
    return true;
}

void ModelBase::DrawRenderEffects() {
    if (!ReadyMesh()) return;
    for (auto& [technique, entry] : m_renderEffects) {
        if (!entry.enabled) continue;
        entry.model = this;
        entry.world = &GetWorldMatrix();
        const char* name = technique->GetName();
        if (!entry.material && name && std::strcmp(name, "<Outline>") == 0) {
            // The outline samples the model's own texture; a mesh without sub-meshes has none.
            render::IMaterial* first = GetSubMeshCount() > 0 ? GetSubMeshMaterial(0) : nullptr;
            entry.material = technique->CreateMaterial();
            if (entry.material && first) entry.material->SetTexture("TexDiffuse", first->GetTexture("Tex0"));
        }
        render::RenderEffectInstance instance;
        instance.technique = technique;
        instance.material = entry.material;
        instance.model = entry.model;
        instance.world = entry.world->m;
        instance.enabled = entry.enabled;
        instance.stream = m_draw.stream;
        instance.ranges = m_draw.ranges.data();
        instance.rangeCount = std::uint32_t(m_draw.ranges.size());
        technique->DrawInstance(&instance);
    }
}

// --- release ---------------------------------------------------------------------------------

void ModelBase::ReleaseShadowObjects() {
    render::IRenderer* renderer = Renderer();
    ReleasePlaneParts();
    m_planeShadow.reset();
    if (m_decal) {
        // The scene dropped it already: RemoveFromScene runs before a scene lets a model go.
        if (renderer) renderer->ReleaseSkinBuffer(m_decal);
        m_decal = nullptr;
    }
    if (m_shadowVolume) {
        if (renderer) renderer->ReleaseSkinBuffer(m_shadowVolume);
        m_shadowVolume = nullptr;
    }
    m_shadowTarget = nullptr;
    for (auto& [technique, entry] : m_renderEffects)
        if (entry.material && renderer) renderer->ReleaseMaterial(entry.material);
    m_renderEffects.clear();
}

void CreateOutlineTechnique(ModelBase* model) {
    if (model) model->DrawRenderEffects();
}
// Pass i of the scene's planar-shadow passes casts the shadows of the scene's light i.
void CreateShadowOnPlaneTechnique(ModelBase* model, int pass) {
    IScene* scene = model ? model->GetOwnerScene() : nullptr;
    if (!scene || pass < 0 || pass >= scene->GetLightCount()) return;
    model->DrawPlaneShadow(scene->GetLight(std::uint32_t(pass)));
}
void CreateShadowVolumeTechnique(ModelBase* model) {
    if (model) model->DrawShadowVolume();
}

}  // namespace quor::world
