#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d9/Device.h"

namespace {

using namespace quor::d3d9;

struct Vertex {
    float x, y, z, rhw;
    std::uint32_t colour;
    float u, v;
};

// A quad of pre-transformed vertices with the half-pixel offset: pixels [l, r) x [t, b).
std::vector<Vertex> Quad(float l, float t, float r, float b, std::uint32_t colour) {
    return {{l - 0.5f, b - 0.5f, 0, 1, colour, 0, 1},
            {l - 0.5f, t - 0.5f, 0, 1, colour, 0, 0},
            {r - 0.5f, b - 0.5f, 0, 1, colour, 1, 1},
            {r - 0.5f, t - 0.5f, 0, 1, colour, 1, 0}};
}

const std::uint16_t kQuad[6] = {0, 1, 2, 2, 1, 3};

HRESULT Draw(IDirect3DDevice9& device, const std::vector<Vertex>& v, const std::uint16_t* indices, std::uint32_t tris) {
    return device.DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, std::uint32_t(v.size()), tris, indices, D3DFMT_INDEX16,
                                         v.data(), sizeof(Vertex));
}

TEST(DeviceTextures, ReferencesSlotsAndLocks) {
    IDirect3DDevice9 device;
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTexture(&device, 16, 8, 1, 0, D3DFMT_A8, D3DPOOL_MANAGED, &texture), D3D_OK);
    EXPECT_EQ(device.LiveTextures(), 1);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    EXPECT_EQ(texture->RefCount(), 2u);
    EXPECT_NE(texture->GetSurfaceLevel(1, &level), D3D_OK);
    EXPECT_EQ(level, nullptr);
    D3DLOCKED_RECT locked;
    const RECT cell{4, 2, 8, 6};
    ASSERT_EQ(texture->LockRect(0, &locked, &cell, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 16);
    static_cast<std::uint8_t*>(locked.pBits)[0] = 200;
    EXPECT_NE(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);  // already locked
    texture->UnlockRect(0);
    EXPECT_EQ(texture->Level(0)->Pixel(4, 2), 200u << 24);
    const RECT outside{10, 0, 17, 1};
    EXPECT_NE(texture->LockRect(0, &locked, &outside, 0), D3D_OK);
    device.FailTextureLocks(true);
    EXPECT_NE(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    device.FailTextureLocks(false);
    // The stage slot holds a reference of its own.
    device.SetTexture(0, texture);
    texture->Release();
    texture->Release();
    EXPECT_EQ(device.LiveTextures(), 1);
    device.SetTexture(0, nullptr);
    EXPECT_EQ(device.LiveTextures(), 0);
    EXPECT_NE(device.CreateTexture(0, 4, 1, 0, D3DFMT_A8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);

    IDirect3DSurface9* depth = nullptr;
    IDirect3DSurface9* got = nullptr;
    EXPECT_EQ(device.GetDepthStencilSurface(&got), D3DERR_NOTFOUND);
    ASSERT_EQ(device.CreateDepthStencilSurface(8, 8, D3DFMT_D24S8, 0, 0, false, &depth, nullptr), D3D_OK);
    device.SetDepthStencilSurface(depth);
    depth->Release();
    EXPECT_EQ(device.LiveSurfaces(), 1);
    device.SetDepthStencilSurface(nullptr);
    EXPECT_EQ(device.LiveSurfaces(), 0);
}

TEST(DeviceTextures, ColorFillClipsToItsRectangle) {
    IDirect3DDevice9 device;
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(device.CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr),
              D3D_OK);
    IDirect3DSurface9* s = target->Level(0);
    ASSERT_EQ(device.ColorFill(s, nullptr, 0xFF102030u), D3D_OK);
    const RECT r{2, 3, 5, 4};
    ASSERT_EQ(device.ColorFill(s, &r, 0), D3D_OK);
    int cleared = 0;
    for (std::uint32_t y = 0; y < 8; ++y)
        for (std::uint32_t x = 0; x < 8; ++x) cleared += s->Pixel(x, y) == 0;
    EXPECT_EQ(cleared, 3);
    const RECT bad{6, 0, 9, 1};
    EXPECT_NE(device.ColorFill(s, &bad, 0), D3D_OK);
    EXPECT_EQ(device.Calls().back(), "ColorFill(6,0,9,1,0)");
    target->Release();
}

// Two triangles of a quad cover every pixel of it once: half-transparent white blended twice
// would show on the shared edge.
TEST(DeviceDraw, QuadsCoverTheirPixelsOnceAndBlendBySourceAlpha) {
    IDirect3DDevice9 device;
    device.SetBackBufferSize(16, 16);
    device.SetFVF(0x144);
    device.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    ASSERT_EQ(Draw(device, Quad(2, 3, 10, 7, 0x80FFFFFFu), kQuad, 2), D3D_OK);
    IDirect3DSurface9* target = nullptr;
    device.GetRenderTarget(0, &target);
    int covered = 0;
    for (std::uint32_t y = 0; y < 16; ++y)
        for (std::uint32_t x = 0; x < 16; ++x) {
            const std::uint32_t p = target->Pixel(x, y);
            const bool inside = x >= 2 && x < 10 && y >= 3 && y < 7;
            if (inside) {
                ++covered;
                EXPECT_EQ((p >> 16) & 0xFF, 128u) << x << "," << y;
            } else {
                EXPECT_EQ(p, 0u) << x << "," << y;
            }
        }
    EXPECT_EQ(covered, 32);
    EXPECT_EQ(device.DrawnPixels(), 32u);
    target->Release();
}

TEST(DeviceDraw, TextureAlphaTimesDiffuseCullingAndBadIndices) {
    IDirect3DDevice9 device;
    device.SetBackBufferSize(8, 8);
    IDirect3DTexture9* page = nullptr;
    ASSERT_EQ(D3DXCreateTexture(&device, 4, 4, 1, 0, D3DFMT_A8, D3DPOOL_MANAGED, &page), D3D_OK);
    D3DLOCKED_RECT locked;
    page->LockRect(0, &locked, nullptr, 0);
    std::memset(locked.pBits, 255, 16);
    page->UnlockRect(0);
    device.SetTexture(0, page);
    device.SetFVF(0x144);
    device.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device.SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    ASSERT_EQ(Draw(device, Quad(0, 0, 2, 2, 0x4000FF00u), kQuad, 2), D3D_OK);
    IDirect3DSurface9* target = nullptr;
    device.GetRenderTarget(0, &target);
    EXPECT_EQ(target->Pixel(1, 1), 0x4000FF00u);
    // Wound the other way: culled by the default mode.
    const std::uint16_t reversed[6] = {0, 2, 1, 2, 3, 1};
    ASSERT_EQ(Draw(device, Quad(4, 4, 6, 6, 0xFFFFFFFFu), reversed, 2), D3D_OK);
    EXPECT_EQ(target->Pixel(5, 5), 0u);
    // Indices past the vertices given are skipped, not read.
    const std::uint16_t wild[6] = {0, 1, 900, 2, 1, 3};
    ASSERT_EQ(Draw(device, Quad(4, 4, 6, 6, 0xFFFFFFFFu), wild, 2), D3D_OK);
    EXPECT_EQ(device.Calls().back(), "DrawIndexedPrimitiveUP(4,0,4,2,101,28)");
    target->Release();
    device.SetTexture(0, nullptr);
    page->Release();
}

}  // namespace
