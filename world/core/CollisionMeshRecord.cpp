#include "world/core/CollisionMeshRecord.h"

#include <memory>

#include "world/core/PolyTree.h"

namespace quor {

bool IndicesInRange(const std::uint16_t* indices, std::size_t triangleCount, std::uint32_t vertexCount) {
    if (vertexCount >= 65536) return true;
    // One pass taking the largest index keeps this cheap on big meshes.
    std::uint16_t largest = 0;
    for (std::size_t i = 0, n = triangleCount * 3; i < n; ++i) largest = indices[i] > largest ? indices[i] : largest;
    return triangleCount == 0 || largest < vertexCount;
}

bool CollisionMeshRecord::Read(BinaryReader& in) {
    Release();
    flag = in.U8();
    if (!in.Ok()) return false;
    if (flag == 0) return true;
    const std::uint32_t n = in.U32();
    const std::uint32_t t = in.U32();
    // 12 + 4 bytes per vertex, 6 per triangle.
    if (!in.CheckCount(n, 16) || !in.CheckCount(std::uint64_t(n) * 16 + std::uint64_t(t) * 6, 1)) return false;
    ownPositions_.resize(n);
    ownIndices_.resize(std::size_t(t) * 3);
    ownWords_.resize(n);
    in.F32s(reinterpret_cast<float*>(ownPositions_.data()), std::size_t(n) * 3);
    in.U16s(ownIndices_.data(), ownIndices_.size());
    in.U32s(ownWords_.data(), n);
    if (!in.Ok() || !IndicesInRange(ownIndices_.data(), t, n)) {
        in.Fail();
        Release();
        return false;
    }
    positions = ownPositions_.data();
    indices = ownIndices_.data();
    words = ownWords_.data();
    vertexCount = n;
    triangleCount = t;
    owns = true;
    return true;
}

void CollisionMeshRecord::Attach(const Vec3* p, const std::uint16_t* i, const std::uint32_t* w,
                                 std::uint32_t vc, std::uint32_t tc) {
    Release();
    positions = p;
    indices = i;
    words = w;
    vertexCount = vc;
    triangleCount = tc;
    owns = false;
}

bool CollisionMeshRecord::BuildPickTree(const Vec3& centre, const Vec3& half) {
    if (tree) return true;
    if (!positions || !indices || triangleCount == 0) return false;
    auto built = std::make_unique<PolyTree>();
    const PolyTree::Result* result = built->Build(centre, half, indices, &positions[0].x, triangleCount, vertexCount, 100);
    if (!result) return false;
    treeResult = result;
    tree = built.release();
    return true;
}

void CollisionMeshRecord::Release() {
    delete tree;
    tree = nullptr;
    treeResult = nullptr;
    vertexCount = 0;
    triangleCount = 0;
    positions = nullptr;
    indices = nullptr;
    words = nullptr;
    owns = false;
    std::vector<Vec3>().swap(ownPositions_);
    std::vector<std::uint16_t>().swap(ownIndices_);
    std::vector<std::uint32_t>().swap(ownWords_);
}

}  // namespace quor
