#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "tests/support/world/core/ObjectModelSupport.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/core/ExtVisibleNode.h"
#include "world/core/NameHash64.h"
#include "world/core/PrimObject.h"
#include "world/core/SpaceLines.h"
#include "world/fx/FxBase.h"
#include "world/fx/FxMgr.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/ExtVisibleNodeList.h"
#include "world/scene/ModelList.h"
#include "world/scene/SpaceLinesList.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::SpaceObject;

// An object that notes when it is updated, prepared or destroyed.
class Noting : public world::VisibleObject {
public:
    Noting(std::string name, std::vector<std::string>* log) : m_name(std::move(name)), m_log(log) {}
    ~Noting() override { m_log->push_back("~" + m_name); }
    void Update() override {
        m_log->push_back("update " + m_name);
        VisibleObject::Update();
    }
    void Prepare() override { m_log->push_back("prepare " + m_name); }

private:
    std::string m_name;
    std::vector<std::string>* m_log;
};

// A model that notes its destruction.
class NotingModel : public world::Model {
public:
    NotingModel(std::string name, std::vector<std::string>* log) : m_name(std::move(name)), m_log(log) {}
    ~NotingModel() override { m_log->push_back("~" + m_name); }

private:
    std::string m_name;
    std::vector<std::string>* m_log;
};

NotingModel* AddModel(TestScene& scene, const std::string& name, std::vector<std::string>* log) {
    auto* model = new NotingModel(name, log);
    scene.Models().Add(model);
    scene.AttachObject(model);
    return model;
}

TEST(SceneBase, Construction) {
    WorldFixture fx;
    world::SceneBase::SetSceneCounter(41);
    TestScene* scene = fx.NewScene();
    EXPECT_EQ(scene->GetSceneId(), 42);
    float zNear = 0, zFar = 0;
    scene->GetDefaultZRange(&zNear, &zFar);
    EXPECT_EQ(zNear, 1.0f);
    EXPECT_EQ(zFar, 10000.0f);
    EXPECT_EQ(scene->GetState(), 0);
    EXPECT_FALSE(scene->IsActive());
    EXPECT_EQ(scene->GetProgress(), 0u);
    ASSERT_NE(fx.host().renderer.LastSceneLightState(), nullptr);
    EXPECT_EQ(fx.host().renderer.LastSceneLightState()->ambient, 0u) << "the ambient colour 0 reaches the light state";
    ASSERT_NE(scene->GetRootObject(), nullptr);
    EXPECT_EQ(scene->GetRootObject()->GetScene(), scene);
    EXPECT_EQ(world::SpaceLinesList::Current(), &scene->LineObjects());

    // The counter is 16 bits: the 65,536th scene after one with 65,535 gets 0, the next 1.
    world::SceneBase::SetSceneCounter(65534);
    EXPECT_EQ(fx.NewScene()->GetSceneId(), 65535);
    EXPECT_EQ(fx.NewScene()->GetSceneId(), 0);
    EXPECT_EQ(fx.NewScene()->GetSceneId(), 1);
}

TEST(SceneBase, DestructionFreesEverythingItOwns) {
    std::vector<std::string> log;  // outlives the scenes that note into it
    WorldFixture fx;
    const int liveBefore = fx.host().renderer.LiveObjects();
    {
        TestScene* scene = fx.NewScene();
        scene->CreateCamera(true);
        scene->CreatePrimObject(1, 0x42, false);
        world::SpaceLines* lines = scene->LineObjects().Create(1, false, 0xFFFFFFFF);
        scene->AttachObject(lines);
        lines->MakeCross(2.0f);
            AddModel(*scene, "m", &log);
        World::Instance().DestroyScene(scene);
        EXPECT_EQ(log, std::vector<std::string>{"~m"});
    }
    EXPECT_EQ(fx.host().renderer.LiveObjects(), liveBefore);
    EXPECT_EQ(fx.host().renderer.BadReleases(), 0);
    EXPECT_EQ(world::SpaceLinesList::Current(), nullptr) << "the current line list dies with its list";
}

TEST(SceneBase, UpdateWalksEveryObjectAfterWhatHangsBelowIt) {
    std::vector<std::string> log;  // outlives the scenes that note into it
    WorldFixture fx;
    TestScene* scene = fx.NewScene();
    auto* p = new Noting("p", &log);
    auto* c1 = new Noting("c1", &log);
    auto* c2 = new Noting("c2", &log);
    auto* a = new Noting("a", &log);
    auto* g = new Noting("g", &log);
    for (SpaceObject* o : std::vector<SpaceObject*>{p, c1, c2, a, g}) scene->AttachObject(o);
    p->AddChild(c1, false);
    p->AddChild(c2, false);
    p->AddAttachment(a, false);
    c1->AddChild(g, false);

    scene->Update();
    EXPECT_EQ(log, std::vector<std::string>{}) << "without a camera nothing is updated";
    EXPECT_TRUE(fx.capture.Contains("No active camera specified!"));

    scene->CreateCamera(true);
    scene->Update();
    const std::vector<std::string> expected = {"update a",  "update g",  "update c1", "update c2", "update p",
                                               "prepare a", "prepare g", "prepare c1", "prepare c2", "prepare p"};
    EXPECT_EQ(log, expected);
    log.clear();
    for (SpaceObject* o : std::vector<SpaceObject*>{g, c1, c2, a, p}) {
        o->SetParent(nullptr);
    }
    delete a;
    delete g;
    delete c1;
    delete c2;
    delete p;
}

TEST(SceneBase, DestroyObjectByKind) {
    std::vector<std::string> log;  // outlives the scenes that note into it
    WorldFixture fx;
    TestScene* scene = fx.NewScene();
    RecordingExtHost extHost;
    struct Case {
        int kind;
        const char* message;
        std::function<SpaceObject*()> make;
        std::function<int()> count;
    };
    const std::vector<Case> cases = {
        {2, "Camera is released.", [&] { return static_cast<SpaceObject*>(scene->CreateCamera(false)); },
         [&] { return static_cast<int>(scene->Cameras().Cameras().size()); }},
        {3, "Model is released.", [&] { return static_cast<SpaceObject*>(AddModel(*scene, "m", &log)); },
         [&] { return scene->GetModelCount(); }},
        {4, "Fx is released.",
         [&] {
             auto* e = new world::FxBase();
             scene->AddEffect(e);
             return static_cast<SpaceObject*>(e);
         },
         [&] { return scene->GetFxCount(); }},
        {5, "Space-lines is released.",
         [&] { return static_cast<SpaceObject*>(scene->LineObjects().Create(1, false, 0)); },
         [&] { return scene->LineObjects().Count(); }},
        {6, "Primitives is released.", [&] { return static_cast<SpaceObject*>(scene->CreatePrimObject(1, 2, false)); },
         [&] { return scene->GetPrimObjectCount(); }},
        {16, "External visible-object is released.",
         [&] { return static_cast<SpaceObject*>(scene->CreateVisibleNode(&extHost)->GetObject()); },
         [&] { return scene->GetVisibleNodeCount(); }},
    };
    for (const Case& c : cases) {
        SpaceObject* object = c.make();
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->GetObjectType(), c.kind);
        EXPECT_EQ(c.count(), 1) << c.kind;
        fx.capture.Clear();
        scene->DestroyObject(object);
        EXPECT_EQ(c.count(), 0) << c.kind;
        EXPECT_TRUE(fx.capture.Contains(c.message)) << c.kind;
    }
    // A plain object is left alone, and nothing is logged.
    SpaceObject plain;
    fx.capture.Clear();
    scene->DestroyObject(&plain);
    EXPECT_TRUE(fx.capture.Lines().empty());
}

TEST(SceneBase, ReleaseTable) {
    std::vector<std::string> log;  // outlives the scenes that note into it
    WorldFixture fx;
    TestScene* scene = fx.NewScene();

    EXPECT_FALSE(scene->ReleaseObject(nullptr, true));

    // A natural child is refused before anything changes: it stays registered and in place.
    NotingModel* parent = AddModel(*scene, "parent", &log);
    NotingModel* natural = AddModel(*scene, "natural", &log);
    ASSERT_TRUE(parent->AddAttachment(natural, false));
    EXPECT_FALSE(scene->ReleaseObject(natural, true));
    EXPECT_TRUE(fx.capture.Contains("Can't delete natural child object."));
    EXPECT_TRUE(World::Instance().IsObjectIdRegistered(natural->GetId()));
    EXPECT_EQ(natural->Parent(), parent);

    // An object of another scene is outside this tree: refused, still registered there.
    TestScene* other = fx.NewScene();
    NotingModel* foreign = AddModel(*other, "foreign", &log);
    EXPECT_FALSE(scene->ReleaseObject(foreign, true));
    EXPECT_TRUE(World::Instance().IsObjectIdRegistered(foreign->GetId()));

    // Children go last first, then the natural child, then the object.
    NotingModel* c1 = AddModel(*scene, "c1", &log);
    NotingModel* c2 = AddModel(*scene, "c2", &log);
    NotingModel* c3 = AddModel(*scene, "c3", &log);
    for (NotingModel* c : {c1, c2, c3}) ASSERT_TRUE(parent->AddChild(c, false));
    const std::uint32_t parentId = parent->GetId();
    const std::uint32_t naturalId = natural->GetId();
    EXPECT_TRUE(scene->ReleaseObjectById(parentId, true));
    EXPECT_EQ(log, (std::vector<std::string>{"~natural", "~c3", "~c2", "~c1", "~parent"}));
    EXPECT_FALSE(World::Instance().IsObjectIdRegistered(parentId));
    EXPECT_FALSE(World::Instance().IsObjectIdRegistered(naturalId));
    EXPECT_EQ(scene->GetModelCount(), 0);

    fx.capture.Clear();
    EXPECT_FALSE(scene->ReleaseObjectById(parentId, true));
    EXPECT_TRUE(fx.capture.Contains("Scene Release Object[" + std::to_string(parentId) + "] has aready deleted!"));
}

TEST(SceneBase, ClearEmptiesEveryList) {
    std::vector<std::string> log;  // outlives the scenes that note into it
    WorldFixture fx;
    TestScene* scene = fx.NewScene();
    scene->CreateCamera(true);
    NotingModel* m = AddModel(*scene, "m", &log);
    scene->AddNamedObject(m, "door");
    scene->AddEffect(new world::FxBase());
    scene->CreatePrimObject(1, 2, false);
    const std::uint8_t grey[4] = {1, 2, 3, 4};
    scene->SetAmbientColor(grey);
    scene->Clear();
    EXPECT_EQ(log, std::vector<std::string>{"~m"});
    EXPECT_EQ(scene->GetModelCount(), 0);
    EXPECT_EQ(scene->GetFxCount(), 0);
    EXPECT_EQ(scene->GetPrimObjectCount(), 0);
    EXPECT_EQ(scene->GetActiveCamera(), nullptr);
    EXPECT_EQ(scene->CountNamedObjects("door"), 0);
    EXPECT_EQ(scene->GetRootObject()->GetChildCount(), 0);
    EXPECT_EQ(fx.host().renderer.LastSceneLightState()->ambient, 0u);
    float zNear = 0, zFar = 0;
    scene->GetDefaultZRange(&zNear, &zFar);
    EXPECT_EQ(zNear, 1.0f);
    EXPECT_EQ(zFar, 10000.0f);
}

TEST(SceneBase, NamedObjectsKeyByTheFull64BitHash) {
    std::vector<std::string> log;  // outlives the scenes that note into it
    WorldFixture fx;
    TestScene* scene = fx.NewScene();
    NotingModel* a = AddModel(*scene, "a", &log);
    NotingModel* b = AddModel(*scene, "b", &log);
    EXPECT_EQ(scene->AddNamedObject(nullptr, "x"), 0);
    scene->AddNamedObject(a, "gate");
    scene->AddNamedObject(b, "gate");
    scene->AddNamedObject(a, "tower");
    EXPECT_EQ(scene->CountNamedObjects("gate"), 2);
    EXPECT_EQ(scene->CountNamedObjects("tower"), 1);
    EXPECT_EQ(scene->CountNamedObjects("none"), 0);
    world::IModel* models[4] = {};
    EXPECT_EQ(scene->GetNamedModels(models, "gate"), 2);
    EXPECT_EQ(models[0], static_cast<world::IModel*>(a));
    EXPECT_EQ(models[1], static_cast<world::IModel*>(b));
    // Releasing a model takes it out of every name it stands under.
    EXPECT_TRUE(scene->ReleaseObject(a, true));
    EXPECT_EQ(scene->CountNamedObjects("gate"), 1);
    EXPECT_EQ(scene->CountNamedObjects("tower"), 0);
}

TEST(SceneBase, NamesSharingTheLow32BitsStayApart) {
    // Two names whose hashes agree in their low 32 bits, found by search (the birthday bound
    // makes one likely within a few hundred thousand names).
    std::unordered_map<std::uint32_t, std::string> seen;
    std::string first, second;
    for (int i = 0; i < 2000000 && first.empty(); ++i) {
        const std::string name = "n" + std::to_string(i);
        const std::uint64_t h = NameHash64(name.c_str());
        auto [it, fresh] = seen.emplace(static_cast<std::uint32_t>(h), name);
        if (!fresh && NameHash64(it->second.c_str()) != h) {
            first = it->second;
            second = name;
        }
    }
    ASSERT_FALSE(first.empty());
    std::vector<std::string> log;
    WorldFixture fx;
    TestScene* scene = fx.NewScene();
    NotingModel* a = AddModel(*scene, "a", &log);
    NotingModel* b = AddModel(*scene, "b", &log);
    scene->AddNamedObject(a, first.c_str());
    scene->AddNamedObject(b, second.c_str());
    EXPECT_EQ(scene->CountNamedObjects(first.c_str()), 1);
    EXPECT_EQ(scene->CountNamedObjects(second.c_str()), 1);
    world::IModel* models[2] = {};
    ASSERT_EQ(scene->GetNamedModels(models, second.c_str()), 1);
    EXPECT_EQ(models[0], static_cast<world::IModel*>(b));
}

TEST(SceneBase, RenderBracketCollectsVisibleObjects) {
    std::vector<std::string> log;  // outlives the scenes that note into it
    WorldFixture fx;
    TestScene* scene = fx.NewScene();
    world::Camera* camera = scene->CreateCamera(true);
    camera->SetPerspective(60.0f, 1.0f, 1.0f, 100.0f);
    camera->GetRenderCamera()->Refresh();
    auto* near = new Noting("near", &log);
    auto* far = new Noting("far", &log);
    scene->AttachObject(near);
    scene->AttachObject(far);
    near->SetPosition(Vec3{0, 0, 10});
    far->SetPosition(Vec3{0, 0, 1000});
    scene->Render();
    ASSERT_EQ(scene->renders, 1);
    EXPECT_FALSE(scene->IsRendering());
    // Both objects pass the main culling pass (their culling is not switched on).
    const auto& list = scene->RenderList();
    EXPECT_EQ(list.size(), 2u);
    EXPECT_NE(std::find(list.begin(), list.end(), near), list.end());
    // While the scene is being destroyed nothing is drawn.
    scene->SetProgress(0);
    near->SetParent(nullptr);
    far->SetParent(nullptr);
    delete near;
    delete far;
}

}  // namespace

namespace {

using namespace quor;
using namespace quor::test;

// Clear unlinks objects that no list owns; they may then go on their own, before the scene.
TEST(SceneBase, ObjectsClearedFromTheTreeMayGoBeforeTheScene) {
    WorldFixture fx;
    TestScene* scene = fx.NewScene();
    std::vector<std::unique_ptr<world::VisibleObject>> objects;
    for (int i = 0; i < 6; ++i) {
        objects.push_back(std::make_unique<world::VisibleObject>());
        scene->AttachObject(objects.back().get());
        if (i > 0) {
            ASSERT_TRUE(objects[static_cast<std::size_t>(i / 2)]->AddChild(objects.back().get(), false));
        }
    }
    scene->Clear();
    for (auto& o : objects) EXPECT_EQ(o->Parent(), nullptr);
    objects.clear();
    scene->GetRootObject()->InvalidateTransform();
    World::Instance().DestroyScene(scene);
}

}  // namespace
