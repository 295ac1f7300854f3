#include "world/scene/Blaze.h"

#include "platform/host/IMaterial.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/ITexture.h"
#include "world/fx/SharedEffects.h"

namespace quor::world {

namespace {
render::IEffect* g_blazeEffect = nullptr;
}  // namespace

void Blaze::LoadSharedEffect() { plane::LoadEffect(g_blazeEffect, "res/builtin/shader/Blaze.fx", "Blaze"); }
void Blaze::ReleaseSharedEffect() { plane::ReleaseEffect(g_blazeEffect); }
render::IEffect* Blaze::SharedEffect() { return g_blazeEffect; }

void CreateBlazeEffect() { Blaze::LoadSharedEffect(); }
void ReleaseBlazeEffect() { Blaze::ReleaseSharedEffect(); }

Blaze::Blaze(const char* fireTexture, const char* noiseTexture) {
    m_noise = plane::LoadTexture(noiseTexture, "程序火干扰贴图：%s 丢失", true);
    m_fire = plane::LoadTexture(fireTexture, "程序火贴图：%s 不存在", true);
    plane::MakeQuad(g_blazeEffect, &m_primitive, &m_material);
    if (m_material) {
        m_material->SetTexture("NoiseTex", m_noise);
        m_material->SetTexture("Fire", m_fire);
    }
    if (m_primitive) m_primitive->SetMaterial(m_material);
    plane::SetVector(m_material, "layer_speed", m_layerSpeed[0], m_layerSpeed[1], m_layerSpeed[2], 0.0f);
    plane::SetFloat(m_material, "time_0_X", m_time);
    plane::SetVector(m_material, "Color", m_color[0], m_color[1], m_color[2], m_color[3]);
    plane::SetFloat(m_material, "BumpScale", m_bumpScale);
    plane::SetFloat(m_material, "Dizze", m_dizze);
    plane::SetVector(m_material, "distortion_amount", m_distortion[0], m_distortion[1], m_distortion[2], 0.0f);
}

Blaze::~Blaze() {
    plane::ReleaseQuad(m_primitive, nullptr);
    plane::ReleaseTexture(m_noise);
    plane::ReleaseTexture(m_fire);
    plane::ReleaseQuad(nullptr, m_material);
}

void Blaze::SetLayerSpeed(float x, float y, float z) {
    m_layerSpeed[0] = x;
    m_layerSpeed[1] = y;
    m_layerSpeed[2] = z;
    plane::SetVector(m_material, "layer_speed", x, y, z, 0.0f);
}

void Blaze::GetLayerSpeed(float* out) {
    if (!out) return;
    for (int i = 0; i < 3; ++i) out[i] = m_layerSpeed[i];
}

void Blaze::SetDistortionAmount(float x, float y, float z) {
    m_distortion[0] = x;
    m_distortion[1] = y;
    m_distortion[2] = z;
    plane::SetVector(m_material, "distortion_amount", x, y, z, 0.0f);
}

void Blaze::GetDistortionAmount(float* out) {
    if (!out) return;
    for (int i = 0; i < 3; ++i) out[i] = m_distortion[i];
}

void Blaze::SetBumpScale(float value) {
    m_bumpScale = value;
    plane::SetFloat(m_material, "BumpScale", value);
}

void Blaze::SetDizze(float value) {
    m_dizze = value;
    plane::SetFloat(m_material, "Dizze", value);
}

void Blaze::Render(float offsetX, float offsetY) {
    float screen[4];
    m_rect.Shifted(offsetX, offsetY, screen);
    if (!plane::OnScreen(screen)) return;
    // A fixed step, whatever the frame rate.
    m_time += kFrameStep;
    plane::SetFloat(m_material, "time_0_X", m_time);
    if (!m_primitive) return;
    ++m_draws;
    const float textureRect[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    m_primitive->DrawEx(0, screen, 0, textureRect);
    m_primitive->Draw(-1, -1, 0);
}

bool Blaze::QueryTexture(const std::int32_t* rect, std::uint32_t argb) {
    return m_fire && m_fire->FillRect(rect, argb);
}

}  // namespace quor::world
