#pragma once
#include <cstdint>

#include "world/core/math/Matrix.h"
#include "world/core/math/Vector.h"

namespace quor::world {

class Camera;
class SpaceObject;

// The rotation whose third row faces along f, with the up hint u: rows right, up, f. An up hint
// (nearly) parallel to f is replaced by the unit axis of f's smallest component. False, with
// out untouched, when f has no direction.
bool MatrixFromForwardUp(Matrix& out, const Vec3& f, const Vec3& u);

// A scene's billboard state for one frame: the camera's position and axes, and the shared
// rotations of types 1 to 3 once computed.
struct BillboardBlock {
    std::uint8_t computed[3] = {0, 0, 0};
    Matrix rotation[3];
    Vec3 worldUp{0, 1, 0};
    Vec3 cameraPosition;
    Vec3 cameraUp;
    Vec3 cameraForward;

    // Reads the camera and forgets the shared rotations.
    void Prepare(Camera& camera);
    // Turns one object by its billboard type (1-5); other types leave it alone.
    void Turn(SpaceObject& object, int type);
};

}  // namespace quor::world
