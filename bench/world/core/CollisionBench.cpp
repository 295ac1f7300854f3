// Collision queries through the tree against the loop over every polygon with the same
// per-polygon test ("ref"), at 10^4 and 10^5 triangles in a 200-unit cube: rays and sphere
// sweeps of 1% of the scene ("BspShortRay", "BspShortSweep") and rays across it
// ("BspLongRay", reported only). Triangle-tree picks of a box 1% of the mesh's size against
// testing every triangle box ("PolyPick").
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

#include "tests/support/world/BspFileWriter.h"
#include "world/core/BSPTree.h"
#include "world/core/PolyTree.h"

namespace {

using namespace quor;
using world::BspPolygon;
using world::BSPTree;

constexpr float kHalf = 100.0f;

BSPTree& Tree(int n) {
    static std::map<int, std::unique_ptr<BSPTree>> trees;
    auto& slot = trees[n];
    if (!slot) {
        slot = std::make_unique<BSPTree>();
        test::BspTreeDesc desc = test::CompileBsp(test::RandomBspScene(std::uint32_t(n), kHalf, 1.0f, 42), 7);
        slot->Assign(std::move(desc.polygons), std::move(desc.nodes), desc.root);
    }
    return *slot;
}

std::vector<Ray> Rays(float length, int count) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> p(-kHalf, kHalf), d(-1.0f, 1.0f);
    std::vector<Ray> rays;
    for (int i = 0; i < count; ++i) {
        Vec3 dir{d(rng), d(rng), d(rng)};
        Vec3SetLength(dir, length);
        const Vec3 o{p(rng), p(rng), p(rng)};
        rays.push_back(length > kHalf ? Ray{o - dir * 0.5f, dir} : Ray{o, dir});
    }
    return rays;
}

void RayTree(benchmark::State& state, float length) {
    BSPTree& tree = Tree(int(state.range(0)));
    const std::vector<Ray> rays = Rays(length, 256);
    std::size_t i = 0;
    for (auto _ : state) {
        float t = 0.0f;
        benchmark::DoNotOptimize(tree.RayCast(rays[i++ % rays.size()], &t, 0, 0, false));
    }
}

void RayRef(benchmark::State& state, float length) {
    BSPTree& tree = Tree(int(state.range(0)));
    const std::vector<Ray> rays = Rays(length, 256);
    std::size_t i = 0;
    for (auto _ : state) {
        const Ray& ray = rays[i++ % rays.size()];
        float best = 1.0f, t = 0.0f;
        for (const BspPolygon& p : tree.Polygons())
            if (world::BspRayTestPolygon(p, ray, best, t)) best = t;
        benchmark::DoNotOptimize(best);
    }
}

void SweepTree(benchmark::State& state) {
    BSPTree& tree = Tree(int(state.range(0)));
    const std::vector<Ray> rays = Rays(2.0f, 256);
    std::size_t i = 0;
    for (auto _ : state) {
        const Ray& r = rays[i++ % rays.size()];
        Vec3 end;
        benchmark::DoNotOptimize(tree.SweepSphere(end, r.origin, r.direction, 0.5f, 0.0f, 0, 0, false));
    }
}

void SweepRef(benchmark::State& state) {
    BSPTree& tree = Tree(int(state.range(0)));
    const std::vector<Ray> rays = Rays(2.0f, 256);
    std::size_t i = 0;
    for (auto _ : state) {
        const Ray& r = rays[i++ % rays.size()];
        world::BspHold hold;
        const Vec3 end = r.origin + r.direction;
        for (std::size_t k = 0; k < tree.Polygons().size(); ++k) {
            const BspPolygon& p = tree.Polygons()[k];
            if (p.plane.DistanceTo(end) < p.plane.DistanceTo(r.origin))
                world::BspSweepTestPolygon(p, std::int32_t(k), r, 0.5f, false, hold);
        }
        benchmark::DoNotOptimize(hold.t);
    }
}

struct PickMesh {
    std::vector<float> positions;
    std::vector<std::uint16_t> indices;
    PolyTree tree;
    const PolyTree::Result* result = nullptr;
    std::vector<PolyTreeBox> queries;
};

PickMesh& Mesh(int n) {
    static std::map<int, std::unique_ptr<PickMesh>> meshes;
    auto& slot = meshes[n];
    if (!slot) {
        slot = std::make_unique<PickMesh>();
        std::mt19937 rng(3);
        std::uniform_real_distribution<float> p(-kHalf, kHalf), o(-1.0f, 1.0f);
        const int vertices = 60000;
        for (int v = 0; v < vertices / 3; ++v) {
            const float c[3] = {p(rng), p(rng), p(rng)};
            for (int k = 0; k < 3; ++k)
                for (int a = 0; a < 3; ++a) slot->positions.push_back(c[a] + o(rng));
        }
        for (int t = 0; t < n; ++t) {
            const int base = 3 * (t % (vertices / 3));
            for (int k = 0; k < 3; ++k) slot->indices.push_back(std::uint16_t(base + k));
        }
        slot->result = slot->tree.Build({0, 0, 0}, {kHalf + 1, kHalf + 1, kHalf + 1}, slot->indices.data(),
                                        slot->positions.data(), std::uint32_t(n), vertices, 16);
        for (int q = 0; q < 256; ++q) {
            const float c[3] = {p(rng), p(rng), p(rng)};
            slot->queries.push_back({{c[0] + 2, c[1] + 2, c[2] + 2}, {c[0] - 2, c[1] - 2, c[2] - 2}});
        }
    }
    return *slot;
}

void PickTree(benchmark::State& state) {
    PickMesh& m = Mesh(int(state.range(0)));
    std::vector<float> out(9 * 4096);
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(m.tree.Pick(m.result, m.queries[i++ % m.queries.size()], out.data(), 3 * 4096));
}

void PickRef(benchmark::State& state) {
    PickMesh& m = Mesh(int(state.range(0)));
    std::vector<float> out(9 * 4096);
    std::size_t i = 0;
    const std::uint32_t n = std::uint32_t(state.range(0));
    for (auto _ : state) {
        const PolyTreeBox& q = m.queries[i++ % m.queries.size()];
        int written = 0;
        for (std::uint32_t t = 0; t < n; ++t) {
            const PolyTreeBox& b = m.tree.Boxes()[t];
            bool overlap = true;
            for (int a = 0; a < 3; ++a) overlap = overlap && b.min[a] < q.max[a] && b.max[a] > q.min[a];
            if (!overlap || written + 3 >= 3 * 4096) continue;
            for (int v = 0; v < 3; ++v)
                for (int a = 0; a < 3; ++a) out[std::size_t(3 * (written + v) + a)] = m.positions[3 * m.indices[3 * t + std::uint32_t(v)] + std::uint32_t(a)];
            written += 3;
        }
        benchmark::DoNotOptimize(written);
    }
}

}  // namespace

BENCHMARK_CAPTURE(RayRef, short, 2.0f)->Name("BspShortRay.ref")->Arg(10000)->Arg(100000);
BENCHMARK_CAPTURE(RayTree, short, 2.0f)->Name("BspShortRay.tree")->Arg(10000)->Arg(100000);
BENCHMARK(SweepRef)->Name("BspShortSweep.ref")->Arg(10000)->Arg(100000);
BENCHMARK(SweepTree)->Name("BspShortSweep.tree")->Arg(10000)->Arg(100000);
BENCHMARK_CAPTURE(RayRef, long, 400.0f)->Name("BspLongRay.ref")->Arg(10000)->Arg(100000);
BENCHMARK_CAPTURE(RayTree, long, 400.0f)->Name("BspLongRay.tree")->Arg(10000)->Arg(100000);
BENCHMARK(PickRef)->Name("PolyPick.ref")->Arg(10000)->Arg(100000);
BENCHMARK(PickTree)->Name("PolyPick.tree")->Arg(10000)->Arg(100000);
