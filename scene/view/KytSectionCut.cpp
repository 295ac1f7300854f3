#include "scene/view/KytSectionCut.h"

#include <cmath>

namespace {
constexpr double kTiny = 2.220446e-16;

WqVector3D Crossing(const WqVector3D& n, double d, const WqVector3D& p, const WqVector3D& q)
{
    const WqVector3D e = q - p;
    const double den = n.Dot(e);
    if (std::fabs(den) <= kTiny)
        return p;
    return p + e * ((d - n.Dot(p)) / den);
}

int Side(double s)
{
    if (std::fabs(s) <= kSectionOnPlane)
        return 0;
    return s > 0.0 ? 1 : -1;
}
} // namespace

bool CutTriangle(const WqVector3D& n, double d, const WqVector3D p[3], WqVector3D seg[2])
{
    int side[3];
    int on = 0, pos = 0, neg = 0;
    for (int i = 0; i < 3; ++i) {
        side[i] = Side(n.Dot(p[i]) - d);
        on += side[i] == 0;
        pos += side[i] > 0;
        neg += side[i] < 0;
    }
    if (pos == 3 || neg == 3 || on == 3)
        return false;
    if (on == 2) {
        // The edge in the plane.
        int k = 0;
        for (int i = 0; i < 3; ++i)
            if (side[i] == 0)
                seg[k++] = p[i];
        return true;
    }
    if (on == 1) {
        int v = 0;
        while (side[v] != 0)
            ++v;
        const WqVector3D& a = p[(v + 1) % 3];
        const WqVector3D& b = p[(v + 2) % 3];
        if (side[(v + 1) % 3] == side[(v + 2) % 3])
            return false; // touches at one vertex
        seg[0] = p[v];
        seg[1] = Crossing(n, d, a, b);
        return true;
    }
    // No vertex on the plane: the odd vertex's two edges cross it.
    const int odd = pos == 1 ? (side[0] > 0 ? 0 : side[1] > 0 ? 1 : 2)
                             : (side[0] < 0 ? 0 : side[1] < 0 ? 1 : 2);
    seg[0] = Crossing(n, d, p[odd], p[(odd + 1) % 3]);
    seg[1] = Crossing(n, d, p[odd], p[(odd + 2) % 3]);
    return true;
}

bool PrintScale(int printWidth, int viewWidth, double& scale)
{
    if (viewWidth == 0)
        return false;
    const double ratio = static_cast<double>(printWidth) / static_cast<double>(viewWidth);
    scale = ratio >= 1.0 ? std::floor(ratio) : ratio;
    return true;
}
