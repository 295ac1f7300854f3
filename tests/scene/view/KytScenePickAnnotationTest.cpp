// The scene's window picks of annotations and review objects, with scripted hit tests.

#include "tests/support/scene/SceneFixture.h"

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"

#include <gtest/gtest.h>

#include <vector>

namespace scene_test {
namespace {

// Hit where told: `text` for the text box, `leader` for the leader.
template <class Base>
class Scripted : public Base {
public:
    using Base::Base;
    bool Pick(KytOgl*, int, int) override { return text; }
    bool Pick2(KytOgl*, int, int) override { return leader; }
    bool text = false;
    bool leader = false;
};

class ScriptedArrow : public AuxDRArrow {
public:
    using AuxDRArrow::AuxDRArrow;
    bool Pick(KytOgl*, int, int) override { return text; }
    bool text = false;
};

class AnnotationPicks : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        ASSERT_TRUE(scene.Create(NewOgl(32, 32), 32, 32));
    }
    KytLink part;
    RecordingScene scene{&part, "s"};
};

TEST_F(AnnotationPicks, NothingWithoutObjectsOrContext)
{
    EXPECT_EQ(scene.PickAnnotation(1, 1), nullptr);
    EXPECT_EQ(scene.PickDRArrow(1, 1), nullptr);
    RecordingScene bare(&part, "bare");
    bare.AddAnnotation(new Scripted<AuxAnnotate>(12, &part), AUX_STAGE_SECOND);
    EXPECT_EQ(bare.PickAnnotation(1, 1), nullptr);
}

TEST_F(AnnotationPicks, LastHitWinsAndTheOverlapGroupOfId12IsFlagged)
{
    KytAnnotateData r[4];
    r[0].uOverlapID = 7;
    r[1].uOverlapID = 7;
    r[2].uOverlapID = 7;
    r[3].uOverlapID = 8;
    std::vector<Scripted<AuxAnnotate>*> objs;
    const unsigned ids[] = {12, 12, 13, 12};
    for (int i = 0; i < 4; ++i) {
        auto* o = new Scripted<AuxAnnotate>(ids[i], &part);
        o->pData = &r[i];
        scene.AddAnnotation(o, AUX_STAGE_SECOND);
        objs.push_back(o);
    }
    objs[0]->text = objs[1]->text = true;
    EXPECT_EQ(scene.PickAnnotation(3, 3), objs[1]);
    EXPECT_EQ(scene.GetAnnotatePicked(), objs[1]);
    // Same overlap id and id 12: flagged; id 13 or another overlap id: not.
    std::vector<bool> flags;
    for (auto* o : objs)
        flags.push_back(o->bPicked);
    EXPECT_EQ(flags, (std::vector<bool>{true, true, false, false}));

    // A miss everywhere clears every flag and leaves the picked pointer as it was.
    objs[0]->text = objs[1]->text = false;
    EXPECT_EQ(scene.PickAnnotation(3, 3), nullptr);
    for (auto* o : objs)
        EXPECT_FALSE(o->bPicked);

    // The leader hit (record present) wins without grouping; a text hit groups by overlap
    // id whatever the ids.
    objs[3]->leader = true;
    EXPECT_EQ(scene.PickAnnotation2(3, 3), objs[3]);
    EXPECT_FALSE(objs[0]->bPicked);
    objs[3]->leader = false;
    objs[2]->text = true;
    EXPECT_EQ(scene.PickAnnotation2(3, 3), objs[2]);
    flags.clear();
    for (auto* o : objs)
        flags.push_back(o->bPicked);
    EXPECT_EQ(flags, (std::vector<bool>{true, true, true, false}));
}

TEST_F(AnnotationPicks, ReviewPicksFlagByBalloonGroupOrAlone)
{
    KytDRAnnotateData r[3];
    r[0].ulDRKey = r[1].ulDRKey = r[2].ulDRKey = 4;
    r[0].uBalloon = r[1].uBalloon = 2;
    r[2].uBalloon = 3;
    std::vector<Scripted<AuxDRAnnotate>*> objs;
    for (int i = 0; i < 3; ++i) {
        auto* o = new Scripted<AuxDRAnnotate>(AuxDRAnnotate::ID, &part);
        o->pDRData = &r[i];
        scene.AddAnnotation(o, AUX_STAGE_SECOND);
        objs.push_back(o);
    }
    // Missed objects keep their flags when nothing is hit.
    objs[2]->bPicked = true;
    EXPECT_EQ(scene.PickDRAnnotation(1, 1), nullptr);
    EXPECT_TRUE(objs[2]->bPicked);
    objs[0]->text = true;
    EXPECT_EQ(scene.PickDRAnnotation(1, 1), objs[0]);
    EXPECT_TRUE(objs[0]->bPicked);
    EXPECT_FALSE(objs[1]->bPicked);
    EXPECT_FALSE(objs[2]->bPicked);
    // The balloon group: same review id and balloon number.
    EXPECT_EQ(scene.PickDRAnnotation3(1, 1), objs[0]);
    EXPECT_TRUE(objs[1]->bPicked);
    EXPECT_FALSE(objs[2]->bPicked);
    // A leader hit flags the result alone.
    objs[0]->text = false;
    objs[0]->leader = true;
    EXPECT_EQ(scene.PickDRAnnotation2(1, 1), objs[0]);
    EXPECT_FALSE(objs[1]->bPicked);
    EXPECT_EQ(scene.GetDRAnnotatePicked(), objs[0]);
}

TEST_F(AnnotationPicks, ArrowsAndConnectionsKeepOnlyTheLastHit)
{
    std::vector<ScriptedArrow*> arrows;
    for (int i = 0; i < 3; ++i) {
        auto* a = new ScriptedArrow(AuxDRArrow::ID, &part);
        scene.AddDRArrow(a);
        arrows.push_back(a);
    }
    arrows[0]->text = arrows[2]->text = true;
    arrows[1]->bPicked = true;
    EXPECT_EQ(scene.PickDRArrow(1, 1), arrows[2]);
    EXPECT_FALSE(arrows[0]->bPicked);
    EXPECT_FALSE(arrows[1]->bPicked);
    EXPECT_EQ(scene.GetDRArrowPicked(), arrows[2]);

    auto* path = new Scripted<AuxDRPartsConnect>(AuxDRPartsConnect::ID, &part);
    scene.AddPartsConnect(path);
    path->leader = true;
    EXPECT_EQ(scene.PickDRPartsConnect(1, 1), nullptr);
    EXPECT_EQ(scene.PickDRPartsConnect2(1, 1), path);
    EXPECT_EQ(scene.GetDRPartsConnectPicked(), path);
    EXPECT_EQ(AuxDRPartsConnect::viewP[2], 32);
}

} // namespace
} // namespace scene_test
