#include "world/scene/Scene3D.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/d3d9/Device.h"
#include "platform/host/IAsyncLoader.h"
#include "platform/host/IClient.h"
#include "platform/host/ID3DDevice.h"
#include "platform/host/IDecal.h"
#include "platform/host/IEffect.h"
#include "platform/host/IOcclusion.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderCamera.h"
#include "platform/host/IRenderView.h"
#include "platform/host/IRenderer.h"
#include "platform/host/IResFileSystem.h"
#include "platform/host/IXmlNode.h"
#include "platform/host/TerrainObject.h"
#include "world/core/Camera.h"
#include "world/core/InterfaceTable.h"
#include "world/core/LightList.h"
#include "world/core/LodGroup.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/NameHash64.h"
#include "world/core/PrimObject.h"
#include "world/core/SpaceLines.h"
#include "world/core/VisibleObject.h"
#include "world/core/XmlNodePtr.h"
#include "world/core/track/TrackBase.h"
#include "world/core/track/TrackRegistry.h"
#include "world/fx/SharedEffects.h"
#include "world/fx/FxMgr.h"
#include "world/fx/UpperText.h"
#include "world/mesh/MeshBase.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/AsyncRecords.h"
#include "world/scene/DecalMgr.h"
#include "world/scene/ModelList.h"
#include "world/scene/SceneFileReader.h"
#include "world/scene/SceneRegistry.h"
#include "world/scene/SkyObject.h"
#include "world/scene/SpaceLinesList.h"
#include "world/scene/World.h"

namespace quor::world {

namespace {

render::IRenderer* Renderer() { return Interfaces().renderer; }

render::IEffect* g_backgroundEffect = nullptr;

constexpr std::uint32_t kScreenVertexFormat = 0x144;

void CopyLimited(char* out, std::size_t size, const char* text, std::size_t limit) {
    std::memset(out, 0, size);
    if (!text) return;
    const std::size_t n = std::min(std::strlen(text), std::min(limit, size - 1));
    std::memcpy(out, text, n);
}

// Draws the part when its draw pass is the asked one (1: transparent).
void DrawPartIfPass(VisibleObject* object, std::uint32_t part, int pass) {
    if (object->GetPartDrawPass(static_cast<int>(part)) == pass) object->DrawPart(static_cast<int>(part));
}

bool IsSceneObjectType(VisibleObject* object) {
    const int type = object->GetObjectType();
    return type == 3 || type == 4 || type == 8;
}

d3d9::IDirect3DDevice9* Device() {
    render::ID3DDevice* device = Interfaces().d3dDevice;
    return device ? static_cast<d3d9::IDirect3DDevice9*>(device->GetDevice()) : nullptr;
}

}  // namespace

SceneLayer SceneLayer::Make(std::int32_t id, const char* name, const char* path) {
    SceneLayer layer;
    layer.id = id;
    CopyLimited(layer.name, kNameSize, name, 256);
    CopyLimited(layer.path, kPathSize, path, 256);
    return layer;
}

namespace {

// The depth as an unsigned key in the same order (negative values inverted, positive ones
// with the sign bit set).
std::uint32_t DepthKey(float depth) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &depth, 4);
    return (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
}

// Ascending depth. Large lists go through a byte-wise radix sort (one counting pass, then one
// scatter per byte that is not the same in every key), small ones through std::sort.
void SortByDepth(std::vector<SortedPart>& parts) {
    const std::size_t n = parts.size();
    if (n < 64) {
        std::sort(parts.begin(), parts.end(), [](const SortedPart& a, const SortedPart& b) { return a.depth < b.depth; });
        return;
    }
    // Kept between frames, as the list itself is.
    thread_local std::vector<SortedPart> scratch;
    thread_local std::vector<std::uint32_t> keys, scratchKeys;
    scratch.resize(n);
    keys.resize(n);
    scratchKeys.resize(n);
    std::uint32_t counts[4][256] = {};
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t k = DepthKey(parts[i].depth);
        keys[i] = k;
        ++counts[0][k & 0xFF];
        ++counts[1][(k >> 8) & 0xFF];
        ++counts[2][(k >> 16) & 0xFF];
        ++counts[3][k >> 24];
    }
    SortedPart* from = parts.data();
    SortedPart* to = scratch.data();
    std::uint32_t* keyFrom = keys.data();
    std::uint32_t* keyTo = scratchKeys.data();
    for (int pass = 0; pass < 4; ++pass) {
        const int shift = pass * 8;
        if (counts[pass][(keyFrom[0] >> shift) & 0xFF] == n) continue;  // one value: nothing moves
        std::uint32_t offset[256];
        std::uint32_t sum = 0;
        for (int b = 0; b < 256; ++b) {
            offset[b] = sum;
            sum += counts[pass][b];
        }
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t slot = offset[(keyFrom[i] >> shift) & 0xFF]++;
            to[slot] = from[i];
            keyTo[slot] = keyFrom[i];
        }
        std::swap(from, to);
        std::swap(keyFrom, keyTo);
    }
    if (from != parts.data()) std::copy(from, from + n, parts.data());
}

}  // namespace

void BuildSortedParts(const std::vector<VisibleObject*>& objects, const Vec3& eye, const Vec3& d,
                      std::vector<SortedPart>& out) {
    out.clear();
    for (VisibleObject* object : objects) {
        if (!object->GetDrawPass()) continue;
        const int parts = object->GetPartCount();
        for (int i = 0; i < parts; ++i) {
            if (!object->GetPartDrawPass(i)) continue;
            const Vec3 c = object->GetPartCenter(i, 1);
            const float depth = (c.x - eye.x) * d.x + (c.y - eye.y) * d.y + (c.z - eye.z) * d.z;
            out.push_back(SortedPart{object, static_cast<std::uint32_t>(i), depth});
        }
    }
    SortByDepth(out);
}

// --- the process-wide background effect ----------------------------------------------------------

void Scene3D::CreateBackgroundEffect() {
    render::IRenderer* renderer = Renderer();
    if (!renderer || g_backgroundEffect) return;
    render::IEffect* effect = renderer->CreateEffect();
    if (!effect) return;
    effect->SetTechniqueName("SceneBackground");
    effect->GetDepthStencilState()->SetState(3, 0, 0);
    effect->GetTextureStageState()->SetState(0, 0, 2);
    // The stage operations carry three values; the group takes the last two.
    effect->GetTextureStageState()->SetState(2, 0, 3);
    effect->GetSamplerState(0)->SetState(2, 3, 0);
    effect->GetSamplerState(0)->SetState(1, 3, 0);
    g_backgroundEffect = effect;
}

void Scene3D::ReleaseBackgroundEffect() {
    if (!g_backgroundEffect) return;
    if (render::IRenderer* renderer = Renderer()) renderer->ReleaseEffect(g_backgroundEffect);
    g_backgroundEffect = nullptr;
}

render::IEffect* Scene3D::GetBackgroundEffect() { return g_backgroundEffect; }

void CreateSceneBackgroundEffect() { Scene3D::CreateBackgroundEffect(); }
void ReleaseSceneBackgroundEffect() { Scene3D::ReleaseBackgroundEffect(); }

// --- construction and destruction ----------------------------------------------------------------

Scene3D::Scene3D() {
    m_sortedParts.reserve(256);
    m_bsp = NewObject<BSPTree>();
    m_decals = NewObject<DecalMgr>();
    ResetFog();
    ResetLayers();
    render::IRenderer* renderer = Renderer();
    if (renderer) {
        m_screenPrimitive = renderer->CreatePrimitive(7, kScreenVertexFormat);
        if (m_screenPrimitive) m_screenPrimitive->SetVertexCount(1, -1, 0, 1);
    }
    m_sceneType = kType;
    if (renderer) m_screenEffect = renderer->CreateEffect();
    if (render::IEffect* e = m_screenEffect) {
        e->SetTechniqueName("full screen tech");
        e->GetDepthStencilState()->SetState(3, 1, 0);
        e->GetBlendState()->SetState(6, 1, 0);
        e->GetBlendState()->SetState(7, 1, 0);
        e->GetBlendState()->SetState(5, 7, 0);
        e->GetRasterState()->SetState(1, 3, 0);
        e->GetTextureStageState()->SetState(0, 0, 2);
        e->GetTextureStageState()->SetState(2, 0, 3);
        e->GetTextureStageState()->SetState(1, 0, 2);
        e->GetTextureStageState()->SetState(3, 0, 3);
        e->GetBlendState()->SetState(2, 1, 0);
        e->GetDepthStencilState()->SetState(5, 8, 0);
        e->GetDepthStencilState()->SetState(8, 3, 0);
        e->GetDepthStencilState()->SetState(10, 0, 0);
        e->GetDepthStencilState()->SetState(9, 0x10, 0);
        e->GetDepthStencilState()->SetState(11, -1, 0);
        e->GetSamplerState(0)->SetState(2, 3, 0);
        e->GetSamplerState(0)->SetState(1, 3, 0);
    }
    if (m_screenPrimitive) {
        m_screenPrimitive->SetEffect(m_screenEffect);
        m_screenPrimitive->Commit();
    }
    m_screenImageOn = 0;
    m_screenImageHasTexture = 0;
    m_grass = NewObject<GrassMgr>();
    if (!m_bsp || !m_decals || !m_grass) OutOfMemory(sizeof(GrassMgr));
}

Scene3D::~Scene3D() {
    BeginDestroy();
    CancelLoads();
    SceneBase::Clear();
    // The base's clear detached the tree: the skies can go.
    for (SkyObject* sky : m_skies) delete sky;
    m_skies.clear();
    ClearOwnParts();
    delete m_decals;
    m_decals = nullptr;
    delete m_bsp;
    m_bsp = nullptr;
    if (render::IRenderer* renderer = Renderer()) {
        if (m_screenPrimitive) renderer->ReleasePrimitive(m_screenPrimitive);
        if (m_screenEffect) renderer->ReleaseEffect(m_screenEffect);
    }
    m_screenPrimitive = nullptr;
    m_screenEffect = nullptr;
    ClearCrossTextures();
    m_grass->Clear();
    delete m_grass;
    m_grass = nullptr;
}

void Scene3D::ResetFog() {
    const std::uint8_t white[4] = {0xFF, 0xFF, 0xFF, 0x00};
    SetFog(1, 1, white, 0.0f, 0.0f, 0.0f);
}

void Scene3D::ResetLayers() {
    m_layers.clear();
    m_layers.push_back(SceneLayer::Make(0, "Main", ""));
}

void Scene3D::CancelLoads() {
    if (client::IClient* client = Interfaces().client) client->CancelAsyncRequests(this);
    if (common::IAsyncLoader* loader = Interfaces().asyncLoader) loader->CancelOwner(this);
}

void Scene3D::Clear() {
    CancelLoads();
    // The base's objects go too (models, lights, cameras, effects, lines, names, the font);
    // then the skies, which the base's clear detached from the tree.
    SceneBase::Clear();
    for (SkyObject* sky : m_skies) delete sky;
    m_skies.clear();
    ClearOwnParts();
}

void Scene3D::ClearOwnParts() {
    LogInfo("Cleaning scene: %s", m_layers.empty() ? "" : m_layers[0].path);
    if (m_bsp) {
        m_bsp->Clear();
        // The owner is the terrain released below: the next owner sweep must not reach it.
        m_bsp->SetOwner(nullptr);
    }
    for (LodGroup* group : m_lodGroups) delete group;
    m_lodGroups.clear();
    render::IRenderer* renderer = Renderer();
    if (renderer) {
        if (m_background.texture) renderer->ReleaseTexture(m_background.texture);
        if (m_background.primitive) renderer->ReleasePrimitive(m_background.primitive);
    }
    m_background.texture = nullptr;
    m_background.primitive = nullptr;
    // Back to the state after construction: no background named either.
    m_background.textureName[0] = 0;
    if (m_decals) m_decals->Clear();
    m_sortedParts.clear();
    m_tickObjects.clear();
    if (m_terrain) m_terrain->Release();
    m_terrain = nullptr;
    for (TrackBase* track : m_tracks) TrackRegistry::GetInstance().RemoveTrack(track);
    m_tracks.clear();
    m_presetCameras.clear();
    if (renderer) {
        for (auto& entry : m_renderViews) renderer->ReleaseRenderView(entry.second);
    }
    m_renderViews.clear();
    ResetFog();
    ResetLayers();
}

// --- creation and loading ------------------------------------------------------------------------

bool Scene3D::Create(const char* fileName, int asyncRequest, int, int) {
    if (fileName) SetFileName(fileName);
    CreatePictureEffect();
    SetTransitionSpeed(500.0f);
    if (asyncRequest == 0) return Load(fileName);
    // The registry tries the ".s3d" name before the ".scn" one and moves on only when Create
    // answers false: a file that is not there has to say so now, not later on the loader.
    common::IResFileSystem* files = Interfaces().resFileSystem;
    common::IResFile* file = files && fileName ? files->OpenFile(fileName, 0) : nullptr;
    if (!file) {
        if (IsMissingFileExpected())
            LogInfo("Scene file %s is not found!", fileName ? fileName : "");
        else
            LogError("Scene file %s is not found!", fileName ? fileName : "");
        SetProgress(0xFFFFFFFFu);
        return false;
    }
    file->Close();
    SetProgress(0x10000);
    SceneData* record = AsyncLoaderRef::Instance().CreateSceneData(this, fileName, asyncRequest);
    if (!record) {
        SetProgress(0xFFFFFFFFu);
        return false;
    }
    record->Submit();
    return true;
}

bool Scene3D::Load(const char* path) {
    if (m_layers.empty()) m_layers.push_back(SceneLayer::Make(0, "Main", ""));
    CopyLimited(m_layers[0].path, SceneLayer::kPathSize, path, 256);
    SceneFileReader reader;
    if (!reader.Load(this, 0)) return false;
    {
        // The loader's thread: the main thread's update walks the same speakers.
        ObjectLockGuard objects(this);
        Audio().StartSpeakers();
    }
    SetModelsFromFile(GetModelCount());
    return true;
}

const SceneLayer* Scene3D::GetLayer(int index) const {
    return index >= 0 && index < GetLayerCount() ? &m_layers[static_cast<std::size_t>(index)] : nullptr;
}

int Scene3D::AddLayer(const SceneLayer& layer) {
    m_layers.push_back(layer);
    return GetLayerCount() - 1;
}

bool Scene3D::AddPresetCamera(const char* name, const Matrix& transform) {
    if (!name || !*name) return false;
    const auto key = static_cast<std::int32_t>(static_cast<std::uint32_t>(NameHash64(name)));
    if (m_presetCameras.count(key)) return false;
    PresetCamera& camera = m_presetCameras[key];
    CopyLimited(camera.name, sizeof(camera.name), name, sizeof(camera.name) - 1);
    camera.transform = transform;
    return true;
}

bool Scene3D::GetPresetCamera(const char* name, Matrix* out) {
    if (!name) return false;
    const auto key = static_cast<std::int32_t>(static_cast<std::uint32_t>(NameHash64(name)));
    auto it = m_presetCameras.find(key);
    if (it == m_presetCameras.end()) return false;
    if (out) *out = it->second.transform;
    return true;
}

// --- frame ---------------------------------------------------------------------------------------

void Scene3D::Update() {
    SceneBase::Update();
    for (std::size_t i = 0; i < m_tickObjects.size(); ++i) m_tickObjects[i]->Update();
    // Without a camera no level can be chosen: the groups keep their levels.
    Camera* camera = GetActiveCamera();
    if (!camera) return;
    for (LodGroup* group : m_lodGroups) group->Update(camera);
}

void Scene3D::RebuildSortedParts(Camera* camera) {
    Vec3 eye;
    camera->GetWorldPosition(eye);
    // The forward axis of the camera's world transform.
    const Matrix& world = camera->GetWorldMatrix();
    const Vec3 d{world.m[8], world.m[9], world.m[10]};
    BuildSortedParts(RenderList(), eye, d, m_sortedParts);
}

render::IRenderView* Scene3D::ViewFor(Camera* camera) {
    auto it = m_renderViews.find(camera);
    if (it != m_renderViews.end()) return it->second;
    render::IRenderer* renderer = Renderer();
    render::IRenderView* view = renderer ? renderer->CreateRenderView(true) : nullptr;
    if (!view) return nullptr;
    view->SetLights(Lights()->LightSet(), LightStateOfScene());
    m_renderViews[camera] = view;
    return view;
}

void Scene3D::ReleaseRenderView(Camera* camera) {
    auto it = m_renderViews.find(camera);
    if (it == m_renderViews.end()) return;
    if (render::IRenderer* renderer = Renderer()) renderer->ReleaseRenderView(it->second);
    m_renderViews.erase(it);
}

void Scene3D::DrawOpaque(bool sceneObjectsOnly) {
    for (VisibleObject* object : RenderList()) {
        if (object->GetCulledResult(kCullPassMain) != 0) continue;
        if (sceneObjectsOnly && !IsSceneObjectType(object)) continue;
        object->DrawParts(0);
    }
    Models().DrawGroups();
}

void Scene3D::DrawTransparent(bool sceneObjectsOnly) {
    for (const SortedPart& entry : m_sortedParts) {
        if (sceneObjectsOnly && !IsSceneObjectType(entry.object)) continue;
        DrawPartIfPass(entry.object, entry.part, 1);
    }
}

void Scene3D::TerrainPassHook() {
    if (m_terrain) m_terrain->RenderPass();
}

void Scene3D::WaterPass() {
    render::IRenderer* renderer = Renderer();
    auto* water = dynamic_cast<render::IWaterTechnique*>(renderer->GetExtTechnique("<AdvancedWater>", 1));
    if (!water || water->GetPassCount() == 0) return;
    render::IRenderView* targets[2] = {water->GetReflectionView(), water->GetRefractionView()};
    for (render::IRenderView* target : targets) {
        if (!target) continue;
        target->SetLights(Lights()->LightSet(), LightStateOfScene());
        renderer->SetCurrentView(target);
        TerrainPassHook();
        DrawOpaque(true);
        DrawTransparent(true);
    }
}

void Scene3D::DepthPass() {
    render::IRenderer* renderer = Renderer();
    auto* depth = dynamic_cast<render::IDepthTechnique*>(renderer->GetExtTechnique("<Depth>", 1));
    if (!depth) return;
    renderer->SetCurrentView(depth->Begin());
    TerrainPassHook();
    DrawOpaque(false);
    DrawTransparent(false);
}

void Scene3D::Render() {
    // Nothing while the scene is being destroyed or without a camera: the frame bracket then
    // neither sets the rendering flag nor takes the lock.
    if (!BeginFrame(true)) return;
    Camera* camera = GetActiveCamera();
    render::IRenderer* renderer = Renderer();
    if (IsActive()) {
        if (render::IOcclusion* occlusion = Interfaces().occlusion) {
            render::ID3DDevice* device = Interfaces().d3dDevice;
            occlusion->Initialize(Interfaces().world, device ? device->GetDevice() : nullptr);
        }
    }
    CollectVisible();
    UpdateBillboards();
    RebuildSortedParts(camera);
    PreDrawAll();
    if (!renderer) {
        EndFrame();
        return;
    }
    if (render::IRenderView* view = ViewFor(camera)) {
        renderer->SetCurrentView(view);
        view->SetCamera(camera->GetRenderCamera());
        view->Clear();
    }
    if (m_screenImageOn && m_screenImageHasTexture && m_screenPrimitive) m_screenPrimitive->Draw(-1, -1, 0);
    DrawOpaque(false);
    for (std::size_t i = 0; i < m_tickObjects.size(); ++i) m_tickObjects[i]->Render();
    if (m_background.texture && m_background.primitive) m_background.primitive->Draw(-1, -1, 0);
    Models().DrawPasses(GetLightCount(), GetModelPassCount() != 0);
    Models().PrepareOutlines();
    m_decals->Build(RenderList(), m_terrain);
    m_decals->Render();
    PrepareFrame();
    DrawTransparent(false);
    if (!m_screenImageOn) UpperTextMgr::Instance().RenderAll();
    Labels().RenderAll(camera);
    LineObjects().Render();
    PrimObjects().DrawVisible();
    WaterPass();
    DepthPass();
    DrawTransition();
    if (render::IRenderCamera* rc = camera->GetRenderCamera()) {
        Vec3 eye;
        camera->GetWorldPosition(eye);
        m_grass->SetEyePosition(eye);
        Matrix view, projection, product;
        std::memcpy(view.m, rc->GetViewMatrix(), sizeof(view.m));
        std::memcpy(projection.m, rc->GetProjectionMatrix(), sizeof(projection.m));
        MatrixMultiplyFast(view, projection, product);
        m_grass->Render(product);
    }
    EndFrame();
}

void Scene3D::PrepareFrame() {
    Camera* camera = GetActiveCamera();
    if (camera && camera->GetRenderCamera()) {
        if (d3d9::IDirect3DDevice9* device = Device()) {
            device->SetTransform(d3d9::D3DTS_VIEW, camera->GetRenderCamera()->GetViewMatrix());
            device->SetTransform(d3d9::D3DTS_PROJECTION, camera->GetRenderCamera()->GetProjectionMatrix());
        }
    }
    for (auto& entry : m_crossTextures) {
        entry.second->Update(0.03125f);
        if (entry.second->GetCountedDraw())
            entry.second->DrawCount();
        else
            entry.second->Draw();
    }
}

// --- screen image and background -----------------------------------------------------------------

void Scene3D::SetScreenImage(bool on, render::ITexture* texture, const float* position) {
    m_screenImageOn = on ? 1 : 0;
    if (!on) return;
    if (!texture || !m_screenPrimitive) {
        m_screenImageHasTexture = 0;
        return;
    }
    const float x = position ? position[0] : 0.0f;
    const float y = position ? position[1] : 0.0f;
    std::uint32_t tw = 0, th = 0;
    texture->GetSize(&tw, &th);
    const float w = static_cast<float>(tw);
    const float h = static_cast<float>(th);
    const float rect[4] = {x, y, x + w, y + h};
    const float uv[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    m_screenPrimitive->DrawEx(0, rect, 0, uv);
    m_screenPrimitive->SetTexture(0, texture);
    m_screenImageHasTexture = 1;
}

bool Scene3D::SetBackground(const char* file) {
    render::IRenderer* renderer = Renderer();
    if (m_background.texture && renderer) renderer->ReleaseTexture(m_background.texture);
    m_background.texture = nullptr;
    if (!file || !*file) {
        m_background.textureName[0] = 0;
        return true;
    }
    CopyLimited(m_background.textureName, BackgroundQuad::kNameSize, file, BackgroundQuad::kNameSize - 1);
    if (!renderer) return false;
    m_background.texture = renderer->LoadTexture(m_background.textureName, 0, 0, -3, 0, 0, 1);
    if (!m_background.texture) {
        LogInfo("贴图 %s 不存在 或 使用了中文路径，导致贴图加载失败！", m_background.textureName);
        m_background.texture = renderer->CreateTexture(256, 256, 0, 0, 1, 0);
        return false;
    }
    if (!m_background.primitive) {
        m_background.primitive = renderer->CreatePrimitive(5, kScreenVertexFormat);
        if (!m_background.primitive) {
            LogError("Can't create bg primitives!");
            return false;
        }
        m_background.primitive->SetVertexCount(2, 4, 1, 0);
        m_background.primitive->SetEffect(g_backgroundEffect);
        if (render::IVertexBuffer* buffer = m_background.primitive->GetVertexBuffer()) buffer->SetPrimitiveType(0x20);
        BuildBackgroundQuad();
    }
    m_background.primitive->SetTexture(0, m_background.texture);
    return true;
}

void Scene3D::BuildBackgroundQuad() {
    render::IPrimitive* primitive = m_background.primitive;
    if (!primitive) return;
    float w = 0.0f, h = 0.0f;
    if (d3d9::IDirect3DDevice9* device = Device()) {
        const d3d9::D3DPRESENT_PARAMETERS& p = device->GetPresentParameters();
        w = static_cast<float>(p.BackBufferWidth);
        h = static_cast<float>(p.BackBufferHeight);
    } else if (render::IRenderer* renderer = Renderer()) {
        int iw = 0, ih = 0;
        renderer->GetBackBufferSize(&iw, &ih);
        w = static_cast<float>(iw);
        h = static_cast<float>(ih);
    }
    struct Corner {
        float x, y, u, v;
    };
    const Corner corners[4] = {{w, -0.5f, 1, 0}, {w, h, 1, 1}, {-0.5f, -0.5f, 0, 0}, {-0.5f, h, 0, 1}};
    for (int i = 0; i < 4; ++i) {
        const float position[3] = {corners[i].x, corners[i].y, 1.0f};
        primitive->SetVertexUV(i, position, corners[i].u, corners[i].v, 0xFFFFFFFFu);
    }
    // The vertices written so far go up at once.
    primitive->Commit();
}

// --- device --------------------------------------------------------------------------------------

void Scene3D::SetActive(bool active) {
    ObjectLockGuard objects(this);
    SceneBase::SetActive(active);
}

bool Scene3D::OnResetDevice() {
    const bool ok = SceneBase::OnResetDevice();
    if (ok) {
        BuildBackgroundQuad();
        for (ITickObject* tick : m_tickObjects) tick->OnResetDevice();
    }
    return ok;
}

void Scene3D::OnLostDevice() {
    SceneBase::OnLostDevice();
    for (ITickObject* tick : m_tickObjects) tick->OnLostDevice();
}

// --- objects -------------------------------------------------------------------------------------

IModel* Scene3D::CreateModelFromData(void* data, int) {
    if (!data) return nullptr;
    auto* source = static_cast<ModelBase*>(static_cast<IModel*>(data));
    ModelBase* model = source->IsSkeletal() ? static_cast<ModelBase*>(NewObject<ModelSkeletal>())
                                            : static_cast<ModelBase*>(NewObject<Model>());
    if (!model) return nullptr;
    model->SetOwnerScene(this);
    model->CopyFrom(source);
    Models().Add(model);
    AttachObject(model);
    OnModelLoaded(model);
    return model;
}

bool Scene3D::ChangeModelFile(IModel* face, const char* path) {
    auto* model = static_cast<ModelBase*>(face);
    if (!model || !path) return false;
    // The model's copies are the listed models that share its mesh; they take the new one too.
    std::vector<ModelBase*> copies;
    if (MeshBase* old = model->GetMesh()) {
        std::vector<IModel*> listed;
        Models().CopyAll(listed);
        for (IModel* other : listed) {
            auto* copy = static_cast<ModelBase*>(other);
            if (copy != model && copy->GetMesh() == old) copies.push_back(copy);
        }
    }
    // Change first: a failed change keeps the model's mesh, place and natural children.
    if (!model->ChangeMeshFile(path)) return false;
    ReleaseAttachments(model);
    OnModelLoaded(model);
    for (ModelBase* copy : copies) {
        ReleaseAttachments(copy);
        copy->CopyFrom(model);
        OnModelLoaded(copy);
    }
    return true;
}

ISpaceLines* Scene3D::CreateSpaceLines(int kind, bool vertexColours, std::uint32_t colour) {
    SpaceLines* lines = nullptr;
    {
        ObjectLockGuard objects(this);
        lines = LineObjects().Create(kind, vertexColours, colour);
    }
    if (!lines) return nullptr;
    AttachObject(lines);
    return lines;
}

ISkyObject* Scene3D::CreateSkyObject(const char* fileName) {
    SkyObject* sky = NewObject<SkyObject>();
    if (!sky) return nullptr;
    if (!sky->LoadMesh(fileName)) {
        delete sky;
        return nullptr;
    }
    AttachObject(sky);
    {
        ObjectLockGuard objects(this);
        m_skies.push_back(sky);
    }
    return sky;
}

void Scene3D::OnModelLoaded(IModel* face) {
    SceneBase::OnModelLoaded(face);
    auto* model = static_cast<ModelBase*>(face);
    if (!model || !IsActive()) return;
    if (MeshBase* mesh = model->GetMesh()) mesh->AddOccluder(model, model->GetWorldMatrix());
}

void Scene3D::DestroyObject(ISpaceObject* face) {
    auto* object = static_cast<SpaceObject*>(face);
    // A camera's render view goes with it.
    if (object && object->GetObjectType() == 2) ReleaseRenderView(static_cast<Camera*>(object));
    if (object && object->GetObjectType() == 8) {
        auto it = std::find(m_skies.begin(), m_skies.end(), static_cast<SkyObject*>(object));
        if (it != m_skies.end()) {
            m_skies.erase(it);
            delete static_cast<SkyObject*>(object);
        }
        return;
    }
    SceneBase::DestroyObject(face);
}

// --- tick objects --------------------------------------------------------------------------------

void Scene3D::AddTickObject(ITickObject* object) {
    if (!object) return;
    if (std::find(m_tickObjects.begin(), m_tickObjects.end(), object) != m_tickObjects.end()) return;
    m_tickObjects.push_back(object);
    object->SetScene(static_cast<IScene*>(this));
}

bool Scene3D::RemoveTickObject(ITickObject* object) {
    auto it = std::find(m_tickObjects.begin(), m_tickObjects.end(), object);
    if (it == m_tickObjects.end()) return false;
    m_tickObjects.erase(it);
    return true;
}

void* Scene3D::GetTerrain() { return m_terrain; }

// --- tracks --------------------------------------------------------------------------------------

ITrack* Scene3D::CreateTrack(int kind, const void* templateRecord) {
    TrackBase* track = TrackRegistry::GetInstance().AddTrack(templateRecord, static_cast<std::uint32_t>(kind));
    if (track) m_tracks.push_back(track);
    return track;
}

ITrack* Scene3D::LoadTrack(const char* path) {
    TrackBase* track = TrackRegistry::GetInstance().LoadTrackFile(path);
    if (track) m_tracks.push_back(track);
    return track;
}

void Scene3D::ReleaseTrack(ITrack* face) {
    auto* track = static_cast<TrackBase*>(face);
    if (!track) return;
    TrackRegistry::GetInstance().RemoveTrack(track);
    auto it = std::find(m_tracks.begin(), m_tracks.end(), track);
    if (it != m_tracks.end()) m_tracks.erase(it);
}

int Scene3D::GetTrackCount() { return static_cast<int>(m_tracks.size()); }

ITrack* Scene3D::GetTrack(std::uint32_t index) { return index < m_tracks.size() ? m_tracks[index] : nullptr; }

ITrack* Scene3D::FindTrack(const char* name) {
    if (!name) return nullptr;
    for (TrackBase* track : m_tracks) {
        const char* own = track->GetName();
        if (own && std::strcmp(own, name) == 0) return track;
    }
    return nullptr;
}

// --- LOD groups and lights -----------------------------------------------------------------------

ILodGroup* Scene3D::CreateLodGroup() {
    LodGroup* group = NewObject<LodGroup>(this);
    if (!group) return nullptr;
    m_lodGroups.push_back(group);
    return group;
}

void Scene3D::RemoveLodGroup(ILodGroup* face) {
    auto it = std::find(m_lodGroups.begin(), m_lodGroups.end(), static_cast<LodGroup*>(face));
    if (it == m_lodGroups.end()) return;
    delete *it;
    m_lodGroups.erase(it);
}

int Scene3D::GetLodGroupCount() { return static_cast<int>(m_lodGroups.size()); }

ILodGroup* Scene3D::GetLodGroup(std::uint32_t index) { return GetLodGroupObject(index); }

LodGroup* Scene3D::GetLodGroupObject(std::uint32_t index) const {
    return index < m_lodGroups.size() ? m_lodGroups[index] : nullptr;
}

void Scene3D::UpdateLights(float time) {
    m_lightTime = time;
    Lights()->Update(time);
}

// --- fog -----------------------------------------------------------------------------------------

void Scene3D::SetFogParams(const FogRecord& fog) {
    m_fog = fog;
    if (render::ISceneLightState* state = LightStateOfScene())
        state->SetFog(m_fog.mode, m_fog.type, m_fog.colour, m_fog.start, m_fog.end, m_fog.density, 0);
}

void Scene3D::SetFog(int type, int mode, const std::uint8_t* colour, float start, float end, float density) {
    FogRecord fog;
    fog.type = type;
    fog.mode = mode;
    if (colour) std::memcpy(fog.colour, colour, 4);
    fog.start = start;
    fog.end = end;
    fog.density = density;
    SetFogParams(fog);
}

void Scene3D::GetFogParams(FogRecord* out) {
    if (out) *out = m_fog;
}

// --- grass --------------------------------------------------------------------------------------

bool Scene3D::AddGrass(const char* name, char* outName, int x, int y, int z, int height, int, bool sway, float swayX,
                       float swayZ, float swaySpeed, std::uint32_t colour) {
    if (!sway) swayX = swayZ = swaySpeed = 0.0f;
    Grass* patch = m_grass->CreateGrass(name, height, 2, static_cast<int>(swayX), static_cast<int>(swayZ), swaySpeed,
                                        colour);
    // No patch, nothing to place or name.
    if (!patch) return false;
    patch->SetPosition(Vec3{0.0f, 0.0f, 0.0f});
    if (outName) CopyLimited(outName, 260, patch->GetName().c_str(), 259);
    patch->SetPosition(Vec3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
    if (sway) patch->SetWind(static_cast<int>(swayX), static_cast<int>(swayZ), swaySpeed);
    return true;
}

void Scene3D::RemoveGrass(const char* name) { m_grass->RemoveGrass(name); }
int Scene3D::GetGrassCount() { return static_cast<int>(m_grass->Patches().size()); }

const char* Scene3D::GetGrassName(int index) {
    const std::vector<Grass*>& patches = m_grass->Patches();
    if (index < 0 || static_cast<std::size_t>(index) >= patches.size()) return nullptr;
    return patches[static_cast<std::size_t>(index)]->GetName().c_str();
}

void Scene3D::SetGrassParams(std::uint8_t enabled, std::int32_t start, std::int32_t end, float red, float green,
                             float blue, float alpha) {
    m_grass->SetFog(enabled != 0, start, end);
    const float colour[4] = {red, green, blue, alpha};
    m_grass->SetFogColour(colour);
    m_grass->ApplyFog(true);
}

// --- crossed-quad textures -----------------------------------------------------------------------

CrossTexture* Scene3D::FindCrossTexture(const char* name) {
    if (!name) return nullptr;
    auto it = m_crossTextures.find(name);
    return it == m_crossTextures.end() ? nullptr : it->second;
}

void* Scene3D::CreateCrossTexture(const char* name, int crossCount, const float* records, int count) {
    if (!name) return nullptr;
    auto* texture = new (std::nothrow) CrossTexture;
    if (!texture) return nullptr;
    // A refused set of records leaves the batch empty (logged): it draws nothing.
    texture->Init(crossCount, records, count);
    auto it = m_crossTextures.find(name);
    if (it != m_crossTextures.end()) {
        delete it->second;
        it->second = texture;
    } else {
        m_crossTextures.emplace(name, texture);
    }
    return texture;
}

void Scene3D::LoadCrossTextureImage(const char* name, const char* image) {
    if (CrossTexture* texture = FindCrossTexture(name)) texture->LoadTexture(image);
}

void Scene3D::RemoveCrossTexture(std::string name) {
    auto it = m_crossTextures.find(name);
    if (it == m_crossTextures.end()) return;
    delete it->second;
    m_crossTextures.erase(it);
}

void Scene3D::ClearCrossTextures() {
    for (auto& entry : m_crossTextures) delete entry.second;
    m_crossTextures.clear();
}

void Scene3D::SetCrossTextureWave(const char* name, float valueA, float valueB, float effectA, float effectB,
                                  float rand, int on) {
    CrossTexture* texture = FindCrossTexture(name);
    if (!texture) return;
    texture->SetWaveValue(valueA, valueB);
    texture->SetWaveEffect(effectA, effectB);
    texture->SetWaveRand(rand);
    texture->SetWave(on != 0);
}

void Scene3D::GetCrossTextureWave(const char* name, float* valueA, float* valueB, float* effectA, float* effectB,
                                  float* rand, bool* on) {
    CrossTexture* texture = FindCrossTexture(name);
    if (!texture) return;
    texture->GetWaveValue(valueA, valueB);
    texture->GetWaveEffect(effectA, effectB);
    if (rand) *rand = texture->GetWaveRand();
    if (on) *on = texture->GetWave();
}

void Scene3D::SetCrossTextureFlag(const char* name, bool flag) {
    if (CrossTexture* texture = FindCrossTexture(name)) texture->SetCountedDraw(flag);
}

void Scene3D::GetCrossTextureNames(std::vector<std::string>& out) {
    for (auto& entry : m_crossTextures) out.push_back(entry.first);
}

// --- decals --------------------------------------------------------------------------------------

void* Scene3D::AddDecal(const char* texture, const Vec3* position, float size) {
    // The scene's form becomes the renderer's description; without a texture there is none.
    if (!texture) return nullptr;
    render::DecalDescription description;
    description.texture = texture;
    if (position) {
        description.position[0] = position->x;
        description.position[1] = position->y;
        description.position[2] = position->z;
    }
    description.size = size;
    return m_decals->AddDecal(&description, nullptr);
}
void Scene3D::RemoveDecal(void* decal) { m_decals->RemoveDecal(static_cast<render::IDecal*>(decal)); }
void Scene3D::EnableDecals(bool enable) {
    if (m_decals) m_decals->SetProjectOntoModels(enable);
}
// Models hand over their shadow decal, a skin buffer of the decal kind: the manager keeps its
// renderer decal face, and a buffer without one is refused (the manager takes no null decal).
void Scene3D::AddModelDecal(void* decal, IVisibleObject* object) {
    m_decals->AddModelDecal(render::DecalOfSkinBuffer(decal), nullptr, object ? object->GetObject() : nullptr);
}
void Scene3D::RemoveModelDecals(void* decal) {
    if (render::IDecal* face = render::DecalOfSkinBuffer(decal)) m_decals->RemoveDecal(face);
}

// --- report --------------------------------------------------------------------------------------

void Scene3D::WriteReport(common::IXmlNode* node) {
    if (!node) return;
    XmlNodePtr child(node->AddChildElement("Scene3D"));
    if (!child) return;
    child->SetIntAttribute(nullptr, "id", static_cast<std::uint16_t>(GetSceneId()));
    child->SetIntAttribute(nullptr, "is_active", IsActive() ? 1 : 0);
    Effects().DumpProperties(child.Get());
}

}  // namespace quor::world
