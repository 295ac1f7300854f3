#pragma once
#include <cstdint>

namespace quor::render {

class IRenderCamera;
class IVertexBuffer;
struct DrawRange;

// A decal of the host renderer: projects its texture onto whatever geometry it is given under
// its projection camera's volume. Made by IRenderer::CreateDecalBatch.
class IDecal {
public:
    // What the "<Decal>" technique draws (IExtTechnique::SetParameter).
    virtual void* GetRenderable() = 0;
    // Its frustum (IRenderCamera::GetFrustumCorners) is the projection volume; may be null.
    virtual IRenderCamera* GetProjectionCamera() = 0;
    // The per-frame step.
    virtual void Update() = 0;
    // The stream and ranges it draws this frame; the decal copies the ranges (count 0: none).
    virtual void SetDrawRecord(IVertexBuffer* stream, const DrawRange* ranges, std::uint32_t count) = 0;
    virtual bool IsActive() = 0;

protected:
    ~IDecal() = default;
};

}  // namespace quor::render
