// Area map lookups at random pixels of a 1024 x 1024 mask made of a few filled ellipses:
// the run-length rows ("rle") against indexing the unpacked bitmap ("ref").
#include "world/scene/AreaData.h"

#include "tests/support/world/scene/MapFixtures.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

constexpr std::int32_t kSize = 1024;
constexpr int kPoints = 4096;

struct Mask {
    quor::fixtures::Bitmap8 bmp;
    quor::AreaData area;
    std::vector<std::int32_t> xs, ys;
};

Mask& GetMask() {
    static Mask k;
    static const bool built = [] {
        k.bmp.width = kSize;
        k.bmp.height = kSize;
        k.bmp.palette = quor::fixtures::TestPalette(256);
        k.bmp.pixels.assign(static_cast<std::size_t>(kSize) * kSize, 0);
        const struct { double cx, cy, rx, ry; std::uint8_t v; } shapes[] = {
            {300, 300, 200, 120, 1}, {700, 400, 150, 260, 2}, {500, 800, 320, 90, 3}, {820, 820, 90, 90, 4}};
        for (std::int32_t y = 0; y < kSize; ++y) {
            for (std::int32_t x = 0; x < kSize; ++x) {
                for (const auto& s : shapes) {
                    const double dx = (x - s.cx) / s.rx, dy = (y - s.cy) / s.ry;
                    if (dx * dx + dy * dy <= 1.0) k.bmp.pixels[static_cast<std::size_t>(y) * kSize + x] = s.v;
                }
            }
        }
        const auto bytes = k.bmp.Build();
        k.area.LoadFromMemory(bytes.data(), bytes.size(), "mask.bmp");
        std::uint32_t state = 1;
        auto next = [&state] {
            state = state * 214013u + 2531011u;
            return static_cast<std::int32_t>((state >> 16) & 0x7FFF);
        };
        for (int i = 0; i < kPoints; ++i) {
            k.xs.push_back(next() % kSize);
            k.ys.push_back(next() % kSize);
        }
        return true;
    }();
    (void)built;
    return k;
}

void BM_AreaRle(benchmark::State& state) {
    Mask& m = GetMask();
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (int i = 0; i < kPoints; ++i) sum += static_cast<std::uint32_t>(m.area.GetValue(m.xs[i], m.ys[i]));
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_AreaRle)->Name("AreaLookup.rle");

void BM_AreaDirect(benchmark::State& state) {
    Mask& m = GetMask();
    const std::uint8_t* pixels = m.bmp.pixels.data();
    const std::uint32_t* palette = m.bmp.palette.data();
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (int i = 0; i < kPoints; ++i) {
            const std::int32_t x = m.xs[i], y = m.ys[i];
            // The same bounds test a lookup has to make.
            if (x >= 0 && y >= 0 && x < kSize && y < kSize) sum += palette[pixels[static_cast<std::size_t>(y) * kSize + x]];
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_AreaDirect)->Name("AreaLookup.ref");

}  // namespace
