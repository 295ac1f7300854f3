// Writes the seed corpora of the skeletal animation fuzz targets ("skelanim" for files,
// "skelags" for companions); every seed must load.
#include <filesystem>
#include <fstream>

#include "tests/world/skeleton/SkelTestSupport.h"

namespace {

using namespace quor;
using namespace quor::test;

void Save(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

class SkelAnimCorpus : public SkelTest {};

TEST_F(SkelAnimCorpus, WritesSeeds) {
    const std::filesystem::path dir = std::filesystem::path(QUOR_BINARY_DIR) / "corpus" / "skelanim";
    std::filesystem::create_directories(dir);
    const std::uint32_t versions[] = {0x20000, 0x20001, 0x30001, 0x30003, 0x30004, 0x40001, 0x40003};
    for (std::uint32_t v : versions) {
        SkelAnimFileDesc desc = MakeSkelAnimFile(v, 3, 2);
        desc.records[0].events = {{1, "morph: L"}, {2, "step"}};
        desc.records[0].pivotBone = 1;
        desc.records[0].pivotFlags = 2;
        if (v >= 0x40001) {
            desc.records[1].hasPivotTrack = true;
            desc.records[1].pivotTrack.times = {0, 100, 200, 300};
            desc.records[1].pivotTrack.channels.push_back(MakeTrackChannel(4, true, true, false, 3, 0));
        }
        const auto bytes = WriteSkelAnimFile(desc);
        SkelAnimsData data;
        EXPECT_TRUE(data.LoadImage(bytes.data(), bytes.size(), "seed.san", "Bone1")) << std::hex << v;
        char name[32];
        std::snprintf(name, sizeof name, "v%05x.san", v);
        Save(dir / name, bytes);
    }
    const std::filesystem::path ags = std::filesystem::path(QUOR_BINARY_DIR) / "corpus" / "skelags";
    std::filesystem::create_directories(ags);
    AgsDesc a;
    a.groupsVersion = "2";
    a.groups = {{"move", {{"walk", {{"Weight", "0.5"}, {"Priority", "1"}}}, {"run", {{"SyncTo", "0"}}}}},
                {"rest", {{"idle", {{"Loop", "false"}, {"StartTime", "20"}}}}}};
    a.sequences = {{"day", {{"walk", {{"TransitType", "4"}, {"TransitTimeLength", "100"}}},
                            {"move", {{"IsGroup", "true"}, {"Duration", "2"}}}}}};
    const std::string text = WriteAgs(a);
    Save(ags / "groups.ags", TextBytes(text));
}

}  // namespace
