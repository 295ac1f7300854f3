// Vertices written per second by the vegetation, the overlay batch and the screen emitter,
// each against memcpy of the same bytes (or a plain loop doing the same work) in the same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/RecordingPrimitive.h"
#include "platform/host/ReferenceHost.h"
#include "platform/win32/Clock.h"
#include "world/core/InterfaceTable.h"
#include "world/fx/CrossTexture.h"
#include "world/fx/Grass.h"
#include "world/fx/QuadBatch.h"
#include "world/fx/UIParticleEmitter.h"

namespace {

using namespace quor;
using namespace quor::world;

struct Setup {
    host::ReferenceHost host;
    Setup() {
        Interfaces().renderer = &host.renderer;
        host.renderer.SetRecordLimit(0);
        // The batch's own work: the recording renderer's copy at submit stands for the device.
        host.renderer.copySubmitted = false;
        host.renderer.Store()->DefineEffect("res/effect/AlphaClip.fx::Common");
        host::TextureDesc blade;
        host.renderer.Store()->DefineTexture("blade.dds", blade);
        QuadBatch::Create();
    }
};

Setup& S() {
    static Setup* setup = new Setup;
    return *setup;
}

void Quiet(render::IPrimitive* p) {
    if (p) static_cast<host::RecordingPrimitive*>(p)->record = false;
}

void Memcpy(benchmark::State& state, std::size_t bytes) {
    std::vector<std::uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * bytes));
}

// --- grass sway: 1000 patches of 8 quads ---------------------------------------------------------

constexpr int kPatches = 1000;
void GrassSway_ref(benchmark::State& state) { Memcpy(state, std::size_t(kPatches) * 8 * 6 * 24); }
void GrassSway_patches(benchmark::State& state) {
    S();
    GrassMgr mgr;
    for (int i = 0; i < kPatches; ++i) {
        Grass* g = mgr.CreateGrass("blade.dds", 40, 8, 0, 0, 0, 0xFFFFFFFFu);
        Quiet(g->Primitive());
        g->SetWind(10, 5, 1);
    }
    for (auto _ : state)
        for (Grass* g : mgr.Patches()) g->Animate();
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kPatches * 8 * 6 * 24);
}
BENCHMARK(GrassSway_ref)->Name("GrassSway.ref");
BENCHMARK(GrassSway_patches)->Name("GrassSway.patches");

// --- shrubs: rebuild of 100 batches of 2000 vertices, and the per-draw copy ----------------------

std::vector<float> FullBatch() {
    std::vector<float> records;
    for (int i = 0; i < 250; ++i)
        for (float f : {float(i), 0.0f, float(i % 17), 1.0f, 1.0f, 1.0f, 1.0f, 2.0f, 5.0f}) records.push_back(f);
    return records;
}

void ShrubRebuild_ref(benchmark::State& state) { Memcpy(state, 100u * 2000 * 24); }
void ShrubRebuild_batches(benchmark::State& state) {
    S();
    const std::vector<float> records = FullBatch();
    std::vector<std::unique_ptr<CrossTexture>> batches;
    for (int i = 0; i < 100; ++i) {
        batches.push_back(std::make_unique<CrossTexture>());
        batches.back()->Init(2, records.data(), 250);
    }
    Quiet(CrossTexture::SharedPrimitive());
    for (auto _ : state)
        for (auto& b : batches) {
            b->Update(0.04f);  // past the 0.033 s step: every draw rebuilds
            b->AnimateWave();
        }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * 100 * 2000 * 24);
}
void ShrubCopy_ref(benchmark::State& state) { Memcpy(state, 2000u * 24); }
void ShrubCopy_draw(benchmark::State& state) {
    S();
    const std::vector<float> records = FullBatch();
    CrossTexture batch;
    batch.Init(2, records.data(), 250);
    Quiet(CrossTexture::SharedPrimitive());
    for (auto _ : state) batch.AnimateWave();  // no time passes: the copy alone
    state.SetBytesProcessed(std::int64_t(state.iterations()) * 2000 * 24);
}
BENCHMARK(ShrubRebuild_ref)->Name("ShrubRebuild.ref");
BENCHMARK(ShrubRebuild_batches)->Name("ShrubRebuild.batches");
BENCHMARK(ShrubCopy_ref)->Name("ShrubCopy.ref");
BENCHMARK(ShrubCopy_draw)->Name("ShrubCopy.draw");

// --- the overlay batch: 40 labels of 2400 vertices ------------------------------------------------

// Label by label as the batch goes, with the same pauses to refill the source: memcpy of one
// label's vertices to its place in an array of the batch's size.
void LabelFlush_ref(benchmark::State& state) {
    constexpr std::size_t label = 2400u * 28;
    std::vector<std::uint8_t> from(label, 1), to(std::size_t(QuadBatch::kVertices) * 28);
    for (auto _ : state) {
        for (std::size_t l = 0; l < 40; ++l) {
            state.PauseTiming();
            for (std::size_t i = 0; i < label; i += 28) from[i] = std::uint8_t(l);
            state.ResumeTiming();
            std::memcpy(to.data() + l * label, from.data(), label);
            benchmark::DoNotOptimize(to.data());
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * 40 * label));
}
// The flush alone: the queue written at 40 places of the array and submitted.
void LabelFlush_batch(benchmark::State& state) {
    S();
    for (auto _ : state) {
        QuadBatch::BeginPass();
        for (int label = 0; label < 40; ++label) {
            state.PauseTiming();
            QuadBatch::BeginLabel();
            for (int i = 0; i < 2400; ++i) QuadBatch::AddVertex(float(i), float(i), 0.5f, 0.5f, 0xFFFFFFFFu);
            state.ResumeTiming();
            QuadBatch::WriteQueued(10.5f, 20.5f, 0.5f);
            QuadBatch::DrawQueued();
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * 40 * 2400 * 28);
}
BENCHMARK(LabelFlush_ref)->Name("LabelFlush.ref");
BENCHMARK(LabelFlush_batch)->Name("LabelFlush.batch");

// --- the screen emitter: 100 emitters of 200 particles -----------------------------------------

struct PlainVertex {
    float x, y, z;
    std::uint32_t colour;
    float u, v;
};

void EmitterUpdate_ref(benchmark::State& state) {
    // Structure of arrays: the same motion, fade and six vertices per particle.
    constexpr int n = 100 * 200;
    std::vector<float> x(n, 1), y(n, 1), dx(n, 0.6f), dy(n, 0.8f), speed(n, 4), age(n, 0);
    std::vector<PlainVertex> out(200 * 6);
    const float dt = 1e-6f, life = 1e9f, h = 5;
    for (auto _ : state) {
        for (int e = 0; e < 100; ++e) {
            for (int i = e * 200, k = 0; i < (e + 1) * 200; ++i) {
                age[i] += dt;
                x[i] += speed[i] * dt * dx[i];
                y[i] += speed[i] * dt * dy[i];
                const auto a = static_cast<std::uint32_t>(std::nearbyint((life - age[i]) / life * 255.0f));
                const std::uint32_t c = a << 24 | 0xFFFFFFu;
                const float cx = 10 + x[i], cy = 20 + y[i];
                out[std::size_t(k++)] = {cx - h, cy - h, 0, c, 0, 0};
                out[std::size_t(k++)] = {cx + h, cy - h, 0, c, 1, 0};
                out[std::size_t(k++)] = {cx - h, cy + h, 0, c, 0, 1};
                out[std::size_t(k++)] = {cx - h, cy + h, 0, c, 0, 1};
                out[std::size_t(k++)] = {cx + h, cy - h, 0, c, 1, 0};
                out[std::size_t(k++)] = {cx + h, cy + h, 0, c, 1, 1};
            }
            benchmark::DoNotOptimize(out.data());
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * n);
}
void EmitterUpdate_emitters(benchmark::State& state) {
    S();
    std::vector<std::unique_ptr<UIParticleEmitter>> emitters;
    for (int i = 0; i < 100; ++i) {
        std::string name = "e";
        name += std::to_string(i);
        emitters.push_back(std::make_unique<UIParticleEmitter>(name));
        emitters.back()->SetLifetime(1e9f);
        emitters.back()->SetRate(1000);
        emitters.back()->SetRectangle(10, 110, 20, 70);
        emitters.back()->Step(0.5f);
        emitters.back()->SetRate(0);
    }
    Quiet(S().host.renderer.LastPrimitive());
    for (auto _ : state)
        for (auto& e : emitters) e->Step(1e-6f);
    state.SetItemsProcessed(std::int64_t(state.iterations()) * 100 * 200);
}
BENCHMARK(EmitterUpdate_ref)->Name("EmitterUpdate.ref");
BENCHMARK(EmitterUpdate_emitters)->Name("EmitterUpdate.emitters");

}  // namespace
