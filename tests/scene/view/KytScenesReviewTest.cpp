// The scene list's forwards of the annotation and review chains.

#include "tests/support/scene/SceneFixture.h"

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"
#include "scene/view/KytScenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace scene_test {
namespace {

class DependScene : public RecordingScene {
public:
    using RecordingScene::RecordingScene;
    void DrawDependPart() const override { Log().push_back(std::string(GetName()) + ":depend"); }
};

class ScenesReview : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        one = new DependScene(&root, "one");
        scenes = std::make_unique<KytScenes>(&root, one);
        two = new DependScene(&root, "two");
        odd = new DependScene(&root, "odd");
        scenes->AddScene(two);
        scenes->AddScene(odd);
        odd->SetNormal(false);
    }
    void TearDown() override
    {
        scenes.reset();
        SceneFixture::TearDown();
    }
    KytLink root;
    DependScene* one = nullptr;
    DependScene* two = nullptr;
    DependScene* odd = nullptr;
    std::unique_ptr<KytScenes> scenes;
};

TEST_F(ScenesReview, ForwardsReachNormalScenesOnlyButAnySceneCanHoldAnId)
{
    KytDRArrowData d;
    d.ulDRKey = 4;
    for (KytScene* s : {static_cast<KytScene*>(one), static_cast<KytScene*>(two),
                        static_cast<KytScene*>(odd)}) {
        auto* arrow = new AuxDRArrow(AuxDRArrow::ID, &root);
        arrow->pDRData = &d;
        s->AddDRArrow(arrow);
    }
    scenes->DeleteDRAuxContents(4);
    EXPECT_EQ(one->GetDRArrowHead(), nullptr);
    EXPECT_EQ(two->GetDRArrowHead(), nullptr);
    ASSERT_NE(odd->GetDRArrowHead(), nullptr);
    EXPECT_TRUE(scenes->IsCanDeleteDRData(4));
    EXPECT_FALSE(scenes->IsCanDeleteDRData(5));

    KytLink other;
    scenes->ChangeAuxDRArrowLink(&d, &root, &other);
    EXPECT_EQ(odd->GetDRArrowHead()->GetTargetLink(), &root);
}

TEST_F(ScenesReview, TargetMarksFollowIdAndNumberInTheOtherNormalScenes)
{
    auto make = [&](KytScene* s, int no) {
        auto* a = new AuxDRPartsConnect(AuxDRPartsConnect::ID, &root);
        a->SetNo(no);
        s->AddPartsConnect(a);
        return a;
    };
    AuxDRPartsConnect* mine = make(one, 3);
    AuxDRPartsConnect* match = make(two, 3);
    AuxDRPartsConnect* miss = make(two, 4);
    miss->bPicked = true;
    AuxDRPartsConnect* skipped = make(odd, 3);
    ClearLog();
    scenes->ChangeTargetDRPartsConnect(one, mine);
    EXPECT_TRUE(match->bPicked);
    EXPECT_FALSE(miss->bPicked);
    EXPECT_EQ(two->GetDRPartsConnectPicked(), match);
    EXPECT_FALSE(skipped->bPicked);
    EXPECT_FALSE(mine->bPicked);
    EXPECT_EQ(Log(), (std::vector<std::string>{"one:depend", "two:depend"}));

    // Nothing matches: no current target.
    AuxDRPartsConnect stranger(AuxDRPartsConnect::ID, &root);
    stranger.SetNo(99);
    scenes->ChangeTargetDRPartsConnect(one, &stranger);
    EXPECT_FALSE(match->bPicked);
    EXPECT_EQ(two->GetDRPartsConnectPicked(), nullptr);
    ClearLog();
    scenes->ChangeTargetDRArrow(one, nullptr);
    EXPECT_TRUE(Log().empty());
}

} // namespace
} // namespace scene_test
