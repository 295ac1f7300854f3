// Writes the seed corpus of the track fuzz target, and checks the sample track files: each
// must load as a sampled track. QUOR_WRITE_SAMPLES=1 rewrites the samples from the writer.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "world/core/track/TrackBase.h"
#include "tests/world/core/track/TrackTestSupport.h"
#include "world/core/track/TrackData.h"

namespace {

using namespace quor;
using namespace quor::test;

std::vector<std::pair<std::string, TrackFileDesc>> Seeds() {
    std::vector<std::pair<std::string, TrackFileDesc>> seeds;
    seeds.emplace_back("walk_v10000", MakeTrackFile(4, 1, 0x10000));
    seeds.back().second.body.channelFlags = 5;
    seeds.emplace_back("three_channels", MakeTrackFile(5, 3));
    TrackFileDesc mixed = MakeTrackFile(6, 0);
    mixed.body.flags[1] = 1;  // go-and-return
    mixed.body.channels.push_back(MakeTrackChannel(6, false, true, false, 2, 0));
    mixed.body.channels.push_back(MakeTrackChannel(6, true, false, true, 0, 1));
    mixed.body.channels.push_back(MakeTrackChannel(6, false, false, false, 0, 2));
    seeds.emplace_back("mixed_euler", mixed);
    return seeds;
}

void Save(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

class TrackCorpus : public TrackTest {};

TEST_F(TrackCorpus, WritesSeeds) {
    const std::filesystem::path dir = std::filesystem::path(QUOR_BINARY_DIR) / "corpus" / "track";
    std::filesystem::create_directories(dir);
    for (const auto& [name, desc] : Seeds()) {
        const std::vector<std::uint8_t> bytes = WriteTrackFile(desc);
        TrackData data;
        EXPECT_TRUE(data.LoadFromMemory(bytes.data(), static_cast<std::uint32_t>(bytes.size()))) << name;
        Save(dir / (name + ".trk"), bytes);
    }
}

TEST_F(TrackCorpus, SamplesLoad) {
    const std::filesystem::path dir = std::filesystem::path(QUOR_SOURCE_DIR) / "samples" / "track";
    if (std::getenv("QUOR_WRITE_SAMPLES")) {
        std::filesystem::create_directories(dir);
        for (const auto& [name, desc] : Seeds()) Save(dir / (name + ".trk"), WriteTrackFile(desc));
    }
    for (const auto& [name, desc] : Seeds()) {
        SCOPED_TRACE(name);
        std::ifstream in(dir / (name + ".trk"), std::ios::binary);
        ASSERT_TRUE(in.good());
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(bytes, WriteTrackFile(desc));
        AddFile("track/" + name + ".trk", bytes);
        world::TrackBase* t = world::TrackRegistry::GetInstance().LoadTrackFile(("track\\" + name + ".trk").c_str());
        ASSERT_NE(t, nullptr);
        EXPECT_TRUE(t->Start());
    }
}

}  // namespace
