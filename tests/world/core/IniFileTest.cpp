#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/host/DirectoryFileSystem.h"
#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/BoundHost.h"
#include "tests/support/world/CommaLocale.h"
#include "world/core/IniFile.h"

namespace {

namespace fs = std::filesystem;
using quor::IniFile;

// Every edge the reader has: blanks around a header, a header without its bracket,
// keys without values, a lone "=", comments, "=" inside a value, a repeated section in
// another case, duplicate keys, a one-character line, bare CR and LF line ends and no
// line end at the end.
const char kFixture[] =
    "a=1\r\n"
    "  [Main]\t \r\n"
    "speed = 1.5\n"
    "[Main\r\n"
    "flag\r"
    "=5\r\n"
    "\r\n"
    "// comment=1\r\n"
    "; comment=2\r\n"
    "x\r\n"
    "key = value with = sign\r\n"
    "[Other]\r\n"
    "y=\r\n"
    "[main]\r\n"
    "dup=1\r\n"
    "dup=2\r\n"
    "\xC4\xA3=\xD0\xCD\r\n"
    "tail = end";

const char kSaved[] =
    "a=1\r\n"
    "\r\n"
    "[Main]\r\n"
    "speed=1.5\r\n"
    "[Main=\r\n"
    "flag=\r\n"
    "key=value with = sign\r\n"
    "dup=1\r\n"
    "dup=2\r\n"
    "\xC4\xA3=\xD0\xCD\r\n"
    "tail=end\r\n"
    "\r\n"
    "[Other]\r\n"
    "y=\r\n"
    "\r\n";

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path TestDir() {
    const fs::path dir = fs::path(QUOR_BINARY_DIR) / "inifile_test" /
                         testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

TEST(IniFile, ReadsTheEdgeLines) {
    auto mem = std::make_unique<quor::host::MemoryFileSystem>();
    mem->AddFile("cfg\\test.ini", std::string_view(kFixture, sizeof(kFixture) - 1));
    quor::test::BoundHost bound(std::move(mem));
    IniFile ini("CFG/Test.ini");
    ASSERT_TRUE(ini.Load());
    ASSERT_EQ(ini.Sections().size(), 3u);
    EXPECT_EQ(ini.Sections()[0].name, "");
    EXPECT_EQ(ini.Sections()[1].name, "Main");
    EXPECT_EQ(ini.Sections()[2].name, "Other");
    EXPECT_STREQ(ini.GetString("", "a", "?"), "1");
    EXPECT_FLOAT_EQ(ini.GetFloat("MAIN", "SPEED", 0), 1.5f);
    EXPECT_TRUE(ini.HasKey("main", "[Main"));
    EXPECT_STREQ(ini.GetString("main", "[main", "?"), "");
    EXPECT_TRUE(ini.HasKey("Main", "flag"));
    EXPECT_FALSE(ini.HasKey("Main", "x"));  // shorter than 2: skipped
    EXPECT_FALSE(ini.HasKey("Main", "5"));
    EXPECT_FALSE(ini.HasKey("Main", "// comment"));
    EXPECT_STREQ(ini.GetString("Main", "key", "?"), "value with = sign");
    EXPECT_EQ(ini.GetInt("Main", "dup", 0), 1);  // the first of duplicates
    EXPECT_STREQ(ini.GetString("Main", "\xC4\xA3", "?"), "\xD0\xCD");
    EXPECT_STREQ(ini.GetString("Main", "tail", "?"), "end");
    EXPECT_TRUE(ini.HasSection("OTHER"));
    EXPECT_FALSE(ini.HasSection("Missing"));
    EXPECT_EQ(ini.GetInt("Missing", "a", 42), 42);
    EXPECT_EQ(ini.GetInt("Main", "missing", 43), 43);
    EXPECT_EQ(bound.host.files->OpenFileCount(), 0);  // the file was closed again
}

TEST(IniFile, SurvivesThreeSaveLoadCyclesUnchanged) {
    const fs::path dir = TestDir();
    std::ofstream(dir / "edge.ini", std::ios::binary) << std::string(kFixture, sizeof(kFixture) - 1);
    quor::test::BoundHost bound(std::make_unique<quor::host::DirectoryFileSystem>(dir.string()));
    const std::string path = (dir / "edge.ini").string();

    IniFile first(path);
    ASSERT_TRUE(first.Load());
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        IniFile ini(path);
        ASSERT_TRUE(ini.Load());
        ASSERT_TRUE(ini.Save());
        EXPECT_EQ(ReadAll(dir / "edge.ini"), std::string(kSaved));
        IniFile again(path);
        ASSERT_TRUE(again.Load());
        ASSERT_EQ(again.Sections().size(), first.Sections().size());
        for (std::size_t s = 0; s < first.Sections().size(); ++s) {
            const auto& a = first.Sections()[s];
            const auto& b = again.Sections()[s];
            EXPECT_EQ(a.name, b.name);
            ASSERT_EQ(a.pairs.size(), b.pairs.size());
            for (std::size_t p = 0; p < a.pairs.size(); ++p) {
                EXPECT_EQ(a.pairs[p].key, b.pairs[p].key);
                EXPECT_EQ(a.pairs[p].value, b.pairs[p].value);
            }
        }
    }
}

TEST(IniFile, SettersAppendOrReplace) {
    const fs::path dir = TestDir();
    quor::test::BoundHost bound(std::make_unique<quor::host::DirectoryFileSystem>(dir.string()));
    IniFile ini((dir / "new.ini").string());
    EXPECT_FALSE(ini.Load());  // missing file
    ini.SetString("Grass", "Tex", "a.dds");
    ini.SetInt("grass", "Count", -3);
    ini.SetString("GRASS", "tex", "b.dds");
    ini.SetString("", "top", "1");
    {
        quor::test::CommaLocale comma;  // when available: "%f" must still use a point
        ini.SetFloat("Grass", "Size", 1.5f);
    }
    EXPECT_STREQ(ini.GetString("grass", "TEX", ""), "b.dds");
    EXPECT_EQ(ini.GetInt("Grass", "count", 0), -3);
    EXPECT_STREQ(ini.GetString("Grass", "Size", ""), "1.500000");
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadAll(dir / "new.ini"),
              "top=1\r\n\r\n[Grass]\r\nTex=b.dds\r\nCount=-3\r\nSize=1.500000\r\n\r\n");
    IniFile back((dir / "new.ini").string());
    ASSERT_TRUE(back.Load());
    EXPECT_STREQ(back.GetString("", "top", ""), "1");
    EXPECT_FLOAT_EQ(back.GetFloat("grass", "size", 0), 1.5f);

    IniFile nowhere((dir / "no" / "such" / "dir.ini").string());
    EXPECT_FALSE(nowhere.Save());
}

TEST(IniFile, SaveWritesWhereLoadReads) {
    // A relative name lies below the resource root for both, whatever the working directory.
    const fs::path dir = TestDir();
    fs::create_directories(dir / "Config");
    quor::test::BoundHost bound(std::make_unique<quor::host::DirectoryFileSystem>(dir.string()));
    for (const char* name : {"config\\rel.ini", "Config/rel.ini"}) {
        IniFile ini(name);
        ini.SetInt("Main", "n", 7);
        ASSERT_TRUE(ini.Save()) << name;
        EXPECT_EQ(ReadAll(dir / "Config" / "rel.ini"), "[Main]\r\nn=7\r\n\r\n") << name;
        IniFile back(name);
        ASSERT_TRUE(back.Load()) << name;
        EXPECT_EQ(back.GetInt("main", "N", 0), 7) << name;
        fs::remove(dir / "Config" / "rel.ini");
    }
}

TEST(IniFile, EveryPrefixLoads) {
    // Text has no length fields: any cut is still a file, and nothing may read past it.
    auto mem = std::make_unique<quor::host::MemoryFileSystem>();
    quor::host::MemoryFileSystem* files = mem.get();
    quor::test::BoundHost bound(std::move(mem));
    const std::string text(kFixture, sizeof(kFixture) - 1);
    for (std::size_t n = 0; n <= text.size(); ++n) {
        files->AddFile("cut.ini", std::string_view(text.data(), n));
        IniFile ini("cut.ini");
        EXPECT_TRUE(ini.Load()) << n;
    }
}

TEST(IniFile, WithoutAFileSystemLoadFails) {
    quor::ResetInterfaces();
    IniFile ini("x.ini");
    EXPECT_FALSE(ini.Load());
    EXPECT_TRUE(ini.Sections().empty());
}

TEST(IniFile, NameHash) {
    EXPECT_EQ(IniFile::NameHash("Ab", 2), 97u * 5u + 98u);
    EXPECT_EQ(IniFile::NameHash("MAIN", 4), IniFile::NameHash("main", 4));
    EXPECT_EQ(IniFile::NameHash("\xC4", 1), 0xC4u);  // high bytes taken unsigned, unchanged
}

}  // namespace
