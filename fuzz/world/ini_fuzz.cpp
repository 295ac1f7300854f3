// Ini files of any bytes: loading must never crash or read outside the file, and what
// loads must save and load back to the same sections.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/IniFile.h"
#include "world/core/Module.h"

namespace {
quor::host::MemoryFileSystem* Bind() {
    static quor::host::ReferenceHost* host = [] {
        auto* h = new quor::host::ReferenceHost(std::make_unique<quor::host::MemoryFileSystem>());
        h->PublishAll();
        GetIntf()->Initialize(&h->registry);
        return h;
    }();
    return static_cast<quor::host::MemoryFileSystem*>(host->files.get());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quor::host::MemoryFileSystem* files = Bind();
    files->AddFile("fuzz.ini", std::string_view(reinterpret_cast<const char*>(data), size));
    quor::IniFile ini("fuzz.ini");
    if (!ini.Load()) __builtin_trap();
    for (const auto& section : ini.Sections()) {
        for (const auto& pair : section.pairs) {
            // Names with a zero byte cannot be asked for through the text interface.
            if (section.name.find('\0') != std::string::npos || pair.key.find('\0') != std::string::npos) continue;
            if (!ini.HasKey(section.name.c_str(), pair.key.c_str())) __builtin_trap();
            (void)ini.GetFloat(section.name.c_str(), pair.key.c_str(), 0.0f);
            (void)ini.GetInt(section.name.c_str(), pair.key.c_str(), 0);
        }
    }
    return 0;
}
