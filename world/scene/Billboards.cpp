#include "world/scene/Billboards.h"

#include <cmath>

#include "world/core/Camera.h"

namespace quor::world {

namespace {
// As stored by the original tables: |cos| at or above this counts as parallel.
constexpr float kParallel = 0.9998999834060669f;

bool Normalised(const Vec3& v, Vec3& out) {
    const float len = Vec3Length(v);
    if (!(len > 0.0f) || !std::isfinite(len)) return false;
    out = v * (1.0f / len);
    return true;
}
}  // namespace

bool MatrixFromForwardUp(Matrix& out, const Vec3& fIn, const Vec3& uIn) {
    Vec3 f, u;
    if (!Normalised(fIn, f)) return false;
    if (!Normalised(uIn, u) || std::fabs(Vec3Dot(f, u)) >= kParallel) {
        int axis = 0;
        if (std::fabs(f.y) < std::fabs(f[axis])) axis = 1;
        if (std::fabs(f.z) < std::fabs(f[axis])) axis = 2;
        u = Vec3{0, 0, 0};
        u[axis] = 1.0f;
    }
    Vec3 right;
    if (!Normalised(Vec3Cross(u, f), right)) return false;
    const Vec3 up = Vec3Cross(f, right);
    MatrixIdentity(out);
    out.Row(0) = right;
    out.Row(1) = up;
    out.Row(2) = f;
    return true;
}

void BillboardBlock::Prepare(Camera& camera) {
    computed[0] = computed[1] = computed[2] = 0;
    worldUp = Vec3{0, 1, 0};
    camera.GetWorldPosition(cameraPosition);
    Vec3 upPoint, forwardPoint;
    camera.LocalToWorld(Vec3{0, 1, 0}, upPoint);
    camera.LocalToWorld(Vec3{0, 0, 1}, forwardPoint);
    cameraUp = upPoint - cameraPosition;
    cameraForward = forwardPoint - cameraPosition;
}

void BillboardBlock::Turn(SpaceObject& object, int type) {
    if (type >= 1 && type <= 3) {
        const int i = type - 1;
        if (!computed[i]) {
            Vec3 f = cameraForward, u = worldUp;
            if (type == 2) f = Vec3Cross(worldUp, Vec3Cross(cameraForward, worldUp));
            if (type == 3) u = cameraUp;
            if (!MatrixFromForwardUp(rotation[i], f, u)) return;
            computed[i] = 1;
        }
        object.SetWorldRotation(rotation[i]);
        return;
    }
    if (type == 4 || type == 5) {
        Vec3 position;
        object.GetWorldPosition(position);
        Matrix r;
        // An object at the camera's position has no facing direction: it keeps its rotation.
        if (MatrixFromForwardUp(r, position - cameraPosition, type == 4 ? worldUp : cameraUp))
            object.SetWorldRotation(r);
    }
}

}  // namespace quor::world
