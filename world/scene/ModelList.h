#pragma once
#include <cstdint>
#include <vector>

#include "platform/win32/CriticalSection.h"
#include "world/core/math/Geometry.h"
#include "world/core/math/Vector.h"

namespace quor::world {

class IModel;
class ModelBase;

// The models drawn together as one group.
struct ModelGroup {
    std::vector<ModelBase*> models;
};

// The process-wide record of the last pick, shared by every scene.
struct LastPick {
    ModelBase* model = nullptr;
    Ray ray;
    float t = 1.0f;
    std::uint32_t detailA = 0;
    std::uint32_t detailB = 0;
    Vec3 hitPoint;
};

// A scene's models. Models are added on loader threads while the main thread draws, so every
// list of every scene shares one process-wide bookkeeping lock (taken after a scene's object
// lock where both are held).
class ModelList {
public:
    ModelList();
    ~ModelList();
    ModelList(const ModelList&) = delete;
    ModelList& operator=(const ModelList&) = delete;

    static win32::CriticalSection& BookkeepingLock();
    // The last pick (read under the bookkeeping lock).
    static LastPick GetLastPick();
    // For tests: forget the last pick.
    static void ResetLastPick();

    // False for null or a model already listed.
    bool Add(ModelBase* model);
    // Loads the file into the model (outside the lock) and adds it on success.
    bool LoadModel(ModelBase* model, const char* path, int flags);
    // Unlists the model, drops it from its group (a group of one is dissolved) and deletes it.
    void Remove(ModelBase* model);
    // Unlists without deleting; true when it was listed.
    bool Take(ModelBase* model);
    void Move(ModelBase* model, ModelList& target);
    ModelBase* GetAt(std::uint32_t index);
    int Count();
    // The first model whose short name agrees with the name over 32 characters.
    ModelBase* FindByName(const char* name);
    ModelBase* FindByFlags(std::uint32_t mask);
    bool Contains(ModelBase* model);
    ModelGroup* FindGroup(ModelBase* model);
    // Puts the models into one new group (each listed, none grouped yet); false otherwise.
    bool AddGroup(const std::vector<ModelBase*>& models);
    int GroupCount();
    void CopyAll(std::vector<IModel*>& out);

    bool OnDeviceReset();
    void OnDeviceLost();
    void ClearChangedFlags();
    void DrawGroups();
    void PrepareOutlines();
    void DrawPasses(int passCount, bool skip);

    // Nearest hit with t < 1 over the list (or the filter); equal t keeps the first.
    ModelBase* PickNearest(const Ray& ray, float* t, std::uint32_t* detail,
                           const std::vector<ModelBase*>* filter);
    // Calls back every model whose containment test accepts the query, in list order.
    void PickAll(const void* query, void (*callback)(IModel*, void*), int flags,
                 const std::vector<ModelBase*>* filter, void* user);
    // Every hit with t < 1, nearest first, at most room of them; returns how many were kept.
    int PickAllAt(ModelBase** models, float* ts, int room, const Ray& ray,
                  const std::vector<ModelBase*>* filter);
    static const float* GetLastPickPoint();
    static const void* GetLastPickDetail(void* out);

    void Clear();

private:
    std::vector<ModelBase*> m_models;
    std::vector<ModelGroup*> m_groups;
};

}  // namespace quor::world
