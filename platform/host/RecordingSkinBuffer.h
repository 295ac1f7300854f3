#pragma once
// The recording renderer's shadow objects and extension techniques: every value they were
// given and every draw, readable after the system let go of them.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/host/IRenderer.h"
#include "platform/host/ISkinBuffer.h"
#include "platform/host/RecordingPrimitive.h"

namespace quor::host {

class RecordingMaterial;

class RecordingSkinBuffer final : public render::ISkinBuffer {
public:
    explicit RecordingSkinBuffer(int kind) : kind(kind) {}

    int GetKind() override { return kind; }
    void SetVisible(bool value) override { visible = value; }
    bool IsVisible() override { return visible; }
    bool IsReady() override;
    void SetDrawRecord(render::IVertexBuffer* stream, const render::DrawRange* ranges, std::uint32_t count,
                       const float* world) override;
    void SetLight(void* renderLight) override { light = renderLight; }
    void* GetLight() override { return light; }
    void SetPlane(const float* p) override;
    void SetBounds(const float* b) override;
    void Refresh(std::uint32_t mark) override { marks.push_back(mark); }
    render::IMaterial* GetMaterial() override;
    void SetPlacement(const float* centre, const float* extents) override;
    void SetTarget(const void* renderRecord) override { target = renderRecord; }

    const int kind;
    bool visible = false;
    void* light = nullptr;
    bool hasPlane = false;
    float plane[4] = {};
    float bounds[7] = {};
    int boundsSets = 0;
    std::vector<std::uint32_t> marks;
    // The planar part's material (made with the object, given back with it).
    RecordingMaterial* material = nullptr;
    float centre[3] = {};
    float extents[3] = {};
    int placements = 0;
    const void* target = nullptr;
    render::IVertexBuffer* stream = nullptr;
    std::vector<render::DrawRange> ranges;
    float world[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    int draws = 0;
    bool released = false;
};

// An extension technique by name. Draws are counted and handed to the hook, through which a
// drawing renderer draws them.
class RecordingExtTechnique final : public render::IExtTechnique {
public:
    explicit RecordingExtTechnique(std::string techniqueName);

    void* GetHandle() override { return this; }
    const char* GetName() override { return name.c_str(); }
    void DrawObject(render::ISkinBuffer* object) override;
    void DrawInstance(render::RenderEffectInstance* instance) override;
    render::IMaterial* CreateMaterial() override;
    void SetParameter(void* value) override { parameters.push_back(value); }
    // Everything handed over with SetParameter, in order.
    std::vector<void*> parameters;

    const std::string name;
    // The technique its materials name ("TexDiffuse" their one stage).
    RecordingEffect effect;
    int objectDraws = 0;
    int instanceDraws = 0;
    // The latest instance drawn, as it was then.
    render::RenderEffectInstance lastInstance;
    std::function<void(RecordingExtTechnique&, render::ISkinBuffer*, const render::RenderEffectInstance*)> onDraw;
    // Set by the renderer that made it: makes its materials.
    std::function<render::IMaterial*(RecordingExtTechnique&)> makeMaterial;
};

}  // namespace quor::host
