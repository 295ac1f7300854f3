#include <cmath>

#include "platform/host/IRenderer.h"
#include "world/core/Camera.h"
#include "world/fx/FxBase.h"
#include "world/scene/IScene.h"

namespace quor::world {

Camera* FxBase::ActiveFxCamera() const {
    const FxBase* root = m_root ? m_root : this;
    auto* scene = dynamic_cast<IScene*>(const_cast<FxBase*>(root)->GetScene());
    return scene ? scene->GetActiveCamera() : nullptr;
}

float FxBase::DepthOffset(bool orthographic, float zNear, float zFar, float z, float radius) {
    const float range = zFar - zNear;
    if (range == 0.0f) return 0.0f;
    float offset = 0.0f;
    if (orthographic) {
        offset = -radius / range;
    } else {
        const float closer = z - radius;
        if (z == 0.0f || closer == 0.0f) return 0.0f;
        auto depth = [&](float d) { return zFar * (d - zNear) / (d * range); };
        offset = depth(closer) - depth(z);
    }
    return std::isfinite(offset) ? offset : 0.0f;
}

void FxBase::UpdateDepthOffset() {
    if (!m_depthOffsetObject) return;
    Camera* camera = ActiveFxCamera();
    if (!camera) return;
    float zFar = 0.0f;
    const float zNear = camera->GetParam5(&zFar);
    const bool orthographic = camera->GetParam20() != 0;
    float z = 0.0f;
    if (!orthographic) {
        Vec3 world;
        GetWorldPosition(world);
        Vec3 view;
        camera->WorldToView(world, view);
        z = view.z;
    }
    m_depthOffsetObject->SetDepthBias(DepthOffset(orthographic, zNear, zFar, z, m_depthOffset));
}

}  // namespace quor::world
