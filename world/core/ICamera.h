#pragma once
#include "world/core/math/Matrix.h"
#include "world/core/math/Vector.h"

namespace quor {
struct Ray;
}
namespace quor::render {
class IRenderCamera;
}

namespace quor::world {

class ISpaceObject;

// The host's face of a scene camera. Operations named by a number forward to the render
// camera's operation of that number with arguments and result unchanged. The slot order is
// part of the contract with the host.
class ICamera {
public:
    virtual ISpaceObject* GetSpaceObject() = 0;                                  // 0
    virtual render::IRenderCamera* GetRenderCamera() = 0;                        // 1
    virtual void OrbitPitch(float angle, float distance) = 0;                    // 2
    virtual void OrbitYaw(float angle, float distance) = 0;                      // 3
    virtual int SetPerspective(float fovDegrees, float aspect, float zNear, float zFar) = 0; // 4
    virtual int SetOrthographic(float width, float height, float zNear, float zFar) = 0;    // 5
    virtual void SetParam2(float value) = 0;                                     // 6
    virtual float GetParam3() = 0;                                               // 7
    virtual void SetParam4(float a, float b) = 0;                                // 8
    // The near clip distance, and the far one into zFar when given.
    virtual float GetParam5(float* zFar = nullptr) = 0;                          // 9
    virtual void SetParam6(float value) = 0;                                     // 10
    virtual float GetParam7() = 0;                                               // 11
    virtual int GetProjectionKind() = 0;                                         // 12
    // Pass-throughs to the render camera: its view scale and its projection offset.
    virtual void GetParam8(const Vec3& scale) = 0;                               // 13
    virtual const float* GetParam9() = 0;                                        // 14
    virtual void GetParam10(const Vec3& offset) = 0;                             // 15
    virtual int GetParam11() = 0;                                                // 16
    virtual int GetParam12() = 0;                                                // 17
    // The projection matrix (16 floats) of the render camera.
    virtual const float* GetParam13() = 0;                                       // 18
    virtual void SetViewMatrix(const Matrix& view) = 0;                          // 19
    virtual const Matrix& GetViewMatrix() = 0;                                   // 20
    virtual int GetParam20() = 0;                                                // 21
    virtual Vec3& WorldToView(const Vec3& point, Vec3& out) = 0;                 // 22
    virtual Vec3& ViewToWorld(const Vec3& point, Vec3& out) = 0;                 // 23
    virtual int WorldToScreen(const Vec3& point, float* screen, float* depth) = 0; // 24
    // The screen position comes as x first and y last.
    virtual Ray& ScreenPointToRay(float x, Ray& out, float y) = 0;              // 25
    virtual const Vec3* GetFrustumCorners() = 0;                                 // 26

protected:
    ~ICamera() = default;
};

}  // namespace quor::world
