#include "world/fx/UVSprite.h"

#include <cmath>

#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "platform/host/ITexture.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/fx/SharedEffects.h"
#include "world/fx/SheetFile.h"

namespace quor::world {

render::IEffect* MakePictureEffect();

namespace {

render::IEffect* g_spriteEffect = nullptr;

}  // namespace

void UVSprite::ReleaseSharedEffect() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (g_spriteEffect && renderer) renderer->ReleaseEffect(g_spriteEffect);
    g_spriteEffect = nullptr;
}

UVSprite::UVSprite(IScene* owner) : Picture(owner) {
    if (!g_spriteEffect) g_spriteEffect = MakePictureEffect();
    if (m_primitive) {
        m_primitive->SetEffect(g_spriteEffect);
        const float corners[4][2] = {{0.0f, 0.0f}, {256.0f, 0.0f}, {256.0f, 256.0f}, {0.0f, 256.0f}};
        const float uv[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
        for (int i = 0; i < 4; ++i) {
            const float p[3] = {corners[i][0], corners[i][1], 0.0f};
            m_primitive->SetVertexUV(i, p, uv[i][0], uv[i][1], 0xFFFFFFFFu);
        }
    }
}

float UVSprite::MsPerFrame() {
    const double ms = FrameTimeControl::Instance().FrameMilliseconds();
    return ms > 0.0 ? static_cast<float>(ms) : 1000.0f / 60.0f;
}

void UVSprite::SetAnimDuration(float milliseconds) {
    m_length = milliseconds;
    m_framesPerCell = m_frames >= 1.0f ? milliseconds / MsPerFrame() / m_frames : 0.0f;
}

void UVSprite::SetAnimLoop(bool loop) {
    m_loop = loop;
    m_stepping = true;
}

void UVSprite::NextAnimFrame() {
    m_u += m_cellWidth;
    if (m_u >= 1.0f) {
        m_u = 0.0f;
        m_v += m_cellHeight;
        if (m_v >= 1.0f) m_v = 0.0f;
    }
}

bool UVSprite::Load(const char* path) {
    SheetFile sheet;
    const SheetResult result = ReadSheetFile(path, sheet);
    // Counts below 1 would divide by zero in the cell sizes and the stepping.
    if (result != SheetResult::kOk || !(sheet.columns >= 1.0f) || !(sheet.rows >= 1.0f) ||
        !(sheet.third >= 1.0f) || !std::isfinite(sheet.columns) || !std::isfinite(sheet.rows) ||
        !std::isfinite(sheet.third)) {
        LogError("Sprite texture file %s is not found!", path ? path : "");
        return false;
    }
    render::IRenderer* renderer = Interfaces().renderer;
    render::ITexture* texture = renderer ? renderer->LoadTexture(sheet.texture.c_str(), 0, 0, -3, 0, 0, 0) : nullptr;
    if (!texture && renderer) texture = renderer->CreateTexture(256, 256, 0, 0, 1, 0);
    m_columns = sheet.columns;
    m_rows = sheet.rows;
    m_frames = sheet.third;
    m_lastRowCells = sheet.fourth;
    m_length = sheet.length;
    m_loop = sheet.loop;
    m_counter = m_u = m_v = 0.0f;
    m_cellWidth = 1.0f / m_columns;
    m_cellHeight = 1.0f / m_rows;
    m_lastRowEndU = m_lastRowCells * m_cellWidth;
    m_framesPerCell = m_length / MsPerFrame() / m_frames;
    SetTextureName(sheet.texture.c_str());
    TakeTexture(texture);
    SetSize(m_width / m_columns, m_height / m_rows);
    return true;
}

void UVSprite::Render(bool draw, bool /*drawShadow*/) {
    if (!draw || !m_primitive) return;
    if (m_v >= 1.0f - m_cellHeight && m_u >= m_lastRowEndU) {
        m_u = m_v = 0.0f;
        if (!m_loop) m_stepping = false;
    }
    WriteQuad(m_u, m_v, m_u + m_cellWidth, m_v + m_cellHeight);
    if (m_counter > m_framesPerCell && m_stepping) {
        m_counter = 0.0f;
        NextAnimFrame();
    } else {
        m_counter += 1.0f;
    }
    m_primitive->Commit();
    m_primitive->Draw(-1, -1, 0);
}

void CreatePictureMaterial() { Picture::CreateSharedMaterial(); }

void ReleasePictureMaterial() {
    Picture::ReleaseSharedMaterial();
    UVSprite::ReleaseSharedEffect();
}

}  // namespace quor::world
