#include "world/core/Memory.h"
#include "world/scene/AsyncRecords.h"

#include <cstring>
#include <new>
#include <string>

#include "platform/host/IAsyncLoader.h"
#include "platform/host/IAudio.h"
#include "platform/win32/CriticalSection.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/fx/FxBase.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/SceneBase.h"

namespace quor::world {

namespace {

common::IAsyncLoader* Loader() { return Interfaces().asyncLoader; }

// A free list of record slots carved from blocks of seven. Blocks stay until the process ends.
template <class T>
class RecordPool {
public:
    static constexpr int kSlotsPerBlock = 7;

    ~RecordPool() {
        while (m_blocks) {
            Block* previous = m_blocks->previous;
            MemFree(m_blocks);
            m_blocks = previous;
        }
    }

    void* Allocate() {
        win32::CriticalSectionLock lock(m_lock);
        if (!m_free) {
            auto* block = static_cast<Block*>(MemAlloc(sizeof(Block)));
            if (!block) return nullptr;
            block->previous = m_blocks;
            m_blocks = block;
            ++m_blockCount;
            for (int i = kSlotsPerBlock - 1; i >= 0; --i) {
                auto* slot = reinterpret_cast<FreeSlot*>(block->slots[i]);
                slot->next = m_free;
                m_free = slot;
            }
        }
        FreeSlot* slot = m_free;
        m_free = slot->next;
        ++m_inUse;
        return slot;
    }

    void Free(void* memory) {
        if (!memory) return;
        win32::CriticalSectionLock lock(m_lock);
        auto* slot = static_cast<FreeSlot*>(memory);
        slot->next = m_free;
        m_free = slot;
        --m_inUse;
    }

    int Blocks() {
        win32::CriticalSectionLock lock(m_lock);
        return m_blockCount;
    }

    int InUse() {
        win32::CriticalSectionLock lock(m_lock);
        return m_inUse;
    }

private:
    struct FreeSlot {
        FreeSlot* next;
    };
    struct Block {
        Block* previous;
        alignas(T) unsigned char slots[kSlotsPerBlock][sizeof(T) < sizeof(FreeSlot) ? sizeof(FreeSlot) : sizeof(T)];
    };

    win32::CriticalSection m_lock;
    FreeSlot* m_free = nullptr;
    Block* m_blocks = nullptr;
    int m_blockCount = 0;
    int m_inUse = 0;
};

RecordPool<ModelData>& ModelPool() {
    static RecordPool<ModelData> pool;
    return pool;
}
RecordPool<AddMeshData>& AddMeshPool() {
    static RecordPool<AddMeshData> pool;
    return pool;
}
RecordPool<AnimationData>& AnimationPool() {
    static RecordPool<AnimationData> pool;
    return pool;
}
RecordPool<MaterialAsycData>& MaterialPool() {
    static RecordPool<MaterialAsycData> pool;
    return pool;
}
RecordPool<SceneData>& ScenePool() {
    static RecordPool<SceneData> pool;
    return pool;
}

// The pools are built before the first record so that they outlive every record.
struct PoolsFirst {
    PoolsFirst() {
        ModelPool();
        AddMeshPool();
        AnimationPool();
        MaterialPool();
        ScenePool();
    }
};

bool PathFits(const char* path) {
    if (!path) return false;
    if (std::strlen(path) >= static_cast<std::size_t>(AsyncRecord::kPathSize)) {
        LogError("Asynchronous load refused: the path is %zu characters, at most %d fit: %.64s...",
                 std::strlen(path), AsyncRecord::kPathSize - 1, path);
        return false;
    }
    return true;
}

}  // namespace

// --- common ----------------------------------------------------------------------------------------

bool AsyncRecord::SetPath(const char* path) {
    if (!PathFits(path)) return false;
    std::strcpy(m_path, path);
    return true;
}

void AsyncRecord::Submit() {
    if (common::IAsyncLoader* loader = Loader()) {
        loader->Submit(this);
        return;
    }
    LogWarning("No asynchronous loader: %s is loaded at once", m_path);
    Load();
    Recycle();
}

// --- sound -----------------------------------------------------------------------------------------

SoundData::SoundData(client::ISound** result, const char* path, int a, int b) : m_a(a), m_b(b) {
    m_owner = result;
    parameter = 1;
    SetPath(path);
}

void SoundData::Load() {
    client::IAudio* audio = Interfaces().audio;
    client::ISound* sound = audio ? audio->LoadSound(m_path, m_a, m_b) : nullptr;
    if (auto** result = static_cast<client::ISound**>(m_owner)) *result = sound;
    // Readers on other threads see the result once they see the record done.
    m_pending.store(0, std::memory_order_release);
}

void SoundData::Recycle() { delete this; }

// --- model -----------------------------------------------------------------------------------------

ModelData::ModelData(SceneBase* scene, ModelBase* model, std::uint32_t word) {
    m_owner = scene;
    m_target = model;
    m_word = word;
}

int ModelData::IsPending() {
    auto* model = static_cast<ModelBase*>(m_target);
    return model && model->IsLoading() > 0 ? 1 : 0;
}

void ModelData::Load() {
    auto* scene = static_cast<SceneBase*>(m_owner);
    auto* model = static_cast<ModelBase*>(m_target);
    if (!scene) return;
    const std::size_t length = std::strlen(m_path);
    if (std::strstr(m_path, ".emf")) {
        const std::string effect(m_path, length >= 4 ? length - 4 : 0);
        scene->LoadFxFile(nullptr, effect.c_str(), static_cast<int>(m_word));
        return;
    }
    if (!scene->LoadModelFile(model, m_path, static_cast<int>(m_word))) scene->AdoptFailedModel(model);
}

void ModelData::Recycle() {
    this->~ModelData();
    ModelPool().Free(this);
}

int SceneData::IsPending() {
    auto* scene = static_cast<SceneBase*>(m_owner);
    return scene && static_cast<std::int32_t>(scene->GetProgress()) > 0 ? 1 : 0;
}

// --- extra files of a model ------------------------------------------------------------------------

ModelFileData::ModelFileData(Kind kind, ModelBase* model) : m_kind(kind) { m_owner = model; }

void ModelFileData::Submit() {
    m_pending.store(1, std::memory_order_release);
    AsyncRecord::Submit();
}

void ModelFileData::Load() {
    auto* model = static_cast<ModelBase*>(m_owner);
    if (!model) {
        m_pending.store(0, std::memory_order_release);
        return;
    }
    switch (m_kind) {
        case Kind::AddMesh:
            model->AddMeshFileNow(m_path);
            m_pending.store(model->IsLoading(), std::memory_order_release);
            break;
        case Kind::Animation:
            if (model->IsSkeletal()) static_cast<ModelSkeletal*>(model)->LoadAnimationFileNow(m_path);
            m_pending.store(model->IsLoading(), std::memory_order_release);
            break;
        case Kind::Material:
            model->LoadMaterialFileNow(m_path);
            m_pending.store(0, std::memory_order_release);
            break;
    }
}

void ModelFileData::Recycle() {
    switch (m_kind) {
        case Kind::AddMesh: {
            auto* self = static_cast<AddMeshData*>(this);
            self->~AddMeshData();
            AddMeshPool().Free(self);
            break;
        }
        case Kind::Animation: {
            auto* self = static_cast<AnimationData*>(this);
            self->~AnimationData();
            AnimationPool().Free(self);
            break;
        }
        case Kind::Material: {
            auto* self = static_cast<MaterialAsycData*>(this);
            self->~MaterialAsycData();
            MaterialPool().Free(self);
            break;
        }
    }
}

// --- scene -----------------------------------------------------------------------------------------

SceneData::SceneData(SceneBase* scene) { m_owner = scene; }

void SceneData::Load() {
    if (auto* scene = static_cast<SceneBase*>(m_owner)) scene->Load(m_path);
}

void SceneData::Recycle() {
    this->~SceneData();
    ScenePool().Free(this);
}

// --- effect ----------------------------------------------------------------------------------------

FxData::FxData(SceneBase* scene, FxBase* effect, std::uint32_t word) {
    m_owner = scene;
    m_target = effect;
    m_word = word;
}

int FxData::IsPending() {
    auto* effect = static_cast<FxBase*>(m_target);
    return effect ? effect->GetPendingLoads() : 0;
}

void FxData::Load() {
    auto* scene = static_cast<SceneBase*>(m_owner);
    auto* effect = static_cast<FxBase*>(m_target);
    if (scene) scene->LoadFxFile(effect, m_path, static_cast<int>(m_word));
    if (effect) effect->SetPendingLoads(0);
}

void FxData::Recycle() { delete this; }

// --- factories -------------------------------------------------------------------------------------

AsyncLoaderRef& AsyncLoaderRef::Instance() {
    static PoolsFirst pools;
    static AsyncLoaderRef instance;
    return instance;
}

std::uint32_t AsyncLoaderRef::Stamp() {
    common::IAsyncLoader* loader = Loader();
    return loader ? loader->GetRequestStamp() : 0;
}

SoundData* AsyncLoaderRef::CreateSoundData(client::ISound** result, const char* path, int a, int b, int tag) {
    LogPrint("the asyn load data is %s %d %d %d", path ? path : "", a, b, tag);
    if (!PathFits(path)) return nullptr;
    return NewObject<SoundData>(result, path, a, b);
}

FxData* AsyncLoaderRef::CreateFxData(SceneBase* scene, FxBase* effect, const char* path, std::uint32_t word,
                                     int parameterWord) {
    if (!PathFits(path)) return nullptr;
    auto* record = NewObject<FxData>(scene, effect, word);
    if (!record) return nullptr;
    record->SetPath(path);
    record->parameter = parameterWord;
    record->stamp = Stamp();
    return record;
}

ModelData* AsyncLoaderRef::CreateModelData(SceneBase* scene, ModelBase* model, const char* path,
                                           std::uint32_t word, int parameterWord) {
    if (!PathFits(path)) return nullptr;
    void* slot = ModelPool().Allocate();
    if (!slot) return nullptr;
    auto* record = new (slot) ModelData(scene, model, word);
    record->SetPath(path);
    record->parameter = parameterWord;
    record->stamp = Stamp();
    return record;
}

namespace {
template <class T, class Pool>
T* MakeModelFile(Pool& pool, ModelBase* model, const char* path, std::uint32_t stamp) {
    if (!PathFits(path)) return nullptr;
    void* slot = pool.Allocate();
    if (!slot) return nullptr;
    auto* record = new (slot) T(model);
    record->SetPathFromFactory(path);
    record->stamp = stamp;
    return record;
}
}  // namespace

AddMeshData* AsyncLoaderRef::CreateAddMeshData(ModelBase* model, const char* path) {
    return MakeModelFile<AddMeshData>(AddMeshPool(), model, path, Stamp());
}

AnimationData* AsyncLoaderRef::CreateAnimationData(ModelBase* model, const char* path) {
    return MakeModelFile<AnimationData>(AnimationPool(), model, path, Stamp());
}

MaterialAsycData* AsyncLoaderRef::CreateMaterialData(ModelBase* model, const char* path) {
    return MakeModelFile<MaterialAsycData>(MaterialPool(), model, path, Stamp());
}

SceneData* AsyncLoaderRef::CreateSceneData(SceneBase* scene, const char* path, int parameterWord) {
    if (!PathFits(path)) return nullptr;
    void* slot = ScenePool().Allocate();
    if (!slot) return nullptr;
    auto* record = new (slot) SceneData(scene);
    record->SetPath(path);
    record->parameter = parameterWord;
    record->stamp = Stamp();
    return record;
}

int AsyncLoaderRef::ModelBlocks() { return ModelPool().Blocks(); }
int AsyncLoaderRef::AddMeshBlocks() { return AddMeshPool().Blocks(); }
int AsyncLoaderRef::AnimationBlocks() { return AnimationPool().Blocks(); }
int AsyncLoaderRef::MaterialBlocks() { return MaterialPool().Blocks(); }
int AsyncLoaderRef::SceneBlocks() { return ScenePool().Blocks(); }
int AsyncLoaderRef::ModelRecordsInUse() { return ModelPool().InUse(); }

}  // namespace quor::world
