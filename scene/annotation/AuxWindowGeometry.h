#pragma once
// Window-coordinate helpers shared by the overlay objects that draw leaders and pick them:
// leader stipples, projection with a captured view, and point and segment distances.

#include "platform/kernel/WqVector3D.h"

#include <algorithm>

class KytLink;

namespace aux_window {

// A window coordinate as an int: a point far outside the view lands far outside the window
// instead of overflowing the conversion; one that did not project (NaN) lands at 0.
inline int WindowInt(double v)
{
    if (!(v == v))
        return 0;
    return static_cast<int>(std::clamp(v, -1.0e9, 1.0e9));
}

// Stipple pattern of a leader line style; styles outside 1 to 4 are solid.
unsigned short LineStipple(int style);

// Window coordinates (y downward) of a world point under the given view; y is the viewport
// height minus the projected y truncated, x stays fractional.
void Project(const WqVector3D& p, const double model[16], const double proj[16],
             const int view[4], double& x, double& y);
// The same with both coordinates truncated.
void ProjectInt(const WqVector3D& p, const double model[16], const double proj[16],
                const int view[4], int& x, int& y);

double PointDistance(double x1, double y1, double x2, double y2);
// Distance from (px, py) to the segment; -1 when the foot of the perpendicular falls outside
// it. Coinciding ends measure to that point.
double SegmentDistance(double x1, double y1, double x2, double y2, double px, double py);
// True when the segment test lies within [0, tolerance].
inline bool NearSegment(double x1, double y1, double x2, double y2, double px, double py,
                        double tolerance)
{
    const double d = SegmentDistance(x1, y1, x2, y2, px, py);
    return d >= 0.0 && d <= tolerance;
}

// Whether an object of `target` (and of `second`, when it has one) stays visible while the
// scene shows `shown` alone.
bool VisibleBelow(KytLink* target, KytLink* second, KytLink* shown);

} // namespace aux_window
