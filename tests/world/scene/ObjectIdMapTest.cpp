#include "tests/support/world/scene/TestScene.h"
#include "world/scene/ObjectIdMap.h"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "world/core/SpaceObject.h"
#include "world/scene/SceneBase.h"

namespace quor::world {
namespace {

class ObjectIdMapTest : public ::testing::Test {
protected:
    void TearDown() override { ObjectIdMap::Instance().Reset(); }
};

TEST_F(ObjectIdMapTest, AnIdentifierAlreadyPresentKeepsItsEntry) {
    ObjectIdMap map;
    SpaceObject a, b;
    EXPECT_TRUE(map.Insert(7, &a));
    EXPECT_FALSE(map.Insert(7, &b));
    EXPECT_EQ(map.Find(7), &a);
    EXPECT_TRUE(map.Contains(7));
    EXPECT_EQ(map.Find(8), nullptr);
    EXPECT_TRUE(map.Erase(7));
    EXPECT_FALSE(map.Erase(7));
    EXPECT_EQ(map.Size(), 0u);
}

TEST_F(ObjectIdMapTest, AttachedObjectsAreRegisteredUntilTheyDie) {
    quor::test::TestScene scene(1, nullptr);
    EXPECT_EQ(scene.GetRootObject()->GetScene(), &scene);
    std::uint32_t id = 0;
    {
        SpaceObject o;
        id = o.GetId();
        EXPECT_FALSE(SceneBase::IsObjectIdRegistered(id));
        scene.AttachObject(&o);
        EXPECT_TRUE(SceneBase::IsObjectIdRegistered(id));
        EXPECT_EQ(ObjectIdMap::Instance().Find(id), &o);
        EXPECT_EQ(o.GetScene(), &scene);
        EXPECT_TRUE(o.IsInScene(&scene));
        EXPECT_EQ(o.Parent(), scene.GetRootObject());
        EXPECT_EQ(o.GetRootNode(), scene.GetRootObject());
        // Attaching again changes nothing.
        scene.AttachObject(&o);
        EXPECT_EQ(scene.GetRootObject()->GetChildCount(), 1);
    }
    EXPECT_FALSE(SceneBase::IsObjectIdRegistered(id));
    EXPECT_EQ(scene.GetRootObject()->GetChildCount(), 0);
    EXPECT_FALSE(SceneBase::IsObjectIdRegistered(scene.GetRootObject()->GetId()));
}

TEST_F(ObjectIdMapTest, LoaderThreadsAttachWhileTheMainThreadReleases) {
    quor::test::TestScene scene(1, nullptr);
    constexpr int kThreads = 4;
    constexpr int kPerThread = 300;
    std::vector<std::vector<SpaceObject*>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                auto* o = new SpaceObject();
                scene.AttachObject(o);
                made[t].push_back(o);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(ObjectIdMap::Instance().Size(), std::size_t{kThreads * kPerThread});
    EXPECT_EQ(scene.GetRootObject()->GetChildCount(), kThreads * kPerThread);
    for (auto& list : made) {
        for (SpaceObject* o : list) {
            delete o;
        }
    }
    EXPECT_EQ(ObjectIdMap::Instance().Size(), 0u);
    EXPECT_EQ(scene.GetRootObject()->GetChildCount(), 0);
}

}  // namespace
}  // namespace quor::world
