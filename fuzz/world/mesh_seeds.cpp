// Seeds of mesh_fuzz: valid ".mom" files of several versions and types from the shared writer,
// so the fuzzer starts from inputs that reach every block. Every seed must load, or the corpus
// step fails.
#include <cstdio>

#include "fuzz/Seeds.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/mesh/MeshData.h"
#include "world/skeleton/MeshSkeletalData.h"

bool WriteSeeds() {
    bool allLoad = true;
    for (const auto& [name, bytes] : quor::test::MeshSeeds()) {
        bool loads;
        if (bytes.size() > 9 && bytes[8] == 1) {
            quor::MeshSkeletalData d;
            loads = d.LoadFromMemory("seed.mom", bytes.data(), bytes.size());
        } else {
            quor::MeshData d;
            loads = d.LoadFromMemory("seed.mom", bytes.data(), bytes.size());
        }
        if (!loads) {
            std::fprintf(stderr, "mesh seed %s does not load\n", name.c_str());
            allLoad = false;
        }
        quor::seeds::Seed(name, bytes);
    }
    return allLoad;
}
