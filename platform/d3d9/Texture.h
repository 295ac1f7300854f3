#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/d3d9/D3D9Types.h"

namespace quor::d3d9 {

class IDirect3DDevice9;
class IDirect3DTexture9;

// Bytes per pixel of the formats a surface holds pixels for (0: no pixels kept).
std::uint32_t BytesPerPixel(D3DFORMAT format);

// A surface: a level of a texture, or a depth-stencil surface of its own. Reference counted:
// the surface of a texture level counts on its texture, a surface of its own on itself, and
// the device deletes it when the count reaches zero.
class IDirect3DSurface9 {
public:
    IDirect3DSurface9(const IDirect3DSurface9&) = delete;
    IDirect3DSurface9& operator=(const IDirect3DSurface9&) = delete;

    std::uint32_t AddRef();
    std::uint32_t Release();
    // rect null: the whole surface; a rectangle outside the surface or a second lock is refused.
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, std::uint32_t flags);
    HRESULT UnlockRect();

    std::uint32_t Width() const { return m_width; }
    std::uint32_t Height() const { return m_height; }
    D3DFORMAT Format() const { return m_format; }
    std::uint32_t Usage() const { return m_usage; }
    std::uint32_t Pitch() const { return m_width * BytesPerPixel(m_format); }
    IDirect3DTexture9* Container() const { return m_container; }
    bool Locked() const { return m_locked; }
    // The pixel bytes, rows top first, zero until written (null for depth formats). Made on
    // first use: most surfaces a scene creates are never locked or drawn to, and zeroing a
    // 1024 x 768 target nobody reads costs more than the rest of a small scene's load.
    std::uint8_t* Bits() { return Storage(); }
    const std::uint8_t* Bits() const { return Storage(); }
    // A8R8G8B8 pixel (0 for other formats or outside).
    std::uint32_t Pixel(std::uint32_t x, std::uint32_t y) const;
    std::uint32_t RefCount() const { return m_refs.load(); }

private:
    friend class IDirect3DDevice9;
    friend class IDirect3DTexture9;
    IDirect3DSurface9(IDirect3DDevice9* device, IDirect3DTexture9* container, std::uint32_t width,
                      std::uint32_t height, D3DFORMAT format, std::uint32_t usage);

    IDirect3DDevice9* m_device;
    IDirect3DTexture9* m_container;
    std::uint32_t m_width;
    std::uint32_t m_height;
    D3DFORMAT m_format;
    std::uint32_t m_usage;
    struct FreeBytes {
        void operator()(std::uint8_t* p) const;
    };
    std::uint8_t* Storage() const;

    std::size_t m_size;  // bytes of pixels
    mutable std::once_flag m_made;
    mutable std::unique_ptr<std::uint8_t[], FreeBytes> m_bits;
    std::atomic<std::uint32_t> m_refs{1};
    bool m_locked = false;
};

// A texture of one or more levels, each a surface.
class IDirect3DTexture9 {
public:
    IDirect3DTexture9(const IDirect3DTexture9&) = delete;
    IDirect3DTexture9& operator=(const IDirect3DTexture9&) = delete;

    std::uint32_t AddRef();
    std::uint32_t Release();
    std::uint32_t GetLevelCount() const { return std::uint32_t(m_levels.size()); }
    // Adds a reference (to the texture) for the caller.
    HRESULT GetSurfaceLevel(std::uint32_t level, IDirect3DSurface9** surface);
    HRESULT LockRect(std::uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect, std::uint32_t flags);
    HRESULT UnlockRect(std::uint32_t level);

    std::uint32_t Width() const { return m_levels[0]->Width(); }
    std::uint32_t Height() const { return m_levels[0]->Height(); }
    D3DFORMAT Format() const { return m_levels[0]->Format(); }
    std::uint32_t Usage() const { return m_usage; }
    D3DPOOL Pool() const { return m_pool; }
    // The level's surface without a reference (null out of range).
    IDirect3DSurface9* Level(std::uint32_t level) const {
        return level < m_levels.size() ? m_levels[level].get() : nullptr;
    }
    std::uint32_t RefCount() const { return m_refs.load(); }

private:
    friend class IDirect3DDevice9;
    friend class IDirect3DSurface9;
    IDirect3DTexture9(IDirect3DDevice9* device, std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                      std::uint32_t usage, D3DFORMAT format, D3DPOOL pool);

    struct SurfaceDeleter {
        void operator()(IDirect3DSurface9* s) const { delete s; }
    };
    IDirect3DDevice9* m_device;
    std::vector<std::unique_ptr<IDirect3DSurface9, SurfaceDeleter>> m_levels;
    std::uint32_t m_usage;
    D3DPOOL m_pool;
    std::atomic<std::uint32_t> m_refs{1};
};

// D3DX: a texture of the size, levels (0: the full chain), usage, format and pool.
HRESULT D3DXCreateTexture(IDirect3DDevice9* device, std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                          std::uint32_t usage, D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);

}  // namespace quor::d3d9
