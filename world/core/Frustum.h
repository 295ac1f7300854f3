#pragma once
#include <cstdint>

#include "world/core/Geometry.h"

namespace quor {

// The culling volume: eight corners and the six planes through them. Every test answers
// "outside": true means certainly not visible. Culling builds one per object from the camera's
// corners brought into the object's local space, so a bound is never moved into world space.
struct Frustum {
    // Corner index bits: bit 0 x side (0 left, 1 right), bit 1 y side (0 bottom, 1 top), bit 2
    // depth (0 near, 1 far). Whoever supplies corners supplies them in this order.
    Vec3 corners[8];
    // 0 near, 1 far, 2 left, 3 right, 4 top, 5 bottom; inside is where all distances are >= 0.
    Plane planes[6];
    // Set when the corners passed through a mirroring transform, which reverses every face's
    // winding: BuildPlanes then turns every plane round.
    std::uint8_t flipped = 0;

    // Corners from the unit clip volume (x, y in {-1, 1}, z in {0, 1}) through the inverse of
    // `projection` and the camera's world matrix, then the planes. A projection that cannot be
    // inverted answers false and leaves the frustum as it was.
    bool SetFromCamera(const Matrix& world, const Matrix& projection);
    void BuildPlanes();
    // Some plane distance below 0.
    bool IsPointOutside(const Vec3& p) const;
    // True when the sphere is wholly behind one plane. Otherwise false, and *inside (when
    // given) is 1 when the sphere is wholly in front of all six planes, else 0.
    bool TestSphere(const Vec3& centre, float radius, std::uint8_t* inside = nullptr) const;
    // True when the axis-aligned box is certainly outside: all its corners on or behind one
    // plane, or (with testCorners) all the frustum's corners beyond one face of the box.
    bool TestBox(const Vec3& centre, const Vec3& half, bool testCorners) const;
    // All eight points on or behind one plane.
    bool ArePointsOutside(const Vec3* points) const;
};

}  // namespace quor
