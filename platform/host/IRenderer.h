#pragma once
#include <cstdint>

#include "platform/host/IMaterial.h"
#include "platform/host/ISkinBuffer.h"
#include "platform/host/ITexture.h"
#include "platform/host/TechniqueDesc.h"

namespace quor::common {
class IXmlNode;
}

namespace quor::render {

class IEffect;
class ILightSet;
class IMaterial;
class IMaterialGroup;
class IPrimitive;
class IRenderCamera;
class IRenderView;
class ITexture;

class IStageStates;
class IDepthBiasState;
class IDecal;

// One draw range of a renderable: first vertex, primitive count, vertex count, first index and
// a trailing 0, the renderer's layout.
struct DrawRange {
    std::uint32_t firstVertex = 0;
    std::uint32_t primitiveCount = 0;
    std::uint32_t vertexCount = 0;
    std::uint32_t firstIndex = 0;
    std::uint32_t reserved = 0;
};

// One element of a stream format: stream, byte offset, data type and use (the device's codes).
struct VertexElement {
    std::uint16_t stream = 0;
    std::uint16_t offset = 0;
    std::uint8_t type = 0;
    std::uint8_t method = 0;
    std::uint8_t usage = 0;
    std::uint8_t usageIndex = 0;
    friend bool operator==(const VertexElement&, const VertexElement&) = default;
};
enum VertexElementType : std::uint8_t { kElementFloat2 = 1, kElementFloat3 = 2, kElementFloat4 = 3, kElementColour = 4 };
enum VertexElementUsage : std::uint8_t {
    kUsePosition = 0,
    kUseNormal = 3,
    kUseTexCoord = 5,
    kUseTangent = 6,
    kUseColour = 10,
};

// A vertex stream of the renderer. Either it holds copies of what it is given (SetVertices,
// SetIndices), or it draws from device buffers bound to it by stream number.
class IVertexBuffer {
public:
    virtual void SetFormat(std::uint32_t vertexFormat) = 0;
    virtual void SetVertices(const void* vertices, std::uint32_t count, std::uint32_t stride) = 0;
    // 2 line list, 3 line strip (the renderer's codes).
    virtual void SetPrimitiveType(int type) = 0;
    virtual void SetIndices(const std::uint16_t* indices, std::uint32_t count) = 0;
    virtual void SetName(const char* name) = 0;
    // The stream format; false when the renderer cannot make it.
    virtual bool SetVertexElements(const VertexElement* elements, std::uint32_t count) = 0;
    // Binds a device vertex buffer as a stream (null unbinds it).
    virtual void SetStreamSource(std::uint32_t stream, void* buffer, std::uint32_t stride) = 0;
    // Binds a device index buffer (null unbinds it).
    virtual void SetIndexBuffer(void* buffer) = 0;
    virtual void SetVertexCount(std::uint32_t count) = 0;
    virtual void SetIndexCount(std::uint32_t count) = 0;
    // The renderer's drawing flags of the stream (96 for the effects' quads).
    virtual void SetFlags(std::uint32_t flags) = 0;
    // The render state the stream draws with, and its depth-write value.
    virtual void SetRenderState(IRenderState* state, std::int32_t zWrite) = 0;
    // Depth testing of the stream on or off.
    virtual void SetDepthEnable(bool enable) = 0;
    // The texture-stage settings object (from IRenderer::CreateDynamicBuffer) the stream draws
    // with, and its value (null detaches it).
    virtual void SetStageStates(IStageStates* states, std::uint32_t value) = 0;
    // The stream's depth-offset object: what SetDepthBias gives it moves the stored depth of
    // everything the stream draws.
    virtual IDepthBiasState* GetDepthBiasState() = 0;
    // Depth writes of the stream on or off, whatever its render state says.
    virtual void SetZWriteEnable(bool enable) = 0;

protected:
    ~IVertexBuffer() = default;
};

// The depth offset of a stream (see IVertexBuffer::GetDepthBiasState).
class IDepthBiasState {
public:
    // Added to the stored depth (0..1 range) of what the stream draws.
    virtual void SetDepthBias(float bias) = 0;

protected:
    ~IDepthBiasState() = default;
};

// Texture-stage settings of a stream: per stage, colour and alpha entries (0 the operation,
// 1 its first argument; the device's codes) and the constant colour an argument may name.
class IStageStates {
public:
    virtual void SetColor(int stage, int entry, int value) = 0;
    virtual void SetAlpha(int stage, int entry, int value) = 0;
    virtual void SetConstantColor(std::uint32_t argb) = 0;

protected:
    ~IStageStates() = default;
};

class IRenderState;

// Settings of the effect render states (IRenderState::SetValue): blend mode, depth mode, a
// further setting and the two parameters.
enum FxStateSetting : std::int32_t {
    kFxStateBlend = 10,
    kFxStateDepth = 11,
    kFxStateExtra = 12,
    kFxStateParam0 = 13,
    kFxStateParam1 = 14,
};

// Per-object render states (colour, flags) that a renderable takes.
class IRenderState {
public:
    virtual void SetColour(std::uint32_t argb) = 0;
    // A numbered setting of the state (what each means is the renderer's); false when refused.
    virtual bool SetValue(std::int32_t setter, float value) = 0;
    // A blend state's setting: blending on or off with source and destination factors
    // (1..15, the device's codes).
    virtual void SetBlend(bool enabled, std::int32_t source, std::int32_t destination) = 0;
    // A state block's render mode (1 off, 2 and 3 on, the renderer's codes) and two values.
    virtual void SetRenderMode(std::int32_t mode, std::int32_t value0, std::int32_t value1) = 0;

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
    // The 4 x 4 matrix last set (identity before).
    virtual const float* GetWorldMatrix() = 0;
    // The material it draws with (null: the effect alone); the renderable takes no reference.
    virtual void SetMaterial(IMaterial* material) = 0;
    virtual IMaterial* GetMaterial() = 0;
    // The blend state it draws with (null: the material's own).
    virtual void SetBlendState(IRenderState* state) = 0;
    // A texture that overrides the material's first stage (null: none).
    virtual void SetTexture(ITexture* texture) = 0;
    // 0x30 opaque, 0x60 transparent.
    virtual void SetDrawPass(std::int32_t pass) = 0;
    virtual std::int32_t GetDrawPass() = 0;
    // The renderable's own state block, alive as long as the renderable.
    virtual IRenderState* GetStateBlock() = 0;
    // 0 drawn once per frame; 1 (opaque) and 2 (transparent): submitted once per user of a
    // shared mesh.
    virtual void SetSharingMode(std::int32_t mode) = 0;
    // The mesh's sub-mesh record it draws (not owned).
    virtual void SetSubMeshRecord(const void* record) = 0;
    // The camera it draws with, view, projection and depth range (null: the frame's).
    virtual void SetRenderCamera(IRenderCamera* camera) = 0;

protected:
    ~IRenderable() = default;
};

// The light state a scene hands its lights and fog to.
class ISceneLightState {
public:
    virtual void SetAmbientColour(std::uint32_t colour) = 0;
    // The scene's fog record (mode, type, colour bytes, start, end, density) and a flag.
    virtual void SetFog(std::int32_t, std::int32_t, const std::uint8_t*, float, float, float, int) {}

protected:
    ~ISceneLightState() = default;
};

// A technique of a drawing extension (water, terrain, shadows, render effects); the kind
// decides what it is. A technique ignores what it does not draw.
class IExtTechnique {
public:
    virtual ~IExtTechnique() = default;
    virtual void* GetHandle() = 0;
    virtual const char* GetName() { return ""; }
    // Draws a shadow object (planar shadow part, shadow volume).
    virtual void DrawObject(ISkinBuffer*) {}
    // Draws a render-effect entry.
    virtual void DrawInstance(RenderEffectInstance*) {}
    // A new material of the technique, one reference for the caller (ReleaseMaterial); null
    // when it takes none.
    virtual IMaterial* CreateMaterial() { return nullptr; }
    // Passes the technique draws; 0: nothing to draw this frame.
    virtual int GetPassCount() { return 1; }
    // Hands the technique something to draw this frame (the decal pass takes each decal's
    // renderable).
    virtual void SetParameter(void*) {}
};

class IRenderView;

// The water technique draws the scene again into its reflection and refraction views.
class IWaterTechnique : public IExtTechnique {
public:
    virtual IRenderView* GetReflectionView() { return nullptr; }
    virtual IRenderView* GetRefractionView() { return nullptr; }
};

// The depth technique: Begin answers the view the depth pass draws into.
class IDepthTechnique : public IExtTechnique {
public:
    virtual IRenderView* Begin() = 0;
};

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
    // kind 1: a drawing pass ("<ShadowOnPlane>", "<ShadowVolume>", "<Decal>"); kind 2: a
    // technique by name (water, render effects). Null when the name gives none. The renderer
    // keeps it.
    virtual IExtTechnique* GetExtTechnique(const char* name, int kind) = 0;
    // A shadow object of a kind of SkinBufferKind (null for another), given back with
    // ReleaseSkinBuffer.
    virtual ISkinBuffer* CreateSkinBuffer(int kind) = 0;
    virtual void ReleaseSkinBuffer(ISkinBuffer* object) = 0;
    // Counts the frames (Update calls); what lights drawn this frame are stamped with.
    virtual std::uint32_t GetFrameStamp() = 0;
    virtual void GetBackBufferSize(int* width, int* height) = 0;
    virtual void ReleaseTexture(ITexture* texture) = 0;
    virtual IVertexBuffer* CreateVertexBuffer() = 0;
    virtual void ReleaseVertexBuffer(IVertexBuffer* buffer) = 0;
    virtual IRenderable* CreateRenderable(IEffect* effect) = 0;
    virtual void ReleaseRenderable(IRenderable* renderable) = 0;
    virtual IRenderState* CreateRenderState() = 0;
    virtual void ReleaseRenderState(IRenderState* state) = 0;
    // Queues the renderable for this frame's drawing; false when the renderer refused it.
    virtual bool Submit(IRenderable* renderable) = 0;
    virtual ISceneLightState* CreateSceneLightState() = 0;
    virtual void ReleaseSceneLightState(ISceneLightState* state) = 0;
    // A scene's light set, given back with ReleaseLightSet.
    virtual ILightSet* CreateLightSet() = 0;
    virtual void ReleaseLightSet(ILightSet* set) = 0;
    // A view to draw a frame into (the kind is the renderer's), given back with
    // ReleaseRenderView.
    virtual IRenderView* CreateRenderView(int kind) = 0;
    virtual void ReleaseRenderView(IRenderView* view) = 0;
    // The named technique, made from the description when the renderer does not have it yet;
    // given back with ReleaseEffect.
    virtual IEffect* GetTechnique(const char* name, const TechniqueDesc* desc) = 0;

    // Material groups. From a mesh's material block (mip: the mip-level argument of the
    // textures it loads, -3 from the file); null when the block is unusable.
    virtual IMaterialGroup* CreateMaterialGroup(const void* block, std::uint32_t size, std::int32_t mip) = 0;
    // An empty group.
    virtual IMaterialGroup* CreateMaterialGroupObject() = 0;
    // A ".mtg" file through the resource file system; null when missing or unusable.
    virtual IMaterialGroup* LoadMaterialGroupFile(const char* path, std::int32_t mip, std::int32_t reserved0,
                                                  std::int32_t reserved1) = 0;
    // A ".mtl" file, one material with a reference for the caller; null when missing or unusable.
    virtual IMaterial* LoadMaterialFile(const char* path, std::int32_t mip, std::int32_t reserved) = 0;
    // A new material of the effect's technique (one reference for the caller); null for null.
    virtual IMaterial* CreateMaterial(IEffect* effect) = 0;
    // The material the renderer gives mesh sub-meshes drawing with the technique (one
    // reference for the caller); null for null.
    virtual IMaterial* GetMeshMaterial(IEffect* technique) = 0;
    // Gives back one reference of a material, or a whole group (and the group's references).
    virtual void ReleaseMaterial(IMaterial* material) = 0;
    virtual void ReleaseMaterial(IMaterialGroup* group) = 0;

    // Effects, each given back with ReleaseEffect. The technique of a technique file already
    // known to the renderer; a technique of an effect file; an effect named by a description
    // ("file::technique"). Null when there is none.
    virtual IEffect* FindEffect(const char* name) = 0;
    virtual IEffect* LoadEffect(const char* file, const char* technique) = 0;
    virtual IEffect* CreateEffectFromDesc(const char* desc) = 0;

    // State objects (blend states, state blocks, and render states too) are given back with
    // ReleaseStateBlock.
    virtual IRenderState* CreateBlendState() = 0;
    virtual IRenderState* CreateStateBlock() = 0;
    virtual void ReleaseStateBlock(IRenderState* state) = 0;

    // Textures, given back with ReleaseTexture: loaded from a file (mipLevels -3 from the
    // file), or one the renderer holds under the name. Null when there is none.
    virtual ITexture* LoadTexture(const char* name, std::int32_t width, std::int32_t height, std::int32_t mipLevels,
                                  std::int32_t usage, std::int32_t format, std::int32_t pool) = 0;
    virtual ITexture* FindTexture(const char* name) = 0;
    // Whether the texture that answered this surface handle (ITexture::GetSurface) still lives.
    virtual bool IsTextureReady(void* surface) = 0;

    // Whether skeletal meshes are skinned by the renderer's shaders.
    virtual bool IsHardwareSkinning() = 0;

    // Device textures and surfaces. A texture of the size, format and usage (the device's
    // codes; usage 1 a render target), levels and pool, given back with ReleaseTexture; its
    // ITexture::GetSurface is the device texture when a device holds it (a blank texture
    // otherwise). A depth-stencil surface of the device (the
    // device's surface with one reference for the caller, given back with its own Release).
    // Null when the device cannot make them.
    virtual ITexture* CreateTexture(std::int32_t width, std::int32_t height, std::int32_t format,
                                    std::int32_t usage, std::int32_t levels, std::int32_t pool) = 0;
    virtual void* CreateDepthSurface(std::int32_t width, std::int32_t height, std::int32_t format) = 0;
    // Texture-stage settings for streams (IVertexBuffer::SetStageStates), given back with
    // ReleaseDynamicBuffer.
    virtual IStageStates* CreateDynamicBuffer() = 0;
    virtual void ReleaseDynamicBuffer(IStageStates* buffer) = 0;

    // The camera the renderer draws the current view with (null outside a view's drawing).
    virtual IRenderCamera* GetCurrentRenderCamera() = 0;
    // Decals: one made from a description (its layout is the renderer's), given back with
    // ReleaseDecalBatch; null when the renderer cannot make it.
    virtual IDecal* CreateDecalBatch(const void* description) = 0;
    virtual void ReleaseDecalBatch(IDecal* decal) = 0;
    // Vegetation, screen labels and the screen particle emitter. A vertex buffer named name
    // over the caller's array of count vertices of the layout (stride bytes each): nothing is
    // read until a renderable drawing from it is submitted, which copies the ranges it draws
    // then. Given back with ReleaseVertexBuffer.
    virtual IVertexBuffer* CreateArrayVertexBuffer(const char* name, std::uint32_t vertexFormat,
                                                   std::uint32_t stride, const void* vertices,
                                                   std::uint32_t count) = 0;
    // Submit for a draw item whose draw record is set; pass -1 keeps the item's own pass.
    virtual void SubmitRenderable(IRenderable* renderable, std::int32_t pass) = 0;
    // The current viewport in pixels.
    virtual void GetViewportSize(int* width, int* height) = 0;
    // Prepares the device for screen quads over the rectangle (x, y, width, height) with the
    // depth range (minZ, maxZ).
    virtual void DrawUserQuads(int x, int y, int width, int height, float minZ, float maxZ) = 0;
    // Copies what the screen shows now into the texture, scaled to its size (transitions wipe
    // the copy away); false when the renderer has no picture of the screen or the texture holds
    // no pixels.
    virtual bool CaptureScreen(ITexture* target) = 0;

    // Streamed textures. LoadTexture, CreateTexture and UnloadTexture may be called from any
    // thread (ground loaders make textures on their own). A LoadTexture whose width argument is
    // 21 (A8R8G8B8) keeps the picture's pixels, readable through ITexture::GetRenderSurface.
    // Forgets what the renderer keeps of textures nothing holds any more.
    virtual void FlushTextureCache() = 0;
    // Gives back one reference of the live texture whose surface handle (ITexture::GetSurface)
    // this is; immediate 1 frees its memory at once when it was the last. Answers the
    // references left (0: the texture went), -1 when no live texture has the handle.
    virtual int UnloadTexture(void* surface, int immediate) = 0;

    // Off-screen drawing. A texture made with render-target usage is registered to be drawn
    // into (depthFormat: its depth surface's format, the device's code, 0 none; flags and
    // reserved are the renderer's); the answer is its id, 0 when the texture cannot take
    // drawing. The id goes back with RemoveRenderTarget before the texture is released.
    virtual int AddRenderTarget(ITexture* texture, std::int32_t flags, std::int32_t depthFormat,
                                std::int32_t reserved) = 0;
    virtual void RemoveRenderTarget(int id) = 0;
    // The colour (0xAARRGGBB) the target is cleared to when drawing into it begins.
    virtual void SetRenderTargetClearColour(int id, std::uint32_t argb) = 0;
    // Draws go into the target, cleared, with its whole size as the viewport, until the next
    // BeginRenderTarget or EndRenderTarget; false for an id that is not registered.
    virtual bool BeginRenderTarget(int id) = 0;
    // Draws go back to the frame's own target, with its whole viewport.
    virtual void EndRenderTarget() = 0;
    // The size of the device's render target of that index (0: the one drawn into now); false
    // when there is none.
    virtual bool GetRenderTarget(int index, int* width, int* height) = 0;
    // The viewport of the target drawn into now, in its pixels (GetViewportSize answers it).
    virtual void SetViewport(int x, int y, int width, int height) = 0;
    // Copies the rectangle (left, top, right, bottom in the target's pixels) of what the target
    // holds into the top left of the texture, clipped to both; false for an id that is not
    // registered or a texture that is not live.
    virtual bool CopyRenderTarget(int id, const std::int32_t* rect, ITexture* texture) = 0;

protected:
    ~IRenderer() = default;
};

}  // namespace quor::render
