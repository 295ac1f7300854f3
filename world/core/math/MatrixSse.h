#pragma once
// The SSE product, inverse and transforms, inline so that a loop over many points or matrices
// keeps the matrix in registers. They want the second operand and the output 16-byte aligned
// (Matrix always is); the plain forms in Matrix.cpp are their oracle. Included by Matrix.h.
#include <emmintrin.h>

namespace quor {

inline void Matrix4Multiply(const Matrix& a, const Matrix& b, Matrix& out) {
    // b whole first, then row by row: out may alias either operand.
    const __m128 b0 = _mm_load_ps(b.m), b1 = _mm_load_ps(b.m + 4), b2 = _mm_load_ps(b.m + 8),
                 b3 = _mm_load_ps(b.m + 12);
    for (int r = 0; r < 4; ++r) {
        const __m128 row = _mm_loadu_ps(a.m + 4 * r);
        __m128 s = _mm_mul_ps(_mm_shuffle_ps(row, row, 0x00), b0);
        s = _mm_add_ps(s, _mm_mul_ps(_mm_shuffle_ps(row, row, 0x55), b1));
        s = _mm_add_ps(s, _mm_mul_ps(_mm_shuffle_ps(row, row, 0xAA), b2));
        s = _mm_add_ps(s, _mm_mul_ps(_mm_shuffle_ps(row, row, 0xFF), b3));
        _mm_store_ps(out.m + 4 * r, s);
    }
}

inline void ComposeWorldSse(const Matrix& rotation, const Vec3& s, const Vec3& position,
                            const Matrix& parent, Matrix& out) {
    const __m128 p0 = _mm_load_ps(parent.m);
    const __m128 p1 = _mm_load_ps(parent.m + 4);
    const __m128 p2 = _mm_load_ps(parent.m + 8);
    const __m128 p3 = _mm_load_ps(parent.m + 12);
    const float* r = rotation.m;
    __m128 rows[4];
    for (int row = 0; row < 3; ++row) {
        __m128 v = _mm_mul_ps(_mm_set1_ps(r[4 * row] * s[row]), p0);
        v = _mm_add_ps(v, _mm_mul_ps(_mm_set1_ps(r[4 * row + 1] * s[row]), p1));
        v = _mm_add_ps(v, _mm_mul_ps(_mm_set1_ps(r[4 * row + 2] * s[row]), p2));
        rows[row] = v;
    }
    __m128 t = _mm_mul_ps(_mm_set1_ps(position.x), p0);
    t = _mm_add_ps(t, _mm_mul_ps(_mm_set1_ps(position.y), p1));
    t = _mm_add_ps(t, _mm_mul_ps(_mm_set1_ps(position.z), p2));
    rows[3] = _mm_add_ps(t, p3);
    // The parent rows are all read before out is written, so out may be the parent.
    _mm_store_ps(out.m, rows[0]);
    _mm_store_ps(out.m + 4, rows[1]);
    _mm_store_ps(out.m + 8, rows[2]);
    _mm_store_ps(out.m + 12, rows[3]);
}

namespace detail {
inline __m128 SseLinear(const Vec3& p, const Matrix& m) {
    __m128 s = _mm_mul_ps(_mm_set1_ps(p.x), _mm_load_ps(m.m));
    s = _mm_add_ps(s, _mm_mul_ps(_mm_set1_ps(p.y), _mm_load_ps(m.m + 4)));
    return _mm_add_ps(s, _mm_mul_ps(_mm_set1_ps(p.z), _mm_load_ps(m.m + 8)));
}

// Vec3 is 12 bytes: store two lanes and one, never 16 bytes into it.
inline void SseStoreVec3(Vec3& out, __m128 v) {
    _mm_storel_pi(reinterpret_cast<__m64*>(&out.x), v);
    _mm_store_ss(&out.z, _mm_movehl_ps(v, v));
}
}  // namespace detail

inline void TransformCoordSse(const Vec3& p, const Matrix& m, Vec3& out) {
    const __m128 s = _mm_add_ps(detail::SseLinear(p, m), _mm_load_ps(m.m + 12));
    // A true division for w, not the reciprocal estimate.
    const __m128 w = _mm_shuffle_ps(s, s, 0xFF);
    detail::SseStoreVec3(out, _mm_mul_ps(s, _mm_div_ps(_mm_set1_ps(1.0f), w)));
}

inline void TransformCoordSse(Vec3& p, const Matrix& m) { TransformCoordSse(p, m, p); }

inline void TransformNormalSse(const Vec3& v, const Matrix& m, Vec3& out) {
    detail::SseStoreVec3(out, detail::SseLinear(v, m));
}

namespace detail {

// Shuffles spelled with the lanes in memory order (x, y, z, w) = (0, 1, 2, 3).
#define QUOR_LANES(x, y, z, w) ((x) | ((y) << 2) | ((z) << 4) | ((w) << 6))
template <int x, int y, int z, int w>
inline __m128 SseSwizzle(__m128 v) {
    return _mm_shuffle_ps(v, v, QUOR_LANES(x, y, z, w));
}
template <int x, int y, int z, int w>
inline __m128 SseShuffle(__m128 a, __m128 b) {
    return _mm_shuffle_ps(a, b, QUOR_LANES(x, y, z, w));
}
#undef QUOR_LANES

// A register holds a 2x2 block row by row: | a0 a1 | a2 a3 |.
// a b
inline __m128 Mat2Mul(__m128 a, __m128 b) {
    return _mm_add_ps(_mm_mul_ps(a, SseSwizzle<0, 3, 0, 3>(b)),
                      _mm_mul_ps(SseSwizzle<1, 0, 3, 2>(a), SseSwizzle<2, 1, 2, 1>(b)));
}
// adj(a) b
inline __m128 Mat2AdjMul(__m128 a, __m128 b) {
    return _mm_sub_ps(_mm_mul_ps(SseSwizzle<3, 3, 0, 0>(a), b),
                      _mm_mul_ps(SseSwizzle<1, 1, 2, 2>(a), SseSwizzle<2, 3, 0, 1>(b)));
}
// a adj(b)
inline __m128 Mat2MulAdj(__m128 a, __m128 b) {
    return _mm_sub_ps(_mm_mul_ps(a, SseSwizzle<3, 0, 3, 0>(b)),
                      _mm_mul_ps(SseSwizzle<1, 0, 3, 2>(a), SseSwizzle<2, 1, 2, 1>(b)));
}

}  // namespace detail

inline bool MatrixInverseSse(Matrix& mat, float* detOut) {
    using namespace detail;
    // The inverse by 2x2 blocks: M = | A B ; C D |, each block in one register; the inverse's
    // blocks are adjugate expressions of these divided by the determinant.
    float* src = mat.m;
    const __m128 r0 = _mm_load_ps(src), r1 = _mm_load_ps(src + 4), r2 = _mm_load_ps(src + 8),
                 r3 = _mm_load_ps(src + 12);
    const __m128 a = _mm_movelh_ps(r0, r1), b = _mm_movehl_ps(r1, r0);
    const __m128 c = _mm_movelh_ps(r2, r3), d = _mm_movehl_ps(r3, r2);

    // |A| |B| |C| |D|
    const __m128 detSub =
        _mm_sub_ps(_mm_mul_ps(SseShuffle<0, 2, 0, 2>(r0, r2), SseShuffle<1, 3, 1, 3>(r1, r3)),
                   _mm_mul_ps(SseShuffle<1, 3, 1, 3>(r0, r2), SseShuffle<0, 2, 0, 2>(r1, r3)));
    const __m128 detA = SseSwizzle<0, 0, 0, 0>(detSub), detB = SseSwizzle<1, 1, 1, 1>(detSub);
    const __m128 detC = SseSwizzle<2, 2, 2, 2>(detSub), detD = SseSwizzle<3, 3, 3, 3>(detSub);

    const __m128 dc = Mat2AdjMul(d, c);
    const __m128 ab = Mat2AdjMul(a, b);
    __m128 x = _mm_sub_ps(_mm_mul_ps(detD, a), Mat2Mul(b, dc));
    __m128 w = _mm_sub_ps(_mm_mul_ps(detA, d), Mat2Mul(c, ab));
    __m128 y = _mm_sub_ps(_mm_mul_ps(detB, c), Mat2MulAdj(d, ab));
    __m128 z = _mm_sub_ps(_mm_mul_ps(detC, b), Mat2MulAdj(a, dc));

    // |M| = |A| |D| + |B| |C| - tr(adj(A) B adj(D) C), summed across the lanes.
    __m128 tr = _mm_mul_ps(ab, SseSwizzle<0, 2, 1, 3>(dc));
    tr = _mm_add_ps(tr, SseSwizzle<2, 3, 0, 1>(tr));
    tr = _mm_add_ps(tr, SseSwizzle<1, 0, 3, 2>(tr));
    const __m128 det =
        _mm_sub_ps(_mm_add_ps(_mm_mul_ps(detA, detD), _mm_mul_ps(detB, detC)), tr);
    const float dv = _mm_cvtss_f32(det);
    // One test on the biased exponent: zero, denormal, tiny (below 2^-119), huge (from 2^120)
    // and non-finite determinants all fall outside 8..246.
    const unsigned exponent =
        (static_cast<unsigned>(_mm_cvtsi128_si32(_mm_castps_si128(det))) >> 23) & 0xFFu;
    if (__builtin_expect(exponent - 8u > 246u - 8u, 0)) {
        // Singular; or beyond the range where the reciprocal and the scaled adjugate stay
        // normal floats, where the pivoting form still finds the inverse.
        if (dv == 0.0f) return false;
        if (detOut) *detOut = dv;
        return MatrixInverse(mat);
    }
    if (detOut) *detOut = dv;

    // A true division: exact to rounding whatever the magnitude.
    const __m128 scale = _mm_div_ps(_mm_setr_ps(1.0f, -1.0f, -1.0f, 1.0f), det);
    x = _mm_mul_ps(x, scale);
    y = _mm_mul_ps(y, scale);
    z = _mm_mul_ps(z, scale);
    w = _mm_mul_ps(w, scale);
    // The adjugate of each block and the regrouping into rows in one shuffle each.
    _mm_store_ps(src, SseShuffle<3, 1, 3, 1>(x, y));
    _mm_store_ps(src + 4, SseShuffle<2, 0, 2, 0>(x, y));
    _mm_store_ps(src + 8, SseShuffle<3, 1, 3, 1>(z, w));
    _mm_store_ps(src + 12, SseShuffle<2, 0, 2, 0>(z, w));
    return true;
}

}  // namespace quor
