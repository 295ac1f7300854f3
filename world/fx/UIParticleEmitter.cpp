#include "world/fx/UIParticleEmitter.h"

#include <cmath>

#include "platform/host/IEffect.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "platform/win32/Clock.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Random.h"

namespace quor::world {

namespace {

render::IRenderer* Renderer() { return Interfaces().renderer; }

struct Shared {
    render::IPrimitive* primitive = nullptr;
    render::IEffect* effect = nullptr;
    render::IStageStates* stages = nullptr;
    bool made = false;
};
Shared g_shared;

void MakeShared() {
    render::IRenderer* renderer = Renderer();
    if (g_shared.made || !renderer) return;
    g_shared.made = true;
    g_shared.primitive = renderer->CreatePrimitive(4, 0x144);
    if (!g_shared.primitive) return;
    // Room for every particle of an emitter: 200 of six vertices.
    g_shared.primitive->SetVertexCount(UIParticleEmitter::kSharedVertices / 3, UIParticleEmitter::kSharedVertices, 0,
                                       0);
    g_shared.effect = renderer->CreateEffect();
    if (render::IEffect* e = g_shared.effect) {
        e->SetTechniqueName("UIParticleEmitter");
        // Alpha blended over everything, no depth.
        e->GetDepthStencilState()->SetState(0, 0, 0);
        e->GetBlendState()->SetState(1, 5, 6);
        e->GetRasterState()->SetState(0, 0, 0);
        e->GetTextureStageState()->SetState(0, 4, 2);
        g_shared.primitive->SetEffect(e);
    }
    g_shared.stages = renderer->CreateDynamicBuffer();
    if (render::IVertexBuffer* buffer = g_shared.primitive->GetVertexBuffer())
        buffer->SetStageStates(g_shared.stages, 0);
}

// A vertex of the shared primitive (pre-transformed: x, y, z, rhw, colour, u, v).
struct ScreenVertex {
    float x, y, z, rhw;
    std::uint32_t colour;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 28, "pre-transformed vertices are 28 bytes");

float Random(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(Rand()) / 32767.0f; }

// The nearest integer to v in [0, 2^22), ties to even, as nearbyint gives it in the default
// rounding mode: adding and taking away 2^23 leaves no fraction to keep. Inline, unlike the
// library call.
inline float RoundHalfEven(float v) {
    constexpr float kTwo23 = 8388608.0f;
    return (v + kTwo23) - kTwo23;
}

}  // namespace

UIParticleEmitter::UIParticleEmitter(std::string name) : m_name(std::move(name)) {
    m_particles.reserve(kMaxParticles);
    WholeFrame();
    MakeShared();
}

UIParticleEmitter::~UIParticleEmitter() {
    if (m_texture)
        if (render::IRenderer* renderer = Renderer()) renderer->ReleaseTexture(m_texture);
}

void UIParticleEmitter::ReleaseShared() {
    if (render::IRenderer* renderer = Renderer()) {
        if (g_shared.primitive) renderer->ReleasePrimitive(g_shared.primitive);
        if (g_shared.stages) renderer->ReleaseDynamicBuffer(g_shared.stages);
        if (g_shared.effect) renderer->ReleaseEffect(g_shared.effect);
    }
    g_shared = Shared{};
}

void UIParticleEmitter::WholeFrame() {
    m_frameCount = 1;
    m_frameRects.assign({0.0f, 0.0f, 1.0f, 1.0f});
}

void UIParticleEmitter::SetTexture(const char* path, int columns, int rows) {
    render::IRenderer* renderer = Renderer();
    if (m_texture && renderer) renderer->ReleaseTexture(m_texture);
    m_texture = renderer && path ? renderer->LoadTexture(path, 0, 0, -3, 0, 0, 0) : nullptr;
    // A grid without columns or rows has no frames of its own: the whole texture stays.
    if (columns <= 0 || rows <= 0 || columns > 0xFFFF || rows > 0xFFFF) {
        WholeFrame();
        ClampLiveFrames();
        return;
    }
    // A particle names its frame in 16 bits: a grid of more frames is refused.
    if (std::int64_t(columns) * std::int64_t(rows) > 0xFFFF) {
        LogWarning("UIParticleEmitter: a grid of %d x %d frames is refused; the whole texture is used", columns, rows);
        WholeFrame();
        ClampLiveFrames();
        return;
    }
    m_columns = static_cast<std::uint16_t>(columns);
    m_rows = static_cast<std::uint16_t>(rows);
    m_frameCount = columns * rows;
    m_frameRects.resize(std::size_t(m_frameCount) * 4);
    for (int i = 0; i < m_frameCount; ++i) {
        const float u = static_cast<float>(i % columns) / static_cast<float>(columns);
        const float v = static_cast<float>(i / columns) / static_cast<float>(rows);
        float* r = &m_frameRects[std::size_t(i) * 4];
        r[0] = u, r[1] = v, r[2] = u + 1.0f / static_cast<float>(columns), r[3] = v + 1.0f / static_cast<float>(rows);
    }
    ClampLiveFrames();
}

void UIParticleEmitter::ClampLiveFrames() {
    // Live particles keep a frame of the new table.
    for (UIParticle& p : m_particles)
        if (p.frame >= m_frameCount) p.frame = static_cast<std::uint16_t>(p.frame % m_frameCount);
}

void UIParticleEmitter::SetRectangle(float x0, float x1, float y0, float y1) {
    m_rectX0 = x0, m_rectX1 = x1, m_rectY0 = y0, m_rectY1 = y1;
    m_rectangleMode = 1;
    m_edge = m_clockwise ? 0 : 3;
}

void UIParticleEmitter::SetCircle(int centreX, int centreY, float radius) {
    m_centreX = centreX, m_centreY = centreY, m_radius = radius;
    m_angle = 0;
    m_rectangleMode = 0;
}

void UIParticleEmitter::Update() {
    const std::uint32_t now = win32::timeGetTime();
    const float dt = static_cast<float>(now - m_lastTime) / 1000.0f;
    m_lastTime = now;
    // A pause of a second or more skips the frame.
    if (dt >= 1.0f || !m_enabled) return;
    Step(dt);
}

void UIParticleEmitter::MovePoint(float dt) {
    if (!m_rectangleMode) {
        m_angle += m_clockwise ? m_travelSpeed * dt : -m_travelSpeed * dt;
        m_pointX = std::sin(m_angle) * m_radius;
        m_pointY = std::cos(m_angle) * m_radius;
        return;
    }
    const float width = m_rectX1 - m_rectX0, height = m_rectY1 - m_rectY0, d = m_travelSpeed * dt;
    // The edge table: clockwise runs right, down, left, up; counter-clockwise the reverse.
    const bool cw = m_clockwise != 0;
    switch (m_edge) {
        case 0:
            if (cw) {
                m_pointX += d;
                if (m_pointX >= width) m_pointX = width, m_edge = 1;
            } else {
                m_pointX -= d;
                if (m_pointX <= 0) m_pointX = 0, m_edge = 3;
            }
            break;
        case 1:
            if (cw) {
                m_pointY += d;
                if (m_pointY >= height) m_pointY = height, m_edge = 2;
            } else {
                m_pointY -= d;
                if (m_pointY <= 0) m_pointY = 0, m_edge = 0;
            }
            break;
        case 2:
            if (cw) {
                m_pointX -= d;
                if (m_pointX <= 0) m_pointX = 0, m_edge = 3;
            } else {
                m_pointX += d;
                if (m_pointX >= width) m_pointX = width, m_edge = 1;
            }
            break;
        default:
            if (cw) {
                m_pointY -= d;
                if (m_pointY <= 0) m_pointY = 0, m_edge = 0;
            } else {
                m_pointY += d;
                if (m_pointY >= height) m_pointY = height, m_edge = 2;
            }
            break;
    }
}

void UIParticleEmitter::Emit() {
    // A particle without a life would be erased unseen: nothing is emitted.
    if (!(m_lifetime > 0.0f)) return;
    while (m_accumulator > 1.0f && m_particles.size() < std::size_t(kMaxParticles)) {
        UIParticle p;
        p.speed = Random(m_minSpeed, m_maxSpeed);
        const float a = Random(0.0f, 6.2831855f);
        p.dirX = std::sin(a);
        p.dirY = std::cos(a);
        p.x = m_pointX;
        p.y = m_pointY;
        p.age = 0;
        p.frame = static_cast<std::uint16_t>(Rand() % m_frameCount);
        m_particles.push_back(p);
        m_accumulator -= 1.0f;
    }
}

void UIParticleEmitter::Step(float dt) {
    m_accumulator += m_rate * dt;
    MovePoint(dt);
    Emit();
    render::IPrimitive* primitive = g_shared.primitive;
    const float originX = m_rectangleMode ? m_rectX0 : static_cast<float>(m_centreX);
    const float originY = m_rectangleMode ? m_rectY0 : static_cast<float>(m_centreY);
    int index = 0;
    std::size_t keep = 0;
    // Every live particle may need its six vertices: the lock covers them all.
    const std::size_t live = m_particles.size();
    ScreenVertex* out = primitive && live ? static_cast<ScreenVertex*>(primitive->LockVertices(0, int(live) * 6)) : nullptr;
    const float lifetime = m_lifetime, h = m_halfSize;
    const float* rects = m_frameRects.data();
    for (std::size_t i = 0; i < live; ++i) {
        UIParticle p = m_particles[i];
        p.age += dt;
        if (!(p.age <= lifetime)) continue;
        p.x += p.speed * dt * p.dirX;
        p.y += p.speed * dt * p.dirY;
        m_particles[keep++] = p;
        if (!out) continue;
        const float cx = originX + p.x, cy = originY + p.y;
        const float* r = rects + std::size_t(p.frame) * 4;
        const auto alpha = static_cast<std::uint32_t>(RoundHalfEven((lifetime - p.age) / lifetime * 255.0f));
        const std::uint32_t colour = (alpha > 255 ? 255u : alpha) << 24 | 0xFFFFFFu;
        ScreenVertex* v = out + index;
        v[0] = {cx - h, cy - h, 0.0f, 1.0f, colour, r[0], r[1]};
        v[1] = {cx + h, cy - h, 0.0f, 1.0f, colour, r[2], r[1]};
        v[2] = {cx - h, cy + h, 0.0f, 1.0f, colour, r[0], r[3]};
        // Written out again rather than copied: reading back what was just stored stalls.
        v[3] = {cx - h, cy + h, 0.0f, 1.0f, colour, r[0], r[3]};
        v[4] = {cx + h, cy - h, 0.0f, 1.0f, colour, r[2], r[1]};
        v[5] = {cx + h, cy + h, 0.0f, 1.0f, colour, r[2], r[3]};
        index += 6;
    }
    if (out) primitive->UnlockVertices();
    m_particles.resize(keep);
    m_written = index;
    render::IRenderer* renderer = Renderer();
    if (!primitive || !renderer) return;
    int width = 0, height = 0;
    renderer->GetViewportSize(&width, &height);
    renderer->DrawUserQuads(0, 0, width, height, 0.0f, 1.0f);
    primitive->SetTexture(0, m_texture);
    primitive->SetVertexCountUsed(index / 3);
    primitive->Draw(-1, -1, 0);
}

// --- manager ----------------------------------------------------------------------------------

UIParticleEmitterMgr& UIParticleEmitterMgr::Instance() {
    static UIParticleEmitterMgr mgr;
    return mgr;
}

UIParticleEmitterMgr::~UIParticleEmitterMgr() {
    // At process exit the renderer is gone: only the emitters' memory goes here.
    for (auto& [name, emitter] : m_emitters) {
        emitter->ForgetTexture();
        delete emitter;
    }
    m_emitters.clear();
}

void UIParticleEmitterMgr::ReleaseAll() {
    for (auto& [name, emitter] : m_emitters) delete emitter;
    m_emitters.clear();
    UIParticleEmitter::ReleaseShared();
}

UIParticleEmitter* UIParticleEmitterMgr::Create(const char* name) {
    const std::string key = name ? name : "";
    if (m_emitters.count(key)) return nullptr;
    auto* emitter = new UIParticleEmitter(key);
    m_emitters[key] = emitter;
    return emitter;
}

bool UIParticleEmitterMgr::Destroy(const char* name) {
    auto found = m_emitters.find(name ? name : "");
    if (found == m_emitters.end()) return false;
    delete found->second;
    m_emitters.erase(found);
    return true;
}

bool UIParticleEmitterMgr::Destroy(UIParticleEmitter* emitter) {
    if (!emitter) return false;
    auto found = m_emitters.find(emitter->GetName());
    if (found == m_emitters.end() || found->second != emitter) return false;
    return Destroy(emitter->GetName().c_str());
}

}  // namespace quor::world
