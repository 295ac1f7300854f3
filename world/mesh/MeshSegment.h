#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "world/core/KeyTimeTable.h"
#include "world/core/math/Geometry.h"
#include "world/core/math/Matrix.h"

namespace quor::render {
class IRenderCamera;
}

namespace quor {

class MeshData;
class MeshVertexData;
class KeyFramePlayer;
class TriangleSorter;
struct SubMeshInfo;

// The instance of one mesh file inside a mesh object: the shared mesh data, the geometry of the
// current level of detail (its own arrays, or work arrays when vertices animate), the vertex-key
// player and the transparent-triangle sorter.
class MeshSegment {
public:
    static constexpr std::uint32_t kStaticFrame = 0xFFFF;
    static constexpr std::uint32_t kCurrentFrame = 0xFFFE;
    // The shortest clip a key track plays (one frame at 15 frames per second, as a float).
    static constexpr float kShortestKeyLength = 66.666664f;

    // Takes over one reference of the data (given back through the mesh cache on destruction).
    explicit MeshSegment(MeshData* data);
    virtual ~MeshSegment();
    MeshSegment(const MeshSegment&) = delete;
    MeshSegment& operator=(const MeshSegment&) = delete;
    virtual void Destroy() { delete this; }

    // The geometry half of loading materials: key player, work arrays, counts over the LODs,
    // LOD 0 and the data's sorter.
    bool PrepareGeometry();

    virtual Bounds GetFrameBounds(std::uint32_t frame) const;
    virtual Bounds GetSubMeshFrameBounds(std::uint32_t subMesh, std::uint32_t frame) const;

    bool SetLod(std::uint32_t lod);
    void SetSorterType(std::uint32_t type);
    // Positions and normals between key f (the player's current key) and the next, t towards it.
    void BlendKeyFrames(float t);
    void ResetAnimatedVertices();

    std::uint32_t GetSubCount() const;
    const SubMeshInfo* GetSubMeshInfo(std::uint32_t i) const;
    // The first sub-mesh whose 32-byte name field holds exactly this name; -1 when none.
    int FindSubMesh(const char* name) const;
    // 0 when range i of the current LOD has vertices and triangles.
    int IsSubMeshRangeEmpty(std::uint32_t i) const;
    // The corner of a triangle of the current LOD nearest to a point (first corner on ties), and
    // its vertex colour; -1 for a triangle outside the LOD.
    int NearestCorner(std::uint32_t triangle, const Vec3& point, std::uint32_t* colour) const;

    MeshData* Data() const { return m_data; }
    MeshVertexData* Lod() const { return m_lod; }
    std::uint32_t LodIndex() const { return m_lodIndex; }
    const Vec3* Positions() const { return m_positions; }
    const Vec3* Normals() const { return m_normals; }
    const std::uint16_t* IndexList() const { return m_indexList; }
    KeyFramePlayer* KeyPlayer() const { return m_keyPlayer.get(); }
    TriangleSorter* Sorter() const { return m_sorter; }
    std::uint32_t SorterType() const { return m_sorterType; }
    std::uint32_t MaxVertexCount() const { return m_maxVertices; }
    std::uint32_t MaxTriangleCount() const { return m_maxTriangles; }
    bool SharesGeometry() const { return m_sharesGeometry != 0; }
    bool GeometryChanged() const { return m_geometryChanged != 0; }
    void ClearGeometryChanged() { m_geometryChanged = 0; }

private:
    // The frame a selector names: the given one, or the player's current key for kCurrentFrame.
    std::uint32_t SelectFrame(std::uint32_t frame) const;
    bool Animated() const;

    MeshData* m_data;
    MeshVertexData* m_lod = nullptr;
    std::uint32_t m_lodIndex = 0xFFFFFFFFu;
    Vec3* m_positions = nullptr;
    Vec3* m_normals = nullptr;
    std::uint32_t m_maxVertices = 0;
    std::uint32_t m_maxTriangles = 0;
    std::uint8_t m_sharesGeometry = 1;
    std::unique_ptr<KeyFramePlayer> m_keyPlayer;
    // Key times scaled up to the shortest clip, when the shared ones are shorter.
    KeyTimeTable m_scaledKeys;
    std::uint32_t m_sorterType = 0;
    TriangleSorter* m_sorter = nullptr;
    const std::uint16_t* m_indexList = nullptr;
    std::uint8_t m_geometryChanged = 0;
    std::vector<Vec3> m_workPositions;
    std::vector<Vec3> m_workNormals;
};

}  // namespace quor
