#pragma once
#include <cstdint>

#include "world/fx/FxBase.h"

namespace quor::render {
class IPrimitive;
class ITexture;
}  // namespace quor::render

namespace quor::world {

// A screen-space quad at the projection of a point a fixed distance from the camera in the
// node's offset direction: a sun or lens flare that stays with the view.
class EnvFlareFx : public FxBase {
public:
    // The flare point lies this far from the camera.
    static constexpr float kDistance = 10.0f;
    // Below this cosine between the view and the flare direction there is no quad: the point
    // is beside or behind the view and the size would blow up or flip.
    static constexpr float kMinFacing = 1e-4f;

    EnvFlareFx();
    ~EnvFlareFx() override;

    bool LoadFromXml(common::IXmlNode* node, std::uint32_t flags) override;
    void SetPlaying(bool play) override;
    void Deactivate() override;
    void Release() override;
    void Update() override;
    void Render() override;
    void SetPlaySpeed(float speed) override;
    using FxBase::UpdateCulling;
    bool UpdateCulling() override;

    std::int32_t AnimationLength() const { return m_animLength; }
    float Aspect() const { return m_aspect; }
    render::IPrimitive* Primitive() const { return m_primitive; }
    render::ITexture* Texture() const { return m_texture; }

private:
    std::int32_t m_animLength = 0;
    std::int32_t m_lastPhase = 0;
    std::int32_t m_blendMode = 1;
    float m_radius = 0.0f;
    float m_startScale = 1.0f;
    float m_endScale = 1.0f;
    render::ITexture* m_texture = nullptr;
    std::uint32_t m_startTick = 0;
    float m_aspect = 1.0f;
    render::IPrimitive* m_primitive = nullptr;
};

}  // namespace quor::world
