#pragma once
// The ground's rectangle test, shared by its blocks, layers, water and masks. Rectangles are four
// floats: left, top, right, bottom.

namespace quor::world::ground {

// Blocks and masks not drawn for this long (and outside the preload rectangle) may go.
constexpr unsigned kIdleMs = 1000;

inline bool PointIn(const float* r, float x, float y) { return r[0] <= x && x < r[2] && r[1] <= y && y < r[3]; }

// A corner of b inside a, or b spanning or fitting a on both axes.
inline bool CornerOrSpan(const float* a, const float* b) {
    if (PointIn(a, b[0], b[1]) || PointIn(a, b[0], b[3]) || PointIn(a, b[2], b[1]) || PointIn(a, b[2], b[3]))
        return true;
    const bool h = (b[0] < a[0] && b[2] >= a[2]) || (a[0] <= b[0] && b[2] <= a[2]);
    const bool v = (b[1] < a[1] && b[3] >= a[3]) || (a[1] <= b[1] && b[3] <= a[3]);
    return h && v;
}

// Either rectangle has a corner inside the other, or they cross.
inline bool RectsMeet(const float* a, const float* b) { return CornerOrSpan(a, b) || CornerOrSpan(b, a); }

}  // namespace quor::world::ground
