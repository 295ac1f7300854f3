// The track side of SpaceObject: binding, the per-frame step, the cross-fade and rebasing.
#include "world/core/SpaceObject.h"

#include <cmath>
#include <memory>

#include "tests/world/core/track/TrackTestSupport.h"
#include "world/core/track/TrackKinds.h"

namespace {

using namespace quor;
using namespace quor::test;
using namespace quor::world;

class SpaceObjectTrack : public TrackTest {
protected:
    // A kept translate track from `from` to `to` over `ms`, looping.
    static TrackBase* Line(const Vec3& from, const Vec3& to, float ms = 1000.0f) {
        TrackTemplate tt;
        tt.loop = 1;
        tt.start = from;
        tt.end = to;
        tt.timeLength = ms;
        tt.cycleType = 1;
        return TrackRegistry::GetInstance().AddTrack(&tt, kTrackTranslate);
    }
    static TrackBase* Spin() {
        TrackRotateTemplate rt;
        rt.loop = 1;
        rt.endAngle = 90.0f;
        rt.timeLength = 1000.0f;
        rt.cycleType = 1;
        return TrackRegistry::GetInstance().AddTrack(&rt, kTrackRotate);
    }
};

TEST_F(SpaceObjectTrack, BoundTrackDrivesTheObject) {
    SpaceObject o;
    TrackBase* t = Line({0, 0, 0}, {10, 0, 0});
    EXPECT_FALSE(o.BindTrack(t, 0.0f, false, 0, 0.0f));
    ASSERT_TRUE(o.BindTrack(t, 0.0f, false, 7, 0.0f));
    EXPECT_EQ(o.GetTrack(), t);
    EXPECT_TRUE(t->InUse());
    EXPECT_TRUE(t->IsActive());
    for (int f = 0; f < 25; ++f) o.Update();
    EXPECT_NEAR(o.GetPosition()->x, 2.5f, 1e-4f);
    EXPECT_TRUE(o.IsTransformChanged());
    EXPECT_EQ(o.UnbindTrack(0.0f), t);
    EXPECT_FALSE(t->InUse());
    EXPECT_EQ(o.GetTrack(), nullptr);
}

TEST_F(SpaceObjectTrack, ATrackBoundElsewhereIsRefused) {
    SpaceObject a, b;
    TrackBase* t = Line({0, 0, 0}, {10, 0, 0});
    ASSERT_TRUE(a.BindTrack(t, 0.0f, false, 7, 0.0f));
    EXPECT_FALSE(b.BindTrack(t, 0.0f, false, 7, 0.0f));
    EXPECT_EQ(b.GetTrack(), nullptr);
    a.UnbindTrack(0.0f);
    EXPECT_TRUE(b.BindTrack(t, 0.0f, false, 7, 0.0f));
    b.UnbindTrack(0.0f);
}

TEST_F(SpaceObjectTrack, RemoveTrackWaitsForTheUnbind) {
    SpaceObject o;
    TrackBase* t = Line({0, 0, 0}, {10, 0, 0});
    ASSERT_TRUE(o.BindTrack(t, 0.0f, false, 7, 0.0f));
    TrackRegistry::GetInstance().RemoveTrack(t);
    EXPECT_TRUE(TrackRegistry::GetInstance().Contains(t));
    o.Update();  // still alive and playing
    o.UnbindTrack(0.0f);
    TrackRegistry::GetInstance().RemoveTrack(t);
    EXPECT_FALSE(TrackRegistry::GetInstance().Contains(t));
}

TEST_F(SpaceObjectTrack, BlendZeroReleasesTheOldTrackAtOnce) {
    SpaceObject o;
    TrackBase* first = Line({0, 0, 0}, {10, 0, 0});
    TrackBase* second = Line({0, 5, 0}, {0, 5, 0});
    ASSERT_TRUE(o.BindTrack(first, 0.0f, false, 7, 0.0f));
    o.Update();
    ASSERT_TRUE(o.BindTrack(second, 0.0f, false, 7, 0.0f));
    EXPECT_FALSE(first->InUse());
    EXPECT_EQ(o.GetFadingTrack(), nullptr);
    EXPECT_EQ(o.GetBoundTrack(), second);
    o.UnbindTrack(0.0f);
}

TEST_F(SpaceObjectTrack, BlendFadesOverItsFrameTime) {
    SpaceObject o;
    TrackBase* first = Line({0, 0, 0}, {10, 0, 0}, 100000.0f);  // 0.001 units a frame
    TrackBase* second = Line({0, 20, 0}, {0, 20, 0});           // still
    ASSERT_TRUE(o.BindTrack(first, 0.0f, false, 7, 0.0f));
    o.Update();
    ASSERT_TRUE(o.BindTrack(second, 500.0f, false, 7, 0.0f));
    EXPECT_EQ(o.GetFadingTrack(), first);
    EXPECT_TRUE(first->InUse());
    for (int f = 1; f <= 49; ++f) {
        o.Update();
        const float weight = (500.0f - 10.0f * f) / 500.0f;  // of the old track
        const float oldX = 0.001f * static_cast<float>(f + 1);
        EXPECT_NEAR(o.GetPosition()->x, oldX * weight, 1e-3f) << f;
        EXPECT_NEAR(o.GetPosition()->y, 20.0f * (1.0f - weight), 1e-3f) << f;
        ASSERT_EQ(o.GetFadingTrack(), first) << f;
    }
    o.Update();  // 500 ms: the fade is over and ends on the new track, even a still one
    EXPECT_EQ(o.GetFadingTrack(), nullptr);
    EXPECT_FALSE(first->InUse());
    EXPECT_FALSE(first->IsActive());
    EXPECT_NEAR(o.GetPosition()->y, 20.0f, 1e-4f);
    EXPECT_NEAR(o.GetPosition()->x, 0.0f, 1e-4f);
    o.UnbindTrack(0.0f);
}

TEST_F(SpaceObjectTrack, ClearLetsAFadingTrackGo) {
    TrackBase* first = Line({0, 0, 0}, {10, 0, 0});
    TrackBase* second = Line({0, 1, 0}, {0, 2, 0});
    {
        SpaceObject o;
        ASSERT_TRUE(o.BindTrack(first, 0.0f, false, 7, 0.0f));
        ASSERT_TRUE(o.BindTrack(second, 300.0f, false, 7, 0.0f));
    }
    EXPECT_FALSE(first->InUse());
    EXPECT_FALSE(second->InUse());
}

struct ModeCase {
    std::uint16_t mode;
    bool position, rotation, scale;
};

TEST_F(SpaceObjectTrack, BindModeTable) {
    const ModeCase cases[] = {{1, true, false, false}, {2, false, true, false}, {3, true, true, false},
                              {4, false, false, true}, {5, true, false, true},  {6, false, true, true},
                              {7, true, true, true}};
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.mode);
        SpaceObject o;
        const Vec3 start{1, 2, 3}, startScale{2, 2, 2};
        o.SetPosition(start);
        o.SetScale(startScale);
        TrackBase* t = Spin();
        const Vec3 p{4, 5, 6};
        const Vec3 s{3, 3, 3};
        Matrix turn;
        MatrixRotationAxis(turn, Vec3{0, 1, 0}, 0.3f);
        t->SetTransform(&p, &turn, &s);
        ASSERT_TRUE(o.BindTrack(t, 0.0f, false, c.mode, 0.0f));
        t->SetTransform(&p, &turn, &s);  // the start time re-evaluated it
        t->Stop();
        o.ApplyTrackChannels();
        const Vec3 wantP = c.position ? p : start, wantS = c.scale ? s : startScale;
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR((*o.GetPosition())[i], wantP[i], 1e-4f);
            EXPECT_NEAR((*o.GetScale())[i], wantS[i], 1e-4f);
        }
        EXPECT_NEAR(o.GetRotation()->m[0], c.rotation ? turn.m[0] : 1.0f, 1e-5f);
        o.UnbindTrack(0.0f);
    }
}

TEST_F(SpaceObjectTrack, ApplyContinuesFromWhereTheObjectStands) {
    SpaceObject o;
    o.SetPosition(Vec3{5, 1, 0});
    TrackBase* t = Line({0, 0, 0}, {10, 0, 0});
    ASSERT_TRUE(o.BindTrack(t, 0.0f, true, 7, 0.0f));
    EXPECT_NEAR(o.GetPosition()->x, 5.0f, 1e-5f);
    for (int f = 0; f < 20; ++f) o.Update();
    EXPECT_NEAR(o.GetPosition()->x, 7.0f, 1e-3f);
    EXPECT_NEAR(o.GetPosition()->y, 1.0f, 1e-4f);
    // Moving the object re-bases the track: it carries on from the new place.
    o.SetPosition(Vec3{0, 0, 0});
    o.Update();
    EXPECT_NEAR(o.GetPosition()->x, 0.1f, 1e-3f);
    o.UnbindTrack(0.0f);
}

TEST_F(SpaceObjectTrack, UnbindWithAFadeReturnsToTheObject) {
    SpaceObject o;
    TrackBase* t = Line({0, 0, 0}, {10, 0, 0});
    ASSERT_TRUE(o.BindTrack(t, 0.0f, false, 7, 0.0f));
    for (int f = 0; f < 10; ++f) o.Update();
    EXPECT_EQ(o.UnbindTrack(100.0f), t);
    EXPECT_EQ(o.GetFadingTrack(), t);
    for (int f = 0; f < 10; ++f) o.Update();
    EXPECT_EQ(o.GetFadingTrack(), nullptr);
    EXPECT_FALSE(t->InUse());
}



TEST_F(SpaceObjectTrack, ApplyFadeBlendsWholeTransforms) {
    SpaceObject o;
    TrackBase* first = Line({0, 0, 0}, {10, 0, 0});
    TrackBase* second = Line({0, 5, 0}, {0, 5, 0});
    ASSERT_TRUE(o.BindTrack(first, 0.0f, true, 7, 0.0f));
    for (int f = 0; f < 10; ++f) o.Update();
    const float x = o.GetPosition()->x;
    EXPECT_NEAR(x, 1.0f, 1e-3f);
    ASSERT_TRUE(o.BindTrack(second, 100.0f, true, 7, 0.0f));
    float last = x;
    for (int f = 1; f <= 10; ++f) {
        o.Update();
        const float now = o.GetPosition()->x;
        // From the old track (still moving on) toward the new one, which stays where the
        // object stood when it was bound.
        EXPECT_GE(now, x - 1e-4f) << f;
        EXPECT_LE(now, x + 0.1f * static_cast<float>(f)) << f;
        EXPECT_NEAR(o.GetPosition()->y, 0.0f, 1e-4f) << f;
        last = now;
    }
    EXPECT_EQ(o.GetFadingTrack(), nullptr);
    EXPECT_FALSE(first->InUse());
    o.Update();
    EXPECT_NEAR(o.GetPosition()->x, last, 1e-4f);
    o.UnbindTrack(0.0f);
}

}  // namespace
