#pragma once
#include "platform/kernel/WqVector3D.h"

// 3x3 double matrix of the kernel, stored rows first; the rotation part of every placement.
class WqMatrix33D {
public:
    double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

    WqMatrix33D() = default;
    WqMatrix33D(double a00, double a01, double a02, double a10, double a11, double a12,
                double a20, double a21, double a22)
        : m{{a00, a01, a02}, {a10, a11, a12}, {a20, a21, a22}} {}

    static WqMatrix33D Identity() { return {}; }
    void SetIdentity() { *this = WqMatrix33D(); }

    // Rotation about `axis` (need not be unit) by the angle whose cosine is c and sine is s.
    // A zero axis leaves the identity.
    void MakeRotMatrix(double c, double s, const WqVector3D& axis);
    // Rotation about coordinate axis 0 (x), 1 (y) or 2 (z).
    void MakeRotMatrix(double c, double s, int axis);

    // M * v.
    WqVector3D Multi(const WqVector3D& v) const
    {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }
    // this * other.
    WqMatrix33D Multi(const WqMatrix33D& o) const;
    WqMatrix33D Transpose() const;
    WqVector3D Column(int j) const { return {m[0][j], m[1][j], m[2][j]}; }
    WqVector3D Row(int i) const { return {m[i][0], m[i][1], m[i][2]}; }

    double* operator[](int i) { return m[i]; }
    const double* operator[](int i) const { return m[i]; }
};

// A rotation that takes the z axis to `dir`; false (M untouched) when dir has no direction.
bool MakeMatrixZ(const WqVector3D& dir, WqMatrix33D& M);
