#pragma once
// The planes of a model's planar shadows: matching, storing and placing them. A plane is four
// floats (a, b, c, d) naming the points p with a*x + b*y + c*z = d.
#include <cstdint>

#include "world/core/math/Matrix.h"

namespace quor::world {

// How a shadow plane is held: relative to the model's parent, to the model, or fixed in the
// world.
enum ShadowPlaneKind : std::int32_t {
    kPlaneRelativeToParent = 0,
    kPlaneRelativeToModel = 1,
    kPlaneFixedInWorld = 2,
};

inline constexpr std::uint32_t kMaxShadowPlanes = 8;
// Planes closer than this in every coefficient are one plane.
inline constexpr float kShadowPlaneTolerance = 0.0001f;

bool ShadowPlanesMatch(const float* a, std::int32_t kindA, const float* b, std::int32_t kindB);

// The index of the stored plane that matches, or the plane stored (with its kind) under the
// next index with count grown and *added set. -1 when it matches none and all
// kMaxShadowPlanes entries are taken: the arrays never grow past their size.
int FindOrAddShadowPlane(float (*planes)[4], std::int32_t* kinds, std::uint32_t& count, const float* plane,
                         std::int32_t kind, bool* added = nullptr);

// The plane brought through a matrix: its normal through the upper 3x3 (made unit length when
// asked), a point on it (normal x d) through the whole matrix, d the new normal's dot product
// with that point. out may be plane.
void TransformShadowPlane(const float* plane, const Matrix& m, bool renormalise, float* out);

// What placing a plane needs to know of the model.
struct ShadowPlaneFrame {
    // The model has a parent: kind 0 goes through the parent-relative inverse matrix.
    bool hasParent = false;
    Matrix parentRelativeInverse;
    // The model's renormalise flag (kind 0 with a parent).
    bool renormalise = false;
    Matrix worldInverse;
    // The model has a world scale or is mirrored (kind 1, kind 0 without a parent).
    bool scaledOrMirrored = false;
};

// The plane in the space the shadow parts draw in. out may be plane.
void PlaceShadowPlane(const float* plane, std::int32_t kind, const ShadowPlaneFrame& frame, float* out);

}  // namespace quor::world
