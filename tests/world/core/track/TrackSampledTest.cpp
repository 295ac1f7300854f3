#include "world/core/track/TrackSampled.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

#include "tests/world/core/track/TrackTestSupport.h"
#include "world/core/track/TrackData.h"
#include "world/core/track/TrackTemplates.h"
#include "world/core/track/TransformKey.h"

namespace {

using namespace quor;
using namespace quor::test;
using namespace quor::world;

class TrackSampledTest : public TrackTest {
protected:
    std::unique_ptr<TrackSampled> Load(const std::string& name, const TrackFileDesc& desc) {
        AddFile(name, WriteTrackFile(desc));
        auto t = std::unique_ptr<TrackSampled>(NewObject<TrackSampled>());
        EXPECT_TRUE(t->LoadFile(name.c_str()));
        return t;
    }
    static std::vector<TrackBase*> Chain(TrackBase* head) {
        std::vector<TrackBase*> out;
        for (TrackBase* t = head; t; t = t->NextIsSibling() ? t->Next() : nullptr) out.push_back(t);
        return out;
    }
};

TEST_F(TrackSampledTest, ThreeChannelsFollowTheFirstClock) {
    auto t = Load("three.trk", MakeTrackFile(5, 3));
    const std::vector<TrackBase*> chain = Chain(t.get());
    ASSERT_EQ(chain.size(), 3u);
    EXPECT_TRUE(t->OwnsData());
    for (std::size_t i = 1; i < chain.size(); ++i) {
        auto* s = static_cast<TrackSampled*>(chain[i]);
        EXPECT_EQ(s->Channel(), i);
        EXPECT_FALSE(s->OwnsData());
        EXPECT_TRUE(s->InUse());
    }
    EXPECT_EQ(t->GetLength(), 400.0f);
    ASSERT_TRUE(t->Start());
    for (TrackBase* s : chain) EXPECT_TRUE(s->IsActive());
    t->SetSpeed(2.0f);
    for (TrackBase* s : chain) EXPECT_EQ(s->GetSpeed(), 2.0f);
    t->SetTime(150.0f);
    for (TrackBase* s : chain) EXPECT_EQ(s->GetTime(), 150.0f);
    t->Advance();
    for (TrackBase* s : chain) EXPECT_EQ(s->GetTime(), 170.0f);
    t->Stop();
    for (TrackBase* s : chain) EXPECT_FALSE(s->IsActive());
    EXPECT_STREQ(t->GetSourceName(), "three.trk");
}

TEST_F(TrackSampledTest, SamplesBetweenKeysAndStaysOnTheLast) {
    TrackFileDesc desc = MakeTrackFile(3, 1);
    desc.body.flags[0] = 0;  // no loop
    auto t = Load("one.trk", desc);
    const std::vector<float>& p = desc.body.channels[0].positions;
    t->SetTime(50.0f);
    EXPECT_NEAR(t->Position().x, (p[0] + p[3]) / 2, 1e-4f);
    EXPECT_NEAR(t->Position().y, (p[1] + p[4]) / 2, 1e-4f);
    t->SetTime(200.0f);
    EXPECT_NEAR(t->Position().x, p[6], 1e-5f);
    t->Start();
    for (int f = 0; f < 30; ++f) t->Advance();  // runs past the end and stops there
    EXPECT_TRUE(t->IsFinished());
    EXPECT_NEAR(t->Position().x, p[6], 1e-5f);
    EXPECT_NEAR(t->Position().z, p[8], 1e-5f);
}

TEST_F(TrackSampledTest, GoAndReturnPlaysBackward) {
    TrackFileDesc desc = MakeTrackFile(3, 1);
    desc.body.flags[1] = 1;
    auto t = Load("gar.trk", desc);
    EXPECT_EQ(t->GetLength(), 400.0f);
    for (float time : {30.0f, 120.0f, 190.0f}) {
        t->SetTime(time);
        const Vec3 forward = t->Position();
        t->SetTime(400.0f - time);
        EXPECT_NEAR(t->Position().x, forward.x, 1e-4f) << time;
        EXPECT_NEAR(t->Position().y, forward.y, 1e-4f) << time;
    }
}

TEST_F(TrackSampledTest, EulerKeysInterpolateTheAngles) {
    TrackFileDesc desc = MakeTrackFile(2, 0);
    TrackChannelDesc c = MakeTrackChannel(2, false, true, false, 4, 0);
    c.rotations = {0.2f, -0.4f, 1.0f, 0.6f, 0.4f, 2.0f};
    desc.body.channels.push_back(c);
    auto t = Load("euler.trk", desc);
    t->SetTime(25.0f);
    Matrix want;
    EulerToMatrix(0.3f, -0.2f, 1.25f, want, 4);
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(t->Rotation().m[i], want.m[i], 1e-4f);
}

TEST_F(TrackSampledTest, QuaternionKeysTakeTheShorterArc) {
    TrackFileDesc desc = MakeTrackFile(2, 0);
    TrackChannelDesc c = MakeTrackChannel(2, false, true, false, 0, 0);
    // 0 and 90 degrees about y, the second written negated (the same rotation, far side).
    const float h = std::sqrt(0.5f);
    c.rotations = {0, 0, 0, 1, 0, -h, 0, -h};
    desc.body.channels.push_back(c);
    auto t = Load("quat.trk", desc);
    t->SetTime(50.0f);
    Matrix want;
    MatrixRotationAxis(want, Vec3{0, 1, 0}, 3.14159265f / 4);
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(t->Rotation().m[i], want.m[i], 1e-4f);
}

TEST_F(TrackSampledTest, EqualKeysGiveThatPosition) {
    TrackFileDesc desc = MakeTrackFile(2, 0);
    TrackChannelDesc c = MakeTrackChannel(2, true, false, false, 0, 0);
    c.positions = {1, 2, 3, 1.00001f, 2, 3};
    desc.body.channels.push_back(c);
    auto t = Load("same.trk", desc);
    t->SetTime(50.0f);
    EXPECT_EQ(t->Position(), (Vec3{1, 2, 3}));
}

TEST_F(TrackSampledTest, InitFromWithoutScales) {
    const float times[] = {0, 100, 300};
    const float positions[] = {0, 0, 0, 3, 0, 0, 3, 6, 0};
    TrackSampledTemplate tt;
    tt.loop = 1;
    tt.keyTimes = times;
    tt.positions = positions;
    tt.keyCount = 3;
    tt.hasPositionKeys = 1;
    tt.hasScaleKeys = 1;  // no array: cleared
    auto t = std::unique_ptr<TrackSampled>(NewObject<TrackSampled>());
    ASSERT_TRUE(t->InitFrom(&tt));
    ASSERT_NE(t->Data(), nullptr);
    EXPECT_EQ(t->Data()->channels[0].hasScaleKeys, 0);
    EXPECT_EQ(t->GetLength(), 300.0f);
    for (float time = 0; time <= 300; time += 37) {
        t->SetTime(time);
        EXPECT_EQ(t->Scale(), (Vec3{1, 1, 1})) << time;
    }
    t->SetTime(200.0f);
    EXPECT_NEAR(t->Position().y, 3.0f, 1e-5f);
    TrackSampledTemplate empty;
    auto u = std::unique_ptr<TrackSampled>(NewObject<TrackSampled>());
    EXPECT_FALSE(u->InitFrom(&empty));
}

TEST_F(TrackSampledTest, RandomKeysAgainstPlainInterpolation) {
    std::mt19937 rng(21);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    for (int round = 0; round < 10; ++round) {
        const std::uint16_t n = static_cast<std::uint16_t>(2 + round * 7);
        TrackFileDesc desc = MakeTrackFile(n, 0);
        float time = 0.0f;
        for (std::uint16_t k = 0; k < n; ++k) {
            desc.body.times[k] = time;
            time += 5.0f + 50.0f * u(rng);
        }
        TrackChannelDesc c = MakeTrackChannel(n, true, false, false, 0, 0);
        for (float& v : c.positions) v = 20.0f * u(rng) - 10.0f;
        desc.body.channels.push_back(c);
        auto t = Load("random.trk", desc);
        const std::vector<float>& times = desc.body.times;
        for (int q = 0; q < 50; ++q) {
            const float at = times.back() * u(rng);
            // The oracle: binary search and lerp.
            const auto hi = std::upper_bound(times.begin(), times.end(), at);
            const std::size_t i = static_cast<std::size_t>(hi - times.begin()) - 1;
            const float f = i + 1 < times.size() ? (at - times[i]) / (times[i + 1] - times[i]) : 0.0f;
            const std::size_t j = std::min(i + 1, times.size() - 1);
            t->SetTime(at);
            for (int a = 0; a < 3; ++a) {
                const float want = c.positions[i * 3 + a] + (c.positions[j * 3 + a] - c.positions[i * 3 + a]) * f;
                EXPECT_NEAR(t->Position()[a], want, 1e-3f) << "round " << round << " at " << at;
            }
        }
        TrackDataMgr::GetInstance().Clear();
        t.reset();
    }
}

TEST_F(TrackSampledTest, AttachRefusesChannelsItDoesNotHave) {
    AddFile("two.trk", WriteTrackFile(MakeTrackFile(3, 2)));
    TrackData* data = TrackDataMgr::GetInstance().Load("two.trk");
    ASSERT_NE(data, nullptr);
    auto t = std::unique_ptr<TrackSampled>(NewObject<TrackSampled>());
    EXPECT_FALSE(t->AttachData(data, 2));
    EXPECT_FALSE(t->AttachData(nullptr, 0));
    EXPECT_TRUE(t->AttachData(data, 1));
    EXPECT_EQ(t->Next(), nullptr);  // channel 1 is the last
    EXPECT_FALSE(t->OwnsData());
    EXPECT_FALSE(t->TestFlag800());
    data->channelFlags = 0x800;
    EXPECT_TRUE(t->TestFlag800());
    EXPECT_EQ(t->FindKey(150.0f), 1);
    t.reset();
    EXPECT_EQ(data->RefCount(), 1);
    TrackDataMgr::GetInstance().Release(data);
    // Data without channels cannot be played.
    TrackFileDesc none = MakeTrackFile(3, 0);
    AddFile("none.trk", WriteTrackFile(none));
    auto u = std::unique_ptr<TrackSampled>(NewObject<TrackSampled>());
    EXPECT_FALSE(u->LoadFile("none.trk"));
    EXPECT_EQ(TrackDataMgr::GetInstance().Count(), 0u);
}

TEST_F(TrackSampledTest, LoadXmlPlaysChannelZeroOnItsBase) {
    AddFile("x.trk", WriteTrackFile(MakeTrackFile(3, 2)));
    auto t = std::unique_ptr<TrackSampled>(NewObject<TrackSampled>());
    XmlNodePtr node = ParseElement(R"(<T TrackSampledName="x.trk" trkTranslation="0,0,5" trkScale="2,2,2"/>)");
    ASSERT_TRUE(t->LoadXml(node.Get()));
    EXPECT_EQ(t->Next(), nullptr);
    EXPECT_EQ((*t->GetBaseMatrix())(3, 2), 5.0f);
    EXPECT_EQ((*t->GetBaseMatrix())(0, 0), 2.0f);
    auto e = std::unique_ptr<TrackSampled>(NewObject<TrackSampled>());
    XmlNodePtr bad = ParseElement(R"(<T/>)");
    EXPECT_FALSE(e->LoadXml(bad.Get()));
    EXPECT_TRUE(log.Contains("TrackSampled created failed, TrackSampledName, key element created from xmlDoc, is empty"));
}

TEST_F(TrackSampledTest, SixtyFiveThousandChannelsPlayAndDie) {
    TrackFileDesc desc = MakeTrackFile(2, 0);
    desc.body.channels.assign(65535, MakeTrackChannel(2, false, false, false, 0, 0));
    desc.body.channelFlags = 0x1000;
    auto t = Load("many.trk", desc);
    EXPECT_EQ(Chain(t.get()).size(), 65535u);
    ASSERT_TRUE(t->Start());
    for (int f = 0; f < 3; ++f) EXPECT_TRUE(t->Advance());
    t.reset();
    EXPECT_EQ(TrackDataMgr::GetInstance().Count(), 0u);
}



TEST_F(TrackSampledTest, ChannelFromXmlAndSetKey) {
    TrackChannel c;
    c.keyCount = 2;
    XmlNodePtr node = ParseElement(R"(<C HasPositionKeys="1" HasRotationKeys="0" EulerFlags="2" Euler="0.1,0.2,0.3" Scale="2,3,4">
        <K Position="1,2,3"/><K Position="4,5,6"/></C>)");
    ASSERT_TRUE(c.LoadXml(node.Get()));
    EXPECT_EQ(c.eulerRotation, 2);
    EXPECT_EQ(c.positions, (std::vector<float>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(c.rotations, (std::vector<float>{0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(c.scales, (std::vector<float>{2, 3, 4}));
    TransformKey key;
    c.Sample(0, 0.5f, key);
    EXPECT_EQ(key.position, (Vec3{2.5f, 3.5f, 4.5f}));
    EXPECT_EQ(key.eulerOrder, 2u);
    const Vec3 p{9, 9, 9};
    c.SetKey(1, &p, nullptr, nullptr);
    c.SetKey(2, &p, nullptr, nullptr);  // beyond the keys: nothing
    EXPECT_EQ(c.positions, (std::vector<float>{1, 2, 3, 9, 9, 9}));
    // Sampling past the last key stays on it.
    c.Sample(1, 0.7f, key);
    EXPECT_EQ(key.position, (Vec3{9, 9, 9}));
    c.Sample(7, 0.7f, key);
    EXPECT_EQ(key.position, (Vec3{9, 9, 9}));
    TrackChannel bad;
    XmlNodePtr badNode = ParseElement(R"(<C EulerFlags="7"/>)");
    EXPECT_FALSE(bad.LoadXml(badNode.Get()));
    TrackChannel plain;
    XmlNodePtr plainNode = ParseElement(R"(<C/>)");
    ASSERT_TRUE(plain.LoadXml(plainNode.Get()));
    EXPECT_EQ(plain.rotations, (std::vector<float>{0, 0, 0, 1}));
    EXPECT_EQ(plain.scales, (std::vector<float>{1, 1, 1}));
}

TEST_F(TrackSampledTest, ReverseReachesEverySibling) {
    auto t = Load("rev.trk", MakeTrackFile(4, 3));
    t->SetReverse(true);
    for (TrackBase* s : Chain(t.get())) EXPECT_TRUE(s->IsReverse());
    t->SetLoop(false);
    for (TrackBase* s : Chain(t.get())) EXPECT_FALSE(s->IsLoop());
    t->SetRange(100.0f, 250.0f);
    for (TrackBase* s : Chain(t.get())) {
        float a, b;
        s->GetRange(a, b);
        EXPECT_EQ(a, 100.0f);
        EXPECT_EQ(b, 250.0f);
    }
}

TEST_F(TrackSampledTest, OrdinaryNextsHangBehindTheSiblings) {
    auto t = Load("next.trk", MakeTrackFile(4, 3));
    auto other = Load("other.trk", MakeTrackFile(4, 1));
    EXPECT_EQ(t->GetNext(false), nullptr);  // siblings are not handed out
    ASSERT_TRUE(t->LinkNext(other.get(), false));
    EXPECT_EQ(Chain(t.get()).size(), 3u);
    EXPECT_EQ(t->GetNext(false), other.get());
    EXPECT_EQ(t->GetNext(true), other.get());
    EXPECT_EQ(t->UnlinkNext(true), other.get());
    EXPECT_FALSE(other->InUse());
    ASSERT_TRUE(t->LinkNext(other.get(), false));
    t.reset();  // the siblings die, the ordinary next is only let go
    EXPECT_FALSE(other->InUse());
}

TEST_F(TrackSampledTest, YawAccumulatesPerPass) {
    // One channel turning 90 degrees about y per pass; flags 0x0002 keep only that angle.
    TrackFileDesc desc = MakeTrackFile(2, 0);
    TrackChannelDesc c = MakeTrackChannel(2, false, true, false, 0, 0);
    const float h = std::sqrt(0.5f);
    c.rotations = {0, 0, 0, 1, 0, h, 0, h};
    desc.body.channels.push_back(c);
    desc.body.channelFlags = 0x0002;
    desc.body.times = {0.0f, 1000.0f};
    auto t = Load("yaw.trk", desc);
    ASSERT_TRUE(t->Start());
    for (int f = 0; f < 250; ++f) t->Advance();  // two and a half passes
    Matrix want;
    MatrixRotationAxis(want, Vec3{0, 1, 0}, 3.14159265f * (2.0f * 0.5f + 0.25f));
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(t->Rotation().m[i], want.m[i], 1e-3f) << i;
}

}  // namespace
