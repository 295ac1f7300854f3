#pragma once
// A host that does things in any order: a seeded random sequence over the host's operations
// (scenes made, loaded, cleared, destroyed and activated; models made, loaded on the loader,
// cloned, changed, re-parented and released; cameras and tracks; frames in between), each step
// checked against a plain model of what should exist. Used by the tests (a short budget under
// each sanitizer) and by the soak program (as long as a person lets it run).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quor::test {

struct HostSequenceOptions {
    std::uint32_t seed = 1;
    // Stops at whichever comes first: this much CPU time of the process, or this many steps.
    double cpuSeconds = 2.0;
    long maxSteps = 100000;
    // 0: the loader runs its records inline, at the frames; else this many worker threads.
    int loaderThreads = 0;
};

struct HostSequenceResult {
    long steps = 0;
    // The first disagreements with the model, each naming its step and operation.
    std::vector<std::string> failures;
    std::map<std::string, long> operations;
};

HostSequenceResult RunHostSequence(const HostSequenceOptions& options);

}  // namespace quor::test
