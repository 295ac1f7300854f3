#include "world/core/track/TrackData.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <thread>
#include <unordered_map>

#include "platform/host/XmlNode.h"
#include "tests/world/core/track/TrackTestSupport.h"
#include "world/core/NameHash64.h"

namespace {

using namespace quor;
using namespace quor::test;

class TrackDataFile : public TrackTest {};

struct ReaderCase {
    const char* what;
    std::function<void(TrackFileDesc&)> edit;
    bool loads;
    const char* message;  // "%s" stands for the full path; empty: no error line
};

TEST_F(TrackDataFile, ReaderTable) {
    const ReaderCase cases[] = {
        {"version 0x10001", [](TrackFileDesc&) {}, true, ""},
        {"version 0x10000", [](TrackFileDesc& f) { f.version = 0x10000; }, true, ""},
        {"version 0xFFFF", [](TrackFileDesc& f) { f.version = 0xFFFF; }, false, "Track file %s version too old!"},
        {"version 0x10002", [](TrackFileDesc& f) { f.version = 0x10002; }, false, "Track file %s version too new!"},
        {"version 0x30011", [](TrackFileDesc& f) { f.version = 0x30011; }, false, "Track file %s version too new!"},
        {"wrong magic", [](TrackFileDesc& f) { f.magic = 0x4B525452; }, false, "Bad format in track file %s!"},
        {"kind 257", [](TrackFileDesc& f) { f.kind = 257; }, false, "Bad format in track file %s!"},
        {"no keys", [](TrackFileDesc& f) { f.body.times.clear(); }, false, "Bad format in track file %s!"},
        {"key time not a number",
         [](TrackFileDesc& f) { f.body.times[1] = std::nanf(""); }, false, "Bad format in track file %s!"},
        {"key time infinite",
         [](TrackFileDesc& f) { f.body.times[2] = INFINITY; }, false, "Bad format in track file %s!"},
        {"Euler order 7",
         [](TrackFileDesc& f) {
             f.body.channels[0] = MakeTrackChannel(3, true, true, true, 7, 0);
         },
         false, "Bad format in track file %s!"},
        {"Euler order 6",
         [](TrackFileDesc& f) { f.body.channels[0] = MakeTrackChannel(3, true, true, true, 6, 0); }, true, ""},
        {"single channel", [](TrackFileDesc& f) { f.body.channels.pop_back(); }, true, ""},
    };
    for (const ReaderCase& c : cases) {
        SCOPED_TRACE(c.what);
        TrackFileDesc desc = MakeTrackFile(3, 2);
        c.edit(desc);
        AddFile("case.trk", WriteTrackFile(desc));
        log.Clear();
        TrackData data;
        const std::string path = FullPath("case.trk");
        EXPECT_EQ(data.LoadFile(path.c_str()), c.loads);
        if (c.loads) {
            EXPECT_EQ(data.channels.size(), desc.body.channels.size());
            EXPECT_EQ(data.GetKeyCount(), 3);
            EXPECT_STREQ(data.Name().c_str(), path.c_str());
        } else {
            char line[600];
            std::snprintf(line, sizeof line, c.message, path.c_str());
            EXPECT_TRUE(log.Contains(line)) << log.Joined();
            EXPECT_TRUE(data.channels.empty());
            EXPECT_EQ(data.GetKeyCount(), 0);
        }
    }
}

TEST_F(TrackDataFile, MissingFileWarns) {
    TrackData data;
    EXPECT_FALSE(data.LoadFile("nothing.trk"));
    EXPECT_TRUE(log.Contains("Track file nothing.trk is not found!"));
}

TEST_F(TrackDataFile, ChannelFlagsOfTheFirstVersion) {
    const std::pair<std::uint32_t, std::uint16_t> cases[][2] = {
        {{0x10000, 5}, {0, 0xB007}}, {{0x10000, 0}, {0, 0}}, {{0x10001, 5}, {0, 5}}};
    for (const auto& c : cases) {
        TrackFileDesc desc = MakeTrackFile(2, 1, c[0].first);
        desc.body.channelFlags = c[0].second;
        AddFile("flags.trk", WriteTrackFile(desc));
        TrackData data;
        ASSERT_TRUE(data.LoadFile("flags.trk"));
        EXPECT_EQ(data.channelFlags, c[1].second) << std::hex << c[0].first << " " << c[0].second;
    }
}

TEST_F(TrackDataFile, SingleValueAndEulerChannels) {
    TrackFileDesc desc = MakeTrackFile(4, 0);
    desc.body.channels.push_back(MakeTrackChannel(4, false, false, false, 0, 1));
    desc.body.channels.push_back(MakeTrackChannel(4, true, true, false, 3, 2));
    AddFile("mixed.trk", WriteTrackFile(desc));
    TrackData data;
    ASSERT_TRUE(data.LoadFile("mixed.trk"));
    ASSERT_EQ(data.channels.size(), 2u);
    const TrackChannel& single = data.channels[0];
    EXPECT_EQ(single.positions.size(), 3u);
    EXPECT_EQ(single.rotations.size(), 4u);
    EXPECT_EQ(single.scales.size(), 3u);
    const TrackChannel& euler = data.channels[1];
    EXPECT_EQ(euler.eulerRotation, 3);
    EXPECT_EQ(euler.positions.size(), 12u);
    EXPECT_EQ(euler.rotations.size(), 12u);
    EXPECT_EQ(euler.scales.size(), 3u);
    EXPECT_EQ(euler.rotations, desc.body.channels[1].rotations);
}

TEST_F(TrackDataFile, EveryTruncatedPrefixFailsCleanly) {
    TrackFileDesc desc = MakeTrackFile(3, 2);
    desc.body.channels.push_back(MakeTrackChannel(3, false, true, false, 2, 5));
    const std::vector<std::uint8_t> whole = WriteTrackFile(desc);
    for (std::size_t n = 0; n < whole.size(); ++n) {
        AddFile("cut.trk", std::vector<std::uint8_t>(whole.begin(), whole.begin() + n));
        TrackData data;
        EXPECT_FALSE(data.LoadFile("cut.trk")) << n;
        EXPECT_TRUE(data.channels.empty()) << n;
    }
    AddFile("cut.trk", whole);
    TrackData data;
    EXPECT_TRUE(data.LoadFile("cut.trk"));
}

TEST_F(TrackDataFile, OverrunningCountsAreRefused) {
    for (int field = 0; field < 2; ++field) {
        std::vector<std::uint8_t> bytes = WriteTrackFile(MakeTrackFile(3, 1));
        // Key count at 48, channel count after the key times.
        const std::size_t at = field == 0 ? 48 : 50 + 3 * 4;
        bytes[at] = 0xFF;
        bytes[at + 1] = 0xFF;
        AddFile("over.trk", bytes);
        TrackData data;
        EXPECT_FALSE(data.LoadFile("over.trk")) << field;
        EXPECT_TRUE(log.Contains("Bad format in track file"));
    }
}

TEST_F(TrackDataFile, CopyIsDeep) {
    AddFile("copy.trk", WriteTrackFile(MakeTrackFile(3, 2)));
    TrackData data;
    ASSERT_TRUE(data.LoadFile("copy.trk"));
    TrackData copy(data);
    data.channels[1].positions[0] = 1234.0f;
    EXPECT_NE(copy.channels[1].positions[0], 1234.0f);
    EXPECT_EQ(copy.GetKeyCount(), 3);
    EXPECT_NE(copy.keyTimes.Times(), data.keyTimes.Times());
    EXPECT_EQ(copy.version, data.version);
    EXPECT_EQ(0, std::memcmp(copy.name, data.name, TrackData::kNameSize));
}

class TrackDataCache : public TrackTest {};

TEST_F(TrackDataCache, OneFileTwiceIsOneEntry) {
    AddFile("a.trk", WriteTrackFile(MakeTrackFile(3, 1)));
    TrackDataMgr& mgr = TrackDataMgr::GetInstance();
    TrackData* first = mgr.Load("a.trk");
    ASSERT_NE(first, nullptr);
    TrackData* second = mgr.Load("A.TRK");
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->RefCount(), 2);
    EXPECT_EQ(mgr.Count(), 1u);
    mgr.Release(first);
    EXPECT_EQ(mgr.Count(), 1u);
    mgr.Release(second);
    EXPECT_EQ(mgr.Count(), 0u);
}

TEST_F(TrackDataCache, FailuresAreNotCached) {
    TrackFileDesc bad = MakeTrackFile(3, 1);
    bad.version = 0xFFFF;
    AddFile("old.trk", WriteTrackFile(bad));
    EXPECT_EQ(TrackDataMgr::GetInstance().Load("old.trk"), nullptr);
    EXPECT_EQ(TrackDataMgr::GetInstance().Load("none.trk"), nullptr);
    EXPECT_EQ(TrackDataMgr::GetInstance().Count(), 0u);
}

TEST_F(TrackDataCache, EmptyTracksAreNumbered) {
    TrackDataMgr& mgr = TrackDataMgr::GetInstance();
    TrackData* a = mgr.CreateEmpty();
    TrackData* b = mgr.CreateEmpty();
    ASSERT_TRUE(a && b);
    const std::string an = a->Name().c_str(), bn = b->Name().c_str();
    ASSERT_EQ(an.rfind("<empty_track_", 0), 0u);
    ASSERT_EQ(an.size(), std::string("<empty_track_000000>").size());
    EXPECT_EQ(std::stoi(bn.substr(13, 6)), std::stoi(an.substr(13, 6)) + 1);
    EXPECT_EQ(a->RefCount(), 1);
    mgr.Release(a);
    mgr.Release(b);
    EXPECT_EQ(mgr.Count(), 0u);
}

TEST_F(TrackDataCache, ReleaseAfterClearIsIgnored) {
    AddFile("a.trk", WriteTrackFile(MakeTrackFile(3, 1)));
    TrackDataMgr& mgr = TrackDataMgr::GetInstance();
    TrackData* data = mgr.Load("a.trk");
    ASSERT_NE(data, nullptr);
    mgr.Clear();
    mgr.Release(data);  // gone already: must not be touched again
    mgr.Release(nullptr);
    EXPECT_EQ(mgr.Count(), 0u);
    // Nor while the cache holds others.
    TrackData* other = mgr.CreateEmpty();
    ASSERT_NE(other, nullptr);
    // Only where the new object did not take the old address (see the mesh cache's test).
    if (other != data) {
        mgr.Release(data);
        EXPECT_EQ(mgr.Count(), 1u);
    }
    mgr.Release(other);
    EXPECT_EQ(mgr.Count(), 0u);
}

TEST_F(TrackDataCache, MemoryReport) {
    AddFile("a.trk", WriteTrackFile(MakeTrackFile(3, 1)));
    TrackData* data = TrackDataMgr::GetInstance().Load("a.trk");
    ASSERT_NE(data, nullptr);
    host::XmlNode* doc = host::XmlNode::NewDocument();
    TrackDataMgr::GetInstance().WriteMemoryReport(doc);
    const std::string text = doc->ToString();
    doc->Release();
    EXPECT_NE(text.find("<TrackDataMgr>"), std::string::npos) << text;
    EXPECT_NE(text.find("<TrackData name=\""), std::string::npos) << text;
    EXPECT_NE(text.find("mem_size=\"" + std::to_string(data->fileSize) + "\""), std::string::npos) << text;
    EXPECT_NE(text.find("ref_count=\"1\""), std::string::npos) << text;
    EXPECT_NE(text.find("version=\"65537\""), std::string::npos) << text;
}

TEST_F(TrackDataCache, ThreadsLoadingAndReleasingLeaveAnEmptyCache) {
    for (int f = 0; f < 3; ++f) AddFile("t" + std::to_string(f) + ".trk", WriteTrackFile(MakeTrackFile(4, 2)));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 50; ++i) {
                const std::string name = "t" + std::to_string((t + i) % 3) + ".trk";
                TrackData* data = TrackDataMgr::GetInstance().Load(name.c_str());
                if (!data || data->GetKeyCount() != 4) ++failures;
                TrackDataMgr::GetInstance().Release(data);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(TrackDataMgr::GetInstance().Count(), 0u);
}

TEST_F(TrackDataCache, ThreadsFirstLoadingOneFileKeepOneEntry) {
    AddFile("one.trk", WriteTrackFile(MakeTrackFile(64, 8)));
    for (int round = 0; round < 20; ++round) {
        TrackData* got[2] = {};
        std::thread a([&] { got[0] = TrackDataMgr::GetInstance().Load("one.trk"); });
        std::thread b([&] { got[1] = TrackDataMgr::GetInstance().Load("one.trk"); });
        a.join();
        b.join();
        ASSERT_TRUE(got[0] && got[1]);
        EXPECT_EQ(got[0], got[1]);
        EXPECT_EQ(got[0]->RefCount(), 2);
        EXPECT_EQ(TrackDataMgr::GetInstance().Count(), 1u);
        TrackDataMgr::GetInstance().Release(got[0]);
        TrackDataMgr::GetInstance().Release(got[1]);
        EXPECT_EQ(TrackDataMgr::GetInstance().Count(), 0u);
    }
}



TEST_F(TrackDataCache, PathsSharingTheKeyBitsKeepTheirOwnData) {
    // Two file names whose full paths share the low 32 bits of their hash (found by search).
    std::unordered_map<std::uint32_t, std::string> seen;
    std::string first, second;
    for (int i = 0; i < 2000000 && first.empty(); ++i) {
        const std::string name = "c" + std::to_string(i) + ".trk";
        const auto key = static_cast<std::uint32_t>(NameHash64(FullPath(name).c_str()));
        auto [it, fresh] = seen.emplace(key, name);
        if (!fresh) {
            first = it->second;
            second = name;
        }
    }
    ASSERT_FALSE(first.empty()) << "no two paths share their key bits";
    TrackFileDesc a = MakeTrackFile(2, 1), b = MakeTrackFile(5, 1);
    AddFile(first, WriteTrackFile(a));
    AddFile(second, WriteTrackFile(b));
    TrackData* da = TrackDataMgr::GetInstance().Load(first.c_str());
    TrackData* db = TrackDataMgr::GetInstance().Load(second.c_str());
    ASSERT_TRUE(da && db);
    EXPECT_NE(da, db);
    EXPECT_EQ(da->nameHash, db->nameHash);
    EXPECT_EQ(da->GetKeyCount(), 2);
    EXPECT_EQ(db->GetKeyCount(), 5);
    EXPECT_EQ(TrackDataMgr::GetInstance().Load(first.c_str()), da);
    TrackDataMgr::GetInstance().Release(da);
    TrackDataMgr::GetInstance().Release(da);
    TrackDataMgr::GetInstance().Release(db);
    EXPECT_EQ(TrackDataMgr::GetInstance().Count(), 0u);
}

}  // namespace
