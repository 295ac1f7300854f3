#include <ft2build.h>
#include FT_FREETYPE_H

#include <iconv.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdio>
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
        const std::string path = file[0] == '/' ? file : std::string(kFontDir) + file;
        if (!lib || FT_New_Face(lib, path.c_str(), 0, &face))
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

// Double-byte characters come from the proportional IPA Gothic face; the first of the places
// distributions put it that exists. Empty when none (said once on stderr).
const std::string& DoubleByteFontFile()
{
    static const std::string file = [] {
        static const char* const candidates[] = {
            "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf",
            "/usr/share/fonts/truetype/ipafont-gothic/ipagp.ttf",
            "/usr/share/fonts/ipafont-gothic/ipagp.ttf",
            "/usr/share/fonts/ipa-pgothic/ipagp.ttf",
        };
        for (const char* c : candidates)
            if (access(c, R_OK) == 0)
                return std::string(c);
        std::fprintf(stderr, "wgl: IPA P Gothic (ipagp.ttf, package fonts-ipafont-gothic) not "
                             "found; double-byte text draws as boxes\n");
        return std::string();
    }();
    return file;
}

// The character of a code page 932 lead/trail pair; 0 when the pair is not a character.
unsigned DecodeCp932(unsigned char lead, unsigned char trail)
{
    static iconv_t cd = iconv_open("UTF-32LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return 0;
    char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    unsigned char out[8] = {};
    char* ip = in;
    char* op = reinterpret_cast<char*>(out);
    size_t il = 2, ol = sizeof(out);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0 || ol != 4)
        return 0;
    return out[0] | (out[1] << 8) | (out[2] << 16) | (unsigned(out[3]) << 24);
}

// A glyph slot rendered in one bit per pixel.
void TakeMono(FT_GlyphSlot slot, Glyph& out)
{
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
}

bool Contains(const char* face, const char* word)
{
    std::string a(face), b(word);
    for (auto& c : a)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return a.find(b) != std::string::npos;
}

// Every face name maps onto the DejaVu family: fixed pitch to Mono, serif names (and
// "Century", and the roman family) to Serif.
std::string FileOf(const LOGFONTA& lf)
{
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, lf.lfFaceName, LF_FACESIZE);
    std::string family = "DejaVuSans";
    if ((lf.lfPitchAndFamily & 3) == 1 || Contains(face, "mono") || Contains(face, "courier"))
        family = "DejaVuSansMono";
    else if ((Contains(face, "serif") && !Contains(face, "sans")) || Contains(face, "century") ||
             (lf.lfPitchAndFamily & 0xF0) == FF_ROMAN)
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
        TakeMono(face->glyph, out);
    } else if (face && cp == 0 && code >= 0xA1 && code <= 0xDF) {
        out.advance = px / 2;
    }
    F().glyphs[key] = out;
    return out;
}

Glyph DoubleByteGlyph(const LOGFONTA& lf, unsigned char lead, unsigned char trail)
{
    const std::string& file = DoubleByteFontFile();
    if (file.empty() || S().faults.noDoubleByteFont)
        return WideGlyph(lf);
    const int px = PixelsOf(lf);
    const unsigned code = 0x10000u | (unsigned(lead) << 8) | trail;
    std::lock_guard<std::mutex> g(F().lock);
    auto key = std::make_tuple(file, px, code);
    auto it = F().glyphs.find(key);
    if (it != F().glyphs.end())
        return it->second;
    Glyph out;
    out.advance = px;
    const unsigned cp = DecodeCp932(lead, trail);
    FT_Face face = F().Get(file);
    if (face && cp && !FT_Set_Pixel_Sizes(face, 0, px) &&
        !FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME))
        TakeMono(face->glyph, out);
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
