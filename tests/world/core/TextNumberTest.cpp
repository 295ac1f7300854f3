#include "world/core/TextNumber.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/NumberCases.h"

namespace {

TEST(TextNumber, FollowsTheSharedNumberRules) {
    for (const quor::test::NumberCase& c : quor::test::kNumberCases) {
        EXPECT_EQ(quor::TextToInt(c.text), c.asInt) << c.text;
        const double d = quor::TextToDouble(c.text);
        EXPECT_TRUE(std::isfinite(d)) << c.text;
        EXPECT_DOUBLE_EQ(d, c.asDouble) << c.text;
    }
    EXPECT_EQ(quor::TextToInt(nullptr), 0);
    EXPECT_EQ(quor::TextToDouble(nullptr), 0.0);
}

}  // namespace
