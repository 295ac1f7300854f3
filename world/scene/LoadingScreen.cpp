#include "world/scene/LoadingScreen.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/Device.h"
#include "platform/host/ID3DDevice.h"
#include "platform/host/IRenderer.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Directory.h"
#include "platform/win32/Messages.h"
#include "platform/win32/Thread.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/ObjectLock.h"
#include "world/fx/GlyphFont.h"
#include "world/scene/SceneBase.h"
#include "world/scene/World.h"

namespace quor::world {

// The scene's own values the screen reads and writes.
struct LoadingScreenAccess {
    static int& Width(SceneBase& s) { return s.m_backBufferWidth; }
    static int& Height(SceneBase& s) { return s.m_backBufferHeight; }
    static float& BarLeft(SceneBase& s) { return s.m_barLeft; }
    static float& BarRight(SceneBase& s) { return s.m_barRight; }
    static std::uint8_t& ShowWord(SceneBase& s) { return s.m_showWord; }
    static GlyphFont* Font(SceneBase& s) { return s.m_textFont; }
};

namespace LoadingScreen {

namespace {

using A = LoadingScreenAccess;
using namespace d3d9;

constexpr float kBarHalf = 257.0f;
constexpr int kBarLength = 514;
constexpr std::uint32_t kDrawInterval = 40;

const char* const kFiles[kPictureCount] = {"\\Launcher\\loading_bg.jpg", "\\Launcher\\loading.tga",
                                           "\\Launcher\\M.tga", "\\Launcher\\bg.tga", "\\Launcher\\front.tga"};
const char* const kBoxTexts[kPictureCount] = {"loading back pic load fail", "loading back word pic load fail",
                                              "loading back pic load fail", "loading back pic load fail",
                                              "loading back pic load fail"};

// Everything process-wide. The flags and numbers other threads touch are atomic; the wipe is
// touched only under the bound scene's object lock; the pictures under their own lock, which
// every draw holds, because any scene's clear gives them back.
struct State {
    std::atomic<bool> on{false};
    std::atomic<bool> deviceLost{false};
    std::atomic<int> progress{0};
    std::atomic<int> status{0};
    std::atomic<std::uint32_t> threadId{0};
    float wipeAccumulator = 0.0f;
    float wipePosition = 0.0f;
    float wordTop = 0.0f, wordRight = 0.0f, wordBottom = 0.0f;
    float boxLeft = 0.0f, boxTop = 0.0f, boxRight = 0.0f, boxBottom = 0.0f;
    std::atomic<std::uint32_t> lastDraw{0};

    std::mutex pictureLock;
    IDirect3DTexture9* pictures[kPictureCount + 1] = {};
    bool reported[kPictureCount] = {};

    // The thread and the scene it draws for, under threadLock.
    std::mutex threadLock;
    std::unique_ptr<win32::Thread> thread;
    SceneBase* bound = nullptr;
};

State& S() {
    static State state;
    return state;
}

IDirect3DDevice9* Device() {
    render::ID3DDevice* service = Interfaces().d3dDevice;
    return service ? static_cast<IDirect3DDevice9*>(service->GetDevice()) : nullptr;
}

void RefreshBackBuffer(SceneBase& scene) {
    if (render::IRenderer* renderer = Interfaces().renderer) renderer->GetBackBufferSize(&A::Width(scene), &A::Height(scene));
}

// The picture's texture, loaded on first need; a missing one is reported once per screen.
IDirect3DTexture9* LoadPicture(IDirect3DDevice9* device, int which) {
    State& s = S();
    if (s.pictures[which]) return s.pictures[which];
    char directory[1024] = {};
    win32::GetCurrentDirectoryA(sizeof directory, directory);
    const std::string path = std::string(directory) + kFiles[which];
    IDirect3DTexture9* texture = nullptr;
    if (D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN,
                                     D3DPOOL_MANAGED, D3DX_FILTER_POINT, D3DX_FILTER_POINT, 0, nullptr, nullptr,
                                     &texture) == D3D_OK) {
        s.pictures[which] = texture;
        return texture;
    }
    if (!s.reported[which]) {
        // Once per screen: a box at every 40-ms draw would stall the loading thread.
        s.reported[which] = true;
        LogWarning("Loading-screen picture missing: %s", path.c_str());
        win32::MessageBoxA(nullptr, kBoxTexts[which], nullptr, win32::MB_OK);
    }
    return nullptr;
}

struct QuadVertex {
    float x, y, z, rhw, u, v;
};

void Quad(IDirect3DDevice9* device, float left, float top, float right, float bottom, float u0, float v0, float u1,
          float v1) {
    const QuadVertex strip[4] = {{left, top, 0, 1, u0, v0},
                                 {right, top, 0, 1, u1, v0},
                                 {left, bottom, 0, 1, u0, v1},
                                 {right, bottom, 0, 1, u1, v1}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(QuadVertex));
}

// One frame; the caller holds the scene's object lock and has checked the on flag.
void DrawFrame(SceneBase& scene) {
    State& s = S();
    IDirect3DDevice9* device = Device();
    if (!device) return;
    if (device->TestCooperativeLevel() != D3D_OK) s.deviceLost = true;
    Interfaces().d3dDevice->IsDeviceLost();
    RefreshBackBuffer(scene);
    const int width = A::Width(scene), height = A::Height(scene);
    A::BarRight(scene) = float(width / 2) + kBarHalf;
    A::BarLeft(scene) = float(width / 2) - kBarHalf;
    if (s.progress.load() > kBarLength) s.progress = kBarLength;
    const float progress = float(s.progress.load());
    const float w = float(width), h = float(height);

    std::lock_guard<std::mutex> pictures(s.pictureLock);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    device->BeginScene();
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    device->SetRenderState(D3DRS_ZENABLE, 0);

    // Background, laid out for 1920 x 1080: a smaller screen shows the picture's centre.
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    device->SetTexture(0, LoadPicture(device, kBackground));
    const int xOffset = int((1920.0f - w) * 0.5f), yOffset = int((1080.0f - h) * 0.5f);
    if (xOffset == 0 || yOffset == 0) {
        Quad(device, 0, 0, w, h, 0, 0, 1, 1);
    } else {
        const float du = 0.00026041668f, dv = 0.00046296295f;
        const float u0 = float(xOffset) / 1920.0f, v0 = float(yOffset) / 1080.0f;
        Quad(device, 0, 0, w, h, u0 - du, v0 - dv, 1.0f - u0 - du, 1.0f - v0 - dv);
    }

    if (A::ShowWord(scene)) {
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        device->SetTexture(0, LoadPicture(device, kWord));
        const float span = s.boxRight - s.boxLeft;
        const float u0 = span != 0.0f ? (s.wipePosition - s.boxLeft) / span : 0.0f;
        Quad(device, s.wipePosition, s.wordTop, s.wordRight, s.wordBottom, u0, 0, 1, 1);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    }

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    const float left = A::BarLeft(scene), right = A::BarRight(scene), top = h - 80.0f, bottom = h - 20.0f;
    device->SetTexture(0, LoadPicture(device, kBarFrame));
    Quad(device, left - 5.0f, top, right, bottom, 0, 0, 1, 1);
    device->SetTexture(0, LoadPicture(device, kBarFill));
    Quad(device, left, top, left + progress, bottom, 0, 0, 1, 1);
    device->SetTexture(0, LoadPicture(device, kBarFront));
    Quad(device, left - 5.0f, top, right, bottom, 0, 0, 1, 1);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetTexture(0, nullptr);

    if (GlyphFont* font = A::Font(scene)) font->Flush();
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

// A draw of the thread: it may have waited for the lock while the screen ended, and End's frame
// must stay the last.
void ThreadDraw(SceneBase& scene, std::uint32_t elapsed) {
    State& s = S();
    ObjectLockGuard objects(&scene);
    if (!s.on.load()) return;
    if (A::ShowWord(scene)) {
        s.wipeAccumulator += float(elapsed) * 200.0f / 1000.0f;
        s.wipePosition = s.boxRight - float(int(s.wipeAccumulator));
        if (s.boxLeft > s.wipePosition) s.wipePosition = s.boxLeft;
    }
    DrawFrame(scene);
}

win32::DWORD ThreadMain(SceneBase* scene) {
    State& s = S();
    while (s.on.load()) {
        const std::uint32_t now = win32::timeGetTime();
        const std::uint32_t elapsed = now - s.lastDraw.load();
        if (elapsed < kDrawInterval) {
            win32::Sleep(1);
            continue;
        }
        ThreadDraw(*scene, elapsed);
        s.lastDraw = now;
    }
    return 0;
}

// Takes the thread out under its lock and waits for it outside. With stop set, the screen is
// switched off first when the thread draws for onlyFor (or for any scene when onlyFor is null).
void JoinThread(SceneBase* onlyFor, bool stop) {
    State& s = S();
    std::unique_ptr<win32::Thread> thread;
    {
        std::lock_guard<std::mutex> lock(s.threadLock);
        if (!s.thread || (onlyFor && s.bound != onlyFor)) return;
        if (stop) s.on = false;
        thread = std::move(s.thread);
        s.bound = nullptr;
        s.threadId = 0;
    }
    thread->Join();
}

}  // namespace

const char* PictureFile(Picture picture) {
    return picture >= 0 && picture < kPictureCount ? kFiles[picture] : nullptr;
}

void Begin(SceneBase& scene, bool showWord) {
    State& s = S();
    s.on = true;
    RefreshBackBuffer(scene);
    A::ShowWord(scene) = showWord ? 1 : 0;
    scene.EnsureTextFont();
    {
        std::lock_guard<std::mutex> pictures(s.pictureLock);
        for (bool& reported : s.reported) reported = false;
    }
    auto* current = static_cast<SceneBase*>(World::Instance().GetCurrentScene());
    if (showWord && current) {
        ObjectLockGuard objects(current);
        const float w = float(A::Width(*current)), h = float(A::Height(*current));
        s.boxLeft = (w - 540.0f) * 0.5f;
        s.boxTop = (h - 400.0f) * 0.5f;
        s.boxRight = (w + 540.0f) * 0.5f;
        s.boxBottom = (h + 400.0f) * 0.5f;
        s.wipePosition = s.boxRight;
        s.wordTop = s.boxTop;
        s.wordRight = s.boxRight;
        s.wordBottom = s.boxBottom;
    }
    std::lock_guard<std::mutex> lock(s.threadLock);
    if (s.thread || !current) return;
    // The cadence starts now, so the first frame comes 40 ms after the screen began.
    s.lastDraw = win32::timeGetTime();
    auto thread = std::make_unique<win32::Thread>();
    if (!thread->Start([current] { return ThreadMain(current); })) return;
    s.threadId = thread->Id();
    s.bound = current;
    s.thread = std::move(thread);
}

void AddProgress(int amount, int status) {
    State& s = S();
    if (!s.on.load()) return;
    s.progress += amount;
    s.status = status;
}

void End(SceneBase& scene) {
    State& s = S();
    {
        ObjectLockGuard objects(&scene);
        AddProgress(200, 0);
        if (s.on.load()) DrawFrame(scene);
        s.on = false;
        s.progress = 0;
        s.status = 0;
    }
    JoinThread(nullptr, false);
}

bool IsOn() { return S().on.load(); }

void StopFor(SceneBase* scene) { JoinThread(scene, true); }

void ReleasePictures() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.pictureLock);
    for (IDirect3DTexture9*& texture : s.pictures) {
        if (texture) texture->Release();
        texture = nullptr;
    }
}

int Progress() { return S().progress.load(); }
int Status() { return S().status.load(); }
bool IsThreadRunning() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.threadLock);
    return s.thread != nullptr;
}
bool DeviceLostSeen() { return S().deviceLost.load(); }
float WipePosition() { return S().wipePosition; }
float WipeAccumulator() { return S().wipeAccumulator; }

void ResetProcessState() {
    StopFor(nullptr);
    State& s = S();
    s.on = false;
    s.deviceLost = false;
    s.progress = 0;
    s.status = 0;
    s.wipeAccumulator = 0.0f;
    s.wipePosition = 0.0f;
    // Pictures made on a device that a test has since destroyed are forgotten, not released.
    std::lock_guard<std::mutex> lock(s.pictureLock);
    for (IDirect3DTexture9*& texture : s.pictures) texture = nullptr;
}

}  // namespace LoadingScreen

}  // namespace quor::world
