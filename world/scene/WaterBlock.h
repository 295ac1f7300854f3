#pragma once

namespace quor::render {
class IEffect;
class IMaterial;
class IPrimitive;
class ITexture;
}  // namespace quor::render

namespace quor::world {

// A rectangle of animated water on the 2D ground, drawn with the shared water effect: its
// texture and normal map scroll by a time that advances by `speed` at every draw.
class WaterBlock {
public:
    // The process-wide water effect; loaded at world start-up, released at shutdown.
    static void LoadSharedEffect();
    static void ReleaseSharedEffect();
    static render::IEffect* SharedEffect();

    // position: two floats (map pixels). A missing image is logged and replaced by a blank
    // 256 x 256 texture, so the block still draws.
    WaterBlock(const float* position, const char* basePath, const char* normalPath);
    WaterBlock(const WaterBlock&) = delete;
    WaterBlock& operator=(const WaterBlock&) = delete;

    // The host's operations, in their slot order.
    virtual ~WaterBlock();
    virtual void SetPosition(const float* position);
    // The scene's view offset (screen = map + offset).
    virtual void SetViewOffset(const float* offset);
    virtual void SetRippleScale(float a, float b, float c, float d);
    virtual void SetMapOffset(float a, float b, float c, float d);
    virtual void SetSpeed(float speed);
    virtual void SetTempVars(float a, float b, float c, float d);

    // Advances the time, sets the wave parameters and draws the quad.
    void Render();

    // Left, top, right, bottom in map pixels.
    const float* GetRect() const { return m_rect; }
    const float* GetPosition() const { return m_position; }
    const float* GetViewOffset() const { return m_viewOffset; }
    float GetTime() const { return m_time; }
    float GetSpeed() const { return m_speed; }
    const float* GetMapOffset() const { return m_mapOffset; }
    const float* GetTempVars() const { return m_tempVars; }
    const float* GetRippleScale() const { return m_rippleScale; }
    render::ITexture* GetBaseTexture() const { return m_baseTexture; }
    render::ITexture* GetNormalTexture() const { return m_normalTexture; }
    render::IPrimitive* GetQuad() const { return m_quad; }
    render::IMaterial* GetMaterial() const { return m_material; }

private:
    void SetQuad();

    float m_time = 0.0f;
    render::ITexture* m_normalTexture = nullptr;
    render::ITexture* m_baseTexture = nullptr;
    float m_width = 0.0f;
    float m_height = 0.0f;
    float m_position[2] = {};
    float m_viewOffset[2] = {};
    render::IPrimitive* m_quad = nullptr;
    render::IMaterial* m_material = nullptr;
    float m_rect[4] = {};
    float m_uv[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    float m_tempVars[4] = {};
    float m_mapOffset[4] = {};
    float m_rippleScale[4] = {};
    float m_speed = 0.0f;
};

}  // namespace quor::world
