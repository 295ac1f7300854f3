#pragma once
#include <cstdint>

#include "platform/host/ISkinBuffer.h"

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

// What a scene asks the renderer for when it adds a decal: the texture projected, the centre of
// the projection and its size. The renderer reads it during CreateDecalBatch only.
struct DecalDescription {
    const char* texture = nullptr;
    float position[3] = {0.0f, 0.0f, 0.0f};
    float size = 0.0f;
};

// A model's shadow decal is a skin buffer of the decal kind; a renderer whose such buffers also
// project as decals gives them this face. Null for null or a buffer without one.
inline IDecal* DecalOfSkinBuffer(void* skinBuffer) {
    return skinBuffer ? dynamic_cast<IDecal*>(static_cast<ISkinBuffer*>(skinBuffer)) : nullptr;
}

}  // namespace quor::render
