#pragma once
#include <cstdint>

#include "world/core/math/Vector.h"

namespace quor::world {

// Filled by the scene and effect loaders and handed to InitFrom of the matching kind.

// Kinds 1 (translate), 3 (scale) and 8 (line).
struct TrackTemplate {
    std::uint8_t loop = 0;
    Vec3 start{0.0f, 0.0f, 0.0f};
    Vec3 end{0.0f, 0.0f, 0.0f};
    float timeLength = 0.0f;  // ms
    float initialSpeed = 0.0f;
    std::uint32_t cycleType = 0;
    std::uint8_t goAndReturn = 0;
    Vec3 vectors[2] = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}};  // TrackLine only
    std::uint8_t faceMode = 0;
    std::uint8_t faceMoveDirection = 0;
};

// Kinds 2 (rotate) and 9 (circle).
struct TrackRotateTemplate {
    std::uint8_t loop = 0;
    Vec3 forward{0.0f, 0.0f, 1.0f};
    Vec3 up{0.0f, 1.0f, 0.0f};
    Vec3 axis{0.0f, 1.0f, 0.0f};
    float startAngle = 0.0f;  // degrees
    float endAngle = 0.0f;    // degrees
    float timeLength = 0.0f;  // ms
    float initialSpeed = 0.0f;
    std::uint32_t cycleType = 0;
    std::uint8_t goAndReturn = 0;
    float radius = 0.0f;                   // TrackCircle
    std::uint8_t faceMoveDirection = 0;    // TrackCircle
    float tiltAngle = 0.0f;                // TrackCircle, degrees
};

// Kind 256 (sampled).
struct TrackSampledTemplate {
    std::uint8_t loop = 0;
    std::uint8_t goAndReturn = 0;
    std::uint8_t faceMoveDirection = 0;
    std::uint8_t faceMode = 0;
    const float* keyTimes = nullptr;
    const float* positions = nullptr;  // 3 per entry
    const float* rotations = nullptr;  // quaternions, 4 per entry
    const float* scales = nullptr;     // 3 per entry
    std::uint16_t keyCount = 0;
    std::uint8_t hasPositionKeys = 0;
    std::uint8_t hasRotationKeys = 0;
    std::uint8_t hasScaleKeys = 0;
};

}  // namespace quor::world
