#include "world/core/LodGroup.h"

#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "tests/support/world/LogCapture.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/core/ObjectModelSupport.h"
#include "tests/support/world/core/RandomMath.h"
#include "world/core/BinaryReader.h"
#include "world/core/Camera.h"
#include "world/core/ObjectOwner.h"
#include "world/core/VisibleObject.h"
#include "world/scene/ObjectIdMap.h"

namespace quor::world {
namespace {

// A visible object that remembers the level it was last given.
class LodProbe final : public VisibleObject {
public:
    void SetLod(int level, int a, int b) override {
        lod = level;
        param1 = a;
        param2 = b;
        ++calls;
    }
    int lod = -1, param1 = -1, param2 = -1, calls = 0;
};

class Owner final : public ObjectOwner {
public:
    ObjectLock& GetObjectLock() override { return lock; }
    SpaceObject* GetRootObject() const override { return nullptr; }
    void ForgetObjectId(std::uint32_t) override {}
    void RemoveNamedObject(const SpaceObject*) override {}
    ObjectLock lock;
};

class LodGroupTest : public ::testing::Test {
protected:
    LodGroupTest() { camera.SetPosition({0, 0, 0}); }
    void TearDown() override { ObjectIdMap::Instance().Reset(); }

    test::LogCapture log;
    test::RendererScope host;
    Camera camera;
};

TEST_F(LodGroupTest, LevelsFollowOnlyStrictlyGrowingThresholds) {
    struct Case {
        std::vector<std::pair<int, float>> levels;  // level, distance
        float at;
        int want;
    };
    const Case cases[] = {
        {{}, 50.0f, 0},
        {{{1, 10}, {2, 20}}, 5.0f, 0},
        {{{1, 10}, {2, 20}}, 10.0f, 1},
        {{{1, 10}, {2, 20}}, 15.0f, 1},
        {{{1, 10}, {2, 20}}, 25.0f, 2},
        {{{1, 20}, {2, 10}}, 25.0f, 1},  // level 2 does not grow: skipped
        {{{3, 10}, {15, 30}}, 31.0f, 15},
    };
    for (const Case& c : cases) {
        LodGroup group;
        LodProbe probe;
        for (auto [level, distance] : c.levels) group.SetLevel(level, distance, level * 10, level * 100);
        group.AddObject(&probe);
        probe.SetPosition({0, c.at, 0});
        group.Update(&camera);
        EXPECT_EQ(probe.lod, c.want) << "at " << c.at;
        EXPECT_EQ(probe.param1, c.want * 10);
        EXPECT_EQ(probe.param2, c.want * 100);
    }
}

TEST_F(LodGroupTest, UpdateMatchesABruteForceChoiceOverRandomGroups) {
    test::RandomMath random(99);
    std::vector<std::unique_ptr<LodProbe>> probes;
    for (int i = 0; i < 64; ++i) probes.push_back(std::make_unique<LodProbe>());
    for (int round = 0; round < 200; ++round) {
        LodGroup group;
        float distance[16] = {};
        for (int level = 1; level < 16; ++level) {
            // Zeros, repeats and shrinking values all occur.
            distance[level] = random.Int(0, 3) == 0 ? 0.0f : float(random.Int(1, 12)) * 10.0f;
            group.SetLevel(level, distance[level], level, -level);
        }
        camera.SetPosition(random.Vector(50.0f));
        for (auto& p : probes) {
            p->SetPosition(random.Vector(150.0f));
            group.AddObject(p.get());
        }
        group.Update(&camera);
        for (auto& p : probes) {
            // The deepest level whose threshold is reached, walking only thresholds that
            // grow strictly from the one taken before.
            Vec3 a = *p->GetPosition(), e = *camera.GetPosition();
            const double dx = a.x - e.x, dy = a.y - e.y, dz = a.z - e.z;
            const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
            int want = 0;
            float last = 0.0f;
            for (int level = 1; level < 16; ++level) {
                if (distance[level] <= last) continue;
                last = distance[level];
                if (d >= distance[level]) want = level;
            }
            // Distances a hair from a threshold may round either way in float.
            bool nearThreshold = false;
            for (float t : distance) nearThreshold |= t > 0 && std::fabs(d - t) < 1e-3;
            if (!nearThreshold) {
                EXPECT_EQ(p->lod, want) << "round " << round << " distance " << d;
            }
        }
    }
}

TEST_F(LodGroupTest, MembersAreUniqueOrderedAndADisabledGroupGivesLevelZero) {
    LodGroup group;
    LodProbe a, b, c;
    group.AddObject(&a);
    group.AddObject(&b);
    group.AddObject(&a);
    group.AddObject(&c);
    group.AddObject(nullptr);
    ASSERT_EQ(group.Members().size(), 3u);
    group.RemoveObject(&b);
    group.RemoveObject(&b);
    EXPECT_EQ(group.Members(), (std::vector<VisibleObject*>{&a, &c}));
    group.SetLevel(1, 1.0f, 5, 6);
    a.SetPosition({0, 0, 10});
    group.SetEnabled(false);
    EXPECT_FALSE(group.IsEnabled());
    group.Update(&camera);
    EXPECT_EQ(a.lod, 0);
    EXPECT_EQ(a.param1, 0);
    group.SetEnabled(true);
    group.Update(nullptr);
    EXPECT_EQ(a.calls, 1) << "no camera, no update";
    group.Update(&camera);
    EXPECT_EQ(a.lod, 1);
    EXPECT_EQ(b.calls, 0);

    group.SetLevel(0, 5.0f, 1, 1);
    group.SetLevel(16, 5.0f, 1, 1);
    std::int32_t p1 = 7, p2 = 7;
    EXPECT_EQ(group.GetLevel(0, &p1, &p2), 0.0f);
    EXPECT_EQ(group.GetLevel(16, &p1, &p2), 0.0f);
    EXPECT_EQ(p1, 7) << "nothing written for a level out of range";
    EXPECT_EQ(group.GetLevel(1, &p1, nullptr), 1.0f);
    EXPECT_EQ(p1, 5);
    group.SetName("a-name-of-forty-characters-long-enough!!");
    EXPECT_EQ(std::strlen(group.GetName()), 31u);
    group.RemoveAll();
    EXPECT_TRUE(group.Members().empty());
}

TEST_F(LodGroupTest, AnObjectThatDiesOrLeavesTheSceneLeavesItsGroups) {
    Owner scene, other;
    LodGroup mine(&scene), theirs(&other);
    auto dying = std::make_unique<LodProbe>();
    LodProbe moving, staying;
    for (LodProbe* p : {dying.get(), &moving, &staying}) {
        p->SetScene(&scene);
        mine.AddObject(p);
    }
    theirs.AddObject(&moving);
    dying.reset();  // under ASan, a group still holding it would be caught at the update
    moving.SetScene(&other);
    EXPECT_EQ(mine.Members(), (std::vector<VisibleObject*>{&staying}));
    EXPECT_EQ(theirs.Members().size(), 1u) << "a group of the scene it moved to keeps it";
    mine.Update(&camera);
    EXPECT_EQ(staying.lod, 0);
    moving.SetScene(nullptr);
    EXPECT_TRUE(theirs.Members().empty());
    {
        LodGroup shortLived;
        shortLived.AddObject(&staying);
    }
    staying.SetScene(nullptr);  // the destroyed group is no longer among its groups
    EXPECT_TRUE(mine.Members().empty());
}

TEST_F(LodGroupTest, ListedLevelsOfOneThreeAndTwentyEntries) {
    auto make = [](int n) {
        std::vector<LodGroup::ListedLevel> list;
        for (int i = 0; i < n; ++i) list.push_back({float(i + 1) * 10.0f, i, 100 + i});
        return list;
    };
    struct Case {
        int n;
        std::vector<std::pair<int, float>> stored;  // level, distance
        bool warned;
    };
    const Case cases[] = {
        {1, {{15, 10.0f}}, false},
        {3, {{1, 20.0f}, {2, 0.0f}, {15, 30.0f}}, false},
        {20, {{1, 20.0f}, {14, 150.0f}, {15, 200.0f}}, true},
    };
    for (const Case& c : cases) {
        log.Clear();
        LodGroup group;
        group.StoreListedLevels(make(c.n));
        for (auto [level, distance] : c.stored) {
            std::int32_t a = 0, b = 0;
            EXPECT_EQ(group.GetLevel(level, &a, &b), distance) << c.n << " levels, level " << level;
        }
        std::int32_t a = 0, b = 0;
        group.GetLevel(15, &a, &b);
        EXPECT_EQ(a, c.n - 1) << "the last listed entry is the hiding level";
        EXPECT_EQ(b, 100 + c.n - 1);
        EXPECT_EQ(log.Contains("ignored"), c.warned);
    }
}

std::vector<std::uint8_t> Record(std::uint32_t version, const std::string& name, std::vector<std::uint32_t> ids,
                                 std::uint32_t count) {
    test::ByteWriter w;
    w.Fixed(name, 32);
    for (int i = 0; i < 16; ++i) w.F32(i * 10.0f);
    if (version >= LodGroup::kParamsVersion) {
        for (int i = 0; i < 16; ++i) w.I32(i);
        for (int i = 0; i < 16; ++i) w.I32(-i);
    }
    w.U32(count);
    for (std::uint32_t id : ids) w.U32(id);
    return w.bytes;
}

TEST_F(LodGroupTest, ReadTakesTheRecordAndRefusesOneThatOverrunsTheFile) {
    LodProbe a, b;
    SpaceObject plain;
    const std::unordered_map<std::uint32_t, SpaceObject*> objects = {{1, &a}, {2, &b}, {3, &plain}, {4, nullptr}};
    {
        LodGroup group;
        const auto bytes = Record(0x10021, std::string(40, 'g'), {2, 9, 3, 4, 1}, 5);
        BinaryReader in(bytes.data(), bytes.size());
        ASSERT_TRUE(group.Read(in, 0x10021, objects));
        EXPECT_TRUE(in.AtEnd());
        EXPECT_EQ(std::string(group.GetName()), std::string(31, 'g'));
        EXPECT_EQ(group.Members(), (std::vector<VisibleObject*>{&b, &a})) << "unknown, plain and null ids skipped";
        std::int32_t p1 = 0, p2 = 0;
        EXPECT_EQ(group.GetLevel(3, &p1, &p2), 30.0f);
        EXPECT_EQ(p1, 3);
        EXPECT_EQ(p2, -3);
    }
    {
        LodGroup group;
        const auto bytes = Record(0x10020, "old", {1}, 1);
        BinaryReader in(bytes.data(), bytes.size());
        ASSERT_TRUE(group.Read(in, 0x10020, objects));
        std::int32_t p1 = 9, p2 = 9;
        EXPECT_EQ(group.GetLevel(2, &p1, &p2), 20.0f);
        EXPECT_EQ(p1, 0) << "older records carry no parameter tables";
        EXPECT_STREQ(group.GetName(), "old");
    }
    struct Bad {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    auto truncated = Record(0x10021, "t", {1, 2}, 2);
    truncated.resize(100);
    const Bad bad[] = {
        {"count past the end", Record(0x10021, "c", {1, 2}, 0x40000000)},
        {"one id short", Record(0x10021, "s", {1}, 2)},
        {"truncated tables", truncated},
    };
    for (const Bad& c : bad) {
        log.Clear();
        LodGroup group;
        group.SetName("before");
        BinaryReader in(c.bytes.data(), c.bytes.size());
        EXPECT_FALSE(group.Read(in, 0x10021, objects)) << c.what;
        EXPECT_STREQ(group.GetName(), "before") << c.what;
        EXPECT_TRUE(group.Members().empty()) << c.what;
        EXPECT_EQ(group.GetLevel(1, nullptr, nullptr), 0.0f) << c.what;
        EXPECT_TRUE(log.Contains("Bad LOD group record")) << c.what;
    }
}

}  // namespace
}  // namespace quor::world
