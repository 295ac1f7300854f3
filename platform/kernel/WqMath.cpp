#include "platform/kernel/WqMatrix33D.h"

#include <cmath>

namespace {
constexpr double kZero = 2.220446e-16;
}

const WqVector3D WqVector3D::zero{0.0, 0.0, 0.0};

WqVector3D WqVector3D::Multi(const WqMatrix33D& m) const
{
    return {x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0],
            x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1],
            x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2]};
}

double WqVector3D::Length() const { return std::sqrt(Length2()); }

bool WqVector3D::Normarize()
{
    const double len2 = Length2();
    if (!(len2 > kZero))
        return false;
    *this /= std::sqrt(len2);
    return true;
}

void WqMatrix33D::MakeRotMatrix(double c, double s, const WqVector3D& axis)
{
    WqVector3D a = axis;
    SetIdentity();
    if (!a.Normarize())
        return;
    const double t = 1.0 - c;
    m[0][0] = t * a.x * a.x + c;
    m[0][1] = t * a.x * a.y - s * a.z;
    m[0][2] = t * a.x * a.z + s * a.y;
    m[1][0] = t * a.x * a.y + s * a.z;
    m[1][1] = t * a.y * a.y + c;
    m[1][2] = t * a.y * a.z - s * a.x;
    m[2][0] = t * a.x * a.z - s * a.y;
    m[2][1] = t * a.y * a.z + s * a.x;
    m[2][2] = t * a.z * a.z + c;
}

void WqMatrix33D::MakeRotMatrix(double c, double s, int axis)
{
    WqVector3D a;
    a[axis < 0 || axis > 2 ? 2 : axis] = 1.0;
    MakeRotMatrix(c, s, a);
}

WqMatrix33D WqMatrix33D::Multi(const WqMatrix33D& o) const
{
    WqMatrix33D r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j];
    return r;
}

WqMatrix33D WqMatrix33D::Transpose() const
{
    WqMatrix33D r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = m[j][i];
    return r;
}

bool MakeMatrixZ(const WqVector3D& dir, WqMatrix33D& M)
{
    WqVector3D z = dir;
    if (!z.Normarize())
        return false;
    // Pick the world axis least parallel to z as the helper for the x column.
    WqVector3D helper = std::fabs(z.x) < 0.9 ? WqVector3D(1, 0, 0) : WqVector3D(0, 1, 0);
    WqVector3D y = z.Cross(helper);
    y.Normarize();
    WqVector3D x = y.Cross(z);
    x.Normarize();
    for (int i = 0; i < 3; ++i) {
        M.m[i][0] = x[i];
        M.m[i][1] = y[i];
        M.m[i][2] = z[i];
    }
    return true;
}
