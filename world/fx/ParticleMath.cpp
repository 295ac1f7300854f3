#include "world/fx/ParticleMath.h"

#include <cmath>

#include "world/core/Random.h"

namespace quor::world {

namespace {

constexpr float kNear = 0.0001f;

float Draw01() { return static_cast<float>(Rand()) / static_cast<float>(kRandMax); }

// N x (a random unit vector), made unit length; the plane's first axis when they are parallel.
Vec3 RandomPlaneDirection(const EmissionPlane& plane) {
    const Vec3 q = Vec3Cross(plane.normal, RandomUnitVector());
    return NormalizeOr(q, NormalizeOr(plane.axisU, Vec3(1.0f, 0.0f, 0.0f)));
}

}  // namespace

float RandomRange(float a, float b) { return a + (b - a) * static_cast<float>(Rand()) / static_cast<float>(kRandMax); }

float RandomJitter(float value, float bound) {
    const float b = std::fabs(bound);
    return value + RandomRange(-b, b);
}

bool NearZero(const Vec3& v) { return std::fabs(v.x) < kNear && std::fabs(v.y) < kNear && std::fabs(v.z) < kNear; }

Vec3 NormalizeOr(const Vec3& v, const Vec3& fallback) {
    if (NearZero(v)) return fallback;
    const float k = 1.0f / std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x * k, v.y * k, v.z * k};
}

Vec3 RandomUnitVector() {
    const float x = 2.0f * Draw01() - 1.0f;
    const float y = 2.0f * Draw01() - 1.0f;
    const float z = 2.0f * Draw01() - 1.0f;
    const Vec3 v(x, y, z);
    if (v.x == 0.0f && v.y == 0.0f && v.z == 0.0f) return {0.0f, 1.0f, 0.0f};
    const float k = 1.0f / std::sqrt(x * x + y * y + z * z);
    return {x * k, y * k, z * k};
}

float Vec3ApproxLength(const Vec3& v) {
    const float x = std::fabs(v.x), y = std::fabs(v.y), z = std::fabs(v.z);
    if (x >= y && x >= z) return x + 0.25f * (y + z);
    if (y >= z) return y + 0.25f * (x + z);
    return z + 0.25f * (x + y);
}

EmissionPlane MakeEmissionPlane(const Vec3& planeDir) {
    EmissionPlane plane;
    plane.normal = NormalizeOr(planeDir, Vec3(0.0f, 1.0f, 0.0f));
    const Vec3 n = plane.normal;
    plane.axisU = (n.y != 1.0f && n.y != -1.0f) ? Vec3Cross(n, Vec3(0.0f, 1.0f, 0.0f)) : Vec3Cross(n, Vec3(1.0f, 0.0f, 0.0f));
    plane.axisV = Vec3Cross(n, plane.axisU);
    return plane;
}

void MakeEmissionPoint(const EmissionShape& s, float r, Vec3& velocity, Vec3& offset) {
    const Vec3& n = s.plane.normal;
    auto radius = [&] { return s.inside ? RandomRange(0.0f, r) : r; };
    auto speed = [&] { return RandomRange(s.minSpeed, s.maxSpeed); };
    switch (s.type) {
    case 0: {
        const Vec3 d = RandomUnitVector();
        const float v = speed();
        const float R = radius();
        offset = d * R;
        velocity = d * v;
        return;
    }
    case 2:
    case 5: {
        const Vec3 q = RandomPlaneDirection(s.plane);
        const float R = radius();
        const float v = speed();
        offset = q * R;
        velocity = s.type == 2 ? n * v : offset * v;
        return;
    }
    case 3: {
        const float a = RandomRange(-1.0f, 1.0f);
        const float b = RandomRange(-1.0f, 1.0f);
        const Vec3 q = NormalizeOr(s.plane.axisU * b + s.plane.axisV * a,
                                   NormalizeOr(s.plane.axisU, Vec3(1.0f, 0.0f, 0.0f)));
        Vec3 p;
        if (s.inside) {
            const float t = RandomRange(0.0f, 1.0f);
            p = q * RandomRange(0.0f, r * t) + n * (t * s.height);
        } else {
            p = q * r + n * s.height;
        }
        const float v = speed();
        offset = Vec3();
        velocity = NormalizeOr(p, n) * v;
        return;
    }
    case 4: {
        const Vec3 q = RandomPlaneDirection(s.plane);
        const float R = radius();
        const float h = RandomRange(0.0f, s.height);
        const float v = speed();
        offset = q * R + n * h;
        velocity = n * v;
        return;
    }
    default: {  // 1, and types without a shape of their own
        const Vec3 d = RandomUnitVector();
        const float v = speed();
        offset = Vec3();
        velocity = d * v;
        return;
    }
    }
}

int ComputeEmissionCount(float dt, int rate, bool atLeastOne, bool poolEmpty, float& accumulator) {
    if (poolEmpty) return 0;
    float n = static_cast<float>(rate) * dt;
    if (!(n > 0.0f)) n = 0.0f;
    if (atLeastOne && n < 1.0f) n = 1.0f;
    // Far beyond any pool; keeps the count an int.
    if (n > 1e9f) n = 1e9f;
    int k = static_cast<int>(n);
    accumulator += n - static_cast<float>(k);
    if (accumulator >= 1.0f) {
        const int m = static_cast<int>(accumulator);
        k += m;
        accumulator -= static_cast<float>(m);
    }
    return k;
}

void IntegrateParticle(Particle& p, float dt, float friction, float gravity, const Vec3& jitter, bool hasJitter) {
    p.previous = p.position;
    if (hasJitter) {
        const Vec3 old = p.velocity;
        const float x = RandomJitter(old.x, jitter.x);
        const float y = RandomJitter(old.y, jitter.y);
        const float z = RandomJitter(old.z, jitter.z);
        const Vec3 w(x, y, z);
        if (NearZero(w)) {
            p.velocity = w;
        } else {
            const float speed = std::sqrt(old.x * old.x + old.y * old.y + old.z * old.z);
            p.velocity = NormalizeOr(w, w) * speed;
        }
    }
    p.position += p.velocity * dt;
    float f = 1.0f - dt * friction;
    if (f < 0.0f) f = 0.0f;
    p.velocity *= f;
    p.velocity.y += dt * gravity;
}

}  // namespace quor::world
