// Seeds of skelanim_fuzz: one animation file per version step from the writer, with events, a
// marker, pivot flags and (from 0x40001) a stored pivot track, so the fuzzer starts from inputs
// that reach every record layout. Every seed must load, or the corpus step fails.
#include <cstdio>

#include "fuzz/Seeds.h"
#include "tests/support/world/SkelAnimFileWriter.h"
#include "tests/support/world/TrackFileWriter.h"
#include "world/skeleton/SkelAnimsData.h"

bool WriteSeeds() {
    bool allLoad = true;
    const std::uint32_t versions[] = {0x20000, 0x20001, 0x30001, 0x30003, 0x30004, 0x40001, 0x40003};
    for (std::uint32_t v : versions) {
        quor::test::SkelAnimFileDesc desc = quor::test::MakeSkelAnimFile(v, 3, 2);
        desc.records[0].events = {{1, "morph: L"}, {2, "step"}};
        desc.records[0].pivotBone = 1;
        desc.records[0].pivotFlags = 2;
        if (v >= 0x40001) {
            desc.records[1].hasPivotTrack = true;
            desc.records[1].pivotTrack.times = {0, 100, 200, 300};
            desc.records[1].pivotTrack.channels.push_back(quor::test::MakeTrackChannel(4, true, true, false, 3, 0));
        }
        const std::vector<std::uint8_t> bytes = quor::test::WriteSkelAnimFile(desc);
        quor::SkelAnimsData data;
        char name[32];
        std::snprintf(name, sizeof name, "v%05x.san", v);
        if (!data.LoadImage(bytes.data(), bytes.size(), name, "Bone1")) {
            std::fprintf(stderr, "skeletal animation seed %s does not load\n", name);
            allLoad = false;
        }
        quor::seeds::Seed(name, bytes);
    }
    return allLoad;
}
