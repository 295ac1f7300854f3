#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/d3d9/D3D9Types.h"

namespace quor::d3d9 {

class IDirect3DDevice9;

// A vertex or index buffer in CPU memory. Released through Release (one owner).
class Direct3DBuffer {
public:
    Direct3DBuffer(const Direct3DBuffer&) = delete;
    Direct3DBuffer& operator=(const Direct3DBuffer&) = delete;

    // size 0 locks from offset to the end, as the device does; a range past the end is refused.
    HRESULT Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags);
    HRESULT Unlock();
    // Gives the buffer back to its device (which deletes it).
    std::uint32_t Release();

    std::uint32_t Length() const { return std::uint32_t(m_bytes.size()); }
    std::uint32_t Usage() const { return m_usage; }
    D3DPOOL Pool() const { return m_pool; }
    bool Locked() const { return m_locked; }
    std::uint32_t LastLockFlags() const { return m_lastLockFlags; }
    std::uint32_t LastLockSize() const { return m_lastLockSize; }
    const std::uint8_t* Bytes() const { return m_bytes.data(); }

protected:
    Direct3DBuffer(IDirect3DDevice9* device, std::uint32_t length, std::uint32_t usage, D3DPOOL pool);
    virtual ~Direct3DBuffer() = default;
    friend class IDirect3DDevice9;

private:
    IDirect3DDevice9* m_device;
    std::vector<std::uint8_t> m_bytes;
    std::uint32_t m_usage;
    D3DPOOL m_pool;
    bool m_locked = false;
    std::uint32_t m_lastLockFlags = 0;
    std::uint32_t m_lastLockSize = 0;
};

class IDirect3DVertexBuffer9 final : public Direct3DBuffer {
public:
    std::uint32_t Fvf() const { return m_fvf; }

private:
    friend class IDirect3DDevice9;
    IDirect3DVertexBuffer9(IDirect3DDevice9* d, std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool)
        : Direct3DBuffer(d, length, usage, pool), m_fvf(fvf) {}
    std::uint32_t m_fvf;
};

class IDirect3DIndexBuffer9 final : public Direct3DBuffer {
public:
    D3DFORMAT Format() const { return m_format; }

private:
    friend class IDirect3DDevice9;
    IDirect3DIndexBuffer9(IDirect3DDevice9* d, std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool)
        : Direct3DBuffer(d, length, usage, pool), m_format(format) {}
    D3DFORMAT m_format;
};

// The CPU device: makes buffers, counts what lives in each pool and how often buffers were
// locked, injects a failure at a chosen creation, and refuses a reset while default-pool
// resources live, as the real device does. Loader threads create buffers too, hence the lock.
class IDirect3DDevice9 {
public:
    IDirect3DDevice9() = default;
    ~IDirect3DDevice9();
    IDirect3DDevice9(const IDirect3DDevice9&) = delete;
    IDirect3DDevice9& operator=(const IDirect3DDevice9&) = delete;

    HRESULT CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** out, void* shared);
    HRESULT CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** out, void* shared);
    // D3DERR_INVALIDCALL while any default-pool resource lives.
    HRESULT Reset();

    // The creation numbered k from now (1: the next one) fails with code; 0 switches it off.
    void FailCreation(int k, HRESULT code = D3DERR_OUTOFVIDEOMEMORY);
    int LiveBuffers() const;
    int LiveBuffers(D3DPOOL pool) const;
    int Creations() const;
    int Locks() const;
    int LockedBuffers() const;
    int Resets() const;

private:
    friend class Direct3DBuffer;
    HRESULT Admit(std::uint32_t length);
    void Add(Direct3DBuffer* buffer);
    std::uint32_t Remove(Direct3DBuffer* buffer);
    void CountLock(int delta);

    mutable std::mutex m_mutex;
    std::vector<Direct3DBuffer*> m_live;
    int m_failIn = 0;
    HRESULT m_failCode = D3D_OK;
    int m_creations = 0;
    int m_locks = 0;
    int m_locked = 0;
    int m_resets = 0;
};

}  // namespace quor::d3d9
