#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "world/core/BinaryReader.h"
#include "world/core/math/Vector.h"
#include "world/mesh/PodArray.h"

namespace quor {

// One sub-mesh's slice of a LOD: its vertices and triangles within the LOD's arrays.
struct SubMeshRange {
    std::uint32_t firstVertex = 0;
    std::uint32_t firstTriangle = 0;
    std::uint32_t vertexCount = 0;
    std::uint32_t triangleCount = 0;
    std::uint8_t uvChannelCount = 0;
    std::uint8_t hasColour = 0;
    std::uint8_t reserved[2] = {0, 0};
};

// The vertex block of one level of detail, read into arrays owned here.
class MeshVertexData {
public:
    static constexpr int kMaxUvChannels = 4;

    MeshVertexData() = default;
    virtual ~MeshVertexData() = default;
    MeshVertexData(const MeshVertexData&) = delete;
    MeshVertexData& operator=(const MeshVertexData&) = delete;

    // The owner sets the sub-mesh count first (ranges zeroed). Reads one block of file version
    // `version` with `frameCount` frames of positions and normals. Counts are checked against
    // the bytes left and against each other (every sub-mesh range lies inside the LOD's arrays,
    // every index names a vertex); false leaves the reader failed.
    virtual bool Read(BinaryReader& in, std::uint32_t version, std::uint32_t frameCount);
    virtual void FreeArrays();

    void SetSubMeshCount(std::uint32_t count);
    void FreeColours();
    // Every sub-mesh's indices lie in its own vertex range (triangles past the ranges in the
    // LOD's vertices).
    bool IndicesInOwnRanges() const;

    std::vector<SubMeshRange> ranges;
    std::uint32_t subMeshCount = 0;
    std::uint32_t hasData = 0;
    std::uint32_t vertexCount = 0;
    std::uint32_t triangleCount = 0;
    std::uint8_t uvChannelCount = 0;
    std::uint8_t hasColour = 0;
    std::uint32_t frameCount = 0;
    PodArray<Vec3> positions;  // vertexCount x frameCount
    PodArray<Vec3> normals;    // vertexCount x frameCount
    PodArray<std::uint16_t> indices;  // 3 per triangle
    PodArray<float> uvs[kMaxUvChannels];  // (u, v) per vertex, channels below uvChannelCount
    PodArray<std::uint32_t> colours;      // one per vertex when hasColour, else empty
    std::uint32_t uvColourStride = 0;

    // A block without data holds no arrays, so its counts are not backed by file bytes; arrays
    // made from such counts stay within this many bytes (16 MB). The fuzz targets lower it so
    // that a run spends its time on the reader's paths rather than on filling defaults.
    static constexpr std::uint64_t kMaxDatalessBytes = 16u << 20;
    static void SetMaxDatalessBytes(std::uint64_t bytes);
    static std::uint64_t MaxDatalessBytes();
};

// Vertex block of a skeletal mesh: four bone indices and four weights per vertex follow.
class MeshSkelVertexData : public MeshVertexData {
public:
    bool Read(BinaryReader& in, std::uint32_t version, std::uint32_t frameCount) override;
    void FreeArrays() override;

    static constexpr std::uint8_t kNoBone = 255;
    // A weighted influence whose bone index is at or above this count (other than 255,
    // "none") fails the read. The skeleton block sets it before the LOD blocks are read.
    std::uint32_t boneCount = 0;
    PodArray<std::uint8_t> boneIndices;  // 4 per vertex
    PodArray<float> weights;             // 4 per vertex
};

}  // namespace quor
