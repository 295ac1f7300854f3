#include "platform/d3d9/Texture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/d3d9/Device.h"

namespace quor::d3d9 {

std::uint32_t BytesPerPixel(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8: return 4;
    case D3DFMT_A8: return 1;
    default: return 0;
    }
}

IDirect3DSurface9::IDirect3DSurface9(IDirect3DDevice9* device, IDirect3DTexture9* container, std::uint32_t width,
                                     std::uint32_t height, D3DFORMAT format, std::uint32_t usage)
    : m_device(device), m_container(container), m_width(width), m_height(height), m_format(format), m_usage(usage),
      m_size(std::size_t(width) * height * BytesPerPixel(format)) {}

void IDirect3DSurface9::FreeBytes::operator()(std::uint8_t* p) const { std::free(p); }

std::uint8_t* IDirect3DSurface9::Storage() const {
    if (m_size == 0) return nullptr;
    // calloc: fresh pages from the system need no zeroing.
    std::call_once(m_made, [this] {
        m_bits.reset(static_cast<std::uint8_t*>(std::calloc(m_size, 1)));
        if (!m_bits) std::abort();
    });
    return m_bits.get();
}

std::uint32_t IDirect3DSurface9::AddRef() {
    if (m_container) return m_container->AddRef();
    return ++m_refs;
}

std::uint32_t IDirect3DSurface9::Release() {
    if (m_container) return m_container->Release();
    const std::uint32_t left = --m_refs;
    if (left == 0 && m_device) m_device->Destroy(this);
    return left;
}

HRESULT IDirect3DSurface9::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, std::uint32_t) {
    if (!locked || m_locked || m_size == 0) return D3DERR_INVALIDCALL;
    if (m_device && m_device->TextureLocksFail()) return D3DERR_INVALIDCALL;
    RECT r{0, 0, std::int32_t(m_width), std::int32_t(m_height)};
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
            std::uint32_t(rect->right) > m_width || std::uint32_t(rect->bottom) > m_height)
            return D3DERR_INVALIDCALL;
        r = *rect;
    }
    const std::uint32_t bpp = BytesPerPixel(m_format);
    locked->Pitch = std::int32_t(Pitch());
    locked->pBits = Storage() + std::size_t(r.top) * Pitch() + std::size_t(r.left) * bpp;
    m_locked = true;
    return D3D_OK;
}

HRESULT IDirect3DSurface9::UnlockRect() {
    if (!m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
}

std::uint32_t IDirect3DSurface9::Pixel(std::uint32_t x, std::uint32_t y) const {
    if (x >= m_width || y >= m_height) return 0;
    if (m_format == D3DFMT_A8) return std::uint32_t(Storage()[std::size_t(y) * m_width + x]) << 24;
    if (m_format != D3DFMT_A8R8G8B8) return 0;
    std::uint32_t v;
    std::memcpy(&v, Storage() + (std::size_t(y) * m_width + x) * 4, 4);
    return v;
}

IDirect3DTexture9::IDirect3DTexture9(IDirect3DDevice9* device, std::uint32_t width, std::uint32_t height,
                                     std::uint32_t levels, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool)
    : m_device(device), m_usage(usage), m_pool(pool) {
    std::uint32_t w = width, h = height;
    for (std::uint32_t i = 0; levels == 0 || i < levels; ++i) {
        m_levels.emplace_back(new IDirect3DSurface9(device, this, w, h, format, usage));
        if (w == 1 && h == 1) break;
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
}

std::uint32_t IDirect3DTexture9::AddRef() { return ++m_refs; }

std::uint32_t IDirect3DTexture9::Release() {
    const std::uint32_t left = --m_refs;
    if (left == 0 && m_device) m_device->Destroy(this);
    return left;
}

HRESULT IDirect3DTexture9::GetSurfaceLevel(std::uint32_t level, IDirect3DSurface9** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (level >= m_levels.size()) return D3DERR_INVALIDCALL;
    AddRef();
    *surface = m_levels[level].get();
    return D3D_OK;
}

HRESULT IDirect3DTexture9::LockRect(std::uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect,
                                    std::uint32_t flags) {
    if (level >= m_levels.size()) return D3DERR_INVALIDCALL;
    return m_levels[level]->LockRect(locked, rect, flags);
}

HRESULT IDirect3DTexture9::UnlockRect(std::uint32_t level) {
    if (level >= m_levels.size()) return D3DERR_INVALIDCALL;
    return m_levels[level]->UnlockRect();
}

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                          std::uint32_t usage, D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture) {
    if (!device) return D3DERR_INVALIDCALL;
    return device->CreateTexture(width, height, levels, usage, format, pool, texture, nullptr);
}

}  // namespace quor::d3d9
