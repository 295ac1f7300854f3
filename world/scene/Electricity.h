#pragma once
#include <cstdint>
#include <string>

#include "world/scene/PlaneSheet.h"

namespace quor::world {

// A lightning bolt of a 2D map: a band between a start and an end point in map pixels, drawn
// with the shared electricity effect over a noise volume. It writes its own four corners.
// The slot order is the host's.
class Electricity {
public:
    Electricity();
    Electricity(const Electricity&) = delete;
    Electricity& operator=(const Electricity&) = delete;

    virtual ~Electricity();
    // Four floats: left, top, right, bottom of the bounds.
    virtual void GetRect(float* rect);
    // The bounds follow at the next SetEndpoints.
    virtual void SetWidth(float width) { m_width = width; }
    virtual float GetWidth() { return m_width; }
    virtual void SetEndpoints(float startX, float startY, float endX, float endY);
    // Four floats: start x, start y, end x, end y.
    virtual void GetEndpoints(float* out);
    virtual void SetColor(float r, float g, float b, float a);
    // Four floats.
    virtual void GetColor(float* out);
    virtual void SetGlowStrength(float value);
    virtual float GetGlowStrength() { return m_glowStrength; }
    virtual void SetHeight(float value);
    virtual float GetHeight() { return m_height; }
    virtual void SetGlowFallOff(float value);
    virtual float GetGlowFallOff() { return m_glowFallOff; }
    virtual void SetSpeed(float value);
    virtual float GetSpeed() { return m_speed; }
    virtual void SetSampleDist(float value);
    virtual float GetSampleDist() { return m_sampleDist; }
    virtual void SetAmbientGlow(float value);
    virtual float GetAmbientGlow() { return m_ambientGlow; }
    virtual void SetAmbientGlowHeightScale(float value);
    virtual float GetAmbientGlowHeightScale() { return m_ambientGlowHeightScale; }
    virtual void SetVertNoise(float value);
    virtual float GetVertNoise() { return m_vertNoise; }
    // Draws the band shifted by the view offset when its bounds meet the viewport. A bolt
    // whose end is its start has no side and draws nothing.
    virtual void Render(float offsetX, float offsetY);

    void SetOnGround(bool onGround) { m_onGround = onGround ? 1 : 0; }
    bool IsOnGround() const { return m_onGround != 0; }
    float GetTime() const { return m_time; }
    // Frames in which the sheet was drawn.
    int DrawCount() const { return m_draws; }
    render::IPrimitive* Primitive() const { return m_primitive; }
    render::IMaterial* Material() const { return m_material; }

    static void LoadSharedEffect();
    static void ReleaseSharedEffect();
    static render::IEffect* SharedEffect();

    static constexpr const char* kNoiseVolume = "builtin/textures/NoiseVolume1.dds";
    static constexpr float kFrameStep = 0.017f;

private:
    std::uint8_t m_onGround = 0;
    int m_draws = 0;
    std::string m_name;
    float m_width = 200.0f;
    float m_start[2] = {0.0f, 0.0f};
    float m_end[2] = {0.0f, 0.0f};
    float m_color[4] = {0.6873f, 0.4812f, 1.0f, 1.0f};
    float m_glowStrength = 144.0f;
    float m_height = 0.44f;
    float m_glowFallOff = 0.024f;
    float m_speed = 1.86f;
    float m_sampleDist = 0.0076f;
    float m_ambientGlow = 0.5f;
    float m_ambientGlowHeightScale = 1.68f;
    float m_vertNoise = 0.78f;
    float m_time = 0.0f;
    render::ITexture* m_noise = nullptr;
    render::IPrimitive* m_primitive = nullptr;
    render::IMaterial* m_material = nullptr;
    float m_bounds[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

}  // namespace quor::world
