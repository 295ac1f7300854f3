#include "world/scene/WaterBlock.h"

#include <cstdint>

#include "platform/host/IEffect.h"
#include "platform/host/IMaterial.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "platform/host/ITexture.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/fx/SharedEffects.h"

namespace quor::world {

namespace {

constexpr std::uint32_t kScreenQuadFormat = 0x144;  // XYZRHW | DIFFUSE | TEX1
render::IEffect* g_waterEffect = nullptr;

render::ITexture* LoadOrBlank(render::IRenderer* renderer, const char* path, const char* message) {
    render::ITexture* texture = path ? renderer->LoadTexture(path, 0, 0, -3, 0, 0, 0) : nullptr;
    if (texture) return texture;
    LogError(message, path ? path : "");
    return renderer->CreateTexture(256, 256, 0, 0, 1, 0);
}

}  // namespace

void WaterBlock::LoadSharedEffect() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (renderer && !g_waterEffect) g_waterEffect = renderer->LoadEffect("res/builtin/shader/2dwater.fx", "water");
}

void WaterBlock::ReleaseSharedEffect() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (renderer && g_waterEffect) renderer->ReleaseEffect(g_waterEffect);
    g_waterEffect = nullptr;
}

render::IEffect* WaterBlock::SharedEffect() { return g_waterEffect; }

void CreateWaterBlockEffect() { WaterBlock::LoadSharedEffect(); }
void ReleaseWaterBlockEffect() { WaterBlock::ReleaseSharedEffect(); }

WaterBlock::WaterBlock(const float* position, const char* basePath, const char* normalPath) {
    if (position) {
        m_position[0] = position[0];
        m_position[1] = position[1];
    }
    render::IRenderer* renderer = Interfaces().renderer;
    if (renderer) {
        m_baseTexture = LoadOrBlank(renderer, basePath, "程序水贴图：%s 丢失");
        m_normalTexture = LoadOrBlank(renderer, normalPath, "程序水法线贴图：%s 丢失");
    }
    std::uint32_t width = 0, height = 0;
    if (m_baseTexture) m_baseTexture->GetSize(&width, &height);
    m_width = float(width);
    m_height = float(height);
    m_rect[0] = m_position[0];
    m_rect[1] = m_position[1];
    m_rect[2] = m_position[0] + m_width;
    m_rect[3] = m_position[1] + m_height;
    if (renderer) {
        m_quad = renderer->CreatePrimitive(7, kScreenQuadFormat);
        if (m_quad) {
            m_quad->SetVertexCount(1, -1, 0, 1);
            m_quad->DrawEx(0, m_rect, 0, m_uv);
        }
        m_material = renderer->CreateMaterial(g_waterEffect);
        if (m_material) {
            m_material->SetTexture("BaseTex", m_baseTexture);
            m_material->SetTexture("NormalTex", m_normalTexture);
            m_material->SetTransparent(true);
        }
        if (m_quad) m_quad->SetMaterial(m_material);
    }
    SetMapOffset(0.02f, 0.03f, 0.02f, 0.03f);
    SetTempVars(0.5f, -0.4725f, 0.5f, 0.4725f);
    SetRippleScale(0.06f, 0.03f, 0.0f, 0.0f);
    SetSpeed(0.0015f);
}

WaterBlock::~WaterBlock() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return;
    if (m_quad) {
        m_quad->Release();
        renderer->ReleasePrimitive(m_quad);
    }
    if (m_baseTexture) renderer->ReleaseTexture(m_baseTexture);
    if (m_normalTexture) renderer->ReleaseTexture(m_normalTexture);
    if (m_material) renderer->ReleaseMaterial(m_material);
}

void WaterBlock::SetQuad() {
    if (!m_quad) return;
    const float r[4] = {m_rect[0] + m_viewOffset[0], m_rect[1] + m_viewOffset[1], m_rect[2] + m_viewOffset[0],
                        m_rect[3] + m_viewOffset[1]};
    m_quad->DrawEx(0, r, 0, m_uv);
}

void WaterBlock::SetPosition(const float* position) {
    if (!position) return;
    m_position[0] = position[0];
    m_position[1] = position[1];
    m_rect[0] = position[0];
    m_rect[1] = position[1];
    m_rect[2] = position[0] + m_width;
    m_rect[3] = position[1] + m_height;
    SetQuad();
}

void WaterBlock::SetViewOffset(const float* offset) {
    if (!offset) return;
    m_viewOffset[0] = offset[0];
    m_viewOffset[1] = offset[1];
    SetQuad();
}

void WaterBlock::SetRippleScale(float a, float b, float c, float d) {
    m_rippleScale[0] = a, m_rippleScale[1] = b, m_rippleScale[2] = c, m_rippleScale[3] = d;
}

void WaterBlock::SetMapOffset(float a, float b, float c, float d) {
    m_mapOffset[0] = a, m_mapOffset[1] = b, m_mapOffset[2] = c, m_mapOffset[3] = d;
}

void WaterBlock::SetSpeed(float speed) { m_speed = speed; }

void WaterBlock::SetTempVars(float a, float b, float c, float d) {
    m_tempVars[0] = a, m_tempVars[1] = b, m_tempVars[2] = c, m_tempVars[3] = d;
}

void WaterBlock::Render() {
    // Per draw, not per second: the water moves with the frame rate, as it always has.
    m_time += m_speed;
    const float wave[4] = {m_mapOffset[0] * m_time, m_mapOffset[1] * m_time, m_mapOffset[2] * m_time,
                           m_mapOffset[3] * m_time};
    if (render::IMaterialParams* params = m_material ? m_material->GetParameters() : nullptr) {
        params->SetFloatArray("g_vWaveMapOffset", wave, 4);
        params->SetFloatArray("g_temp", m_tempVars, 4);
        params->SetFloatArray("g_RippleScale", m_rippleScale, 4);
    }
    if (m_quad) m_quad->Draw(-1, -1, 9);
}

}  // namespace quor::world
