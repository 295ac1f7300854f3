// The 2D ground: a 64 x 64-block map scrolled 16 pixels a frame with the inline loader, the
// whole ScreenMgr frame against the bare loads of the same block files (read, decode, upload
// into the renderer's store) in a plain loop; with the blocks resident, the frame's pass
// against a loop issuing the same quad draws; the opacity test against a direct texel read.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/d3d9/Texture.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Messages.h"
#include "tests/support/world/scene/GroundFiles.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/scene/ScreenMgr.h"

namespace quor::world {
namespace {

constexpr int kBlocks = 64;
constexpr int kSide = 256;
constexpr std::uint32_t kImage = 256;  // block image side, as the map's blocks are
// Block files exist where the scroll path can reach (the rest of the map is never in view).
constexpr int kFileRows = 20, kFileCols = 32;
constexpr int kW = 640, kH = 480;
constexpr int kCycle = 400;            // frames of one scroll there and back

std::string BlockName(int r, int c, const char* dir = "g") {
    return std::string(dir) + "\\map_" + std::to_string(r) + "_" + std::to_string(c);
}

std::vector<std::uint8_t> BlockImage(int y, int x) {
    return fixtures::DdsBytes(kImage, kImage, [x, y](std::uint32_t px, std::uint32_t py) {
        return 0xFF000000u | std::uint32_t((x * 7 + y * 13 + int(px + py)) & 0xFF);
    });
}

// Where the view is at frame f of the cycle: diagonally out 16 pixels a frame, then back.
void ViewAt(int f, float* view) {
    const int step = f < kCycle / 2 ? f : kCycle - f;
    view[0] = -16.0f * float(step) * 2.0f;
    view[1] = -16.0f * float(step);
}

struct Ground {
    test::WorldFixture fx;
    std::unique_ptr<ScreenMgr> ground;
    std::vector<std::string> loaded;  // copies of the block files one cycle loads, in order
    int frame = 0;

    Ground() {
        auto& r = fx.host().renderer;
        r.backBufferWidth = kW;
        r.backBufferHeight = kH;
        r.SetRecordLimit(0);
        win32::MessageSink::Instance().SetRecordLimit(0);
        auto* files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        for (int y = 0; y < kFileRows; ++y)
            for (int x = 0; x < kFileCols; ++x)
                files->AddFile(BlockName(y, x) + ".dds", BlockImage(y, x));
        win32::TimeSource::SetManual(1000);
        ground = std::make_unique<ScreenMgr>(nullptr, true);
        const int size[2] = {kBlocks * kSide, kBlocks * kSide};
        ground->Init("g", size);
        // Two cycles to reach the steady state; the second tells which files a cycle loads.
        for (int i = 0; i < 2 * kCycle; ++i) {
            std::vector<bool> had(ground->Blocks().size());
            for (std::size_t b = 0; b < had.size(); ++b) had[b] = ground->Blocks()[b].texture;
            Frame();
            if (i < kCycle) continue;
            for (std::size_t b = 0; b < had.size(); ++b) {
                if (had[b] || !ground->Blocks()[b].texture) continue;
                // The reference loads copies under another directory: a block the ground still
                // holds would otherwise come from the renderer's cache instead of the file.
                const int r = int(b) / kBlocks, c = int(b) % kBlocks;
                loaded.push_back(BlockName(r, c, "copy") + ".dds");
                files->AddFile(loaded.back(), BlockImage(r, c));
            }
        }
    }
    void Frame() {
        win32::TimeSource::Advance(16);
        float view[2];
        ViewAt(frame % kCycle, view);
        ground->SetViewPosition(view);
        ground->UpdateBlocks();
        ground->Update(nullptr, false);
        ground->Loader().RunBatch();
        ++frame;
    }
};

Ground& TheGround() {
    static Ground g;
    return g;
}

void BM_GroundFrame(benchmark::State& state) {
    Ground& g = TheGround();
    const GroundCounters before = g.ground->TotalCounters();
    for (auto _ : state)
        for (int i = 0; i < kCycle; ++i) g.Frame();
    const GroundCounters& after = g.ground->TotalCounters();
    const double cycles = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["loads"] = double(g.loaded.size());
    state.counters["requested"] = double(after.requested - before.requested) / cycles;
    state.counters["installed"] = double(after.installed - before.installed) / cycles;
}
BENCHMARK(BM_GroundFrame)->Name("GroundStreaming.screenmgr")->Unit(benchmark::kMillisecond);

void BM_GroundFrameRef(benchmark::State& state) {
    Ground& g = TheGround();
    render::IRenderer& renderer = g.fx.host().renderer;
    for (auto _ : state) {
        for (const std::string& name : g.loaded) {
            render::ITexture* t = renderer.LoadTexture(name.c_str(), 21, 0, -3, 0, 0, 0);
            benchmark::DoNotOptimize(t);
            if (t) renderer.UnloadTexture(t->GetSurface(), 1);
        }
    }
}
BENCHMARK(BM_GroundFrameRef)->Name("GroundStreaming.ref")->Unit(benchmark::kMillisecond);

// Resident blocks: the view stands still, so the pass only places and draws. The streaming
// benchmark moves the shared view, so each run settles it again first.
struct Still {
    Ground& g = TheGround();
    Still() {
        const float view[2] = {-2000, -1500};
        for (int i = 0; i < 16; ++i) {
            win32::TimeSource::Advance(16);
            g.ground->SetViewPosition(view);
            g.ground->UpdateBlocks();
            g.ground->Update(nullptr, false);
            g.ground->Loader().RunBatch();
        }
    }
};

void BM_GroundDraw(benchmark::State& state) {
    const Still still;
    ScreenMgr& ground = *still.g.ground;
    for (auto _ : state) {
        ground.UpdateBlocks();
        ground.Update(nullptr, false);
    }
    state.counters["drawn"] = ground.BlocksDrawn();
}
BENCHMARK(BM_GroundDraw)->Name("GroundPass.screenmgr");

void BM_GroundDrawRef(benchmark::State& state) {
    const Still still;
    ScreenMgr& ground = *still.g.ground;
    render::IRenderer& renderer = still.g.fx.host().renderer;
    const int* vr = ground.VisibleRange();
    std::vector<const GroundBlock*> blocks;
    for (int r = vr[1]; r <= vr[3]; ++r)
        for (int c = vr[0]; c <= vr[2]; ++c) blocks.push_back(&ground.Blocks()[std::size_t(r * kBlocks + c)]);
    const float uv[4] = {0, 0, 1, 1};
    for (auto _ : state) {
        for (const GroundBlock* b : blocks) {
            const float c = float(std::int64_t(b - ground.Blocks().data()) % kBlocks) * kSide;
            const float rect[4] = {c - 2000, 0, c + kSide - 2000, kSide};
            b->quad->DrawEx(0, rect, 0, uv);
            if (renderer.IsTextureReady(b->textureHandle)) b->quad->Draw(-1, -1, 3);
        }
    }
}
BENCHMARK(BM_GroundDrawRef)->Name("GroundPass.ref");

std::vector<float> OpaquePoints() {
    std::vector<float> p;
    std::uint32_t s = 1;
    for (int i = 0; i < 4096; ++i) {
        s = s * 214013u + 2531011u;
        p.push_back(2000.0f + float((s >> 16) & 0x1FF));
        s = s * 214013u + 2531011u;
        p.push_back(1500.0f + float((s >> 16) & 0x1FF));
    }
    return p;
}

void BM_GroundOpaque(benchmark::State& state) {
    const Still still;
    static const std::vector<float> points = OpaquePoints();
    for (auto _ : state) {
        int n = 0;
        for (std::size_t i = 0; i < points.size(); i += 2) n += still.g.ground->IsOpaqueAt(&points[i]);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_GroundOpaque)->Name("GroundOpaque.screenmgr");

// The texel straight from the block's pixels, the block and its bits looked up the plain way.
void BM_GroundOpaqueRef(benchmark::State& state) {
    const Still still;
    static const std::vector<float> points = OpaquePoints();
    const std::vector<GroundBlock>& blocks = still.g.ground->Blocks();
    for (auto _ : state) {
        int n = 0;
        for (std::size_t i = 0; i < points.size(); i += 2) {
            const int x = int(points[i]), y = int(points[i + 1]);
            const GroundBlock& b = blocks[std::size_t((y / kSide) * kBlocks + x / kSide)];
            auto* t = b.texture ? static_cast<d3d9::IDirect3DTexture9*>(b.texture->GetRenderSurface()) : nullptr;
            const d3d9::IDirect3DSurface9* level = t ? t->Level(0) : nullptr;
            const std::uint32_t tx = std::uint32_t(x % kSide), ty = std::uint32_t(y % kSide);
            n += !level || tx >= level->Width() || ty >= level->Height() ||
                 level->Bits()[(std::size_t(ty) * level->Width() + tx) * 4 + 3] == 255;
        }
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_GroundOpaqueRef)->Name("GroundOpaque.ref");

}  // namespace
}  // namespace quor::world
