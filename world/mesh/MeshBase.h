#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win32/CriticalSection.h"
#include "world/core/Object3D.h"
#include "world/core/PrimitiveBatch.h"
#include "world/core/SharedString.h"
#include "world/core/math/Geometry.h"
#include "world/core/math/Matrix.h"
#include "world/mesh/SubMesh.h"

namespace quor::d3d9 {
class IDirect3DDevice9;
}
namespace quor::render {
class IMaterialGroup;
class IRenderable;
}  // namespace quor::render
namespace quor::world {
class ICamera;
}

namespace quor {

class MeshData;
class MeshSegment;
class MeshSocket;
class MeshVertexBuffer;
class PolyTree;
class OccluderGeometry;

// One draw call of a mesh: a stretch of the current LOD's buffer drawn with the material of
// its first sub-mesh.
struct MeshDrawEntry {
    std::uint32_t firstVertex = 0;
    std::uint32_t firstTriangle = 0;
    std::uint32_t vertexCount = 0;
    std::uint32_t triangleCount = 0;
    std::uint8_t transparent = 0;
    SubMesh* subMesh = nullptr;
    render::IRenderable* renderable = nullptr;
};

// A mesh instance: one part per mesh file loaded into it, the vertex buffers of the first
// file's levels of detail, the merged bounds and the animation requests forwarded by kind.
// Several models may share it through the reference count.
class MeshBase : public Object3D {
public:
    static constexpr int kMaxLods = 8;
    static constexpr std::uint32_t kGrowth = 16384;
    static constexpr std::int32_t kObjectType = 0;
    enum AnimationKind { kSkeletal = 1, kVertexKeys = 2, kUv = 3 };

    // device: the Direct3D device the buffers are made on (null: the world's).
    explicit MeshBase(d3d9::IDirect3DDevice9* device = nullptr);
    ~MeshBase() override;
    // Mesh instances alive in the process (each destroyed once shows as a return to zero).
    static int LiveCount();

    virtual void Destroy();                                                             // 0
    void OnDeviceLost() override;                                                       // 1
    bool OnDeviceReset() override;                                                      // 2
    std::int32_t GetObject3DType() const override { return kObjectType; }               // 3
    virtual bool LoadMeshFromMemory(const char* name, const void* data, std::size_t size);  // 4
    virtual bool SetMeshData(MeshData* data);                                           // 5
    virtual bool LoadMeshFile(const char* fileName);                                    // 6
    virtual bool UpdateAnimation(bool transformChanged);                                // 7
    virtual bool PrepareRender(const MeshDrawEntry& entry, const Matrix& world);        // 8
    virtual Bounds GetFrameBounds(std::uint32_t frame);                                 // 9
    virtual Bounds GetSubMeshFrameBounds(std::uint32_t subMesh, std::uint32_t frame);   // 10
    virtual void Reserved11() {}                                                        // 11
    virtual bool HasAnimation(int kind);                                                // 12
    virtual int GetAnimationCount(int kind);                                            // 13
    virtual int GetCurrentAnimation(int kind);                                          // 14
    virtual bool PlayAnimation(int index, int kind, float startTime, bool loop, std::uint32_t flags);  // 15
    virtual void StopAnimation(int kind);                                               // 16
    virtual bool IsAnimationPlaying(int kind);                                          // 17
    virtual bool SetAnimationTime(float time, int kind);                                // 18
    virtual float GetAnimationTime(int kind);                                           // 19
    virtual void SetAnimationSpeed(float speed, int kind);                              // 20
    virtual float GetAnimationSpeed(int kind);                                          // 21
    virtual void SetAnimationReverse(bool reverse, int kind);                           // 22
    virtual bool IsAnimationReverse(int kind);                                          // 23
    virtual void SetAnimationLoop(bool loop, int kind);                                 // 24
    virtual bool IsAnimationLoop(int kind);                                             // 25
    virtual float GetAnimationLength(int kind);                                         // 26
    virtual bool IsAnimationFinished(int kind);                                         // 27
    virtual bool SetSkeletalParam(int, float) { return false; }                         // 28
    virtual bool GetBoundingBox(Vec3& min, Vec3& max);                                  // 29
    virtual bool ContainsPoint(const Vec3&) { return false; }                           // 30
    // Nearest triangle hit of the segment origin + t x direction, t in [0, 1].
    virtual bool IntersectRay(const Vec3& origin, const Vec3& direction, float* t);     // 31
    virtual std::uint32_t GetUVChannelCount(int lod);                                   // 32
    virtual void UpdateVertexAnimation();                                               // 33
    virtual void UpdateBounds();                                                        // 34

    // Queries of the first part's LOD blocks (0, null for a level or channel it lacks).
    std::uint32_t GetVertexCount(int lod);
    const std::uint32_t* GetColorData(int lod);
    const float* GetUVData(int channel, int lod);
    std::uint32_t GetIndexCount(int lod);
    const std::uint16_t* GetIndexData(int lod);

    std::uint32_t GetSubMeshCount();
    // Null for an index past the list.
    SubMesh* GetSubMesh(std::uint32_t i);
    bool IsSubMeshVisible(std::uint32_t i);
    // The draw list is rebuilt at the next fill; false for an index past the list.
    bool SetSubMeshVisible(std::uint32_t i, bool visible);

    // Sub-mesh i's renderable takes its culling direction (reversed or the ordinary one), then
    // the normalize switch; false for an index past the list.
    bool SetSubMeshDrawSettings(std::uint32_t i, bool normalize, bool cullingReversed);
    // The device's setting numbers and culling values the renderable's state block takes.
    static constexpr std::int32_t kCullSetting = 22;
    static constexpr std::int32_t kNormalizeSetting = 143;
    static constexpr float kCullOrdinary = 3.0f;
    static constexpr float kCullReversed = 2.0f;

    render::IMaterialGroup* GetMaterialGroup();
    MeshVertexBuffer* GetCurrentVertexBuffer();
    std::uint32_t GetSorterType();
    void SetSorterType(std::uint32_t type);
    bool SetLod(int level);
    common::SharedString GetFileName();
    const OccluderGeometry* GetOccluderGeometry();
    // Null for an index past the first part's sockets.
    const MeshSocket* GetSocketRecord(std::uint32_t i);
    std::uint16_t FindAnimationKey(float time, int kind);
    bool IsAnyPartTransparent();
    bool GetBounds(Vec3& min, Vec3& max, const Matrix* matrix);
    void BuildPickTrees();
    int CollectTriangles(const void* query, void* output, int limit);
    void Clear();
    // A per-part switch of the sky: parts whose transform changed this frame.
    void SetSoftwareSkinning(bool flag);

    bool Render(const Matrix& world, world::ICamera* camera);
    bool FillStreams();
    bool FillStreamsBatched();
    bool FillHardwareSkinStreams();
    void DrawSubMeshes(const Matrix& world);
    bool DrawSubMesh(std::uint32_t i, const Matrix& world);

    // The ray test of slot 31 that also names the sub-mesh hit (index over all parts).
    bool IntersectRayDetail(const Vec3& origin, const Vec3& direction, float* t, std::uint32_t* subMesh);

    // The draw list is rebuilt at the next fill.
    void SetMergeDraws(bool merge);
    // Handed to every sub-mesh at the next DrawSubMeshes.
    void SetRenderMode(const RenderModeDesc& desc);
    void SetRenderOption(std::int32_t option);
    void MarkDrawListStale();
    // The transform-changed re-sort request of the last UpdateAnimation.
    void SetForceSort(bool force);

    std::uint32_t GetPartCount();
    MeshSegment* GetPart(std::uint32_t i);
    int CurrentPart() const { return m_currentPart; }
    int LodCount() const { return m_lodCount; }
    int CurrentLod() const { return m_currentLod; }
    bool Ready() const { return m_ready.load() != 0; }
    bool VertexAnimationApplied() const { return m_vertexAnimationApplied != 0; }
    bool DrawListStale() const { return m_drawListStale != 0; }
    bool HardwareSkinned() const { return m_hardwareSkinned != 0; }
    std::int32_t SharedTick() const { return m_sharedTick; }
    bool SoftwareSkinning(std::uint32_t part) const { return part < m_softwareSkinning.size() && m_softwareSkinning[part]; }
    const Bounds& GetMeshBounds() const { return m_bounds; }
    const std::vector<MeshDrawEntry>& DrawList() const { return m_drawList; }
    MeshVertexBuffer* VertexBuffer(int lod) const { return lod >= 0 && lod < kMaxLods ? m_buffers[lod] : nullptr; }
    win32::CriticalSection& Lock() { return m_lock; }
    const RenderModeDesc& GetRenderMode() const { return m_renderMode; }

    // Mesh-wide switches the models sharing this mesh set; read by their draws.
    struct ModelSwitches {
        std::uint8_t transparent = 0;
        std::uint8_t transparentByModel = 0;
        std::uint8_t vertexColor = 0;
        std::uint8_t renderFlags[2] = {0, 0};
        std::uint8_t renderFlag = 0;
        std::uint8_t pickByBox = 0;
        std::uint8_t alphaTest = 0;
        std::int32_t alphaReference = 0;
        std::int32_t blendMode = 0;
        // One culled flag per sub-mesh.
        std::vector<std::uint8_t> culled;
        std::vector<std::uint32_t> colours;
        // The scene of the model that made the mesh (not owned).
        void* ownerScene = nullptr;
        // The light set of the models drawing it (not owned).
        void* lightSet = nullptr;
    };
    ModelSwitches& Switches() { return m_switches; }
    void SetLightSet(void* set) { m_switches.lightSet = set; }

protected:
    // The skeletal mesh's hardware-skin switch for the stream formats (plain meshes: none).
    virtual bool UsesHardwareSkin() const { return false; }
    void SetHardwareSkinned(bool on) { m_hardwareSkinned = on ? 1 : 0; }
    // For meshes that add their parts themselves, under the lock the caller holds: the part
    // becomes the current one; a refused part is taken back with its sub-meshes and draw
    // entries (the segment is destroyed, returning its data reference).
    void AppendPart(MeshSegment* segment);
    void RemoveLastPart();
    bool BuildCurrentPart();
    const std::vector<MeshSegment*>& Parts() const { return m_parts; }
    void SetReady(bool ready) { m_ready = ready ? 1 : 0; }
    void SetSharedTick(std::int32_t tick) { m_sharedTick = tick; }
    void SetMeshBounds(const Bounds& b) { m_bounds = b; }
    // The LOD buffers made again in the stream format UsesHardwareSkin now selects, as large
    // as the parts need; the draw list is rebuilt at the next fill.
    void RebuildVertexBuffers();

private:
    // Takes the part in under the lock and builds it; the segment is destroyed on failure.
    bool AddData(MeshData* data, const char* fileName);
    bool AddPart(MeshSegment* segment, const char* fileName);
    bool Tracks(int kind, MeshSegment*& first);
    // Writes sub-mesh `sub` of the list into range r of the buffer.
    void WriteRange(MeshVertexBuffer& buffer, int r, const SubMesh& sub);
    bool BlockRange(const SubMesh& sub, std::uint32_t& fv, std::uint32_t& ft, std::uint32_t& v,
                    std::uint32_t& t) const;
    void FillTimed();

    std::uint8_t m_vertexAnimationApplied = 1;
    std::vector<MeshSegment*> m_parts;
    int m_currentPart = 0;
    std::vector<SubMesh*> m_subMeshes;
    int m_lodCount = 1;
    int m_currentLod = 0;
    std::uint32_t m_sorterType = 0;
    std::int32_t m_sharedTick = 0;
    render::IMaterialGroup* m_materialGroup = nullptr;
    std::int32_t m_renderOption = 0;
    RenderModeDesc m_renderMode;
    std::uint8_t m_renderModeChanged = 1;
    MeshVertexBuffer* m_buffers[kMaxLods] = {};
    std::uint8_t m_mergeDraws = 0;
    std::vector<MeshDrawEntry> m_drawList;
    std::uint8_t m_forceSort = 0;
    std::uint8_t m_drawListStale = 1;
    std::uint8_t m_hardwareSkinned = 0;
    win32::CriticalSection m_lock;
    // Written by a loader thread while the drawing thread reads it.
    std::atomic<std::uint8_t> m_ready{1};
    Bounds m_bounds;
    std::vector<std::uint8_t> m_softwareSkinning;
    d3d9::IDirect3DDevice9* m_device;
    bool m_fillResult = false;
    // The draw-range record of PrepareRender, kept so that a draw allocates nothing; the
    // renderable copies the ranges.
    world::PrimitiveBatch m_batch;
    ModelSwitches m_switches;
};

// The concrete mesh of static and vertex-animated files.
class Mesh : public MeshBase {
public:
    static constexpr std::int32_t kObjectType = 1;
    explicit Mesh(d3d9::IDirect3DDevice9* device = nullptr) : MeshBase(device) {}
    std::int32_t GetObject3DType() const override { return kObjectType; }
};

}  // namespace quor
