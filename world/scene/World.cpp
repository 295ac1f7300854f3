#include "world/core/Memory.h"
#include "world/scene/World.h"

#include <new>

#include "platform/host/IClient.h"
#include "platform/host/ID3DDevice.h"
#include "platform/host/IOcclusion.h"
#include "platform/host/IRenderer.h"
#include "platform/host/IUtils.h"
#include "platform/host/IXmlNode.h"
#include "platform/host/Terrain.h"
#include "world/core/Align16.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/SpaceLines.h"
#include "world/core/track/TrackDataMgr.h"
#include "world/core/track/TrackRegistry.h"
#include "world/core/VisibleObject.h"
#include "world/core/XmlNodePtr.h"
#include "world/fx/FxBase.h"
#include "world/fx/FxFrameTime.h"
#include "world/fx/SharedEffects.h"
#include "world/fx/GlyphFont.h"
#include "world/fx/UpperText.h"
#include "world/mesh/MeshDataMgr.h"
#include "world/mesh/ModelBase.h"
#include "world/mesh/ModelMaterial.h"
#include "world/scene/AsyncRecords.h"
#include "world/scene/IScene.h"
#include "world/scene/LoadingScreen.h"
#include "world/scene/SceneBase.h"
#include "world/scene/SceneRegistry.h"
#include "world/skeleton/SkelAnimsDataMgr.h"

namespace quor {

namespace {
constexpr const char* kNameGroup = "world_name";
std::uint8_t g_maskMarkMode = 0;
float g_fxDivisor = 1.0f / 60.0f;
float g_particleFactor = 1.0f;
bool g_resourceCache = true;

world::UpperTextGroup* NameGroup() { return world::UpperTextMgr::Instance().FindGroup(kNameGroup); }
render::IRenderer* Renderer() { return Interfaces().renderer; }
}  // namespace

float FxDivisor() { return g_fxDivisor; }
float ParticleFactor() { return g_particleFactor; }
bool ResourceCacheEnabled() { return g_resourceCache; }
std::uint8_t MaskMarkMode() { return g_maskMarkMode; }

// --- device callback -------------------------------------------------------------------------------

void RenderDeviceCallback::OnDeviceLost() {
    world::SceneRegistry::Instance().OnLostDevice();
    if (render::IOcclusion* occlusion = Interfaces().occlusion) occlusion->OnDeviceLost();
    world::UpperTextMgr::Instance().OnDeviceLost();
}

void RenderDeviceCallback::OnDeviceReset() {
    // The scenes' answer is not passed on: occlusion and texts are told whatever it was.
    world::SceneRegistry::Instance().OnResetDevice();
    if (render::IOcclusion* occlusion = Interfaces().occlusion) occlusion->OnDeviceReset();
    world::UpperTextMgr::Instance().OnDeviceReset();
}

// --- world -----------------------------------------------------------------------------------------

World::World() { world::UpperTextMgr::Instance().CreateGroup(kNameGroup); }

World& World::Instance() {
    static World world;
    return world;
}

AsyncData* World::CreateSoundData(void* result, const char* path, int a, int b) {
    return world::AsyncLoaderRef::Instance().CreateSoundData(static_cast<client::ISound**>(result), path, a, b, 1);
}

void World::SetMaskMarkMode(std::uint8_t mode) { g_maskMarkMode = mode; }

bool World::Initialize(int fxDivisor) {
    // Nothing can be made or drawn without these: start-up fails and says what is missing.
    bool missing = false;
    if (!Interfaces().renderer) {
        LogError("World::Initialize failed: no renderer (IRenderer_1.22) was published");
        missing = true;
    }
    if (!Interfaces().d3dDevice) {
        LogError("World::Initialize failed: no device (ID3DDevice_1.1) was published");
        missing = true;
    }
    if (missing) return false;
    if (!Interfaces().asyncLoader) LogWarning("World::Initialize: no loader (IAsyncLoader_1.2); loads run at once");
    if (common::IUtils* utils = Interfaces().utils) SetUseAlignedAlloc(utils->UseAlignedAlloc());
    render::ID3DDevice* device = Interfaces().d3dDevice;
    m_device = device ? device->GetDevice() : nullptr;
    // A second Initialize without a Shutdown keeps the one registration.
    if (!m_callback) {
        m_callback = NewObject<RenderDeviceCallback>();
        if (device && m_callback) device->AddDeviceCallback(m_callback);
    }
    world::SceneRegistry::Instance();
    // The shared resources of the drawable kinds, in the order their users expect; none of
    // them fails the start-up.
    world::RegisterModelTechniqueTemplates();
    world::FxBase::CreateSharedMaterials();
    world::CreateSceneBackgroundEffect();
    world::SpaceLines::CreateSharedResource();
    world::CreatePictureMaterial();
    world::CreateMaskPictureEffect(g_maskMarkMode);
    world::CreateGrassEffect();
    world::CreateQuadBatch();
    world::CreateWaterBlockEffect();
    world::CreateElectricityEffect();
    world::CreatePlaneFogEffect();
    world::CreateBlazeEffect();
    world::CreateHardwareSkinEffect();
    SetFxDivisor(fxDivisor);
    m_initialized = true;
    return true;
}

void World::Shutdown() {
    // The loading thread draws with scenes and textures that go next.
    world::LoadingScreen::StopFor(nullptr);
    world::SceneRegistry::Instance().DeleteAll();
    // Tracks go before the cached data they play: a sampled track releases its data.
    world::TrackRegistry::GetInstance().RemoveAll();
    world::MeshDataMgr::GetInstance().Clear();
    SkelAnimsDataMgr::GetInstance().Clear();
    TrackDataMgr::GetInstance().Clear();
    // The freed vertex blocks kept for the next load go back to the system with the meshes.
    ReleaseKeptLargeBlocks();
    // Not the mirror of start-up: the order the shared users need, and the model technique
    // templates stay registered.
    world::ReleaseGrassEffect();
    world::ReleaseQuadBatch();
    world::ReleaseVegetationShared();
    world::FxBase::ReleaseSharedMaterials();
    world::ReleaseSceneBackgroundEffect();
    world::SpaceLines::ReleaseSharedResource();
    world::ReleasePictureMaterial();
    world::ReleaseMaskPictureEffect();
    world::ReleaseWaterBlockEffect();
    world::ReleaseElectricityEffect();
    world::ReleasePlaneFogEffect();
    world::ReleaseBlazeEffect();
    world::ReleaseHardwareSkinEffect();
    if (m_callback) {
        if (render::ID3DDevice* device = Interfaces().d3dDevice) device->RemoveDeviceCallback(m_callback);
        delete m_callback;
        m_callback = nullptr;
    }
    world::UpperTextMgr::Instance().DestroyGroup(kNameGroup);
    world::UpperTextMgr::Instance().Clear();
    // The glyph fonts go after the texts that hold them.
    world::GlyphFontMgr::Instance().Clear();
    // A later Initialize in the same process finds the world as at construction.
    world::UpperTextMgr::Instance().CreateGroup(kNameGroup);
    m_device = nullptr;
    m_initialized = false;
}

void World::Print2DScenes() { world::SceneRegistry::Instance().Print2DScene(); }
void World::Print3DScenes() { world::SceneRegistry::Instance().Print3DScene(); }

world::IScene* World::CreateScene(const char* fileName, int a, int b, int c) {
    if (!m_initialized) {
        LogError("CreateScene: the world is not initialized");
        return nullptr;
    }
    return world::SceneRegistry::Instance().CreateScene(fileName, a, b, c);
}

void World::DestroyScene(world::IScene* scene) { world::SceneRegistry::Instance().DeleteScene(scene); }

bool World::SetActiveScene(world::IScene* scene) {
    if (!scene && Renderer()) Renderer()->SetCurrentView(nullptr);
    if (world::UpperTextGroup* group = NameGroup()) group->ClearDrawList();
    return world::SceneRegistry::Instance().ActivateScene(scene);
}

world::IScene* World::GetCurrentScene() { return world::SceneRegistry::Instance().GetActiveScene(); }
int World::GetSceneCount() { return world::SceneRegistry::Instance().GetSceneCount(); }
world::IScene* World::GetScene(unsigned index) { return world::SceneRegistry::Instance().GetScene(index); }
void World::Reserved(int, int, int) {}

void World::SetFxDivisor(int n) {
    // 1/n for n <= 0 would make effect time stand still or run backwards.
    if (n <= 0) {
        LogWarning("SetFxDivisor(%d) ignored: the divisor must be positive", n);
        return;
    }
    g_fxDivisor = 1.0f / static_cast<float>(n);
    // Effect managers made from now on reset the effect frame time to it.
    world::SetFxFrameTimeResetValue(g_fxDivisor);
    world::SetFxFrameTime(g_fxDivisor);
}

void World::Update() {
    if (Renderer()) Renderer()->Update();
    if (world::IScene* scene = GetCurrentScene()) scene->Update();
}

void World::Render() {
    if (world::IScene* scene = GetCurrentScene()) scene->Render();
}

void World::RenderPost() {
    if (world::IScene* scene = GetCurrentScene()) scene->PrepareFrame();
}

void World::WriteMemoryReport(common::IXmlNode* node, unsigned flags) {
    if (!node) return;
    client::IClient* client = Interfaces().client;
    node->SetIntAttribute(nullptr, "mark", client ? client->GetReportMark() : 0);
    XmlNodePtr parent(node, false);
    XmlNodePtr render = parent.AddChild("Render");
    if (flags & 1) {
        world::MeshDataMgr::GetInstance().WriteMemoryReport(render.Get());
        SkelAnimsDataMgr::GetInstance().WriteMemoryReport(render.Get());
        TrackDataMgr::GetInstance().WriteMemoryReport(render.Get());
    }
    if (flags & 2) {
        if (world::IScene* scene = GetCurrentScene()) scene->WriteReport(render.Get());
    }
    if (Renderer()) Renderer()->WriteMemoryReport(render.Get());
    render.Reset();
}

world::IVisibleObject* World::AsVisibleObject(world::ISpaceObject* object) {
    auto* space = static_cast<world::SpaceObject*>(object);
    return space ? dynamic_cast<world::IVisibleObject*>(space) : nullptr;
}

world::IModel* World::AsModel(world::ISpaceObject* object) {
    auto* space = static_cast<world::SpaceObject*>(object);
    return space ? dynamic_cast<world::IModel*>(space) : nullptr;
}

world::IFxBase* World::AsFxBase(world::ISpaceObject* object) {
    auto* space = static_cast<world::SpaceObject*>(object);
    return space ? dynamic_cast<world::IFxBase*>(space) : nullptr;
}

bool World::SetResourceCacheEnabled(bool enabled) {
    const bool answer = Renderer() ? Renderer()->SetResourceCacheEnabled(enabled) : true;
    g_resourceCache = enabled;
    return answer;
}

float World::GetParticleFactor() { return g_particleFactor; }

void World::SetParticleFactor(float factor) {
    g_particleFactor = factor < 0.0f ? 0.0f : (factor > 1.0f ? 1.0f : factor);
}

void World::SetOption(int index, int value) {
    if (index >= 0 && index < 5) m_options[index] = value;
}

void World::SetModelTechniqueParams(float a, float b, float c, float d) {
    world::SetGlobalMaterialState(a, b, c, d);
    if (render::Terrain* terrain = Interfaces().terrain) terrain->Render(a, b, c, d);
}

void World::SetModelTechniqueScalar(float value) { world::SetGlobalMaterialFloat(value); }

render::IWaterTechnique* World::GetWaterTechnique(const char* name) {
    render::IRenderer* renderer = Renderer();
    if (!renderer) return nullptr;
    auto* water = dynamic_cast<render::IWaterTechnique*>(renderer->GetExtTechnique(name, 2));
    if (!water) return nullptr;
    if (render::Terrain* terrain = Interfaces().terrain) terrain->SetWaterTechnique(water->GetHandle());
    return water;
}

void World::SetNameFont(const char* face, int height, int greyscale, int extraWidth, int extraHeight,
                        int antialiased, int italic, int weight, int reserved) {
    if (world::UpperTextGroup* group = NameGroup())
        group->SetFont(face, height, greyscale, extraWidth, extraHeight, antialiased, italic, weight);
}

render::IUpperText* World::CreateNameText(const char* name) {
    world::UpperTextGroup* group = NameGroup();
    return group ? group->CreateText(name) : nullptr;
}

bool World::DestroyNameText(render::IUpperText* text) {
    world::UpperTextGroup* group = NameGroup();
    return group ? group->DestroyText(text) : false;
}

void World::ClearNameDrawList() {
    if (world::UpperTextGroup* group = NameGroup()) group->ClearDrawList();
}

bool World::IsObjectIdRegistered(unsigned id) { return world::SceneBase::IsObjectIdRegistered(id); }

void World::RenderUpperTexts() { world::UpperTextMgr::Instance().RenderAll(); }

int World::GetOption(int index) { return (index >= 0 && index < 5) ? m_options[index] : 0; }

}  // namespace quor
