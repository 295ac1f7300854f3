#pragma once
#include "platform/host/ResFileSystemBase.h"

namespace quor::host {

// Resources under one directory of the disk. Each file is read whole when opened.
class DirectoryFileSystem final : public ResFileSystemBase {
public:
    // directory: an absolute or relative path of this machine.
    explicit DirectoryFileSystem(const std::string& directory);

    // The directory as this machine names it (absolute).
    const std::string& Directory() const { return m_directory; }

protected:
    bool Load(const std::vector<std::string>& parts, std::vector<std::uint8_t>& data) override;
    std::vector<std::string> Canonical(const std::vector<std::string>& parts) override;

private:
    DirectoryFileSystem(const std::string& absolute, int);

    std::string m_directory;
};

}  // namespace quor::host
