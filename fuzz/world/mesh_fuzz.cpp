// Feeds arbitrary bytes to the mesh reader as a static or vertex-animated mesh and as a
// skeletal mesh. Nothing may crash, leak or read out of bounds; what loads must hold together
// and what fails must leave nothing behind.
#include <cstddef>
#include <cstdint>

#include "fuzz/world/MeshInvariants.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/Module.h"

namespace {

// A reference host (with an empty file system and a muted log) bound once for the run.
void BindHost() {
    static quor::host::ReferenceHost* host = [] {
        auto* h = new quor::host::ReferenceHost();
        h->log.SetMuted(true);
        h->PublishAll();
        quor::Module::Instance().Register(&h->registry);
        quor::Module::Instance().Initialize(&h->registry);
        // Dataless LOD blocks make arrays of defaults from counts no bytes back; at the
        // reader's 16 MB an input spends its time filling them.
        quor::MeshVertexData::SetMaxDatalessBytes(64 << 10);
        return h;
    }();
    (void)host;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    BindHost();
    {
        quor::MeshData mesh;
        if (mesh.LoadFromMemory("fuzz.mom", data, size)) {
            quor::fuzz::CheckLoaded(mesh);
        } else {
            quor::fuzz::CheckEmpty(mesh);
        }
    }
    {
        quor::MeshSkeletalData skeletal;
        if (skeletal.LoadFromMemory("fuzz.mom", data, size)) {
            quor::fuzz::CheckLoaded(skeletal);
            const int linked = skeletal.LinkSocketsToBones();
            quor::fuzz::Require(linked == 1 || linked == 5);
        } else {
            quor::fuzz::CheckEmpty(skeletal);
        }
    }
    return 0;
}
