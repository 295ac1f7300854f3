// Parsing throughput of mesh files from memory against memcpy of the same bytes. Each reader
// case first loads once untimed from fresh memory (no kept blocks) and reports it: "cold_ms",
// its time, and "peak_per_file", the file image plus the most memory that load added, over the
// file size. The timed loads then reuse the blocks the module keeps, as a level's loads do.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/support/world/MeshFileWriter.h"
#include "world/core/Memory.h"
#include "world/mesh/MeshData.h"
#include "world/skeleton/MeshSkeletalData.h"

namespace {

using namespace quor::test;

// Resident set size or its high-water mark in kB, from /proc/self/status.
long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':') return std::stol(line.substr(n + 1));
    }
    return -1;
}

// Runs `load` on fresh memory and sets "cold_ms" and "peak_per_file": the file image plus the
// peak memory the load adds while it runs, over the file size (0 where the system does not
// let the high-water mark be reset).
template <class Load>
void ColdLoad(benchmark::State& state, std::size_t fileBytes, Load load) {
    quor::ReleaseKeptLargeBlocks();
    bool reset = false;
    {
        std::ofstream clear("/proc/self/clear_refs");
        reset = clear && (clear << "5") && clear.flush();  // 5: reset the peak to the current size
    }
    const long before = StatusKb("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    load();
    const auto end = std::chrono::steady_clock::now();
    const long peak = StatusKb("VmHWM");
    state.counters["cold_ms"] = std::chrono::duration<double, std::milli>(end - start).count();
    state.counters["peak_per_file"] =
        reset && before >= 0 && peak >= 0 ? (double(peak - before) * 1024.0 + double(fileBytes)) / double(fileBytes) : 0.0;
}

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
    for (std::int64_t kb : {1, 64, 1024, 16 * 1024, 64 * 1024, 256 * 1024}) b->Arg(kb * 1024);
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
    ColdLoad(state, file.size(), [&] {
        quor::MeshData warm;  // one untimed load leaves the heap grown to the size this case needs
        warm.LoadFromMemory("bench.mom", file.data(), file.size());
    });
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
// and about two triangles per vertex; `bytes` sets the vertex budget. Past eight LODs of 65535
// vertices the rest of the size goes into more triangles.
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
    auto build = [&](std::size_t vertices, std::size_t extraTriangles) {
        m.lods.clear();
        for (int l = 0; l < kLods; ++l) {
            // LOD l takes (8 - l) / 36 of the vertices; in small files the sub-meshes of the
            // far LODs keep few vertices or none.
            const std::size_t lodVertices = std::min<std::size_t>(65535, vertices * std::size_t(kLods - l) / 36);
            const std::size_t lodExtra = extraTriangles / kLods;
            std::vector<std::uint32_t> vc(kSubs), tc(kSubs);
            for (int s = 0; s < kSubs; ++s) {
                vc[s] = std::uint32_t(lodVertices / kSubs + (std::size_t(s) < lodVertices % kSubs));
                tc[s] = 2 * vc[s] + (vc[s] ? std::uint32_t(lodExtra / kSubs) : 0u);
            }
            m.lods.push_back(MakeLod(vc, tc, 2, true, 1, l + 1, true, kBones));
        }
        return WriteMom(m);
    };
    // Fixed parts (records, skeleton, per-LOD counts) are measured on a file without vertices.
    const std::size_t perVertex = 24 + 16 + 4 + 4 + 16 + 2 * 6;  // and two triangles
    const std::size_t fixed = build(0, 0).size();
    const std::size_t vertices = bytes > fixed ? (bytes - fixed) / perVertex : 0;
    constexpr std::size_t kMostVertices = 36 * 65535 / kLods;  // LOD 0 at 65535
    if (vertices <= kMostVertices) {
        file = build(vertices, 0);
    } else {
        const std::size_t capped = build(kMostVertices, 0).size();
        file = build(kMostVertices, bytes > capped ? (bytes - capped) / 6 : 0);
    }
    return file;
}

void SkinnedSizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t kb : {64, 1024, 16 * 1024, 64 * 1024, 256 * 1024}) b->Arg(kb * 1024);
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
    ColdLoad(state, file.size(), [&] {
        quor::MeshSkeletalData warm;
        warm.LoadFromMemory("bench.mom", file.data(), file.size());
    });
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
