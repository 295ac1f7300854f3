#include "platform/host/MemoryFileSystem.h"

#include "platform/win32/Directory.h"

namespace quor::host {

MemoryFileSystem::MemoryFileSystem(const std::string& root)
    : ResFileSystemBase(win32::SplitWindowsPath(root)) {}

void MemoryFileSystem::AddFile(const std::string& path, std::vector<std::uint8_t> data) {
    const std::string rel = JoinComponents(SplitRelative(path.c_str()));
    std::lock_guard lock(m_mutex);
    m_files[Lower(rel)] = File{rel, std::move(data)};
}

void MemoryFileSystem::AddFile(const std::string& path, std::string_view text) {
    AddFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

bool MemoryFileSystem::RemoveFile(const std::string& path) {
    const std::string key = Lower(JoinComponents(SplitRelative(path.c_str())));
    std::lock_guard lock(m_mutex);
    return m_files.erase(key) > 0;
}

bool MemoryFileSystem::Load(const std::vector<std::string>& parts, std::vector<std::uint8_t>& data) {
    std::lock_guard lock(m_mutex);
    auto it = m_files.find(Lower(JoinComponents(parts)));
    if (it == m_files.end()) return false;
    data = it->second.data;
    return true;
}

std::vector<std::string> MemoryFileSystem::Canonical(const std::vector<std::string>& parts) {
    std::lock_guard lock(m_mutex);
    auto it = m_files.find(Lower(JoinComponents(parts)));
    if (it == m_files.end()) return parts;
    return win32::SplitWindowsPath(it->second.spelling);
}

}  // namespace quor::host
