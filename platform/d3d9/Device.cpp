#include "platform/d3d9/Device.h"

#include <algorithm>
#include <cstring>

namespace quor::d3d9 {

Direct3DBuffer::Direct3DBuffer(IDirect3DDevice9* device, std::uint32_t length, std::uint32_t usage, D3DPOOL pool)
    : m_device(device), m_bytes(length, 0), m_usage(usage), m_pool(pool) {}

HRESULT Direct3DBuffer::Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) {
    if (!data || m_locked || offset > m_bytes.size()) return D3DERR_INVALIDCALL;
    if (size == 0) size = std::uint32_t(m_bytes.size()) - offset;
    if (size > m_bytes.size() - offset) return D3DERR_INVALIDCALL;
    *data = m_bytes.data() + offset;
    m_locked = true;
    m_lastLockFlags = flags;
    m_lastLockSize = size;
    m_device->CountLock(1);
    return D3D_OK;
}

HRESULT Direct3DBuffer::Unlock() {
    if (!m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    m_device->CountLock(-1);
    return D3D_OK;
}

std::uint32_t Direct3DBuffer::Release() { return m_device->Remove(this); }

IDirect3DDevice9::IDirect3DDevice9() { DefaultStates(); }

IDirect3DDevice9::~IDirect3DDevice9() {
    for (Direct3DBuffer* b : m_live) delete b;
    // The device goes with everything it made, whatever references are still out.
    for (IDirect3DTexture9* t : m_textures) delete t;
    for (IDirect3DSurface9* s : m_surfaces) delete s;
    delete m_backBuffer;
}

HRESULT IDirect3DDevice9::Admit(std::uint32_t length) {
    ++m_creations;
    if (m_failIn > 0 && --m_failIn == 0) return m_failCode;
    return length == 0 ? D3DERR_INVALIDCALL : D3D_OK;
}

void IDirect3DDevice9::Add(Direct3DBuffer* buffer) { m_live.push_back(buffer); }

std::uint32_t IDirect3DDevice9::Remove(Direct3DBuffer* buffer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = std::find(m_live.begin(), m_live.end(), buffer);
    if (it == m_live.end()) return 0;
    if (buffer->m_locked) --m_locked;
    m_live.erase(it);
    delete buffer;
    return 0;
}

void IDirect3DDevice9::CountLock(int delta) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (delta > 0) ++m_locks;
    m_locked += delta;
}

HRESULT IDirect3DDevice9::CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool,
                                             IDirect3DVertexBuffer9** out, void*) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (const HRESULT hr = Admit(length); hr != D3D_OK) return hr;
    *out = new IDirect3DVertexBuffer9(this, length, usage, fvf, pool);
    Add(*out);
    return D3D_OK;
}

HRESULT IDirect3DDevice9::CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DIndexBuffer9** out, void*) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (const HRESULT hr = Admit(length); hr != D3D_OK) return hr;
    *out = new IDirect3DIndexBuffer9(this, length, usage, format, pool);
    Add(*out);
    return D3D_OK;
}

HRESULT IDirect3DDevice9::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Direct3DBuffer* b : m_live) {
        if (b->m_pool == D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    }
    ++m_resets;
    return D3D_OK;
}

void IDirect3DDevice9::FailCreation(int k, HRESULT code) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failIn = k;
    m_failCode = code;
}

int IDirect3DDevice9::LiveBuffers() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_live.size());
}

int IDirect3DDevice9::LiveBuffers(D3DPOOL pool) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(std::count_if(m_live.begin(), m_live.end(), [pool](const Direct3DBuffer* b) { return b->m_pool == pool; }));
}

int IDirect3DDevice9::Creations() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_creations;
}

int IDirect3DDevice9::Locks() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_locks;
}

int IDirect3DDevice9::LockedBuffers() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_locked;
}

int IDirect3DDevice9::Resets() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_resets;
}

HRESULT IDirect3DDevice9::SetTransform(D3DTRANSFORMSTATETYPE type, const float* matrix) {
    if (!matrix || (type != D3DTS_VIEW && type != D3DTS_PROJECTION)) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    std::memcpy(m_transforms[type == D3DTS_VIEW ? 0 : 1], matrix, sizeof(m_transforms[0]));
    Record("SetTransform(" + std::to_string(static_cast<std::uint32_t>(type)) + ")");
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetTransform(D3DTRANSFORMSTATETYPE type, float* matrix) {
    if (!matrix || (type != D3DTS_VIEW && type != D3DTS_PROJECTION)) return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> lock(m_mutex);
    std::memcpy(matrix, m_transforms[type == D3DTS_VIEW ? 0 : 1], sizeof(m_transforms[0]));
    return D3D_OK;
}

D3DPRESENT_PARAMETERS IDirect3DDevice9::GetPresentParameters() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    D3DPRESENT_PARAMETERS p;
    p.BackBufferWidth = m_backWidth;
    p.BackBufferHeight = m_backHeight;
    return p;
}

}  // namespace quor::d3d9
