#pragma once
#include <atomic>
#include <cstdint>

#include "platform/host/AsyncData.h"

namespace quor::client {
class ISound;
}

namespace quor::world {

class FxBase;
class ModelBase;
class SceneBase;

// The fields every record of the module carries besides the loader's two words.
class AsyncRecord : public AsyncData {
public:
    static constexpr int kPathSize = 260;

    // Without a host loader the record loads at once, on the caller's thread.
    void Submit() override;
    const char* GetPath() const { return m_path; }
    std::uint32_t GetWord() const { return m_word; }

protected:
    AsyncRecord() = default;
    ~AsyncRecord() = default;
    // False (nothing copied) for a null path or one of kPathSize characters or more.
    bool SetPath(const char* path);

    void* m_owner = nullptr;
    void* m_target = nullptr;
    char m_path[kPathSize] = {};
    std::uint32_t m_word = 0;
};

// Sound: LoadSound through the host audio into the caller's result pointer.
class SoundData final : public AsyncRecord {
public:
    SoundData(client::ISound** result, const char* path, int a, int b);
    int IsPending() override { return m_pending.load(std::memory_order_acquire); }
    void Load() override;
    void Recycle() override;
    // A sound is the host's: no scene's clearing or destruction cancels it.
    bool RefersTo(const void*) override { return false; }
    bool PathAccepted() const { return m_path[0] != 0; }

private:
    ~SoundData() = default;
    int m_a = 0;
    int m_b = 0;
    std::atomic<int> m_pending{1};
};

// A model file (or, for ".emf" paths, an effect file) loaded into a model of a scene.
class ModelData final : public AsyncRecord {
public:
    ModelData(SceneBase* scene, ModelBase* model, std::uint32_t word);
    int IsPending() override;
    void Load() override;
    void Recycle() override;
    bool RefersTo(const void* object) override { return object && (object == m_target || object == m_owner); }
    friend class AsyncLoaderRef;
};

// Extra mesh, animation and material files of a model.
class ModelFileData : public AsyncRecord {
public:
    enum class Kind { AddMesh, Animation, Material };
    ModelFileData(Kind kind, ModelBase* model);
    int IsPending() override { return m_pending.load(std::memory_order_acquire); }
    void Submit() override;
    void Load() override;
    void Recycle() override;
    bool RefersTo(const void* object) override { return object && object == m_owner; }
    Kind GetKind() const { return m_kind; }
    void SetPathFromFactory(const char* path) { SetPath(path); }

private:
    Kind m_kind;
    std::atomic<int> m_pending{1};
};

class AddMeshData final : public ModelFileData {
public:
    explicit AddMeshData(ModelBase* model) : ModelFileData(Kind::AddMesh, model) {}
};
class AnimationData final : public ModelFileData {
public:
    explicit AnimationData(ModelBase* model) : ModelFileData(Kind::Animation, model) {}
};
class MaterialAsycData final : public ModelFileData {
public:
    explicit MaterialAsycData(ModelBase* model) : ModelFileData(Kind::Material, model) {}
};

// A whole scene file loaded by the scene's Load.
class SceneData final : public AsyncRecord {
public:
    explicit SceneData(SceneBase* scene);
    int IsPending() override;
    void Load() override;
    void Recycle() override;
    bool RefersTo(const void* object) override { return object && object == m_owner; }
    friend class AsyncLoaderRef;
};

// An effect file loaded into an effect of a scene.
class FxData final : public AsyncRecord {
public:
    FxData(SceneBase* scene, FxBase* effect, std::uint32_t word);
    int IsPending() override;
    void Load() override;
    void Recycle() override;
    bool RefersTo(const void* object) override { return object && (object == m_target || object == m_owner); }
    friend class AsyncLoaderRef;

private:
    ~FxData() = default;
};

// The module's maker of load records. Pooled kinds come from free lists of blocks of seven;
// the lists are locked because factories run on the main thread while loader threads recycle.
// The host loader is read from the interface table each time, so a loader bound later is used.
class AsyncLoaderRef {
public:
    static AsyncLoaderRef& Instance();

    SoundData* CreateSoundData(client::ISound** result, const char* path, int a, int b, int tag);
    FxData* CreateFxData(SceneBase* scene, FxBase* effect, const char* path, std::uint32_t word, int parameter);
    ModelData* CreateModelData(SceneBase* scene, ModelBase* model, const char* path, std::uint32_t word,
                               int parameter);
    AddMeshData* CreateAddMeshData(ModelBase* model, const char* path);
    AnimationData* CreateAnimationData(ModelBase* model, const char* path);
    MaterialAsycData* CreateMaterialData(ModelBase* model, const char* path);
    SceneData* CreateSceneData(SceneBase* scene, const char* path, int parameter);

    // Blocks allocated so far by each pool (model, extra mesh, animation, material, scene).
    static int ModelBlocks();
    static int AddMeshBlocks();
    static int AnimationBlocks();
    static int MaterialBlocks();
    static int SceneBlocks();
    // Records of each pool handed out and not yet recycled.
    static int ModelRecordsInUse();

private:
    std::uint32_t Stamp();
};

}  // namespace quor::world
