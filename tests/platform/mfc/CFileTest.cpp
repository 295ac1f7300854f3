#include "platform/mfc/CFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string TempFile(const char* leaf) {
    const fs::path dir = fs::path(QUOR_BINARY_DIR) / "test_out" / "cfile";
    fs::create_directories(dir);
    return (dir / leaf).string();
}

TEST(CFile, CreateTruncatesWritesAndReadsBack) {
    const std::string path = TempFile("a.bin");
    {
        CFile f;
        ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        f.Write("0123456789", 10);
        f.Close();
    }
    {
        CFile f;
        ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        f.Write("ab", 2);
    }  // the destructor closes
    EXPECT_EQ(fs::file_size(path), 2u);
    CFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeRead));
    char buf[8] = {};
    EXPECT_EQ(f.Read(buf, 8), 2u);
    EXPECT_EQ(std::string(buf), "ab");
    EXPECT_EQ(CFile::OpenCount(), 1);
    f.Close();
    EXPECT_EQ(CFile::OpenCount(), 0);
}

TEST(CFile, AFileThatDidNotOpenFailsAtItsFirstWrite) {
    CFile f;
    CFileException cause;
    EXPECT_FALSE(f.Open("/nonexistent-dir/x.bin", CFile::modeCreate | CFile::modeWrite, &cause));
    EXPECT_EQ(cause.m_cause, CFileException::fileNotFound);
    EXPECT_THROW(f.Write("x", 1), CFileException);
    EXPECT_FALSE(f.Open(nullptr, CFile::modeRead));
    EXPECT_NO_THROW(f.Close());
}

}  // namespace
