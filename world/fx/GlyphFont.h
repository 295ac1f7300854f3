#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/d3d9/D3D9Types.h"
#include "platform/gdi/Gdi.h"
#include "platform/win32/CriticalSection.h"

namespace quor::d3d9 {
class IDirect3DTexture9;
}

namespace quor::world {

// Where a character sits in a font's page and how it is laid out.
struct GlyphInfo {
    std::int32_t blackBoxWidth = 0;
    std::int32_t blackBoxHeight = 0;
    std::int32_t originX = 0;
    std::int32_t originY = 0;
    std::uint32_t column = 0;
    std::uint32_t row = 0;
    std::int32_t advance = 0;
};

// One vertex of the shared glyph batch: pre-transformed position, ARGB colour, texture
// coordinates (the device's format 0x144, 28 bytes).
struct GlyphVertex {
    float x, y, z, rhw;
    std::uint32_t colour;
    float u, v;
};
static_assert(sizeof(GlyphVertex) == 28, "the device reads 28-byte vertices");

// Screen text drawn from glyphs rasterised once into a 512 x 512 alpha page. Texts are GBK
// byte strings: a byte of 0x80 or more leads a two-byte character, unless the text ends after
// it (then it is a character of its own). Fonts come from GlyphFontMgr and go back through
// Release. Every public operation takes the manager's lock.
class GlyphFont {
public:
    static constexpr std::uint32_t kPageSize = 512;
    static constexpr std::uint32_t kMaxVertices = 10000;
    static constexpr std::uint32_t kMaxIndices = 15000;
    static constexpr std::uint32_t kMaxCells = 2500;
    static constexpr std::uint32_t kGlyphBufferSize = 10000;

    GlyphFont(const GlyphFont&) = delete;
    GlyphFont& operator=(const GlyphFont&) = delete;

    // Width in pixels: advance plus char spacing of every character but spaces; 0 for null.
    std::uint32_t MeasureText(const char* text);
    std::uint32_t MeasureTextPadded(const char* text) { return MeasureText(text) + 2; }
    // Queues the glyphs of the text at (x, y), the top-left of its first line. 0x80004005
    // without a page or with the batch full; 0 otherwise (an empty text too).
    d3d9::HRESULT DrawText(float x, float y, const float colour[4], const char* text, bool outlined,
                           const float outlineColour[4], bool shadowOnly);
    // Starts a new batch: no vertices, and every cell may be reused.
    void ResetBatch();
    // Draws the queued glyphs in one call, the device's states restored after.
    d3d9::HRESULT Flush();
    // Drops a reference; the last one destroys the font through its manager.
    void Release();
    std::uint32_t AddRef();

    std::uint32_t PageSize() const { return kPageSize; }
    std::uint32_t CellWidth() const { return m_cellWidth; }
    std::uint32_t CellHeight() const { return m_cellHeight; }
    std::uint32_t LineHeight() const { return m_cellHeight + 2; }
    std::int32_t Ascent() const { return m_ascent; }
    std::uint32_t Capacity() const { return m_capacity; }
    std::uint32_t Columns() const { return m_columns; }
    std::uint32_t Rows() const { return m_rows; }
    std::uint32_t RefCount() const { return m_refCount; }
    std::uint32_t WrapWidth() const { return m_wrapWidth; }
    void SetWrapWidth(std::uint32_t width) { m_wrapWidth = width; }
    std::int32_t LineSpacing() const { return m_lineSpacing; }
    void SetLineSpacing(std::int32_t spacing) { m_lineSpacing = spacing; }
    std::int32_t CharSpacing() const { return m_charSpacing; }
    void SetCharSpacing(std::int32_t spacing) { m_charSpacing = spacing; }
    std::int32_t AlphaRef() const { return m_alphaRef; }
    void SetAlphaRef(std::int32_t value) { m_alphaRef = value; }
    const std::string& Key() const { return m_key; }

    // What tests read: the batch, the page and the cached glyph of a character (null: none).
    std::uint32_t VertexCount() const { return m_vertexCount; }
    std::uint32_t TriangleCount() const { return m_triangleCount; }
    d3d9::IDirect3DTexture9* Page() const { return m_page; }
    const GlyphInfo* CachedGlyph(std::string_view character) const;
    std::uint16_t UseCount(std::uint32_t cell) const { return cell < m_capacity ? m_useCounts[cell] : 0; }

private:
    friend class GlyphFontMgr;
    GlyphFont() = default;
    ~GlyphFont();

    void Create(const char* face, std::int32_t height, std::int32_t greyscale, std::int32_t extraWidth,
                std::int32_t extraHeight, std::int32_t antialiased, std::int32_t italic, std::int32_t weight);
    // Drops the page and the font without calling the device (the host may be gone).
    void Abandon();
    // The glyph of a character code (one byte, or lead << 8 | trail), rasterised on a miss;
    // null when the character cannot be drawn.
    const GlyphInfo* Find(std::uint32_t code);
    bool Rasterise(std::uint32_t code, std::uint32_t cell);

    d3d9::IDirect3DTexture9* m_page = nullptr;
    std::uint32_t m_cellWidth = 0;
    std::uint32_t m_cellHeight = 0;
    std::uint32_t m_rows = 0;
    std::uint32_t m_columns = 0;
    float m_inverseColumns = 0;
    gdi::HFONT m_font = nullptr;
    std::uint32_t m_wrapWidth = kPageSize;
    std::uint32_t m_vertexCount = 0;
    float m_cellU = 0;
    float m_cellV = 0;
    std::uint32_t m_triangleCount = 0;
    std::int32_t m_lineSpacing = 0;
    std::int32_t m_charSpacing = 0;
    std::int32_t m_alphaRef = 1;
    std::uint32_t m_capacity = 0;
    std::vector<GlyphInfo> m_glyphs;
    std::uint32_t m_greyscale = 0;
    std::int32_t m_ascent = 0;
    // The glyph map, by the code page's own character code so that the drawing path needs no
    // conversion: cell + 1 of each code (0: not cached), and the code each cell holds.
    std::unique_ptr<std::uint16_t[]> m_cellOf;
    std::vector<std::int32_t> m_codeOf;
    std::vector<std::uint16_t> m_useCounts;
    std::uint32_t m_nextFreshCell = 0;
    std::string m_key;
    std::uint32_t m_refCount = 1;
    std::int32_t m_weight = 0;
};

// The process-wide cache of glyph fonts by their parameters, with the state all fonts share:
// the measuring context, the vertex batch and its indices. One lock serialises every glyph
// font call, as the main thread and a loading-screen thread both draw.
class GlyphFontMgr {
public:
    static GlyphFontMgr& Instance();

    // The font of these parameters, with a reference for the caller (a new one is made on
    // the first request; a font that could not be made has no cells and draws nothing).
    GlyphFont* GetFont(const char* face, std::int32_t height, std::int32_t greyscale, std::int32_t extraWidth,
                       std::int32_t extraHeight, std::int32_t antialiased, std::int32_t italic, std::int32_t weight);
    // Destroys the font under the key; false when absent.
    bool ReleaseFont(const std::string& key);
    // Destroys every font and the shared state (made again by the next GetFont).
    void Clear();
    std::size_t FontCount();

    // The key of a parameter set: its numbers, each ended by a comma, then the face.
    static std::string MakeKey(const char* face, std::int32_t height, std::int32_t greyscale, std::int32_t extraWidth,
                               std::int32_t extraHeight, std::int32_t antialiased, std::int32_t italic,
                               std::int32_t weight);
    static win32::CriticalSection& Lock();
    // Frees the lock; only when the module is unloaded, after every exit-time destructor.
    static void ReleaseLock();
    // The shared batch (what tests read).
    const std::vector<GlyphVertex>& Batch() const { return m_vertices; }

private:
    friend class GlyphFont;
    GlyphFontMgr();
    ~GlyphFontMgr();
    void EnsureShared();
    void ReleaseShared();

    std::unordered_map<std::string, GlyphFont*> m_fonts;
    gdi::HDC m_dc = nullptr;
    gdi::HBITMAP m_bitmap = nullptr;
    gdi::HGDIOBJ m_oldBitmap = nullptr;
    std::vector<GlyphVertex> m_vertices;
    std::vector<std::uint16_t> m_indices;
};

}  // namespace quor::world
