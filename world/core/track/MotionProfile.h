#pragma once
#include <cstdint>

namespace quor::world {

// A scalar moving from a start value over a duration: still (type 0), at constant speed (1),
// with constant acceleration (2) or by a cosine ease (3); optionally there and back again.
struct MotionProfile {
    float start = 0.0f;
    float duration = 0.0f;  // ms, doubled with go-and-return
    std::uint32_t cycleType = 0;
    std::uint8_t goAndReturn = 0;
    float speed = 0.0f;         // per ms
    float acceleration = 0.0f;  // per ms squared
    float amplitude = 0.0f;

    // From s0 to s1 in `ms` milliseconds starting at `initialSpeed` units per second.
    void Setup(float s0, float s1, float ms, float initialSpeed, std::uint32_t type, std::uint8_t goAndReturnFlag);
    float Value(float t) const;
    float Rate(float t) const;
};

}  // namespace quor::world
