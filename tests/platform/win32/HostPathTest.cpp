#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/Directory.h"

namespace {

namespace fs = std::filesystem;

TEST(SplitWindowsPath, EitherSeparatorAndNoEmptyComponents) {
    using Parts = std::vector<std::string>;
    EXPECT_EQ(quor::win32::SplitWindowsPath("\\Data\\maps/town//x.dds\\"),
              (Parts{"Data", "maps", "town", "x.dds"}));
    EXPECT_EQ(quor::win32::SplitWindowsPath("a"), (Parts{"a"}));
    EXPECT_EQ(quor::win32::SplitWindowsPath("/\\"), Parts{});
    EXPECT_EQ(quor::win32::SplitWindowsPath(""), Parts{});
}

TEST(SplitWindowsPath, DoubleByteCharactersStayWhole) {
    using Parts = std::vector<std::string>;
    struct Case {
        const char* path;
        Parts parts;
    } cases[] = {
        {"dir\\\x81\x5Cname.txt", {"dir", "\x81\x5Cname.txt"}},
        {"\x95\x5C\\\x95\x5C", {"\x95\x5C", "\x95\x5C"}},
        {"\xB0/x", {"\xB0/x"}},  // a lead byte takes the next byte whatever it is
        {"a\xB0", {"a\xB0"}},    // a lead byte at the end stands alone
    };
    for (const Case& c : cases) EXPECT_EQ(quor::win32::SplitWindowsPath(c.path), c.parts) << c.path;
}

TEST(FoldPathCase, FoldsAsciiLettersOnly) {
    EXPECT_EQ(quor::win32::FoldPathCase("Maps\\Town.DDS"), "maps\\town.dds");
    EXPECT_EQ(quor::win32::FoldPathCase("\xB0\x41" "B"), "\xB0\x41" "b");
    EXPECT_TRUE(quor::win32::PathEqualsNoCase("\xB0\x41.TXT", "\xB0\x41.txt"));
    EXPECT_FALSE(quor::win32::PathEqualsNoCase("\xB0\x41", "\xB0\x61"));
}

TEST(ToHostPath, DoubleByteNamesMatchOnlyThemselves) {
    const fs::path root = fs::path(QUOR_BINARY_DIR) / "host_path_gbk_test";
    fs::remove_all(root);
    fs::create_directories(root / "\x81\x5C");
    std::ofstream(root / "\x81\x5C" / "Ground.dds") << "x";
    std::ofstream(root / "\xB0\x61.txt") << "x";
    const std::string r = root.string();
    EXPECT_EQ(quor::win32::ToHostPath(r + "\\\x81\x5C\\ground.DDS"), r + "/\x81\x5C/Ground.dds");
    EXPECT_EQ(quor::win32::ToHostPath(r + "\\\xB0\x41.TXT"), r + "/\xB0\x41.TXT");  // not the other file
    fs::remove_all(root);
}

TEST(ToHostPath, MatchesComponentsWithoutRegardToCase) {
    const fs::path root = fs::path(QUOR_BINARY_DIR) / "host_path_test";
    fs::remove_all(root);
    fs::create_directories(root / "Maps" / "Town");
    std::ofstream(root / "Maps" / "Town" / "Ground.DDS") << "x";

    const std::string r = root.string();
    struct Case {
        std::string in, out;
    } cases[] = {
        {r + "\\maps\\town\\ground.dds", r + "/Maps/Town/Ground.DDS"},
        {r + "/MAPS//TOWN\\\\ground.dds", r + "/Maps/Town/Ground.DDS"},
        {r + "\\maps\\missing\\x.dds", r + "/Maps/missing/x.dds"},
    };
    for (const Case& c : cases) EXPECT_EQ(quor::win32::ToHostPath(c.in), c.out) << c.in;
    fs::remove_all(root);
}

}  // namespace

namespace {

TEST(ToHostPath, DrivePathsResolveUnderTheDriveDirectory) {
    const fs::path root = fs::path(QUOR_BINARY_DIR) / "host_path_drive_test";
    fs::remove_all(root);
    fs::create_directories(root / "Shots");
    const std::string r = root.string();
    quor::win32::SetDriveDirectory(r);
    const struct {
        const char* path;
        std::string host;
    } cases[] = {
        {"d://cc.dds", r + "/cc.dds"},
        {"D:\\shots\\a.dds", r + "/Shots/a.dds"},
        {"c:\\..\\..\\x", r + "/x"},  // stays inside the directory
        {"d:", r},
    };
    for (const auto& c : cases) EXPECT_EQ(quor::win32::ToHostPath(c.path), c.host) << c.path;
    quor::win32::SetDriveDirectory("");
    EXPECT_EQ(quor::win32::ToHostPath("d:/cc.dds"), "d:/cc.dds") << "kept as written when unset";
    fs::remove_all(root);
}

}  // namespace
