// What every mesh the reader accepts must satisfy, and what a refused load must leave: checked
// by the mesh fuzz targets after each input (a broken invariant stops the run).
#pragma once
#include <cstddef>
#include <cstdint>

#include "world/mesh/MeshData.h"
#include "world/skeleton/MeshSkeletalData.h"

namespace quor::fuzz {

inline void Require(bool holds) {
    if (!holds) __builtin_trap();
}

inline void CheckSockets(const MeshSocketList& sockets) {
    for (const auto& socket : sockets) {
        Require(socket != nullptr && socket->matrixToBone != nullptr);
        Require(!socket->hasObjectFile || !socket->objectFiles.empty());
    }
}

inline void CheckOccluderSet(const OccluderSet& set) {
    Require(set.vertexCount == 0 || set.positions != nullptr);
    Require(set.triangleCount == 0 || set.indices != nullptr);
    if (set.kind != 1 && set.kind != 2) Require(set.vertexCount == 0 && set.triangleCount == 0);
    if (set.kind == 2 && set.vertexCount < 65536) {
        for (std::size_t i = 0, n = std::size_t(set.triangleCount) * 3; i < n; ++i) Require(set.indices[i] < set.vertexCount);
    }
}

inline void CheckLod(const MeshVertexData& lod, std::uint32_t subMeshCount) {
    Require(lod.ranges.size() == subMeshCount);
    Require(lod.frameCount >= 1);
    Require(lod.positions.size() == std::size_t(lod.vertexCount) * lod.frameCount);
    Require(lod.normals.size() == lod.positions.size());
    Require(lod.indices.size() == std::size_t(lod.triangleCount) * 3);
    Require(lod.uvChannelCount <= MeshVertexData::kMaxUvChannels);
    for (int c = 0; c < MeshVertexData::kMaxUvChannels; ++c) {
        Require(lod.uvs[c].size() == (c < lod.uvChannelCount ? std::size_t(lod.vertexCount) * 2 : 0));
    }
    Require(lod.colours.size() == (lod.hasColour ? lod.vertexCount : 0));
    std::uint64_t triangles = 0;
    for (const SubMeshRange& r : lod.ranges) {
        // Every range inside the LOD's arrays, and its triangles on its own vertices.
        Require(std::uint64_t(r.firstVertex) + r.vertexCount <= lod.vertexCount);
        Require(std::uint64_t(r.firstTriangle) + r.triangleCount <= lod.triangleCount);
        Require(r.uvChannelCount <= lod.uvChannelCount);
        for (std::size_t i = std::size_t(r.firstTriangle) * 3, n = i + std::size_t(r.triangleCount) * 3; i < n; ++i) {
            Require(lod.indices[i] >= r.firstVertex && lod.indices[i] < std::uint64_t(r.firstVertex) + r.vertexCount);
        }
        triangles += r.triangleCount;
    }
    if (lod.vertexCount < 65536) {
        for (std::size_t i = std::size_t(triangles) * 3; i < lod.indices.size(); ++i) Require(lod.indices[i] < lod.vertexCount);
    }
}

inline void CheckSkin(const MeshSkelVertexData& lod, std::uint16_t boneCount) {
    Require(lod.boneIndices.size() == std::size_t(lod.vertexCount) * 4);
    Require(lod.weights.size() == lod.boneIndices.size());
    for (std::size_t i = 0; i < lod.boneIndices.size(); ++i) {
        const std::uint8_t b = lod.boneIndices[i];
        Require(b == 255 || b < boneCount || lod.weights[i] == 0.0f);
    }
}

// A mesh that loaded.
inline void CheckLoaded(const MeshData& mesh) {
    Require(mesh.lodCount >= 1 && mesh.lodCount <= MeshData::kMaxLods);
    Require(mesh.subMeshes.size() == mesh.subMeshCount);
    for (int i = 0; i < MeshData::kMaxLods; ++i) {
        Require((mesh.lods[i] != nullptr) == (i < mesh.lodCount));
        if (mesh.lods[i]) CheckLod(*mesh.lods[i], mesh.subMeshCount);
    }
    Require(mesh.frameCount >= 1);
    if (!mesh.frameBounds.empty()) {
        Require(mesh.frameBounds.size() == std::size_t(mesh.frameCount) * 2);
        Require(mesh.subMeshFrameBounds.size() == mesh.frameBounds.size() * mesh.subMeshCount);
    }
    Require(mesh.keyTrack == nullptr || mesh.keyTrack->oldKeyCount == 0);
    if (mesh.occluder) {
        CheckOccluderSet(mesh.occluder->a);
        CheckOccluderSet(mesh.occluder->b);
    }
    Require(mesh.collision.vertexCount == 0 || mesh.collision.positions != nullptr);
    Require(mesh.collision.triangleCount == 0 || mesh.collision.indices != nullptr);
    CheckSockets(mesh.sockets);
}

inline void CheckLoaded(const MeshSkeletalData& mesh) {
    CheckLoaded(static_cast<const MeshData&>(mesh));
    Require(mesh.boneCount <= MeshSkeletalData::kMaxBones);
    Require(MeshSkeletalData::ParentsReachRoots(mesh.parents, mesh.boneCount));
    Require(mesh.boneNames.size() == std::size_t(mesh.boneCount) * MeshSkeletalData::kBoneNameSize);
    Require(mesh.boneBounds.empty() || mesh.boneBounds.size() == mesh.boneCount);
    for (int i = 0; i < mesh.lodCount; ++i) CheckSkin(static_cast<const MeshSkelVertexData&>(*mesh.lods[i]), mesh.boneCount);
}

// A load that failed leaves nothing behind.
inline void CheckEmpty(const MeshData& mesh) {
    Require(mesh.lodCount == 0 && mesh.subMeshes.empty() && mesh.subMeshCount == 0);
    for (const auto& lod : mesh.lods) Require(lod == nullptr);
    Require(mesh.sockets.empty() && mesh.blob.empty() && mesh.occluder == nullptr && mesh.keyTrack == nullptr);
    Require(mesh.frameBounds.empty() && mesh.subMeshTracks.empty() && mesh.oldSubMeshes.empty());
}

inline void CheckEmpty(const MeshSkeletalData& mesh) {
    CheckEmpty(static_cast<const MeshData&>(mesh));
    Require(mesh.boneCount == 0 && mesh.boneNames.empty() && mesh.animationSets.empty() && !mesh.bindMatrices);
}

}  // namespace quor::fuzz
