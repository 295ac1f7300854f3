#include "platform/host/RecordingSkinBuffer.h"

#include <algorithm>
#include <cstring>

#include "platform/host/RecordingRenderer.h"

namespace quor::host {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

}  // namespace

bool RecordingSkinBuffer::IsReady() {
    switch (kind) {
    case render::kSkinBufferPlaneShadow: return light && hasPlane;
    case render::kSkinBufferVolume: return target != nullptr;
    default: return true;
    }
}

void RecordingSkinBuffer::SetDrawRecord(render::IVertexBuffer* s, const render::DrawRange* r, std::uint32_t count,
                                        const float* w) {
    stream = s;
    if (r) ranges.assign(r, r + count);
    else ranges.clear();
    if (w) std::memcpy(world, w, sizeof world);
}

void RecordingSkinBuffer::SetPlane(const float* p) {
    if (!p) return;
    std::memcpy(plane, p, sizeof plane);
    hasPlane = true;
}

void RecordingSkinBuffer::SetBounds(const float* b) {
    if (!b) return;
    std::memcpy(bounds, b, sizeof bounds);
    ++boundsSets;
}

render::IMaterial* RecordingSkinBuffer::GetMaterial() { return material; }

void RecordingSkinBuffer::SetPlacement(const float* c, const float* e) {
    if (c) std::memcpy(centre, c, sizeof centre);
    if (e) std::memcpy(extents, e, sizeof extents);
    ++placements;
}

RecordingExtTechnique::RecordingExtTechnique(std::string techniqueName) : name(std::move(techniqueName)) {
    effect.techniqueName = name;
}

void RecordingExtTechnique::DrawObject(render::ISkinBuffer* object) {
    if (!object) return;
    ++objectDraws;
    ++static_cast<RecordingSkinBuffer*>(object)->draws;
    if (onDraw) onDraw(*this, object, nullptr);
}

void RecordingExtTechnique::DrawInstance(render::RenderEffectInstance* instance) {
    if (!instance) return;
    ++instanceDraws;
    lastInstance = *instance;
    if (onDraw) onDraw(*this, nullptr, instance);
}

render::IMaterial* RecordingExtTechnique::CreateMaterial() { return makeMaterial ? makeMaterial(*this) : nullptr; }

render::ITexture* RecordingMaterial::GetTexture(const char* stageName) {
    if (!stageName) return nullptr;
    Lock lock(m_store.mutex);
    for (const Stage& s : stages)
        if (s.used && s.name == stageName) return s.texture;
    return nullptr;
}

// --- the renderer's side ---------------------------------------------------------------------

render::IExtTechnique* RecordingRenderer::ExtTechniqueByName(const char* name) {
    if (!name || std::find(extTechniques.begin(), extTechniques.end(), name) == extTechniques.end()) return nullptr;
    auto& slot = m_store->extTechniques[name];
    if (!slot) {
        slot = std::make_unique<RecordingExtTechnique>(name);
        RecordingStore* store = m_store.get();
        store->techniqueStages[&slot->effect] = {"TexDiffuse"};
        slot->makeMaterial = [store](RecordingExtTechnique& t) -> render::IMaterial* {
            Lock lock(store->mutex);
            return store->MakeMaterial(&t.effect);
        };
    }
    return slot.get();
}

RecordingExtTechnique* RecordingRenderer::FindExtTechnique(const std::string& name) const {
    Lock lock(m_store->mutex);
    auto it = m_store->extTechniques.find(name);
    return it == m_store->extTechniques.end() ? nullptr : it->second.get();
}

render::ISkinBuffer* RecordingRenderer::CreateSkinBuffer(int kind) {
    Lock lock(m_store->mutex);
    m_calls.push_back("CreateSkinBuffer(" + std::to_string(kind) + ")");
    if (kind != render::kSkinBufferDecal && kind != render::kSkinBufferPlaneShadow && kind != render::kSkinBufferVolume)
        return nullptr;
    auto& pool = m_store->skinBuffers;
    pool.all.push_back(std::make_unique<RecordingSkinBuffer>(kind));
    RecordingSkinBuffer* object = pool.all.back().get();
    pool.live.push_back(static_cast<render::ISkinBuffer*>(object));
    // A planar part draws with a material of the plane technique (its "Alpha" among the
    // parameters).
    if (kind == render::kSkinBufferPlaneShadow) {
        auto* technique = static_cast<RecordingExtTechnique*>(ExtTechniqueByName("<ShadowOnPlane>"));
        object->material = m_store->MakeMaterial(technique ? &technique->effect : nullptr);
    }
    return object;
}

void RecordingRenderer::ReleaseSkinBuffer(render::ISkinBuffer* object) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseSkinBuffer");
    if (!m_store->Take(m_store->skinBuffers, object)) return;
    auto* buffer = static_cast<RecordingSkinBuffer*>(object);
    buffer->released = true;
    if (buffer->material) m_store->ReleaseMaterialRef(buffer->material);
}

std::uint32_t RecordingRenderer::GetFrameStamp() {
    Lock lock(m_store->mutex);
    return static_cast<std::uint32_t>(m_updates);
}

RecordingSkinBuffer* RecordingRenderer::LastSkinBuffer() const {
    Lock lock(m_store->mutex);
    return m_store->skinBuffers.all.empty() ? nullptr : m_store->skinBuffers.all.back().get();
}

std::vector<RecordingSkinBuffer*> RecordingRenderer::SkinBuffers() const {
    Lock lock(m_store->mutex);
    std::vector<RecordingSkinBuffer*> out;
    for (const auto& b : m_store->skinBuffers.all) out.push_back(b.get());
    return out;
}

int RecordingRenderer::LiveSkinBuffers() const {
    Lock lock(m_store->mutex);
    return int(m_store->skinBuffers.live.size());
}

}  // namespace quor::host
