// Software skinning of N vertices with 1, 2 or 4 influences over an 80-bone palette: the
// skinning kernel in its vector ("sse") and plain forms, against "ref", a plain scalar loop on
// the same arrays, and "memcpy", a copy of the 44 bytes a vertex the skinning reads (indices,
// weights, position, normal). Arguments: vertices, influences.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "world/core/math/Matrix.h"
#include "world/skeleton/MeshSkelSegment.h"

namespace {

using namespace quor;

constexpr std::uint32_t kBones = 80;

struct Arrays {
    std::unique_ptr<Matrix[]> palette{new Matrix[kBones]};
    std::vector<std::uint8_t> indices;
    std::vector<float> weights;
    std::vector<Vec3> positions, normals, outPositions, outNormals;
    std::vector<std::uint8_t> copySource, copyTarget;
    SkinStreams streams;
};

Arrays& Get(std::uint32_t vertices, int influences) {
    static std::unique_ptr<Arrays> cached;
    static std::uint32_t cachedVertices = 0;
    static int cachedInfluences = 0;
    if (cached && cachedVertices == vertices && cachedInfluences == influences) return *cached;
    cached = std::make_unique<Arrays>();
    cachedVertices = vertices, cachedInfluences = influences;
    Arrays& a = *cached;
    std::mt19937 rng(vertices + unsigned(influences));
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (std::uint32_t b = 0; b < kBones; ++b) {
        for (float& f : a.palette[b].m) f = unit(rng);
        a.palette[b].m[3] = a.palette[b].m[7] = a.palette[b].m[11] = 0.0f, a.palette[b].m[15] = 1.0f;
    }
    a.indices.assign(std::size_t(vertices) * 4, 255);
    a.weights.assign(std::size_t(vertices) * 4, 0.0f);
    a.positions.resize(vertices);
    a.normals.resize(vertices);
    a.outPositions.resize(vertices);
    a.outNormals.resize(vertices);
    for (std::uint32_t v = 0; v < vertices; ++v) {
        for (int k = 0; k < influences; ++k) {
            a.indices[std::size_t(v) * 4 + k] = std::uint8_t(rng() % kBones);
            a.weights[std::size_t(v) * 4 + k] = 1.0f / float(influences);
        }
        a.positions[v] = Vec3(unit(rng), unit(rng), unit(rng));
        a.normals[v] = Vec3(unit(rng), unit(rng), unit(rng));
    }
    a.copySource.assign(std::size_t(vertices) * 44, 1);
    a.copyTarget.assign(std::size_t(vertices) * 44, 0);
    a.streams = SkinStreams{a.indices.data(), a.weights.data(), a.positions.data(), a.normals.data(),
                            a.outPositions.data(), a.outNormals.data()};
    return a;
}

// The reference: the definition written out as a plain loop.
void ReferenceSkin(Arrays& a, std::uint32_t vertices) {
    for (std::uint32_t v = 0; v < vertices; ++v) {
        const std::uint8_t* idx = &a.indices[std::size_t(v) * 4];
        const float* w = &a.weights[std::size_t(v) * 4];
        float m[16];
        if (idx[1] == 255) {
            std::memcpy(m, a.palette[idx[0]].m, sizeof m);
        } else {
            for (int e = 0; e < 16; ++e) m[e] = w[0] * a.palette[idx[0]].m[e];
            for (int k = 1; k < 4 && idx[k] != 255; ++k) {
                for (int e = 0; e < 16; ++e) m[e] += w[k] * a.palette[idx[k]].m[e];
            }
        }
        const Vec3 p = a.positions[v], n = a.normals[v];
        Vec3& op = a.outPositions[v];
        Vec3& on = a.outNormals[v];
        op = Vec3(p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12], p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
                  p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]);
        on = Vec3(n.x * m[0] + n.y * m[4] + n.z * m[8], n.x * m[1] + n.y * m[5] + n.z * m[9],
                  n.x * m[2] + n.y * m[6] + n.z * m[10]);
    }
}

void Skin(benchmark::State& state, int form) {
    const auto vertices = std::uint32_t(state.range(0));
    const int influences = int(state.range(1));
    Arrays& a = Get(vertices, influences);
    for (auto _ : state) {
        if (form == 0) ReferenceSkin(a, vertices);
        else if (form == 3) std::memcpy(a.copyTarget.data(), a.copySource.data(), a.copySource.size());
        else SkinVertexRange(a.palette.get(), kBones, a.streams, 0, vertices, form == 1);
        benchmark::DoNotOptimize(a.outPositions.data());
        benchmark::DoNotOptimize(a.copyTarget.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * vertices);
}

void Args(benchmark::internal::Benchmark* b) {
    for (long v : {10000L, 1000000L}) {
        for (long i : {1L, 2L, 4L}) b->Args({v, i});
    }
}

BENCHMARK_CAPTURE(Skin, ref, 0)->Name("Skin.ref")->Apply(Args);
BENCHMARK_CAPTURE(Skin, sse, 1)->Name("Skin.sse")->Apply(Args);
BENCHMARK_CAPTURE(Skin, plain, 2)->Name("Skin.plain")->Apply(Args);
BENCHMARK_CAPTURE(Skin, memcpy, 3)->Name("Skin.memcpy")->Apply(Args);

}  // namespace
