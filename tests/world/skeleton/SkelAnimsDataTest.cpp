#include "world/skeleton/SkelAnimsData.h"

#include <cmath>
#include <cstring>
#include <functional>

#include "platform/host/XmlNode.h"
#include "tests/world/skeleton/SkelTestSupport.h"
#include "world/core/NameHash64.h"
#include "world/core/math/Quaternion.h"
#include "world/core/track/TransformKey.h"

namespace {

using namespace quor;
using namespace quor::test;

class SkelAnimsDataFile : public SkelTest {
protected:
    // Loads bytes straight from the image; the result is kept for inspection.
    bool LoadBytes(const std::vector<std::uint8_t>& bytes, const char* pivot = nullptr) {
        return data.LoadImage(bytes.data(), bytes.size(), "case.san", pivot);
    }
    SkelAnimsData data;
};

TEST(SkelContentHash, NameBytesHashLikeTheName) {
    const char* names[] = {"", "a", "ab", "abc", "abcd", "abcde", "Bip01 Spine1", "0123456789abcdef"};
    for (const char* n : names) {
        SCOPED_TRACE(n);
        EXPECT_EQ(SkelAnimsData::ComputeContentHash(reinterpret_cast<const std::uint8_t*>(n), std::strlen(n)),
                  NameHash64(n));
    }
    EXPECT_EQ(NameHash64Bytes("", 0), 0x765DBB92514FF88Full);
    EXPECT_EQ(NameHash64Bytes("abc", 3), 0x566BF89310E668B5ull);
    EXPECT_EQ(NameHash64Bytes("abcd", 4) & 0xFFFFFFFFu, 0xBFDBDC66u);
    EXPECT_EQ(NameHash64Bytes("abcde", 5), 0x14ED166194BDF716ull);
    // Zero bytes are content, not a terminator.
    const std::uint8_t zeros[6] = {0x61, 0, 0, 0, 0x62, 0};
    EXPECT_NE(NameHash64Bytes(zeros, 6), NameHash64Bytes(zeros, 1));
}

struct RoundTripCase {
    std::uint32_t version;
};

void ExpectChannel(const TrackChannel& c, const TrackChannelDesc& d, bool v2, bool v2Scale) {
    ASSERT_EQ(c.positions.size(), d.positions.size());
    for (std::size_t i = 0; i < d.positions.size(); ++i) EXPECT_FLOAT_EQ(c.positions[i], d.positions[i]);
    ASSERT_EQ(c.rotations.size(), d.rotations.size());
    for (std::size_t i = 0; i < d.rotations.size(); ++i) EXPECT_FLOAT_EQ(c.rotations[i], d.rotations[i]);
    if (v2 && !v2Scale) {
        ASSERT_EQ(c.scales.size(), 3u);
        EXPECT_EQ(c.hasScaleKeys, 0);
        EXPECT_FLOAT_EQ(c.scales[0], 1.0f);
        EXPECT_FLOAT_EQ(c.scales[2], 1.0f);
    } else {
        ASSERT_EQ(c.scales.size(), d.scales.size());
        for (std::size_t i = 0; i < d.scales.size(); ++i) EXPECT_FLOAT_EQ(c.scales[i], d.scales[i]);
    }
}

TEST_F(SkelAnimsDataFile, RoundTripEveryVersionStep) {
    const std::uint32_t versions[] = {0x20000, 0x20001, 0x20002, 0x30000, 0x30001, 0x30002, 0x30003,
                                      0x30004, 0x40000, 0x40001, 0x40002, 0x40003};
    for (std::uint32_t v : versions) {
        SCOPED_TRACE(testing::Message() << std::hex << v);
        const std::uint32_t major = v & 0xFFFF0000u;
        SkelAnimFileDesc desc = MakeSkelAnimFile(v, 3, 2);
        for (auto& r : desc.records) r.reserved.fill(0xAB);
        // Record 0 moves the object through bone 1; record 1 drives only positions and rotations.
        SkelAnimRecordDesc& r0 = desc.records[0];
        r0.pivotFlags = 0x2 | 0x4;  // only bits of 0xB002 count
        r0.pivotBone = 1;
        r0.pivotBoneName = "Bone1";
        if (v >= 0x40001) {
            r0.hasPivotTrack = true;
            r0.pivotTrack.name = "stored";
            r0.pivotTrack.times = {0, 100, 200, 300};
            r0.pivotTrack.channels.push_back(MakeTrackChannel(4, true, false, false, 0, 3));
        }
        r0.events = {{1, "hit"}, {3, "End"}};
        desc.records[1].partMask = 5;
        desc.records[1].loop = 0;
        if (major == 0x20000 && v == 0x20000) desc.records[0].v2Scale = 0;
        const std::vector<std::uint8_t> bytes = WriteSkelAnimFile(desc);
        ASSERT_TRUE(LoadBytes(bytes, "Bone1")) << log.Joined();
        ASSERT_EQ(data.GetAnimationCount(), 2);
        EXPECT_EQ(data.version, v);
        EXPECT_EQ(data.contentHash, std::uint32_t(NameHash64Bytes(bytes.data(), bytes.size())));
        // Every byte of an unpadded file belongs to the header or a record block.
        EXPECT_EQ(std::size_t(data.MemSize()), bytes.size());
        for (std::uint16_t a = 0; a < 2; ++a) {
            const SkelAnimsData& d = data;
            EXPECT_STREQ(d.GetAnimation(a)->name, desc.records[a].name.c_str());
            EXPECT_EQ(d.FindAnimation(desc.records[a].name.c_str()), a);
            ASSERT_EQ(d.GetKeyCount(a), 4);
            for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(d.GetAnimation(a)->keyTimes.Times()[k], 100.0f * float(k));
            EXPECT_DOUBLE_EQ(d.GetLength(a), 300.0);
            ASSERT_EQ(d.GetBoneCount(a), 3);
            EXPECT_STREQ(d.GetBoneName(a, 2), "Bone2");
            for (std::uint16_t b = 0; b < 3; ++b) {
                SCOPED_TRACE(b);
                ExpectChannel(*d.GetChannel(a, b), desc.records[a].channels[b], major == 0x20000,
                              v >= 0x20001 && desc.records[a].v2Scale);
            }
        }
        const bool v2 = major == 0x20000;
        EXPECT_EQ(data.IsLooping(1), v2 ? 1 : 0);  // major 2 has no loop byte
        EXPECT_EQ(data.GetPartMask(1), v >= 0x40003 ? 5 : 7);
        // Events: major 2 keeps the last key's name; later majors end on "end".
        EXPECT_STREQ(data.GetEvent(0, 1), "hit");
        EXPECT_STREQ(data.GetEvent(0, 3), v2 ? "End" : "end");
        EXPECT_EQ(data.GetEvent(0, 0), nullptr);
        EXPECT_EQ(data.GetEvent(1, 1), nullptr);
        // Bind matrices: stored, then the inverses, turned half a turn about y in the oldest.
        if (v < 0x30004) {
            ASSERT_NE(data.GetBindMatrices(), nullptr);
            ASSERT_EQ(data.GetBindMatrixCount(), 3);
            for (int b = 0; b < 3; ++b) {
                for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(data.GetBindMatrices()[b].m[i], desc.bind[b][i]);
                Matrix turned;
                std::memcpy(turned.m, desc.bind[b].data(), 64);
                if (v < 0x20002) {
                    Matrix half;
                    MatrixRotationY(half, 3.1415927f);
                    MatrixMultiplyPlain(turned, half, turned);
                }
                Matrix product;
                MatrixMultiplyPlain(turned, data.GetInverseBindMatrices()[b], product);
                for (int i = 0; i < 16; ++i) EXPECT_NEAR(product.m[i], (i % 5 == 0) ? 1.0f : 0.0f, 1e-5f);
            }
            if (v < 0x20002) {
                EXPECT_NEAR(data.GetInverseBindMatrices()[1].m[0], -1.0f, 1e-5f);
            }
        } else {
            EXPECT_EQ(data.GetBindMatrices(), nullptr);
        }
        // Transitions: 6 bytes before 0x40002 (enabled from the type), 7 after.
        std::uint16_t type = 0;
        float time = 0;
        std::uint8_t enabled = 9;
        if (v >= 0x30003) {
            ASSERT_TRUE(data.GetTransition(0, 1, &type, &time, &enabled));
            EXPECT_EQ(type, 1);
            EXPECT_FLOAT_EQ(time, 50.0f);
            EXPECT_EQ(enabled, v >= 0x40002 ? 1 : 0);
            ASSERT_TRUE(data.GetTransition(1, 0, &type, &time, &enabled));
            EXPECT_EQ(type, 0);
            EXPECT_EQ(enabled, v >= 0x40002 ? 1 : 0);
        } else {
            EXPECT_FALSE(data.GetTransition(0, 1, &type, &time, &enabled));
        }
        // Pivot tracks: stored from 0x40001, derived from the pivot bone before.
        const TrackData* track = data.GetPivotTrack(0);
        EXPECT_STREQ(data.GetPivotBoneName(0), "Bone1");
        EXPECT_EQ(data.GetAnimation(0)->pivotBone, 1);
        if (v2) {
            // Major-2 records carry no pivot flags, so nothing moves the object.
            EXPECT_EQ(track, nullptr);
            EXPECT_FALSE(data.hasPivotTracks);
            data.ClearAnimations();
            continue;
        }
        ASSERT_NE(track, nullptr);
        EXPECT_TRUE(data.hasPivotTracks);
        EXPECT_EQ(data.GetPivotTrack(1), nullptr);
        if (v >= 0x40001) {
            EXPECT_STREQ(track->name, "stored");
            EXPECT_EQ(data.GetAnimation(0)->pivotFlags, 0x6u);
        } else {
            EXPECT_STREQ(track->name, "Skeletal Pivot Track");
            EXPECT_EQ(track->channelFlags, 0x2);
            EXPECT_EQ(data.GetAnimation(0)->pivotFlags, 0x2u);
            ASSERT_EQ(track->channels.size(), 1u);
            ExpectChannel(track->channels[0], desc.records[0].channels[1], v2, v >= 0x20001 && desc.records[0].v2Scale);
            EXPECT_EQ(track->GetKeyCount(), 4);
        }
        EXPECT_STREQ(data.GetPivotBoneName(0), "Bone1");
        EXPECT_EQ(data.GetAnimation(0)->pivotBone, 1);
        // A copy owns everything again, its events pointing into its own names.
        SkelAnimation copy(*data.GetAnimation(0));
        EXPECT_STREQ(copy.GetEvent(1), "hit");
        EXPECT_NE(copy.GetEvent(1), data.GetEvent(0, 1));
        ASSERT_NE(copy.pivotTrack, nullptr);
        EXPECT_NE(copy.pivotTrack.get(), track);
        data.ClearAnimations();
    }
}

TEST_F(SkelAnimsDataFile, PivotTrackOnlyForTheGivenPivotAndMotion) {
    struct Case {
        const char* what;
        std::uint32_t version;
        std::uint32_t flags;
        const char* given;
        bool track;
    };
    const Case cases[] = {
        {"major 3, matching name", 0x30003, 0x2, "Bone1", true},
        {"major 3, no flag bits of 0xB002", 0x30003, 0x4, "Bone1", false},
        {"major 3, no given name", 0x30003, 0x2, nullptr, false},
        {"major 3, other name", 0x30003, 0x2, "Bone2", false},
        {"major 2, name names the pivot", 0x20001, 0x0, "Bone2", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SkelAnimFileDesc desc = MakeSkelAnimFile(c.version, 3, 1);
        desc.records[0].pivotFlags = c.flags;
        desc.records[0].pivotBone = 1;
        ASSERT_TRUE(LoadBytes(WriteSkelAnimFile(desc), c.given));
        EXPECT_EQ(data.GetPivotTrack(0) != nullptr, c.track);
        if (!c.track) {
            EXPECT_EQ(data.GetAnimation(0)->pivotFlags, 0u);
        }
        data.ClearAnimations();
    }
    // A pivot bone without motion keeps its track but moves nothing.
    SkelAnimFileDesc still = MakeSkelAnimFile(0x30003, 3, 1);
    still.records[0].pivotFlags = 0x2;
    still.records[0].pivotBone = 1;
    still.records[0].channels[1] = MakeTrackChannel(4, false, false, false, 0, 1);
    ASSERT_TRUE(LoadBytes(WriteSkelAnimFile(still), "Bone1"));
    ASSERT_NE(data.GetPivotTrack(0), nullptr);
    EXPECT_EQ(data.GetPivotTrack(0)->channelFlags, 0);
    EXPECT_EQ(data.GetAnimation(0)->pivotFlags, 0u);
    EXPECT_FALSE(data.GetAnimation(0)->HasPivotMotion());
}

struct GateCase {
    const char* what;
    std::function<std::vector<std::uint8_t>()> bytes;
    const char* message;
};

TEST_F(SkelAnimsDataFile, GateTable) {
    auto file = [](std::uint32_t v, std::function<void(SkelAnimFileDesc&)> edit = {}) {
        return [v, edit] {
            SkelAnimFileDesc d = MakeSkelAnimFile(v, 3, 2);
            if (edit) edit(d);
            return WriteSkelAnimFile(d);
        };
    };
    const GateCase cases[] = {
        {"39 bytes",
         [] {
             SkelAnimFileDesc d = MakeSkelAnimFile(0x40003, 1, 0);
             d.minimumSize = 0;
             auto b = WriteSkelAnimFile(d);
             b.resize(39, 0);
             return b;
         },
         "Bad format in skeletal animation file case.san!"},
        {"wrong magic", file(0x40003, [](SkelAnimFileDesc& d) { d.magic = 0x53494753; }),
         "Bad format in skeletal animation file case.san!"},
        {"version 0x1FFFF", file(0x1FFFF), "Skeletal animation file case.san version too old!"},
        {"version 0x40004", file(0x40004), "Skeletal animation file case.san version too new!"},
        {"zero bones", file(0x30003, [](SkelAnimFileDesc& d) { d.boneCountOverride = 0; }),
         "Bad format in skeletal animation file case.san!"},
        {"257 bones",
         [] {
             SkelAnimFileDesc d = MakeSkelAnimFile(0x30004, 257, 0);
             for (auto& p : d.parents) p = 255;
             return WriteSkelAnimFile(d);
         },
         "Bad format in skeletal animation file case.san!"},
        {"failing pivot body",
         file(0x40001,
              [](SkelAnimFileDesc& d) {
                  d.records[1].hasPivotTrack = true;
                  d.records[1].pivotTrack.channels.push_back(MakeTrackChannel(1, true, true, true, 0, 0));
              }),
         "Bad format in skeletal animation file case.san!"},
        {"Euler order 7", file(0x40003, [](SkelAnimFileDesc& d) { d.records[0].channels[2].flags[3] = 7; }),
         "Bad format in skeletal animation file case.san!"},
        {"key count past the end",
         [] {
             SkelAnimFileDesc d = MakeSkelAnimFile(0x40003, 2, 1);
             auto b = WriteSkelAnimFile(d);
             // name (32) + pivot name (32) + loop, scales, part mask, flags: the key count.
             const std::size_t at = 11 + 32 + 32 + 1 + 1 + 2 + 4;
             b[at] = 0xFF;
             b[at + 1] = 0xFF;
             return b;
         },
         "Bad format in skeletal animation file case.san!"},
    };
    for (const GateCase& c : cases) {
        SCOPED_TRACE(c.what);
        log.Clear();
        EXPECT_FALSE(LoadBytes(c.bytes()));
        EXPECT_TRUE(log.Contains(c.message)) << log.Joined();
        EXPECT_EQ(data.GetAnimationCount(), 0);
        EXPECT_EQ(data.GetBindMatrices(), nullptr);
    }
    // The smallest file that loads: 40 bytes of major 4 with no animations.
    SkelAnimFileDesc empty = MakeSkelAnimFile(0x40003, 1, 0);
    const auto bytes = WriteSkelAnimFile(empty);
    ASSERT_EQ(bytes.size(), 40u);
    EXPECT_TRUE(LoadBytes(bytes));
    EXPECT_EQ(data.GetAnimationCount(), 0);
    // A major-3 file with 256 bones still loads.
    SkelAnimFileDesc wide = MakeSkelAnimFile(0x30004, 256, 0);
    EXPECT_TRUE(LoadBytes(WriteSkelAnimFile(wide)));
}

TEST_F(SkelAnimsDataFile, EveryTruncatedPrefixIsRefused) {
    const std::uint32_t versions[] = {0x20001, 0x30003, 0x40003};
    for (std::uint32_t v : versions) {
        SkelAnimFileDesc desc = MakeSkelAnimFile(v, 3, 2);
        desc.records[0].events = {{1, "morph: a"}, {2, "step"}};
        if (v == 0x40003) {
            desc.records[1].hasPivotTrack = false;
        }
        const auto bytes = WriteSkelAnimFile(desc);
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + std::ptrdiff_t(n));
            log.Clear();
            // An exact-size copy, so reading past it is a sanitizer error.
            ASSERT_FALSE(data.LoadImage(prefix.data(), prefix.size(), "case.san", nullptr)) << std::hex << v << " " << n;
            ASSERT_TRUE(log.Contains("Bad format in skeletal animation file case.san!")) << n;
            ASSERT_EQ(data.GetAnimationCount(), 0);
        }
        EXPECT_TRUE(data.LoadImage(bytes.data(), bytes.size(), "case.san", nullptr));
    }
}

TEST_F(SkelAnimsDataFile, EventAndMarkerRules) {
    struct Case {
        const char* what;
        std::vector<SkelEventDesc> events;
        std::uint16_t keys;
        std::vector<std::pair<std::uint16_t, const char*>> expect;  // key -> name (null: none)
        std::uint16_t markers;
        bool warning;
    };
    std::vector<SkelEventDesc> seventeen;
    for (int i = 0; i < 17; ++i) seventeen.push_back({std::uint16_t(i), "morph: m" + std::to_string(i)});
    const Case cases[] = {
        {"End on the last key", {{3, "End"}}, 4, {{3, "end"}}, 0, false},
        {"ending on the last key", {{3, "ending"}}, 4, {{3, "end"}}, 0, false},
        {"end stays", {{3, "end"}}, 4, {{3, "end"}}, 0, false},
        {"no events", {}, 4, {{0, nullptr}, {3, nullptr}}, 0, false},
        {"17 markers hold 16", seventeen, 20, {{16, "morph: m16"}}, 16, false},
        {"last key is never a marker", {{1, "morph: a"}, {3, "morph: b"}}, 4, {{3, "end"}}, 1, false},
        {"event past the keys is dropped", {{1, "a"}, {4, "past"}, {9, "far"}}, 4, {{1, "a"}, {3, nullptr}}, 0, true},
        {"name of 32 bytes is cut", {{1, std::string(40, 'x')}}, 4, {{1, "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"}}, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SkelAnimFileDesc desc = MakeSkelAnimFile(0x40003, 2, 1);
        desc.records[0] = MakeSkelAnimRecord("anim0", c.keys, 2, 0);
        desc.records[0].transitions = {{}};
        desc.records[0].events = c.events;
        log.Clear();
        ASSERT_TRUE(LoadBytes(WriteSkelAnimFile(desc)));
        for (const auto& [key, text] : c.expect) {
            if (text) EXPECT_STREQ(data.GetEvent(0, key), text);
            else EXPECT_EQ(data.GetEvent(0, key), nullptr);
        }
        EXPECT_EQ(data.GetMorphMarkerCount(0), c.markers);
        EXPECT_EQ(log.Contains("past its"), c.warning) << log.Joined();
        EXPECT_EQ(data.GetEvent(0, 60000), nullptr);
    }
}

TEST_F(SkelAnimsDataFile, MorphSegmentsAndMarkerLookups) {
    SkelAnimFileDesc desc = MakeSkelAnimFile(0x40003, 1, 1);
    desc.records[0] = MakeSkelAnimRecord("anim0", 10, 1, 0);
    desc.records[0].transitions = {{}};
    desc.records[0].events = {{2, "morph: L"}, {5, "morph: R"}, {7, "morph: L2"}};
    ASSERT_TRUE(LoadBytes(WriteSkelAnimFile(desc)));
    const std::pair<std::uint16_t, std::uint16_t> forward[] = {{0, 0}, {2, 0}, {4, 0}, {5, 1}, {6, 1}, {7, 0}, {9, 0}};
    for (auto [key, seg] : forward) EXPECT_EQ(data.FindMorphSegment(0, key, true), seg) << key;
    const std::pair<std::uint16_t, std::uint16_t> backward[] = {{2, 0}, {3, 1}, {5, 1}, {6, 0}, {7, 0}, {8, 0}};
    for (auto [key, seg] : backward) EXPECT_EQ(data.FindMorphSegment(0, key, false), seg) << key;
    EXPECT_EQ(data.GetMorphMarkerKey(0, 4), 5);  // wraps
    EXPECT_FLOAT_EQ(data.GetMorphMarkerTime(0, 2), 700.0f);
    EXPECT_STREQ(data.GetMorphMarkerLabel(0, 3), "L");
    EXPECT_STREQ(data.GetMorphMarkerLabel(0, 2), "L2");

    SkelAnimFileDesc one = MakeSkelAnimFile(0x40003, 1, 1);
    one.records[0].events = {{1, "morph: only"}};
    ASSERT_TRUE(LoadBytes(WriteSkelAnimFile(one)));
    for (std::uint16_t k = 0; k < 4; ++k) {
        EXPECT_EQ(data.FindMorphSegment(0, k, true), 0);
        EXPECT_EQ(data.FindMorphSegment(0, k, false), 0);
    }
    SkelAnimFileDesc none = MakeSkelAnimFile(0x40003, 1, 1);
    ASSERT_TRUE(LoadBytes(WriteSkelAnimFile(none)));
    EXPECT_EQ(data.FindMorphSegment(0, 1, true), 65535);
}

TEST_F(SkelAnimsDataFile, OddRecordsLoadSafely) {
    // A pivot index past the skeleton names no bone; a record without keys loads.
    SkelAnimFileDesc desc = MakeSkelAnimFile(0x30003, 3, 2);
    desc.records[0].pivotBone = 7;
    desc.records[0].pivotFlags = 2;
    desc.records[1] = MakeSkelAnimRecord("empty", 0, 3, 0);
    desc.records[1].transitions = desc.records[0].transitions;
    desc.records[1].channels.assign(3, MakeTrackChannel(0, false, false, false, 0, 0));
    ASSERT_TRUE(LoadBytes(WriteSkelAnimFile(desc), "Bone1")) << log.Joined();
    EXPECT_EQ(data.GetAnimation(0)->pivotBone, 255);
    EXPECT_STREQ(data.GetPivotBoneName(0), "");
    EXPECT_EQ(data.GetPivotTrack(0), nullptr);
    EXPECT_EQ(data.GetKeyCount(1), 0);
    EXPECT_DOUBLE_EQ(data.GetLength(1), 0.0);
}

TEST_F(SkelAnimsDataFile, AccessorsOutOfRangeAnswerEmpty) {
    ASSERT_TRUE(LoadBytes(WriteSkelAnimFile(MakeSkelAnimFile(0x40003, 2, 1))));
    const std::uint16_t bad = 1;
    EXPECT_EQ(data.GetAnimation(bad), nullptr);
    EXPECT_EQ(data.GetPivotTrack(bad), nullptr);
    EXPECT_EQ(data.IsLooping(bad), 0);
    EXPECT_EQ(data.ScalesBones(bad), 0);
    EXPECT_EQ(data.GetPartMask(bad), 0);
    EXPECT_EQ(data.GetBoneCount(bad), 0);
    EXPECT_EQ(data.GetBoneName(bad, 0), nullptr);
    EXPECT_EQ(data.GetBoneName(0, 2), nullptr);
    EXPECT_EQ(data.GetPivotBoneName(bad), nullptr);
    EXPECT_EQ(data.GetChannel(bad, 0), nullptr);
    EXPECT_EQ(data.GetChannel(0, 2), nullptr);
    EXPECT_FALSE(data.IsChannelEuler(0, 9));
    EXPECT_EQ(data.GetKeyCount(bad), 0);
    EXPECT_EQ(data.GetLength(bad), 0.0);
    float f = 0.5f;
    EXPECT_EQ(data.FindKeyForward(bad, 10.0f, 0, &f), 0);
    EXPECT_EQ(data.FindKeyBackward(bad, 10.0f, 0, &f), 0);
    EXPECT_EQ(data.GetKeyTimeAt(bad, 10.0f), 0.0f);
    EXPECT_FLOAT_EQ(data.GetKeyTimeAt(0, 150.0f), 100.0f);
    EXPECT_EQ(data.GetEvent(bad, 0), nullptr);
    EXPECT_EQ(data.GetMorphMarkerCount(bad), 0);
    EXPECT_EQ(data.FindMorphSegment(bad, 0, true), 65535);
    EXPECT_EQ(data.GetMorphMarkerLabel(bad, 0), nullptr);
    EXPECT_FALSE(data.GetTransition(bad, 0, nullptr, nullptr, nullptr));
    EXPECT_FALSE(data.GetTransition(0, 1, nullptr, nullptr, nullptr));
    TransformKey key;
    data.SampleChannel(bad, 0, 0, 0.0f, key);
    data.SampleChannel(0, 7, 0, 0.0f, key);
    EXPECT_EQ(data.GetSequence(0), nullptr);
    EXPECT_EQ(data.GetSequenceItemCount(3), 0);
    EXPECT_EQ(data.GetSequenceItem(0, 0), nullptr);
    EXPECT_EQ(data.FindAnimation(nullptr), -1);
    EXPECT_EQ(data.FindAnimation("nothing"), -1);
}

class SkelCompanion : public SkelTest {};

TEST_F(SkelCompanion, GroupsAndSequencesWithDefaultsAndWarnings) {
    SkelAnimFileDesc desc = MakeSkelAnimFile(0x40003, 2, 3);
    desc.records[2].loop = 0;
    AddFile("hero.san", WriteSkelAnimFile(desc));
    AgsDesc ags;
    ags.groupsVersion = "3";
    ags.groups = {
        {"walk",
         {{"anim0", {{"Priority", "2"}, {"Weight", "0.5"}, {"Loop", "false"}, {"StartTime", "10"}, {"SpeedRate", "2"}}},
          {"anim2", {}},
          {"missing", {}},
          {"anim1", {{"SyncTo", "0"}, {"SpeedRate", "3"}}}}},
        {"Walk", {{"anim1", {}}}},
        {std::string(40, 'g'), {}},
    };
    ags.sequences = {{"seq",
                      {{"anim1", {{"TransitType", "16"}, {"TransitTimeLength", "5"}}},
                       {"walk", {{"IsGroup", "true"}, {"TransitType", "3"}, {"TransitTimeLength", "120"},
                                 {"Duration", "2"}, {"SpeedRate", "0.5"}}},
                       {"run", {{"IsGroup", "true"}}},
                       {"nope", {}},
                       {"anim2", {{"TransitType", "4"}}}}}};
    AddFile("hero.ags", WriteAgs(ags));
    SkelAnimsData data;
    ASSERT_TRUE(data.Load(FullPath("hero.san").c_str(), nullptr));
    EXPECT_TRUE(log.Contains("Skeletal extra file " + FullPath("hero.ags") + " loaded.")) << log.Joined();
    EXPECT_TRUE(log.Contains("Invalid animation missing in animation group walk! It's not in skeletal animation list!"));
    EXPECT_TRUE(log.Contains(
        "Invalid animation group run in animation sequence seq! It's not in skeletal animation group list!"));
    EXPECT_TRUE(log.Contains("Invalid animation nope in animation sequence seq! It's not in skeletal animation list!"));
    EXPECT_EQ(data.groupsVersion, 3);
    EXPECT_EQ(data.sequencesVersion, 1);
    ASSERT_EQ(data.groups.size(), 3u);
    const AnimationGroup& walk = data.groups[0];
    ASSERT_EQ(walk.members.size(), 3u);
    EXPECT_EQ(walk.members[0].animation, 0);
    EXPECT_EQ(walk.members[0].priority, 2);
    EXPECT_FLOAT_EQ(walk.members[0].weight, 0.5f);
    EXPECT_EQ(walk.members[0].loop, 0);
    EXPECT_FLOAT_EQ(walk.members[0].startTime, 10.0f);
    EXPECT_EQ(walk.members[0].syncTo, -1);
    EXPECT_FLOAT_EQ(walk.members[0].speedRate, 2.0f);
    // Defaults, the loop byte from the animation itself.
    EXPECT_EQ(walk.members[1].animation, 2);
    EXPECT_EQ(walk.members[1].priority, 0);
    EXPECT_FLOAT_EQ(walk.members[1].weight, 1.0f);
    EXPECT_EQ(walk.members[1].loop, 0);
    EXPECT_FLOAT_EQ(walk.members[1].startTime, -1.0f);
    // A synced member keeps speed rate 1.
    EXPECT_EQ(walk.members[2].syncTo, 0);
    EXPECT_FLOAT_EQ(walk.members[2].speedRate, 1.0f);
    // Groups by exact bytes, names cut to 31 bytes.
    EXPECT_EQ(data.FindGroup("walk"), 0);
    EXPECT_EQ(data.FindGroup("Walk"), 1);
    EXPECT_EQ(data.FindGroup("WALK"), -1);
    EXPECT_EQ(data.FindGroup(std::string(31, 'g').c_str()), 2);
    EXPECT_EQ(data.FindSequence("seq"), 0);
    EXPECT_EQ(data.FindSequence("Seq"), -1);
    ASSERT_EQ(data.GetSequenceItemCount(0), 3);
    const AnimationSequenceItem* i0 = data.GetSequenceItem(0, 0);
    EXPECT_EQ(i0->index, 1);
    EXPECT_EQ(i0->transitType, 16u);
    EXPECT_FLOAT_EQ(i0->transitTimeLength, -1.0f);  // type 16 keeps -1
    EXPECT_FLOAT_EQ(i0->speedRate, 1.0f);
    EXPECT_FLOAT_EQ(i0->duration, 0.0f);
    const AnimationSequenceItem* i1 = data.GetSequenceItem(0, 1);
    EXPECT_EQ(i1->isGroup, 1);
    EXPECT_EQ(i1->index, 0);
    EXPECT_EQ(i1->transitType, 3u);
    EXPECT_FLOAT_EQ(i1->transitTimeLength, 120.0f);
    EXPECT_FLOAT_EQ(i1->duration, 2.0f);
    EXPECT_FLOAT_EQ(i1->speedRate, 0.5f);
    const AnimationSequenceItem* i2 = data.GetSequenceItem(0, 2);
    EXPECT_EQ(i2->transitType, 4u);
    EXPECT_FLOAT_EQ(i2->transitTimeLength, -1.0f);
}

TEST_F(SkelCompanion, MissingOrPartialCompanionNeverFails) {
    SkelAnimFileDesc desc = MakeSkelAnimFile(0x40003, 2, 1);
    AddFile("a.san", WriteSkelAnimFile(desc));
    AddFile("b.san", WriteSkelAnimFile(desc));
    AddFile("c.san", WriteSkelAnimFile(desc));
    AgsDesc groupsOnly;
    groupsOnly.groups = {{"g", {{"anim0", {}}}}};
    groupsOnly.hasSequences = false;
    AddFile("b.ags", WriteAgs(groupsOnly));
    AddFile("c.ags", std::string("<AnimationGroups><Group Name=\"x\""));
    SkelAnimsData a, b, c;
    EXPECT_TRUE(a.Load(FullPath("a.san").c_str(), nullptr));
    EXPECT_TRUE(a.groups.empty());
    EXPECT_TRUE(b.Load(FullPath("b.san").c_str(), nullptr));
    EXPECT_EQ(b.groups.size(), 1u);  // groups stay
    EXPECT_FALSE(log.Contains("Skeletal extra file " + FullPath("b.ags")));
    EXPECT_TRUE(c.Load(FullPath("c.san").c_str(), nullptr));
    EXPECT_FALSE(b.Load(FullPath("none.san").c_str(), nullptr));
    EXPECT_TRUE(log.Contains("Skeletal animation file " + FullPath("none.san") + " is not found!"));
}

}  // namespace
