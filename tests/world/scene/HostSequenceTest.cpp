// The module driven as a host drives it, in a seeded random order, against a plain model of
// what should exist (tests/support/world/scene/HostSequence.h). A longer run is the soak
// program bench/soak/WorldSoak.cpp.
#include <gtest/gtest.h>

#include "tests/support/world/scene/HostSequence.h"

namespace {

using quor::test::HostSequenceOptions;
using quor::test::RunHostSequence;

std::string Failures(const quor::test::HostSequenceResult& result) {
    std::string all;
    for (const std::string& f : result.failures) all += f + "\n";
    return all;
}

// Loads run inline at the frames: a few seconds of CPU over fixed seeds.
TEST(HostSequence, SeededRandomOperationsKeepTheModel) {
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        HostSequenceOptions options;
        options.seed = seed;
        options.cpuSeconds = 1.0;
        options.maxSteps = 40000;
        const auto result = RunHostSequence(options);
        EXPECT_TRUE(result.failures.empty()) << Failures(result);
        EXPECT_GT(result.steps, 50);
    }
}

// The loader on real threads while the host goes on: shorter, for the race check.
TEST(HostSequenceThread, LoaderThreadsUnderRandomOperations) {
    HostSequenceOptions options;
    options.seed = 11;
    options.maxSteps = 3000;
    options.cpuSeconds = 0.5;
    options.loaderThreads = 2;
    const auto result = RunHostSequence(options);
    EXPECT_TRUE(result.failures.empty()) << Failures(result);
    EXPECT_GT(result.steps, 20);
}

}  // namespace
