// One frame of a scene (Update, then the frame bracket with the collection, billboards and the
// pre-draw calls) over N objects in trees four levels deep, against a flat loop making the same
// per-object calls over an array of the same objects.
#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/host/RecordingRenderer.h"
#include "tests/support/world/scene/TestScene.h"
#include "world/core/Camera.h"
#include "world/core/InterfaceTable.h"
#include "world/core/VisibleObject.h"
#include "world/scene/Billboards.h"

namespace quor::world {
namespace {

// Parent of every node of a tree of n nodes about four levels deep (node 0 the top), numbered
// so that a parent comes before its children.
std::vector<int> TreeParents(int n) {
    const int branching = std::max(2, static_cast<int>(std::ceil(std::pow(double(n), 1.0 / 4))));
    std::vector<int> parents(static_cast<std::size_t>(n), -1);
    for (int i = 1; i < n; ++i) parents[static_cast<std::size_t>(i)] = (i - 1) / branching;
    return parents;
}

struct Frame {
    host::RecordingRenderer renderer;
    render::IRenderer* previous = nullptr;
    std::unique_ptr<test::TestScene> scene;
    std::vector<VisibleObject*> objects;

    explicit Frame(int n) {
        previous = Interfaces().renderer;
        Interfaces().renderer = &renderer;
        scene = std::make_unique<test::TestScene>(1, nullptr);
        Camera* camera = scene->CreateCamera(true);
        camera->SetPerspective(60.0f, 1.0f, 1.0f, 1000.0f);
        camera->SetPosition(Vec3{0, 0, -50});
        camera->GetRenderCamera()->Refresh();
        std::mt19937 rng(5);
        std::uniform_real_distribution<float> u(-5.0f, 5.0f);
        const std::vector<int> parents = TreeParents(n);
        for (int i = 0; i < n; ++i) {
            auto* o = new VisibleObject();
            scene->AttachObject(o);
            o->SetPosition(Vec3{u(rng), u(rng), u(rng)});
            const int parent = parents[static_cast<std::size_t>(i)];
            if (parent >= 0) objects[static_cast<std::size_t>(parent)]->AddChild(o, false);
            objects.push_back(o);
        }
        // Leaves face the camera in every way there is.
        for (int i = 0; i < n; ++i)
            if (objects[static_cast<std::size_t>(i)]->GetChildCount() == 0) objects[static_cast<std::size_t>(i)]->SetUserInt2(1 + i % 5);
    }
    ~Frame() {
        scene->Clear();
        for (auto it = objects.rbegin(); it != objects.rend(); ++it) delete *it;
        scene.reset();
        Interfaces().renderer = previous;
    }
};

void SceneFrameRef(benchmark::State& state) {
    Frame frame(static_cast<int>(state.range(0)));
    std::vector<VisibleObject*> list;
    list.reserve(frame.objects.size());
    BillboardBlock block;
    Camera& camera = *frame.scene->GetActiveCamera();
    for (auto _ : state) {
        for (VisibleObject* o : frame.objects) o->Update();
        for (VisibleObject* o : frame.objects) o->Prepare();
        list.clear();
        for (VisibleObject* o : frame.objects)
            if (!o->UpdateCulling(0, kCullPassMain)) list.push_back(o);
        block.Prepare(camera);
        for (VisibleObject* o : list) block.Turn(*o, o->GetUserInt2());
        for (VisibleObject* o : list) o->PreDraw();
        benchmark::DoNotOptimize(list.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void SceneFrameScene(benchmark::State& state) {
    Frame frame(static_cast<int>(state.range(0)));
    test::TestScene& scene = *frame.scene;
    for (auto _ : state) {
        scene.Update();
        if (scene.Begin()) {
            scene.Collect();
            scene.UpdateBillboards();
            scene.PreDraw();
            scene.End();
        }
        benchmark::DoNotOptimize(scene.RenderList().data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(SceneFrameRef)->Name("SceneFrame.ref")->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(SceneFrameScene)->Name("SceneFrame.scene")->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quor::world
