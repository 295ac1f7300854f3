// Steady playback through a table of 256 keys: each frame searches from the previous hit
// ("lasthit"), against a binary search of the whole table every frame ("ref").
#include "world/core/KeyTimeTable.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr int kKeys = 256;
constexpr float kStep = 16.6667f;

const std::vector<float>& Keys() {
    static const std::vector<float> keys = [] {
        std::vector<float> k(kKeys);
        for (int i = 0; i < kKeys; ++i) k[static_cast<std::size_t>(i)] = static_cast<float>(i) * 40.0f;
        return k;
    }();
    return keys;
}

void KeyFindLastHit(benchmark::State& state) {
    quor::KeyTimeTable table;
    table.Assign(Keys().data(), kKeys);
    const float end = Keys().back();
    float t = 0;
    std::uint16_t hit = 0;
    float fraction = 0;
    for (auto _ : state) {
        hit = table.FindForward(t, hit, &fraction);
        benchmark::DoNotOptimize(fraction);
        t += kStep;
        if (t >= end) t -= end;
    }
}

void KeyFindRef(benchmark::State& state) {
    const std::vector<float>& keys = Keys();
    const float end = keys.back();
    float t = 0;
    float fraction = 0;
    for (auto _ : state) {
        auto it = std::upper_bound(keys.begin(), keys.end(), t);
        const std::size_t i = static_cast<std::size_t>(it - keys.begin()) - 1;
        fraction = (t - keys[i]) / (keys[i + 1] - keys[i]);
        benchmark::DoNotOptimize(fraction);
        t += kStep;
        if (t >= end) t -= end;
    }
}

}  // namespace

BENCHMARK(KeyFindRef)->Name("KeyFind.ref");
BENCHMARK(KeyFindLastHit)->Name("KeyFind.lasthit");
