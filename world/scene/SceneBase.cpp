#include "world/core/Memory.h"
#include "world/scene/SceneBase.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/host/AsyncData.h"
#include "platform/host/IAsyncLoader.h"
#include "platform/host/IClient.h"
#include "platform/host/IEffect.h"
#include "platform/host/IRenderer.h"
#include "platform/host/IResFileSystem.h"
#include "platform/win32/Thread.h"
#include "world/core/Camera.h"
#include "world/core/ExtVisibleNode.h"
#include "world/core/InterfaceTable.h"
#include "world/core/LightList.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/Log.h"
#include "world/core/Random.h"
#include "world/core/NameHash64.h"
#include "world/core/PrimObject.h"
#include "world/core/SpaceLines.h"
#include "world/core/SpaceObject.h"
#include "world/core/VisibleObject.h"
#include "world/core/math/Frustum.h"
#include "world/fx/FxBase.h"
#include "world/fx/FxMgr.h"
#include "world/fx/GlyphFont.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/AsyncRecords.h"
#include "world/scene/ExtVisibleNodeList.h"
#include "world/scene/LoadingScreen.h"
#include "world/scene/ModelList.h"
#include "world/scene/ObjectIdMap.h"
#include "world/scene/SceneRegistry.h"
#include "world/scene/ScreenTransition.h"
#include "world/scene/SpaceLinesList.h"
#include "world/scene/Speaker.h"
#include "world/scene/World.h"

namespace quor::world {

namespace {
// The object type of effect nodes.
constexpr int kEffectType = 4;

std::uint16_t g_sceneCounter = 0;

constexpr const char* kDefaultModel = "defualt_models\\box.mom";

render::IRenderer* Renderer() { return Interfaces().renderer; }

VisibleObject* AsVisible(SpaceObject* object) {
    return object && object->IsVisibleObject() ? static_cast<VisibleObject*>(object) : nullptr;
}

ModelBase* AsModelBase(IModel* model) { return static_cast<ModelBase*>(model); }
FxBase* AsFx(IFxBase* effect) { return static_cast<FxBase*>(effect); }

}  // namespace

void SceneBase::SetSceneCounter(std::uint16_t value) { g_sceneCounter = value; }

// --- construction and destruction ----------------------------------------------------------------

SceneBase::SceneBase() {
    m_root = NewObject<SpaceObject>();
    if (!m_root) OutOfMemory(sizeof(SpaceObject));
    m_root->SetScene(this);
    m_renderList.reserve(1024);
    m_models = NewObject<ModelList>();
    m_fx = NewObject<FxMgr>();
    m_lights = NewObject<LightList>();
    m_cameras = NewObject<CameraList>();
    m_lines = NewObject<SpaceLinesList>();
    m_prims = NewObject<PrimObjectList>();
    m_nodes = NewObject<ExtVisibleNodeList>();
    if (render::IRenderer* renderer = Renderer()) m_lightState = renderer->CreateSceneLightState();
    const std::uint8_t black[4] = {0, 0, 0, 0};
    SetAmbientColor(black);
    m_sceneId = ++g_sceneCounter;
    m_creatingThread = win32::GetCurrentThreadId();
    m_audio.SetOwner(this);
    if (render::IRenderer* renderer = Renderer()) {
        int w = 0, h = 0;
        renderer->GetBackBufferSize(&w, &h);
        m_screenWidth = static_cast<float>(w);
        m_screenHeight = static_cast<float>(h);
    }
    m_billboards.reset(NewObject<BillboardBlock>());
}

void SceneBase::BeginDestroy() {
    if (m_destroyStarted) return;
    m_destroyStarted = true;
    // A loading screen drawing for this scene ends before anything of it goes.
    LoadingScreen::StopFor(this);
    // Loader threads may be running this scene's records: none may start and a running one
    // must end before any scene lock is taken or anything is freed.
    if (common::IAsyncLoader* loader = Interfaces().asyncLoader) loader->CancelOwner(this);
    m_destroying.store(true);
    while (m_rendering.load()) win32::Sleep(1);
    if (client::IClient* client = Interfaces().client) {
        for (int i = 0; i < 50 && client->GetPendingTaskCount() > 0; ++i) win32::Sleep(10);
    }
}

SceneBase::~SceneBase() {
    BeginDestroy();
    Clear();
    delete m_fx;
    delete m_models;
    delete m_lines;
    delete m_nodes;
    delete m_prims;
    delete m_lights;
    delete m_cameras;
    m_fx = nullptr;
    m_models = nullptr;
    m_lines = nullptr;
    m_nodes = nullptr;
    m_prims = nullptr;
    m_lights = nullptr;
    m_cameras = nullptr;
    if (render::IRenderer* renderer = Renderer()) {
        for (render::IPrimitive* p : m_transitionPrimitives) renderer->ReleasePrimitive(p);
        if (m_transitionTarget) renderer->ReleaseTexture(m_transitionTarget);
        if (m_transitionEffect) renderer->ReleaseEffect(m_transitionEffect);
        if (m_lightState) renderer->ReleaseSceneLightState(m_lightState);
    }
    m_transitionPrimitives.clear();
    // Models still waiting for a load that was cancelled belong to nobody else.
    std::vector<ModelBase*> loading;
    {
        win32::CriticalSectionLock lock(m_loadingLock);
        loading.swap(m_loadingModels);
    }
    for (ModelBase* model : loading) {
        UnregisterModelHandle(model);
        delete static_cast<SpaceObject*>(model);
    }
    delete m_root;
    m_root = nullptr;
}

// --- state words -----------------------------------------------------------------------------------

std::uint32_t SceneBase::GetProgress() {
    SceneRegistry::Instance().Lock();
    const std::uint32_t progress = m_loadingState;
    SceneRegistry::Instance().Unlock();
    return progress;
}

void SceneBase::SetProgress(std::uint32_t progress) {
    SceneRegistry::Instance().Lock();
    m_loadingState = progress;
    SceneRegistry::Instance().Unlock();
}

void SceneBase::SetActive(bool active) {
    const std::uint8_t value = active ? 1 : 0;
    if (value == m_active) return;
    m_active = value;
    m_lights->SetActive(active);
    m_audio.SetActive(active);
}

void SceneBase::GetDefaultZRange(float* zNear, float* zFar) {
    if (zNear) *zNear = m_defaultNear;
    if (zFar) *zFar = m_defaultFar;
}

void SceneBase::SetDefaultZRange(float zNear, float zFar) {
    m_defaultNear = zNear;
    m_defaultFar = zFar;
    if (Camera* camera = m_cameras->GetActive()) camera->SetParam4(zNear, zFar);
}

void SceneBase::SetAmbientColor(const std::uint8_t* colour) {
    if (!colour) return;
    std::memcpy(m_ambient, colour, 4);
    std::uint32_t word = 0;
    std::memcpy(&word, colour, 4);
    if (m_lightState) m_lightState->SetAmbientColour(word);
}

// --- frame -----------------------------------------------------------------------------------------

void SceneBase::PublishCamera() {
    Camera* camera = m_cameras->GetActive();
    if (!camera) return;
    const Vec3* corners = camera->GetFrustumCorners();
    if (!corners) return;
    Frustum frustum;
    for (int i = 0; i < 8; ++i) frustum.corners[i] = corners[i];
    frustum.BuildPlanes();
    VisibleObject::SetFrameFrustum(kCullPassMain, frustum);
    VisibleObject::SetFrameFrustum(kCullPassSecond, frustum);
}

void SceneBase::Update() {
    {
        win32::CriticalSectionLock update(m_updateLock);
        ObjectLockGuard objects(this);
        m_fx->AdoptBaseObjects();
    }
    if (!m_cameras->GetActive()) {
        LogWarning("No active camera specified!");
        return;
    }
    PublishCamera();
    ObjectLockGuard objects(this);
    m_fx->ResetAllParticleStats();
    UpdateWalk(m_root);
    // After the walk: an effect bound to a model follows where the model's update placed it.
    m_fx->UpdateAll();
    m_audio.Update();
    UpdateObject(m_root);
}

void SceneBase::UpdateWalk(SpaceObject* object) {
    // Indexes, not iterators: an update may hang objects elsewhere.
    for (std::size_t i = 0; i < object->Attachments().size(); ++i) UpdateWalk(object->Attachments()[i]);
    for (std::size_t i = 0; i < object->Children().size(); ++i) UpdateWalk(object->Children()[i]);
    // Effects advance in their manager's pass, detached ones included.
    if (object->GetObjectType() != kEffectType) object->Update();
}

void SceneBase::UpdateObject(SpaceObject* object) {
    if (!object) return;
    ObjectLockGuard objects(this);
    for (std::size_t i = 0; i < object->Attachments().size(); ++i) UpdateObject(object->Attachments()[i]);
    for (std::size_t i = 0; i < object->Children().size(); ++i) UpdateObject(object->Children()[i]);
    if (VisibleObject* visible = AsVisible(object)) visible->Prepare();
}

bool SceneBase::BeginFrame(bool needCamera) {
    if (m_destroying.load()) return false;
    if (needCamera && !m_cameras->GetActive()) return false;
    m_rendering.store(true);
    // The destructor may have started between the test and the flag: it waits for the flag,
    // so look again.
    if (m_destroying.load()) {
        m_rendering.store(false);
        return false;
    }
    m_objectLock.Enter();
    PublishCamera();
    return true;
}

void SceneBase::CollectFrom(SpaceObject* object) {
    if (VisibleObject* visible = AsVisible(object)) {
        if (!visible->UpdateCulling(0, kCullPassMain)) m_renderList.push_back(visible);
    }
    for (SpaceObject* a : object->Attachments()) CollectFrom(a);
    for (SpaceObject* c : object->Children()) CollectFrom(c);
}

void SceneBase::CollectVisible() {
    m_renderList.clear();
    for (SpaceObject* a : m_root->Attachments()) CollectFrom(a);
    for (SpaceObject* c : m_root->Children()) CollectFrom(c);
}

void SceneBase::PreDrawAll() {
    for (VisibleObject* v : m_renderList) v->PreDraw();
}

void SceneBase::EndFrame() {
    m_models->ClearChangedFlags();
    m_lights->ClearLightFlags();
    m_cameras->ClearChangedFlags();
    m_rendering.store(false);
    m_objectLock.Leave();
}

// --- device ----------------------------------------------------------------------------------------

bool SceneBase::OnResetDevice() {
    if (!m_models->OnDeviceReset()) return false;
    return m_fx->ForEachAfterReset();
}

void SceneBase::OnLostDevice() {
    m_models->OnDeviceLost();
    m_fx->ForEachBeforeReset();
}

// --- lists -----------------------------------------------------------------------------------------

Light* SceneBase::CreateLight(int kind) {
    Light* light = nullptr;
    {
        ObjectLockGuard objects(this);
        light = m_lights->Create(kind);
    }
    if (light) AttachObject(light);
    return light;
}

Camera* SceneBase::CreateCamera(bool makeActive) {
    Camera* camera = nullptr;
    {
        ObjectLockGuard objects(this);
        camera = m_cameras->Create();
    }
    if (!camera) return nullptr;
    camera->SetParam4(m_defaultNear, m_defaultFar);
    if (makeActive) SetActiveCamera(camera);
    AttachObject(camera);
    return camera;
}

bool SceneBase::SetActiveCamera(Camera* camera) {
    if (!camera) return false;
    return m_cameras->SetActive(camera);
}

Camera* SceneBase::GetActiveCamera() { return m_cameras->GetActive(); }
int SceneBase::GetLightCount() { return m_lights->Count(); }
Light* SceneBase::GetLight(std::uint32_t index) { return m_lights->GetAt(index); }
render::ISceneLightState* SceneBase::GetLightState() {
    return static_cast<render::ISceneLightState*>(m_lights->GetLightSet());
}
int SceneBase::GetModelCount() { return m_models->Count(); }
IModel* SceneBase::GetModel(std::uint32_t index) { return m_models->GetAt(index); }
IModel* SceneBase::FindModel(const char* name) { return m_models->FindByName(name); }
void SceneBase::GetAllModels(std::vector<IModel*>& out) { m_models->CopyAll(out); }

int SceneBase::GetLoadingModelCount() {
    win32::CriticalSectionLock lock(m_loadingLock);
    return static_cast<int>(m_loadingModels.size());
}

IModel* SceneBase::GetLoadingModel(std::uint32_t index) {
    win32::CriticalSectionLock lock(m_loadingLock);
    return index < m_loadingModels.size() ? m_loadingModels[index] : nullptr;
}

void SceneBase::RemoveLoadingModel(ModelBase* model) {
    win32::CriticalSectionLock lock(m_loadingLock);
    auto it = std::find(m_loadingModels.begin(), m_loadingModels.end(), model);
    if (it != m_loadingModels.end()) m_loadingModels.erase(it);
}

int SceneBase::GetFxCount() { return m_fx->Count(); }
IFxBase* SceneBase::GetFx(std::uint32_t index) { return m_fx->GetAt(index); }
IFxBase* SceneBase::FindFx(const char* name) { return m_fx->FindByName(name); }
void SceneBase::GetAllFx(std::vector<IFxBase*>& out) { m_fx->CopyEffects(out); }
int SceneBase::CountPlayingFx() { return m_fx->CountPlaying(); }
int SceneBase::CountChildEffects() { return m_fx->CountChildEffects(); }

int SceneBase::GetPrimObjectCount() { return m_prims->GetCount(); }
PrimObject* SceneBase::GetPrimObject(std::uint32_t index) { return m_prims->GetAt(index); }
int SceneBase::GetVisibleNodeCount() { return m_nodes->GetCount(); }

IVisibleObject* SceneBase::GetVisibleNode(std::uint32_t index) {
    ExtVisibleNode* node = m_nodes->GetAt(index);
    return node ? static_cast<IVisibleObject*>(node) : nullptr;
}

void SceneBase::AddAudioProject(const char* name) {
    if (Interfaces().audio) m_audio.AddProject(name);
}

PrimObject* SceneBase::CreatePrimObject(int kind, std::uint32_t vertexFormat, bool withMaterial) {
    PrimObject* object = nullptr;
    {
        ObjectLockGuard objects(this);
        object = m_prims->Create(kind, vertexFormat, withMaterial);
    }
    if (object) AttachObject(object);
    return object;
}

IVisibleObject* SceneBase::CreateVisibleNode(IExtVisibleHost* host) {
    // The node draws and updates through its host: without one it would call through null.
    if (!host) return nullptr;
    ExtVisibleNode* node = nullptr;
    {
        ObjectLockGuard objects(this);
        node = m_nodes->Create(host);
    }
    if (!node) return nullptr;
    AttachObject(node);
    return node;
}

ISpeaker* SceneBase::CreateSpeaker(const char* path, int type, int flag) {
    ISpeaker* speaker = m_audio.CreateSpeaker(path, type, flag);
    if (speaker) AttachObject(m_audio.SpeakerObject(speaker));
    return speaker;
}

// --- destroying and clearing -----------------------------------------------------------------------

void SceneBase::DestroyObject(ISpaceObject* face) {
    auto* object = static_cast<SpaceObject*>(face);
    if (!object) return;
    switch (object->GetObjectType()) {
        case 1:
            m_lights->Remove(object);
            LogInfo("Light is released.");
            break;
        case 2:
            m_cameras->Remove(static_cast<Camera*>(object));
            LogInfo("Camera is released.");
            break;
        case 3: {
            auto* model = static_cast<ModelBase*>(object);
            LogInfo("Releasing model %s....", model->GetMeshFileName().c_str());
            if (model->IsLoading() > 0) {
                RemoveLoadingModel(model);
                UnregisterModelHandle(model);
            }
            // Labels must not keep pointing at a released model.
            m_labels.RemoveModelLabels(model);
            model->RemoveFromScene(this);
            m_models->Remove(model);
            LogInfo("Model is released.");
            break;
        }
        case 4: {
            auto* effect = static_cast<FxBase*>(object);
            std::string file;
            effect->GetFileName(file);
            LogInfo("Releasing fx %s....", file.c_str());
            if (effect->GetPendingLoads() > 0) {
                LogInfo("Releasing fx %s....this fx is not loaded yet!", file.c_str());
                effect->CancelPendingLoads();
            }
            m_fx->RemoveEffect(effect);
            LogInfo("Fx is released.");
            break;
        }
        case 5:
            m_lines->Remove(static_cast<SpaceLines*>(object));
            LogInfo("Space-lines is released.");
            break;
        case 6:
            m_prims->Remove(static_cast<PrimObject*>(object));
            LogInfo("Primitives is released.");
            break;
        case 7:
            m_audio.DeleteSpeaker(static_cast<Speaker*>(object));
            LogInfo("Speaker is released.");
            break;
        case 9:
            m_audio.DeleteReverb(static_cast<AreaReverb*>(object));
            LogInfo("Area-reverb is released.");
            break;
        case 16:
            m_nodes->Remove(static_cast<ExtVisibleNode*>(object));
            LogInfo("External visible-object is released.");
            break;
        default:
            break;
    }
}

void SceneBase::DetachTree(SpaceObject* object) {
    if (!object) return;
    ObjectLockGuard objects(this);
    object->ForgetTree();
}

void SceneBase::Clear() {
    // Models whose loads the caller cancelled would wait on the loading list for ever: they go
    // now, before the object lock (a load still running takes it and is waited for).
    std::vector<ModelBase*> loading;
    {
        win32::CriticalSectionLock lock(m_loadingLock);
        loading.swap(m_loadingModels);
    }
    for (ModelBase* model : loading) {
        UnregisterModelHandle(model);
        // A load that was running has placed it in the tree: the lists below take it.
        if (model->Parent()) continue;
        delete static_cast<SpaceObject*>(model);
    }
    // Before the object lock: the loading thread takes it to draw.
    LoadingScreen::StopFor(this);
    LoadingScreen::ReleasePictures();
    ObjectLockGuard objects(this);
    if (!m_root) return;
    m_namedObjects.clear();
    DetachTree(m_root);
    m_fx->ReleaseAll();
    m_labels.Clear();
    m_models->Clear();
    m_lines->Clear();
    m_nodes->Clear();
    m_prims->Clear();
    m_lights->Clear();
    m_cameras->Clear();
    m_renderList.clear();
    m_audio.Clear();
    const std::uint8_t black[4] = {0, 0, 0, 0};
    SetAmbientColor(black);
    m_defaultNear = 1.0f;
    m_defaultFar = 10000.0f;
    if (m_textFont) m_textFont->Release();
    m_textFont = nullptr;
}

void SceneBase::BeginLoadingScreen(bool showWord) { LoadingScreen::Begin(*this, showWord); }

void SceneBase::AddLoadingProgress(int amount, int status) { LoadingScreen::AddProgress(amount, status); }

void SceneBase::EndLoadingScreen() { LoadingScreen::End(*this); }

bool SceneBase::IsLoadingScreenOn() {
    ObjectLockGuard objects(this);
    return LoadingScreen::IsOn();
}

GlyphFont* SceneBase::EnsureTextFont() {
    // "SimSun" in the code page of the face names.
    if (!m_textFont) m_textFont = GlyphFontMgr::Instance().GetFont("\xCB\xCE\xCC\xE5", 17, 1, 0, 0, 1, 0, 0);
    return m_textFont;
}

int SceneBase::StartTransition(int mode) {
    SetState(1);
    if (mode == -1) mode = Rand() % m_transitionModeCount + 1;
    render::IRenderer* renderer = Renderer();
    if (renderer) {
        int w = 0, h = 0;
        renderer->GetBackBufferSize(&w, &h);
        m_screenWidth = float(w);
        m_screenHeight = float(h);
    }
    if (!m_transition) m_transition.reset(NewObject<ScreenTransition>());
    if (m_transition) {
        m_transition->SetUp(mode, m_screenWidth, m_screenHeight);
        m_transitionMode = m_transition->Mode();
    }
    if (!renderer) return 1;
    if (!m_transitionTarget) m_transitionTarget = renderer->CreateTexture(1024, 768, 0, 0, 1, 0);
    // The last picture of the screen is what the parts wipe away.
    if (m_transitionTarget) renderer->CaptureScreen(m_transitionTarget);
    for (render::IPrimitive* p : m_transitionPrimitives) renderer->ReleasePrimitive(p);
    m_transitionPrimitives.clear();
    const float none[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const float noneTexture[4] = {0.0f, 0.0f, 1.0f, 0.0f};
    for (int i = 0; i < 40; ++i) {
        render::IPrimitive* p = renderer->CreatePrimitive(7, 324);
        if (!p) continue;
        p->SetVertexCount(1, -1, 0, 1);
        p->DrawEx(0, none, 0, noneTexture);
        if (m_transitionTarget) p->SetTexture(0, m_transitionTarget);
        p->SetEffect(m_transitionEffect);
        m_transitionPrimitives.push_back(p);
    }
    return 1;
}

void SceneBase::SetTransitionSpeed(float speed) {
    if (speed > 0.0f) m_transitionSpeed = speed;
}

void SceneBase::DrawTransition() {
    if (!m_transition || m_transition->Mode() == 0) {
        SetState(0);
        return;
    }
    render::IEffectStateGroup* depth = m_transitionEffect ? m_transitionEffect->GetDepthStencilState() : nullptr;
    if (depth) depth->SetState(0, 0, 0);
    const int state = m_transition->Step(float(GetFrameMilliseconds()), m_transitionSpeed,
                                         [this](int part, const float rect[4], const float textureRect[4]) {
                                             if (part >= int(m_transitionPrimitives.size())) return;
                                             m_transitionPrimitives[part]->DrawEx(0, rect, 0, textureRect);
                                             m_transitionPrimitives[part]->Draw(-1, -1, 0);
                                         });
    if (depth) depth->SetState(0, 1, 0);
    m_transitionMode = m_transition->Mode();
    if (state >= 0) SetState(state);
}

void SceneBase::DrawText(int, int, float r, float g, float b, float a, const char* text) {
    // The glyph fonts' batch is shared with the loading thread's flush.
    ObjectLockGuard objects(this);
    if (!m_textFont) return;
    const std::uint32_t width = m_textFont->MeasureText(text);
    if (render::IRenderer* renderer = Renderer()) renderer->GetBackBufferSize(&m_backBufferWidth, &m_backBufferHeight);
    const float colour[4] = {r, g, b, a};
    const float outline[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    m_textFont->DrawText(float((m_backBufferWidth - std::int32_t(width)) / 2), float(m_backBufferHeight - 90), colour,
                         text, false, outline, true);
}

// --- attaching and releasing -----------------------------------------------------------------------

void SceneBase::AttachObject(SpaceObject* object) {
    if (!object) return;
    {
        ObjectLockGuard objects(this);
        object->SetScene(this);
        object->SetRootNode(m_root);
    }
    ObjectIdMap::Instance().Insert(object->GetId(), object);
}

void SceneBase::UnregisterObjectId(std::uint32_t id) { ObjectIdMap::Instance().Erase(id); }

bool SceneBase::IsObjectIdRegistered(std::uint32_t id) { return ObjectIdMap::Instance().Contains(id); }

void SceneBase::RemoveFromRenderList(SpaceObject* object) {
    VisibleObject* visible = AsVisible(object);
    if (!visible) return;
    auto it = std::find(m_renderList.begin(), m_renderList.end(), visible);
    if (it != m_renderList.end()) m_renderList.erase(it);
}

bool SceneBase::ReleaseLoadingModel(SpaceObject* object) {
    auto listed = [&]() -> ModelBase* {
        win32::CriticalSectionLock lock(m_loadingLock);
        for (ModelBase* model : m_loadingModels)
            if (static_cast<SpaceObject*>(model) == object) return model;
        return nullptr;
    };
    ModelBase* model = listed();
    if (!model) return false;
    // Outside the object lock: a load already running takes it to attach the model, and is
    // waited for here; a queued one is cancelled.
    UnregisterModelHandle(model);
    {
        win32::CriticalSectionLock lock(m_loadingLock);
        auto it = std::find(m_loadingModels.begin(), m_loadingModels.end(), model);
        // Loaded meanwhile: it is in the tree now and goes the ordinary way.
        if (it == m_loadingModels.end()) return false;
        m_loadingModels.erase(it);
    }
    LogInfo("Releasing model %s before its load....", model->GetMeshFileName().c_str());
    delete static_cast<SpaceObject*>(model);
    return true;
}

bool SceneBase::ReleaseObject(ISpaceObject* face, bool withChildren) {
    auto* object = static_cast<SpaceObject*>(face);
    if (!object) return false;
    // A model still waiting for its load is not in the tree: it never comes back.
    if (ReleaseLoadingModel(object)) return true;
    ObjectLockGuard objects(this);
    // Refuse before anything changes: a natural child, or an object outside this tree, keeps
    // its identifier and its place.
    if (object->IsAttachment()) {
        LogInfo("Can't delete natural child object. It'll be deleted when parent deleted.");
        return false;
    }
    if (!object->Parent() || object == m_root || !object->IsDescendantOf(m_root)) return false;
    RemoveFromRenderList(object);
    UnregisterObjectId(object->GetId());
    Reserved186();
    const int kind = object->GetObjectType();
    if (kind == 3 || kind == 4) {
        for (auto& entry : m_namedObjects) {
            auto it = std::find(entry.second.begin(), entry.second.end(), object);
            if (it != entry.second.end()) entry.second.erase(it);
        }
    }
    LogInfo("Releasing node%s....", withChildren ? " with children" : "");
    ReleaseSubtree(object, withChildren);
    LogInfo("Releasing done.");
    return true;
}

void SceneBase::ReleaseSubtree(SpaceObject* object, bool withChildren) {
    SpaceObject* parent = object->Parent();
    if (parent && parent != m_root) parent->DropBoundObject(object);
    while (!object->Attachments().empty()) {
        SpaceObject* attachment = object->Attachments().back();
        object->RemoveAttachment(attachment, false);
        ReleaseSubtree(attachment, true);
        LogInfo("---- A natural child.");
    }
    if (withChildren) {
        while (!object->Children().empty()) ReleaseSubtree(object->Children().back(), true);
    }
    RemoveFromRenderList(object);
    DestroyObject(object);
}

void SceneBase::ReleaseAttachments(SpaceObject* object) {
    if (!object) return;
    ObjectLockGuard objects(this);
    while (!object->Attachments().empty()) {
        SpaceObject* attachment = object->Attachments().back();
        object->RemoveAttachment(attachment, false);
        ReleaseSubtree(attachment, true);
    }
}

void SceneBase::CreatePictureEffect() {
    render::IRenderer* renderer = Renderer();
    if (!renderer) return;
    if (m_transitionEffect) renderer->ReleaseEffect(m_transitionEffect);
    if (m_transitionTarget) renderer->ReleaseTexture(m_transitionTarget);
    m_transitionEffect = renderer->CreateEffect();
    if (render::IEffect* e = m_transitionEffect) {
        e->SetTechniqueName("Picture");
        e->GetDepthStencilState()->SetState(3, 0, 0);
        e->GetRasterState()->SetState(1, 3, 0);
        e->GetTextureStageState()->SetState(0, 0, 2);
        e->GetTextureStageState()->SetState(2, 0, 3);
        e->GetTextureStageState()->SetState(1, 0, 2);
        e->GetTextureStageState()->SetState(3, 0, 3);
        e->GetBlendState()->SetState(2, 1, 0);
        e->GetSamplerState(0)->SetState(2, 3, 0);
        e->GetSamplerState(0)->SetState(1, 3, 0);
    }
    m_transitionTarget = renderer->CreateTexture(1024, 768, 0, 0, 1, 0);
}

bool SceneBase::ReleaseObjectById(std::uint32_t id, bool withChildren) {
    // Object lock first, then the identifier map's: the order every other path takes.
    ObjectLockGuard objects(this);
    win32::CriticalSectionLock ids(ObjectIdMap::Instance().Lock());
    SpaceObject* object = ObjectIdMap::Instance().Find(id);
    if (!object) {
        LogWarning("Scene Release Object[%u] has aready deleted!", id);
        return false;
    }
    return ReleaseObject(object, withChildren);
}

// --- named objects ---------------------------------------------------------------------------------

void SceneBase::RemoveNamedObject(const SpaceObject* object) {
    for (auto& entry : m_namedObjects) {
        std::vector<SpaceObject*>& objects = entry.second;
        objects.erase(std::remove(objects.begin(), objects.end(), object), objects.end());
    }
}

const std::vector<SpaceObject*>* SceneBase::FindNamed(const char* name) const {
    if (!name) return nullptr;
    auto it = m_namedObjects.find(NameHash64(name));
    return it == m_namedObjects.end() ? nullptr : &it->second;
}

int SceneBase::AddNamedObject(IVisibleObject* visible, const char* name) {
    if (!visible || !name) return 0;
    VisibleObject* object = visible->GetObject();
    if (!object) return 0;
    std::vector<SpaceObject*>& list = m_namedObjects[NameHash64(name)];
    list.push_back(object);
    return static_cast<int>(list.size());
}

int SceneBase::CountNamedObjects(const char* name) {
    const std::vector<SpaceObject*>* list = FindNamed(name);
    return list ? static_cast<int>(list->size()) : 0;
}

int SceneBase::GetNamedModels(IModel** out, const char* name) {
    const std::vector<SpaceObject*>* list = FindNamed(name);
    if (!list || !out) return 0;
    int n = 0;
    for (SpaceObject* o : *list)
        if (o->GetObjectType() == 3) out[n++] = static_cast<ModelBase*>(o);
    return n;
}

int SceneBase::GetNamedKind4Objects(IFxBase** out, const char* name) {
    const std::vector<SpaceObject*>* list = FindNamed(name);
    if (!list || !out) return 0;
    int n = 0;
    for (SpaceObject* o : *list)
        if (o->GetObjectType() == 4) out[n++] = static_cast<FxBase*>(o);
    return n;
}

std::vector<ModelBase*> SceneBase::NamedModels(const char* name) {
    std::vector<ModelBase*> out;
    if (const std::vector<SpaceObject*>* list = FindNamed(name))
        for (SpaceObject* o : *list)
            if (o->GetObjectType() == 3) out.push_back(static_cast<ModelBase*>(o));
    return out;
}

// --- picking ---------------------------------------------------------------------------------------

IModel* SceneBase::PickModel(const float* screenPoint, Vec3* hit, int, const char* name) {
    Camera* camera = m_cameras->GetActive();
    if (!camera) {
        LogWarning("Pick model when no camera created!");
        return nullptr;
    }
    Ray ray;
    camera->ScreenPointToRay(screenPoint ? screenPoint[0] : 0.0f, ray, screenPoint ? screenPoint[1] : 0.0f);
    std::vector<ModelBase*> filter;
    if (name) filter = NamedModels(name);
    float t = 1.0f;
    ModelBase* model = m_models->PickNearest(ray, &t, nullptr, name ? &filter : nullptr);
    if (model && hit) *hit = ray.origin + ray.direction * t;
    return model;
}

int SceneBase::PickModelsAt(const float* screenPoint, IModel** models, float* ts, int room, int,
                            const char* name) {
    Camera* camera = m_cameras->GetActive();
    if (!camera) {
        LogWarning("Pick model when no camera created!");
        return 0;
    }
    Ray ray;
    camera->ScreenPointToRay(screenPoint ? screenPoint[0] : 0.0f, ray, screenPoint ? screenPoint[1] : 0.0f);
    std::vector<ModelBase*> filter;
    if (name) filter = NamedModels(name);
    std::vector<ModelBase*> found(room > 0 ? static_cast<std::size_t>(room) : 0);
    const int n = m_models->PickAllAt(found.data(), ts, room, ray, name ? &filter : nullptr);
    for (int i = 0; i < n && models; ++i) models[i] = found[static_cast<std::size_t>(i)];
    return n;
}

IModel* SceneBase::PickModelByRay(const Ray& ray, float* t, int, const char* name) {
    std::vector<ModelBase*> filter;
    if (name) filter = NamedModels(name);
    return m_models->PickNearest(ray, t, nullptr, name ? &filter : nullptr);
}

void SceneBase::PickModelsByRay(const void* query, PickCallback callback, int flags, const char* name,
                                void* user) {
    std::vector<ModelBase*> filter;
    if (name) filter = NamedModels(name);
    m_models->PickAll(query, callback, flags, name ? &filter : nullptr, user);
}

const float* SceneBase::GetLastPickPoint() { return ModelList::GetLastPickPoint(); }
const void* SceneBase::GetLastPickDetail(void* out) { return ModelList::GetLastPickDetail(out); }

// --- billboards ------------------------------------------------------------------------------------

void SceneBase::UpdateBillboards() {
    Camera* camera = m_cameras->GetActive();
    if (!camera) return;
    m_billboards->Prepare(*camera);
    for (VisibleObject* v : m_renderList) m_billboards->Turn(*v, v->GetUserInt2());
}

void SceneBase::UpdateBillboard(SpaceObject* object) {
    VisibleObject* visible = AsVisible(object);
    if (visible) m_billboards->Turn(*visible, visible->GetUserInt2());
}

// --- models and effects ----------------------------------------------------------------------------

IModel* SceneBase::CreateModel(const char* path, int flags, int asyncValue, AsyncData** out) {
    if (!path || !*path) {
        LogInfo("No model file specified!");
        return nullptr;
    }
    ModelSkeletal* model = CreateModelSkeletal();
    if (!model) {
        LogError("Failed to create empty model!");
        return nullptr;
    }
    // Set before any load, so that a loader thread publishes the mesh under this scene's lock.
    model->SetOwnerScene(this);
    World& world = World::Instance();
    model->SetLoadOption(static_cast<std::int32_t>(GetProgress()) > 0 ? world.GetOption(1) : world.GetOption(2));
    if (asyncValue != 0) {
        LogInfo("SceneBase::CreateModel %d", GetSceneId());
        AsyncData* record = nullptr;
        {
            win32::CriticalSectionLock lock(m_loadingLock);
            m_loadingModels.push_back(model);
            record = AsyncLoaderRef::Instance().CreateModelData(this, model, path, static_cast<std::uint32_t>(flags),
                                                                asyncValue);
        }
        if (!record) {
            // The path was refused: the load can never run.
            RemoveLoadingModel(model);
            delete static_cast<SpaceObject*>(model);
            return nullptr;
        }
        if (out)
            *out = record;
        else
            record->Submit();
        return model;
    }
    if (LoadModelFile(model, path, flags)) return model;
    char box[1024] = {};
    common::IResFileSystem* files = Interfaces().resFileSystem;
    if (files && files->ResolvePath(box, sizeof(box), "\\defualt_models\\box.mom") &&
        LoadModelFile(model, box, flags))
        return model;
    delete static_cast<SpaceObject*>(model);
    return nullptr;
}

IModel* SceneBase::LoadModelFile(IModel* face, const char* path, int flags) {
    ModelBase* model = AsModelBase(face);
    if (!model) return nullptr;
    model->SetLoading(1);
    if (!m_models->LoadModel(model, path, flags)) {
        LogError("加载模型文件 %s 失败！", path ? path : "");
        if (!m_models->LoadModel(model, kDefaultModel, flags)) {
            model->SetLoading(-1);
            LogError("加载默认模型文件 %s 失败！", kDefaultModel);
            // A failed model must not stay listed as loading.
            RemoveLoadingModel(model);
            return nullptr;
        }
    }
    RemoveLoadingModel(model);
    AttachObject(model);
    model->AttachToScene(this);
    OnModelLoaded(model);
    model->ApplyAddedMesh();
    model->PlaySkeletalAnimation(0, -1.0f, 0, 0.0f, 2, 1.0f);
    model->SetLoading(0);
    return model;
}

void SceneBase::AdoptFailedModel(ModelBase* model) {
    if (!model) return;
    RemoveLoadingModel(model);
    m_models->Add(model);
    AttachObject(model);
}

IFxBase* SceneBase::CreateFx(const char* path, int flags, bool async, AsyncData** out, int value) {
    if (!path || !*path) return nullptr;
    if (async) {
        auto* effect = NewObject<FxBase>();
        if (!effect) return nullptr;
        std::string file = path;
        if (file.find(".emf") == std::string::npos) file += ".emf";
        AsyncData* record = nullptr;
        {
            win32::CriticalSectionLock lock(m_loadingLock);
            record = AsyncLoaderRef::Instance().CreateFxData(this, effect, file.c_str(),
                                                             static_cast<std::uint32_t>(flags), value);
        }
        if (!record) {
            delete effect;
            return nullptr;
        }
        if (out)
            *out = record;
        else
            record->Submit();
        return effect;
    }
    FxBase* effect = m_fx->LoadEffectFile(path, static_cast<std::uint32_t>(flags));
    if (!effect) return nullptr;
    effect->SetPendingLoads(0);
    AddEffect(effect);
    return effect;
}

IFxBase* SceneBase::LoadFxFile(IFxBase* face, const char* path, int value) {
    FxBase* effect = AsFx(face);
    if (effect)
        m_fx->LoadEffectFileInto(effect, path, static_cast<std::uint32_t>(value));
    else
        effect = m_fx->LoadEffectFile("sfx/mode/common/bagua.emf", static_cast<std::uint32_t>(value));
    AddEffect(effect);
    return effect;
}

void SceneBase::AddEffect(IFxBase* face) {
    FxBase* effect = AsFx(face);
    if (!effect) return;
    effect->SetScene(this);
    if (win32::GetCurrentThreadId() != m_creatingThread && GetProgress() == 0) {
        // The scene is live and drawing on the main thread: the effect joins at the next Update.
        ObjectLockGuard objects(this);
        effect->SetRootNode(m_root);
        m_fx->AddBaseObject(effect);
    } else {
        m_fx->AddObject(effect);
        ObjectLockGuard objects(this);
        effect->SetRootNode(m_root);
    }
    ObjectIdMap::Instance().Insert(effect->GetId(), effect);
}

SpaceObject* SceneBase::CreateObjectByFileName(const char* path) {
    if (!path || !*path) return nullptr;
    const char* dot = std::strrchr(path, '.');
    if (!dot) return nullptr;
    const std::string ext = dot;
    if (ext == ".mom") {
        IModel* model = CreateModel(path, 1, 0, nullptr);
        return model ? model->GetSpaceObject(0) : nullptr;
    }
    if (ext == ".fx" || ext == ".sfx" || ext == ".emf") {
        IFxBase* effect = CreateFx(path, 2, false, nullptr, 1);
        return effect ? effect->GetSpaceObject(0) : nullptr;
    }
    if (ext.compare(0, 4, ".fev") == 0) {
        const char* colon = std::strchr(path, ':');
        if (!colon) return nullptr;
        AddAudioProject(std::string(path, colon).c_str());
        ISpeaker* speaker = CreateSpeaker(colon + 1, 8, 0);
        return speaker ? m_audio.SpeakerObject(speaker) : nullptr;
    }
    if (ext == ".mp3" || ext == ".ogg" || ext == ".wav" || ext == ".wma") {
        ISpeaker* speaker = CreateSpeaker(path, 10, 1);
        return speaker ? m_audio.SpeakerObject(speaker) : nullptr;
    }
    return nullptr;
}

void SceneBase::OnModelLoaded(IModel* face) {
    ModelBase* model = AsModelBase(face);
    if (!model) return;
    model->leadingFlag = 0;
    const std::string file = model->GetMeshFileName().c_str();
    for (int socket = 0; socket < model->GetSocketCount(); ++socket) {
        const std::vector<std::string>* list = model->GetSocketObjectList(socket);
        if (!list) continue;
        const std::vector<std::string> names = *list;
        int n = 0;
        for (const std::string& name : names) {
            if (name.empty() || name.find('.') == std::string::npos) continue;
            SpaceObject* object = CreateObjectByFileName(name.c_str());
            if (!object) {
                LogError("Failed to create natural child object %s on model %s!", name.c_str(), file.c_str());
                continue;
            }
            {
                ObjectLockGuard objects(this);
                model->BindAttachmentToSocket(object, socket, 0, false, std::uint16_t(n));
            }
            ++n;
            LogInfo("Model %s adds natural child object %s on socket %d. obj_idx = %d", file.c_str(), name.c_str(),
                    socket, n);
        }
    }
}

void SceneBase::CloneObject(ISpaceObject* face) {
    auto* object = static_cast<SpaceObject*>(face);
    if (!object || object->GetObjectType() != 3) return;
    auto* source = static_cast<ModelBase*>(object);
    ModelBase* copy = source->IsSkeletal() ? static_cast<ModelBase*>(NewObject<ModelSkeletal>())
                                           : static_cast<ModelBase*>(NewObject<Model>());
    if (!copy) return;
    copy->SetOwnerScene(this);
    copy->CopyFrom(source);
    m_models->Add(copy);
    AttachObject(copy);
    OnModelLoaded(copy);
    copy->RegisterSceneDecals(this);
}

void SceneBase::MoveObjectToScene(IVisibleObject* visible, IScene* targetFace) {
    if (!visible || !targetFace || targetFace == this) return;
    VisibleObject* object = visible->GetObject();
    if (!object || !object->Parent() || !object->IsDescendantOf(m_root)) return;
    auto* target = static_cast<SceneBase*>(targetFace);
    switch (object->GetObjectType()) {
        case 3: {
            auto* model = static_cast<ModelBase*>(object);
            m_models->Move(model, *target->m_models);
            model->RemoveFromScene(this);
            model->AttachToScene(target);
            break;
        }
        case 4:
            m_fx->DetachEffect(static_cast<FxBase*>(object), *target->m_fx);
            break;
        case 6:
            m_prims->MoveTo(static_cast<PrimObject*>(object), *target->m_prims);
            break;
        default:
            break;
    }
    {
        ObjectLockGuard objects(this);
        RemoveFromRenderList(object);
    }
    target->AttachObject(object);
}

}  // namespace quor::world
