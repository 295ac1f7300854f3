// The shared seeds of the mesh and companion fuzz targets (written by the fuzz build) must
// load, so the fuzzer starts from inputs that reach every block.
#include <gtest/gtest.h>

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

TEST(MeshCorpus, EverySeedLoads) {
    LogCapture log;  // the XML companions need the host's document parser
    for (const auto& [file, bytes] : MeshSeeds()) EXPECT_TRUE(LoadsAsMesh(bytes)) << file;
    for (const auto& [file, bytes] : MoxSeeds()) EXPECT_TRUE(LoadsAsMox(bytes)) << file;
}

}  // namespace
