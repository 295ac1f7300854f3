#include "world/fx/EnvFlareFx.h"
#include "world/fx/KeyLists.h"

#include <algorithm>
#include <cmath>

#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "platform/host/ITexture.h"
#include "platform/host/IXmlNode.h"
#include "platform/win32/Clock.h"
#include "world/core/Camera.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/fx/FxRenderStates.h"

namespace quor::world {

namespace {

// A triangle strip of screen points: x, y, z, rhw, colour, one texture pair.
constexpr int kTriangleStrip = 5;
constexpr std::uint32_t kScreenFormat = 0x144;

}  // namespace

EnvFlareFx::EnvFlareFx() { m_kind = kFxKindFlare; }

EnvFlareFx::~EnvFlareFx() { EnvFlareFx::Release(); }

bool EnvFlareFx::LoadFromXml(common::IXmlNode* node, std::uint32_t flags) {
    if (!FxBase::LoadFromXml(node, flags)) return false;
    m_radius = ReadFxFloat(node, "Radius", 0.0f);
    m_startScale = ReadFxFloat(node, "StartScale", 1.0f);
    m_endScale = ReadFxFloat(node, "EndScale", 1.0f);
    m_blendMode = node->GetIntAttribute("", "BlendMode", 1);
    if (m_blendMode < 0 || m_blendMode >= kSharedMaterialCount) {
        LogWarning("[EnvFlareFx] BlendMode %d is not one of 0-5; 1 taken", m_blendMode);
        m_blendMode = 1;
    }
    m_zEnabled = node->GetBoolAttribute("", "EnableZBuffer", true) ? 1 : 0;
    m_zKey = m_zEnabled;
    char texture[256] = {};
    node->GetStringAttribute("", "Texture", texture, sizeof texture, "");
    texture[sizeof texture - 1] = '\0';
    if (!texture[0]) {
        LogError("[EnvFlareFx] Empty texture!");
        return false;
    }
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return false;
    m_texture = renderer->LoadTexture(texture, 0, 0, -3, 0, 0, 0);
    if (!m_texture) {
        LogWarning("[EnvFlareFx] Failed to load texture file %s!", texture);
    } else {
        const float seconds = m_texture->GetDuration();
        m_animLength = std::isfinite(seconds) && seconds > 0.0f && seconds < 2.0e6f
                           ? static_cast<std::int32_t>(std::lround(seconds)) * 1000
                           : 0;
        // A still texture would make the life span negative: only an animation sets it.
        if (m_lifeSpan < 0.01f && m_animLength > 0) m_lifeSpan = static_cast<float>(m_animLength - 10) / 1000.0f;
        std::uint32_t width = 0, height = 0;
        m_texture->GetSize(&width, &height);
        if (height > 0) m_aspect = static_cast<float>(width) / static_cast<float>(height);
    }
    m_effect = GetSharedMaterial(m_blendMode);
    m_primitive = renderer->CreatePrimitive(kTriangleStrip, kScreenFormat);
    if (!m_primitive) {
        LogError("[EnvFlareFx] Failed to create vertex buffer!");
        EnvFlareFx::Release();
        return false;
    }
    // One quad: two triangles of the strip's four vertices.
    m_primitive->SetVertexCount(2, 4, 0, 0);
    m_primitive->SetEffect(m_effect);
    m_primitive->SetTexture(0, m_texture);
    m_drawState = m_primitive->GetVertexBuffer();
    if (m_drawState) m_drawState->SetFlags(96);
    ApplyRenderState(0, -1);
    m_loaded = 1;
    return true;
}

void EnvFlareFx::SetPlaying(bool play) {
    // Stopping leaves the flare drawing: it stays with the view for the effect's whole life.
    if (!play) return;
    FxBase::SetPlaying(true);
    m_startTick = win32::timeGetTime();
    if (m_texture) m_texture->SetTime(0.0f);
}

void EnvFlareFx::Update() {
    FxBase::Update();
    std::int32_t phase = m_lastPhase;
    if (m_animLength > 0)
        phase = static_cast<std::int32_t>((win32::timeGetTime() - m_startTick) % static_cast<std::uint32_t>(m_animLength));
    if (m_state == kFxFinishing && (m_animLength == 0 || phase < m_lastPhase)) m_state = kFxInactive;
    m_lastPhase = phase;
}

void EnvFlareFx::Deactivate() {
    FxBase::Deactivate();
    m_state = m_linger && m_texture && m_texture->GetFrameCount() >= 2 ? kFxFinishing : kFxInactive;
}

void EnvFlareFx::SetPlaySpeed(float speed) {
    FxBase::SetPlaySpeed(speed);
    if (m_texture) m_texture->SetSpeed(speed);
}

bool EnvFlareFx::UpdateCulling() {
    Vec3 centre;
    GetWorldPosition(centre);
    const float radius = m_radius * std::max(m_startScale, m_endScale);
    m_culled = GetFrameFrustum(kCullPassMain).TestSphere(centre, radius) ? 1 : 0;
    return m_culled != 0;
}

void EnvFlareFx::Render() {
    Camera* camera = ActiveFxCamera();
    const float length = Vec3Length(m_posOffset);
    if (camera && m_primitive && length > 0.0f && std::isfinite(length)) {
        const Vec3 C = *camera->GetPosition();
        const Matrix& R = *camera->GetRotation();
        const Vec3 D = m_posOffset * (1.0f / length);
        const float facing = Vec3Dot(D, R.Row(2));
        if (facing > kMinFacing) {
            float screen[2] = {0.0f, 0.0f};
            float ignoredDepth = 0.0f;
            camera->WorldToScreen(C + D * kDistance, screen, &ignoredDepth);
            const float r = m_radius / facing;
            const float x = screen[0], y = screen[1];
            const float points[4][3] = {{x - r, y - r, 1.0f}, {x + r, y - r, 1.0f}, {x - r, y + r, 1.0f}, {x + r, y + r, 1.0f}};
            const float uv[4][2] = {{0.0f, 1.0f}, {1.0f, 1.0f}, {0.0f, 0.0f}, {1.0f, 0.0f}};
            m_primitive->BeginScreenVertices();
            for (int i = 0; i < 4; ++i) m_primitive->SetVertexUV(i, points[i], uv[i][0], uv[i][1], 0xFFFFFFFFu);
            m_primitive->EndScreenVertices();
            m_primitive->Draw(-1, -1, 0);
        }
    }
    FxBase::Render();
}

void EnvFlareFx::Release() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (renderer) {
        if (m_primitive) renderer->ReleasePrimitive(m_primitive);
        if (m_texture) renderer->ReleaseTexture(m_texture);
    }
    m_primitive = nullptr;
    m_texture = nullptr;
    m_drawState = nullptr;
    FxBase::Release();
}

}  // namespace quor::world
