#include "world/core/track/TrackKinds.h"

#include <cmath>
#include <memory>

#include "tests/world/core/track/TrackTestSupport.h"
#include "world/core/Random.h"

namespace {

using namespace quor;
using namespace quor::test;
using namespace quor::world;

constexpr float kPi = 3.14159265358979f;

class TrackKinds : public TrackTest {
protected:
    template <typename T>
    static std::unique_ptr<T> Make() { return std::unique_ptr<T>(NewObject<T>()); }
    template <typename T>
    static std::unique_ptr<T> FromXml(const std::string& xml) {
        auto t = Make<T>();
        XmlNodePtr node = ParseElement(xml);
        EXPECT_TRUE(t->LoadXml(node.Get()));
        return t;
    }
};

struct ProfileCase {
    std::uint32_t type;
    std::uint8_t goAndReturn;
    float v;
};

TEST_F(TrackKinds, ProfileAgainstClosedForms) {
    const float s0 = 2.0f, s1 = 12.0f, ms = 1000.0f, d = 10.0f;
    const ProfileCase cases[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {2, 0, 2}, {2, 1, 2}, {3, 0, 0}, {3, 1, 0}};
    for (const ProfileCase& c : cases) {
        MotionProfile p;
        p.Setup(s0, s1, ms, c.v, c.type, c.goAndReturn);
        SCOPED_TRACE(testing::Message() << "type " << c.type << " go-and-return " << int(c.goAndReturn));
        EXPECT_EQ(p.duration, c.type == 0 ? 0.0f : (c.goAndReturn ? 2000.0f : 1000.0f));
        for (float t = 0.0f; t <= p.duration; t += 125.0f) {
            const float u = (c.goAndReturn && t > 1000.0f) ? 2000.0f - t : t;
            float want = s0;
            if (c.type == 1) want = s0 + d * u / 1000.0f;
            // a = 2 (d - T v) / T^2 = 16 units/s^2 from v = 2 units/s.
            if (c.type == 2) want = s0 + 0.002f * u + 16e-6f * u * u * 0.5f;
            if (c.type == 3) want = s0 + d * 0.5f * (1.0f - std::cos(kPi * u / 1000.0f));
            EXPECT_NEAR(p.Value(t), want, 1e-3f) << t;
        }
        if (c.type != 0) {
            EXPECT_NEAR(p.Value(1000.0f), s1, 1e-3f);
        }
    }
}

TEST_F(TrackKinds, DeceleratingProfileStopsAtTheEnd) {
    MotionProfile p;
    p.Setup(0.0f, 10.0f, 1000.0f, 40.0f, 2, 0);  // 40 units/s alone covers 10 units in 1 s
    EXPECT_NEAR(p.duration, 2.0f * 10.0f / 40.0f * 1000.0f, 1e-3f);
    EXPECT_NEAR(p.Value(p.duration), 10.0f, 1e-4f);
    EXPECT_NEAR(p.Rate(p.duration), 0.0f, 1e-6f);
}

TEST_F(TrackKinds, NoTimeForADistanceIsStill) {
    for (std::uint32_t type : {1u, 2u, 3u}) {
        MotionProfile p;
        p.Setup(0.0f, 10.0f, 0.0f, 0.0f, type, 1);
        EXPECT_EQ(p.cycleType, 0u);
        EXPECT_EQ(p.Value(500.0f), 0.0f);
        EXPECT_TRUE(std::isfinite(p.Rate(5.0f)));
    }
    auto line = FromXml<TrackLine>(R"(<T StartPos="0,0,0" EndPos="10,0,0" TimeLen="0"/>)");
    EXPECT_FALSE(line->Start());
    line->Evaluate();
    EXPECT_EQ(line->Position(), (Vec3{0, 0, 0}));
}

TEST_F(TrackKinds, LineWithEqualEndsNeverStarts) {
    auto line = FromXml<TrackLine>(R"(<T StartPos="3,4,5" EndPos="3,4,5" TimeLen="2"/>)");
    EXPECT_FALSE(line->Start());
    EXPECT_EQ(line->Direction(), (Vec3{0, 1, 0}));
    line->Evaluate();
    EXPECT_EQ(line->Position(), (Vec3{3, 4, 5}));
}

TEST_F(TrackKinds, LineGoesAndReturns) {
    auto line = FromXml<TrackLine>(R"(<T StartPos="0,0,0" EndPos="10,0,0" TimeLen="1" CycleType="1"/>)");
    EXPECT_EQ(line->GetLength(), 2000.0f);
    EXPECT_EQ(line->GoAndReturn(), 1);
    line->SetTime(1000.0f);
    EXPECT_NEAR(line->Position().x, 10.0f, 1e-3f);
    line->SetTime(1500.0f);
    EXPECT_NEAR(line->Position().x, 5.0f, 1e-3f);
    line->SetTime(1999.0f);
    EXPECT_NEAR(line->Position().x, 0.01f, 1e-3f);
    auto once = FromXml<TrackLine>(R"(<T StartPos="0,0,0" EndPos="10,0,0" TimeLen="1" CycleType="0"/>)");
    EXPECT_EQ(once->GetLength(), 1000.0f);
}

TEST_F(TrackKinds, ScaleCurvesAndAChannelWithoutKeys) {
    auto scale = FromXml<TrackScale>(R"(<T TimeLen="2" CycleType="0" Loop="1">
        <x><k Time="0" Value="1"/><k Time="1" Value="3"/></x>
        <y/>
        <z><k Time="0.5" Value="4"/></z>
    </T>)");
    EXPECT_TRUE(scale->IsLoop());
    EXPECT_EQ(scale->GetLength(), 2000.0f);
    scale->SetTime(1000.0f);
    EXPECT_NEAR(scale->Scale().x, 2.0f, 1e-4f);
    EXPECT_NEAR(scale->Scale().y, 1.0f, 1e-6f);
    EXPECT_NEAR(scale->Scale().z, 4.0f, 1e-4f);
    ASSERT_NE(scale->Curve(1), nullptr);
    EXPECT_EQ(scale->Curve(1)->KeyCount(), 1u);
}

TEST_F(TrackKinds, ScaleOfLengthZeroSamplesTheStart) {
    auto scale = FromXml<TrackScale>(R"(<T TimeLen="0"><x><k Time="0" Value="2"/></x></T>)");
    EXPECT_FALSE(scale->Start());
    scale->Evaluate();
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(std::isfinite(scale->Scale()[i]));
}

TEST_F(TrackKinds, ZeroForwardIsReplacedWithAMessage) {
    auto rotate = FromXml<TrackRotate>(R"(<T Forward="0,0,0"/>)");
    EXPECT_TRUE(log.Contains("track.forward(0, 0, 0) having been rejust to (0, 1, 0), which would occur wrong artifact, check it!"));
    EXPECT_EQ(rotate->Forward(), (Vec3{0, 1, 0}));
    EXPECT_FALSE(rotate->Start());
    rotate->Evaluate();
    EXPECT_NEAR(rotate->Rotation().Row(2).y, 1.0f, 1e-6f);  // faces the replaced forward
}

TEST_F(TrackKinds, RotateTurnsAboutItsAxis) {
    auto rotate = FromXml<TrackRotate>(R"(<T TimeLen="1" AxesDir="0,2,0" StartAngle="0" EndAngle="90"/>)");
    EXPECT_EQ(rotate->Axis(), (Vec3{0, 1, 0}));
    rotate->SetTime(1000.0f);
    Matrix want;
    MatrixRotationAxis(want, Vec3{0, 1, 0}, kPi / 2);
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(rotate->Rotation().m[i], want.m[i], 1e-4f);
}

TEST_F(TrackKinds, CircleKeepsItsRadius) {
    auto circle = FromXml<TrackCircle>(R"(<T Radius="5" TimeLen="1" AxesDir="0,1,0"/>)");
    ASSERT_NE(circle->Next(), nullptr);
    EXPECT_TRUE(circle->NextIsSibling());
    ASSERT_TRUE(circle->Start());
    for (int f = 0; f < 120; ++f) {
        circle->Advance();
        const Vec3& p = circle->Position();
        EXPECT_NEAR(Vec3Length(p), 5.0f, 1e-3f) << f;
        EXPECT_NEAR(p.y, 0.0f, 1e-4f) << f;
    }
}

TEST_F(TrackKinds, FlightStaysInItsBox) {
    SeedRand(1);
    auto fly = Make<TrackCurveBoxed>();
    fly->Setup(Vec3{2.0f, 0.0f, 3.0f}, 4.0f);
    EXPECT_TRUE(fly->InitFrom(nullptr));
    EXPECT_FALSE(fly->IsLoop());
    ASSERT_TRUE(fly->Start());
    float travelled = 0.0f;
    Vec3 last = fly->Position();
    for (int f = 0; f < 10000; ++f) {
        fly->Advance();
        const Vec3& p = fly->Position();
        ASSERT_TRUE(p.x >= -2.0001f && p.x <= 2.0001f && p.z >= -3.0001f && p.z <= 3.0001f) << f;
        ASSERT_EQ(p.y, 0.0f) << f;
        travelled += Vec3Distance(p, last);
        last = p;
    }
    // 100 s at 4 units a second, along chords of the curve.
    EXPECT_NEAR(travelled, 400.0f, 4.0f);
}

TEST_F(TrackKinds, FlightWithoutSpeedOrRoomStaysPut) {
    struct Case {
        Vec3 box;
        float velocity;
    };
    for (const Case& c : {Case{{2, 2, 2}, 0.0f}, Case{{2, 2, 2}, -3.0f}, Case{{0, 0, 0}, 5.0f}}) {
        SeedRand(1);
        auto fly = Make<TrackCurveBoxed>();
        fly->Setup(c.box, c.velocity);
        ASSERT_TRUE(fly->Start());
        fly->Advance();
        const Vec3 first = fly->Position();
        for (int f = 0; f < 100; ++f) fly->Advance();
        EXPECT_EQ(fly->Position(), first);
        float factor = 1.0f;
        fly->GetVelocity(&factor, nullptr);
        EXPECT_EQ(factor, 0.0f);
    }
}

}  // namespace
