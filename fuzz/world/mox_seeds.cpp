// Seeds of mox_fuzz: binary and XML socket companions from the shared writer. Every seed must
// yield sockets, or the corpus step fails.
#include <cstdio>

#include "fuzz/Seeds.h"
#include "platform/host/ReferenceHost.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/core/Module.h"
#include "world/mesh/MeshData.h"

bool WriteSeeds() {
    // The XML companions are parsed by the host's document model.
    quor::host::ReferenceHost host;
    host.log.SetMuted(true);
    host.PublishAll();
    quor::Module::Instance().Register(&host.registry);
    quor::Module::Instance().Initialize(&host.registry);
    bool allLoad = true;
    for (const auto& [name, bytes] : quor::test::MoxSeeds()) {
        quor::MeshData d;
        if (!d.ReadMox(bytes.data(), bytes.size(), "seed.mox") || d.sockets.empty()) {
            std::fprintf(stderr, "companion seed %s gives no sockets\n", name.c_str());
            allLoad = false;
        }
        quor::seeds::Seed(name, bytes);
    }
    quor::Module::Instance().Shutdown();
    return allLoad;
}
