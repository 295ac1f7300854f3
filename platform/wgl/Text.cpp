#include <ft2build.h>
#include FT_FREETYPE_H

#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

#include "platform/wgl/State.h"

namespace quor::wgl::detail {

namespace {

constexpr const char* kFontDir = "/usr/share/fonts/truetype/dejavu/";

// FreeType library and faces, kept for the life of the process.
struct Faces {
    FT_Library lib = nullptr;
    std::map<std::string, FT_Face> faces;
    std::map<std::tuple<std::string, int, unsigned>, Glyph> glyphs;
    std::mutex lock;

    Faces()
    {
        if (FT_Init_FreeType(&lib))
            lib = nullptr;
    }
    ~Faces()
    {
        for (auto& f : faces)
            if (f.second)
                FT_Done_Face(f.second);
        if (lib)
            FT_Done_FreeType(lib);
    }
    FT_Face Get(const std::string& file)
    {
        auto it = faces.find(file);
        if (it != faces.end())
            return it->second;
        FT_Face face = nullptr;
        if (!lib || FT_New_Face(lib, (std::string(kFontDir) + file).c_str(), 0, &face))
            face = nullptr;
        faces[file] = face;
        return face;
    }
};

Faces& F()
{
    static Faces f;
    return f;
}

bool Contains(const char* face, const char* word)
{
    std::string a(face), b(word);
    for (auto& c : a)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return a.find(b) != std::string::npos;
}

// Every face name maps onto the DejaVu family: fixed pitch to Mono, serif names to Serif.
std::string FileOf(const LOGFONTA& lf)
{
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, lf.lfFaceName, LF_FACESIZE);
    std::string family = "DejaVuSans";
    if ((lf.lfPitchAndFamily & 3) == 1 || Contains(face, "mono") || Contains(face, "courier"))
        family = "DejaVuSansMono";
    else if (Contains(face, "serif") && !Contains(face, "sans"))
        family = "DejaVuSerif";
    const bool bold = lf.lfWeight >= 600;
    const bool italic = lf.lfItalic != 0;
    std::string style;
    if (bold && italic)
        style = family == "DejaVuSerif" ? "-BoldItalic" : "-BoldOblique";
    else if (bold)
        style = "-Bold";
    else if (italic)
        style = family == "DejaVuSerif" ? "-Italic" : "-Oblique";
    return family + style + ".ttf";
}

// Pixel size of the em: a negative height is the character height, a positive one the cell
// height (which includes the internal leading, about a fifth of it here).
int PixelsOf(const LOGFONTA& lf)
{
    if (lf.lfHeight < 0)
        return std::min<int>(-lf.lfHeight, 512);
    if (lf.lfHeight > 0)
        return std::max(1, std::min<int>(lf.lfHeight * 4 / 5, 512));
    return 13;
}

}  // namespace

FontMetrics MetricsOf(const LOGFONTA& lf)
{
    const int px = PixelsOf(lf);
    std::lock_guard<std::mutex> g(F().lock);
    FT_Face face = F().Get(FileOf(lf));
    if (!face || FT_Set_Pixel_Sizes(face, 0, px))
        return {px * 4 / 5, px - px * 4 / 5};
    return {int(face->size->metrics.ascender >> 6), int(-(face->size->metrics.descender >> 6))};
}

Glyph GlyphOf(const LOGFONTA& lf, unsigned code)
{
    const int px = PixelsOf(lf);
    const std::string file = FileOf(lf);
    std::lock_guard<std::mutex> g(F().lock);
    auto key = std::make_tuple(file, px, code);
    auto it = F().glyphs.find(key);
    if (it != F().glyphs.end())
        return it->second;
    Glyph out;
    out.advance = px / 2;
    FT_Face face = F().Get(file);
    // Control codes and the bytes that are not characters on their own draw nothing.
    unsigned cp = code;
    if (code < 0x20 || code == 0x7F || code >= 0x80) {
        if (code >= 0xA1 && code <= 0xDF)
            cp = 0xFF61 + (code - 0xA1);  // half-width forms
        else
            cp = 0;
    }
    if (face && cp && !FT_Set_Pixel_Sizes(face, 0, px) &&
        !FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME)) {
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bm = slot->bitmap;
        out.width = int(bm.width);
        out.height = int(bm.rows);
        out.left = slot->bitmap_left;
        out.top = slot->bitmap_top;
        out.advance = int(slot->advance.x >> 6);
        out.mono.assign(size_t(out.width) * out.height, 0);
        for (int r = 0; r < out.height; ++r) {
            const unsigned char* row = bm.buffer + r * bm.pitch;
            for (int c = 0; c < out.width; ++c) {
                const bool ink = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (row[c >> 3] >> (7 - (c & 7))) & 1
                                                                     : row[c] >= 128;
                out.mono[size_t(r) * out.width + c] = ink ? 1 : 0;
            }
        }
    } else if (face && cp == 0 && code >= 0xA1 && code <= 0xDF) {
        out.advance = px / 2;
    }
    F().glyphs[key] = out;
    return out;
}

Glyph WideGlyph(const LOGFONTA& lf)
{
    const FontMetrics m = MetricsOf(lf);
    const int px = PixelsOf(lf);
    Glyph g;
    g.advance = px;
    g.width = std::max(px - 2, 1);
    g.height = std::max(m.ascent - 1, 1);
    g.left = 1;
    g.top = m.ascent - 1;
    g.mono.assign(size_t(g.width) * g.height, 0);
    for (int r = 0; r < g.height; ++r)
        for (int c = 0; c < g.width; ++c)
            if (r == 0 || c == 0 || r == g.height - 1 || c == g.width - 1)
                g.mono[size_t(r) * g.width + c] = 1;
    return g;
}

}  // namespace quor::wgl::detail
