#include "world/core/track/TrackBase.h"

#include <cmath>
#include <memory>
#include <random>

#include "tests/world/core/track/TrackTestSupport.h"
#include "world/core/track/TrackKinds.h"
#include "world/core/track/TransformKey.h"

namespace {

using namespace quor;
using namespace quor::test;
using namespace quor::world;

class TrackBaseTest : public TrackTest {
protected:
    // A looping translate track from `from` to `to` in `ms`.
    static std::unique_ptr<TrackTranslate> Line(const Vec3& from, const Vec3& to, float ms, std::uint8_t loop = 1) {
        auto t = std::unique_ptr<TrackTranslate>(NewObject<TrackTranslate>());
        TrackTemplate tt;
        tt.loop = loop;
        tt.start = from;
        tt.end = to;
        tt.timeLength = ms;
        tt.cycleType = 1;
        t->InitFrom(&tt);
        t->Evaluate();
        return t;
    }
    static void Frames(TrackBase& t, int n) {
        for (int i = 0; i < n; ++i) t.Advance();
    }
};

TEST_F(TrackBaseTest, LengthZeroNeverStartsAndStaysAtItsStart) {
    auto t = Line({1, 2, 3}, {5, 2, 3}, 0.0f);
    EXPECT_EQ(t->GetLength(), 0.0f);
    EXPECT_FALSE(t->Start());
    EXPECT_FALSE(t->IsActive());
    EXPECT_FALSE(t->Advance());
    Vec3 p;
    t->GetLocalTransform(&p, nullptr, nullptr);
    EXPECT_EQ(p, (Vec3{1, 2, 3}));
}

TEST_F(TrackBaseTest, TranslationAccumulatesPerPassOnTheSelectedAxes) {
    auto t = Line({0, 0, 0}, {10, 5, 0}, 1000.0f);
    t->SetChannelFlags(0x1000);
    ASSERT_TRUE(t->Start());
    Frames(*t, 250);  // two and a half passes of 100 frames
    EXPECT_NEAR(t->Position().x, 25.0f, 1e-3f);
    EXPECT_NEAR(t->Position().y, 2.5f, 1e-3f);
    EXPECT_NEAR(t->Position().z, 0.0f, 1e-5f);
}

TEST_F(TrackBaseTest, ReversedAccumulationRunsBackwards) {
    auto t = Line({0, 0, 0}, {10, 5, 0}, 1000.0f);
    t->SetChannelFlags(0x1000);
    t->SetReverse(true);
    ASSERT_TRUE(t->Start());
    Frames(*t, 250);
    EXPECT_NEAR(t->Position().x, -15.0f, 1e-3f);
    EXPECT_NEAR(t->Position().y, 2.5f, 1e-3f);
}

TEST_F(TrackBaseTest, NoFlagsNoAccumulation) {
    auto t = Line({0, 0, 0}, {10, 0, 0}, 1000.0f);
    ASSERT_TRUE(t->Start());
    Frames(*t, 250);
    EXPECT_NEAR(t->Position().x, 5.0f, 1e-3f);
    EXPECT_EQ(t->LoopDelta(), MatrixIdentity());
}

TEST_F(TrackBaseTest, LinkNextShallowReplacesDeepAppends) {
    auto a = Line({0, 0, 0}, {1, 0, 0}, 1000.0f);
    auto b = Line({0, 0, 0}, {1, 0, 0}, 1000.0f);
    auto c = Line({0, 0, 0}, {1, 0, 0}, 1000.0f);
    auto d = Line({0, 0, 0}, {1, 0, 0}, 1000.0f);
    EXPECT_TRUE(a->LinkNext(b.get(), false));
    EXPECT_TRUE(b->InUse());
    EXPECT_TRUE(a->LinkNext(c.get(), true));
    EXPECT_EQ(a->GetNext(false), b.get());
    EXPECT_EQ(a->GetNext(true), c.get());
    EXPECT_TRUE(a->LinkNext(d.get(), false));  // replaces b
    EXPECT_FALSE(b->InUse());
    EXPECT_EQ(a->GetNext(false), d.get());
    EXPECT_EQ(a->GetNext(true), d.get());  // c went with b
    EXPECT_EQ(b->GetNext(false), c.get());
    EXPECT_EQ(a->UnlinkNext(false), d.get());
    EXPECT_FALSE(d->InUse());
    EXPECT_EQ(a->GetNext(true), nullptr);
    b->UnlinkNext(false);
}

TEST_F(TrackBaseTest, LinkNextRefusals) {
    auto a = Line({0, 0, 0}, {1, 0, 0}, 1000.0f);
    auto b = Line({0, 0, 0}, {1, 0, 0}, 1000.0f);
    auto c = Line({0, 0, 0}, {1, 0, 0}, 1000.0f);
    EXPECT_FALSE(a->LinkNext(nullptr, false));
    EXPECT_FALSE(a->LinkNext(a.get(), false));
    ASSERT_TRUE(a->LinkNext(b.get(), false));
    ASSERT_TRUE(b->LinkNext(c.get(), false));
    // c's chain does not reach a, but a (the head) is not in use: the loop must still be seen.
    EXPECT_FALSE(c->LinkNext(a.get(), false));
    EXPECT_EQ(c->GetNext(false), nullptr);
    auto d = Line({0, 0, 0}, {1, 0, 0}, 1000.0f);
    EXPECT_FALSE(d->LinkNext(b.get(), false));  // b is in use
    // The chain still ticks and ends.
    ASSERT_TRUE(a->Start());
    EXPECT_TRUE(a->Advance());
    a->UnlinkNext(true);
    a->UnlinkNext(true);
}

TEST_F(TrackBaseTest, ChainComposesTheNextTransform) {
    auto a = Line({0, 0, 0}, {10, 0, 0}, 1000.0f);
    auto b = Line({0, 0, 0}, {0, 10, 0}, 1000.0f);
    ASSERT_TRUE(a->LinkNext(b.get(), false));
    a->Start();
    b->Start();
    Frames(*a, 50);
    EXPECT_NEAR(a->Position().x, 5.0f, 1e-3f);
    EXPECT_NEAR(a->Position().y, 5.0f, 1e-3f);
    a->UnlinkNext(false);
}

TEST_F(TrackBaseTest, VelocityAtRestAndMoving) {
    auto t = Line({0, 0, 0}, {10, 0, 0}, 1000.0f);
    float factor = 1.0f;
    Vec3 dir;
    t->GetVelocity(&factor, &dir);
    EXPECT_EQ(factor, 0.0f);
    EXPECT_EQ(dir, (Vec3{0, 0, 1}));
    t->Start();
    t->Advance();
    factor = 2.0f;
    t->GetVelocity(&factor, &dir);
    EXPECT_NEAR(factor, 20.0f, 1e-3f);  // 10 units a second, times 2
    EXPECT_NEAR(dir.x, 1.0f, 1e-6f);
    // A stopped frame clock gives no rate rather than a division by zero.
    SetFrameStep(0.0);
    factor = 1.0f;
    t->GetVelocity(&factor, nullptr);
    EXPECT_EQ(factor, 0.0f);
}

TEST_F(TrackBaseTest, SetTransformMakesTheTransformThoseParts) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int n = 0; n < 100; ++n) {
        auto t = Line({u(rng), u(rng), u(rng)}, {u(rng) * 5, u(rng), u(rng)}, 1000.0f);
        t->Start();
        Frames(*t, n % 37);
        const Vec3 position{u(rng) * 10, u(rng) * 10, u(rng) * 10};
        Matrix rotation;
        EulerToMatrix(u(rng) * 3, u(rng), u(rng) * 3, rotation, 1);
        const float s = 0.5f + std::fabs(u(rng));
        const Vec3 scale{s, s, s};
        t->SetTransform(&position, &rotation, &scale);
        Vec3 p, sc;
        Matrix r;
        t->GetLocalTransform(&p, &r, &sc);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(p[i], position[i], 1e-3f);
            EXPECT_NEAR(sc[i], scale[i], 1e-4f);
        }
        for (int i = 0; i < 12; ++i) EXPECT_NEAR(r.m[i], rotation.m[i], 1e-4f);
    }
}

TEST_F(TrackBaseTest, SetTransformKeepsPartsNotGiven) {
    auto t = Line({1, 2, 3}, {5, 2, 3}, 1000.0f);
    const Vec3 scale{2, 2, 2};
    t->SetTransform(nullptr, nullptr, &scale);
    EXPECT_NEAR(t->Position().x, 1.0f, 1e-5f);
    EXPECT_NEAR(t->Scale().y, 2.0f, 1e-5f);
    EXPECT_FALSE(t->IsDirty());
}

TEST_F(TrackBaseTest, BaseMatrixIsOrthogonalised) {
    auto t = Line({0, 0, 0}, {1, 0, 0}, 1000.0f);
    Matrix skew = MatrixIdentity();
    skew.m[4] = 0.5f;  // row 1 leans toward x
    t->SetBaseMatrix(skew);
    const Matrix& b = *t->GetBaseMatrix();
    EXPECT_NEAR(Vec3Dot(b.Row(0), b.Row(1)), 0.0f, 1e-5f);
    EXPECT_NEAR(Vec3Dot(b.Row(1), b.Row(2)), 0.0f, 1e-5f);
    EXPECT_FALSE(t->BaseHasUnitScale());  // row 1 kept its length
    t->SetBaseMatrix(MatrixIdentity());
    EXPECT_TRUE(t->BaseHasUnitScale());
}

TEST_F(TrackBaseTest, ShrinkingScaleKeepsTheRotationFinite) {
    auto t = std::unique_ptr<TrackScale>(NewObject<TrackScale>());
    TrackTemplate tt;
    tt.start = {1, 1, 1};
    tt.end = {0, 0, 1};
    tt.timeLength = 1000.0f;
    tt.cycleType = 1;
    t->InitFrom(&tt);
    t->SetTime(t->GetLength());
    Matrix r;
    Vec3 s;
    t->GetLocalTransform(nullptr, &r, &s);
    for (float v : r.m) EXPECT_TRUE(std::isfinite(v));
    EXPECT_NEAR(s.x, 0.0f, 1e-4f);
    EXPECT_NEAR(s.z, 1.0f, 1e-4f);
    Matrix m;
    t->GetTransformMatrix(m, true);
    for (float v : m.m) EXPECT_TRUE(std::isfinite(v));
    // Re-basing a collapsed transform keeps the old base.
    const Matrix before = *t->GetBaseMatrix();
    t->SetMatrix(MatrixIdentity());
    EXPECT_EQ(*t->GetBaseMatrix(), before);
}

TEST_F(TrackBaseTest, FaceMoveDirectionTurnsTowardTheMovement) {
    auto t = Line({0, 0, 0}, {10, 0, 0}, 1000.0f);
    t->Start();
    t->Advance();
    t->SetFaceMoveDirection(1, 1);
    // Mode 1: the third row follows the movement, the second stays up.
    EXPECT_NEAR(t->Rotation().Row(2).x, 1.0f, 1e-5f);
    EXPECT_NEAR(t->Rotation().Row(1).y, 1.0f, 1e-5f);
}

TEST_F(TrackBaseTest, NamesAreCopiedAndCut) {
    auto t = Line({0, 0, 0}, {1, 0, 0}, 1000.0f);
    t->SetName("spin");
    EXPECT_STREQ(t->GetName(), "spin");
    const std::string longName(400, 'n');
    t->SetName(longName.c_str());
    EXPECT_EQ(std::string(t->GetName()).size(), TrackBase::kNameSize - 1);
}

}  // namespace
