#pragma once
// The SSE product and transforms, inline so that a loop over many points or matrices keeps
// the matrix in registers. They want the second operand and the output 16-byte aligned
// (Matrix always is); the plain forms in Matrix.cpp are their oracle. Included by Matrix.h.
#include <xmmintrin.h>

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

}  // namespace quor
