#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/IRenderer.h"
#include "platform/win32/RecentRecords.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/host/RenderCamera.h"

namespace quor::host {

// A vertex buffer of the recording renderer: keeps copies of what it was given.
class RecordingVertexBuffer final : public render::IVertexBuffer {
public:
    void SetFormat(std::uint32_t vertexFormat) override { format = vertexFormat; }
    void SetVertices(const void* vertices, std::uint32_t count, std::uint32_t stride) override;
    void SetPrimitiveType(int type) override { primitiveType = type; }
    void SetIndices(const std::uint16_t* indices, std::uint32_t count) override;
    void SetName(const char* text) override { name = text ? text : ""; }
    bool SetVertexElements(const render::VertexElement* e, std::uint32_t count) override {
        elements.assign(e, e + count);
        return !failElements;
    }
    void SetStreamSource(std::uint32_t stream, void* buffer, std::uint32_t stride) override {
        if (stream >= 4) return;
        streams[stream] = buffer;
        strides[stream] = stride;
    }
    void SetIndexBuffer(void* buffer) override { indexBuffer = buffer; }
    void SetVertexCount(std::uint32_t count) override { vertexCount = count; }
    void SetIndexCount(std::uint32_t count) override { indexCount = count; }

    std::string name;
    std::vector<render::VertexElement> elements;
    bool failElements = false;
    void* streams[4] = {};
    std::uint32_t strides[4] = {};
    void* indexBuffer = nullptr;
    std::uint32_t indexCount = 0;
    std::uint32_t format = 0;
    std::uint32_t vertexCount = 0;
    std::uint32_t stride = 0;
    int primitiveType = 0;
    std::vector<std::uint8_t> vertices;
    std::vector<std::uint16_t> indices;
};

class RecordingRenderState final : public render::IRenderState {
public:
    void SetColour(std::uint32_t argb) override { colour = argb; }
    bool SetValue(std::int32_t setter, float value) override {
        values.emplace_back(setter, value);
        return true;
    }
    void SetBlend(bool enabled, std::int32_t source, std::int32_t destination) override {
        blendEnabled = enabled;
        blendSource = source;
        blendDestination = destination;
    }
    void SetRenderMode(std::int32_t mode, std::int32_t value0, std::int32_t value1) override {
        renderMode = mode;
        modeValues[0] = value0;
        modeValues[1] = value1;
    }
    std::uint32_t colour = 0;
    bool blendEnabled = false;
    std::int32_t blendSource = 0;
    std::int32_t blendDestination = 0;
    std::int32_t renderMode = 0;
    std::int32_t modeValues[2] = {};
    std::vector<std::pair<std::int32_t, float>> values;  // in the order set
};

// A renderable of the recording renderer: its state, draw record and matrix as last set.
class RecordingRenderable final : public render::IRenderable {
public:
    explicit RecordingRenderable(render::IEffect* effect) : effect(effect) {}
    void SetRenderState(render::IRenderState* s) override { state = s; }
    void SetState(std::uint32_t f) override { flags = f; }
    void SetDrawRecord(render::IVertexBuffer* s, const render::DrawRange* r, std::uint32_t count) override {
        stream = s;
        ranges.assign(r, r + count);
    }
    void SetWorldMatrix(const float* world) override {
        for (int i = 0; i < 16; ++i) matrix[i] = world[i];
    }
    const float* GetWorldMatrix() override { return matrix; }
    void SetMaterial(render::IMaterial* m) override { material = m; }
    render::IMaterial* GetMaterial() override { return material; }
    void SetBlendState(render::IRenderState* s) override { blendState = s; }
    void SetTexture(render::ITexture* t) override { texture = t; }
    void SetDrawPass(std::int32_t pass) override { drawPass = pass; }
    std::int32_t GetDrawPass() override { return drawPass; }
    render::IRenderState* GetStateBlock() override { return &stateBlock; }

    render::IEffect* const effect;
    render::IRenderState* state = nullptr;
    std::uint32_t flags = 0;
    render::IVertexBuffer* stream = nullptr;
    std::vector<render::DrawRange> ranges;
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    int submits = 0;
    render::IMaterial* material = nullptr;
    render::IRenderState* blendState = nullptr;
    render::ITexture* texture = nullptr;
    std::int32_t drawPass = 0;
    RecordingRenderState stateBlock;
};

class RecordingSceneLightState final : public render::ISceneLightState {
public:
    void SetAmbientColour(std::uint32_t c) override { ambient = c; }
    std::uint32_t ambient = 0xDEADBEEF;
};

class RecordingWaterTechnique final : public render::IWaterTechnique {
public:
    void* GetHandle() override { return this; }
};

// The reference host's renderer as far as the system uses it: makes and takes back every kind
// of object it hands out (render cameras do real projection maths), records every call in
// order, and counts live objects so that leaks and double releases show. Released objects
// stay readable until the renderer goes, so tests can inspect them after the system let go of
// them. Loader threads call the renderer too, hence the lock.
class RecordingRenderer final : public render::IRenderer {
public:
    RecordingRenderer() = default;
    RecordingRenderer(const RecordingRenderer&) = delete;
    RecordingRenderer& operator=(const RecordingRenderer&) = delete;

    render::IPrimitive* CreatePrimitive(int kind, std::uint32_t vertexFormat) override;
    void ReleasePrimitive(render::IPrimitive* primitive) override;
    render::IEffect* CreateEffect() override;
    void ReleaseEffect(render::IEffect* effect) override;
    render::IRenderCamera* CreateRenderCamera() override;
    void ReleaseRenderCamera(render::IRenderCamera* camera) override;
    void Update() override;
    void SetCurrentView(void* view) override;
    bool SetResourceCacheEnabled(bool enabled) override;
    void WriteMemoryReport(common::IXmlNode* node) override;
    render::IExtTechnique* GetExtTechnique(const char* name, int kind) override;
    void GetBackBufferSize(int* width, int* height) override;
    void ReleaseTexture(render::ITexture* texture) override;
    render::IVertexBuffer* CreateVertexBuffer() override;
    void ReleaseVertexBuffer(render::IVertexBuffer* buffer) override;
    render::IRenderable* CreateRenderable(render::IEffect* effect) override;
    void ReleaseRenderable(render::IRenderable* renderable) override;
    render::IRenderState* CreateRenderState() override;
    void ReleaseRenderState(render::IRenderState* state) override;
    void Submit(render::IRenderable* renderable) override;
    render::ISceneLightState* CreateSceneLightState() override;
    void ReleaseSceneLightState(render::ISceneLightState* state) override;
    render::IEffect* GetTechnique(const char* name, const render::TechniqueDesc* desc) override;
    render::IMaterialGroup* CreateMaterialGroup(const void* block, std::uint32_t size, std::int32_t mip) override;
    render::IMaterialGroup* CreateMaterialGroupObject() override;
    render::IMaterialGroup* LoadMaterialGroupFile(const char* path, std::int32_t mip, std::int32_t reserved0,
                                                  std::int32_t reserved1) override;
    render::IMaterial* LoadMaterialFile(const char* path, std::int32_t mip, std::int32_t reserved) override;
    render::IMaterial* CreateMaterial(render::IEffect* effect) override;
    render::IMaterial* GetMeshMaterial(render::IEffect* technique) override;
    void ReleaseMaterial(render::IMaterial* material) override;
    void ReleaseMaterial(render::IMaterialGroup* group) override;
    render::IEffect* FindEffect(const char* name) override;
    render::IEffect* LoadEffect(const char* file, const char* technique) override;
    render::IEffect* CreateEffectFromDesc(const char* desc) override;
    render::IRenderState* CreateBlendState() override;
    render::IRenderState* CreateStateBlock() override;
    void ReleaseStateBlock(render::IRenderState* state) override;
    render::ITexture* LoadTexture(const char* name, std::int32_t width, std::int32_t height, std::int32_t mipLevels,
                                  std::int32_t usage, std::int32_t format, std::int32_t pool) override;
    render::ITexture* FindTexture(const char* name) override;
    bool IsHardwareSkinning() override;

    // The latest calls (see win32::RecentRecords) and how many came since the last ClearCalls.
    std::vector<std::string> Calls() const;
    std::uint64_t CallCount() const;
    // How many calls are kept; 0 switches recording off.
    void SetRecordLimit(std::size_t limit);
    void ClearCalls();
    int LivePrimitives() const;
    int LiveEffects() const;
    int LiveRenderCameras() const;
    // Every kind of object handed out and not taken back.
    int LiveObjects() const;
    // Releases of objects this renderer did not hand out or had already taken back.
    int BadReleases() const;
    int Updates() const;

    // Injected failure: while set, CreatePrimitive records the call and answers null.
    void SetFailPrimitives(bool fail);

    // The most recently made object of each kind (null before the first).
    RecordingPrimitive* LastPrimitive() const;
    RecordingEffect* LastEffect() const;
    RenderCamera* LastRenderCamera() const;
    RecordingVertexBuffer* LastVertexBuffer() const;
    RecordingRenderable* LastRenderable() const;
    RecordingSceneLightState* LastSceneLightState() const;

    // What the test sets: the back-buffer size, and the technique names that give water.
    int backBufferWidth = 1024;
    int backBufferHeight = 768;
    std::vector<std::string> waterTechniques;
    // The description each technique was made from, one line per state and parameter, by
    // technique name; the names in the order first asked for.
    std::vector<std::string> TechniqueDescription(const std::string& name) const;
    std::vector<std::string> TechniqueNames() const;

    // Stream objects made while set refuse their vertex elements.
    bool failVertexElements = false;

private:
    template <class T>
    struct Pool {
        std::vector<std::unique_ptr<T>> all;
        // The interface pointers handed out and not yet taken back.
        std::vector<const void*> live;
    };
    template <class T>
    bool Take(Pool<T>& pool, const void* object);
    template <class T, class I, class... A>
    T* Make(Pool<T>& pool, const char* call, A&&... args);

    mutable std::mutex m_mutex;
    win32::RecentRecords<std::string> m_calls;
    Pool<RecordingPrimitive> m_primitives;
    Pool<RecordingEffect> m_effects;
    Pool<RenderCamera> m_cameras;
    Pool<RecordingVertexBuffer> m_buffers;
    Pool<RecordingRenderable> m_renderables;
    Pool<RecordingRenderState> m_states;
    Pool<RecordingSceneLightState> m_lightStates;
    std::vector<std::unique_ptr<RecordingWaterTechnique>> m_water;
    std::vector<std::pair<std::string, std::vector<std::string>>> m_techniques;
    int m_badReleases = 0;
    int m_updates = 0;
    bool m_failPrimitives = false;
};

}  // namespace quor::host
