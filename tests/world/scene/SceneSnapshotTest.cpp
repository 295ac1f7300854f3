#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/d3d9/Device.h"
#include "platform/host/DirectoryFileSystem.h"
#include "platform/win32/Directory.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Random.h"

namespace {

using namespace quor;
using namespace quor::test;
namespace fs = std::filesystem;

std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

// A DDS read back: its size and pixels (A8R8G8B8 words), empty when the file is not one.
struct Dds {
    explicit Dds(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (b.size() < 128 || std::memcmp(b.data(), "DDS ", 4) != 0) return;
        height = Get32(b, 12);
        width = Get32(b, 16);
        if (b.size() != 128 + std::size_t(width) * height * 4) return;
        pixels.resize(std::size_t(width) * height);
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = Get32(b, 128 + i * 4);
    }
    // The 4 x 4 cells wholly opaque black.
    std::set<int> BlackCells() const {
        std::set<int> cells;
        for (int c = 0; c < 16; ++c) {
            bool black = true;
            for (std::uint32_t y = (c / 4) * height / 4; y < (c / 4 + 1) * height / 4; ++y)
                for (std::uint32_t x = (c % 4) * width / 4; x < (c % 4 + 1) * width / 4; ++x)
                    black = black && pixels[y * width + x] == 0xFF000000u;
            if (black) cells.insert(c);
        }
        return cells;
    }
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};

// A temporary directory, the host's drive directory and resource root while it lives.
struct TempRoot {
    TempRoot() : dir(Made(fs::temp_directory_path() / ("snapshot-" + std::to_string(::getpid())))), files(dir.string()) {
        win32::SetDriveDirectory(dir.string());
        saved = Interfaces().resFileSystem;
        Interfaces().resFileSystem = &files;
    }
    ~TempRoot() {
        Interfaces().resFileSystem = saved;
        win32::SetDriveDirectory("");
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static fs::path Made(const fs::path& path) {
        fs::create_directories(path / "cegui/imagesets/question");
        return path;
    }
    fs::path dir;
    host::DirectoryFileSystem files;
    common::IResFileSystem* saved = nullptr;
};

TEST(SceneSnapshot, SavesA400x300DdsAndRestoresTheTarget) {
    WorldFixture fx;
    TempRoot root;
    TestScene* scene = fx.NewScene();
    d3d9::IDirect3DDevice9& device = fx.host().device.Direct3D();
    d3d9::IDirect3DSurface9* before = nullptr;
    ASSERT_EQ(device.GetRenderTarget(0, &before), d3d9::D3D_OK);
    const int renders = scene->renders;

    scene->SaveDebugSnapshot(scene);
    EXPECT_EQ(scene->renders, renders + 1) << "the scene drew";
    const Dds dds(root.dir / "cc.dds");
    EXPECT_EQ(dds.width, 400u);
    EXPECT_EQ(dds.height, 300u);
    EXPECT_EQ(dds.pixels.size(), 400u * 300u);
    d3d9::IDirect3DSurface9* after = nullptr;
    ASSERT_EQ(device.GetRenderTarget(0, &after), d3d9::D3D_OK);
    EXPECT_EQ(after, before) << "the render target is put back";
    after->Release();
    before->Release();
    EXPECT_EQ(fx.host().renderer.LiveTextures(), 0) << "the target is given back";
}

TEST(SceneSnapshot, NullSceneIsRefused) {
    WorldFixture fx;
    TempRoot root;
    TestScene* scene = fx.NewScene();
    scene->SaveDebugSnapshot(nullptr);
    EXPECT_FALSE(fs::exists(root.dir / "cc.dds"));
    EXPECT_TRUE(fx.capture.Contains("SaveDebugSnapshot: no scene"));
}

TEST(SceneSnapshot, QuestionImagesBlackenTheirCells) {
    WorldFixture fx;
    TempRoot root;
    // A white picture, so only the black cells are black.
    std::vector<std::uint8_t> white(64 * 48 * 4, 0xFF);
    ASSERT_NE(stbi_write_tga((root.dir / "pic.tga").c_str(), 64, 48, 4, white.data()), 0);
    TestScene* scene = fx.NewScene();

    // The cells the seed-1 generator draws: distinct, drawn again while one repeats.
    SeedRand(1);
    std::vector<std::set<int>> expected;
    for (int black : {13, 10, 7, 4, 0}) {
        std::set<int> cells;
        while (int(cells.size()) < black) cells.insert(Rand() % 16);
        expected.push_back(cells);
    }
    SeedRand(1);
    scene->BuildQuestionImages("pic.tga");
    for (int k = 1; k <= 5; ++k) {
        const Dds dds(root.dir / ("cegui/imagesets/question/question" + std::to_string(k) + ".dds"));
        ASSERT_EQ(dds.width, 400u) << k;
        ASSERT_EQ(dds.height, 300u) << k;
        EXPECT_EQ(dds.BlackCells(), expected[std::size_t(k - 1)]) << k;
        int white = 0;
        for (std::uint32_t p : dds.pixels) white += p == 0xFFFFFFFFu;
        EXPECT_EQ(white, (16 - int(expected[std::size_t(k - 1)].size())) * 100 * 75) << k << ": the rest is the picture";
    }
    EXPECT_EQ(fx.host().renderer.LiveTextures(), 0);
}

TEST(SceneSnapshot, MissingQuestionPictureIsLoggedAndBlank) {
    WorldFixture fx;
    TempRoot root;
    TestScene* scene = fx.NewScene();
    scene->BuildQuestionImages("missing.tga");
    EXPECT_TRUE(fx.capture.Contains("missing.tga 丢失"));
    const Dds dds(root.dir / "cegui/imagesets/question/question5.dds");
    ASSERT_EQ(dds.pixels.size(), 400u * 300u) << "the images are still written";
    for (std::uint32_t p : dds.pixels) ASSERT_EQ(p, 0u) << "blank";
}

}  // namespace
