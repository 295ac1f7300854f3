// Parsing throughput of mesh files from memory against memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <vector>

#include "tests/support/world/MeshFileWriter.h"
#include "world/mesh/MeshData.h"
#include "world/skeleton/MeshSkeletalData.h"

namespace {

using namespace quor::test;

// A vertex-animated mesh of about `bytes` bytes: sub-meshes of up to 65536 vertices with one
// uv channel and colours, as many frames as the size asks for.
const std::vector<std::uint8_t>& MeshOfSize(std::size_t bytes) {
    static std::map<std::size_t, std::vector<std::uint8_t>> cache;
    auto& file = cache[bytes];
    if (!file.empty()) return file;
    const std::uint32_t vertices = std::uint32_t(std::min<std::size_t>(65536, std::max<std::size_t>(8, bytes / 48)));
    const std::uint32_t triangles = vertices / 2;
    const std::size_t perFrame = std::size_t(vertices) * 24;
    const std::size_t fixed = std::size_t(vertices) * 12 + std::size_t(triangles) * 6;
    const std::uint32_t frames = std::uint32_t(std::max<std::size_t>(1, (bytes > fixed ? bytes - fixed : 0) / perFrame));
    MeshDesc m = MakeMesh(0x30011, 2, 1, 1);
    m.keyTimes.clear();
    m.frameBounds.clear();
    for (std::uint32_t f = 0; f < frames; ++f) {
        m.keyTimes.push_back(float(f) * 33.0f);
        m.frameBounds.push_back({0, 0, 0, 1, 1, 1, 1});
        m.frameBounds.push_back({0, 0, 0, 1, 1, 1, 1});
    }
    m.lods = {MakeLod({vertices}, {triangles}, 1, true, frames, 1)};
    file = WriteMom(m);
    return file;
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t kb : {1, 64, 1024, 16 * 1024, 64 * 1024}) b->Arg(kb * 1024);
}

void MeshParseRef(benchmark::State& state) {
    const auto& file = MeshOfSize(std::size_t(state.range(0)));
    std::vector<std::uint8_t> copy(file.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), file.data(), file.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(file.size()));
}

void MeshParseReader(benchmark::State& state) {
    const auto& file = MeshOfSize(std::size_t(state.range(0)));
    {
        quor::MeshData warm;  // one untimed load leaves the heap grown to the size this case needs
        warm.LoadFromMemory("bench.mom", file.data(), file.size());
    }
    for (auto _ : state) {
        quor::MeshData mesh;
        const bool ok = mesh.LoadFromMemory("bench.mom", file.data(), file.size());
        if (!ok) state.SkipWithError("mesh did not load");
        benchmark::DoNotOptimize(mesh.lods[0].get());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(file.size()));
}

// A skinned character as exporters write it: 48 sub-meshes, 8 LODs (each smaller than the one
// before, none past what 16-bit indices address), two uv channels and colours on every
// sub-mesh, four bone influences per vertex, a 40-bone skeleton with bounds and bind poses,
// and about two triangles per vertex; `bytes` sets the vertex budget.
const std::vector<std::uint8_t>& SkinnedMeshOfSize(std::size_t bytes) {
    static std::map<std::size_t, std::vector<std::uint8_t>> cache;
    auto& file = cache[bytes];
    if (!file.empty()) return file;
    constexpr int kSubs = 48, kLods = 8, kBones = 40;
    MeshDesc m = MakeMesh(0x30011, 1, kSubs, 1);
    m.skeleton.parents.clear();
    m.skeleton.names.clear();
    m.skeleton.boneBounds.clear();
    m.skeleton.bind.clear();
    for (int b = 0; b < kBones; ++b) {
        m.skeleton.parents.push_back(b == 0 ? 255 : std::uint8_t(b - 1));
        m.skeleton.names.push_back("bone" + std::to_string(b));
        m.skeleton.boneBounds.push_back({float(b), 0, 0, 1, 1, 1, 2});
        m.skeleton.bind.push_back(Identity16());
    }
    auto build = [&](std::size_t vertices) {
        m.lods.clear();
        for (int l = 0; l < kLods; ++l) {
            // LOD l takes (8 - l) / 36 of the vertices; in small files the sub-meshes of the
            // far LODs keep few vertices or none.
            const std::size_t lodVertices = std::min<std::size_t>(65535, vertices * std::size_t(kLods - l) / 36);
            std::vector<std::uint32_t> vc(kSubs), tc(kSubs);
            for (int s = 0; s < kSubs; ++s) {
                vc[s] = std::uint32_t(lodVertices / kSubs + (std::size_t(s) < lodVertices % kSubs));
                tc[s] = 2 * vc[s];
            }
            m.lods.push_back(MakeLod(vc, tc, 2, true, 1, l + 1, true, kBones));
        }
        return WriteMom(m);
    };
    // Fixed parts (records, skeleton, per-LOD counts) are measured on a file without vertices.
    const std::size_t perVertex = 24 + 16 + 4 + 4 + 16 + 2 * 6;  // and two triangles
    const std::size_t fixed = build(0).size();
    file = build(bytes > fixed ? (bytes - fixed) / perVertex : 0);
    return file;
}

void SkinnedSizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t kb : {64, 1024, 16 * 1024}) b->Arg(kb * 1024);
}

void MeshParseSkinnedRef(benchmark::State& state) {
    const auto& file = SkinnedMeshOfSize(std::size_t(state.range(0)));
    std::vector<std::uint8_t> copy(file.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), file.data(), file.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(file.size()));
    state.counters["file_bytes"] = double(file.size());
}

void MeshParseSkinnedReader(benchmark::State& state) {
    const auto& file = SkinnedMeshOfSize(std::size_t(state.range(0)));
    for (auto _ : state) {
        quor::MeshSkeletalData mesh;
        const bool ok = mesh.LoadFromMemory("bench.mom", file.data(), file.size());
        if (!ok) state.SkipWithError("mesh did not load");
        benchmark::DoNotOptimize(mesh.lods[0].get());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(file.size()));
    state.counters["file_bytes"] = double(file.size());
}

BENCHMARK(MeshParseRef)->Name("MeshParse.ref")->Apply(Sizes);
BENCHMARK(MeshParseSkinnedRef)->Name("MeshParseSkinned.ref")->Apply(SkinnedSizes);
BENCHMARK(MeshParseSkinnedReader)->Name("MeshParseSkinned.reader")->Apply(SkinnedSizes);
BENCHMARK(MeshParseReader)->Name("MeshParse.reader")->Apply(Sizes);

}  // namespace
