// The recording renderer's light sets and render views.
#include <algorithm>
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
    if (!RecordingViewStore::Take(m_views.liveLightSets, set)) {
        ++m_views.badReleases;
        return;
    }
    if (!m_store->keepReleased) RecordingViewStore::Forget(m_views.lightSets, set);
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
    if (!RecordingViewStore::Take(m_views.liveViews, view)) {
        ++m_views.badReleases;
        return;
    }
    if (!m_store->keepReleased) RecordingViewStore::Forget(m_views.views, view);
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

RecordingRenderView* RecordingRenderer::LiveRenderView(const void* view) const {
    Lock lock(m_store->mutex);
    for (RecordingRenderView* v : m_views.liveViews)
        if (static_cast<const void*>(static_cast<render::IRenderView*>(v)) == view) return v;
    return nullptr;
}

RecordingLightSet* RecordingRenderer::LiveLightSet(const void* set) const {
    Lock lock(m_store->mutex);
    for (RecordingLightSet* s : m_views.liveLightSets)
        if (static_cast<const void*>(static_cast<render::ILightSet*>(s)) == set) return s;
    return nullptr;
}

RecordingSceneLightState* RecordingRenderer::LiveSceneLightState(const void* state) const {
    Lock lock(m_store->mutex);
    for (const auto& s : m_store->lightStates.all)
        if (static_cast<const void*>(static_cast<render::ISceneLightState*>(s.get())) == state &&
            std::find(m_store->lightStates.live.begin(), m_store->lightStates.live.end(), state) !=
                m_store->lightStates.live.end())
            return s.get();
    return nullptr;
}

}  // namespace quor::host

// --- render targets and the viewport -----------------------------------------------------------

namespace quor::host {

int RecordingRenderer::AddRenderTarget(render::ITexture* texture, std::int32_t flags, std::int32_t depthFormat,
                                       std::int32_t reserved) {
    Lock lock(m_store->mutex);
    m_calls.push_back("AddRenderTarget(" + std::to_string(flags) + "," + std::to_string(depthFormat) + "," +
                      std::to_string(reserved) + ")");
    // Only a live texture of this store made for drawing into (render-target usage) takes it.
    const auto& live = m_store->liveTextures;
    auto* t = static_cast<RecordingTexture*>(texture);
    if (!texture || std::find(live.begin(), live.end(), t) == live.end() || !t->blank || (t->created[3] & 1) == 0)
        return 0;
    RenderTarget target;
    target.id = m_nextTarget++;
    target.texture = texture;
    target.depthFormat = depthFormat;
    target.flags = flags;
    target.reserved = reserved;
    m_targets.push_back(target);
    return target.id;
}

void RecordingRenderer::RemoveRenderTarget(int id) {
    Lock lock(m_store->mutex);
    m_calls.push_back("RemoveRenderTarget(" + std::to_string(id) + ")");
    auto it = std::find_if(m_targets.begin(), m_targets.end(), [id](const RenderTarget& t) { return t.id == id; });
    if (it == m_targets.end()) {
        ++m_views.badReleases;
        return;
    }
    m_targets.erase(it);
    if (m_currentTarget == id) {
        m_currentTarget = 0;
        m_viewport = {0, 0, -1, -1};
    }
}

void RecordingRenderer::SetRenderTargetClearColour(int id, std::uint32_t argb) {
    Lock lock(m_store->mutex);
    m_calls.push_back("SetRenderTargetClearColour(" + std::to_string(id) + ")");
    for (RenderTarget& t : m_targets)
        if (t.id == id) t.clearColour = argb;
}

bool RecordingRenderer::BeginRenderTarget(int id) {
    Lock lock(m_store->mutex);
    m_calls.push_back("BeginRenderTarget(" + std::to_string(id) + ")");
    if (!FindRenderTarget(id)) return false;
    m_currentTarget = id;
    m_viewport = {0, 0, -1, -1};
    return true;
}

void RecordingRenderer::EndRenderTarget() {
    Lock lock(m_store->mutex);
    m_calls.push_back("EndRenderTarget");
    m_currentTarget = 0;
    m_viewport = {0, 0, -1, -1};
}

bool RecordingRenderer::GetRenderTarget(int index, int* width, int* height) {
    Lock lock(m_store->mutex);
    m_calls.push_back("GetRenderTarget(" + std::to_string(index) + ")");
    int w = 0, h = 0;
    if (index == 0) {
        if (const RenderTarget* t = FindRenderTarget(m_currentTarget)) {
            std::uint32_t tw = 0, th = 0;
            t->texture->GetSize(&tw, &th);
            w = int(tw), h = int(th);
        } else {
            w = renderTarget0Width, h = renderTarget0Height;
        }
    }
    if (w <= 0 || h <= 0) return false;
    if (width) *width = w;
    if (height) *height = h;
    return true;
}

void RecordingRenderer::SetViewport(int x, int y, int width, int height) {
    Lock lock(m_store->mutex);
    m_calls.push_back("SetViewport(" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(width) +
                      "," + std::to_string(height) + ")");
    if (width <= 0 || height <= 0) return;
    m_viewport = {x, y, width, height};
}

void RecordingRenderer::GetViewportSize(int* width, int* height) {
    Lock lock(m_store->mutex);
    m_calls.emplace_back("GetViewportSize");
    int w = backBufferWidth, h = backBufferHeight;
    if (m_viewport[2] > 0) {
        w = m_viewport[2], h = m_viewport[3];
    } else if (const RenderTarget* t = FindRenderTarget(m_currentTarget)) {
        std::uint32_t tw = 0, th = 0;
        t->texture->GetSize(&tw, &th);
        w = int(tw), h = int(th);
    }
    if (width) *width = w;
    if (height) *height = h;
}

bool RecordingRenderer::CopyRenderTarget(int id, const std::int32_t* rect, render::ITexture* texture) {
    Lock lock(m_store->mutex);
    std::string call = "CopyRenderTarget(";
    call += std::to_string(id);
    for (int i = 0; rect && i < 4; ++i) {
        call += ',';
        call += std::to_string(rect[i]);
    }
    call += ')';
    m_calls.push_back(call);
    const auto& live = m_store->liveTextures;
    auto* t = static_cast<RecordingTexture*>(texture);
    if (!FindRenderTarget(id) || !rect || !texture || std::find(live.begin(), live.end(), t) == live.end())
        return false;
    m_targetCopies.push_back(texture);
    return true;
}

int RecordingRenderer::TargetCopies(const render::ITexture* texture) const {
    Lock lock(m_store->mutex);
    return int(std::count(m_targetCopies.begin(), m_targetCopies.end(), texture));
}

int RecordingRenderer::LiveRenderTargets() const {
    Lock lock(m_store->mutex);
    return static_cast<int>(m_targets.size());
}

const RecordingRenderer::RenderTarget* RecordingRenderer::FindRenderTarget(int id) const {
    Lock lock(m_store->mutex);
    for (const RenderTarget& t : m_targets)
        if (t.id == id && id != 0) return &t;
    return nullptr;
}

int RecordingRenderer::CurrentRenderTarget() const {
    Lock lock(m_store->mutex);
    return m_currentTarget;
}

std::array<int, 4> RecordingRenderer::Viewport() const {
    Lock lock(m_store->mutex);
    return m_viewport;
}

}  // namespace quor::host
