#pragma once
#include <cstddef>
#include <cstdint>

namespace quor::render {
class IEffect;
class IRenderState;
}  // namespace quor::render

namespace quor::world {

// The model material code's module-wide resources: the two default techniques, the shared
// texture-stage state and the table of shared blend states. Made at world start-up, released
// after the last scene goes.
bool RegisterModelTechniqueTemplates();
void CreateHardwareSkinEffect();
void ReleaseHardwareSkinEffect();
// The shared stage state takes the four values through its setters 1, 2, 3 and 8; answers what
// the last one answers (false without the state).
bool SetGlobalMaterialState(float a, float b, float c, float d);
// The shared stage state takes the value through its setter 9.
void SetGlobalMaterialFloat(float value);
void ReleaseMaterialStateCaches();

// The default technique of opaque (alpha false) or transparent sub-meshes without an effect
// file of their own; null before the templates are registered.
render::IEffect* DefaultModelTechnique(bool alpha);
render::IRenderState* SharedStageState();
// Entry source x 16 + destination of the shared blend-state table (null until made).
render::IRenderState* SharedBlendState(int source, int destination);
// The same entry, made on first use (blending on, the two factors); null for factors outside
// the table or without a renderer.
render::IRenderState* AcquireBlendState(int source, int destination);
// The shared state block of a sub-mesh render mode and its two values, made on first use.
render::IRenderState* AcquireRenderModeState(std::int32_t mode, std::int32_t value0, std::int32_t value1);
std::size_t RenderModeStateCount();
// "THardwareSkin" (alpha false) or "THardwareSkinAlpha" of the built-in hardware-skin effect;
// null when it did not load.
render::IEffect* HardwareSkinTechnique(bool alpha);

}  // namespace quor::world
