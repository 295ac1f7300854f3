#include "world/fx/GlyphFont.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/d3d9/Device.h"
#include "platform/host/ID3DDevice.h"
#include "world/core/InterfaceTable.h"

namespace quor::world {

using namespace d3d9;

namespace {

constexpr std::uint32_t kFontFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

IDirect3DDevice9* Device() {
    render::ID3DDevice* device = Interfaces().d3dDevice;
    return device ? static_cast<IDirect3DDevice9*>(device->GetDevice()) : nullptr;
}

std::uint32_t PackColour(const float c[4]) {
    auto channel = [](float v) -> std::uint32_t {
        if (v >= 1.0f) return 255;
        if (!(v > 0.0f)) return 0;
        return std::uint32_t(v * 255.0f + 0.5f);
    };
    if (!c) return 0;
    return channel(c[3]) << 24 | channel(c[0]) << 16 | channel(c[1]) << 8 | channel(c[2]);
}

// The next character of a GBK text: a lead byte takes the byte after it, unless the text ends
// there. Answers the code (one byte, or lead << 8 | trail) and advances i.
std::uint32_t NextCode(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    if (lead >= 0x80 && i + 1 < text.size()) {
        const auto trail = static_cast<std::uint8_t>(text[i + 1]);
        i += 2;
        return std::uint32_t(lead) << 8 | trail;
    }
    i += 1;
    return lead;
}

}  // namespace

// --- manager ---------------------------------------------------------------------------------

namespace {
win32::CriticalSection* g_glyphLock = nullptr;
}

win32::CriticalSection& GlyphFontMgr::Lock() {
    // Not destroyed with the static objects: exit-time destructors may still take it.
    static win32::CriticalSection& lock = *(g_glyphLock = new win32::CriticalSection);
    return lock;
}

void GlyphFontMgr::ReleaseLock() {
    delete g_glyphLock;
    g_glyphLock = nullptr;
}

GlyphFontMgr& GlyphFontMgr::Instance() {
    static GlyphFontMgr manager;
    return manager;
}

GlyphFontMgr::GlyphFontMgr() {
    std::lock_guard<win32::CriticalSection> lock(Lock());
    EnsureShared();
}

GlyphFontMgr::~GlyphFontMgr() {
    // At process exit the device and its host may already be gone: the fonts are dropped
    // without a device call. A Clear at shutdown has released them properly before.
    std::lock_guard<win32::CriticalSection> lock(Lock());
    for (auto& [key, font] : m_fonts) {
        font->Abandon();
        delete font;
    }
    m_fonts.clear();
    ReleaseShared();
}

void GlyphFontMgr::EnsureShared() {
    if (m_dc) return;
    m_dc = gdi::CreateCompatibleDC(nullptr);
    m_bitmap = gdi::CreateCompatibleBitmap(m_dc, 80, 80);
    m_oldBitmap = gdi::SelectObject(m_dc, m_bitmap);
    gdi::SetTextColor(m_dc, 0xFFFFFF);
    gdi::SetBkColor(m_dc, 0);
    m_vertices.assign(GlyphFont::kMaxVertices, GlyphVertex{});
    m_indices.resize(GlyphFont::kMaxIndices);
    for (std::uint32_t k = 0; k < GlyphFont::kMaxIndices / 6; ++k) {
        const auto base = std::uint16_t(4 * k);
        const std::uint16_t quad[6] = {base, std::uint16_t(base + 1), std::uint16_t(base + 2),
                                       std::uint16_t(base + 2), std::uint16_t(base + 1), std::uint16_t(base + 3)};
        std::copy(quad, quad + 6, m_indices.begin() + 6 * k);
    }
}

void GlyphFontMgr::ReleaseShared() {
    if (m_dc) {
        if (m_oldBitmap) gdi::SelectObject(m_dc, m_oldBitmap);
        gdi::DeleteDC(m_dc);
    }
    if (m_bitmap) gdi::DeleteObject(m_bitmap);
    m_dc = nullptr;
    m_bitmap = m_oldBitmap = nullptr;
    m_vertices.clear();
    m_vertices.shrink_to_fit();
    m_indices.clear();
    m_indices.shrink_to_fit();
}

std::string GlyphFontMgr::MakeKey(const char* face, std::int32_t height, std::int32_t greyscale,
                                  std::int32_t extraWidth, std::int32_t extraHeight, std::int32_t antialiased,
                                  std::int32_t italic, std::int32_t weight) {
    // Numbers run together ("1" "12" against "11" "2") would let two parameter sets share a
    // font; each ends with a comma, and the face comes after the fixed count of numbers.
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "%d,%d,%d,%d,%d,%d,%d,", height, greyscale, extraWidth, extraHeight,
                  antialiased, italic, weight);
    return std::string(numbers) + (face ? face : "");
}

GlyphFont* GlyphFontMgr::GetFont(const char* face, std::int32_t height, std::int32_t greyscale,
                                 std::int32_t extraWidth, std::int32_t extraHeight, std::int32_t antialiased,
                                 std::int32_t italic, std::int32_t weight) {
    std::lock_guard<win32::CriticalSection> lock(Lock());
    EnsureShared();
    std::string key = MakeKey(face, height, greyscale, extraWidth, extraHeight, antialiased, italic, weight);
    auto it = m_fonts.find(key);
    if (it != m_fonts.end()) {
        ++it->second->m_refCount;
        return it->second;
    }
    auto* font = new GlyphFont;
    m_fonts.emplace(key, font);
    font->Create(face, height, greyscale, extraWidth, extraHeight, antialiased, italic, weight);
    font->m_key = std::move(key);
    return font;
}

bool GlyphFontMgr::ReleaseFont(const std::string& key) {
    std::lock_guard<win32::CriticalSection> lock(Lock());
    auto it = m_fonts.find(key);
    if (it == m_fonts.end()) return false;
    delete it->second;
    m_fonts.erase(it);
    return true;
}

void GlyphFontMgr::Clear() {
    std::lock_guard<win32::CriticalSection> lock(Lock());
    for (auto& [key, font] : m_fonts) delete font;
    m_fonts.clear();
    ReleaseShared();
}

std::size_t GlyphFontMgr::FontCount() {
    std::lock_guard<win32::CriticalSection> lock(Lock());
    return m_fonts.size();
}

// --- font --------------------------------------------------------------------------------------

GlyphFont::~GlyphFont() {
    if (m_page) m_page->Release();
    if (m_font) gdi::DeleteObject(m_font);
}

void GlyphFont::Abandon() {
    m_page = nullptr;
    if (m_font) gdi::DeleteObject(m_font);
    m_font = nullptr;
}

std::uint32_t GlyphFont::AddRef() {
    std::lock_guard<win32::CriticalSection> lock(GlyphFontMgr::Lock());
    return ++m_refCount;
}

void GlyphFont::Release() {
    std::lock_guard<win32::CriticalSection> lock(GlyphFontMgr::Lock());
    if (m_refCount > 0) --m_refCount;
    if (m_refCount > 0) return;
    GlyphFontMgr::Instance().ReleaseFont(m_key);
}

void GlyphFont::Create(const char* face, std::int32_t height, std::int32_t greyscale, std::int32_t extraWidth,
                       std::int32_t extraHeight, std::int32_t antialiased, std::int32_t italic,
                       std::int32_t weight) {
    GlyphFontMgr& mgr = GlyphFontMgr::Instance();
    m_weight = weight;
    m_greyscale = std::uint32_t(greyscale);
    if (m_page) m_page->Release();
    m_page = nullptr;
    if (D3DXCreateTexture(Device(), kPageSize, kPageSize, 1, 0, D3DFMT_A8, D3DPOOL_MANAGED, &m_page) != D3D_OK)
        m_page = nullptr;
    m_wrapWidth = kPageSize;
    m_font = gdi::CreateFontA(height, 0, 0, 0, weight, italic != 0, 0, 0, gdi::DEFAULT_CHARSET,
                              gdi::OUT_DEFAULT_PRECIS, gdi::CLIP_DEFAULT_PRECIS,
                              antialiased ? gdi::ANTIALIASED_QUALITY : gdi::NONANTIALIASED_QUALITY,
                              gdi::VARIABLE_PITCH, face ? face : "");
    // Without a font or a page the font keeps no cells: nothing is found, nothing drawn.
    if (!m_font || !m_page) return;
    gdi::SelectObject(mgr.m_dc, m_font);
    gdi::TEXTMETRICA metrics;
    if (gdi::GetTextMetricsA(mgr.m_dc, &metrics)) m_ascent = metrics.tmAscent;
    const gdi::WCHAR probe[1] = {u'\u6EBA'};
    gdi::SIZE size;
    gdi::GetTextExtentPoint32W(mgr.m_dc, probe, 1, &size);
    std::int64_t width = std::int64_t(size.cx) + extraWidth;
    std::int64_t cellHeight = std::int64_t(size.cy) + extraHeight;
    if (width == 0 || width > 100) width = height;
    if (cellHeight == 0 || cellHeight > 100) cellHeight = height;
    // A cell outside the page (or of no size, which would divide by zero) gives no cells.
    if (width < 1 || width > kPageSize || cellHeight < 1 || cellHeight > kPageSize) return;
    m_cellWidth = std::uint32_t(width);
    m_cellHeight = std::uint32_t(cellHeight);
    m_columns = kPageSize / m_cellWidth;
    m_rows = kPageSize / m_cellHeight;
    m_inverseColumns = 1.0f / float(m_columns);
    m_cellU = float(m_cellWidth) / float(kPageSize);
    m_cellV = float(m_cellHeight) / float(kPageSize);
    m_capacity = std::min(m_rows * m_columns, kMaxCells);
    m_glyphs.assign(m_capacity, GlyphInfo{});
    m_useCounts.assign(m_capacity, 0);
    m_codeOf.assign(m_capacity, -1);
    m_cellOf = std::make_unique<std::uint16_t[]>(65536);
}

const GlyphInfo* GlyphFont::CachedGlyph(std::string_view character) const {
    if (character.empty() || !m_cellOf) return nullptr;
    std::size_t i = 0;
    const std::uint32_t cell = m_cellOf[NextCode(character, i)];
    return cell ? &m_glyphs[cell - 1] : nullptr;
}

const GlyphInfo* GlyphFont::Find(std::uint32_t code) {
    if (m_capacity == 0) return nullptr;
    if (const std::uint32_t cell = m_cellOf[code]) {
        ++m_useCounts[cell - 1];
        return &m_glyphs[cell - 1];
    }
    std::uint32_t cell = 0;
    if (m_nextFreshCell < m_capacity) {
        cell = m_nextFreshCell++;
    } else {
        // The last cell not used since the batch began; every cell in use: cell 0.
        for (std::uint32_t i = m_capacity; i-- > 0;) {
            if (m_useCounts[i] == 0) {
                cell = i;
                break;
            }
        }
    }
    return Rasterise(code, cell) ? &m_glyphs[cell] : nullptr;
}

bool GlyphFont::Rasterise(std::uint32_t code, std::uint32_t cell) {
    if (cell >= m_capacity) cell = 0;
    const std::uint32_t column = cell % m_columns, row = cell / m_columns;
    m_useCounts[cell] = 1;
    GlyphFontMgr& mgr = GlyphFontMgr::Instance();
    gdi::SelectObject(mgr.m_dc, m_font);
    // The same code page as the lookup: the character's own bytes read as GBK.
    char bytes[2];
    int length = 0;
    if (code > 0xFF) bytes[length++] = char(code >> 8);
    bytes[length++] = char(code & 0xFF);
    gdi::WCHAR wide = 0;
    if (gdi::MultiByteToWideChar(936, gdi::MB_PRECOMPOSED, bytes, length, &wide, 1) != 1) return false;
    static thread_local std::uint8_t buffer[kGlyphBufferSize];
    gdi::GLYPHMETRICS metrics;
    const gdi::MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    const std::uint32_t format = m_greyscale ? gdi::GGO_GRAY8_BITMAP : gdi::GGO_BITMAP;
    const std::uint32_t size = gdi::GetGlyphOutlineW(mgr.m_dc, wide, format, &metrics, kGlyphBufferSize, buffer, &identity);
    // Not rasterised: the character is not cached and draws nothing, rather than whatever
    // the cell held before.
    if (size == gdi::GDI_ERROR || size > kGlyphBufferSize) return false;
    // The copy stays inside the cell: a larger black box is clipped to it, and the quads then
    // sample only what was copied.
    const std::uint32_t boxWidth = std::min<std::uint32_t>(metrics.gmBlackBoxX, m_cellWidth);
    const std::uint32_t boxHeight = std::min<std::uint32_t>(metrics.gmBlackBoxY, m_cellHeight);
    const std::uint32_t pitch = m_greyscale ? (metrics.gmBlackBoxX + 3) / 4 * 4 : (metrics.gmBlackBoxX + 31) / 32 * 4;
    RECT rect{std::int32_t(m_cellWidth * column), std::int32_t(m_cellHeight * row),
              std::int32_t(m_cellWidth * (column + 1)), std::int32_t(m_cellHeight * (row + 1))};
    D3DLOCKED_RECT locked;
    // A page that cannot be written leaves the character uncached too.
    if (m_page->LockRect(0, &locked, &rect, 0) != D3D_OK) return false;
    auto* pixels = static_cast<std::uint8_t*>(locked.pBits);
    for (std::uint32_t y = 0; y < boxHeight; ++y) {
        std::uint8_t* dst = pixels + std::size_t(y) * std::size_t(locked.Pitch);
        const std::size_t rowStart = std::size_t(y) * pitch;
        for (std::uint32_t x = 0; x < boxWidth; ++x) {
            std::uint8_t value = 0;
            if (m_greyscale) {
                // Bytes past what the outline wrote count as blank.
                if (rowStart + x < size) value = std::uint8_t(std::min(255u, buffer[rowStart + x] * 4u));
            } else {
                const std::size_t byte = rowStart + x / 8;
                if (byte < size) value = (buffer[byte] >> (7 - x % 8)) & 1 ? 255 : 0;
            }
            dst[x] = value;
        }
    }
    m_page->UnlockRect(0);
    GlyphInfo& info = m_glyphs[cell];
    info.blackBoxWidth = std::int32_t(boxWidth);
    info.blackBoxHeight = std::int32_t(boxHeight);
    info.originX = metrics.gmptGlyphOrigin.x;
    info.originY = metrics.gmptGlyphOrigin.y;
    info.column = column;
    info.row = row;
    info.advance = metrics.gmCellIncX;
    if (m_codeOf[cell] >= 0) m_cellOf[std::size_t(m_codeOf[cell])] = 0;
    m_codeOf[cell] = std::int32_t(code);
    m_cellOf[code] = std::uint16_t(cell + 1);
    return true;
}

std::uint32_t GlyphFont::MeasureText(const char* text) {
    if (!text) return 0;
    std::lock_guard<win32::CriticalSection> lock(GlyphFontMgr::Lock());
    const std::string_view s(text);
    std::uint32_t width = 0;
    for (std::size_t i = 0; i < s.size();) {
        const std::uint32_t code = NextCode(s, i);
        if (code == ' ') continue;
        if (const GlyphInfo* glyph = Find(code)) width += std::uint32_t(glyph->advance + m_charSpacing);
    }
    return width;
}

namespace {

// One glyph's rectangle and texture rectangle, worked out once for all its quads.
struct GlyphQuad {
    float left, top, right, bottom;
    float uMin, vMin, uMax, vMax;
};

// Writes one quad displaced by (dx, dy) while the batch has room; counts it either way. The
// batch holds whole quads (its size is a multiple of four), so a quad that starts inside it
// ends inside it.
inline void EmitQuad(GlyphVertex* batch, std::uint32_t& count, const GlyphQuad& q, float dx, float dy,
                     std::uint32_t colour) {
    const std::uint32_t at = count;
    count += 4;
    if (at >= GlyphFont::kMaxVertices) return;
    GlyphVertex* v = batch + at;
    const float l = q.left + dx, t = q.top + dy, r = q.right + dx, b = q.bottom + dy;
    v[0] = {l, b, 0.001f, 1.0f, colour, q.uMin, q.vMax};
    v[1] = {l, t, 0.001f, 1.0f, colour, q.uMin, q.vMin};
    v[2] = {r, b, 0.001f, 1.0f, colour, q.uMax, q.vMax};
    v[3] = {r, t, 0.001f, 1.0f, colour, q.uMax, q.vMin};
}

}  // namespace

HRESULT GlyphFont::DrawText(float x, float y, const float colour[4], const char* text, bool outlined,
                            const float outlineColour[4], bool shadowOnly) {
    if (!text || !*text) return D3D_OK;
    std::lock_guard<win32::CriticalSection> lock(GlyphFontMgr::Lock());
    if (!m_page || m_vertexCount >= kMaxVertices) return E_FAIL;
    const std::string_view s(text);
    GlyphVertex* batch = GlyphFontMgr::Instance().m_vertices.data();
    if (!batch) return E_FAIL;
    const std::uint32_t argb = PackColour(colour);
    const std::uint32_t outline = PackColour(outlineColour);
    // The per-character loop works on locals: the vertex stores would otherwise make the
    // compiler reload every 32-bit member after each one.
    const float lineHeight = float(std::int64_t(m_cellHeight) + m_lineSpacing + (outlined ? 1 : 0));
    const std::int64_t wrap = m_wrapWidth;
    const std::int64_t charSpacing = m_charSpacing;
    const auto spaceAdvance = std::int64_t(float(m_cellWidth) * 0.38f);
    const float cellU = m_cellU, cellV = m_cellV, ascent = float(m_ascent);
    constexpr float kTexel = 1.0f / float(kPageSize);
    const bool bold = m_weight == 0;
    const bool ring = outlined && !shadowOnly;
    // The cache hit is the common case and stays in this loop; a miss goes to Find.
    const std::uint16_t* cellOf = m_cellOf.get();
    std::uint16_t* useCounts = m_useCounts.data();
    const GlyphInfo* infos = m_glyphs.data();
    std::uint32_t count = m_vertexCount;
    std::uint32_t glyphs = 0;
    std::int64_t lineWidth = 0;
    float penX = x, penY = y;
    std::uint32_t trianglesPerGlyph = 2;
    if (outlined) trianglesPerGlyph += shadowOnly ? 4 : 16;
    if (bold) trianglesPerGlyph += 2;
    static constexpr float kRing[6][2] = {{-1, 0}, {0, -1}, {-1, -1}, {1, 1}, {1, -1}, {-1, 1}};
    for (std::size_t i = 0; i < s.size();) {
        const std::uint32_t code = NextCode(s, i);
        if (code == '\n') {
            penX = x;
            penY += lineHeight;
            lineWidth = 0;
            continue;
        }
        if (code == ' ') {
            if (spaceAdvance + lineWidth > wrap) {
                penX = x;
                penY += lineHeight;
                lineWidth = 0;
            }
            penX += float(spaceAdvance);
            lineWidth += spaceAdvance;
            continue;
        }
        const std::uint32_t cached = cellOf ? cellOf[code] : 0;
        const GlyphInfo* glyph;
        if (cached) {
            ++useCounts[cached - 1];
            glyph = infos + (cached - 1);
        } else {
            glyph = Find(code);
            if (!glyph) continue;
        }
        const std::int64_t step = std::int64_t(glyph->advance) + charSpacing;
        if (step + lineWidth > wrap) {
            penX = x;
            penY += lineHeight;
            lineWidth = 0;
        }
        GlyphQuad q;
        q.left = penX - 0.5f + float((glyph->advance - glyph->blackBoxWidth) / 2);
        q.top = penY - 0.5f + (ascent - float(glyph->originY));
        q.right = q.left + float(glyph->blackBoxWidth);
        q.bottom = q.top + float(glyph->blackBoxHeight);
        q.uMin = float(glyph->column) * cellU;
        q.vMin = float(glyph->row) * cellV;
        q.uMax = q.uMin + float(glyph->blackBoxWidth) * kTexel;
        q.vMax = q.vMin + float(glyph->blackBoxHeight) * kTexel;
        if (outlined) {
            EmitQuad(batch, count, q, 1, 0, outline);
            EmitQuad(batch, count, q, 0, 1, outline);
            if (ring)
                for (const auto& d : kRing) EmitQuad(batch, count, q, d[0], d[1], outline);
        }
        if (bold) EmitQuad(batch, count, q, 0, 0, argb);
        EmitQuad(batch, count, q, 0, 0, argb);
        ++glyphs;
        penX += float(step);
        lineWidth += step;
    }
    m_vertexCount = count;
    m_triangleCount += glyphs * trianglesPerGlyph;
    return D3D_OK;
}

void GlyphFont::ResetBatch() {
    std::lock_guard<win32::CriticalSection> lock(GlyphFontMgr::Lock());
    m_vertexCount = 0;
    m_triangleCount = 0;
    std::fill(m_useCounts.begin(), m_useCounts.begin() + std::min(m_nextFreshCell, m_capacity), 0);
}

HRESULT GlyphFont::Flush() {
    std::lock_guard<win32::CriticalSection> lock(GlyphFontMgr::Lock());
    if (m_triangleCount == 0) return D3D_OK;
    IDirect3DDevice9* device = Device();
    GlyphFontMgr& mgr = GlyphFontMgr::Instance();
    if (!device || !m_page || mgr.m_vertices.empty()) return E_FAIL;
    // Everything this draw changes is put back as it was.
    IDirect3DTexture9* savedTexture = nullptr;
    device->GetTexture(0, &savedTexture);
    static constexpr D3DRENDERSTATETYPE kStates[] = {D3DRS_ALPHATESTENABLE, D3DRS_ALPHAREF,  D3DRS_ALPHABLENDENABLE,
                                                     D3DRS_SRCBLEND,        D3DRS_DESTBLEND, D3DRS_ZENABLE,
                                                     D3DRS_ZWRITEENABLE};
    std::uint32_t savedStates[std::size(kStates)];
    for (std::size_t i = 0; i < std::size(kStates); ++i) device->GetRenderState(kStates[i], &savedStates[i]);
    std::uint32_t savedStage0[6], savedStage1[2], savedFilters[2], savedFvf = 0;
    for (std::uint32_t t = 1; t <= 6; ++t)
        device->GetTextureStageState(0, D3DTEXTURESTAGESTATETYPE(t), &savedStage0[t - 1]);
    device->GetTextureStageState(1, D3DTSS_COLOROP, &savedStage1[0]);
    device->GetTextureStageState(1, D3DTSS_ALPHAOP, &savedStage1[1]);
    device->GetSamplerState(0, D3DSAMP_MINFILTER, &savedFilters[0]);
    device->GetSamplerState(0, D3DSAMP_MAGFILTER, &savedFilters[1]);
    device->GetFVF(&savedFvf);

    device->SetTexture(0, m_page);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
    device->SetRenderState(D3DRS_ALPHAREF, std::uint32_t(m_alphaRef));
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ZENABLE, 0);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->SetFVF(kFontFvf);

    const std::uint32_t triangles = std::min(m_triangleCount, kMaxIndices / 3);
    const HRESULT hr = device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, kMaxVertices, triangles,
                                                      mgr.m_indices.data(), D3DFMT_INDEX16, mgr.m_vertices.data(),
                                                      sizeof(GlyphVertex));

    device->SetSamplerState(0, D3DSAMP_MINFILTER, savedFilters[0]);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, savedFilters[1]);
    for (std::size_t i = 0; i < std::size(kStates); ++i) device->SetRenderState(kStates[i], savedStates[i]);
    for (std::uint32_t t = 1; t <= 6; ++t)
        device->SetTextureStageState(0, D3DTEXTURESTAGESTATETYPE(t), savedStage0[t - 1]);
    device->SetTextureStageState(1, D3DTSS_COLOROP, savedStage1[0]);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, savedStage1[1]);
    device->SetFVF(savedFvf);
    device->SetTexture(0, savedTexture);
    if (savedTexture) savedTexture->Release();
    return hr;
}

}  // namespace quor::world
