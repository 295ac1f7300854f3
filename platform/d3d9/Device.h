#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/d3d9/D3D9Types.h"
#include "platform/d3d9/Texture.h"

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
    IDirect3DDevice9();
    ~IDirect3DDevice9();
    IDirect3DDevice9(const IDirect3DDevice9&) = delete;
    IDirect3DDevice9& operator=(const IDirect3DDevice9&) = delete;

    HRESULT CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** out, void* shared);
    HRESULT CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** out, void* shared);
    // D3DERR_INVALIDCALL while any default-pool resource lives.
    HRESULT Reset();

    // Textures and depth surfaces, reference counted (see Texture.h).
    HRESULT CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, std::uint32_t usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** out, void* shared);
    HRESULT CreateDepthStencilSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                      std::uint32_t multiSample, std::uint32_t quality, bool discard,
                                      IDirect3DSurface9** out, void* shared);

    // The slots hold a reference to what is set; the getters add one for the caller. Render
    // target 0 starts as the back buffer; the depth slot starts empty (D3DERR_NOTFOUND).
    HRESULT SetRenderTarget(std::uint32_t index, IDirect3DSurface9* surface);
    HRESULT GetRenderTarget(std::uint32_t index, IDirect3DSurface9** surface);
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface);
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface);
    HRESULT SetTexture(std::uint32_t stage, IDirect3DTexture9* texture);
    HRESULT GetTexture(std::uint32_t stage, IDirect3DTexture9** texture);
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value);
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value);
    HRESULT SetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t value);
    HRESULT GetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t* value);
    HRESULT SetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t value);
    HRESULT GetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t* value);
    HRESULT SetFVF(std::uint32_t fvf);
    HRESULT GetFVF(std::uint32_t* fvf);
    // Fills the rectangle (null: all) of an A8R8G8B8 or A8 surface with the colour.
    HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR colour);
    // Draws pre-transformed triangles (XYZRHW | DIFFUSE | TEX1) into render target 0 in
    // software: point-sampled stage-0 texture combined with the diffuse colour by the stage-0
    // colour and alpha operations, alpha test, source-alpha blending, cull mode. Depth is not
    // tested. Other formats and primitive types are recorded only.
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t minIndex, std::uint32_t vertexCount,
                                   std::uint32_t primitiveCount, const void* indices, D3DFORMAT indexFormat,
                                   const void* vertices, std::uint32_t stride);

    // The view and projection transforms (16 floats, row-major); identity until set.
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, const float* matrix);
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE type, float* matrix);
    // The back buffer's size as the device was made with it.
    D3DPRESENT_PARAMETERS GetPresentParameters() const;

    // --- the frame: cooperative level, clear, scene bracket, present ----------------------
    // D3D_OK, or the failure tests inject (FailCooperativeLevel).
    HRESULT TestCooperativeLevel();
    // Fills render target 0 (the rectangles, or all of it) with the colour when flags hold
    // D3DCLEAR_TARGET; depth and stencil are not kept.
    HRESULT Clear(std::uint32_t count, const RECT* rects, std::uint32_t flags, D3DCOLOR colour, float z,
                  std::uint32_t stencil);
    HRESULT BeginScene();
    HRESULT EndScene();
    // Keeps a copy of the back buffer as the presented image; rectangles and window are ignored.
    HRESULT Present(const RECT* source, const RECT* dest, void* window, const void* dirty);
    // Draws pre-transformed triangles, list or strip, of XYZRHW with or without DIFFUSE (white
    // when absent) and one texture coordinate, as DrawIndexedPrimitiveUP does; stage-0 sampling
    // follows the magnification filter (point or linear).
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                            std::uint32_t stride);
    // The failure TestCooperativeLevel answers (D3D_OK: none).
    void FailCooperativeLevel(HRESULT code);
    // Present calls, failed ones included.
    int Presents() const;
    int SceneBegins() const;
    bool InScene() const;
    // The last presented image, A8R8G8B8 rows top first (empty before the first Present).
    std::vector<std::uint32_t> PresentedImage(std::uint32_t* width, std::uint32_t* height) const;
    std::uint32_t PresentedPixel(std::uint32_t x, std::uint32_t y) const;

    // --- what tests drive and watch -----------------------------------------------------
    // The back buffer's size (before its first use; 640 x 480 otherwise).
    void SetBackBufferSize(std::uint32_t width, std::uint32_t height);
    // Every state, slot, fill and draw call in order ("SetRenderState(27,1)").
    std::vector<std::string> Calls() const;
    void ClearCalls();
    int LiveTextures() const;
    // Surfaces of their own (depth surfaces), not texture levels or the back buffer.
    int LiveSurfaces() const;
    // While set, every texture and surface lock fails.
    void FailTextureLocks(bool fail);
    bool TextureLocksFail() const { return m_failLocks.load(); }
    // Pixels written by the draws so far.
    std::uint64_t DrawnPixels() const;

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
    friend class IDirect3DTexture9;
    friend class IDirect3DSurface9;
    HRESULT Admit(std::uint32_t length);
    void Destroy(IDirect3DTexture9* texture);
    void Destroy(IDirect3DSurface9* surface);
    void Record(std::string call);
    IDirect3DSurface9* BackBuffer();
    void DrawTriangle(const std::uint8_t* const v[3], IDirect3DSurface9* target, IDirect3DTexture9* texture);
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

    std::vector<IDirect3DTexture9*> m_textures;
    std::vector<IDirect3DSurface9*> m_surfaces;
    IDirect3DSurface9* m_backBuffer = nullptr;
    std::uint32_t m_backWidth = 640;
    std::uint32_t m_backHeight = 480;
    IDirect3DSurface9* m_renderTarget = nullptr;
    IDirect3DSurface9* m_depthStencil = nullptr;
    IDirect3DTexture9* m_stageTextures[8] = {};
    std::uint32_t m_renderStates[256] = {};
    std::uint32_t m_stageStates[8][33] = {};
    std::uint32_t m_samplerStates[16][14] = {};
    std::uint32_t m_fvf = 0;
    std::vector<std::string> m_calls;
    std::atomic<bool> m_failLocks{false};
    std::uint64_t m_drawnPixels = 0;
    bool m_statesSet = false;
    void DefaultStates();
    float m_transforms[2][16] = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
                                 {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    HRESULT m_cooperativeLevel = D3D_OK;
    int m_presents = 0;
    int m_sceneBegins = 0;
    bool m_inScene = false;
    std::vector<std::uint32_t> m_presented;
    std::uint32_t m_presentedWidth = 0;
    std::uint32_t m_presentedHeight = 0;
};

}  // namespace quor::d3d9
