#include "platform/host/RecordingPrimitive.h"

#include <algorithm>
#include <cstring>

#include "platform/host/RecordingResources.h"

namespace quor::host {

namespace {

std::string Call(const char* name, std::initializer_list<long long> args) {
    std::string text = name;
    text += '(';
    bool first = true;
    for (long long a : args) {
        if (!first) {
            text += ',';
        }
        text += std::to_string(a);
        first = false;
    }
    text += ')';
    return text;
}

}  // namespace

RecordingPrimitive::RecordingPrimitive(int kind, std::uint32_t vertexFormat)
    : kind(kind), vertexFormat(vertexFormat), m_buffer(std::make_unique<RecordingVertexBuffer>()) {}

RecordingPrimitive::~RecordingPrimitive() = default;

render::IVertexBuffer* RecordingPrimitive::GetVertexBuffer() {
    calls.push_back(Call("GetVertexBuffer", {}));
    return m_buffer.get();
}

void RecordingPrimitive::Release() {
    calls.push_back(Call("Release", {}));
    ++releaseCount;
}

void RecordingPrimitive::Commit() { calls.push_back(Call("Commit", {})); }

void RecordingPrimitive::SetTransform(const float* world) {
    calls.push_back(Call("SetTransform", {}));
    std::memcpy(transform, world, sizeof transform);
}

void RecordingPrimitive::SetEffect(render::IEffect* e) {
    calls.push_back(Call("SetEffect", {}));
    effect = e;
}

render::IEffect* RecordingPrimitive::GetEffect() {
    calls.push_back(Call("GetEffect", {}));
    return effect;
}

void RecordingPrimitive::SetVertexCount(int primitives, int count, int indexed, int flags) {
    calls.push_back(Call("SetVertexCount", {primitives, count, indexed, flags}));
    // A stand-in's limit, far above what any caller asks.
    // A vertex count given is the capacity; without one, quads (kind 7) take four vertices per
    // primitive and other kinds one per count.
    const long long wanted = count > 0 ? count : primitives <= 0 ? 0 : (kind == 7 ? 4LL * primitives : primitives);
    capacity = std::size_t(wanted > (1LL << 24) ? 0 : wanted);
    // The array grows as vertices are written: a large capacity costs nothing until used.
    vertices.clear();
}

void RecordingPrimitive::SetVertexUV(int index, const float* position, float u, float v, std::uint32_t colour) {
    // The plain write stays lean: logging and growing live out of line.
    if (record) LogVertex(index, colour);
    if (index < 0 || std::size_t(index) >= capacity || !position) {
        ++badWrites;
        return;
    }
    if (std::size_t(index) >= vertices.size()) GrowVertices(std::size_t(index) + 1);
    vertices[std::size_t(index)] = PrimitiveVertex{position[0], position[1], position[2], colour, u, v};
}

void RecordingPrimitive::LogVertex(int index, std::uint32_t colour) {
    calls.push_back(Call("SetVertexUV", {index, static_cast<long long>(colour)}));
}

void RecordingPrimitive::GrowVertices(std::size_t size) { vertices.resize(size); }

void RecordingPrimitive::SetTexture(int stage, render::ITexture* texture) {
    if (record) calls.push_back(Call("SetTexture", {stage}));
    if (stage >= 0 && stage < 8) textures[stage] = texture;
}

bool RecordingPrimitive::Submit() {
    calls.push_back(Call("Submit", {}));
    return submitAnswer;
}

void RecordingPrimitive::SetMaterial(render::IMaterial* m) {
    calls.push_back(Call("SetMaterial", {}));
    material = m;
}

void RecordingPrimitive::Draw(int first, int count, int pass) {
    ++drawCount;
    lastPass = pass;
    if (drawSink) drawSink(*this);
    if (!record) return;
    calls.push_back(Call("Draw", {first, count, pass}));
    PrimitiveDraw d;
    d.first = first;
    d.count = count;
    d.pass = pass;
    d.used = used;
    std::memcpy(d.transform, transform, sizeof transform);
    // The vertices of the primitives in use: four per quad, three per triangle.
    const std::size_t per = kind == 7 ? 4 : 3;
    const std::size_t n = used < 0 ? vertices.size() : std::min(vertices.size(), per * std::size_t(used));
    d.vertices.assign(vertices.begin(), vertices.begin() + std::ptrdiff_t(n));
    draws.push_back(std::move(d));
}

void RecordingPrimitive::SetVertexCountUsed(int count) {
    if (record) calls.push_back(Call("SetVertexCountUsed", {count}));
    used = count;
}

void RecordingPrimitive::DrawEx(int index, const float* rect, int flags, const float* textureRect) {
    if (record) calls.push_back(Call("DrawEx", {index, flags}));
    ++drawExCount;
    if (rect) std::copy(rect, rect + 4, drawExRect);
    if (textureRect) {
        // Fixed-length copies: a length chosen at run time would cost a library call per quad.
        std::copy(textureRect, textureRect + 4, drawExUV);
        if (vertexFormat & 0x200u) std::copy(textureRect + 4, textureRect + 8, drawExUV + 4);
    }
}

void* RecordingPrimitive::LockVertices(int first, int count) {
    if (record) calls.push_back(Call("LockVertices", {first, count}));
    if (first < 0 || count < 0 || std::size_t(first) + std::size_t(count) > capacity) return nullptr;
    ++locks;
    if (vertices.size() < std::size_t(first + count)) GrowVertices(std::size_t(first + count));
    if (vertexFormat == 0x144u) {
        // The staging only grows: a lock hands out what it holds, as a device's memory would.
        if (screenLock.size() < std::size_t(count)) screenLock.resize(std::size_t(count));
        screenLockFirst = first;
        screenLockCount = count;
        return screenLock.data();
    }
    return vertices.data() + first;
}

void RecordingPrimitive::UnlockVertices() {
    if (record) calls.push_back(Call("UnlockVertices", {}));
    ++unlocks;
    if (vertexFormat != 0x144u) return;
    PrimitiveVertex* __restrict to = vertices.data() + screenLockFirst;
    const ScreenVertex* __restrict from = screenLock.data();
    for (int i = 0; i < screenLockCount; ++i)
        to[i] = PrimitiveVertex{from[i].x, from[i].y, from[i].z, from[i].colour, from[i].u, from[i].v};
    screenLockCount = 0;
}

std::intptr_t RecordingPrimitive::Pass(int slot, std::intptr_t a, std::intptr_t b) {
    calls.push_back(Call(("Slot" + std::to_string(slot)).c_str(), {a, b}));
    return slot + a + b;
}

}  // namespace quor::host
