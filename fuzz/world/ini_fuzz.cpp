// Ini files of any bytes: loading must never crash or read outside the file, and what
// loads must save and load back: every key is found again with its value.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/world/MemoryHost.h"
#include "platform/host/DirectoryFileSystem.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/IniFile.h"
#include "world/core/Module.h"

namespace {

// A directory of this process, bound as the resource root: in memory (/dev/shm) where there
// is one, since every input is written and saved there; a disk file system flushes a file
// truncated and rewritten on every close, which cuts the run to a few hundred inputs a second.
const std::string& Bind() {
    static const std::string dir = []() -> std::string {
        char shm[] = "/dev/shm/ini_fuzz.XXXXXX";
        char tmp[] = "/tmp/ini_fuzz.XXXXXX";
        const char* made = mkdtemp(shm);
        if (!made) made = mkdtemp(tmp);
        if (!made) made = "/tmp";
        auto* host = new quor::host::ReferenceHost(std::make_unique<quor::host::DirectoryFileSystem>(made));
        host->log.SetMuted(true);
        quor::fuzz::KeepNoRecords(*host);
        host->PublishAll();
        GetIntf()->Initialize(&host->registry);
        return made;
    }();
    return dir;
}

bool HasZero(const std::string& s) { return s.find('\0') != std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& dir = Bind();
    std::FILE* f = std::fopen((dir + "/fuzz.ini").c_str(), "wb");
    if (!f) __builtin_trap();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    quor::IniFile ini("fuzz.ini");
    if (!ini.Load()) __builtin_trap();
    // Text files cannot carry a zero byte in a name or value: "%s" ends the text there (and a cut
    // value may end in blanks the next load trims). Such input has no round trip to check.
    bool zeroByte = false;
    for (const auto& section : ini.Sections()) {
        zeroByte = zeroByte || HasZero(section.name);
        for (const auto& pair : section.pairs) {
            zeroByte = zeroByte || HasZero(pair.key) || HasZero(pair.value);
            if (HasZero(section.name) || HasZero(pair.key)) continue;
            if (!ini.HasKey(section.name.c_str(), pair.key.c_str())) __builtin_trap();
            (void)ini.GetFloat(section.name.c_str(), pair.key.c_str(), 0.0f);
            (void)ini.GetInt(section.name.c_str(), pair.key.c_str(), 0);
        }
    }
    if (zeroByte) {
        quor::fuzz::EndInput();
        return 0;
    }

    if (!ini.Save()) __builtin_trap();
    quor::IniFile back("fuzz.ini");
    if (!back.Load()) __builtin_trap();
    for (const auto& section : ini.Sections()) {
        for (const auto& pair : section.pairs) {
            const char* before = ini.GetString(section.name.c_str(), pair.key.c_str(), nullptr);
            const char* after = back.GetString(section.name.c_str(), pair.key.c_str(), nullptr);
            if (!before || !after) __builtin_trap();
            if (std::string(after) != std::string(before)) __builtin_trap();
        }
    }
    quor::fuzz::EndInput();
    return 0;
}
