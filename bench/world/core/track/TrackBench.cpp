// Sampled tracks of 64 quaternion keys advanced one frame each (tick, key search from the
// last hit, sample, evaluation tail), against a plain loop over the same keys ("ref": index
// from the last hit, lerp, slerp, matrix). KeyCurve::Evaluate against a binary search and
// lerp over a sorted array ("ref").
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "world/core/FrameTimeControl.h"
#include "world/core/Memory.h"
#include "world/core/math/Matrix.h"
#include "world/core/math/Quaternion.h"
#include "world/core/track/KeyCurve.h"
#include "world/core/track/TrackDataMgr.h"
#include "world/core/track/TrackSampled.h"
#include "world/core/track/TrackTemplates.h"

namespace {

using namespace quor;
using namespace quor::world;

constexpr int kKeys = 64;
constexpr float kStepMs = 16.0f;

struct Keys {
    std::vector<float> times, positions, rotations, scales;
};

// Keys 40 ms apart, positions along a wiggle, rotations about a drifting axis.
Keys MakeKeys(int seed) {
    std::mt19937 rng(static_cast<unsigned>(seed));
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    Keys k;
    for (int i = 0; i < kKeys; ++i) {
        k.times.push_back(40.0f * static_cast<float>(i));
        k.positions.insert(k.positions.end(), {u(rng) * 5, u(rng) * 5, u(rng) * 5});
        Quaternion q{u(rng), u(rng), u(rng), u(rng) + 2.0f};
        const float len = std::sqrt(QuaternionDot(q, q));
        k.rotations.insert(k.rotations.end(), {q.x / len, q.y / len, q.z / len, q.w / len});
        k.scales.insert(k.scales.end(), {1.0f, 1.0f, 1.0f});
    }
    return k;
}

void SetFrameStep() {
    FrameTimeControl::Instance().SetFrameRate(1000);
    FrameTimeControl::Instance().SetSpeed(kStepMs);
}

void TrackAdvanceSampled(benchmark::State& state) {
    SetFrameStep();
    const int n = static_cast<int>(state.range(0));
    std::vector<Keys> keys;
    std::vector<std::unique_ptr<TrackSampled>> tracks;
    for (int i = 0; i < n; ++i) {
        keys.push_back(MakeKeys(i));
        TrackSampledTemplate t;
        t.loop = 1;
        t.keyTimes = keys.back().times.data();
        t.positions = keys.back().positions.data();
        t.rotations = keys.back().rotations.data();
        t.scales = keys.back().scales.data();
        t.keyCount = kKeys;
        t.hasPositionKeys = t.hasRotationKeys = 1;
        tracks.emplace_back(NewObject<TrackSampled>());
        tracks.back()->InitFrom(&t);
        tracks.back()->Start();
        tracks.back()->SetTime(static_cast<float>(i % 2000));
    }
    for (auto _ : state) {
        for (auto& t : tracks) t->Advance();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
    tracks.clear();
    TrackDataMgr::GetInstance().Clear();
}

// The plain loop the sampled track is measured against.
struct PlainTrack {
    const Keys* keys;
    double time = 0.0;
    int hit = 0;
    Matrix out;
};

void Slerp(const float* a, const float* b, float t, float* out) {
    float bx = b[0], by = b[1], bz = b[2], bw = b[3];
    float c = a[0] * bx + a[1] * by + a[2] * bz + a[3] * bw;
    if (c < 0.0f) {
        c = -c;
        bx = -bx, by = -by, bz = -bz, bw = -bw;
    }
    float wa = 1.0f - t, wb = t;
    if (c <= 0.9999f) {
        const float angle = std::acos(c), s = 1.0f / std::sin(angle);
        wa = std::sin(wa * angle) * s;
        wb = std::sin(wb * angle) * s;
    }
    out[0] = wa * a[0] + wb * bx;
    out[1] = wa * a[1] + wb * by;
    out[2] = wa * a[2] + wb * bz;
    out[3] = wa * a[3] + wb * bw;
}

void TrackAdvanceRef(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<Keys> keys;
    for (int i = 0; i < n; ++i) keys.push_back(MakeKeys(i));
    std::vector<PlainTrack> tracks(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        tracks[static_cast<std::size_t>(i)].keys = &keys[static_cast<std::size_t>(i)];
        tracks[static_cast<std::size_t>(i)].time = i % 2000;
    }
    const double length = 40.0 * (kKeys - 1);
    for (auto _ : state) {
        for (PlainTrack& t : tracks) {
            t.time += kStepMs;
            if (t.time >= length) t.time -= length;
            const std::vector<float>& times = t.keys->times;
            const float at = static_cast<float>(t.time);
            if (at < times[static_cast<std::size_t>(t.hit)]) t.hit = 0;
            while (t.hit + 1 < kKeys && at >= times[static_cast<std::size_t>(t.hit) + 1]) ++t.hit;
            const std::size_t i = static_cast<std::size_t>(t.hit), j = std::min<std::size_t>(i + 1, kKeys - 1);
            const float f = j > i ? (at - times[i]) / (times[j] - times[i]) : 0.0f;
            const float* p = t.keys->positions.data();
            Quaternion q;
            Slerp(&t.keys->rotations[i * 4], &t.keys->rotations[j * 4], f, &q.x);
            QuaternionToMatrix(q, t.out);
            for (int a = 0; a < 3; ++a) t.out.m[12 + a] = p[i * 3 + a] + (p[j * 3 + a] - p[i * 3 + a]) * f;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

std::vector<float> CurveTimes(int keys) {
    std::vector<float> t;
    for (int i = 0; i < keys; ++i) t.push_back(static_cast<float>(i) / static_cast<float>(keys - 1));
    return t;
}

void KeyCurveEvaluate(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    KeyCurve curve(0);
    const std::vector<float> times = CurveTimes(n);
    for (int i = 0; i < n; ++i) curve.AddKey(times[static_cast<std::size_t>(i)], static_cast<float>(i * i % 7));
    float t = 0.0f, sum = 0.0f;
    for (auto _ : state) {
        sum += curve.Evaluate(t);
        t += 0.0137f;
        if (t > 1.0f) t -= 1.0f;
    }
    benchmark::DoNotOptimize(sum);
}

void KeyCurveRef(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<float> times = CurveTimes(n);
    std::vector<float> values;
    for (int i = 0; i < n; ++i) values.push_back(static_cast<float>(i * i % 7));
    float t = 0.0f, sum = 0.0f;
    for (auto _ : state) {
        const float c = std::clamp(t, times.front(), times.back());
        auto hi = std::lower_bound(times.begin(), times.end(), c);
        if (hi == times.begin()) ++hi;
        const std::size_t j = static_cast<std::size_t>(hi - times.begin()), i = j - 1;
        sum += values[i] + (values[j] - values[i]) * (c - times[i]) / (times[j] - times[i]);
        t += 0.0137f;
        if (t > 1.0f) t -= 1.0f;
    }
    benchmark::DoNotOptimize(sum);
}

}  // namespace

BENCHMARK(TrackAdvanceRef)->Name("TrackAdvance.ref")->Arg(1000)->Arg(10000);
BENCHMARK(TrackAdvanceSampled)->Name("TrackAdvance.sampled")->Arg(1000)->Arg(10000);
BENCHMARK(KeyCurveRef)->Name("KeyCurveEvaluate.ref")->Arg(8)->Arg(64);
BENCHMARK(KeyCurveEvaluate)->Name("KeyCurveEvaluate.keycurve")->Arg(8)->Arg(64);
