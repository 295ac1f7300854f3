#include "world/core/math/Matrix.h"

#include <cmath>
#include <algorithm>
#include <cstring>

#include "world/core/Align16.h"

namespace quor {

bool operator==(const Matrix& a, const Matrix& b) {
    for (int i = 0; i < 16; ++i)
        if (a.m[i] != b.m[i]) return false;
    return true;
}

void MatrixIdentity(Matrix& m) {
    std::memset(m.m, 0, sizeof m.m);
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
}

Matrix MatrixIdentity() {
    Matrix m;
    MatrixIdentity(m);
    return m;
}

void MatrixSet16(Matrix& m, float m00, float m01, float m02, float m03, float m10, float m11,
                 float m12, float m13, float m20, float m21, float m22, float m23, float m30,
                 float m31, float m32, float m33) {
    const float v[16] = {m00, m01, m02, m03, m10, m11, m12, m13,
                         m20, m21, m22, m23, m30, m31, m32, m33};
    std::memcpy(m.m, v, sizeof v);
}

Matrix& MatrixFromAxes(Matrix& m, const Vec3& x, const Vec3& y, const Vec3& z) {
    MatrixSet16(m, x.x, x.y, x.z, 0.0f, y.x, y.y, y.z, 0.0f, z.x, z.y, z.z, 0.0f, 0.0f, 0.0f,
                0.0f, 1.0f);
    return m;
}

void MatrixScaling(Matrix& m, const Vec3& s) {
    MatrixIdentity(m);
    m.m[0] = s.x;
    m.m[5] = s.y;
    m.m[10] = s.z;
}

void MatrixRotationY(Matrix& m, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    MatrixIdentity(m);
    m(0, 0) = c;
    m(0, 2) = -s;
    m(2, 0) = s;
    m(2, 2) = c;
}

void MatrixRotationZ(Matrix& m, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    MatrixIdentity(m);
    m(0, 0) = c;
    m(0, 1) = s;
    m(1, 0) = -s;
    m(1, 1) = c;
}

void MatrixRotationAxis(Matrix& m, const Vec3& a, float angle) {
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    MatrixSet16(m,
                a.x * a.x * t + c, a.y * a.x * t + a.z * s, a.x * a.z * t - a.y * s, 0.0f,
                a.x * a.y * t - a.z * s, a.y * a.y * t + c, a.y * a.z * t + a.x * s, 0.0f,
                a.x * a.z * t + a.y * s, a.y * a.z * t - a.x * s, a.z * a.z * t + c, 0.0f,
                0.0f, 0.0f, 0.0f, 1.0f);
}

namespace {
// Unit axis of v's smallest absolute component: x, then y if smaller, then z if smaller still.
Vec3 SmallestAxis(const Vec3& v) {
    const float ax = std::fabs(v.x), ay = std::fabs(v.y), az = std::fabs(v.z);
    Vec3 r{1.0f, 0.0f, 0.0f};
    float best = ax;
    if (ay < best) { r = {0.0f, 1.0f, 0.0f}; best = ay; }
    if (az < best) r = {0.0f, 0.0f, 1.0f};
    return r;
}
}  // namespace

// Tracks hand a facing and an up hint (a rotation track's forward and up, a flying track's
// direction with +y up, a circle track's turned rows), SpaceObject's face-move-direction hands
// the move direction with a perpendicular reference, and the camera's default pose is +z with
// +y up: all of them mean "z axis along forward, y axis as close to up as possible", the same
// basis Light::SetDirection builds (row 0 = up x forward). So this is a look-rotation, not the
// shortest arc between the two vectors.
void RotationBetweenVectors(const Vec3& forward, const Vec3& up, Matrix& out) {
    Vec3 f = forward;
    const float fl = Vec3Length(f);
    if (fl > 0.0f) Vec3DivScalar(f, fl);
    else f = {0.0f, 0.0f, 1.0f};
    Vec3 right = Vec3Cross(up, f);
    float rl = Vec3Length(right);
    if (!(rl > 1e-6f * Vec3Length(up))) {
        right = Vec3Cross(SmallestAxis(f), f);
        rl = Vec3Length(right);
    }
    Vec3DivScalar(right, rl);
    const Vec3 u = Vec3Cross(f, right);
    MatrixFromAxes(out, right, u, f);
}

void OrthonormalizeRotation(Matrix& m) {
    const Vec3 z = m.Row(2), y = m.Row(1);
    Matrix r;
    RotationBetweenVectors(z, y, r);
    for (int i = 0; i < 12; ++i) m.m[i] = r.m[i];
}

void MatrixMultiplyPlain(const Matrix& a, const Matrix& b, Matrix& out) {
    Matrix t;
    for (int r = 0; r < 4; ++r) {
        const float a0 = a.m[4 * r], a1 = a.m[4 * r + 1], a2 = a.m[4 * r + 2],
                    a3 = a.m[4 * r + 3];
        for (int c = 0; c < 4; ++c)
            t.m[4 * r + c] = a0 * b.m[c] + a1 * b.m[4 + c] + a2 * b.m[8 + c] + a3 * b.m[12 + c];
    }
    out = t;
}

// --- the SIMD switch: every choice between the SSE and the plain forms is made here (and in
// the inline ComposeWorld of Matrix.h) -----------------------------------------------------

void MatrixMultiplyFast(const Matrix& a, const Matrix& b, Matrix& out) {
    if (UseAlignedAlloc()) Matrix4Multiply(a, b, out);
    else MatrixMultiplyPlain(a, b, out);
}

bool MatrixInverseFast(Matrix& m) {
    return UseAlignedAlloc() ? MatrixInverseSse(m) : MatrixInverse(m);
}

void TransformCoordFast(Vec3& p, const Matrix& m) {
    if (UseAlignedAlloc()) TransformCoordSse(p, m);
    else TransformCoord(p, m);
}

// ---------------------------------------------------------------------------------------------

void MatrixMultiplyInPlace(Matrix& m, const Matrix& other) { MatrixMultiplyFast(m, other, m); }

void ComposeWorldPlain(const Matrix& rotation, const Vec3& s, const Vec3& position,
                       const Matrix& parent, Matrix& out) {
    const float* r = rotation.m;
    const float* p = parent.m;
    float result[16];
    for (int row = 0; row < 3; ++row) {
        const float a = r[4 * row] * s[row];
        const float b = r[4 * row + 1] * s[row];
        const float c = r[4 * row + 2] * s[row];
        for (int col = 0; col < 4; ++col) {
            result[4 * row + col] = a * p[col] + b * p[4 + col] + c * p[8 + col];
        }
    }
    for (int col = 0; col < 4; ++col) {
        result[12 + col] =
            position.x * p[col] + position.y * p[4 + col] + position.z * p[8 + col] + p[12 + col];
    }
    std::copy(result, result + 16, out.m);
}

void MatrixMultiplyRotationPart(Matrix& m, const Matrix& other) {
    Matrix r;
    MatrixRotationPart(r, other);
    MatrixMultiplyInPlace(m, r);
}

bool MatrixInverse(Matrix& m) {
    float rows[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            rows[r][c] = m.m[4 * r + c];
            rows[r][4 + c] = r == c ? 1.0f : 0.0f;
        }
    bool used[4] = {false, false, false, false};
    int perm[4] = {0, 1, 2, 3};
    for (int k = 0; k < 4; ++k) {
        // Largest magnitude among the rows not yet used; the first of equals wins, and only an
        // exact zero means singular.
        int p = -1;
        float best = 0.0f;
        for (int r = 0; r < 4; ++r) {
            if (used[r]) continue;
            const float v = std::fabs(rows[r][k]);
            if (v > best) {
                best = v;
                p = r;
            }
        }
        if (p < 0) return false;
        used[p] = true;
        perm[k] = p;
        const float inv = 1.0f / rows[p][k];
        for (int c = 0; c < 8; ++c) rows[p][c] *= inv;
        for (int r = 0; r < 4; ++r) {
            if (r == p) continue;
            const float f = rows[r][k];
            if (f == 0.0f) continue;
            for (int c = 0; c < 8; ++c) rows[r][c] -= f * rows[p][c];
        }
    }
    // Row perm[k] ended with its 1 in column k, so it holds row k of the inverse.
    for (int k = 0; k < 4; ++k)
        for (int c = 0; c < 4; ++c) m.m[4 * k + c] = rows[perm[k]][4 + c];
    return true;
}

Vec3& TransformPoint(const Vec3& p, const Matrix& m, Vec3& out) {
    const Vec3 r{p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8] + m.m[12],
                 p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9] + m.m[13],
                 p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10] + m.m[14]};
    out = r;
    return out;
}

void TransformCoord(Vec3& p, const Matrix& m) {
    const float x = p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8] + m.m[12];
    const float y = p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9] + m.m[13];
    const float z = p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10] + m.m[14];
    const float w = p.x * m.m[3] + p.y * m.m[7] + p.z * m.m[11] + m.m[15];
    const float inv = 1.0f / w;
    p = {x * inv, y * inv, z * inv};
}

void TransformCoord(const Vec3& p, const Matrix& m, Vec3& out) {
    out = p;
    TransformCoord(out, m);
}

void TransformCoordFast(const Vec3& p, const Matrix& m, Vec3& out) {
    out = p;
    TransformCoordFast(out, m);
}

void TransformNormal(const Vec3& v, const Matrix& m, Vec3& out) {
    const Vec3 r{v.x * m.m[0] + v.y * m.m[4] + v.z * m.m[8],
                 v.x * m.m[1] + v.y * m.m[5] + v.z * m.m[9],
                 v.x * m.m[2] + v.y * m.m[6] + v.z * m.m[10]};
    out = r;
}

void Vec4Transform(const Vec4& v, const Matrix& m, Vec4& out) {
    Vec4 r;
    for (int c = 0; c < 4; ++c)
        r[c] = v.x * m.m[c] + v.y * m.m[4 + c] + v.z * m.m[8 + c] + v.w * m.m[12 + c];
    out = r;
}

bool MatrixIsMirrored(const Matrix& m) {
    // In double: the determinant of a small but regular scale underflows in float.
    const double a = m.m[0], b = m.m[1], c = m.m[2], d = m.m[4], e = m.m[5], f = m.m[6],
                 g = m.m[8], h = m.m[9], i = m.m[10];
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g) < 0.0;
}

float MatrixMaxStretch(const Matrix& m) {
    // The largest singular value of the upper 3x3 is the square root of the largest eigenvalue
    // of the symmetric A = M M^T (the Gram matrix of the rows), found in closed form. Double
    // precision keeps the answer right to float rounding for any scale a float can carry.
    double r[3][3];
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) r[row][col] = m.m[4 * row + col];
    double a[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            a[i][j] = r[i][0] * r[j][0] + r[i][1] * r[j][1] + r[i][2] * r[j][2];
    const double p1 = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
    double largest;
    const double q = (a[0][0] + a[1][1] + a[2][2]) / 3.0;
    const double p2 = (a[0][0] - q) * (a[0][0] - q) + (a[1][1] - q) * (a[1][1] - q) +
                      (a[2][2] - q) * (a[2][2] - q) + 2.0 * p1;
    if (!(p2 > 1e-24 * q * q)) {
        // Orthogonal rows of equal length (a similarity): every eigenvalue is the mean.
        largest = std::max(a[0][0], std::max(a[1][1], a[2][2]));
    } else {
        const double p = std::sqrt(p2 / 6.0);
        double b[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) b[i][j] = (a[i][j] - (i == j ? q : 0.0)) / p;
        const double det = b[0][0] * (b[1][1] * b[2][2] - b[1][2] * b[2][1]) -
                           b[0][1] * (b[1][0] * b[2][2] - b[1][2] * b[2][0]) +
                           b[0][2] * (b[1][0] * b[2][1] - b[1][1] * b[2][0]);
        const double half = std::clamp(det / 2.0, -1.0, 1.0);
        largest = q + 2.0 * p * std::cos(std::acos(half) / 3.0);
        // The eigenvalue can never be below the largest squared row length (the diagonal of a
        // symmetric matrix lies within its eigenvalue range); taking the larger of the two
        // guards against the rounding of the closed form.
        largest = std::max(largest, std::max(a[0][0], std::max(a[1][1], a[2][2])));
    }
    // Rounded up, never down: a bound must not shrink by the last bit.
    const double stretch = std::sqrt(std::max(largest, 0.0));
    float out = static_cast<float>(stretch);
    if (static_cast<double>(out) < stretch) out = std::nextafter(out, INFINITY);
    return out;
}

void MatrixGetScale(const Matrix& m, Vec3& out) {
    out = {Vec3Length(m.Row(0)), Vec3Length(m.Row(1)), Vec3Length(m.Row(2))};
    if (MatrixIsMirrored(m)) out.x = -out.x;
}

Matrix& MatrixDecompose(const Matrix& m, Vec3& translation, Matrix& rotation, Vec3& scale) {
    translation = m.Row(3);
    float sx = Vec3Length(m.Row(0)), sy = Vec3Length(m.Row(1)), sz = Vec3Length(m.Row(2));
    if (MatrixIsMirrored(m)) {
        // Put the mirror on the axis that most plausibly carries it, so a mirror about one
        // axis with no rotation comes back as a negative scale on that axis.
        if (m(2, 2) >= 0.0f) {
            if (m(1, 1) >= 0.0f) sx = -sx;
            else sy = -sy;
        } else {
            sz = -sz;
            if (m(0, 0) < 0.0f && m(1, 1) < 0.0f) {
                sx = -sx;
                sy = -sy;
            }
        }
    }
    scale = {sx, sy, sz};
    Vec3 x = m.Row(0), y = m.Row(1), z = m.Row(2);
    Vec3DivScalar(x, sx);
    Vec3DivScalar(y, sy);
    Vec3DivScalar(z, sz);
    return MatrixFromAxes(rotation, x, y, z);
}

bool MatrixNormalizeAxes(Matrix& m) {
    for (int r = 0; r < 3; ++r) Vec3SetLength(m.Row(r), 1.0f);
    if (!MatrixIsMirrored(m)) return false;
    for (int c = 0; c < 4; ++c) m.m[c] = -m.m[c];
    return true;
}

void MatrixSetAxisScale(Matrix& m, float sx, float sy, float sz) {
    MatrixNormalizeAxes(m);
    m.Row(0) *= sx;
    m.Row(1) *= sy;
    m.Row(2) *= sz;
}

void MatrixRotationPart(Matrix& out, const Matrix& m) {
    const Vec3 x = m.Row(0), y = m.Row(1), z = m.Row(2);
    MatrixFromAxes(out, x, y, z);
}

void MatrixRemoveScale(Matrix& m) {
    for (int r = 0; r < 3; ++r) Vec3SetLength(m.Row(r), 1.0f);
}

void MatrixApplyScale(Matrix& m, const Vec3& s) {
    m.Row(0) *= s.x;
    m.Row(1) *= s.y;
    m.Row(2) *= s.z;
}

bool MatrixHasUnitScale(const Matrix& m) {
    for (int r = 0; r < 3; ++r)
        if (std::fabs(Vec3Length(m.Row(r)) - 1.0f) > 1e-4f) return false;
    return true;
}

}  // namespace quor
