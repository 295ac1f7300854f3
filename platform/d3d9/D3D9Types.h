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

enum D3DFORMAT : std::uint32_t {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_A8 = 28,
    D3DFMT_D24S8 = 75,
    D3DFMT_INDEX16 = 101,
    D3DFMT_INDEX32 = 102,
};

constexpr HRESULT D3DERR_NOTFOUND = static_cast<HRESULT>(0x88760866u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

constexpr std::uint32_t D3DUSAGE_RENDERTARGET = 0x1;
constexpr std::uint32_t D3DUSAGE_DEPTHSTENCIL = 0x2;
constexpr std::uint32_t D3DFVF_XYZRHW = 0x004;
constexpr std::uint32_t D3DFVF_TEX1 = 0x100;

using D3DCOLOR = std::uint32_t;

struct RECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct D3DLOCKED_RECT {
    std::int32_t Pitch = 0;
    void* pBits = nullptr;
};

enum D3DPRIMITIVETYPE : std::uint32_t { D3DPT_TRIANGLELIST = 4, D3DPT_TRIANGLESTRIP = 5 };

// Render states, texture-stage states, sampler states and their values, as far as used.
enum D3DRENDERSTATETYPE : std::uint32_t {
    D3DRS_ZENABLE = 7,
    D3DRS_ZWRITEENABLE = 14,
    D3DRS_ALPHATESTENABLE = 15,
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22,
    D3DRS_ALPHAREF = 24,
    D3DRS_ALPHAFUNC = 25,
    D3DRS_ALPHABLENDENABLE = 27,
};
enum D3DBLEND : std::uint32_t { D3DBLEND_ZERO = 1, D3DBLEND_ONE = 2, D3DBLEND_SRCALPHA = 5, D3DBLEND_INVSRCALPHA = 6 };
enum D3DCULL : std::uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3DCMPFUNC : std::uint32_t { D3DCMP_NEVER = 1, D3DCMP_GREATER = 5, D3DCMP_GREATEREQUAL = 7, D3DCMP_ALWAYS = 8 };
enum D3DTEXTURESTAGESTATETYPE : std::uint32_t {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
};
enum D3DTEXTUREOP : std::uint32_t { D3DTOP_DISABLE = 1, D3DTOP_SELECTARG1 = 2, D3DTOP_SELECTARG2 = 3, D3DTOP_MODULATE = 4 };
constexpr std::uint32_t D3DTA_DIFFUSE = 0;
constexpr std::uint32_t D3DTA_CURRENT = 1;
constexpr std::uint32_t D3DTA_TEXTURE = 2;
enum D3DSAMPLERSTATETYPE : std::uint32_t { D3DSAMP_MAGFILTER = 5, D3DSAMP_MINFILTER = 6 };
enum D3DTEXTUREFILTERTYPE : std::uint32_t { D3DTEXF_POINT = 1, D3DTEXF_LINEAR = 2 };
enum D3DTRANSFORMSTATETYPE : std::uint32_t { D3DTS_VIEW = 2, D3DTS_PROJECTION = 3 };
// What the device was made with that its users read back.
struct D3DPRESENT_PARAMETERS {
    std::uint32_t BackBufferWidth = 640;
    std::uint32_t BackBufferHeight = 480;
};

// The frame and file vocabulary: clear flags, device-loss codes, D3DX file formats and filters.
constexpr std::uint32_t D3DCLEAR_TARGET = 0x1;
constexpr std::uint32_t D3DCLEAR_ZBUFFER = 0x2;
constexpr std::uint32_t D3DCLEAR_STENCIL = 0x4;
constexpr HRESULT D3DERR_DEVICELOST = static_cast<HRESULT>(0x88760868u);
constexpr HRESULT D3DERR_DEVICENOTRESET = static_cast<HRESULT>(0x88760869u);
constexpr std::uint32_t D3DX_DEFAULT = 0xFFFFFFFFu;
constexpr std::uint32_t D3DX_FILTER_POINT = 2;
enum D3DXIMAGE_FILEFORMAT : std::uint32_t { D3DXIFF_BMP = 0, D3DXIFF_JPG = 1, D3DXIFF_TGA = 2, D3DXIFF_PNG = 3, D3DXIFF_DDS = 4 };
constexpr D3DSAMPLERSTATETYPE D3DSAMP_MIPFILTER = static_cast<D3DSAMPLERSTATETYPE>(7);
constexpr std::uint32_t D3DTEXF_NONE = 0;


}  // namespace quor::d3d9
