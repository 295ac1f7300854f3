#include "world/scene/PlaneFog.h"

#include "platform/host/IMaterial.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/ITexture.h"
#include "platform/win32/Clock.h"
#include "world/fx/SharedEffects.h"

namespace quor::world {

namespace {
render::IEffect* g_fogEffect = nullptr;
}  // namespace

void PlaneFog::LoadSharedEffect() { plane::LoadEffect(g_fogEffect, "res/builtin/shader/PlaneFog.fx", "PlaneFog"); }
void PlaneFog::ReleaseSharedEffect() { plane::ReleaseEffect(g_fogEffect); }
render::IEffect* PlaneFog::SharedEffect() { return g_fogEffect; }

void CreatePlaneFogEffect() { PlaneFog::LoadSharedEffect(); }
void ReleasePlaneFogEffect() { PlaneFog::ReleaseSharedEffect(); }

PlaneFog::PlaneFog(const char* textureName) : m_lastDraw(win32::timeGetTime()) {
    m_texture = plane::LoadTexture(textureName, "程序雾贴图：%s 丢失", false);
    plane::MakeQuad(g_fogEffect, &m_primitive, &m_material);
    if (m_material) m_material->SetTexture("NoiseTex", m_texture);
    if (m_primitive) m_primitive->SetMaterial(m_material);
    SetSpeedParam();
    plane::SetFloat(m_material, "AlphaControl", m_alphaControl);
    plane::SetVector(m_material, "color", m_color[0], m_color[1], m_color[2], m_color[3]);
    plane::SetFloat(m_material, "power", m_power);
}

PlaneFog::~PlaneFog() {
    plane::ReleaseQuad(m_primitive, nullptr);
    plane::ReleaseTexture(m_texture);
    plane::ReleaseQuad(nullptr, m_material);
}

void PlaneFog::SetRect(float left, float top, float right, float bottom) { m_rect.Set(left, top, right, bottom); }

void PlaneFog::SetSpeedParam() { plane::SetVector(m_material, "speed0", m_speed[0], m_speed[1], 0.0f, 0.0f); }

void PlaneFog::SetSpeed(float x, float y) {
    m_speed[0] = x;
    m_speed[1] = y;
    SetSpeedParam();
}

void PlaneFog::SetSpeedX(float x) {
    m_speed[0] = x;
    SetSpeedParam();
}

void PlaneFog::SetSpeedY(float y) {
    m_speed[1] = y;
    SetSpeedParam();
}

void PlaneFog::SetAlphaControl(float value) {
    m_alphaControl = value;
    plane::SetFloat(m_material, "AlphaControl", value);
}

void PlaneFog::SetPower(float value) {
    m_power = value;
    plane::SetFloat(m_material, "power", value);
}

void PlaneFog::SetColor(float r, float g, float b, float a) {
    m_color[0] = r;
    m_color[1] = g;
    m_color[2] = b;
    m_color[3] = a;
    plane::SetVector(m_material, "color", r, g, b, a);
}

void PlaneFog::GetColor(float* r, float* g, float* b, float* a) {
    if (r) *r = m_color[0];
    if (g) *g = m_color[1];
    if (b) *b = m_color[2];
    if (a) *a = m_color[3];
}

void PlaneFog::Render(float offsetX, float offsetY) {
    float screen[4];
    m_rect.Shifted(offsetX, offsetY, screen);
    if (!plane::OnScreen(screen)) return;
    // Unsigned difference: a wrap of the clock still gives the true elapsed time.
    const std::uint32_t now = win32::timeGetTime();
    const std::uint32_t elapsed = now - m_lastDraw;
    m_lastDraw = now;
    m_time += static_cast<float>(elapsed) / 1000.0f;
    plane::SetFloat(m_material, "time_0_X", m_time);
    if (!m_primitive) return;
    ++m_draws;
    const float textureRect[4] = {-1.0f, -1.0f, 1.0f, 1.0f};
    m_primitive->DrawEx(0, screen, 0, textureRect);
    m_primitive->Draw(-1, -1, 0);
}

bool PlaneFog::QueryTexture(const std::int32_t* rect, std::uint32_t argb) {
    return m_texture && m_texture->FillRect(rect, argb);
}

}  // namespace quor::world
