#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "world/core/KeyTimeTable.h"
#include "world/core/math/Geometry.h"
#include "world/core/math/Matrix.h"
#include "platform/host/IMaterial.h"

namespace quor::render {
class IMaterial;
class IMaterialGroup;
class IRenderCamera;
class IRenderer;
}  // namespace quor::render

namespace quor::world {
class TrackSampled;
}  // namespace quor::world

namespace quor {

class MeshData;
class MeshVertexData;
class KeyFramePlayer;
class TriangleSorter;
class SubMesh;
struct SubMeshInfo;

// The instance of one mesh file inside a mesh object: the shared mesh data, one draw unit per
// sub-mesh with the material group that gives them their materials, the geometry of the current
// level of detail (its own arrays, or work arrays when vertices animate), the vertex-key player,
// the uv objects and the transparent-triangle sorter.
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

    // The sub-meshes and their materials (from the data's material block, or from the old
    // records of files before 0x30000), then the geometry. Once: true at once when loaded.
    virtual bool LoadMaterials();
    // The geometry half of loading materials: key player, uv objects, work arrays, counts over
    // the LODs, LOD 0 and the data's sorter.
    bool PrepareGeometry();
    // A ".mtg" group file, or a folder holding one ".mtl" file per sub-mesh material; on
    // success it becomes the file material group. A failure keeps the previous group.
    bool LoadMaterialFile(const char* path);
    // Every sub-mesh takes the material of its record's slot in the group (slot 0, with a
    // warning, for a slot past the group's).
    void OnMaterialGroup(render::IMaterialGroup* group);

    virtual Bounds GetFrameBounds(std::uint32_t frame) const;
    virtual Bounds GetSubMeshFrameBounds(std::uint32_t subMesh, std::uint32_t frame) const;

    bool SetLod(std::uint32_t lod);
    void SetSorterType(std::uint32_t type);
    // Positions and normals between key f (the player's current key) and the next, t towards it.
    void BlendKeyFrames(float t);
    void ResetAnimatedVertices();
    // Ticks the key player and the playing uv objects; true when something animated.
    bool UpdateAnimation();
    // The vertices of the current time: key frames blended, sub-meshes moved by their uv
    // objects.
    void UpdateVertexAnimation();
    // Sorts the triangles of every sub-mesh whose technique is transparent, for the camera's
    // render camera.
    void SortTransparent(const Matrix& world, render::IRenderCamera* camera);
    // The draw step: sorting when there is a sorter and (force or the geometry changed).
    virtual void Update(const Matrix& world, bool force, render::IRenderCamera* camera);

    // Sub-mesh i takes the slot (when the group has it) and the slot's four values.
    bool SetSubMeshMaterialSlot(std::uint32_t i, std::uint32_t slot);
    // The group's slot holding the old material takes the new one, and so does every
    // sub-mesh drawing with the old one.
    void ReplaceMaterial(render::IMaterial* oldMaterial, render::IMaterial* newMaterial);
    // Takes over the caller's group as the file material group (nothing for the current one).
    void SetMaterialGroup(render::IMaterialGroup* group);
    void SetLoadFlag(std::int32_t flag);
    // Box over the vertices of the visible sub-meshes, each moved by the matrix when given;
    // false when there is none.
    bool GetBounds(Vec3& min, Vec3& max, const Matrix* matrix) const;
    // Sub-mesh i's vertices of the current LOD, from the LOD's own arrays through the matrix
    // into the work arrays; normals through the inverse's transpose when it is given. False
    // for a sub-mesh outside the LOD or a segment sharing its geometry.
    bool TransformSubMesh(std::uint32_t i, const Matrix& matrix, const Matrix* inverse);

    std::uint32_t GetSubCount() const;
    const SubMeshInfo* GetSubMeshInfo(std::uint32_t i) const;
    // The first sub-mesh whose 32-byte name field holds exactly this name; -1 when none.
    int FindSubMesh(const char* name) const;
    // Sockets of the mesh data: the count, the index of the first whose 32-byte name holds
    // exactly the name (0xFFFF when none, or for null), and a socket's name, matrix, bone index
    // and linked value (null, 0xFFFF or -1 for an index past the count).
    std::uint16_t GetSocketCount() const;
    std::uint16_t FindSocket(const char* name) const;
    const char* GetSocketName(std::uint32_t i) const;
    const Matrix* GetSocketMatrix(std::uint32_t i) const;
    std::uint16_t GetSocketBoneIndex(std::uint32_t i) const;
    std::int32_t GetSocketLinkedValue(std::uint32_t i) const;
    // 0 when range i of the current LOD has vertices and triangles.
    int IsSubMeshRangeEmpty(std::uint32_t i) const;
    // The corner of a triangle of the current LOD nearest to a point (first corner on ties), and
    // its vertex colour; -1 for a triangle outside the LOD.
    int NearestCorner(std::uint32_t triangle, const Vec3& point, std::uint32_t* colour) const;

    SubMesh* GetSubMesh(std::uint32_t i) const;
    std::uint32_t SubMeshCount() const { return std::uint32_t(m_subMeshes.size()); }
    render::IMaterialGroup* MaterialGroup() const { return m_group; }
    render::IMaterialGroup* FileMaterialGroup() const { return m_fileGroup; }
    // The group the sub-meshes draw from: the file group when there is one.
    render::IMaterialGroup* ActiveGroup() const { return m_fileGroup ? m_fileGroup : m_group; }
    world::TrackSampled* UvAnimation(std::uint32_t i) const;
    std::uint32_t UvAnimationCount() const { return std::uint32_t(m_uvAnimations.size()); }
    bool Loaded() const { return m_loaded != 0; }
    bool AnyTransparent() const { return m_anyTransparent != 0; }
    bool IndexListDirty() const { return m_indexListDirty != 0; }
    void ClearIndexListDirty() { m_indexListDirty = 0; }
    void SetLoadPriority(std::int32_t priority) { m_loadPriority = priority; }
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

    class MaterialGroupCallback final : public render::IMaterialGroupCallback {
    public:
        explicit MaterialGroupCallback(MeshSegment* owner) : m_owner(owner) {}
        void OnMaterialGroup(render::IMaterialGroup* group) override;

    private:
        MeshSegment* m_owner;
    };

protected:
    // Segments whose vertices are computed (skinning) keep their own work arrays: set before
    // the materials load.
    void SetSharesGeometry(bool shares) { m_sharesGeometry = shares ? 1 : 0; }
    Vec3* WorkPositions() { return m_workPositions.empty() ? nullptr : m_workPositions.data(); }
    Vec3* WorkNormals() { return m_workNormals.empty() ? nullptr : m_workNormals.data(); }
    void MarkGeometryChanged() { m_geometryChanged = 1; }

private:
    struct TrackDelete {
        void operator()(world::TrackSampled* track) const;
    };
    using UvObject = std::unique_ptr<world::TrackSampled, TrackDelete>;

    bool BuildMaterials();
    // The sub-meshes, groups and geometry go, in the order destruction takes.
    void ReleaseMaterials();
    void ReleaseGroup(render::IMaterialGroup*& group);
    // The material name of a record: its extra name when it has one, else its own name.
    static std::string MaterialName(const SubMeshInfo& info);

    // The frame a selector names: the given one, or the player's current key for kCurrentFrame.
    std::uint32_t SelectFrame(std::uint32_t frame) const;
    bool Animated() const;

    std::vector<std::unique_ptr<SubMesh>> m_subMeshes;
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
    std::vector<UvObject> m_uvAnimations;
    render::IRenderer* m_renderer = nullptr;
    render::IMaterialGroup* m_group = nullptr;
    std::int32_t m_loadPriority = 0;
    render::IMaterialGroup* m_fileGroup = nullptr;
    std::uint8_t m_anyTransparent = 0;
    std::uint8_t m_indexListDirty = 0;
    std::unique_ptr<MaterialGroupCallback> m_callback;
    std::uint8_t m_loaded = 0;
};

}  // namespace quor
