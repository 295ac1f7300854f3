#include "platform/d3d9/D3DX.h"

#include <stb_image.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/d3d9/Device.h"
#include "platform/win32/Directory.h"

namespace quor::d3d9 {

namespace {

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

}  // namespace

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, const char* path, std::uint32_t, std::uint32_t,
                                     std::uint32_t, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                     std::uint32_t, std::uint32_t, D3DCOLOR, void*, void*,
                                     IDirect3DTexture9** texture) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device || !path || (format != D3DFMT_UNKNOWN && format != D3DFMT_A8R8G8B8)) return D3DERR_INVALIDCALL;
    const std::string host = win32::ToHostPath(path);
    int w = 0, h = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load(host.c_str(), &w, &h, &channels, 4), stbi_image_free);
    if (!pixels || w <= 0 || h <= 0) return E_FAIL;
    IDirect3DTexture9* made = nullptr;
    HRESULT hr = device->CreateTexture(std::uint32_t(w), std::uint32_t(h), 1, usage, D3DFMT_A8R8G8B8, pool, &made,
                                       nullptr);
    if (hr != D3D_OK) return hr;
    IDirect3DSurface9* level = made->Level(0);
    const stbi_uc* in = pixels.get();
    for (std::size_t i = 0, n = std::size_t(w) * std::size_t(h); i < n; ++i) {
        // RGBA bytes in, A8R8G8B8 words (B, G, R, A in memory) out.
        std::uint8_t* out = level->Bits() + i * 4;
        out[0] = in[i * 4 + 2];
        out[1] = in[i * 4 + 1];
        out[2] = in[i * 4 + 0];
        out[3] = in[i * 4 + 3];
    }
    *texture = made;
    return D3D_OK;
}

HRESULT D3DXSaveTextureToFileA(const char* path, D3DXIMAGE_FILEFORMAT format, IDirect3DTexture9* texture,
                               const void*) {
    if (!path || !texture || format != D3DXIFF_DDS || texture->Format() != D3DFMT_A8R8G8B8) return D3DERR_INVALIDCALL;
    const IDirect3DSurface9* level = texture->Level(0);
    const std::uint32_t w = level->Width(), h = level->Height();
    std::uint8_t header[128] = {};
    std::memcpy(header, "DDS ", 4);
    Put32(header + 4, 124);                       // header size
    Put32(header + 8, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000);  // caps, height, width, pitch, pixel format
    Put32(header + 12, h);
    Put32(header + 16, w);
    Put32(header + 20, w * 4);                    // pitch
    Put32(header + 28, 1);                        // mip levels
    Put32(header + 76, 32);                       // pixel format size
    Put32(header + 80, 0x41);                     // RGB with alpha
    Put32(header + 88, 32);                       // bits per pixel
    Put32(header + 92, 0x00FF0000);               // red mask
    Put32(header + 96, 0x0000FF00);               // green mask
    Put32(header + 100, 0x000000FF);              // blue mask
    Put32(header + 104, 0xFF000000);              // alpha mask
    Put32(header + 108, 0x1000);                  // caps: texture
    const std::string host = win32::ToHostPath(path);
    std::FILE* file = std::fopen(host.c_str(), "wb");
    if (!file) return E_FAIL;
    bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    const std::size_t bytes = std::size_t(w) * h * 4;
    ok = ok && std::fwrite(level->Bits(), 1, bytes, file) == bytes;
    ok = std::fclose(file) == 0 && ok;
    return ok ? D3D_OK : E_FAIL;
}

}  // namespace quor::d3d9
