// The object model's two per-frame costs against flat loops doing the bare arithmetic:
// recomputing world matrices after the root of a tree moves (against the same affine compose
// per object over flat arrays) and culling visible objects (against a plain loop of
// sphere-against-six-planes tests).
#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "world/core/Align16.h"
#include "world/core/math/Frustum.h"
#include "world/core/math/Matrix.h"
#include "world/core/VisibleObject.h"

namespace quor::world {
namespace {

// Parent index of every node of a tree of n nodes and about d levels below the root (node 0),
// branching evenly, numbered depth first as a scene file lists a node and then its subtree:
// every parent comes before its children.
std::vector<int> TreeParents(int n, int depth) {
    const int branching =
        std::max(2, static_cast<int>(std::ceil(std::pow(double(n), 1.0 / depth))));
    // Level-order parents first, then renumbered in preorder.
    std::vector<std::vector<int>> children(static_cast<std::size_t>(n));
    for (int i = 1; i < n; ++i) {
        children[static_cast<std::size_t>((i - 1) / branching)].push_back(i);
    }
    std::vector<int> parents;
    parents.reserve(static_cast<std::size_t>(n));
    std::vector<std::pair<int, int>> stack{{0, -1}};  // (level-order node, new parent index)
    while (!stack.empty()) {
        const auto [node, parent] = stack.back();
        stack.pop_back();
        const int index = static_cast<int>(parents.size());
        parents.push_back(parent);
        const auto& kids = children[static_cast<std::size_t>(node)];
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
            stack.emplace_back(*it, index);
        }
    }
    return parents;
}

Matrix RandomLocal(std::mt19937& rng) {
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    Vec3 axis{u(rng), u(rng) + 2.0f, u(rng)};
    Vec3SetLength(axis, 1.0f);
    Matrix m;
    MatrixRotationAxis(m, axis, u(rng));
    m.Row(3) = Vec3{u(rng) * 5, u(rng) * 5, u(rng) * 5};
    return m;
}

// --- world matrices ----------------------------------------------------------------------------

// The reference: the same transforms held in flat arrays (rotation, scale, position, parent
// index), recomputed parent before child with the same affine compose the objects use.
void WorldMatrixRef(benchmark::State& state) {
    SetUseAlignedAlloc(true);
    const int n = static_cast<int>(state.range(0));
    const std::vector<int> parents = TreeParents(n, static_cast<int>(state.range(1)));
    std::mt19937 rng(1);
    std::vector<Matrix> rotation(static_cast<std::size_t>(n));
    std::vector<Vec3> position(static_cast<std::size_t>(n));
    std::vector<Vec3> scale(static_cast<std::size_t>(n), Vec3{1.0f, 1.0f, 1.0f});
    std::vector<Matrix> world(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const Matrix m = RandomLocal(rng);
        rotation[static_cast<std::size_t>(i)] = m;
        MatrixRotationPart(rotation[static_cast<std::size_t>(i)], m);
        position[static_cast<std::size_t>(i)] = m.Row(3);
    }
    const Matrix identity = MatrixIdentity();
    for (auto _ : state) {
        ComposeWorldSse(rotation[0], scale[0], position[0], identity, world[0]);
        for (int i = 1; i < n; ++i) {
            const auto k = static_cast<std::size_t>(i);
            ComposeWorldSse(rotation[k], scale[k], position[k],
                            world[static_cast<std::size_t>(parents[k])], world[k]);
        }
        benchmark::DoNotOptimize(world.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The objects: the root moves (an invalidation marks the tree), then the frame's update
// recomputes the tree's world matrices from the transform store.
template <class Object>
void WorldMatrixObjects(benchmark::State& state) {
    SetUseAlignedAlloc(true);
    const int n = static_cast<int>(state.range(0));
    const std::vector<int> parents = TreeParents(n, static_cast<int>(state.range(1)));
    std::mt19937 rng(1);
    std::vector<std::unique_ptr<Object>> objects;
    objects.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        objects.push_back(std::make_unique<Object>());
        objects.back()->SetLocalMatrix(RandomLocal(rng));
        if (i > 0) {
            objects[static_cast<std::size_t>(parents[static_cast<std::size_t>(i)])]->AddChild(
                objects.back().get(), false);
        }
    }
    SpaceObject* root = objects[0].get();
    for (auto _ : state) {
        root->InvalidateTransform();
        TransformStore::UpdateWorldMatrices(root->GetTransformBlock());
        benchmark::ClobberMemory();
    }
    // Every object reads the matrix the update made.
    for (int i = 0; i < n; i += 997) {
        if (objects[static_cast<std::size_t>(i)]->IsTransformChanged() &&
            !(objects[static_cast<std::size_t>(i)]->GetTransformBlock()->valid & TransformBlock::kWorld)) {
            state.SkipWithError("a world matrix was left stale");
        }
    }
    state.SetItemsProcessed(state.iterations() * n);
    // Children first, so no object outlives its parent's lists.
    while (!objects.empty()) {
        objects.pop_back();
    }
}

// --- culling -----------------------------------------------------------------------------------

class BoundObject : public VisibleObject {
public:
    explicit BoundObject(const Bounds& b) : m_bound(b) { SetCullCandidate(true); }
    const Bounds* GetLocalBound() override { return &m_bound; }

private:
    Bounds m_bound;
};

Frustum BenchFrustum() {
    Matrix camera;
    MatrixIdentity(camera);
    const float zn = 1.0f, zf = 500.0f, ys = 1.0f / std::tan(0.5f);
    Matrix projection;
    MatrixSet16(projection, ys, 0, 0, 0, 0, ys, 0, 0, 0, 0, zf / (zf - zn), 1, 0, 0,
                -zn * zf / (zf - zn), 0);
    Frustum f;
    f.SetFromCamera(camera, projection);
    return f;
}

struct Sphere {
    Vec3 centre;
    float radius;
};

std::vector<Sphere> RandomSpheres(int n) {
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> xy(-400.0f, 400.0f), z(-100.0f, 600.0f), r(0.5f, 4.0f);
    std::vector<Sphere> spheres(static_cast<std::size_t>(n));
    for (Sphere& s : spheres) {
        s = {Vec3{xy(rng), xy(rng), z(rng)}, r(rng)};
    }
    return spheres;
}

void CullingRef(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const Frustum frustum = BenchFrustum();
    const std::vector<Sphere> spheres = RandomSpheres(n);
    std::vector<std::uint8_t> culled(static_cast<std::size_t>(n));
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) {
            const Sphere& s = spheres[static_cast<std::size_t>(i)];
            std::uint8_t out = 0;
            for (const Plane& p : frustum.planes) {
                if (Vec3Dot(p.normal, s.centre) - p.d < -s.radius) {
                    out = 1;
                    break;
                }
            }
            culled[static_cast<std::size_t>(i)] = out;
        }
        benchmark::DoNotOptimize(culled.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void CullingObjects(benchmark::State& state) {
    SetUseAlignedAlloc(true);
    const int n = static_cast<int>(state.range(0));
    VisibleObject::SetFrameFrustum(kCullPassMain, BenchFrustum());
    const std::vector<Sphere> spheres = RandomSpheres(n);
    std::vector<std::unique_ptr<BoundObject>> objects;
    objects.reserve(static_cast<std::size_t>(n));
    for (const Sphere& s : spheres) {
        Bounds b;
        b.half = Vec3{s.radius, s.radius, s.radius} * 0.57f;
        b.radius = s.radius;
        objects.push_back(std::make_unique<BoundObject>(b));
        objects.back()->SetPosition(s.centre);
    }
    int culled = 0;
    int straddling = 0;
    for (auto _ : state) {
        culled = 0;
        for (auto& o : objects) {
            culled += o->UpdateCulling(0, kCullPassMain);
        }
        benchmark::DoNotOptimize(culled);
    }
    for (auto& o : objects) {
        straddling += !o->IsFullyInside(kCullPassMain) && !o->GetCulledResult(kCullPassMain);
    }
    state.counters["culled"] = culled;
    state.counters["boxTested"] = straddling;
    state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(WorldMatrixRef)->Name("WorldMatrix.ref")->Args({100000, 4})->Args({100000, 16})->Args({1000, 4})->Unit(benchmark::kMicrosecond);
BENCHMARK(WorldMatrixObjects<SpaceObject>)->Name("WorldMatrix.object")->Args({100000, 4})->Args({100000, 16})->Args({1000, 4})->Unit(benchmark::kMicrosecond);
BENCHMARK(WorldMatrixObjects<VisibleObject>)->Name("WorldMatrix.visible")->Args({100000, 4})->Args({100000, 16})->Args({1000, 4})->Unit(benchmark::kMicrosecond);
BENCHMARK(CullingRef)->Name("Culling.ref")->Arg(100000)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(CullingObjects)->Name("Culling.object")->Arg(100000)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quor::world
