#include "world/core/PrimitiveBatch.h"

namespace quor::world {

void PrimitiveBatchInit(PrimitiveBatch& batch, render::IVertexBuffer* stream, std::uint32_t firstVertex,
                        std::uint32_t vertexCount, std::uint32_t firstIndex, std::uint32_t primitiveCount) {
    batch.stream = stream;
    render::DrawRange range;
    range.firstVertex = firstVertex;
    range.primitiveCount = primitiveCount;
    range.vertexCount = vertexCount;
    range.firstIndex = firstIndex;
    range.reserved = 0;
    batch.ranges.assign(1, range);
}

}  // namespace quor::world
