#include "world/core/GeoObject.h"

#include <cmath>

namespace quor {

GeoObject::GeoObject(Kind kind, float radius, const Vec3& size)
    : radius_(radius), kind_(kind), size_(size) {
    MatrixIdentity(transform_);
    MatrixIdentity(inverse_);
}

void GeoObject::SetTransform(const Matrix& m) {
    transform_ = m;
    dirty_ = 1;
}

const Matrix& GeoObject::GetInverseTransform() const {
    if (dirty_) {
        inverse_ = transform_;
        invertible_ = MatrixInverseFast(inverse_);
        dirty_ = 0;
    }
    return inverse_;
}

bool GeoObject::ToLocal(const Vec3& p, Vec3& q) const {
    const Matrix& inv = GetInverseTransform();
    // A singular transform (a zero scale) encloses nothing.
    if (!invertible_) return false;
    TransformCoordFast(p, inv, q);
    return true;
}

namespace {
// Per-axis scale magnitudes: the mirror sign MatrixGetScale puts on x says nothing of size.
Vec3 AbsScale(const Matrix& m) {
    Vec3 s;
    MatrixGetScale(m, s);
    return {std::fabs(s.x), std::fabs(s.y), std::fabs(s.z)};
}
}  // namespace

bool GeoObject::BoundingSpheresOverlap(float ownBoundingRadius, const GeoCuboid& other) const {
    const float mA = Vec3MaxComponent(AbsScale(transform_));
    const float mB = Vec3MaxComponent(AbsScale(other.GetTransform()));
    const float c = Vec3Distance(GetTranslation(), other.GetTranslation());
    // The unit cuboid's corners lie sqrt(3)/2 from its centre.
    return c <= ownBoundingRadius * mA + 0.8660254f * mB;
}

GeoSphere::GeoSphere() : GeoObject(kSphere, 1.0f, {0.0f, 0.0f, 0.0f}) {}

bool GeoSphere::ContainsPoint(const Vec3& p) const {
    Vec3 q;
    return ToLocal(p, q) && Vec3Length(q) <= GetRadius();
}

// A light asks this only to narrow the objects it reaches, so it must never miss one: the
// sphere's reach is its radius times its largest scale.
bool GeoSphere::IntersectsCuboid(const GeoCuboid& other) const {
    return BoundingSpheresOverlap(GetRadius(), other);
}

GeoCylinder::GeoCylinder() : GeoObject(kCylinder, 0.0f, {0.5f, 1.0f, 0.0f}) {}

bool GeoCylinder::ContainsPoint(const Vec3& p) const {
    Vec3 q;
    if (!ToLocal(p, q)) return false;
    const float h = GetSize().x, r = GetSize().y;
    return -h <= q.y && q.y <= h && std::sqrt(q.x * q.x + q.z * q.z) <= r;
}

bool GeoCylinder::IntersectsCuboid(const GeoCuboid& other) const {
    const float h = GetSize().x, r = GetSize().y;
    return BoundingSpheresOverlap(std::sqrt(h * h + r * r), other);
}

GeoCuboid::GeoCuboid() : GeoObject(kCuboid, 0.0f, {0.5f, 0.5f, 0.5f}) {}

bool GeoCuboid::ContainsPoint(const Vec3& p) const {
    Vec3 q;
    if (!ToLocal(p, q)) return false;
    const Vec3& h = GetSize();
    return -h.x <= q.x && q.x <= h.x && -h.z <= q.z && q.z <= h.z && -h.y <= q.y && q.y <= h.y;
}

bool GeoCuboid::IntersectsCuboid(const GeoCuboid& other) const {
    const GeoCuboid& a = *this;
    const GeoCuboid& b = other;
    if (b.ContainsPoint(a.GetTranslation()) || a.ContainsPoint(b.GetTranslation())) return true;

    const Vec3 sA = AbsScale(a.GetTransform()), sB = AbsScale(b.GetTransform());
    const Vec3 eA = sA * 0.5f, eB = sB * 0.5f;
    const Vec3 tA = a.GetTranslation(), tB = b.GetTranslation();
    if (Vec3Distance(tA, tB) >= Vec3Length(eA) + Vec3Length(eB)) return false;

    Vec3 transA, transB, scaleA, scaleB;
    Matrix rotA, rotB;
    MatrixDecompose(a.GetTransform(), transA, rotA, scaleA);
    MatrixDecompose(b.GetTransform(), transB, rotB, scaleB);

    // R[i][j] = A's axis i . B's axis j: B's rotation in A's frame. T = the offset of the
    // centres in A's frame.
    float R[3][3], absR[3][3], T[3];
    const Vec3 d = tB - tA;
    for (int i = 0; i < 3; ++i) {
        T[i] = Vec3Dot(d, rotA.Row(i));
        for (int j = 0; j < 3; ++j) {
            R[i][j] = Vec3Dot(rotA.Row(i), rotB.Row(j));
            // A little slack so near-parallel edges, whose cross product is almost zero, do
            // not declare a separation out of rounding.
            absR[i][j] = std::fabs(R[i][j]) + 1e-6f;
        }
    }
    const float ea[3] = {eA.x, eA.y, eA.z}, eb[3] = {eB.x, eB.y, eB.z};

    for (int i = 0; i < 3; ++i) {  // A's face normals
        const float rb = eb[0] * absR[i][0] + eb[1] * absR[i][1] + eb[2] * absR[i][2];
        if (std::fabs(T[i]) > ea[i] + rb) return false;
    }
    for (int j = 0; j < 3; ++j) {  // B's face normals
        const float ra = ea[0] * absR[0][j] + ea[1] * absR[1][j] + ea[2] * absR[2][j];
        const float t = T[0] * R[0][j] + T[1] * R[1][j] + T[2] * R[2][j];
        if (std::fabs(t) > ra + eb[j]) return false;
    }
    for (int i = 0; i < 3; ++i) {  // A's axis i x B's axis j
        const int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
        for (int j = 0; j < 3; ++j) {
            const int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            const float ra = ea[i1] * absR[i2][j] + ea[i2] * absR[i1][j];
            const float rb = eb[j1] * absR[i][j2] + eb[j2] * absR[i][j1];
            const float t = T[i2] * R[i1][j] - T[i1] * R[i2][j];
            if (std::fabs(t) > ra + rb) return false;
        }
    }
    return true;
}

}  // namespace quor
