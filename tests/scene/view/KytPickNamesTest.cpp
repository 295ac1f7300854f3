#include <gtest/gtest.h>

#include <vector>

#include "scene/view/KytPickNames.h"

namespace {

TEST(KytPickNames, NamesLiveForOnePass)
{
    int a = 0, b = 0;
    std::vector<double> items(1000);
    EXPECT_EQ(KytPickNames::Name(&a), KytPickNames::kUnnamed);  // no pass open
    KytPickNames::Begin();
    const uint32_t ia = KytPickNames::Name(&a);
    const uint32_t range = KytPickNames::NameRange(items.data(), sizeof(double), items.size());
    const uint32_t ib = KytPickNames::Name(&b);
    KytPickNames::End();
    for (uint32_t id : {ia, ib, range, range + 999}) {
        EXPECT_GT(id, 0xFFFFu);
        EXPECT_NE(id, 0xFFFFFFFFu);
        EXPECT_NE(id, KytPickNames::kUnnamed);
    }
    EXPECT_EQ(KytPickNames::Lookup(ia), &a);
    EXPECT_EQ(KytPickNames::Lookup(ib), &b);
    EXPECT_EQ(KytPickNames::Lookup(range), &items[0]);
    EXPECT_EQ(KytPickNames::Lookup(range + 537), &items[537]);
    EXPECT_EQ(KytPickNames::Lookup(range + 999), &items[999]);
    EXPECT_EQ(KytPickNames::Lookup(ib + 1), nullptr);
    EXPECT_EQ(KytPickNames::Lookup(5), nullptr);
    EXPECT_EQ(KytPickNames::Lookup(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(KytPickNames::Count(), 1002u);
    // Closed: naming answers the fixed id, lookups still work until the next pass.
    EXPECT_EQ(KytPickNames::Name(&a), KytPickNames::kUnnamed);
    EXPECT_EQ(KytPickNames::Lookup(ia), &a);
    KytPickNames::Begin();
    EXPECT_EQ(KytPickNames::Lookup(ia), nullptr);
    EXPECT_EQ(KytPickNames::Name(nullptr), KytPickNames::kUnnamed);
    EXPECT_EQ(KytPickNames::NameRange(items.data(), 8, 0), KytPickNames::kUnnamed);
    KytPickNames::End();
}

}  // namespace
