#pragma once

namespace quor::render {

// A camera of the host's renderer: owns the projection, the viewport mapping and the frustum
// corners. Matrices are 16 floats, row-major, row vectors (translation in the fourth row);
// points and corners are packed float triples. The slot order is the renderer's.
class IRenderCamera {
public:
    // Field of view in degrees, aspect ratio, near and far distance.
    virtual int SetPerspective(float fovDegrees, float aspect, float zNear, float zFar) = 0; // 0
    // View-volume width and height, near and far distance.
    virtual int SetOrthographic(float width, float height, float zNear, float zFar) = 0;    // 1
    virtual void SetAspect(float aspect) = 0;                                              // 2
    virtual float GetAspect() = 0;                                                         // 3
    virtual void SetDepthRange(float zNear, float zFar) = 0;                               // 4
    // The near distance; the far one too into zFar when given.
    virtual float GetNearPlane(float* zFar = nullptr) = 0;                                 // 5
    virtual void SetFieldOfView(float degrees) = 0;                                        // 6
    virtual float GetFieldOfView() = 0;                                                    // 7
    virtual const float* GetViewMatrix() = 0;                                              // 8
    virtual const float* GetProjectionMatrix() = 0;                                        // 9
    virtual const float* GetViewProjectionMatrix() = 0;                                    // 10
    virtual int GetViewportWidth() = 0;                                                    // 11
    virtual int GetViewportHeight() = 0;                                                   // 12
    virtual float GetFarPlane() = 0;                                                       // 13
    virtual void SetViewMatrix(const float* view) = 0;                                     // 14
    // Recomputes what derives from the view and the projection (frustum corners, products).
    virtual void Refresh() = 0;                                                            // 15
    // A point in view space to screen pixels (x right, y down) and a depth in 0..1; answers
    // 1 when the point lies in front of the camera.
    virtual int Project(const float* viewPoint, float* screen, float* depth) = 0;          // 16
    // A screen position in pixels, x first and y last, to the points on the near and the far
    // plane, in view space.
    virtual void Unproject(float x, float* nearPoint, float* farPoint, float y) = 0;       // 17
    // The eye in world space.
    virtual const float* GetPosition() = 0;                                                // 18
    // The eight world-space corners of the view frustum: bit 0 of the index picks the right
    // side, bit 1 the top, bit 2 the far plane.
    virtual const float* GetFrustumCorners() = 0;                                          // 19
    virtual int IsOrthographic() = 0;                                                      // 20
    // Takes another camera's projection as it is (a perspective one has 1 in element 11);
    // SetDepthRange then rewrites only its depth terms.
    virtual void SetProjectionMatrix(const float* projection) = 0;                         // 21
    // A scale (x, y, z) and an offset (x, y, z) applied to normalised device coordinates after
    // the projection: ndc x scale + offset, in Project and (inverted) in Unproject. A 2D scene
    // fits its map to a render target with them. Cameras without them ignore both.
    virtual void SetViewScale(const float* /*scale*/) {}                                   // 22
    virtual void SetProjectionOffset(const float* /*offset*/) {}                           // 23

protected:
    ~IRenderCamera() = default;
};

}  // namespace quor::render
