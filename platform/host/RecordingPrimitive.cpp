#include "platform/host/RecordingPrimitive.h"

#include "platform/host/RecordingResources.h"

#include <cstring>

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

render::IVertexBuffer* RecordingPrimitive::GetVertexBuffer() {
    calls.push_back(Call("GetVertexBuffer", {}));
    if (!stream) stream = std::make_shared<RecordingVertexBuffer>();
    return stream.get();
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

void RecordingPrimitive::SetVertexCount(int primitives, int vertices, int indexed, int flags) {
    calls.push_back(Call("SetVertexCount", {primitives, vertices, indexed, flags}));
    vertexCapacity = vertices;
}

void RecordingPrimitive::SetVertexUV(int index, const float* position, float u, float v, std::uint32_t colour) {
    calls.push_back(Call("SetVertexUV", {index, static_cast<long long>(colour)}));
    if (index < 0 || (vertexCapacity >= 0 && index >= vertexCapacity) || index >= (1 << 20)) {
        ++writesPastCapacity;
        return;
    }
    if (vertices.size() <= std::size_t(index)) vertices.resize(std::size_t(index) + 1);
    Vertex& out = vertices[std::size_t(index)];
    if (position) std::memcpy(out.position, position, sizeof out.position);
    out.u = u;
    out.v = v;
    out.colour = colour;
}

void RecordingPrimitive::SetTexture(int stage, render::ITexture* texture) {
    calls.push_back(Call("SetTexture", {stage}));
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
    calls.push_back(Call("Draw", {first, count, pass}));
    ++draws;
    if (onDraw) onDraw(*this);
}

void RecordingPrimitive::SetVertexCountUsed(int count) {
    calls.push_back(Call("SetVertexCountUsed", {count}));
    usedCount = count;
}

void RecordingPrimitive::DrawEx(int index, const float*, int flags, const float*) {
    calls.push_back(Call("DrawEx", {index, flags}));
}

std::intptr_t RecordingPrimitive::Pass(int slot, std::intptr_t a, std::intptr_t b) {
    calls.push_back(Call(("Slot" + std::to_string(slot)).c_str(), {a, b}));
    return slot + a + b;
}

}  // namespace quor::host
