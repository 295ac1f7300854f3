// Shrub sections of any ini text: loading must never crash, read outside the text or write
// past the shared primitive, and what loads must be consistent: the instance count is
// "ArrayNum", the vertices four per quad, at most 2000.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/host/DirectoryFileSystem.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/IniFile.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Module.h"
#include "world/fx/CrossTexture.h"

namespace {

quor::host::ReferenceHost* g_host = nullptr;

const std::string& Bind() {
    static const std::string dir = [] {
        char name[] = "/tmp/crossini_fuzz.XXXXXX";
        const std::string made = mkdtemp(name) ? name : "/tmp";
        g_host = new quor::host::ReferenceHost(std::make_unique<quor::host::DirectoryFileSystem>(made));
        g_host->PublishAll();
        GetIntf()->Initialize(&g_host->registry);
        quor::Interfaces().renderer = &g_host->renderer;
        g_host->renderer.SetRecordLimit(0);
        return made;
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& dir = Bind();
    std::FILE* f = std::fopen((dir + "/cross.ini").c_str(), "wb");
    if (!f) __builtin_trap();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

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
    return 0;
}
