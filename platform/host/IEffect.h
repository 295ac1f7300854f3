#pragma once

#include <cstdint>

namespace quor::render {

// One group of an effect's render states (label, texture stage, blend, sampler, depth-stencil,
// raster): numbered operations with up to two values, their meaning the renderer's.
class IEffectStateGroup {
public:
    virtual void SetState(int operation, std::int32_t value0, std::int32_t value1) = 0;

protected:
    ~IEffectStateGroup() = default;
};

// An effect of the host's renderer (techniques, render states, named parameters).
class IEffect {
public:
    // The draw pass the effect's technique belongs to.
    virtual int GetDrawPass() = 0;
    virtual void SetTechniqueName(const char* name) = 0;
    // Whether the technique draws transparently (blending on).
    virtual bool IsTransparent() = 0;
    // 1 for a technique of an effect file, 0 for a described (fixed-function) one.
    virtual int GetKind() = 0;
    // The full name: "file::technique" for kind 1, the technique name otherwise.
    virtual const char* GetName() = 0;
    // Writes the technique's items to the debugger output.
    virtual void PrintAllItems() = 0;
    // The state groups of the technique.
    virtual IEffectStateGroup* GetDebugLabel() = 0;
    virtual IEffectStateGroup* GetTextureStageState() = 0;
    virtual IEffectStateGroup* GetBlendState() = 0;
    virtual IEffectStateGroup* GetSamplerState(int stage) = 0;
    virtual IEffectStateGroup* GetDepthStencilState() = 0;
    virtual IEffectStateGroup* GetRasterState() = 0;

protected:
    ~IEffect() = default;
};

}  // namespace quor::render
