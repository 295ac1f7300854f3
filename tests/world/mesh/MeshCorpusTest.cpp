// Writes the seed corpora of the mesh and companion fuzz targets from the shared writers, and
// checks that every mesh seed loads, so the fuzzer starts from inputs that reach every block.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/world/LogCapture.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/mesh/MeshData.h"
#include "world/skeleton/MeshSkeletalData.h"

namespace {

using namespace quor::test;

bool LoadsAsMesh(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() > 9 && bytes[8] == 1) {
        quor::MeshSkeletalData d;
        return d.LoadFromMemory("seed.mom", bytes.data(), bytes.size());
    }
    quor::MeshData d;
    return d.LoadFromMemory("seed.mom", bytes.data(), bytes.size());
}

bool LoadsAsMox(const std::vector<std::uint8_t>& bytes) {
    quor::MeshData d;
    return d.ReadMox(bytes.data(), bytes.size(), "seed.mox") && !d.sockets.empty();
}

void WriteCorpus(const std::string& name, const std::vector<SeedFile>& seeds, bool (*loads)(const std::vector<std::uint8_t>&)) {
    const std::filesystem::path dir = std::filesystem::path(QUOR_BINARY_DIR) / "corpus" / name;
    std::filesystem::create_directories(dir);
    for (const auto& [file, bytes] : seeds) {
        EXPECT_TRUE(loads(bytes)) << file;
        std::ofstream out(dir / file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        ASSERT_TRUE(out.good()) << file;
    }
}

TEST(MeshCorpus, WritesSeeds) {
    LogCapture log;  // the XML companions need the host's document parser
    WriteCorpus("mesh", MeshSeeds(), LoadsAsMesh);
    WriteCorpus("mox", MoxSeeds(), LoadsAsMox);
}

}  // namespace
