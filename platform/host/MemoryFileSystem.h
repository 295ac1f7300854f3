#pragma once
#include <map>
#include <string_view>

#include "platform/host/ResFileSystemBase.h"

namespace quor::host {

// Resources kept in memory, added by tests. Names keep the spelling they were added
// with and are found in any ASCII case.
class MemoryFileSystem final : public ResFileSystemBase {
public:
    // root: the resource root reported to callers, as components ("mem" gives "\mem\").
    explicit MemoryFileSystem(const std::string& root = "mem");

    void AddFile(const std::string& path, std::vector<std::uint8_t> data);
    void AddFile(const std::string& path, std::string_view text);
    bool RemoveFile(const std::string& path);

protected:
    bool Load(const std::vector<std::string>& parts, std::vector<std::uint8_t>& data) override;
    std::vector<std::string> Canonical(const std::vector<std::string>& parts) override;

private:
    struct File {
        std::string spelling;  // relative path as added, "\"-separated
        std::vector<std::uint8_t> data;
    };

    std::mutex m_mutex;
    std::map<std::string, File> m_files;  // keyed by the lowered relative path
};

}  // namespace quor::host
