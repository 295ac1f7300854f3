#include "world/scene/Electricity.h"

#include <algorithm>
#include <cmath>

#include "platform/host/IMaterial.h"
#include "platform/host/IPrimitive.h"
#include "world/fx/SharedEffects.h"

namespace quor::world {

namespace {
render::IEffect* g_electricityEffect = nullptr;
}  // namespace

void Electricity::LoadSharedEffect() {
    plane::LoadEffect(g_electricityEffect, "res/builtin/shader/Electricity.fx", "electricity");
}
void Electricity::ReleaseSharedEffect() { plane::ReleaseEffect(g_electricityEffect); }
render::IEffect* Electricity::SharedEffect() { return g_electricityEffect; }

void CreateElectricityEffect() { Electricity::LoadSharedEffect(); }
void ReleaseElectricityEffect() { Electricity::ReleaseSharedEffect(); }

Electricity::Electricity() {
    // The message names the file itself, whatever the format says.
    m_noise = plane::LoadTexture(kNoiseVolume, "平面特效电干扰贴图：%s, 丢失", true);
    plane::MakeQuad(g_electricityEffect, &m_primitive, &m_material);
    if (m_material) m_material->SetTexture("NoiseTex", m_noise);
    if (m_primitive) m_primitive->SetMaterial(m_material);
    plane::SetVector(m_material, "color", m_color[0], m_color[1], m_color[2], m_color[3]);
    plane::SetFloat(m_material, "glowStrength", m_glowStrength);
    plane::SetFloat(m_material, "height", m_height);
    plane::SetFloat(m_material, "glowFallOff", m_glowFallOff);
    plane::SetFloat(m_material, "speed", m_speed);
    plane::SetFloat(m_material, "sampleDist", m_sampleDist);
    plane::SetFloat(m_material, "ambientGlow", m_ambientGlow);
    plane::SetFloat(m_material, "ambientGlowHeightScale", m_ambientGlowHeightScale);
    plane::SetFloat(m_material, "vertNoise", m_vertNoise);
    plane::SetFloat(m_material, "time_0_X", m_time);
}

Electricity::~Electricity() {
    plane::ReleaseQuad(m_primitive, nullptr);
    plane::ReleaseTexture(m_noise);
    plane::ReleaseQuad(nullptr, m_material);
}

void Electricity::GetRect(float* rect) {
    if (!rect) return;
    for (int i = 0; i < 4; ++i) rect[i] = m_bounds[i];
}

void Electricity::SetEndpoints(float startX, float startY, float endX, float endY) {
    m_start[0] = startX;
    m_start[1] = startY;
    m_end[0] = endX;
    m_end[1] = endY;
    const float w = m_width * 0.5f;
    m_bounds[0] = std::min(startX, endX) - w;
    m_bounds[1] = std::min(startY, endY) - w;
    m_bounds[2] = std::max(startX, endX) + w;
    m_bounds[3] = std::max(startY, endY) + w;
}

void Electricity::GetEndpoints(float* out) {
    if (!out) return;
    out[0] = m_start[0];
    out[1] = m_start[1];
    out[2] = m_end[0];
    out[3] = m_end[1];
}

void Electricity::SetColor(float r, float g, float b, float a) {
    m_color[0] = r;
    m_color[1] = g;
    m_color[2] = b;
    m_color[3] = a;
    plane::SetVector(m_material, "color", r, g, b, a);
}

void Electricity::GetColor(float* out) {
    if (!out) return;
    for (int i = 0; i < 4; ++i) out[i] = m_color[i];
}

void Electricity::SetGlowStrength(float value) {
    m_glowStrength = value;
    plane::SetFloat(m_material, "glowStrength", value);
}

void Electricity::SetHeight(float value) {
    m_height = value;
    plane::SetFloat(m_material, "height", value);
}

void Electricity::SetGlowFallOff(float value) {
    m_glowFallOff = value;
    plane::SetFloat(m_material, "glowFallOff", value);
}

void Electricity::SetSpeed(float value) {
    m_speed = value;
    plane::SetFloat(m_material, "speed", value);
}

void Electricity::SetSampleDist(float value) {
    m_sampleDist = value;
    plane::SetFloat(m_material, "sampleDist", value);
}

void Electricity::SetAmbientGlow(float value) {
    m_ambientGlow = value;
    plane::SetFloat(m_material, "ambientGlow", value);
}

void Electricity::SetAmbientGlowHeightScale(float value) {
    m_ambientGlowHeightScale = value;
    plane::SetFloat(m_material, "ambientGlowHeightScale", value);
}

void Electricity::SetVertNoise(float value) {
    m_vertNoise = value;
    plane::SetFloat(m_material, "vertNoise", value);
}

void Electricity::Render(float offsetX, float offsetY) {
    float screen[4];
    for (int i = 0; i < 4; ++i) screen[i] = m_bounds[i] + (i % 2 == 0 ? offsetX : offsetY);
    if (!plane::OnScreen(screen)) return;
    const float dx = m_end[0] - m_start[0];
    const float dy = m_end[1] - m_start[1];
    // The side vector turns the other way for bolts heading up and right, so the band's
    // texture keeps its orientation.
    float px = -dy, py = dx;
    if (dx >= 0.0f && dy < 0.0f) {
        px = dy;
        py = -dx;
    }
    const float length2 = px * px + py * py;
    // A bolt without length has no side: nothing to draw this frame.
    if (!(length2 > 0.0f) || !std::isfinite(length2)) return;
    const float scale = std::sqrt(m_width * m_width / length2);
    const float nx = px * scale, ny = py * scale;
    const float sx = m_start[0] + offsetX, sy = m_start[1] + offsetY;
    const float ex = m_end[0] + offsetX, ey = m_end[1] + offsetY;
    if (m_primitive) {
        const float corners[4][3] = {
            {sx - nx, sy - ny, 0.0f}, {ex - nx, ey - ny, 0.0f}, {ex + nx, ey + ny, 0.0f}, {sx + nx, sy + ny, 0.0f}};
        const float uv[4][2] = {{-1.0f, -1.0f}, {1.0f, -1.0f}, {1.0f, 1.0f}, {-1.0f, 1.0f}};
        for (int i = 0; i < 4; ++i) m_primitive->SetVertexUV(i, corners[i], uv[i][0], uv[i][1], 0xFFFFFFFFu);
    }
    m_time += kFrameStep;
    plane::SetFloat(m_material, "time_0_X", m_time);
    if (!m_primitive) return;
    ++m_draws;
    m_primitive->Draw(-1, -1, 0);
}

}  // namespace quor::world
