// An outside host of libscene.so: draws the sample machine through a scene on a memory
// device context, picks a part at the middle of the view and writes the frame as a JPEG.
// Prints one line per check; exits 0 when all pass.
// Usage: scene_outside_host OUTPUT.jpg
#include <cstdio>
#include <set>
#include <vector>

#include "platform/kernel/KytModel.h"
#include "platform/wgl/Wgl.h"
#include "scene/view/KytOglMem.h"
#include "scene/view/KytPickData.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytScenes.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "pass" : "FAIL", what);
    failures += ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.jpg\n", argv[0]);
        return 2;
    }
    constexpr int kWidth = 320, kHeight = 240;
    KytModel model;
    KytLink* root = KytBuild::SampleMachine(model);
    KytScenes::ColorTable = KytBuild::SampleColorTable();

    // The view's window, and off screen the bitmap OpenGL draws into.
    HWND wnd = CreateStandInWindow(kWidth, kHeight, nullptr, "outside host");
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const unsigned long stride = ((kWidth * 24 + 31) / 32) * 4UL;
    info.bmiHeader.biSizeImage = stride * kHeight;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    Check(bitmap != nullptr, "the frame bitmap");
    if (!bitmap) return 1;
    HGDIOBJ previous = SelectObject(dc, bitmap);
    {
        KytEnv::nUpAxis = 2;
        KytScenes scenes(root, new KytScene(root, "MainView"));
        scenes.ChangeBackColor(0.93f, 0.95f, 0.98f, false);
        KytScene* scene = scenes.GetTopScene(false);
        scenes.SetLight(scene);
        auto* ogl = new KytOglMem(wnd, dc, 24, 24);
        Check(scene->Create(ogl, kWidth, kHeight), "the scene makes its OSMesa context");
        scene->FitView(false);
        scene->ResetView(false);
        scenes.Draw(true);

        KytPickData hit;
        const bool picked = scene->Pick(kWidth / 2, kHeight / 2, &hit, false, false);
        Check(picked && hit.Link != nullptr, "a pick at the middle of the view finds a part");
        std::printf("picked: %s level %d\n", hit.Link ? hit.Link->name.c_str() : "-", hit.Level);

        const char* name = argv[1];
        Check(ogl->SetJpegOut(&name, 90, bits, kHeight, kWidth), "JPEG output is set");
        scenes.Draw(true);
        ogl->SetNormalOut();
        std::set<unsigned> colours;
        const auto* p = static_cast<const unsigned char*>(bits);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const unsigned char* q = p + y * stride + x * 3;
                colours.insert(unsigned(q[0]) << 16 | unsigned(q[1]) << 8 | q[2]);
            }
        Check(colours.size() > 16, "the frame shows the machine over the background");
        std::vector<unsigned char> head(4);
        std::FILE* f = std::fopen(name, "rb");
        long size = 0;
        if (f) {
            head.resize(std::fread(head.data(), 1, head.size(), f));
            std::fseek(f, 0, SEEK_END);
            size = std::ftell(f);
            std::fclose(f);
        }
        Check(head.size() == 4 && head[0] == 0xFF && head[1] == 0xD8 && size > 1000, "the JPEG file is written");
        std::printf("jpeg: %s, %ld bytes, %zu colours in the frame\n", name, size, colours.size());
    }
    if (previous) SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
    DestroyWindow(wnd);
    std::printf("%s\n", failures == 0 ? "scene outside host: all checks passed" : "scene outside host: FAILED");
    return failures == 0 ? 0 : 1;
}
