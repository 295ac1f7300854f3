#include "world/core/math/Frustum.h"

#include <algorithm>

namespace quor {

bool Frustum::SetFromCamera(const Matrix& world, const Matrix& projection) {
    Matrix m = projection;
    if (!MatrixInverseFast(m)) return false;
    MatrixMultiplyFast(m, world, m);
    for (int i = 0; i < 8; ++i) {
        Vec3 c{i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : 0.0f};
        TransformCoordFast(c, m);
        corners[i] = c;
    }
    BuildPlanes();
    return true;
}

void Frustum::BuildPlanes() {
    // With corners from the clip volume every normal points inward. A degenerate face keeps
    // its previous plane.
    planes[1].SetFromPoints(corners[6], corners[7], corners[5]);
    planes[0].normal = -planes[1].normal;
    planes[0].d = Vec3Dot(planes[0].normal, corners[0]);
    planes[2].SetFromPoints(corners[2], corners[6], corners[4]);
    planes[3].SetFromPoints(corners[7], corners[3], corners[5]);
    planes[4].SetFromPoints(corners[2], corners[3], corners[6]);
    planes[5].SetFromPoints(corners[1], corners[0], corners[4]);
    if (flipped) {
        for (Plane& p : planes) {
            p.normal = -p.normal;
            p.d = -p.d;
        }
    }
    CacheLanes();
}

void Frustum::CacheLanes() {
    for (int i = 0; i < 8; ++i) {
        const bool real = i < 6;
        lanes[0][i] = real ? planes[i].normal.x : 0.0f;
        lanes[1][i] = real ? planes[i].normal.y : 0.0f;
        lanes[2][i] = real ? planes[i].normal.z : 0.0f;
        lanes[3][i] = real ? planes[i].d : 0.0f;
    }
    for (int axis = 0; axis < 3; ++axis) {
        float lo = corners[0][axis], hi = corners[0][axis];
        for (const Vec3& c : corners) {
            lo = std::min(lo, c[axis]);
            hi = std::max(hi, c[axis]);
        }
        cornerMin[axis] = lo;
        cornerMax[axis] = hi;
    }
    cornerMin[3] = cornerMax[3] = 0.0f;
}

namespace {
// The dot product is rounded to float before d is subtracted, as everywhere in the library.
inline float Distance(const Plane& p, const Vec3& v) {
    const float dot = p.normal.x * v.x + p.normal.y * v.y + p.normal.z * v.z;
    return dot - p.d;
}
}  // namespace

bool Frustum::IsPointOutside(const Vec3& p) const {
    for (const Plane& plane : planes)
        if (Distance(plane, p) < 0.0f) return true;
    return false;
}

bool Frustum::ArePointsOutside(const Vec3* points) const {
    for (const Plane& plane : planes) {
        int behind = 0;
        while (behind < 8 && Distance(plane, points[behind]) <= 0.0f) ++behind;
        if (behind == 8) return true;
    }
    return false;
}

}  // namespace quor
