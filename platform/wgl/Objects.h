#pragma once
// The stand-in's objects behind the handles. Included by the stand-in's own sources and by
// tests that look inside; the system's code only sees the handles.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/wgl/WinTypes.h"

namespace quor::wgl {

// Pixels of one drawable: what OpenGL renders (`gl`, rows bottom-up, 0xAARRGGBB, the byte
// order OSMesa writes as BGRA), what a window shows since its last swap (`front`), and the
// GDI overlay, which OSMesa's whole-buffer writes cannot touch (0 where nothing was drawn).
struct Surface {
    int width = 0, height = 0;
    std::vector<uint32_t> gl;
    std::vector<uint32_t> front;
    std::vector<uint32_t> overlay;
    int pixelFormat = 0;
    int swaps = 0;
    bool overlayDirty = false;

    void Resize(int w, int h);
    // Visible pixel at (x, y) counted from the top-left, as GDI counts; `base` picks the
    // image under the overlay. Outside the surface: 0.
    uint32_t Visible(int x, int y, const std::vector<uint32_t>& base) const;
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    size_t Index(int x, int y) const { return size_t(height - 1 - y) * width + x; }
};

struct WindowMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool posted;
};

struct Window {
    Window* parent = nullptr;
    std::vector<Window*> children;
    std::string title;
    Surface surface;
    std::vector<WindowMessage> messages;
    int dcsOut = 0;  // device contexts handed out by GetDC and not released
    int x = 0, y = 0;  // position in the parent's client area
};

enum class GdiKind { Font, Pen, Brush, Bitmap, Palette };

struct GdiObject {
    explicit GdiObject(GdiKind k) : kind(k) {}
    virtual ~GdiObject() = default;
    GdiKind kind;
    bool stock = false;
    int selectedIn = 0;  // device contexts holding it
};

struct Font : GdiObject {
    Font() : GdiObject(GdiKind::Font) {}
    LOGFONTA lf{};
};

struct Pen : GdiObject {
    Pen() : GdiObject(GdiKind::Pen) {}
    int style = PS_SOLID;  // the dash style bits only
    int width = 1;
    COLORREF color = 0;
    bool geometric = false;  // ExtCreatePen's PS_GEOMETRIC: width in device units, dashes scale
    int endCap = PS_ENDCAP_ROUND;
};

struct Brush : GdiObject {
    Brush() : GdiObject(GdiKind::Brush) {}
    COLORREF color = 0;
    bool hollow = false;
};

struct Bitmap : GdiObject {
    Bitmap() : GdiObject(GdiKind::Bitmap) {}
    BITMAPINFOHEADER header{};
    std::vector<uint8_t> bits;  // DIB layout: rows bottom-up, each padded to 4 bytes
    int stride = 0;
    Surface surface;
    bool dib = false;
};

struct Palette : GdiObject {
    Palette() : GdiObject(GdiKind::Palette) {}
    std::vector<PALETTEENTRY> entries;
};

enum class DcKind { Window, Memory, Recording };

struct DeviceContext {
    DcKind kind = DcKind::Window;
    Window* window = nullptr;
    bool fromGetDC = false;
    Bitmap* bitmap = nullptr;  // memory DC: selected bitmap
    Font* font = nullptr;
    Pen* pen = nullptr;
    Brush* brush = nullptr;
    Palette* palette = nullptr;
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    int polyFillMode = ALTERNATE;
    UINT textAlign = TA_LEFT | TA_TOP;
    POINT pos;
    int dpi = 96;
    int recordWidth = 0, recordHeight = 0;
    std::vector<std::string> log;

    // The pixels this DC draws into; null for a recording DC or a memory DC without a bitmap.
    Surface* GetSurface();
};

struct GlContext {
    void* mesa = nullptr;  // OSMesaContext
    int pixelFormat = 0;
    Surface* bound = nullptr;
    DeviceContext* dc = nullptr;
};

}  // namespace quor::wgl
