// Per-frame work of mesh objects against bare loops doing the same memory work: the stream
// refill against memcpy of the same position and normal bytes, the key-frame blend against a
// plain lerp loop, and drawing many objects that share one mesh against submitting the same
// ranges directly.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "platform/d3d9/Device.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingResources.h"
#include "tests/support/world/BoundHost.h"
#include "tests/support/world/MaterialFileWriter.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/core/InterfaceTable.h"
#include "world/core/PrimitiveBatch.h"
#include "world/core/math/Matrix.h"
#include "world/mesh/KeyFramePlayer.h"
#include "world/mesh/MeshBase.h"
#include "world/mesh/MeshData.h"
#include "world/mesh/MeshSegment.h"
#include "world/mesh/MeshVertexBuffer.h"
#include "world/mesh/MeshVertexData.h"
#include "world/mesh/ModelMaterial.h"

namespace {

using namespace quor;

// One sub-mesh of n vertices (16-bit indices cap a buffer at 65535) over `frames` key frames.
std::vector<std::uint8_t> MeshFile(std::uint32_t n, std::uint32_t frames) {
    test::MeshDesc desc = test::MakeMesh(0x30011, frames > 1 ? 2 : 0, 1, 1);
    desc.sorterType = 0;
    desc.subMeshes[0].extraName.clear();
    desc.lods = {test::MakeLod({n}, {n / 2}, 1, true, frames, 1)};
    if (frames > 1) {
        desc.keyTimes.clear();
        for (std::uint32_t f = 0; f < frames; ++f) desc.keyTimes.push_back(100.0f * float(f));
        desc.frameBounds.assign(std::size_t(frames) * 2, {0, 0, 0, 1, 1, 1, 1});
    }
    test::MaterialGroupDesc group = test::MakeMaterialGroup({desc.subMeshes[0].name});
    group.slots[0].material.stages.clear();
    desc.blob = test::WriteMaterialGroup(group);
    return test::WriteMom(desc);
}

struct Host {
    Host() : bound(std::make_unique<host::MemoryFileSystem>()) {
        Interfaces().renderer = &bound.host.renderer;
        world::RegisterModelTechniqueTemplates();
        bound.host.renderer.SetRecordLimit(0);  // counting only
    }
    test::BoundHost bound;
    d3d9::IDirect3DDevice9 device;
};

Host& TheHost() {
    static Host* host = new Host();  // lives to the end of the process
    return *host;
}

struct MeshDelete {
    void operator()(MeshBase* m) const { m->Destroy(); }
};
using MeshPtr = std::unique_ptr<MeshBase, MeshDelete>;

MeshBase& MeshOf(std::uint32_t n, std::uint32_t frames) {
    static std::map<std::pair<std::uint32_t, std::uint32_t>, MeshPtr> meshes;
    MeshPtr& slot = meshes[{n, frames}];
    if (!slot) {
        Host& host = TheHost();
        slot.reset(new Mesh(&host.device));
        const auto bytes = MeshFile(n, frames);
        const std::string name = "bench" + std::to_string(n) + "_" + std::to_string(frames) + ".mom";
        if (!slot->LoadMeshFromMemory(name.c_str(), bytes.data(), bytes.size())) std::abort();
        Matrix world = MatrixIdentity();
        slot->Render(world, nullptr);
        slot->Render(world, nullptr);
    }
    return *slot;
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t n : {10000, 30000, 60000}) b->Arg(n);
}

// ---- refill: every segment changed -----------------------------------------------------------

void FillStreamsRef(benchmark::State& state) {
    MeshBase& m = MeshOf(std::uint32_t(state.range(0)), 1);
    MeshSegment& part = *m.GetPart(0);
    const std::uint32_t n = part.Lod()->vertexCount;
    std::vector<std::uint8_t> target(std::size_t(n) * MeshVertexBuffer::kPositionNormalStride);
    for (auto _ : state) {
        // The buffer interleaves position and normal per vertex, as the fill writes them.
        std::uint8_t* at = target.data();
        const Vec3* p = part.Positions();
        const Vec3* nn = part.Normals();
        for (std::uint32_t v = 0; v < n; ++v, at += MeshVertexBuffer::kPositionNormalStride) {
            std::memcpy(at, p + v, sizeof(Vec3));
            std::memcpy(at + sizeof(Vec3), nn + v, sizeof(Vec3));
        }
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * n);
}

void FillStreamsMesh(benchmark::State& state) {
    MeshBase& m = MeshOf(std::uint32_t(state.range(0)), 1);
    MeshSegment& part = *m.GetPart(0);
    for (auto _ : state) {
        part.SetSorterType(0);  // marks the geometry changed, as an animated frame does
        m.FillStreams();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * part.Lod()->vertexCount);
}

// ---- key-frame blend ---------------------------------------------------------------------------

void BlendRef(benchmark::State& state) {
    MeshBase& m = MeshOf(std::uint32_t(state.range(0)), 3);
    const MeshVertexData& lod = *m.GetPart(0)->Lod();
    const std::size_t n = lod.vertexCount;
    std::vector<Vec3> positions(n), normals(n);
    const float t = 0.375f;
    for (auto _ : state) {
        const Vec3* p0 = lod.positions.data();
        const Vec3* p1 = p0 + n;
        const Vec3* n0 = lod.normals.data();
        const Vec3* n1 = n0 + n;
        for (std::size_t i = 0; i < n; ++i) {
            positions[i] = Vec3(p0[i].x + (p1[i].x - p0[i].x) * t, p0[i].y + (p1[i].y - p0[i].y) * t,
                                p0[i].z + (p1[i].z - p0[i].z) * t);
            Vec3 v(n0[i].x * (1 - t) + n1[i].x * t, n0[i].y * (1 - t) + n1[i].y * t, n0[i].z * (1 - t) + n1[i].z * t);
            const float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
            if (len > 0) v = Vec3(v.x / len, v.y / len, v.z / len);
            normals[i] = v;
        }
        benchmark::DoNotOptimize(positions.data());
        benchmark::DoNotOptimize(normals.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(n));
}

void BlendMesh(benchmark::State& state) {
    MeshBase& m = MeshOf(std::uint32_t(state.range(0)), 3);
    MeshSegment& part = *m.GetPart(0);
    part.KeyPlayer()->Clock().time = 0.0;
    part.KeyPlayer()->GetCurrentKey();
    for (auto _ : state) {
        part.BlendKeyFrames(0.375f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * part.Lod()->vertexCount);
}

// ---- drawing N objects sharing one mesh --------------------------------------------------------

void Objects(benchmark::internal::Benchmark* b) {
    for (std::int64_t n : {100, 1000, 10000}) b->Arg(n);
}

std::vector<Matrix> Matrices(std::size_t n) {
    std::vector<Matrix> out(n, MatrixIdentity());
    for (std::size_t i = 0; i < n; ++i) out[i].m[12] = float(i);
    return out;
}

void DrawRef(benchmark::State& state) {
    MeshBase& m = MeshOf(1000, 1);
    const std::vector<Matrix> worlds = Matrices(std::size_t(state.range(0)));
    render::IRenderer* renderer = Interfaces().renderer;
    const MeshDrawEntry entry = m.DrawList()[0];
    render::IVertexBuffer* stream = m.GetCurrentVertexBuffer()->Stream();
    for (auto _ : state) {
        for (const Matrix& w : worlds) {
            entry.renderable->SetWorldMatrix(w.m);
            render::DrawRange range;
            range.firstVertex = entry.firstVertex;
            range.primitiveCount = entry.triangleCount;
            range.vertexCount = entry.vertexCount;
            range.firstIndex = 3 * entry.firstTriangle;
            entry.renderable->SetDrawRecord(stream, &range, 1);
            renderer->Submit(entry.renderable);
        }
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * state.range(0));
}

void DrawMesh(benchmark::State& state) {
    MeshBase& m = MeshOf(1000, 1);
    const std::vector<Matrix> worlds = Matrices(std::size_t(state.range(0)));
    m.AddRef();
    m.AddRef();
    for (auto _ : state) {
        for (const Matrix& w : worlds) m.DrawSubMeshes(w);
    }
    m.DecRef();
    m.DecRef();
    state.SetItemsProcessed(std::int64_t(state.iterations()) * state.range(0));
}

BENCHMARK(FillStreamsRef)->Name("FillStreams.ref")->Apply(Sizes);
BENCHMARK(FillStreamsMesh)->Name("FillStreams.mesh")->Apply(Sizes);
BENCHMARK(BlendRef)->Name("BlendKeyFrames.ref")->Apply(Sizes);
BENCHMARK(BlendMesh)->Name("BlendKeyFrames.mesh")->Apply(Sizes);
BENCHMARK(DrawRef)->Name("SharedMeshDraw.ref")->Apply(Objects);
BENCHMARK(DrawMesh)->Name("SharedMeshDraw.mesh")->Apply(Objects);

}  // namespace
