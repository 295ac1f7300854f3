// The SSE and plain forms of the 4x4 product, inverse and point transform, each against
// Eigen's Matrix4f ("ref") in the same run; and the per-object frustum tests against plain
// structure-of-arrays loops of spheres and boxes (centre and extent) against six planes ("ref").
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "world/core/math/Frustum.h"
#include "world/core/math/Matrix.h"

#ifdef QUOR_HAVE_EIGEN
#include <Eigen/Dense>
#include <Eigen/StdVector>
#endif

namespace quor {
namespace {

constexpr int kBatch = 256;  // matrices per iteration: enough to hide loop overhead, stays in L1

std::mt19937& Gen() {
    static std::mt19937 gen(7);
    return gen;
}
float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(Gen()); }

// Well-conditioned affine matrices with a little perspective, so inverses stay finite.
std::vector<Matrix> RandomMatrices(int n) {
    std::vector<Matrix> out(n);
    for (Matrix& m : out) {
        Vec3 axis{Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1) + 2.0f};
        Vec3SetLength(axis, 1.0f);
        MatrixRotationAxis(m, axis, Uniform(-3, 3));
        MatrixApplyScale(m, {Uniform(0.5f, 2), Uniform(0.5f, 2), Uniform(0.5f, 2)});
        m.Row(3) = {Uniform(-10, 10), Uniform(-10, 10), Uniform(-10, 10)};
        m(0, 3) = Uniform(-0.01f, 0.01f);
        m(3, 3) = 1.0f;
    }
    return out;
}

std::vector<Vec3> RandomPoints(int n) {
    std::vector<Vec3> out(n);
    for (Vec3& p : out) p = {Uniform(-5, 5), Uniform(-5, 5), Uniform(-5, 5)};
    return out;
}

// --- multiply ---------------------------------------------------------------------------------

template <void (*Multiply)(const Matrix&, const Matrix&, Matrix&)>
void BM_Multiply(benchmark::State& state) {
    const auto a = RandomMatrices(kBatch), b = RandomMatrices(kBatch);
    std::vector<Matrix> out(kBatch);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) Multiply(a[i], b[i], out[i]);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_Multiply<Matrix4Multiply>)->Name("Mat4Multiply.sse");
BENCHMARK(BM_Multiply<MatrixMultiplyPlain>)->Name("Mat4Multiply.plain");

// --- inverse ----------------------------------------------------------------------------------

bool InverseSse(Matrix& m) { return MatrixInverseSse(m); }

template <bool (*Invert)(Matrix&)>
void BM_Inverse(benchmark::State& state) {
    const auto src = RandomMatrices(kBatch);
    std::vector<Matrix> out(kBatch);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            // Inverted in place in a local, as callers do, then stored like Eigen's result.
            Matrix m = src[i];
            Invert(m);
            out[i] = m;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_Inverse<InverseSse>)->Name("Mat4Inverse.sse");
BENCHMARK(BM_Inverse<MatrixInverse>)->Name("Mat4Inverse.plain");

// --- point transform with the division by w --------------------------------------------------

template <void (*Transform)(Vec3&, const Matrix&)>
void BM_TransformCoord(benchmark::State& state) {
    const auto m = RandomMatrices(1);
    const auto src = RandomPoints(kBatch);
    std::vector<Vec3> out(kBatch);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            out[i] = src[i];
            Transform(out[i], m[0]);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_TransformCoord<TransformCoordSse>)->Name("Mat4TransformCoord.sse");
BENCHMARK(BM_TransformCoord<TransformCoord>)->Name("Mat4TransformCoord.plain");

#ifdef QUOR_HAVE_EIGEN
// Eigen works on column vectors: the transpose of each row-major matrix is the same column-
// major storage, so M^T x v here computes exactly v x M of the library.
using EigenMats = std::vector<Eigen::Matrix4f, Eigen::aligned_allocator<Eigen::Matrix4f>>;

EigenMats ToEigen(const std::vector<Matrix>& in) {
    EigenMats out(in.size());
    for (size_t i = 0; i < in.size(); ++i) out[i] = Eigen::Map<const Eigen::Matrix4f>(in[i].m);
    return out;
}

void BM_EigenMultiply(benchmark::State& state) {
    const auto a = ToEigen(RandomMatrices(kBatch)), b = ToEigen(RandomMatrices(kBatch));
    EigenMats out(kBatch);
    for (auto _ : state) {
        // (a x b) row-major is (b^T x a^T) in Eigen's column-major view.
        for (int i = 0; i < kBatch; ++i) out[i].noalias() = b[i] * a[i];
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_EigenMultiply)->Name("Mat4Multiply.ref");

void BM_EigenInverse(benchmark::State& state) {
    const auto src = ToEigen(RandomMatrices(kBatch));
    EigenMats out(kBatch);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) out[i] = src[i].inverse();
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_EigenInverse)->Name("Mat4Inverse.ref");

void BM_EigenTransformCoord(benchmark::State& state) {
    const Eigen::Matrix4f m = ToEigen(RandomMatrices(1))[0];
    const auto src = RandomPoints(kBatch);
    std::vector<Vec3> out(kBatch);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            const Eigen::Vector4f h = m * Eigen::Vector4f(src[i].x, src[i].y, src[i].z, 1.0f);
            const Eigen::Vector3f p = h.head<3>() / h.w();
            out[i] = {p.x(), p.y(), p.z()};
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_EigenTransformCoord)->Name("Mat4TransformCoord.ref");
#endif

// --- frustum tests per object ----------------------------------------------------------------
// Culling tests each straddling object's bound against that object's own frustum copy, so the
// frustum changes from one call to the next: the cases cycle through kFrusta frustums (from
// cameras turned different ways) so that nothing about the planes can be hoisted out of the
// loop, in the references as in the tests.

constexpr int kFrusta = 16;

std::vector<Frustum> CameraFrusta() {
    // Cameras at the origin, 60 degrees, depth 1..1000, left-handed, depth 0..1, each turned a
    // little further about y.
    const float ys = 1.0f / std::tan(0.5236f), xs = ys / 1.333f, q = 1000.0f / 999.0f;
    Matrix proj;
    MatrixSet16(proj, xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, q, 1, 0, 0, -q, 0);
    std::vector<Frustum> out(kFrusta);
    for (int i = 0; i < kFrusta; ++i) {
        Matrix world;
        MatrixRotationAxis(world, Vec3{0, 1, 0}, 0.02f * float(i - kFrusta / 2));
        out[static_cast<size_t>(i)].SetFromCamera(world, proj);
    }
    return out;
}

// Bounds spread around the camera so that about a third are visible and the rest are cut by
// different planes, as in a scene.
std::vector<Bounds> SceneBounds(std::int64_t n) {
    std::vector<Bounds> out(static_cast<size_t>(n));
    for (Bounds& b : out) {
        b.centre = {Uniform(-700, 700), Uniform(-500, 500), Uniform(-100, 1100)};
        b.half = {Uniform(0.5f, 20), Uniform(0.5f, 20), Uniform(0.5f, 20)};
        b.radius = Vec3Length(b.half);
    }
    return out;
}

// The bounds and the frustums' planes as plain arrays of floats.
struct SoaBounds {
    std::vector<float> x, y, z, hx, hy, hz, r;
};

SoaBounds ToSoa(const std::vector<Bounds>& in) {
    SoaBounds s;
    for (const Bounds& b : in) {
        s.x.push_back(b.centre.x);
        s.y.push_back(b.centre.y);
        s.z.push_back(b.centre.z);
        s.hx.push_back(b.half.x);
        s.hy.push_back(b.half.y);
        s.hz.push_back(b.half.z);
        s.r.push_back(b.radius);
    }
    return s;
}

struct SoaPlanes {
    float nx[kFrusta][6], ny[kFrusta][6], nz[kFrusta][6], d[kFrusta][6];
};

SoaPlanes PlanesOf(const std::vector<Frustum>& frusta) {
    SoaPlanes p;
    for (int f = 0; f < kFrusta; ++f) {
        for (int i = 0; i < 6; ++i) {
            const Plane& plane = frusta[static_cast<size_t>(f)].planes[i];
            p.nx[f][i] = plane.normal.x;
            p.ny[f][i] = plane.normal.y;
            p.nz[f][i] = plane.normal.z;
            p.d[f][i] = plane.d;
        }
    }
    return p;
}

// Reference: each sphere against the six planes of its frustum, no early exit.
void BM_SoaSpheres(benchmark::State& state) {
    const SoaPlanes p = PlanesOf(CameraFrusta());
    const SoaBounds s = ToSoa(SceneBounds(state.range(0)));
    const size_t n = s.x.size();
    std::vector<std::uint8_t> culled(n);
    for (auto _ : state) {
        for (size_t i = 0; i < n; ++i) {
            const size_t f = i % kFrusta;
            bool out = false;
            for (int k = 0; k < 6; ++k)
                out |= p.nx[f][k] * s.x[i] + p.ny[f][k] * s.y[i] + p.nz[f][k] * s.z[i] - p.d[f][k] < -s.r[i];
            culled[i] = out;
        }
        benchmark::DoNotOptimize(culled.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

// Reference: each box in centre and extent form against the six planes of its frustum:
// s = n.c - d, e = |n|.h, outside when s + e <= 0.
void BM_SoaBoxes(benchmark::State& state) {
    const SoaPlanes p = PlanesOf(CameraFrusta());
    const SoaBounds s = ToSoa(SceneBounds(state.range(0)));
    const size_t n = s.x.size();
    std::vector<std::uint8_t> culled(n);
    for (auto _ : state) {
        for (size_t i = 0; i < n; ++i) {
            const size_t f = i % kFrusta;
            bool out = false;
            for (int k = 0; k < 6; ++k) {
                const float sd = p.nx[f][k] * s.x[i] + p.ny[f][k] * s.y[i] + p.nz[f][k] * s.z[i] - p.d[f][k];
                const float e = std::fabs(p.nx[f][k]) * s.hx[i] + std::fabs(p.ny[f][k]) * s.hy[i] +
                                std::fabs(p.nz[f][k]) * s.hz[i];
                out |= sd + e <= 0.0f;
            }
            culled[i] = out;
        }
        benchmark::DoNotOptimize(culled.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

void BM_FrustumSphere(benchmark::State& state) {
    const std::vector<Frustum> frusta = CameraFrusta();
    const auto bounds = SceneBounds(state.range(0));
    std::vector<std::uint8_t> culled(bounds.size()), inside(bounds.size());
    for (auto _ : state) {
        for (size_t i = 0; i < bounds.size(); ++i)
            culled[i] = frusta[i % kFrusta].TestSphere(bounds[i].centre, bounds[i].radius, &inside[i]);
        benchmark::DoNotOptimize(culled.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same without asking for the fully-inside byte: the cull answer alone, as the reference.
void BM_FrustumSphereCullOnly(benchmark::State& state) {
    const std::vector<Frustum> frusta = CameraFrusta();
    const auto bounds = SceneBounds(state.range(0));
    std::vector<std::uint8_t> culled(bounds.size());
    for (auto _ : state) {
        for (size_t i = 0; i < bounds.size(); ++i)
            culled[i] = frusta[i % kFrusta].TestSphere(bounds[i].centre, bounds[i].radius);
        benchmark::DoNotOptimize(culled.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// With the corner refinement, as culling calls it.
void BM_FrustumBox(benchmark::State& state) {
    const std::vector<Frustum> frusta = CameraFrusta();
    const auto bounds = SceneBounds(state.range(0));
    std::vector<std::uint8_t> culled(bounds.size());
    for (auto _ : state) {
        for (size_t i = 0; i < bounds.size(); ++i)
            culled[i] = frusta[i % kFrusta].TestBox(bounds[i].centre, bounds[i].half, true);
        benchmark::DoNotOptimize(culled.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t n = 1000; n <= 1000000; n *= 10) b->Arg(n);
}
BENCHMARK(BM_SoaSpheres)->Name("FrustumSphere.ref")->Apply(Sizes);
BENCHMARK(BM_FrustumSphere)->Name("FrustumSphere.test")->Apply(Sizes);
BENCHMARK(BM_FrustumSphereCullOnly)->Name("FrustumSphere.cullonly")->Apply(Sizes);
BENCHMARK(BM_SoaBoxes)->Name("FrustumBox.ref")->Apply(Sizes);
BENCHMARK(BM_FrustumBox)->Name("FrustumBox.test")->Apply(Sizes);

}  // namespace
}  // namespace quor
