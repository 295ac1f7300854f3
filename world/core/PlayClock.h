#pragma once
#include <cstdint>

namespace quor {

// The clock of everything that plays over time: a time in milliseconds inside a play
// range, advanced once per frame by the module-wide frame step times its speed.
// A plain value type embedded in its owners, which read and set its fields directly.
struct PlayClock {
    // 1e-4 ms, as the single-precision constant it always was.
    static constexpr double kZero = static_cast<double>(9.99999975e-5f);
    // The shortest clip and range: one frame at 15 frames per second.
    static constexpr double kShortestSpan = 66.666666666666667;

    PlayClock();

    void Clear();
    void ResetOpenEnded();
    void SetLength(float ms);
    void SetRange(float start, float end);
    void SetSpeed(float s);
    bool Play();
    void Seek(float t);
    bool Tick();

    bool IsOpenEnded() const { return length < 0.0; }
    // At its end for good: state 2 of a looping clock is only the pulse before a wrap.
    bool HasEnded() const { return state == 2 && !loop; }

    double time = 0.0;
    double length = 0.0;  // negative: open-ended
    float speed = 1.0f;
    std::uint8_t loop = 1;
    std::uint8_t playing = 1;
    std::uint8_t reverse = 0;
    std::uint32_t loopCount = 0;
    std::uint16_t state = 0;  // 0 none, 1 wrapped or moved into the range, 2 ended or about to wrap
    std::uint16_t previousState = 0;
    double rangeStart = 0.0;
    double rangeEnd = 0.0;
};

}  // namespace quor
