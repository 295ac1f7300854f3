// LodGroup::Update against a flat loop doing the same threshold search with one indirect call
// per member.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "world/core/Camera.h"
#include "world/core/InterfaceTable.h"
#include "world/core/LodGroup.h"
#include "world/core/VisibleObject.h"
#include "platform/host/RecordingRenderer.h"

namespace {

using namespace quor;
using namespace quor::world;

class Member final : public VisibleObject {
public:
    void SetLod(int level, int a, int b) override { sum += level + a + b; }
    long sum = 0;
};

constexpr float kDistances[] = {0, 20, 40, 0, 80, 160, 150, 320, 0, 640, 0, 0, 0, 0, 0, 1280};

std::vector<Vec3> Positions(int n) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(-1500.0f, 1500.0f);
    std::vector<Vec3> out(static_cast<std::size_t>(n));
    for (Vec3& p : out) p = {d(rng), d(rng), d(rng)};
    return out;
}

// The same members given their levels by a bare loop: positions from a flat array, the same
// threshold search, one indirect call per member.
void LodGroupUpdateRef(benchmark::State& state) {
    host::RecordingRenderer renderer;
    render::IRenderer* previous = Interfaces().renderer;
    Interfaces().renderer = &renderer;
    {
        const int n = static_cast<int>(state.range(0));
        const std::vector<Vec3> positions = Positions(n);
        std::vector<std::unique_ptr<Member>> owned;
        std::vector<VisibleObject*> targets;
        for (int i = 0; i < n; ++i) {
            owned.push_back(std::make_unique<Member>());
            owned.back()->SetPosition(positions[static_cast<std::size_t>(i)]);
            targets.push_back(owned.back().get());
        }
        std::int32_t p1[16], p2[16];
        for (int i = 0; i < 16; ++i) p1[i] = i, p2[i] = -i;
        const Vec3 eye{10, 20, 30};
        for (auto _ : state) {
            int levels[16] = {0};
            float limits[16] = {};
            int count = 0;
            for (int i = 1; i < 16; ++i) {
                const float s = kDistances[i] * kDistances[i];
                if (!(kDistances[i] > 0.0f) || (count > 0 && limits[count - 1] >= s)) continue;
                limits[count] = s;
                levels[++count] = i;
            }
            for (std::size_t i = 0; i < positions.size(); ++i) {
                const float dx = positions[i].x - eye.x, dy = positions[i].y - eye.y, dz = positions[i].z - eye.z;
                const float s = dx * dx + dy * dy + dz * dz;
                const int level = levels[std::upper_bound(limits, limits + count, s) - limits];
                targets[i]->SetLod(level, p1[level], p2[level]);
            }
            benchmark::ClobberMemory();
        }
        state.SetItemsProcessed(state.iterations() * n);
    }
    Interfaces().renderer = previous;
}

void LodGroupUpdateGroup(benchmark::State& state) {
    host::RecordingRenderer renderer;
    render::IRenderer* previous = Interfaces().renderer;
    Interfaces().renderer = &renderer;
    {
        const int n = static_cast<int>(state.range(0));
        const std::vector<Vec3> positions = Positions(n);
        std::vector<std::unique_ptr<Member>> members;
        LodGroup group;
        for (int i = 1; i < 16; ++i) group.SetLevel(i, kDistances[i], i, -i);
        for (int i = 0; i < n; ++i) {
            members.push_back(std::make_unique<Member>());
            members.back()->SetPosition(positions[static_cast<std::size_t>(i)]);
            group.AddObject(members.back().get());
        }
        Camera camera;
        camera.SetPosition({10, 20, 30});
        group.Update(&camera);  // world matrices made once, as after a frame's update
        for (auto _ : state) {
            group.Update(&camera);
            benchmark::ClobberMemory();
        }
        state.SetItemsProcessed(state.iterations() * n);
        group.RemoveAll();
    }
    Interfaces().renderer = previous;
}

}  // namespace

BENCHMARK(LodGroupUpdateRef)->Name("LodGroupUpdate.ref")->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(LodGroupUpdateGroup)->Name("LodGroupUpdate.group")->Arg(1000)->Arg(10000)->Arg(100000);
