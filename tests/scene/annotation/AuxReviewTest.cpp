// Review objects: when they draw (records, backups, print selection), typed copies, the
// searches along their chains and the chain links.

#include "tests/support/scene/SceneFixture.h"

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"
#include "scene/view/KytScenes.h"

#include <gtest/gtest.h>

#include <memory>

namespace scene_test {
namespace {

class ReviewObjects : public SceneFixture {
protected:
    void TearDown() override
    {
        KytScenes::m_bDRHTMLPrintingNow = false;
        KytScenes::m_ulPRD_Item = 4294967295ul;
        SceneFixture::TearDown();
    }
    KytLink part;
};

// One row per condition, for each of the three classes with its print bit.
TEST_F(ReviewObjects, DrawOnlyLiveShownRecordsAndTheSelectedPrintKinds)
{
    struct Row {
        const char* name;
        bool record, shown, visible, backup, printing;
        unsigned long items;
        bool want[3];  // annotation (0x10), arrow (0x04), connection (0x02)
    } rows[] = {
        {"plain", true, true, true, false, false, 0, {true, true, true}},
        {"no record", false, true, true, false, false, 0, {false, false, false}},
        {"hidden record", true, false, true, false, false, 0, {false, false, false}},
        {"not review-visible", true, true, false, false, false, 0, {false, false, false}},
        {"backup", true, true, true, true, false, 0, {false, false, false}},
        {"printing all", true, true, true, false, true, 0xFFFFFFFFul, {true, true, true}},
        {"printing none", true, true, true, false, true, 0, {false, false, false}},
        {"printing annotations", true, true, true, false, true, 0x10, {true, false, false}},
        {"printing arrows", true, true, true, false, true, 0x04, {false, true, false}},
        {"printing connections", true, true, true, false, true, 0x02, {false, false, true}},
    };
    for (const Row& r : rows) {
        KytDRAnnotateData n;
        KytDRArrowData w;
        KytDRPartsConnectData p;
        n.bShow = w.bShow = p.bShow = r.shown;
        n.bDRVisible = w.bDRVisible = p.bDRVisible = r.visible;
        AuxDRAnnotate note(AuxDRAnnotate::ID, &part);
        AuxDRArrow arrow(AuxDRArrow::ID, &part);
        AuxDRPartsConnect path(AuxDRPartsConnect::ID, &part);
        if (r.record) {
            note.pDRData = &n;
            arrow.pDRData = &w;
            path.pDRData = &p;
        }
        note.bBackup = arrow.bBackup = path.bBackup = r.backup;
        KytScenes::m_bDRHTMLPrintingNow = r.printing;
        KytScenes::m_ulPRD_Item = r.items;
        EXPECT_EQ(note.IsDraw(), r.want[0]) << r.name;
        EXPECT_EQ(arrow.IsDraw(), r.want[1]) << r.name;
        EXPECT_EQ(path.IsDraw(), r.want[2]) << r.name;
        // Switched off stays off.
        note.SetDraw(false);
        EXPECT_FALSE(note.IsDraw()) << r.name;
    }
}

TEST_F(ReviewObjects, ChainSearchesByNumberAndKeyIncludeTheStart)
{
    KytDRArrowData r[3];
    AuxDRArrow arrows[3];
    for (int i = 0; i < 3; ++i) {
        r[i].ulKey = 10 + i;
        r[i].nNo = 20 + i;
        arrows[i].pDRData = &r[i];
    }
    arrows[0].Append(&arrows[1]);
    arrows[0].Append(&arrows[2]);
    EXPECT_EQ(arrows[0].GetNext(), &arrows[1]);
    EXPECT_EQ(arrows[1].GetNext(), &arrows[2]);
    KytDRArrowData key;
    key.ulKey = 11;
    EXPECT_EQ(arrows[0].SearchArrow(&key), &arrows[1]);
    EXPECT_EQ(arrows[1].SearchArrow(&key), &arrows[1]);
    EXPECT_EQ(arrows[2].SearchArrow(&key), nullptr);
    EXPECT_EQ(arrows[0].SearchArrow(22), &arrows[2]);
    EXPECT_EQ(arrows[0].SearchArrow(23), nullptr);

    KytDRAnnotateData n1, n2;
    n1.ulKey = 1;
    n2.ulKey = 2;
    n2.nNo = 7;
    AuxDRAnnotate a, b;
    a.pDRData = &n1;
    b.pDRData = &n2;
    a.SetNextAnnotation(&b);
    EXPECT_EQ(a.GetNextAnnotation(), &b);
    EXPECT_EQ(a.SearchAnnotation(&n2), &b);
    EXPECT_EQ(a.SearchAnnotation(7), &b);
    EXPECT_STREQ(b.GetTitle(), "");
    EXPECT_EQ(AuxDRAnnotate().GetTitle(), nullptr);
}

TEST_F(ReviewObjects, TypedDuplicatesAndCopiesAreLiveUnchainedObjects)
{
    KytDRPartsConnectData d;
    AuxDRPartsConnect path(AuxDRPartsConnect::ID, &part);
    AuxDRPartsConnect next;
    path.pDRData = &d;
    path.bBackup = true;
    path.ChangeNext(&next);
    std::unique_ptr<AuxDRPartsConnect> copy(path.DuplicateDRPartsConnect());
    EXPECT_EQ(copy->pDRData, &d);
    EXPECT_EQ(copy->GetNo(), path.GetNo());
    EXPECT_EQ(copy->GetNext(), nullptr);
    EXPECT_FALSE(copy->bBackup);

    struct CopyProbe : AuxDRAnnotate {
        using AuxDRAnnotate::AuxDRAnnotate;
        using AuxDRAnnotate::Copy;
    };
    KytDRAnnotateData n;
    AuxDRAnnotate source(AuxDRAnnotate::ID, &part);
    AuxDRAnnotate after;
    source.pDRData = &n;
    source.bPicked = true;
    source.bDrawBalloon = true;
    source.bBackup = true;
    source.pNextDRAnnotation = &after;
    source.rcBack[2] = 30;
    CopyProbe target;
    target.bBackup = true;
    target.Copy(&source);
    EXPECT_EQ(target.pDRData, &n);
    EXPECT_EQ(target.GetID(), static_cast<unsigned>(AuxDRAnnotate::ID));
    EXPECT_EQ(target.GetNo(), source.GetNo());
    EXPECT_TRUE(target.bPicked);
    EXPECT_TRUE(target.bDrawBalloon);
    EXPECT_FALSE(target.bBackup);
    EXPECT_EQ(target.pNextDRAnnotation, nullptr);
    EXPECT_EQ(target.rcBack[2], 30);
    std::unique_ptr<AuxDRAnnotate> typed(source.DuplicateDRAnnotate());
    EXPECT_FALSE(typed->bBackup);
    EXPECT_TRUE(typed->bPicked);
}

TEST_F(ReviewObjects, EachClassNumbersFromItsOwnCounter)
{
    const int savedArrow = AuxDRArrow::nCounter;
    const int savedPath = AuxDRPartsConnect::nCounter;
    const int savedNote = AuxDRAnnotate::nCounter;
    const int savedAnnotate = AuxAnnotate::nCounter;
    AuxDRArrow::nCounter = 5;
    AuxDRPartsConnect::nCounter = 50;
    AuxDRAnnotate::nCounter = 500;
    AuxDRArrow arrow;
    AuxDRPartsConnect path;
    AuxDRAnnotate note;
    EXPECT_EQ(arrow.GetNo(), 5);
    EXPECT_EQ(path.GetNo(), 50);
    EXPECT_EQ(note.GetNo(), 500);
    EXPECT_EQ(arrow.SetNo(), 6);
    EXPECT_EQ(path.SetNo(), 51);
    EXPECT_EQ(note.SetNo(), 501);
    EXPECT_EQ(AuxAnnotate::nCounter, savedAnnotate);
    AuxDRArrow::nCounter = savedArrow;
    AuxDRPartsConnect::nCounter = savedPath;
    AuxDRAnnotate::nCounter = savedNote;
}

} // namespace
} // namespace scene_test
