// The host sequence of the tests, run for as long as a person wants: new seeds one after
// another until the time is up, stopping at the first disagreement with the model.
//     world_soak [minutes=60] [first seed=1] [loader threads=2]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/support/world/scene/HostSequence.h"

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 60.0;
    std::uint32_t seed = argc > 2 ? static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 1u;
    const int threads = argc > 3 ? std::atoi(argv[3]) : 2;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double, std::ratio<60>>(minutes);
    long steps = 0, runs = 0;
    while (std::chrono::steady_clock::now() < end) {
        quor::test::HostSequenceOptions options;
        options.seed = seed;
        options.cpuSeconds = 30.0;
        options.maxSteps = 20000;
        options.loaderThreads = threads;
        const quor::test::HostSequenceResult result = quor::test::RunHostSequence(options);
        steps += result.steps;
        ++runs;
        if (!result.failures.empty()) {
            for (const auto& f : result.failures) std::printf("%s\n", f.c_str());
            return 1;
        }
        std::printf("seed %u: %ld steps (%ld runs, %ld steps in all)\n", seed, result.steps, runs, steps);
        std::fflush(stdout);
        ++seed;
    }
    return 0;
}
