#include "world/mesh/KeyFramePlayer.h"

#include <gtest/gtest.h>

namespace {

using namespace quor;

KeyTimeTable Table(std::initializer_list<float> times) {
    KeyTimeTable table;
    std::vector<float> v(times);
    EXPECT_TRUE(table.Assign(v.data(), static_cast<std::uint16_t>(v.size())));
    return table;
}

TEST(KeyFramePlayer, FreshPlayerHasNoKeys) {
    KeyFramePlayer player;
    EXPECT_EQ(player.Keys(), nullptr);
    EXPECT_EQ(player.GetKeyCount(), 0);
    EXPECT_EQ(player.FindKeyAtTime(5.0f), 0);
    float blend = -1.0f;
    EXPECT_EQ(player.GetCurrentKey(&blend), 0);
    EXPECT_EQ(blend, 0.0f);
}

TEST(KeyFramePlayer, FindKeyAtTimeSearchesFromTheCurrentKeyAndWraps) {
    const KeyTimeTable keys = Table({0, 10, 20, 30});
    KeyFramePlayer player;
    player.SetKeys(&keys);
    EXPECT_EQ(player.GetKeyCount(), 4);
    struct Case {
        float clock;  // moves the current key first
        float t;
        std::uint16_t key;
    };
    // The sentinel after the last key is twice its time: 30..60 is the last interval.
    const Case cases[] = {{0, 5, 0},   {0, 10, 1},  {0, 29.9f, 2}, {0, 45, 3},  {25, 5, 0},
                          {25, 25, 2}, {35, 0, 0},  {35, 15, 1},   {0, 60, 0},  {0, -1, 0}};
    for (const Case& c : cases) {
        player.Clock().time = c.clock;
        const std::uint16_t current = player.GetCurrentKey();
        EXPECT_EQ(player.FindKeyAtTime(c.t), c.key) << c.clock << " " << c.t;
        EXPECT_EQ(player.CurrentKey(), current) << "the search leaves the current key";
    }
}

TEST(KeyFramePlayer, CurrentKeyAndBlendFollowTheClock) {
    const KeyTimeTable keys = Table({0, 10, 30});
    KeyFramePlayer player;
    player.SetKeys(&keys);
    struct Case {
        double time;
        std::uint16_t key;
        float blend;
    };
    const Case cases[] = {{0, 0, 0}, {5, 0, 0.5f}, {10, 1, 0}, {25, 1, 0.75f}, {45, 2, 0.5f}, {2.5, 0, 0.25f}};
    for (const Case& c : cases) {
        player.Clock().time = c.time;
        float blend = -1;
        EXPECT_EQ(player.GetCurrentKey(&blend), c.key) << c.time;
        EXPECT_FLOAT_EQ(blend, c.blend) << c.time;
        EXPECT_EQ(player.CurrentKey(), c.key);
    }
}

TEST(KeyFramePlayer, ClearedKeysAnswerKeyZero) {
    const KeyTimeTable keys = Table({0, 10, 30});
    KeyFramePlayer player;
    player.SetKeys(&keys);
    player.Clock().time = 20;
    EXPECT_EQ(player.GetCurrentKey(), 1);
    player.ClearKeys();
    EXPECT_EQ(player.GetKeyCount(), 0);
    float blend = -1;
    EXPECT_EQ(player.GetCurrentKey(&blend), 0);
    EXPECT_EQ(blend, 0.0f);
}

TEST(KeyFramePlayer, SetLoopSetsTheClockFlag) {
    KeyFramePlayer player;
    player.SetLoop(false);
    EXPECT_EQ(player.Clock().loop, 0);
    player.SetLoop(true);
    EXPECT_EQ(player.Clock().loop, 1);
}

}  // namespace
