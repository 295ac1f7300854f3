#include <gtest/gtest.h>

#include "world/core/KeyTimeTable.h"

namespace {

using quor::KeyTimeTable;

TEST(KeyTimeTable, AssignKeepsASentinelOfTwiceTheLastKey) {
    KeyTimeTable t;
    const float keys[] = {0, 100, 250};
    ASSERT_TRUE(t.Assign(keys, 3));
    EXPECT_EQ(t.Count(), 3);
    EXPECT_DOUBLE_EQ(t.Length(), 250);
    EXPECT_FLOAT_EQ(t.Times()[3], 500);
    t.Scale(2);
    EXPECT_FLOAT_EQ(t.Times()[1], 200);
    EXPECT_DOUBLE_EQ(t.Length(), 500);
    EXPECT_FLOAT_EQ(t.Times()[3], 1000);
}

TEST(KeyTimeTable, CountZeroIsRefused) {
    KeyTimeTable t;
    const float keys[] = {5, 6};
    EXPECT_FALSE(t.Assign(keys, 0));
    EXPECT_FALSE(t.Assign(nullptr, 2));
    EXPECT_EQ(t.Times(), nullptr);
    ASSERT_TRUE(t.Assign(keys, 2));
    EXPECT_FALSE(t.AssignIntegers(nullptr, 0));
    EXPECT_EQ(t.Count(), 2);  // a refused assignment leaves the table alone
    t.Scale(3);               // and an empty table ignores scaling
    KeyTimeTable empty;
    empty.Scale(2);
    EXPECT_EQ(empty.FindForward(1, 0, nullptr), 0);
}

TEST(KeyTimeTable, AssignIntegersStartsAtZero) {
    KeyTimeTable t;
    const std::uint32_t keys[] = {40, 80, 120};
    ASSERT_TRUE(t.AssignIntegers(keys, 3));
    EXPECT_FLOAT_EQ(t.Times()[0], 0);
    EXPECT_FLOAT_EQ(t.Times()[1], 80);
    EXPECT_DOUBLE_EQ(t.Length(), 120);
}

TEST(KeyTimeTable, FindForwardAndBackwardWrapAround) {
    KeyTimeTable t;
    const float keys[] = {10, 20, 40, 80};
    ASSERT_TRUE(t.Assign(keys, 4));
    struct Case {
        float time;
        std::uint16_t start;
        std::uint16_t index;
        float fraction;  // -1: left untouched
    } cases[] = {
        {15, 0, 0, 0.5f}, {30, 3, 1, 0.5f}, {40, 2, 2, 0.0f}, {120, 1, 3, 0.5f},  // into the sentinel
        {5, 2, 0, -1},                                                       // below the first key
        {170, 0, 0, -1},                                                     // past the sentinel
        {79.9f, 9, 2, (79.9f - 40) / 40},                                    // start out of range
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        for (bool forward : {true, false}) {
            float fraction = -1;
            const std::uint16_t i =
                forward ? t.FindForward(c.time, c.start, &fraction) : t.FindBackward(c.time, c.start, &fraction);
            EXPECT_EQ(i, c.index);
            EXPECT_FLOAT_EQ(fraction, c.fraction);
        }
    }
    EXPECT_EQ(t.FindForward(15, 0, nullptr), 0);
}

TEST(KeyTimeTable, CopiesAreDeepAndReuseStorage) {
    KeyTimeTable a;
    const float keys[] = {0, 1, 2, 3};
    a.Assign(keys, 4);
    KeyTimeTable b(a);
    a.Scale(10);
    EXPECT_FLOAT_EQ(b.Times()[3], 3);
    const float* storage = b.Times();
    const float fewer[] = {0, 7};
    b.Assign(fewer, 2);
    EXPECT_EQ(b.Times(), storage);  // smaller count keeps the array
    EXPECT_FLOAT_EQ(b.Times()[2], 14);
    KeyTimeTable& same = b;  // self-assignment through another name
    b = same;
    EXPECT_EQ(b.Count(), 2);
    b.Clear();
    EXPECT_EQ(b.Times(), nullptr);
    EXPECT_EQ(b.Length(), 0);
}

TEST(Vector4Lerp, Blends) {
    const float a[4] = {0, 1, 2, 3}, b[4] = {4, 1, 0, 5};
    float out[4];
    quor::Vector4Lerp(out, a, b, 0.25f);
    EXPECT_FLOAT_EQ(out[0], 1);
    EXPECT_FLOAT_EQ(out[1], 1);
    EXPECT_FLOAT_EQ(out[2], 1.5f);
    EXPECT_FLOAT_EQ(out[3], 3.5f);
}

}  // namespace
