#pragma once
#include <cstdint>
#include <vector>

#include "world/core/BinaryReader.h"
#include "world/core/math/Vector.h"

namespace quor::world {
class IVisibleObject;
}

namespace quor {

struct Matrix;

// One triangle set of an occluder: kind 0 none, 1 the mesh's LOD 0, 2 arrays owned here.
struct OccluderSet {
    std::int32_t kind = 0;
    const Vec3* positions = nullptr;
    const std::uint16_t* indices = nullptr;  // 3 per triangle
    std::uint32_t vertexCount = 0;
    std::uint32_t triangleCount = 0;
};

// The optional occluder data of a mesh file: up to two triangle sets that a scene hands to the
// host's occlusion service for each model that carries them.
class OccluderGeometry {
public:
    OccluderGeometry() = default;
    ~OccluderGeometry() { Release(); }
    OccluderGeometry(const OccluderGeometry&) = delete;
    OccluderGeometry& operator=(const OccluderGeometry&) = delete;

    // Reads the mesh-file layout for file version `version`. Below 0x30006 a block without the
    // "umbra" tag is absent: nothing is consumed and the record stays empty (true). Counts are
    // checked against the bytes left and indices against the set's vertices; on failure the
    // record is left empty and the reader failed.
    bool Read(BinaryReader& in, std::uint32_t version);
    // Appends the layout of versions from 0x30006 on.
    void Write(std::vector<std::uint8_t>& out) const;
    // Frees the arrays of each set of kind 2.
    void Release();

    // Hands both sets to the host's occlusion service for one object (when set A is not none
    // and the host has the service), and takes them back by the same object.
    void AddOccluder(world::IVisibleObject* object, const Matrix& worldMatrix) const;
    void RemoveOccluder(world::IVisibleObject* object) const;

    OccluderSet a;
    OccluderSet b;

private:
    bool ReadSet(BinaryReader& in, std::uint32_t version, OccluderSet& set, std::vector<Vec3>& pos,
                 std::vector<std::uint16_t>& idx);

    std::vector<Vec3> posA_, posB_;
    std::vector<std::uint16_t> idxA_, idxB_;
};

}  // namespace quor
