#include "world/fx/Grass.h"

#include <cmath>
#include <cstring>

#include "platform/host/IMaterial.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "platform/host/ITexture.h"
#include "platform/win32/Clock.h"
#include "world/core/Align16.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Random.h"

namespace quor::world {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr std::uint32_t kUpdateGapMs = 30;
constexpr const char* kMissingTexture = "贴图 %s 不存在 或 使用了中文路径，导致贴图加载失败！";

render::IRenderer* Renderer() { return Interfaces().renderer; }

render::IEffect* g_effect = nullptr;
int g_patchCounter = 0;

}  // namespace

// --- frustum ----------------------------------------------------------------------------------

void GrassFrustum::FromMatrix(const Matrix& m) {
    // Column j of the matrix is (m(0,j), m(1,j), m(2,j), m(3,j)).
    auto set = [&](int plane, int column, float sign, bool withW) {
        for (int r = 0; r < 4; ++r) planes[plane][r] = (withW ? m(r, 3) : 0.0f) + sign * m(r, column);
    };
    set(0, 0, -1.0f, true);
    set(1, 0, 1.0f, true);
    set(2, 1, 1.0f, true);
    set(3, 1, -1.0f, true);
    set(4, 2, 1.0f, false);
    set(5, 2, -1.0f, true);
}

bool GrassFrustum::Contains(const Vec3& p) const {
    for (const auto& plane : planes)
        if (plane[0] * p.x + plane[1] * p.y + plane[2] * p.z + plane[3] < -0.0001f) return false;
    return true;
}

// --- patch ------------------------------------------------------------------------------------

Grass::Grass(GrassMgr* manager) : m_manager(manager) {
    char name[32];
    std::snprintf(name, sizeof name, "cross%d", g_patchCounter++);
    m_name = name;
}

Grass::~Grass() {
    render::IRenderer* renderer = Renderer();
    if (!renderer) return;
    if (m_primitive) renderer->ReleasePrimitive(m_primitive);
    if (m_material) renderer->ReleaseMaterial(m_material);
    // The texture is the manager's cache's: other patches may still draw with it.
}

bool Grass::Init(const char* textureName, int height, int crossCount) {
    m_height = height;
    m_crossCount = crossCount;
    m_quadOffsets.clear();
    m_texture = nullptr;
    if (!textureName || !*textureName) {
        m_textureName.clear();
        return true;
    }
    if (crossCount < 1) {
        LogError("Grass %s: %d quads", m_name.c_str(), crossCount);
        return false;
    }
    m_textureName = textureName;
    m_texture = m_manager ? m_manager->GetTexture(textureName) : nullptr;
    if (!m_texture) {
        LogError(kMissingTexture, textureName);
        return false;
    }
    std::uint32_t w = 0, h = 0;
    m_texture->GetSize(&w, &h);
    // A texture without height has no proportions: no width.
    m_textureWidth = h ? static_cast<std::int32_t>(static_cast<std::int64_t>(height) * w / h) : 0;
    if (m_primitive) return true;
    render::IRenderer* renderer = Renderer();
    m_primitive = renderer ? renderer->CreatePrimitive(4, 0x142) : nullptr;
    if (!m_primitive) {
        LogError("Can't create  primitives!");
        return false;
    }
    LogInfo("Create  primitives scuess!");
    m_primitive->SetVertexCount(crossCount * 2, crossCount * 6, 0, 0);
    m_material = renderer->CreateMaterial(Grass::SharedEffect());
    if (m_material) {
        m_material->SetTexture("Tex0", m_texture);
        m_primitive->SetMaterial(m_material);
        if (m_manager && m_manager->FogEnabled())
            if (render::IMaterialParams* params = m_material->GetParameters())
                params->SetVector("fogColor", m_manager->FogColour(), 4);
    }
    WriteGeometry(false);
    return true;
}

void Grass::SetWind(int rangeX, int rangeZ, float speed) {
    m_swaying = 1;
    m_rangeX = rangeX, m_rangeZ = rangeZ, m_speed = speed;
    m_swayX = rangeX > 0 ? static_cast<float>(Rand() % (2 * rangeX) - rangeX) : 0.0f;
    m_swayZ = rangeZ > 0 ? static_cast<float>(Rand() % (2 * rangeZ) - rangeZ) : 0.0f;
    m_speedX = m_speedZ = 0;
    if (rangeX > 0 && rangeZ > 0) {
        const float root = std::sqrt(static_cast<float>(rangeX) * rangeX + static_cast<float>(rangeZ) * rangeZ);
        m_speedX = speed * static_cast<float>(rangeX) / root;
        m_speedZ = speed * static_cast<float>(rangeZ) / root;
    } else if (rangeX > 0) {
        m_speedX = speed;
    } else if (rangeZ > 0) {
        m_speedZ = speed;
    }
}

void Grass::Animate() {
    if (!m_swaying || !m_texture) return;
    m_swayX += m_speedX;
    m_swayZ += m_speedZ;
    const float rx = static_cast<float>(m_rangeX), rz = static_cast<float>(m_rangeZ);
    if (m_swayX > rx) m_swayX = rx, m_speedX = -m_speedX;
    if (m_swayX < -rx) m_swayX = -rx, m_speedX = -m_speedX;
    if (m_swayZ > rz) m_swayZ = rz, m_speedZ = -m_speedZ;
    if (m_swayZ < -rz) m_swayZ = -rz, m_speedZ = -m_speedZ;
    WriteGeometry(true);
}

void Grass::WriteGeometry(bool sway) {
    const int r = m_height / 2;
    const float h = static_cast<float>(m_height);
    // Written straight into the primitive: the sway rewrites every patch every 30 ms.
    if (!m_primitive || m_crossCount < 1) return;
    auto* out = static_cast<Vertex*>(m_primitive->LockVertices(0, m_crossCount * 6));
    if (!out) return;
    const float sx = sway ? m_swayX : 0.0f, sz = sway ? m_swayZ : 0.0f;
    if (m_quadOffsets.size() != std::size_t(m_crossCount) * 2) {
        m_quadOffsets.resize(std::size_t(m_crossCount) * 2);
        for (int i = 0; i < m_crossCount; ++i) {
            const float angle = static_cast<float>(i) * kPi / static_cast<float>(m_crossCount);
            m_quadOffsets[std::size_t(i) * 2] = std::cos(angle) * static_cast<float>(r);
            m_quadOffsets[std::size_t(i) * 2 + 1] = std::sin(angle) * static_cast<float>(r);
        }
    }
    for (int i = 0; i < m_crossCount; ++i) {
        const float dx = m_quadOffsets[std::size_t(i) * 2], dz = m_quadOffsets[std::size_t(i) * 2 + 1];
        if (!sway) {
            out[0] = {dx, 0, dz, m_colour, 1, 0};
            out[1] = {dx, h, dz, m_colour, 1, 1};
            out[2] = {-dx, 0, -dz, m_colour, 0, 0};
            out[3] = {-dx, 0, -dz, m_colour, 0, 0};
            out[4] = {dx, h, dz, m_colour, 1, 1};
            out[5] = {-dx, h, -dz, m_colour, 0, 1};
        } else {
            out[0] = {dx, 0, dz, m_colour, 1.0f, 0.95f};
            out[1] = {dx + sx, h, dz + sz, m_colour, 1.0f, 0.05f};
            out[2] = {-dx, 0, -dz, m_colour, 0.05f, 0.95f};
            out[3] = {-dx, 0, -dz, m_colour, 0.05f, 0.95f};
            out[4] = {dx + sx, h, dz + sz, m_colour, 1.0f, 0.05f};
            out[5] = {sx - dx, h, sz - dz, m_colour, 0.05f, 0.05f};
        }
        out += 6;
    }
    m_primitive->UnlockVertices();
}

void Grass::SetFog(float factor, const float* colour) {
    render::IMaterialParams* params = m_material ? m_material->GetParameters() : nullptr;
    if (!params) return;
    if (colour) params->SetVector("fogColor", colour, 4);
    params->SetFloat("fog", factor);
}

void Grass::Draw() {
    if (!m_primitive) return;
    m_primitive->SetTransform(GetWorldMatrix().m);
    m_primitive->Draw(-1, -1, 0);
}

// --- manager ----------------------------------------------------------------------------------

GrassMgr::GrassMgr() : m_lastUpdate(win32::timeGetTime()) {}

GrassMgr::~GrassMgr() { Clear(); }

void Grass::LoadSharedEffect() {
    if (render::IRenderer* renderer = Renderer(); renderer && !g_effect)
        g_effect = renderer->LoadEffect("res/effect/grass.fx", "Grass");
}

void Grass::ReleaseSharedEffect() {
    if (render::IRenderer* renderer = Renderer(); renderer && g_effect) renderer->ReleaseEffect(g_effect);
    g_effect = nullptr;
}

render::IEffect* Grass::SharedEffect() { return g_effect; }

Grass* GrassMgr::CreateGrass(const char* textureName, int height, int crossCount, int rangeX, int rangeZ, float speed,
                             std::uint32_t colour) {
    auto* patch = new Grass(this);
    if (!patch) return nullptr;
    patch->SetRanges(rangeX, rangeZ, speed);
    patch->SetColour(colour);
    if (!patch->Init(textureName, height, crossCount)) {
        delete patch;
        return nullptr;
    }
    m_patches.push_back(patch);
    return patch;
}

Grass* GrassMgr::CreateGrass(const char* textureName, int height, int crossCount, std::uint32_t colour) {
    return CreateGrass(textureName, height, crossCount, 0, 0, 0.0f, colour);
}

void GrassMgr::RemoveGrass(const char* name) {
    if (!name) return;
    for (auto it = m_patches.begin(); it != m_patches.end(); ++it) {
        if ((*it)->GetName() == name) {
            delete *it;
            m_patches.erase(it);
            return;
        }
    }
}

float GrassMgr::FogFactor(float d, int start, int end) {
    if (d <= static_cast<float>(start) || end <= start) return 0.0f;
    if (d >= static_cast<float>(end)) return 1.0f;
    return (d - static_cast<float>(start)) / static_cast<float>(end - start);
}

void GrassMgr::SetFog(bool enabled, int start, int end) {
    m_fogEnabled = enabled ? 1 : 0;
    m_fogStart = start;
    m_fogEnd = end;
}

void GrassMgr::SetFogColour(const float* rgba) {
    if (rgba) std::memcpy(m_fogColour, rgba, sizeof m_fogColour);
}

void GrassMgr::ApplyFog(bool setColour) {
    for (Grass* patch : m_patches) {
        if (!m_fogEnabled) {
            patch->SetFog(0.0f, nullptr);
            continue;
        }
        const Vec3* p = patch->GetPosition();
        const float dx = p->x - m_eye.x, dy = p->y - m_eye.y, dz = p->z - m_eye.z;
        const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
        patch->SetFog(FogFactor(d, m_fogStart, m_fogEnd), setColour ? m_fogColour : nullptr);
    }
}

void GrassMgr::Update(const Matrix* viewProjection) {
    const std::uint32_t now = win32::timeGetTime();
    if (now - m_lastUpdate < kUpdateGapMs) return;
    m_lastUpdate = now;
    GrassFrustum frustum;
    if (viewProjection) frustum.FromMatrix(*viewProjection);
    for (Grass* patch : m_patches) {
        if (viewProjection) {
            Vec3 centre;
            const Matrix& world = patch->GetWorldMatrix();
            if (UseAlignedAlloc())
                TransformCoordFast(patch->GetLocalBound()->centre, world, centre);
            else
                TransformCoord(patch->GetLocalBound()->centre, world, centre);
            patch->SetVisibleFlag(frustum.Contains(centre));
        } else {
            patch->SetVisibleFlag(true);
        }
        patch->Animate();
    }
}

void GrassMgr::Render(const Matrix& viewProjection) {
    ApplyFog(false);
    Update(&viewProjection);
    for (Grass* patch : m_patches)
        if (patch->IsVisible() && patch->HasGeometry()) patch->Draw();
}

void GrassMgr::Clear() {
    for (Grass* patch : m_patches) delete patch;
    m_patches.clear();
    if (render::IRenderer* renderer = Renderer())
        for (auto& [name, texture] : m_textures)
            if (texture) renderer->ReleaseTexture(texture);
    m_textures.clear();
}

render::ITexture* GrassMgr::GetTexture(const char* name) {
    if (!name) return nullptr;
    auto found = m_textures.find(name);
    if (found != m_textures.end()) return found->second;
    render::IRenderer* renderer = Renderer();
    if (!renderer) return nullptr;
    render::ITexture* texture = renderer->LoadTexture(name, 0, 0, -3, 0, 0, 0);
    if (!texture) {
        LogError(kMissingTexture, name);
        texture = renderer->CreateTexture(256, 256, 0, 0, 1, 0);
    }
    if (texture) m_textures[name] = texture;
    return texture;
}

}  // namespace quor::world
