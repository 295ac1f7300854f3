#pragma once
#include <cstdint>

// The values of the Direct3D 9 vocabulary that the system's code passes and tests.
namespace quor::d3d9 {

using HRESULT = std::int32_t;

constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017Cu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

enum D3DPOOL : std::uint32_t { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1, D3DPOOL_SYSTEMMEM = 2, D3DPOOL_SCRATCH = 3 };

constexpr std::uint32_t D3DUSAGE_WRITEONLY = 0x8;
constexpr std::uint32_t D3DUSAGE_DYNAMIC = 0x200;
constexpr std::uint32_t D3DLOCK_DISCARD = 0x2000;

// Flexible vertex format bits.
constexpr std::uint32_t D3DFVF_XYZ = 0x002;
constexpr std::uint32_t D3DFVF_NORMAL = 0x010;
constexpr std::uint32_t D3DFVF_DIFFUSE = 0x040;
constexpr std::uint32_t D3DFVF_TEXCOUNT_SHIFT = 8;
constexpr std::uint32_t D3DFVF_TEX(std::uint32_t sets) { return sets << D3DFVF_TEXCOUNT_SHIFT; }

enum D3DFORMAT : std::uint32_t { D3DFMT_UNKNOWN = 0, D3DFMT_INDEX16 = 101, D3DFMT_INDEX32 = 102 };

}  // namespace quor::d3d9
