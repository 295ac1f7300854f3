#pragma once
#include "platform/host/IDeviceCallback.h"
#include "world/core/IWorld.h"

namespace quor {

// Told by the host's device around a device loss; passes it on to the scenes, the occlusion
// service and the upper texts.
class RenderDeviceCallback final : public render::IDeviceCallback {
public:
    void OnDeviceLost() override;
    void OnDeviceReset() override;
};

// The one object the host talks to after the module entry: it sets up and tears down what the
// scenes share, forwards the host's frame to the active scene and the scene requests to the
// registry, and keeps the module-wide switches.
class World final : public world::IWorld {
public:
    static World& Instance();

    AsyncData* CreateSoundData(void* result, const char* path, int a, int b) override;
    void SetMaskMarkMode(std::uint8_t mode) override;
    bool Initialize(int fxDivisor) override;
    void Print2DScenes() override;
    void Print3DScenes() override;
    world::IScene* CreateScene(const char* fileName, int a, int b, int c) override;
    void DestroyScene(world::IScene* scene) override;
    bool SetActiveScene(world::IScene* scene) override;
    world::IScene* GetCurrentScene() override;
    int GetSceneCount() override;
    world::IScene* GetScene(unsigned index) override;
    void Reserved(int a, int b, int c) override;
    void SetFxDivisor(int n) override;
    void Update() override;
    void Render() override;
    void RenderPost() override;
    void WriteMemoryReport(common::IXmlNode* node, unsigned flags) override;
    world::IVisibleObject* AsVisibleObject(world::ISpaceObject* object) override;
    world::IModel* AsModel(world::ISpaceObject* object) override;
    world::IFxBase* AsFxBase(world::ISpaceObject* object) override;
    bool SetResourceCacheEnabled(bool enabled) override;
    float GetParticleFactor() override;
    void SetParticleFactor(float factor) override;
    void SetOption(int index, int value) override;
    void SetModelTechniqueParams(float a, float b, float c, float d) override;
    void SetModelTechniqueScalar(float value) override;
    render::IWaterTechnique* GetWaterTechnique(const char* name) override;
    void SetNameFont(const char* face, int height, int greyscale, int extraWidth, int extraHeight, int antialiased,
                     int italic, int weight, int reserved) override;
    render::IUpperText* CreateNameText(const char* name) override;
    bool DestroyNameText(render::IUpperText* text) override;
    void ClearNameDrawList() override;
    bool IsObjectIdRegistered(unsigned id) override;
    void RenderUpperTexts() override;
    int GetOption(int index) override;

    // Called by Module::Shutdown.
    void Shutdown();

    bool IsInitialized() const { return m_initialized; }
    // The raw device taken at start-up (null before).
    void* GetDevice() const { return m_device; }

private:
    World();
    ~World() = default;

    RenderDeviceCallback* m_callback = nullptr;
    int m_options[5] = {};
    bool m_initialized = false;
    void* m_device = nullptr;
};

// Module-wide values the world owns.
float FxDivisor();
float ParticleFactor();
bool ResourceCacheEnabled();
std::uint8_t MaskMarkMode();

}  // namespace quor
