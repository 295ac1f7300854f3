#include <GL/gl.h>
#include <GL/osmesa.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/wgl/State.h"

namespace quor::wgl {
using namespace detail;

namespace {

PIXELFORMATDESCRIPTOR Format(DWORD flags, BYTE color, BYTE depth, BYTE stencil)
{
    PIXELFORMATDESCRIPTOR p{};
    p.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    p.nVersion = 1;
    p.dwFlags = flags;
    p.iPixelType = PFD_TYPE_RGBA;
    p.cColorBits = color;
    p.cDepthBits = depth;
    p.cStencilBits = stencil;
    switch (color) {
    case 32:
        p.cRedBits = p.cGreenBits = p.cBlueBits = p.cAlphaBits = 8;
        p.cRedShift = 16, p.cGreenShift = 8, p.cBlueShift = 0, p.cAlphaShift = 24;
        break;
    case 24:
        p.cRedBits = p.cGreenBits = p.cBlueBits = 8;
        p.cRedShift = 16, p.cGreenShift = 8, p.cBlueShift = 0;
        break;
    case 16:
        p.cRedBits = p.cGreenBits = p.cBlueBits = 5;
        p.cRedShift = 10, p.cGreenShift = 5, p.cBlueShift = 0;
        break;
    case 8:  // 3-3-2 through a logical palette
        p.cRedBits = 3, p.cGreenBits = 3, p.cBlueBits = 2;
        p.cRedShift = 0, p.cGreenShift = 3, p.cBlueShift = 6;
        p.dwFlags |= PFD_NEED_PALETTE;
        break;
    }
    return p;
}

constexpr DWORD kWin = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
constexpr DWORD kBmp = PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI | PFD_SUPPORT_OPENGL | PFD_GENERIC_FORMAT;

const std::vector<PIXELFORMATDESCRIPTOR>& Formats()
{
    static const std::vector<PIXELFORMATDESCRIPTOR> f = {
        Format(kWin, 32, 24, 8),  // 1
        Format(kWin, 32, 16, 0),  // 2
        Format(kWin, 24, 24, 8),  // 3
        Format(kWin, 8, 16, 0),   // 4
        Format(kBmp, 32, 24, 8),  // 5
        Format(kBmp, 24, 24, 8),  // 6
        Format(kBmp, 24, 16, 0),  // 7
        Format(kBmp, 16, 16, 0),  // 8
        Format(kBmp, 8, 16, 0),   // 9
    };
    return f;
}

const PIXELFORMATDESCRIPTOR* FormatAt(int i)
{
    const auto& f = Formats();
    return i >= 1 && i <= static_cast<int>(f.size()) ? &f[i - 1] : nullptr;
}

// Whether this process's GL calls reach OSMesa. With libGL or libOpenGL ahead of it in the
// link they go to a library that has no context: glGetString answers null and every draw is
// silently lost. Asked once, on a scratch context, and the caller's binding is given back.
bool GlReachesOSMesa()
{
    static const bool reaches = [] {
        const OSMesaContext caller = OSMesaGetCurrentContext();
        GLint width = 0, height = 0, format = 0;
        void* buffer = nullptr;
        if (caller)
            OSMesaGetColorBuffer(caller, &width, &height, &format, &buffer);
        const OSMesaContext probe = OSMesaCreateContextExt(OSMESA_BGRA, 0, 0, 0, nullptr);
        std::uint32_t pixel = 0;
        const bool answered = probe && OSMesaMakeCurrent(probe, &pixel, GL_UNSIGNED_BYTE, 1, 1) &&
                              glGetString(GL_RENDERER) != nullptr;
        if (caller && buffer)
            OSMesaMakeCurrent(caller, buffer, GL_UNSIGNED_BYTE, width, height);
        else
            OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
        if (probe)
            OSMesaDestroyContext(probe);
        return answered || !probe;
    }();
    return reaches;
}

thread_local GlContext* current = nullptr;
thread_local DeviceContext* currentDc = nullptr;

bool Bind(GlContext* c, Surface* s)
{
    if (s->width <= 0 || s->height <= 0)
        return false;
    if (!OSMesaMakeCurrent(static_cast<OSMesaContext>(c->mesa), s->gl.data(), GL_UNSIGNED_BYTE,
                           s->width, s->height))
        return false;
    OSMesaPixelStore(OSMESA_Y_UP, 1);
    c->bound = s;
    return true;
}

}  // namespace

namespace detail {

GlContext*& Current() { return current; }
DeviceContext*& CurrentDC() { return currentDc; }

void Rebind(Surface* s)
{
    if (current && current->bound == s && !Bind(current, s))
        wglMakeCurrent(nullptr, nullptr);
}

void Unbind(Surface* s)
{
    if (current && current->bound == s)
        wglMakeCurrent(nullptr, nullptr);
}

void ColourCleared()
{
    // On a window the clear meets the back buffer and the overlay stays on the front one. On
    // a memory bitmap OpenGL and GDI share one set of pixels, so the clear wipes GDI's drawing
    // wherever it writes colour.
    GlContext* c = current;
    DeviceContext* dc = currentDc;
    if (!c || !c->bound || !dc || dc->kind != DcKind::Memory || dc->GetSurface() != c->bound)
        return;
    GLint mode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &mode);
    GLboolean writes[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    glGetBooleanv(GL_COLOR_WRITEMASK, writes);
    if (mode != GL_RENDER || (!writes[0] && !writes[1] && !writes[2]))
        return;
    Surface& s = *c->bound;
    int x0 = 0, y0 = 0, x1 = s.width, y1 = s.height;
    if (glIsEnabled(GL_SCISSOR_TEST)) {
        GLint box[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_SCISSOR_BOX, box);
        x0 = std::max(x0, box[0]);
        y0 = std::max(y0, box[1]);
        x1 = std::min(x1, box[0] + box[2]);
        y1 = std::min(y1, box[1] + box[3]);
    }
    // Overlay rows run bottom-up, as GL's do.
    for (int y = y0; y < y1; ++y)
        std::fill_n(s.overlay.begin() + size_t(y) * s.width + x0, std::max(0, x1 - x0), 0u);
    if (x0 == 0 && y0 == 0 && x1 == s.width && y1 == s.height)
        s.overlayDirty = false;
}

void DestroyContext(GlContext* c)
{
    if (c == current)
        wglMakeCurrent(nullptr, nullptr);
    OSMesaDestroyContext(static_cast<OSMesaContext>(c->mesa));
    delete c;
}

}  // namespace detail

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* pfd)
{
    if (!LiveDC(dc) || !pfd || S().faults.failChoosePixelFormat)
        return 0;
    Log(dc, "ChoosePixelFormat");
    const DWORD wanted = pfd->dwFlags & (PFD_DRAW_TO_WINDOW | PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI |
                                         PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER);
    int best = 0;
    int bestScore = 0;
    const auto& f = Formats();
    for (int i = 0; i < static_cast<int>(f.size()); ++i) {
        const PIXELFORMATDESCRIPTOR& p = f[i];
        if ((p.dwFlags & wanted) != wanted || p.iPixelType != pfd->iPixelType)
            continue;
        // Exact colour depth first, then enough depth bits, then the closest depth bits.
        int score = 1000 - std::abs(int(p.cColorBits) - int(pfd->cColorBits)) * 10;
        if (p.cDepthBits >= pfd->cDepthBits)
            score += 100;
        score -= std::abs(int(p.cDepthBits) - int(pfd->cDepthBits));
        if (!best || score > bestScore) {
            best = i + 1;
            bestScore = score;
        }
    }
    return best;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*)
{
    ++S().counters.setPixelFormat;
    const PIXELFORMATDESCRIPTOR* p = FormatAt(format);
    Surface* s = LiveDC(dc) ? dc->GetSurface() : nullptr;
    if (!s || !p) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    Log(dc, "SetPixelFormat(" + std::to_string(format) + ")");
    bool fits = dc->kind == DcKind::Window ? (p->dwFlags & PFD_DRAW_TO_WINDOW) != 0
                                           : (p->dwFlags & PFD_DRAW_TO_BITMAP) != 0 &&
                                                 p->cColorBits == dc->bitmap->header.biBitCount;
    // A drawable keeps the first format it was given.
    if (s->pixelFormat && s->pixelFormat != format)
        fits = false;
    if (!fits || S().faults.refuseAllFormats || S().faults.refuseFormats.count(format)) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    s->pixelFormat = format;
    return TRUE;
}

int DescribePixelFormat(HDC dc, int format, UINT bytes, PIXELFORMATDESCRIPTOR* pfd)
{
    if (!LiveDC(dc))
        return 0;
    const int count = static_cast<int>(Formats().size());
    if (!pfd)
        return count;
    const PIXELFORMATDESCRIPTOR* p = FormatAt(format);
    if (!p || bytes < sizeof(PIXELFORMATDESCRIPTOR)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *pfd = *p;
    return count;
}

int GetPixelFormat(HDC dc)
{
    Surface* s = LiveDC(dc) ? dc->GetSurface() : nullptr;
    return s ? s->pixelFormat : 0;
}

HGLRC wglCreateContext(HDC dc)
{
    ++S().counters.createContext;
    Surface* s = LiveDC(dc) ? dc->GetSurface() : nullptr;
    if (!s) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const PIXELFORMATDESCRIPTOR* p = FormatAt(s->pixelFormat);
    if (!p || S().faults.failCreateContext) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return nullptr;
    }
    if (!GlReachesOSMesa()) {
        std::fprintf(stderr, "wgl: wglCreateContext: OpenGL calls do not reach OSMesa (glGetString gives no "
                             "renderer): libGL or libOpenGL is linked ahead of libOSMesa; link OSMesa and GLU only\n");
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return nullptr;
    }
    OSMesaContext m = OSMesaCreateContextExt(OSMESA_BGRA, p->cDepthBits, p->cStencilBits, 0, nullptr);
    if (!m) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* c = new GlContext;
    c->mesa = m;
    c->pixelFormat = s->pixelFormat;
    c->dc = dc;
    S().contexts.insert(c);
    Log(dc, "wglCreateContext");
    return c;
}

BOOL wglMakeCurrent(HDC dc, HGLRC rc)
{
    ++S().counters.makeCurrent;
    if (!rc) {
        if (current) {
            glFlush();
            OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
            current->bound = nullptr;
        }
        current = nullptr;
        currentDc = nullptr;
        return TRUE;
    }
    if (!S().contexts.count(rc) || !LiveDC(dc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Surface* s = dc->GetSurface();
    if (!s || s->pixelFormat != rc->pixelFormat) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    if (current && current != rc)
        glFlush();
    if (!Bind(rc, s)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (current && current != rc)
        current->bound = nullptr;
    current = rc;
    currentDc = dc;
    return TRUE;
}

HGLRC wglGetCurrentContext() { return current; }
HDC wglGetCurrentDC() { return currentDc; }

BOOL wglDeleteContext(HGLRC rc)
{
    if (!rc || !S().contexts.count(rc)) {
        ++S().counters.badRelease;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ++S().counters.deleteContext;
    S().contexts.erase(rc);
    DestroyContext(rc);
    return TRUE;
}

BOOL SwapBuffers(HDC dc)
{
    Surface* s = LiveDC(dc) ? dc->GetSurface() : nullptr;
    if (!s)
        return FALSE;
    ++S().counters.swapBuffers;
    Log(dc, "SwapBuffers");
    if (current && current->bound == s)
        glFlush();
    s->front = s->gl;
    // The swap repaints the whole client area: GDI drawing made before it is gone.
    std::fill(s->overlay.begin(), s->overlay.end(), 0u);
    s->overlayDirty = false;
    ++s->swaps;
    return TRUE;
}

}  // namespace quor::wgl

// Every glClear of the code linked with the window system comes here first (the link wraps
// the symbol), so that a colour clear of a memory bitmap also takes GDI's drawing off it.
extern "C" void __real_glClear(GLbitfield mask);
extern "C" void __wrap_glClear(GLbitfield mask)
{
    __real_glClear(mask);
    if (mask & GL_COLOR_BUFFER_BIT)
        quor::wgl::detail::ColourCleared();
}
