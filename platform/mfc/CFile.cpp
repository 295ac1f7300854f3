#include "platform/mfc/CFile.h"

#include <atomic>
#include <cerrno>

namespace {

std::atomic<int> g_open{0};

int CauseOf(int err) {
    switch (err) {
    case ENOENT: return CFileException::fileNotFound;
    case EACCES:
    case EPERM: return CFileException::accessDenied;
    case ENOSPC: return CFileException::diskFull;
    default: return CFileException::generic;
    }
}

}  // namespace

CFile::~CFile() {
    if (file_) {
        std::fclose(file_);
        --g_open;
    }
}

bool CFile::Open(const char* fileName, unsigned int flags, CFileException* error) {
    if (file_) Close();
    if (!fileName) {
        if (error) *error = CFileException(CFileException::fileNotFound, "");
        return false;
    }
    const bool write = flags & (modeWrite | modeReadWrite);
    const char* mode = "rb";
    if (write) {
        if ((flags & modeCreate) && !(flags & modeNoTruncate)) mode = (flags & modeReadWrite) ? "w+b" : "wb";
        else mode = "r+b";
    }
    file_ = std::fopen(fileName, mode);
    if (!file_ && write && (flags & modeCreate) && (flags & modeNoTruncate))
        file_ = std::fopen(fileName, "w+b");  // create it when missing
    if (!file_) {
        if (error) *error = CFileException(CauseOf(errno), fileName);
        return false;
    }
    ++g_open;
    name_ = fileName;
    return true;
}

void CFile::Write(const void* buffer, unsigned int count) {
    if (!file_) throw CFileException(CFileException::generic, name_);
    if (count == 0) return;
    if (!buffer || std::fwrite(buffer, 1, count, file_) != count)
        throw CFileException(CauseOf(errno), name_);
}

unsigned int CFile::Read(void* buffer, unsigned int count) {
    if (!file_) throw CFileException(CFileException::generic, name_);
    if (count == 0) return 0;
    if (!buffer) throw CFileException(CFileException::generic, name_);
    const size_t n = std::fread(buffer, 1, count, file_);
    if (n < count && std::ferror(file_)) throw CFileException(CauseOf(errno), name_);
    return static_cast<unsigned int>(n);
}

void CFile::Close() {
    if (!file_) return;
    const int rc = std::fclose(file_);
    file_ = nullptr;
    --g_open;
    if (rc != 0) throw CFileException(CauseOf(errno), name_);
}

int CFile::OpenCount() { return g_open.load(); }
