#include "world/fx/SpriteFx.h"
#include "world/fx/KeyLists.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <strings.h>

#include "platform/host/IMaterial.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "platform/host/ITexture.h"
#include "platform/host/IXmlNode.h"
#include "platform/win32/Clock.h"
#include "world/core/Camera.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/XmlNodePtr.h"
#include "world/fx/SheetFile.h"

namespace quor::world {

namespace {

constexpr int kQuads = 7;
constexpr std::uint32_t kVertexFormat = 0x142;

// A sheet count that divides: below 1 (or not a number) counts as 1.
float Divisor(float value) { return std::isfinite(value) && value >= 1.0f ? value : 1.0f; }

// Renders a sheet cell stays for, from the sheet length in ms; 0 (a cell per other render)
// while the frame time is not known.
float CellRenders(float length, float frames) {
    const double ms = GetFrameMilliseconds();
    const double per = ms > 0.0 ? length / ms / frames : 0.0;
    return std::isfinite(per) ? static_cast<float>(per) : 0.0f;
}

bool IsEmsName(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot && strcasecmp(dot, ".ems") == 0;
}

}  // namespace

SpriteFx::SpriteFx() { m_kind = kFxKindSprite; }

SpriteFx::~SpriteFx() { SpriteFx::Release(); }

render::ITexture* SpriteFx::LoadOrBlank(const char* path) {
    render::IRenderer* renderer = Interfaces().renderer;
    render::ITexture* texture = renderer->LoadTexture(path, 0, 0, -3, 0, 0, 0);
    if (!texture) {
        LogError("Spr贴图：%s 丢失", path);
        texture = renderer->CreateTexture(256, 256, 0, 0, 1, 0);
    }
    return texture;
}

void SpriteFx::TakeSheet(float columns, float rows, float frames, float lastRowCells, float length, bool loop) {
    m_columns = Divisor(columns);
    m_rows = Divisor(rows);
    m_frames = Divisor(frames);
    m_lastRowCells = lastRowCells;
    m_length = std::isfinite(length) ? length : 0.0f;
    m_sheetLoop = loop;
    m_counter = m_u = m_v = 0.0f;
    m_cellWidth = 1.0f / m_columns;
    m_cellHeight = 1.0f / m_rows;
    m_lastRowEndU = m_lastRowCells * m_cellWidth;
    m_framesPerCell = CellRenders(m_length, m_frames);
}

void SpriteFx::TakeTextureTiming() {
    if (!m_texture) return;
    const float seconds = m_texture->GetDuration();
    // Whole seconds; a duration that is not a sane positive number is a still texture.
    m_animLength = std::isfinite(seconds) && seconds > 0.0f && seconds < 2.0e6f
                       ? static_cast<std::int32_t>(std::trunc(seconds)) * 1000
                       : 0;
    // A still texture would make the life span negative: only an animation sets it.
    if (m_lifeSpan < 0.01f && m_animLength > 0) m_lifeSpan = static_cast<float>(m_animLength - 10) / 1000.0f;
    std::uint32_t width = 0, height = 0;
    m_texture->GetSize(&width, &height);
    if (width > 0) m_aspect = static_cast<float>(height) / static_cast<float>(width);
    m_surface = m_texture->GetSurface();
}

bool SpriteFx::LoadFromXml(common::IXmlNode* node, std::uint32_t flags) {
    if (!FxBase::LoadFromXml(node, flags)) return false;
    render::IRenderer* renderer = Interfaces().renderer;
    m_dirType = node->GetIntAttribute("", "DirType", 0);
    const float up[3] = {0.0f, 1.0f, 0.0f};
    float direction[3];
    ReadXmlFloat3(node, "", "Direction", direction, up);
    m_direction = Vec3(direction[0], direction[1], direction[2]);
    m_radius = ReadFxFloat(node, "Radius", 0.0f);
    m_startScale = ReadFxFloat(node, "StartScale", 1.0f);
    m_endScale = ReadFxFloat(node, "EndScale", 1.0f);
    m_blendMode = node->GetIntAttribute("", "BlendMode", 1);
    m_zEnabled = node->GetBoolAttribute("", "EnableZBuffer", true) ? 1 : 0;
    m_zKey = m_zEnabled;
    char texture[256] = {};
    node->GetStringAttribute("", "Texture", texture, sizeof texture, "");
    texture[sizeof texture - 1] = '\0';
    m_textureName = texture;
    m_depthOffset = ReadFxFloat(node, "RoundRadius", 0.0f);
    const bool zWrite = node->GetBoolAttribute("", "ZWriteEnable", false);
    m_zWrite = zWrite ? 1 : 0;
    m_colors.Clear();
    XmlNodePtr colours(node->FirstChildElement("ColorFrame"));
    if (colours) {
        ReadColorKeyList(colours.Get(), m_colors);
    } else {
        m_colors.SetKey(0.0f, kColorWhite);
        m_colors.SetKey(1.0f, kColorWhite);
    }
    if (!texture[0]) {
        LogWarning("Sprite's texture is empty!");
        return false;
    }
    if (!renderer) return false;
    m_sheetLoop = true;
    m_stepping = true;
    if (IsSheetName(texture)) {
        m_wholeTexture = false;
        SheetFile sheet;
        const SheetResult read = ReadSheetFile(texture, sheet);
        if (read == SheetResult::kBadNumbers) {
            LogError("Sprite texture file %s is not found!", texture);
            return false;
        }
        if (read == SheetResult::kMissing) {
            LogError("Sprite texture file %s is not found!", texture);
            sheet = SheetFile();
        } else {
            m_sheetPath = sheet.texture;
            m_texture = LoadOrBlank(m_sheetPath.c_str());
        }
        TakeSheet(sheet.columns, sheet.rows, sheet.third, sheet.fourth, sheet.length, sheet.loop);
    } else {
        m_wholeTexture = true;
        m_sheetPath = texture;
        m_texture = LoadOrBlank(texture);
    }
    TakeTextureTiming();
    m_up = m_right = m_facing = Vec3();
    m_boundMin = m_boundMax = Vec3();
    m_effect = SharedMaterialForBlend(m_blendMode, 1, zWrite);
    m_primitive = renderer->CreatePrimitive(kQuads, kVertexFormat);
    if (!m_primitive) {
        LogError("Sprite %s: no primitive", m_name);
        SpriteFx::Release();
        return false;
    }
    m_primitive->SetVertexCount(1, -1, 0, 0);
    m_primitive->SetEffect(m_effect);
    m_primitive->SetTexture(0, m_texture);
    if (zWrite && m_effect) {
        m_material = renderer->CreateMaterial(m_effect);
        if (m_material) {
            m_material->SetTexture("Tex0", m_texture);
            m_primitive->SetMaterial(m_material);
        }
    }
    m_drawState = m_primitive->GetVertexBuffer();
    m_depthOffsetObject = nullptr;
    if (m_drawState) {
        m_drawState->SetFlags(96);
        if (m_depthOffset != 0.0f) m_depthOffsetObject = m_drawState->GetDepthBiasState();
    }
    if (!zWrite)
        ApplyRenderState(0, -1);
    else if (m_drawState)
        m_drawState->SetZWriteEnable(true);
    m_loaded = 1;
    return true;
}

void SpriteFx::SetTextureEverywhere(render::ITexture* texture) {
    m_texture = texture;
    m_surface = texture ? texture->GetSurface() : nullptr;
    if (m_primitive) m_primitive->SetTexture(0, texture);
    if (m_material) m_material->SetTexture("Tex0", texture);
}

void SpriteFx::DropTexture() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (m_texture && renderer && renderer->IsTextureReady(m_surface)) {
        // The material holds the texture too; it lets go first.
        if (m_material) m_material->SetTexture("Tex0", nullptr);
        renderer->ReleaseTexture(m_texture);
    } else if (m_texture) {
        LogWarning("SpriteFx释放时的粒子纹理不存在！");
    }
    m_texture = nullptr;
    m_surface = nullptr;
}

void SpriteFx::LoadTexture(const char* name) {
    render::IRenderer* renderer = Interfaces().renderer;
    if (!name || !renderer) return;
    m_sheetLoop = true;
    m_stepping = true;
    if (IsEmsName(name)) {
        SheetFile sheet;
        if (ReadSheetFile(name, sheet) != SheetResult::kOk) {
            LogError("Sprite texture file %s is not found!", name);
            return;
        }
        m_textureName = sheet.texture;
        m_sheetPath = sheet.texture;
        DropTexture();
        SetTextureEverywhere(renderer->LoadTexture(sheet.texture.c_str(), 0, 0, -3, 0, 0, 0));
        TakeSheet(sheet.columns, sheet.rows, sheet.third, sheet.fourth, sheet.length, sheet.loop);
        m_wholeTexture = false;
        m_aspect = 1.0f;
    } else {
        // The old texture stays when the new one does not load.
        const std::string path(name, std::min<std::size_t>(std::strlen(name), SheetFile::kMaxTexture));
        render::ITexture* texture = renderer->LoadTexture(path.c_str(), 0, 0, -3, 0, 0, 0);
        m_wholeTexture = true;
        if (texture) {
            m_sheetPath = path;
            DropTexture();
            SetTextureEverywhere(texture);
        } else {
            LogError("Spr贴图：%s 丢失", path.c_str());
        }
    }
    TakeTextureTiming();
    m_up = m_right = m_facing = Vec3();
    m_effect = SharedMaterialForBlend(m_blendMode, 1, m_zWrite != 0);
    if (m_primitive) m_primitive->SetEffect(m_effect);
    ApplyRenderState(0, -1);
}

void SpriteFx::SetPlaying(bool play) {
    FxBase::SetPlaying(play);
    if (!play) return;
    m_playStart = win32::timeGetTime();
    if (m_texture) m_texture->SetTime(0.0f);
}

void SpriteFx::Deactivate() {
    FxBase::Deactivate();
    m_state = m_linger && m_texture && m_texture->GetFrameCount() >= 2 ? kFxFinishing : kFxInactive;
}

void SpriteFx::Release() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (m_primitive && renderer) renderer->ReleasePrimitive(m_primitive);
    m_primitive = nullptr;
    m_drawState = nullptr;
    m_depthOffsetObject = nullptr;
    if (m_texture) DropTexture();
    if (m_material && renderer) renderer->ReleaseMaterial(m_material);
    m_material = nullptr;
    FxBase::Release();
}

void SpriteFx::Update() {
    FxBase::Update();
    std::int32_t phase = m_phase;
    if (m_animLength > 0)
        phase = static_cast<std::int32_t>((win32::timeGetTime() - m_playStart) % static_cast<std::uint32_t>(m_animLength));
    if (m_state == kFxFinishing && (m_animLength == 0 || phase < m_phase)) m_state = kFxInactive;
    m_phase = phase;
}

void SpriteFx::Render() {
    if (m_culled || !m_primitive) return;
    UpdateDepthOffset();
    const float t = m_lifeSpan > 0.0f ? std::min(1.0f, m_time / m_lifeSpan) : 1.0f;
    const std::uint32_t colour = ColorKeyList::Lookup(m_colors, t);
    const Vec3& P = m_posOffset;
    const Vec3 corners[4] = {P + m_up - m_right, P + m_up + m_right, P - m_up + m_right, P - m_up - m_right};
    float uv[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    if (!m_wholeTexture) {
        if (m_v >= 1.0f - m_cellHeight && m_u >= m_lastRowEndU) {
            m_u = m_v = 0.0f;
            if (!m_sheetLoop) m_stepping = false;
        }
        const float u0 = m_u, v0 = m_v, u1 = m_u + m_cellWidth, v1 = m_v + m_cellHeight;
        const float cells[4][2] = {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
        std::memcpy(uv, cells, sizeof uv);
        if (m_counter <= m_framesPerCell || !m_stepping) {
            m_counter += 1.0f;
        } else {
            m_counter = 0.0f;
            m_u += m_cellWidth;
            if (m_u >= 1.0f) {
                m_u = 0.0f;
                m_v += m_cellHeight;
                if (m_v >= 1.0f) m_v = 0.0f;
            }
        }
    }
    for (int i = 0; i < 4; ++i) m_primitive->SetVertexUV(i, &corners[i].x, uv[i][0], uv[i][1], colour);
    m_primitive->SetTransform(GetWorldMatrix().m);
    m_primitive->Draw(-1, -1, 0);
    FxBase::Render();
}

void SpriteFx::SetPlaySpeed(float speed) {
    FxBase::SetPlaySpeed(speed);
    m_length = speed;
    m_framesPerCell = CellRenders(m_length, m_frames);
}

void SpriteFx::SetTextureAnimLength(float length) {
    m_length = length;
    m_framesPerCell = CellRenders(m_length, m_frames);
    FxBase::SetTextureAnimLength(length);
}

void SpriteFx::GetTextureAnimInfo(float* columns, float* rows, float* third, float* fourth, char* name,
                                  float* length, bool* flag) {
    if (columns) *columns = m_columns;
    if (rows) *rows = m_rows;
    if (third) *third = m_frames;
    if (fourth) *fourth = m_lastRowCells;
    if (name) {
        const std::size_t n = std::min<std::size_t>(m_textureName.size(), SheetFile::kMaxTexture);
        std::memcpy(name, m_textureName.data(), n);
        name[n] = '\0';
    }
    if (length) *length = m_length;
    if (flag) *flag = m_sheetLoop;
}

bool SpriteFx::GetBoundingBox(Vec3* min, Vec3* max) {
    if (min) *min = m_boundMin;
    if (max) *max = m_boundMax;
    return true;
}

bool SpriteFx::UpdateCulling() {
    Camera* camera = ActiveFxCamera();
    // Nothing to face and nothing to draw for.
    if (!camera) {
        m_culled = 1;
        return true;
    }
    Vec3 position;
    GetWorldPosition(position);
    const Vec3 centre = position + m_posOffset;
    if (m_dirType == 0 || m_dirType == 1) {
        if (camera->GetParam20() != 0) {
            Matrix rotation;
            camera->GetWorldRotation(rotation);
            m_facing = -rotation.Row(2);
        } else {
            Vec3 eye;
            camera->GetWorldPosition(eye);
            m_facing = eye - centre;
        }
    }
    Vec3 first, second;
    ResolveDirection(m_direction, m_direction, m_dirType, true, m_facing, first, second);
    m_right = second * m_radius;
    m_up = first * (m_radius * m_aspect);
    Vec3 scale;
    GetWorldScale(scale);
    const Vec3 a(m_up.x * scale.x, m_up.y * scale.y, m_up.z * scale.z);
    const Vec3 b(m_right.x * scale.x, m_right.y * scale.y, m_right.z * scale.z);
    const float across = Vec3Length(b), upward = Vec3Length(a);
    m_boundMin = centre - Vec3(across, upward, 0.0f);
    m_boundMax = centre + Vec3(across, upward, 0.0f);
    const float radius = std::sqrt(across * across + upward * upward);
    m_culled = GetFrameFrustum(kCullPassMain).TestSphere(centre, radius) ? 1 : 0;
    return m_culled != 0;
}

}  // namespace quor::world
