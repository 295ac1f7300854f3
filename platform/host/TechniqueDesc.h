#pragma once
#include <cstdint>

namespace quor::render {

// A fixed-function technique described to the renderer as fixed states, in the order they
// are set, plus parameters that editors may change.
struct TechniqueState {
    enum Kind : std::uint8_t {
        kDepth,        // index: enabled, value: the second value
        kRaster,       // index: the raster sub-block's setter
        kStage,        // index: a texture-stage state of `stage`
        kStageSetter,  // index: a setter of the stage sub-block from `stage` on
    };
    Kind kind = kDepth;
    std::int32_t stage = 0;
    std::int32_t index = 0;
    std::int32_t value = 0;
};

// Texture-stage states by number.
enum StageStateId : std::int32_t {
    kColourOp = 1,
    kColourArg0 = 2,
    kColourArg1 = 3,
    kAlphaOp = 4,
    kAlphaArg0 = 5,
    kAlphaArg1 = 6,
};

// What a parameter edits.
struct TechniqueParam {
    enum Binding : std::uint8_t { kStageState, kTexture, kRenderState };
    const char* name = "";
    std::int32_t type = 0;
    std::int32_t count = 1;
    Binding binding = kStageState;
    std::int32_t stage = 0;
    std::int32_t state = 0;  // stage state or render state number
    // The editor: picker, label (bytes as the data has them), bounds and two further numbers.
    const char* picker = "None";
    const char* label = "";
    float lower = -3.4028235e38f;
    float upper = 3.4028235e38f;
    float extra0 = 0.0f;
    float extra1 = 1.0f;
    bool hasDefault = false;
    std::uint32_t defaultValue = 0;
};

struct TechniqueDesc {
    const TechniqueState* states = nullptr;
    std::uint32_t stateCount = 0;
    const TechniqueParam* params = nullptr;
    std::uint32_t paramCount = 0;
};

}  // namespace quor::render
