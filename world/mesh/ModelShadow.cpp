#include "world/mesh/ModelBase.h"

// Shadows, render effects and name labels of a model. Placeholder bodies until those land:
// every creation fails, every draw does nothing, and the owned records are simply freed.

namespace quor::world {

void ModelBase::SetSocketLabel(const char*, const char*, int, IScene*) {}
void ModelBase::RemoveSocketLabel(const char*) {}
bool ModelBase::CreatePlaneShadow(const float*, Light*, int) { return false; }
bool ModelBase::CreateShadow(int, const float*) { return false; }
void ModelBase::SetShadowTarget(ISpaceObject*) {}
void ModelBase::SetShadowPlaneOffset(float) {}
float ModelBase::GetShadowPlaneOffset() { return 0.0f; }
void ModelBase::ReleaseShadow() {}
void ModelBase::SetShadowVisible(bool visible) { m_shadowFlag = visible ? 1 : 0; }
bool ModelBase::SetShadowLightAlpha(int, std::uint8_t) { return false; }
bool ModelBase::SetRenderEffectEnabled(const char*, bool) { return false; }

void ModelBase::DrawPlaneShadow(Light*) {}
void ModelBase::DrawShadowVolume() {}
void ModelBase::DrawRenderEffects() {}
void ModelBase::UpdateShadowHelpers() {}
void ModelBase::UpdateNameLabel() {}
void ModelBase::PlaceShadowDecal() {}
void ModelBase::MarkShadowsMoved() {
    if (m_planeShadow) m_planeShadow->dirty = 1;
}

void ModelBase::ReleaseShadowObjects() {
    m_planeShadow.reset();
    m_decal = nullptr;
    m_shadowVolume = nullptr;
    m_renderEffects.clear();
}

void CreateOutlineTechnique(ModelBase* model) {
    if (model) model->DrawRenderEffects();
}
void CreateShadowOnPlaneTechnique(ModelBase*, int) {}
void CreateShadowVolumeTechnique(ModelBase* model) {
    if (model) model->DrawShadowVolume();
}

}  // namespace quor::world
