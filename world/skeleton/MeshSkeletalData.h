#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "world/mesh/MeshData.h"

namespace quor {

// A skeletal mesh file: the mesh reader plus the skeleton block that follows the common data
// (bones, parents, names, per-bone bounds, bind matrices, animation sets and their bounds).
class MeshSkeletalData : public MeshData {
public:
    static constexpr std::uint16_t kNoBone = 255;
    static constexpr std::size_t kBoneNameSize = 32;
    // Bone indices are bytes and 255 means none, so a skeleton holds at most 255 bones.
    static constexpr std::uint16_t kMaxBones = 255;

    struct AnimationBounds {
        std::vector<Bounds> bounds;  // F frame bounds, then F pair unions
        std::uint16_t frameCount = 0;
    };
    struct AnimationSet {
        std::string name;
        std::uint32_t contentHash = 0;
        std::vector<AnimationBounds> animations;
    };

    MeshSkeletalData();
    ~MeshSkeletalData() override;

    void Clear() override;
    MeshVertexData* CreateVertexData(int lod) override;
    bool CheckFileType(BinaryReader& in) override;
    bool ReadCommonDataV2(BinaryReader& in) override;
    bool ReadCommonDataV3(BinaryReader& in) override;
    bool ReadFrameBounds(BinaryReader& in) override;
    void WriteStats(common::IXmlNode* parent) const override;

    virtual const Bounds& GetAnimationBounds(std::uint32_t frame, std::uint32_t animation, std::uint32_t set) const;
    virtual const Bounds& GetSubMeshBounds(std::uint32_t subMesh) const;
    // Ties each socket to its bone: 1 when every socket found its bone, 5 when one did not.
    virtual int LinkSocketsToBones();
    // The socket records are resolved against the skeleton and the animations once, by the
    // first mesh built on this data; meshes of other models read them from then on.
    std::once_flag socketsResolved;

    // True when every bone reaches a root (parent 255) by following its parents: no parent
    // past the bones, no bone its own ancestor.
    static bool ParentsReachRoots(const std::uint8_t* parents, std::uint16_t count);

    const char* GetBoneName(std::uint32_t bone) const;
    const Matrix* GetBindMatrix(std::uint32_t bone) const;
    const Matrix* GetInverseBindMatrix(std::uint32_t bone) const;

    // --- animation bounds written by the skeletal mesh ----------------------------------
    // Grows the set tables to at least `count` sets (never shrinks them).
    void SetAnimationSetCount(std::uint32_t count);
    // The set's per-animation tables hold `count` animations (set tables grown as needed).
    void SetAnimationCount(std::uint32_t count, std::uint32_t set);
    // 2F bounds for the animation (frames, then pair unions), counted in the skeletal memory.
    bool SetFrameCount(std::uint16_t frames, std::uint32_t animation, std::uint32_t set);
    // Frame bound f of (animation, set); false when that entry was not allocated.
    bool SetFrameBound(std::uint32_t frame, std::uint32_t animation, std::uint32_t set, const Bounds& b);
    // Builds the pair unions after the frame bounds are written.
    void FinishFrameBounds(std::uint32_t animation, std::uint32_t set);
    // Every set, its bounds and hashes from `other` (which may be this).
    void CopyAnimationBounds(const MeshSkeletalData& other);
    // Frees every animation's bounds of the set; its animation count becomes 0.
    void ClearAnimationBounds(std::uint32_t set);
    std::uint32_t GetContentHash(std::uint32_t set) const;
    void SetContentHash(std::uint32_t set, std::uint32_t hash);
    // The bind table: the 2B matrices given (poses then inverses), or B identities and their
    // identity inverses for null.
    void EnsureBindPose(const Matrix* matrices);
    static std::unique_ptr<Matrix[]> MakeBindPose(std::uint16_t bones, const Matrix* matrices);

    std::uint16_t boneCount = 0;
    std::uint8_t parents[256];
    std::uint16_t rootBone = kNoBone;
    std::vector<char> boneNames;  // boneCount x 32
    std::vector<Bounds> boneBounds;
    std::unique_ptr<Matrix[]> bindMatrices;  // boneCount bind poses, then their inverses
    std::vector<AnimationSet> animationSets;
    std::vector<std::uint32_t> boundsEntryCounts;
    std::uint32_t skeletalMemorySize = 0;

protected:
    bool ReadSkeletonBlock(BinaryReader& in);
};

}  // namespace quor
