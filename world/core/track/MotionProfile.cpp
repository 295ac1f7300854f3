#include "world/core/track/MotionProfile.h"

#include <cmath>

namespace quor::world {

namespace {
constexpr float kPi = 3.14159265358979f;
}

void MotionProfile::Setup(float s0, float s1, float ms, float initialSpeed, std::uint32_t type,
                          std::uint8_t goAndReturnFlag) {
    start = s0;
    cycleType = type;
    goAndReturn = goAndReturnFlag;
    speed = acceleration = amplitude = 0.0f;
    const float d = std::fabs(s1 - s0);
    float seconds = ms * 0.001f;
    if (!(d >= 1e-4f)) cycleType = 0;
    // No time to cover a distance in is a still track, not an infinite speed.
    if (cycleType == 1 || cycleType == 3) {
        if (!(seconds > 0.0f)) cycleType = 0;
    }
    switch (cycleType) {
    case 1:
        speed = d / seconds * 0.001f;
        break;
    case 2: {
        const float v = initialSpeed;
        float a;
        if (v > 0.0f && d - seconds * v <= 0.0f) {
            // The initial speed alone covers the distance: decelerate to rest at the end.
            seconds = 2.0f * d / v;
            a = -v / seconds;
        } else if (seconds > 0.0f) {
            a = 2.0f * (d - seconds * v) / (seconds * seconds);
        } else {
            cycleType = 0;
            break;
        }
        speed = v * 0.001f;
        acceleration = a * 1e-6f;
        break;
    }
    case 3:
        amplitude = d * 0.5f;
        break;
    default:
        cycleType = 0;
        break;
    }
    if (cycleType == 0) {
        goAndReturn = 0;
        duration = 0.0f;
        return;
    }
    duration = seconds * 1000.0f;
    if (goAndReturn) duration *= 2.0f;
}

float MotionProfile::Value(float t) const {
    if (goAndReturn && t > duration * 0.5f) t = duration - t;
    switch (cycleType) {
    case 1:
        return start + speed * t;
    case 2:
        return start + speed * t + acceleration * t * t * 0.5f;
    case 3: {
        if (!(duration > 0.0f)) return start;
        const float k = (goAndReturn ? 2.0f : 1.0f) * kPi / duration;
        return start + amplitude * (1.0f - std::cos(k * t));
    }
    default:
        return start;
    }
}

float MotionProfile::Rate(float t) const {
    switch (cycleType) {
    case 1:
        return speed;
    case 2:
        return std::fabs(acceleration * t + speed);
    case 3: {
        if (!(duration > 0.0f)) return 0.0f;
        const float k = 2.0f * kPi / duration;
        return amplitude * k * std::sin(k * t);
    }
    default:
        return 0.0f;
    }
}

}  // namespace quor::world
