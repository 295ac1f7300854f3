#pragma once
#include <cstdint>

namespace quor::common {
class IXmlNode;
}

namespace quor::render {

class IEffect;
class IPrimitive;
class IRenderCamera;
class ITexture;

// One draw range of a renderable: first vertex, primitive count, vertex count, first index and
// a trailing 0, the renderer's layout.
struct DrawRange {
    std::uint32_t firstVertex = 0;
    std::uint32_t primitiveCount = 0;
    std::uint32_t vertexCount = 0;
    std::uint32_t firstIndex = 0;
    std::uint32_t reserved = 0;
};

// A vertex stream of the renderer. The renderer copies what it is given.
class IVertexBuffer {
public:
    virtual void SetFormat(std::uint32_t vertexFormat) = 0;
    virtual void SetVertices(const void* vertices, std::uint32_t count, std::uint32_t stride) = 0;
    // 2 line list, 3 line strip (the renderer's codes).
    virtual void SetPrimitiveType(int type) = 0;
    virtual void SetIndices(const std::uint16_t* indices, std::uint32_t count) = 0;

protected:
    ~IVertexBuffer() = default;
};

// Per-object render states (colour, flags) that a renderable takes.
class IRenderState {
public:
    virtual void SetColour(std::uint32_t argb) = 0;

protected:
    ~IRenderState() = default;
};

// Something the renderer draws when submitted: an effect, a render state, a draw record and a
// world matrix.
class IRenderable {
public:
    virtual void SetRenderState(IRenderState* state) = 0;
    // 0x80 drawn, 0x30 not drawn.
    virtual void SetState(std::uint32_t flags) = 0;
    // The stream and its ranges; the renderer copies the ranges.
    virtual void SetDrawRecord(IVertexBuffer* stream, const DrawRange* ranges, std::uint32_t count) = 0;
    virtual void SetWorldMatrix(const float* world) = 0;

protected:
    ~IRenderable() = default;
};

// The light state a scene hands its lights and fog to.
class ISceneLightState {
public:
    virtual void SetAmbientColour(std::uint32_t colour) = 0;

protected:
    ~ISceneLightState() = default;
};

// A technique of a drawing extension (water, terrain); the kind decides what it is.
class IExtTechnique {
public:
    virtual ~IExtTechnique() = default;
    virtual void* GetHandle() = 0;
};

class IWaterTechnique : public IExtTechnique {};

// The host's renderer: textures, effects, primitives, vertex buffers, cameras, lights, views.
class IRenderer {
public:
    // A primitive of the given kind and vertex format; taken back with ReleasePrimitive.
    virtual IPrimitive* CreatePrimitive(int kind, std::uint32_t vertexFormat) = 0;
    virtual void ReleasePrimitive(IPrimitive* primitive) = 0;
    virtual IEffect* CreateEffect() = 0;
    virtual void ReleaseEffect(IEffect* effect) = 0;
    virtual IRenderCamera* CreateRenderCamera() = 0;
    virtual void ReleaseRenderCamera(IRenderCamera* camera) = 0;
    // Once per frame before the active scene updates.
    virtual void Update() = 0;
    // The view the renderer draws into; null forgets it.
    virtual void SetCurrentView(void* view) = 0;
    virtual bool SetResourceCacheEnabled(bool enabled) = 0;
    virtual void WriteMemoryReport(common::IXmlNode* node) = 0;
    // kind 2 asks for a water technique; null when the name gives none.
    virtual IExtTechnique* GetExtTechnique(const char* name, int kind) = 0;
    virtual void GetBackBufferSize(int* width, int* height) = 0;
    virtual void ReleaseTexture(ITexture* texture) = 0;
    virtual IVertexBuffer* CreateVertexBuffer() = 0;
    virtual void ReleaseVertexBuffer(IVertexBuffer* buffer) = 0;
    virtual IRenderable* CreateRenderable(IEffect* effect) = 0;
    virtual void ReleaseRenderable(IRenderable* renderable) = 0;
    virtual IRenderState* CreateRenderState() = 0;
    virtual void ReleaseRenderState(IRenderState* state) = 0;
    // Queues the renderable for this frame's drawing.
    virtual void Submit(IRenderable* renderable) = 0;
    virtual ISceneLightState* CreateSceneLightState() = 0;
    virtual void ReleaseSceneLightState(ISceneLightState* state) = 0;

protected:
    ~IRenderer() = default;
};

}  // namespace quor::render
