#pragma once
#include <functional>

namespace quor::world {

// The moving parts of a screen transition: the captured last picture of the screen is wiped
// away in one of four patterns (1: sixteen strips shrinking leftwards, 2: opening from the
// middle, 3: sixteen strips shrinking rightwards, 4: thirty columns retracting up and down).
// Each part is drawn as a screen rectangle with the texture rectangle of the capture that lay
// under it.
class ScreenTransition {
public:
    static constexpr int kModeCount = 4;
    // A part to draw: its index, screen rectangle (left, top, right, bottom) and texture
    // rectangle.
    using DrawPart = std::function<void(int part, const float rect[4], const float textureRect[4])>;

    // The set-up of a mode on a w x h screen; modes above 4 (and below 0) change nothing.
    void SetUp(int mode, float w, float h);
    // One frame of frameMs milliseconds at the speed (milliseconds one part's travel takes):
    // draws the parts, moves them, and answers the state word the frame leaves (2 when the
    // transition ended in it, 0 in mode 0, -1 for no change).
    int Step(float frameMs, float speed, const DrawPart& draw);

    int Mode() const { return m_mode; }
    float Position(int i) const { return m_x[i]; }
    float Height(int i) const { return m_h[i]; }

private:
    int m_mode = 0;
    float m_w = 0.0f;
    float m_h0 = 0.0f;
    float m_x[100] = {};
    float m_h[100] = {};
};

}  // namespace quor::world
