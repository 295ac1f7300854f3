#include "world/fx/FxRenderStates.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "platform/host/IEffect.h"
#include "platform/host/IRenderer.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/fx/FxBase.h"

namespace quor::world {

namespace {

std::mutex g_cacheLock;
std::map<std::uint64_t, render::IRenderState*> g_cache;

struct SharedMaterialEntry {
    const char* name;
    std::int32_t blendCode;
};

// The three blend variants; the plain effects take entries 0-2, the loaded ones 3-5.
constexpr SharedMaterialEntry kSharedMaterials[3] = {
    {"FxTech SrcAlpha", 3},
    {"FxTech SrcColor", 5},
    {"FxTech SrcAlpha-One", 9},
};

render::IEffect* g_shared[kSharedMaterialCount] = {};

void SetGroup(render::IEffectStateGroup* group, int operation, std::int32_t a, std::int32_t b) {
    if (group) group->SetState(operation, a, b);
}

}  // namespace

render::IRenderState* GetRenderState(int a, int b, int c, int d) {
    const std::uint32_t high = (static_cast<std::uint32_t>(a) << 16) | (static_cast<std::uint32_t>(b) << 8) |
                               static_cast<std::uint32_t>(c);
    const std::uint64_t key = (static_cast<std::uint64_t>(high) << 32) | static_cast<std::uint32_t>(d);
    std::lock_guard<std::mutex> lock(g_cacheLock);
    auto it = g_cache.find(key);
    if (it != g_cache.end()) return it->second;
    render::IRenderer* renderer = Interfaces().renderer;
    render::IRenderState* state = renderer ? renderer->CreateStateBlock() : nullptr;
    if (!state) return nullptr;
    state->SetValue(render::kFxStateBlend, static_cast<float>(a));
    state->SetValue(render::kFxStateDepth, static_cast<float>(b));
    state->SetValue(render::kFxStateParam0, static_cast<float>(d));
    state->SetValue(render::kFxStateParam1, static_cast<float>(d));
    g_cache.emplace(key, state);
    return state;
}

std::size_t RenderStateCacheSize() {
    std::lock_guard<std::mutex> lock(g_cacheLock);
    return g_cache.size();
}

void FxBase::CreateSharedMaterials() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return;
    std::string missing;
    for (int i = 0; i < kSharedMaterialCount; ++i) {
        if (g_shared[i]) continue;
        const bool loaded = i >= 3;
        render::IEffect* effect = nullptr;
        if (loaded) {
            char path[64];
            std::snprintf(path, sizeof path, "res/effect/sfx%d.fx", i - 3);
            effect = renderer->LoadEffect(path, "Fx");
        } else {
            effect = renderer->CreateEffect();
        }
        // Users of a material that did not load take the plain entry of their blend mode: a
        // host without the effect files is served, so this is told once, as information.
        if (!effect) {
            missing += (missing.empty() ? "" : ", ") + std::to_string(i);
            continue;
        }
        SetGroup(effect->GetDebugLabel(), 0, 0, 0);
        SetGroup(effect->GetDebugLabel(), 3, 0, 0);
        SetGroup(effect->GetTextureStageState(), 1, 0, 4);
        SetGroup(effect->GetBlendState(), 3, 0, 1);
        SetGroup(effect->GetSamplerState(0), 0, 3, 0);
        if (loaded) SetGroup(effect->GetDepthStencilState(), 1, 1, 0);
        effect->SetTechniqueName(kSharedMaterials[i % 3].name);
        SetGroup(effect->GetRasterState(), 1, kSharedMaterials[i % 3].blendCode, 0);
        g_shared[i] = effect;
    }
    if (!missing.empty())
        LogInfo("shared effect material %s not made: the plain material of the same blend stands in",
                missing.c_str());
}

void FxBase::ReleaseSharedMaterials() {
    render::IRenderer* renderer = Interfaces().renderer;
    for (render::IEffect*& effect : g_shared) {
        if (effect && renderer) renderer->ReleaseEffect(effect);
        effect = nullptr;
    }
    std::lock_guard<std::mutex> lock(g_cacheLock);
    for (auto& [key, state] : g_cache)
        if (renderer) renderer->ReleaseStateBlock(state);
    g_cache.clear();
}

render::IEffect* FxBase::GetSharedMaterial(int index) {
    if (index < 0 || index >= kSharedMaterialCount) return nullptr;
    render::IEffect* effect = g_shared[index];
    // A loaded variant that is missing falls back on the plain one of the same blend.
    if (!effect && index >= 3) effect = g_shared[index - 3];
    return effect;
}

render::IEffect* FxBase::SharedMaterialForBlend(int blendMode, int defaultMode, bool zWriteVariant) {
    if (blendMode < 0 || blendMode > 2) {
        LogWarning("BlendMode %d is not one of 0, 1, 2; %d taken", blendMode, defaultMode);
        blendMode = defaultMode;
    }
    return GetSharedMaterial(blendMode + (zWriteVariant ? 3 : 0));
}

}  // namespace quor::world
