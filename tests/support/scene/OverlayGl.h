#pragma once
// Feedback and state probes for drawing tests of overlay objects: an orthographic view of
// [-2, 2] in x, y and z on a 64 x 64 viewport, the vertices mapped back to world units.

#include <array>
#include <functional>
#include <vector>

#include "scene/view/KytPlatform.h"

namespace overlaytest {

struct Primitive {
    int token = 0;  // GL_POINT_TOKEN, GL_LINE_TOKEN (resets too), GL_POLYGON_TOKEN
    std::vector<std::array<double, 3>> v;
};

// Everything `draw` emits, in world units of the view above.
std::vector<Primitive> Feedback(const std::function<void()>& draw);
int Count(const std::vector<Primitive>& prims, int token);

// Stack depths and switches that a drawing must leave as it found them.
struct GlState {
    int attrib = 0, modelview = 0, projection = 0, matrixMode = 0;
    bool depth = false, lighting = false, blend = false, cull = false, stipple = false;
    bool operator==(const GlState&) const = default;
};
GlState CaptureState();

// Colour of pixel (x, y) of the current buffer from the bottom-left, 0-255 each.
std::array<int, 3> ReadPixel(int x, int y);

}  // namespace overlaytest
