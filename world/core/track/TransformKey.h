#pragma once
#include <cstdint>

#include "world/core/math/Matrix.h"
#include "world/core/math/Quaternion.h"
#include "world/core/math/Vector.h"

namespace quor {

// Euler axis orders, by a key's Euler order 1..6 (0 is a quaternion key). The angles are
// applied in the listed axis order: the first axis turns first. Tracks and the skeleton share
// this one table, so a file's Euler flag means the same everywhere.
constexpr std::uint32_t kEulerOrderCount = 6;
constexpr int kEulerAxes[kEulerOrderCount + 1][3] = {
    {0, 1, 2},  // unused (quaternion)
    {0, 1, 2},  // 1: x, y, z
    {0, 2, 1},  // 2: x, z, y
    {1, 0, 2},  // 3: y, x, z
    {1, 2, 0},  // 4: y, z, x
    {2, 0, 1},  // 5: z, x, y
    {2, 1, 0},  // 6: z, y, x
};

// One sampled transform: position, rotation and scale. The rotation is a quaternion
// (x, y, z, w) when the Euler order is 0, else Euler angles x, y, z in radians (w unused).
struct TransformKey {
    Vec3 position{0.0f, 0.0f, 0.0f};
    Quaternion rotation{0.0f, 0.0f, 0.0f, 1.0f};
    Vec3 scale{1.0f, 1.0f, 1.0f};
    std::uint32_t eulerOrder = 0;

    static void ToMatrix(const TransformKey& key, Matrix& out);
};

// Rotation of Euler angles (radians) applied in the order's axis sequence; translation zero.
// An order outside 1..6 is taken as 1.
void EulerToMatrix(float x, float y, float z, Matrix& out, std::uint32_t order);
void EulerToQuaternion(float x, float y, float z, std::uint32_t order, Quaternion& out);
// The angles (x, y, z) of a rotation matrix's upper 3x3 in that order.
void MatrixToEuler(const Matrix& m, std::uint32_t order, float out[3]);
void QuaternionToEuler(const Quaternion& q, std::uint32_t order, float out[3]);

// Inverts m unless its 3x3 part has (nearly) collapsed, a determinant below 1e-12 in size:
// such a transform has no usable inverse, and false leaves m untouched.
bool MatrixInverseRegular(Matrix& m);

// Position, scale and rotation of m; the rotation as a quaternion when key.eulerOrder is 0,
// else as Euler angles of that order.
void TransformKeyFromMatrix(const Matrix& m, TransformKey& key);
// The key of inverse(b) x a (so b's matrix x the result gives a's). A singular b gives a.
void RelativeTransformKey(TransformKey& out, const TransformKey& a, const TransformKey& b);
// Moves key toward target by f (0 changes nothing): positions and scales that differ by more
// than 1e-4 on some axis blend linearly, rotations slerp (or blend linearly as Euler angles).
void BlendTransformKey(TransformKey& key, const TransformKey& target, float f);
// The same with separate factors for position (x), rotation (y) and scale (z).
void BlendTransformKeyWeighted(TransformKey& key, const TransformKey& target, const Vec3& weights);

}  // namespace quor
