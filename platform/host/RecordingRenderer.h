#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/IRenderer.h"
#include "platform/host/RecordingDecal.h"
#include "platform/host/RecordingLights.h"
#include "platform/host/RecordingResources.h"
#include "platform/host/RecordingSkinBuffer.h"
#include "platform/win32/RecentRecords.h"

namespace quor::d3d9 {
class IDirect3DDevice9;
}

namespace quor::host {

// The reference host's renderer as far as the system uses it: makes and takes back every kind
// of object it hands out (render cameras do real projection maths), records every call in
// order, and counts live objects so that leaks and double releases show. Released objects
// stay readable until the renderer goes, so tests can inspect them after the system let go of
// them. Loader threads call the renderer too, hence the lock. The objects live in a store that
// other renderers may share; the calls are each renderer's own.
class RecordingRenderer final : public render::IRenderer {
public:
    // store: shared with other renderers; a store of its own when null.
    explicit RecordingRenderer(std::shared_ptr<RecordingStore> store = nullptr);
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
    render::IVertexBuffer* CreateArrayVertexBuffer(const char* name, std::uint32_t vertexFormat, std::uint32_t stride,
                                                   const void* vertices, std::uint32_t count) override;
    void SubmitRenderable(render::IRenderable* renderable, std::int32_t pass) override;
    void GetViewportSize(int* width, int* height) override;
    void DrawUserQuads(int x, int y, int width, int height, float minZ, float maxZ) override;
    // The device's last presented image, scaled into the target's device texture.
    bool CaptureScreen(render::ITexture* target) override;
    // Scales an A8R8G8B8 image (rows top first) into level 0 of a live device texture of this
    // store; false when the target is none or the image is empty. Records the call.
    bool CaptureInto(render::ITexture* target, const std::uint32_t* argb, std::uint32_t width, std::uint32_t height);
    void FlushTextureCache() override;
    int UnloadTexture(void* surface, int immediate) override;
    // Textures made from now on answer IsTextureReady false for this many polls first (a
    // renderer still uploading them); 0 ready at once.
    void SetTexturePollsBeforeReady(int polls);
    int TextureCacheFlushes() const;
    // Off: SubmitRenderable copies nothing from array buffers (measuring what fills them).
    bool copySubmitted = true;
    // On: Submit refuses every renderable (a renderer that cannot take them).
    bool refuseSubmits = false;

    // The device CreateTexture and CreateDepthSurface make their objects on (none: textures
    // without device memory, no depth surfaces).
    void AttachDevice(d3d9::IDirect3DDevice9* device);
    int LiveDynamicBuffers() const;

    // The latest calls (see win32::RecentRecords) and how many came since the last ClearCalls.
    std::vector<std::string> Calls() const;
    std::uint64_t CallCount() const;
    // How many calls are kept; 0 switches recording off.
    void SetRecordLimit(std::size_t limit);
    void ClearCalls();
    // Off: objects and textures given back are deleted, not kept for reading (see
    // RecordingStore::keepReleased).
    void SetKeepReleased(bool keep);
    int LivePrimitives() const;
    int LiveEffects() const;
    int LiveRenderCameras() const;
    // Every kind of object handed out and not taken back.
    int LiveObjects() const;
    // Releases of objects this renderer did not hand out or had already taken back.
    int BadReleases() const;
    int Updates() const;

    int LiveMaterials() const { return m_store->LiveMaterials(); }
    int LiveMaterialGroups() const { return m_store->LiveMaterialGroups(); }
    int LiveTextures() const { return m_store->LiveTextures(); }
    int LiveStageStates() const { return m_store->LiveStageStates(); }
    int LiveBlendStates() const;
    int LiveStateBlocks() const;
    // Render states, blend states and state blocks alike.
    int LiveStates() const;

    // Where material and texture files are read, and where lines about bad input go.
    void Attach(common::IResFileSystem* files, common::ILog* log);
    const std::shared_ptr<RecordingStore>& Store() const { return m_store; }
    // The answer of IsHardwareSkinning.
    void SetHardwareSkinning(bool on);
    // The answer of GetCurrentRenderCamera (not owned).
    void SetCurrentRenderCamera(render::IRenderCamera* camera);

    // Injected failure: while set, CreatePrimitive records the call and answers null.
    void SetFailPrimitives(bool fail);
    // Injected failure: while set, CreateTexture records the call and answers null.
    bool failCreateTexture = false;

    // The most recently made object of each kind (null before the first).
    RecordingPrimitive* LastPrimitive() const;
    RecordingEffect* LastEffect() const;
    RenderCamera* LastRenderCamera() const;
    RecordingVertexBuffer* LastVertexBuffer() const;
    RecordingRenderable* LastRenderable() const;
    RecordingSceneLightState* LastSceneLightState() const;
    // Light sets and render views: live counts and the most recently made (null before).
    int LiveLightSets() const;
    int LiveRenderViews() const;
    RecordingLightSet* LastLightSet() const;
    RecordingRenderView* LastRenderView() const;
    // The live object of this renderer at the address, null for any other pointer: a view the
    // module makes current, and the light set and light state it was given.
    RecordingRenderView* LiveRenderView(const void* view) const;
    RecordingLightSet* LiveLightSet(const void* set) const;
    RecordingSceneLightState* LiveSceneLightState(const void* state) const;
    RecordingRenderState* LastBlendState() const;
    RecordingRenderState* LastStateBlock() const;
    RecordingStageStates* LastStageStates() const;

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

    // Shadow objects and extension techniques. The names GetExtTechnique answers (kinds 1
    // and 2) besides water; each name gives one technique object, kept by the store.
    std::vector<std::string> extTechniques = {"<ShadowOnPlane>", "<ShadowVolume>", "<Decal>", "<Outline>"};
    RecordingExtTechnique* FindExtTechnique(const std::string& name) const;
    // The 3D scenes' kind-1 techniques "<AdvancedWater>" and "<Depth>": absent until a test
    // makes them; Note adds a line of the test's own to the call list.
    RecordingWaterTechnique* EnableAdvancedWater();
    RecordingDepthTechnique* EnableDepthTechnique();
    void Note(std::string line);
    RecordingSkinBuffer* LastSkinBuffer() const;
    // Every shadow object made, live or not, in order.
    std::vector<RecordingSkinBuffer*> SkinBuffers() const;
    int LiveSkinBuffers() const;

    // Render targets: registered ids, the one drawn into (0 the frame's own) and the viewport.
    int AddRenderTarget(render::ITexture* texture, std::int32_t flags, std::int32_t depthFormat,
                        std::int32_t reserved) override;
    void RemoveRenderTarget(int id) override;
    void SetRenderTargetClearColour(int id, std::uint32_t argb) override;
    bool BeginRenderTarget(int id) override;
    void EndRenderTarget() override;
    bool GetRenderTarget(int index, int* width, int* height) override;
    void SetViewport(int x, int y, int width, int height) override;
    // Recorded with the id and the rectangle; counted per texture (TargetCopies).
    bool CopyRenderTarget(int id, const std::int32_t* rect, render::ITexture* texture) override;
    int TargetCopies(const render::ITexture* texture) const;
    struct RenderTarget {
        int id = 0;
        render::ITexture* texture = nullptr;
        std::int32_t flags = 0, depthFormat = 0, reserved = 0;
        std::uint32_t clearColour = 0;
    };
    int LiveRenderTargets() const;
    // The registered target of the id (null for none) and the one drawn into now (0: none).
    const RenderTarget* FindRenderTarget(int id) const;
    int CurrentRenderTarget() const;
    // The viewport set since the last change of target: x, y, width, height; width -1 when
    // none was (the whole target).
    std::array<int, 4> Viewport() const;
    // What the frame's own render target measures (GetRenderTarget 0 outside a target); 0 x 0:
    // the host reports none.
    int renderTarget0Width = 0;
    int renderTarget0Height = 0;

    // Decals: made while failDecals is clear (null otherwise), kept readable after release.
    render::IDecal* CreateDecalBatch(const void* description) override;
    void ReleaseDecalBatch(render::IDecal* decal) override;
    bool failDecals = false;
    std::vector<RecordingDecal*> Decals() const;
    int LiveDecals() const;
    int BadDecalReleases() const;

private:
    template <class T, class I, class... A>
    T* Make(RecordingStore::Pool<T>& pool, std::string call, A&&... args);
    // Takes the object back into its pool (lock held); deleted there unless the store keeps
    // released objects.
    template <class T, class I>
    void Drop(RecordingStore::Pool<T>& pool, I* object);
    render::IMaterialGroup* GroupFromBytes(const void* data, std::size_t size, std::int32_t mip, const char* what);
    // The technique of a listed name, made on first use; null for another name. Lock held.
    render::IExtTechnique* ExtTechniqueByName(const char* name);

    std::shared_ptr<RecordingStore> m_store;
    RecordingViewStore m_views;
    win32::RecentRecords<std::string> m_calls;
    int m_updates = 0;
    int m_pollsBeforeReady = 0;
    int m_flushes = 0;
    bool m_failPrimitives = false;
    bool m_hardwareSkinning = false;
    render::IRenderCamera* m_currentCamera = nullptr;
    d3d9::IDirect3DDevice9* m_device = nullptr;
    std::unique_ptr<RecordingWaterTechnique> m_advancedWater;
    std::unique_ptr<RecordingDepthTechnique> m_depthTechnique;
    std::vector<std::unique_ptr<RecordingDecal>> m_decals;
    std::vector<const void*> m_liveDecals;
    int m_badDecalReleases = 0;
    std::vector<RenderTarget> m_targets;
    int m_nextTarget = 1;
    int m_currentTarget = 0;
    std::array<int, 4> m_viewport = {0, 0, -1, -1};
    std::vector<const render::ITexture*> m_targetCopies;
};

}  // namespace quor::host
