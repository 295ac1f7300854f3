#include "world/fx/UpperText.h"

#include <algorithm>
#include <cstring>

#include "platform/d3d9/Device.h"
#include "platform/host/ID3DDevice.h"
#include "platform/host/IEffect.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "platform/host/ITexture.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/fx/GlyphFont.h"

namespace quor::world {

namespace {

constexpr int kTargetFormat = 21;  // A8R8G8B8
constexpr int kDepthFormat = 75;   // D24S8
constexpr int kRenderTargetUsage = 1;
constexpr int kTriangleList = 4;
constexpr std::uint32_t kScreenFvf = 0x144;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

render::IRenderer* Renderer() { return Interfaces().renderer; }

d3d9::IDirect3DDevice9* Device() {
    render::ID3DDevice* device = Interfaces().d3dDevice;
    return device ? static_cast<d3d9::IDirect3DDevice9*>(device->GetDevice()) : nullptr;
}

d3d9::IDirect3DTexture9* DeviceTexture(render::ITexture* texture) {
    return texture ? static_cast<d3d9::IDirect3DTexture9*>(texture->GetSurface()) : nullptr;
}

}  // namespace

// --- text --------------------------------------------------------------------------------------

void UpperText::SetText(const char* text) {
    m_text.assign(text ? text : "");
    if (m_text.size() > kMaxTextBytes) m_text.resize(kMaxTextBytes);
    m_dirty = 1;
}

void UpperText::SetPosition(const float* position) {
    if (!position) return;
    m_position[0] = position[0] - 0.5f;
    m_position[1] = position[1] - 0.5f;
    m_position[2] = position[2];
}

void UpperText::Show() {
    if (m_group) m_group->Queue(this);
}

void UpperText::SetColor(const float* colour) {
    if (!colour) return;
    std::memcpy(m_colour, colour, sizeof m_colour);
    m_dirty = 1;
}

void UpperText::GetColor(float* colour) {
    if (colour) std::memcpy(colour, m_colour, sizeof m_colour);
}

// --- group -------------------------------------------------------------------------------------

UpperTextGroup::~UpperTextGroup() { ReleaseResources(); }

void UpperTextGroup::Abandon() {
    m_target = nullptr;
    m_depthSurface = nullptr;
    m_font = nullptr;
}

void UpperTextGroup::ReleaseResources() {
    render::IRenderer* renderer = Renderer();
    if (m_target && renderer) renderer->ReleaseTexture(m_target);
    m_target = nullptr;
    if (m_depthSurface) static_cast<d3d9::IDirect3DSurface9*>(m_depthSurface)->Release();
    m_depthSurface = nullptr;
    if (m_font) m_font->Release();
    m_font = nullptr;
    m_drawList.clear();
    m_texts.clear();
    m_cellCache.clear();
    m_cellRects.clear();
    m_useCounts.clear();
    m_cellOwners.clear();
    m_nextFreshCell = 0;
}

void UpperTextGroup::SetFont(const char* face, std::int32_t height, std::int32_t greyscale, std::int32_t extraWidth,
                             std::int32_t extraHeight, std::int32_t antialiased, std::int32_t italic,
                             std::int32_t weight) {
    UpperTextMgr::Instance().CreateShared();
    ReleaseResources();
    m_font = GlyphFontMgr::Instance().GetFont(face, height, greyscale, extraWidth, extraHeight, antialiased, italic,
                                              weight);
    if (render::IRenderer* renderer = Renderer()) {
        m_target = renderer->CreateTexture(kTargetSize, kTargetSize, kTargetFormat, kRenderTargetUsage, 1, 0);
        m_depthSurface = renderer->CreateDepthSurface(kTargetSize, kTargetSize, kDepthFormat);
    }
    m_cellWidth = std::int32_t(12 * m_font->CellWidth());
    m_cellHeight = std::int32_t(m_font->CellHeight());
    // A cell that does not fit the target (or a font without cells) leaves the group without
    // cells: it draws nothing rather than divide by zero.
    if (m_cellWidth < 1 || m_cellWidth > kTargetSize || m_cellHeight < 1 || m_cellHeight > kTargetSize) {
        m_columns = m_rows = m_capacity = 0;
        m_inverseColumns = 0;
        LogInfo("%d,%d", 0, 0);
        return;
    }
    m_columns = kTargetSize / m_cellWidth;
    m_rows = kTargetSize / m_cellHeight;
    m_inverseColumns = 1.0f / float(m_columns);
    m_capacity = m_columns * m_rows;
    m_cellRects.resize(std::size_t(m_capacity));
    m_useCounts.assign(std::size_t(m_capacity), 0);
    m_cellOwners.assign(std::size_t(m_capacity), std::string());
    LogInfo("%d,%d", m_columns, m_rows);
    const float size = float(kTargetSize);
    for (std::int32_t row = 0; row < m_rows; ++row)
        for (std::int32_t column = 0; column < m_columns; ++column) {
            const float u = float(column * m_cellWidth) / size, v = float(row * m_cellHeight) / size;
            m_cellRects[std::size_t(row * m_columns + column)] = {u, v, u + float(m_cellWidth) / size,
                                                                  v + float(m_cellHeight) / size};
        }
}

UpperText* UpperTextGroup::CreateText(const char* name) {
    if (!name) return nullptr;
    auto [it, inserted] = m_texts.try_emplace(name);
    if (!inserted) return nullptr;
    it->second = std::make_unique<UpperText>(name, this);
    return it->second.get();
}

void UpperTextGroup::ForgetText(UpperText* text) {
    m_drawList.erase(std::remove(m_drawList.begin(), m_drawList.end(), text), m_drawList.end());
    auto record = m_cellCache.find(text->m_name);
    if (record != m_cellCache.end()) {
        m_cellOwners[std::size_t(record->second.cell)].clear();
        m_cellCache.erase(record);
    }
}

bool UpperTextGroup::DestroyText(render::IUpperText* text) {
    if (!text) return false;
    for (auto it = m_texts.begin(); it != m_texts.end(); ++it) {
        if (it->second.get() != text) continue;
        ForgetText(it->second.get());
        m_texts.erase(it);
        return true;
    }
    return false;
}

bool UpperTextGroup::DestroyText(const char* name) {
    if (!name) return false;
    auto it = m_texts.find(name);
    if (it == m_texts.end()) return false;
    ForgetText(it->second.get());
    m_texts.erase(it);
    return true;
}

UpperText* UpperTextGroup::FindText(const char* name) {
    if (!name) return nullptr;
    auto it = m_texts.find(name);
    return it == m_texts.end() ? nullptr : it->second.get();
}

void UpperTextGroup::Clear() {
    m_drawList.clear();
    m_texts.clear();
    m_cellCache.clear();
    std::fill(m_cellOwners.begin(), m_cellOwners.end(), std::string());
}

void UpperTextGroup::SetTextCell(UpperText* text, std::uint32_t column, std::uint32_t row) {
    if (!text) return;
    text->m_cellColumn = column;
    text->m_cellRow = row;
}

void UpperTextGroup::GetTextCell(const UpperText* text, std::uint32_t* column, std::uint32_t* row) const {
    if (!text) return;
    if (column) *column = text->m_cellColumn;
    if (row) *row = text->m_cellRow;
}

void UpperTextGroup::Queue(UpperText* text) {
    if (!m_drawListOpen) {
        m_drawListOpen = 1;
        m_drawList.clear();
    }
    if (m_drawList.size() >= kMaxDrawList) return;
    if (std::find(m_drawList.begin(), m_drawList.end(), text) != m_drawList.end()) return;
    m_drawList.push_back(text);
}

void UpperTextGroup::Render() {
    m_lastRedrawn = 0;
    if (m_drawList.empty() || !m_target) return;
    render::IPrimitive* primitive = UpperTextMgr::Instance().Primitive();
    if (m_capacity == 0 || !m_font || !primitive) {
        m_drawListOpen = 0;
        return;
    }
    std::fill(m_useCounts.begin(), m_useCounts.begin() + m_nextFreshCell, 0);
    std::sort(m_drawList.begin(), m_drawList.end(),
              [](const UpperText* a, const UpperText* b) { return a->m_position[2] > b->m_position[2]; });
    m_font->ResetBatch();
    d3d9::IDirect3DDevice9* device = Device();
    d3d9::IDirect3DTexture9* texture = DeviceTexture(m_target);
    d3d9::IDirect3DSurface9* surface = nullptr;
    if (texture) texture->GetSurfaceLevel(0, &surface);
    const float w = float(m_cellWidth), h = float(m_cellHeight);
    static const float kOutline[4] = {0, 0, 0, 1};
    int vertex = 0;
    for (UpperText* text : m_drawList) {
        const float x = text->m_position[0], y = text->m_position[1], z = text->m_position[2];
        const float left = x - w / 2, right = x + w / 2, top = y, bottom = y + h;
        auto record = m_cellCache.find(text->m_name);
        const bool redraw = record == m_cellCache.end() || text->m_dirty;
        if (record == m_cellCache.end()) {
            std::int32_t cell = 0;
            if (m_nextFreshCell < m_capacity) {
                cell = m_nextFreshCell++;
            } else {
                for (std::int32_t i = m_capacity; i-- > 0;) {
                    if (m_useCounts[std::size_t(i)] == 0) {
                        cell = i;
                        break;
                    }
                }
            }
            // A cell held by another text changes hands: that text is drawn again when next shown.
            std::string& owner = m_cellOwners[std::size_t(cell)];
            if (!owner.empty()) m_cellCache.erase(owner);
            owner = text->m_name;
            const CellRecord made{cell, std::uint32_t(cell % m_columns), std::uint32_t(cell / m_columns)};
            record = m_cellCache.emplace(text->m_name, made).first;
            text->m_cellColumn = made.column;
            text->m_cellRow = made.row;
        }
        const CellRecord& cell = record->second;
        const std::array<float, 4>& uv = m_cellRects[std::size_t(cell.cell)];
        const float corners[6][3] = {{left, top, z}, {right, top, z}, {left, bottom, z},
                                     {left, bottom, z}, {right, top, z}, {right, bottom, z}};
        const float texcoords[6][2] = {{uv[0], uv[1]}, {uv[2], uv[1]}, {uv[0], uv[3]},
                                       {uv[0], uv[3]}, {uv[2], uv[1]}, {uv[2], uv[3]}};
        for (int k = 0; k < 6; ++k)
            primitive->SetVertexUV(vertex + k, corners[k], texcoords[k][0], texcoords[k][1], kWhite);
        vertex += 6;
        if (redraw) {
            ++m_lastRedrawn;
            const std::int32_t width = std::int32_t(m_font->MeasureText(text->m_text.c_str()));
            const d3d9::RECT pixels{m_cellWidth * std::int32_t(cell.column), m_cellHeight * std::int32_t(cell.row),
                                    m_cellWidth * std::int32_t(cell.column + 1),
                                    m_cellHeight * std::int32_t(cell.row + 1)};
            m_font->DrawText(float((m_cellWidth - width) / 2 + pixels.left), float(pixels.top), text->m_colour,
                             text->m_text.c_str(), true, kOutline, true);
            if (device && surface) device->ColorFill(surface, &pixels, 0);
        }
        ++m_useCounts[std::size_t(cell.cell)];
        text->m_dirty = 0;
    }
    if (m_lastRedrawn > 0 && device && surface) {
        // The glyphs go into the target; the device's own target and depth surface come back
        // after, so the frame goes on where it was.
        d3d9::IDirect3DSurface9* savedTarget = nullptr;
        d3d9::IDirect3DSurface9* savedDepth = nullptr;
        device->GetRenderTarget(0, &savedTarget);
        device->GetDepthStencilSurface(&savedDepth);
        device->SetRenderTarget(0, surface);
        device->SetDepthStencilSurface(static_cast<d3d9::IDirect3DSurface9*>(m_depthSurface));
        m_font->Flush();
        if (savedTarget) device->SetRenderTarget(0, savedTarget);
        device->SetDepthStencilSurface(savedDepth);
        if (savedTarget) savedTarget->Release();
        if (savedDepth) savedDepth->Release();
    }
    if (surface) surface->Release();
    primitive->SetTexture(0, m_target);
    primitive->SetVertexCountUsed(vertex / 3);
    primitive->Draw(-1, -1, 0);
    m_drawListOpen = 0;
}

void UpperTextGroup::ReleaseDeviceTexture() {
    if (m_depthSurface) static_cast<d3d9::IDirect3DSurface9*>(m_depthSurface)->Release();
    m_depthSurface = nullptr;
}

void UpperTextGroup::RecreateDeviceObjects() {
    m_cellCache.clear();
    std::fill(m_cellOwners.begin(), m_cellOwners.end(), std::string());
    m_drawList.clear();
    m_nextFreshCell = 0;
    std::fill(m_useCounts.begin(), m_useCounts.end(), 0);
    // A group that never had a font has nothing to make again.
    render::IRenderer* renderer = Renderer();
    if (!m_font || !renderer) return;
    if (m_target) renderer->ReleaseTexture(m_target);
    m_target = renderer->CreateTexture(kTargetSize, kTargetSize, kTargetFormat, kRenderTargetUsage, 1, 0);
    d3d9::IDirect3DTexture9* texture = DeviceTexture(m_target);
    d3d9::IDirect3DDevice9* device = Device();
    if (texture && device) {
        d3d9::IDirect3DSurface9* surface = nullptr;
        if (texture->GetSurfaceLevel(0, &surface) == d3d9::D3D_OK) {
            device->ColorFill(surface, nullptr, 0);
            surface->Release();
        }
    }
    if (!m_depthSurface) m_depthSurface = renderer->CreateDepthSurface(kTargetSize, kTargetSize, kDepthFormat);
}

// --- manager -----------------------------------------------------------------------------------

UpperTextMgr& UpperTextMgr::Instance() {
    static UpperTextMgr manager;
    return manager;
}

UpperTextMgr::~UpperTextMgr() {
    // Process exit: the renderer, the device and the glyph fonts may be gone already, so
    // nothing of theirs is called; a Clear at shutdown has given everything back before.
    for (auto& [name, group] : m_groups) group->Abandon();
    m_groups.clear();
}

void UpperTextMgr::CreateShared() {
    render::IRenderer* renderer = Renderer();
    if (m_primitive || !renderer) return;
    // Room for the whole draw list: 200 texts of six vertices.
    m_primitive = renderer->CreatePrimitive(kTriangleList, kScreenFvf);
    if (!m_primitive) return;
    m_primitive->SetVertexCount(kMaxVertices / 3, kMaxVertices, 0, 0);
    m_effect = renderer->CreateEffect();
    if (m_effect) {
        m_effect->SetTechniqueName("UpperText");
        m_primitive->SetEffect(m_effect);
    }
    m_buffer = renderer->CreateDynamicBuffer();
    if (render::IVertexBuffer* stream = m_primitive->GetVertexBuffer()) stream->SetStageStates(m_buffer, 0);
}

UpperTextGroup* UpperTextMgr::CreateGroup(const char* name) {
    if (!name) return nullptr;
    auto [it, inserted] = m_groups.try_emplace(name);
    if (!inserted) return nullptr;
    it->second = std::make_unique<UpperTextGroup>(name);
    return it->second.get();
}

UpperTextGroup* UpperTextMgr::FindGroup(const char* name) {
    if (!name) return nullptr;
    auto it = m_groups.find(name);
    return it == m_groups.end() ? nullptr : it->second.get();
}

bool UpperTextMgr::DestroyGroup(const char* name) {
    if (!name) return false;
    return m_groups.erase(name) != 0;
}

bool UpperTextMgr::DestroyGroup(UpperTextGroup* group) {
    for (auto it = m_groups.begin(); it != m_groups.end(); ++it) {
        if (it->second.get() != group) continue;
        m_groups.erase(it);
        return true;
    }
    return false;
}

void UpperTextMgr::RenderAll() {
    for (auto& [name, group] : m_groups) group->Render();
}

void UpperTextMgr::OnDeviceLost() {
    for (auto& [name, group] : m_groups) group->ReleaseDeviceTexture();
}

void UpperTextMgr::OnDeviceReset() {
    for (auto& [name, group] : m_groups) group->RecreateDeviceObjects();
}

void UpperTextMgr::Clear() {
    if (render::IRenderer* renderer = Renderer()) {
        if (m_primitive) renderer->ReleasePrimitive(m_primitive);
        if (m_buffer) renderer->ReleaseDynamicBuffer(m_buffer);
        if (m_effect) renderer->ReleaseEffect(m_effect);
    }
    m_primitive = nullptr;
    m_buffer = nullptr;
    m_effect = nullptr;
    m_groups.clear();
}

}  // namespace quor::world
