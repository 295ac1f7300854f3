#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "world/core/math/Vector.h"

namespace quor {

// The box of one triangle: maximum corner, then minimum corner. Query boxes use the same six
// floats.
struct PolyTreeBox {
    float max[3];
    float min[3];
};

// A binary tree of axis-aligned boxes over the triangles of a mesh (float triples and 16-bit
// index triples, neither owned), built once and asked for the triangles whose boxes overlap a
// query box.
class PolyTree {
public:
    struct Node {
        Node* a = nullptr;  // the side below the centre on the split axis
        Node* b = nullptr;  // the side above it
        Vec3 centre, half, max, min;
        std::vector<std::uint32_t> triangles;  // those that stay here
    };
    // What Build answers and Pick is asked on.
    struct Result {
        const float* positions = nullptr;
        const std::uint16_t* indices = nullptr;
        std::uint32_t triangleCount = 0;
        Node* root = nullptr;
    };

    PolyTree() = default;
    ~PolyTree() = default;
    PolyTree(const PolyTree&) = delete;
    PolyTree& operator=(const PolyTree&) = delete;

    // Builds breadth-first from a root of the given centre and half extents. Null when an array
    // is null, the triangle count or leaf limit is 0, or an index does not name one of
    // vertexCount vertices. Building again replaces the tree.
    const Result* Build(const Vec3& centre, const Vec3& half, const std::uint16_t* indices, const float* positions,
                        std::uint32_t triangleCount, std::uint32_t vertexCount, std::uint32_t leafLimit);
    // Writes the positions of the triangles whose boxes strictly overlap the query box, three
    // per triangle: the count written, or -1 when a triangle's three would reach the capacity
    // (in positions). record must be this tree's. Safe to run from several threads at once.
    int Pick(const Result* record, const PolyTreeBox& box, float* out, int capacity) const;
    void Clear();

    const std::vector<std::unique_ptr<Node>>& Nodes() const { return m_nodes; }
    const std::vector<PolyTreeBox>& Boxes() const { return m_boxes; }

private:
    void Split(Node& node);

    std::vector<std::unique_ptr<Node>> m_nodes;  // creation order, root first
    std::vector<std::uint32_t> m_split;
    std::vector<PolyTreeBox> m_boxes;
    std::uint32_t m_leafLimit = 0;
    const float* m_positions = nullptr;
    const std::uint16_t* m_indices = nullptr;
    std::unique_ptr<Result> m_result;
};

}  // namespace quor
