// Textures as the streamed ground uses them: pixels kept for A8R8G8B8 loads, unloading by
// surface handle with the references left, readiness after a number of polls, filled rectangles.
#include <gtest/gtest.h>

#include <vector>

#include "platform/d3d9/Device.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingLog.h"
#include "platform/host/RecordingRenderer.h"
#include "tests/support/world/scene/GroundFiles.h"

namespace quor::host {
namespace {

struct Streamed : testing::Test {
    Streamed() {
        renderer.Attach(&files, &log);
        renderer.AttachDevice(&device);
        files.AddFile("g/a.dds", fixtures::DdsBytes(3, 2, [](std::uint32_t x, std::uint32_t) { return 0xFE000000u | x; }));
        files.AddFile("g/junk.dds", std::string_view("DDS "));
    }
    MemoryFileSystem files;
    RecordingLog log;
    d3d9::IDirect3DDevice9 device;
    RecordingRenderer renderer;
};

TEST_F(Streamed, ArgbLoadsKeepTheirPixels) {
    render::ITexture* t = renderer.LoadTexture("g/a.dds", 21, 0, -3, 0, 0, 0);
    ASSERT_NE(t, nullptr);
    auto* pixels = static_cast<d3d9::IDirect3DTexture9*>(t->GetRenderSurface());
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels->Level(0)->Pixel(2, 1), 0xFE000002u);
    std::uint32_t w = 0, h = 0;
    t->GetSize(&w, &h);
    EXPECT_EQ(w * 10 + h, 32u);
    // Loaded again: the same texture, one more reference; each unload answers what is left.
    EXPECT_EQ(renderer.LoadTexture("g/a.dds", 21, 0, -3, 0, 0, 0), t);
    void* handle = t->GetSurface();
    EXPECT_EQ(renderer.UnloadTexture(handle, 1), 1);
    EXPECT_EQ(renderer.UnloadTexture(handle, 1), 0);
    EXPECT_EQ(renderer.UnloadTexture(handle, 1), -1);
    EXPECT_EQ(renderer.LiveTextures(), 0);
    EXPECT_EQ(device.LiveTextures(), 0);
    // A file that is no picture is refused with a line; other loads keep no pixels.
    EXPECT_EQ(renderer.LoadTexture("g/junk.dds", 21, 0, -3, 0, 0, 0), nullptr);
    EXPECT_EQ(renderer.Store()->Errors().size(), 1u);
    render::ITexture* plain = renderer.LoadTexture("g/junk.dds", 0, 0, -3, 0, 0, 0);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->GetRenderSurface(), nullptr);
    EXPECT_FALSE(plain->FillRect(nullptr, 0));
    renderer.ReleaseTexture(plain);
}

TEST_F(Streamed, ReadyAfterPollsAndFilledRectangles) {
    renderer.SetTexturePollsBeforeReady(2);
    render::ITexture* t = renderer.CreateTexture(4, 4, 21, 0, 1, 0);
    ASSERT_NE(t, nullptr);
    EXPECT_FALSE(renderer.IsTextureReady(t->GetSurface()));
    EXPECT_FALSE(renderer.IsTextureReady(t->GetSurface()));
    EXPECT_TRUE(renderer.IsTextureReady(t->GetSurface()));
    const std::int32_t rect[4] = {1, 1, 9, 3};  // clipped to the texture
    ASSERT_TRUE(t->FillRect(rect, 0xFF00FF00u));
    auto* pixels = static_cast<d3d9::IDirect3DTexture9*>(t->GetRenderSurface());
    EXPECT_EQ(pixels->Level(0)->Pixel(3, 2), 0xFF00FF00u);
    EXPECT_EQ(pixels->Level(0)->Pixel(0, 0), 0u);
    EXPECT_EQ(pixels->Level(0)->Pixel(1, 3), 0u);
    renderer.FlushTextureCache();
    EXPECT_EQ(renderer.TextureCacheFlushes(), 1);
    EXPECT_EQ(renderer.UnloadTexture(t->GetSurface(), 0), 0);
    EXPECT_EQ(renderer.BadReleases(), 0);
}

// Handles are looked up many times a frame; a texture made where a released one was (the same
// handle, as the allocator hands the memory out again) answers for itself, never the old one.
TEST_F(Streamed, HandlesAnswerForTheLiveTexture) {
    renderer.SetTexturePollsBeforeReady(1);
    for (int i = 0; i < 8; ++i) {
        render::ITexture* t = renderer.CreateTexture(4, 4, 21, 0, 1, 0);
        ASSERT_NE(t, nullptr);
        void* handle = t->GetSurface();
        EXPECT_FALSE(renderer.IsTextureReady(handle)) << i;
        EXPECT_TRUE(renderer.IsTextureReady(handle)) << i;
        EXPECT_EQ(renderer.UnloadTexture(handle, 1), 0) << i;
        EXPECT_FALSE(renderer.IsTextureReady(handle)) << i;
    }
    EXPECT_EQ(renderer.BadReleases(), 0);
    EXPECT_EQ(renderer.LiveTextures(), 0);
}

// Hundreds of live textures (the handle index grows as they come), half released and new ones
// made where they were: each handle answers for its own texture only, by its own poll count.
TEST_F(Streamed, ManyHandlesEachAnswerForTheirOwnTexture) {
    renderer.SetTexturePollsBeforeReady(1);
    std::vector<void*> handles;
    auto make = [&](int n) {
        for (int i = 0; i < n; ++i) {
            render::ITexture* t = renderer.CreateTexture(4, 4, 21, 0, 1, 0);
            ASSERT_NE(t, nullptr);
            handles.push_back(t->GetSurface());
            EXPECT_FALSE(renderer.IsTextureReady(handles.back())) << handles.size();
        }
    };
    make(300);
    for (void* h : handles) EXPECT_TRUE(renderer.IsTextureReady(h));
    for (std::size_t i = 0; i < handles.size(); i += 2) EXPECT_EQ(renderer.UnloadTexture(handles[i], 1), 0) << i;
    for (std::size_t i = 0; i < handles.size(); ++i) EXPECT_EQ(renderer.IsTextureReady(handles[i]), i % 2 == 1) << i;
    std::vector<void*> kept;
    for (std::size_t i = 1; i < handles.size(); i += 2) kept.push_back(handles[i]);
    handles = kept;
    make(150);
    for (void* h : handles) EXPECT_TRUE(renderer.IsTextureReady(h));
    for (void* h : handles) EXPECT_EQ(renderer.UnloadTexture(h, 1), 0);
    EXPECT_EQ(renderer.BadReleases(), 0);
    EXPECT_EQ(renderer.LiveTextures(), 0);
}

}  // namespace
}  // namespace quor::host
