#include <algorithm>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/wgl/State.h"

namespace quor::wgl {
using namespace detail;

namespace detail {

Font* StockFont(int which)
{
    static Font system = [] {
        Font f;
        f.stock = true;
        f.lf.lfHeight = 16;
        f.lf.lfWeight = FW_BOLD;
        std::strcpy(f.lf.lfFaceName, "System");
        return f;
    }();
    static Font gui = [] {
        Font f;
        f.stock = true;
        f.lf.lfHeight = -11;
        f.lf.lfWeight = FW_NORMAL;
        std::strcpy(f.lf.lfFaceName, "MS Shell Dlg");
        return f;
    }();
    static Font fixed = [] {
        Font f;
        f.stock = true;
        f.lf.lfHeight = 12;
        f.lf.lfWeight = FW_NORMAL;
        f.lf.lfPitchAndFamily = 1;
        std::strcpy(f.lf.lfFaceName, "Courier");
        return f;
    }();
    switch (which) {
    case SYSTEM_FONT:
        return &system;
    case ANSI_FIXED_FONT:
        return &fixed;
    default:
        return &gui;
    }
}

Pen* StockPen(int which)
{
    static Pen black = [] { Pen p; p.stock = true; return p; }();
    static Pen white = [] { Pen p; p.stock = true; p.color = 0xFFFFFF; return p; }();
    static Pen none = [] { Pen p; p.stock = true; p.style = PS_NULL; return p; }();
    return which == WHITE_PEN ? &white : which == NULL_PEN ? &none : &black;
}

Brush* StockBrush(int which)
{
    static Brush white = [] { Brush b; b.stock = true; b.color = 0xFFFFFF; return b; }();
    static Brush black = [] { Brush b; b.stock = true; return b; }();
    static Brush none = [] { Brush b; b.stock = true; b.hollow = true; return b; }();
    return which == BLACK_BRUSH ? &black : which == NULL_BRUSH ? &none : &white;
}

Bitmap* StockBitmap()
{
    // The 1x1 monochrome bitmap a new memory DC holds.
    static Bitmap b = [] {
        Bitmap m;
        m.stock = true;
        m.header.biWidth = m.header.biHeight = 1;
        m.header.biBitCount = 1;
        return m;
    }();
    return &b;
}

Palette* StockPalette()
{
    // The 20 static system colours of a palette device, in their usual order.
    static Palette p = [] {
        Palette s;
        s.stock = true;
        const BYTE c[20][3] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},
                               {0, 0, 128},     {128, 0, 128},   {0, 128, 128},   {192, 192, 192},
                               {192, 220, 192}, {166, 202, 240}, {255, 251, 240}, {160, 160, 164},
                               {128, 128, 128}, {255, 0, 0},     {0, 255, 0},     {255, 255, 0},
                               {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
        for (const auto& e : c)
            s.entries.push_back({e[0], e[1], e[2], 0});
        return s;
    }();
    return &p;
}

LOGFONTA FontOf(const DeviceContext* dc) { return dc->font ? dc->font->lf : StockFont(SYSTEM_FONT)->lf; }

void DeleteGdiObject(GdiObject* o)
{
    if (o->kind == GdiKind::Bitmap)
        Unbind(&static_cast<Bitmap*>(o)->surface);
    S().objects.erase(o);
    delete o;
}

namespace {
COLORREF ToColor(uint32_t p) { return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }
}  // namespace

namespace {

// One row of GL pixels (0xAARRGGBB) into DIB pixels: blue, green, red (and 0xFF for 32 bits).
// This runs on every flush of a memory context, so the common cases take vector paths.
void RowTo32(const uint32_t* p, uint8_t* q, int width)
{
    int x = 0;
#if defined(__SSE2__)
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; x + 4 <= width; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 4 * x), _mm_or_si128(v, opaque));
    }
#endif
    for (; x < width; ++x) {
        const uint32_t v = p[x] | 0xFF000000u;
        std::memcpy(q + 4 * x, &v, 4);
    }
}

void RowTo24Plain(const uint32_t* p, uint8_t* q, int width, int x)
{
    for (q += 3 * x; x < width; ++x, q += 3) {
        const uint32_t v = p[x];
        q[0] = uint8_t(v);
        q[1] = uint8_t(v >> 8);
        q[2] = uint8_t(v >> 16);
    }
}

#if defined(__x86_64__) || defined(__i386__)
// Sixteen pixels per step: each shuffle packs four pixels into 12 bytes, and the four results
// are spliced into three full 16-byte stores, so no byte is written twice.
// Four pixels as 12 bytes blue, green, red, then four zero bytes.
__attribute__((target("ssse3"))) inline __m128i Packed4(const uint32_t* p)
{
    const __m128i pick = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), pick);
}

__attribute__((target("ssse3"))) void RowTo24Ssse3(const uint32_t* p, uint8_t* q, int width)
{
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i a = Packed4(p + x), b = Packed4(p + x + 4), c = Packed4(p + x + 8),
                      d = Packed4(p + x + 12);
        uint8_t* o = q + 3 * x;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_or_si128(a, _mm_slli_si128(b, 12)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16),
                         _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32),
                         _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
    }
    RowTo24Plain(p, q, width, x);
}

bool HasSsse3()
{
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

void RowTo24(const uint32_t* p, uint8_t* q, int width)
{
#if defined(__x86_64__) || defined(__i386__)
    if (HasSsse3())
        return RowTo24Ssse3(p, q, width);
#endif
    RowTo24Plain(p, q, width, 0);
}

}  // namespace

void ComposeDib(Bitmap* b)
{
    Surface& s = b->surface;
    const bool gl = s.pixelFormat != 0;
    const int bpp = b->header.biBitCount;
    if (gl && !s.overlayDirty && (bpp == 24 || bpp == 32)) {
        // Nothing drawn by GDI: a straight conversion of the GL image, row by row.
        for (int row = 0; row < s.height; ++row) {
            const int dibRow = b->header.biHeight > 0 ? row : s.height - 1 - row;
            uint8_t* q = b->bits.data() + size_t(dibRow) * b->stride;
            const uint32_t* p = s.gl.data() + size_t(row) * s.width;
            if (bpp == 32)
                RowTo32(p, q, s.width);
            else
                RowTo24(p, q, s.width);
        }
        return;
    }
    for (int row = 0; row < s.height; ++row) {
        const int dibRow = b->header.biHeight > 0 ? row : s.height - 1 - row;
        uint8_t* line = b->bits.data() + size_t(dibRow) * b->stride;
        for (int x = 0; x < s.width; ++x) {
            const size_t i = size_t(row) * s.width + x;
            if (!gl && !s.overlay[i])
                continue;
            const uint32_t p = s.overlay[i] ? s.overlay[i] : s.gl[i];
            const uint8_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, bl = p & 0xFF;
            if (bpp == 32) {
                uint8_t* q = line + x * 4;
                q[0] = bl, q[1] = g, q[2] = r, q[3] = 0xFF;
            } else if (bpp == 24) {
                uint8_t* q = line + x * 3;
                q[0] = bl, q[1] = g, q[2] = r;
            } else if (bpp == 16) {
                const uint16_t v = uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (bl >> 3));
                line[x * 2] = uint8_t(v & 0xFF);
                line[x * 2 + 1] = uint8_t(v >> 8);
            }
        }
    }
    std::fill(s.overlay.begin(), s.overlay.end(), 0u);
    s.overlayDirty = false;
}

}  // namespace detail

namespace {

std::string Hex(const void* p)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", p);
    return buf;
}

// Pixels GDI writes into, with the DC's raster operation applied against the visible image.
struct Painter {
    DeviceContext* dc;
    Surface* s;

    const std::vector<uint32_t>& Base() const
    {
        return dc->kind == DcKind::Window ? s->front : s->gl;
    }
    void Put(int x, int y, COLORREF color)
    {
        if (!s || !s->Inside(x, y))
            return;
        const size_t i = s->Index(x, y);
        const uint32_t under = s->overlay[i] ? s->overlay[i] : Base()[i];
        uint32_t v = ToPixel(color);
        switch (dc->rop2) {
        case R2_XORPEN:
            v = 0xFF000000u | ((under ^ v) & 0xFFFFFF);
            break;
        case R2_NOT:
            v = 0xFF000000u | (~under & 0xFFFFFF);
            break;
        case R2_BLACK:
            v = 0xFF000000u;
            break;
        case R2_WHITE:
            v = 0xFFFFFFFFu;
            break;
        default:
            break;
        }
        s->overlay[i] = v;
        s->overlayDirty = true;
    }
    static uint32_t ToPixel(COLORREF c)
    {
        return 0xFF000000u | (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) |
               GetBValue(c);
    }
    // One pen dot of the pen's width centred on (x, y).
    void Dot(int x, int y, const Pen* pen)
    {
        const int w = std::max(pen->width, 1);
        const int lo = -(w - 1) / 2;
        for (int dy = lo; dy < lo + w; ++dy)
            for (int dx = lo; dx < lo + w; ++dx)
                Put(x + dx, y + dy, pen->color);
    }
    // A flat-capped geometric pen: a span of the pen's width across the line's major axis,
    // so nothing of the stroke reaches past its ends.
    void Span(int x, int y, const Pen* pen, bool xMajor)
    {
        const int w = std::max(pen->width, 1);
        const int lo = -(w - 1) / 2;
        for (int d = lo; d < lo + w; ++d)
            Put(xMajor ? x : x + d, xMajor ? y + d : y, pen->color);
    }
    // Line from (x0, y0) to (x1, y1), the last point excluded, as GDI draws it.
    void Line(int x0, int y0, int x1, int y1, const Pen* pen)
    {
        if (pen->style == PS_NULL)
            return;
        const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        const bool xMajor = dx >= -dy;
        const bool flat = pen->geometric && pen->endCap == PS_ENDCAP_FLAT;
        // Geometric dashes are as long as the pen is wide times the cosmetic pattern.
        const int unit = pen->geometric ? std::max(pen->width, 1) : 1;
        int err = dx + dy, step = 0;
        while (!(x0 == x1 && y0 == y1)) {
            bool on = true;
            const int t = step / unit;
            switch (pen->style) {
            case PS_DASH:
                on = t % 24 < 18;
                break;
            case PS_DOT:
                on = t % 6 < 3;
                break;
            case PS_DASHDOT:
                on = t % 30 < 18 || (t % 30 >= 24 && t % 30 < 27);
                break;
            case PS_DASHDOTDOT:
                on = t % 36 < 18 || (t % 36 >= 24 && t % 36 < 27) || (t % 36 >= 30 && t % 36 < 33);
                break;
            default:
                break;
            }
            if (on && flat)
                Span(x0, y0, pen, xMajor);
            else if (on)
                Dot(x0, y0, pen);
            ++step;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }
};

Painter PainterOf(HDC dc) { return Painter{dc, dc->GetSurface()}; }

}  // namespace

// ---- objects ----

HGDIOBJ GetStockObject(int which)
{
    switch (which) {
    case WHITE_BRUSH:
    case BLACK_BRUSH:
    case NULL_BRUSH:
        return StockBrush(which);
    case WHITE_PEN:
    case BLACK_PEN:
    case NULL_PEN:
        return StockPen(which);
    case ANSI_FIXED_FONT:
    case ANSI_VAR_FONT:
    case SYSTEM_FONT:
    case DEFAULT_GUI_FONT:
        return StockFont(which);
    case DEFAULT_PALETTE:
        return StockPalette();
    default:
        return nullptr;
    }
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj)
{
    if (!LiveDC(dc) || !LiveObject(obj))
        return nullptr;
    Log(dc, "SelectObject(" + Hex(obj) + ")");
    GdiObject* old = nullptr;
    switch (obj->kind) {
    case GdiKind::Font:
        old = dc->font;
        dc->font = static_cast<Font*>(obj);
        break;
    case GdiKind::Pen:
        old = dc->pen;
        dc->pen = static_cast<Pen*>(obj);
        break;
    case GdiKind::Brush:
        old = dc->brush;
        dc->brush = static_cast<Brush*>(obj);
        break;
    case GdiKind::Bitmap: {
        auto* b = static_cast<Bitmap*>(obj);
        // Only memory DCs take bitmaps, and a bitmap sits in one DC at a time.
        if (dc->kind != DcKind::Memory || (b->selectedIn && dc->bitmap != b))
            return nullptr;
        old = dc->bitmap;
        if (dc->bitmap && dc->bitmap != b)
            Unbind(&dc->bitmap->surface);
        dc->bitmap = b;
        break;
    }
    case GdiKind::Palette:
        return nullptr;  // palettes go through SelectPalette
    }
    if (old)
        --old->selectedIn;
    ++obj->selectedIn;
    return old;
}

BOOL DeleteObject(HGDIOBJ obj)
{
    if (!obj || !LiveObject(obj)) {
        ++S().counters.badRelease;
        return FALSE;
    }
    if (obj->stock)
        return TRUE;
    // Like GDI, an object still selected into a DC is not deleted.
    if (obj->selectedIn > 0)
        return FALSE;
    DeleteGdiObject(obj);
    return TRUE;
}

HFONT CreateFontIndirectA(const LOGFONTA* lf)
{
    if (!lf || S().faults.failCreateFont)
        return nullptr;
    auto* f = new Font;
    f->lf = *lf;
    f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
    S().objects.insert(f);
    return f;
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight,
                  DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                  DWORD outPrecision, DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily,
                  const char* face)
{
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = BYTE(italic);
    lf.lfUnderline = BYTE(underline);
    lf.lfStrikeOut = BYTE(strikeOut);
    lf.lfCharSet = BYTE(charSet);
    lf.lfOutPrecision = BYTE(outPrecision);
    lf.lfClipPrecision = BYTE(clipPrecision);
    lf.lfQuality = BYTE(quality);
    lf.lfPitchAndFamily = BYTE(pitchAndFamily);
    if (face)
        std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirectA(&lf);
}

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount,
                  const DWORD* styles)
{
    const int type = int(style) & PS_TYPE_MASK;
    const int dash = int(style) & PS_STYLE_MASK;
    // Cosmetic pens are one pixel wide; user styles and patterned brushes are not kept.
    if (!brush || brush->lbStyle != BS_SOLID || styleCount || styles || dash > PS_NULL ||
        (type == PS_COSMETIC && width != 1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* p = new Pen;
    p->style = dash;
    p->width = int(width);
    p->color = brush->lbColor & 0xFFFFFF;
    p->geometric = type == PS_GEOMETRIC;
    p->endCap = int(style) & PS_ENDCAP_MASK;
    S().objects.insert(p);
    return p;
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    auto* p = new Pen;
    p->style = style;
    p->width = width;
    p->color = color;
    S().objects.insert(p);
    return p;
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    auto* b = new Brush;
    b->color = color;
    S().objects.insert(b);
    return b;
}

int GetObjectA(HGDIOBJ obj, int bytes, void* out)
{
    if (!LiveObject(obj))
        return 0;
    if (obj->kind == GdiKind::Font) {
        if (out && bytes >= int(sizeof(LOGFONTA)))
            std::memcpy(out, &static_cast<Font*>(obj)->lf, sizeof(LOGFONTA));
        return sizeof(LOGFONTA);
    }
    if (obj->kind == GdiKind::Bitmap) {
        const auto* b = static_cast<Bitmap*>(obj);
        DIBSECTION ds{};
        ds.dsBm.bmWidth = b->header.biWidth;
        ds.dsBm.bmHeight = std::abs(b->header.biHeight);
        ds.dsBm.bmWidthBytes = b->stride;
        ds.dsBm.bmPlanes = 1;
        ds.dsBm.bmBitsPixel = b->header.biBitCount;
        ds.dsBm.bmBits = b->dib ? const_cast<uint8_t*>(b->bits.data()) : nullptr;
        ds.dsBmih = b->header;
        if (b->dib && bytes >= int(sizeof(DIBSECTION))) {
            if (out)
                std::memcpy(out, &ds, sizeof ds);
            return sizeof(DIBSECTION);
        }
        if (out && bytes >= int(sizeof(BITMAP)))
            std::memcpy(out, &ds.dsBm, sizeof(BITMAP));
        return sizeof(BITMAP);
    }
    return 0;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type)
{
    if (!LiveDC(dc))
        return nullptr;
    switch (type) {
    case OBJ_BITMAP: return dc->bitmap;
    case OBJ_FONT: return dc->font;
    case OBJ_PEN: return dc->pen;
    case OBJ_BRUSH: return dc->brush;
    case OBJ_PAL: return dc->palette;
    default: return nullptr;
    }
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, void*, DWORD)
{
    if (bits)
        *bits = nullptr;
    if (!info)
        return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int w = h.biWidth, hh = std::abs(h.biHeight);
    const int bpp = h.biBitCount;
    if (w <= 0 || hh <= 0 || (bpp != 16 && bpp != 24 && bpp != 32) || w > 16384 || hh > 16384) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* b = new Bitmap;
    b->header = h;
    b->dib = true;
    b->stride = ((w * bpp + 31) / 32) * 4;
    b->bits.assign(size_t(b->stride) * hh, 0);
    b->surface.Resize(w, hh);
    S().objects.insert(b);
    if (bits)
        *bits = b->bits.data();
    return b;
}

HPALETTE CreatePalette(const LOGPALETTE* lp)
{
    if (!lp || lp->palNumEntries == 0 || S().faults.failCreatePalette)
        return nullptr;
    auto* p = new Palette;
    const PALETTEENTRY* e = lp->palPalEntry;
    p->entries.assign(e, e + lp->palNumEntries);
    S().objects.insert(p);
    return p;
}

HPALETTE SelectPalette(HDC dc, HPALETTE pal, BOOL)
{
    if (!LiveDC(dc) || !LiveObject(pal))
        return nullptr;
    Log(dc, "SelectPalette(" + Hex(pal) + ")");
    Palette* old = dc->palette;
    if (old)
        --old->selectedIn;
    dc->palette = pal;
    ++pal->selectedIn;
    return old;
}

UINT RealizePalette(HDC dc)
{
    if (!LiveDC(dc) || !dc->palette)
        return 0;
    Log(dc, "RealizePalette");
    return static_cast<UINT>(dc->palette->entries.size());
}

BOOL UnrealizeObject(HGDIOBJ obj) { return LiveObject(obj) ? TRUE : FALSE; }

UINT GetPaletteEntries(HPALETTE pal, UINT start, UINT count, PALETTEENTRY* out)
{
    if (!LiveObject(pal))
        return 0;
    const UINT n = static_cast<UINT>(pal->entries.size());
    if (!out)
        return n;
    UINT copied = 0;
    for (UINT i = start; i < n && copied < count; ++i, ++copied)
        out[copied] = pal->entries[i];
    return copied;
}

// ---- drawing ----

COLORREF SetTextColor(HDC dc, COLORREF color)
{
    if (!LiveDC(dc))
        return CLR_INVALID;
    Log(dc, "SetTextColor(" + std::to_string(color) + ")");
    return std::exchange(dc->textColor, color);
}

// The plain state setters: log the call, swap in the value, hand back the old one.
template <class T>
T SetDcState(HDC dc, const char* name, T DeviceContext::*field, T value, T invalid)
{
    if (!LiveDC(dc))
        return invalid;
    Log(dc, std::string(name) + "(" + std::to_string(value) + ")");
    return std::exchange(dc->*field, value);
}

COLORREF SetBkColor(HDC dc, COLORREF color)
{
    return SetDcState<COLORREF>(dc, "SetBkColor", &DeviceContext::bkColor, color, CLR_INVALID);
}

int SetBkMode(HDC dc, int mode)
{
    return SetDcState<int>(dc, "SetBkMode", &DeviceContext::bkMode, mode, 0);
}

int SetROP2(HDC dc, int rop)
{
    return SetDcState<int>(dc, "SetROP2", &DeviceContext::rop2, rop, 0);
}

UINT SetTextAlign(HDC dc, UINT align)
{
    return SetDcState<UINT>(dc, "SetTextAlign", &DeviceContext::textAlign, align, 0xFFFFFFFF);
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size)
{
    if (!LiveDC(dc) || !size || length < 0 || (length > 0 && !text))
        return FALSE;
    const LOGFONTA lf = FontOf(dc);
    const FontMetrics m = MetricsOf(lf);
    size->cx = WalkText(lf, text, length, [](const Glyph&, int) {});
    size->cy = m.ascent + m.descent;
    return TRUE;
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int length)
{
    if (!LiveDC(dc) || length < 0 || (length > 0 && !text))
        return FALSE;
    Log(dc, "TextOutA(" + std::to_string(x) + "," + std::to_string(y) + ",\"" +
                std::string(text, text + length) + "\")");
    Painter p = PainterOf(dc);
    if (!p.s)
        return TRUE;
    const LOGFONTA lf = FontOf(dc);
    const FontMetrics m = MetricsOf(lf);
    const int width = WalkText(lf, text, length, [](const Glyph&, int) {});
    int left = x;
    if ((dc->textAlign & TA_CENTER) == TA_CENTER)
        left = x - width / 2;
    else if (dc->textAlign & TA_RIGHT)
        left = x - width;
    int baseline = y + m.ascent;
    if ((dc->textAlign & TA_BASELINE) == TA_BASELINE)
        baseline = y;
    else if (dc->textAlign & TA_BOTTOM)
        baseline = y - m.descent;
    if (dc->bkMode == OPAQUE)
        for (int yy = baseline - m.ascent; yy < baseline + m.descent; ++yy)
            for (int xx = left; xx < left + width; ++xx)
                p.Put(xx, yy, dc->bkColor);
    WalkText(lf, text, length, [&](const Glyph& g, int pen) {
        for (int r = 0; r < g.height; ++r)
            for (int c = 0; c < g.width; ++c)
                if (g.mono[size_t(r) * g.width + c])
                    p.Put(left + pen + g.left + c, baseline - g.top + r, dc->textColor);
    });
    return TRUE;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous)
{
    if (!LiveDC(dc))
        return FALSE;
    if (previous)
        *previous = dc->pos;
    dc->pos = POINT{x, y};
    Log(dc, "MoveToEx(" + std::to_string(x) + "," + std::to_string(y) + ")");
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y)
{
    if (!LiveDC(dc))
        return FALSE;
    Log(dc, "LineTo(" + std::to_string(x) + "," + std::to_string(y) + ")");
    Painter p = PainterOf(dc);
    if (p.s)
        p.Line(dc->pos.x, dc->pos.y, x, y, dc->pen);
    dc->pos = POINT{x, y};
    return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count)
{
    if (!LiveDC(dc) || !points || count < 2)
        return FALSE;
    Log(dc, "Polyline(" + std::to_string(count) + ")");
    Painter p = PainterOf(dc);
    if (p.s)
        for (int i = 1; i < count; ++i)
            p.Line(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, dc->pen);
    return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom)
{
    if (!LiveDC(dc))
        return FALSE;
    Log(dc, "Rectangle(" + std::to_string(left) + "," + std::to_string(top) + "," +
                std::to_string(right) + "," + std::to_string(bottom) + ")");
    Painter p = PainterOf(dc);
    if (!p.s)
        return TRUE;
    if (!dc->brush->hollow)
        for (int y = top + 1; y < bottom - 1; ++y)
            for (int x = left + 1; x < right - 1; ++x)
                p.Put(x, y, dc->brush->color);
    p.Line(left, top, right - 1, top, dc->pen);
    p.Line(right - 1, top, right - 1, bottom - 1, dc->pen);
    p.Line(right - 1, bottom - 1, left, bottom - 1, dc->pen);
    p.Line(left, bottom - 1, left, top, dc->pen);
    return TRUE;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom)
{
    if (!LiveDC(dc))
        return FALSE;
    Log(dc, "Ellipse(" + std::to_string(left) + "," + std::to_string(top) + "," +
                std::to_string(right) + "," + std::to_string(bottom) + ")");
    // The bounding box may come corner-swapped (a y-up page); GDI orders it.
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    Painter p = PainterOf(dc);
    if (!p.s || right - left < 1 || bottom - top < 1)
        return TRUE;
    const double cx = (left + right - 1) / 2.0, cy = (top + bottom - 1) / 2.0;
    const double rx = (right - left) / 2.0, ry = (bottom - top) / 2.0;
    const double w = std::max(dc->pen->style == PS_NULL ? 0 : dc->pen->width, 1);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const double nx = (x - cx) / rx, ny = (y - cy) / ry;
            const double d = std::sqrt(nx * nx + ny * ny);
            const double ix = (x - cx) / std::max(rx - w, 0.5), iy = (y - cy) / std::max(ry - w, 0.5);
            const bool inside = d <= 1.0;
            const bool inner = ix * ix + iy * iy < 1.0;
            if (inside && !inner && dc->pen->style != PS_NULL)
                p.Put(x, y, dc->pen->color);
            else if (inner && !dc->brush->hollow)
                p.Put(x, y, dc->brush->color);
        }
    return TRUE;
}

BOOL Polygon(HDC dc, const POINT* points, int count)
{
    if (!LiveDC(dc) || !points || count < 2)
        return FALSE;
    std::string line = "Polygon(";
    for (int i = 0; i < count; ++i) {
        if (i)
            line += ',';
        line += std::to_string(points[i].x);
        line += ',';
        line += std::to_string(points[i].y);
    }
    line += ')';
    Log(dc, line);
    Painter p = PainterOf(dc);
    if (!p.s)
        return TRUE;
    if (!dc->brush->hollow) {
        // Pixel centres inside by the fill mode: crossings of each row's centre line.
        int top = points[0].y, bottom = points[0].y;
        for (int i = 1; i < count; ++i) {
            top = std::min<int>(top, points[i].y);
            bottom = std::max<int>(bottom, points[i].y);
        }
        top = std::max(top, 0);
        bottom = std::min(bottom, p.s->height);
        std::vector<std::pair<double, int>> cross;
        for (int y = top; y < bottom; ++y) {
            const double cy = y + 0.5;
            cross.clear();
            for (int i = 0; i < count; ++i) {
                const POINT a = points[i], b = points[(i + 1) % count];
                if ((a.y <= cy) == (b.y <= cy))
                    continue;
                const double x = a.x + (cy - a.y) * double(b.x - a.x) / double(b.y - a.y);
                cross.emplace_back(x, b.y > a.y ? 1 : -1);
            }
            std::sort(cross.begin(), cross.end());
            int wind = 0;
            for (size_t k = 0; k + 1 < cross.size(); ++k) {
                wind += cross[k].second;
                const bool inside = dc->polyFillMode == WINDING ? wind != 0 : (k % 2) == 0;
                if (!inside)
                    continue;
                const int x0 = std::max(0, int(std::ceil(cross[k].first - 0.5)));
                const int x1 = std::min(p.s->width, int(std::ceil(cross[k + 1].first - 0.5)));
                for (int x = x0; x < x1; ++x)
                    p.Put(x, y, dc->brush->color);
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        const POINT a = points[i], b = points[(i + 1) % count];
        p.Line(a.x, a.y, b.x, b.y, dc->pen);
    }
    return TRUE;
}

int SetPolyFillMode(HDC dc, int mode)
{
    if (mode != ALTERNATE && mode != WINDING)
        return 0;
    return SetDcState<int>(dc, "SetPolyFillMode", &DeviceContext::polyFillMode, mode, 0);
}

int GetPolyFillMode(HDC dc) { return LiveDC(dc) ? dc->polyFillMode : 0; }

int FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    if (!LiveDC(dc) || !rect || !LiveObject(brush))
        return 0;
    Log(dc, "FillRect");
    Painter p = PainterOf(dc);
    if (p.s && !brush->hollow)
        for (int y = rect->top; y < rect->bottom; ++y)
            for (int x = rect->left; x < rect->right; ++x)
                p.Put(x, y, brush->color);
    return 1;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color)
{
    if (!LiveDC(dc))
        return CLR_INVALID;
    Painter p = PainterOf(dc);
    if (!p.s || !p.s->Inside(x, y))
        return CLR_INVALID;
    p.Put(x, y, color);
    return color;
}

COLORREF GetPixel(HDC dc, int x, int y)
{
    Surface* s = LiveDC(dc) ? dc->GetSurface() : nullptr;
    if (!s || !s->Inside(x, y))
        return CLR_INVALID;
    if (dc->kind == DcKind::Memory && s->pixelFormat == 0) {
        // A bitmap OpenGL never drew into shows its own bits under the overlay.
        const size_t i = s->Index(x, y);
        if (s->overlay[i])
            return ToColor(s->overlay[i]);
        const Bitmap* b = dc->bitmap;
        const int row = b->header.biHeight > 0 ? s->height - 1 - y : y;
        const uint8_t* q = b->bits.data() + size_t(row) * b->stride;
        const int bpp = b->header.biBitCount;
        if (bpp == 32 || bpp == 24)
            return RGB(q[x * bpp / 8 + 2], q[x * bpp / 8 + 1], q[x * bpp / 8]);
        const unsigned v = q[x * 2] | (q[x * 2 + 1] << 8);
        return RGB(((v >> 10) & 31) << 3, ((v >> 5) & 31) << 3, (v & 31) << 3);
    }
    return ToColor(s->Visible(x, y, dc->kind == DcKind::Window ? s->front : s->gl));
}

BOOL GdiFlush()
{
    for (GdiObject* o : S().objects)
        if (o->kind == GdiKind::Bitmap) {
            auto* b = static_cast<Bitmap*>(o);
            if (b->dib && (b->surface.pixelFormat || b->surface.overlayDirty))
                ComposeDib(b);
        }
    return TRUE;
}

}  // namespace quor::wgl
