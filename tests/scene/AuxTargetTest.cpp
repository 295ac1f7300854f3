// The overlay object base: family answers, list search, and AuxTarget's draw rule and
// visibility check over a small part tree.

#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/AuxDRAnnotate.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"
#include "scene/annotation/AuxTarget.h"
#include "scene/view/KytScene.h"
#include "platform/kernel/KytLink.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A plain overlay object: KytAuxContents itself is abstract (Duplicate).
class PlainAux : public KytAuxContents {
public:
    using KytAuxContents::KytAuxContents;
    KytAuxContents* Duplicate() override { return new PlainAux(this); }
};

TEST(KytAuxContents, FamilyAnswersTypeAndPickability)
{
    PlainAux plain(5);
    AuxTarget target(7, nullptr);
    AuxAnnotate annotate(12, nullptr);
    AuxDRAnnotate drAnnotate(AuxDRAnnotate::ID, nullptr);
    AuxDRArrow arrow(AuxDRArrow::ID, nullptr);
    AuxDRPartsConnect connect(AuxDRPartsConnect::ID, nullptr);
    struct Case {
        KytAuxContents* obj;
        AuxType type;
    } cases[] = {
        {&plain, AUXTYPE_GENERAL},     {&target, AUXTYPE_GENERAL}, {&annotate, AUXTYPE_ANNOTATE},
        {&drAnnotate, AUXTYPE_DR},     {&arrow, AUXTYPE_DR},       {&connect, AUXTYPE_DR},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.obj->GetAuxType(), c.type) << c.obj->GetID();
        EXPECT_FALSE(c.obj->IsPickable()) << c.obj->GetID();
        // Every class duplicates into its own class with its own id and no list link.
        std::unique_ptr<KytAuxContents> copy(c.obj->Duplicate());
        EXPECT_EQ(copy->GetAuxType(), c.type);
        EXPECT_EQ(copy->GetID(), c.obj->GetID());
        const KytAuxContents& copied = *copy;
        const KytAuxContents& original = *c.obj;
        EXPECT_EQ(typeid(copied), typeid(original));
    }
    KytLink link;
    WqVector3D a, b;
    double d = 0;
    EXPECT_FALSE(plain.IsTargetLink(&link));
    EXPECT_FALSE(plain.Pick(nullptr, a, b, d));
}

TEST(AuxTarget, ChangeBindsAndSwitchesTheDrawFlag)
{
    KytLink link;
    AuxTarget t(1, &link);
    t.Change(nullptr);
    EXPECT_EQ(t.GetTargetLink(), nullptr);
    EXPECT_FALSE(t.KytContents::IsDraw());
    EXPECT_FALSE(t.IsDraw());
    t.Change(&link);
    EXPECT_TRUE(t.KytContents::IsDraw());
    EXPECT_TRUE(t.IsTargetLink(&link));
    EXPECT_FALSE(t.IsTargetLink(nullptr));
    std::unique_ptr<KytAuxContents> copy(t.Duplicate());
    EXPECT_TRUE(copy->IsTargetLink(&link));
}

// top (type 1)
//   group (type 256)
//     a (part)
//       c (part)
//     b (part)
//   other (part)
class LinkTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        top.nType = 1;
        group.nType = 256;
        top.AddChild(&group);
        group.AddChild(&a);
        a.AddChild(&c);
        group.AddChild(&b);
        top.AddChild(&other);
        savedMask = KytVisual::uLayerMask;
        savedShow = KytScene::bShowTargetLink;
        KytVisual::uLayerMask = 1;
    }
    void TearDown() override
    {
        KytVisual::uLayerMask = savedMask;
        KytScene::bShowTargetLink = savedShow;
    }

    KytLink top, group, a, b, c, other;
    unsigned savedMask = 1;
    bool savedShow = false;
};

TEST_F(LinkTree, IsDrawTable)
{
    struct Case {
        const char* what;
        KytLink* target;
        bool drawFlag;
        bool subDraw;
        unsigned visibleBits;  // of the target
        bool showTarget;
        KytLink* marked;       // link carrying the target mark, or null
        bool expected;
    } cases[] = {
        {"plain", &a, true, true, 1, false, nullptr, true},
        {"hidden by SetDraw", &a, false, true, 1, false, nullptr, false},
        {"below another shown link", &a, true, false, 1, false, nullptr, false},
        {"no link", nullptr, true, true, 1, false, nullptr, false},
        {"not in the current layer", &a, true, true, 2, false, nullptr, false},
        {"layer bit shared", &a, true, true, 3, false, nullptr, true},
        {"target mode, nothing marked", &a, true, true, 1, true, nullptr, false},
        {"target mode, itself marked", &a, true, true, 1, true, &a, true},
        {"target mode, parent marked", &a, true, true, 1, true, &group, true},
        {"target mode, top marked", &c, true, true, 1, true, &top, true},
        {"target mode, sibling marked", &a, true, true, 1, true, &b, false},
        {"target mode, child of a part marked", &a, true, true, 1, true, &c, false},
        {"target mode, group with a marked descendant", &group, true, true, 1, true, &c, true},
        {"target mode, group, mark elsewhere", &group, true, true, 1, true, &other, false},
    };
    for (const Case& k : cases) {
        for (KytLink* l : {&top, &group, &a, &b, &c, &other})
            l->bTarget = false;
        if (k.marked)
            k.marked->bTarget = true;
        if (k.target)
            k.target->visual.uVisible = k.visibleBits;
        KytScene::bShowTargetLink = k.showTarget;
        AuxTarget t(1, k.target);
        t.SetDraw(k.drawFlag);
        t.SetSubDrawFlag(k.subDraw);
        EXPECT_EQ(t.IsDraw(), k.expected) << k.what;
        if (k.target)
            k.target->visual.uVisible = 1;
    }
}

TEST_F(LinkTree, CheckVisualTable)
{
    struct Case {
        const char* what;
        KytLink* target;
        KytLink* shown;
        bool expected;
    } cases[] = {
        {"top shows everything", &c, &top, true},
        {"top shows an unbound object", nullptr, &top, true},
        {"ancestor", &c, &group, true},
        {"parent", &c, &a, true},
        {"itself", &a, &a, true},
        {"sibling subtree", &a, &b, false},
        {"descendant", &group, &a, false},
        {"other branch", &c, &other, false},
        {"unbound object below a part", nullptr, &a, false},
    };
    for (const Case& k : cases) {
        AuxTarget t(1, k.target);
        t.SetSubDrawFlag(!k.expected);
        t.CheckVisual(k.shown);
        EXPECT_EQ(t.bSubDraw, k.expected) << k.what;
    }
}

TEST_F(LinkTree, AnnotationStartsHiddenBelowAPartOutsideTheLayer)
{
    // The walk up stops at the first top or 512 link; a part on the way that is not in the
    // current layer hides the annotation from the start.
    a.visual.uVisible = 2;
    AuxAnnotate below(1, &c);
    EXPECT_FALSE(below.bSubDraw);
    AuxAnnotate beside(1, &b);
    EXPECT_TRUE(beside.bSubDraw);
    a.visual.uVisible = 1;
    AuxAnnotate shown(1, &c);
    EXPECT_TRUE(shown.bSubDraw);
}

TEST(AuxAnnotate, NumbersFromItsClassCounter)
{
    const int savedAnnotate = AuxAnnotate::nCounter;
    const int savedReview = AuxDRAnnotate::nCounter;
    AuxAnnotate::nCounter = 10;
    AuxDRAnnotate::nCounter = 20;
    AuxAnnotate first;
    AuxAnnotate second(1, nullptr);
    AuxDRAnnotate review(AuxDRAnnotate::ID, nullptr);
    EXPECT_EQ(first.GetNo(), 10);
    EXPECT_EQ(second.GetNo(), 11);
    EXPECT_EQ(review.GetNo(), 20);
    EXPECT_EQ(AuxAnnotate::nCounter, 12);
    // A duplicate keeps the number and takes none.
    std::unique_ptr<KytAuxContents> copy(second.Duplicate());
    EXPECT_EQ(static_cast<AuxAnnotate*>(copy.get())->GetNo(), 11);
    EXPECT_EQ(AuxAnnotate::nCounter, 12);
    AuxAnnotate::nCounter = savedAnnotate;
    AuxDRAnnotate::nCounter = savedReview;
}

} // namespace
