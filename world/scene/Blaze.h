#pragma once
#include <cstdint>
#include <string>

#include "world/scene/PlaneSheet.h"

namespace quor::world {

// A procedural fire sheet of a 2D map: a rectangle in map pixels drawn with the shared blaze
// effect, which distorts a fire texture with scrolling noise. Its animation moves a fixed
// step per drawn frame. The slot order is the host's.
class Blaze {
public:
    Blaze(const char* fireTexture, const char* noiseTexture);
    Blaze(const Blaze&) = delete;
    Blaze& operator=(const Blaze&) = delete;

    virtual ~Blaze();
    // Four floats: left, top, right, bottom.
    virtual void GetRect(float* rect) { m_rect.Get(rect); }
    virtual void SetRect(float left, float top, float right, float bottom) { m_rect.Set(left, top, right, bottom); }
    virtual void SetWidth(std::int32_t width) { m_rect.SetWidth(width); }
    virtual void SetHeight(std::int32_t height) { m_rect.SetHeight(height); }
    virtual std::int32_t GetWidth() { return m_rect.width; }
    virtual std::int32_t GetHeight() { return m_rect.height; }
    virtual void SetX(std::int32_t x) { m_rect.SetX(x); }
    virtual void SetY(std::int32_t y) { m_rect.SetY(y); }
    virtual std::int32_t GetX() { return m_rect.GetX(); }
    virtual std::int32_t GetY() { return m_rect.GetY(); }
    virtual void MoveX(std::int32_t delta) { m_rect.MoveX(delta); }
    virtual void MoveY(std::int32_t delta) { m_rect.MoveY(delta); }
    virtual void SetLayerSpeed(float x, float y, float z);
    // Three floats.
    virtual void GetLayerSpeed(float* out);
    virtual void SetDistortionAmount(float x, float y, float z);
    virtual void GetDistortionAmount(float* out);
    virtual void SetBumpScale(float value);
    virtual float GetBumpScale() { return m_bumpScale; }
    virtual void SetDizze(float value);
    virtual float GetDizze() { return m_dizze; }
    // Draws the sheet shifted by the view offset when it meets the viewport.
    virtual void Render(float offsetX, float offsetY);
    virtual bool QueryTexture(const std::int32_t* rect, std::uint32_t argb);

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

    // The animation step of one drawn frame, in seconds.
    static constexpr float kFrameStep = 0.017f;

private:
    std::uint8_t m_onGround = 0;
    int m_draws = 0;
    std::string m_name;
    render::ITexture* m_noise = nullptr;
    render::ITexture* m_fire = nullptr;
    render::IPrimitive* m_primitive = nullptr;
    render::IMaterial* m_material = nullptr;
    plane::SheetRect m_rect;
    float m_time = 0.0f;
    float m_layerSpeed[3] = {0.68753f, 0.52f, 0.7534f};
    float m_distortion[3] = {0.123f, 0.091f, 0.0723f};
    float m_bumpScale = 1.0f;
    // Stays clear: nothing sets it.
    float m_color[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float m_dizze = 1.0f;
};

}  // namespace quor::world
