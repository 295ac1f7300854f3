// The 2D scene's conversions and picture pass against plain loops computing the same results:
// map point to ground point through the camera (inverse view-projection, plane cut) and back,
// map to world through the corners, and the frame's picture collection against a flat loop of
// the same rectangle tests.
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingResources.h"
#include "platform/host/RenderCamera.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/core/math/Matrix.h"
#include "world/fx/Picture.h"
#include "world/scene/Scene2D.h"

namespace quor::world {
namespace {

constexpr int kPoints = 100000;

struct Map {
    test::WorldFixture fx;
    std::unique_ptr<Scene2D> scene;
    std::vector<float> points;

    Map() {
        fx.host().renderer.backBufferWidth = 800;
        fx.host().renderer.backBufferHeight = 600;
        auto* files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        files->AddFile("b.scn2", "<Scene2D><MapBlock MapSize=\"4000,3000\"/></Scene2D>");
        scene = std::make_unique<Scene2D>();
        scene->Create("b.scn2", 0, 0, 0);
        scene->UpdateView(1500.0f, 1200.0f);
        // The reference camera's call journal is a test aid: off for timing.
        static_cast<host::RenderCamera*>(scene->GetActiveCamera()->GetRenderCamera())->SetRecording(false);
        std::mt19937 rng(9);
        std::uniform_real_distribution<float> x(1100.0f, 1900.0f), y(900.0f, 1500.0f);
        for (int i = 0; i < kPoints; ++i) {
            points.push_back(x(rng));
            points.push_back(y(rng));
        }
    }
};

Map& TheMap() {
    static Map map;
    return map;
}

void BM_ScreenToWorld(benchmark::State& state) {
    Map& m = TheMap();
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < kPoints; ++i) {
            Vec3 w;
            m.scene->ScreenToWorld(&m.points[2 * std::size_t(i)], &w);
            float back[2];
            m.scene->WorldToScreen(&w, back);
            sum += back[0] + back[1];
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ScreenToWorld)->Name("Scene2DScreenToWorld.scene")->Unit(benchmark::kMillisecond);

// The same round trip with the view-projection and its inverse formed once.
void BM_ScreenToWorldRef(benchmark::State& state) {
    Map& m = TheMap();
    render::IRenderCamera* rc = m.scene->GetActiveCamera()->GetRenderCamera();
    Matrix viewProjection, inverse;
    std::copy(rc->GetViewMatrix(), rc->GetViewMatrix() + 16, viewProjection.m);
    // The projection with the camera's view scale and projection offset, as the scene's
    // conversions apply them.
    Matrix projection;
    static_cast<host::RenderCamera*>(rc)->GetDrawingProjection(projection.m);
    MatrixMultiplyPlain(viewProjection, projection, viewProjection);
    inverse = viewProjection;
    MatrixInverse(inverse);
    const float vw = static_cast<float>(rc->GetViewportWidth()), vh = static_cast<float>(rc->GetViewportHeight());
    const PicPoint offset = m.scene->RootPictureBase()->GetLocalPosition();
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < kPoints; ++i) {
            const float sx = m.points[2 * std::size_t(i)] + offset.x, sy = m.points[2 * std::size_t(i) + 1] + offset.y;
            Vec3 n(2.0f * sx / vw - 1.0f, 1.0f - 2.0f * sy / vh, 0.0f), f(n.x, n.y, 1.0f);
            TransformCoord(n, inverse);
            TransformCoord(f, inverse);
            const Vec3 d = f - n;
            const float t = -n.y / d.y;
            Vec3 w(n.x + t * d.x, 0.0f, n.z + t * d.z);
            TransformCoord(w, viewProjection);
            sum += (w.x + 1.0f) * 0.5f * vw - offset.x + (1.0f - w.y) * 0.5f * vh - offset.y;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ScreenToWorldRef)->Name("Scene2DScreenToWorld.ref")->Unit(benchmark::kMillisecond);

// Both sides convert one point per call, behind a call the compiler does not inline: the
// conversion takes one point at a time, so a reference loop vectorised across points would
// time something no caller of the conversion can get.
[[gnu::noinline]] float SceneMapRoundTrip(Scene2D& scene, const float* point) {
    Vec3 w;
    scene.Scene2D::MapToWorld(point, &w);
    float back[2] = {};
    scene.Scene2D::WorldToMap(&w, back);
    return back[0] + back[1];
}

void BM_MapToWorld(benchmark::State& state) {
    Map& m = TheMap();
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < kPoints; ++i) sum += SceneMapRoundTrip(*m.scene, &m.points[2 * std::size_t(i)]);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_MapToWorld)->Name("Scene2DMapToWorld.scene")->Unit(benchmark::kMillisecond);

// The inline formulas without the scene's checks.
struct MapFormulas {
    const Vec3* c;
    float w, h;
};

[[gnu::noinline]] float FormulaMapRoundTrip(const MapFormulas& f, const float* point) {
    const Vec3* c = f.c;
    const float u = point[0] / f.w, v = point[1] / f.h;
    const float top = c[0].x + (c[1].x - c[0].x) * u, bottom = c[2].x + (c[3].x - c[2].x) * u;
    const Vec3 p(top + (bottom - top) * v, 0.0f, c[0].z + (c[2].z - c[0].z) * v);
    const float vv = (p.z - c[0].z) / (c[2].z - c[0].z);
    const float left = c[0].x + (c[2].x - c[0].x) * vv, right = c[1].x + (c[3].x - c[1].x) * vv;
    return (p.x - left) / (right - left) * f.w + 0.1f + f.h * vv + 0.1f;
}

void BM_MapToWorldRef(benchmark::State& state) {
    Map& m = TheMap();
    int mw = 0, mh = 0;
    m.scene->GetMapSize(&mw, &mh);
    const MapFormulas formulas{m.scene->MapCorners(), float(mw), float(mh)};
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < kPoints; ++i) sum += FormulaMapRoundTrip(formulas, &m.points[2 * std::size_t(i)]);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_MapToWorldRef)->Name("Scene2DMapToWorld.ref")->Unit(benchmark::kMillisecond);

// 10^4 pictures over the map, a tenth of them children of the one made before. Image pictures
// (64 x 48) are scattered, so that the screen's rectangle keeps a few in a hundred; empty
// nodes have no rectangle to cull by, so that every one is collected and the pass's own
// work per picture shows.
struct Pictures {
    std::vector<PictureBase*> all;
    std::vector<PictureBase*> tops;  // those made right under the object layer
    explicit Pictures(bool images) {
        Map& m = TheMap();
        if (images) m.fx.host().renderer.Store()->DefineTexture("bench_pic.png", host::TextureDesc{1, 0, 64, 48, 3, true});
        std::mt19937 rng(4);
        std::uniform_real_distribution<float> x(0.0f, 4000.0f), y(0.0f, 3000.0f), near(-150.0f, 150.0f);
        for (int i = 0; i < 10000; ++i) {
            auto* p = PictureBase::FromInterface(m.scene->CreatePicture(images ? "bench_pic.png" : nullptr));
            if (i % 10 == 9) {
                all.back()->AddChild(p, false);
                p->SetLocalPosition(near(rng), near(rng));
            } else {
                p->SetLocalPosition(x(rng), y(rng));
                tops.push_back(p);
            }
            all.push_back(p);
        }
    }
    ~Pictures() {
        Map& m = TheMap();
        // The layer's own children take theirs with them (so a child is not asked anything
        // once its parent has gone).
        for (PictureBase* p : tops) m.scene->ReleasePicture(p, true);
    }
};

// One set of pictures in the scene at a time: the pass walks the whole object layer.
Pictures& ThePictures(bool images) {
    TheMap();  // made first, so that it outlives the pictures at exit
    static std::unique_ptr<Pictures> pictures;
    static bool made = false;
    if (!pictures || made != images) {
        pictures.reset();
        pictures = std::make_unique<Pictures>(images);
        made = images;
    }
    return *pictures;
}

void PicturePass(benchmark::State& state, bool images) {
    Map& m = TheMap();
    ThePictures(images);
    for (auto _ : state) {
        m.scene->CollectFramePictures();
        benchmark::DoNotOptimize(m.scene->CollectedPictures().size());
    }
    state.counters["collected"] = double(m.scene->CollectedPictures().size());
}

// The same rectangle tests over a flat list of the same pictures.
void PicturePassRef(benchmark::State& state, bool images) {
    Pictures& pictures = ThePictures(images);
    const float screen[4] = {0.0f, 0.0f, 800.0f, 600.0f};
    std::vector<PictureBase*> out;
    for (auto _ : state) {
        out.clear();
        for (PictureBase* p : pictures.all) {
            PicRect r = p->GetBoundingRect();
            // The scene cannot know a rectangle before it asks: neither may the compiler here,
            // which would otherwise fold the whole test for an empty node's constant rectangle.
            benchmark::DoNotOptimize(r);
            float rect[4] = {};
            Scene2D::PixelRect(r, rect);
            if (Scene2D::RectsOverlap(screen, rect) || Scene2D::RectsOverlap(rect, screen)) out.push_back(p);
        }
        benchmark::DoNotOptimize(out.size());
    }
    state.counters["collected"] = double(out.size());
}

BENCHMARK_CAPTURE(PicturePass, images, true)->Name("Scene2DPicturePass.scene")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(PicturePassRef, images, true)->Name("Scene2DPicturePass.ref")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(PicturePass, empty, false)->Name("Scene2DPicturePassEmpty.scene")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(PicturePassRef, empty, false)->Name("Scene2DPicturePassEmpty.ref")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quor::world
