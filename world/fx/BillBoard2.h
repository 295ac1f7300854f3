#pragma once
#include <cstdint>
#include <vector>

#include "world/core/VisibleObject.h"

namespace quor::render {
class IEffect;
class IMaterial;
class IPrimitive;
class ITexture;
}  // namespace quor::render

namespace quor::world {

// An upright textured quad of 100 x 100 world units standing on its origin, for vegetation.
// Its shared "Common" effect must be loaded before the first one is made.
class BillBoard2 : public VisibleObject {
public:
    struct Vertex {
        float x, y, z, u, v;
        std::uint32_t colour;
    };

    BillBoard2();
    ~BillBoard2() override;

    void Init();
    // Turns the quad to face along (dx, dy, dz): yaw atan2(dx, dz) about the vertical axis,
    // then pitch atan2(dy, sqrt(dx^2 + dz^2)) about x, from the quad as first built.
    void Rotate(float dx, float dy, float dz);
    // The object's own turn about an axis stays reachable.
    using VisibleObject::Rotate;

    // Draws the quad at the object's world matrix.
    void DrawPart(int part) override;

    const std::vector<Vertex>& Vertices() const { return m_vertices; }
    render::IPrimitive* Primitive() const { return m_primitive; }
    render::ITexture* Texture() const { return m_texture; }
    render::IMaterial* Material() const { return m_material; }

    static void LoadSharedEffect();
    static void ReleaseSharedEffect();
    static render::IEffect* SharedEffect();

private:
    void WriteVertices();

    render::IPrimitive* m_primitive = nullptr;
    render::ITexture* m_texture = nullptr;
    std::vector<Vertex> m_vertices;
    std::uint32_t m_colour = 0xFFFFFFFFu;
    render::IMaterial* m_material = nullptr;
};

}  // namespace quor::world
