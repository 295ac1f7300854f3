#pragma once
// Process-wide state of the stand-in (its sources only).
#include <memory>
#include <unordered_set>

#include "platform/wgl/Wgl.h"

namespace quor::wgl::detail {

struct State {
    std::unordered_set<Window*> windows;
    std::unordered_set<DeviceContext*> dcs;
    std::unordered_set<GlContext*> contexts;
    std::unordered_set<GdiObject*> objects;
    std::vector<MessageBoxRecord> boxes;
    Counters counters;
    Faults faults;
    int displayBits = 32;
};
State& S();

bool LiveWindow(HWND w);
bool LiveDC(HDC dc);
bool LiveObject(const GdiObject* o);
void Log(HDC dc, std::string line);

// Stock objects, made once and never deleted.
Font* StockFont(int which);
Pen* StockPen(int which);
Brush* StockBrush(int which);
Bitmap* StockBitmap();
Palette* StockPalette();

// The context current in this thread (null when none).
GlContext*& Current();
DeviceContext*& CurrentDC();
// Re-binds the current context when `s` is its surface (after a resize).
void Rebind(Surface* s);
// Releases the current context when it renders into `s` (the surface goes away).
void Unbind(Surface* s);
void DestroyContext(GlContext* c);
// After a colour clear by the current context: drops the GDI drawing the clear wrote over.
void ColourCleared();
void DeleteGdiObject(GdiObject* o);
// A DIB's pixels from its surface: GL image (when OpenGL renders into it) plus overlay.
void ComposeDib(Bitmap* b);

// Text rendering from FreeType glyphs.
struct Glyph {
    int width = 0, height = 0;  // bitmap size
    int left = 0, top = 0;      // bitmap offset from the pen position (top above baseline)
    int advance = 0;
    std::vector<uint8_t> mono;  // width*height coverage, 1 = ink, rows from the top
};
struct FontMetrics {
    int ascent = 0, descent = 0;
};
FontMetrics MetricsOf(const LOGFONTA& lf);
// Glyph for a single-byte code (code page 932 single bytes: ASCII and half-width forms).
Glyph GlyphOf(const LOGFONTA& lf, unsigned code);
// Walks a code page 932 byte string: each step is a single byte or a lead/trail pair.
// Returns the advance of the whole text and, when `draw` is set, calls it per glyph with its
// pen x offset.
template <class F>
int WalkText(const LOGFONTA& lf, const char* text, int length, F&& draw);
LOGFONTA FontOf(const DeviceContext* dc);

}  // namespace quor::wgl::detail

#include "platform/wgl/TextWalk.inl"
