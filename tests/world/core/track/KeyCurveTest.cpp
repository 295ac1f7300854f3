#include "world/core/track/KeyCurve.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using quor::KeyCurve;

KeyCurve Curve(std::uint32_t mode, std::initializer_list<std::pair<float, float>> keys) {
    KeyCurve c(mode);
    for (const auto& k : keys) c.AddKey(k.first, k.second);
    return c;
}

struct CurveCase {
    const char* what;
    std::uint32_t mode;
    std::initializer_list<std::pair<float, float>> keys;
    float t, value;
};

TEST(KeyCurve, Table) {
    const CurveCase cases[] = {
        {"clamp inside", 0, {{0, 1}, {1, 3}}, 0.5f, 2},
        {"clamp before", 0, {{0, 1}, {1, 3}}, -4, 1},
        {"clamp after", 0, {{0, 1}, {1, 3}}, 9, 3},
        {"repeat", 0 + 1, {{0, 0}, {1, 4}}, 1.25f, 1},
        {"repeat before the start", 1, {{0, 0}, {1, 4}}, -0.25f, 3},
        {"ping-pong forward", 2, {{0, 0}, {1, 4}}, 0.25f, 1},
        {"ping-pong back", 2, {{0, 0}, {1, 4}}, 1.25f, 3},
        {"one key", 0, {{3, 7}}, -100, 7},
        {"one key repeat", 1, {{3, 7}}, 100, 7},
        {"no keys", 0, {}, 5, 0},
        // First key after 0: every mode still finds a pair.
        {"late clamp", 0, {{2, 10}, {4, 20}}, 3, 15},
        {"late clamp before", 0, {{2, 10}, {4, 20}}, 0, 10},
        {"late repeat", 1, {{2, 10}, {4, 20}}, 5, 15},
        {"late repeat before", 1, {{2, 10}, {4, 20}}, 1, 15},
        {"late ping-pong", 2, {{2, 10}, {4, 20}}, 3, 15},
        {"late ping-pong back", 2, {{2, 10}, {4, 20}}, 5, 15},
        {"late ping-pong before", 2, {{2, 10}, {4, 20}}, 1, 15},
        // A mode that maps nothing: outside the keys the nearest end key answers.
        {"unmapped below", 7, {{2, 10}, {4, 20}}, 0, 10},
        {"unmapped above", 7, {{2, 10}, {4, 20}}, 9, 20},
    };
    for (const CurveCase& c : cases) {
        const KeyCurve curve = Curve(c.mode, c.keys);
        EXPECT_NEAR(curve.Evaluate(c.t), c.value, 1e-5f) << c.what;
    }
}

TEST(KeyCurve, RepeatAnswersTheSameEveryPass) {
    const KeyCurve curve = Curve(1, {{0, 1}, {0.5f, 5}, {1, 2}});
    for (float t = 0.0f; t < 1.0f; t += 0.0625f) {
        EXPECT_NEAR(curve.Evaluate(t), curve.Evaluate(t + 1.0f), 1e-5f) << t;
        EXPECT_NEAR(curve.Evaluate(t), curve.Evaluate(t + 3.0f), 1e-4f) << t;
    }
}

TEST(KeyCurve, AddKeyReplacesAndRefusesNonFiniteTimes) {
    KeyCurve curve(0);
    EXPECT_TRUE(curve.AddKey(0, 1));
    EXPECT_TRUE(curve.AddKey(2, 3));
    EXPECT_TRUE(curve.AddKey(2, 5));
    EXPECT_EQ(curve.KeyCount(), 2u);
    EXPECT_FALSE(curve.AddKey(std::nanf(""), 9));
    EXPECT_FALSE(curve.AddKey(INFINITY, 9));
    EXPECT_EQ(curve.KeyCount(), 2u);
    EXPECT_EQ(curve.Start(), 0);
    EXPECT_EQ(curve.End(), 2);
    EXPECT_EQ(curve.Length(), 2);
    EXPECT_NEAR(curve.Evaluate(1), 3, 1e-6f);
}

}  // namespace
