#include "world/mesh/ShadowPlanes.h"

#include <cmath>
#include <cstring>

namespace quor::world {

bool ShadowPlanesMatch(const float* a, std::int32_t kindA, const float* b, std::int32_t kindB) {
    if (kindA != kindB) return false;
    for (int i = 0; i < 4; ++i)
        if (!(std::fabs(a[i] - b[i]) < kShadowPlaneTolerance)) return false;
    return true;
}

int FindOrAddShadowPlane(float (*planes)[4], std::int32_t* kinds, std::uint32_t& count, const float* plane,
                         std::int32_t kind, bool* added) {
    if (added) *added = false;
    const std::uint32_t used = count < kMaxShadowPlanes ? count : kMaxShadowPlanes;
    for (std::uint32_t i = 0; i < used; ++i)
        if (ShadowPlanesMatch(planes[i], kinds[i], plane, kind)) return int(i);
    if (used >= kMaxShadowPlanes) return -1;
    std::memcpy(planes[used], plane, sizeof planes[used]);
    kinds[used] = kind;
    count = used + 1;
    if (added) *added = true;
    return int(used);
}

void TransformShadowPlane(const float* plane, const Matrix& m, bool renormalise, float* out) {
    const Vec3 normal(plane[0], plane[1], plane[2]);
    const Vec3 point = normal * plane[3];
    Vec3 n, p;
    TransformNormal(normal, m, n);
    if (renormalise) {
        const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        // A normal the matrix collapsed stays as it came out.
        if (length > 0.0f) n *= 1.0f / length;
    }
    TransformPoint(point, m, p);
    out[0] = n.x;
    out[1] = n.y;
    out[2] = n.z;
    out[3] = n.x * p.x + n.y * p.y + n.z * p.z;
}

void PlaceShadowPlane(const float* plane, std::int32_t kind, const ShadowPlaneFrame& frame, float* out) {
    if (kind == kPlaneFixedInWorld) {
        if (out != plane) std::memcpy(out, plane, 4 * sizeof(float));
        return;
    }
    if (kind == kPlaneRelativeToParent && frame.hasParent) {
        TransformShadowPlane(plane, frame.parentRelativeInverse, frame.renormalise, out);
        return;
    }
    TransformShadowPlane(plane, frame.worldInverse, frame.scaledOrMirrored, out);
}

}  // namespace quor::world
