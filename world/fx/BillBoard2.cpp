#include "world/fx/BillBoard2.h"

#include <cmath>

#include "platform/host/IMaterial.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"

namespace quor::world {

namespace {

constexpr const char* kTexturePath = "textures\\treefortest\\zc525_shurb5.dds";
render::IRenderer* Renderer() { return Interfaces().renderer; }
render::IEffect* g_effect = nullptr;

const BillBoard2::Vertex kQuad[6] = {
    {50, 0, 0, 1, 1, 0}, {50, 100, 0, 1, 0, 0}, {-50, 0, 0, 0, 1, 0},
    {-50, 0, 0, 0, 1, 0}, {50, 100, 0, 1, 0, 0}, {-50, 100, 0, 0, 0, 0},
};

}  // namespace

void BillBoard2::LoadSharedEffect() {
    if (render::IRenderer* renderer = Renderer(); renderer && !g_effect)
        g_effect = renderer->LoadEffect("res/effect/AlphaClip.fx", "Common");
}

void BillBoard2::ReleaseSharedEffect() {
    if (render::IRenderer* renderer = Renderer(); renderer && g_effect) renderer->ReleaseEffect(g_effect);
    g_effect = nullptr;
}

render::IEffect* BillBoard2::SharedEffect() { return g_effect; }

BillBoard2::BillBoard2() { Init(); }

BillBoard2::~BillBoard2() {
    render::IRenderer* renderer = Renderer();
    if (!renderer) return;
    if (m_primitive) renderer->ReleasePrimitive(m_primitive);
    if (m_material) renderer->ReleaseMaterial(m_material);
    if (m_texture) renderer->ReleaseTexture(m_texture);
}

void BillBoard2::Init() {
    render::IRenderer* renderer = Renderer();
    if (m_primitive || !renderer) return;
    m_primitive = renderer->CreatePrimitive(4, 0x142);
    if (!m_primitive) {
        LogError("Can't create  primitives!");
        return;
    }
    LogInfo("Create  primitives scuess!");
    m_texture = renderer->LoadTexture(kTexturePath, 0, 0, -3, 0, 0, 0);
    if (!m_texture) {
        LogError("贴图 %s 不存在 或 使用了中文路径，导致贴图加载失败！", kTexturePath);
        m_texture = renderer->CreateTexture(256, 256, 0, 0, 1, 0);
    }
    m_primitive->SetVertexCount(2, 6, 0, 0);
    m_material = renderer->CreateMaterial(g_effect);
    if (m_material) {
        m_material->SetTexture("Tex0", m_texture);
        m_primitive->SetMaterial(m_material);
    }
    for (Vertex v : kQuad) {
        v.colour = m_colour;
        m_vertices.push_back(v);
    }
    WriteVertices();
}

void BillBoard2::WriteVertices() {
    if (!m_primitive) return;
    m_primitive->LockVertices(0, 0);
    for (std::size_t i = 0; i < m_vertices.size(); ++i) {
        const Vertex& v = m_vertices[i];
        const float position[3] = {v.x, v.y, v.z};
        m_primitive->SetVertexUV(static_cast<int>(i), position, v.u, v.v, v.colour);
    }
    m_primitive->UnlockVertices();
}

void BillBoard2::DrawPart(int) {
    if (!m_primitive) return;
    m_primitive->SetTransform(GetWorldMatrix().m);
    m_primitive->Draw(-1, -1, 0);
}

void BillBoard2::Rotate(float dx, float dy, float dz) {
    LogInfo("dx = %f,dy = %f,dz = %f", static_cast<double>(dx), static_cast<double>(dy), static_cast<double>(dz));
    const float yaw = std::atan2(dx, dz);
    const float pitch = std::atan2(dy, std::sqrt(dx * dx + dz * dz));
    LogInfo(">> rx = %f", static_cast<double>(pitch));
    const float cy = std::cos(yaw), sy = std::sin(yaw), cp = std::cos(pitch), sp = std::sin(pitch);
    for (std::size_t i = 0; i < m_vertices.size() && i < 6; ++i) {
        const Vertex& from = kQuad[i];
        // About y (row vectors: x' = x cos + z sin, z' = -x sin + z cos), then about x.
        const float x1 = from.x * cy + from.z * sy, z1 = -from.x * sy + from.z * cy;
        const float y2 = from.y * cp - z1 * sp, z2 = from.y * sp + z1 * cp;
        m_vertices[i].x = x1;
        m_vertices[i].y = y2;
        m_vertices[i].z = z2;
    }
    WriteVertices();
}

}  // namespace quor::world
