#pragma once

namespace quor::render {

// The host's renderer: textures, effects, primitives, vertex buffers, cameras, lights, views.
class IRenderer {
public:

protected:
    ~IRenderer() = default;
};

}  // namespace quor::render
