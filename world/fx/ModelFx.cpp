#include "world/fx/ModelFx.h"

#include <algorithm>
#include <cmath>

#include "platform/host/IXmlNode.h"
#include "world/core/Log.h"
#include "world/core/XmlNodePtr.h"
#include "world/core/math/Matrix.h"
#include "world/fx/KeyLists.h"
#include "world/mesh/MeshBase.h"
#include "world/mesh/ModelBase.h"
#include "world/mesh/SubMesh.h"
#include "world/scene/IScene.h"

namespace quor::world {

ModelFx::ModelFx() { m_kind = kFxKindModel; }

ModelFx::~ModelFx() { ModelFx::Release(); }

ModelBase* ModelFx::CreateModel() { return CreateModelSkeletal(); }

int ModelFx::DirectionMode(int dirType) {
    switch (dirType) {
        case 0: return 1;
        case 1: return 2;
        case 2: return 0;
        default: return dirType;
    }
}

bool ModelFx::LoadFromXml(common::IXmlNode* node, std::uint32_t flags) {
    if (!FxBase::LoadFromXml(node, flags)) return false;
    char name[ModelBase::kMaxNameLength + 1] = {};
    node->GetStringAttribute("", "ModelName", name, sizeof name, "");
    name[sizeof name - 1] = '\0';
    if (!name[0]) {
        LogError("Model-fx's ModelName is empty!");
        return false;
    }
    ModelBase* model = CreateModel();
    if (!model) return false;
    // The effect owns the model: its loads stay with it until the effect lets it go.
    model->SetKeepRequests(true);
    model->SetLoading(1);
    if (!CreateModelForFile(model, name)) {
        model->SetLoading(-1);
        delete static_cast<SpaceObject*>(model);
        LogError("Failed to load model-fx's mesh file %s!", name);
        return false;
    }
    model->SetLoading(0);
    m_model = model;
    m_model->SetUserInt2(DirectionMode(node->GetIntAttribute("", "DirType", 0)));
    char animation[256] = {};
    node->GetStringAttribute("", "AnimName", animation, sizeof animation, "");
    animation[sizeof animation - 1] = '\0';
    m_animIndex = m_model->FindAnimation(animation, false);
    m_animKind = m_model->HasAnimation(MeshBase::kSkeletal)     ? MeshBase::kSkeletal
                 : m_model->HasAnimation(MeshBase::kVertexKeys) ? MeshBase::kVertexKeys
                                                                : MeshBase::kUv;
    char alphaName[64] = {};
    node->GetStringAttribute("", "AlphaParamName", alphaName, sizeof alphaName, "Alpha");
    alphaName[sizeof alphaName - 1] = '\0';
    m_alphaParamName = alphaName;
    XmlNodePtr scale(node->FirstChildElement("ScaleFrame"));
    if (scale) ReadFloatKeyList(scale.Get(), m_scaleKeys);
    XmlNodePtr alpha(node->FirstChildElement("AlphaFrame"));
    if (alpha) ReadFloatKeyList(alpha.Get(), m_alphaKeys);
    m_loaded = 1;
    return true;
}

void ModelFx::SetPlaying(bool play) {
    FxBase::SetPlaying(play);
    if (!m_model) return;
    if (!play) {
        m_model->StopAnimation(m_animKind);
    } else if (m_animKind == MeshBase::kSkeletal) {
        m_model->PlaySkeletalAnimation(m_animIndex, -1.0f, 16, 0.0f, 2, 1.0f);
    } else {
        m_model->PlayAnimation(m_animIndex, m_animKind, 0.0f);
    }
}

void ModelFx::Deactivate() {
    FxBase::Deactivate();
    m_state = kFxInactive;
    if (m_model) m_model->StopAnimation(m_animKind);
}

void ModelFx::Release() {
    if (m_model) {
        ModelBase* model = m_model;
        m_model = nullptr;
        delete static_cast<SpaceObject*>(model);
    }
    FxBase::Release();
}

void ModelFx::Update() {
    if (!m_model) return;
    FxBase::Update();
    m_model->Update();
    m_model->SetTransparent(m_zEnabled != 0);
    // A node without a life span is at its end from the start.
    const float x = m_lifeSpan > 0.0f ? std::min(1.0f, m_time / m_lifeSpan) : 1.0f;
    const float alpha = m_alphaKeys.EvaluateNormalised(x);
    // Keys above 1 would wrap round a byte: the alpha stays within it.
    const float scaled = std::round(alpha * 255.0f);
    m_alphaByte = static_cast<std::uint8_t>(std::isfinite(scaled) ? std::clamp(scaled, 0.0f, 255.0f) : 0.0f);
    if (MeshBase* mesh = m_model->GetMesh()) {
        const bool skinned = m_model->IsSkeletal() != 0;
        for (std::uint32_t i = 0, n = mesh->GetSubMeshCount(); i < n; ++i)
            if (SubMesh* sub = mesh->GetSubMesh(i)) sub->SetAlpha(m_alphaByte, skinned);
    }
    const float factor = m_scaleKeys.EvaluateNormalised(x);
    m_scaleFactor = Vec3(factor, factor, factor);
    Vec3 worldScale;
    GetWorldScale(worldScale);
    m_model->SetScale(Vec3(worldScale.x * factor, worldScale.y * factor, worldScale.z * factor));
    Matrix offset = MatrixIdentity();
    offset.Row(3) = m_posOffset;
    Matrix local;
    MatrixMultiplyPlain(offset, GetWorldMatrix(), local);
    m_model->SetLocalMatrix(local);
}

void ModelFx::Render() {
    if (m_model && !m_culled && IsVisible() && m_state == kFxPlaying) {
        Matrix offset = MatrixIdentity();
        offset.Row(3) = m_posOffset;
        Matrix scaling;
        MatrixScaling(scaling, m_scaleFactor);
        Matrix local;
        MatrixMultiplyPlain(offset, scaling, local);
        MatrixMultiplyPlain(local, GetWorldMatrix(), local);
        m_model->SetLocalMatrix(local);
        const FxBase* root = GetRoot() ? GetRoot() : this;
        if (auto* scene = dynamic_cast<IScene*>(const_cast<FxBase*>(root)->GetScene()))
            scene->UpdateBillboard(m_model);
        m_model->PreDraw();
        m_model->DrawParts(0);
        m_model->DrawParts(1);
    }
    FxBase::Render();
}

bool ModelFx::UpdateCulling() {
    m_culled = m_model && m_model->UpdateCulling(0, kCullPassMain) ? 1 : 0;
    return m_culled != 0;
}

void ModelFx::SetPlaySpeed(float speed) {
    FxBase::SetPlaySpeed(speed);
    if (m_model) m_model->SetAnimationSpeed(speed, m_animKind);
}

void ModelFx::SetModelBlendMode(std::uint32_t flag, std::int32_t value) {
    ApplyRenderState(flag, -1);
    if (m_model) m_model->SetAlphaTest(flag != 0, value);
}

void ModelFx::SetZWrite(std::int32_t value) {
    FxBase::SetZWrite(value);
    if (m_model) m_model->SetAlphaBlendMode(value);
}

int ModelFx::GetTriangleCount() { return m_model ? static_cast<int>(m_model->GetIndexCount(0) / 3) : 0; }

bool ModelFx::GetBoundingBox(Vec3* min, Vec3* max) {
    if (!m_model || !min || !max) return false;
    return m_model->GetBoundingBox(*min, *max, nullptr);
}

IModel* ModelFx::GetModel() { return m_model; }

bool ModelFx::OnScenePrepare() {
    FxBase::OnScenePrepare();
    if (m_model) m_model->OnDeviceLost();
    return true;
}

void ModelFx::OnSceneFinish() {
    FxBase::OnSceneFinish();
    if (m_model) m_model->OnDeviceReset();
}

}  // namespace quor::world
