#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "tests/support/world/LogCapture.h"
#include "world/core/PolyTree.h"

namespace {

using namespace quor;
using namespace quor::test;

struct Mesh {
    std::vector<float> positions;
    std::vector<std::uint16_t> indices;
    Vec3 min{1e30f, 1e30f, 1e30f}, max{-1e30f, -1e30f, -1e30f};
    std::uint32_t Triangles() const { return std::uint32_t(indices.size() / 3); }
    std::uint32_t Vertices() const { return std::uint32_t(positions.size() / 3); }
    Vec3 Centre() const { return (min + max) * 0.5f; }
    Vec3 Half() const { return (max - min) * 0.5f; }
};

// Small random triangles over shared vertices, positions on a coarse grid so that faces touch.
Mesh RandomMesh(std::uint32_t triangles, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> grid(-200, 200), step(-3, 3);
    Mesh m;
    const std::uint32_t vertices = std::min<std::uint32_t>(65535, triangles * 3);
    for (std::uint32_t t = 0; t < vertices / 3; ++t) {
        const int x = grid(rng), y = grid(rng), z = grid(rng);
        for (int k = 0; k < 3; ++k) {
            const float p[3] = {float(x + step(rng)) * 0.25f, float(y + step(rng)) * 0.25f, float(z + step(rng)) * 0.25f};
            for (int a = 0; a < 3; ++a) {
                m.positions.push_back(p[a]);
                m.min[a] = std::min(m.min[a], p[a]);
                m.max[a] = std::max(m.max[a], p[a]);
            }
        }
    }
    std::uniform_int_distribution<std::uint32_t> any(0, vertices / 3 - 1);
    for (std::uint32_t t = 0; t < triangles; ++t) {
        const std::uint32_t base = 3 * (t < vertices / 3 ? t : any(rng));
        for (int k = 0; k < 3; ++k) m.indices.push_back(std::uint16_t(base + std::uint32_t(k)));
    }
    return m;
}

PolyTreeBox TriBox(const Mesh& m, std::uint32_t t) {
    PolyTreeBox b;
    for (int a = 0; a < 3; ++a) {
        b.min[a] = 1e30f, b.max[a] = -1e30f;
        for (int k = 0; k < 3; ++k) {
            const float v = m.positions[3 * m.indices[3 * t + std::uint32_t(k)] + std::uint32_t(a)];
            b.min[a] = std::min(b.min[a], v), b.max[a] = std::max(b.max[a], v);
        }
    }
    return b;
}

bool Overlap(const PolyTreeBox& a, const PolyTreeBox& q) {
    for (int k = 0; k < 3; ++k)
        if (!(a.min[k] < q.max[k] && a.max[k] > q.min[k])) return false;
    return true;
}

// The triangles a pick wrote, as sorted vertex-position triples.
std::multiset<std::vector<float>> Written(const std::vector<float>& out, int count) {
    std::multiset<std::vector<float>> s;
    for (int i = 0; i < count; i += 3) s.insert(std::vector<float>(out.begin() + 3 * i, out.begin() + 3 * (i + 3)));
    return s;
}

TEST(PolyTree, PicksTheSameTrianglesAsTestingEveryBox) {
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> c(-50.0f, 50.0f), h(0.0f, 12.0f);
    for (std::uint32_t count : {1u, 37u, 5000u, 65535u}) {
        SCOPED_TRACE(count);
        const Mesh m = RandomMesh(count, count);
        PolyTree tree;
        const PolyTree::Result* r = tree.Build(m.Centre(), m.Half(), m.indices.data(), m.positions.data(), m.Triangles(),
                                               m.Vertices(), 16);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->triangleCount, count);
        std::vector<float> out(3 * 3 * std::size_t(count) + 9);
        for (int k = 0; k < 200; ++k) {
            const float cx = c(rng), cy = c(rng), cz = c(rng), hx = h(rng), hy = h(rng), hz = h(rng);
            const PolyTreeBox q{{cx + hx, cy + hy, cz + hz}, {cx - hx, cy - hy, cz - hz}};
            std::multiset<std::vector<float>> expect;
            for (std::uint32_t t = 0; t < count; ++t) {
                if (!Overlap(TriBox(m, t), q)) continue;
                std::vector<float> tri;
                for (int v = 0; v < 3; ++v)
                    for (int a = 0; a < 3; ++a) tri.push_back(m.positions[3 * m.indices[3 * t + std::uint32_t(v)] + std::uint32_t(a)]);
                expect.insert(tri);
            }
            const int n = tree.Pick(r, q, out.data(), int(out.size() / 3));
            ASSERT_EQ(n, int(expect.size() * 3));
            EXPECT_EQ(Written(out, n), expect);
        }
    }
}

TEST(PolyTree, TheBuildKeepsSmallAndStraddlingSetsInTheRoot) {
    LogCapture log;
    const Mesh small = RandomMesh(10, 1);
    PolyTree tree;
    ASSERT_NE(tree.Build(small.Centre(), small.Half(), small.indices.data(), small.positions.data(), 10, small.Vertices(), 16),
              nullptr);
    ASSERT_EQ(tree.Nodes().size(), 1u);
    EXPECT_EQ(tree.Nodes()[0]->triangles.size(), 10u);
    EXPECT_TRUE(log.Contains("Create polytree for 10 triangles, ")) << log.Joined();
    EXPECT_EQ(log.bound.host.utils.timersLive.load(), 0);
    EXPECT_GE(log.bound.host.utils.timersMade.load(), 1);
    // Forty triangles all crossing x = 0, the largest extent of the root.
    Mesh cross;
    for (int i = 0; i < 40; ++i) {
        const float y = float(i) * 0.1f;
        for (float v : {-5.0f, y, 0.0f, 5.0f, y, 0.0f, 0.0f, y + 0.05f, 0.0f}) cross.positions.push_back(v);
        for (int k = 0; k < 3; ++k) cross.indices.push_back(std::uint16_t(3 * i + k));
    }
    ASSERT_NE(tree.Build({0, 2, 0}, {5, 2, 1}, cross.indices.data(), cross.positions.data(), 40, 120, 4), nullptr);
    ASSERT_EQ(tree.Nodes().size(), 1u);
    EXPECT_EQ(tree.Nodes()[0]->triangles.size(), 40u);
}

TEST(PolyTree, EdgeCasesOfBuildAndPick) {
    const Mesh m = RandomMesh(100, 2);
    PolyTree tree;
    // Refused inputs.
    EXPECT_EQ(tree.Build(m.Centre(), m.Half(), nullptr, m.positions.data(), 100, m.Vertices(), 4), nullptr);
    EXPECT_EQ(tree.Build(m.Centre(), m.Half(), m.indices.data(), nullptr, 100, m.Vertices(), 4), nullptr);
    EXPECT_EQ(tree.Build(m.Centre(), m.Half(), m.indices.data(), m.positions.data(), 0, m.Vertices(), 4), nullptr);
    EXPECT_EQ(tree.Build(m.Centre(), m.Half(), m.indices.data(), m.positions.data(), 100, m.Vertices(), 0), nullptr);
    {
        LogCapture log;
        EXPECT_EQ(tree.Build(m.Centre(), m.Half(), m.indices.data(), m.positions.data(), 100, m.Vertices() - 1, 4),
                  nullptr);
        EXPECT_TRUE(log.Contains("Failed to create polytree")) << log.Joined();
    }
    // One triangle: a box touching its box on a face selects nothing; an output of exactly its
    // three positions answers -1.
    const float tri[9] = {0, 0, 0, 1, 0, 0, 0, 1, 1};
    const std::uint16_t idx[3] = {0, 1, 2};
    const PolyTree::Result* r = tree.Build({0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}, idx, tri, 1, 3, 4);
    ASSERT_NE(r, nullptr);
    float out[12] = {};
    EXPECT_EQ(tree.Pick(r, PolyTreeBox{{3, 3, 3}, {1, -1, -1}}, out, 4), 0);
    EXPECT_EQ(tree.Pick(r, PolyTreeBox{{3, 3, 3}, {0.5f, -1, -1}}, out, 4), 3);
    EXPECT_EQ(out[3], 1.0f);
    EXPECT_EQ(tree.Pick(r, PolyTreeBox{{3, 3, 3}, {0.5f, -1, -1}}, out, 3), -1);
    tree.Clear();
    EXPECT_TRUE(tree.Nodes().empty());
}

TEST(PolyTree, ThreadsPickingAtOnceGetTheirOwnAnswers) {
    const Mesh m = RandomMesh(3000, 8);
    PolyTree tree;
    const PolyTree::Result* r =
        tree.Build(m.Centre(), m.Half(), m.indices.data(), m.positions.data(), m.Triangles(), m.Vertices(), 8);
    ASSERT_NE(r, nullptr);
    const PolyTreeBox boxes[2] = {{{10, 10, 10}, {-30, -30, -30}}, {{40, 40, 40}, {0, 0, 0}}};
    int expect[2];
    std::vector<float> out(9 * 3000);
    for (int i = 0; i < 2; ++i) expect[i] = tree.Pick(r, boxes[i], out.data(), 3 * 3001);
    std::vector<std::thread> threads;
    std::vector<int> bad(4, 0);
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            std::vector<float> mine(9 * 3000);
            for (int k = 0; k < 50; ++k) bad[std::size_t(i)] += tree.Pick(r, boxes[i % 2], mine.data(), 3 * 3001) != expect[i % 2];
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(bad, std::vector<int>(4, 0));
}

}  // namespace
