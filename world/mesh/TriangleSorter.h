#pragma once
#include <cstdint>
#include <vector>

#include "world/core/math/Matrix.h"
#include "world/mesh/MeshVertexData.h"

namespace quor::render {
class IRenderCamera;
}

namespace quor {

// Rewrites the index stretch of a transparent sub-mesh each frame so that its triangles come
// back to front for the current camera. Works on positions and indices the segment holds;
// never touches the renderer.
class TriangleSorter {
public:
    explicit TriangleSorter(std::uint32_t maxTriangles);
    virtual ~TriangleSorter() = default;
    TriangleSorter(const TriangleSorter&) = delete;
    TriangleSorter& operator=(const TriangleSorter&) = delete;

    void Destroy() { delete this; }
    // Sorts the range's triangles into the same stretch of the output.
    virtual void Sort(const SubMeshRange& range, const Matrix& world, render::IRenderCamera* camera) = 0;

    // The positions and index list of the current level of detail; the output starts as a copy
    // of the indices (no more triangles than the output holds).
    void SetIndices(const Vec3* positions, const std::uint16_t* indices, std::uint32_t triangleCount);

    const std::uint16_t* Output() const { return m_output.data(); }
    bool OutputDirty() const { return m_outputDirty != 0; }
    void ClearOutputDirty() { m_outputDirty = 0; }
    bool Enabled() const { return m_enabled != 0; }
    std::uint32_t TriangleCount() const { return m_triangleCount; }
    std::uint32_t Capacity() const { return std::uint32_t(m_output.size() / 3); }

protected:
    // The step every sort starts with: false when the range was copied through unchanged
    // (sorting off, or a range the index data cannot hold); else the range's vertices are
    // projected to device coordinates.
    bool Project(const SubMeshRange& range, const Matrix& world, render::IRenderCamera* camera);
    // Copies the range's source indices unchanged.
    void PassThrough(const SubMeshRange& range);
    // Writes source triangle (first + t) at output triangle (first + p).
    void CopyTriangle(const SubMeshRange& range, std::uint32_t t, std::uint32_t p) {
        const std::uint16_t* from = m_source + 3 * std::size_t(range.firstTriangle + t);
        std::uint16_t* to = m_output.data() + 3 * std::size_t(range.firstTriangle + p);
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
    }
    // The projected position of a vertex of the range.
    const Vec3& Projected(const SubMeshRange& range, std::uint16_t index) const {
        return m_projected[index - range.firstVertex];
    }
    const std::uint16_t* SourceTriangle(const SubMeshRange& range, std::uint32_t t) const {
        return m_source + 3 * std::size_t(range.firstTriangle + t);
    }

    std::uint32_t m_triangleCount = 0;
    std::uint8_t m_enabled = 1;
    std::vector<std::uint16_t> m_output;
    const std::uint16_t* m_source = nullptr;
    std::uint8_t m_outputDirty = 0;
    const Vec3* m_positions = nullptr;
    std::vector<Vec3> m_projected;
};

// A (key, triangle) pair of the key sorters.
struct TriangleKey {
    float key;
    std::uint32_t triangle;
};

enum class DepthKey { Min, Max, Sum };

// Sorts by one depth key per triangle, largest (farthest) first.
class KeyTriangleSorter : public TriangleSorter {
public:
    KeyTriangleSorter(std::uint32_t maxTriangles, DepthKey kind) : TriangleSorter(maxTriangles), m_kind(kind) {}
    void Sort(const SubMeshRange& range, const Matrix& world, render::IRenderCamera* camera) override;
    DepthKey Kind() const { return m_kind; }

private:
    DepthKey m_kind;
    std::vector<TriangleKey> m_pairs;
};

// The smallest (Min) or largest (Max) of the three depths.
struct Min {};
struct Max {};
template <typename Tag>
class MinMaxZTriangleSorter final : public KeyTriangleSorter {
public:
    explicit MinMaxZTriangleSorter(std::uint32_t maxTriangles)
        : KeyTriangleSorter(maxTriangles, std::is_same_v<Tag, Min> ? DepthKey::Min : DepthKey::Max) {}
};

// The sum of the three depths.
class BarycenterTriangleSorter final : public KeyTriangleSorter {
public:
    explicit BarycenterTriangleSorter(std::uint32_t maxTriangles) : KeyTriangleSorter(maxTriangles, DepthKey::Sum) {}
};

// The free list of 8-byte link cells that every topological sorter draws from. Cells come in
// blocks of 8,192 that are never returned. Used by the drawing thread only.
class LinkCellPool {
public:
    struct Cell {
        Cell* next;
        std::uint32_t triangle;
    };
    static constexpr std::uint32_t kBlockCells = 8192;

    static LinkCellPool& Instance();
    ~LinkCellPool();
    Cell* Take();
    void Give(Cell* cell) {
        cell->next = m_free;
        m_free = cell;
    }
    std::size_t BlockCount() const { return m_blocks.size(); }

private:
    LinkCellPool() = default;
    Cell* m_free = nullptr;
    std::vector<Cell*> m_blocks;
};

// Orders triangles by pairwise overlap tests of their screen boxes and depths; gives up (for
// good) on ranges of 1,500 triangles or more, where the pair loop grows too long.
class TopologicalTriangleSorter final : public TriangleSorter {
public:
    static constexpr std::uint32_t kLimit = 1500;

    explicit TopologicalTriangleSorter(std::uint32_t maxTriangles) : TriangleSorter(maxTriangles) {}
    ~TopologicalTriangleSorter() override;
    void Sort(const SubMeshRange& range, const Matrix& world, render::IRenderCamera* camera) override;

private:
    struct Node {
        LinkCellPool::Cell* head = nullptr;
        std::uint32_t count = 0;
    };
    struct Box {
        float minX, minY, minZ, maxX, maxY, maxZ;
    };
    void ClearNode(Node& node);

    std::vector<Box> m_boxes;
    std::vector<Node> m_nodes;
    std::vector<std::uint8_t> m_placed;
    std::vector<std::uint32_t> m_notPlaced;
};

// 1: a in front of b, -1: b in front, 0: no overlap, 2: undecided. Projected device coordinates.
int CompareTriangleDepth(const Vec3 a[3], const Vec3 b[3]);
// CompareTriangleDepth, asked the other way round when it cannot decide (-2: neither decides).
int CompareTrianglePair(const Vec3 a[3], const Vec3 b[3]);

// 1 and 2: smallest and largest depth first-in-back, 3: depth sum, 4: topological; else null.
TriangleSorter* CreateTriangleSorter(std::uint32_t type, std::uint32_t maxTriangles);

}  // namespace quor
