#include "platform/gdi/Gdi.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace quor::gdi {

struct GdiObject {
    enum Kind { kContext, kFont, kBitmap } kind;
    explicit GdiObject(Kind k) : kind(k) {}
    virtual ~GdiObject() = default;
};

namespace {

struct Context final : GdiObject {
    Context() : GdiObject(kContext) {}
    GdiObject* font = nullptr;
    GdiObject* bitmap = nullptr;
    std::uint32_t textColour = 0;
    std::uint32_t backColour = 0xFFFFFF;
};

struct Font final : GdiObject {
    Font() : GdiObject(kFont) {}
    ~Font() override {
        if (face) FT_Done_Face(face);
    }
    FT_Face face = nullptr;
    bool bold = false;
    bool italic = false;
    std::int32_t weight = 0;
};

struct Bitmap final : GdiObject {
    Bitmap(std::int32_t w, std::int32_t h) : GdiObject(kBitmap), width(w), height(h), pixels(std::size_t(w) * h, 0) {}
    std::int32_t width;
    std::int32_t height;
    std::vector<std::uint32_t> pixels;
};

struct State {
    std::mutex mutex;
    FT_Library library = nullptr;
    std::string faceFile = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
    std::set<GdiObject*> live;
    bool failFonts = false;
    bool failOutlines = false;
    std::uint64_t outlineCalls = 0;
    iconv_t gbk = reinterpret_cast<iconv_t>(-1);
};

// Never destroyed: exit-time destructors of the module's singletons still delete their
// contexts and fonts after every function-local static made later has gone.
State* g_state = nullptr;

State& S() {
    static State& state = *(g_state = new State);
    return state;
}

template <class T>
T* As(GdiObject* o, GdiObject::Kind kind) {
    State& s = S();
    if (!o || !s.live.count(o) || o->kind != kind) return nullptr;
    return static_cast<T*>(o);
}

Font* SelectedFont(HDC dc) {
    Context* c = As<Context>(dc, GdiObject::kContext);
    return c ? As<Font>(c->font, GdiObject::kFont) : nullptr;
}

// 26.6 fixed point to whole pixels, rounding up: a partly covered row or column counts.
std::int32_t Ceil26(FT_Pos v) { return std::int32_t((v + 63) >> 6); }

bool LoadGlyph(Font* font, FT_UInt index, FT_Int32 flags) {
    if (FT_Load_Glyph(font->face, index, flags) != 0) return false;
    if (font->bold) FT_GlyphSlot_Embolden(font->face->glyph);
    if (font->italic && font->face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) FT_GlyphSlot_Oblique(font->face->glyph);
    return true;
}

}  // namespace

HDC CreateCompatibleDC(HDC) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto* c = new Context;
    s.live.insert(c);
    return c;
}

bool DeleteDC(HDC dc) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    Context* c = As<Context>(dc, GdiObject::kContext);
    if (!c) return false;
    s.live.erase(c);
    delete c;
    return true;
}

HBITMAP CreateCompatibleBitmap(HDC, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto* b = new Bitmap(width, height);
    s.live.insert(b);
    return b;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    Context* c = As<Context>(dc, GdiObject::kContext);
    if (!c || !object || !s.live.count(object)) return nullptr;
    GdiObject** slot = object->kind == GdiObject::kFont ? &c->font : object->kind == GdiObject::kBitmap ? &c->bitmap : nullptr;
    if (!slot) return nullptr;
    GdiObject* before = *slot;
    *slot = object;
    return before;
}

bool DeleteObject(HGDIOBJ object) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!object || !s.live.count(object) || object->kind == GdiObject::kContext) return false;
    // A context that still selects it forgets it rather than keep a dangling handle.
    for (GdiObject* o : s.live) {
        if (o->kind != GdiObject::kContext) continue;
        auto* c = static_cast<Context*>(o);
        if (c->font == object) c->font = nullptr;
        if (c->bitmap == object) c->bitmap = nullptr;
    }
    s.live.erase(object);
    delete object;
    return true;
}

std::uint32_t SetTextColor(HDC dc, std::uint32_t colour) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    Context* c = As<Context>(dc, GdiObject::kContext);
    if (!c) return 0xFFFFFFFFu;
    return std::exchange(c->textColour, colour);
}

std::uint32_t SetBkColor(HDC dc, std::uint32_t colour) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    Context* c = As<Context>(dc, GdiObject::kContext);
    if (!c) return 0xFFFFFFFFu;
    return std::exchange(c->backColour, colour);
}

HFONT CreateFontA(std::int32_t height, std::int32_t, std::int32_t, std::int32_t, std::int32_t weight,
                  std::uint32_t italic, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                  std::uint32_t, std::uint32_t, const char*) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.failFonts) return nullptr;
    if (!s.library && FT_Init_FreeType(&s.library) != 0) {
        s.library = nullptr;
        return nullptr;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(s.library, s.faceFile.c_str(), 0, &face) != 0) return nullptr;
    // GDI's default height when none is given.
    const std::int32_t pixels = height == 0 ? 12 : (height < 0 ? -height : height);
    FT_Size_RequestRec request{};
    request.type = height > 0 ? FT_SIZE_REQUEST_TYPE_CELL : FT_SIZE_REQUEST_TYPE_NOMINAL;
    request.height = FT_Long(std::min(pixels, 4096)) << 6;
    if (FT_Request_Size(face, &request) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    auto* font = new Font;
    font->face = face;
    font->weight = weight;
    font->bold = weight >= 600;
    font->italic = italic != 0;
    s.live.insert(font);
    return font;
}

bool GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    Font* font = SelectedFont(dc);
    if (!font || !metrics) return false;
    const FT_Size_Metrics& m = font->face->size->metrics;
    *metrics = TEXTMETRICA{};
    metrics->tmAscent = Ceil26(m.ascender);
    metrics->tmDescent = Ceil26(-m.descender);
    metrics->tmHeight = metrics->tmAscent + metrics->tmDescent;
    metrics->tmInternalLeading = std::max(0, metrics->tmHeight - std::int32_t((m.y_ppem)));
    metrics->tmMaxCharWidth = Ceil26(m.max_advance);
    metrics->tmAveCharWidth = std::int32_t(m.x_ppem) / 2;
    metrics->tmWeight = font->weight;
    metrics->tmItalic = font->italic ? 1 : 0;
    return true;
}

bool GetTextExtentPoint32W(HDC dc, const WCHAR* text, std::int32_t count, SIZE* size) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    Font* font = SelectedFont(dc);
    if (!font || !size || count < 0 || (count > 0 && !text)) return false;
    const FT_Size_Metrics& m = font->face->size->metrics;
    std::int32_t width = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const FT_UInt index = FT_Get_Char_Index(font->face, text[i]);
        if (!LoadGlyph(font, index, FT_LOAD_DEFAULT)) continue;
        width += std::int32_t((font->face->glyph->advance.x + 32) >> 6);
    }
    size->cx = width;
    size->cy = Ceil26(m.ascender) + Ceil26(-m.descender);
    return true;
}

std::uint32_t GetGlyphOutlineW(HDC dc, std::uint32_t character, std::uint32_t format, GLYPHMETRICS* metrics,
                               std::uint32_t bufferSize, void* buffer, const MAT2* transform) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.outlineCalls;
    Font* font = SelectedFont(dc);
    if (s.failOutlines || !font || !metrics || !transform) return GDI_ERROR;
    if (format != GGO_BITMAP && format != GGO_GRAY8_BITMAP) return GDI_ERROR;
    const FT_UInt index = FT_Get_Char_Index(font->face, character);
    // A character the face lacks has no outline of its own to give.
    if (index == 0) return GDI_ERROR;
    const bool mono = format == GGO_BITMAP;
    if (!LoadGlyph(font, index, mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL)) return GDI_ERROR;
    FT_GlyphSlot slot = font->face->glyph;
    if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return GDI_ERROR;
    const FT_Bitmap& bm = slot->bitmap;
    *metrics = GLYPHMETRICS{};
    metrics->gmCellIncX = std::int16_t((slot->advance.x + 32) >> 6);
    metrics->gmptGlyphOrigin.x = slot->bitmap_left;
    metrics->gmptGlyphOrigin.y = slot->bitmap_top;
    if (bm.width == 0 || bm.rows == 0) {
        metrics->gmBlackBoxX = metrics->gmBlackBoxY = 1;
        return 0;
    }
    metrics->gmBlackBoxX = bm.width;
    metrics->gmBlackBoxY = bm.rows;
    const std::uint32_t pitch = mono ? (bm.width + 31) / 32 * 4 : (bm.width + 3) / 4 * 4;
    const std::uint32_t needed = pitch * bm.rows;
    if (bufferSize == 0 || !buffer) return needed;
    if (bufferSize < needed) return GDI_ERROR;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::memset(out, 0, needed);
    for (std::uint32_t y = 0; y < bm.rows; ++y) {
        const std::uint8_t* row = bm.buffer + std::ptrdiff_t(y) * bm.pitch;
        std::uint8_t* dst = out + std::size_t(y) * pitch;
        if (mono) {
            std::memcpy(dst, row, (bm.width + 7) / 8);
        } else {
            for (std::uint32_t x = 0; x < bm.width; ++x) dst[x] = std::uint8_t((row[x] * 64u + 127u) / 255u);
        }
    }
    return needed;
}

std::int32_t MultiByteToWideChar(std::uint32_t codePage, std::uint32_t, const char* text, std::int32_t count,
                                 WCHAR* out, std::int32_t outCount) {
    if (codePage != CP_ACP && codePage != 936) return 0;
    if (!text || count == 0 || count < -1 || outCount < 0 || (outCount > 0 && !out)) return 0;
    const std::size_t length = count == -1 ? std::strlen(text) + 1 : std::size_t(count);
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.gbk == reinterpret_cast<iconv_t>(-1)) {
        s.gbk = iconv_open("UTF-16LE", "CP936");
        if (s.gbk == reinterpret_cast<iconv_t>(-1)) return 0;
    }
    std::vector<char> wide(length * 2 + 4);
    char* in = const_cast<char*>(text);
    std::size_t inLeft = length;
    char* dst = wide.data();
    std::size_t dstLeft = wide.size();
    iconv(s.gbk, nullptr, nullptr, nullptr, nullptr);
    if (iconv(s.gbk, &in, &inLeft, &dst, &dstLeft) == std::size_t(-1) || inLeft != 0) return 0;
    const std::int32_t chars = std::int32_t((wide.size() - dstLeft) / 2);
    if (outCount == 0) return chars;
    if (chars > outCount) return 0;
    for (std::int32_t i = 0; i < chars; ++i)
        out[i] = WCHAR(std::uint8_t(wide[2 * i]) | (std::uint8_t(wide[2 * i + 1]) << 8));
    return chars;
}

std::uint32_t GetACP() { return 936; }

void SetFaceFile(const std::string& path) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.faceFile = path;
}

const std::string& FaceFile() { return S().faceFile; }

void FailFontCreation(bool fail) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.failFonts = fail;
}

void FailGlyphOutlines(bool fail) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.failOutlines = fail;
}

int LiveObjects() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    return int(s.live.size());
}

std::uint64_t GlyphOutlineCalls() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.outlineCalls;
}

void ReleaseState() {
    State* s = g_state;
    if (!s) return;
    for (GdiObject* o : s->live) delete o;
    s->live.clear();
    if (s->library) FT_Done_FreeType(s->library);
    if (s->gbk != reinterpret_cast<iconv_t>(-1)) iconv_close(s->gbk);
    delete s;
    g_state = nullptr;
}

}  // namespace quor::gdi
