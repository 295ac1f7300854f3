#pragma once
#include <cstdint>

namespace quor::common {

// An open resource file: its whole content as one block, plus a read cursor.
class IResFile {
public:
    virtual const std::uint8_t* GetData() = 0;
    virtual std::uint32_t GetSize() = 0;
    // Copies up to size bytes from the cursor and moves it; returns the bytes copied.
    virtual std::uint32_t Read(void* buffer, std::uint32_t size) = 0;
    // Closes the file; the object is gone afterwards.
    virtual void Close() = 0;

protected:
    ~IResFile() = default;
};

// The host's resource file system. Paths take "\" or "/" and compare without regard
// to ASCII case. Full paths use "\" throughout.
class IResFileSystem {
public:
    // null when the file does not exist.
    virtual IResFile* OpenFile(const char* path, int flags) = 0;
    // Writes the full path of name (cut to size - 1, terminated); false when it does not fit.
    virtual bool MakeFullPath(const char* name, char* buffer, std::uint32_t size) = 0;
    // The resource path of name, as MakeFullPath.
    virtual bool ResolvePath(char* buffer, std::uint32_t size, const char* name) = 0;
    // The root every full path starts with, ending in "\" (or empty).
    virtual const char* GetResourceRoot() = 0;

protected:
    ~IResFileSystem() = default;
};

}  // namespace quor::common
