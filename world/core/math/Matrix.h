#pragma once
#include "world/core/Align16.h"
#include "world/core/math/Vector.h"

namespace quor {

// Row-major 4x4 matrix; element (r, c) is m[4r + c]. Points are row vectors multiplied on the
// left (p' = p x M): rows 0-2 are the transformed axes, row 3 the translation, and A x B applies
// A first. Always 16-byte aligned so the SSE routines can load and store it whole; objects
// holding one derive from Align16.
struct alignas(16) Matrix {
    float m[16];

    float& operator()(int r, int c) { return m[4 * r + c]; }
    float operator()(int r, int c) const { return m[4 * r + c]; }
    // Rows 0-3 as vectors (first three components).
    Vec3& Row(int r) { return *reinterpret_cast<Vec3*>(&m[4 * r]); }
    const Vec3& Row(int r) const { return *reinterpret_cast<const Vec3*>(&m[4 * r]); }
    friend bool operator==(const Matrix& a, const Matrix& b);
};
static_assert(sizeof(Matrix) == 64, "Matrix is 16 packed floats");

// --- construction ---------------------------------------------------------------------------
void MatrixIdentity(Matrix& m);
Matrix MatrixIdentity();
void MatrixSet16(Matrix& m, float m00, float m01, float m02, float m03, float m10, float m11,
                 float m12, float m13, float m20, float m21, float m22, float m23, float m30,
                 float m31, float m32, float m33);
// Rows 0-2 = the axes with 0 in the fourth column, row 3 = (0, 0, 0, 1).
Matrix& MatrixFromAxes(Matrix& m, const Vec3& x, const Vec3& y, const Vec3& z);
void MatrixScaling(Matrix& m, const Vec3& s);
void MatrixRotationY(Matrix& m, float angle);
void MatrixRotationZ(Matrix& m, float angle);
// The axis must already be unit length; it is not normalised here.
void MatrixRotationAxis(Matrix& m, const Vec3& axis, float angle);

// An orientation whose third row (z, the direction the object faces) is `forward` and whose
// second row (y) is `up` made perpendicular to it; row 0 = up x forward, so the default pose
// (+z forward, +y up) is the identity, as a new camera and Light::SetDirection's basis expect.
// Translation zero. Callers avoid a parallel pair; should one come anyway, the up hint is
// replaced by the unit axis of forward's smallest component so the result stays a rotation.
void RotationBetweenVectors(const Vec3& forward, const Vec3& up, Matrix& out);
// Rebuilds the upper 3x3 as an orthonormal right-handed basis from rows 1 and 2: row 2 keeps its
// direction, row 0 = row 1 x row 2, row 1 = row 2 x row 0, all unit length, fourth column 0.
// Row 3 is left alone. The same convention as RotationBetweenVectors(row 2, row 1).
void OrthonormalizeRotation(Matrix& m);

// --- products -------------------------------------------------------------------------------
// out = a x b through a temporary: out may be a or b.
void MatrixMultiplyPlain(const Matrix& a, const Matrix& b, Matrix& out);
// out = a x b in SSE. b is read whole before anything is written and each row of a before the
// same row of out, so out may be a or b.
inline void Matrix4Multiply(const Matrix& a, const Matrix& b, Matrix& out);
// out = a x b through the form the SIMD switch selects; out may be a or b.
void MatrixMultiplyFast(const Matrix& a, const Matrix& b, Matrix& out);
// m = m x other, through the form the SIMD switch selects.
void MatrixMultiplyInPlace(Matrix& m, const Matrix& other);
// out = local x parent, where the local matrix has the rotation rows scaled by s and the
// position as translation row. Its fourth column is (0, 0, 0, 1), so only the terms that can be
// non-zero are formed: this is the product of every world-matrix recompute. out may be parent.
void ComposeWorldPlain(const Matrix& rotation, const Vec3& s, const Vec3& position,
                       const Matrix& parent, Matrix& out);
inline void ComposeWorldSse(const Matrix& rotation, const Vec3& s, const Vec3& position,
                            const Matrix& parent, Matrix& out);
// The form the SIMD switch selects (inline: it runs once per object per recompute).
inline void ComposeWorld(const Matrix& rotation, const Vec3& s, const Vec3& position,
                         const Matrix& parent, Matrix& out);
// m = m x (other's upper 3x3 with no translation), through the form the switch selects.
void MatrixMultiplyRotationPart(Matrix& m, const Matrix& other);

// --- inverse --------------------------------------------------------------------------------
// Gauss-Jordan with partial pivoting in a local copy; false and m untouched on an exact zero
// pivot.
bool MatrixInverse(Matrix& m);
// Inverse by 2x2 blocks in SSE; false and m (and *det) untouched when the determinant is exactly 0.
// *det, when given, receives the determinant.
inline bool MatrixInverseSse(Matrix& m, float* det = nullptr);
// The inverse the SIMD switch selects (the SSE form without the determinant, or the plain one).
bool MatrixInverseFast(Matrix& m);

// --- transforms -----------------------------------------------------------------------------
// out = (p, 1) x m, first three components, no division by w. out may be p.
Vec3& TransformPoint(const Vec3& p, const Matrix& m, Vec3& out);
// p = (p, 1) x m divided by the resulting w (multiplied by its reciprocal).
void TransformCoord(Vec3& p, const Matrix& m);
void TransformCoord(const Vec3& p, const Matrix& m, Vec3& out);
inline void TransformCoordSse(Vec3& p, const Matrix& m);
inline void TransformCoordSse(const Vec3& p, const Matrix& m, Vec3& out);
// TransformCoordSse when the SIMD switch is on, else TransformCoord.
void TransformCoordFast(Vec3& p, const Matrix& m);
void TransformCoordFast(const Vec3& p, const Matrix& m, Vec3& out);
// out = v x (upper 3x3 of m): no translation, no division. out may be v.
void TransformNormal(const Vec3& v, const Matrix& m, Vec3& out);
inline void TransformNormalSse(const Vec3& v, const Matrix& m, Vec3& out);
// out = v x m with all four components. out may be v.
void Vec4Transform(const Vec4& v, const Matrix& m, Vec4& out);

// --- scale, mirroring, decomposition --------------------------------------------------------
// Determinant of the upper 3x3 below 0 (evaluated in double).
bool MatrixIsMirrored(const Matrix& m);
// The most the upper 3x3 lengthens any vector (its largest singular value): the factor that
// takes a radius safely into the transformed space, whatever shear or mirror the matrix holds.
float MatrixMaxStretch(const Matrix& m);
// Lengths of rows 0-2; x negated when the matrix is mirrored.
void MatrixGetScale(const Matrix& m, Vec3& out);
// Translation, signed per-axis scale and the rotation built from the divided rows; returns the
// rotation. A zero row gives non-finite components.
Matrix& MatrixDecompose(const Matrix& m, Vec3& translation, Matrix& rotation, Vec3& scale);
// Rows 0-2 scaled to unit length; when the result is mirrored, row 0 is negated (all four
// components). Returns whether it was mirrored.
bool MatrixNormalizeAxes(Matrix& m);
void MatrixSetAxisScale(Matrix& m, float sx, float sy, float sz);
// out = upper 3x3 of m, translation row 0, last column (0, 0, 0, 1). out may be m.
void MatrixRotationPart(Matrix& out, const Matrix& m);
// Rows 0-2 scaled to unit length (no mirror handling).
void MatrixRemoveScale(Matrix& m);
// Rows 0-2 multiplied by s.x, s.y, s.z.
void MatrixApplyScale(Matrix& m, const Vec3& s);
// Rows 0-2 of unit length within 1e-4.
bool MatrixHasUnitScale(const Matrix& m);

}  // namespace quor

#include "world/core/math/MatrixSse.h"

namespace quor {

inline void ComposeWorld(const Matrix& rotation, const Vec3& s, const Vec3& position,
                         const Matrix& parent, Matrix& out) {
    if (UseAlignedAlloc()) ComposeWorldSse(rotation, s, position, parent, out);
    else ComposeWorldPlain(rotation, s, position, parent, out);
}

}  // namespace quor
