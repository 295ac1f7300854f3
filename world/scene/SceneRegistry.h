#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/win32/CriticalSection.h"

namespace quor::world {

class IScene;
class SceneBase;

// The module's live scenes, in creation order, and the active one. The registry owns its
// scenes. Scenes are made by one factory per kind (0 the 2D scene, 1 the 3D scene), which the
// scene kinds register; a kind without a factory makes no scene.
class SceneRegistry {
public:
    using Factory = std::function<SceneBase*()>;
    static constexpr int kScene2D = 0;
    static constexpr int kScene3D = 1;
    // Scene file names are copied into a buffer of this size, terminator included.
    static constexpr std::size_t kNameBufferSize = 256;

    static SceneRegistry& Instance();
    SceneRegistry(const SceneRegistry&) = delete;
    SceneRegistry& operator=(const SceneRegistry&) = delete;

    // Null factory removes the kind's factory.
    void SetFactory(int kind, Factory factory);
    bool HasFactory(int kind) const;

    IScene* CreateScene(const char* fileName, int a, int b, int c);
    void DeleteScene(IScene* scene);
    void DeleteAll();
    bool ActivateScene(IScene* scene);
    void SetActiveScene(IScene* scene);
    IScene* GetActiveScene() const { return m_active; }
    // Whether the scene is one the registry made and still holds.
    bool Contains(IScene* scene) const;
    int GetSceneCount() const { return static_cast<int>(m_scenes.size()); }
    IScene* GetScene(unsigned index) const { return index < m_scenes.size() ? m_scenes[index] : nullptr; }
    void Print2DScene();
    void Print3DScene();
    void OnLostDevice();
    bool OnResetDevice();
    void Lock() { m_lock->Enter(); }
    void Unlock() { m_lock->Leave(); }
    // Starts over as if no scene had been made yet (the first-scene flag set again).
    void ResetFirstScene() { m_firstScene = true; }

private:
    SceneRegistry();
    ~SceneRegistry();
    SceneBase* Make(int kind);
    void Print(int type, const char* title);

    std::vector<IScene*> m_scenes;
    IScene* m_active = nullptr;
    win32::CriticalSection* m_lock;
    bool m_firstScene = true;
    Factory m_factories[2];
};

// Ground-block helper: each rectangle is (left, top, right, bottom); true when on both axes the
// centres lie closer than half the summed extents (touching rectangles do not overlap).
bool RectsOverlap(const float* a, const float* b);

}  // namespace quor::world
