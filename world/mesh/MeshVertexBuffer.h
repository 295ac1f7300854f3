#pragma once
#include <cstdint>
#include <vector>

#include "platform/d3d9/Device.h"
#include "world/core/math/Vector.h"

namespace quor::render {
class IVertexBuffer;
}

namespace quor {

class MeshVertexData;
class MeshSkelVertexData;

// The Direct3D streams of one level of detail of a mesh object: position-normal, uv-colour,
// tangent and index buffers (or one 68-byte vertex stream for hardware skinning) behind a
// renderer stream object. Sub-meshes take consecutive ranges of it.
class MeshVertexBuffer {
public:
    static constexpr std::uint32_t kPositionNormalStride = 24;
    static constexpr std::uint32_t kTangentStride = 12;
    static constexpr std::uint32_t kSkinStride = 68;

    struct Range {
        std::uint32_t firstVertex;
        std::uint32_t firstTriangle;
        std::uint32_t vertexCount;
        std::uint32_t triangleCount;
    };

    // device: null takes the world's.
    MeshVertexBuffer(std::uint32_t vertices, std::uint32_t triangles, std::uint8_t uvChannels, bool hasColour,
                     bool hasTangent, bool hardwareSkin, d3d9::IDirect3DDevice9* device = nullptr);
    virtual ~MeshVertexBuffer();
    MeshVertexBuffer(const MeshVertexBuffer&) = delete;
    MeshVertexBuffer& operator=(const MeshVertexBuffer&) = delete;
    virtual void Destroy() { delete this; }

    bool InitStreamFormat();
    // Creates the buffers once; true when all that are needed exist.
    bool Create();
    // Creates the default-pool position-normal and index buffers when missing.
    bool CreateDefaultPool();
    void ReleaseDefaultPool();
    void ReleaseBuffers();
    void Resize(std::uint32_t vertices, std::uint32_t triangles);

    // -1 when the range does not fit (the 16-bit indices reach vertex 65535 at most).
    int AddRange(std::uint32_t vertices, std::uint32_t triangles);
    void ClearRanges();

    bool LockAll();
    void UnlockAll();
    bool LockPositionNormal();
    void UnlockPositionNormal();
    bool LockUvColour();
    void UnlockUvColour();
    bool LockTangent();
    void UnlockTangent();
    bool LockIndices();
    void UnlockIndices();

    void WritePositionsNormals(int range, const Vec3* positions, const Vec3* normals);
    void WriteUV(int range, int channel, const float* uvs);
    void CommitColor(int range, const std::uint32_t* colours);
    void WriteTangents(int range, const Vec3* tangents);
    // Indices rebased from the source's first vertex to the range's; false (nothing written)
    // when an index lies outside the source's vertex range.
    bool WriteIndices(int range, const std::uint16_t* indices, std::uint32_t sourceFirstVertex);
    // 68-byte vertices from the block's vertices starting at sourceFirstVertex.
    void WriteSkinVertices(int range, const MeshSkelVertexData& data, std::uint32_t sourceFirstVertex);

    void SetPositionNormalPool(std::uint32_t usage, d3d9::D3DPOOL pool) {
        m_pnUsage = usage;
        m_pnPool = pool;
    }
    void SetIndexPool(std::uint32_t usage, d3d9::D3DPOOL pool) {
        m_indexUsage = usage;
        m_indexPool = pool;
    }

    render::IVertexBuffer* Stream() const { return m_stream; }
    const std::vector<Range>& Ranges() const { return m_ranges; }
    std::uint32_t UsedVertices() const { return m_usedVertices; }
    std::uint32_t UsedTriangles() const { return m_usedTriangles; }
    std::uint32_t VertexCapacity() const { return m_vertexCapacity; }
    std::uint32_t TriangleCapacity() const { return m_triangleCapacity; }
    std::uint32_t UvColourStride() const { return m_uvColourStride; }
    std::uint32_t BytesHeld() const { return m_bytes; }
    bool Created() const { return m_created != 0; }
    bool DefaultPoolCreated() const { return m_defaultCreated != 0; }
    bool PositionNormalFilled() const { return m_pnFilled != 0; }
    bool IndexFilled() const { return m_indexFilled != 0; }
    d3d9::IDirect3DVertexBuffer9* PositionNormalBuffer() const { return m_pn; }
    d3d9::IDirect3DVertexBuffer9* UvColourBuffer() const { return m_uvColour; }
    d3d9::IDirect3DVertexBuffer9* TangentBuffer() const { return m_tangent; }
    d3d9::IDirect3DIndexBuffer9* IndexBuffer() const { return m_index; }

private:
    const Range* RangeAt(int range) const;
    bool MakeVertexBuffer(d3d9::IDirect3DVertexBuffer9*& buffer, std::uint32_t length, std::uint32_t usage,
                          std::uint32_t fvf, d3d9::D3DPOOL pool, const char* failText);
    bool MakeIndexBuffer(std::uint32_t usage, d3d9::D3DPOOL pool);
    bool Lock(d3d9::Direct3DBuffer* buffer, std::uint32_t bytes, bool discard, std::uint8_t*& at);
    void Unlock(d3d9::Direct3DBuffer* buffer, std::uint8_t*& at);
    void ReleaseVertex(d3d9::IDirect3DVertexBuffer9*& buffer, std::uint32_t stream);
    void ReleaseIndex();

    d3d9::IDirect3DDevice9* m_device;
    d3d9::IDirect3DVertexBuffer9* m_pn = nullptr;  // the 68-byte stream when hardware-skinned
    d3d9::IDirect3DVertexBuffer9* m_uvColour = nullptr;
    d3d9::IDirect3DVertexBuffer9* m_tangent = nullptr;
    d3d9::IDirect3DIndexBuffer9* m_index = nullptr;
    std::uint8_t* m_pnAt = nullptr;
    std::uint8_t* m_uvColourAt = nullptr;
    std::uint8_t* m_tangentAt = nullptr;
    std::uint8_t* m_indexAt = nullptr;
    render::IVertexBuffer* m_stream = nullptr;
    std::uint8_t m_hasColour;
    std::uint8_t m_hasTangent;
    std::uint8_t m_hardwareSkin;
    std::uint8_t m_uvChannels;
    std::uint32_t m_vertexCapacity;
    std::uint32_t m_triangleCapacity;
    std::uint32_t m_usedVertices = 0;
    std::uint32_t m_usedTriangles = 0;
    std::uint32_t m_pnUsage = d3d9::D3DUSAGE_WRITEONLY;
    d3d9::D3DPOOL m_pnPool = d3d9::D3DPOOL_MANAGED;
    std::uint32_t m_indexUsage = d3d9::D3DUSAGE_WRITEONLY;
    d3d9::D3DPOOL m_indexPool = d3d9::D3DPOOL_MANAGED;
    std::uint8_t m_created = 0;
    std::uint8_t m_defaultCreated = 0;
    std::uint8_t m_pnFilled = 0;
    std::uint8_t m_indexFilled = 0;
    std::uint32_t m_uvColourStride;
    std::vector<Range> m_ranges;
    std::uint32_t m_bytes = 0;
};

}  // namespace quor
