#include "world/core/track/TrackRegistry.h"

#include <atomic>
#include <thread>
#include <vector>

#include "tests/world/core/track/TrackTestSupport.h"
#include "world/core/track/TrackKinds.h"
#include "world/core/track/TrackSampled.h"
#include "world/scene/World.h"

namespace {

using namespace quor;
using namespace quor::test;
using namespace quor::world;

class TrackRegistryTest : public TrackTest {};

TEST_F(TrackRegistryTest, FactoryByKind) {
    struct Kind {
        std::uint32_t code;
        bool (*is)(TrackBase*);
    };
    const Kind kinds[] = {
        {1, [](TrackBase* t) { return dynamic_cast<TrackTranslate*>(t) != nullptr; }},
        {2, [](TrackBase* t) { return dynamic_cast<TrackRotate*>(t) != nullptr; }},
        {3, [](TrackBase* t) { return dynamic_cast<TrackScale*>(t) != nullptr; }},
        {8, [](TrackBase* t) { return dynamic_cast<TrackLine*>(t) != nullptr; }},
        {9, [](TrackBase* t) { return dynamic_cast<TrackCircle*>(t) != nullptr; }},
        {16, [](TrackBase* t) { return dynamic_cast<TrackCurveBoxed*>(t) != nullptr; }},
        {256, [](TrackBase* t) { return dynamic_cast<TrackSampled*>(t) != nullptr; }},
    };
    for (const Kind& k : kinds) {
        TrackBase* t = TrackRegistry::CreateTrack(k.code);
        ASSERT_NE(t, nullptr) << k.code;
        EXPECT_TRUE(k.is(t)) << k.code;
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(t) % 16, 0u);
        delete t;
    }
    for (std::uint32_t code : {0u, 4u, 17u, 257u}) EXPECT_EQ(TrackRegistry::CreateTrack(code), nullptr) << code;
}

TEST_F(TrackRegistryTest, AddAndRemove) {
    TrackRegistry& r = TrackRegistry::GetInstance();
    TrackTemplate tt;
    tt.end = {1, 0, 0};
    tt.timeLength = 1000.0f;
    tt.cycleType = 1;
    TrackBase* a = r.AddTrack(&tt, kTrackTranslate);
    TrackBase* b = r.AddTrack(nullptr, kTrackRotate);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(r.AddTrack(nullptr, 77), nullptr);
    EXPECT_EQ(r.Count(), 2u);
    EXPECT_EQ(a->GetLength(), 1000.0f);
    // In use (chained) stays; a track not in the list stays.
    ASSERT_TRUE(a->LinkNext(b, false));
    r.RemoveTrack(b);
    EXPECT_TRUE(r.Contains(b));
    TrackBase* outside = TrackRegistry::CreateTrack(kTrackTranslate);
    r.RemoveTrack(outside);
    delete outside;
    r.RemoveTrack(nullptr);
    a->UnlinkNext(false);
    r.RemoveTrack(b);
    EXPECT_FALSE(r.Contains(b));
    // RemoveAll unchains before destroying.
    TrackBase* c = r.AddTrack(nullptr, kTrackScale);
    ASSERT_TRUE(a->LinkNext(c, false));
    r.RemoveAll();
    EXPECT_EQ(r.Count(), 0u);
}

TEST_F(TrackRegistryTest, SampledWithoutDataIsInert) {
    TrackSampledTemplate none;
    TrackBase* t = TrackRegistry::GetInstance().AddTrack(&none, kTrackSampled);
    ASSERT_NE(t, nullptr);
    EXPECT_FALSE(t->Start());
    EXPECT_FALSE(t->Advance());
    t->SetTime(100.0f);
    Matrix m;
    t->GetTransformMatrix(m, false);
    EXPECT_EQ(m, MatrixIdentity());
}

TEST_F(TrackRegistryTest, LoadTrackFileGates) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        bool loads;
        const char* message;
    };
    auto file = [](std::uint32_t version, std::uint16_t kind = 256) {
        TrackFileDesc d = MakeTrackFile(3, 2, version);
        d.kind = kind;
        return WriteTrackFile(d);
    };
    const Case cases[] = {
        {"0x10000", file(0x10000), true, ""},
        {"0x10001", file(0x10001), true, ""},
        {"0x10002 reaches the data", file(0x10002), false, "version too new!"},
        {"0x30011 reaches the data", file(0x30011), false, "version too new!"},
        {"0x30012 silently", file(0x30012), false, ""},
        {"0xFFFF silently", file(0xFFFF), false, ""},
        {"unknown kind", file(0x10001, 4), false, ""},
        {"short", {'Q', 'T', 'R', 'K', 1, 0}, false, "Bad format in track file"},
        {"magic", {'Q', 'T', 'R', 'X', 1, 0, 1, 0, 0, 1}, false, "Bad format in track file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AddFile("gate.trk", c.bytes);
        log.Clear();
        TrackBase* t = TrackRegistry::GetInstance().LoadTrackFile("gate.trk");
        EXPECT_EQ(t != nullptr, c.loads);
        if (t) {
            EXPECT_TRUE(TrackRegistry::GetInstance().Contains(t));
            TrackRegistry::GetInstance().RemoveTrack(t);
        }
        if (*c.message) {
            EXPECT_TRUE(log.Contains(c.message)) << log.Joined();
        } else if (!c.loads) {
            EXPECT_EQ(log.Joined(), "");
        }
    }
    EXPECT_EQ(TrackRegistry::GetInstance().LoadTrackFile("missing.trk"), nullptr);
    EXPECT_TRUE(log.Contains("Track file missing.trk is not found!"));
    EXPECT_EQ(TrackRegistry::GetInstance().Count(), 0u);
    EXPECT_EQ(TrackDataMgr::GetInstance().Count(), 0u);
}



TEST_F(TrackRegistryTest, WorldShutdownReleasesTracksAndTheirData) {
    AddFile("s.trk", WriteTrackFile(MakeTrackFile(3, 2)));
    ASSERT_NE(TrackRegistry::GetInstance().LoadTrackFile("s.trk"), nullptr);
    ASSERT_NE(TrackRegistry::GetInstance().AddTrack(nullptr, kTrackRotate), nullptr);
    ASSERT_NE(TrackDataMgr::GetInstance().CreateEmpty(), nullptr);
    World::Instance().Shutdown();
    EXPECT_EQ(TrackRegistry::GetInstance().Count(), 0u);
    EXPECT_EQ(TrackDataMgr::GetInstance().Count(), 0u);
}

TEST_F(TrackRegistryTest, ThreadsAddingLoadingAndRemovingLeaveAnEmptyList) {
    AddFile("t.trk", WriteTrackFile(MakeTrackFile(4, 3)));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &failures] {
            TrackRegistry& r = TrackRegistry::GetInstance();
            for (int i = 0; i < 40; ++i) {
                TrackBase* track = (i + t) % 2 ? r.LoadTrackFile("t.trk") : r.AddTrack(nullptr, kTrackRotate);
                if (!track) {
                    ++failures;
                    continue;
                }
                r.RemoveTrack(track);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(TrackRegistry::GetInstance().Count(), 0u);
    EXPECT_EQ(TrackDataMgr::GetInstance().Count(), 0u);
}

}  // namespace
