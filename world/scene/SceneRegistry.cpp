#include "world/core/Memory.h"
#include "world/scene/SceneRegistry.h"
#include "world/scene/Scene3D.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <strings.h>
#include <string>

#include "world/core/Log.h"
#include "world/mesh/ModelMaterial.h"
#include "world/scene/Scene2D.h"
#include "world/scene/SceneBase.h"

namespace quor::world {

SceneRegistry& SceneRegistry::Instance() {
    static SceneRegistry instance;
    return instance;
}

SceneRegistry::SceneRegistry() : m_lock(NewObject<win32::CriticalSection>()) {
    // Both scene kinds are built in.
    m_factories[kScene2D] = [] { return static_cast<SceneBase*>(NewObject<Scene2D>()); };
    m_factories[kScene3D] = []() -> SceneBase* { return NewObject<Scene3D>(); };
}

SceneRegistry::~SceneRegistry() {
    delete m_lock;
    m_lock = nullptr;
}

void SceneRegistry::SetFactory(int kind, Factory factory) {
    if (kind == kScene2D || kind == kScene3D) m_factories[kind] = std::move(factory);
}

bool SceneRegistry::HasFactory(int kind) const {
    return (kind == kScene2D || kind == kScene3D) && static_cast<bool>(m_factories[kind]);
}

SceneBase* SceneRegistry::Make(int kind) {
    if (!HasFactory(kind)) {
        LogError("No %s scene can be made: that kind is not built in", kind == kScene3D ? "3D" : "2D");
        return nullptr;
    }
    return m_factories[kind]();
}

IScene* SceneRegistry::CreateScene(const char* fileName, int a, int b, int) {
    if (!fileName) {
        SceneBase* scene = Make(kScene3D);
        if (scene) m_scenes.push_back(scene);
        return scene;
    }
    // Names outside the contract are refused rather than cut or read past their end.
    const std::size_t length = std::strlen(fileName);
    const char* dot = std::strrchr(fileName, '.');
    if (length >= kNameBufferSize || !dot) {
        LogError("Scene file name refused (%s): %.64s", length >= kNameBufferSize ? "too long" : "no extension",
                 fileName);
        return nullptr;
    }
    const bool is3D = strcasecmp(dot, ".scn") == 0 || strcasecmp(dot, ".s3d") == 0;
    SceneBase* scene = Make(is3D ? kScene3D : kScene2D);
    if (!scene) return nullptr;
    if (m_firstScene) {
        scene->SetState(1);
        m_firstScene = false;
    }
    char copy[kNameBufferSize] = {};
    std::memcpy(copy, fileName, length + 1);
    bool created = false;
    if (!is3D) {
        created = scene->Create(copy, a, b, 0);
    } else {
        const std::size_t stem = static_cast<std::size_t>(dot - fileName);
        // ".s3d" and ".scn" are as long as any 3D extension, so the copy never grows.
        std::memcpy(copy + stem, ".s3d", 5);
        // The XML form follows when the binary one is not there: not an error yet.
        scene->SetMissingFileExpected(true);
        created = scene->Create(copy, a, b, 0);
        scene->SetMissingFileExpected(false);
        if (!created) {
            std::memcpy(copy + stem, ".scn", 5);
            created = scene->Create(copy, a, b, 0);
        }
    }
    if (!created) {
        scene->BeginDestroy();
        delete scene;
        return nullptr;
    }
    if (scene->GetModelCount() > 0) scene->SetModelsFromFile(scene->GetModelCount());
    m_scenes.push_back(scene);
    return scene;
}

bool SceneRegistry::Contains(IScene* scene) const {
    return std::find(m_scenes.begin(), m_scenes.end(), scene) != m_scenes.end();
}

void SceneRegistry::SetActiveScene(IScene* scene) {
    if (scene == m_active) return;
    // A scene the registry does not hold may already be freed: never call into it.
    if (scene && !Contains(scene)) return;
    if (m_active) m_active->SetActive(false);
    m_active = scene;
    if (scene) scene->SetActive(true);
}

bool SceneRegistry::ActivateScene(IScene* scene) {
    if (scene == m_active) return true;
    if (!scene) {
        SetActiveScene(nullptr);
        return true;
    }
    // Membership first: a destroyed scene's pointer must not be followed.
    if (!Contains(scene)) {
        LogError("SetActiveScene: the scene is not one of the world's scenes");
        return false;
    }
    if (scene->GetProgress() != 0) {
        LogError("调用或激活场景失败，请检查场景加载函数，是否将函数加载完成标志为SetProgress(0)");
        return false;
    }
    SetActiveScene(scene);
    return true;
}

void SceneRegistry::DeleteScene(IScene* scene) {
    if (!scene) return;
    auto it = std::find(m_scenes.begin(), m_scenes.end(), scene);
    if (it == m_scenes.end()) return;
    if (scene == m_active) SetActiveScene(nullptr);
    m_scenes.erase(it);
    static_cast<SceneBase*>(scene)->BeginDestroy();
    delete scene;
    LogPrint("delete scene");
}

void SceneRegistry::DeleteAll() {
    std::vector<IScene*> scenes;
    scenes.swap(m_scenes);
    m_active = nullptr;
    for (IScene* scene : scenes) {
        static_cast<SceneBase*>(scene)->BeginDestroy();
        delete scene;
    }
    ReleaseMaterialStateCaches();
}

void SceneRegistry::Print(int type, const char* title) {
    const std::string open(50, '>');
    const std::string close(50, '<');
    LogPrint("%s%s", title, open.c_str());
    int total = 0, empty = 0, fromFile = 0;
    for (IScene* face : m_scenes) {
        if (face->GetSceneType() != type) continue;
        auto* scene = static_cast<SceneBase*>(face);
        ++total;
        if (!scene->GetFileName().empty()) {
            ++fromFile;
            LogPrint("%s  (%d + %d)", scene->GetFileName().c_str(), scene->GetModelCount() - scene->GetModelsFromFile(),
                     scene->GetModelsFromFile());
        } else {
            ++empty;
            LogPrint("Empty scene  (%d)", scene->GetModelCount());
        }
    }
    LogPrint("total cont = %d", total);
    LogPrint("empty scene count = %d", empty);
    LogPrint("load from file count = %d", fromFile);
    LogPrint("%s%s", title, close.c_str());
}

void SceneRegistry::Print2DScene() { Print(0, "Print2DScene"); }
void SceneRegistry::Print3DScene() { Print(1, "Print3DScene"); }

void SceneRegistry::OnLostDevice() {
    for (IScene* scene : m_scenes) scene->OnLostDevice();
}

bool SceneRegistry::OnResetDevice() {
    for (IScene* scene : m_scenes)
        if (!scene->OnResetDevice()) return false;
    return true;
}

bool RectsOverlap(const float* a, const float* b) {
    const float acx = (a[0] + a[2]) * 0.5f, acy = (a[1] + a[3]) * 0.5f;
    const float bcx = (b[0] + b[2]) * 0.5f, bcy = (b[1] + b[3]) * 0.5f;
    const float sumW = std::fabs(a[2] - a[0]) + std::fabs(b[2] - b[0]);
    const float sumH = std::fabs(a[3] - a[1]) + std::fabs(b[3] - b[1]);
    return std::fabs(acx - bcx) < sumW * 0.5f && std::fabs(acy - bcy) < sumH * 0.5f;
}

}  // namespace quor::world
