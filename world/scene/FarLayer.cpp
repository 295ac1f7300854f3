#include "world/scene/FarLayer.h"

#include <cmath>
#include <cstdint>

#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "platform/host/ITexture.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/fx/Picture.h"

namespace quor::world {

namespace {

constexpr std::uint32_t kScreenQuadFormat = 0x144;  // XYZRHW | DIFFUSE | TEX1
constexpr float kWholeTexture[4] = {0.0f, 0.0f, 1.0f, 1.0f};

}  // namespace

FarLayer::FarLayer(const char* path, const float* position) : m_name(path ? path : "") {
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return;
    m_texture = path ? renderer->LoadTexture(path, 0, 0, -3, 0, 0, 0) : nullptr;
    if (!m_texture) {
        LogError("远景层：%s 丢失", m_name.c_str());
        m_texture = renderer->CreateTexture(256, 256, 0, 0, 1, 0);
    }
    std::uint32_t width = 0, height = 0;
    if (m_texture) {
        m_texture->GetSize(&width, &height);
        m_textureHandle = m_texture->GetSurface();
    }
    m_textureWidth = float(width);
    m_textureHeight = float(height);
    const float x = position ? position[0] : 0.0f, y = position ? position[1] : 0.0f;
    m_rect[0] = x;
    m_rect[1] = y;
    m_rect[2] = x + m_textureWidth;
    m_rect[3] = y + m_textureHeight;
    m_quad = renderer->CreatePrimitive(7, kScreenQuadFormat);
    if (m_quad) {
        m_quad->SetVertexCount(1, -1, 0, 1);
        m_quad->SetEffect(Picture::SharedMaterial());
        m_quad->DrawEx(0, m_rect, 0, kWholeTexture);
        m_quad->SetTexture(0, m_texture);
    }
}

FarLayer::~FarLayer() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return;
    if (m_quad) {
        m_quad->Release();
        renderer->ReleasePrimitive(m_quad);
        m_quad = nullptr;
    }
    if (m_texture) {
        // A texture without surface handle can only go back by pointer.
        if (m_textureHandle)
            renderer->UnloadTexture(m_textureHandle, 1);
        else
            renderer->ReleaseTexture(m_texture);
        m_texture = nullptr;
        m_textureHandle = nullptr;
    }
}

void FarLayer::Scroll(const float* offset) {
    if (!m_quad || !offset) return;
    // Whole pixels, so that the layer does not shimmer between texels while it scrolls.
    const float r[4] = {std::floor(m_rect[0] + offset[0]), std::floor(m_rect[1] + offset[1]),
                        std::floor(m_rect[2] + offset[0]), std::floor(m_rect[3] + offset[1])};
    m_quad->DrawEx(0, r, 0, kWholeTexture);
}

void FarLayer::Draw(int first, int count, int pass) {
    if (m_quad) m_quad->Draw(first, count, pass);
}

}  // namespace quor::world
