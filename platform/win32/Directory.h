#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/Types.h"

namespace quor::win32 {

// As the Win32 call: copies the current directory with its terminator and returns its
// length; when the buffer is too small, returns the size needed (terminator included)
// and leaves the buffer alone. 0 on failure.
DWORD GetCurrentDirectoryA(DWORD bufferLength, char* buffer);

// Tests point the current directory somewhere else without chdir; empty restores it.
void SetCurrentDirectoryOverride(const std::string& directory);

// The components of a path written for Windows: "\" and "/" both separate, and empty
// components (repeated or trailing separators) are dropped.
std::vector<std::string> SplitWindowsPath(std::string_view path);

// Turns a path written for Windows ("\" or "/" separators, any ASCII case) into a path
// of this file system: separators become "/", repeated ones collapse, and each existing
// component is matched ASCII-case-insensitively against the directory that holds it.
// Components that do not exist are kept as written.
std::string ToHostPath(const std::string& windowsPath);

}  // namespace quor::win32
