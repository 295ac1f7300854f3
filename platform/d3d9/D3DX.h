#pragma once
#include <cstdint>

#include "platform/d3d9/D3D9Types.h"
#include "platform/d3d9/Texture.h"

namespace quor::d3d9 {

// D3DX file helpers of the CPU device. Paths are Windows paths (GetCurrentDirectoryA plus
// "\dir\name"), mapped to this file system by win32::ToHostPath.

// Loads a picture (JPEG, TGA, PNG or BMP) into a new one-level A8R8G8B8 texture of its size.
// Width, height and levels D3DX_DEFAULT (or 0), format D3DFMT_UNKNOWN or A8R8G8B8; filters,
// colour key, image info and palette are taken as given and not used. E_FAIL when the file
// is missing or no picture.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, const char* path, std::uint32_t width,
                                     std::uint32_t height, std::uint32_t levels, std::uint32_t usage, D3DFORMAT format,
                                     D3DPOOL pool, std::uint32_t filter, std::uint32_t mipFilter,
                                     D3DCOLOR colourKey, void* info, void* palette, IDirect3DTexture9** texture);

// Writes level 0 of an A8R8G8B8 texture as an uncompressed DDS file (32-bit BGRA, no mips).
// Only D3DXIFF_DDS is written; D3DERR_INVALIDCALL otherwise, E_FAIL when the file cannot be made.
HRESULT D3DXSaveTextureToFileA(const char* path, D3DXIMAGE_FILEFORMAT format, IDirect3DTexture9* texture,
                               const void* palette);

}  // namespace quor::d3d9
