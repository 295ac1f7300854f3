// Shrub sections of any ini text: loading must never crash, read outside the text or write
// past the shared primitive, and what loads must be consistent: the instance count is
// "ArrayNum", the vertices four per quad, at most 2000.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/world/MemoryHost.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/IniFile.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Module.h"
#include "world/fx/CrossTexture.h"

namespace {

// The host over a memory file system: each input is a file in memory, not on disk.
quor::host::MemoryFileSystem& Files() {
    static quor::host::MemoryFileSystem* files = [] {
        auto owned = std::make_unique<quor::host::MemoryFileSystem>();
        quor::host::MemoryFileSystem* raw = owned.get();
        auto* host = new quor::host::ReferenceHost(std::move(owned));
        host->log.SetMuted(true);
        quor::fuzz::KeepNoRecords(*host);
        host->PublishAll();
        GetIntf()->Initialize(&host->registry);
        quor::Interfaces().renderer = &host->renderer;
        return raw;
    }();
    return *files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Files().AddFile("cross.ini", std::vector<std::uint8_t>(data, data + size));

    quor::IniFile ini("cross.ini");
    if (!ini.Load()) __builtin_trap();
    for (const auto& section : ini.Sections()) {
        quor::world::CrossTexture shrubs;
        const bool ok = shrubs.LoadIni(ini, section.name.c_str());
        const int count = shrubs.GetArrayNum();
        if (int(shrubs.GetInstances().size()) != count) __builtin_trap();
        if (shrubs.GetVertexCount() != count * shrubs.GetCrossNum() * 4) __builtin_trap();
        if (shrubs.GetVertexCount() > quor::world::CrossTexture::kMaxVertices) __builtin_trap();
        if (!ok && count != 0) __builtin_trap();
        shrubs.Update(0.05f);
        shrubs.Draw();
        auto* p = static_cast<quor::host::RecordingPrimitive*>(quor::world::CrossTexture::SharedPrimitive());
        if (p && p->badWrites) __builtin_trap();
    }
    // The shared primitive lives on and records its calls: start each input afresh.
    if (auto* p = static_cast<quor::host::RecordingPrimitive*>(quor::world::CrossTexture::SharedPrimitive())) {
        std::vector<std::string>().swap(p->calls);
        std::vector<quor::host::PrimitiveDraw>().swap(p->draws);
    }
    quor::fuzz::EndInput();
    return 0;
}
