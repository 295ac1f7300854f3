// Seeds of material_fuzz: material groups and materials from the shared writer. Every seed must
// load, or the corpus step fails.
#include <cstdio>

#include "fuzz/Seeds.h"
#include "platform/host/MaterialFormat.h"
#include "tests/support/world/MaterialFileWriter.h"

bool WriteSeeds() {
    bool allLoad = true;
    for (const auto& [name, bytes] : quor::test::MaterialSeeds()) {
        quor::host::MaterialGroupDesc group;
        quor::host::MaterialDesc material;
        std::string error;
        if (!quor::host::ReadMaterialGroup(bytes.data(), bytes.size(), group, error) &&
            !quor::host::ReadMaterial(bytes.data(), bytes.size(), material, error)) {
            std::fprintf(stderr, "material seed %s does not load: %s\n", name.c_str(), error.c_str());
            allLoad = false;
        }
        quor::seeds::Seed(name, bytes);
    }
    return allLoad;
}
