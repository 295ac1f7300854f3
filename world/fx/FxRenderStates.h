#pragma once
#include <cstddef>

namespace quor::render {
class IEffect;
class IRenderState;
}  // namespace quor::render

namespace quor::world {

// The process-wide cache of effect render states, keyed by four small integers: a the blend
// mode, b the depth mode, c part of the key only, d the two further parameters. Made on first
// request and kept until the shared materials are released; loader threads ask too, hence the
// lock. Null when the renderer makes none.
render::IRenderState* GetRenderState(int a, int b, int c, int d);
// Cached states (tests).
std::size_t RenderStateCacheSize();

constexpr int kSharedMaterialCount = 6;

}  // namespace quor::world
