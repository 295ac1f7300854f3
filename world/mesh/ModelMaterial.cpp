#include "world/mesh/ModelMaterial.h"

#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include "platform/host/IRenderer.h"
#include "platform/win32/Messages.h"
#include "world/core/InterfaceTable.h"

namespace quor::world {

namespace {

using render::TechniqueParam;
using render::TechniqueState;

constexpr int kBlendFactors = 16;

// Shared by loader threads (which fill the blend table lazily) and the main thread.
struct MaterialState {
    std::mutex mutex;
    // The renderer that made the objects below: a host that replaced its renderer took them
    // with the old one.
    render::IRenderer* owner = nullptr;
    render::IEffect* normalTechnique = nullptr;
    render::IEffect* alphaTechnique = nullptr;
    render::IRenderState* stageState = nullptr;
    render::IRenderState* blendStates[kBlendFactors * kBlendFactors] = {};
    // The render-mode state blocks of sub-meshes by (mode, value, value).
    std::map<std::tuple<std::int32_t, std::int32_t, std::int32_t>, render::IRenderState*> renderModes;
    render::IEffect* skinTechnique = nullptr;
    render::IEffect* skinAlphaTechnique = nullptr;
};

MaterialState& State() {
    static MaterialState state;
    return state;
}

// The state with the objects of a renderer other than the current one forgotten (the caller
// holds the lock).
MaterialState& Current(MaterialState& s) {
    if (s.owner && s.owner != Interfaces().renderer) {
        s.owner = nullptr;
        s.normalTechnique = s.alphaTechnique = nullptr;
        s.stageState = nullptr;
        for (auto& entry : s.blendStates) entry = nullptr;
        s.renderModes.clear();
    }
    return s;
}

// Editor labels are GBK bytes, as the tools show them.
constexpr const char* kColourOpLabel = "\xD1\xD5\xC9\xAB\xD4\xCB\xCB\xE3";
constexpr const char* kColourMapLabel = "\xD1\xD5\xC9\xAB\xCC\xF9\xCD\xBC";
constexpr const char* kAlphaLabel = "\xCD\xB8\xC3\xF7\xB6\xC8";
constexpr std::int32_t kModulate = 4;
constexpr std::int32_t kTextureFactor = 3;
constexpr std::int32_t kTexture = 2;
constexpr std::int32_t kTextureFactorState = 60;

TechniqueState Stage(std::int32_t stage, std::int32_t state, std::int32_t value) {
    return {TechniqueState::kStage, stage, state, value};
}

// Stage 0 of both templates: texture colour and alpha modulated by the texture factor.
void AddStageZero(std::vector<TechniqueState>& states) {
    states.push_back(Stage(0, render::kColourOp, kModulate));
    states.push_back(Stage(0, render::kAlphaOp, kModulate));
    states.push_back(Stage(0, render::kColourArg0, kTextureFactor));
    states.push_back(Stage(0, render::kColourArg1, kTexture));
    states.push_back(Stage(0, render::kAlphaArg0, kTextureFactor));
    states.push_back(Stage(0, render::kAlphaArg1, kTexture));
}

TechniqueParam ColourOpParam() {
    TechniqueParam p;
    p.name = "DiffuseColorOp";
    p.type = 2;
    p.binding = TechniqueParam::kStageState;
    p.stage = 0;
    p.state = render::kColourOp;
    p.picker = "ListPicker_ColorOp";
    p.label = kColourOpLabel;
    p.hasDefault = true;
    p.defaultValue = kModulate;
    return p;
}

TechniqueParam TextureParam() {
    TechniqueParam p;
    p.name = "Tex0";
    p.type = 9;
    p.binding = TechniqueParam::kTexture;
    p.stage = 0;
    p.picker = "FilePicker";
    p.label = kColourMapLabel;
    return p;
}

render::IEffect* Register(render::IRenderer* renderer, const char* name, const std::vector<TechniqueState>& states,
                          const std::vector<TechniqueParam>& params) {
    render::TechniqueDesc desc;
    desc.states = states.data();
    desc.stateCount = std::uint32_t(states.size());
    desc.params = params.data();
    desc.paramCount = std::uint32_t(params.size());
    return renderer->GetTechnique(name, &desc);
}

}  // namespace

bool RegisterModelTechniqueTemplates() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return true;
    MaterialState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    Current(s);
    if (s.normalTechnique || s.alphaTechnique || s.stageState) return true;  // a second start-up keeps them
    s.owner = renderer;

    std::vector<TechniqueState> normal = {{TechniqueState::kDepth, 0, 1, 0}};
    AddStageZero(normal);
    normal.push_back({TechniqueState::kStageSetter, 1, 5, -1});
    s.normalTechnique = Register(renderer, "<ModelNormalTech>", normal, {ColourOpParam(), TextureParam()});

    std::vector<TechniqueState> alpha = {{TechniqueState::kDepth, 0, 1, 1},
                                         {TechniqueState::kRaster, 0, 0, 1},
                                         {TechniqueState::kRaster, 0, 1, 3}};
    AddStageZero(alpha);
    alpha.push_back(Stage(1, render::kColourOp, 2));
    alpha.push_back(Stage(1, render::kAlphaOp, kModulate));
    alpha.push_back(Stage(1, render::kColourArg0, 1));
    alpha.push_back(Stage(1, render::kAlphaArg0, 1));
    alpha.push_back(Stage(1, render::kAlphaArg1, 4));
    TechniqueParam alphaParam;
    alphaParam.name = "Alpha";
    alphaParam.type = 3;
    alphaParam.binding = TechniqueParam::kRenderState;
    alphaParam.state = kTextureFactorState;
    alphaParam.picker = "AlphaPicker";
    alphaParam.label = kAlphaLabel;
    alphaParam.hasDefault = true;
    alphaParam.defaultValue = 0xFF000000u;
    s.alphaTechnique = Register(renderer, "<ModelAlphaTech>", alpha, {ColourOpParam(), alphaParam, TextureParam()});

    // Start from an empty table; anything made before start-up is given back, not lost.
    for (auto& entry : s.blendStates) {
        if (entry) renderer->ReleaseStateBlock(entry);
        entry = nullptr;
    }
    s.stageState = renderer->CreateRenderState();
    return true;
}

constexpr const char* kHardwareSkinFile = "res/builtin/shader/hardware_skin.fx";

void CreateHardwareSkinEffect() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return;
    render::IEffect* opaque = renderer->LoadEffect(kHardwareSkinFile, "THardwareSkin");
    if (!opaque) win32::MessageBoxA(nullptr, "Create hardware skin fx failed!", "ERROR", win32::MB_OK);
    render::IEffect* alpha = renderer->LoadEffect(kHardwareSkinFile, "THardwareSkinAlpha");
    if (!alpha) win32::MessageBoxA(nullptr, "Create hardware skin fx alpha failed!", "ERROR", win32::MB_OK);
    MaterialState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    // A second start-up gives the first pair back.
    if (s.skinTechnique) renderer->ReleaseEffect(s.skinTechnique);
    if (s.skinAlphaTechnique) renderer->ReleaseEffect(s.skinAlphaTechnique);
    s.skinTechnique = opaque;
    s.skinAlphaTechnique = alpha;
}

void ReleaseHardwareSkinEffect() {
    render::IRenderer* renderer = Interfaces().renderer;
    MaterialState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (renderer) {
        if (s.skinTechnique) renderer->ReleaseEffect(s.skinTechnique);
        if (s.skinAlphaTechnique) renderer->ReleaseEffect(s.skinAlphaTechnique);
    }
    s.skinTechnique = s.skinAlphaTechnique = nullptr;
}

render::IEffect* HardwareSkinTechnique(bool alpha) {
    MaterialState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return alpha ? s.skinAlphaTechnique : s.skinTechnique;
}

bool SetGlobalMaterialState(float a, float b, float c, float d) {
    MaterialState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    Current(s);
    if (!s.stageState) return false;
    s.stageState->SetValue(1, a);
    s.stageState->SetValue(2, b);
    s.stageState->SetValue(3, c);
    return s.stageState->SetValue(8, d);
}

void SetGlobalMaterialFloat(float value) {
    MaterialState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    Current(s);
    if (s.stageState) s.stageState->SetValue(9, value);
}

void ReleaseMaterialStateCaches() {
    MaterialState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    Current(s);
    render::IRenderer* renderer = s.owner;
    if (!renderer) return;
    if (s.normalTechnique) renderer->ReleaseEffect(s.normalTechnique);
    if (s.alphaTechnique) renderer->ReleaseEffect(s.alphaTechnique);
    s.normalTechnique = s.alphaTechnique = nullptr;
    for (auto& entry : s.blendStates) {
        if (entry) renderer->ReleaseStateBlock(entry);
        entry = nullptr;
    }
    for (auto& [key, state] : s.renderModes) renderer->ReleaseStateBlock(state);
    s.renderModes.clear();
    if (s.stageState) renderer->ReleaseRenderState(s.stageState);
    s.stageState = nullptr;
    s.owner = nullptr;
}

render::IEffect* DefaultModelTechnique(bool alpha) {
    MaterialState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    Current(s);
    return alpha ? s.alphaTechnique : s.normalTechnique;
}

render::IRenderState* SharedStageState() {
    MaterialState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    Current(s);
    return s.stageState;
}

render::IRenderState* SharedBlendState(int source, int destination) {
    if (source < 0 || source >= kBlendFactors || destination < 0 || destination >= kBlendFactors) return nullptr;
    MaterialState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    Current(s);
    return s.blendStates[source * kBlendFactors + destination];
}

render::IRenderState* AcquireBlendState(int source, int destination) {
    if (source < 0 || source >= kBlendFactors || destination < 0 || destination >= kBlendFactors) return nullptr;
    MaterialState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    Current(s);
    render::IRenderState*& entry = s.blendStates[source * kBlendFactors + destination];
    if (entry) return entry;
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return nullptr;
    entry = renderer->CreateBlendState();
    if (!entry) return nullptr;
    entry->SetBlend(true, source, destination);
    // The table goes with the renderer that made it.
    if (!s.owner) s.owner = renderer;
    return entry;
}

render::IRenderState* AcquireRenderModeState(std::int32_t mode, std::int32_t value0, std::int32_t value1) {
    MaterialState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    Current(s);
    const auto key = std::make_tuple(mode, value0, value1);
    auto found = s.renderModes.find(key);
    if (found != s.renderModes.end()) return found->second;
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return nullptr;
    render::IRenderState* state = renderer->CreateStateBlock();
    if (!state) return nullptr;
    state->SetRenderMode(mode, value0, value1);
    if (!s.owner) s.owner = renderer;
    s.renderModes.emplace(key, state);
    return state;
}

std::size_t RenderModeStateCount() {
    MaterialState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    Current(s);
    return s.renderModes.size();
}

}  // namespace quor::world
