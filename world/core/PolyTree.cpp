#include "world/core/PolyTree.h"

#include <algorithm>

#include "platform/host/IUtils.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"

namespace quor {

namespace {

PolyTreeBox TriangleBox(const float* positions, const std::uint16_t* tri) {
    PolyTreeBox box;
    for (int k = 0; k < 3; ++k) {
        const float a = positions[3 * tri[0] + k], b = positions[3 * tri[1] + k], c = positions[3 * tri[2] + k];
        box.max[k] = std::max(a, std::max(b, c));
        box.min[k] = std::min(a, std::min(b, c));
    }
    return box;
}

}  // namespace

void PolyTree::Clear() {
    m_nodes.clear();
    m_split.clear();
    m_boxes.clear();
    m_result.reset();
    m_positions = nullptr;
    m_indices = nullptr;
}

void PolyTree::Split(Node& node) {
    if (node.triangles.size() <= m_leafLimit) return;
    int axis = 2;
    if (node.half.x >= node.half.y && node.half.x >= node.half.z) axis = 0;
    else if (node.half.y >= node.half.z) axis = 1;
    const float c = node.centre[axis];
    m_split.swap(node.triangles);
    node.triangles.clear();
    auto a = std::make_unique<Node>();
    auto b = std::make_unique<Node>();
    for (std::uint32_t i : m_split) {
        const PolyTreeBox& box = m_boxes[i];
        if (box.min[axis] > c) b->triangles.push_back(i);
        else if (box.max[axis] < c) a->triangles.push_back(i);
        else node.triangles.push_back(i);
    }
    if (a->triangles.size() == m_split.size() || b->triangles.size() == m_split.size()) {
        node.triangles.swap(m_split);
        return;
    }
    if (!a->triangles.empty()) {
        node.a = a.get();
        m_nodes.push_back(std::move(a));
    }
    if (!b->triangles.empty()) {
        node.b = b.get();
        m_nodes.push_back(std::move(b));
    }
}

const PolyTree::Result* PolyTree::Build(const Vec3& centre, const Vec3& half, const std::uint16_t* indices,
                                        const float* positions, std::uint32_t triangleCount,
                                        std::uint32_t vertexCount, std::uint32_t leafLimit) {
    Clear();
    if (!indices || !positions || triangleCount == 0 || leafLimit == 0) return nullptr;
    for (std::size_t i = 0; i < std::size_t(triangleCount) * 3; ++i) {
        if (indices[i] >= vertexCount) {
            LogError("Failed to create polytree: triangle %u names vertex %u of %u!", unsigned(i / 3),
                     unsigned(indices[i]), unsigned(vertexCount));
            return nullptr;
        }
    }
    common::IUtils* utils = Interfaces().utils;
    common::ITimer* timer = utils ? utils->CreateTimer() : nullptr;
    m_leafLimit = leafLimit;
    m_positions = positions;
    m_indices = indices;
    m_boxes.resize(triangleCount);
    for (std::uint32_t i = 0; i < triangleCount; ++i) m_boxes[i] = TriangleBox(positions, indices + 3 * i);

    auto root = std::make_unique<Node>();
    root->centre = centre;
    root->half = half;
    root->max = centre + half;
    root->min = centre - half;
    root->triangles.resize(triangleCount);
    for (std::uint32_t i = 0; i < triangleCount; ++i) root->triangles[i] = i;
    m_nodes.push_back(std::move(root));
    Split(*m_nodes.front());
    // Breadth-first: the list grows while it is walked.
    for (std::size_t k = 1; k < m_nodes.size(); ++k) {
        Node& node = *m_nodes[k];
        for (int axis = 0; axis < 3; ++axis) {
            float lo = m_boxes[node.triangles.front()].min[axis], hi = m_boxes[node.triangles.front()].max[axis];
            for (std::uint32_t i : node.triangles) {
                lo = std::min(lo, m_boxes[i].min[axis]);
                hi = std::max(hi, m_boxes[i].max[axis]);
            }
            node.min[axis] = lo;
            node.max[axis] = hi;
            node.centre[axis] = 0.5f * (lo + hi);
            node.half[axis] = 0.5f * (hi - lo);
        }
        Split(node);
    }
    std::vector<std::uint32_t>().swap(m_split);
    const unsigned ms = timer ? timer->GetElapsedMilliseconds() : 0u;
    LogInfo("Create polytree for %d triangles, %d ms was used", int(triangleCount), int(ms));
    if (timer) timer->Release();
    m_result = std::make_unique<Result>();
    m_result->positions = positions;
    m_result->indices = indices;
    m_result->triangleCount = triangleCount;
    m_result->root = m_nodes.front().get();
    return m_result.get();
}

int PolyTree::Pick(const Result* record, const PolyTreeBox& box, float* out, int capacity) const {
    if (!record || record != m_result.get() || !out) return 0;
    // The candidates of this call alone, so that picks may overlap.
    std::vector<std::uint32_t> candidates;
    std::vector<std::pair<const Node*, bool>> stack{{record->root, false}};
    while (!stack.empty()) {
        const auto [node, taken] = stack.back();
        stack.pop_back();
        bool inside = taken;
        if (!inside) {
            bool disjoint = false;
            inside = true;
            for (int k = 0; k < 3; ++k) {
                disjoint = disjoint || node->min[k] > box.max[k] || node->max[k] < box.min[k];
                inside = inside && node->min[k] >= box.min[k] && node->max[k] <= box.max[k];
            }
            if (disjoint) continue;
        }
        candidates.insert(candidates.end(), node->triangles.begin(), node->triangles.end());
        if (node->a) stack.push_back({node->a, inside});
        if (node->b) stack.push_back({node->b, inside});
    }
    int written = 0;
    for (std::uint32_t i : candidates) {
        const std::uint16_t* tri = record->indices + 3 * std::size_t(i);
        const PolyTreeBox& t = m_boxes[i];
        bool overlap = true;
        for (int k = 0; k < 3; ++k) overlap = overlap && t.min[k] < box.max[k] && t.max[k] > box.min[k];
        if (!overlap) continue;
        if (written + 3 >= capacity) return -1;
        for (int v = 0; v < 3; ++v)
            for (int k = 0; k < 3; ++k) out[3 * (written + v) + k] = record->positions[3 * std::size_t(tri[v]) + k];
        written += 3;
    }
    return written;
}

}  // namespace quor
