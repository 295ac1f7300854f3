#pragma once
#include <cstdint>
#include <vector>

#include "platform/host/IRenderer.h"

namespace quor::world {

// A draw record over a renderer vertex stream with its ranges; renderables take it (line
// objects, decals, mesh drawing).
struct PrimitiveBatch {
    render::IVertexBuffer* stream = nullptr;
    std::vector<render::DrawRange> ranges;
};

// Sets the stream and one range (first vertex, primitive count, vertex count, first index, 0).
void PrimitiveBatchInit(PrimitiveBatch& batch, render::IVertexBuffer* stream, std::uint32_t firstVertex,
                        std::uint32_t vertexCount, std::uint32_t firstIndex, std::uint32_t primitiveCount);

}  // namespace quor::world
