// The 3D scene's per-frame rebuild of its transparent-part list against std::sort of the same
// entries in a plain vector.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "platform/host/RecordingRenderer.h"
#include "world/core/InterfaceTable.h"
#include "world/core/VisibleObject.h"
#include "world/scene/Scene3D.h"

namespace {

using namespace quor;
using namespace quor::world;

// An object with transparent parts at fixed centres.
class Parts final : public VisibleObject {
public:
    int GetPartCount() override { return static_cast<int>(centres.size()); }
    int GetDrawPass() override { return 1; }
    int GetPartDrawPass(int) override { return 1; }
    Vec3 GetPartCenter(int part, int) override { return centres[static_cast<std::size_t>(part)]; }
    std::vector<Vec3> centres;
};

constexpr int kPartsPerObject = 4;
const Vec3 kEye{1, 2, 3};
const Vec3 kDir{0.267f, 0.535f, 0.802f};

struct Scene {
    explicit Scene(int parts) {
        std::mt19937 rng(11);
        std::uniform_real_distribution<float> d(-1000.0f, 1000.0f);
        for (int i = 0; i < parts; i += kPartsPerObject) {
            owned.push_back(std::make_unique<Parts>());
            for (int p = 0; p < kPartsPerObject && i + p < parts; ++p) owned.back()->centres.push_back({d(rng), d(rng), d(rng)});
            list.push_back(owned.back().get());
        }
    }
    std::vector<std::unique_ptr<Parts>> owned;
    std::vector<VisibleObject*> list;
};

struct RendererScope {
    RendererScope() : previous(Interfaces().renderer) { Interfaces().renderer = &renderer; }
    ~RendererScope() { Interfaces().renderer = previous; }
    host::RecordingRenderer renderer;
    render::IRenderer* previous;
};

// The same entries, keys computed once, copied into a plain vector and sorted each frame.
void SortedPartsRef(benchmark::State& state) {
    RendererScope scope;
    const int n = static_cast<int>(state.range(0));
    Scene scene(n);
    std::vector<SortedPart> entries;
    BuildSortedParts(scene.list, kEye, kDir, entries);
    std::shuffle(entries.begin(), entries.end(), std::mt19937(5));
    std::vector<SortedPart> work;
    work.reserve(entries.size());
    for (auto _ : state) {
        work.assign(entries.begin(), entries.end());
        std::sort(work.begin(), work.end(), [](const SortedPart& a, const SortedPart& b) { return a.depth < b.depth; });
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void SortedPartsRebuild(benchmark::State& state) {
    RendererScope scope;
    const int n = static_cast<int>(state.range(0));
    Scene scene(n);
    std::vector<SortedPart> out;
    out.reserve(256);
    for (auto _ : state) {
        BuildSortedParts(scene.list, kEye, kDir, out);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

}  // namespace

BENCHMARK(SortedPartsRef)->Name("SortedParts.ref")->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(SortedPartsRebuild)->Name("SortedParts.rebuild")->Arg(1000)->Arg(10000)->Arg(100000);
