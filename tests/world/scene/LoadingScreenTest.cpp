#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/d3d9/Device.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Directory.h"
#include "platform/win32/Messages.h"
#include "platform/win32/Thread.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/scene/LoadingScreen.h"

namespace {

using namespace quor;
using namespace quor::test;
namespace fs = std::filesystem;
namespace LS = world::LoadingScreen;

constexpr std::uint32_t kFill = 0xFF0000FFu;   // blue
constexpr std::uint32_t kWord = 0xFF00FF00u;   // green

// RGBA pictures of one colour.
void WriteFlat(const fs::path& path, int w, int h, std::uint32_t rgba) {
    std::vector<std::uint8_t> px(std::size_t(w) * h * 4);
    for (std::size_t i = 0; i < px.size(); i += 4)
        for (int k = 0; k < 4; ++k) px[i + k] = std::uint8_t(rgba >> (8 * k));
    ASSERT_NE(stbi_write_tga(path.c_str(), w, h, 4, px.data()), 0);
}

// A temporary current directory holding the loading pictures: a background whose red channel
// is its column (256 wide), a green word, a grey frame, a blue fill and a see-through front.
struct Pictures {
    explicit Pictures(bool withWord = true) {
        dir = fs::temp_directory_path() / ("loading-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
        fs::create_directories(dir / "Launcher");
        std::vector<std::uint8_t> bg(256 * 16 * 3);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 256; ++x) bg[(y * 256 + x) * 3] = std::uint8_t(x);
        EXPECT_NE(stbi_write_jpg((dir / "Launcher/loading_bg.jpg").c_str(), 256, 16, 3, bg.data(), 100), 0);
        if (withWord) WriteFlat(dir / "Launcher/loading.tga", 8, 8, 0xFF00FF00u);
        WriteFlat(dir / "Launcher/bg.tga", 4, 4, 0xFF808080u);
        WriteFlat(dir / "Launcher/M.tga", 4, 4, 0xFFFF0000u);
        WriteFlat(dir / "Launcher/front.tga", 4, 4, 0x00000000u);
        win32::SetCurrentDirectoryOverride(dir.string());
    }
    ~Pictures() {
        win32::SetCurrentDirectoryOverride("");
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    fs::path dir;
    static inline int count = 0;
};

// A world with a current scene, a back buffer of the size on both the renderer and the device,
// and the manual clock.
struct Screen {
    explicit Screen(int w = 640, int h = 480, bool withWord = true) : pictures(withWord) {
        LS::ResetProcessState();
        win32::MessageSink::Instance().Clear();
        fx.host().renderer.backBufferWidth = w;
        fx.host().renderer.backBufferHeight = h;
        device().SetBackBufferSize(std::uint32_t(w), std::uint32_t(h));
        scene = fx.NewScene();
        EXPECT_TRUE(World::Instance().SetActiveScene(scene));
        win32::TimeSource::SetManual(1000);
    }
    ~Screen() {
        LS::StopFor(nullptr);
        win32::TimeSource::UseReal();
    }
    d3d9::IDirect3DDevice9& device() { return fx.host().device.Direct3D(); }
    // Moves the clock and waits for the frame it brings.
    void Step(std::uint32_t ms = 40) {
        const int before = device().Presents();
        win32::TimeSource::Advance(ms);
        EXPECT_TRUE(WaitFor([&] { return device().Presents() > before; }))
            << "no frame after " << ms << " ms";
    }
    static bool WaitFor(const std::function<bool()>& done) {
        for (int i = 0; i < 20000; ++i) {
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    // Pixels of the presented row with exactly this colour.
    int CountRow(int y, std::uint32_t colour) {
        std::uint32_t w = 0, h = 0;
        const auto image = device().PresentedImage(&w, &h);
        int n = 0;
        for (std::uint32_t x = 0; x < w; ++x) n += image[std::size_t(y) * w + x] == colour;
        return n;
    }
    Pictures pictures;
    WorldFixture fx;
    TestScene* scene = nullptr;
};

int Red(std::uint32_t argb) { return int((argb >> 16) & 0xFF); }

TEST(LoadingScreen, ProgressWhileOffChangesNothing) {
    LS::ResetProcessState();
    LS::AddProgress(50, 3);
    EXPECT_EQ(LS::Progress(), 0);
    EXPECT_EQ(LS::Status(), 0);
}

TEST(LoadingScreenThread, CadenceBarAndLastFrame) {
    Screen s;
    s.scene->BeginLoadingScreen(false);
    EXPECT_TRUE(s.scene->IsLoadingScreenOn());
    EXPECT_TRUE(LS::IsThreadRunning());
    win32::TimeSource::Advance(39);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(s.device().SceneBegins(), 0) << "no frame before 40 ms";
    s.scene->AddLoadingProgress(100, 7);
    EXPECT_EQ(LS::Status(), 7);
    s.Step(1);
    EXPECT_EQ(s.CountRow(450, kFill), 100);
    EXPECT_GT(s.CountRow(450, 0xFF808080u), 0) << "the frame around the bar";

    s.scene->EndLoadingScreen();
    EXPECT_FALSE(LS::IsThreadRunning());
    EXPECT_FALSE(s.scene->IsLoadingScreenOn());
    EXPECT_EQ(s.CountRow(450, kFill), 300) << "the last frame has the progress grown by 200";
    EXPECT_EQ(LS::Progress(), 0);
    const int presents = s.device().Presents();
    win32::TimeSource::Advance(400);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(s.device().Presents(), presents) << "End's frame is the last";
    EXPECT_FALSE(s.device().InScene());

    // Progress 600 draws the bar 514 pixels long; a lost device is noted and the frame drawn.
    s.device().FailCooperativeLevel(d3d9::D3DERR_DEVICENOTRESET);
    s.scene->BeginLoadingScreen(false);
    s.scene->AddLoadingProgress(600, 0);
    s.Step();
    EXPECT_TRUE(LS::DeviceLostSeen());
    s.device().FailCooperativeLevel(d3d9::D3D_OK);
    s.Step();
    EXPECT_EQ(s.CountRow(450, kFill), 514);
    s.scene->EndLoadingScreen();
    EXPECT_EQ(win32::Thread::LiveCount(), 0);
}

TEST(LoadingScreenThread, WordWipesInAndStaysWhole) {
    Screen s;  // 640 x 480: the word box runs from 50 to 590, rows 40 to 440
    s.scene->BeginLoadingScreen(true);
    for (int i = 0; i < 30; ++i) s.Step();
    EXPECT_EQ(LS::WipePosition(), 590.0f - 240.0f);
    EXPECT_NE(s.device().PresentedPixel(348, 100), kWord);
    EXPECT_EQ(s.device().PresentedPixel(352, 100), kWord);
    for (int i = 30; i < 68; ++i) s.Step();  // 2.72 s
    EXPECT_EQ(LS::WipePosition(), 50.0f);
    EXPECT_EQ(s.CountRow(100, kWord), 540) << "the whole word";
    for (int i = 0; i < 3; ++i) s.Step();
    EXPECT_EQ(LS::WipePosition(), 50.0f) << "clamped at the box's left edge";
    s.scene->EndLoadingScreen();
    // The accumulator is kept: a second screen shows the word whole from its first step.
    s.scene->BeginLoadingScreen(true);
    s.Step();
    EXPECT_EQ(s.CountRow(100, kWord), 540);
    s.scene->EndLoadingScreen();
}

TEST(LoadingScreenThread, BackgroundLaidOutFor1920x1080) {
    const struct {
        int w, h;
        int leftTexel, rightTexel;
    } cases[] = {{1920, 1080, 0, 255}, {1280, 720, 42, 213}};
    for (const auto& c : cases) {
        Screen s(c.w, c.h);
        s.scene->BeginLoadingScreen(false);
        s.Step();
        s.scene->EndLoadingScreen();
        EXPECT_NEAR(Red(s.device().PresentedPixel(0, 10)), c.leftTexel, 4) << c.w;
        EXPECT_NEAR(Red(s.device().PresentedPixel(std::uint32_t(c.w - 1), 10)), c.rightTexel, 4) << c.w;
    }
}

TEST(LoadingScreenThread, MissingPictureShowsOneBox) {
    Screen s(640, 480, false);
    s.scene->BeginLoadingScreen(true);
    for (int i = 0; i < 4; ++i) s.Step();
    s.scene->EndLoadingScreen();
    auto& sink = win32::MessageSink::Instance();
    ASSERT_EQ(sink.MessageBoxCount(), 1u) << "one box per screen, not one per frame";
    EXPECT_EQ(sink.MessageBoxes()[0].text, "loading back word pic load fail");
    int lines = 0;
    for (const std::string& line : s.fx.capture.Lines()) lines += line.find("loading.tga") != std::string::npos;
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(s.CountRow(100, 0xFFFFFFFFu), 32) << "the word quad drawn without texture (4 steps of 8 pixels)";
    s.scene->BeginLoadingScreen(true);
    s.Step();
    s.scene->EndLoadingScreen();
    EXPECT_EQ(sink.MessageBoxCount(), 2u) << "the next screen tells again";
}

TEST(LoadingScreenThread, ProgressFromAnotherThread) {
    Screen s;
    s.scene->BeginLoadingScreen(false);
    std::thread loader([&] {
        for (int i = 0; i < 50; ++i) s.scene->AddLoadingProgress(1, i);
    });
    for (int i = 0; i < 3; ++i) s.Step();
    loader.join();
    EXPECT_EQ(LS::Progress(), 50);
    s.scene->EndLoadingScreen();
    EXPECT_EQ(s.CountRow(450, kFill), 250);
}

TEST(LoadingScreenThread, BoundSceneDestroyedWhileOn) {
    Screen s;
    s.scene->BeginLoadingScreen(true);
    s.Step();
    World::Instance().DestroyScene(s.scene);
    EXPECT_FALSE(LS::IsThreadRunning());
    EXPECT_FALSE(LS::IsOn());
    EXPECT_EQ(win32::Thread::LiveCount(), 0);
    const int presents = s.device().Presents();
    win32::TimeSource::Advance(400);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(s.device().Presents(), presents);
}

TEST(LoadingScreenThread, ShutdownEndsTheThread) {
    Screen s;
    s.scene->BeginLoadingScreen(false);
    s.Step();
    World::Instance().Shutdown();
    EXPECT_FALSE(LS::IsThreadRunning());
    EXPECT_EQ(win32::Thread::LiveCount(), 0);
}

}  // namespace
