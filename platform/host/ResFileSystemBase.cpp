#include "platform/host/ResFileSystemBase.h"

#include "platform/win32/Directory.h"

#include <algorithm>
#include <cstring>

namespace quor::host {

// Shared by the file system and its open files, so a file closed after its file
// system is gone still has somewhere to record that.
struct ResFileSystemBase::Journal {
    std::mutex mutex;
    std::vector<Event> events;
    int openFiles = 0;

    void Add(EventKind kind, std::string path) {
        std::lock_guard lock(mutex);
        events.push_back({kind, std::move(path)});
        if (kind == EventKind::Open) ++openFiles;
        if (kind == EventKind::Close) --openFiles;
    }
};

namespace {

class ResFile final : public common::IResFile {
public:
    ResFile(std::shared_ptr<ResFileSystemBase::Journal> journal, std::string path, std::vector<std::uint8_t> data)
        : m_journal(std::move(journal)), m_path(std::move(path)), m_data(std::move(data)) {}

    const std::uint8_t* GetData() override { return m_data.data(); }
    std::uint32_t GetSize() override { return static_cast<std::uint32_t>(m_data.size()); }
    std::uint32_t Read(void* buffer, std::uint32_t size) override {
        const std::size_t left = m_data.size() - m_cursor;
        const std::size_t n = std::min<std::size_t>(left, size);
        if (n && buffer) std::memcpy(buffer, m_data.data() + m_cursor, n);
        m_cursor += n;
        return static_cast<std::uint32_t>(n);
    }
    void Close() override {
        m_journal->Add(ResFileSystemBase::EventKind::Close, m_path);
        delete this;
    }

private:
    ~ResFile() = default;

    std::shared_ptr<ResFileSystemBase::Journal> m_journal;
    std::string m_path;
    std::vector<std::uint8_t> m_data;
    std::size_t m_cursor = 0;
};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool CopyOut(const std::string& text, char* buffer, std::uint32_t size) {
    if (!buffer || size == 0) return false;
    const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n == text.size();
}

}  // namespace

ResFileSystemBase::ResFileSystemBase(std::vector<std::string> rootComponents)
    : m_rootParts(std::move(rootComponents)), m_journal(std::make_shared<Journal>()) {
    for (const std::string& p : m_rootParts) m_root += "\\" + p;
    if (!m_root.empty()) m_root += "\\";
}

ResFileSystemBase::~ResFileSystemBase() = default;

bool ResFileSystemBase::EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && Lower(a) == Lower(b);
}

std::string ResFileSystemBase::Lower(const std::string& s) { return win32::FoldPathCase(s); }

std::string ResFileSystemBase::JoinComponents(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) {
        if (!out.empty()) out += '\\';
        out += p;
    }
    return out;
}

std::vector<std::string> ResFileSystemBase::SplitRelative(const char* path) const {
    if (!path) return {};
    std::vector<std::string> raw = win32::SplitWindowsPath(path);
    // A path that starts at the top and passes through the root is taken below the root;
    // any other path is relative to the root already.
    std::size_t first = 0;
    if (IsSeparator(path[0]) && !m_rootParts.empty() && raw.size() >= m_rootParts.size() &&
        std::equal(m_rootParts.begin(), m_rootParts.end(), raw.begin(), EqualsNoCase)) {
        first = m_rootParts.size();
    }
    std::vector<std::string> parts;
    for (std::size_t i = first; i < raw.size(); ++i) {
        if (raw[i] == ".") continue;
        if (raw[i] == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(raw[i]);
    }
    return parts;
}

common::IResFile* ResFileSystemBase::OpenFile(const char* path, int flags) {
    const std::string asked = path ? path : "";
    std::vector<std::string> parts = SplitRelative(path);
    std::vector<std::uint8_t> data;
    if (parts.empty() || !Load(parts, data)) {
        m_journal->Add(EventKind::OpenFailed, asked);
        return nullptr;
    }
    m_journal->Add(EventKind::Open, asked);
    return new ResFile(m_journal, asked, std::move(data));
}

std::string ResFileSystemBase::FullPath(const char* name) {
    return m_root + JoinComponents(Canonical(SplitRelative(name)));
}

bool ResFileSystemBase::MakeFullPath(const char* name, char* buffer, std::uint32_t size) {
    return CopyOut(FullPath(name), buffer, size);
}

bool ResFileSystemBase::ResolvePath(char* buffer, std::uint32_t size, const char* name) {
    return CopyOut(FullPath(name), buffer, size);
}

std::vector<ResFileSystemBase::Event> ResFileSystemBase::Events() const {
    std::lock_guard lock(m_journal->mutex);
    return m_journal->events;
}

int ResFileSystemBase::OpenFileCount() const {
    std::lock_guard lock(m_journal->mutex);
    return m_journal->openFiles;
}

void ResFileSystemBase::ClearEvents() {
    std::lock_guard lock(m_journal->mutex);
    m_journal->events.clear();
}

}  // namespace quor::host
