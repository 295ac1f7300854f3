#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quor::render {
class ITexture;
}

namespace quor::world {

// A screen particle: unit direction, speed (pixels per second), position relative to the
// emitter's origin, age in seconds, texture frame.
struct UIParticle {
    float dirX, dirY;
    float speed;
    float x, y;
    float age;
    std::uint16_t frame;
};

// A 2D emitter for the screen: textured square particles leave a point that circles a centre
// or runs round a rectangle's edge, move in straight lines, fade out over their life and are
// drawn in pixels through one shared primitive (room for every particle of an emitter).
class UIParticleEmitter {
public:
    static constexpr int kMaxParticles = 200;
    static constexpr int kVerticesPerParticle = 6;
    static constexpr int kSharedVertices = kMaxParticles * kVerticesPerParticle;

    explicit UIParticleEmitter(std::string name);
    ~UIParticleEmitter();
    UIParticleEmitter(const UIParticleEmitter&) = delete;
    UIParticleEmitter& operator=(const UIParticleEmitter&) = delete;

    void SetTexture(const char* path, int columns, int rows);
    void SetRectangle(float x0, float x1, float y0, float y1);
    void SetCircle(int centreX, int centreY, float radius);
    void SetClockwise(bool clockwise) { m_clockwise = clockwise ? 1 : 0; }
    void SetRate(float rate) { m_rate = rate; }
    void SetLifetime(float seconds) { m_lifetime = seconds; }
    void SetSpeed(float minSpeed, float maxSpeed) { m_minSpeed = minSpeed, m_maxSpeed = maxSpeed; }
    void SetHalfSize(float halfSize) { m_halfSize = halfSize; }
    void SetEnabled(bool enabled) { m_enabled = enabled ? 1 : 0; }
    const std::string& GetName() const { return m_name; }

    // Advances by the millisecond clock since the last call and draws.
    void Update();
    // One step of dt seconds (dt below 1); Update's work after the clock.
    void Step(float dt);

    const std::vector<UIParticle>& Particles() const { return m_particles; }
    float Accumulator() const { return m_accumulator; }
    float PointX() const { return m_pointX; }
    float PointY() const { return m_pointY; }
    int Edge() const { return m_edge; }
    int FrameCount() const { return m_frameCount; }
    const std::vector<float>& FrameRects() const { return m_frameRects; }
    // Vertices written by the latest step.
    int VerticesWritten() const { return m_written; }

    // Lets go of the texture without giving it back (process exit: the renderer is gone).
    void ForgetTexture() { m_texture = nullptr; }

    // The emitters' shared primitive, effect and stage settings; made by the first emitter.
    static void ReleaseShared();

private:
    void MovePoint(float dt);
    void Emit();
    // One frame rectangle covering the whole texture.
    void WholeFrame();
    // Brings every live particle's frame inside the frame table.
    void ClampLiveFrames();

    std::vector<UIParticle> m_particles;
    float m_rectX0 = 0, m_rectX1 = 0, m_rectY0 = 0, m_rectY1 = 0;
    float m_radius = 0;
    std::int32_t m_centreX = 0, m_centreY = 0;
    float m_angle = 0;
    std::uint8_t m_clockwise = 1;
    float m_pointX = 0, m_pointY = 0;
    float m_lifetime = 2.0f;
    std::uint16_t m_columns = 1, m_rows = 1;
    std::int32_t m_frameCount = 1;
    // uMin, vMin, uMax, vMax per frame.
    std::vector<float> m_frameRects;
    float m_minSpeed = 4.0f, m_maxSpeed = 4.0f;
    std::string m_name;
    float m_rate = 20.0f;
    float m_accumulator = 0;
    float m_halfSize = 5.0f;
    float m_travelSpeed = 50.0f;
    std::uint8_t m_enabled = 1;
    std::uint8_t m_rectangleMode = 1;
    std::uint8_t m_edge = 0;
    render::ITexture* m_texture = nullptr;
    std::uint32_t m_lastTime = 0;
    int m_written = 0;
};

// The emitters by name. Its destruction (or ReleaseAll, at the world's shutdown) destroys
// every emitter and releases the shared objects.
class UIParticleEmitterMgr {
public:
    static UIParticleEmitterMgr& Instance();
    ~UIParticleEmitterMgr();

    // Null when the name is taken.
    UIParticleEmitter* Create(const char* name);
    bool Destroy(const char* name);
    bool Destroy(UIParticleEmitter* emitter);
    void ReleaseAll();
    std::size_t Count() const { return m_emitters.size(); }

private:
    UIParticleEmitterMgr() = default;
    std::map<std::string, UIParticleEmitter*> m_emitters;
};

}  // namespace quor::world
