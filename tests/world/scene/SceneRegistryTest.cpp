#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/world/scene/WorldFixture.h"

namespace {

using namespace quor;
using namespace quor::test;

struct CreateCase {
    std::string name;
    std::string existing;  // the file the test scene finds ("" none)
    bool created;
    int type;                      // scene type when created
    std::vector<std::string> tried;  // names Create was given, in order
};

TEST(SceneRegistry, CreateByExtension) {
    const std::string longName = std::string(252, 'a') + ".scn";  // 256 characters
    const CreateCase cases[] = {
        {"maps/a.S3D", "maps/a.s3d", true, 1, {"maps/a.s3d"}},
        {"maps/b.scn", "maps/b.scn", true, 1, {"maps/b.s3d", "maps/b.scn"}},
        {"maps/c.scn", "", false, 0, {"maps/c.s3d", "maps/c.scn"}},
        {"maps/d.xml", "maps/d.xml", true, 0, {"maps/d.xml"}},
        {"maps/e.SCN", "maps/e.scn", true, 1, {"maps/e.s3d", "maps/e.scn"}},
        {longName, longName, false, 0, {}},
        {"maps/noext", "maps/noext", false, 0, {}},
    };
    for (const CreateCase& c : cases) {
        WorldFixture fx;
        if (!c.existing.empty()) fx.journal.existing.insert(c.existing);
        std::string caller = c.name;
        world::IScene* scene = World::Instance().CreateScene(caller.c_str(), 0, 0, 0);
        EXPECT_EQ(scene != nullptr, c.created) << c.name;
        EXPECT_EQ(caller, c.name) << "the caller's string is left as passed";
        std::vector<std::string> tried;
        for (const std::string& e : fx.journal.entries)
            if (e.rfind("create ", 0) == 0) tried.push_back(e.substr(7));
        EXPECT_EQ(tried, c.tried) << c.name;
        if (scene) {
            EXPECT_EQ(scene->GetSceneType(), c.type) << c.name;
            EXPECT_EQ(World::Instance().GetSceneCount(), 1);
        } else {
            EXPECT_EQ(World::Instance().GetSceneCount(), 0);
        }
    }
}

TEST(SceneRegistry, OnlyTheFirstSceneIsToldState1) {
    WorldFixture fx;
    fx.journal.existing = {"a.s3d", "b.s3d"};
    // A failing first create still uses up the flag.
    EXPECT_EQ(World::Instance().CreateScene("x.s3d", 0, 0, 0), nullptr);
    ASSERT_NE(World::Instance().CreateScene("a.s3d", 0, 0, 0), nullptr);
    ASSERT_NE(World::Instance().CreateScene("b.s3d", 0, 0, 0), nullptr);
    int states = 0;
    for (const std::string& e : fx.journal.entries) states += e == "state 1";
    EXPECT_EQ(states, 1);
}

TEST(SceneRegistry, WithoutAFactoryNoSceneIsMade) {
    WorldFixture fx;
    world::SceneRegistry::Instance().SetFactory(world::SceneRegistry::kScene2D, nullptr);
    fx.journal.existing = {"m.xml"};
    EXPECT_EQ(World::Instance().CreateScene("m.xml", 0, 0, 0), nullptr);
    EXPECT_TRUE(fx.capture.Contains("No 2D scene can be made"));
}

TEST(SceneRegistry, ActivationAndDeletion) {
    WorldFixture fx;
    fx.journal.existing = {"a.s3d", "b.s3d"};
    auto* a = static_cast<TestScene*>(World::Instance().CreateScene("a.s3d", 0, 0, 0));
    auto* b = static_cast<TestScene*>(World::Instance().CreateScene("b.s3d", 0, 0, 0));
    ASSERT_TRUE(a && b);
    fx.journal.entries.clear();

    b->SetProgress(65535);
    EXPECT_FALSE(World::Instance().SetActiveScene(b));
    EXPECT_TRUE(fx.capture.Contains("SetProgress(0)"));
    EXPECT_EQ(World::Instance().GetCurrentScene(), nullptr);

    EXPECT_TRUE(World::Instance().SetActiveScene(a));
    EXPECT_TRUE(World::Instance().SetActiveScene(a));
    const std::string activeA = "active " + std::to_string(a->GetSceneId());
    EXPECT_EQ(fx.journal.entries, std::vector<std::string>{activeA}) << "activating again tells nobody";

    fx.host().renderer.ClearCalls();
    EXPECT_TRUE(World::Instance().SetActiveScene(nullptr));
    EXPECT_EQ(World::Instance().GetCurrentScene(), nullptr);
    EXPECT_EQ(fx.host().renderer.Calls(), std::vector<std::string>{"SetCurrentView(null)"});

    EXPECT_TRUE(World::Instance().SetActiveScene(a));
    World::Instance().DestroyScene(a);
    EXPECT_EQ(World::Instance().GetCurrentScene(), nullptr);
    EXPECT_EQ(World::Instance().GetSceneCount(), 1);
    EXPECT_EQ(World::Instance().GetScene(0), b);
    EXPECT_EQ(World::Instance().GetScene(1), nullptr);
    EXPECT_TRUE(fx.capture.Contains("delete scene"));
    // Unknown and null scenes are ignored.
    World::Instance().DestroyScene(a);
    World::Instance().DestroyScene(nullptr);
    EXPECT_EQ(World::Instance().GetSceneCount(), 1);
}

TEST(SceneRegistry, ADestroyedSceneIsNeverCalled) {
    WorldFixture fx;
    TestScene* kept = fx.NewScene();
    TestScene* gone = fx.NewScene();
    ASSERT_TRUE(kept && gone);
    EXPECT_TRUE(World::Instance().SetActiveScene(kept));
    World::Instance().DestroyScene(gone);
    // The pointer is stale: each operation refuses it without reading the scene.
    EXPECT_FALSE(World::Instance().SetActiveScene(gone));
    EXPECT_EQ(World::Instance().GetCurrentScene(), kept);
    world::SceneRegistry::Instance().SetActiveScene(gone);
    EXPECT_EQ(World::Instance().GetCurrentScene(), kept);
    World::Instance().DestroyScene(gone);
    EXPECT_EQ(World::Instance().GetSceneCount(), 1);
}

TEST(SceneRegistry, Listings) {
    WorldFixture fx;
    fx.journal.existing = {"town.s3d", "field.xml"};
    ASSERT_NE(World::Instance().CreateScene("town.s3d", 0, 0, 0), nullptr);
    ASSERT_NE(World::Instance().CreateScene(nullptr, 0, 0, 0), nullptr);
    ASSERT_NE(World::Instance().CreateScene("field.xml", 0, 0, 0), nullptr);
    fx.capture.Clear();
    World::Instance().Print3DScenes();
    const std::vector<std::string> lines = fx.capture.Lines();
    const std::vector<std::string> expected = {
        "Print3DScene" + std::string(50, '>'), "town.s3d  (0 + 0)", "Empty scene  (0)", "total cont = 2",
        "empty scene count = 1", "load from file count = 1", "Print3DScene" + std::string(50, '<')};
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_NE(lines[i].find(expected[i]), std::string::npos) << lines[i];
    fx.capture.Clear();
    World::Instance().Print2DScenes();
    EXPECT_TRUE(fx.capture.Contains("field.xml  (0 + 0)"));
    EXPECT_TRUE(fx.capture.Contains("total cont = 1"));
}

TEST(SceneRegistry, RectsOverlap) {
    struct Case {
        float a[4], b[4];
        bool overlap;
    };
    const Case cases[] = {
        {{0, 0, 10, 10}, {5, 5, 15, 15}, true},
        {{0, 0, 10, 10}, {10, 0, 20, 10}, false},  // touching edges
        {{0, 0, 10, 10}, {2, 2, 3, 3}, true},       // inside
        {{0, 0, 10, 10}, {0, 11, 10, 20}, false},
        {{0, 0, 10, 10}, {9.5f, 9.5f, 30, 30}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(world::RectsOverlap(c.a, c.b), c.overlap);
        EXPECT_EQ(world::RectsOverlap(c.b, c.a), c.overlap);
    }
}

}  // namespace
