#pragma once
// Deterministic random vectors, rotations and transforms for the math oracles.
#include <cmath>
#include <random>

#include "world/core/Align16.h"
#include "world/core/math/Matrix.h"
#include "world/core/math/Quaternion.h"

namespace quor::test {

class RandomMath {
public:
    explicit RandomMath(unsigned seed = 12345) : gen_(seed) {}

    float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(gen_); }
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen_); }

    Vec3 Vector(float range = 10.0f) {
        return {Uniform(-range, range), Uniform(-range, range), Uniform(-range, range)};
    }
    Vec3 UnitVector() {
        for (;;) {
            Vec3 v = Vector(1.0f);
            const float l = Vec3Length(v);
            if (l > 0.1f && l <= 1.0f) return v * (1.0f / l);
        }
    }
    Quaternion UnitQuaternion() {
        for (;;) {
            Quaternion q{Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1)};
            const float l = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
            if (l > 0.1f && l <= 1.0f) return {q.x / l, q.y / l, q.z / l, q.w / l};
        }
    }
    Matrix Rotation() {
        Matrix m;
        MatrixRotationAxis(m, UnitVector(), Uniform(-3.14159f, 3.14159f));
        return m;
    }
    // Scale (possibly mirrored) x rotation x translation: the matrices the objects carry.
    Matrix Affine(bool allowMirror = true) {
        Vec3 s{Uniform(0.2f, 5.0f), Uniform(0.2f, 5.0f), Uniform(0.2f, 5.0f)};
        if (allowMirror && Int(0, 3) == 0) s[Int(0, 2)] *= -1.0f;
        Matrix scale, m;
        MatrixScaling(scale, s);
        MatrixMultiplyPlain(scale, Rotation(), m);
        m.Row(3) = Vector(100.0f);
        return m;
    }
    // Sixteen independent entries; now and then the determinant is small, which the caller
    // accounts for in its tolerance.
    Matrix General() {
        Matrix m;
        for (float& f : m.m) f = Uniform(-4.0f, 4.0f);
        return m;
    }

private:
    std::mt19937 gen_;
};

inline float MaxAbsDiff(const Matrix& a, const Matrix& b) {
    float d = 0.0f;
    for (int i = 0; i < 16; ++i) d = std::fmax(d, std::fabs(a.m[i] - b.m[i]));
    return d;
}

inline float MaxAbs(const Matrix& a) {
    float d = 0.0f;
    for (float f : a.m) d = std::fmax(d, std::fabs(f));
    return d;
}

// Restores the SIMD switch when a test that flips it ends.
class SimdSwitch {
public:
    explicit SimdSwitch(bool on) : old_(UseAlignedAlloc()) { SetUseAlignedAlloc(on); }
    ~SimdSwitch() { SetUseAlignedAlloc(old_); }
    SimdSwitch(const SimdSwitch&) = delete;
    SimdSwitch& operator=(const SimdSwitch&) = delete;

private:
    bool old_;
};

}  // namespace quor::test
