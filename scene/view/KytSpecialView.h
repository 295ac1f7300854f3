#pragma once
// Helpers shared by the special views (not exported).

#include "platform/kernel/WqVector3D.h"

class KytViewPort;

// Fits the viewport's depth range round the box [min, max]: eye distance from the look-at
// point to the box centre plus half the diagonal times the distance factor, near plane 0,
// far plane at the far rate; reloads the projection and the camera. Needs a current context.
__attribute__((visibility("hidden"))) void FitDepthToBox(KytViewPort* viewport,
                                                         const WqVector3D& min,
                                                         const WqVector3D& max);
