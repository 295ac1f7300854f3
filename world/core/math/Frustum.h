#pragma once
#include <emmintrin.h>

#include <cstdint>
#include <type_traits>

#include "world/core/math/Geometry.h"

namespace quor {

// The culling volume: eight corners and the six planes through them. Every test answers
// "outside": true means certainly not visible. Culling builds one per object from the camera's
// corners brought into the object's local space, so a bound is never moved into world space.
struct Frustum {
    // Corner index bits: bit 0 x side (0 left, 1 right), bit 1 y side (0 bottom, 1 top), bit 2
    // depth (0 near, 1 far). Whoever supplies corners supplies them in this order.
    Vec3 corners[8];
    // 0 near, 1 far, 2 left, 3 right, 4 top, 5 bottom; inside is where all distances are >= 0.
    Plane planes[6];
    // Set when the corners passed through a mirroring transform, which reverses every face's
    // winding: BuildPlanes then turns every plane round.
    std::uint8_t flipped = 0;
    // What the sphere and box tests load, made once when the planes are built rather than in
    // every test (each object culls its boxes against its own copy, so nothing can be hoisted
    // out of a caller's loop): the planes transposed into lanes (nx of planes 0-3, nx of 4, 5
    // and two zero planes, then ny, nz and d alike) and the corners' per-axis extremes.
    alignas(16) float lanes[4][8] = {};
    alignas(16) float cornerMin[4] = {};
    alignas(16) float cornerMax[4] = {};

    // Corners from the unit clip volume (x, y in {-1, 1}, z in {0, 1}) through the inverse of
    // `projection` and the camera's world matrix, then the planes. A projection that cannot be
    // inverted answers false and leaves the frustum as it was.
    bool SetFromCamera(const Matrix& world, const Matrix& projection);
    // The planes from the corners, then the cached lanes.
    void BuildPlanes();
    // Refreshes the cached lanes and extremes after planes or corners were written directly.
    void CacheLanes();
    // Some plane distance below 0.
    bool IsPointOutside(const Vec3& p) const;
    // True when the sphere is wholly behind one plane. Otherwise false, and *inside (when
    // given) is 1 when the sphere is wholly in front of all six planes, else 0.
    inline bool TestSphere(const Vec3& centre, float radius,
                           std::uint8_t* inside = nullptr) const;
    // True when the axis-aligned box is certainly outside: all its corners on or behind one
    // plane, or (with testCorners) all the frustum's corners beyond one face of the box.
    inline bool TestBox(const Vec3& centre, const Vec3& half, bool testCorners) const;
    // All eight points on or behind one plane.
    bool ArePointsOutside(const Vec3* points) const;
};

// The sphere and box tests run for every object every frame, so they are inline and
// branch-free over the planes: four planes per register, all six evaluated at once. Each lane
// computes the same float expression as the plain form ((nx x + ny y) + nz z) - d, so the
// answers are the same bit for bit.
namespace detail {
struct FrustumLanes {
    __m128 nx0, ny0, nz0, d0;  // planes 0-3
    __m128 nx1, ny1, nz1, d1;  // planes 4, 5 and two zero planes
};

inline FrustumLanes LoadFrustumLanes(const float (&lanes)[4][8]) {
    FrustumLanes l;
    l.nx0 = _mm_load_ps(lanes[0]);
    l.nx1 = _mm_load_ps(lanes[0] + 4);
    l.ny0 = _mm_load_ps(lanes[1]);
    l.ny1 = _mm_load_ps(lanes[1] + 4);
    l.nz0 = _mm_load_ps(lanes[2]);
    l.nz1 = _mm_load_ps(lanes[2] + 4);
    l.d0 = _mm_load_ps(lanes[3]);
    l.d1 = _mm_load_ps(lanes[3] + 4);
    return l;
}

inline __m128 PlaneDistances(__m128 nx, __m128 ny, __m128 nz, __m128 d, __m128 x, __m128 y,
                             __m128 z) {
    return _mm_sub_ps(
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(nx, x), _mm_mul_ps(ny, y)), _mm_mul_ps(nz, z)), d);
}
// x y z 0, reading the twelve bytes of the vector and no more.
inline __m128 LoadVec3(const Vec3& v) {
    const __m128 xy = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&v.x)));
    return _mm_movelh_ps(xy, _mm_load_ss(&v.z));
}
}  // namespace detail

static_assert(sizeof(Plane) == 16, "the frustum tests load a plane as four floats");
static_assert(sizeof(Vec3) * 8 == 24 * sizeof(float), "the box test loads the corners as 24 floats");

inline bool Frustum::TestSphere(const Vec3& c, float r, std::uint8_t* inside) const {
    const detail::FrustumLanes l = detail::LoadFrustumLanes(lanes);
    const __m128 x = _mm_set1_ps(c.x), y = _mm_set1_ps(c.y), z = _mm_set1_ps(c.z);
    const __m128 s0 = detail::PlaneDistances(l.nx0, l.ny0, l.nz0, l.d0, x, y, z);
    const __m128 s1 = detail::PlaneDistances(l.nx1, l.ny1, l.nz1, l.d1, x, y, z);
    const __m128 zero = _mm_setzero_ps(), rr = _mm_set1_ps(r);
    // Behind a plane by more than the radius: s < 0 and -s > r, that is s < min(0, -r)
    // (negation is exact; a NaN radius stays NaN and culls nothing, as the plain form).
    // The two padding planes have s = 0, which is never behind.
    const __m128 limit = _mm_min_ps(zero, _mm_xor_ps(rr, _mm_set1_ps(-0.0f)));
    const __m128i behind = _mm_packs_epi32(_mm_castps_si128(_mm_cmplt_ps(s0, limit)),
                                           _mm_castps_si128(_mm_cmplt_ps(s1, limit)));
    // Without an answer to fill in (a constant null pointer once inlined) the rest folds away.
    if (!inside) return _mm_movemask_epi8(behind) != 0;
    // In front of a plane by more than the radius: s >= 0 and s > r. For a radius not below 0
    // (NaN and -0 included) s > r alone says it, which spares two compares on every real bound;
    // a negative radius leaves s >= 0.
    __m128i front;
    if (__builtin_expect(!(r < 0.0f), 1))
        front = _mm_packs_epi32(_mm_castps_si128(_mm_cmpgt_ps(s0, rr)),
                                _mm_castps_si128(_mm_cmpgt_ps(s1, rr)));
    else
        front = _mm_packs_epi32(_mm_castps_si128(_mm_cmpge_ps(s0, zero)),
                                _mm_castps_si128(_mm_cmpge_ps(s1, zero)));
    // One pack and one move for both: bits 0-7 the planes behind, bits 8-15 those in front.
    const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(behind, front)));
    const bool outside = (bits & 0xFFu) != 0;
    // An outside sphere leaves *inside as it was; storing the old value back instead of
    // branching keeps a random mix of answers from stalling the caller's loop.
    const unsigned old = *inside, now = (bits & 0x3F00u) == 0x3F00u ? 1u : 0u;
    const unsigned keep = 0u - static_cast<unsigned>(outside);  // all ones when outside
    *inside = static_cast<std::uint8_t>((old & keep) | (now & ~keep));
    return outside;
}

inline bool Frustum::TestBox(const Vec3& centre, const Vec3& half, bool testCorners) const {
    // min = centre - half and max = centre + half, lane by lane as the scalar form rounds them.
    const __m128 cv = detail::LoadVec3(centre), hv = detail::LoadVec3(half);
    const __m128 lo = _mm_sub_ps(cv, hv), hi = _mm_add_ps(cv, hv);
    // All eight corners on or behind a plane exactly when the corner furthest along its normal
    // is. Rounding is monotonic, so per axis the larger of n x min and n x max is that corner's
    // computed term, and its computed distance is the largest of the eight.
    const detail::FrustumLanes l = detail::LoadFrustumLanes(lanes);
    // Spread each coordinate over a register with one shuffle rather than from memory.
    auto splat = [](__m128 v, auto lane) {
        constexpr int i = decltype(lane)::value;
        return _mm_shuffle_ps(v, v, _MM_SHUFFLE(i, i, i, i));
    };
    using X = std::integral_constant<int, 0>;
    using Y = std::integral_constant<int, 1>;
    using Z = std::integral_constant<int, 2>;
    const __m128 lx = splat(lo, X{}), ly = splat(lo, Y{}), lz = splat(lo, Z{});
    const __m128 hx = splat(hi, X{}), hy = splat(hi, Y{}), hz = splat(hi, Z{});
    auto farthest = [](__m128 n, __m128 a, __m128 b) {
        return _mm_max_ps(_mm_mul_ps(n, a), _mm_mul_ps(n, b));
    };
    const __m128 s0 = _mm_sub_ps(_mm_add_ps(_mm_add_ps(farthest(l.nx0, lx, hx), farthest(l.ny0, ly, hy)),
                                            farthest(l.nz0, lz, hz)),
                                 l.d0);
    const __m128 s1 = _mm_sub_ps(_mm_add_ps(_mm_add_ps(farthest(l.nx1, lx, hx), farthest(l.ny1, ly, hy)),
                                            farthest(l.nz1, lz, hz)),
                                 l.d1);
    const __m128 zero = _mm_setzero_ps();
    // Words 0-5 the planes with every corner on or behind them (6 and 7 are padding).
    const __m128i behind = _mm_packs_epi32(_mm_castps_si128(_mm_cmpngt_ps(s0, zero)),
                                           _mm_castps_si128(_mm_cmpngt_ps(s1, zero)));
    if (!testCorners) return (_mm_movemask_epi8(behind) & 0x0FFF) != 0;
    // The plane test keeps a box beyond an edge or corner of the frustum (it straddles the
    // extensions of two planes); the frustum lying wholly beyond one box face settles it: the
    // largest corner coordinate on an axis at or below the box's min, or the smallest at or
    // above its max. Computed whatever the plane test said, so that a random mix of answers
    // does not stall the caller on branches. (Non-finite corners make non-finite planes, and
    // those cull every box before this matters.)
    const __m128 cmax = _mm_load_ps(cornerMax), cmin = _mm_load_ps(cornerMin);
    // Words 0-2 beyond a min face, 4-6 beyond a max face (3 and 7 compare the padding lane).
    const __m128i beyond = _mm_packs_epi32(_mm_castps_si128(_mm_cmple_ps(cmax, lo)),
                                           _mm_castps_si128(_mm_cmpge_ps(cmin, hi)));
    return (_mm_movemask_epi8(_mm_packs_epi16(behind, beyond)) & 0x773F) != 0;
}

}  // namespace quor
