// Feeds arbitrary bytes to the socket companion reader, binary ("QMEX") and XML alike. A
// companion that yields sockets replaces the mesh's; one that does not keeps them unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/world/MeshInvariants.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/Module.h"

namespace {

void BindHost() {
    static quor::host::ReferenceHost* host = [] {
        auto* h = new quor::host::ReferenceHost();
        h->log.SetMuted(true);
        h->PublishAll();
        quor::Module::Instance().Register(&h->registry);
        quor::Module::Instance().Initialize(&h->registry);
        return h;
    }();
    (void)host;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    BindHost();
    quor::MeshData mesh;
    // One socket of the mesh's own, which a companion without sockets must leave in place.
    mesh.sockets.push_back(std::make_unique<quor::MeshSocket>());
    std::memcpy(mesh.sockets[0]->name, "own", 4);
    const quor::MeshSocket* own = mesh.sockets[0].get();
    mesh.socketVersion = 0x30011;
    if (mesh.ReadMox(data, size, "fuzz.mox")) {
        quor::fuzz::Require(!mesh.sockets.empty());
        quor::fuzz::CheckSockets(mesh.sockets);
        if (!mesh.socketsFromXml) {
            // A binary companion gives its sockets its own version word.
            quor::fuzz::Require(size >= 10 && std::memcmp(data, "QMEX", 4) == 0);
            quor::fuzz::Require(mesh.socketVersion == quor::BinaryReader::LoadU32(data + 4));
        }
    } else {
        quor::fuzz::Require(mesh.sockets.size() == 1 && mesh.sockets[0].get() == own);
        quor::fuzz::Require(mesh.socketVersion == 0x30011 && !mesh.socketsFromXml);
    }
    return 0;
}
