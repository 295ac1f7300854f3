// The per-frame work of 10^4 models sharing one mesh (update, draw preparation, drawing)
// against the same mesh calls made directly for 10^4 world matrices.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingResources.h"
#include "tests/support/world/BoundHost.h"
#include "tests/support/world/MaterialFileWriter.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Module.h"
#include "world/scene/World.h"
#include "world/core/math/Matrix.h"
#include "world/mesh/MeshBase.h"
#include "world/mesh/SubMesh.h"
#include "world/mesh/ModelBase.h"
#include "world/mesh/ModelMaterial.h"

namespace {

using namespace quor;

constexpr int kModels = 10000;

struct Scene {
    Scene() : bound(std::make_unique<host::MemoryFileSystem>()) {
        // The world's services and device, so that the meshes the models make get buffers.
        ResetInterfaces();
        bound.host.PublishWorldServices(0);
        ResetInterfaces();
        Module::Instance().Register(&bound.host.registry);
        Module::Instance().Initialize(&bound.host.registry);
        World::Instance().Initialize(60);
        Interfaces().renderer = &bound.host.renderer;
        world::RegisterModelTechniqueTemplates();
        bound.host.renderer.SetRecordLimit(0);  // counting only
        test::MeshDesc desc = test::MakeMesh(0x30011, 0, 1, 1);
        desc.sorterType = 0;
        desc.subMeshes[0].extraName.clear();
        desc.sockets.clear();
        desc.lods = {test::MakeLod({24}, {12}, 1, false, 1, 1)};
        test::MaterialGroupDesc group = test::MakeMaterialGroup({desc.subMeshes[0].name});
        group.slots[0].material.stages.clear();
        desc.blob = test::WriteMaterialGroup(group);
        static_cast<host::MemoryFileSystem&>(*bound.host.files).AddFile("bench.mom", test::WriteMom(desc));
        models.push_back(new world::Model());
        if (!models[0]->ChangeMeshFile("bench.mom")) std::abort();
        for (int i = 1; i < kModels; ++i) {
            models.push_back(new world::Model());
            models.back()->CopyFrom(models[0]);
        }
        for (int i = 0; i < kModels; ++i) {
            models[std::size_t(i)]->SetPosition({float(i % 100), 0.0f, float(i / 100)});
            worlds.push_back(models[std::size_t(i)]->GetWorldMatrix());
            models[std::size_t(i)]->ClearTransformChanged();
        }
    }
    // The recording renderer keeps every value a state block was given; each frame starts
    // it empty again (its room kept), so that neither side pays for its growth.
    void ForgetStateValues() {
        MeshBase& mesh = *models[0]->GetMesh();
        for (std::uint32_t i = 0; i < mesh.GetSubMeshCount(); ++i) {
            render::IRenderable* renderable = mesh.GetSubMesh(i)->Renderable();
            if (auto* block = renderable ? dynamic_cast<host::RecordingRenderState*>(renderable->GetStateBlock()) : nullptr)
                block->values.clear();
        }
    }

    test::BoundHost bound;
    std::vector<world::ModelBase*> models;
    std::vector<Matrix> worlds;
};

Scene& TheScene() {
    static Scene* scene = new Scene();  // lives to the end of the process
    return *scene;
}

void FrameRef(benchmark::State& state) {
    Scene& s = TheScene();
    MeshBase& mesh = *s.models[0]->GetMesh();
    for (auto _ : state) {
        // The mesh calls a model makes: the animation step, the render entry, the current
        // buffer, the per-sub-mesh draw settings and the draw.
        for (const Matrix& world : s.worlds) {
            mesh.UpdateAnimation(false);
            if (!mesh.Render(world, nullptr)) continue;
            benchmark::DoNotOptimize(mesh.GetCurrentVertexBuffer());
            const std::uint32_t subs = mesh.GetSubMeshCount();
            for (std::uint32_t i = 0; i < subs; ++i) mesh.SetSubMeshDrawSettings(i, false, false);
            mesh.DrawSubMeshes(world);
        }
        s.ForgetStateValues();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kModels);
}

void FrameModel(benchmark::State& state) {
    Scene& s = TheScene();
    for (auto _ : state) {
        for (world::ModelBase* m : s.models) {
            m->Update();
            if (m->PreDraw()) m->DrawParts(0);
        }
        s.ForgetStateValues();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kModels);
}

}  // namespace

BENCHMARK(FrameRef)->Name("ModelFrame.ref")->Unit(benchmark::kMillisecond);
BENCHMARK(FrameModel)->Name("ModelFrame.model")->Unit(benchmark::kMillisecond);
