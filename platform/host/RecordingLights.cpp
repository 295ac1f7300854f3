#include "platform/host/RecordingLights.h"

#include <algorithm>

namespace quor::host {

void RecordingRenderLight::Copy(float* to, const float* from, int n, int op) {
    Log(op);
    if (from) std::copy(from, from + n, to);
}

void RecordingRenderLight::SetAttenuation(float a0, float a1, float a2) {
    Log(13);
    attenuation[0] = a0;
    attenuation[1] = a1;
    attenuation[2] = a2;
}

void RecordingRenderLight::GetAttenuation(float* a0, float* a1, float* a2) {
    Log(14);
    if (a0) *a0 = attenuation[0];
    if (a1) *a1 = attenuation[1];
    if (a2) *a2 = attenuation[2];
}

int RecordingRenderLight::Count(int op) const { return static_cast<int>(std::count(ops.begin(), ops.end(), op)); }

std::uint16_t RecordingLightSet::CreateLight(int kind, std::uint16_t hint) {
    calls.push_back("CreateLight(" + std::to_string(kind) + "," + std::to_string(hint) + ")");
    if (full || m_lights.size() >= 0xFFFF) return 0xFFFF;
    const auto index = static_cast<std::uint16_t>(m_lights.size());
    m_lights.push_back(std::make_unique<RecordingRenderLight>(kind, index));
    return index;
}

render::IRenderLight* RecordingLightSet::GetLight(std::uint16_t index) {
    calls.push_back("GetLight(" + std::to_string(index) + ")");
    RecordingRenderLight* light = Light(index);
    return light && !light->removed ? light : nullptr;
}

void RecordingLightSet::RemoveLight(std::uint16_t index) {
    calls.push_back("RemoveLight(" + std::to_string(index) + ")");
    if (RecordingRenderLight* light = Light(index)) light->removed = true;
}

void RecordingLightSet::Clear(int mode) {
    calls.push_back("Clear(" + std::to_string(mode) + ")");
    for (auto& light : m_lights) light->removed = true;
}

int RecordingLightSet::LiveLights() const {
    return static_cast<int>(std::count_if(m_lights.begin(), m_lights.end(), [](const auto& l) { return !l->removed; }));
}

RecordingRenderLight* RecordingLightSet::Light(std::uint16_t index) const {
    return index < m_lights.size() ? m_lights[index].get() : nullptr;
}

}  // namespace quor::host
