#pragma once
// The reference host's drawing renderer: the same objects as the recording renderer (one
// store may serve both), drawn with fixed-function OpenGL into an off-screen OSMesa buffer.
// A test and demo instrument: the host drives the frame (BeginFrame, Submit, EndFrame) and
// reads the picture back.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/host/FlatTerrain.h"
#include "platform/host/IRenderer.h"
#include "platform/host/RecordingRenderer.h"

namespace quor::host {

// One light of a light set, in world space. kind: 1 point, 2 spot, 3 directional (the
// device's codes); colours r, g, b, a.
struct GlLight {
    int kind = 3;
    float diffuse[4] = {1, 1, 1, 1};
    float ambient[4] = {0, 0, 0, 1};
    float specular[4] = {0, 0, 0, 1};
    float position[3] = {0, 0, 0};
    float direction[3] = {0, 0, 1};
    float range = 1e30f;
    float attenuation[3] = {1, 0, 0};
};

// The lights that light a renderable (the first eight are used) and the ambient colour.
struct GlLightSet {
    std::vector<GlLight> lights;
    float ambient[4] = {0, 0, 0, 1};
};

// What one EndFrame drew.
struct GlFrameStats {
    int renderables = 0;
    int triangles = 0;
    // Renderables whose technique the renderer cannot honour, drawn as the normal model
    // technique with their material.
    int approximated = 0;
    // Approximated shadow objects and render effects: planar shadows (the mesh flattened on
    // its plane, dark and translucent), shadow decals (a dark quad) and outlines (back-face
    // lines). Shadow volumes are only recorded.
    int planeShadows = 0;
    // Squares of ground drawn for the reference terrain.
    int grounds = 0;
    int decals = 0;
    int outlines = 0;
    int screenPrimitives = 0;
    // Renderables skipped: no stream, no position element, or ranges outside the buffers.
    int skipped = 0;
    // Triangles of screen-space primitives drawn with the "UpperText" effect (text over
    // objects), approximated as blended textured triangles over everything.
    int overlayTriangles = 0;
    // Draws of effect primitives (position, colour, one texture pair) and their triangles.
    int primitives = 0;
    int primitiveTriangles = 0;
};

class GlRenderer final : public render::IRenderer, public GroundPainter {
public:
    // store: shared with other renderers; a store of its own when null.
    explicit GlRenderer(std::shared_ptr<RecordingStore> store = nullptr);
    ~GlRenderer();
    GlRenderer(const GlRenderer&) = delete;
    GlRenderer& operator=(const GlRenderer&) = delete;

    // --- the frame, on the thread that draws --------------------------------------------
    // Makes the context current on this thread at the size (pixels), and starts a frame seen
    // through camera (null: identity view and projection) cleared to clearArgb. false when
    // the context cannot be made.
    bool BeginFrame(render::IRenderCamera* camera, std::uint32_t clearArgb, int width, int height);
    // The light set later submits take (null: the lights of the module's current view, or of
    // the last view that had lights); copied.
    void SetLightSet(const GlLightSet* lights);
    // The enabled lights of a light set as the world left them (colours times intensity) and
    // the light state's ambient colour (black when none was given).
    static GlLightSet LightsOf(const RecordingLightSet& set, const RecordingSceneLightState* state);
    // Queues a snapshot of the renderable (matrix, ranges, material, states) with the light
    // set given, or the current one when null. Outside a frame (before BeginFrame, after
    // EndFrame) nothing is queued.
    void SubmitRenderable(render::IRenderable* renderable, const GlLightSet* lights);
    // The reference terrain's ground: a grass-coloured square drawn first in the opaque pass,
    // lit as the submits of the moment are (see SetLightSet).
    void PaintGround(float halfSize, float height) override;
    // A screen-space rectangle in pixels (x right, y down), drawn after the 3D passes.
    void SubmitScreenRect(float x, float y, float width, float height, std::uint32_t argb);
    // Draws the opaque pass, the transparent pass in submission order, then the screen-space
    // primitives; forgets the queue.
    GlFrameStats EndFrame();
    // RGBA, top row first; empty before the first frame.
    std::vector<std::uint8_t> ReadPixels() const;
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool WritePng(const std::string& path) const;
    // GL_RENDERER of the context; empty before the first BeginFrame.
    const std::string& RendererName() const { return m_glName; }
    GlFrameStats LastFrame() const { return m_last; }

    // The shared objects and their bookkeeping.
    RecordingRenderer& Objects() { return m_objects; }
    void Attach(common::IResFileSystem* files, common::ILog* log);

    // --- render::IRenderer: objects as the recording renderer makes them -----------------
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
    render::ISkinBuffer* CreateSkinBuffer(int kind) override;
    void ReleaseSkinBuffer(render::ISkinBuffer* object) override;
    std::uint32_t GetFrameStamp() override;
    void GetBackBufferSize(int* width, int* height) override;
    void ReleaseTexture(render::ITexture* texture) override;
    render::IVertexBuffer* CreateVertexBuffer() override;
    void ReleaseVertexBuffer(render::IVertexBuffer* buffer) override;
    render::IRenderable* CreateRenderable(render::IEffect* effect) override;
    void ReleaseRenderable(render::IRenderable* renderable) override;
    render::IRenderState* CreateRenderState() override;
    void ReleaseRenderState(render::IRenderState* state) override;
    bool Submit(render::IRenderable* renderable) override;
    render::ISceneLightState* CreateSceneLightState() override;
    void ReleaseSceneLightState(render::ISceneLightState* state) override;
    render::ILightSet* CreateLightSet() override;
    void ReleaseLightSet(render::ILightSet* set) override;
    render::IRenderView* CreateRenderView(int kind) override;
    void ReleaseRenderView(render::IRenderView* view) override;
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
    bool IsTextureReady(void* surface) override;
    bool IsHardwareSkinning() override;
    render::ITexture* CreateTexture(std::int32_t width, std::int32_t height, std::int32_t format, std::int32_t usage,
                                    std::int32_t levels, std::int32_t pool) override;
    void* CreateDepthSurface(std::int32_t width, std::int32_t height, std::int32_t format) override;
    render::IStageStates* CreateDynamicBuffer() override;
    void ReleaseDynamicBuffer(render::IStageStates* buffer) override;
    render::IRenderCamera* GetCurrentRenderCamera() override;
    // Decals are not drawn by this renderer: it makes none.
    render::IDecal* CreateDecalBatch(const void*) override { return nullptr; }
    void ReleaseDecalBatch(render::IDecal*) override {}
    // Items drawing pre-transformed vertices (format 0x144) from an array buffer go over the
    // scene as screen triangles with their material's "Tex0"; others as Submit.
    render::IVertexBuffer* CreateArrayVertexBuffer(const char* name, std::uint32_t vertexFormat, std::uint32_t stride,
                                                   const void* vertices, std::uint32_t count) override;
    void SubmitRenderable(render::IRenderable* renderable, std::int32_t pass) override;
    void GetViewportSize(int* width, int* height) override;
    void DrawUserQuads(int x, int y, int width, int height, float minZ, float maxZ) override;
    // The last frame drawn, scaled into the target's device texture.
    bool CaptureScreen(render::ITexture* target) override;
    void FlushTextureCache() override { m_objects.FlushTextureCache(); }
    int UnloadTexture(void* surface, int immediate) override { return m_objects.UnloadTexture(surface, immediate); }
    // Render targets: drawing into one renders what was queued so far into the picture drawn
    // into until then, and draws what comes after into the target's own picture (kept in
    // memory); a quad showing the target's texture shows that picture.
    int AddRenderTarget(render::ITexture* texture, std::int32_t flags, std::int32_t depthFormat,
                        std::int32_t reserved) override;
    void RemoveRenderTarget(int id) override;
    void SetRenderTargetClearColour(int id, std::uint32_t argb) override;
    bool BeginRenderTarget(int id) override;
    void EndRenderTarget() override;
    // 0: the target drawn into now, else the frame's picture.
    bool GetRenderTarget(int index, int* width, int* height) override;
    void SetViewport(int x, int y, int width, int height) override;
    // The rectangle of the target's picture becomes the texture's picture (a quad showing the
    // texture shows it) until the texture goes.
    bool CopyRenderTarget(int id, const std::int32_t* rect, render::ITexture* texture) override;
    // The device textures are made on (see RecordingRenderer::AttachDevice); they are shown
    // with the pixels they hold when drawn.
    void AttachDevice(d3d9::IDirect3DDevice9* device) { m_objects.AttachDevice(device); }

    // A fixed-function technique as the renderer honours it: the stage-0 operations with
    // their arguments, the texture factor, and whether anything was left out.
    struct Technique {
        std::int32_t colourOp = 4, colourArg0 = 2, colourArg1 = 0;
        std::int32_t alphaOp = 4, alphaArg0 = 2, alphaArg1 = 0;
        std::uint32_t textureFactor = 0xFFFFFFFFu;
        // Material parameters that override a stage-0 state or the texture factor.
        std::string colourOpParam, alphaOpParam, textureFactorParam;
        bool approximate = false;
    };

private:
    struct Item;
    // One draw of an effect primitive, as triangles in world space order.
    struct Prim {
        std::vector<PrimitiveVertex> triangles;
        float world[16];
        render::ITexture* texture = nullptr;
        std::int32_t source = 5, destination = 6;
        // The stream's depth offset, added to the stored depth (0..1).
        float depthBias = 0.0f;
    };
    struct Screen {
        float rect[4];
        std::uint32_t argb;
    };
    struct Overlay {
        std::vector<PrimitiveVertex> vertices;
        render::ITexture* texture = nullptr;
        // Screen quads of effects (vertex format 0x144) draw a file texture with their
        // effect's blend; texts a device texture over the inverse of their alpha.
        bool fileTexture = false;
        std::int32_t source = 5, destination = 6;
        // The 2D ground's mask quads: the colour of `texture` with the alpha of this one, at
        // the second texture pair (two floats per vertex).
        render::ITexture* markTexture = nullptr;
        std::vector<float> markUV;
        // Quads that show exactly their texture (the ground's blocks, layers and mask parts)
        // clamp at its edges: a wrapped sample there would show the opposite edge as a seam.
        bool clamp = false;
        // The zoom's copies of a target: pixel for texel, without the half-pixel shift.
        bool copy = false;
        // The model snapshots: texels at the snapshot target's faint clear alpha (0x0F) or
        // under are the background, not drawn.
        bool cutClear = false;
    };
    // The 2D ground's mask ("TAlpha") and water quads drawn with fixed-function look-alikes;
    // false for other primitives.
    bool QueueGroundQuad(const RecordingPrimitive& primitive);
    void QueueOverlay(const RecordingPrimitive& primitive);
    void QueueScreenQuads(const RecordingPrimitive& primitive);
    void QueuePictureQuads(const RecordingPrimitive& primitive);
    // The 2D plane effects' screen quads (GlPlaneEffects.cpp); false for other primitives.
    bool QueuePlaneEffect(const RecordingPrimitive& primitive);
    // The plane effects' techniques are honoured without their effect files: asked for, they
    // become known to the store with their texture stages.
    void DefinePlaneEffect(const char* file, const char* technique);
    void DrawOverlays(const std::vector<Overlay>& overlays, GlFrameStats& stats);
    // The GL texture of a device texture, filled with its pixels once per frame.
    unsigned DeviceTextureFor(RecordingTexture* texture);
    // What decides the states of a draw besides its matrix.
    struct DrawKey {
        const void* material;
        const void* effect;
        const void* texture;
        const void* lights;
        bool blend;
        std::int32_t source, destination;
        bool normal, colour;
        bool operator==(const DrawKey& o) const {
            return material == o.material && effect == o.effect && texture == o.texture && lights == o.lights &&
                   blend == o.blend && source == o.source && destination == o.destination && normal == o.normal &&
                   colour == o.colour;
        }
    };
    void Draw(const Item& item, GlFrameStats& stats);
    void QueuePrimitive(const RecordingPrimitive& primitive);
    void DrawPrimitives(GlFrameStats& stats);
    void ApplyStates(const Item& item, const Technique* found, render::ITexture* texture, bool normal, bool colour);
    void BindArrays(const std::uint8_t* position, const std::uint8_t* normal, const std::uint8_t* colour,
                    const std::uint8_t* uv, const int* strides);
    unsigned TextureFor(render::ITexture* texture);
    // Shadow objects and render effects (GlShadows.cpp).
    void QueueExtDraw(RecordingExtTechnique& technique, render::ISkinBuffer* object,
                      const render::RenderEffectInstance* instance);
    // Queues a mesh drawn flat in one colour: mode 1 filled and blended (planar shadows), 2
    // back-face lines (outlines).
    void QueueFlat(render::IVertexBuffer* stream, const render::DrawRange* ranges, std::uint32_t count,
                   const float* world, int mode, const float* colour);
    void DrawFlat(int mode, const float* world, const float* colour, const std::uint8_t* position, int stride,
                  const std::uint16_t* indices, const render::DrawRange* ranges, const render::DrawRange* rangesEnd,
                  GlFrameStats& stats);
    void DrawDecals(GlFrameStats& stats);
    void UnhookTechniques();
    const Technique* TechniqueFor(render::IEffect* effect);

    // Renders the queues into the picture drawn into now and empties them.
    void DrawQueued(GlFrameStats& stats);
    // Forgets everything queued for drawing (a new frame, a lost context, a removed target).
    void DropQueued();
    void TakeCameraMatrices();
    // The context drawing into a work picture of the size (the frame and every target fit).
    bool MakeWorkCurrent(int width, int height);
    // The host may draw with another OSMesa context on this thread (a scene view), also
    // between BeginFrame and EndFrame: each call that draws makes the renderer's own context
    // current for its length and gives the binding it replaced back at its end.
    class OwnScope {
    public:
        // The work picture of the size (0: as it is) bound to the renderer's context.
        explicit OwnScope(GlRenderer& renderer, int width = 0, int height = 0);
        ~OwnScope();
        OwnScope(const OwnScope&) = delete;
        OwnScope& operator=(const OwnScope&) = delete;
        bool ok = false;

    private:
        GlRenderer& m_renderer;
        bool m_took = false;
    };
    // Whether the renderer's context is current (inside an OwnScope it is).
    bool Own() const;
    void KeepCaller();
    void GiveBack();
    struct Binding {
        void* context = nullptr;
        void* buffer = nullptr;
        int width = 0;
        int height = 0;
        bool kept = false;
    };
    Binding m_caller;
    // The thread that draws the frames: a call from another (a loader thread releasing a
    // texture) never takes the context.
    std::atomic<std::thread::id> m_drawThread{};
    std::vector<std::uint8_t> m_work;
    int m_workWidth = 0;
    int m_workHeight = 0;
    // Makes the picture of the target (0: the frame's) the one drawn into, keeping what the
    // one drawn into until now holds; false without one.
    bool UseSurface(int target);
    // A target's picture as a GL texture (0 when the texture is no target's).
    unsigned TargetTextureFor(render::ITexture* texture);
    struct Target {
        render::ITexture* texture = nullptr;
        int width = 0, height = 0;
        std::uint32_t clear = 0;
        std::vector<std::uint8_t> pixels;  // bottom row first
        unsigned glTexture = 0;
        bool changed = true;  // drawn into since its texture was last filled
    };
    std::unordered_map<int, Target> m_targets;
    // Textures holding a copy of a target's picture, by texture.
    std::unordered_map<const void*, Target> m_copies;
    unsigned UploadPicture(Target& t);
    int m_target = 0;  // drawn into now; 0 the frame's picture
    // The viewport (x, y, width, height) of what is drawn into now; width 0: all of it.
    int m_viewport[4] = {0, 0, 0, 0};
    int m_surfaceWidth = 0;
    int m_surfaceHeight = 0;
    GlFrameStats m_frameStats;

    RecordingRenderer m_objects;
    common::IResFileSystem* m_files = nullptr;
    common::ILog* m_log = nullptr;
    // Frame state: only the drawing thread touches it.
    void* m_context = nullptr;
    bool m_inFrame = false;
    std::vector<std::uint8_t> m_pixels;  // bottom row first, as GL keeps them
    int m_width = 0;
    int m_height = 0;
    std::string m_glName;
    float m_view[16];
    float m_projection[16];
    // The frame's camera: its matrices are read again whenever queued drawing goes out.
    render::IRenderCamera* m_camera = nullptr;
    std::vector<Item> m_items;
    std::vector<render::DrawRange> m_ranges;
    std::vector<Screen> m_screen;
    struct Ground {
        float halfSize, height;
        std::shared_ptr<const GlLightSet> lights;
    };
    std::vector<Ground> m_grounds;
    void DrawGrounds(GlFrameStats& stats);
    // GL lighting on with the set's lights (placed in world space) and ambient colour.
    void ApplyLights(const GlLightSet& lights);
    // Texture unit 1 modulating the stage-0 colour and/or alpha by the lit colour; both false
    // turns it off (every drawing path but the items' starts with it off).
    void UseShadingStage(bool colour, bool alpha);
    bool m_shadingStage = false;
    std::vector<Overlay> m_overlays;
    // The 2D ground's blocks and back layers: drawn under the scene's objects.
    std::vector<Overlay> m_underlays;
    std::unordered_map<const void*, std::pair<unsigned, std::uint64_t>> m_deviceTextures;
    std::uint64_t m_frame = 0;
    std::vector<Prim> m_prims;
    std::shared_ptr<const GlLightSet> m_lights;
    // The view the module made current and its lights, read at the first submit after the view
    // was made current or a frame began (the world updates its lights between frames).
    void* m_currentView = nullptr;
    std::shared_ptr<const GlLightSet> m_viewLights;
    bool m_viewLightsRead = false;
    // The light set and light state of the last view made current that had a light set.
    const void* m_lastLightSet = nullptr;
    const void* m_lastLightState = nullptr;
    std::shared_ptr<const GlLightSet> ViewLights();
    std::unordered_map<const void*, unsigned> m_textures;
    unsigned m_white = 0;
    // The states last set in this frame's passes (forgotten between passes).
    DrawKey m_key{};
    bool m_keyValid = false;
    int m_normalize = -1;
    const void* m_arrays = nullptr;
    const void* m_position = nullptr;
    GlFrameStats m_last;
    // Techniques by effect; made on loader threads, read when drawing.
    mutable std::mutex m_techniqueMutex;
    std::unordered_map<const void*, Technique> m_techniques;
    Technique m_normal;
    // Techniques whose draws come here; let go of when this renderer goes.
    std::vector<RecordingExtTechnique*> m_hooked;
};

}  // namespace quor::host
