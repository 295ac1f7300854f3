#pragma once
#include <cstdint>
#include <string>

#include "world/scene/PlaneSheet.h"

namespace quor::world {

// A screen-aligned fog sheet of a 2D map: a rectangle in map pixels drawn with the shared
// plane-fog effect, its noise texture scrolling with a speed, faded by an alpha control and a
// power and tinted by a colour. The slot order is the host's.
class PlaneFog {
public:
    explicit PlaneFog(const char* textureName);
    PlaneFog(const PlaneFog&) = delete;
    PlaneFog& operator=(const PlaneFog&) = delete;

    virtual ~PlaneFog();
    virtual void SetRect(float left, float top, float right, float bottom);
    virtual void SetSpeed(float x, float y);
    virtual void SetSpeedX(float x);
    virtual void SetSpeedY(float y);
    virtual float GetSpeedX() { return m_speed[0]; }
    virtual float GetSpeedY() { return m_speed[1]; }
    virtual void SetAlphaControl(float value);
    virtual float GetAlphaControl() { return m_alphaControl; }
    virtual void SetPower(float value);
    virtual float GetPower() { return m_power; }
    virtual void SetColor(float r, float g, float b, float a);
    virtual void GetColor(float* r, float* g, float* b, float* a);
    // Draws the sheet shifted by the view offset when it meets the viewport.
    virtual void Render(float offsetX, float offsetY);
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
    // Four floats: left, top, right, bottom.
    virtual void GetRect(float* rect) { m_rect.Get(rect); }
    virtual bool QueryTexture(const std::int32_t* rect, std::uint32_t argb);

    // The scene's loader sets it; the scene reads it to choose the pass.
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

private:
    void SetSpeedParam();

    std::uint8_t m_onGround = 0;
    int m_draws = 0;
    std::string m_name;
    float m_speed[2] = {0.1f, 0.06f};
    float m_alphaControl = 0.35f;
    float m_color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float m_time = 0.0f;
    render::ITexture* m_texture = nullptr;
    render::IPrimitive* m_primitive = nullptr;
    render::IMaterial* m_material = nullptr;
    plane::SheetRect m_rect;
    float m_power = 1.0f;
    // The system clock at the previous draw; taken at construction so that the first drawn
    // frame advances by the time since the sheet was made.
    std::uint32_t m_lastDraw = 0;
};

}  // namespace quor::world
