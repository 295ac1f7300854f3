#pragma once
#include <cstdint>

namespace quor::render {

class IEffect;
class IPrimitive;
class IRenderCamera;

// The host's renderer: textures, effects, primitives, vertex buffers, cameras, lights, views.
class IRenderer {
public:
    // A primitive of the given kind and vertex format; taken back with ReleasePrimitive.
    virtual IPrimitive* CreatePrimitive(int kind, std::uint32_t vertexFormat) = 0;
    virtual void ReleasePrimitive(IPrimitive* primitive) = 0;
    virtual IEffect* CreateEffect() = 0;
    virtual void ReleaseEffect(IEffect* effect) = 0;
    virtual IRenderCamera* CreateRenderCamera() = 0;
    virtual void ReleaseRenderCamera(IRenderCamera* camera) = 0;

protected:
    ~IRenderer() = default;
};

}  // namespace quor::render
