#pragma once
// The particle system's arithmetic that needs no effect node: random draws over the runtime's
// generator, emission shapes, the emission count, and one particle's integration step. Kept
// free so each can be checked alone and measured against plain loops.
#include <cstdint>

#include "world/core/math/Vector.h"

namespace quor::world {

// One particle of the pool. `next` threads the free list while the record is free.
struct Particle {
    Particle* next = nullptr;
    float age = 0.0f;
    float lifeSpan = 0.0f;
    float size = 0.0f;
    float startAngle = 0.0f;
    float spinRate = 0.0f;
    Vec3 position;
    Vec3 previous;
    Vec3 velocity;
    std::uint8_t anchored = 0;
    std::int32_t sheetFrame = 0;
    std::uint8_t sheetAnimated = 0;
};

// An emission point kept for reuse while the particle that made it lives.
struct ParticleAnchor {
    Vec3 velocity;
    Vec3 position;
    const Particle* particle = nullptr;
};

// a + (b - a) x r / 32767, r the next value of the thread's generator.
float RandomRange(float a, float b);
// value + RandomRange(-|bound|, |bound|).
float RandomJitter(float value, float bound);
// Three draws (x, y, z) in [-1, 1] scaled to length 1 (not uniform over the sphere). All
// three draws at 0 (a 1 in 2^45 chance) give (0, 1, 0).
Vec3 RandomUnitVector();
// Largest absolute component plus a quarter of the other two.
float Vec3ApproxLength(const Vec3& v);
// v scaled to length 1; a vector within 1e-4 of zero on every axis gives `fallback`.
Vec3 NormalizeOr(const Vec3& v, const Vec3& fallback);
bool NearZero(const Vec3& v);

// The emission plane: its normal (within 1e-4 of zero becomes (0, 1, 0), otherwise unit
// length) and the two axes across it, normal x Y (normal x X when the normal is exactly
// +-Y) and normal x that; neither axis is made unit length.
struct EmissionPlane {
    Vec3 normal{0.0f, 1.0f, 0.0f};
    Vec3 axisU;
    Vec3 axisV;
};
EmissionPlane MakeEmissionPlane(const Vec3& planeDir);

// The shapes: 0 sphere, 1 point, 2 ring or disc, 3 cone, 4 cylinder, 5 expanding ring or disc;
// any other type emits as the point shape.
struct EmissionShape {
    int type = 0;
    bool inside = true;
    float height = 5.0f;
    float minSpeed = 100.0f;
    float maxSpeed = 100.0f;
    EmissionPlane plane;
};

// One emission point for radius r (the radius curve's value now): offset and velocity, with
// the draws in the order each shape makes them.
void MakeEmissionPoint(const EmissionShape& shape, float r, Vec3& velocity, Vec3& offset);

// Particles to emit this frame at `rate` per second over dt, carrying the fraction in the
// accumulator. atLeastOne: the first frame of an "EmitAtBegin" emitter (n below 1 becomes 1).
// 0 when the pool has no free record.
int ComputeEmissionCount(float dt, int rate, bool atLeastOne, bool poolEmpty, float& accumulator);

// The physics of one particle over dt > 0: the previous position is kept, the velocity's
// direction jittered by up to `jitter` per axis (speed kept) when hasJitter, the position
// moved, the velocity damped by friction (factor 1 - dt x friction, at least 0), gravity
// added to its y.
void IntegrateParticle(Particle& p, float dt, float friction, float gravity, const Vec3& jitter, bool hasJitter);

}  // namespace quor::world
