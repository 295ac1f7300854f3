// Design-review backups, roll-backs and deletions, review dimensions, balloon numbers and
// the removal of what the scene shows for a part.

#include "tests/support/scene/SceneFixture.h"

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxCamera.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"
#include "scene/annotation/AuxDimension.h"
#include "scene/annotation/CMeasureData.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

namespace scene_test {
namespace {

class ReviewScene : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        for (KytLink* l : {&a, &b, &c})
            l->nType = 1;  // review records live on parts
        a.AddChild(&c);
        a.pSibling[KytLink::eReferMode] = &b;
    }
    template <class T>
    static std::vector<T*> Chain(T* head, T* T::*next)
    {
        std::vector<T*> out;
        for (T* o = head; o; o = o->*next)
            out.push_back(o);
        return out;
    }
    AuxDRAnnotate* Note(KytLink* link, KytDRAnnotateData* d)
    {
        auto* o = new AuxDRAnnotate(AuxDRAnnotate::ID, link);
        o->pDRData = d;
        scene.AddAnnotation(o, AUX_STAGE_SECOND);
        return o;
    }
    KytLink a, b, c;
    RecordingScene scene{&a, "s"};
};

TEST_F(ReviewScene, BackupOnceForRecordsTheMainChainShows)
{
    KytDRAnnotateData shown, unshown;
    shown.ulKey = 1;
    shown.ulDRKey = 5;
    unshown.ulKey = 2;
    shown.pNextDR = &unshown;
    c.pDRAnnotate = &shown;  // on a child
    KytDRArrowData arrow;
    arrow.ulKey = 3;
    b.pDRArrow = &arrow;    // on a sibling
    auto* live = Note(&c, &shown);
    auto* liveArrow = new AuxDRArrow(AuxDRArrow::ID, &b);
    liveArrow->pDRData = &arrow;
    scene.AddDRArrow(liveArrow);

    scene.BackupDRAuxContents(5, &a);
    auto notes = Chain(scene.GetDRAnnotateBackup(), &AuxDRAnnotate::pNextDRAnnotation);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0], live);
    EXPECT_EQ(notes[0]->pDRData, &shown);
    EXPECT_TRUE(notes[0]->bBackup);
    EXPECT_TRUE(notes[0]->bDrawBalloon);
    ASSERT_NE(scene.GetDRArrowBackup(), nullptr);
    EXPECT_EQ(scene.GetDRArrowBackup()->GetTargetLink(), &b);
    // A second backup adds nothing.
    scene.BackupDRAuxContents(5, &a);
    EXPECT_EQ(Chain(scene.GetDRAnnotateBackup(), &AuxDRAnnotate::pNextDRAnnotation).size(), 1u);
    EXPECT_EQ(Chain(scene.GetDRArrowBackup(), &AuxDRArrow::pNextDRArrow).size(), 1u);
    c.pDRAnnotate = nullptr;
    b.pDRArrow = nullptr;
}

TEST_F(ReviewScene, RollbackBindsTheFirstMatchingRecordWithTheBalloonRule)
{
    KytDRAnnotateData old, otherId, match, later, sameBalloon;
    old.ulKey = otherId.ulKey = match.ulKey = later.ulKey = 1;
    old.ulDRKey = match.ulDRKey = later.ulDRKey = 5;
    otherId.ulDRKey = 6;
    otherId.pNextDR = &match;
    match.pNextDR = &later;
    a.pDRAnnotate = &otherId;
    match.uBalloon = sameBalloon.uBalloon = 3;
    sameBalloon.ulDRKey = 5;
    sameBalloon.ulKey = 9;
    auto* drawing = Note(&b, &sameBalloon);
    drawing->bDrawBalloon = true;
    auto* backup = new AuxDRAnnotate(AuxDRAnnotate::ID, &a);
    backup->pDRData = &old;
    scene.BackupDRAnnotation(backup);

    scene.RollbackDRAuxContents();
    auto main = Chain(scene.GetDRAnnotateHead(), &AuxDRAnnotate::pNextDRAnnotation);
    ASSERT_EQ(main.size(), 2u);
    EXPECT_EQ(main[1]->pDRData, &match);
    EXPECT_FALSE(main[1]->bBackup);
    // Its balloon group already draws.
    EXPECT_FALSE(main[1]->bDrawBalloon);
    EXPECT_TRUE(drawing->bDrawBalloon);
    EXPECT_EQ(scene.GetDRAnnotateBackup(), backup);
    // A roll-back does not look at what the main chain already shows: a second one creates
    // the bound object again, one more per backup each time. A host rolls back once.
    scene.RollbackDRAuxContents();
    main = Chain(scene.GetDRAnnotateHead(), &AuxDRAnnotate::pNextDRAnnotation);
    ASSERT_EQ(main.size(), 3u);
    EXPECT_EQ(main[2]->pDRData, &match);
    EXPECT_NE(main[2], main[1]);
    a.pDRAnnotate = nullptr;
}

TEST_F(ReviewScene, RollbackWithEmptyBackupsChangesNothing)
{
    KytDRAnnotateData d;
    Note(&a, &d);
    scene.RollbackDRAuxContents();
    EXPECT_EQ(Chain(scene.GetDRAnnotateHead(), &AuxDRAnnotate::pNextDRAnnotation).size(), 1u);
}

TEST_F(ReviewScene, DeletingBackupsWithAnEmptyMainChainLeavesNothing)
{
    scene.BackupDRAnnotation(new AuxDRAnnotate(AuxDRAnnotate::ID, &a));
    scene.BackupDRAnnotation(new AuxDRAnnotate(AuxDRAnnotate::ID, &b));
    scene.BackupDRArrow(new AuxDRArrow(AuxDRArrow::ID, &a));
    scene.BackupDRPartsConnect(new AuxDRPartsConnect(AuxDRPartsConnect::ID, &a));
    scene.DeleteBackupDRAuxContents();
    EXPECT_EQ(scene.GetDRAnnotateBackup(), nullptr);
    EXPECT_EQ(scene.GetDRArrowBackup(), nullptr);
    EXPECT_EQ(scene.GetDRPartsConnectBackup(), nullptr);
    EXPECT_EQ(scene.GetAuxConts(AUX_STAGE_SECOND), nullptr);
}

TEST_F(ReviewScene, DeletingAReviewIdKeepsTheOrderOfTheRest)
{
    KytDRAnnotateData five, six;
    five.ulDRKey = 5;
    six.ulDRKey = 6;
    std::vector<AuxDRAnnotate*> notes;
    for (KytDRAnnotateData* d : {&five, &six, &five, &six, &six, &five})
        notes.push_back(Note(&a, d));
    KytDRArrowData arrowFive;
    arrowFive.ulDRKey = 5;
    auto* arrow = new AuxDRArrow(AuxDRArrow::ID, &a);
    arrow->pDRData = &arrowFive;
    arrow->bPicked = true;
    scene.AddDRArrow(arrow);
    ASSERT_EQ(scene.GetDRArrowPicked(), arrow);
    EXPECT_TRUE(scene.IsCanDeleteDRData(5));

    scene.DeleteDRAuxContents(5);
    EXPECT_EQ(Chain(scene.GetDRAnnotateHead(), &AuxDRAnnotate::pNextDRAnnotation),
              (std::vector<AuxDRAnnotate*>{notes[1], notes[3], notes[4]}));
    EXPECT_EQ(scene.GetDRArrowHead(), nullptr);
    EXPECT_EQ(scene.GetDRArrowPicked(), nullptr);
    EXPECT_FALSE(scene.IsCanDeleteDRData(5));
    EXPECT_EQ(scene.DeleteDRAnnotateChain(notes[3], 6), nullptr);
    EXPECT_EQ(Chain(scene.GetDRAnnotateHead(), &AuxDRAnnotate::pNextDRAnnotation),
              (std::vector<AuxDRAnnotate*>{notes[1]}));
    scene.DeleteDRAnnotateChain(scene.GetDRAnnotateHead());
    EXPECT_EQ(scene.GetDRAnnotateHead(), nullptr);
    EXPECT_EQ(scene.GetAuxConts(AUX_STAGE_SECOND), nullptr);
}

TEST_F(ReviewScene, IdsInUseIgnoreBackupsAndCountReviewDimensions)
{
    KytDRArrowData d;
    d.ulDRKey = 7;
    auto* backup = new AuxDRArrow(AuxDRArrow::ID, &a);
    backup->pDRData = &d;
    scene.BackupDRArrow(backup);
    EXPECT_FALSE(scene.IsCanDeleteDRData(7));
    CMeasureData onA, onB, sourceMeasure;
    onA.PointLink[0] = &a;
    onB.PointLink[0] = &b;
    sourceMeasure.PointLink[0] = &a;
    auto* dim = new AuxDimension(AuxDimension::ID, &onA);
    dim->SetDRID(7);
    scene.AddAnnotation(dim, AUX_STAGE_SECOND);
    EXPECT_TRUE(scene.IsCanDeleteDRData(7));
    EXPECT_FALSE(scene.IsCanDeleteDRData(8));

    auto* other = new AuxDimension(AuxDimension::ID, &onB);
    other->SetDRID(8);
    scene.AddAnnotation(other, AUX_STAGE_SECOND);
    scene.ShowDRDimensions(7, false);
    EXPECT_FALSE(dim->IsDraw());
    EXPECT_TRUE(other->IsDraw());
    scene.ShowDRDimensions(0, false);
    EXPECT_FALSE(other->IsDraw());
    scene.DeleteDRDimensions(8);
    EXPECT_EQ(scene.GetAnnotateHead(), dim);
    scene.DeleteAllDRDimensions();
    EXPECT_EQ(scene.GetAnnotateHead(), nullptr);
    AuxDimension source(AuxDimension::ID, &sourceMeasure);
    source.SetDRID(9);
    std::unique_ptr<AuxDimension> copy(static_cast<AuxDimension*>(source.Duplicate()));
    EXPECT_EQ(copy->GetID(), 40u);
    EXPECT_EQ(copy->GetDRID(), 9u);
    EXPECT_EQ(copy->GetAuxType(), AUXTYPE_ANNOTATE);
}

TEST_F(ReviewScene, BalloonNumbersCompactOverTheDistinctNumbers)
{
    struct Case {
        std::vector<unsigned> before;
        std::vector<unsigned> after;
        unsigned counter;
    } cases[] = {
        {{2, 5, 5, 9}, {1, 2, 2, 3}, 4},
        {{}, {}, 1},
        {{static_cast<unsigned>(INT_MAX), 1}, {2, 1}, 3},
        {{0xFFFFFFFFu, 0xFFFFFFFEu}, {2, 1}, 3},
    };
    for (const Case& k : cases) {
        RecordingScene s(&a, "s");
        std::vector<KytDRAnnotateData> records(k.before.size() + 1);
        for (size_t i = 0; i < k.before.size(); ++i) {
            records[i].ulDRKey = 4;
            records[i].uBalloon = k.before[i];
            auto* o = new AuxDRAnnotate(AuxDRAnnotate::ID, &a);
            o->pDRData = &records[i];
            s.AddAnnotation(o, AUX_STAGE_SECOND);
        }
        // Another review id keeps its number.
        records.back().ulDRKey = 3;
        records.back().uBalloon = 8;
        auto* o = new AuxDRAnnotate(AuxDRAnnotate::ID, &a);
        o->pDRData = &records.back();
        s.AddAnnotation(o, AUX_STAGE_SECOND);
        KytDRAnnotateData::uiBalloonCounter = 77;
        s.OptimizeBalloonID(4);
        for (size_t i = 0; i < k.after.size(); ++i)
            EXPECT_EQ(records[i].uBalloon, k.after[i]);
        EXPECT_EQ(records.back().uBalloon, 8u);
        EXPECT_EQ(KytDRAnnotateData::uiBalloonCounter, k.counter);
    }
    KytDRAnnotateData::uiBalloonCounter = 0;
}

TEST_F(ReviewScene, RenumberingReachesTheWholeSubtree)
{
    KytDRAnnotateData top, child;
    top.ulKey = 1;
    child.ulKey = 2;
    a.pDRAnnotate = &top;
    c.pDRAnnotate = &child;
    auto* t = Note(&a, &top);
    auto* ch = Note(&c, &child);
    const int saved = AuxDRAnnotate::nCounter;
    AuxDRAnnotate::nCounter = 100;
    scene.BackupDRAuxContentsSetDRID(1, &a);
    EXPECT_EQ(t->GetNo(), 100);
    EXPECT_EQ(ch->GetNo(), 101);
    EXPECT_EQ(scene.GetDRAnnotateBackup(), nullptr);
    AuxDRAnnotate::nCounter = saved;
    a.pDRAnnotate = nullptr;
    c.pDRAnnotate = nullptr;
}

TEST_F(ReviewScene, RemovingWhatAPartShowsReachesChildrenNotSiblingsWhenAsked)
{
    auto* onA = new AuxAnnotate(12, &a);
    onA->bPicked = true;
    scene.AddAnnotation(onA, AUX_STAGE_SECOND);
    auto* onC = new AuxDRArrow(AuxDRArrow::ID, &c);
    scene.AddDRArrow(onC);
    auto* onB = new AuxDRPartsConnect(AuxDRPartsConnect::ID, &b);
    scene.AddPartsConnect(onB);
    auto* aux = new RecordingAux("c", 3);
    aux->target = &c;
    scene.AddAuxContents(aux, AUX_STAGE_FIRST);
    AuxCamera::SetTargetCamera(&c);

    scene.RemoveDisplayObject(&a, true);
    EXPECT_EQ(scene.GetAnnotateHead(), nullptr);
    EXPECT_EQ(scene.GetAnnotatePicked(), nullptr);
    EXPECT_EQ(scene.GetDRArrowHead(), nullptr);
    EXPECT_EQ(scene.GetAuxConts(AUX_STAGE_FIRST), nullptr);
    EXPECT_EQ(AuxCamera::GetTargetCamera(), nullptr);
    EXPECT_EQ(scene.GetDRPartsConnectHead(), onB);
    scene.RemoveDisplayObject(&a, false);
    EXPECT_EQ(scene.GetDRPartsConnectHead(), nullptr);
}

TEST_F(ReviewScene, RemovingWhatAClipPartShowsTakesItsPlane)
{
    KytLink clip;
    clip.nType = 0x100;
    KytLink root;
    root.AddChild(&clip);
    RecordingScene s(&root, "clip");
    ASSERT_TRUE(s.Create(NewOgl(16, 16), 16, 16));
    ASSERT_NE(s.GetContents(), nullptr);
    ASSERT_TRUE(s.AddClipPlane(&clip, false));
    ASSERT_EQ(s.GetContents()->GetClipCnt(), 1);
    s.RemoveDisplayObject(&root, true);
    EXPECT_EQ(s.GetContents()->GetClipCnt(), 0);
}

} // namespace
} // namespace scene_test
