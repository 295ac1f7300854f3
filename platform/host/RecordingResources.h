#pragma once
// The objects of the recording renderer that outlive a call: materials, material groups,
// textures, effects and state objects, with their reference counts. One store may serve
// several renderers (RecordingRenderer's constructor), which then hand out and take back the
// same objects, as renderers sharing one device do.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/host/IRenderer.h"
#include "platform/host/MaterialFormat.h"
#include "platform/host/RecordingLights.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/host/RecordingSkinBuffer.h"
#include "platform/host/RenderCamera.h"

namespace quor::d3d9 {
class IDirect3DDevice9;
class IDirect3DTexture9;
}

namespace quor::common {
class ILog;
class IResFileSystem;
}  // namespace quor::common

namespace quor::host {

class RecordingStore;

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
    void SetFlags(std::uint32_t value) override { flags = value; }
    void SetRenderState(render::IRenderState* state, std::int32_t zWriteValue) override {
        renderState = state;
        zWrite = zWriteValue;
        ++renderStateSets;
    }
    void SetDepthEnable(bool enable) override { depthEnabled = enable; }
    render::IDepthBiasState* GetDepthBiasState() override { return &depthBias; }
    void SetZWriteEnable(bool enable) override {
        zWriteEnabled = enable;
        ++zWriteEnableSets;
    }
    // The depth-offset object: the last offset and how many were given.
    struct DepthBias final : render::IDepthBiasState {
        void SetDepthBias(float value) override {
            bias = value;
            ++sets;
        }
        float bias = 0.0f;
        int sets = 0;
    } depthBias;
    bool zWriteEnabled = false;
    int zWriteEnableSets = 0;

    render::IRenderState* renderState = nullptr;
    std::int32_t zWrite = 0;
    int renderStateSets = 0;
    bool depthEnabled = false;
    void SetStageStates(render::IStageStates* states, std::uint32_t value) override {
        stageStates = states;
        stageStatesValue = value;
    }

    // A buffer over the caller's array (IRenderer::CreateArrayVertexBuffer): read at submit.
    const void* array = nullptr;
    std::uint32_t arrayCount = 0;
    std::uint32_t arrayStride = 0;
    std::uint32_t flags = 0;
    std::string name;
    render::IStageStates* stageStates = nullptr;
    std::uint32_t stageStatesValue = 0;
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

// Texture-stage settings: every call in order ("SetColor(0,0,4)") and the constant colour.
class RecordingStageStates final : public render::IStageStates {
public:
    void SetColor(int stage, int entry, int value) override;
    void SetAlpha(int stage, int entry, int value) override;
    void SetConstantColor(std::uint32_t argb) override {
        constantColor = argb;
        ++constantColorSets;
    }
    std::vector<std::string> calls;
    // Stage 0's colour and alpha entries (operation, first argument), -1 until set.
    int colour[2] = {-1, -1};
    int alpha[2] = {-1, -1};
    std::uint32_t constantColor = 0xFFFFFFFFu;
    int constantColorSets = 0;
};

// A render state, blend state or state block: every value it was given.
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
        ++blendSets;
    }
    void SetRenderMode(std::int32_t mode, std::int32_t value0, std::int32_t value1) override {
        renderMode = mode;
        modeValues[0] = value0;
        modeValues[1] = value1;
    }
    std::uint32_t colour = 0;
    std::vector<std::pair<std::int32_t, float>> values;  // in the order set
    bool blendEnabled = false;
    std::int32_t blendSource = 0;
    std::int32_t blendDestination = 0;
    int blendSets = 0;
    std::int32_t renderMode = 0;
    std::int32_t modeValues[2] = {};
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
    void SetSharingMode(std::int32_t mode) override { sharingMode = mode; }
    void SetSubMeshRecord(const void* r) override { record = r; }
    void SetRenderCamera(render::IRenderCamera* camera) override { renderCamera = camera; }

    render::IEffect* const effect;
    render::IRenderState* state = nullptr;
    std::uint32_t flags = 0;
    render::IVertexBuffer* stream = nullptr;
    std::vector<render::DrawRange> ranges;
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // What the latest SubmitRenderable copied from an array buffer: the bytes of its ranges
    // in order, and the pass it was given.
    std::vector<std::uint8_t> submitted;
    std::int32_t submitPass = 0;
    int submits = 0;
    render::IMaterial* material = nullptr;
    render::IRenderState* blendState = nullptr;
    render::ITexture* texture = nullptr;
    std::int32_t drawPass = 0;
    RecordingRenderState stateBlock;
    std::int32_t sharingMode = -1;
    const void* record = nullptr;
    render::IRenderCamera* renderCamera = nullptr;
};

class RecordingSceneLightState final : public render::ISceneLightState {
public:
    void SetAmbientColour(std::uint32_t c) override { ambient = c; }
    void SetFog(std::int32_t mode, std::int32_t type, const std::uint8_t* colour, float start, float end,
                float density, int) override {
        ++fogCalls;
        fogMode = mode;
        fogType = type;
        if (colour) fogColour = std::uint32_t(colour[0]) | std::uint32_t(colour[1]) << 8 |
                                std::uint32_t(colour[2]) << 16 | std::uint32_t(colour[3]) << 24;
        fogRange[0] = start;
        fogRange[1] = end;
        fogRange[2] = density;
    }
    std::uint32_t ambient = 0xDEADBEEF;
    int fogCalls = 0;
    std::int32_t fogMode = 0;
    std::int32_t fogType = 0;
    std::uint32_t fogColour = 0;
    float fogRange[3] = {};
};

class RecordingWaterTechnique final : public render::IWaterTechnique {
public:
    void* GetHandle() override { return this; }
    int GetPassCount() override { return passes; }
    render::IRenderView* GetReflectionView() override { return &reflection; }
    render::IRenderView* GetRefractionView() override { return &refraction; }

    int passes = 1;
    RecordingRenderView reflection{0};
    RecordingRenderView refraction{0};
};

// The depth technique of the 3D scenes' depth pass: Begin answers its view.
class RecordingDepthTechnique final : public render::IDepthTechnique {
public:
    void* GetHandle() override { return this; }
    render::IRenderView* Begin() override {
        ++begins;
        return &view;
    }

    RecordingRenderView view{0};
    int begins = 0;
};

// What a test sets for the textures of one name: frames and duration (seconds) of an animated
// one, size, load state, and whether it answers a surface handle.
struct TextureDesc {
    std::uint32_t frames = 1;
    float duration = 0;
    std::uint32_t width = 64;
    std::uint32_t height = 64;
    int state = 3;
    bool surface = true;
};

// A texture: a still picture or a frame sequence with its own clock.
class RecordingTexture final : public render::ITexture {
public:
    void SetTime(float milliseconds) override {
        time = milliseconds;
        ++timeSets;
    }
    void SetSpeed(float value) override { speed = value; }
    int GetState() override { return state; }
    float GetDuration() override { return duration; }
    std::uint32_t GetFrameCount() override { return frames; }
    // The device texture when a device holds it, else a handle of its own while `surface` is on.
    void* GetSurface() override {
        if (device) return device;
        return surface ? &surfaceToken : nullptr;
    }
    void GetSize(std::uint32_t* w, std::uint32_t* h) override {
        if (w) *w = width;
        if (h) *h = height;
    }
    void* GetRenderSurface() override { return device; }
    // Counted, with the last rectangle (the whole texture for null) and colour; the pixels of
    // level 0 are written where the texture holds them.
    bool FillRect(const std::int32_t* rect, std::uint32_t argb) override;
    int fills = 0;
    std::int32_t fillRect[4] = {};
    std::uint32_t fillColour = 0;

    std::string name;
    // The device texture of a texture made by CreateTexture (null for file textures), and
    // what it was made with: width, height, format, usage, levels, pool.
    d3d9::IDirect3DTexture9* device = nullptr;
    std::int32_t created[6] = {};
    std::uint32_t frames = 1;
    float duration = 0;  // seconds
    std::uint32_t width = 64;
    std::uint32_t height = 64;
    int state = 3;
    bool surface = true;
    char surfaceToken = 0;
    bool blank = false;  // made by CreateTexture, so never found by name
    int timeSets = 0;
    float time = 0;
    float speed = 1;
    std::int32_t mipLevels = 0;
    int refs = 0;
    std::size_t made = 0;  // its place in the store's making order
    // IRenderer::IsTextureReady answers false for this many more polls (see
    // RecordingRenderer::texturePollsBeforeReady), then true.
    int pollsBeforeReady = 0;
};

// A parameter block: every value set, in order ("SetFloat(fAlpha,1)"), and the latest value of
// each name. Names in `refused` are refused.
class RecordingMaterialParams final : public render::IMaterialParams {
public:
    bool SetInt(const char* name, std::int32_t value) override;
    bool SetFloat(const char* name, float value) override;
    bool SetVector(const char* name, const float* values, std::uint32_t count) override;
    bool SetMatrix(const char* name, const float* matrix) override;
    bool SetMatrixArray(const char* name, const float* matrices, std::uint32_t count) override;
    bool SetFloatArray(const char* name, const float* values, std::uint32_t count) override;

    std::vector<std::string> calls;
    std::map<std::string, std::vector<float>> values;
    std::map<std::string, std::int32_t> ints;
    std::set<std::string> refused;

private:
    bool Set(const char* call, const char* name, const float* v, std::size_t count);
};

// A material: technique, named stages with their textures and states, parameters, colours.
class RecordingMaterial final : public render::IMaterial {
public:
    explicit RecordingMaterial(RecordingStore& store) : m_store(store) {}

    void AddRef() override;
    const char* GetName() override { return name.c_str(); }
    render::IEffect* GetTechnique() override { return technique; }
    bool SetTechnique(render::IEffect* technique) override;
    bool SetTexture(const char* name, render::ITexture* texture) override;
    render::ITexture* GetTexture(const char* name) override;
    const char* GetTextureName(std::uint32_t stage) override;
    void SetStageState(std::uint32_t stage, render::IRenderState* state) override;
    void SetTextureAnimation(std::uint32_t stage, const render::TextureAnimation& animation) override;
    render::IMaterialParams* GetParameters() override { return technique ? &params : nullptr; }
    void SetTransparent(bool value) override { transparent = value; }
    bool IsTransparent() override { return transparent; }
    void CopyStateFrom(render::IMaterial* other) override;
    void SetRecord(const void* record, std::uint32_t size) override;
    void SetFlag(std::uint32_t index, std::uint32_t value) override;
    std::uint32_t GetFlag(std::uint32_t index) override { return index < 8 ? flags[index] : 0; }
    void SetAlphaTest(std::uint8_t enabled) override { alphaTest = enabled; }
    void SetAlphaTestValues(std::uint8_t first, std::uint8_t second) override {
        alphaTestValues[0] = first;
        alphaTestValues[1] = second;
    }
    void SetColours(const float* diffuse, const float* ambient, const float* specular, const float* emissive,
                    float power) override;
    void PrintAllItems() override { ++prints; }

    struct Stage {
        bool used = false;
        std::string name;
        std::string file;
        render::ITexture* texture = nullptr;
        render::IRenderState* state = nullptr;
        bool animated = false;
        render::TextureAnimation animation;
    };
    std::string name;
    std::string techniqueName;
    render::IEffect* technique = nullptr;
    Stage stages[8];
    RecordingMaterialParams params;
    bool transparent = false;
    bool lit = true;
    std::uint32_t alpha = 255;
    std::int32_t blendSource = 5;
    std::int32_t blendDestination = 6;
    float colours[4][4] = {{1, 1, 1, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}};
    float power = 0;
    std::uint8_t alphaTest = 0;
    std::uint8_t alphaTestValues[2] = {};
    std::uint32_t flags[8] = {};
    // The 2D scene's model lighting, as last given.
    void SetSpecularEnabled(bool on) override { specularEnabled = on; }
    void SetSpecularColour(std::uint32_t argb) override { specularColour = argb; }
    void SetColourWordA(std::uint32_t argb) override { colourWordA = argb; }
    void SetColourWordB(std::uint32_t argb) override { colourWordB = argb; }
    bool specularEnabled = false;
    std::uint32_t specularColour = 0;
    std::uint32_t colourWordA = 0;
    std::uint32_t colourWordB = 0;
    std::vector<std::uint8_t> record;
    int prints = 0;
    int copies = 0;
    bool mesh = false;  // made by GetMeshMaterial
    int refs = 0;

private:
    friend class RecordingStore;
    RecordingStore& m_store;
};

// A material group: slots of name, material (one reference held) and four values.
class RecordingMaterialGroup final : public render::IMaterialGroup {
public:
    explicit RecordingMaterialGroup(RecordingStore& store) : m_store(store) {}

    std::uint32_t GetSlotCount() override;
    const char* GetSlotName(std::uint32_t slot) override;
    render::IMaterial* GetSlotMaterial(std::uint32_t slot) override;
    int FindSlot(render::IMaterial* material) override;
    int FindSlotByName(const char* name) override;
    render::IMaterial* GetDefaultMaterial() override;
    bool GetSlotValues(std::uint32_t slot, std::uint32_t* values) override;
    void SetLoadFlag(std::int32_t flag) override;
    std::int32_t GetLoadFlag() override;
    void ApplyDefaultState() override;
    bool AddMaterial(render::IMaterial* material) override;
    bool SetSlotMaterial(std::uint32_t slot, render::IMaterial* material) override;
    void SetSlotCount(std::uint32_t count) override;
    bool SetSlotName(std::uint32_t slot, const char* name) override;
    void RegisterCallback(render::IMaterialGroupCallback* callback) override;
    void UnregisterCallback(render::IMaterialGroupCallback* callback) override;

    // What the renderer does when an asynchronous load of the group ends: every registered
    // callback hears of it.
    void NotifyLoaded();

    struct Slot {
        std::string name;
        render::IMaterial* material = nullptr;
        std::uint32_t values[4] = {};
    };
    std::vector<Slot> slots;
    std::int32_t defaultSlot = -1;
    std::int32_t loadFlag = 0;
    std::int32_t mip = 0;
    int defaultStates = 0;
    std::vector<render::IMaterialGroupCallback*> callbacks;
    int refs = 0;

private:
    friend class RecordingStore;
    RecordingStore& m_store;
};

// The shared part of recording renderers.
class RecordingStore {
public:
    RecordingStore() = default;
    RecordingStore(const RecordingStore&) = delete;
    RecordingStore& operator=(const RecordingStore&) = delete;

    // What the renderer knows besides the files: effects by name ("a.tech" for FindEffect,
    // "file.fx::T" for LoadEffect and CreateEffectFromDesc) with the names of their texture
    // stages, and textures by name (frame count and duration in seconds for animated ones).
    void DefineEffect(const std::string& name, int kind = 1, bool transparent = false,
                      std::vector<std::string> stageNames = {"Tex0"});
    void DefineTexture(const std::string& name, std::uint32_t frames = 1, float durationSeconds = 0);
    void DefineTexture(const std::string& name, const TextureDesc& desc);

    int LiveMaterials() const;
    int LiveMaterialGroups() const;
    int LiveTextures() const;
    int LiveSharedEffects() const;
    int LiveStageStates() const;
    int BadReleases() const;
    // Objects that were made, live or not (readable until the store goes).
    std::vector<RecordingMaterial*> Materials() const;
    std::vector<RecordingMaterialGroup*> MaterialGroups() const;
    std::vector<RecordingTexture*> Textures() const;
    // The lines the renderers wrote about bad input, in order.
    std::vector<std::string> Errors() const;

    template <class T>
    struct Pool {
        std::vector<std::unique_ptr<T>> all;
        // The interface pointers handed out and not yet taken back.
        std::vector<const void*> live;
    };

private:
    friend class RecordingRenderer;
    friend class RecordingMaterial;
    friend class RecordingMaterialGroup;

    template <class T>
    bool Take(Pool<T>& pool, const void* object);

    struct EffectInfo {
        int kind = 1;
        bool transparent = false;
        std::vector<std::string> stageNames;
    };

    // The helpers below run with the lock held.
    void Error(const std::string& text);
    render::IEffect* AcquireEffect(const std::string& name);
    bool ReleaseSharedEffect(render::IEffect* effect);
    // A technique a material names: one made by GetTechnique (not counted), or a defined
    // effect (one reference held by the material).
    render::IEffect* HoldTechnique(const std::string& name);
    void HoldEffect(render::IEffect* effect);
    void DropEffect(render::IEffect* effect);
    std::vector<std::string> StageNames(render::IEffect* effect) const;
    render::ITexture* AcquireTexture(const std::string& name, std::int32_t mipLevels, bool mustExist);
    // A file texture that keeps its decoded pixels in an A8R8G8B8 device texture; null (with an
    // error line for a file that is no picture) when the file is missing or unreadable.
    render::ITexture* AcquirePixelTexture(const std::string& name, std::int32_t mipLevels,
                                          d3d9::IDirect3DDevice9* device);
    bool ReleaseTextureRef(render::ITexture* texture);
    RecordingMaterial* MakeMaterial(render::IEffect* technique);
    RecordingMaterial* BuildMaterial(const MaterialDesc& desc, std::int32_t mip);
    RecordingMaterialGroup* BuildGroup(const MaterialGroupDesc& desc, std::int32_t mip);
    void AddRefMaterial(render::IMaterial* material);
    bool ReleaseMaterialRef(render::IMaterial* material);
    bool ReleaseGroup(render::IMaterialGroup* group);
    bool ReadFile(const char* path, std::vector<std::uint8_t>& bytes);
    bool IsShared(const render::IEffect* effect) const;

    mutable std::recursive_mutex mutex;
    common::IResFileSystem* files = nullptr;
    common::ILog* log = nullptr;
    Pool<RecordingPrimitive> primitives;
    Pool<RecordingEffect> effects;
    Pool<RenderCamera> cameras;
    Pool<RecordingVertexBuffer> buffers;
    Pool<RecordingRenderable> renderables;
    Pool<RecordingRenderState> states;
    Pool<RecordingRenderState> blendStates;
    Pool<RecordingRenderState> stateBlocks;
    Pool<RecordingSceneLightState> lightStates;
    Pool<RecordingStageStates> stageStates;
    std::vector<std::unique_ptr<RecordingWaterTechnique>> water;
    Pool<RecordingSkinBuffer> skinBuffers;
    std::map<std::string, std::unique_ptr<RecordingExtTechnique>> extTechniques;
    // Descriptions of GetTechnique's techniques by name, in first-asked order, and the
    // latest effect made for each name with its texture-stage names.
    std::vector<std::pair<std::string, std::vector<std::string>>> techniques;
    std::map<std::string, render::IEffect*> techniqueEffects;
    std::map<const render::IEffect*, std::vector<std::string>> techniqueStages;
    std::map<std::string, EffectInfo> definedEffects;
    std::vector<std::unique_ptr<RecordingEffect>> sharedEffects;
    std::map<std::string, RecordingEffect*> liveSharedEffects;
    std::map<const RecordingEffect*, int> effectRefs;
    std::map<std::string, TextureDesc> definedTextures;
    // Every texture made, released ones too (tests look at them after release); the lookups go
    // through the live ones only, in the order they were made, so a long run stays fast.
    std::vector<std::unique_ptr<RecordingTexture>> textures;
    std::vector<RecordingTexture*> liveTextures;
    std::size_t texturesMade = 0;
    std::unordered_set<const RecordingTexture*> ownTextures;
    // A new texture of this store, live with one reference.
    RecordingTexture* NewTexture();
    // Takes one more reference on a texture of this store (reviving a released one); false for a
    // texture that is not this store's.
    bool AddTextureRef(RecordingTexture* texture);
    // The first live texture answering `surface` from GetSurface, or null. Remembers where it
    // found each handle, so the per-frame lookups of a long run do not walk every live texture.
    RecordingTexture* LiveBySurface(const void* surface);
    // Where a handle was last found, one slot per hash of the handle (a power of two, kept
    // above four per live texture). A slot is trusted only while its texture is live and still
    // answers the handle; a miss walks the live textures. No hash division and no node to
    // follow: the ground asks about each drawn block every frame.
    struct SurfaceSlot {
        const void* surface = nullptr;
        RecordingTexture* texture = nullptr;
    };
    std::vector<SurfaceSlot> surfaceSlots;
    int surfaceSlotBits = 0;
    std::size_t SurfaceSlotOf(const void* surface) const {
        // Fibonacci hashing: the top bits of the product spread aligned pointers over the slots.
        if (surfaceSlotBits == 0) return 0;
        const std::uint64_t key = std::uintptr_t(surface);
        return std::size_t((key * 0x9E3779B97F4A7C15ull) >> (64 - surfaceSlotBits));
    }
    std::vector<std::unique_ptr<RecordingMaterial>> materials;
    std::vector<std::unique_ptr<RecordingMaterialGroup>> groups;
    std::vector<std::string> errors;
    int badReleases = 0;

public:
    // Off: an object taken back is deleted at once instead of kept for reading (a fuzz target's
    // host, whose inputs must give back all they take; a use after release shows as such).
    bool keepReleased = true;
};

}  // namespace quor::host
