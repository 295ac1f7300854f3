// Seeds of mesh_fuzz: the shared mesh seeds (valid ".mom" files of several versions and
// types), each checked to load, so the fuzzer starts from inputs that reach every block.
#include <cstdio>

#include "fuzz/Seeds.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/mesh/MeshData.h"
#include "world/skeleton/MeshSkeletalData.h"

bool WriteSeeds() {
    bool ok = true;
    for (const auto& [file, bytes] : quor::test::MeshSeeds()) {
        bool loads;
        if (bytes.size() > 9 && bytes[8] == 1) {
            quor::MeshSkeletalData d;
            loads = d.LoadFromMemory("seed.mom", bytes.data(), bytes.size());
        } else {
            quor::MeshData d;
            loads = d.LoadFromMemory("seed.mom", bytes.data(), bytes.size());
        }
        if (!loads) std::fprintf(stderr, "mesh seed %s does not load\n", file.c_str());
        ok = ok && loads;
        quor::seeds::Seed(file, bytes);
    }
    return ok;
}
