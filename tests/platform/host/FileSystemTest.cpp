#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/DirectoryFileSystem.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/win32/Thread.h"

namespace {

namespace fs = std::filesystem;
using namespace quor::host;
using quor::common::IResFile;

// Both file systems hold the same three files; every case below runs on each.
struct Param {
    const char* name;
    std::unique_ptr<ResFileSystemBase> (*make)();
};

// One directory per test, since ctest runs tests in parallel processes.
fs::path DiskRoot() {
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name)
        if (c == '/') c = '_';
    return fs::path(QUOR_BINARY_DIR) / "filesystem_test" / name / "Res";
}

std::unique_ptr<ResFileSystemBase> MakeDirectory() {
    const fs::path root = DiskRoot();
    fs::remove_all(root.parent_path());
    fs::create_directories(root / "Maps" / "Town");
    std::ofstream(root / "Maps" / "Town" / "Block.TXT", std::ios::binary) << "abc";
    std::ofstream(root / "scene.scn", std::ios::binary) << "<Scene3D/>";
    std::ofstream(root / "empty.bin", std::ios::binary);
    // Double-byte names: a trail byte that is "\" and trail bytes that are ASCII letters.
    fs::create_directories(root / "\x81\x5C");
    std::ofstream(root / "\x81\x5C" / "x.txt", std::ios::binary) << "gbk";
    std::ofstream(root / "\xB0\x41.txt", std::ios::binary) << "upper";
    std::ofstream(root / "\xB0\x61.txt", std::ios::binary) << "lower";
    return std::make_unique<DirectoryFileSystem>(root.string());
}

std::unique_ptr<ResFileSystemBase> MakeMemory() {
    auto m = std::make_unique<MemoryFileSystem>("mem");
    m->AddFile("Maps\\Town\\Block.TXT", std::string_view("abc"));
    m->AddFile("scene.scn", std::string_view("<Scene3D/>"));
    m->AddFile("/empty.bin", std::vector<std::uint8_t>{});
    m->AddFile("\x81\x5C\\x.txt", std::string_view("gbk"));
    m->AddFile("\xB0\x41.txt", std::string_view("upper"));
    m->AddFile("\xB0\x61.txt", std::string_view("lower"));
    return m;
}

class ResFileSystems : public testing::TestWithParam<Param> {};

std::string Content(IResFile* f) {
    return std::string(reinterpret_cast<const char*>(f->GetData()), f->GetSize());
}

TEST_P(ResFileSystems, OpenAnySeparatorAndCase) {
    auto files = GetParam().make();
    for (const char* path : {"maps\\town\\block.txt", "MAPS/TOWN/BLOCK.TXT", "\\maps//town\\\\block.txt",
                             ".\\maps\\x\\..\\town\\block.txt"}) {
        IResFile* f = files->OpenFile(path, 0);
        ASSERT_NE(f, nullptr) << path;
        EXPECT_EQ(Content(f), "abc");
        f->Close();
    }
    // The root in front is accepted too.
    const std::string viaRoot = std::string(files->GetResourceRoot()) + "Scene.SCN";
    IResFile* f = files->OpenFile(viaRoot.c_str(), 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Content(f), "<Scene3D/>");
    f->Close();
    EXPECT_EQ(files->OpenFile("maps\\town", 0), nullptr);  // a directory is not a file
    EXPECT_EQ(files->OpenFile("nothing.txt", 0), nullptr);
    EXPECT_EQ(files->OpenFile("", 0), nullptr);
    EXPECT_EQ(files->OpenFile(nullptr, 0), nullptr);
}

TEST_P(ResFileSystems, DoubleByteNamesAreNeitherSplitNorFolded) {
    auto files = GetParam().make();
    struct Case {
        const char* path;
        const char* content;
    } cases[] = {
        {"\x81\x5C\\x.txt", "gbk"},
        {"\x81\x5C/X.TXT", "gbk"},
        {"\xB0\x41.txt", "upper"},
        {"\xB0\x41.TXT", "upper"},
        {"\xB0\x61.txt", "lower"},
    };
    for (const Case& c : cases) {
        IResFile* f = files->OpenFile(c.path, 0);
        ASSERT_NE(f, nullptr) << c.path;
        EXPECT_EQ(Content(f), c.content) << c.path;
        f->Close();
    }
    EXPECT_EQ(files->OpenFile("\x81", 0), nullptr);
}

TEST_P(ResFileSystems, RecordsOpensAndCloses) {
    auto files = GetParam().make();
    IResFile* a = files->OpenFile("scene.scn", 0);
    IResFile* b = files->OpenFile("empty.bin", 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetSize(), 0u);
    EXPECT_EQ(files->OpenFile("gone.bin", 0), nullptr);
    EXPECT_EQ(files->OpenFileCount(), 2);
    a->Close();
    EXPECT_EQ(files->OpenFileCount(), 1);
    auto events = files->Events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, ResFileSystemBase::EventKind::Open);
    EXPECT_EQ(events[0].path, "scene.scn");
    EXPECT_EQ(events[2].kind, ResFileSystemBase::EventKind::OpenFailed);
    EXPECT_EQ(events[2].path, "gone.bin");
    EXPECT_EQ(events[3].kind, ResFileSystemBase::EventKind::Close);
    EXPECT_EQ(events[3].path, "scene.scn");
    files.reset();
    b->Close();  // a file may outlive its file system
}

TEST_P(ResFileSystems, ReadMovesACursor) {
    auto files = GetParam().make();
    IResFile* f = files->OpenFile("scene.scn", 0);
    ASSERT_NE(f, nullptr);
    char buf[8] = {};
    EXPECT_EQ(f->Read(buf, 4), 4u);
    EXPECT_EQ(std::string(buf, 4), "<Sce");
    EXPECT_EQ(f->Read(buf, 8), 6u);
    EXPECT_EQ(std::string(buf, 6), "ne3D/>");
    EXPECT_EQ(f->Read(buf, 8), 0u);
    f->Close();
}

TEST_P(ResFileSystems, FullPathsAreRootedBackslashedAndInStoredCase) {
    auto files = GetParam().make();
    const std::string root = files->GetResourceRoot();
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(root.back(), '\\');
    EXPECT_EQ(root.find('/'), std::string::npos);
    char buf[1024];
    ASSERT_TRUE(files->MakeFullPath("MAPS/town/block.txt", buf, sizeof(buf)));
    EXPECT_EQ(std::string(buf), root + "Maps\\Town\\Block.TXT");
    char buf2[1024];
    ASSERT_TRUE(files->MakeFullPath("maps\\TOWN\\BLOCK.txt", buf2, sizeof(buf2)));
    EXPECT_STREQ(buf, buf2);  // one file, one full path
    ASSERT_TRUE(files->ResolvePath(buf, sizeof(buf), "new\\File.dds"));
    EXPECT_EQ(std::string(buf), root + "new\\File.dds");
    char small[4];
    EXPECT_FALSE(files->MakeFullPath("scene.scn", small, sizeof(small)));
    EXPECT_EQ(std::strlen(small), 3u);
    // A full path opens again.
    ASSERT_TRUE(files->MakeFullPath("scene.scn", buf, sizeof(buf)));
    IResFile* f = files->OpenFile(buf, 0);
    ASSERT_NE(f, nullptr);
    f->Close();
}

TEST_P(ResFileSystems, LoaderThreadsOpenAtOnce) {
    auto files = GetParam().make();
    std::vector<std::unique_ptr<quor::win32::Thread>> threads;
    std::atomic<int> good{0};
    for (int t = 0; t < 4; ++t) {
        threads.push_back(std::make_unique<quor::win32::Thread>());
        ASSERT_TRUE(threads.back()->Start([&] {
            for (int i = 0; i < 100; ++i) {
                if (IResFile* f = files->OpenFile("maps\\town\\block.txt", 0)) {
                    if (f->GetSize() == 3) ++good;
                    f->Close();
                }
            }
            return quor::win32::DWORD{0};
        }));
    }
    for (auto& t : threads) t->Join();
    EXPECT_EQ(good.load(), 400);
    EXPECT_EQ(files->OpenFileCount(), 0);
    EXPECT_EQ(files->Events().size(), 800u);
}

INSTANTIATE_TEST_SUITE_P(Both, ResFileSystems,
                         testing::Values(Param{"Directory", &MakeDirectory}, Param{"Memory", &MakeMemory}),
                         [](const testing::TestParamInfo<Param>& i) { return std::string(i.param.name); });

TEST(MemoryFileSystem, RemoveAndReplace) {
    MemoryFileSystem m;
    m.AddFile("a\\b.txt", std::string_view("1"));
    m.AddFile("A/B.TXT", std::string_view("22"));
    IResFile* f = m.OpenFile("a/b.txt", 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->GetSize(), 2u);
    f->Close();
    EXPECT_TRUE(m.RemoveFile("a\\B.txt"));
    EXPECT_FALSE(m.RemoveFile("a\\B.txt"));
    EXPECT_EQ(m.OpenFile("a/b.txt", 0), nullptr);
}

}  // namespace
