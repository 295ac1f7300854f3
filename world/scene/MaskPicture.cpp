#include "world/scene/MaskPicture.h"

#include <algorithm>
#include <cmath>

#include "platform/host/IMaterial.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "platform/host/ITexture.h"
#include "platform/win32/Clock.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/fx/Picture.h"
#include "world/fx/SharedEffects.h"

namespace quor::world {

namespace {

constexpr std::uint32_t kTwoTextureQuadFormat = 0x244;  // XYZRHW | DIFFUSE | TEX2
constexpr float kBlockSize = 256.0f;
render::IEffect* g_maskEffect = nullptr;

render::IRenderer* Renderer() { return Interfaces().renderer; }

}  // namespace

// --- MaskPart ---------------------------------------------------------------------------------

MaskPart::MaskPart(const float* rect, const float* baseUV, const float* markUV, std::int32_t column,
                   std::int32_t row)
    : m_column(column), m_row(row) {
    std::copy(rect, rect + 4, m_rect);
    std::copy(baseUV, baseUV + 4, m_baseUV);
    std::copy(markUV, markUV + 4, m_markUV);
    render::IRenderer* renderer = Renderer();
    if (!renderer) return;
    m_quad = renderer->CreatePrimitive(7, kTwoTextureQuadFormat);
    if (m_quad) {
        m_quad->SetVertexCount(1, -1, 0, 1);
        const float origin[2] = {0.0f, 0.0f};
        SetViewOffset(origin);
    }
    m_material = renderer->CreateMaterial(g_maskEffect);
    if (m_quad) m_quad->SetMaterial(m_material);
}

MaskPart::~MaskPart() {
    render::IRenderer* renderer = Renderer();
    if (!renderer) return;
    if (m_quad) {
        m_quad->Release();
        renderer->ReleasePrimitive(m_quad);
    }
    // The material holds the stage textures; releasing it lets them go.
    if (m_material) renderer->ReleaseMaterial(m_material);
}

void MaskPart::SetBaseTexture(render::ITexture* texture) {
    m_baseTexture = texture;
    if (m_material) m_material->SetTexture("BaseTex", texture);
}

void MaskPart::SetMarkTexture(render::ITexture* texture) {
    m_markTexture = texture;
    if (m_material) m_material->SetTexture("MarkTex", texture);
}

void MaskPart::SetViewOffset(const float* viewPos) {
    if (!m_quad || !viewPos) return;
    const float r[4] = {m_rect[0] + viewPos[0], m_rect[1] + viewPos[1], m_rect[2] + viewPos[0],
                        m_rect[3] + viewPos[1]};
    // A two-texture quad takes both texture rectangles: the ground block's, then the mask's.
    const float uv[8] = {m_baseUV[0], m_baseUV[1], m_baseUV[2], m_baseUV[3],
                         m_markUV[0], m_markUV[1], m_markUV[2], m_markUV[3]};
    m_quad->DrawEx(0, r, 0, uv);
}

void MaskPart::Draw() {
    if (m_quad) m_quad->Draw(-1, -1, 2);
}

// --- MaskPicture ------------------------------------------------------------------------------

void MaskPicture::LoadSharedEffect(bool showMark) {
    render::IRenderer* renderer = Renderer();
    if (!renderer || g_maskEffect) return;
    g_maskEffect = renderer->LoadEffect(
        showMark ? "res/builtin/shader/maskpictureshowmark.fx" : "res/builtin/shader/maskpicture.fx", "TAlpha");
}

void MaskPicture::ReleaseSharedEffect() {
    render::IRenderer* renderer = Renderer();
    if (renderer && g_maskEffect) renderer->ReleaseEffect(g_maskEffect);
    g_maskEffect = nullptr;
}

render::IEffect* MaskPicture::SharedEffect() { return g_maskEffect; }

void CreateMaskPictureEffect(std::uint8_t markMode) { MaskPicture::LoadSharedEffect(markMode != 0); }
void ReleaseMaskPictureEffect() { MaskPicture::ReleaseSharedEffect(); }

MaskPicture::MaskPicture(const char* path, float x, float y)
    : m_x(x), m_y(y), m_path(path ? path : ""), m_lastDrawn(win32::timeGetTime()) {
    Load(path);
}

MaskPicture::~MaskPicture() {
    ReleaseParts();
    if (render::IRenderer* renderer = Renderer(); renderer && m_maskTexture) {
        if (m_textureHandle)
            renderer->UnloadTexture(m_textureHandle, 1);
        else
            renderer->ReleaseTexture(m_maskTexture);
    }
    m_maskTexture = nullptr;
    m_textureHandle = nullptr;
}

void MaskPicture::ReleaseParts() {
    for (MaskPart* part : m_parts) delete part;
    m_parts.clear();
    std::fill(m_blockRange, m_blockRange + 4, -1);
}

bool MaskPicture::Load(const char* path) {
    render::IRenderer* renderer = Renderer();
    if (!path || !renderer || !m_parts.empty() || m_maskTexture) return false;
    // The area map reports a missing file itself.
    if (!m_area.LoadFromBitmap(path)) return false;
    m_maskTexture = renderer->LoadTexture(path, 0, 0, -3, 0, 0, 0);
    if (!m_maskTexture) {
        LogWarning("遮罩层：%s 丢失", path);
        return false;
    }
    std::uint32_t width = 0, height = 0;
    m_maskTexture->GetSize(&width, &height);
    m_width = float(width);
    m_height = float(height);
    m_textureHandle = m_maskTexture->GetSurface();
    if (m_width <= 0.0f || m_height <= 0.0f) return true;

    // The blocks holding the mask's pixels: a right or bottom edge on a block boundary adds
    // no block, and nothing left of or above the map counts.
    const float right = m_x + m_width, bottom = m_y + m_height;
    const auto first = [](float v) { return std::max(0, std::int32_t(std::floor(v / kBlockSize))); };
    const auto last = [](float v) { return std::int32_t(std::ceil(v / kBlockSize)) - 1; };
    const std::int32_t range[4] = {first(m_x), first(m_y), last(right), last(bottom)};
    if (range[2] < range[0] || range[3] < range[1]) return true;
    std::copy(range, range + 4, m_blockRange);
    for (std::int32_t r = range[1]; r <= range[3]; ++r) {
        for (std::int32_t c = range[0]; c <= range[2]; ++c) {
            const float bx = float(c) * kBlockSize, by = float(r) * kBlockSize;
            const float rect[4] = {std::max(m_x, bx), std::max(m_y, by), std::min(right, bx + kBlockSize),
                                   std::min(bottom, by + kBlockSize)};
            if (rect[2] <= rect[0] || rect[3] <= rect[1]) continue;
            const float baseUV[4] = {(rect[0] - bx) / kBlockSize, (rect[1] - by) / kBlockSize,
                                     (rect[2] - bx) / kBlockSize, (rect[3] - by) / kBlockSize};
            const float markUV[4] = {(rect[0] - m_x) / m_width, (rect[1] - m_y) / m_height,
                                     (rect[2] - m_x) / m_width, (rect[3] - m_y) / m_height};
            auto* part = new MaskPart(rect, baseUV, markUV, c, r);
            part->SetMarkTexture(m_maskTexture);
            m_parts.push_back(part);
        }
    }
    return true;
}

void MaskPicture::ClipToGrid(std::int32_t cols, std::int32_t rows) {
    auto outside = [&](MaskPart* part) {
        if (part->GetColumn() < cols && part->GetRow() < rows) return false;
        delete part;
        return true;
    };
    m_parts.erase(std::remove_if(m_parts.begin(), m_parts.end(), outside), m_parts.end());
    m_blockRange[2] = std::min(m_blockRange[2], cols - 1);
    m_blockRange[3] = std::min(m_blockRange[3], rows - 1);
    if (m_parts.empty() || m_blockRange[2] < m_blockRange[0] || m_blockRange[3] < m_blockRange[1])
        std::fill(m_blockRange, m_blockRange + 4, -1);
}

std::int32_t MaskPicture::IsBehind(const float* point) const {
    if (!point || !m_area.IsLoaded()) return 0;
    const float dx = point[0] - m_x, dy = point[1] - m_y;
    if (!(dx >= 0.0f && dx <= m_width && dy >= 0.0f && dy <= m_height)) return 0;
    // The right and bottom edges belong to the mask: they read its last column and row.
    const std::int32_t x = std::min(std::int32_t(dx), std::max(0, m_area.Width() - 1));
    const std::int32_t y = std::min(std::int32_t(dy), std::max(0, m_area.Height() - 1));
    return m_area.GetValue(x, y);
}

void MaskPicture::ResetMarks() {
    m_groupMarked = false;
    m_behind.clear();
}

void MaskPicture::Render(std::set<PictureBase*>* drawn) {
    std::set<PictureBase*> own;
    std::set<PictureBase*>& done = drawn ? *drawn : own;
    for (PictureBase* picture : m_behind) {
        if (picture && done.insert(picture).second) picture->Render(true, true);
    }
    render::IRenderer* renderer = Renderer();
    // A mask texture the renderer is still making is waited for, not dropped; a part draws
    // only over a ground block it has the texture of.
    if (renderer && m_maskTexture && m_textureHandle && renderer->IsTextureReady(m_textureHandle)) {
        for (MaskPart* part : m_parts)
            if (part->GetBaseTexture()) part->Draw();
    }
    m_lastDrawn = win32::timeGetTime();
}

}  // namespace quor::world
