#include "world/mesh/MeshVertexBuffer.h"

#include <cstring>

#include "platform/host/IRenderer.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/mesh/MeshVertexData.h"
#include "world/scene/World.h"

namespace quor {

namespace {

using namespace d3d9;

constexpr std::uint32_t kMaxVertices = 65536;  // what 16-bit indices can name

void Put(std::uint8_t* at, const void* value, std::size_t bytes) { std::memcpy(at, value, bytes); }

}  // namespace

MeshVertexBuffer::MeshVertexBuffer(std::uint32_t vertices, std::uint32_t triangles, std::uint8_t uvChannels,
                                   bool hasColour, bool hasTangent, bool hardwareSkin, IDirect3DDevice9* device)
    : m_device(device ? device : static_cast<IDirect3DDevice9*>(World::Instance().GetDevice())),
      m_hasColour(hasColour ? 1 : 0),
      m_hasTangent(hasTangent ? 1 : 0),
      m_hardwareSkin(hardwareSkin ? 1 : 0),
      m_uvChannels(uvChannels > 4 ? 4 : uvChannels),
      m_vertexCapacity(vertices),
      m_triangleCapacity(triangles),
      m_uvColourStride((hasColour ? 4u : 0u) + 8u * m_uvChannels) {}

MeshVertexBuffer::~MeshVertexBuffer() {
    ReleaseBuffers();
    if (m_stream) {
        if (render::IRenderer* renderer = Interfaces().renderer) renderer->ReleaseVertexBuffer(m_stream);
        m_stream = nullptr;
    }
}

bool MeshVertexBuffer::InitStreamFormat() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (!m_stream && renderer) m_stream = renderer->CreateVertexBuffer();
    if (!m_stream) {
        LogError("Failed to init stream format!");
        return false;
    }
    m_stream->SetName("MeshVertexBuffer");
    using namespace render;
    std::vector<VertexElement> e;
    e.push_back({0, 0, kElementFloat3, 0, kUsePosition, 0});
    e.push_back({0, 12, kElementFloat3, 0, kUseNormal, 0});
    if (m_hardwareSkin) {
        e.push_back({0, 24, kElementColour, 0, kUseColour, 0});
        e.push_back({0, 28, kElementFloat2, 0, kUseTexCoord, 0});
        e.push_back({0, 36, kElementFloat4, 0, kUseTexCoord, 1});
        e.push_back({0, 52, kElementFloat4, 0, kUseTexCoord, 2});
    } else {
        if (m_hasColour) e.push_back({1, 0, kElementColour, 0, kUseColour, 0});
        for (std::uint8_t i = 0; i < m_uvChannels; ++i) {
            e.push_back({1, std::uint16_t((m_hasColour ? 4 : 0) + 8 * i), kElementFloat2, 0, kUseTexCoord, i});
        }
        if (m_hasTangent) e.push_back({2, 0, kElementFloat3, 0, kUseTangent, 0});
    }
    if (!m_stream->SetVertexElements(e.data(), std::uint32_t(e.size()))) {
        LogError("Failed to init stream format!");
        renderer->ReleaseVertexBuffer(m_stream);
        m_stream = nullptr;
        return false;
    }
    return true;
}

bool MeshVertexBuffer::MakeVertexBuffer(IDirect3DVertexBuffer9*& buffer, std::uint32_t length, std::uint32_t usage,
                                        std::uint32_t fvf, D3DPOOL pool, const char* failText) {
    const HRESULT hr = m_device ? m_device->CreateVertexBuffer(length, usage, fvf, pool, &buffer, nullptr)
                                : D3DERR_INVALIDCALL;
    if (hr != D3D_OK || !buffer) {
        buffer = nullptr;
        LogError(failText, static_cast<unsigned>(hr));
        return false;
    }
    m_bytes += length;
    return true;
}

bool MeshVertexBuffer::MakeIndexBuffer(std::uint32_t usage, D3DPOOL pool) {
    const std::uint32_t length = m_triangleCapacity * 6;
    const HRESULT hr = m_device ? m_device->CreateIndexBuffer(length, usage, D3DFMT_INDEX16, pool, &m_index, nullptr)
                                : D3DERR_INVALIDCALL;
    if (hr != D3D_OK || !m_index) {
        m_index = nullptr;
        LogError("Failed to create index buffer, error code: %08x!", static_cast<unsigned>(hr));
        return false;
    }
    m_bytes += length;
    if (m_stream) m_stream->SetIndexBuffer(m_index);
    return true;
}

bool MeshVertexBuffer::Create() {
    if (m_created) return true;
    const std::uint32_t v = m_vertexCapacity;
    bool ok = true;
    if (m_hardwareSkin) {
        ok = MakeVertexBuffer(m_pn, v * kSkinStride, m_pnUsage, 0, m_pnPool,
                              "Failed to create hardware skin buffer, error code: %08x!");
        if (ok && m_stream) m_stream->SetStreamSource(0, m_pn, kSkinStride);
    } else {
        if (m_pnPool != D3DPOOL_DEFAULT) {
            ok = MakeVertexBuffer(m_pn, v * kPositionNormalStride, m_pnUsage, D3DFVF_XYZ | D3DFVF_NORMAL, m_pnPool,
                                  "Failed to create position-normal buffer, error code: %08x!");
            if (ok && m_stream) m_stream->SetStreamSource(0, m_pn, kPositionNormalStride);
        }
        if (ok && (m_hasColour || m_uvChannels)) {
            const std::uint32_t fvf = (m_hasColour ? D3DFVF_DIFFUSE : 0) | D3DFVF_TEX(m_uvChannels);
            ok = MakeVertexBuffer(m_uvColour, v * m_uvColourStride, D3DUSAGE_WRITEONLY, fvf, D3DPOOL_MANAGED,
                                  "Failed to create uv-color buffer, error code: %08x!");
            if (ok && m_stream) m_stream->SetStreamSource(1, m_uvColour, m_uvColourStride);
        }
    }
    if (ok && m_indexPool != D3DPOOL_DEFAULT) ok = MakeIndexBuffer(m_indexUsage, m_indexPool);
    if (ok && m_hasTangent && !m_hardwareSkin) {
        ok = MakeVertexBuffer(m_tangent, v * kTangentStride, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED,
                              "Failed to create tangent buffer, error code: %08x!");
        if (ok && m_stream) m_stream->SetStreamSource(2, m_tangent, kTangentStride);
    }
    if (!ok) {
        // The buffers made before the failure would otherwise stay half a part.
        ReleaseBuffers();
        return false;
    }
    m_created = 1;
    return true;
}

bool MeshVertexBuffer::CreateDefaultPool() {
    if (!m_vertexCapacity) return false;
    if (m_defaultCreated) return true;
    bool ok = true;
    if (m_pnPool == D3DPOOL_DEFAULT && !m_pn) {
        ok = MakeVertexBuffer(m_pn, m_vertexCapacity * kPositionNormalStride, m_pnUsage, D3DFVF_XYZ | D3DFVF_NORMAL,
                              m_pnPool, "Failed to create position-normal buffer, error code: %08x!");
        if (ok && m_stream) {
            m_stream->SetStreamSource(0, m_pn, kPositionNormalStride);
            m_stream->SetVertexCount(m_usedVertices);
        }
        m_pnFilled = 0;
    }
    if (ok && m_indexPool == D3DPOOL_DEFAULT && !m_index) {
        ok = MakeIndexBuffer(m_indexUsage, m_indexPool);
        if (ok && m_stream) m_stream->SetIndexCount(3 * m_usedTriangles);
        m_indexFilled = 0;
    }
    if (!ok) {
        ReleaseBuffers();
        return false;
    }
    m_defaultCreated = 1;
    return true;
}

void MeshVertexBuffer::ReleaseVertex(IDirect3DVertexBuffer9*& buffer, std::uint32_t stream) {
    if (!buffer) return;
    m_bytes -= std::min(m_bytes, buffer->Length());
    buffer->Release();
    buffer = nullptr;
    if (m_stream) m_stream->SetStreamSource(stream, nullptr, 0);
}

void MeshVertexBuffer::ReleaseIndex() {
    if (!m_index) return;
    m_bytes -= std::min(m_bytes, m_index->Length());
    m_index->Release();
    m_index = nullptr;
    if (m_stream) m_stream->SetIndexBuffer(nullptr);
}

void MeshVertexBuffer::ReleaseDefaultPool() {
    if (m_pn && m_pnPool == D3DPOOL_DEFAULT) {
        ReleaseVertex(m_pn, 0);
        m_pnAt = nullptr;
        if (m_stream) m_stream->SetVertexCount(0);
        m_pnFilled = 0;
    }
    if (m_index && m_indexPool == D3DPOOL_DEFAULT) {
        ReleaseIndex();
        m_indexAt = nullptr;
        if (m_stream) m_stream->SetIndexCount(0);
        m_indexFilled = 0;
    }
    m_defaultCreated = 0;
}

void MeshVertexBuffer::ReleaseBuffers() {
    ReleaseVertex(m_pn, 0);
    ReleaseVertex(m_uvColour, 1);
    ReleaseVertex(m_tangent, 2);
    ReleaseIndex();
    m_pnAt = m_uvColourAt = m_tangentAt = m_indexAt = nullptr;
    m_created = 0;
    m_defaultCreated = 0;
    m_pnFilled = 0;
    m_indexFilled = 0;
    m_bytes = 0;
}

void MeshVertexBuffer::Resize(std::uint32_t vertices, std::uint32_t triangles) {
    ReleaseBuffers();
    m_vertexCapacity = vertices;
    m_triangleCapacity = triangles;
}

int MeshVertexBuffer::AddRange(std::uint32_t vertices, std::uint32_t triangles) {
    const std::uint64_t v = std::uint64_t(m_usedVertices) + vertices;
    const std::uint64_t t = std::uint64_t(m_usedTriangles) + triangles;
    // Past vertex 65535 the rebased 16-bit indices would wrap: such a range is a full buffer.
    if (v > m_vertexCapacity || t > m_triangleCapacity || v > kMaxVertices) return -1;
    m_ranges.push_back({m_usedVertices, m_usedTriangles, vertices, triangles});
    m_usedVertices = std::uint32_t(v);
    m_usedTriangles = std::uint32_t(t);
    if (m_stream) {
        m_stream->SetVertexCount(m_usedVertices);
        m_stream->SetIndexCount(3 * m_usedTriangles);
    }
    return int(m_ranges.size()) - 1;
}

void MeshVertexBuffer::ClearRanges() {
    m_ranges.clear();
    m_usedVertices = 0;
    m_usedTriangles = 0;
}

bool MeshVertexBuffer::Lock(Direct3DBuffer* buffer, std::uint32_t bytes, bool discard, std::uint8_t*& at) {
    if (!buffer) return false;
    if (at) return true;
    void* p = nullptr;
    if (buffer->Lock(0, bytes, &p, discard ? D3DLOCK_DISCARD : 0) != D3D_OK) return false;
    at = static_cast<std::uint8_t*>(p);
    return true;
}

void MeshVertexBuffer::Unlock(Direct3DBuffer* buffer, std::uint8_t*& at) {
    if (buffer && at) buffer->Unlock();
    at = nullptr;
}

bool MeshVertexBuffer::LockPositionNormal() {
    const std::uint32_t stride = m_hardwareSkin ? kSkinStride : kPositionNormalStride;
    return Lock(m_pn, m_usedVertices * stride, m_pnPool == D3DPOOL_DEFAULT, m_pnAt);
}
void MeshVertexBuffer::UnlockPositionNormal() { Unlock(m_pn, m_pnAt); }
bool MeshVertexBuffer::LockUvColour() { return Lock(m_uvColour, m_usedVertices * m_uvColourStride, false, m_uvColourAt); }
void MeshVertexBuffer::UnlockUvColour() { Unlock(m_uvColour, m_uvColourAt); }
bool MeshVertexBuffer::LockTangent() { return Lock(m_tangent, m_usedVertices * kTangentStride, false, m_tangentAt); }
void MeshVertexBuffer::UnlockTangent() { Unlock(m_tangent, m_tangentAt); }
bool MeshVertexBuffer::LockIndices() {
    return Lock(m_index, m_usedTriangles * 6, m_indexPool == D3DPOOL_DEFAULT, m_indexAt);
}
void MeshVertexBuffer::UnlockIndices() { Unlock(m_index, m_indexAt); }

bool MeshVertexBuffer::LockAll() {
    bool ok = LockPositionNormal();
    if (m_uvColour) ok = LockUvColour() && ok;
    if (m_tangent) ok = LockTangent() && ok;
    return LockIndices() && ok;
}

void MeshVertexBuffer::UnlockAll() {
    UnlockPositionNormal();
    UnlockUvColour();
    UnlockTangent();
    UnlockIndices();
}

const MeshVertexBuffer::Range* MeshVertexBuffer::RangeAt(int range) const {
    return range >= 0 && std::size_t(range) < m_ranges.size() ? &m_ranges[std::size_t(range)] : nullptr;
}

void MeshVertexBuffer::WritePositionsNormals(int range, const Vec3* positions, const Vec3* normals) {
    const Range* r = RangeAt(range);
    if (!r || !m_pnAt || m_hardwareSkin || !positions || !normals) return;
    std::uint8_t* at = m_pnAt + std::size_t(r->firstVertex) * kPositionNormalStride;
    for (std::uint32_t v = 0; v < r->vertexCount; ++v, at += kPositionNormalStride) {
        Put(at, &positions[v], 12);
        Put(at + 12, &normals[v], 12);
    }
    m_pnFilled = 1;
}

void MeshVertexBuffer::WriteUV(int range, int channel, const float* uvs) {
    const Range* r = RangeAt(range);
    if (!r || !m_uvColourAt || !uvs || channel < 0 || channel >= m_uvChannels) return;
    std::uint8_t* at = m_uvColourAt + std::size_t(r->firstVertex) * m_uvColourStride + (m_hasColour ? 4 : 0) + 8 * channel;
    for (std::uint32_t v = 0; v < r->vertexCount; ++v, at += m_uvColourStride) Put(at, uvs + 2 * v, 8);
}

void MeshVertexBuffer::CommitColor(int range, const std::uint32_t* colours) {
    if (!m_hasColour) return;
    if (!colours) {
        LogWarning("MeshVertexBuffer::CommitColor color = NULL!");
        return;
    }
    const Range* r = RangeAt(range);
    if (!r || !m_uvColourAt) return;
    std::uint8_t* at = m_uvColourAt + std::size_t(r->firstVertex) * m_uvColourStride;
    for (std::uint32_t v = 0; v < r->vertexCount; ++v, at += m_uvColourStride) Put(at, colours + v, 4);
}

void MeshVertexBuffer::WriteTangents(int range, const Vec3* tangents) {
    const Range* r = RangeAt(range);
    if (!r || !m_tangentAt || !tangents) return;
    std::memcpy(m_tangentAt + std::size_t(r->firstVertex) * kTangentStride, tangents, std::size_t(r->vertexCount) * 12);
}

bool MeshVertexBuffer::WriteIndices(int range, const std::uint16_t* indices, std::uint32_t sourceFirstVertex) {
    const Range* r = RangeAt(range);
    if (!r || !m_indexAt || !indices) return false;
    const std::size_t n = std::size_t(r->triangleCount) * 3;
    // The loaders refuse indices outside their sub-mesh; one here would rebase below zero.
    for (std::size_t i = 0; i < n; ++i) {
        if (indices[i] < sourceFirstVertex || indices[i] - sourceFirstVertex >= r->vertexCount) {
            LogError("MeshVertexBuffer::WriteIndices index %u outside the range!", unsigned(indices[i]));
            return false;
        }
    }
    std::uint8_t* at = m_indexAt + std::size_t(r->firstTriangle) * 6;
    for (std::size_t i = 0; i < n; ++i, at += 2) {
        const std::uint16_t value = std::uint16_t(indices[i] - sourceFirstVertex + r->firstVertex);
        Put(at, &value, 2);
    }
    m_indexFilled = 1;
    return true;
}

void MeshVertexBuffer::WriteSkinVertices(int range, const MeshSkelVertexData& data, std::uint32_t sourceFirstVertex) {
    const Range* r = RangeAt(range);
    if (!r || !m_pnAt || !m_hardwareSkin) return;
    if (std::uint64_t(sourceFirstVertex) + r->vertexCount > data.vertexCount) return;
    std::uint8_t* at = m_pnAt + std::size_t(r->firstVertex) * kSkinStride;
    for (std::uint32_t v = 0; v < r->vertexCount; ++v, at += kSkinStride) {
        const std::size_t s = std::size_t(sourceFirstVertex) + v;
        std::memset(at, 0, kSkinStride);
        if (s < data.positions.size()) Put(at, &data.positions[s], 12);
        if (s < data.normals.size()) Put(at + 12, &data.normals[s], 12);
        const std::uint32_t colour = data.hasColour && s < data.colours.size() ? data.colours[s] : 0xFFFFFFFFu;
        Put(at + 24, &colour, 4);
        if (data.uvChannelCount > 0 && 2 * s + 1 < data.uvs[0].size()) Put(at + 28, &data.uvs[0][2 * s], 8);
        if (4 * s + 3 >= data.boneIndices.size() || 4 * s + 3 >= data.weights.size()) continue;
        for (int k = 0; k < 4; ++k) {
            const std::uint8_t bone = data.boneIndices[4 * s + k];
            if (bone == 255) break;
            const float index = bone;
            Put(at + 36 + 4 * k, &data.weights[4 * s + k], 4);
            Put(at + 52 + 4 * k, &index, 4);
        }
    }
    m_pnFilled = 1;
}

}  // namespace quor
