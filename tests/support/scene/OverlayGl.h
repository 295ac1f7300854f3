#pragma once
// Feedback and state probes for drawing tests of overlay objects: an orthographic view of
// [-2, 2] in x, y and z on a 64 x 64 viewport, the vertices mapped back to world units.

#include <array>
#include <functional>
#include <string>
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

// Everything of the fixed-function state a drawing object may touch and must leave as it
// found it: stack depths, matrix mode and matrices, the enables, point size, line width and
// stipple, depth mask and function, blend function, colour material, shade model, polygon
// mode and the list base. The current colour is not in it: fixed-function drawing sets it
// freely.
struct GlState {
    int attrib = 0, modelview = 0, projection = 0, matrixMode = 0;
    std::array<bool, 17> enables{};
    float pointSize = 0, lineWidth = 0;
    int stipplePattern = 0, stippleRepeat = 0;
    bool depthMask = false;
    int depthFunc = 0, blendSrc = 0, blendDst = 0;
    int colorMaterialFace = 0, colorMaterialParam = 0, shadeModel = 0;
    std::array<int, 2> polygonMode{};
    int listBase = 0;
    std::array<float, 16> modelviewMatrix{}, projectionMatrix{};
    bool operator==(const GlState&) const = default;
};
// The names of the fields that differ, for a failure message.
std::string Diff(const GlState& a, const GlState& b);
GlState CaptureState();

// Colour of pixel (x, y) of the current buffer from the bottom-left, 0-255 each.
std::array<int, 3> ReadPixel(int x, int y);

}  // namespace overlaytest
