#include "platform/host/RecordingRenderer.h"

#include <algorithm>

namespace quor::host {

template <class T>
bool RecordingRenderer::Take(Pool<T>& pool, const void* object) {
    auto it = std::find(pool.live.begin(), pool.live.end(), object);
    if (!object || it == pool.live.end()) {
        ++m_badReleases;
        return false;
    }
    pool.live.erase(it);
    return true;
}

render::IPrimitive* RecordingRenderer::CreatePrimitive(int kind, std::uint32_t vertexFormat) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("CreatePrimitive(" + std::to_string(kind) + "," +
                      std::to_string(vertexFormat) + ")");
    if (m_failPrimitives) {
        return nullptr;
    }
    m_primitives.all.push_back(std::make_unique<RecordingPrimitive>(kind, vertexFormat));
    m_primitives.live.push_back(static_cast<render::IPrimitive*>(m_primitives.all.back().get()));
    return m_primitives.all.back().get();
}

void RecordingRenderer::SetFailPrimitives(bool fail) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failPrimitives = fail;
}

void RecordingRenderer::ReleasePrimitive(render::IPrimitive* primitive) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleasePrimitive");
    Take(m_primitives, primitive);
}

render::IEffect* RecordingRenderer::CreateEffect() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("CreateEffect");
    m_effects.all.push_back(std::make_unique<RecordingEffect>());
    m_effects.live.push_back(static_cast<render::IEffect*>(m_effects.all.back().get()));
    return m_effects.all.back().get();
}

void RecordingRenderer::ReleaseEffect(render::IEffect* effect) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleaseEffect");
    Take(m_effects, effect);
}

render::IRenderCamera* RecordingRenderer::CreateRenderCamera() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("CreateRenderCamera");
    m_cameras.all.push_back(std::make_unique<RenderCamera>());
    m_cameras.live.push_back(static_cast<render::IRenderCamera*>(m_cameras.all.back().get()));
    return m_cameras.all.back().get();
}

void RecordingRenderer::ReleaseRenderCamera(render::IRenderCamera* camera) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleaseRenderCamera");
    Take(m_cameras, camera);
}

std::vector<std::string> RecordingRenderer::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls.Items();
}

std::uint64_t RecordingRenderer::CallCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls.Total();
}

void RecordingRenderer::SetRecordLimit(std::size_t limit) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.SetLimit(limit);
}

void RecordingRenderer::ClearCalls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

int RecordingRenderer::LivePrimitives() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_primitives.live.size());
}

int RecordingRenderer::LiveEffects() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_effects.live.size());
}

int RecordingRenderer::LiveRenderCameras() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_cameras.live.size());
}

int RecordingRenderer::BadReleases() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_badReleases;
}

RecordingPrimitive* RecordingRenderer::LastPrimitive() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_primitives.all.empty() ? nullptr : m_primitives.all.back().get();
}

RecordingEffect* RecordingRenderer::LastEffect() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_effects.all.empty() ? nullptr : m_effects.all.back().get();
}

RenderCamera* RecordingRenderer::LastRenderCamera() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cameras.all.empty() ? nullptr : m_cameras.all.back().get();
}

}  // namespace quor::host
