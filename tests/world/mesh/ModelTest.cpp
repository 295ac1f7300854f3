#include "world/mesh/ModelBase.h"

#include <gtest/gtest.h>

#include <cstring>
#include <chrono>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MaterialFileWriter.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/world/skeleton/SkelMeshSupport.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/GeoObject.h"
#include "world/core/LightList.h"
#include "world/mesh/MeshBase.h"
#include "world/mesh/MeshDataMgr.h"
#include "world/mesh/MeshSocket.h"
#include "world/core/InterfaceTable.h"
#include "world/core/ObjectOwner.h"
#include "platform/host/AsyncLoader.h"
#include "platform/host/AsyncData.h"
#include "platform/host/IAsyncLoader.h"
#include "world/scene/SceneBase.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::IModel;
using world::Model;
using world::ModelBase;
using world::ModelSkeletal;
using world::SpaceObject;

struct ModelFixture {
    explicit ModelFixture(int threads = 0) : fx(threads) {
        files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        scene = fx.NewScene();
    }
    ~ModelFixture() {
        for (ModelBase* m : loose) delete static_cast<SpaceObject*>(m);
    }
    void Add(const std::string& name, const MeshDesc& desc) { files->AddFile(name, WriteMom(desc)); }
    // A plain model holding `file`, owned by the fixture.
    ModelBase* Loaded(const char* file) {
        auto* m = new Model();
        loose.push_back(m);
        EXPECT_TRUE(m->ChangeMeshFile(file)) << file << fx.capture.Joined();
        m->SetLoading(0);
        return m;
    }
    bool Logged(const std::string& text) { return fx.capture.Contains(text); }

    WorldFixture fx;
    host::MemoryFileSystem* files = nullptr;
    TestScene* scene = nullptr;
    std::vector<ModelBase*> loose;
};

TEST(Model, OutOfRangeIndicesAnswerTheirDefaults) {
    ModelFixture f;
    f.Add("q.mom", SquareMesh());
    ModelBase* m = f.Loaded("q.mom");
    const int subs = m->GetSubMeshCount();
    const int sockets = m->GetSocketCount();
    ASSERT_EQ(subs, 1);
    ASSERT_EQ(sockets, 1);
    Matrix out;
    std::uint32_t first = 77, count = 77;
    const std::vector<std::pair<const char*, std::function<bool()>>> cases = {
        {"IsSubMeshVisible", [&] { return !m->IsSubMeshVisible(subs) && !m->IsSubMeshVisible(-1); }},
        {"SetSubMeshVisible", [&] { return !m->SetSubMeshVisible(subs, false) && m->IsSubMeshVisible(0); }},
        {"GetSubMeshInfo", [&] { return !m->GetSubMeshInfo(subs) && !m->GetSubMeshInfo(-1); }},
        {"SetSubMeshColor", [&] { return !m->SetSubMeshColor(subs, 1) && m->SetSubMeshColor(-1, 1); }},
        {"GetSubMeshMaterial", [&] { return !m->GetSubMeshMaterial(subs); }},
        {"GetSubMeshMaterialSlot", [&] { return m->GetSubMeshMaterialSlot(subs) == -1; }},
        {"SetSubMeshMaterialSlot", [&] { return !m->SetSubMeshMaterialSlot(subs, 0); }},
        {"GetPartDrawPass", [&] { return m->GetPartDrawPass(subs) == 0; }},
        {"GetPartCulled", [&] { return !m->GetPartCulled(subs, 1); }},
        {"GetSocketData", [&] { return !m->GetSocketData(sockets) && !m->GetSocketData(-1); }},
        {"GetSocketObjectList", [&] { return !m->GetSocketObjectList(sockets); }},
        {"GetSocket", [&] { return !m->GetSocket(sockets, nullptr); }},
        {"GetSocketMatrix", [&] { return !m->GetSocketMatrix(sockets, out); }},
        {"GetSocketWorldMatrix", [&] { return !m->GetSocketWorldMatrix(-1, out); }},
        {"GetVertexCount", [&] { return m->GetVertexCount(1) == 0 && m->GetVertexCount(-1) == 4; }},
        {"GetIndexData", [&] { return !m->GetIndexData(1); }},
        {"GetUVData", [&] { return !m->GetUVData(1, 0) && m->GetUVData(0, 0); }},
        {"GetSubMeshVertexRange", [&] {
             m->GetSubMeshVertexRange(&first, &count, subs, 0);
             m->GetSubMeshVertexRange(&first, &count, 0, 1);
             return first == 77 && count == 77;
         }},
        {"UnbindSocketChildren", [&] { return !m->UnbindSocketChildren(sockets, false, 0); }},
    };
    for (const auto& [name, check] : cases) EXPECT_TRUE(check()) << name;
    m->GetSubMeshIndexRange(&first, &count, 0, 0);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(count, 6u);
}

// The socket's matrix: a quarter turn about z and a translation.
MeshDesc TurnedSocketMesh(std::uint16_t bindKind) {
    MeshDesc m = SquareMesh();
    Matrix16 s = Identity16();
    s[0] = 0, s[1] = 1, s[4] = -1, s[5] = 0;
    s[12] = 3, s[13] = 4, s[14] = 5;
    m.sockets[0].matrix = s;
    m.sockets[0].bindType = bindKind;
    return m;
}

TEST(Model, BindingPlacesByTheSocketKindAndMask) {
    struct Case {
        std::uint16_t kind;
        std::uint32_t mask;
        bool position, rotation;
    };
    const Case cases[] = {{7, 0, true, true}, {1, 0, true, false}, {2, 0, false, true}, {7, 1, true, false},
                          {3, 2, false, true}};
    for (const Case& c : cases) {
        ModelFixture f;
        f.Add("s.mom", TurnedSocketMesh(c.kind));
        ModelBase* m = f.Loaded("s.mom");
        auto* child = new Model();
        f.loose.push_back(child);
        EXPECT_FALSE(m->BindChildToSocket(child, m->GetSocketCount(), 0, false, 0)) << "socket = count";
        EXPECT_EQ(m->GetAttachedCount(), 0);
        EXPECT_EQ(m->GetChildCount(), 0);
        ASSERT_TRUE(m->BindChildToSocket(child, 0, c.mask, false, 0)) << c.kind;
        EXPECT_EQ(m->GetAttachedObject(0), child);
        EXPECT_EQ(m->GetSocketObject(0, 0), child);
        const Vec3 p = *child->GetPosition();
        EXPECT_EQ(p.x == 3 && p.y == 4 && p.z == 5, c.position) << c.kind << "/" << c.mask;
        const Matrix& r = *child->GetRotation();
        EXPECT_EQ(r.m[1] == 1.0f && r.m[4] == -1.0f, c.rotation) << c.kind << "/" << c.mask;
        EXPECT_TRUE(m->UnbindChildFromSocket(child, false));
        EXPECT_EQ(m->GetAttachedCount(), 0);
    }
}

TEST(Model, RayHitAtTheSegmentEndIsNoHit) {
    ModelFixture f;
    f.Add("q.mom", SquareMesh());
    ModelBase* m = f.Loaded("q.mom");
    std::uint32_t sub = 9;
    float t = 7;
    Ray exact{{0.5f, 0.5f, -1.0f}, {0.0f, 0.0f, 1.0f}};
    EXPECT_FALSE(m->IntersectRay(exact, &sub, &t, 0));
    EXPECT_EQ(t, 7.0f);
    Ray longer{{0.5f, 0.5f, -1.0f}, {0.0f, 0.0f, 2.0f}};
    EXPECT_TRUE(m->IntersectRay(longer, &sub, &t, 0));
    EXPECT_FLOAT_EQ(t, 0.5f);
    EXPECT_EQ(sub, 0u);
    // The model's own placement moves what the ray meets.
    m->SetPosition({10.0f, 0.0f, 0.0f});
    EXPECT_FALSE(m->IntersectRay(longer, nullptr, nullptr, 0));
    Ray moved{{10.5f, 0.5f, -1.0f}, {0.0f, 0.0f, 2.0f}};
    EXPECT_TRUE(m->IntersectRay(moved, nullptr, nullptr, 0));
}

TEST(Model, TransparencyFlagFollowsTheLastCall) {
    ModelFixture f;
    f.Add("q.mom", SquareMesh());
    ModelBase* m = f.Loaded("q.mom");
    m->SetTransparent(true);
    EXPECT_TRUE(m->ObjectFlags() & 0x1000);
    EXPECT_TRUE(m->IsTransparent());
    m->SetTransparent(false);
    EXPECT_FALSE(m->ObjectFlags() & 0x1000);
    EXPECT_FALSE(m->IsTransparent());
    EXPECT_EQ(m->GetMesh()->Switches().transparentByModel, 1);
}

TEST(Model, FreshModelIsLoadingAndHidden) {
    ModelFixture f;
    Model m;
    EXPECT_EQ(m.IsLoading(), 1);
    EXPECT_FALSE(static_cast<world::IVisibleObject&>(m).IsVisible());
    EXPECT_EQ(m.IsSkeletal(), 0);
    EXPECT_EQ(m.GetObjectType(), 3);
}

TEST(Model, MissingMeshLogsOnEveryUpdateAndNamesNull) {
    ModelFixture f;
    Model m;
    for (int i = 0; i < 2; ++i) m.Update();
    int lines = 0;
    for (const std::string& line : f.fx.capture.Lines()) lines += line.find("ModelBase[null] mesh ptr is NULL!") != std::string::npos;
    EXPECT_EQ(lines, 2);
    EXPECT_STREQ(m.GetMeshFileName().c_str(), "null");
    EXPECT_FALSE(m.PreDraw());
}

TEST(Model, AtMostFiveLightsAreSwitchedOn) {
    ModelFixture f;
    f.Add("q.mom", SquareMesh());
    world::LightList* lights = f.scene->Lights();
    for (int i = 0; i < 6; ++i) lights->CreateLight(1);
    lights->ClearLightFlags();
    ModelBase* m = f.Loaded("q.mom");
    m->SetOwnerScene(f.scene);
    ASSERT_TRUE(m->AddMeshFileNow("q.mom"));
    ASSERT_NE(m->GetLightSet(), nullptr) << "lit materials take a light set";
    m->Prepare();
    const std::vector<std::uint8_t>& on = m->GetLightSet()->enabled;
    EXPECT_EQ(on, (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 0}));
    // A bounded light reaching nothing is re-tested once it moved; the sixth takes its place.
    world::Light* second = lights->GetAt(1);
    second->SetUnbounded(false);
    second->SetVolumeShape(world::Light::kNoVolume);
    lights->ClearLightFlags();
    m->Prepare();
    EXPECT_EQ(on, (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 0})) << "not moved: kept";
    second->InvalidateTransform();
    m->Prepare();
    EXPECT_EQ(on, (std::vector<std::uint8_t>{1, 0, 1, 1, 1, 1}));
    // A volume around the model reaches it; moved far off it does not.
    second->SetVolumeShape(GeoObject::kSphere);
    m->Prepare();
    EXPECT_EQ(on, (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 1})) << "past five the rest keep their setting";
    second->SetPosition(Vec3{1000.0f, 0.0f, 0.0f});
    second->Update();
    m->Prepare();
    EXPECT_EQ(on, (std::vector<std::uint8_t>{1, 0, 1, 1, 1, 1}));
}

TEST(Model, PreDrawFillsTheDrawDescription) {
    ModelFixture f;
    f.Add("q.mom", SquareMesh());
    ModelBase* m = f.Loaded("q.mom");
    ASSERT_TRUE(m->PreDraw());
    ASSERT_EQ(m->DrawDescription().ranges.size(), 1u);
    EXPECT_EQ(m->DrawDescription().ranges[0].primitiveCount, 2u);
    EXPECT_EQ(m->DrawDescription().ranges[0].vertexCount, 4u);
    EXPECT_EQ(m->GetTriangleCount(), 2);
}

TEST(Model, DemoMeshesLoadAsTheDemoShowsThem) {
    ModelFixture f;
    f.Add("models\\sample.mom", DemoSampleMesh(false));
    f.Add("models\\sample_anim.mom", DemoSampleMesh(true));
    f.Add("defualt_models\\box.mom", DemoDefaultBox());
    ModelBase* sample = f.Loaded("models\\sample.mom");
    EXPECT_EQ(sample->GetSubMeshCount(), 2);
    EXPECT_EQ(sample->GetMesh()->LodCount(), 2);
    EXPECT_EQ(sample->FindSocket("top"), 0);
    EXPECT_EQ(sample->FindSubMesh("glass"), 1);
    Matrix top;
    ASSERT_TRUE(sample->GetSocketWorldMatrix(0, top));
    EXPECT_FLOAT_EQ(top.m[13], 1.2f);
    EXPECT_EQ(sample->GetTriangleCount(), 14);
    ModelBase* animated = f.Loaded("models\\sample_anim.mom");
    EXPECT_TRUE(animated->HasAnimation(MeshBase::kVertexKeys));
    EXPECT_TRUE(animated->PlayAnimation(0, MeshBase::kVertexKeys, 0.0f));
    ModelBase* box = f.Loaded("defualt_models\\box.mom");
    EXPECT_EQ(box->GetSubMeshCount(), 1);
    Ray down{{0.0f, 5.0f, 0.0f}, {0.0f, -10.0f, 0.0f}};
    float t = 0;
    EXPECT_TRUE(box->IntersectRay(down, nullptr, &t, 0));
    EXPECT_FLOAT_EQ(t, 0.4f);
}

// --- loading ---------------------------------------------------------------------------------------

TEST(ModelLoading, AddedFileTakesTheMeshExtension) {
    ModelFixture f;
    f.Add("q.mom", SquareMesh());
    f.Add("a.b.mom", SquareMesh());
    f.Add("plain", SquareMesh());
    ModelBase* m = f.Loaded("q.mom");
    EXPECT_TRUE(m->AddMeshFile("a.b.txt", 0, nullptr));
    EXPECT_TRUE(m->AddMeshFile("plain", 0, nullptr));
    EXPECT_EQ(m->GetMesh()->GetPartCount(), 3u);
    EXPECT_EQ(m->IsLoading(), 0);
    EXPECT_FALSE(f.Logged("default box"));
    std::string longName(300, 'x');
    EXPECT_FALSE(m->AddMeshFile(longName.c_str(), 0, nullptr));
    EXPECT_EQ(m->GetMesh()->GetPartCount(), 3u);
}

TEST(ModelLoading, MissingAddedFileFallsBackToTheBoxWithAWarning) {
    ModelFixture f;
    f.Add("q.mom", SquareMesh());
    ModelBase* m = f.Loaded("q.mom");
    Model bare;
    EXPECT_FALSE(bare.AddMeshFileNow("q.mom"));
    EXPECT_EQ(bare.IsLoading(), -1);
    EXPECT_TRUE(f.Logged("Failed to add mesh file q.mom! Main mesh is not loaded!"));

    EXPECT_FALSE(m->AddMeshFile("gone.mom", 0, nullptr)) << "no box either";
    EXPECT_EQ(m->IsLoading(), -1);
    EXPECT_TRUE(f.Logged("Failed to add mesh file gone.mom!"));

    f.Add("defualt_models\\box.mom", SquareMesh());
    EXPECT_TRUE(m->AddMeshFile("gone.mom", 0, nullptr));
    EXPECT_EQ(m->IsLoading(), 0);
    EXPECT_EQ(m->GetMesh()->GetPartCount(), 2u);
    EXPECT_TRUE(f.Logged("Mesh file gone.mom not found, the default box is shown instead!"));
}

TEST(ModelLoading, AsyncAddRunsOnTheLoader) {
    ModelFixture f;
    f.Add("q.mom", SquareMesh());
    ModelBase* m = f.Loaded("q.mom");
    std::uint32_t id = 0;
    EXPECT_TRUE(m->AddMeshFile("q2.x", 1, &id));
    EXPECT_GT(id, 0u);
    EXPECT_EQ(m->IsLoading(), 1);
    f.Add("q2.mom", SquareMesh());
    f.fx.host().loader->Drain();
    EXPECT_EQ(m->IsLoading(), 0);
    EXPECT_EQ(m->GetMesh()->GetPartCount(), 2u);
}

TEST(ModelLoading, FailedChangeKeepsTheOldMesh) {
    ModelFixture f;
    f.Add("q.mom", SquareMesh());
    ModelBase* m = f.Loaded("q.mom");
    MeshBase* old = m->GetMesh();
    EXPECT_FALSE(m->ChangeMeshFile("none.mom"));
    EXPECT_EQ(m->GetMesh(), old);
    EXPECT_TRUE(f.Logged("Failed to change mesh file: ")) << f.fx.capture.Joined();
    EXPECT_TRUE(f.Logged("q.mom -> none.mom!"));
    Model bare;
    f.fx.capture.Clear();
    EXPECT_FALSE(bare.ChangeMeshFile("none.mom"));
    EXPECT_FALSE(f.Logged("Failed to change mesh file")) << "silent without an old mesh";
    EXPECT_EQ(bare.GetMesh(), nullptr);
}

TEST(ModelLoading, SharedMeshLivesUntilTheLastModel) {
    ModelFixture f;
    f.Add("q.mom", SquareMesh());
    const int before = MeshBase::LiveCount();
    auto* a = new Model();
    ASSERT_TRUE(a->ChangeMeshFile("q.mom"));
    MeshBase* mesh = a->GetMesh();
    EXPECT_EQ(world::ModelNameMap::Find("q.mom"), mesh);
    auto* b = new Model();
    b->CopyFrom(a);
    EXPECT_EQ(b->GetMesh(), mesh);
    EXPECT_EQ(mesh->GetRefCount(), 2);
    EXPECT_TRUE(a->SharesMesh() && b->SharesMesh());
    EXPECT_EQ(b->IsLoading(), 0);
    b->CopyFrom(a);
    EXPECT_EQ(mesh->GetRefCount(), 2) << "already sharing";
    Model empty;
    b->CopyFrom(&empty);
    EXPECT_EQ(b->GetMesh(), mesh) << "a meshless model is refused";
    delete static_cast<SpaceObject*>(a);
    EXPECT_EQ(mesh->GetRefCount(), 1);
    EXPECT_EQ(world::ModelNameMap::Find("q.mom"), mesh);
    delete static_cast<SpaceObject*>(b);
    EXPECT_EQ(world::ModelNameMap::Find("q.mom"), nullptr);
    EXPECT_EQ(MeshBase::LiveCount(), before);
}

TEST(ModelLoading, NameMapKeepsTheOtherModelsEntry) {
    ModelFixture f;
    f.Add("q.mom", SquareMesh());
    auto* a = new Model();
    auto* b = new Model();
    ASSERT_TRUE(a->ChangeMeshFile("q.mom"));
    ASSERT_TRUE(b->ChangeMeshFile("q.mom"));
    EXPECT_EQ(world::ModelNameMap::Find("q.mom"), b->GetMesh());
    delete static_cast<SpaceObject*>(a);
    EXPECT_EQ(world::ModelNameMap::Find("q.mom"), b->GetMesh());
    delete static_cast<SpaceObject*>(b);
    EXPECT_EQ(world::ModelNameMap::Find("q.mom"), nullptr);
}

TEST(ModelLoading, CreationByFileChoosesTheKind) {
    struct Case {
        std::uint16_t type;
        bool loads;
        int skeletal;
    };
    const Case cases[] = {{0, true, 0}, {2, true, 0}, {1, true, 1}};
    for (const Case& c : cases) {
        ModelFixture f;
        MeshDesc desc = c.type == 1 ? SkinnedMeshDesc(3, "walk.ani") : SquareMesh(c.type);
        f.Add("k.mom", desc);
        ModelSkeletal* m = world::CreateModelSkeletal();
        f.loose.push_back(m);
        EXPECT_EQ(world::CreateModelForFileEx(m, "k.mom", 0), c.loads) << c.type;
        EXPECT_EQ(m->IsSkeletal(), c.skeletal) << c.type;
        EXPECT_EQ(m->GetMesh() != nullptr, c.loads);
        // The second creation finds the cached data.
        if (c.loads) {
            ModelSkeletal* again = world::CreateModelSkeletal();
            f.loose.push_back(again);
            EXPECT_TRUE(world::CreateModelForFile(again, "k.mom"));
            EXPECT_EQ(again->IsSkeletal(), c.skeletal);
        }
    }
}

TEST(ModelLoading, CreationByFileRefusesBadInput) {
    ModelFixture f;
    f.files->AddFile("short.mom", std::vector<std::uint8_t>{'R', 'G', 'I', 'M', 0, 0, 3});
    f.Add("q.txt", SquareMesh());
    struct Case {
        const char* name;
        const char* line;
    };
    const std::string longName = std::string(260, 'n') + ".mom";
    const Case cases[] = {{"short.mom", "Bad format in mesh file short.mom!"},
                          {"missing.mom", "模型文件 missing.mom 找不到!"},
                          {"q.txt", nullptr},
                          {"", nullptr},
                          {longName.c_str(), "Mesh file name too long"}};
    for (const Case& c : cases) {
        ModelSkeletal* m = world::CreateModelSkeletal();
        f.loose.push_back(m);
        EXPECT_FALSE(world::CreateModelForFileEx(m, c.name, 0)) << c.name;
        EXPECT_EQ(m->GetMesh(), nullptr);
        if (c.line) {
            EXPECT_TRUE(f.Logged(c.line)) << c.line;
        }
    }
}

TEST(ModelLoading, CacheEntryGoesWithTheLastModel) {
    ModelFixture f;
    f.Add("q.mom", SquareMesh());
    world::MeshDataMgr& cache = world::MeshDataMgr::GetInstance();
    const std::size_t before = cache.Count();
    {
        Model a, b;
        ASSERT_TRUE(a.ChangeMeshFile("q.mom"));
        ASSERT_TRUE(b.ChangeMeshFile("q.mom"));
        EXPECT_EQ(cache.Count(), before + 1);
        a.Clear();
        EXPECT_EQ(cache.Count(), before + 1);
    }
    EXPECT_EQ(cache.Count(), before);
}

}  // namespace

// --- loader threads against the drawing thread -----------------------------------------------------

namespace threads {

// Replaces a model's mesh on a loader worker, as the scene's change of a model file does.
class ChangeRecord final : public AsyncData {
public:
    ChangeRecord(ModelBase* model, std::string path) : m_model(model), m_path(std::move(path)) {}
    int IsPending() override { return 0; }
    void Submit() override { Interfaces().asyncLoader->Submit(this); }
    void Load() override { m_model->ChangeMeshFile(m_path.c_str()); }
    void Recycle() override { delete this; }
    bool RefersTo(const void* object) override { return object == m_model; }

private:
    ModelBase* m_model;
    std::string m_path;
};

struct Outcome {
    int models = 0;
    bool allLoaded = true;
    int liveAfter = 0;
};

// 8 models made through the loader, then, every 50 frames, each gets an added file and a
// change; at frames 120 and 320 the last model is released right after its requests went
// out. The main thread updates and draws every model under the scene's lock for 500 frames.
Outcome Run(int threads) {
    const int before = MeshBase::LiveCount();
    Outcome out;
    {
        ModelFixture f(threads);
        f.Add("a.mom", SquareMesh());
        f.Add("b.mom", SquareMesh(2));
        f.Add("defualt_models\\box.mom", SquareMesh());
        for (int i = 0; i < 8; ++i) f.scene->CreateModel(i % 2 ? "a.mom" : "b.mom", 0, 1, nullptr);
        auto* loader = f.fx.host().loader.get();
        for (int frame = 0; frame < 500; ++frame) {
            if (frame % 50 == 20) {
                std::vector<ModelBase*> models;
                {
                    world::ObjectLockGuard lock(f.scene);
                    for (int i = 0; i < f.scene->GetModelCount(); ++i)
                        models.push_back(static_cast<ModelBase*>(f.scene->GetModel(std::uint32_t(i))));
                }
                for (std::size_t i = 0; i < models.size(); ++i) {
                    models[i]->AddMeshFile(i % 3 ? "a.x" : "missing.x", 1, nullptr);
                    (new ChangeRecord(models[i], i % 2 ? "b.mom" : "a.mom"))->Submit();
                }
                if ((frame == 120 || frame == 320) && !models.empty()) {
                    EXPECT_TRUE(f.scene->ReleaseObject(models.back()->GetSpaceObject(0), true));
                }
            }
            {
                world::ObjectLockGuard lock(f.scene);
                for (int i = 0; i < f.scene->GetModelCount(); ++i) {
                    auto* m = static_cast<ModelBase*>(f.scene->GetModel(std::uint32_t(i)));
                    m->Update();
                    if (m->PreDraw()) m->DrawParts(0);
                }
            }
            if (threads == 0) {
                loader->Drain();
            } else {
                // The creations end before the first round of changes in both modes, so both
                // release the same models.
                if (frame == 15) loader->WaitIdle();
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        loader->WaitIdle();
        out.models = f.scene->GetModelCount();
        for (int i = 0; i < out.models; ++i) {
            auto* m = static_cast<ModelBase*>(f.scene->GetModel(std::uint32_t(i)));
            out.allLoaded = out.allLoaded && m->IsLoading() == 0 && m->GetMesh() && m->GetMesh()->Ready();
        }
    }
    out.liveAfter = MeshBase::LiveCount() - before;
    return out;
}

}  // namespace threads

TEST(ModelLoadThread, LoaderWorkersChangeModelsWhileTheSceneDraws) {
    const threads::Outcome inlineRun = threads::Run(0);
    const threads::Outcome threaded = threads::Run(2);
    EXPECT_EQ(inlineRun.models, 6);
    EXPECT_EQ(threaded.models, inlineRun.models);
    EXPECT_TRUE(inlineRun.allLoaded);
    EXPECT_TRUE(threaded.allLoaded);
    EXPECT_EQ(inlineRun.liveAfter, 0) << "every mesh destroyed, once";
    EXPECT_EQ(threaded.liveAfter, 0);
}

// The scene's thread holds the object lock (as a frame or a release does) and destroys a model
// whose added file a worker is loading: the worker, waiting for that lock, gives up, so the
// wait for the worker ends.
TEST(ModelLoadThread, ClearUnderTheSceneLockDoesNotWaitForever) {
    const int before = MeshBase::LiveCount();
    {
        ModelFixture f(1);
        f.Add("q.mom", SquareMesh());
        for (int round = 0; round < 4; ++round) {
            auto* m = new Model();
            m->SetOwnerScene(f.scene);
            ASSERT_TRUE(m->ChangeMeshFile("q.mom"));
            world::ObjectLockGuard lock(f.scene);
            ASSERT_TRUE(m->AddMeshFile("q.mom", 1, nullptr));
            std::this_thread::sleep_for(std::chrono::milliseconds(5 * round));
            delete static_cast<SpaceObject*>(m);
        }
        f.fx.host().loader->WaitIdle();
    }
    EXPECT_EQ(MeshBase::LiveCount(), before);
}
