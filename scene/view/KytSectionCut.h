#pragma once
// The cut of one triangle by a plane and the print scale, shared by the section view and the
// section measurement (internal to the library).

#include "platform/kernel/WqVector3D.h"

// Distances within this of the plane count as on it.
constexpr double kSectionOnPlane = 1.1920929e-7;

// The segment where the plane n . p = d crosses the triangle p[0..2]: true with the ends in
// seg when there is one. A triangle touching the plane at one vertex, lying wholly on one side
// or wholly in the plane gives none; an edge in the plane is the segment.
__attribute__((visibility("hidden"))) bool CutTriangle(const WqVector3D& n, double d,
                                                       const WqVector3D p[3],
                                                       WqVector3D seg[2]);

// Device units per view pixel when printing a view `viewWidth` wide into `printWidth`: whole
// multiples from 1 up (2.5 gives 2), the exact ratio below 1; false for a view of no width.
__attribute__((visibility("hidden"))) bool PrintScale(int printWidth, int viewWidth,
                                                      double& scale);
