// Picking a part of a grid tree of about 10^5 triangles against drawing the same frame once on
// the same context; the circle search of the edge topology and the border chains of a flat
// face against a plain hash count of the edges of the same mesh.

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "platform/kernel/KytModel.h"
#include "platform/wgl/Wgl.h"
#include "scene/annotation/KytEdge.h"
#include "scene/annotation/KytRidgeLine.h"
#include "scene/view/KytLinkContents.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"

namespace {

using namespace quor::wgl;
constexpr int kSize = 256;

class PickStage {
public:
    static PickStage& Get()
    {
        static PickStage stage;
        return stage;
    }
    KytScene& Scene() { return *scene_; }
    int x = kSize / 2, y = kSize / 2;

private:
    PickStage()
    {
        wnd_ = CreateStandInWindow(kSize, kSize);
        KytLink* root = KytBuild::GridTree(model_, 40, 100, 6);
        KytLinkContents::bContribution = false;
        scene_ = std::make_unique<KytScene>(root, "bench");
        scene_->Create(new KytOgl(wnd_, 32, 24), kSize, kSize);
        scene_->FitView(false);
        // A pixel over a part.
        for (int i = 0; i < kSize * kSize; i += 97) {
            KytPickData out;
            if (scene_->Pick(i % kSize, i / kSize, &out, false, false) && out.Level == 5) {
                x = i % kSize;
                y = i / kSize;
                break;
            }
        }
    }
    HWND wnd_ = nullptr;
    KytModel model_;
    std::unique_ptr<KytScene> scene_;
};

void PickNormal(benchmark::State& state)
{
    PickStage& s = PickStage::Get();
    KytScene::bStrictPick = false;
    KytPickData out;
    for (auto _ : state)
        benchmark::DoNotOptimize(s.Scene().Pick(s.x, s.y, &out, false, false));
    state.counters["level"] = out.Level;
    state.counters["selectWords"] = s.Scene().GetSelectBufferSize();
}

void PickAimed(benchmark::State& state)
{
    PickStage& s = PickStage::Get();
    KytScene::bStrictPick = false;
    for (auto _ : state) {
        KytPickData out;
        benchmark::DoNotOptimize(s.Scene().Pick(s.x, s.y, &out, true, false));
    }
}

void PickStrict(benchmark::State& state)
{
    PickStage& s = PickStage::Get();
    KytScene::bStrictPick = true;
    for (auto _ : state) {
        KytPickData out;
        benchmark::DoNotOptimize(s.Scene().Pick(s.x, s.y, &out, false, false));
    }
    KytScene::bStrictPick = false;
}

void PickRef(benchmark::State& state)
{
    PickStage& s = PickStage::Get();
    for (auto _ : state) {
        s.Scene().Draw(true);
        glFinish();
    }
}

// A plate of `cells` holed cells; each cell has 6 x `segments` triangles and a share of the
// outer walls.
struct Mesh {
    Mesh(int cells, int segments)
    {
        std::vector<double> radii(static_cast<size_t>(cells), 30.0);
        link = model.AddLink("plate");
        model.SetShape(link, model.AddShape(KytBuild::IndexedPlateRep(100, 10, radii, segments)));
        rep = link->pShape->GetRep();
        for (const KytTriangle& t : rep->aTriangle)
            if (t.pFaceNormal->z > 0.99f) {
                top = &t;
                break;
            }
    }
    KytModel model;
    KytLink* link = nullptr;
    const KytShapeRep* rep = nullptr;
    const KytTriangle* top = nullptr;
};

size_t HashEdgeCount(const KytShapeRep* rep)
{
    struct Key {
        const void* a;
        const void* b;
        bool operator==(const Key& o) const { return a == o.a && b == o.b; }
    };
    struct Hash {
        size_t operator()(const Key& k) const
        {
            return std::hash<const void*>()(k.a) * 31 + std::hash<const void*>()(k.b);
        }
    };
    std::unordered_map<Key, int, Hash> count;
    for (const KytTriangle& t : rep->aTriangle)
        for (int e = 0; e < 3; ++e) {
            const void* a = t.pVertex[e];
            const void* b = t.pVertex[(e + 1) % 3];
            ++count[a < b ? Key{a, b} : Key{b, a}];
        }
    return count.size();
}

Mesh& CircleMesh()
{
    static Mesh mesh(32, 520);  // about 10^5 triangles
    return mesh;
}

Mesh& BorderMesh()
{
    static Mesh mesh(10, 500);  // 10^4 triangles on the top face
    return mesh;
}

void EdgeCircleQuery(benchmark::State& state)
{
    Mesh& m = CircleMesh();
    // The centre of the first top triangle, which touches the first hole's rim.
    const KytTriangle* tri = m.top;
    WqVector3D pick;
    for (int k = 0; k < 3; ++k)
        pick += WqVector3D(tri->pVertex[k]->x, tri->pVertex[k]->y, tri->pVertex[k]->z) * (1.0 / 3);
    for (auto _ : state) {
        KytEdge edge(m.link, tri, pick);
        WqVector3D c, p;
        double r = 0;
        benchmark::DoNotOptimize(edge.CalcCircle(c, r, p));
    }
    state.counters["triangles"] = m.rep->GetTriangleCount();
}

void EdgeCircleRef(benchmark::State& state)
{
    Mesh& m = CircleMesh();
    for (auto _ : state)
        benchmark::DoNotOptimize(HashEdgeCount(m.rep));
}

void RidgeBorderCalc(benchmark::State& state)
{
    Mesh& m = BorderMesh();
    for (auto _ : state) {
        KytRidgeLine ridge(m.link, m.top, WqVector3D(0, 0, 10));
        benchmark::DoNotOptimize(ridge.CalcBorder());
    }
    state.counters["triangles"] = m.rep->GetTriangleCount();
}

void RidgeBorderRef(benchmark::State& state)
{
    Mesh& m = BorderMesh();
    for (auto _ : state)
        benchmark::DoNotOptimize(HashEdgeCount(m.rep));
}

}  // namespace

BENCHMARK(PickNormal)->Name("ScenePick.normal")->Unit(benchmark::kMillisecond);
BENCHMARK(PickAimed)->Name("ScenePick.aimed")->Unit(benchmark::kMillisecond);
BENCHMARK(PickStrict)->Name("ScenePick.strict")->Unit(benchmark::kMillisecond);
BENCHMARK(PickRef)->Name("ScenePick.ref")->Unit(benchmark::kMillisecond);
BENCHMARK(EdgeCircleQuery)->Name("EdgeCircle.query")->Unit(benchmark::kMillisecond);
BENCHMARK(EdgeCircleRef)->Name("EdgeCircle.ref")->Unit(benchmark::kMillisecond);
BENCHMARK(RidgeBorderCalc)->Name("RidgeBorder.calc")->Unit(benchmark::kMillisecond);
BENCHMARK(RidgeBorderRef)->Name("RidgeBorder.ref")->Unit(benchmark::kMillisecond);
