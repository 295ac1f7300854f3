// Joint records, joint glyph sizes and names, and the direction rod.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "platform/kernel/KytLink.h"
#include "scene/annotation/AuxDirect.h"
#include "scene/annotation/AuxJoint.h"
#include "scene/view/KytPickNames.h"
#include "tests/support/scene/GlFixture.h"
#include "tests/support/scene/OverlayGl.h"

namespace {

using overlaytest::CaptureState;
using overlaytest::Feedback;
using overlaytest::Primitive;
using quor::test::GlFixture;

std::vector<const AuxJointData*> Records(const AuxJoint& j)
{
    std::vector<const AuxJointData*> out;
    for (KytItem<AuxJointData>* n = j.GetFirstTarget(); n; n = n->next)
        out.push_back(n->item);
    return out;
}

TEST(AuxJoint, RecordsNewestFirstAndTheSameLinkTwice)
{
    KytLink a, b;
    a.dJointValue = 10;
    b.dJointValue = 20;
    AuxJoint j(1);
    EXPECT_FALSE(j.Push(nullptr, true));
    EXPECT_TRUE(j.Push(&a, true));
    EXPECT_TRUE(j.Push(&b, false));
    a.dJointValue = 30;
    EXPECT_TRUE(j.Push(&a, true));
    ASSERT_EQ(j.Count(), 3);
    auto r = Records(j);
    EXPECT_EQ(r[0]->Link, &a);
    EXPECT_EQ(r[0]->Q, 30.0);
    EXPECT_EQ(r[1]->Link, &b);
    EXPECT_FALSE(r[1]->Shown);
    EXPECT_EQ(r[2]->Q, 10.0);
    EXPECT_EQ(j.GetQ(&a), 30.0);
    EXPECT_TRUE(j.SetDrawData(&a, false));
    EXPECT_FALSE(r[0]->Shown);
    EXPECT_TRUE(r[2]->Shown);
    EXPECT_FALSE(j.SetDrawData(nullptr, true));
    KytLink none;
    EXPECT_FALSE(j.SetDrawData(&none, true));
    EXPECT_EQ(j.GetQ(&none), 0.0);
    EXPECT_EQ(j.GetDelta(&none), 1.0);
    j.SetDelta(&none, 5);
    j.SetDelta(&a, 0.25);
    EXPECT_EQ(j.GetDelta(&a), 0.25);
    EXPECT_EQ(r[2]->Delta, 1.0);
    j.AllHide();
    for (const AuxJointData* d : Records(j))
        EXPECT_FALSE(d->Shown);
    j.ClearData();
    EXPECT_EQ(j.Count(), 0);
    EXPECT_EQ(j.GetFirstTarget(), nullptr);
}

TEST(AuxJoint, SetActiveSequences)
{
    KytLink a, b;
    struct Step {
        KytLink* link;
        bool toggle;
        bool a0, b, a2;  // expected Active of the records (newest first: a, b, a)
    } steps[] = {
        {&a, false, true, false, true},  {&b, true, true, true, true},
        {&b, true, true, false, true},   {&a, true, false, false, true},
        {&b, false, false, true, false}, {nullptr, false, false, false, false},
    };
    AuxJoint j(1);
    j.Push(&a, true);
    j.Push(&b, true);
    j.Push(&a, true);
    for (const Step& s : steps) {
        j.SetActive(s.link, s.toggle);
        const auto r = Records(j);
        EXPECT_EQ(r[0]->Active, s.a0);
        EXPECT_EQ(r[1]->Active, s.b);
        EXPECT_EQ(r[2]->Active, s.a2);
    }
}

TEST(AuxJoint, CopiesOwnTheirRecordsAndDuplicatesHaveNone)
{
    KytLink a, b;
    auto src = std::make_unique<AuxJoint>(3);
    src->Push(&a, true);
    src->Push(&b, false);
    src->GlyphSize = 7;
    AuxJoint copy(*src);
    AuxJoint assigned(4);
    assigned.Push(&b, true);
    assigned = *src;
    std::unique_ptr<KytAuxContents> dup(src->Duplicate());
    src.reset();
    for (AuxJoint* j : {&copy, &assigned}) {
        ASSERT_EQ(j->Count(), 2);
        const auto r = Records(*j);
        EXPECT_EQ(r[0]->Link, &b);
        EXPECT_EQ(r[1]->Link, &a);
        EXPECT_EQ(j->GlyphSize, 7.0f);
        EXPECT_EQ(j->Quadric, nullptr);
    }
    AuxJoint& self = copy;
    copy = self;
    EXPECT_EQ(copy.Count(), 2);
    auto* d = static_cast<AuxJoint*>(dup.get());
    EXPECT_EQ(d->Count(), 0);
    EXPECT_EQ(d->GlyphSize, 7.0f);
    EXPECT_TRUE(d->IsPickable());
}

struct Extent {
    double lo[3] = {1e9, 1e9, 1e9}, hi[3] = {-1e9, -1e9, -1e9};
    explicit Extent(const std::vector<Primitive>& prims)
    {
        for (const Primitive& p : prims)
            for (const auto& v : p.v)
                for (int k = 0; k < 3; ++k) {
                    lo[k] = std::min(lo[k], v[k]);
                    hi[k] = std::max(hi[k], v[k]);
                }
    }
};

using JointDraw = GlFixture;

TEST_F(JointDraw, GlyphSizesFollowTheGlyphSize)
{
    Open(64, 64);
    KytLink rot, slide, plain;
    rot.nJointKind = 2;
    slide.nJointKind = 8;
    plain.nJointKind = 5;
    const float size = 3.0f;
    const double d = 0.3 * size, c2 = 1.5 * 0.08 * size;
    AuxJoint j(1);
    j.GlyphSize = size;
    j.Push(&rot, true);
    EXPECT_TRUE(Feedback([&] { j.Draw(); }).empty());  // no quadric yet
    j.Create(nullptr);
    const auto before = CaptureState();
    Extent r(Feedback([&] { j.Draw(); }));
    EXPECT_EQ(CaptureState(), before);
    EXPECT_NEAR(r.hi[1], 2.4 * c2, 3e-3);  // the ring
    EXPECT_NEAR(r.lo[2], -d, 3e-3);
    EXPECT_NEAR(r.hi[2], d, 3e-3);
    j.ClearData();
    j.Push(&slide, true);
    Extent s(Feedback([&] { j.Draw(); }));
    EXPECT_NEAR(s.hi[0], c2, 3e-3);  // the sleeve
    EXPECT_NEAR(s.lo[2], -d, 3e-3);
    EXPECT_NEAR(s.hi[2], d + 2 * c2, 3e-3);  // the cone's tip
    j.ClearData();
    j.Push(&plain, true);
    EXPECT_TRUE(Feedback([&] { j.Draw(); }).empty());
    // At the link's placement times its joint frame.
    j.ClearData();
    rot.mech.vPos = WqVector3D(0.5, 0, 0);
    rot.jointFrame.vPos = WqVector3D(0, 0.25, 0);
    rot.jointFrame.mRot.MakeRotMatrix(0.0, 1.0, 0);  // z turned onto -y
    j.Push(&rot, true);
    Extent t(Feedback([&] { j.Draw(); }));
    EXPECT_NEAR((t.lo[1] + t.hi[1]) / 2, 0.25, 3e-3);
    EXPECT_NEAR(t.hi[1] - t.lo[1], 2 * d, 3e-3);
    EXPECT_NEAR(t.lo[0], 0.5 - 2.4 * c2, 0.02);
}

// The selection names of the glyphs are the links' ids of the pass.
TEST_F(JointDraw, GlyphsAreNamedByTheirLink)
{
    Open(64, 64);
    KytLink rot;
    rot.nJointKind = 2;
    AuxJoint j(1);
    j.GlyphSize = 3.0f;
    j.Create(nullptr);
    j.Push(&rot, true);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    GLuint buf[64] = {};
    glSelectBuffer(64, buf);
    glRenderMode(GL_SELECT);
    glInitNames();
    KytPickNames::Begin();
    glPushName(j.GetID());
    j.Draw();
    glPopName();
    KytPickNames::End();
    const int hits = glRenderMode(GL_RENDER);
    ASSERT_EQ(hits, 1);
    ASSERT_EQ(buf[0], 2u);
    EXPECT_EQ(buf[3], 1u);
    EXPECT_EQ(KytPickNames::Lookup(buf[4]), &rot);
}

TEST_F(JointDraw, DirectionRodRunsThroughBAlongTheUnitUp)
{
    Open(64, 64);
    KytLink link;
    link.mech.vPos = WqVector3D(0.1, 0.2, 0);
    link.jointFrame.vPos = WqVector3D(0.1, -0.3, 0.2);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<WqVector3D> ups = {{0, 0, 1}, {1, 0, 0}, {0, 0, -1}, {0, 3, 4}, {0, 0, -0.5}};
    for (int i = 0; i < 5; ++i)
        ups.push_back({u(rng), u(rng), u(rng)});
    for (bool usePoint : {false, true}) {
        for (const WqVector3D& up : ups) {
            AuxDirect rod(1);
            rod.SetLink(&link);
            if (usePoint)
                rod.SetPoint({-0.2, 0.1, 0.1});
            rod.SetUp(up);
            rod.Create(nullptr);
            rod.Size = 1.0f;
            const WqVector3D b = usePoint ? WqVector3D(-0.2, 0.1, 0.1)
                                          : link.mech.GetAbsPos(link.jointFrame.vPos);
            const WqVector3D unit = up * (1.0 / up.Length());
            const auto before = CaptureState();
            const auto prims = Feedback([&] { rod.Draw(); });
            EXPECT_EQ(CaptureState(), before);
            ASSERT_FALSE(prims.empty());
            double lo = 1e9, hi = -1e9, off = 0;
            for (const auto& p : prims)
                for (const auto& v : p.v) {
                    const WqVector3D q = WqVector3D(v[0], v[1], v[2]) - b;
                    const double along = q.Dot(unit);
                    lo = std::min(lo, along);
                    hi = std::max(hi, along);
                    off = std::max(off, (q - unit * along).Length());
                }
            SCOPED_TRACE(testing::Message() << up.x << " " << up.y << " " << up.z);
            EXPECT_NEAR(lo, -1.0, 3e-3);
            EXPECT_NEAR(hi, 1.0, 3e-3);
            EXPECT_LE(off, 0.02 + 3e-3);
        }
    }
    AuxDirect rod(1);
    rod.SetLink(&link);
    rod.Create(nullptr);
    rod.Size = 1.0f;
    EXPECT_TRUE(Feedback([&] { rod.Draw(); }).empty());  // no direction
    rod.SetUp({0, 0, 1});
    rod.SetLink(nullptr);
    rod.SetPoint({0, 0, 0});
    EXPECT_TRUE(Feedback([&] { rod.Draw(); }).empty());  // no link
    AuxDirect copy(rod);
    copy.SetLink(&link);
    EXPECT_EQ(copy.Quadric, nullptr);
    EXPECT_TRUE(Feedback([&] { copy.Draw(); }).empty());  // no quadric
    std::unique_ptr<KytAuxContents> dup(copy.Duplicate());
    EXPECT_EQ(static_cast<AuxDirect*>(dup.get())->UpVector.z, 1.0);
    EXPECT_EQ(static_cast<AuxDirect*>(dup.get())->GetTargetLink(), &link);
}

}  // namespace
