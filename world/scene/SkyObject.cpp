#include "world/scene/SkyObject.h"

#include "platform/host/IRenderCamera.h"
#include "platform/host/IRenderer.h"
#include "world/core/Camera.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/mesh/MeshBase.h"
#include "world/mesh/SubMesh.h"
#include "world/scene/SceneBase.h"

namespace quor::world {

SkyObject::SkyObject() {
    if (render::IRenderer* renderer = Interfaces().renderer) m_renderCamera = renderer->CreateRenderCamera();
}

SkyObject::~SkyObject() {
    if (m_mesh) m_mesh->Destroy();
    m_mesh = nullptr;
    if (render::IRenderer* renderer = Interfaces().renderer; renderer && m_renderCamera) {
        renderer->ReleaseRenderCamera(m_renderCamera);
    }
}

bool SkyObject::LoadMesh(const char* fileName) {
    const char* name = fileName ? fileName : "";
    MeshBase* mesh = NewObject<Mesh>();
    if (!mesh) {
        LogError("SkyObject's mesh file %s is not found!", name);
        return false;
    }
    if (!fileName || !mesh->LoadMeshFile(fileName)) {
        mesh->Destroy();
        LogError("Failed to load SkyObject's mesh file %s!", name);
        return false;
    }
    // Sky use: no merged draws, so every sub-mesh draws with its own record and camera; no
    // re-sort request left over (the sky runs no animation step to clear it); the next fill
    // rebuilds the draw list and hands the records to the renderables.
    mesh->SetMergeDraws(false);
    mesh->SetForceSort(false);
    mesh->MarkDrawListStale();
    for (std::uint32_t i = 0, n = mesh->GetSubMeshCount(); i < n; ++i) {
        SubMesh* record = mesh->GetSubMesh(i);
        SetSubMeshRecordFlag(record, SubMesh::kOwnCamera);
        if (record) record->SetRenderCamera(m_renderCamera);
    }
    if (m_mesh) m_mesh->Destroy();
    m_mesh = mesh;
    InvalidateTransform();
    return true;
}

common::SharedString SkyObject::GetResourceName() {
    return m_mesh ? m_mesh->GetFileName() : common::SharedString("");
}

void SkyObject::GetWorldBound(Vec3* center, float* radius, Vec3* extents, int space) {
    Bounds bound = ZeroBound();
    Vec3 min, max;
    if (m_mesh && m_mesh->GetBoundingBox(min, max)) {
        bound.SetBoxFromMinMax(min, max);
        bound.radius = Vec3Length(bound.half);
    }
    GetBoundParts(bound, center, radius, extents, space);
}

void SkyObject::Update() {
    SpaceObject::Update();
    if (!m_mesh) return;
    m_mesh->SetSoftwareSkinning(IsTransformChanged());
    // The sky's clip and uv tracks advance here, once a frame: drawing does not advance them.
    m_mesh->UpdateAnimation(IsTransformChanged());
}

bool SkyObject::PrepareCamera(Camera* camera) {
    render::IRenderCamera* source = camera ? camera->GetRenderCamera() : nullptr;
    if (!source || !m_renderCamera) return false;
    Vec3 eye;
    camera->SpaceObject::GetWorldPosition(eye);
    m_renderCamera->SetViewMatrix(source->GetViewMatrix());
    m_renderCamera->SetProjectionMatrix(source->GetProjectionMatrix());
    Vec3 centre;
    float radius = 0.0f;
    GetWorldBound(&centre, &radius, nullptr, kBoundWorld);
    const float far = Vec3Length(centre - eye) + radius;
    m_renderCamera->SetDepthRange(kNear, far);
    m_renderCamera->Refresh();
    return true;
}

void SkyObject::DrawParts(int) {
    if (!m_mesh) return;
    auto* scene = static_cast<SceneBase*>(GetScene());
    Camera* camera = scene ? scene->GetActiveCamera() : nullptr;
    if (!camera || !PrepareCamera(camera)) return;
    const Matrix& world = GetWorldMatrix();
    m_mesh->Render(world, camera);
    for (std::uint32_t i = 0, n = m_mesh->GetSubMeshCount(); i < n; ++i) {
        if (m_mesh->IsSubMeshVisible(i)) m_mesh->DrawSubMesh(i, world);
    }
}

}  // namespace quor::world
