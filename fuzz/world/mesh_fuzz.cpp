// Feeds arbitrary bytes to the mesh reader as a static or vertex-animated mesh, a skeletal
// mesh, and a socket companion. Nothing may crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>

#include "platform/host/ReferenceHost.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Module.h"
#include "world/mesh/MeshData.h"
#include "world/skeleton/MeshSkeletalData.h"

namespace {

// A reference host (with an empty file system and a muted log) bound once for the run.
quor::host::ReferenceHost& Host() {
    static quor::host::ReferenceHost* host = [] {
        auto* h = new quor::host::ReferenceHost();
        h->log.SetMuted(true);
        h->PublishAll();
        quor::Module::Instance().Register(&h->registry);
        quor::Module::Instance().Initialize(&h->registry);
        return h;
    }();
    return *host;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Host();
    {
        quor::MeshData mesh;
        if (mesh.LoadFromMemory("fuzz.mom", data, size)) mesh.ReadMox(data, size, "fuzz.mox");
    }
    {
        quor::MeshSkeletalData skeletal;
        if (skeletal.LoadFromMemory("fuzz.mom", data, size)) skeletal.LinkSocketsToBones();
    }
    {
        quor::MeshData mesh;
        mesh.ReadMox(data, size, "fuzz.mox");
    }
    return 0;
}
