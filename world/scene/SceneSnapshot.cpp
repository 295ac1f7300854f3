// The scene's off-screen render-and-save operations: the debug snapshot and the question images.
#include <cstdint>
#include <string>

#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/Device.h"
#include "platform/host/ID3DDevice.h"
#include "platform/host/IRenderer.h"
#include "platform/host/IResFileSystem.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Random.h"
#include "world/scene/SceneBase.h"

namespace quor::world {

namespace {

using namespace d3d9;

constexpr std::uint32_t kTargetWidth = 400;
constexpr std::uint32_t kTargetHeight = 300;
constexpr int kCells = 16;  // a 4 x 4 grid

IDirect3DDevice9* Device() {
    render::ID3DDevice* service = Interfaces().d3dDevice;
    return service ? static_cast<IDirect3DDevice9*>(service->GetDevice()) : nullptr;
}

// The 400 x 300 render target both operations draw into, given back on leaving.
struct OffscreenTarget {
    OffscreenTarget() {
        renderer = Interfaces().renderer;
        if (!renderer || !Device()) return;
        handle = renderer->CreateTexture(int(kTargetWidth), int(kTargetHeight), D3DFMT_A8R8G8B8, 1, 1, 0);
        texture = handle ? static_cast<IDirect3DTexture9*>(handle->GetSurface()) : nullptr;
    }
    ~OffscreenTarget() {
        if (handle) renderer->ReleaseTexture(handle);
    }
    OffscreenTarget(const OffscreenTarget&) = delete;
    OffscreenTarget& operator=(const OffscreenTarget&) = delete;

    render::IRenderer* renderer = nullptr;
    render::ITexture* handle = nullptr;
    IDirect3DTexture9* texture = nullptr;
};

std::string ResourceRoot() {
    common::IResFileSystem* files = Interfaces().resFileSystem;
    const char* root = files ? files->GetResourceRoot() : nullptr;
    return root ? root : "";
}

// Copies the picture stretched over the whole target (nearest pixel).
void FillFromPicture(IDirect3DSurface9* target, IDirect3DTexture9* picture) {
    const IDirect3DSurface9* source = picture->Level(0);
    const std::uint32_t sw = source->Width(), sh = source->Height();
    const auto* in = reinterpret_cast<const std::uint32_t*>(source->Bits());
    auto* out = reinterpret_cast<std::uint32_t*>(target->Bits());
    for (std::uint32_t y = 0; y < kTargetHeight; ++y)
        for (std::uint32_t x = 0; x < kTargetWidth; ++x)
            out[y * kTargetWidth + x] = in[(y * sh / kTargetHeight) * sw + x * sw / kTargetWidth];
}

}  // namespace

void SceneBase::SaveDebugSnapshot(IScene* scene) {
    if (!scene) {
        LogError("SaveDebugSnapshot: no scene");
        return;
    }
    IDirect3DDevice9* device = Device();
    OffscreenTarget target;
    if (!device || !target.texture) return;
    IDirect3DSurface9* old = nullptr;
    IDirect3DSurface9* surface = nullptr;
    if (device->GetRenderTarget(0, &old) != D3D_OK) return;
    if (target.texture->GetSurfaceLevel(0, &surface) == D3D_OK) {
        device->SetRenderTarget(0, surface);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        scene->Render();
        device->SetRenderTarget(0, old);
        if (D3DXSaveTextureToFileA("d://cc.dds", D3DXIFF_DDS, target.texture, nullptr) != D3D_OK)
            LogError("SaveDebugSnapshot: cannot write %s", "d://cc.dds");
        surface->Release();
    }
    old->Release();
}

void SceneBase::BuildQuestionImages(const char* picture) {
    IDirect3DDevice9* device = Device();
    OffscreenTarget target;
    if (!device || !target.texture) return;
    const std::string root = ResourceRoot();
    // The picture's pixels; a missing one is logged and a blank one stands in, so the images
    // are still written.
    IDirect3DTexture9* source = nullptr;
    if (picture) {
        const std::string path = root + picture;
        if (D3DXCreateTextureFromFileExA(device, path.c_str(), 0, 0, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, 0, 0, 0,
                                         nullptr, nullptr, &source) != D3D_OK) {
            LogError("程序水贴图：%s 丢失", path.c_str());
            source = nullptr;
        }
    }
    if (!source && device->CreateTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &source, nullptr) != D3D_OK)
        return;
    IDirect3DSurface9* surface = target.texture->Level(0);
    for (int k = 1; k <= 5; ++k) {
        // Each image starts again from the whole picture, so it shows exactly its own cells.
        FillFromPicture(surface, source);
        const int black = kCells - int(float(kCells) * 0.2f * float(k));
        bool taken[kCells] = {};
        for (int n = 0; n < black; ++n) {
            int cell = Rand() % kCells;
            while (taken[cell]) cell = Rand() % kCells;
            taken[cell] = true;
            const std::int32_t w = std::int32_t(kTargetWidth / 4), h = std::int32_t(kTargetHeight / 4);
            const RECT r{(cell % 4) * w, (cell / 4) * h, (cell % 4 + 1) * w, (cell / 4 + 1) * h};
            device->ColorFill(surface, &r, 0xFF000000u);
        }
        const std::string path = root + "\\cegui\\imagesets\\question\\question" + std::to_string(k) + ".dds";
        if (D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, target.texture, nullptr) != D3D_OK)
            LogError("BuildQuestionImages: cannot write %s", path.c_str());
    }
    source->Release();
}

}  // namespace quor::world
