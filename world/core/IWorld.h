#pragma once
#include <cstdint>

namespace quor {
class AsyncData;
}
namespace quor::common {
class IXmlNode;
}
namespace quor::render {
class IUpperText;
class IWaterTechnique;
}

namespace quor::world {

class IScene;
class ISpaceObject;
class IVisibleObject;
class IModel;
class IFxBase;

// The module's world interface, published to the host as "IWorld_1.16". The slot order
// is the contract with the host: never reorder, only the operations' bodies change.
class IWorld {
public:
    virtual AsyncData* CreateSoundData(void* result, const char* path, int a, int b) = 0;
    virtual void SetMaskMarkMode(std::uint8_t mode) = 0;
    virtual bool Initialize(int fxDivisor) = 0;
    virtual void Print2DScenes() = 0;
    virtual void Print3DScenes() = 0;
    virtual IScene* CreateScene(const char* fileName, int a, int b, int c) = 0;
    virtual void DestroyScene(IScene* scene) = 0;
    virtual bool SetActiveScene(IScene* scene) = 0;
    virtual IScene* GetCurrentScene() = 0;
    virtual int GetSceneCount() = 0;
    virtual IScene* GetScene(unsigned index) = 0;
    virtual void Reserved(int a, int b, int c) = 0;
    virtual void SetFxDivisor(int n) = 0;
    virtual void Update() = 0;
    virtual void Render() = 0;
    virtual void RenderPost() = 0;
    virtual void WriteMemoryReport(common::IXmlNode* node, unsigned flags) = 0;
    virtual IVisibleObject* AsVisibleObject(ISpaceObject* object) = 0;
    virtual IModel* AsModel(ISpaceObject* object) = 0;
    virtual IFxBase* AsFxBase(ISpaceObject* object) = 0;
    virtual bool SetResourceCacheEnabled(bool enabled) = 0;
    virtual float GetParticleFactor() = 0;
    virtual void SetParticleFactor(float factor) = 0;
    virtual void SetOption(int index, int value) = 0;
    virtual void SetModelTechniqueParams(float a, float b, float c, float d) = 0;
    virtual void SetModelTechniqueScalar(float value) = 0;
    virtual render::IWaterTechnique* GetWaterTechnique(const char* name) = 0;
    virtual void SetNameFont(const char* face, int height, int greyscale, int extraWidth, int extraHeight,
                             int antialiased, int italic, int weight, int reserved) = 0;
    virtual render::IUpperText* CreateNameText(const char* name) = 0;
    virtual bool DestroyNameText(render::IUpperText* text) = 0;
    virtual void ClearNameDrawList() = 0;
    virtual bool IsObjectIdRegistered(unsigned id) = 0;
    virtual void RenderUpperTexts() = 0;
    virtual int GetOption(int index) = 0;

protected:
    ~IWorld() = default;
};

}  // namespace quor::world
