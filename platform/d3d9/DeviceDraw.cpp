// The device's textures, slots, states and its software drawing of pre-transformed triangles.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/d3d9/Device.h"

namespace quor::d3d9 {

namespace {

std::string Call(const char* name, std::initializer_list<long long> args) {
    std::string s = name;
    s += '(';
    bool first = true;
    for (long long a : args) {
        if (!first) s += ',';
        s += std::to_string(a);
        first = false;
    }
    return s + ')';
}

constexpr std::uint32_t kTexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct Vertex {
    float x, y, z, rhw;
    std::uint32_t colour;
    float u, v;
};

Vertex ReadVertex(const std::uint8_t* p) {
    Vertex v;
    std::memcpy(&v.x, p, 4);
    std::memcpy(&v.y, p + 4, 4);
    std::memcpy(&v.z, p + 8, 4);
    std::memcpy(&v.rhw, p + 12, 4);
    std::memcpy(&v.colour, p + 16, 4);
    std::memcpy(&v.u, p + 20, 4);
    std::memcpy(&v.v, p + 24, 4);
    return v;
}

float Channel(std::uint32_t argb, int shift) { return float((argb >> shift) & 0xFF) / 255.0f; }

struct Rgba {
    float r, g, b, a;
};

Rgba Unpack(std::uint32_t argb) { return {Channel(argb, 16), Channel(argb, 8), Channel(argb, 0), Channel(argb, 24)}; }

float Arg(std::uint32_t arg, float diffuse, float texture) {
    switch (arg & 0xF) {
    case D3DTA_TEXTURE: return texture;
    default: return diffuse;  // diffuse, or the current value, which at stage 0 is the diffuse
    }
}

float Combine(std::uint32_t op, std::uint32_t arg1, std::uint32_t arg2, float diffuse, float texture) {
    switch (op) {
    case D3DTOP_SELECTARG1: return Arg(arg1, diffuse, texture);
    case D3DTOP_SELECTARG2: return Arg(arg2, diffuse, texture);
    case D3DTOP_MODULATE: return Arg(arg1, diffuse, texture) * Arg(arg2, diffuse, texture);
    default: return diffuse;
    }
}

float Factor(std::uint32_t blend, float srcAlpha) {
    switch (blend) {
    case D3DBLEND_ZERO: return 0.0f;
    case D3DBLEND_SRCALPHA: return srcAlpha;
    case D3DBLEND_INVSRCALPHA: return 1.0f - srcAlpha;
    default: return 1.0f;
    }
}

std::uint8_t Byte(float v) { return std::uint8_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); }

// Bilinear sampling between the four texels around (u, v), edges clamped.
Rgba SampleLinear(const IDirect3DSurface9& level, float u, float v) {
    const long w = long(level.Width()), h = long(level.Height());
    const float fx = u * float(w) - 0.5f, fy = v * float(h) - 0.5f;
    const long x0 = long(std::floor(fx)), y0 = long(std::floor(fy));
    const float ax = fx - float(x0), ay = fy - float(y0);
    auto at = [&](long x, long y) {
        return Unpack(level.Pixel(std::uint32_t(std::clamp(x, 0L, w - 1)), std::uint32_t(std::clamp(y, 0L, h - 1))));
    };
    const Rgba a = at(x0, y0), b = at(x0 + 1, y0), c = at(x0, y0 + 1), d = at(x0 + 1, y0 + 1);
    auto mix = [&](float p, float q, float r, float t) {
        return (p * (1 - ax) + q * ax) * (1 - ay) + (r * (1 - ax) + t * ax) * ay;
    };
    return {mix(a.r, b.r, c.r, d.r), mix(a.g, b.g, c.g, d.g), mix(a.b, b.b, c.b, d.b), mix(a.a, b.a, c.a, d.a)};
}

}  // namespace

void IDirect3DDevice9::DefaultStates() {
    m_renderStates[D3DRS_ZENABLE] = 1;
    m_renderStates[D3DRS_ZWRITEENABLE] = 1;
    m_renderStates[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    m_renderStates[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    m_renderStates[D3DRS_CULLMODE] = D3DCULL_CCW;
    m_renderStates[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    for (int stage = 0; stage < 8; ++stage) {
        m_stageStates[stage][D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        m_stageStates[stage][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        m_stageStates[stage][D3DTSS_COLORARG2] = D3DTA_CURRENT;
        m_stageStates[stage][D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        m_stageStates[stage][D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        m_stageStates[stage][D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    }
    for (auto& sampler : m_samplerStates) {
        sampler[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        sampler[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    }
}

void IDirect3DDevice9::Record(std::string call) {
    // A long-running host keeps the latest calls only.
    if (m_calls.size() >= 65536) m_calls.erase(m_calls.begin(), m_calls.begin() + 32768);
    m_calls.push_back(std::move(call));
}

HRESULT IDirect3DDevice9::CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                                        std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DTexture9** out, void*) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (width == 0 || height == 0 || width > 8192 || height > 8192 || BytesPerPixel(format) == 0)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (const HRESULT hr = Admit(width * height); hr != D3D_OK) return hr;
    *out = new IDirect3DTexture9(this, width, height, levels, usage, format, pool);
    m_textures.push_back(*out);
    Record(Call("CreateTexture", {width, height, levels, usage, format, pool}));
    return D3D_OK;
}

HRESULT IDirect3DDevice9::CreateDepthStencilSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                                    std::uint32_t, std::uint32_t, bool, IDirect3DSurface9** out,
                                                    void*) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (width == 0 || height == 0 || width > 8192 || height > 8192) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (const HRESULT hr = Admit(width * height); hr != D3D_OK) return hr;
    *out = new IDirect3DSurface9(this, nullptr, width, height, format, D3DUSAGE_DEPTHSTENCIL);
    m_surfaces.push_back(*out);
    Record(Call("CreateDepthStencilSurface", {width, height, format}));
    return D3D_OK;
}

void IDirect3DDevice9::Destroy(IDirect3DTexture9* texture) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = std::find(m_textures.begin(), m_textures.end(), texture);
    if (it == m_textures.end()) return;
    m_textures.erase(it);
    delete texture;
}

void IDirect3DDevice9::Destroy(IDirect3DSurface9* surface) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = std::find(m_surfaces.begin(), m_surfaces.end(), surface);
    if (it == m_surfaces.end()) return;
    m_surfaces.erase(it);
    delete surface;
}

IDirect3DSurface9* IDirect3DDevice9::BackBuffer() {
    if (!m_backBuffer) {
        m_backBuffer = new IDirect3DSurface9(nullptr, nullptr, m_backWidth, m_backHeight, D3DFMT_A8R8G8B8,
                                             D3DUSAGE_RENDERTARGET);
        // The device's own reference, never given up.
        m_backBuffer->m_refs = 1u << 30;
    }
    return m_backBuffer;
}

void IDirect3DDevice9::SetBackBufferSize(std::uint32_t width, std::uint32_t height) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_backBuffer && width > 0 && height > 0) {
        m_backWidth = width;
        m_backHeight = height;
    }
}

HRESULT IDirect3DDevice9::SetRenderTarget(std::uint32_t index, IDirect3DSurface9* surface) {
    IDirect3DSurface9* old = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record(Call("SetRenderTarget", {index, surface ? 1 : 0}));
        // Only target 0 is kept; it can never be empty.
        if (index != 0 || !surface || !(surface->Usage() & D3DUSAGE_RENDERTARGET)) return D3DERR_INVALIDCALL;
        if (surface == BackBuffer()) surface = nullptr;
        old = std::exchange(m_renderTarget, surface);
    }
    if (surface) surface->AddRef();
    if (old) old->Release();
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetRenderTarget(std::uint32_t index, IDirect3DSurface9** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    *surface = nullptr;
    if (index != 0) return D3DERR_NOTFOUND;
    IDirect3DSurface9* s = m_renderTarget ? m_renderTarget : BackBuffer();
    s->AddRef();
    *surface = s;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetDepthStencilSurface(IDirect3DSurface9* surface) {
    IDirect3DSurface9* old = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record(Call("SetDepthStencilSurface", {surface ? 1 : 0}));
        old = std::exchange(m_depthStencil, surface);
    }
    if (surface) surface->AddRef();
    if (old) old->Release();
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetDepthStencilSurface(IDirect3DSurface9** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    *surface = m_depthStencil;
    if (!m_depthStencil) return D3DERR_NOTFOUND;
    m_depthStencil->AddRef();
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetTexture(std::uint32_t stage, IDirect3DTexture9* texture) {
    if (stage >= 8) return D3DERR_INVALIDCALL;
    IDirect3DTexture9* old = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record(Call("SetTexture", {stage, texture ? 1 : 0}));
        old = std::exchange(m_stageTextures[stage], texture);
    }
    if (texture) texture->AddRef();
    if (old) old->Release();
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetTexture(std::uint32_t stage, IDirect3DTexture9** texture) {
    if (!texture || stage >= 8) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    *texture = m_stageTextures[stage];
    if (*texture) (*texture)->AddRef();
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) {
    if (state >= 256) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    Record(Call("SetRenderState", {state, value}));
    m_renderStates[state] = value;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) {
    if (state >= 256 || !value) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    *value = m_renderStates[state];
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                               std::uint32_t value) {
    if (stage >= 8 || type >= 33) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    Record(Call("SetTextureStageState", {stage, type, value}));
    m_stageStates[stage][type] = value;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                               std::uint32_t* value) {
    if (stage >= 8 || type >= 33 || !value) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    *value = m_stageStates[stage][type];
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t value) {
    if (sampler >= 16 || type >= 14) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    Record(Call("SetSamplerState", {sampler, type, value}));
    m_samplerStates[sampler][type] = value;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t* value) {
    if (sampler >= 16 || type >= 14 || !value) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    *value = m_samplerStates[sampler][type];
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetFVF(std::uint32_t fvf) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Record(Call("SetFVF", {fvf}));
    m_fvf = fvf;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetFVF(std::uint32_t* fvf) {
    if (!fvf) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    *fvf = m_fvf;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR colour) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (rect)
        Record(Call("ColorFill", {rect->left, rect->top, rect->right, rect->bottom, colour}));
    else
        Record(Call("ColorFill", {colour}));
    if (!surface || BytesPerPixel(surface->Format()) == 0 || surface->Locked()) return D3DERR_INVALIDCALL;
    RECT r{0, 0, std::int32_t(surface->Width()), std::int32_t(surface->Height())};
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left > rect->right || rect->top > rect->bottom ||
            std::uint32_t(rect->right) > surface->Width() || std::uint32_t(rect->bottom) > surface->Height())
            return D3DERR_INVALIDCALL;
        r = *rect;
    }
    const std::uint32_t bpp = BytesPerPixel(surface->Format());
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        std::uint8_t* row = surface->Bits() + std::size_t(y) * surface->Pitch();
        for (std::int32_t x = r.left; x < r.right; ++x) {
            if (bpp == 4)
                std::memcpy(row + std::size_t(x) * 4, &colour, 4);
            else
                row[x] = std::uint8_t(colour >> 24);
        }
    }
    return D3D_OK;
}

HRESULT IDirect3DDevice9::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t minIndex,
                                                 std::uint32_t vertexCount, std::uint32_t primitiveCount,
                                                 const void* indices, D3DFORMAT indexFormat, const void* vertices,
                                                 std::uint32_t stride) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Record(Call("DrawIndexedPrimitiveUP", {type, minIndex, vertexCount, primitiveCount, indexFormat, stride}));
    if (!indices || !vertices || primitiveCount == 0 || vertexCount == 0) return D3DERR_INVALIDCALL;
    if (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    if (type != D3DPT_TRIANGLELIST || m_fvf != kTexFvf || stride < 28) return D3D_OK;
    IDirect3DSurface9* target = m_renderTarget ? m_renderTarget : BackBuffer();
    if (target->Format() != D3DFMT_A8R8G8B8 || target->Locked()) return D3D_OK;
    IDirect3DTexture9* texture = m_stageTextures[0];
    const auto* bytes = static_cast<const std::uint8_t*>(vertices);
    const std::uint32_t width = indexFormat == D3DFMT_INDEX16 ? 2 : 4;
    const auto* indexBytes = static_cast<const std::uint8_t*>(indices);
    for (std::uint32_t p = 0; p < primitiveCount; ++p) {
        const std::uint8_t* corner[3];
        bool inside = true;
        for (int k = 0; k < 3; ++k) {
            std::uint32_t index = 0;
            std::memcpy(&index, indexBytes + (std::size_t(p) * 3 + k) * width, width);
            // Indices outside the vertices the caller declared are skipped, not read.
            if (index < minIndex || index >= std::uint64_t(minIndex) + vertexCount) inside = false;
            corner[k] = bytes + std::size_t(index) * stride;
        }
        if (inside) DrawTriangle(corner, target, texture);
    }
    return D3D_OK;
}

void IDirect3DDevice9::DrawTriangle(const std::uint8_t* const corner[3], IDirect3DSurface9* target,
                                    IDirect3DTexture9* texture) {
    const Vertex v0 = ReadVertex(corner[0]), v1 = ReadVertex(corner[1]), v2 = ReadVertex(corner[2]);
    // Twice the signed area; positive winds clockwise on the screen (y down).
    const float area = (v1.x - v0.x) * (v2.y - v0.y) - (v1.y - v0.y) * (v2.x - v0.x);
    if (area == 0.0f || !std::isfinite(area)) return;
    const std::uint32_t cull = m_renderStates[D3DRS_CULLMODE];
    if ((cull == D3DCULL_CCW && area < 0) || (cull == D3DCULL_CW && area > 0)) return;
    const float minX = std::min({v0.x, v1.x, v2.x}), maxX = std::max({v0.x, v1.x, v2.x});
    const float minY = std::min({v0.y, v1.y, v2.y}), maxY = std::max({v0.y, v1.y, v2.y});
    const long x0 = std::max(0L, long(std::ceil(std::max(minX, -1.0f))));
    const long y0 = std::max(0L, long(std::ceil(std::max(minY, -1.0f))));
    const long x1 = std::min(long(target->Width()) - 1, long(std::floor(std::min(maxX, 1e6f))));
    const long y1 = std::min(long(target->Height()) - 1, long(std::floor(std::min(maxY, 1e6f))));
    IDirect3DSurface9* level = texture ? texture->Level(0) : nullptr;
    const std::uint32_t* stage = m_stageStates[0];
    const bool alphaTest = m_renderStates[D3DRS_ALPHATESTENABLE] != 0;
    const std::uint32_t alphaFunc = m_renderStates[D3DRS_ALPHAFUNC];
    const float alphaRef = float(m_renderStates[D3DRS_ALPHAREF] & 0xFF) / 255.0f;
    const bool blend = m_renderStates[D3DRS_ALPHABLENDENABLE] != 0;
    const std::uint32_t srcBlend = m_renderStates[D3DRS_SRCBLEND], dstBlend = m_renderStates[D3DRS_DESTBLEND];
    const float sign = area > 0 ? 1.0f : -1.0f;
    const Vertex* v[3] = {&v0, &v1, &v2};
    // Top-left rule: a pixel centre exactly on an edge belongs to the triangle only for a top
    // or left edge, so two triangles sharing an edge cover each pixel once.
    bool topLeft[3];
    for (int e = 0; e < 3; ++e) {
        const Vertex& a = *v[(e + 1) % 3];
        const Vertex& b = *v[(e + 2) % 3];
        const float dx = (b.x - a.x) * sign, dy = (b.y - a.y) * sign;
        topLeft[e] = (dy == 0 && dx > 0) || dy < 0;
    }
    for (long py = y0; py <= y1; ++py) {
        std::uint8_t* row = target->Bits() + std::size_t(py) * target->Pitch();
        for (long px = x0; px <= x1; ++px) {
            float w[3];
            bool covered = true;
            for (int e = 0; e < 3 && covered; ++e) {
                const Vertex& a = *v[(e + 1) % 3];
                const Vertex& b = *v[(e + 2) % 3];
                w[e] = ((b.x - a.x) * (float(py) - a.y) - (b.y - a.y) * (float(px) - a.x)) * sign;
                covered = w[e] > 0 || (w[e] == 0 && topLeft[e]);
            }
            if (!covered) continue;
            const float sum = w[0] + w[1] + w[2];
            const float b0 = w[0] / sum, b1 = w[1] / sum, b2 = 1.0f - b0 - b1;
            const Rgba d0 = Unpack(v0.colour), d1 = Unpack(v1.colour), d2 = Unpack(v2.colour);
            Rgba diffuse{d0.r * b0 + d1.r * b1 + d2.r * b2, d0.g * b0 + d1.g * b1 + d2.g * b2,
                         d0.b * b0 + d1.b * b1 + d2.b * b2, d0.a * b0 + d1.a * b1 + d2.a * b2};
            Rgba tex{1, 1, 1, 1};
            if (level) {
                const float u = v0.u * b0 + v1.u * b1 + v2.u * b2;
                const float t = v0.v * b0 + v1.v * b1 + v2.v * b2;
                if (m_samplerStates[0][D3DSAMP_MAGFILTER] == D3DTEXF_LINEAR) {
                    tex = SampleLinear(*level, u, t);
                } else {
                    const long tx = std::clamp(long(std::floor(u * float(level->Width()))), 0L, long(level->Width()) - 1);
                    const long ty = std::clamp(long(std::floor(t * float(level->Height()))), 0L, long(level->Height()) - 1);
                    const std::uint32_t texel = level->Pixel(std::uint32_t(tx), std::uint32_t(ty));
                    tex = Unpack(texel);
                }
            }
            Rgba src;
            src.r = Combine(stage[D3DTSS_COLOROP], stage[D3DTSS_COLORARG1], stage[D3DTSS_COLORARG2], diffuse.r, tex.r);
            src.g = Combine(stage[D3DTSS_COLOROP], stage[D3DTSS_COLORARG1], stage[D3DTSS_COLORARG2], diffuse.g, tex.g);
            src.b = Combine(stage[D3DTSS_COLOROP], stage[D3DTSS_COLORARG1], stage[D3DTSS_COLORARG2], diffuse.b, tex.b);
            src.a = Combine(stage[D3DTSS_ALPHAOP], stage[D3DTSS_ALPHAARG1], stage[D3DTSS_ALPHAARG2], diffuse.a, tex.a);
            if (alphaTest) {
                const bool pass = alphaFunc == D3DCMP_ALWAYS || (alphaFunc == D3DCMP_GREATEREQUAL && src.a >= alphaRef) ||
                                  (alphaFunc == D3DCMP_GREATER && src.a > alphaRef);
                if (!pass) continue;
            }
            std::uint8_t* pixel = row + std::size_t(px) * 4;
            if (blend) {
                std::uint32_t dst;
                std::memcpy(&dst, pixel, 4);
                const Rgba d = Unpack(dst);
                const float sf = Factor(srcBlend, src.a), df = Factor(dstBlend, src.a);
                src = {src.r * sf + d.r * df, src.g * sf + d.g * df, src.b * sf + d.b * df, src.a * sf + d.a * df};
            }
            const std::uint32_t out = std::uint32_t(Byte(src.a)) << 24 | std::uint32_t(Byte(src.r)) << 16 |
                                      std::uint32_t(Byte(src.g)) << 8 | Byte(src.b);
            std::memcpy(pixel, &out, 4);
            ++m_drawnPixels;
        }
    }
}

std::vector<std::string> IDirect3DDevice9::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

void IDirect3DDevice9::ClearCalls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string>().swap(m_calls);
}

int IDirect3DDevice9::LiveTextures() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_textures.size());
}

int IDirect3DDevice9::LiveSurfaces() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_surfaces.size());
}

void IDirect3DDevice9::FailTextureLocks(bool fail) { m_failLocks = fail; }

std::uint64_t IDirect3DDevice9::DrawnPixels() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_drawnPixels;
}

// --- the frame: cooperative level, clear, scene bracket, present, strips ----------------------------

HRESULT IDirect3DDevice9::TestCooperativeLevel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cooperativeLevel;
}

void IDirect3DDevice9::FailCooperativeLevel(HRESULT code) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cooperativeLevel = code;
}

HRESULT IDirect3DDevice9::Clear(std::uint32_t count, const RECT* rects, std::uint32_t flags, D3DCOLOR colour, float z,
                                std::uint32_t stencil) {
    IDirect3DSurface9* target = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Record(Call("Clear", {count, flags, colour, static_cast<long long>(z), stencil}));
        target = m_renderTarget ? m_renderTarget : BackBuffer();
    }
    if (!(flags & D3DCLEAR_TARGET)) return D3D_OK;
    if (count == 0 || !rects) return ColorFill(target, nullptr, colour);
    for (std::uint32_t i = 0; i < count; ++i) {
        RECT r = rects[i];
        r.left = std::max(r.left, 0);
        r.top = std::max(r.top, 0);
        r.right = std::min(r.right, std::int32_t(target->Width()));
        r.bottom = std::min(r.bottom, std::int32_t(target->Height()));
        if (r.left < r.right && r.top < r.bottom) ColorFill(target, &r, colour);
    }
    return D3D_OK;
}

HRESULT IDirect3DDevice9::BeginScene() {
    std::lock_guard<std::mutex> lock(m_mutex);
    Record("BeginScene()");
    if (m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = true;
    ++m_sceneBegins;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::EndScene() {
    std::lock_guard<std::mutex> lock(m_mutex);
    Record("EndScene()");
    if (!m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::Present(const RECT*, const RECT*, void*, const void*) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Record("Present()");
    ++m_presents;
    if (m_cooperativeLevel != D3D_OK) return D3DERR_DEVICELOST;
    IDirect3DSurface9* back = BackBuffer();
    m_presentedWidth = back->Width();
    m_presentedHeight = back->Height();
    m_presented.assign(std::size_t(m_presentedWidth) * m_presentedHeight, 0);
    if (back->Format() == D3DFMT_A8R8G8B8) std::memcpy(m_presented.data(), back->Bits(), m_presented.size() * 4);
    return D3D_OK;
}

HRESULT IDirect3DDevice9::DrawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                                          std::uint32_t stride) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Record(Call("DrawPrimitiveUP", {type, primitiveCount, stride}));
    if (!vertices || primitiveCount == 0) return D3DERR_INVALIDCALL;
    const bool diffuse = (m_fvf & D3DFVF_DIFFUSE) != 0;
    const std::uint32_t wanted = D3DFVF_XYZRHW | D3DFVF_TEX1 | (diffuse ? D3DFVF_DIFFUSE : 0);
    if (m_fvf != wanted || stride < (diffuse ? 28u : 24u)) return D3D_OK;
    if (type != D3DPT_TRIANGLELIST && type != D3DPT_TRIANGLESTRIP) return D3D_OK;
    IDirect3DSurface9* target = m_renderTarget ? m_renderTarget : BackBuffer();
    if (target->Format() != D3DFMT_A8R8G8B8 || target->Locked()) return D3D_OK;
    const std::uint32_t count = type == D3DPT_TRIANGLELIST ? primitiveCount * 3 : primitiveCount + 2;
    // Every vertex in the layout the rasteriser reads, white where no colour is given.
    std::vector<std::uint8_t> laid(std::size_t(count) * 28);
    const auto* in = static_cast<const std::uint8_t*>(vertices);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* src = in + std::size_t(i) * stride;
        std::uint8_t* dst = laid.data() + std::size_t(i) * 28;
        std::memcpy(dst, src, 16);
        const std::uint32_t white = 0xFFFFFFFFu;
        if (diffuse) {
            std::memcpy(dst + 16, src + 16, 12);
        } else {
            std::memcpy(dst + 16, &white, 4);
            std::memcpy(dst + 20, src + 16, 8);
        }
    }
    for (std::uint32_t p = 0; p < primitiveCount; ++p) {
        std::uint32_t a = p * 3, b = p * 3 + 1, c = p * 3 + 2;
        if (type == D3DPT_TRIANGLESTRIP) {
            // Odd triangles of a strip swap two corners to keep the strip's winding.
            a = p, b = p + 1, c = p + 2;
            if (p % 2) std::swap(a, b);
        }
        const std::uint8_t* corner[3] = {laid.data() + std::size_t(a) * 28, laid.data() + std::size_t(b) * 28,
                                         laid.data() + std::size_t(c) * 28};
        DrawTriangle(corner, target, m_stageTextures[0]);
    }
    return D3D_OK;
}

int IDirect3DDevice9::Presents() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_presents;
}

int IDirect3DDevice9::SceneBegins() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sceneBegins;
}

bool IDirect3DDevice9::InScene() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_inScene;
}

std::vector<std::uint32_t> IDirect3DDevice9::PresentedImage(std::uint32_t* width, std::uint32_t* height) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (width) *width = m_presentedWidth;
    if (height) *height = m_presentedHeight;
    return m_presented;
}

std::uint32_t IDirect3DDevice9::PresentedPixel(std::uint32_t x, std::uint32_t y) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (x >= m_presentedWidth || y >= m_presentedHeight) return 0;
    return m_presented[std::size_t(y) * m_presentedWidth + x];
}

}  // namespace quor::d3d9
