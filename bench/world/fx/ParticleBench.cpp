// Particle update of N live particles (jitter, friction, gravity) against a plain
// structure-of-arrays loop of the same physics; the quads of N particles written into the
// recording renderer's array-backed primitive against a plain loop writing the same vertices.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/RecordingPrimitive.h"
#include "tests/support/world/fx/FxSceneFixture.h"
#include "world/core/Random.h"
#include "world/fx/ParticleSystem.h"

namespace {

using namespace quor;
using world::ParticleSystem;

constexpr float kDt = 1.0f / 60.0f;
constexpr float kFriction = 0.3f;
constexpr float kGravity = -9.8f;
const Vec3 kJitter{0.5f, 0.5f, 0.5f};

void Sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t n : {1000, 10000, 100000}) b->Arg(n);
}

// One fixture for the process: a scene with a camera and one loaded system per size.
struct Systems {
    test::FxSceneFixture scene;
    std::vector<std::pair<int, std::unique_ptr<ParticleSystem, test::FxNodeDeleter>>> systems;

    ParticleSystem& Get(int n) {
        for (auto& s : systems)
            if (s.first == n) return *s.second;
        // A pool of exactly n records whose particles outlive any run.
        const std::string attrs = "FxLifeSpan=\"1e6\" Texture=\"fx/p.dds\" ParticlesPerSecond=\"" +
                                  std::to_string(n / 1000) + "\" MinSpriteLifespan=\"1e6\" MaxSpriteLifespan=\"1000\" "
                                  "EmissionType=\"0\" RandomSum=\"0.5,0.5,0.5\" Friction=\"0.3\" Gravity=\"-9.8\" "
                                  "AlongMoveDir=\"0\" MinRadius=\"2\" MaxRadius=\"4\"";
        auto ps = scene.Load<ParticleSystem>("ParticleSystem", attrs,
                                             "<EmissionRadiusFrame><K Time=\"0\" Value=\"20\"/></EmissionRadiusFrame>");
        ps->SetPlaying(true);
        SeedRand(1);
        ps->Emit(n);
        static_cast<host::RecordingPrimitive*>(ps->Primitive())->record = false;
        systems.emplace_back(n, std::move(ps));
        return *systems.back().second;
    }
};

Systems& TheSystems() {
    static auto* s = new Systems;
    return *s;
}

struct Soa {
    std::vector<float> px, py, pz, qx, qy, qz, vx, vy, vz, age, life;
    explicit Soa(const ParticleSystem& ps) {
        for (const world::Particle* p : ps.LiveParticles()) {
            px.push_back(p->position.x);
            py.push_back(p->position.y);
            pz.push_back(p->position.z);
            qx.push_back(0);
            qy.push_back(0);
            qz.push_back(0);
            vx.push_back(p->velocity.x);
            vy.push_back(p->velocity.y);
            vz.push_back(p->velocity.z);
            age.push_back(p->age);
            life.push_back(p->lifeSpan);
        }
    }
};

float Jitter(float v, float b) { return v + (-b + 2 * b * float(Rand()) / 32767.0f); }

void UpdateRef(benchmark::State& state) {
    const int n = int(state.range(0));
    Soa s(TheSystems().Get(n));
    for (auto _ : state) {
        for (std::size_t i = 0; i < s.px.size(); ++i) {
            if (s.life[i] <= s.age[i]) continue;
            s.age[i] += kDt;
            s.qx[i] = s.px[i];
            s.qy[i] = s.py[i];
            s.qz[i] = s.pz[i];
            const float ox = s.vx[i], oy = s.vy[i], oz = s.vz[i];
            const float wx = Jitter(ox, kJitter.x), wy = Jitter(oy, kJitter.y), wz = Jitter(oz, kJitter.z);
            const float k = std::sqrt(ox * ox + oy * oy + oz * oz) / std::sqrt(wx * wx + wy * wy + wz * wz);
            s.vx[i] = wx * k;
            s.vy[i] = wy * k;
            s.vz[i] = wz * k;
            s.px[i] += s.vx[i] * kDt;
            s.py[i] += s.vy[i] * kDt;
            s.pz[i] += s.vz[i] * kDt;
            const float f = std::max(0.0f, 1.0f - kDt * kFriction);
            s.vx[i] *= f;
            s.vy[i] = s.vy[i] * f + kDt * kGravity;
            s.vz[i] *= f;
        }
        benchmark::DoNotOptimize(s.px.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void UpdatePool(benchmark::State& state) {
    const int n = int(state.range(0));
    ParticleSystem& ps = TheSystems().Get(n);
    for (auto _ : state) {
        ps.Integrate(kDt);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void QuadsRef(benchmark::State& state) {
    const int n = int(state.range(0));
    ParticleSystem& ps = TheSystems().Get(n);
    ps.PrepareQuads();
    const Vec3 a = ps.AxisA(), b = ps.AxisB();
    std::vector<host::PrimitiveVertex> out(std::size_t(n) * 4);
    const auto live = ps.LiveParticles();
    for (auto _ : state) {
        std::size_t v = 0;
        for (const world::Particle* p : live) {
            const Vec3 W = b * p->size, H = a * p->size, q = p->position;
            const Vec3 c[4] = {q - W + H, q + W + H, q + W - H, q - W - H};
            const float uv[8] = {0, 0, 1, 0, 1, 1, 0, 1};
            for (int k = 0; k < 4; ++k) out[v++] = {c[k].x, c[k].y, c[k].z, 0xFFFFFFFFu, uv[2 * k], uv[2 * k + 1]};
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = benchmark::Counter(4.0 * n, benchmark::Counter::kIsIterationInvariantRate);
}

void QuadsRender(benchmark::State& state) {
    const int n = int(state.range(0));
    ParticleSystem& ps = TheSystems().Get(n);
    for (auto _ : state) {
        ps.Render();
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = benchmark::Counter(4.0 * n, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(UpdateRef)->Name("ParticleUpdate.ref")->Apply(Sizes);
BENCHMARK(UpdatePool)->Name("ParticleUpdate.pool")->Apply(Sizes);
BENCHMARK(QuadsRef)->Name("ParticleQuads.ref")->Apply(Sizes);
BENCHMARK(QuadsRender)->Name("ParticleQuads.render")->Apply(Sizes);
