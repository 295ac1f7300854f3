// Parsing throughput of mesh files from memory against memcpy of the same bytes.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstring>
#include <map>
#include <vector>

#include "tests/support/world/MeshFileWriter.h"
#include "world/mesh/MeshData.h"

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
    // The reference copies into a buffer it keeps; let the reader's arrays come from a warm heap
    // too (glibc would otherwise map and fault in fresh pages for every array above 32 MB, and
    // the figure would measure the kernel's page faults rather than the parser).
    mallopt(M_MMAP_THRESHOLD, 512 << 20);
    mallopt(M_TRIM_THRESHOLD, 1024 << 20);
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

BENCHMARK(MeshParseRef)->Name("MeshParse.ref")->Apply(Sizes);
BENCHMARK(MeshParseReader)->Name("MeshParse.reader")->Apply(Sizes);

}  // namespace
