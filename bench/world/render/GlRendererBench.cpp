// The GL renderer drawing N renderables that share one stream against a bare GL loop over the
// same buffers and matrices in the same context.
#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <memory>
#include <vector>

#include "tests/platform/glrender/GlFixture.h"

namespace {

using namespace quor;
using namespace quor::host::test;

constexpr int kWidth = 320;
constexpr int kHeight = 240;

struct Scene {
    d3d9::IDirect3DDevice9 device;
    host::GlRenderer gl;
    host::RenderCamera camera;
    QuadBuffers quads{device};
    std::vector<std::vector<float>> worlds;
    std::vector<render::IRenderable*> renderables;

    explicit Scene(int n) {
        Aim(camera, kWidth, kHeight);
        render::IVertexBuffer* stream = quads.MakeStream(gl);
        render::IMaterial* material = ColourMaterial(gl, LitTechnique(gl), 1, 0.5f, 0.2f, 1);
        for (int i = 0; i < n; ++i) {
            worlds.push_back(Placed(0.05f, float(i % 100) * 0.08f - 4.0f, float(i / 100) * 0.08f - 3.0f, 6.0f));
            renderables.push_back(Quad(gl, stream, kFront, material, worlds.back()));
        }
    }
};

// Kept until the process ends: GL contexts must not outlive the GL library's own teardown.
Scene& SceneOf(int n) {
    static auto* scenes = new std::vector<std::pair<int, Scene*>>;
    for (auto& s : *scenes)
        if (s.first == n) return *s.second;
    scenes->emplace_back(n, new Scene(n));
    return *scenes->back().second;
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t n : {100, 1000, 10000}) b->Arg(n);
}

void GlDraw_renderer(benchmark::State& state) {
    Scene& s = SceneOf(int(state.range(0)));
    for (auto _ : state) {
        s.gl.BeginFrame(&s.camera, 0xFF000000u, kWidth, kHeight);
        for (render::IRenderable* r : s.renderables) s.gl.Submit(r);
        benchmark::DoNotOptimize(s.gl.EndFrame());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(GlDraw_renderer)->Name("GlDraw.renderer")->Apply(Sizes)->Unit(benchmark::kMillisecond);

// What any fixed-function drawing of these objects must do: arrays bound once, then per
// object its matrix and its indexed draw.
void GlDraw_ref(benchmark::State& state) {
    Scene& s = SceneOf(int(state.range(0)));
    static const float kDepthFix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 0, -1, 1};
    const auto* indices = reinterpret_cast<const std::uint16_t*>(s.quads.ib->Bytes());
    for (auto _ : state) {
        s.gl.BeginFrame(&s.camera, 0xFF000000u, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(kDepthFix);
        glMultMatrixf(s.camera.GetProjectionMatrix());
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CW);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glColor4f(1, 0.5f, 0.2f, 1);
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(3, GL_FLOAT, 24, s.quads.vb0->Bytes());
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 24, s.quads.vb0->Bytes() + 12);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, 8, s.quads.vb1->Bytes());
        glMatrixMode(GL_MODELVIEW);
        for (const auto& world : s.worlds) {
            glLoadMatrixf(s.camera.GetViewMatrix());
            glMultMatrixf(world.data());
            glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, indices);
        }
        glFinish();
        benchmark::DoNotOptimize(indices);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(GlDraw_ref)->Name("GlDraw.ref")->Apply(Sizes)->Unit(benchmark::kMillisecond);

}  // namespace
