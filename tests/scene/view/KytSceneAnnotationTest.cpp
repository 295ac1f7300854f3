// The scene's annotation and review chains: leaving, clearing, finding, re-binding, showing,
// backup chains and copies, against a plain model of one list per chain.

#include "tests/support/scene/SceneFixture.h"

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace scene_test {
namespace {

// The system's own generator, so a failing sequence replays.
struct Rng {
    uint32_t state = 1;
    int Next()
    {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
    int Below(int n) { return Next() % n; }
};

// Walks a chain with a second pointer at twice the pace: a cycle makes them meet.
template <class T, T* T::*Next>
std::vector<KytAuxContents*> Walk(T* head, bool& acyclic)
{
    std::vector<KytAuxContents*> out;
    acyclic = true;
    T* fast = head;
    for (T* slow = head; slow;) {
        out.push_back(slow);
        slow = slow->*Next;
        for (int i = 0; i < 2 && fast; ++i)
            fast = fast->*Next;
        // In a list without a cycle the fast pointer stays ahead until it runs out.
        if (slow && slow == fast) {
            acyclic = false;
            break;
        }
    }
    return out;
}

std::vector<KytAuxContents*> Stage(const KytScene& s, AUX_STAGE stage)
{
    std::vector<KytAuxContents*> out;
    for (KytAuxContents* o = s.GetAuxConts(stage); o && out.size() < 100000; o = o->pNextAux)
        out.push_back(o);
    return out;
}

enum Chain { ANNO, DR, DR_B, PC, PC_B, AR, AR_B, CHAINS };

class ChainScene : public RecordingScene {
public:
    using RecordingScene::RecordingScene;
    std::vector<KytAuxContents*> Of(Chain c, bool& acyclic) const
    {
        switch (c) {
        case ANNO: return Walk<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(m_pAnnotateHead, acyclic);
        case DR: return Walk<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(m_pDRAnnotateHead, acyclic);
        case DR_B: return Walk<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(m_pDRAnnotateBackup, acyclic);
        case PC: return Walk<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(m_pDRPartsConnectHead, acyclic);
        case PC_B: return Walk<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(m_pDRPartsConnectBackup, acyclic);
        case AR: return Walk<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(m_pDRArrowHead, acyclic);
        case AR_B: return Walk<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(m_pDRArrowBackup, acyclic);
        default: return {};
        }
    }
    KytAuxContents* Picked(Chain c) const
    {
        switch (c) {
        case ANNO: return m_pAnnotatePicked;
        case DR: return m_pDRAnnotatePicked;
        case PC: return m_pDRPartsConnectPicked;
        case AR: return m_pDRArrowPicked;
        default: return nullptr;
        }
    }
};

class AnnotationChains : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        a.AddChild(&b);
        a.AddChild(&c);
    }
    KytLink a, b, c;
};

// Random sequences of every way in and out, against one list per chain.
TEST_F(AnnotationChains, RandomSequencesKeepEveryChainEqualToItsModel)
{
    Rng rng;
    KytLink* links[] = {&a, &b, &c};
    // Records of review ids 1 to 3 for each kind.
    KytDRAnnotateData notes[3];
    KytDRPartsConnectData paths[3];
    KytDRArrowData arrows[3];
    for (unsigned long i = 0; i < 3; ++i)
        notes[i].ulDRKey = paths[i].ulDRKey = arrows[i].ulDRKey = i + 1;
    for (int round = 0; round < 40; ++round) {
        ChainScene scene(&a, "s");
        std::vector<KytAuxContents*> model[CHAINS];
        KytAuxContents* picked[CHAINS] = {};
        std::map<KytAuxContents*, Chain> where;
        auto forget = [&](KytAuxContents* o) {
            Chain ch = where.at(o);
            auto& m = model[ch];
            m.erase(std::find(m.begin(), m.end(), o));
            if (picked[ch] == o)
                picked[ch] = nullptr;
            where.erase(o);
        };
        auto file = [&](KytAuxContents* o, Chain ch, bool pick) {
            model[ch].push_back(o);
            where[o] = ch;
            if (pick)
                picked[ch] = o;
        };
        auto any = [&](Chain ch) -> KytAuxContents* {
            auto& m = model[ch];
            return m.empty() ? nullptr : m[rng.Below(static_cast<int>(m.size()))];
        };
        for (int step = 0; step < 60; ++step) {
            KytLink* link = links[rng.Below(3)];
            const bool pick = rng.Below(4) == 0;
            switch (rng.Below(17)) {
            case 0: {
                auto* o = new AuxAnnotate(12 + rng.Below(2), link);
                o->bPicked = pick;
                scene.AddAnnotation(o, AUX_STAGE(rng.Below(2)));
                file(o, ANNO, pick);
                break;
            }
            case 1: {
                auto* o = new AuxDRAnnotate(AuxDRAnnotate::ID, link);
                o->pDRData = &notes[rng.Below(3)];
                o->bPicked = pick;
                scene.AddAnnotation(o, AUX_STAGE_SECOND);
                file(o, DR, pick);
                break;
            }
            case 2: {
                auto* o = new AuxDRPartsConnect(AuxDRPartsConnect::ID, link);
                o->pDRData = &paths[rng.Below(3)];
                o->bPicked = pick;
                scene.AddPartsConnect(o);
                file(o, PC, pick);
                break;
            }
            case 3: {
                auto* o = new AuxDRArrow(AuxDRArrow::ID, link);
                o->pDRData = &arrows[rng.Below(3)];
                o->bPicked = pick;
                scene.AddDRArrow(o);
                file(o, AR, pick);
                break;
            }
            case 4: {
                const int kind = rng.Below(3);
                if (kind == 0) {
                    auto* o = new AuxDRAnnotate(AuxDRAnnotate::ID, link);
                    scene.BackupDRAnnotation(o);
                    file(o, DR_B, false);
                } else if (kind == 1) {
                    auto* o = new AuxDRPartsConnect(AuxDRPartsConnect::ID, link);
                    scene.BackupDRPartsConnect(o);
                    file(o, PC_B, false);
                } else {
                    auto* o = new AuxDRArrow(AuxDRArrow::ID, link);
                    scene.BackupDRArrow(o);
                    file(o, AR_B, false);
                }
                break;
            }
            case 5: {  // filing again is refused, whatever the chain
                KytAuxContents* o = any(Chain(rng.Below(CHAINS)));
                if (!o)
                    break;
                if (auto* x = dynamic_cast<AuxDRAnnotate*>(o)) {
                    scene.AddAnnotation(x, AUX_STAGE_SECOND);
                    scene.BackupDRAnnotation(x);
                    scene.AddAnnotation(static_cast<AuxAnnotate*>(x), AUX_STAGE_FIRST);
                } else if (auto* x = dynamic_cast<AuxAnnotate*>(o)) {
                    scene.AddAnnotation(x, AUX_STAGE_FIRST);
                } else if (auto* x = dynamic_cast<AuxDRPartsConnect*>(o)) {
                    scene.AddPartsConnect(x);
                    scene.BackupDRPartsConnect(x);
                } else if (auto* x = dynamic_cast<AuxDRArrow*>(o)) {
                    scene.AddDRArrow(x);
                    scene.BackupDRArrow(x);
                }
                break;
            }
            case 6:
            case 7: {  // the typed removals, main or backup
                const Chain ch = Chain(rng.Below(CHAINS));
                KytAuxContents* o = any(ch);
                if (!o)
                    break;
                bool removed = false;
                if (ch == ANNO)
                    removed = scene.RemoveAnnotation(static_cast<AuxAnnotate*>(o));
                else if (ch == DR || ch == DR_B)
                    removed = scene.RemoveAnnotation(static_cast<AuxDRAnnotate*>(o));
                else if (ch == PC || ch == PC_B)
                    removed = scene.RemoveDRPartsConnect(static_cast<AuxDRPartsConnect*>(o));
                else
                    removed = scene.RemoveDRArrow(static_cast<AuxDRArrow*>(o));
                EXPECT_TRUE(removed);
                forget(o);
                break;
            }
            case 8: {  // straight out of the stage list
                const Chain ch = Chain(rng.Below(CHAINS));
                if (KytAuxContents* o = any(ch)) {
                    EXPECT_TRUE(scene.RemoveAuxContents(o));
                    forget(o);
                }
                break;
            }
            case 9: {
                const unsigned id = 12 + rng.Below(2);
                auto& m = model[ANNO];
                auto it = std::find_if(m.begin(), m.end(),
                                       [&](KytAuxContents* o) { return o->GetID() == id; });
                EXPECT_EQ(scene.RemoveAnnotation(id, -1), it != m.end());
                if (it != m.end())
                    forget(*it);
                break;
            }
            case 10: {
                auto& m = model[ANNO];
                auto it = std::find_if(m.begin(), m.end(), [&](KytAuxContents* o) {
                    return static_cast<AuxAnnotate*>(o)->GetTargetLink() == link;
                });
                EXPECT_EQ(scene.SearchAnnotation(static_cast<const KytLink*>(link)),
                          it == m.end() ? nullptr : *it);
                EXPECT_EQ(scene.RemoveAnnotation(link), it != m.end());
                if (it != m.end())
                    forget(*it);
                break;
            }
            case 11:
                if (rng.Below(4) == 0) {
                    const bool empty = model[ANNO].empty() && model[DR].empty() && model[DR_B].empty();
                    scene.ClearAnnotation();
                    for (Chain ch : {ANNO, DR, DR_B})
                        while (!model[ch].empty())
                            forget(model[ch].front());
                    if (!empty) {
                        EXPECT_EQ(AuxAnnotate::nCounter, 0);
                    }
                }
                break;
            case 12:
                if (rng.Below(4) == 0) {
                    scene.ClearDRPartsConnect();
                    for (Chain ch : {PC, PC_B})
                        while (!model[ch].empty())
                            forget(model[ch].front());
                }
                break;
            case 13:
                if (rng.Below(4) == 0) {
                    scene.ClearDRArrow();
                    for (Chain ch : {AR, AR_B})
                        while (!model[ch].empty())
                            forget(model[ch].front());
                }
                break;
            case 14: {
                const int what = rng.Below(3);
                if (what == 0) {
                    scene.DeleteBackupDRAuxContents();
                    for (Chain ch : {DR_B, PC_B, AR_B})
                        while (!model[ch].empty())
                            forget(model[ch].front());
                } else if (what == 1) {
                    const unsigned long id = 1 + rng.Below(3);
                    // The objects' ids are read before the scene frees them.
                    std::vector<KytAuxContents*> doomed;
                    for (Chain ch : {DR, PC, AR}) {
                        for (KytAuxContents* o : model[ch]) {
                            unsigned long got = 0;
                            if (auto* x = dynamic_cast<AuxDRAnnotate*>(o))
                                got = x->GetDRID();
                            else if (auto* x = dynamic_cast<AuxDRPartsConnect*>(o))
                                got = x->GetDRID();
                            else if (auto* x = dynamic_cast<AuxDRArrow*>(o))
                                got = x->GetDRID();
                            if (got == id)
                                doomed.push_back(o);
                        }
                    }
                    scene.DeleteDRAuxContents(id);
                    for (KytAuxContents* o : doomed)
                        forget(o);
                } else {  // a chain from some object on, main or backup
                    const Chain ch = Chain(1 + rng.Below(CHAINS - 1));
                    KytAuxContents* o = any(ch);
                    if (!o)
                        break;
                    auto& m = model[ch];
                    auto tail = std::vector<KytAuxContents*>(std::find(m.begin(), m.end(), o), m.end());
                    if (ch == DR || ch == DR_B)
                        scene.DeleteDRAnnotateChain(static_cast<AuxDRAnnotate*>(o));
                    else if (ch == PC || ch == PC_B)
                        scene.DeleteDRPartsConnectChain(static_cast<AuxDRPartsConnect*>(o));
                    else
                        scene.DeleteDRArrowChain(static_cast<AuxDRArrow*>(o));
                    for (KytAuxContents* t : tail)
                        forget(t);
                }
                break;
            }
            default: {  // removal of an object the scene does not hold changes nothing
                AuxDRArrow stranger(AuxDRArrow::ID, link);
                EXPECT_FALSE(scene.RemoveDRArrow(&stranger));
                AuxAnnotate other(12, link);
                EXPECT_FALSE(scene.RemoveAnnotation(&other));
                break;
            }
            }
            // Every chain equals its model and is acyclic; picked pointers are the model's.
            std::vector<KytAuxContents*> chained;
            for (int ch = 0; ch < CHAINS; ++ch) {
                bool acyclic = false;
                auto got = scene.Of(Chain(ch), acyclic);
                ASSERT_TRUE(acyclic) << "chain " << ch << " round " << round << " step " << step;
                ASSERT_EQ(got, model[ch]) << "chain " << ch << " round " << round << " step " << step;
                ASSERT_EQ(scene.Picked(Chain(ch)), picked[ch]) << "chain " << ch;
                chained.insert(chained.end(), got.begin(), got.end());
            }
            // Each chained object stands exactly once in the stage lists.
            auto first = Stage(scene, AUX_STAGE_FIRST);
            auto second = Stage(scene, AUX_STAGE_SECOND);
            first.insert(first.end(), second.begin(), second.end());
            std::sort(first.begin(), first.end());
            ASSERT_EQ(std::adjacent_find(first.begin(), first.end()), first.end());
            std::sort(chained.begin(), chained.end());
            ASSERT_EQ(first, chained);
        }
    }
}

TEST_F(AnnotationChains, AddingAPickedObjectTakesThePickFromTheOthers)
{
    ChainScene scene(&a, "s");
    auto* first = new AuxAnnotate(12, &a);
    first->bPicked = true;
    scene.AddAnnotation(first, AUX_STAGE_SECOND);
    auto* second = new AuxAnnotate(12, &b);
    second->bPicked = true;
    scene.AddAnnotation(second, AUX_STAGE_SECOND);
    EXPECT_FALSE(first->bPicked);
    EXPECT_EQ(scene.GetAnnotatePicked(), second);
    EXPECT_TRUE(scene.RemoveAnnotation(static_cast<AuxAnnotate*>(second)));
    EXPECT_EQ(scene.GetAnnotatePicked(), nullptr);
}

// A backup whose main chain is empty leaves on request instead of staying bound to records
// the host may free.
TEST_F(AnnotationChains, BackupOnlyObjectsLeaveWithAnEmptyMainChain)
{
    ChainScene scene(&a, "s");
    auto* arrow = new AuxDRArrow(AuxDRArrow::ID, &a);
    auto* note = new AuxDRAnnotate(AuxDRAnnotate::ID, &a);
    auto* path = new AuxDRPartsConnect(AuxDRPartsConnect::ID, &a);
    scene.BackupDRArrow(arrow);
    scene.BackupDRAnnotation(note);
    scene.BackupDRPartsConnect(path);
    EXPECT_TRUE(arrow->bBackup);
    EXPECT_TRUE(note->bBackup);
    EXPECT_TRUE(path->bBackup);
    ASSERT_EQ(scene.GetDRArrowHead(), nullptr);
    EXPECT_TRUE(scene.RemoveDRArrow(arrow));
    EXPECT_TRUE(scene.RemoveAnnotation(note));
    EXPECT_TRUE(scene.RemoveDRPartsConnect(path));
    EXPECT_EQ(scene.GetDRArrowBackup(), nullptr);
    EXPECT_EQ(scene.GetDRAnnotateBackup(), nullptr);
    EXPECT_EQ(scene.GetDRPartsConnectBackup(), nullptr);
    EXPECT_EQ(scene.GetAuxConts(AUX_STAGE_SECOND), nullptr);
}

// An object taken out through its stage list takes its chain entry and the pick with it.
TEST_F(AnnotationChains, StageListRemovalLeavesNoDanglingChainOrPick)
{
    ChainScene scene(&a, "s");
    auto* one = new AuxDRArrow(AuxDRArrow::ID, &a);
    auto* two = new AuxDRArrow(AuxDRArrow::ID, &b);
    two->bPicked = true;
    scene.AddDRArrow(one);
    scene.AddDRArrow(two);
    ASSERT_EQ(scene.GetDRArrowPicked(), two);
    EXPECT_TRUE(scene.RemoveAuxContents(&b));
    EXPECT_EQ(scene.GetDRArrowPicked(), nullptr);
    EXPECT_EQ(scene.GetDRArrowHead(), one);
    EXPECT_EQ(one->pNextDRArrow, nullptr);
}

TEST_F(AnnotationChains, SearchesByRecordOrByIdAndNumber)
{
    ChainScene scene(&a, "s");
    KytAnnotateData r1, r2;
    auto* x = new AuxAnnotate(12, &a);
    auto* y = new AuxAnnotate(13, &b);
    x->pData = &r1;
    y->pData = &r2;
    x->SetNo(4);
    y->SetNo(4);
    scene.AddAnnotation(x, AUX_STAGE_SECOND);
    scene.AddAnnotation(y, AUX_STAGE_SECOND);
    struct Row {
        const KytAnnotateData* data;
        unsigned id;
        int no;
        AuxAnnotate* want;
    } rows[] = {
        {&r2, 0, 0, y}, {&r1, 13, 4, x}, {nullptr, 13, 4, y}, {nullptr, 12, 4, x},
        {nullptr, 12, 5, nullptr}, {nullptr, 14, 4, nullptr},
    };
    for (const Row& r : rows)
        EXPECT_EQ(scene.SearchAnnotation(r.data, r.id, r.no), r.want);
    EXPECT_EQ(scene.SearchAnnotation(13u, 4), y);
    EXPECT_EQ(scene.SearchAnnotation(static_cast<const KytLink*>(&c)), nullptr);
    EXPECT_TRUE(scene.RemoveAnnotation(&r2));
    EXPECT_FALSE(scene.RemoveAnnotation(&r2));
    EXPECT_EQ(scene.GetAnnotateHead(), x);
    EXPECT_FALSE(scene.RemoveAnnotation(12u, 5));
    EXPECT_TRUE(scene.RemoveAnnotation(12u, 4));
    EXPECT_EQ(scene.GetAnnotateHead(), nullptr);
}

TEST_F(AnnotationChains, RecordsChangeLinksAndShownFlagsByReviewId)
{
    ChainScene scene(&a, "s");
    KytDRAnnotateData n1, n2;
    KytDRArrowData w1;
    KytDRPartsConnectData p1;
    n1.ulDRKey = 7;
    n2.ulDRKey = 8;
    w1.ulDRKey = 7;
    p1.ulDRKey = 8;
    auto* na = new AuxDRAnnotate(AuxDRAnnotate::ID, &a);
    auto* nb = new AuxDRAnnotate(AuxDRAnnotate::ID, &b);
    auto* w = new AuxDRArrow(AuxDRArrow::ID, &a);
    auto* p = new AuxDRPartsConnect(AuxDRPartsConnect::ID, &b);
    na->pDRData = &n1;
    nb->pDRData = &n2;
    w->pDRData = &w1;
    p->pDRData = &p1;
    scene.AddAnnotation(na, AUX_STAGE_SECOND);
    scene.AddAnnotation(nb, AUX_STAGE_SECOND);
    scene.AddDRArrow(w);
    scene.AddPartsConnect(p);
    EXPECT_EQ(na->GetDRID(), 7u);
    EXPECT_EQ(AuxDRArrow().GetDRID(), 0u);

    for (bool show : {true, false}) {
        scene.ChangeDRAuxVisible(7, show);
        EXPECT_EQ(n1.bShow, show ? 1 : 0);
        EXPECT_EQ(w1.bShow, show ? 1 : 0);
        EXPECT_EQ(n2.bShow, show ? 0 : 1);
        EXPECT_EQ(p1.bShow, show ? 0 : 1);
    }

    scene.ChangeAuxDRArrowLink(&w1, &b, &c);  // not on b: unchanged
    EXPECT_EQ(w->GetTargetLink(), &a);
    scene.ChangeAuxDRArrowLink(&w1, &a, &c);
    EXPECT_EQ(w->GetTargetLink(), &c);
    scene.ChangeAuxDRPartsConnectLink(&p1, &b, &a);
    EXPECT_EQ(p->GetTargetLink(), &a);
    scene.ChangeAuxDRAnnotateLink(&n2, &b, &c);
    EXPECT_EQ(nb->GetTargetLink(), &c);
    EXPECT_EQ(scene.SearchDRArrow(static_cast<const KytLink*>(&c)), w);
    EXPECT_EQ(scene.SearchDRPartsConnect(static_cast<const KytLink*>(&a)), p);
    EXPECT_EQ(scene.SearchDRAnnotation(static_cast<const KytLink*>(&c)), nb);
    EXPECT_EQ(scene.SearchDRArrow(&w1, 0, 0), w);
    EXPECT_EQ(scene.SearchDRPartsConnect(nullptr, AuxDRPartsConnect::ID, p->GetNo()), p);
}

TEST_F(AnnotationChains, UpdateShowsTheCurrentReviewIdOfEveryRecordKind)
{
    KytDRAnnotateData n;
    KytDRArrowData w;
    KytDRPartsConnectData p, q;
    n.ulDRKey = w.ulDRKey = p.ulDRKey = 5;
    q.ulDRKey = 6;
    p.pNext = &q;
    a.pDRAnnotate = &n;
    c.pDRArrow = &w;  // a child
    b.pDRPartsConnect = &p;
    n.bShow = w.bShow = p.bShow = 0;
    q.bShow = 1;
    KytScene::ulID_DRData = 5;
    ChainScene scene(&a, "s");
    scene.UpdateDRAuxVisible(&a, true);
    EXPECT_EQ(n.bShow, 1);
    EXPECT_EQ(w.bShow, 1);
    EXPECT_EQ(p.bShow, 1);
    EXPECT_EQ(q.bShow, 0);
    scene.UpdateDRAuxVisible(&a, false);
    EXPECT_EQ(n.bShow + w.bShow + p.bShow + q.bShow, 0);
    KytScene::ulID_DRData = 0;
    a.pDRAnnotate = nullptr;
    c.pDRArrow = nullptr;
    b.pDRPartsConnect = nullptr;
}

// Source copies keep the record, number and pick, never the backup mark; copying a scene
// files copies of backups in the backup chains, so none is drawn and none is lost.
TEST_F(AnnotationChains, CopiesOfBackupsStayBackups)
{
    auto arrow = std::make_unique<AuxDRArrow>(AuxDRArrow::ID, &a);
    arrow->bPicked = true;
    arrow->bBackup = true;
    std::unique_ptr<AuxDRArrow> arrowCopy(static_cast<AuxDRArrow*>(arrow->Duplicate()));
    EXPECT_TRUE(arrowCopy->bPicked);
    EXPECT_FALSE(arrowCopy->bBackup);
    auto path = std::make_unique<AuxDRPartsConnect>(AuxDRPartsConnect::ID, &a);
    path->bPicked = true;
    path->bBackup = true;
    std::unique_ptr<AuxDRPartsConnect> pathCopy(static_cast<AuxDRPartsConnect*>(path->Duplicate()));
    EXPECT_TRUE(pathCopy->bPicked);
    EXPECT_FALSE(pathCopy->bBackup);
    auto note = std::make_unique<AuxDRAnnotate>(AuxDRAnnotate::ID, &a);
    note->bBackup = true;
    std::unique_ptr<AuxDRAnnotate> noteCopy(static_cast<AuxDRAnnotate*>(note->Duplicate()));
    EXPECT_FALSE(noteCopy->bBackup);

    ChainScene src(&a, "src");
    ASSERT_TRUE(src.Create(NewOgl(16, 16), 16, 16));
    src.AddDRArrow(new AuxDRArrow(AuxDRArrow::ID, &a));
    src.BackupDRArrow(new AuxDRArrow(AuxDRArrow::ID, &b));
    src.BackupDRAnnotation(new AuxDRAnnotate(AuxDRAnnotate::ID, &b));
    src.AddPartsConnect(new AuxDRPartsConnect(AuxDRPartsConnect::ID, &a));
    src.BackupDRPartsConnect(new AuxDRPartsConnect(AuxDRPartsConnect::ID, &c));
    ChainScene dst;
    ASSERT_TRUE(dst.Create(NewOgl(16, 16), 16, 16));
    ASSERT_TRUE(dst.Copy(&src, 16, 16, nullptr));
    ASSERT_NE(dst.GetDRArrowHead(), nullptr);
    EXPECT_FALSE(dst.GetDRArrowHead()->bBackup);
    EXPECT_EQ(dst.GetDRArrowHead()->GetTargetLink(), &a);
    EXPECT_EQ(dst.GetDRArrowHead()->pNextDRArrow, nullptr);
    ASSERT_NE(dst.GetDRArrowBackup(), nullptr);
    EXPECT_TRUE(dst.GetDRArrowBackup()->bBackup);
    EXPECT_EQ(dst.GetDRArrowBackup()->GetTargetLink(), &b);
    EXPECT_EQ(dst.GetDRAnnotateHead(), nullptr);
    ASSERT_NE(dst.GetDRAnnotateBackup(), nullptr);
    EXPECT_TRUE(dst.GetDRAnnotateBackup()->bBackup);
    ASSERT_NE(dst.GetDRPartsConnectBackup(), nullptr);
    EXPECT_EQ(dst.GetDRPartsConnectBackup()->GetTargetLink(), &c);
    EXPECT_EQ(dst.GetDRPartsConnectHead()->GetTargetLink(), &a);
}

template <class Base>
class CountingCreate : public Base {
public:
    using Base::Base;
    void Create(KytScene* scene) override
    {
        ++creates;
        Base::Create(scene);
    }
    int creates = 0;
};

// Every way in creates the object once, in the scene that files it.
TEST_F(AnnotationChains, EachWayInCreatesOnce)
{
    RecordingScene scene(&a, "s");
    ASSERT_TRUE(scene.Create(NewOgl(16, 16), 16, 16));
    auto* note = new CountingCreate<AuxDRAnnotate>(AuxDRAnnotate::ID, &a);
    auto* noteBackup = new CountingCreate<AuxDRAnnotate>(AuxDRAnnotate::ID, &a);
    auto* path = new CountingCreate<AuxDRPartsConnect>(AuxDRPartsConnect::ID, &a);
    auto* pathBackup = new CountingCreate<AuxDRPartsConnect>(AuxDRPartsConnect::ID, &a);
    auto* arrow = new CountingCreate<AuxDRArrow>(AuxDRArrow::ID, &a);
    auto* arrowBackup = new CountingCreate<AuxDRArrow>(AuxDRArrow::ID, &a);
    auto* plain = new CountingCreate<AuxAnnotate>(12, &a);
    scene.AddAnnotation(note, AUX_STAGE_SECOND);
    scene.BackupDRAnnotation(noteBackup);
    scene.AddPartsConnect(path);
    scene.BackupDRPartsConnect(pathBackup);
    scene.AddDRArrow(arrow);
    scene.BackupDRArrow(arrowBackup);
    scene.AddAnnotation(plain, AUX_STAGE_FIRST);
    // Filing again is refused and creates nothing.
    scene.AddDRArrow(arrow);
    scene.BackupDRArrow(arrow);
    for (int n : {note->creates, noteBackup->creates, path->creates, pathBackup->creates,
                  arrow->creates, arrowBackup->creates, plain->creates})
        EXPECT_EQ(n, 1);
}

} // namespace
} // namespace scene_test
