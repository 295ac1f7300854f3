#include "tests/support/world/scene/HostSequence.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <random>
#include <set>
#include <sstream>

#include "platform/host/AsyncLoader.h"
#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/DemoFigure.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/core/track/ITrack.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/Scene3D.h"

namespace quor::test {
namespace {

// What should exist in one scene.
struct SceneModel {
    world::IScene* scene = nullptr;
    std::set<world::IModel*> models;
    // Models placed under another model of the scene by the sequence (child -> parent).
    std::map<world::IModel*, world::IModel*> parent;
    std::set<world::Camera*> cameras;
    std::vector<world::ITrack*> tracks;
};

class Sequence {
public:
    Sequence(const HostSequenceOptions& options, HostSequenceResult& result)
        : m_options(options), m_result(result), m_rng(options.seed), m_fx(options.loaderThreads) {
        auto* files = static_cast<host::MemoryFileSystem*>(m_fx.host().files.get());
        files->AddFile("hero.mom", WriteMom(SquareMesh()));
        files->AddFile("box.mom", WriteMom(DemoDefaultBox()));
        files->AddFile("defualt_models/box.mom", WriteMom(DemoDefaultBox()));
        // The demo's skinned figure, with its animation file and companions.
        const DemoFigureFiles figure = MakeDemoFigure("char/figure.ani");
        files->AddFile("char/figure.ani", figure.animation);
        files->AddFile("char/figure.ags", figure.ags);
        files->AddFile("char/figure.ini", figure.split);
        files->AddFile("body.mom", figure.mesh);
        // Real scenes, as the module makes them for a host.
        world::SceneRegistry::Instance().SetFactory(world::SceneRegistry::kScene3D,
                                                    [] { return new world::Scene3D; });
        m_fx.capture.bound.host.log.SetRecordLimit(64);
    }
    ~Sequence() {
        for (SceneModel& s : m_scenes) World::Instance().DestroyScene(s.scene);
    }

    void Run() {
        const std::clock_t start = std::clock();
        const auto budget = static_cast<std::clock_t>(m_options.cpuSeconds * CLOCKS_PER_SEC);
        while (m_result.steps < m_options.maxSteps && std::clock() - start < budget && m_result.failures.size() < 5) {
            Step();
            ++m_result.steps;
            Settle();
            Check();
        }
    }

private:
    int Pick(int n) { return n <= 0 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    bool Chance(int percent) { return Pick(100) < percent; }
    const char* File() {
        static const char* const names[] = {"hero.mom", "body.mom", "box.mom", "missing.mom"};
        return names[Pick(4)];
    }
    SceneModel* AnyScene() { return m_scenes.empty() ? nullptr : &m_scenes[std::size_t(Pick(int(m_scenes.size())))]; }
    template <typename T>
    static T AnyOf(const std::set<T>& set, int index) {
        auto it = set.begin();
        std::advance(it, index);
        return *it;
    }
    world::IModel* AnyModel(SceneModel& s) { return s.models.empty() ? nullptr : AnyOf(s.models, Pick(int(s.models.size()))); }
    // The model's object, as a host reaches it.
    static world::SpaceObject* Obj(world::IModel* m) { return m->GetSpaceObject(0); }
    static bool Loaded(world::IModel* m) { return m->IsLoading() <= 0 && Obj(m)->GetParent() != nullptr; }

    void Note(const char* operation) {
        m_operation = operation;
        ++m_result.operations[operation];
    }
    void Fail(const std::string& what) {
        std::ostringstream s;
        s << "seed " << m_options.seed << " step " << m_result.steps << " (" << m_operation << "): " << what;
        m_result.failures.push_back(s.str());
    }

    // Everything under m (by the model's own records) leaves the model of the scene.
    void Forget(SceneModel& s, world::IModel* m) {
        std::vector<world::IModel*> children;
        for (const auto& [child, parent] : s.parent)
            if (parent == m) children.push_back(child);
        for (world::IModel* child : children) Forget(s, child);
        s.parent.erase(m);
        s.models.erase(m);
    }
    bool IsAncestor(SceneModel& s, world::IModel* maybe, world::IModel* of) {
        for (auto it = s.parent.find(of); it != s.parent.end(); it = s.parent.find(it->second))
            if (it->second == maybe) return true;
        return false;
    }

    void Step() {
        World& world = World::Instance();
        SceneModel* s = AnyScene();
        switch (Pick(16)) {
            case 0:
                Note("CreateScene");
                if (m_scenes.size() < 3) {
                    SceneModel made;
                    made.scene = world.CreateScene(nullptr, 0, 0, 0);
                    if (!made.scene) return Fail("no scene made");
                    m_scenes.push_back(made);
                }
                return;
            case 1: {
                Note("DestroyScene");
                if (!s || !Chance(30)) return;
                world::IScene* gone = s->scene;
                world.DestroyScene(gone);
                if (m_active == gone) m_active = nullptr;
                m_scenes.erase(m_scenes.begin() + (s - m_scenes.data()));
                // The stale pointer is refused, never followed.
                if (world.SetActiveScene(gone)) Fail("a destroyed scene was activated");
                return;
            }
            case 2:
                Note("SetActiveScene");
                if (!s || Chance(10)) {
                    if (world.SetActiveScene(nullptr)) m_active = nullptr;
                } else if (world.SetActiveScene(s->scene)) {
                    m_active = s->scene;
                }
                return;
            case 3:
                Note("Clear");
                if (!s || !Chance(20)) return;
                s->scene->Clear();
                s->models.clear();
                s->parent.clear();
                s->cameras.clear();
                s->tracks.clear();
                return;
            case 4:
            case 5: {
                const bool async = Chance(50);
                Note(async ? "CreateModel async" : "CreateModel");
                if (!s || s->models.size() > 24) return;
                world::IModel* m = s->scene->CreateModel(File(), 0, async ? 1 : 0, nullptr);
                if (m) s->models.insert(m);
                return;
            }
            case 6: {
                Note("CloneObject");
                if (!s || s->models.empty()) return;
                world::IModel* source = AnyModel(*s);
                if (!Loaded(source)) return;
                std::vector<world::IModel*> before;
                s->scene->GetAllModels(before);
                s->scene->CloneObject(Obj(source));
                std::vector<world::IModel*> after;
                s->scene->GetAllModels(after);
                for (world::IModel* m : after)
                    if (std::find(before.begin(), before.end(), m) == before.end()) s->models.insert(m);
                return;
            }
            case 7:
            case 8: {
                Note("ReleaseObject");
                if (!s || s->models.empty()) return;
                world::IModel* m = AnyModel(*s);
                if (!s->scene->ReleaseObject(Obj(m), true)) return Fail("a model of the scene was not released");
                Forget(*s, m);
                return;
            }
            case 9: {
                Note("ChangeModelFile");
                if (!s || s->models.empty()) return;
                world::IModel* m = AnyModel(*s);
                if (Loaded(m)) s->scene->ChangeModelFile(m, File());
                return;
            }
            case 10: {
                Note("AddChild");
                if (!s || s->models.size() < 2) return;
                world::IModel* parent = AnyModel(*s);
                world::IModel* child = AnyModel(*s);
                if (parent == child || !Loaded(parent) || !Loaded(child) || IsAncestor(*s, child, parent)) return;
                if (Obj(parent)->AddChild(Obj(child), true)) s->parent[child] = parent;
                return;
            }
            case 11: {
                Note("CreateCamera");
                if (!s || s->cameras.size() > 3) return;
                if (world::Camera* c = s->scene->CreateCamera(Chance(50))) {
                    c->SetPerspective(60.0f, 1.0f, 1.0f, 1000.0f);
                    s->cameras.insert(c);
                }
                return;
            }
            case 12: {
                Note("ReleaseCamera");
                if (!s || s->cameras.empty()) return;
                world::Camera* c = AnyOf(s->cameras, Pick(int(s->cameras.size())));
                if (!s->scene->ReleaseObject(c, true)) return Fail("a camera of the scene was not released");
                s->cameras.erase(c);
                return;
            }
            case 13: {
                Note("Track");
                if (!s) return;
                if (s->tracks.empty() || Chance(50)) {
                    if (world::ITrack* t = s->scene->CreateTrack(Pick(4), nullptr)) s->tracks.push_back(t);
                } else {
                    const std::size_t i = std::size_t(Pick(int(s->tracks.size())));
                    s->scene->ReleaseTrack(s->tracks[i]);
                    s->tracks.erase(s->tracks.begin() + long(i));
                }
                return;
            }
            default:
                Note("Frame");
                world.Update();
                world.Render();
                if (m_options.loaderThreads == 0 && Chance(50)) m_fx.host().loader->Drain();
                return;
        }
    }

    // With worker threads the model counts are read once the loader is idle: a load moving a
    // model from the loading list to the scene's list is seen whole.
    void Settle() {
        if (m_options.loaderThreads > 0) m_fx.host().loader->WaitIdle();
    }

    void Check() {
        World& world = World::Instance();
        if (world.GetSceneCount() != int(m_scenes.size())) Fail("scene count " + std::to_string(world.GetSceneCount()));
        if (world.GetCurrentScene() != m_active) Fail("another scene is active");
        for (SceneModel& s : m_scenes) {
            std::vector<world::IModel*> loaded;
            s.scene->GetAllModels(loaded);
            std::set<world::IModel*> present(loaded.begin(), loaded.end());
            for (int i = 0; i < s.scene->GetLoadingModelCount(); ++i) present.insert(s.scene->GetLoadingModel(unsigned(i)));
            if (present != s.models)
                Fail("models: " + std::to_string(present.size()) + " present, " + std::to_string(s.models.size()) +
                     " expected");
            if (s.scene->GetModelCount() + s.scene->GetLoadingModelCount() != int(s.models.size()))
                Fail("a model is counted twice or not at all");
            if (s.scene->GetTrackCount() != int(s.tracks.size())) Fail("track count");
            world::Camera* active = s.scene->GetActiveCamera();
            if (active && !s.cameras.count(active)) Fail("the active camera is not one of the scene's");
            for (const auto& [child, parent] : s.parent)
                if (Obj(child)->GetParent() != static_cast<world::ISpaceObject*>(Obj(parent))) Fail("a model left its parent");
        }
    }

    const HostSequenceOptions& m_options;
    HostSequenceResult& m_result;
    std::mt19937 m_rng;
    WorldFixture m_fx;
    std::vector<SceneModel> m_scenes;
    world::IScene* m_active = nullptr;
    const char* m_operation = "";
};

}  // namespace

HostSequenceResult RunHostSequence(const HostSequenceOptions& options) {
    HostSequenceResult result;
    {
        Sequence sequence(options, result);
        sequence.Run();
    }
    return result;
}

}  // namespace quor::test
