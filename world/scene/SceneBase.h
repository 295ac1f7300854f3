#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/CriticalSection.h"
#include "world/core/ObjectOwner.h"
#include "world/fx/OrthoLabel.h"
#include "world/scene/Billboards.h"
#include "world/scene/IScene.h"
#include "world/scene/SceneAudio.h"

namespace quor::render {
class IEffect;
class IPrimitive;
class ITexture;
}

namespace quor::world {

class CameraList;
class ExtVisibleNodeList;
class FxBase;
class FxMgr;
class GlyphFont;
class LightList;
class ModelBase;
class ModelList;
class PrimObjectList;
class SpaceLinesList;
class ScreenTransition;
class VisibleObject;

// The common part of the 3D and 2D scenes behind IScene: the object tree and the per-kind
// lists, the locks, the loading state word, the frame update and the frame bracket both kinds
// draw inside, and how objects enter and leave.
//
// Lock order: update lock, object lock, then the effect manager's, the identifier map's and
// the model bookkeeping lock. The loading-model lock is never held while the object lock is
// taken; the registry lock guards only the loading state word.
class SceneBase : public IScene, public ObjectOwner {
public:
    SceneBase();
    ~SceneBase() override;
    SceneBase(const SceneBase&) = delete;
    SceneBase& operator=(const SceneBase&) = delete;

    // --- ObjectOwner ---
    SpaceObject* GetRootObject() const override { return m_root; }
    ObjectLock& GetObjectLock() override { return m_objectLock; }
    void ForgetObjectId(std::uint32_t id) override { UnregisterObjectId(id); }
    // Erases every entry of the named-object map that points to the object (the vectors stay,
    // possibly empty).
    void RemoveNamedObject(const SpaceObject* object) override;
    float GetCurrentLightTime() override { return GetLightTime(); }

    // --- IScene: operations that do nothing or answer a constant here ---
    void MapToWorld(const float*, Vec3*) override {}
    void WorldToMap(const Vec3*, float*) override {}
    void ScreenToWorld(const float*, Vec3*) override {}
    void WorldToScreen(const Vec3*, float*) override {}
    void SetNameLabel(const char*, float, float, float) override {}
    void RemoveNameLabel(const char*) override {}
    void ClearNameLabels() override {}
    bool IsWalkable(float, float) override { return true; }
    void Reserved8() override {}
    void Reserved9() override {}
    // The screen labels: the scene's one label list, and the overlay operations the interface
    // library calls back while it draws a label's window.
    bool OnLabelMouseMove(int x, int y) override { return m_labels.SetCursorPosition(x, y); }
    bool OnLabelClick(int x, int y) override { return m_labels.HitTest(x, y); }
    void AddLabel(const char* windowName, IModel* model, const char* socketName) override {
        m_labels.AddLabel(windowName, model, socketName, this);
    }
    void RemoveLabel(const char* windowName, IModel* model, const char* socketName) override {
        m_labels.RemoveLabel(windowName, model, socketName);
    }
    void SetOverlaySize(int width, int height) override { m_labels.SetOverlaySize(width, height); }
    void SetOverlayTexture(render::ITexture* texture) override { m_labels.SetQuadTexture(texture); }
    void AddOverlayQuad(float x, float y, float u, float v, std::uint32_t colour) override {
        m_labels.AddQuad(x, y, u, v, colour);
    }
    void FlushOverlayQuads() override { m_labels.FlushQuads(); }
    // Both kinds of scene run the label pass in their render step, under the object lock.
    OrthoLabelList& Labels() { return m_labels; }
    bool AddGrass(const char*, char*, int, int, int, int, int, bool, float, float, float, std::uint32_t) override {
        return false;
    }
    void Reserved15() override {}
    void RemoveGrass(const char*) override {}
    int GetGrassCount() override { return 0; }
    const char* GetGrassName(int) override { return nullptr; }
    void Reserved19() override {}
    void SetGrassParams(std::uint8_t, std::int32_t, std::int32_t, float, float, float, float) override {}
    bool IsModelSpecularEnabled() override { return true; }
    void EnableModelSpecular(bool) override {}
    void SetModelSpecularColor(const std::uint8_t*) override {}
    const std::uint8_t* GetModelSpecularColor() override { return nullptr; }
    void AdjustZoom(bool, float) override {}
    void GetZoom(bool*, float*) override {}
    ISpaceLines* CreateSpaceLines(int, bool, std::uint32_t) override { return nullptr; }
    IBSPTree* GetBSPTree() override { return nullptr; }
    bool LoadAStar() override { return true; }
    bool LoadFxes() override { return true; }
    bool LoadModels() override { return true; }
    bool LoadWaters() override { return true; }
    void SetGroundUpdateFlag(bool) override {}
    bool LoadPlaneFogs() override { return true; }
    bool LoadElectricities() override { return true; }
    bool LoadBlazes() override { return true; }
    bool LoadExtraSection() override { return true; }
    void SetEffectCutLevel(int) override {}
    int GetEffectCutLevel() override { return 0; }
    void* AddWaterBlock(const float*, const char*, const char*) override { return nullptr; }
    void SetScreenImage(bool, render::ITexture*, const float*) override {}
    void* CreateCrossTexture(const char*, int, const float*, int) override { return nullptr; }
    void LoadCrossTextureImage(const char*, const char*) override {}
    void RemoveCrossTexture(std::string) override {}
    void ClearCrossTextures() override {}
    void SetCrossTextureWave(const char*, float, float, float, float, float, int) override {}
    void GetCrossTextureWave(const char*, float*, float*, float*, float*, float*, bool*) override {}
    void SetCrossTextureFlag(const char*, bool) override {}
    void GetCrossTextureNames(std::vector<std::string>&) override {}
    void EnableDecals(bool) override {}
    bool IsGroundReady() override { return true; }
    bool Load(const char*) override { return false; }
    void AddModelDecal(void*, IVisibleObject*) override {}
    void RemoveModelDecals(void*) override {}
    void WriteReport(common::IXmlNode*) override {}
    void Reserved186() override {}
    void Reserved187() override {}

    // --- IScene: the scene's own operations ---
    int GetSceneType() override { return m_sceneType; }
    void Update() override;
    void SetModelPassCount(int count) override { m_modelPassCount = count; }
    int GetModelPassCount() override { return m_modelPassCount; }
    void GetDefaultZRange(float* zNear, float* zFar) override;
    Light* CreateLight(int kind) override;
    void SetAmbientColor(const std::uint8_t* colour) override;
    Camera* CreateCamera(bool makeActive) override;
    bool SetActiveCamera(Camera* camera) override;
    Camera* GetActiveCamera() override;
    IModel* CreateModel(const char* path, int flags, int asyncValue, AsyncData** out) override;
    IFxBase* CreateFx(const char* path, int flags, bool async, AsyncData** out, int value) override;
    PrimObject* CreatePrimObject(int kind, std::uint32_t vertexFormat, bool withMaterial) override;
    IVisibleObject* CreateVisibleNode(IExtVisibleHost* host) override;
    ISpeaker* CreateSpeaker(const char* path, int type, int flag) override;
    void CloneObject(ISpaceObject* object) override;
    bool ReleaseObjectById(std::uint32_t id, bool withChildren) override;
    bool ReleaseObject(ISpaceObject* object, bool withChildren) override;
    // Destroys a model whose load has not ended, its load cancelled; false for anything else.
    bool ReleaseLoadingModel(SpaceObject* object);
    bool IsObjectAlive(std::uint32_t id) override { return IsObjectIdRegistered(id); }
    int GetLightCount() override;
    Light* GetLight(std::uint32_t index) override;
    render::ISceneLightState* GetLightState() override;
    int GetModelCount() override;
    IModel* GetModel(std::uint32_t index) override;
    IModel* FindModel(const char* name) override;
    int GetLoadingModelCount() override;
    IModel* GetLoadingModel(std::uint32_t index) override;
    int GetFxCount() override;
    IFxBase* GetFx(std::uint32_t index) override;
    IFxBase* FindFx(const char* name) override;
    int AddNamedObject(IVisibleObject* object, const char* name) override;
    int CountNamedObjects(const char* name) override;
    int GetNamedModels(IModel** out, const char* name) override;
    int GetNamedKind4Objects(IFxBase** out, const char* name) override;
    bool IsActive() override { return m_active != 0; }
    int PickModelsAt(const float* screenPoint, IModel** models, float* ts, int room, int flags,
                     const char* name) override;
    IModel* PickModelByRay(const Ray& ray, float* t, int flags, const char* name) override;
    IModel* PickModel(const float* screenPoint, Vec3* hit, int flags, const char* name) override;
    void GetAllModels(std::vector<IModel*>& out) override;
    void GetAllFx(std::vector<IFxBase*>& out) override;
    void PickModelsByRay(const void* query, PickCallback callback, int flags, const char* name,
                         void* user) override;
    const float* GetLastPickPoint() override;
    const void* GetLastPickDetail(void* out) override;
    void MoveObjectToScene(IVisibleObject* object, IScene* target) override;
    std::uint32_t GetProgress() override;
    int GetSceneId() override { return static_cast<int>(m_sceneId); }
    int GetPrimObjectCount() override;
    PrimObject* GetPrimObject(std::uint32_t index) override;
    int GetVisibleNodeCount() override;
    IVisibleObject* GetVisibleNode(std::uint32_t index) override;
    int CountPlayingFx() override;
    int CountChildEffects() override;
    void AddAudioProject(const char* name) override;
    int StartTransition(int mode) override;
    // A speed of 0 or less would never end a transition: the old speed is kept.
    void SetTransitionSpeed(float speed) override;
    int GetState() override { return m_state; }
    // Draws the scene into a 400 x 300 target and saves it as DDS to "d://cc.dds" (the host's
    // drive directory); the render target is put back. A null scene is refused with a log line.
    void SaveDebugSnapshot(IScene* scene) override;
    // Five 400 x 300 DDS images of the picture (under the resource root) with 13, 10, 7, 4 and
    // 0 of its 4 x 4 cells black, drawn at random, written under the resource root as
    // "\cegui\imagesets\question\question1.dds" to "question5.dds". A missing picture is
    // logged and a blank one used.
    void BuildQuestionImages(const char* picture) override;
    void BeginLoadingScreen(bool showWord) override;
    void AddLoadingProgress(int amount, int status) override;
    void EndLoadingScreen() override;
    bool IsLoadingScreenOn() override;
    // Queues the text centred 90 pixels above the bottom of the back buffer in the scene's text
    // font (nothing without one); the two leading values have no effect.
    void DrawText(int, int, float r, float g, float b, float a, const char* text) override;
    // The transition's frame, drawn by the kinds' Render after the scene: moves its parts over
    // the captured screen and sets the state word (0 with no transition, 2 when it ends).
    void DrawTransition();
    ScreenTransition* Transition() const { return m_transition.get(); }
    // The captured screen and the primitives that draw the transition's parts over it.
    render::ITexture* TransitionTarget() const { return m_transitionTarget; }
    const std::vector<render::IPrimitive*>& TransitionPrimitives() const { return m_transitionPrimitives; }
    // The scene's text font, got from the glyph-font manager on first need.
    GlyphFont* EnsureTextFont();
    GlyphFont* TextFont() const { return m_textFont; }
    void UpdateBillboard(SpaceObject* object) override;
    void SetActive(bool active) override;
    bool OnResetDevice() override;
    void OnLostDevice() override;
    void UpdateObject(SpaceObject* object) override;
    Light* GetMainLight() override { return m_mainLight; }
    // The scene's lights (tests fill the stand-in list directly).
    LightList* Lights() { return m_lights; }
    void OnModelLoaded(IModel* model) override;
    void DestroyObject(ISpaceObject* object) override;
    void Clear() override;
    void SetState(int state) override { m_state = state; }
    void UpdateBillboards() override;

    // While set, a missing scene file is told as information, not as an error: the registry
    // tries the binary 3D form first and falls back on the XML one, so its absence is normal.
    void SetMissingFileExpected(bool expected) { m_missingFileExpected = expected; }
    bool IsMissingFileExpected() const { return m_missingFileExpected; }

    // --- object management used by the loaders and the records ---
    // Puts an object into the scene: under the object lock it gets this scene and is hung under
    // the root; then, under the identifier map's lock, its identifier is entered (an identifier
    // already present keeps its old entry). The two locks are taken one after the other.
    void AttachObject(SpaceObject* object);
    // The synchronous model load, also run by the model record on a loader thread.
    virtual IModel* LoadModelFile(IModel* model, const char* path, int flags);
    // The effect load of the effect record (and of model records naming an effect file).
    virtual IFxBase* LoadFxFile(IFxBase* effect, const char* path, int value);
    // Adds an effect; from another thread while the scene is live it waits in the effect
    // manager's pending list until the next Update.
    void AddEffect(IFxBase* effect);
    SpaceObject* CreateObjectByFileName(const char* path);
    // Unlinks the whole tree below the object.
    void DetachTree(SpaceObject* object);
    // A model whose asynchronous load failed stays the scene's (the host holds it): listed and
    // attached, with its loading word at -1.
    void AdoptFailedModel(ModelBase* model);

    static void UnregisterObjectId(std::uint32_t id);
    static bool IsObjectIdRegistered(std::uint32_t id);

    // The loading state word (0x10000 started, 65535 loading, 0 done, 0xFFFFFFFF failed),
    // written under the registry lock.
    void SetProgress(std::uint32_t progress);
    void SetFileName(const char* name) { m_name = name ? name : ""; }
    const std::string& GetFileName() const { return m_name; }
    int GetModelsFromFile() const { return m_modelsFromFile; }
    void SetModelsFromFile(int count) { m_modelsFromFile = count; }

    ModelList& Models() { return *m_models; }
    FxMgr& Effects() { return *m_fx; }
    SpaceLinesList& LineObjects() { return *m_lines; }
    PrimObjectList& PrimObjects() { return *m_prims; }
    ExtVisibleNodeList& VisibleNodes() { return *m_nodes; }
    CameraList& Cameras() { return *m_cameras; }
    const std::vector<VisibleObject*>& RenderList() const { return m_renderList; }
    const std::uint8_t* GetAmbientColor() const { return m_ambient; }
    std::uint32_t GetCreatingThread() const { return m_creatingThread; }
    bool IsDestroying() const { return m_destroying.load(); }
    bool IsRendering() const { return m_rendering.load(); }

    // Cancels the scene's loads, waits for a frame in progress and for the host's pending
    // tasks. The registry runs it before it deletes a scene: loader threads may call the
    // scene's own operations until then, so it must come before any destructor starts. The
    // destructors run it too, for scenes deleted otherwise. Runs once.
    void BeginDestroy();

    // The process-wide scene counter (tests start from a known value).
    static void SetSceneCounter(std::uint16_t value);

    // What the scene-file readers set: the near and far distance of new cameras (an active
    // camera takes them too), the file's version word, and the scene's audio part.
    void SetDefaultZRange(float zNear, float zFar);
    void SetFileVersion(std::uint32_t version) { m_fileVersion = version; }
    std::uint32_t GetFileVersion() const { return m_fileVersion; }
    SceneAudio& Audio() { return m_audio; }
    // The renderer light state the scene hands its ambient colour and fog to.
    render::ISceneLightState* LightStateOfScene() const { return m_lightState; }
    // The transition effect ("Picture") and its 1024 x 768 render target, made again on each
    // call.
    void CreatePictureEffect();
    render::IEffect* GetTransitionEffect() const { return m_transitionEffect; }

protected:
    // --- the frame bracket the kinds draw inside ---
    // False (draw nothing) while the scene is being destroyed, or, when asked, without an
    // active camera. Otherwise the rendering flag is set, the object lock taken and the active
    // camera's frustum published for culling; EndFrame must follow.
    bool BeginFrame(bool needCamera);
    // Refills the render list with every visible object the main pass does not cull.
    void CollectVisible();
    // The pre-draw call of every listed object.
    void PreDrawAll();
    // Clears the end-of-frame flags, the rendering flag, and releases the object lock.
    void EndFrame();
    // Releases the object's natural children (and what hangs below them), last first.
    void ReleaseAttachments(SpaceObject* object);
    int m_sceneType = 0;

private:
    void PublishCamera();
    void UpdateWalk(SpaceObject* object);
    void CollectFrom(SpaceObject* object);
    // Releases the object, its natural children and (when asked) its children, last first.
    void ReleaseSubtree(SpaceObject* object, bool withChildren);
    void RemoveFromRenderList(SpaceObject* object);
    void RemoveLoadingModel(ModelBase* model);
    // The models under the name, for pick filters.
    std::vector<ModelBase*> NamedModels(const char* name);
    const std::vector<SpaceObject*>* FindNamed(const char* name) const;

    std::string m_name;
    int m_modelsFromFile = 0;
    std::atomic<bool> m_destroying{false};
    std::atomic<bool> m_rendering{false};
    bool m_destroyStarted = false;
    int m_backBufferWidth = 0;
    int m_backBufferHeight = 0;
    GlyphFont* m_textFont = nullptr;
    // The loading screen's bar edges and word-picture switch (it reaches them through its access).
    friend struct LoadingScreenAccess;
    float m_barLeft = 0.0f;
    float m_barRight = 0.0f;
    std::uint8_t m_showWord = 0;
    LightList* m_lights = nullptr;
    render::ISceneLightState* m_lightState = nullptr;
    CameraList* m_cameras = nullptr;
    // Transitions (their issue fills these; the scene gives them back).
    std::vector<render::IPrimitive*> m_transitionPrimitives;
    render::ITexture* m_transitionTarget = nullptr;
    render::IEffect* m_transitionEffect = nullptr;
    std::unique_ptr<ScreenTransition> m_transition;
    float m_transitionSpeed = 0.0f;
    float m_screenWidth = 0.0f;
    float m_screenHeight = 0.0f;
    int m_transitionMode = 0;
    int m_transitionModeCount = 4;
    int m_state = 0;
    bool m_missingFileExpected = false;
    SpaceObject* m_root = nullptr;
    std::uint32_t m_fileVersion = 0;
    std::uint8_t m_active = 0;
    std::uint8_t m_ambient[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    float m_defaultNear = 1.0f;
    float m_defaultFar = 10000.0f;
    std::vector<VisibleObject*> m_renderList;
    ObjectLock m_objectLock;
    win32::CriticalSection m_updateLock;
    // Named objects keyed by the full 64-bit name hash, so names whose low 32 bits agree stay
    // apart.
    std::map<std::uint64_t, std::vector<SpaceObject*>> m_namedObjects;
    ModelList* m_models = nullptr;
    FxMgr* m_fx = nullptr;
    SpaceLinesList* m_lines = nullptr;
    PrimObjectList* m_prims = nullptr;
    ExtVisibleNodeList* m_nodes = nullptr;
    std::uint32_t m_loadingState = 0;
    SceneAudio m_audio;
    std::vector<ModelBase*> m_loadingModels;
    win32::CriticalSection m_loadingLock;
    std::uint32_t m_creatingThread = 0;
    std::uint32_t m_sceneId = 0;
    Light* m_mainLight = nullptr;
    int m_modelPassCount = 0;
    std::unique_ptr<BillboardBlock> m_billboards;
    OrthoLabelList m_labels;
};

}  // namespace quor::world
