#include "world/core/Frustum.h"

#include "world/core/Align16.h"

namespace quor {

bool Frustum::SetFromCamera(const Matrix& world, const Matrix& projection) {
    Matrix m = projection;
    if (!MatrixInverseFast(m)) return false;
    if (UseAlignedAlloc()) Matrix4Multiply(m, world, m);
    else MatrixMultiplyPlain(m, world, m);
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

bool Frustum::TestSphere(const Vec3& c, float r, std::uint8_t* inside) const {
    unsigned mask = 0;
    for (int i = 0; i < 6; ++i) {
        const float s = Distance(planes[i], c);
        if (s < 0.0f) {
            if (-s > r) return true;
        } else if (s > r) {
            mask |= 1u << i;
        }
    }
    if (inside) *inside = mask == 0x3F ? 1 : 0;
    return false;
}

bool Frustum::TestBox(const Vec3& centre, const Vec3& half, bool testCorners) const {
    const Vec3 mn = centre - half, mx = centre + half;
    const Vec3 box[8] = {{mn.x, mn.y, mn.z}, {mx.x, mn.y, mn.z}, {mn.x, mx.y, mn.z},
                         {mx.x, mx.y, mn.z}, {mn.x, mn.y, mx.z}, {mx.x, mn.y, mx.z},
                         {mn.x, mx.y, mx.z}, {mx.x, mx.y, mx.z}};
    for (const Plane& plane : planes) {
        int behind = 0;
        while (behind < 8 && !(Distance(plane, box[behind]) > 0.0f)) ++behind;
        if (behind == 8) return true;
    }
    if (!testCorners) return false;
    // The plane test keeps a box beyond an edge or corner of the frustum (it straddles the
    // extensions of two planes); the frustum lying wholly beyond one box face settles it.
    for (int axis = 0; axis < 3; ++axis) {
        int i = 0;
        while (i < 8 && corners[i][axis] <= mn[axis]) ++i;
        if (i == 8) return true;
        i = 0;
        while (i < 8 && corners[i][axis] >= mx[axis]) ++i;
        if (i == 8) return true;
    }
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
