// A flight of 24 steps from the whole model to one assembly of a grid tree of about 10^5
// triangles (two overview frames, 24 turn and 24 approach frames: 50 in all) against 50 plain
// frames of the same scene on the same context. The flight's refit lists and matrix rebuilds
// should cost nothing beside its frames.

#include "platform/kernel/KytModel.h"
#include "platform/wgl/Wgl.h"
#include "scene/view/KytLinkContents.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace quor::wgl;

constexpr int kSize = 256;

class FlightStage {
public:
    static FlightStage& Get()
    {
        static FlightStage stage;
        return stage;
    }

    KytScene& Scene() { return *scene_; }
    KytLink* Target() const { return target_; }

private:
    FlightStage()
    {
        wnd_ = CreateStandInWindow(kSize, kSize);
        model_ = std::make_unique<KytModel>();
        KytLink* root = KytBuild::GridTree(*model_, 40, 100, 6);
        target_ = KytBuild::FindByName(*model_, "asm27");
        KytLinkContents::bContribution = false;
        scene_ = std::make_unique<KytScene>(root, "flight");
        scene_->Create(new KytOgl(wnd_, 32, 24), kSize, kSize);
        scene_->FitView(false);
    }

    HWND wnd_ = nullptr;
    std::unique_ptr<KytModel> model_;
    std::unique_ptr<KytScene> scene_;
    KytLink* target_ = nullptr;
};

void FlyTo24(benchmark::State& state)
{
    FlightStage& s = FlightStage::Get();
    KytScene::nViewMoveStep = 24;
    for (auto _ : state)
        s.Scene().FlyTo(s.Target(), true);
    KytScene::nViewMoveStep = 1;
}

void Draw50(benchmark::State& state)
{
    FlightStage& s = FlightStage::Get();
    for (auto _ : state) {
        state.PauseTiming();
        s.Scene().ChangeViewPoint(45.0f, 54.0f, false);
        s.Scene().FitView(false);
        state.ResumeTiming();
        for (int i = 0; i < 50; ++i)
            s.Scene().Draw(false);
    }
}

}  // namespace

BENCHMARK(FlyTo24)->Name("Flight.FlyTo")->Unit(benchmark::kMillisecond);
BENCHMARK(Draw50)->Name("Flight.ref")->Unit(benchmark::kMillisecond);
