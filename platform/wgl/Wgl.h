#pragma once
// Window system, GDI and WGL stand-in: windows with a client area, device contexts, pixel
// formats, OpenGL contexts over OSMesa, GDI drawing into an overlay, palettes, message boxes.
#include <cstdarg>
#include <set>
#include <string>
#include <vector>

#include "platform/wgl/WinTypes.h"

namespace quor::wgl {

// ---- windows -------------------------------------------------------------------------
// A window with a client area of width x height pixels; a child when `parent` is given.
HWND CreateStandInWindow(int width, int height, HWND parent = nullptr, const char* title = "");
BOOL DestroyWindow(HWND wnd);  // children go with it
BOOL IsWindow(HWND wnd);
BOOL GetClientRect(HWND wnd, RECT* rect);
// Resizes the client area; a GL context current on it is re-bound to the new pixels.
BOOL SetClientSize(HWND wnd, int width, int height);
HWND GetParent(HWND wnd);
// Places the window at (x, y) of its parent's client area and sizes its client area.
BOOL MoveWindow(HWND wnd, int x, int y, int width, int height, BOOL repaint);
// The child of `parent` whose rectangle holds `pt` (client coordinates of `parent`), else
// `parent` when the point lies in its client area, else null.
HWND ChildWindowFromPoint(HWND parent, POINT pt);
std::vector<HWND> GetChildren(HWND wnd);
LRESULT SendMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
struct WindowMessage;
const std::vector<WindowMessage>& MessageLog(HWND wnd);
void ClearMessageLog(HWND wnd);

// ---- device contexts -----------------------------------------------------------------
HDC GetDC(HWND wnd);
// 1 when `dc` came from GetDC(wnd) and was not released yet; otherwise 0 (and counted as a
// bad release).
int ReleaseDC(HWND wnd, HDC dc);
HDC CreateCompatibleDC(HDC dc);
// A device context that draws nowhere and only records its calls (printing, tests).
HDC CreateRecordingDC(int width = 2480, int height = 3508, int dpi = 300);
BOOL DeleteDC(HDC dc);
HWND WindowFromDC(HDC dc);
int GetDeviceCaps(HDC dc, int index);
// a * b / c rounded to nearest, -1 when c is 0 or the result overflows.
int MulDiv(int a, int b, int c);
// Calls the GDI functions made on `dc`, one line each.
const std::vector<std::string>& CallLog(HDC dc);
// Commits pending GDI drawing: every DIB section that OpenGL renders into receives the GL
// image with the GDI overlay on top (then the overlay is spent).
BOOL GdiFlush();

// ---- pixel formats -------------------------------------------------------------------
int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* pfd);
BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* pfd);
// Fills `pfd` (when not null) and returns the number of formats; 0 for a bad index.
int DescribePixelFormat(HDC dc, int format, UINT bytes, PIXELFORMATDESCRIPTOR* pfd);
int GetPixelFormat(HDC dc);

// ---- OpenGL contexts -----------------------------------------------------------------
HGLRC wglCreateContext(HDC dc);
BOOL wglMakeCurrent(HDC dc, HGLRC rc);
HGLRC wglGetCurrentContext();
HDC wglGetCurrentDC();
BOOL wglDeleteContext(HGLRC rc);
// One glBitmap display list per code first..first+count-1 from the DC's selected font.
BOOL wglUseFontBitmapsA(HDC dc, DWORD first, DWORD count, DWORD listBase);
BOOL SwapBuffers(HDC dc);

// ---- GDI objects ---------------------------------------------------------------------
HGDIOBJ GetStockObject(int which);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);
BOOL DeleteObject(HGDIOBJ obj);
HFONT CreateFontIndirectA(const LOGFONTA* lf);
// The fields of a LOGFONTA one by one; the face is cut to LF_FACESIZE - 1 bytes.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight,
                  DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                  DWORD outPrecision, DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily,
                  const char* face);
HPEN CreatePen(int style, int width, COLORREF color);
// Cosmetic pens as CreatePen; geometric ones (PS_GEOMETRIC) of any width with an end cap
// and dashes that scale with the width. Only solid brushes; user styles are refused.
HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount,
                  const DWORD* styles);
HBRUSH CreateSolidBrush(COLORREF color);
// Fonts give their LOGFONTA; bitmaps a BITMAP, or a DIBSECTION when `bytes` holds one.
int GetObjectA(HGDIOBJ obj, int bytes, void* out);
// The object of that kind (OBJ_BITMAP, OBJ_FONT, ...) selected into `dc`; null when none.
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section,
                         DWORD offset);
// A 32-bit device-dependent bitmap of cx x cy, black; null for an empty or huge size.
HBITMAP CreateCompatibleBitmap(HDC dc, int cx, int cy);
// Copies the visible pixels of src's rectangle (sx, sy, cx, cy) to (x, y) of dst; SRCCOPY
// only. Into a window or a GL-drawn bitmap they go on the overlay; into a plain bitmap, its bits.
BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int sx, int sy, DWORD rop);
HPALETTE CreatePalette(const LOGPALETTE* lp);
HPALETTE SelectPalette(HDC dc, HPALETTE pal, BOOL forceBackground);
UINT RealizePalette(HDC dc);
BOOL UnrealizeObject(HGDIOBJ obj);
UINT GetPaletteEntries(HPALETTE pal, UINT start, UINT count, PALETTEENTRY* out);

// ---- GDI drawing (into the overlay) -------------------------------------------------
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);
int SetROP2(HDC dc, int rop);
UINT SetTextAlign(HDC dc, UINT align);
BOOL TextOutA(HDC dc, int x, int y, const char* text, int length);
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
// Outline with the pen, inside filled with the brush by the DC's fill mode (ALTERNATE:
// even-odd, WINDING: non-zero); closed back to the first point.
BOOL Polygon(HDC dc, const POINT* points, int count);
// Returns the previous mode; 0 for a bad mode or DC.
int SetPolyFillMode(HDC dc, int mode);
int GetPolyFillMode(HDC dc);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
// A 3D border of one-pixel rings inside `rect` (right and bottom exclusive): the outer ring
// on the rectangle's edge, the inner one a pixel in. Colours are the classic 3D face set.
BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags);
// The visible pixel: a window's last swapped image, or a bitmap's GL image, under the
// overlay. CLR_INVALID outside.
COLORREF GetPixel(HDC dc, int x, int y);
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// ---- messages and errors -------------------------------------------------------------
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
DWORD GetLastError();
void SetLastError(DWORD code);
DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     LPSTR buffer, DWORD size, va_list* args);
HLOCAL LocalFree(HLOCAL mem);

// ---- observation and fault injection for tests ---------------------------------------
struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};
std::vector<MessageBoxRecord>& MessageBoxes();

struct Counters {
    int makeCurrent = 0;
    int createContext = 0;
    int deleteContext = 0;
    int swapBuffers = 0;
    int useFontBitmaps = 0;
    int setPixelFormat = 0;
    int badRelease = 0;  // release or delete of something not live or not owned
};
Counters& Stats();

struct Faults {
    std::set<int> refuseFormats;  // SetPixelFormat refuses these formats
    bool refuseAllFormats = false;
    bool failChoosePixelFormat = false;
    bool failCreateContext = false;
    int failUseFontBitmaps = 0;  // the next n calls fail
    bool failCreateFont = false;
    bool failCreatePalette = false;
    bool noDoubleByteFont = false;  // double-byte text as if its face were not installed
};
Faults& Inject();

// BITSPIXEL of window device contexts (32 unless set; 8 gives a palette device).
void SetDisplayBitsPerPixel(int bits);

int LiveWindows();
int LiveDCs();
int LiveContexts();
int LiveGdiObjects();  // stock objects not counted

// Destroys every window, DC, context and GDI object, clears logs, counters and faults.
void ResetStandIn();

}  // namespace quor::wgl

#include "platform/wgl/Objects.h"
