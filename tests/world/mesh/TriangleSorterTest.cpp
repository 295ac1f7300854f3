#include "world/mesh/TriangleSorter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "platform/host/IRenderCamera.h"
#include "platform/host/RenderCamera.h"
#include "world/core/Align16.h"

namespace {

using namespace quor;

// A camera whose view and projection are fixed matrices (identity unless set), so that
// projected coordinates are the positions themselves.
class FixedCamera final : public render::IRenderCamera {
public:
    FixedCamera() {
        MatrixIdentity(view);
        MatrixIdentity(projection);
    }
    int SetPerspective(float, float, float, float) override { return 1; }
    int SetOrthographic(float, float, float, float) override { return 1; }
    void SetAspect(float) override {}
    float GetAspect() override { return 1; }
    void SetDepthRange(float, float) override {}
    float GetNearPlane(float* = nullptr) override { return 0; }
    void SetFieldOfView(float) override {}
    float GetFieldOfView() override { return 0; }
    const float* GetViewMatrix() override { return view.m; }
    const float* GetProjectionMatrix() override { return projection.m; }
    const float* GetViewProjectionMatrix() override { return projection.m; }
    int GetViewportWidth() override { return 1; }
    int GetViewportHeight() override { return 1; }
    float GetFarPlane() override { return 1; }
    void SetViewMatrix(const float*) override {}
    void Refresh() override {}
    int Project(const float*, float*, float*) override { return 0; }
    void Unproject(float, float*, float*, float) override {}
    const float* GetPosition() override { return view.m; }
    const float* GetFrustumCorners() override { return view.m; }
    int IsOrthographic() override { return 0; }
    void SetProjectionMatrix(const float*) override {}

    Matrix view, projection;
};

// Restores the SIMD switch after a test that changes it.
struct SimdSwitch {
    explicit SimdSwitch(bool on) : saved(UseAlignedAlloc()) { SetUseAlignedAlloc(on); }
    ~SimdSwitch() { SetUseAlignedAlloc(saved); }
    bool saved;
};

struct Mesh {
    std::vector<Vec3> positions;
    std::vector<std::uint16_t> indices;
    std::uint32_t Triangles() const { return std::uint32_t(indices.size() / 3); }
};

// Random triangles in front of the camera; the range's vertices start at firstVertex.
Mesh RandomMesh(std::mt19937& rng, std::uint32_t triangles, std::uint32_t firstVertex, float spread) {
    std::uniform_real_distribution<float> xy(-spread, spread), depth(2.0f, 40.0f);
    Mesh mesh;
    mesh.positions.resize(firstVertex);
    const std::uint32_t vertices = triangles + 2;
    for (std::uint32_t v = 0; v < vertices; ++v) mesh.positions.push_back(Vec3(xy(rng), xy(rng), depth(rng)));
    std::uniform_int_distribution<std::uint32_t> pick(0, vertices - 1);
    for (std::uint32_t t = 0; t < triangles; ++t) {
        for (int k = 0; k < 3; ++k) mesh.indices.push_back(std::uint16_t(firstVertex + pick(rng)));
    }
    return mesh;
}

using Triangle = std::array<std::uint16_t, 3>;
std::vector<Triangle> TrianglesOf(const std::uint16_t* indices, std::uint32_t first, std::uint32_t count) {
    std::vector<Triangle> out;
    for (std::uint32_t t = first; t < first + count; ++t) out.push_back({indices[3 * t], indices[3 * t + 1], indices[3 * t + 2]});
    return out;
}

float KeyOf(DepthKey kind, const Triangle& tri, const std::vector<Vec3>& projected) {
    const float z0 = projected[tri[0]].z, z1 = projected[tri[1]].z, z2 = projected[tri[2]].z;
    switch (kind) {
        case DepthKey::Min: return std::min({z0, z1, z2});
        case DepthKey::Max: return std::max({z0, z1, z2});
        default: return z0 + z1 + z2;
    }
}

TEST(TriangleSorter, TypesChooseTheClass) {
    for (std::uint32_t type : {0u, 5u, 0xFFFFFFFFu}) EXPECT_EQ(CreateTriangleSorter(type, 4), nullptr) << type;
    struct Case {
        std::uint32_t type;
        bool key;
        DepthKey kind;
    };
    const Case cases[] = {{1, true, DepthKey::Min}, {2, true, DepthKey::Max}, {3, true, DepthKey::Sum}, {4, false, DepthKey::Min}};
    for (const Case& c : cases) {
        std::unique_ptr<TriangleSorter, void (*)(TriangleSorter*)> s(CreateTriangleSorter(c.type, 4),
                                                                       [](TriangleSorter* p) { p->Destroy(); });
        ASSERT_NE(s, nullptr);
        auto* key = dynamic_cast<KeyTriangleSorter*>(s.get());
        EXPECT_EQ(key != nullptr, c.key) << c.type;
        if (key) {
            EXPECT_EQ(key->Kind(), c.kind) << c.type;
        } else {
            EXPECT_NE(dynamic_cast<TopologicalTriangleSorter*>(s.get()), nullptr);
        }
        EXPECT_EQ(s->Capacity(), 4u);
        EXPECT_TRUE(s->Enabled());
    }
    TriangleSorter* min = CreateTriangleSorter(1, 1);
    EXPECT_NE(dynamic_cast<MinMaxZTriangleSorter<Min>*>(min), nullptr);
    min->Destroy();
}

TEST(TriangleSorter, SetIndicesCopiesAndMarksDirty) {
    std::mt19937 rng(3);
    const Mesh mesh = RandomMesh(rng, 6, 0, 1);
    for (std::uint32_t type = 1; type <= 4; ++type) {
        TriangleSorter* s = CreateTriangleSorter(type, 8);
        s->SetIndices(mesh.positions.data(), mesh.indices.data(), 6);
        EXPECT_TRUE(s->OutputDirty());
        EXPECT_TRUE(std::equal(mesh.indices.begin(), mesh.indices.end(), s->Output()));
        s->ClearOutputDirty();
        // More triangles than the output holds copy only what fits.
        s->SetIndices(mesh.positions.data(), mesh.indices.data(), 6);
        s->Destroy();
        TriangleSorter* small = CreateTriangleSorter(type, 4);
        small->SetIndices(mesh.positions.data(), mesh.indices.data(), 6);
        EXPECT_EQ(small->TriangleCount(), 4u);
        EXPECT_TRUE(std::equal(mesh.indices.begin(), mesh.indices.begin() + 12, small->Output()));
        small->Destroy();
    }
}

// On random meshes and ranges each key sorter writes a permutation of the range in
// non-increasing key order, and leaves everything outside the range alone.
TEST(TriangleSorter, KeySortersOrderFarthestFirst) {
    host::RenderCamera camera;
    camera.SetPerspective(60, 1.3f, 1, 100);
    std::mt19937 rng(11);
    for (int round = 0; round < 30; ++round) {
        const std::uint32_t before = rng() % 5, count = 1 + rng() % 200, after = rng() % 5;
        const std::uint32_t firstVertex = rng() % 7;
        Mesh mesh = RandomMesh(rng, count, firstVertex, round % 2 ? 3.0f : 40.0f);
        // Triangles of other sub-meshes around the range (they name the same vertices).
        Mesh other = RandomMesh(rng, before + after, firstVertex, 1);
        std::vector<std::uint16_t> all(other.indices.begin(), other.indices.begin() + 3 * before);
        all.insert(all.end(), mesh.indices.begin(), mesh.indices.end());
        all.insert(all.end(), other.indices.begin() + 3 * before, other.indices.end());
        const std::uint32_t total = before + count + after;
        SubMeshRange range;
        range.firstVertex = firstVertex;
        range.firstTriangle = before;
        range.vertexCount = std::uint32_t(mesh.positions.size()) - firstVertex;
        range.triangleCount = count;
        Matrix world;
        MatrixIdentity(world);
        world.m[12] = 0.5f;
        Matrix m, view, proj;
        std::copy(camera.GetViewMatrix(), camera.GetViewMatrix() + 16, view.m);
        std::copy(camera.GetProjectionMatrix(), camera.GetProjectionMatrix() + 16, proj.m);
        MatrixMultiplyPlain(world, view, m);
        MatrixMultiplyPlain(m, proj, m);
        std::vector<Vec3> projected(mesh.positions.size());
        for (std::size_t v = 0; v < projected.size(); ++v) TransformCoord(mesh.positions[v], m, projected[v]);
        SimdSwitch plain(false);
        for (std::uint32_t type = 1; type <= 3; ++type) {
            SCOPED_TRACE(::testing::Message() << "round " << round << " type " << type);
            TriangleSorter* s = CreateTriangleSorter(type, total);
            s->SetIndices(mesh.positions.data(), all.data(), total);
            s->ClearOutputDirty();
            s->Sort(range, world, &camera);
            EXPECT_TRUE(s->OutputDirty());
            std::vector<Triangle> got = TrianglesOf(s->Output(), before, count);
            std::vector<Triangle> want = TrianglesOf(all.data(), before, count);
            const DepthKey kind = static_cast<KeyTriangleSorter*>(s)->Kind();
            for (std::size_t p = 1; p < got.size(); ++p) {
                ASSERT_GE(KeyOf(kind, got[p - 1], projected), KeyOf(kind, got[p], projected)) << p;
            }
            std::sort(got.begin(), got.end());
            std::sort(want.begin(), want.end());
            EXPECT_EQ(got, want);
            EXPECT_TRUE(std::equal(all.begin(), all.begin() + 3 * before, s->Output()));
            EXPECT_TRUE(std::equal(all.end() - 3 * after, all.end(), s->Output() + 3 * (before + count)));
            s->Destroy();
        }
    }
}

TEST(TriangleSorter, VectorAndPlainPathsAgree) {
    host::RenderCamera camera;
    camera.SetPerspective(50, 1.0f, 0.5f, 200);
    std::mt19937 rng(5);
    for (std::uint32_t type = 1; type <= 4; ++type) {
        const Mesh mesh = RandomMesh(rng, 300, 0, 20);
        SubMeshRange range;
        range.vertexCount = std::uint32_t(mesh.positions.size());
        range.triangleCount = mesh.Triangles();
        Matrix world;
        MatrixRotationY(world, 0.3f);
        std::vector<std::uint16_t> out[2];
        for (int sse = 0; sse < 2; ++sse) {
            SimdSwitch simd(sse != 0);
            TriangleSorter* s = CreateTriangleSorter(type, mesh.Triangles());
            s->SetIndices(mesh.positions.data(), mesh.indices.data(), mesh.Triangles());
            s->Sort(range, world, &camera);
            out[sse].assign(s->Output(), s->Output() + mesh.indices.size());
            s->Destroy();
        }
        EXPECT_EQ(out[0], out[1]) << type;
    }
}

TEST(TriangleSorter, NotANumberDepthsCountAsFarthest) {
    FixedCamera camera;
    const float nan = std::nanf("");
    Mesh mesh;
    mesh.positions = {{0, 0, 0.2f}, {1, 0, 0.2f}, {0, 1, 0.2f}, {0, 0, 0.9f}, {1, 0, 0.9f}, {0, 1, 0.9f},
                      {0, 0, nan},  {1, 0, 0.5f}, {0, 1, 0.5f}};
    // Many copies so that an ordering without a strict weak order would show.
    for (int copy = 0; copy < 40; ++copy) {
        for (std::uint16_t t = 0; t < 3; ++t) mesh.indices.insert(mesh.indices.end(), {std::uint16_t(3 * t), std::uint16_t(3 * t + 1), std::uint16_t(3 * t + 2)});
    }
    SubMeshRange range;
    range.vertexCount = 9;
    range.triangleCount = mesh.Triangles();
    Matrix world;
    MatrixIdentity(world);
    for (std::uint32_t type = 1; type <= 3; ++type) {
        TriangleSorter* s = CreateTriangleSorter(type, range.triangleCount);
        s->SetIndices(mesh.positions.data(), mesh.indices.data(), range.triangleCount);
        s->Sort(range, world, &camera);
        const std::vector<Triangle> got = TrianglesOf(s->Output(), 0, range.triangleCount);
        for (std::size_t p = 0; p < got.size(); ++p) {
            const std::uint16_t want = p < 40 ? 6 : (p < 80 ? 3 : 0);
            ASSERT_EQ(got[p][0], want) << type << " " << p;
        }
        s->Destroy();
    }
}

TEST(TriangleSorter, OutOfRangeIndicesLeaveTheRangeUnsorted) {
    FixedCamera camera;
    Mesh mesh;
    mesh.positions = {{0, 0, 0.1f}, {1, 0, 0.1f}, {0, 1, 0.1f}, {0, 0, 0.9f}, {1, 0, 0.9f}, {0, 1, 0.9f}};
    mesh.indices = {0, 1, 2, 3, 4, 5};
    SubMeshRange range;
    range.vertexCount = 3;  // the second triangle names vertices past the range
    range.triangleCount = 2;
    Matrix world;
    MatrixIdentity(world);
    for (std::uint32_t type = 1; type <= 4; ++type) {
        TriangleSorter* s = CreateTriangleSorter(type, 2);
        s->SetIndices(mesh.positions.data(), mesh.indices.data(), 2);
        s->Sort(range, world, &camera);
        EXPECT_TRUE(std::equal(mesh.indices.begin(), mesh.indices.end(), s->Output())) << type;
        // A range past the index data is not read at all.
        range.firstTriangle = 1;
        s->Sort(range, world, &camera);
        range.firstTriangle = 0;
        s->Destroy();
    }
}

// Thin triangle along a direction through a point, depth falling along it.
void AddStrip(Mesh& mesh, Vec3 centre, Vec3 dir, float z0, float z1, float width) {
    const Vec3 side(-dir.y * width, dir.x * width, 0);
    const std::uint16_t base = std::uint16_t(mesh.positions.size());
    mesh.positions.push_back(Vec3(centre.x - dir.x + side.x, centre.y - dir.y + side.y, z0));
    mesh.positions.push_back(Vec3(centre.x - dir.x - side.x, centre.y - dir.y - side.y, z0));
    mesh.positions.push_back(Vec3(centre.x + dir.x, centre.y + dir.y, z1));
    mesh.indices.insert(mesh.indices.end(), {base, std::uint16_t(base + 1), std::uint16_t(base + 2)});
}

std::vector<Vec3> TriangleAt(const Mesh& mesh, std::uint32_t t) {
    return {mesh.positions[mesh.indices[3 * t]], mesh.positions[mesh.indices[3 * t + 1]],
            mesh.positions[mesh.indices[3 * t + 2]]};
}

std::vector<std::uint32_t> TopologicalOrder(const Mesh& mesh) {
    FixedCamera camera;
    SubMeshRange range;
    range.vertexCount = std::uint32_t(mesh.positions.size());
    range.triangleCount = mesh.Triangles();
    Matrix world;
    MatrixIdentity(world);
    TopologicalTriangleSorter sorter(range.triangleCount);
    sorter.SetIndices(mesh.positions.data(), mesh.indices.data(), range.triangleCount);
    sorter.Sort(range, world, &camera);
    std::vector<std::uint32_t> order;
    for (std::uint32_t p = 0; p < range.triangleCount; ++p) {
        for (std::uint32_t t = 0; t < range.triangleCount; ++t) {
            if (std::equal(mesh.indices.begin() + 3 * t, mesh.indices.begin() + 3 * t + 3, sorter.Output() + 3 * p)) {
                order.push_back(t);
            }
        }
    }
    return order;
}

TEST(TriangleSorter, TopologicalBreaksAThreeCycleAtTheFirstOfEqualCounts) {
    // Three strips along the sides of a triangle, each in front of the next where they cross.
    const Vec3 v[3] = {{-0.6f, -0.4f, 0}, {0.6f, -0.4f, 0}, {0, 0.6f, 0}};
    Mesh mesh;
    for (int i = 0; i < 3; ++i) {
        const Vec3& a = v[i];
        const Vec3& b = v[(i + 1) % 3];
        const Vec3 centre((a.x + b.x) / 2, (a.y + b.y) / 2, 0);
        const Vec3 dir(b.x - a.x, b.y - a.y, 0);
        // s = -1 at the wide end (z 0.9) to s = 1 at the tip (z 0.1): at s = 0.5 (vertex b) z 0.3,
        // at s = -0.5 (vertex a) z 0.7.
        AddStrip(mesh, centre, dir, 0.9f, 0.1f, 0.08f);
    }
    for (int i = 0; i < 3; ++i) {
        const auto a = TriangleAt(mesh, i), b = TriangleAt(mesh, (i + 1) % 3);
        ASSERT_EQ(CompareTrianglePair(a.data(), b.data()), 1) << i << " is in front of the next";
    }
    const std::vector<std::uint32_t> order = TopologicalOrder(mesh);
    ASSERT_EQ(order.size(), 3u);
    // Every count is 1: the first in the current order (0) is placed first, so drawn last;
    // then 2 (0's front neighbour is 2, 2 was in front of 0... now 1 waits on 0) and so on.
    EXPECT_EQ(order[2], 0u);
    std::vector<std::uint32_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::uint32_t>{0, 1, 2}));
}

TEST(TriangleSorter, TopologicalTouchingBoxesGetNoEdge) {
    // Triangle 1 lies nearer than 0. Overlapping boxes order 0 before 1; boxes that only touch
    // leave the no-edge order (reversed).
    for (const float gap : {-0.1f, 0.0f}) {
        Mesh mesh;
        mesh.positions = {{0, 0, 0.9f}, {1, 0, 0.9f}, {0, 1, 0.9f}, {1 + gap, 0, 0.1f}, {2, 0, 0.1f}, {1 + gap, 1, 0.1f}};
        mesh.indices = {0, 1, 2, 3, 4, 5};
        const std::vector<std::uint32_t> order = TopologicalOrder(mesh);
        if (gap < 0) EXPECT_EQ(order, (std::vector<std::uint32_t>{0, 1}));
        else EXPECT_EQ(order, (std::vector<std::uint32_t>{1, 0}));
    }
}

// Random overlapping triangles: every decided pair whose triangles are not on a common cycle is
// drawn back to front.
TEST(TriangleSorter, TopologicalHonoursDecidedPairsOutsideCycles) {
    std::mt19937 rng(17);
    for (int round = 0; round < 40; ++round) {
        std::uniform_real_distribution<float> xy(-1, 1), z(0.05f, 0.95f);
        Mesh mesh;
        const std::uint32_t n = 3 + rng() % 30;
        for (std::uint32_t t = 0; t < n; ++t) {
            const Vec3 c(xy(rng), xy(rng), 0);
            for (int k = 0; k < 3; ++k) mesh.positions.push_back(Vec3(c.x + xy(rng) * 0.4f, c.y + xy(rng) * 0.4f, z(rng)));
            mesh.indices.insert(mesh.indices.end(), {std::uint16_t(3 * t), std::uint16_t(3 * t + 1), std::uint16_t(3 * t + 2)});
        }
        // front[i][j]: i must be drawn after j.
        std::vector<std::vector<char>> reach(n, std::vector<char>(n, 0));
        std::vector<std::pair<std::uint32_t, std::uint32_t>> decided;
        for (std::uint32_t i = 0; i < n; ++i) {
            for (std::uint32_t j = i + 1; j < n; ++j) {
                const auto a = TriangleAt(mesh, i), b = TriangleAt(mesh, j);
                float ax0 = 9, ax1 = -9, ay0 = 9, ay1 = -9, bx0 = 9, bx1 = -9, by0 = 9, by1 = -9;
                for (int k = 0; k < 3; ++k) {
                    ax0 = std::min(ax0, a[k].x), ax1 = std::max(ax1, a[k].x), ay0 = std::min(ay0, a[k].y), ay1 = std::max(ay1, a[k].y);
                    bx0 = std::min(bx0, b[k].x), bx1 = std::max(bx1, b[k].x), by0 = std::min(by0, b[k].y), by1 = std::max(by1, b[k].y);
                }
                if (!(bx0 < ax1 && by0 < ay1 && ax0 < bx1 && ay0 < by1)) continue;
                const int r = CompareTrianglePair(a.data(), b.data());
                if (r == 1) decided.push_back({i, j});
                if (r == -1) decided.push_back({j, i});
            }
        }
        for (auto [f, b] : decided) reach[f][b] = 1;
        for (std::uint32_t k = 0; k < n; ++k)
            for (std::uint32_t i = 0; i < n; ++i)
                for (std::uint32_t j = 0; j < n; ++j)
                    if (reach[i][k] && reach[k][j]) reach[i][j] = 1;
        const std::vector<std::uint32_t> order = TopologicalOrder(mesh);
        ASSERT_EQ(order.size(), n);
        std::vector<std::uint32_t> position(n);
        for (std::uint32_t p = 0; p < n; ++p) position[order[p]] = p;
        for (auto [f, b] : decided) {
            // A triangle that can reach itself lies on a cycle: some pair there must give way.
            if (reach[f][f] || reach[b][b]) continue;
            EXPECT_GT(position[f], position[b]) << "round " << round << ": " << f << " in front of " << b;
        }
    }
}

// Pairs of stacked triangles (the nearer one first) on a grid: n triangles.
Mesh StackedPairs(std::uint32_t n) {
    Mesh mesh;
    for (std::uint32_t t = 0; t < n; ++t) {
        const float x = float((t / 2) % 40) * 3, y = float((t / 2) / 40) * 3;
        const float z = t % 2 ? 0.8f : 0.2f;
        const float shift = t % 2 ? 0.3f : 0.0f;
        const std::uint16_t base = std::uint16_t(mesh.positions.size());
        mesh.positions.insert(mesh.positions.end(), {{x + shift, y + shift, z}, {x + 1 + shift, y + shift, z}, {x + shift, y + 1 + shift, z}});
        mesh.indices.insert(mesh.indices.end(), {base, std::uint16_t(base + 1), std::uint16_t(base + 2)});
    }
    return mesh;
}

TEST(TriangleSorter, TopologicalGivesUpForGoodAtFifteenHundred) {
    const Mesh mesh = StackedPairs(1500);
    FixedCamera camera;
    Matrix world;
    MatrixIdentity(world);
    TopologicalTriangleSorter sorter(1500);
    sorter.SetIndices(mesh.positions.data(), mesh.indices.data(), 1500);
    auto sortedPairs = [&](std::uint32_t count) {
        // Pairs whose farther triangle (odd) is drawn before the nearer (even).
        std::vector<std::uint32_t> position(1500, 0);
        for (std::uint32_t p = 0; p < count; ++p) position[sorter.Output()[3 * p] / 3] = p;
        int pairs = 0;
        for (std::uint32_t t = 0; t + 1 < count; t += 2) pairs += position[t + 1] < position[t];
        return pairs;
    };
    SubMeshRange range;
    range.vertexCount = std::uint32_t(mesh.positions.size());
    range.triangleCount = 1499;
    sorter.Sort(range, world, &camera);
    EXPECT_TRUE(sorter.Enabled());
    EXPECT_EQ(sortedPairs(1499), 749);
    sorter.SetIndices(mesh.positions.data(), mesh.indices.data(), 1500);
    range.triangleCount = 1500;
    sorter.Sort(range, world, &camera);
    EXPECT_FALSE(sorter.Enabled());
    EXPECT_TRUE(std::equal(mesh.indices.begin(), mesh.indices.end(), sorter.Output()));
    // Off for good: a small range passes through too.
    range.triangleCount = 2;
    sorter.Sort(range, world, &camera);
    EXPECT_TRUE(std::equal(mesh.indices.begin(), mesh.indices.end(), sorter.Output()));
}

TEST(TriangleSorter, CompareTriangleDepthCases) {
    struct Case {
        const char* what;
        std::array<Vec3, 3> a, b;
        int want;
    };
    const Case cases[] = {
        {"apart", {{{0, 0, 0.5f}, {1, 0, 0.5f}, {0, 1, 0.5f}}}, {{{2, 2, 0.1f}, {3, 2, 0.1f}, {2, 3, 0.1f}}}, 0},
        {"a crossing b in front", {{{0, 0, 0.2f}, {2, 0, 0.2f}, {0, 2, 0.2f}}}, {{{0.5f, -1, 0.8f}, {1, 3, 0.8f}, {0.5f, 3, 0.8f}}}, 1},
        {"a crossing b behind", {{{0, 0, 0.9f}, {2, 0, 0.9f}, {0, 2, 0.9f}}}, {{{0.5f, -1, 0.3f}, {1, 3, 0.3f}, {0.5f, 3, 0.3f}}}, -1},
        {"degenerate a", {{{0, 0, 0.2f}, {0, 0, 0.2f}, {0, 0, 0.2f}}}, {{{0.5f, -1, 0.8f}, {1, 3, 0.8f}, {0.5f, 3, 0.8f}}}, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareTriangleDepth(c.a.data(), c.b.data()), c.want) << c.what;
    }
}

TEST(TriangleSorter, SteadyFramesReuseTheirCells) {
    const Mesh mesh = StackedPairs(200);
    FixedCamera camera;
    Matrix world;
    MatrixIdentity(world);
    TopologicalTriangleSorter sorter(200);
    sorter.SetIndices(mesh.positions.data(), mesh.indices.data(), 200);
    SubMeshRange range;
    range.vertexCount = std::uint32_t(mesh.positions.size());
    range.triangleCount = 200;
    sorter.Sort(range, world, &camera);
    const std::size_t blocks = LinkCellPool::Instance().BlockCount();
    for (int frame = 0; frame < 20; ++frame) sorter.Sort(range, world, &camera);
    EXPECT_EQ(LinkCellPool::Instance().BlockCount(), blocks);
}

}  // namespace
