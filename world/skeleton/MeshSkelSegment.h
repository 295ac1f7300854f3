#pragma once
#include <cstdint>
#include <memory>

#include "world/core/math/Matrix.h"
#include "world/mesh/MeshSegment.h"

namespace quor {

class MeshSkeletal;
class MeshSkeletalData;
class SkelAnimState;

// The arrays one skinning pass reads and writes: per vertex four bone-index bytes, four
// weights, a position and a normal (44 bytes read).
struct SkinStreams {
    const std::uint8_t* indices = nullptr;
    const float* weights = nullptr;
    const Vec3* positions = nullptr;
    const Vec3* normals = nullptr;
    Vec3* outPositions = nullptr;
    Vec3* outNormals = nullptr;
};

// Vertices [first, first + count) of the streams through the palette: one bone (second index
// 255) at weight 1, else the weighted sum of up to four bone matrices. A vertex naming no bone,
// or a bone past the palette, is left as it was. `sse` selects the vector form.
void SkinVertexRange(const Matrix* palette, std::uint32_t paletteSize, const SkinStreams& s, std::uint32_t first,
                     std::uint32_t count, bool sse);

// One mesh file of a skeletal mesh: its skeleton, the bone-matrix palette (inverse bind x
// current bone matrix per bone) and the skinned vertex arrays.
class MeshSkelSegment : public MeshSegment {
public:
    explicit MeshSkelSegment(MeshData* data);
    ~MeshSkelSegment() override;

    bool LoadMaterials() override;
    // Bounds of the current animation of its file's set: the current key for 0xFFFE, the
    // static bounds for 0xFFFF or without an animation.
    Bounds GetFrameBounds(std::uint32_t frame) const override;
    // The sub-mesh record's own bounds.
    Bounds GetSubMeshFrameBounds(std::uint32_t subMesh, std::uint32_t frame) const override;
    // Skins in software first when the pose changed and the mesh does not skin in hardware.
    void Update(const Matrix& world, bool force, render::IRenderCamera* camera) override;

    void SetOwner(const MeshSkeletal* owner, const SkelAnimState* state);
    MeshSkeletalData* Skeleton() const { return m_skeleton; }
    std::uint16_t BoneCount() const;

    // B(b) := inverse bind of b x current bone matrix of b, for every bone of the skeleton.
    void FillSkinningMatrices(const SkelAnimState& state);
    // The visible sub-meshes' vertices of the current LOD from the given arrays into the work
    // arrays; the geometry is marked changed.
    void SkinVertices(const Vec3* positions, const Vec3* normals);
    void SkinFromLod();
    void MarkPoseChanged() { m_poseChanged = 1; }
    bool PoseChanged() const { return m_poseChanged != 0; }
    void ResetSkinnedVertices() { ResetAnimatedVertices(); }

    // The hardware palette: one matrix per bone in bone order.
    const Matrix* BonePalette() const { return m_palette.get(); }
    std::uint32_t PaletteSize() const { return m_paletteSize; }
    // Palette entry i names bone i; 65535 past the end.
    std::uint16_t PaletteEntry(std::uint32_t i) const { return i < m_paletteSize ? std::uint16_t(i) : 0xFFFF; }

    // The sub-mesh technique update before a sub-mesh draws with hardware skinning.
    void UpdateHardwareSkinShader(std::uint32_t subMesh, const Matrix& world, std::uint32_t pass);

private:
    MeshSkeletalData* m_skeleton = nullptr;
    const MeshSkeletal* m_owner = nullptr;
    const SkelAnimState* m_state = nullptr;
    std::unique_ptr<Matrix[]> m_palette;
    std::uint32_t m_paletteSize = 0;
    std::uint8_t m_poseChanged = 0;
    std::uint8_t m_warnedNoBindPose = 0;
};

}  // namespace quor
