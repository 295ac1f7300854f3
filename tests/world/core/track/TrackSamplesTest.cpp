// The sample track files: each is what the writer makes of its description and loads as a
// sampled track. QUOR_WRITE_SAMPLES=1 rewrites them from the writer.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/world/core/track/TrackTestSupport.h"
#include "world/core/track/TrackBase.h"

namespace {

using namespace quor;
using namespace quor::test;

class TrackSamples : public TrackTest {};

TEST_F(TrackSamples, LoadAsSampledTracks) {
    const std::filesystem::path dir = std::filesystem::path(QUOR_SOURCE_DIR) / "samples" / "track";
    if (std::getenv("QUOR_WRITE_SAMPLES")) {
        std::filesystem::create_directories(dir);
        for (const auto& [name, desc] : SampleTrackFiles()) {
            const std::vector<std::uint8_t> bytes = WriteTrackFile(desc);
            std::ofstream out(dir / (name + ".trk"), std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        }
    }
    for (const auto& [name, desc] : SampleTrackFiles()) {
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
