#include "world/core/World.h"

#include "platform/host/IUtils.h"
#include "world/core/Align16.h"
#include "world/core/InterfaceTable.h"
#include "world/core/track/TrackDataMgr.h"
#include "world/core/track/TrackRegistry.h"
#include "world/skeleton/SkelAnimsDataMgr.h"

namespace quor {

namespace {
std::uint8_t g_maskMarkMode = 0;
float g_fxDivisor = 1.0f / 60.0f;
float g_particleFactor = 1.0f;
bool g_resourceCache = true;
}  // namespace

float FxDivisor() { return g_fxDivisor; }
float ParticleFactor() { return g_particleFactor; }
bool ResourceCacheEnabled() { return g_resourceCache; }
std::uint8_t MaskMarkMode() { return g_maskMarkMode; }

World& World::Instance() {
    static World world;
    return world;
}

AsyncData* World::CreateSoundData(void*, const char*, int, int) { return nullptr; }

void World::SetMaskMarkMode(std::uint8_t mode) { g_maskMarkMode = mode; }

bool World::Initialize(int fxDivisor) {
    if (common::IUtils* utils = Interfaces().utils) SetUseAlignedAlloc(utils->UseAlignedAlloc());
    SetFxDivisor(fxDivisor);
    m_initialized = true;
    return true;
}

void World::Print2DScenes() {}
void World::Print3DScenes() {}
world::IScene* World::CreateScene(const char*, int, int, int) { return nullptr; }
void World::DestroyScene(world::IScene*) {}
bool World::SetActiveScene(world::IScene*) { return false; }
world::IScene* World::GetCurrentScene() { return nullptr; }
int World::GetSceneCount() { return 0; }
world::IScene* World::GetScene(unsigned) { return nullptr; }
void World::Reserved(int, int, int) {}

void World::SetFxDivisor(int n) {
    // A divisor of 0 would make every effect step infinite; keep the previous one.
    if (n != 0) g_fxDivisor = 1.0f / static_cast<float>(n);
}

void World::Update() {}
void World::Render() {}
void World::RenderPost() {}
// Flag 1 adds the data caches: SkelAnimsDataMgr::GetInstance().WriteMemoryReport(node) goes
// there beside the mesh cache's report when the frame loop's report is in place.
void World::WriteMemoryReport(common::IXmlNode*, unsigned) {}
world::IVisibleObject* World::AsVisibleObject(world::ISpaceObject*) { return nullptr; }
world::IModel* World::AsModel(world::ISpaceObject*) { return nullptr; }
world::IFxBase* World::AsFxBase(world::ISpaceObject*) { return nullptr; }

bool World::SetResourceCacheEnabled(bool enabled) {
    g_resourceCache = enabled;
    return true;
}

float World::GetParticleFactor() { return g_particleFactor; }

void World::SetParticleFactor(float factor) {
    g_particleFactor = factor < 0.0f ? 0.0f : (factor > 1.0f ? 1.0f : factor);
}

void World::SetOption(int index, int value) {
    if (index >= 0 && index < 5) m_options[index] = value;
}

void World::SetModelTechniqueParams(float, float, float, float) {}
void World::SetModelTechniqueScalar(float) {}
render::IWaterTechnique* World::GetWaterTechnique(const char*) { return nullptr; }
void World::SetNameFont(const char*, int, int, int, int, int, int, int, int) {}
render::IUpperText* World::CreateNameText(const char*) { return nullptr; }
bool World::DestroyNameText(render::IUpperText*) { return false; }
void World::ClearNameDrawList() {}
bool World::IsObjectIdRegistered(unsigned) { return false; }
void World::RenderUpperTexts() {}

int World::GetOption(int index) { return (index >= 0 && index < 5) ? m_options[index] : 0; }

void World::Shutdown() {
    // Tracks go before the cached data they play: a sampled track releases its data.
    world::TrackRegistry::GetInstance().RemoveAll();
    TrackDataMgr::GetInstance().Clear();
    SkelAnimsDataMgr::GetInstance().Clear();
    m_initialized = false;
}

}  // namespace quor
