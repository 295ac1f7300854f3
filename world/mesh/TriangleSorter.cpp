#include "world/mesh/TriangleSorter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/host/IRenderCamera.h"
#include "world/core/Align16.h"
#include "world/core/Memory.h"

namespace quor {

TriangleSorter::TriangleSorter(std::uint32_t maxTriangles) : m_output(std::size_t(maxTriangles) * 3) {}

void TriangleSorter::SetIndices(const Vec3* positions, const std::uint16_t* indices, std::uint32_t triangleCount) {
    m_positions = positions;
    m_source = indices;
    // The output was sized for the largest level of detail: never copy past it.
    m_triangleCount = std::min(triangleCount, Capacity());
    if (indices && m_triangleCount) {
        std::memcpy(m_output.data(), indices, std::size_t(m_triangleCount) * 6);
    }
    m_outputDirty = 1;
}

void TriangleSorter::PassThrough(const SubMeshRange& range) {
    if (m_source && range.firstTriangle <= m_triangleCount &&
        range.triangleCount <= m_triangleCount - range.firstTriangle) {
        std::memcpy(m_output.data() + 3 * std::size_t(range.firstTriangle),
                    m_source + 3 * std::size_t(range.firstTriangle), std::size_t(range.triangleCount) * 6);
    }
    m_outputDirty = 1;
}

bool TriangleSorter::Project(const SubMeshRange& range, const Matrix& world, render::IRenderCamera* camera) {
    if (!m_enabled || !camera || !m_positions || !m_source) {
        PassThrough(range);
        return false;
    }
    // The loaders refuse files whose indices leave their sub-mesh's vertex range; a range
    // that does not fit the index data or names vertices outside it is left unsorted rather
    // than read out of bounds.
    if (range.firstTriangle > m_triangleCount || range.triangleCount > m_triangleCount - range.firstTriangle) {
        m_outputDirty = 1;
        return false;
    }
    const std::uint16_t* indices = m_source + 3 * std::size_t(range.firstTriangle);
    for (std::size_t i = 0, n = std::size_t(range.triangleCount) * 3; i < n; ++i) {
        if (indices[i] < range.firstVertex || indices[i] - range.firstVertex >= range.vertexCount) {
            PassThrough(range);
            return false;
        }
    }
    Matrix view, projection, m;
    std::memcpy(view.m, camera->GetViewMatrix(), sizeof view.m);
    std::memcpy(projection.m, camera->GetProjectionMatrix(), sizeof projection.m);
    MatrixMultiplyFast(world, view, m);
    MatrixMultiplyFast(m, projection, m);
    if (m_projected.size() < range.vertexCount) m_projected.resize(range.vertexCount);
    const Vec3* from = m_positions + range.firstVertex;
    Vec3* to = m_projected.data();
    // The switch is read once per range, not per vertex, so the vector form stays inline.
    if (UseAlignedAlloc()) {
        for (std::uint32_t v = 0; v < range.vertexCount; ++v) TransformCoordSse(from[v], m, to[v]);
    } else {
        for (std::uint32_t v = 0; v < range.vertexCount; ++v) TransformCoord(from[v], m, to[v]);
    }
    return true;
}

namespace {

// Not-a-number depths (a vertex at w <= 0) count as farthest, so the order is total.
inline float TotalKey(float key) { return std::isnan(key) ? std::numeric_limits<float>::infinity() : key; }

}  // namespace

void KeyTriangleSorter::Sort(const SubMeshRange& range, const Matrix& world, render::IRenderCamera* camera) {
    if (!Project(range, world, camera)) return;
    const std::uint32_t n = range.triangleCount;
    if (m_pairs.size() < n) m_pairs.resize(n);
    for (std::uint32_t t = 0; t < n; ++t) {
        const std::uint16_t* tri = SourceTriangle(range, t);
        const float z0 = Projected(range, tri[0]).z, z1 = Projected(range, tri[1]).z, z2 = Projected(range, tri[2]).z;
        float key;
        switch (m_kind) {
            case DepthKey::Min: key = std::min(z0, std::min(z1, z2)); break;
            case DepthKey::Max: key = std::max(z0, std::max(z1, z2)); break;
            default: key = z0 + z1 + z2; break;
        }
        // min/max pass a NaN through depending on its place: test all three.
        if (std::isnan(z0) || std::isnan(z1) || std::isnan(z2)) key = std::numeric_limits<float>::quiet_NaN();
        m_pairs[t] = {TotalKey(key), t};
    }
    std::sort(m_pairs.begin(), m_pairs.begin() + n,
              [](const TriangleKey& a, const TriangleKey& b) { return a.key > b.key; });
    for (std::uint32_t p = 0; p < n; ++p) CopyTriangle(range, m_pairs[p].triangle, p);
    m_outputDirty = 1;
}

LinkCellPool& LinkCellPool::Instance() {
    static LinkCellPool pool;
    return pool;
}

LinkCellPool::~LinkCellPool() {
    for (Cell* block : m_blocks) delete[] block;
}

LinkCellPool::Cell* LinkCellPool::Take() {
    if (!m_free) {
        Cell* block = NewArray<Cell>(kBlockCells);
        if (!block) return nullptr;
        m_blocks.push_back(block);
        for (std::uint32_t i = 0; i < kBlockCells; ++i) block[i].next = i + 1 < kBlockCells ? &block[i + 1] : nullptr;
        m_free = block;
    }
    Cell* cell = m_free;
    m_free = cell->next;
    return cell;
}

TopologicalTriangleSorter::~TopologicalTriangleSorter() {
    for (Node& node : m_nodes) ClearNode(node);
}

void TopologicalTriangleSorter::ClearNode(Node& node) {
    LinkCellPool& pool = LinkCellPool::Instance();
    while (node.head) {
        LinkCellPool::Cell* next = node.head->next;
        pool.Give(node.head);
        node.head = next;
    }
    node.count = 0;
}

void TopologicalTriangleSorter::Sort(const SubMeshRange& range, const Matrix& world, render::IRenderCamera* camera) {
    if (m_enabled && range.triangleCount >= kLimit) {
        m_enabled = 0;
        return;
    }
    if (!Project(range, world, camera)) return;
    const std::uint32_t n = range.triangleCount;
    if (m_nodes.size() < n) m_nodes.resize(n);
    for (Node& node : m_nodes) ClearNode(node);
    if (m_boxes.size() < n) m_boxes.resize(n);
    for (std::uint32_t t = 0; t < n; ++t) {
        Box& box = m_boxes[t];
        box = {100, 100, 100, -100, -100, -100};
        const std::uint16_t* tri = SourceTriangle(range, t);
        for (int k = 0; k < 3; ++k) {
            const Vec3& p = Projected(range, tri[k]);
            box.minX = std::min(box.minX, p.x);
            box.minY = std::min(box.minY, p.y);
            box.maxX = std::max(box.maxX, p.x);
            box.maxY = std::max(box.maxY, p.y);
        }
    }
    LinkCellPool& pool = LinkCellPool::Instance();
    auto push = [&pool](Node& node, std::uint32_t triangle) {
        LinkCellPool::Cell* cell = pool.Take();
        if (!cell) return;
        cell->triangle = triangle;
        cell->next = node.head;
        node.head = cell;
        ++node.count;
    };
    for (std::uint32_t i = 0; i < n; ++i) {
        const Box& bi = m_boxes[i];
        for (std::uint32_t j = i + 1; j < n; ++j) {
            const Box& bj = m_boxes[j];
            if (!(bj.minX < bi.maxX && bj.minY < bi.maxY && bi.minX < bj.maxX && bi.minY < bj.maxY)) continue;
            const std::uint16_t* ti = SourceTriangle(range, i);
            const std::uint16_t* tj = SourceTriangle(range, j);
            const Vec3 a[3] = {Projected(range, ti[0]), Projected(range, ti[1]), Projected(range, ti[2])};
            const Vec3 b[3] = {Projected(range, tj[0]), Projected(range, tj[1]), Projected(range, tj[2])};
            const int r = CompareTrianglePair(a, b);
            if (r == 1) push(m_nodes[j], i);
            else if (r == -1) push(m_nodes[i], j);
        }
    }
    // Emission from the last output triangle backwards: a triangle goes once every triangle
    // in front of it that overlaps it is placed.
    if (m_placed.size() < n) m_placed.resize(n);
    if (m_notPlaced.size() < n) m_notPlaced.resize(n);
    std::fill(m_placed.begin(), m_placed.begin() + n, 0);
    for (std::uint32_t t = 0; t < n; ++t) m_notPlaced[t] = t;
    std::uint32_t remaining = n;
    while (remaining > 0) {
        std::uint32_t bestCount = 1000000, best = 0;
        bool noneFound = true;
        std::uint32_t k = 0;
        while (k < remaining) {
            const std::uint32_t id = m_notPlaced[k];
            Node& node = m_nodes[id];
            for (LinkCellPool::Cell** link = &node.head; *link;) {
                LinkCellPool::Cell* cell = *link;
                if (m_placed[cell->triangle]) {
                    *link = cell->next;
                    pool.Give(cell);
                    --node.count;
                } else {
                    link = &cell->next;
                }
            }
            if (node.count == 0) {
                m_placed[id] = 1;
                m_notPlaced[k] = m_notPlaced[remaining - 1];
                --remaining;
                CopyTriangle(range, id, remaining);
                noneFound = false;
                continue;
            }
            if (node.count < bestCount) {
                bestCount = node.count;
                best = k;
            }
            ++k;
        }
        if (noneFound && remaining > 0) {
            const std::uint32_t id = m_notPlaced[best];
            m_placed[id] = 1;
            m_notPlaced[best] = m_notPlaced[remaining - 1];
            --remaining;
            CopyTriangle(range, id, remaining);
        }
    }
    m_outputDirty = 1;
}

namespace {

constexpr float kSideTolerance = 0.000001f;
constexpr float kAxisTolerance = 0.0001f;

int Side(float f) { return f < -kSideTolerance ? -1 : (f > kSideTolerance ? 1 : 0); }

// z at (x, y) along the segment p -> q, by x when it changes enough, else by y.
float InterpolateZ(const Vec3& p, const Vec3& q, float x, float y) {
    const float dx = q.x - p.x, dy = q.y - p.y;
    if (std::fabs(dx) > kAxisTolerance) return p.z + (q.z - p.z) * ((x - p.x) / dx);
    if (dy != 0.0f) return p.z + (q.z - p.z) * ((y - p.y) / dy);
    return p.z;
}

// Where segment p -> q crosses the line (f values fp and fq of opposite signs), z along it.
Vec3 Cross(const Vec3& p, const Vec3& q, float fp, float fq) {
    const float t = fp / (fp - fq);
    Vec3 r(p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t, 0.0f);
    r.z = InterpolateZ(p, q, r.x, r.y);
    return r;
}

}  // namespace

int CompareTriangleDepth(const Vec3 a[3], const Vec3 b[3]) {
    for (int k = 0; k < 3; ++k) {
        const int k1 = k == 2 ? 0 : k + 1;
        const int m = k1 == 2 ? 0 : k1 + 1;
        const Vec3& e0 = a[k];
        const Vec3& e1 = a[k1];
        const float ex = e1.x - e0.x, ey = e1.y - e0.y, ez = e1.z - e0.z;
        // An edge without length on screen has no line to judge by.
        if (std::fabs(ex) <= kAxisTolerance && std::fabs(ey) <= kAxisTolerance) continue;
        const float la = e0.y - e1.y, lb = e1.x - e0.x, lc = e0.x * e1.y - e0.y * e1.x;
        auto f = [&](const Vec3& p) { return la * p.x + lb * p.y + lc; };
        float fb[3];
        int sign[3], positive = 0, negative = 0;
        for (int i = 0; i < 3; ++i) {
            fb[i] = f(b[i]);
            sign[i] = Side(fb[i]);
            positive += sign[i] > 0;
            negative += sign[i] < 0;
        }
        const float s = f(a[m]);
        if (std::fabs(s) <= kSideTolerance) {
            if (positive == 0 || negative == 0) return 0;
        } else if (s > 0 && positive == 0) {
            return 0;
        } else if (s < 0 && negative == 0) {
            return 0;
        }
        if (positive == 0 || negative == 0) continue;
        int u = 0;
        while (u < 3 && sign[u] * sign[u == 2 ? 0 : u + 1] >= 0) ++u;
        if (u == 3) continue;
        const int u1 = u == 2 ? 0 : u + 1;
        const int w = u1 == 2 ? 0 : u1 + 1;
        const Vec3 p1 = Cross(b[u], b[u1], fb[u], fb[u1]);
        Vec3 p2;
        if (sign[w] == 0) p2 = b[w];
        else if (sign[u1] != sign[w]) p2 = Cross(b[u1], b[w], fb[u1], fb[w]);
        else p2 = Cross(b[u], b[w], fb[u], fb[w]);
        const float az1 = InterpolateZ(e0, e1, p1.x, p1.y);
        const float az2 = InterpolateZ(e0, e1, p2.x, p2.y);
        float t1, t2;
        if (std::fabs(ex) > kAxisTolerance) {
            t1 = (p1.x - e0.x) / ex;
            t2 = (p2.x - e0.x) / ex;
        } else if (std::fabs(ey) > kAxisTolerance) {
            t1 = (p1.y - e0.y) / ey;
            t2 = (p2.y - e0.y) / ey;
        } else {
            if (ez == 0.0f) continue;
            t1 = (p1.z - e0.z) / ez;
            t2 = (p2.z - e0.z) / ez;
        }
        if (!((t1 < 1 || t2 < 1) && (t1 > 0 || t2 > 0))) continue;
        float za, zb;
        if (t1 > 0 && t1 < 1) {
            za = az1;
            zb = p1.z;
        } else if (t2 > 0 && t2 < 1) {
            za = az2;
            zb = p2.z;
        } else {
            const Vec3& v = (t1 != 0 && t2 != 0) ? e0 : e1;
            za = v.z;
            zb = InterpolateZ(p1, p2, v.x, v.y);
        }
        if (za < zb) return 1;
        if (za > zb) return -1;
    }
    return 2;
}

int CompareTrianglePair(const Vec3 a[3], const Vec3 b[3]) {
    const int r = CompareTriangleDepth(a, b);
    if (r != 2) return r;
    return -CompareTriangleDepth(b, a);
}

TriangleSorter* CreateTriangleSorter(std::uint32_t type, std::uint32_t maxTriangles) {
    switch (type) {
        case 1: return NewObject<MinMaxZTriangleSorter<Min>>(maxTriangles);
        case 2: return NewObject<MinMaxZTriangleSorter<Max>>(maxTriangles);
        case 3: return NewObject<BarycenterTriangleSorter>(maxTriangles);
        case 4: return NewObject<TopologicalTriangleSorter>(maxTriangles);
        default: return nullptr;
    }
}

}  // namespace quor
