// A host that draws world frames with the reference GL renderer and views with the scene
// library on one thread: each keeps its own OSMesa context and its own pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/glrender/GlRenderer.h"
#include "platform/host/RenderCamera.h"
#include "platform/kernel/KytModel.h"
#include "scene/view/KytOglMem.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytScenes.h"

namespace {

constexpr int kWidth = 48, kHeight = 32;

class GlRendererBesideScene : public ::testing::Test {
protected:
    void SetUp() override {
        ResetStandIn();
        KytOgl::ResetHwnd();
        root = KytBuild::SampleMachine(model);
        wnd = CreateStandInWindow(kWidth, kHeight, nullptr, "view");
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = 40;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bitmap, nullptr);
        previous = SelectObject(dc, bitmap);
        scenes = std::make_unique<KytScenes>(root, new KytScene(root, "MainView"));
        scene = scenes->GetTopScene(false);
        scenes->SetLight(scene);
        ASSERT_TRUE(scene->Create(new KytOglMem(wnd, dc, 24, 24), kWidth, kHeight));
        scene->FitView(false);
        camera.SetViewportSize(kWidth, kHeight);
    }
    void TearDown() override {
        scenes.reset();
        if (previous) SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
        DestroyWindow(wnd);
        KytOgl::ResetHwnd();
        ResetStandIn();
    }
    // The view's background in `rgb`, drawn; its bottom-left pixel as 0xRRGGBB.
    std::uint32_t DrawView(std::uint32_t rgb) {
        scenes->ChangeBackColor(float(rgb >> 16 & 0xFF) / 255.0f, float(rgb >> 8 & 0xFF) / 255.0f,
                                float(rgb & 0xFF) / 255.0f, false);
        scenes->Draw(true);
        glFinish();
        GdiFlush();
        const auto* p = static_cast<const std::uint8_t*>(bits);  // blue, green, red
        return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
    }
    // The world frame's middle pixel as 0xRRGGBB.
    std::uint32_t FramePixel() const {
        const std::vector<std::uint8_t> pixels = gl.ReadPixels();
        const std::size_t i = (std::size_t(kHeight / 2) * kWidth + kWidth / 2) * 4;
        return std::uint32_t(pixels[i]) << 16 | std::uint32_t(pixels[i + 1]) << 8 | pixels[i + 2];
    }

    KytModel model;
    KytLink* root = nullptr;
    HWND wnd = nullptr;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    void* bits = nullptr;
    std::unique_ptr<KytScenes> scenes;
    KytScene* scene = nullptr;
    quor::host::GlRenderer gl;
    quor::host::RenderCamera camera;
};

// Frames and views in turn, and a view drawn in the middle of a frame: every frame keeps its
// clear colour and every view its background.
TEST_F(GlRendererBesideScene, FramesAndViewsInterleavedKeepTheirColours) {
    struct Step {
        std::uint32_t frame;  // clear colour of the world frame
        std::uint32_t view;   // background of the view drawn after it
        bool viewInsideFrame; // a view also drawn between BeginFrame and EndFrame
    };
    const Step steps[] = {
        {0x0000FF, 0xFF0000, false}, {0xFFFF00, 0x00FF00, false}, {0x00FFFF, 0xFF00FF, true}, {0x808080, 0x0000FF, true}};
    EXPECT_EQ(DrawView(0x102030), 0x102030u);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.frame);
        ASSERT_TRUE(gl.BeginFrame(&camera, 0xFF000000u | step.frame, kWidth, kHeight));
        if (step.viewInsideFrame) {
            EXPECT_EQ(DrawView(0x404040), 0x404040u);
        }
        gl.EndFrame();
        EXPECT_EQ(FramePixel(), step.frame);
        EXPECT_EQ(DrawView(step.view), step.view);
    }
}

}  // namespace
