#include "platform/win32/Directory.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <vector>

namespace quor::win32 {

namespace {
std::mutex g_overrideMutex;
std::string g_override;
std::string g_drive;

// The entry of dir whose name matches component; the exact spelling wins over others.
std::string MatchComponent(const std::string& dir, const std::string& component) {
    const std::string probe = (dir.empty() ? std::string(".") : dir);
    struct stat st {};
    if (::stat((dir.empty() ? component : dir + "/" + component).c_str(), &st) == 0) return component;
    DIR* d = ::opendir(probe.c_str());
    if (!d) return component;
    std::string found = component;
    while (dirent* e = ::readdir(d)) {
        if (PathEqualsNoCase(component, e->d_name)) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}
}  // namespace

DWORD GetCurrentDirectoryA(DWORD bufferLength, char* buffer) {
    std::string dir;
    {
        std::lock_guard lock(g_overrideMutex);
        dir = g_override;
    }
    if (dir.empty()) {
        std::vector<char> buf(4096);
        if (!::getcwd(buf.data(), buf.size())) return 0;
        dir = buf.data();
    }
    const DWORD needed = static_cast<DWORD>(dir.size() + 1);
    if (!buffer || bufferLength < needed) return needed;
    std::memcpy(buffer, dir.c_str(), needed);
    return needed - 1;
}

void SetCurrentDirectoryOverride(const std::string& directory) {
    std::lock_guard lock(g_overrideMutex);
    g_override = directory;
}

std::string FoldPathCase(std::string_view name) {
    std::string out(name);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsDbcsLeadByte(c)) {
            ++i;  // the trail byte is part of the character, not a letter
        } else if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool PathEqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && FoldPathCase(a) == FoldPathCase(b);
}

std::vector<std::string> SplitWindowsPath(std::string_view path) {
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (IsDbcsLeadByte(static_cast<unsigned char>(c)) && i + 1 < path.size()) {
            part += c;
            part += path[++i];
        } else if (c == '/' || c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

void SetDriveDirectory(const std::string& directory) {
    std::lock_guard lock(g_overrideMutex);
    g_drive = directory;
}

std::string ToHostPath(const std::string& windowsPath) {
    const bool drive = windowsPath.size() >= 2 && windowsPath[1] == ':' &&
                       ((windowsPath[0] >= 'a' && windowsPath[0] <= 'z') || (windowsPath[0] >= 'A' && windowsPath[0] <= 'Z'));
    if (drive) {
        std::string root;
        {
            std::lock_guard lock(g_overrideMutex);
            root = g_drive;
        }
        if (!root.empty()) {
            std::string out = root;
            for (const std::string& p : SplitWindowsPath(std::string_view(windowsPath).substr(2))) {
                if (p == "." || p == "..") continue;  // a drive path stays inside its directory
                if (out.back() != '/') out.push_back('/');
                out.append(MatchComponent(out, p));
            }
            return out;
        }
    }
    const bool absolute = !windowsPath.empty() && (windowsPath[0] == '/' || windowsPath[0] == '\\');
    std::string out;
    if (absolute) out.push_back('/');
    for (const std::string& p : SplitWindowsPath(windowsPath)) {
        const std::string name = (p == "." || p == "..") ? p : MatchComponent(out, p);
        if (!out.empty() && out.back() != '/') out.push_back('/');
        out.append(name);
    }
    if (out.empty() && !windowsPath.empty()) out.push_back('.');
    return out;
}

}  // namespace quor::win32
