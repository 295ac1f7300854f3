#pragma once
#include <cstdint>

#include "world/core/Align16.h"
#include "world/core/math/Matrix.h"

namespace quor {

class GeoCuboid;

// A unit solid placed by a 4x4 transform: the bounding volume of a light. Position,
// orientation and size come only from the transform.
class GeoObject : public Align16 {
public:
    enum Kind : std::uint32_t { kSphere = 0, kCylinder = 1, kCuboid = 2 };

    virtual ~GeoObject() = default;
    // Copies the transform; the cached inverse is refreshed on next use.
    virtual void SetTransform(const Matrix& m);
    // Whether the world point lies in the solid (bounds inclusive).
    virtual bool ContainsPoint(const Vec3& p) const = 0;

    const Matrix& GetTransform() const { return transform_; }
    // The inverse transform, recomputed first when the transform changed.
    const Matrix& GetInverseTransform() const;
    std::uint32_t GetKind() const { return kind_; }
    float GetRadius() const { return radius_; }
    const Vec3& GetSize() const { return size_; }
    Vec3 GetTranslation() const { return transform_.Row(3); }

protected:
    GeoObject(Kind kind, float radius, const Vec3& size);
    // p in the solid's own space; false when the transform cannot be inverted.
    bool ToLocal(const Vec3& p, Vec3& q) const;
    // Conservative overlap of this shape (radius of its own bounding sphere given) with a
    // cuboid, from the two transforms' bounding spheres.
    bool BoundingSpheresOverlap(float ownBoundingRadius, const GeoCuboid& other) const;

private:
    float radius_;
    std::uint32_t kind_;
    mutable std::uint32_t dirty_ = 1;
    mutable bool invertible_ = true;
    Matrix transform_;
    mutable Matrix inverse_;
    Vec3 size_;
};

// Centre at the origin, radius 1.
class GeoSphere : public GeoObject {
public:
    GeoSphere();
    bool ContainsPoint(const Vec3& p) const override;
    bool IntersectsCuboid(const GeoCuboid& other) const;
};

// Axis y, -0.5 <= y <= 0.5, radius 1.
class GeoCylinder : public GeoObject {
public:
    GeoCylinder();
    bool ContainsPoint(const Vec3& p) const override;
    bool IntersectsCuboid(const GeoCuboid& other) const;
};

// Half extents 0.5 on every axis.
class GeoCuboid : public GeoObject {
public:
    GeoCuboid();
    bool ContainsPoint(const Vec3& p) const override;
    // The oriented-box test: exact up to rounding.
    bool IntersectsCuboid(const GeoCuboid& other) const;
};

}  // namespace quor
