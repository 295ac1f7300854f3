// Seeds of mox_fuzz: the shared companion seeds, binary and XML, each checked to load.
#include <cstdio>

#include "fuzz/Seeds.h"
#include "tests/support/world/BoundHost.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/mesh/MeshData.h"

bool WriteSeeds() {
    quor::test::BoundHost bound;  // the XML companions need the host's document parser
    bool ok = true;
    for (const auto& [file, bytes] : quor::test::MoxSeeds()) {
        quor::MeshData d;
        const bool loads = d.ReadMox(bytes.data(), bytes.size(), "seed.mox") && !d.sockets.empty();
        if (!loads) std::fprintf(stderr, "companion seed %s does not load\n", file.c_str());
        ok = ok && loads;
        quor::seeds::Seed(file, bytes);
    }
    return ok;
}
