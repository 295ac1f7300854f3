// Selection boxes: part boxes on the world box of the link, assembly boxes 0.52 x their extent,
// each assembly its own box, the filters and the GL state.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "platform/kernel/KytModel.h"
#include "scene/annotation/AuxConfirmBox.h"
#include "scene/view/KytScene.h"
#include "tests/support/scene/GlFixture.h"
#include "tests/support/scene/OverlayGl.h"

namespace {

using overlaytest::CaptureState;
using overlaytest::Feedback;
using overlaytest::Primitive;
using quor::test::GlFixture;

struct Box3 {
    WqVector3D lo{1e9, 1e9, 1e9}, hi{-1e9, -1e9, -1e9};
    void Add(const WqVector3D& p)
    {
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], p[k]);
            hi[k] = std::max(hi[k], p[k]);
        }
    }
};

std::vector<WqVector3D> Vertices(const std::vector<Primitive>& prims)
{
    std::vector<WqVector3D> out;
    for (const Primitive& p : prims)
        for (const auto& v : p.v)
            out.push_back({v[0], v[1], v[2]});
    return out;
}

class ConfirmBox : public GlFixture {
protected:
    void SetUp() override
    {
        GlFixture::SetUp();
        Open(64, 64);
        root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
        // Assemblies are shapeless links of the part kind.
        asmA = model.AddLink("asmA", root, KYT_LINK_PART);
        KytBuild::AddBox(model, "a1", asmA, {-1, 0, 0}, 0.4, 0.4, 0.4);
        KytBuild::AddBox(model, "a2", asmA, {-0.5, 0.5, 0.2}, 0.2, 0.2, 0.2);
        asmB = model.AddLink("asmB", root, KYT_LINK_PART);
        KytBuild::AddBox(model, "b1", asmB, {1, -1, 0}, 0.5, 0.5, 0.5);
        tilted = KytBuild::AddBox(model, "tilted", root, {0.5, 0.5, 0}, 1.0, 0.6, 0.4);
        tilted->referMech.mRot.MakeRotMatrix(std::cos(M_PI / 6), std::sin(M_PI / 6), 0);
        model.UpdatePlacements();
        KytScene::bMoving = false;
        KytScene::bShowTargetLink = false;
    }
    void TearDown() override
    {
        KytScene::bMoving = false;
        KytScene::bShowTargetLink = false;
        KytLink::eReferMode = KYT_REFER_ASSEMBLY;
        GlFixture::TearDown();
    }
    // The box the kernel gives for `link` alone, from an empty start.
    static Box3 KernelBox(const KytLink* link)
    {
        Box3 b;
        const double big = std::numeric_limits<double>::max();
        WqVector3D lo(big, big, big), hi(-big, -big, -big);
        EXPECT_TRUE(link->GetBoundingBox(&lo, &hi, false, -1, true));
        b.lo = lo;
        b.hi = hi;
        return b;
    }

    KytModel model;
    KytLink *root = nullptr, *asmA = nullptr, *asmB = nullptr, *tilted = nullptr;
};

TEST_F(ConfirmBox, PartBoxIsTheLinksWorldBox)
{
    KytStack<KytLink> stack;
    stack.Push(tilted);
    for (int cls = 0; cls < 2; ++cls) {
        std::unique_ptr<AuxConfirmBox> box(cls ? new AuxConfirmBox2(1, &stack)
                                               : new AuxConfirmBox(1, &stack));
        const auto prims = Feedback([&] { box->Draw(); });
        EXPECT_EQ(prims.size(), 24u);  // six quads as outlines
        const auto verts = Vertices(prims);
        // Every drawn vertex is one of the eight world corners, and every corner is drawn.
        int seen[8] = {};
        for (const WqVector3D& v : verts) {
            int found = -1;
            for (int c = 0; c < 8; ++c)
                if ((v - tilted->mech.GetAbsPos(tilted->aBoxCorner[c])).Length() < 3e-3)
                    found = c;
            ASSERT_GE(found, 0) << v.x << " " << v.y << " " << v.z;
            ++seen[found];
        }
        for (int c = 0; c < 8; ++c)
            EXPECT_GT(seen[c], 0) << c;
        if (!cls) {
            GLfloat colour[4];
            glGetFloatv(GL_CURRENT_COLOR, colour);
            EXPECT_FLOAT_EQ(colour[0], 1.0f);
            EXPECT_FLOAT_EQ(colour[2], 0.3f);
        }
    }
}

// Both assemblies of one stack get their own box, 0.52 x their extent about their centre.
TEST_F(ConfirmBox, EachAssemblyGetsItsOwnEnlargedBox)
{
    for (int cls = 0; cls < 2; ++cls) {
        KytStack<KytLink> stack;
        stack.Push(asmA);
        stack.Push(asmB);
        std::unique_ptr<AuxConfirmBox> box(cls ? new AuxConfirmBox2(1, &stack)
                                               : new AuxConfirmBox(1, &stack));
        const auto prims = Feedback([&] { box->Draw(); });
        ASSERT_EQ(prims.size(), 48u);
        // Head first: asmB, then asmA.
        const KytLink* order[2] = {asmB, asmA};
        for (int k = 0; k < 2; ++k) {
            Box3 drawn;
            for (size_t i = k * 24; i < (k + 1) * 24u; ++i)
                for (const auto& v : prims[i].v)
                    drawn.Add({v[0], v[1], v[2]});
            const Box3 kernel = KernelBox(order[k]);
            for (int a = 0; a < 3; ++a) {
                const double c = (kernel.lo[a] + kernel.hi[a]) / 2;
                const double h = 0.52 * (kernel.hi[a] - kernel.lo[a]);
                EXPECT_NEAR(drawn.lo[a], c - h, 3e-3) << k << " axis " << a;
                EXPECT_NEAR(drawn.hi[a], c + h, 3e-3) << k << " axis " << a;
            }
        }
    }
}

TEST_F(ConfirmBox, AssemblyColoursFollowSolid)
{
    KytStack<KytLink> stack;
    stack.Push(asmA);
    AuxConfirmBox box(1, &stack);
    struct Case {
        int solid;
        float colour[3];
    } cases[] = {{0, {1, 1, 0.1f}}, {1, {0, 1, 1}}, {-3, {0, 1, 1}}};
    for (const Case& c : cases) {
        box.Solid = c.solid;
        glColor3f(0.5f, 0.5f, 0.5f);
        box.Draw();
        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        for (int k = 0; k < 3; ++k)
            EXPECT_FLOAT_EQ(colour[k], c.colour[k]) << c.solid;
    }
}

TEST_F(ConfirmBox, FiltersMovingHiddenAndKinds)
{
    KytLink* hidden = KytBuild::AddBox(model, "hidden", root, {0, 0, 0}, 0.2, 0.2, 0.2);
    hidden->visual.uVisible = 0;
    KytLink* datum = KytBuild::AddBox(model, "datum", root, {0, 0, 0}, 0.2, 0.2, 0.2);
    datum->nType = KYT_LINK_DATUM;
    KytLink* chainTop = model.AddLink("chainTop", root, KYT_LINK_NOHANDLE);
    KytLink* chained = KytBuild::AddBox(model, "chained", chainTop, {0, 0, 0}, 0.2, 0.2, 0.2);
    chained->nType = KYT_LINK_NOHANDLE;
    model.UpdatePlacements();
    struct Case {
        KytLink* link;
        bool showTarget;
        bool moving;
        size_t first, second;  // outline counts of the two classes
    } cases[] = {
        {tilted, false, false, 24, 24},
        {tilted, false, true, 0, 0},
        {tilted, true, false, 0, 0},
        {hidden, false, false, 0, 24},
        {hidden, true, false, 24, 24},
        {datum, false, false, 0, 24},
        {chained, false, false, 24, 24},
    };
    for (const Case& c : cases) {
        KytStack<KytLink> stack;
        stack.Push(c.link);
        KytScene::bShowTargetLink = c.showTarget;
        KytScene::bMoving = c.moving;
        AuxConfirmBox one(1, &stack);
        AuxConfirmBox2 two(2, &stack);
        const auto before = CaptureState();
        EXPECT_EQ(Feedback([&] { one.Draw(); }).size(), c.first) << c.link->name << c.showTarget;
        EXPECT_EQ(Feedback([&] { two.Draw(); }).size(), c.second) << c.link->name << c.showTarget;
        EXPECT_EQ(CaptureState(), before);
    }
    // The chain's top hidden hides the chained part from the first class.
    chainTop->visual.uVisible = 0;
    KytScene::bShowTargetLink = false;
    KytScene::bMoving = false;
    KytStack<KytLink> stack;
    stack.Push(chained);
    AuxConfirmBox one(1, &stack);
    EXPECT_TRUE(Feedback([&] { one.Draw(); }).empty());
    // Null and empty stacks.
    KytStack<KytLink> empty;
    AuxConfirmBox none(1, nullptr), blank(2, &empty);
    EXPECT_TRUE(Feedback([&] { none.Draw(); }).empty());
    EXPECT_TRUE(Feedback([&] { blank.Draw(); }).empty());
}

// A relation the kernel does not know keeps the current one; a known one is used and given back.
TEST_F(ConfirmBox, ReferModeOutsideTheRelationsKeepsTheCurrentOne)
{
    KytStack<KytLink> stack;
    stack.Push(asmA);
    AuxConfirmBox box(1, &stack);
    const size_t expected = Feedback([&] { box.Draw(); }).size();
    for (int mode : {-1, 2, 1000, 1}) {
        box.ReferMode = mode;
        const auto prims = Feedback([&] { box.Draw(); });
        // asmA has no children in the mechanism relation, so it gets no box there.
        EXPECT_EQ(prims.size(), mode == 1 ? 0u : expected) << mode;
        EXPECT_EQ(KytLink::eReferMode, KYT_REFER_ASSEMBLY);
    }
}

TEST_F(ConfirmBox, CopiesKeepEveryField)
{
    KytStack<KytLink> stack;
    auto src = std::make_unique<AuxConfirmBox2>(7, &stack);
    src->Solid = 1;
    src->ReferMode = 1;
    src->SetDraw(false);
    std::unique_ptr<KytAuxContents> dup(src->Duplicate());
    AuxConfirmBox2 copy(*src);
    AuxConfirmBox assigned(1, nullptr);
    assigned = *src;
    src.reset();
    auto* d = dynamic_cast<AuxConfirmBox2*>(dup.get());
    ASSERT_NE(d, nullptr);
    for (const AuxConfirmBox* b : {static_cast<const AuxConfirmBox*>(d),
                                   static_cast<const AuxConfirmBox*>(&copy),
                                   static_cast<const AuxConfirmBox*>(&assigned)}) {
        EXPECT_EQ(b->Stack, &stack);
        EXPECT_EQ(b->Solid, 1);
        EXPECT_EQ(b->ReferMode, 1);
        EXPECT_EQ(b->GetID(), 7u);
        EXPECT_FALSE(b->IsDraw());
    }
    KytStack<KytLink> other;
    copy.Change(&other);
    EXPECT_EQ(copy.Stack, &other);
    AuxConfirmBox2 plain(static_cast<const AuxConfirmBox*>(nullptr));
    EXPECT_EQ(plain.Stack, nullptr);
    EXPECT_EQ(plain.GetID(), 0u);
}

}  // namespace
