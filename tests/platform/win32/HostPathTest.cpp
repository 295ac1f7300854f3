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
