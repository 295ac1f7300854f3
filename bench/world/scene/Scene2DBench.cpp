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
    Matrix projection;
    std::copy(rc->GetProjectionMatrix(), rc->GetProjectionMatrix() + 16, projection.m);
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

void BM_MapToWorld(benchmark::State& state) {
    Map& m = TheMap();
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < kPoints; ++i) {
            Vec3 w;
            m.scene->Scene2D::MapToWorld(&m.points[2 * std::size_t(i)], &w);
            float back[2] = {};
            m.scene->Scene2D::WorldToMap(&w, back);
            sum += back[0] + back[1];
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_MapToWorld)->Name("Scene2DMapToWorld.scene")->Unit(benchmark::kMillisecond);

void BM_MapToWorldRef(benchmark::State& state) {
    Map& m = TheMap();
    const Vec3* c = m.scene->MapCorners();
    int mw = 0, mh = 0;
    m.scene->GetMapSize(&mw, &mh);
    const float w = float(mw), h = float(mh);
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < kPoints; ++i) {
            const float u = m.points[2 * std::size_t(i)] / w, v = m.points[2 * std::size_t(i) + 1] / h;
            const float top = c[0].x + (c[1].x - c[0].x) * u, bottom = c[2].x + (c[3].x - c[2].x) * u;
            const Vec3 p(top + (bottom - top) * v, 0.0f, c[0].z + (c[2].z - c[0].z) * v);
            const float vv = (p.z - c[0].z) / (c[2].z - c[0].z);
            const float left = c[0].x + (c[2].x - c[0].x) * vv, right = c[1].x + (c[3].x - c[1].x) * vv;
            sum += (p.x - left) / (right - left) * w + 0.1f + h * vv + 0.1f;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_MapToWorldRef)->Name("Scene2DMapToWorld.ref")->Unit(benchmark::kMillisecond);

// 10^4 pictures scattered over the map, a tenth of them children of others.
struct Pictures {
    std::vector<PictureBase*> all;
    Pictures() {
        Map& m = TheMap();
        std::mt19937 rng(4);
        std::uniform_real_distribution<float> x(0.0f, 4000.0f), y(0.0f, 3000.0f);
        for (int i = 0; i < 10000; ++i) {
            auto* p = PictureBase::FromInterface(m.scene->CreatePicture(nullptr));
            p->SetLocalPosition(x(rng), y(rng));
            if (i % 10 == 9) all[all.size() - 1]->AddChild(p, false);
            all.push_back(p);
        }
    }
};

Pictures& ThePictures() {
    static Pictures pictures;
    return pictures;
}

void BM_PicturePass(benchmark::State& state) {
    Map& m = TheMap();
    ThePictures();
    for (auto _ : state) {
        m.scene->CollectFramePictures();
        benchmark::DoNotOptimize(m.scene->CollectedPictures().size());
    }
}
BENCHMARK(BM_PicturePass)->Name("Scene2DPicturePass.scene")->Unit(benchmark::kMicrosecond);

void BM_PicturePassRef(benchmark::State& state) {
    Map& m = TheMap();
    Pictures& pictures = ThePictures();
    const float screen[4] = {0.0f, 0.0f, 800.0f, 600.0f};
    std::vector<PictureBase*> out;
    for (auto _ : state) {
        out.clear();
        for (PictureBase* p : pictures.all) {
            const PicRect r = p->GetBoundingRect();
            const float rect[4] = {std::floor(r.left), std::floor(r.top), std::ceil(r.right), std::ceil(r.bottom)};
            if (Scene2D::RectsOverlap(screen, rect) || Scene2D::RectsOverlap(rect, screen)) out.push_back(p);
        }
        benchmark::DoNotOptimize(out.size());
    }
    (void)m;
}
BENCHMARK(BM_PicturePassRef)->Name("Scene2DPicturePass.ref")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quor::world
