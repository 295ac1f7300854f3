// The SSE inverse; the product and transforms are inline in MatrixSse.h. The plain forms in
// Matrix.cpp are their oracle.
#include <xmmintrin.h>

#include "world/core/math/Matrix.h"

namespace quor {

bool MatrixInverseSse(Matrix& mat, float* detOut) {
    float* src = mat.m;
    // Rows of the transpose, with the pairs arranged for the 2x2 sub-determinants.
    const __m128 t0 = _mm_movelh_ps(_mm_load_ps(src), _mm_load_ps(src + 4));
    __m128 row1 = _mm_movelh_ps(_mm_load_ps(src + 8), _mm_load_ps(src + 12));
    const __m128 row0 = _mm_shuffle_ps(t0, row1, 0x88);
    row1 = _mm_shuffle_ps(row1, t0, 0xDD);
    const __m128 t1 = _mm_movehl_ps(_mm_load_ps(src + 4), _mm_load_ps(src));
    __m128 row3 = _mm_movehl_ps(_mm_load_ps(src + 12), _mm_load_ps(src + 8));
    __m128 row2 = _mm_shuffle_ps(t1, row3, 0x88);
    row3 = _mm_shuffle_ps(row3, t1, 0xDD);

    __m128 minor0, minor1, minor2, minor3, tmp;

    tmp = _mm_mul_ps(row2, row3);
    tmp = _mm_shuffle_ps(tmp, tmp, 0xB1);
    minor0 = _mm_mul_ps(row1, tmp);
    minor1 = _mm_mul_ps(row0, tmp);
    tmp = _mm_shuffle_ps(tmp, tmp, 0x4E);
    minor0 = _mm_sub_ps(_mm_mul_ps(row1, tmp), minor0);
    minor1 = _mm_sub_ps(_mm_mul_ps(row0, tmp), minor1);
    minor1 = _mm_shuffle_ps(minor1, minor1, 0x4E);

    tmp = _mm_mul_ps(row1, row2);
    tmp = _mm_shuffle_ps(tmp, tmp, 0xB1);
    minor0 = _mm_add_ps(_mm_mul_ps(row3, tmp), minor0);
    minor3 = _mm_mul_ps(row0, tmp);
    tmp = _mm_shuffle_ps(tmp, tmp, 0x4E);
    minor0 = _mm_sub_ps(minor0, _mm_mul_ps(row3, tmp));
    minor3 = _mm_sub_ps(_mm_mul_ps(row0, tmp), minor3);
    minor3 = _mm_shuffle_ps(minor3, minor3, 0x4E);

    tmp = _mm_mul_ps(_mm_shuffle_ps(row1, row1, 0x4E), row3);
    tmp = _mm_shuffle_ps(tmp, tmp, 0xB1);
    row2 = _mm_shuffle_ps(row2, row2, 0x4E);
    minor0 = _mm_add_ps(_mm_mul_ps(row2, tmp), minor0);
    minor2 = _mm_mul_ps(row0, tmp);
    tmp = _mm_shuffle_ps(tmp, tmp, 0x4E);
    minor0 = _mm_sub_ps(minor0, _mm_mul_ps(row2, tmp));
    minor2 = _mm_sub_ps(_mm_mul_ps(row0, tmp), minor2);
    minor2 = _mm_shuffle_ps(minor2, minor2, 0x4E);

    tmp = _mm_mul_ps(row0, row1);
    tmp = _mm_shuffle_ps(tmp, tmp, 0xB1);
    minor2 = _mm_add_ps(_mm_mul_ps(row3, tmp), minor2);
    minor3 = _mm_sub_ps(_mm_mul_ps(row2, tmp), minor3);
    tmp = _mm_shuffle_ps(tmp, tmp, 0x4E);
    minor2 = _mm_sub_ps(_mm_mul_ps(row3, tmp), minor2);
    minor3 = _mm_sub_ps(minor3, _mm_mul_ps(row2, tmp));

    tmp = _mm_mul_ps(row0, row3);
    tmp = _mm_shuffle_ps(tmp, tmp, 0xB1);
    minor1 = _mm_sub_ps(minor1, _mm_mul_ps(row2, tmp));
    minor2 = _mm_add_ps(_mm_mul_ps(row1, tmp), minor2);
    tmp = _mm_shuffle_ps(tmp, tmp, 0x4E);
    minor1 = _mm_add_ps(_mm_mul_ps(row2, tmp), minor1);
    minor2 = _mm_sub_ps(minor2, _mm_mul_ps(row1, tmp));

    tmp = _mm_mul_ps(row0, row2);
    tmp = _mm_shuffle_ps(tmp, tmp, 0xB1);
    minor1 = _mm_add_ps(_mm_mul_ps(row3, tmp), minor1);
    minor3 = _mm_sub_ps(minor3, _mm_mul_ps(row1, tmp));
    tmp = _mm_shuffle_ps(tmp, tmp, 0x4E);
    minor1 = _mm_sub_ps(minor1, _mm_mul_ps(row3, tmp));
    minor3 = _mm_add_ps(_mm_mul_ps(row1, tmp), minor3);

    // Determinant by a horizontal sum of row 0 of the transpose times the first cofactors.
    __m128 det = _mm_mul_ps(row0, minor0);
    det = _mm_add_ps(_mm_shuffle_ps(det, det, 0x4E), det);
    det = _mm_add_ss(_mm_shuffle_ps(det, det, 0xB1), det);
    const float d = _mm_cvtss_f32(det);
    if (d == 0.0f) return false;
    if (detOut) *detOut = d;
    // Outside this range the reciprocal (or the cofactors it scales) leaves the normal floats;
    // the pivoting form still finds the inverse of such a matrix.
    const float magnitude = d < 0.0f ? -d : d;
    if (__builtin_expect(!(magnitude > 1e-36f && magnitude < 1e36f), 0)) return MatrixInverse(mat);

    // Reciprocal estimate refined by one Newton step: r' = r (2 - det r). det r is near 1
    // whatever the magnitude, where r r alone would overflow for a determinant below about
    // 3e-20 (three stacked scales of 0.001) and underflow above 3e19.
    const __m128 r = _mm_rcp_ss(det);
    det = _mm_mul_ss(r, _mm_sub_ss(_mm_set_ss(2.0f), _mm_mul_ss(det, r)));
    det = _mm_shuffle_ps(det, det, 0x00);

    _mm_store_ps(src, _mm_mul_ps(det, minor0));
    _mm_store_ps(src + 4, _mm_mul_ps(det, minor1));
    _mm_store_ps(src + 8, _mm_mul_ps(det, minor2));
    _mm_store_ps(src + 12, _mm_mul_ps(det, minor3));
    return true;
}

}  // namespace quor
