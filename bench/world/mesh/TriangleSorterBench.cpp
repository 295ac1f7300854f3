// The transparent-triangle sorters against a plain loop doing what a sort must: project the
// vertices, make the (smallest depth, triangle) pairs, sort them and write the sorted
// triangles' indices; and the topological sorter against a bare pair loop doing only its box
// test.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "platform/host/RenderCamera.h"
#include "world/mesh/TriangleSorter.h"

namespace {

using namespace quor;

struct Scene {
    std::vector<Vec3> positions;
    std::vector<std::uint16_t> indices;
    std::uint32_t triangles = 0;
};

// Triangles over 60,000 vertices at most (16-bit indices), in front of the camera; neighbouring
// triangles share vertices.
const Scene& SceneOf(std::uint32_t triangles, float spread, bool shared = true) {
    static std::vector<std::pair<std::pair<std::uint32_t, float>, Scene>> cache;
    const float tag = shared ? spread : -spread;
    for (auto& entry : cache) {
        if (entry.first == std::make_pair(triangles, tag)) return entry.second;
    }
    std::mt19937 rng(triangles);
    std::uniform_real_distribution<float> xy(-spread, spread), z(2.0f, 50.0f), d(-0.3f, 0.3f);
    Scene s;
    s.triangles = triangles;
    // As in a closed mesh, about one vertex for every two triangles.
    const std::uint32_t vertices =
        std::min<std::uint32_t>(60000, shared ? std::max<std::uint32_t>(3, triangles / 2 + 2) : triangles * 3);
    for (std::uint32_t v = 0; v < vertices; v += 3) {
        const Vec3 c(xy(rng), xy(rng), z(rng));
        for (int k = 0; k < 3 && v + k < vertices; ++k) s.positions.push_back(Vec3(c.x + d(rng), c.y + d(rng), c.z + d(rng)));
    }
    for (std::uint32_t t = 0; t < triangles; ++t) {
        const std::uint32_t base = shared ? (t / 2) % (vertices - 2) : (t * 3) % (vertices - 2);
        for (std::uint32_t k = 0; k < 3; ++k) s.indices.push_back(std::uint16_t(base + k));
    }
    cache.emplace_back(std::make_pair(triangles, tag), std::move(s));
    return cache.back().second;
}

host::RenderCamera& Camera() {
    static host::RenderCamera camera = [] {
        host::RenderCamera c;
        c.SetPerspective(60, 1.3f, 1, 100);
        return c;
    }();
    return camera;
}

void KeySizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t n : {1000, 10000, 100000}) b->Arg(n);
}

void KeySortRef(benchmark::State& state) {
    const Scene& s = SceneOf(std::uint32_t(state.range(0)), 20);
    Matrix view, proj;
    std::copy(Camera().GetViewMatrix(), Camera().GetViewMatrix() + 16, view.m);
    std::copy(Camera().GetProjectionMatrix(), Camera().GetProjectionMatrix() + 16, proj.m);
    std::vector<Vec3> projected(s.positions.size());
    std::vector<TriangleKey> pairs(s.triangles);
    std::vector<std::uint16_t> out(std::size_t(s.triangles) * 3);
    for (auto _ : state) {
        Matrix m;
        MatrixMultiplyPlain(view, proj, m);
        for (std::size_t v = 0; v < projected.size(); ++v) TransformCoord(s.positions[v], m, projected[v]);
        for (std::uint32_t t = 0; t < s.triangles; ++t) {
            const std::uint16_t* tri = &s.indices[3 * t];
            pairs[t] = {std::min({projected[tri[0]].z, projected[tri[1]].z, projected[tri[2]].z}), t};
        }
        std::sort(pairs.begin(), pairs.end(), [](const TriangleKey& a, const TriangleKey& b) { return a.key > b.key; });
        for (std::uint32_t p = 0; p < s.triangles; ++p) std::copy_n(&s.indices[3 * pairs[p].triangle], 3, &out[3 * p]);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void KeySort(benchmark::State& state, std::uint32_t type) {
    const Scene& s = SceneOf(std::uint32_t(state.range(0)), 20);
    TriangleSorter* sorter = CreateTriangleSorter(type, s.triangles);
    sorter->SetIndices(s.positions.data(), s.indices.data(), s.triangles);
    SubMeshRange range;
    range.vertexCount = std::uint32_t(s.positions.size());
    range.triangleCount = s.triangles;
    Matrix world;
    MatrixIdentity(world);
    for (auto _ : state) {
        sorter->Sort(range, world, &Camera());
        benchmark::DoNotOptimize(sorter->Output());
    }
    sorter->Destroy();
}

void KeySortMin(benchmark::State& state) { KeySort(state, 1); }
void KeySortMax(benchmark::State& state) { KeySort(state, 2); }
void KeySortBarycenter(benchmark::State& state) { KeySort(state, 3); }

// The box test of every pair, and nothing else.
void TopologicalRef(benchmark::State& state) {
    const Scene& s = SceneOf(1499, 1.5f, false);
    std::vector<Vec3> projected(s.positions.size());
    Matrix m, view, proj;
    std::copy(Camera().GetViewMatrix(), Camera().GetViewMatrix() + 16, view.m);
    std::copy(Camera().GetProjectionMatrix(), Camera().GetProjectionMatrix() + 16, proj.m);
    MatrixMultiplyPlain(view, proj, m);
    for (std::size_t v = 0; v < projected.size(); ++v) TransformCoord(s.positions[v], m, projected[v]);
    struct Box {
        float x0, y0, x1, y1;
    };
    std::vector<Box> boxes(s.triangles);
    for (auto _ : state) {
        for (std::uint32_t t = 0; t < s.triangles; ++t) {
            Box b = {100, 100, -100, -100};
            for (int k = 0; k < 3; ++k) {
                const Vec3& p = projected[s.indices[3 * t + k]];
                b.x0 = std::min(b.x0, p.x), b.y0 = std::min(b.y0, p.y), b.x1 = std::max(b.x1, p.x), b.y1 = std::max(b.y1, p.y);
            }
            boxes[t] = b;
        }
        std::uint32_t overlaps = 0;
        for (std::uint32_t i = 0; i < s.triangles; ++i) {
            for (std::uint32_t j = i + 1; j < s.triangles; ++j) {
                overlaps += boxes[j].x0 < boxes[i].x1 && boxes[j].y0 < boxes[i].y1 && boxes[i].x0 < boxes[j].x1 &&
                            boxes[i].y0 < boxes[j].y1;
            }
        }
        benchmark::DoNotOptimize(overlaps);
    }
}

void TopologicalSorter(benchmark::State& state) {
    const Scene& s = SceneOf(1499, 1.5f, false);
    TopologicalTriangleSorter sorter(s.triangles);
    sorter.SetIndices(s.positions.data(), s.indices.data(), s.triangles);
    SubMeshRange range;
    range.vertexCount = std::uint32_t(s.positions.size());
    range.triangleCount = s.triangles;
    Matrix world;
    MatrixIdentity(world);
    for (auto _ : state) {
        sorter.Sort(range, world, &Camera());
        benchmark::DoNotOptimize(sorter.Output());
    }
}

}  // namespace

BENCHMARK(KeySortRef)->Name("KeySort.ref")->Apply(KeySizes);
BENCHMARK(KeySortMin)->Name("KeySort.min")->Apply(KeySizes);
BENCHMARK(KeySortMax)->Name("KeySort.max")->Apply(KeySizes);
BENCHMARK(KeySortBarycenter)->Name("KeySort.barycenter")->Apply(KeySizes);
BENCHMARK(TopologicalRef)->Name("TopologicalSort.ref");
BENCHMARK(TopologicalSorter)->Name("TopologicalSort.sorter");
