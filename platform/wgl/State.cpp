#include "platform/wgl/State.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quor::wgl {

namespace detail {

State& S()
{
    static State s;
    return s;
}

bool LiveWindow(HWND w) { return w && S().windows.count(w); }
bool LiveDC(HDC dc) { return dc && S().dcs.count(dc); }
bool LiveObject(const GdiObject* o)
{
    if (!o)
        return false;
    if (S().objects.count(const_cast<GdiObject*>(o)))
        return true;
    // Stock objects are compared by address: a stale handle must not be read.
    for (int which : {SYSTEM_FONT, ANSI_FIXED_FONT, DEFAULT_GUI_FONT})
        if (o == StockFont(which))
            return true;
    for (int which : {BLACK_PEN, WHITE_PEN, NULL_PEN})
        if (o == StockPen(which))
            return true;
    for (int which : {WHITE_BRUSH, BLACK_BRUSH, NULL_BRUSH})
        if (o == StockBrush(which))
            return true;
    return o == StockBitmap() || o == StockPalette();
}

void Log(HDC dc, std::string line) { dc->log.push_back(std::move(line)); }

namespace {
thread_local DWORD lastError = 0;

void InitDC(DeviceContext* dc)
{
    dc->font = StockFont(SYSTEM_FONT);
    dc->pen = StockPen(BLACK_PEN);
    dc->brush = StockBrush(WHITE_BRUSH);
}

// A device context going away lets go of what was selected into it.
void DropDC(DeviceContext* dc)
{
    for (GdiObject* o : {static_cast<GdiObject*>(dc->font), static_cast<GdiObject*>(dc->pen),
                         static_cast<GdiObject*>(dc->brush), static_cast<GdiObject*>(dc->palette),
                         static_cast<GdiObject*>(dc->bitmap)})
        if (o && o->selectedIn > 0)
            --o->selectedIn;
    if (Current() && CurrentDC() == dc)
        wglMakeCurrent(nullptr, nullptr);
    S().dcs.erase(dc);
    delete dc;
}

void DestroyWindowTree(Window* w)
{
    for (Window* c : std::vector<Window*>(w->children))
        DestroyWindowTree(c);
    if (w->parent) {
        auto& sib = w->parent->children;
        sib.erase(std::remove(sib.begin(), sib.end(), w), sib.end());
    }
    Unbind(&w->surface);
    // Device contexts of the window die with it.
    for (auto it = S().dcs.begin(); it != S().dcs.end();) {
        DeviceContext* dc = *it;
        ++it;
        if (dc->window == w)
            DropDC(dc);
    }
    S().windows.erase(w);
    delete w;
}
}  // namespace

}  // namespace detail

using namespace detail;

void Surface::Resize(int w, int h)
{
    width = std::max(w, 0);
    height = std::max(h, 0);
    const size_t n = size_t(width) * height;
    gl.assign(n, 0xFF000000u);
    front.assign(n, 0xFF000000u);
    overlay.assign(n, 0);
    overlayDirty = false;
}

uint32_t Surface::Visible(int x, int y, const std::vector<uint32_t>& base) const
{
    if (!Inside(x, y))
        return 0;
    const size_t i = Index(x, y);
    return overlay[i] ? overlay[i] : base[i];
}

Surface* DeviceContext::GetSurface()
{
    if (kind == DcKind::Window)
        return window ? &window->surface : nullptr;
    if (kind == DcKind::Memory && bitmap && !bitmap->stock)
        return &bitmap->surface;
    return nullptr;
}

// ---- windows ----

HWND CreateStandInWindow(int width, int height, HWND parent, const char* title)
{
    if (parent && !LiveWindow(parent))
        return nullptr;
    auto* w = new Window;
    w->title = title ? title : "";
    w->surface.Resize(width, height);
    w->parent = parent;
    if (parent)
        parent->children.push_back(w);
    S().windows.insert(w);
    return w;
}

BOOL DestroyWindow(HWND wnd)
{
    if (!LiveWindow(wnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    DestroyWindowTree(wnd);
    return TRUE;
}

BOOL IsWindow(HWND wnd) { return LiveWindow(wnd) ? TRUE : FALSE; }

BOOL GetClientRect(HWND wnd, RECT* rect)
{
    if (!LiveWindow(wnd) || !rect)
        return FALSE;
    *rect = RECT{0, 0, wnd->surface.width, wnd->surface.height};
    return TRUE;
}

BOOL SetClientSize(HWND wnd, int width, int height)
{
    if (!LiveWindow(wnd))
        return FALSE;
    const int format = wnd->surface.pixelFormat;
    wnd->surface.Resize(width, height);
    wnd->surface.pixelFormat = format;
    Rebind(&wnd->surface);
    return TRUE;
}

HWND GetParent(HWND wnd) { return LiveWindow(wnd) ? wnd->parent : nullptr; }

BOOL MoveWindow(HWND wnd, int x, int y, int width, int height, BOOL)
{
    if (!LiveWindow(wnd))
        return FALSE;
    wnd->x = x;
    wnd->y = y;
    if (width != wnd->surface.width || height != wnd->surface.height)
        return SetClientSize(wnd, width, height);
    return TRUE;
}

HWND ChildWindowFromPoint(HWND parent, POINT pt)
{
    if (!LiveWindow(parent))
        return nullptr;
    if (pt.x < 0 || pt.y < 0 || pt.x >= parent->surface.width || pt.y >= parent->surface.height)
        return nullptr;
    for (Window* c : parent->children)
        if (pt.x >= c->x && pt.y >= c->y && pt.x < c->x + c->surface.width &&
            pt.y < c->y + c->surface.height)
            return c;
    return parent;
}

std::vector<HWND> GetChildren(HWND wnd) { return LiveWindow(wnd) ? wnd->children : std::vector<HWND>{}; }

LRESULT SendMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (LiveWindow(wnd))
        wnd->messages.push_back({msg, wParam, lParam, false});
    return 0;
}

BOOL PostMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!LiveWindow(wnd))
        return FALSE;
    wnd->messages.push_back({msg, wParam, lParam, true});
    return TRUE;
}

const std::vector<WindowMessage>& MessageLog(HWND wnd)
{
    static const std::vector<WindowMessage> none;
    return LiveWindow(wnd) ? wnd->messages : none;
}

void ClearMessageLog(HWND wnd)
{
    if (LiveWindow(wnd))
        wnd->messages.clear();
}

// ---- device contexts ----

HDC GetDC(HWND wnd)
{
    if (!LiveWindow(wnd))
        return nullptr;
    auto* dc = new DeviceContext;
    dc->kind = DcKind::Window;
    dc->window = wnd;
    dc->fromGetDC = true;
    InitDC(dc);
    ++wnd->dcsOut;
    S().dcs.insert(dc);
    return dc;
}

int ReleaseDC(HWND wnd, HDC dc)
{
    if (!LiveDC(dc) || !dc->fromGetDC || dc->window != wnd) {
        ++S().counters.badRelease;
        return 0;
    }
    --wnd->dcsOut;
    DropDC(dc);
    return 1;
}

HDC CreateCompatibleDC(HDC)
{
    auto* dc = new DeviceContext;
    dc->kind = DcKind::Memory;
    InitDC(dc);
    dc->bitmap = StockBitmap();
    S().dcs.insert(dc);
    return dc;
}

HDC CreateRecordingDC(int width, int height, int dpi)
{
    auto* dc = new DeviceContext;
    dc->kind = DcKind::Recording;
    dc->dpi = dpi;
    dc->recordWidth = width;
    dc->recordHeight = height;
    InitDC(dc);
    S().dcs.insert(dc);
    return dc;
}

BOOL DeleteDC(HDC dc)
{
    if (!LiveDC(dc) || dc->fromGetDC) {
        ++S().counters.badRelease;
        return FALSE;
    }
    DropDC(dc);
    return TRUE;
}

HWND WindowFromDC(HDC dc) { return LiveDC(dc) ? dc->window : nullptr; }

int GetDeviceCaps(HDC dc, int index)
{
    if (!LiveDC(dc))
        return 0;
    Surface* s = dc->GetSurface();
    int bits = S().displayBits;
    if (dc->kind == DcKind::Memory && dc->bitmap && !dc->bitmap->stock)
        bits = dc->bitmap->header.biBitCount;
    if (dc->kind == DcKind::Recording)
        bits = 24;
    switch (index) {
    case BITSPIXEL:
        return bits;
    case PLANES:
        return 1;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return dc->dpi;
    case HORZRES:
        return dc->kind == DcKind::Recording ? dc->recordWidth : (s ? s->width : 0);
    case VERTRES:
        return dc->kind == DcKind::Recording ? dc->recordHeight : (s ? s->height : 0);
    case RASTERCAPS:
        return bits <= 8 ? RC_PALETTE : 0;
    default:
        return 0;
    }
}

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    long long num = static_cast<long long>(a) * b;
    long long den = c;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    // Rounds half away from zero.
    const long long r = num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
    if (r > 0x7FFFFFFFLL || r < -0x80000000LL)
        return -1;
    return static_cast<int>(r);
}

const std::vector<std::string>& CallLog(HDC dc)
{
    static const std::vector<std::string> none;
    return LiveDC(dc) ? dc->log : none;
}

// ---- messages and errors ----

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type)
{
    S().boxes.push_back({owner, text ? text : "", caption ? caption : "", type});
    return IDOK;
}

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD code) { lastError = code; }

DWORD FormatMessageA(DWORD flags, const void*, DWORD messageId, DWORD, LPSTR buffer, DWORD size,
                     va_list*)
{
    std::string text;
    switch (messageId) {
    case ERROR_SUCCESS:
        text = "The operation completed successfully.";
        break;
    case ERROR_INVALID_HANDLE:
        text = "The handle is invalid.";
        break;
    case ERROR_NOT_ENOUGH_MEMORY:
        text = "Not enough memory resources are available to process this command.";
        break;
    case ERROR_INVALID_PARAMETER:
        text = "The parameter is incorrect.";
        break;
    case ERROR_INVALID_WINDOW_HANDLE:
        text = "Invalid window handle.";
        break;
    case ERROR_INVALID_PIXEL_FORMAT:
        text = "The pixel format is invalid.";
        break;
    default:
        if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM))
            return 0;
        text = "Error " + std::to_string(messageId) + ".";
        break;
    }
    text += "\r\n";
    if (!buffer)
        return 0;
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        char* mem = static_cast<char*>(std::malloc(text.size() + 1));
        if (!mem)
            return 0;
        std::memcpy(mem, text.c_str(), text.size() + 1);
        *reinterpret_cast<char**>(buffer) = mem;
        return static_cast<DWORD>(text.size());
    }
    if (size <= text.size())
        return 0;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

HLOCAL LocalFree(HLOCAL mem)
{
    std::free(mem);
    return nullptr;
}

// ---- observation ----

std::vector<MessageBoxRecord>& MessageBoxes() { return S().boxes; }
Counters& Stats() { return S().counters; }
Faults& Inject() { return S().faults; }
void SetDisplayBitsPerPixel(int bits) { S().displayBits = bits; }
int LiveWindows() { return static_cast<int>(S().windows.size()); }
int LiveDCs() { return static_cast<int>(S().dcs.size()); }
int LiveContexts() { return static_cast<int>(S().contexts.size()); }
int LiveGdiObjects() { return static_cast<int>(S().objects.size()); }

void ResetStandIn()
{
    if (Current())
        wglMakeCurrent(nullptr, nullptr);
    for (GlContext* c : std::vector<GlContext*>(S().contexts.begin(), S().contexts.end()))
        DestroyContext(c);
    S().contexts.clear();
    for (DeviceContext* dc : std::vector<DeviceContext*>(S().dcs.begin(), S().dcs.end()))
        DropDC(dc);
    std::vector<Window*> roots;
    for (Window* w : S().windows)
        if (!w->parent)
            roots.push_back(w);
    for (Window* w : roots)
        DestroyWindowTree(w);
    for (GdiObject* o : S().objects)
        delete o;
    S().objects.clear();
    S().boxes.clear();
    S().counters = Counters{};
    S().faults = Faults{};
    S().displayBits = 32;
    SetLastError(0);
}

}  // namespace quor::wgl
