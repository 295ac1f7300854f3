#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "world/core/VisibleObject.h"

namespace quor::world {

class ObjectOwner;
class SceneBase;

// Stand-in for the models of the mesh code: only the members the scenes call, each answering
// as a model without mesh does (loads fail, no sockets, no hit, device reset false). The mesh
// and model issue replaces these bodies; the scene code calls nothing else.
class IModel {
public:
    // Above 0 while any file of the model is still being loaded.
    virtual int IsLoading() = 0;
    virtual int GetSocketCount() = 0;
    virtual std::vector<std::string> GetSocketObjectList(int socket) = 0;
    virtual const std::string& GetMeshFileName(std::string& out) = 0;
    virtual int IsSkeletal() = 0;
    virtual bool IntersectRay(const Ray& ray, float* t, std::uint32_t* detailA, std::uint32_t* detailB) = 0;
    virtual bool ContainsPoint(const void* query, int flags) = 0;
    virtual SpaceObject* GetSpaceObject(int flag) = 0;
    virtual IVisibleObject* GetVisibleObject() = 0;
    virtual bool PlaySkeletalAnimation(int index, float a, int b, float c, int d, float e) = 0;

protected:
    ~IModel() = default;
};

class ModelBase : public VisibleObject, public IModel {
public:
    ModelBase() = default;
    ~ModelBase() override = default;

    int GetObjectType() override { return 3; }

    int IsLoading() override { return m_loading.load(); }
    int GetSocketCount() override { return 0; }
    std::vector<std::string> GetSocketObjectList(int) override { return {}; }
    const std::string& GetMeshFileName(std::string& out) override { return out = m_meshFile; }
    int IsSkeletal() override { return 0; }
    bool IntersectRay(const Ray&, float*, std::uint32_t*, std::uint32_t*) override { return false; }
    bool ContainsPoint(const void*, int) override { return false; }
    SpaceObject* GetSpaceObject(int) override { return this; }
    IVisibleObject* GetVisibleObject() override { return this; }
    bool PlaySkeletalAnimation(int, float, int, float, int, float) override { return false; }

    void SetLoadOption(int value) { m_loadOption = value; }
    int GetLoadOption() const { return m_loadOption; }
    // Loader threads write it while the main thread reads it.
    void SetLoading(int value) { m_loading.store(value); }
    // The work of the extra-mesh and material records.
    bool AddMeshFileNow(const char*) { return false; }
    bool LoadMaterialFileNow(const char*) { return false; }
    void ApplyAddedMesh() {}
    void BindAttachmentToSocket(SpaceObject*, int, int, int, int) {}
    void CopyFrom(ModelBase& source) { m_meshFile = source.m_meshFile; }
    void RegisterSceneDecals(SceneBase*) {}
    void RemoveFromScene(SceneBase*) {}
    virtual bool OnDeviceReset() { return false; }
    virtual void OnDeviceLost() {}
    static bool IsVertexColorEnabled(ModelBase* model) { return model && model->m_pickable; }
    void GetSubMeshBounds(void*, std::uint32_t, std::uint32_t, const float*) {}

    // Fields the scenes and the model list read.
    std::uint8_t leadingFlag = 0;
    std::uint8_t hidden = 0;
    std::uint8_t inGroup = 0;
    std::uint8_t planeShadow[2] = {0, 0};
    int shadowMode = 0;

protected:
    std::string m_meshFile;
    std::atomic<int> m_loading{0};
    int m_loadOption = 0;
    // Takes part in picking (the model's vertex-colour test).
    bool m_pickable = false;
};

class Model : public ModelBase {};
class ModelSkeletal : public ModelBase {
public:
    int IsSkeletal() override { return 1; }
    // The work of the animation record.
    bool LoadAnimationFileNow(const char*) { return false; }
};

// A new empty skeletal model, null when allocation fails.
ModelSkeletal* CreateModelSkeletal();
// Loads a model file into the model; false when missing or unreadable.
bool CreateModelForFileEx(ModelBase* model, const char* path, int flags);
// Drops a model's outstanding load requests.
void UnregisterModelHandle(ModelBase* model);
void CreateOutlineTechnique(ModelBase* model);
void CreateShadowOnPlaneTechnique(ModelBase* model, int pass);
void CreateShadowVolumeTechnique(ModelBase* model);

}  // namespace quor::world
