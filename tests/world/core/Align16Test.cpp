#include "world/core/Align16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace {

struct Aligned : quor::Align16 {
    float m[16];
};

TEST(Align16, AddressesAreMultiplesOf16WhateverTheSwitch) {
    for (bool on : {false, true}) {
        quor::SetUseAlignedAlloc(on);
        for (int i = 0; i < 64; ++i) {
            std::unique_ptr<Aligned> one(new Aligned);
            std::unique_ptr<Aligned[]> many(new Aligned[i + 1]);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(one.get()) % 16, 0u);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(many.get()) % 16, 0u);
        }
    }
    quor::SetUseAlignedAlloc(false);
}

TEST(Align16, ObjectMadeBeforeTheSwitchIsReleasedAfterIt) {
    quor::SetUseAlignedAlloc(false);
    auto* early = new Aligned;
    quor::SetUseAlignedAlloc(true);
    delete early;  // the sanitizers catch a mismatched release
    quor::SetUseAlignedAlloc(false);
}

}  // namespace
