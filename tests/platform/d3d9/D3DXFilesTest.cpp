#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/Device.h"

namespace {

using namespace quor::d3d9;
namespace fs = std::filesystem;

fs::path TempDir() {
    fs::path dir = fs::temp_directory_path() / ("d3dx-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

TEST(D3DXFiles, PictureInDdsOut) {
    const fs::path dir = TempDir();
    const std::uint8_t rgba[2 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 255, 10, 20, 30, 0};
    ASSERT_NE(stbi_write_tga((dir / "pic.tga").c_str(), 2, 2, 4, rgba), 0);
    IDirect3DDevice9 device;
    IDirect3DTexture9* texture = nullptr;
    // A Windows path with the other separator and case finds the file.
    const std::string windowsPath = (dir / "PIC.TGA").string();
    ASSERT_EQ(D3DXCreateTextureFromFileExA(&device, windowsPath.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_POINT, D3DX_FILTER_POINT, 0,
                                           nullptr, nullptr, &texture),
              D3D_OK);
    EXPECT_EQ(texture->Width(), 2u);
    EXPECT_EQ(texture->Level(0)->Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(texture->Level(0)->Pixel(1, 0), 0x8000FF00u);
    EXPECT_EQ(texture->Level(0)->Pixel(1, 1), 0x000A141Eu);

    ASSERT_EQ(D3DXSaveTextureToFileA((dir / "out.dds").c_str(), D3DXIFF_DDS, texture, nullptr), D3D_OK);
    std::ifstream in(dir / "out.dds", std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 128u + 16u);
    EXPECT_EQ(std::memcmp(bytes.data(), "DDS ", 4), 0);
    EXPECT_EQ(Le32(bytes, 12), 2u);  // height
    EXPECT_EQ(Le32(bytes, 16), 2u);  // width
    EXPECT_EQ(Le32(bytes, 88), 32u);
    EXPECT_EQ(Le32(bytes, 128 + 4), 0x8000FF00u);
    EXPECT_EQ(D3DXSaveTextureToFileA((dir / "out.dds").c_str(), D3DXIFF_JPG, texture, nullptr), D3DERR_INVALIDCALL);
    texture->Release();

    IDirect3DTexture9* missing = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileExA(&device, (dir / "none.jpg").c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, 0, 0, 0, nullptr, nullptr, &missing),
              E_FAIL);
    EXPECT_EQ(missing, nullptr);
    std::ofstream(dir / "junk.tga") << "not a picture";
    EXPECT_EQ(D3DXCreateTextureFromFileExA(&device, (dir / "junk.tga").c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, 0, 0, 0, nullptr, nullptr, &missing),
              E_FAIL);
    EXPECT_EQ(device.LiveTextures(), 0);
    fs::remove_all(dir);
}

struct Vtx {
    float x, y, z, rhw, u, v;
};

TEST(D3DXFiles, FrameOfStripsIsPresented) {
    IDirect3DDevice9 device;
    device.SetBackBufferSize(8, 4);
    EXPECT_EQ(device.TestCooperativeLevel(), D3D_OK);
    ASSERT_EQ(device.BeginScene(), D3D_OK);
    EXPECT_EQ(device.BeginScene(), D3DERR_INVALIDCALL);
    device.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device.CreateTexture(2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    const std::uint32_t texels[2] = {0xFF000000u, 0xFFFF0000u};
    std::memcpy(texture->Level(0)->Bits(), texels, 8);
    device.SetTexture(0, texture);
    device.SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    const Vtx strip[4] = {{0, 0, 0, 1, 0, 0}, {8, 0, 0, 1, 1, 0}, {0, 2, 0, 1, 0, 1}, {8, 2, 0, 1, 1, 1}};
    device.DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(Vtx));
    device.SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    const Vtx lower[4] = {{0, 2, 0, 1, 0, 0}, {8, 2, 0, 1, 1, 0}, {0, 4, 0, 1, 0, 1}, {8, 4, 0, 1, 1, 1}};
    device.DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, lower, sizeof(Vtx));
    ASSERT_EQ(device.EndScene(), D3D_OK);
    ASSERT_EQ(device.Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device.Presents(), 1);
    std::uint32_t w = 0, h = 0;
    EXPECT_EQ(device.PresentedImage(&w, &h).size(), 32u);
    // Point sampling: the left half black, the right half red; linear sampling blends between.
    EXPECT_EQ(device.PresentedPixel(3, 0), 0xFF000000u);
    EXPECT_EQ(device.PresentedPixel(4, 0), 0xFFFF0000u);
    const std::uint32_t mid = device.PresentedPixel(3, 2);
    EXPECT_GT((mid >> 16) & 0xFF, 0u);
    EXPECT_LT((mid >> 16) & 0xFF, 255u);
    // The image stays as presented while the back buffer changes.
    device.Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    EXPECT_EQ(device.PresentedPixel(4, 0), 0xFFFF0000u);
    device.FailCooperativeLevel(D3DERR_DEVICELOST);
    EXPECT_EQ(device.TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device.Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device.PresentedPixel(4, 0), 0xFFFF0000u);
    device.SetTexture(0, nullptr);
    texture->Release();
}

}  // namespace
