// The 2D ground: a 64 x 64-block map scrolled 16 pixels a frame with the inline loader, the
// whole ScreenMgr frame against the bare loads of the same block files (read, decode, upload
// into the renderer's store) in a plain loop; with the blocks resident, the frame's pass
// against a loop issuing the same quad draws; the opacity test against a direct texel read.
//
// Every case builds its own host, renderer store and ground, so nothing one case leaves behind
// (textures held, the view, the store's history) reaches the next when cases are interleaved.
#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/d3d9/Texture.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingPrimitive.h"
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
constexpr int kW = 640, kH = 480;
// One cycle: the view scrolls 16 pixels a frame across half the map's width and back. The
// request and release scans take 8 of the 4096 blocks a frame, so they come round every 512
// frames: once settled, every cycle loads and releases the same blocks in the same order.
constexpr int kCycle = 1024;
constexpr float kStep = 16.0f;
constexpr float kStart = 256.0f;
// Block files exist where the view and its preload margins reach (the rest is never asked).
constexpr int kFileRows = 5, kFileCols = 41;
// The still view of the resident cases.
constexpr float kStillView[2] = {-1024.0f, -256.0f};

std::string BlockFile(int index) {
    return "g\\map_" + std::to_string(index / kBlocks) + "_" + std::to_string(index % kBlocks) + ".dds";
}

// The block images, made once for every case.
const std::vector<std::vector<std::uint8_t>>& BlockImages() {
    static const std::vector<std::vector<std::uint8_t>> images = [] {
        std::vector<std::vector<std::uint8_t>> all;
        for (int y = 0; y < kFileRows; ++y)
            for (int x = 0; x < kFileCols; ++x)
                all.push_back(fixtures::DdsBytes(kImage, kImage, [x, y](std::uint32_t px, std::uint32_t py) {
                    return 0xFF000000u | std::uint32_t((x * 7 + y * 13 + int(px + py)) & 0xFF);
                }));
        return all;
    }();
    return images;
}

// Where the view is at frame f of the cycle.
void ViewAt(int f, float* view) {
    const int step = f < kCycle / 2 ? f : kCycle - f;
    view[0] = -(kStart + kStep * float(step));
    view[1] = -kStart;
}

// What the ground did to the store in one cycle, frame by frame: the blocks it released, then
// the blocks its loader loaded, each in order.
struct CycleLog {
    std::vector<std::vector<int>> released{std::size_t(kCycle)};
    std::vector<std::vector<int>> loaded{std::size_t(kCycle)};
    bool operator==(const CycleLog& o) const { return released == o.released && loaded == o.loaded; }
    std::size_t Count(const std::vector<std::vector<int>>& frames) const {
        std::size_t n = 0;
        for (const auto& f : frames) n += f.size();
        return n;
    }
};

struct Ground {
    test::WorldFixture fx;
    std::unique_ptr<ScreenMgr> ground;
    int frame = 0;

    Ground() {
        auto& r = fx.host().renderer;
        r.backBufferWidth = kW;
        r.backBufferHeight = kH;
        r.SetRecordLimit(0);
        win32::MessageSink::Instance().SetRecordLimit(0);
        auto* files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        const auto& images = BlockImages();
        for (int y = 0; y < kFileRows; ++y)
            for (int x = 0; x < kFileCols; ++x)
                files->AddFile(BlockFile(y * kBlocks + x), images[std::size_t(y * kFileCols + x)]);
        win32::TimeSource::SetManual(1000);
        ground = std::make_unique<ScreenMgr>(nullptr, true);
        const int size[2] = {kBlocks * kSide, kBlocks * kSide};
        ground->Init("g", size);
        // The quads keep no call log: a long run would only grow it.
        for (const GroundBlock& b : ground->Blocks()) static_cast<host::RecordingPrimitive*>(b.quad)->record = false;
    }

    void Step(const float* view) {
        win32::TimeSource::Advance(16);
        ground->SetViewPosition(view);
        ground->UpdateBlocks();
        ground->Update(nullptr, false);
        ground->Loader().RunBatch();
    }
    void Frame() {
        float view[2];
        ViewAt(frame % kCycle, view);
        Step(view);
        ++frame;
    }
    // One cycle, noting what the ground released and loaded.
    CycleLog LoggedCycle() {
        CycleLog log;
        std::vector<bool> had(ground->Blocks().size());
        for (int f = 0; f < kCycle; ++f) {
            for (std::size_t b = 0; b < had.size(); ++b) had[b] = ground->Blocks()[b].texture;
            Frame();
            for (std::size_t b = 0; b < had.size(); ++b)
                if (had[b] && !ground->Blocks()[b].texture) log.released[std::size_t(f)].push_back(int(b));
            for (const auto& job : ground->Loader().GetFinishedJobs())
                if (job && job->kind == GroundLoadJob::kBlock) log.loaded[std::size_t(f)].push_back(job->index);
        }
        return log;
    }
    // Cycles until one repeats the one before (at most a few); the repeated cycle's log.
    CycleLog Settle(bool* periodic) {
        CycleLog last = LoggedCycle();
        for (int i = 0; i < 6; ++i) {
            CycleLog next = LoggedCycle();
            *periodic = next == last;
            last = std::move(next);
            if (*periodic) break;
        }
        return last;
    }
    std::vector<int> Resident() const {
        std::vector<int> held;
        for (std::size_t b = 0; b < ground->Blocks().size(); ++b)
            if (ground->Blocks()[b].texture) held.push_back(int(b));
        return held;
    }
    // The still view of the resident cases, settled: every block in range installed.
    void Still() {
        for (int i = 0; i < 16; ++i) Step(kStillView);
    }
};

void BM_GroundFrame(benchmark::State& state) {
    Ground g;
    bool periodic = false;
    g.Settle(&periodic);
    const GroundCounters before = g.ground->TotalCounters();
    for (auto _ : state)
        for (int i = 0; i < kCycle; ++i) g.Frame();
    const GroundCounters& after = g.ground->TotalCounters();
    const double cycles = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["periodic"] = periodic;
    state.counters["requested"] = double(after.requested - before.requested) / cycles;
    state.counters["installed"] = double(after.installed - before.installed) / cycles;
    state.counters["released"] = double(after.released - before.released) / cycles;
    state.counters["duplicates"] = double(after.duplicates - before.duplicates);
}
BENCHMARK(BM_GroundFrame)->Name("GroundStreaming.screenmgr")->Unit(benchmark::kMillisecond);

// The same store work without the ground: a ground settled the same way tells which blocks a
// cycle loads and releases, and in what order; it then goes, and the loop holds what the
// ground held at the cycle's start and replays the cycle's loads and releases on it. Both sides
// thus hold the same textures and free them in the same order, so they pay the same for memory.
void BM_GroundFrameRef(benchmark::State& state) {
    Ground g;
    bool periodic = false;
    const CycleLog log = g.Settle(&periodic);
    const std::vector<int> resident = g.Resident();
    g.ground.reset();
    render::IRenderer& renderer = g.fx.host().renderer;
    std::vector<render::ITexture*> held(std::size_t(kBlocks * kBlocks), nullptr);
    auto load = [&renderer](int b) { return renderer.LoadTexture(BlockFile(b).c_str(), 21, 0, -3, 0, 0, 0); };
    auto unload = [&renderer, &held](int b) {
        if (render::ITexture* t = std::exchange(held[std::size_t(b)], nullptr))
            renderer.UnloadTexture(t->GetSurface(), 1);
    };
    for (int b : resident) held[std::size_t(b)] = load(b);
    for (auto _ : state) {
        for (int f = 0; f < kCycle; ++f) {
            for (int b : log.released[std::size_t(f)]) unload(b);
            for (int b : log.loaded[std::size_t(f)]) {
                render::ITexture* t = load(b);
                benchmark::DoNotOptimize(t);
                // A settled cycle ends where it began; a block loaded twice goes back first.
                unload(b);
                held[std::size_t(b)] = t;
            }
        }
    }
    for (int b = 0; b < kBlocks * kBlocks; ++b) unload(b);
    state.counters["periodic"] = periodic;
    state.counters["loads"] = double(log.Count(log.loaded));
    state.counters["releases"] = double(log.Count(log.released));
}
BENCHMARK(BM_GroundFrameRef)->Name("GroundStreaming.ref")->Unit(benchmark::kMillisecond);

// The host calls of one pass: the quads' DrawEx and Draw, the renderer's readiness queries
// and everything else the renderer was asked.
struct PassCalls {
    double drawEx = 0, ready = 0, draw = 0, other = 0;
    bool SameDraws(const PassCalls& o) const { return drawEx == o.drawEx && ready == o.ready && draw == o.draw; }
    void Report(benchmark::State& state) const {
        state.counters["DrawEx"] = drawEx;
        state.counters["IsTextureReady"] = ready;
        state.counters["Draw"] = draw;
        state.counters["otherCalls"] = other;
    }
};

template <class Pass>
PassCalls CountCalls(Ground& g, Pass pass) {
    auto& renderer = g.fx.host().renderer;
    auto quadCounts = [&g](int host::RecordingPrimitive::*count) {
        double n = 0;
        for (const GroundBlock& b : g.ground->Blocks()) n += static_cast<host::RecordingPrimitive*>(b.quad)->*count;
        return n;
    };
    const double drawEx = quadCounts(&host::RecordingPrimitive::drawExCount);
    const double draw = quadCounts(&host::RecordingPrimitive::drawCount);
    renderer.SetRecordLimit(1 << 16);
    renderer.ClearCalls();
    pass();
    PassCalls calls;
    for (const std::string& c : renderer.Calls()) (c == "IsTextureReady" ? calls.ready : calls.other) += 1;
    renderer.SetRecordLimit(0);
    calls.drawEx = quadCounts(&host::RecordingPrimitive::drawExCount) - drawEx;
    calls.draw = quadCounts(&host::RecordingPrimitive::drawCount) - draw;
    return calls;
}

void GroundPass(ScreenMgr& ground) {
    ground.UpdateBlocks();
    ground.Update(nullptr, false);
}

void BM_GroundDraw(benchmark::State& state) {
    Ground g;
    g.Still();
    ScreenMgr& ground = *g.ground;
    const PassCalls calls = CountCalls(g, [&ground] { GroundPass(ground); });
    for (auto _ : state) GroundPass(ground);
    state.counters["drawn"] = ground.BlocksDrawn();
    calls.Report(state);
}
BENCHMARK(BM_GroundDraw)->Name("GroundPass.screenmgr");

// What the ground's pass issues for its quads in a still view, and only that: every quad already
// stands where the view puts it, so no DrawEx; a readiness query and a Draw per resident block
// in the visible range. The set-up checks the call counts against the ground's own pass.
void BM_GroundDrawRef(benchmark::State& state) {
    Ground g;
    g.Still();
    ScreenMgr& ground = *g.ground;
    render::IRenderer& renderer = g.fx.host().renderer;
    const int* vr = ground.VisibleRange();
    std::vector<const GroundBlock*> blocks;
    for (int r = vr[1]; r <= vr[3]; ++r)
        for (int c = vr[0]; c <= vr[2]; ++c) {
            const GroundBlock& b = ground.Blocks()[std::size_t(r * kBlocks + c)];
            if (b.texture && b.quad) blocks.push_back(&b);
        }
    auto pass = [&blocks, &renderer] {
        for (const GroundBlock* b : blocks)
            if (renderer.IsTextureReady(b->textureHandle)) b->quad->Draw(-1, -1, 3);
    };
    const PassCalls groundCalls = CountCalls(g, [&ground] { GroundPass(ground); });
    const PassCalls calls = CountCalls(g, pass);
    if (!calls.SameDraws(groundCalls) || calls.draw == 0) {
        state.SkipWithError("the reference does not issue the ground pass's quad calls");
        return;
    }
    for (auto _ : state) pass();
    calls.Report(state);
}
BENCHMARK(BM_GroundDrawRef)->Name("GroundPass.ref");

std::vector<float> OpaquePoints() {
    std::vector<float> p;
    std::uint32_t s = 1;
    for (int i = 0; i < 4096; ++i) {
        s = s * 214013u + 2531011u;
        p.push_back(-kStillView[0] + float((s >> 16) & 0x1FF));
        s = s * 214013u + 2531011u;
        p.push_back(-kStillView[1] + float((s >> 16) & 0x1FF));
    }
    return p;
}

void BM_GroundOpaque(benchmark::State& state) {
    Ground g;
    g.Still();
    static const std::vector<float> points = OpaquePoints();
    for (auto _ : state) {
        int n = 0;
        for (std::size_t i = 0; i < points.size(); i += 2) n += g.ground->IsOpaqueAt(&points[i]);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_GroundOpaque)->Name("GroundOpaque.screenmgr");

// The texel straight from the block's pixels, the block and its bits looked up the plain way.
void BM_GroundOpaqueRef(benchmark::State& state) {
    Ground g;
    g.Still();
    static const std::vector<float> points = OpaquePoints();
    const std::vector<GroundBlock>& blocks = g.ground->Blocks();
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
