#include "world/skeleton/MeshSkelSegment.h"

namespace quor {

void MeshSkelSegment::UpdateHardwareSkinShader(std::uint32_t, const Matrix&, std::uint32_t) {}

}  // namespace quor
