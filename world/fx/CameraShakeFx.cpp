#include "world/fx/CameraShakeFx.h"

#include <algorithm>
#include <cmath>

#include "platform/host/IXmlNode.h"
#include "world/core/Camera.h"
#include "world/core/Log.h"
#include "world/core/XmlNodePtr.h"
#include "world/core/math/Matrix.h"
#include "world/scene/ObjectIdMap.h"
#include "world/scene/SceneBase.h"

namespace quor::world {

bool CameraShakeFx::Channel::Step(float t, float lastTime, float& change) {
    if (start < 0.0f) {
        if (t < delay) return false;
        start = delay;
        done = 0.0f;
    }
    if (t < start + duration) {
        // Time before the start (the frame that crossed the delay) does not count.
        const float from = std::max(lastTime, start);
        const float half = duration * 0.5f;
        float d = t - from;
        if (t - start > half) {
            if (from - start >= half) {
                d = -d;
            } else {
                const float c = half - (from - start);
                d = c - (d - c);
            }
        }
        change = d * amount / half;
        done += change;
        return true;
    }
    change = -done;
    done = 0.0f;
    active = false;
    return true;
}

float CameraShakeFx::Channel::Finish() {
    const float change = -done;
    done = 0.0f;
    active = false;
    return change;
}

CameraShakeFx::CameraShakeFx() { m_kind = kFxKindCameraShake; }

CameraShakeFx::~CameraShakeFx() { FinishShake(); }

bool CameraShakeFx::LoadFromXml(common::IXmlNode* node, std::uint32_t flags) {
    if (!FxBase::LoadFromXml(node, flags)) return false;
    const float zero[3] = {0.0f, 0.0f, 0.0f};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    float v[3];
    ReadXmlFloat3(node, "", "MoveDirection", v, zero);
    m_moveDirection = Vec3(v[0], v[1], v[2]);
    ReadXmlFloat3(node, "", "RotateAxis", v, up);
    Vec3 axis(v[0], v[1], v[2]);
    m_move = Channel{};
    m_turn = Channel{};
    m_move.duration = node->GetFloatAttribute("", "MoveDuration", 0.0f);
    m_turn.duration = node->GetFloatAttribute("", "RotateDuration", 0.0f);
    m_move.delay = node->GetFloatAttribute("", "MoveDelay", 0.0f);
    m_turn.delay = node->GetFloatAttribute("", "RotateDelay", 0.0f);
    m_move.amount = node->GetFloatAttribute("", "MoveDistance", 0.0f);
    m_turn.amount = node->GetFloatAttribute("", "RotateAngle", 0.0f);
    if (m_move.duration == 0.0f && m_turn.duration == 0.0f) {
        m_loaded = 0;
        return false;
    }
    m_lifeSpan = std::max(m_move.delay + m_move.duration, m_turn.delay + m_turn.duration);
    // A rotation about a zero axis is not a rotation: such a turn turns nothing.
    const float length = Vec3Length(axis);
    if (length > 0.0f && std::isfinite(length)) {
        m_rotateAxis = axis * (1.0f / length);
    } else {
        m_rotateAxis = Vec3(0.0f, 0.0f, 0.0f);
        if (m_turn.duration != 0.0f && m_turn.amount != 0.0f)
            LogWarning("camera shake \"%s\": RotateAxis is zero, the camera is not turned", m_name);
        m_turn.amount = 0.0f;
    }
    ResetShake();
    m_loaded = 1;
    return true;
}

void CameraShakeFx::ResetShake() {
    m_move.start = m_turn.start = -1.0f;
    m_move.done = m_turn.done = 0.0f;
    m_lastTime = 0.0f;
    m_turn.active = m_turn.duration != 0.0f && m_turn.amount != 0.0f;
    m_move.active = m_move.duration != 0.0f && m_move.amount != 0.0f;
}

void CameraShakeFx::TakeActiveCamera() {
    m_camera = nullptr;
    m_cameraId = 0;
    FxBase* root = GetRoot() ? GetRoot() : this;
    // Scenes are the one kind of object owner.
    auto* scene = static_cast<SceneBase*>(root->GetScene());
    if (!scene) return;
    m_camera = scene->GetActiveCamera();
    if (m_camera) m_cameraId = m_camera->GetId();
}

Camera* CameraShakeFx::LiveCamera() {
    if (!m_camera) return nullptr;
    if (ObjectIdMap::Instance().Find(m_cameraId) != m_camera) {
        // The camera went away mid-shake: nothing is left to bring back.
        m_camera = nullptr;
        m_move.active = m_turn.active = false;
        m_move.done = m_turn.done = 0.0f;
    }
    return m_camera;
}

void CameraShakeFx::Move(Camera* camera, float amount) {
    if (amount == 0.0f) return;
    Vec3 position;
    camera->GetWorldPosition(position);
    position += m_moveDirection * amount;
    camera->SetWorldPosition(position);
}

void CameraShakeFx::Turn(Camera* camera, float degrees) {
    if (degrees == 0.0f) return;
    Matrix rotation;
    MatrixRotationAxis(rotation, m_rotateAxis, degrees * 3.14159265358979f / 180.0f);
    // In the camera's own frame: the position row is kept.
    Matrix world = camera->GetWorldMatrix();
    MatrixMultiplyPlain(rotation, world, world);
    camera->SetWorldMatrix(world);
}

void CameraShakeFx::FinishShake() {
    Camera* camera = LiveCamera();
    if (!camera) return;
    if (m_turn.active) Turn(camera, m_turn.Finish());
    if (m_move.active) Move(camera, m_move.Finish());
}

void CameraShakeFx::SetPlaying(bool play) {
    FxBase::SetPlaying(play);
    if (play) {
        // A shake still running on an earlier camera is brought back first.
        FinishShake();
        TakeActiveCamera();
        ResetShake();
    } else {
        FinishShake();
    }
}

void CameraShakeFx::Reset() {
    FxBase::Reset();
    // The camera displaced so far is brought back before the new active camera is taken.
    FinishShake();
    FxBase* root = GetRoot() ? GetRoot() : this;
    if (root->GetScene()) TakeActiveCamera();
    ResetShake();
}

void CameraShakeFx::Deactivate() {
    FinishShake();
    FxBase::Deactivate();
}

void CameraShakeFx::Release() {
    FinishShake();
    m_camera = nullptr;
    FxBase::Release();
}

void CameraShakeFx::Update() {
    FxBase::Update();
    if (m_state == kFxReady || m_state == kFxInactive) return;
    Camera* camera = LiveCamera();
    if (!camera) return;
    const float t = m_time;
    float change = 0.0f;
    if (m_turn.active && m_turn.Step(t, m_lastTime, change)) Turn(camera, change);
    if (m_move.active && m_move.Step(t, m_lastTime, change)) Move(camera, change);
    m_lastTime = t;
}

}  // namespace quor::world
