#include "scene/annotation/AuxWindowGeometry.h"

#include "scene/view/KernelLinks.h"
#include "scene/view/KytPlatform.h"

#include <cmath>

namespace aux_window {

unsigned short LineStipple(int style)
{
    switch (style) {
    case 1: return 0xFC3F;
    case 2: return 0xCCCC;
    case 3: return 0xF18F;
    case 4: return 0xE667;
    default: return 0xFFFF;
    }
}

void Project(const WqVector3D& p, const double model[16], const double proj[16],
             const int view[4], double& x, double& y)
{
    double wx = 0, wy = 0, wz = 0;
    gluProject(p.x, p.y, p.z, model, proj, view, &wx, &wy, &wz);
    x = wx;
    y = view[3] - WindowInt(wy);
}

void ProjectInt(const WqVector3D& p, const double model[16], const double proj[16],
                const int view[4], int& x, int& y)
{
    double wx = 0, wy = 0;
    Project(p, model, proj, view, wx, wy);
    x = WindowInt(wx);
    y = WindowInt(wy);
}

double PointDistance(double x1, double y1, double x2, double y2)
{
    return std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
}

double SegmentDistance(double x1, double y1, double x2, double y2, double px, double py)
{
    const double dx = x2 - x1, dy = y2 - y1;
    if (dx == 0.0 && dy == 0.0)
        return PointDistance(x1, y1, px, py);
    const double r = (dy * (py - y1) + dx * (px - x1)) / (dy * dy + dx * dx);
    const double fx = x1 + dx * r, fy = y1 + dy * r;
    const double along = dx != 0.0 ? (fx - x1) / dx : (fy - y1) / dy;
    if (along < 0.0 || along > 1.0)
        return -1.0;
    return PointDistance(fx, fy, px, py);
}

bool VisibleBelow(KytLink* target, KytLink* second, KytLink* shown)
{
    if (shown && kyt_links::LinkType(shown) == 1)
        return true;
    for (KytLink* l = target; l; l = kyt_links::Parent(l)) {
        if (l != shown)
            continue;
        if (!second)
            return true;
        for (KytLink* s = second; s; s = kyt_links::Parent(s))
            if (s == shown)
                return true;
        return false;
    }
    return false;
}

} // namespace aux_window
