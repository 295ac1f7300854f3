#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/IResFileSystem.h"

namespace quor::host {

// What every reference resource file system shares: path handling ("\" and "/",
// repeated separators, "." and "..", the root in front or not), the journal of opens
// and closes, and the open-file objects. Subclasses only find and read files.
class ResFileSystemBase : public common::IResFileSystem {
public:
    enum class EventKind { Open, OpenFailed, Close };
    struct Event {
        EventKind kind;
        std::string path;  // as the caller gave it
    };

    common::IResFile* OpenFile(const char* path, int flags) override;
    bool MakeFullPath(const char* name, char* buffer, std::uint32_t size) override;
    bool ResolvePath(char* buffer, std::uint32_t size, const char* name) override;
    const char* GetResourceRoot() override { return m_root.c_str(); }

    std::vector<Event> Events() const;
    int OpenFileCount() const;
    void ClearEvents();

    // The components of path below the root ("..", "." and empty ones resolved away).
    std::vector<std::string> SplitRelative(const char* path) const;
    static std::string JoinComponents(const std::vector<std::string>& parts);
    static bool EqualsNoCase(const std::string& a, const std::string& b);
    static std::string Lower(const std::string& s);

    struct Journal;
    virtual ~ResFileSystemBase();

protected:
    // root: the resource root as components (empty for none).
    explicit ResFileSystemBase(std::vector<std::string> rootComponents);

    // Finds the file; on success fills data and the relative path as stored (actual case).
    virtual bool Load(const std::vector<std::string>& parts, std::vector<std::uint8_t>& data) = 0;
    // The stored spelling of parts when they name something; otherwise parts as given.
    virtual std::vector<std::string> Canonical(const std::vector<std::string>& parts) = 0;

private:
    std::string FullPath(const char* name);

    std::vector<std::string> m_rootParts;
    std::string m_root;
    std::shared_ptr<Journal> m_journal;
};

}  // namespace quor::host
