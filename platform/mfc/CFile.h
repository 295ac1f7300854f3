#pragma once
// The part of MFC's file class the scene library uses: open with mode flags, write, close.
// As in MFC, a failed write or close throws a CFileException; opening reports by its result.

#include <cstdio>
#include <string>

class CException {
public:
    virtual ~CException() = default;
};

class CFileException : public CException {
public:
    enum Cause { none = 0, generic = 1, fileNotFound = 2, accessDenied = 5, diskFull = 14 };
    CFileException() = default;
    CFileException(int cause, std::string fileName)
        : m_cause(cause), m_strFileName(std::move(fileName)) {}
    int m_cause = none;
    std::string m_strFileName;
};

class CFile {
public:
    enum OpenFlags : unsigned int {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
    };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile();  // closes without throwing

    // False (and the cause in `error` when given) when the file cannot be opened.
    bool Open(const char* fileName, unsigned int flags, CFileException* error = nullptr);
    void Write(const void* buffer, unsigned int count);
    unsigned int Read(void* buffer, unsigned int count);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    // Files currently open through this class, for leak checks in tests.
    static int OpenCount();

private:
    std::FILE* file_ = nullptr;
    std::string name_;
};
