#include "world/fx/QuadBatch.h"

#include <cmath>
#include <memory>
#include <vector>

#include "platform/host/IMaterial.h"
#include "platform/host/IRenderer.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"

namespace quor::world {

namespace {

render::IRenderer* Renderer() { return Interfaces().renderer; }

struct Slot {
    render::IMaterial* material = nullptr;
    render::IRenderable* renderable = nullptr;
};

struct State {
    render::IEffect* effect = nullptr;
    std::vector<Slot> slots;
    render::IVertexBuffer* buffer = nullptr;
    std::unique_ptr<QuadVertex[]> vertices;
    int currentSlot = 0;
    int vertexBase = 0;
    int queuedCount = 0;
    QueuedVertex queued[QuadBatch::kQueue] = {};
};
State g_state;

}  // namespace

void QuadBatch::Create() {
    render::IRenderer* renderer = Renderer();
    if (!renderer || g_state.buffer) return;
    g_state.effect = renderer->LoadEffect("res/effect/AlphaClip.fx", "Common");
    // Without the effect no slot could draw: no batch, and the labels' flushes draw nothing.
    if (!g_state.effect) return;
    g_state.slots.resize(kSlots);
    for (Slot& slot : g_state.slots) {
        slot.material = renderer->CreateMaterial(g_state.effect);
        slot.renderable = renderer->CreateRenderable(g_state.effect);
        if (slot.renderable) slot.renderable->SetMaterial(slot.material);
    }
    g_state.vertices.reset(new (std::nothrow) QuadVertex[kVertices]);
    if (g_state.vertices)
        g_state.buffer = renderer->CreateArrayVertexBuffer("PrimitivesVertex", 0x144, sizeof(QuadVertex),
                                                           g_state.vertices.get(), kVertices);
    g_state.currentSlot = g_state.vertexBase = g_state.queuedCount = 0;
}

void QuadBatch::Release() {
    render::IRenderer* renderer = Renderer();
    if (renderer) {
        if (g_state.buffer) renderer->ReleaseVertexBuffer(g_state.buffer);
        for (Slot& slot : g_state.slots) {
            if (slot.material) renderer->ReleaseMaterial(slot.material);
            if (slot.renderable) renderer->ReleaseRenderable(slot.renderable);
        }
        if (g_state.effect) renderer->ReleaseEffect(g_state.effect);
    }
    g_state.buffer = nullptr;
    g_state.effect = nullptr;
    g_state.slots.clear();
    g_state.vertices.reset();
    g_state.currentSlot = g_state.vertexBase = g_state.queuedCount = 0;
}

bool QuadBatch::IsCreated() { return g_state.buffer != nullptr; }

void QuadBatch::SetTexture(render::ITexture* texture) {
    if (g_state.currentSlot >= kSlots) {
        LogError("cur_rx_id out of max");
        return;
    }
    if (std::size_t(g_state.currentSlot) < g_state.slots.size())
        if (render::IMaterial* material = g_state.slots[std::size_t(g_state.currentSlot)].material)
            material->SetTexture("Tex0", texture);
}

void QuadBatch::AddVertex(float x, float y, float u, float v, std::uint32_t colour) {
    if (g_state.queuedCount >= kQueue) return;
    g_state.queued[g_state.queuedCount++] = QueuedVertex{x, y, 0.5f, u, v, colour};
}

QueuedVertex QuadBatch::WhiteVertex(int dx, int dy, float a, float b) {
    const float radius = std::sqrt(static_cast<float>(dx) * dx + static_cast<float>(dy) * dy);
    const float angle = std::atan2(a, b);
    return QueuedVertex{radius * std::cos(angle), radius * std::sin(angle), 0.5f, 0.0f, 0.0f, 0xFFFFFFFFu};
}

void QuadBatch::BeginPass() { g_state.currentSlot = g_state.vertexBase = 0; }
void QuadBatch::BeginLabel() { g_state.queuedCount = 0; }

bool QuadBatch::WriteQueued(float left, float top, float depth) {
    if (!g_state.vertices || g_state.vertexBase + g_state.queuedCount >= kVertices) return false;
    const float x0 = std::trunc(left), y0 = std::trunc(top);
    QuadVertex* __restrict out = g_state.vertices.get() + g_state.vertexBase;
    const QueuedVertex* __restrict in = g_state.queued;
    const int count = g_state.queuedCount;
    for (int i = 0; i < count; ++i) {
        out[i].x = x0 + in[i].x;
        out[i].y = y0 + in[i].y;
        out[i].z = depth;
        out[i].rhw = 1.0f;
        out[i].colour = in[i].colour;
        out[i].u = in[i].u;
        out[i].v = in[i].v;
    }
    return true;
}

void QuadBatch::DrawQueued() {
    if (g_state.currentSlot >= kSlots || std::size_t(g_state.currentSlot) >= g_state.slots.size()) return;
    render::IRenderable* renderable = g_state.slots[std::size_t(g_state.currentSlot)].renderable;
    render::IRenderer* renderer = Renderer();
    if (renderable && renderer) {
        render::DrawRange range;
        range.firstVertex = std::uint32_t(g_state.vertexBase);
        range.primitiveCount = std::uint32_t(g_state.queuedCount / 3);
        range.vertexCount = std::uint32_t(g_state.queuedCount);
        renderable->SetDrawRecord(g_state.buffer, &range, 1);
        renderer->SubmitRenderable(renderable, -1);
    }
    g_state.vertexBase += g_state.queuedCount;
    g_state.currentSlot += 1;
    g_state.queuedCount = 0;
}

int QuadBatch::CurrentSlot() { return g_state.currentSlot; }
int QuadBatch::VertexBase() { return g_state.vertexBase; }
int QuadBatch::QueuedCount() { return g_state.queuedCount; }
const QuadVertex* QuadBatch::Vertices() { return g_state.vertices.get(); }
const QueuedVertex* QuadBatch::Queued() { return g_state.queued; }
render::IRenderable* QuadBatch::SlotRenderable(int slot) {
    return slot >= 0 && std::size_t(slot) < g_state.slots.size() ? g_state.slots[std::size_t(slot)].renderable
                                                                  : nullptr;
}
render::IMaterial* QuadBatch::SlotMaterial(int slot) {
    return slot >= 0 && std::size_t(slot) < g_state.slots.size() ? g_state.slots[std::size_t(slot)].material
                                                                  : nullptr;
}
render::IVertexBuffer* QuadBatch::Buffer() { return g_state.buffer; }

}  // namespace quor::world
