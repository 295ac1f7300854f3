#pragma once
#include <cstdint>
#include <vector>

#include "world/core/BinaryReader.h"
#include "world/core/math/Vector.h"

namespace quor {

class PolyTree;

// The optional collision mesh of a mesh file: positions, 16-bit triangles and one 32-bit word per
// vertex. It either owns copies read from the file or points at a LOD's arrays (Attach).
class CollisionMeshRecord {
public:
    CollisionMeshRecord() = default;
    ~CollisionMeshRecord() { Release(); }
    CollisionMeshRecord(const CollisionMeshRecord&) = delete;
    CollisionMeshRecord& operator=(const CollisionMeshRecord&) = delete;

    // Reads the mesh-file layout at the reader's position. A flag of 0 consumes one byte and
    // leaves the record empty. Counts are checked against the bytes left and every index must
    // name a vertex of the record; on failure the record is left empty and the reader failed.
    bool Read(BinaryReader& in);
    // Points the record at arrays it does not own.
    void Attach(const Vec3* positions, const std::uint16_t* indices, const std::uint32_t* words,
                std::uint32_t vertexCount, std::uint32_t triangleCount);
    // Releases the arrays it owns and the triangle tree.
    void Release();
    // Builds the triangle tree within the box (leaf limit 100) once; answers whether a tree
    // exists afterwards.
    bool BuildPickTree(const Vec3& centre, const Vec3& half);
    // The pick result of the tree, null until built.
    const void* PickRecord() const { return treeResult; }

    std::uint8_t flag = 0;  // the presence flag read from the file
    const Vec3* positions = nullptr;
    const std::uint16_t* indices = nullptr;  // 3 per triangle
    const std::uint32_t* words = nullptr;    // one per vertex
    std::uint32_t vertexCount = 0;
    std::uint32_t triangleCount = 0;
    bool owns = false;
    PolyTree* tree = nullptr;  // built on the mesh's request, owned
    const void* treeResult = nullptr;

private:
    std::vector<Vec3> ownPositions_;
    std::vector<std::uint16_t> ownIndices_;
    std::vector<std::uint32_t> ownWords_;
};

// True when every index of count triangles names one of vertexCount vertices.
bool IndicesInRange(const std::uint16_t* indices, std::size_t triangleCount, std::uint32_t vertexCount);

}  // namespace quor
