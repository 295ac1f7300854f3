#pragma once
#include <cstdint>
#include <string>

// The part of GDI the world module rasterises glyphs with: memory device contexts, fonts, text
// metrics, glyph outlines as bitmaps, and the ANSI code page (936) conversion. Fonts come from
// FreeType with one GBK face whatever face name is asked for; conversion goes through iconv.
// All calls are serialised by one lock of the stand-in (FreeType's library is not thread-safe).
namespace quor::gdi {

struct GdiObject;
using HGDIOBJ = GdiObject*;
using HDC = GdiObject*;
using HFONT = GdiObject*;
using HBITMAP = GdiObject*;
using WCHAR = char16_t;

struct SIZE {
    std::int32_t cx = 0;
    std::int32_t cy = 0;
};

struct POINT {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct TEXTMETRICA {
    std::int32_t tmHeight = 0;
    std::int32_t tmAscent = 0;
    std::int32_t tmDescent = 0;
    std::int32_t tmInternalLeading = 0;
    std::int32_t tmExternalLeading = 0;
    std::int32_t tmAveCharWidth = 0;
    std::int32_t tmMaxCharWidth = 0;
    std::int32_t tmWeight = 0;
    std::uint8_t tmItalic = 0;
};

struct GLYPHMETRICS {
    std::uint32_t gmBlackBoxX = 0;
    std::uint32_t gmBlackBoxY = 0;
    POINT gmptGlyphOrigin;
    std::int16_t gmCellIncX = 0;
    std::int16_t gmCellIncY = 0;
};

struct FIXED {
    std::uint16_t fract = 0;
    std::int16_t value = 0;
};

struct MAT2 {
    FIXED eM11, eM12, eM21, eM22;
};

constexpr std::uint32_t GDI_ERROR = 0xFFFFFFFFu;
constexpr std::uint32_t GGO_BITMAP = 1;
constexpr std::uint32_t GGO_GRAY8_BITMAP = 6;

constexpr std::uint32_t DEFAULT_CHARSET = 1;
constexpr std::uint32_t OUT_DEFAULT_PRECIS = 0;
constexpr std::uint32_t CLIP_DEFAULT_PRECIS = 0;
constexpr std::uint32_t NONANTIALIASED_QUALITY = 3;
constexpr std::uint32_t ANTIALIASED_QUALITY = 4;
constexpr std::uint32_t VARIABLE_PITCH = 2;
constexpr std::int32_t FW_BOLD = 700;

constexpr std::uint32_t CP_ACP = 0;
constexpr std::uint32_t MB_PRECOMPOSED = 1;
constexpr std::uint32_t MB_ERR_INVALID_CHARS = 8;

// Device contexts and objects. A memory context starts with no font and no bitmap selected.
HDC CreateCompatibleDC(HDC reference);
bool DeleteDC(HDC dc);
HBITMAP CreateCompatibleBitmap(HDC dc, std::int32_t width, std::int32_t height);
// Selects a font or a bitmap; answers the one of that kind selected before (null: none).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
bool DeleteObject(HGDIOBJ object);
std::uint32_t SetTextColor(HDC dc, std::uint32_t colour);
std::uint32_t SetBkColor(HDC dc, std::uint32_t colour);

// A positive height is the cell height (ascent + descent), a negative one the em height.
// Weight 600 or more draws emboldened; italic draws slanted. Null when the face cannot load.
HFONT CreateFontA(std::int32_t height, std::int32_t width, std::int32_t escapement, std::int32_t orientation,
                  std::int32_t weight, std::uint32_t italic, std::uint32_t underline, std::uint32_t strikeOut,
                  std::uint32_t charSet, std::uint32_t outPrecision, std::uint32_t clipPrecision,
                  std::uint32_t quality, std::uint32_t pitchAndFamily, const char* face);
bool GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
bool GetTextExtentPoint32W(HDC dc, const WCHAR* text, std::int32_t count, SIZE* size);
// GGO_GRAY8_BITMAP: one byte per pixel, levels 0..64, rows padded to 4 bytes. GGO_BITMAP: one
// bit per pixel, most significant first, rows padded to 32 bits. A null buffer or size 0
// answers the bytes needed; a smaller buffer, a character the face lacks, no font selected
// or no transform gives GDI_ERROR. A blank glyph has a 1 x 1 black box and no bytes.
std::uint32_t GetGlyphOutlineW(HDC dc, std::uint32_t character, std::uint32_t format, GLYPHMETRICS* metrics,
                               std::uint32_t bufferSize, void* buffer, const MAT2* transform);

// Code pages CP_ACP (= 936) and 936. count -1 reads through the terminating zero (counted).
// outCount 0 answers the characters needed. 0 on failure: another code page, a byte sequence
// that is not GBK, or an output too small.
std::int32_t MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text, std::int32_t count,
                                 WCHAR* out, std::int32_t outCount);
// The ANSI code page of the process.
std::uint32_t GetACP();

// --- what tests drive and watch ---------------------------------------------------------
// The face file every font loads (the GBK face by default).
void SetFaceFile(const std::string& path);
const std::string& FaceFile();
// While set, CreateFontA fails.
void FailFontCreation(bool fail);
// While set, GetGlyphOutlineW answers GDI_ERROR.
void FailGlyphOutlines(bool fail);
// Contexts, fonts and bitmaps made and not deleted.
int LiveObjects();
// GetGlyphOutlineW calls so far.
std::uint64_t GlyphOutlineCalls();
// Frees the shared state (FreeType, the code-page converter, objects never deleted); for a
// module that is being unloaded, after every user is gone.
void ReleaseState();

}  // namespace quor::gdi
