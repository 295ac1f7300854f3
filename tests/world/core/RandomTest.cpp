#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/Thread.h"
#include "world/core/Random.h"

namespace {

// The first values of the runtime generator from seed 1.
const std::vector<int> kFirst = {41, 18467, 6334, 26500, 19169};

std::vector<int> Draw(int n) {
    std::vector<int> out;
    for (int i = 0; i < n; ++i) out.push_back(quor::Rand());
    return out;
}

TEST(Random, EveryThreadStartsFromSeedOne) {
    std::vector<int> inThread;
    quor::win32::Thread t;
    t.Start([&] {
        inThread = Draw(5);
        return quor::win32::DWORD{0};
    });
    t.Join();
    EXPECT_EQ(inThread, kFirst);
    quor::SeedRand(1);
    EXPECT_EQ(Draw(5), kFirst);
    for (int v : Draw(1000)) {
        EXPECT_GE(v, 0);
        EXPECT_LE(v, quor::kRandMax);
    }
}

}  // namespace
