// The recording renderer's light sets and render views.
#include <mutex>

#include "platform/host/RecordingRenderer.h"

namespace quor::host {
namespace {
using Lock = std::lock_guard<std::recursive_mutex>;
}

render::ILightSet* RecordingRenderer::CreateLightSet() {
    Lock lock(m_store->mutex);
    m_calls.push_back("CreateLightSet");
    m_views.lightSets.push_back(std::make_unique<RecordingLightSet>());
    m_views.liveLightSets.push_back(m_views.lightSets.back().get());
    return m_views.lightSets.back().get();
}

void RecordingRenderer::ReleaseLightSet(render::ILightSet* set) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseLightSet");
    if (!RecordingViewStore::Take(m_views.liveLightSets, set)) ++m_views.badReleases;
}

render::IRenderView* RecordingRenderer::CreateRenderView(int kind) {
    Lock lock(m_store->mutex);
    m_calls.push_back("CreateRenderView(" + std::to_string(kind) + ")");
    m_views.views.push_back(std::make_unique<RecordingRenderView>(kind));
    m_views.liveViews.push_back(m_views.views.back().get());
    return m_views.views.back().get();
}

void RecordingRenderer::ReleaseRenderView(render::IRenderView* view) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseRenderView");
    if (!RecordingViewStore::Take(m_views.liveViews, view)) ++m_views.badReleases;
}

int RecordingRenderer::LiveLightSets() const {
    Lock lock(m_store->mutex);
    return static_cast<int>(m_views.liveLightSets.size());
}

int RecordingRenderer::LiveRenderViews() const {
    Lock lock(m_store->mutex);
    return static_cast<int>(m_views.liveViews.size());
}

RecordingLightSet* RecordingRenderer::LastLightSet() const {
    Lock lock(m_store->mutex);
    return m_views.lightSets.empty() ? nullptr : m_views.lightSets.back().get();
}

RecordingRenderView* RecordingRenderer::LastRenderView() const {
    Lock lock(m_store->mutex);
    return m_views.views.empty() ? nullptr : m_views.views.back().get();
}

}  // namespace quor::host
