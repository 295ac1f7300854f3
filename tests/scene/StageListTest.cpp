// The scene's two stage lists: adding, searching, replacing and removing overlay objects.

#include "tests/support/scene/SceneFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace scene_test;

namespace {

using Strings = std::vector<std::string>;

// The ids of a list in order.
std::vector<unsigned int> Ids(const KytScene& scene, AUX_STAGE stage)
{
    std::vector<unsigned int> ids;
    for (KytAuxContents* o = scene.GetAuxConts(stage); o; o = o->pNextAux)
        ids.push_back(o->GetID());
    return ids;
}

using IdList = std::vector<unsigned int>;

class StageListTest : public SceneFixture {
protected:
    // first: 1 2 3 2, second: 2 4
    void Fill(KytScene& scene)
    {
        for (unsigned int id : {1u, 2u, 3u, 2u})
            scene.AddAuxContents(new RecordingAux(("f" + std::to_string(id)).c_str(), id), AUX_STAGE_FIRST);
        for (unsigned int id : {2u, 4u})
            scene.AddAuxContents(new RecordingAux(("s" + std::to_string(id)).c_str(), id), AUX_STAGE_SECOND);
    }
    RecordingScene scene;
};

TEST_F(StageListTest, AddAppendsAndAnyOtherStageIsTheSecond)
{
    Fill(scene);
    scene.AddAuxContents(new RecordingAux("x", 9), static_cast<AUX_STAGE>(7));
    EXPECT_EQ(Ids(scene, AUX_STAGE_FIRST), (IdList{1, 2, 3, 2}));
    EXPECT_EQ(Ids(scene, AUX_STAGE_SECOND), (IdList{2, 4, 9}));
    EXPECT_EQ(Ids(scene, static_cast<AUX_STAGE>(3)), (IdList{2, 4, 9}));
}

TEST_F(StageListTest, AddClearsAStaleLinkAndRefusesAnObjectAlreadyListed)
{
    auto* a = new RecordingAux("a", 1);
    auto* b = new RecordingAux("b", 2);
    RecordingAux foreign("foreign", 3);
    a->pNextAux = &foreign;  // a stale link must not splice the foreign object in
    scene.AddAuxContents(a, AUX_STAGE_FIRST);
    scene.AddAuxContents(b, AUX_STAGE_FIRST);
    EXPECT_EQ(Ids(scene, AUX_STAGE_FIRST), (IdList{1, 2}));
    // Appending the tail again would close a cycle.
    scene.AddAuxContents(b, AUX_STAGE_FIRST);
    scene.AddAuxContents(a, AUX_STAGE_SECOND);
    EXPECT_EQ(Ids(scene, AUX_STAGE_FIRST), (IdList{1, 2}));
    EXPECT_EQ(Ids(scene, AUX_STAGE_SECOND), IdList{});
}

TEST_F(StageListTest, SearchFindsTheFirstStageFirst)
{
    Fill(scene);
    KytAuxContents* found = scene.SearchAuxContents(2);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(static_cast<RecordingAux*>(found)->name, "f2");
    EXPECT_EQ(static_cast<RecordingAux*>(scene.SearchAuxContents(4))->name, "s4");
    EXPECT_EQ(scene.SearchAuxContents(5), nullptr);
}

TEST_F(StageListTest, RemovalByIdTable)
{
    struct Case {
        unsigned int id;
        bool all;
        bool result;
        IdList first, second;
    } cases[] = {
        {1, false, true, {2, 3, 2}, {2, 4}},   // the head: its successor becomes the head
        {2, false, true, {1, 3, 2}, {2, 4}},   // only the one met first
        {2, true, true, {1, 3}, {4}},          // every one, both lists, heads included
        {4, false, true, {1, 2, 3, 2}, {2}},   // the last one
        {5, true, false, {1, 2, 3, 2}, {2, 4}},
    };
    for (const Case& c : cases) {
        RecordingScene s;
        Fill(s);
        const int live = RecordingAux::live;
        EXPECT_EQ(s.RemoveAuxContents(c.id, c.all), c.result) << c.id;
        EXPECT_EQ(Ids(s, AUX_STAGE_FIRST), c.first) << c.id << c.all;
        EXPECT_EQ(Ids(s, AUX_STAGE_SECOND), c.second) << c.id << c.all;
        const size_t left = c.first.size() + c.second.size();
        EXPECT_EQ(RecordingAux::live, live - static_cast<int>(6 - left));
    }
}

TEST_F(StageListTest, RemovalOfTheOnlyObjectEmptiesTheList)
{
    auto* only = new RecordingAux("only", 8);
    scene.AddAuxContents(only, AUX_STAGE_SECOND);
    EXPECT_TRUE(scene.RemoveAuxContents(only));
    EXPECT_EQ(scene.GetAuxConts(AUX_STAGE_SECOND), nullptr);
    RecordingAux stranger("stranger", 8);
    EXPECT_FALSE(scene.RemoveAuxContents(&stranger));
    EXPECT_FALSE(scene.RemoveAuxContents(static_cast<KytAuxContents*>(nullptr)));
}

TEST_F(StageListTest, RemovalByPointerAndByLink)
{
    Fill(scene);
    KytLink link;
    KytAuxContents* second = scene.GetAuxConts(AUX_STAGE_SECOND);
    static_cast<RecordingAux*>(second->pNextAux)->target = &link;  // s4
    static_cast<RecordingAux*>(scene.GetAuxConts(AUX_STAGE_FIRST)->pNextAux->pNextAux)->target = &link;  // f3
    EXPECT_TRUE(scene.RemoveAuxContents(&link));
    EXPECT_EQ(Ids(scene, AUX_STAGE_FIRST), (IdList{1, 2, 2}));
    EXPECT_TRUE(scene.RemoveAuxContents(&link));
    EXPECT_EQ(Ids(scene, AUX_STAGE_SECOND), (IdList{2}));
    EXPECT_FALSE(scene.RemoveAuxContents(&link));
    EXPECT_TRUE(scene.RemoveAuxContents(second));
    EXPECT_EQ(Ids(scene, AUX_STAGE_SECOND), IdList{});
}

TEST_F(StageListTest, RemovalDestroysWithTheContextCurrentThenDeletes)
{
    ASSERT_TRUE(scene.Create(NewOgl(16, 16), 16, 16));
    auto* obj = new RecordingAux("gone", 3);
    scene.AddAuxContents(obj, AUX_STAGE_FIRST);
    RecordingScene other;
    ASSERT_TRUE(other.Create(NewOgl(16, 16), 16, 16));  // another context is current now
    ClearLog();
    quor::wgl::HWND seen = nullptr;
    obj->onDestroy = [&] { seen = KytOgl::hWndNow; };
    EXPECT_TRUE(scene.RemoveAuxContents(3u, false));
    EXPECT_EQ(seen, scene.GetOgl()->GetHwnd());
    EXPECT_EQ(Log(), (Strings{"gone:Destroy", "gone:delete"}));
}

TEST_F(StageListTest, AddCreatesWithTheSceneOrWhenTheSceneIsCreated)
{
    auto* early = new RecordingAux("early", 1);
    scene.AddAuxContents(early, AUX_STAGE_FIRST);
    EXPECT_TRUE(Log().empty());  // no context yet
    ASSERT_TRUE(scene.Create(NewOgl(16, 16), 16, 16));
    EXPECT_EQ(std::count(Log().begin(), Log().end(), "early:Create"), 1);
    ClearLog();
    scene.AddAuxContents(new RecordingAux("late", 2), AUX_STAGE_SECOND);
    EXPECT_EQ(Log(), (Strings{"late:Create"}));
}

TEST_F(StageListTest, ReplaceHandsBackTheFormerChain)
{
    Fill(scene);
    ASSERT_TRUE(scene.Create(NewOgl(16, 16), 16, 16));
    auto* head = new RecordingAux("h", 7);
    head->pNextAux = new RecordingAux("t", 8);
    ClearLog();
    KytAuxContents* former = scene.ReplaceAuxContents(head, true, AUX_STAGE_FIRST);
    EXPECT_EQ(Log(), (Strings{"h:Create"}));  // the head only
    EXPECT_EQ(Ids(scene, AUX_STAGE_FIRST), (IdList{7, 8}));
    // The former chain is the caller's now.
    auto freeChain = [](KytAuxContents* chain) {
        while (chain) {
            KytAuxContents* next = chain->pNextAux;
            delete chain;
            chain = next;
        }
    };
    freeChain(former);
    ClearLog();
    former = scene.ReplaceAuxContents(nullptr, true, AUX_STAGE_SECOND);
    EXPECT_TRUE(Log().empty());
    ASSERT_NE(former, nullptr);
    EXPECT_EQ(former->GetID(), 2u);
    freeChain(former);
    EXPECT_EQ(scene.GetAuxConts(AUX_STAGE_SECOND), nullptr);
}

TEST_F(StageListTest, DestructorFreesTheSecondListThenTheFirst)
{
    {
        RecordingScene s;
        s.AddAuxContents(new RecordingAux("f", 1), AUX_STAGE_FIRST);
        s.AddAuxContents(new RecordingAux("s", 2), AUX_STAGE_SECOND);
        ClearLog();
    }
    EXPECT_EQ(Log(), (Strings{"s:delete", "f:delete"}));
}

} // namespace
