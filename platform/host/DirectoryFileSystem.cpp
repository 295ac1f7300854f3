#include "platform/host/DirectoryFileSystem.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

namespace quor::host {

namespace {

std::string Absolute(const std::string& directory) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(directory.empty() ? "." : directory, ec);
    if (ec) return directory;
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

std::vector<std::string> PathComponents(const std::string& absolute) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : absolute) {
        if (c == '/') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

// The entry of dir named like name (exact spelling first, then any ASCII case).
bool FindEntry(const std::string& dir, const std::string& name, std::string& found) {
    struct stat st {};
    if (::stat((dir + "/" + name).c_str(), &st) == 0) {
        found = name;
        return true;
    }
    DIR* d = ::opendir(dir.c_str());
    if (!d) return false;
    bool ok = false;
    while (dirent* e = ::readdir(d)) {
        if (ResFileSystemBase::EqualsNoCase(name, e->d_name)) {
            found = e->d_name;
            ok = true;
            break;
        }
    }
    ::closedir(d);
    return ok;
}

}  // namespace

DirectoryFileSystem::DirectoryFileSystem(const std::string& directory) : DirectoryFileSystem(Absolute(directory), 0) {}

DirectoryFileSystem::DirectoryFileSystem(const std::string& absolute, int)
    : ResFileSystemBase(PathComponents(absolute)), m_directory(absolute) {}

std::vector<std::string> DirectoryFileSystem::Canonical(const std::vector<std::string>& parts) {
    std::vector<std::string> out;
    std::string dir = m_directory;
    bool exists = true;
    for (const std::string& p : parts) {
        std::string found;
        if (exists && FindEntry(dir, p, found)) {
            out.push_back(found);
            dir += "/" + found;
        } else {
            exists = false;
            out.push_back(p);
        }
    }
    return out;
}

bool DirectoryFileSystem::Load(const std::vector<std::string>& parts, std::vector<std::uint8_t>& data) {
    std::string path = m_directory;
    for (const std::string& p : parts) {
        std::string found;
        if (!FindEntry(path, p, found)) return false;
        path += "/" + found;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    data.clear();
    unsigned char chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0) data.insert(data.end(), chunk, chunk + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

}  // namespace quor::host
