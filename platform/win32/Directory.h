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

// Names in data files are in a double-byte code page (GBK): a byte from 0x81 to 0xFE leads a
// two-byte character whose second byte may be "\" or an ASCII letter. Path splitting and case
// folding step over that second byte.
inline bool IsDbcsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// ASCII letters folded to lower case; the bytes of double-byte characters are kept as they are.
std::string FoldPathCase(std::string_view name);
// Whether two names are the same file name: equal after FoldPathCase.
bool PathEqualsNoCase(std::string_view a, std::string_view b);

// The components of a path written for Windows: "\" and "/" both separate, and empty
// components (repeated or trailing separators) are dropped. The second byte of a
// double-byte character never separates.
std::vector<std::string> SplitWindowsPath(std::string_view path);

// Turns a path written for Windows ("\" or "/" separators, any ASCII case) into a path
// of this file system: separators become "/", repeated ones collapse, and each existing
// component is matched ASCII-case-insensitively against the directory that holds it.
// Components that do not exist are kept as written.
std::string ToHostPath(const std::string& windowsPath);

// Where drive paths ("d:\\name", "d://name", any letter) resolve: the rest of the path is
// taken under this host directory. Empty (the default): drive paths are kept as written.
void SetDriveDirectory(const std::string& directory);

}  // namespace quor::win32
