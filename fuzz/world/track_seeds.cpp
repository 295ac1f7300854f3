// Seeds of track_fuzz: the sample track files (a first-version file, three channels, a mix of
// Euler, single-value and per-key channels), so the fuzzer starts from inputs that reach every
// channel layout. Every seed must load, or the corpus step fails.
#include <cstdio>

#include "fuzz/Seeds.h"
#include "tests/support/world/TrackFileWriter.h"
#include "world/core/track/TrackData.h"

bool WriteSeeds() {
    bool allLoad = true;
    for (const auto& [name, desc] : quor::test::SampleTrackFiles()) {
        const std::vector<std::uint8_t> bytes = quor::test::WriteTrackFile(desc);
        quor::TrackData data;
        if (!data.LoadFromMemory(bytes.data(), static_cast<std::uint32_t>(bytes.size()))) {
            std::fprintf(stderr, "track seed %s does not load\n", name.c_str());
            allLoad = false;
        }
        quor::seeds::Seed(name + ".trk", bytes);
    }
    return allLoad;
}
