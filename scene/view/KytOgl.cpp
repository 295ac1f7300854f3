#include "scene/view/KytOgl.h"

#include <cstdlib>
#include <cstring>

float KytOgl::fOutLineWidth = 1.0f;
bool KytOgl::bLineAntiAlias = true;
float KytOgl::aMatrix[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f};
bool KytOgl::bEnableCullFaceWhenClipping = true;
bool KytOgl::bAllwaysBackFaceDraw = false;
HGLRC KytOgl::m_hOrgRC = nullptr;
HWND KytOgl::hWndNow = nullptr;

namespace {
constexpr const char* kGlError = "OpenGL Error";
}

void KytFont::DeleteLists()
{
    if (listBase) {
        glDeleteLists(listBase, 256);
        listBase = 0;
    }
}

KytOgl::KytOgl() : m_bDrawBackFace(bAllwaysBackFaceDraw ? 1 : 0) {}

KytOgl::KytOgl(HWND wnd, unsigned char colorBits, unsigned char depthBits)
    : m_hWnd(wnd), m_nColorBits(colorBits), m_nDepthBits(depthBits),
      m_bDrawBackFace(bAllwaysBackFaceDraw ? 1 : 0)
{
    m_hDC = GetDC(wnd);
    m_bOwnDC = true;
}

KytOgl::KytOgl(HWND wnd, HDC dc, unsigned char colorBits, unsigned char depthBits)
    : m_hWnd(wnd), m_nColorBits(colorBits), m_nDepthBits(depthBits), m_hDC(dc),
      m_bDrawBackFace(bAllwaysBackFaceDraw ? 1 : 0)
{
}

KytOgl::KytOgl(const KytOgl& o) { CopyFrom(o); }

KytOgl& KytOgl::operator=(const KytOgl& o)
{
    if (this != &o) {
        delete m_pFont;
        CopyFrom(o);
    }
    return *this;
}

void KytOgl::CopyFrom(const KytOgl& o)
{
    m_hRC = o.m_hRC;
    m_hWnd = o.m_hWnd;
    m_nColorBits = o.m_nColorBits;
    m_nDepthBits = o.m_nDepthBits;
    m_nWidth = o.m_nWidth;
    m_nHeight = o.m_nHeight;
    m_nReserved = o.m_nReserved;
    m_hDC = o.m_hDC;
    m_hPalette = o.m_hPalette;
    m_bDrawBackFace = o.m_bDrawBackFace;
    // The font record belongs to the context that made it; a copy makes its own on demand.
    m_pFont = nullptr;
    m_bNoFont = o.m_bNoFont;
    m_bOwnDC = o.m_bOwnDC;
}

KytOgl::~KytOgl() { delete m_pFont; }

bool KytOgl::Fail(const char* text) const
{
    MessageBoxA(m_hWnd, text, kGlError, MB_ICONERROR);
    return false;
}

bool KytOgl::Create(int width, int height)
{
    if (m_hRC)
        DeleteContext();
    AcquireDC();
    m_nColorBits = static_cast<unsigned char>(GetDeviceCaps(m_hDC, BITSPIXEL));
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = 40;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = m_nColorBits;
    pfd.cDepthBits = m_nDepthBits;
    const int format = ChoosePixelFormat(m_hDC, &pfd);
    if (format == 0)
        return Fail("ChoosePixelFormat failed.");
    if (!SetPixelFormat(m_hDC, format, &pfd))
        return Fail("SetPixelFormat failed.");
    DescribePixelFormat(m_hDC, format, sizeof(pfd), &pfd);
    if ((pfd.dwFlags & PFD_NEED_PALETTE) && !SetupLogicalPalette(pfd))
        return Fail("SetPixelFormat failed.");
    m_hRC = wglCreateContext(m_hDC);
    if (!m_hRC)
        return Fail("CreateContext failed.");
    if (!m_hOrgRC)
        m_hOrgRC = m_hRC;
    m_nWidth = width;
    m_nHeight = height;
    return true;
}

void KytOgl::AcquireDC()
{
    // Tearing a context down releases a device context that GetDC gave us: a later Create
    // fetches a fresh one from the window. A caller's device context is never released.
    if (!m_hDC && m_bOwnDC)
        m_hDC = GetDC(m_hWnd);
}

void KytOgl::DeleteContext()
{
    if (wglGetCurrentContext()) {
        wglMakeCurrent(nullptr, nullptr);
        hWndNow = nullptr;
    }
    if (m_hPalette) {
        // A palette still selected into the DC cannot be deleted: put the default one back.
        quor::wgl::SelectPalette(m_hDC, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
        DeleteObject(m_hPalette);
        m_hPalette = nullptr;
    }
    if (m_hRC) {
        wglDeleteContext(m_hRC);
        m_hRC = nullptr;
    }
    // Only a device context that GetDC gave us is ours to release; the caller's stays.
    if (m_hDC && m_bOwnDC) {
        ReleaseDC(m_hWnd, m_hDC);
        m_hDC = nullptr;
    }
    hWndNow = nullptr;
}

void KytOgl::SwapBuffers()
{
    glFinish();
    quor::wgl::SwapBuffers(m_hDC);
}

void KytOgl::Flush() const { glFlush(); }

void KytOgl::MakeCurrent()
{
    if (m_hWnd != hWndNow && wglMakeCurrent(m_hDC, m_hRC))
        hWndNow = m_hWnd;
}

void KytOgl::MakeCurrentFource()
{
    wglMakeCurrent(m_hDC, m_hRC);
    hWndNow = m_hWnd;
}

void KytOgl::ResetHwnd() { hWndNow = nullptr; }

void KytOgl::Clear() const { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

void KytOgl::Initial(float back[3])
{
    glClearDepth(1.0);
    glDrawBuffer(GL_BACK);
    glEnable(GL_DEPTH_TEST);
    glDepthRange(0.0, 1.0);
    glClearColor(back[0], back[1], back[2], 1.0f);
    glDisable(GL_COLOR_MATERIAL);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, m_bDrawBackFace);
    GLint modes[2] = {GL_FILL, GL_FILL};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    if (m_bDrawBackFace) {
        glDisable(GL_CULL_FACE);
        glPolygonMode(GL_FRONT_AND_BACK, static_cast<GLenum>(modes[1]));
    } else {
        glCullFace(GL_BACK);
        glEnable(GL_CULL_FACE);
        glPolygonMode(GL_FRONT, static_cast<GLenum>(modes[1]));
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void KytOgl::SetBackFaceMode(bool drawBack, int clipCount)
{
    if ((drawBack ? 1 : 0) == m_bDrawBackFace)
        return;
    MakeCurrent();
    if (drawBack) {
        glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
        glDisable(GL_CULL_FACE);
        m_bDrawBackFace = 1;
        return;
    }
    // Cut-open parts keep showing their inside.
    if (clipCount > 0 && bEnableCullFaceWhenClipping)
        return;
    if (bAllwaysBackFaceDraw)
        return;
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    m_bDrawBackFace = 0;
}

void KytOgl::MakePickMatrix(int x, int y, unsigned int buffer[], double w, double h, int size)
{
    glSelectBuffer(size, buffer);
    glRenderMode(GL_SELECT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    glLoadIdentity();
    gluPickMatrix(x, vp[3] - y, w, h, vp);
}

int KytOgl::GetInformation(unsigned long& flags) const
{
    flags = 0;
    const int format = GetPixelFormat(m_hDC);
    if (format == 0)
        return 0;
    PIXELFORMATDESCRIPTOR pfd{};
    if (!DescribePixelFormat(m_hDC, format, sizeof(pfd), &pfd))
        return 0;
    flags = pfd.dwFlags;
    return 1;
}

bool KytOgl::SetupLogicalPalette(PIXELFORMATDESCRIPTOR& pfd)
{
    if (pfd.cColorBits == 0 || pfd.cColorBits > 16)
        return false;
    const int n = 1 << pfd.cColorBits;
    const size_t bytes = sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * static_cast<size_t>(n);
    auto* lp = static_cast<LOGPALETTE*>(std::calloc(1, bytes));
    if (!lp)
        return false;
    lp->palVersion = 0x300;
    lp->palNumEntries = static_cast<WORD>(n);
    const auto scale = [](int i, int shift, int bits) {
        const int max = (1 << bits) - 1;
        return max ? static_cast<BYTE>(((i >> shift) & max) * 255 / max) : BYTE(0);
    };
    PALETTEENTRY* e = lp->palPalEntry;
    for (int i = 0; i < n; ++i) {
        e[i].peRed = scale(i, pfd.cRedShift, pfd.cRedBits);
        e[i].peGreen = scale(i, pfd.cGreenShift, pfd.cGreenBits);
        e[i].peBlue = scale(i, pfd.cBlueShift, pfd.cBlueBits);
        e[i].peFlags = 0;
    }
    m_hPalette = CreatePalette(lp);
    std::free(lp);
    if (!m_hPalette)
        return false;
    UnrealizeObject(m_hPalette);
    quor::wgl::SelectPalette(m_hDC, m_hPalette, FALSE);
    RealizePalette(m_hDC);
    return true;
}

void KytOgl::SelectPalette() const
{
    if (!m_hPalette)
        return;
    UnrealizeObject(m_hPalette);
    quor::wgl::SelectPalette(m_hDC, m_hPalette, FALSE);
    RealizePalette(m_hDC);
}

KytFont* KytOgl::SetFont(char* face, int points)
{
    if (m_bNoFont)
        return nullptr;
    auto* font = new KytFont;
    MakeCurrent();
    if (m_hDC) {
        font->DeleteLists();
        font->listBase = glGenLists(256);
        HFONT newFont = nullptr;
        HGDIOBJ oldFont = nullptr;
        if (face) {
            LOGFONTA lf{};
            lf.lfHeight = MulDiv(points, -GetDeviceCaps(m_hDC, LOGPIXELSY), 72);
            lf.lfWeight = 900;
            lf.lfUnderline = 1;
            lf.lfPitchAndFamily = VARIABLE_PITCH;
            std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
            newFont = CreateFontIndirectA(&lf);
            if (newFont)
                oldFont = quor::wgl::SelectObject(m_hDC, newFont);
        } else {
            newFont = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
            quor::wgl::SelectObject(m_hDC, newFont);
        }
        MakeCurrent();
        if (!newFont) {
            MessageBoxA(WindowFromDC(m_hDC), "NewFontCreate failed.", "Error", MB_ICONERROR);
            // Empty lists are no font: fail below instead of handing them out.
            font->DeleteLists();
        } else {
            if (!wglUseFontBitmapsA(m_hDC, 0, 255, font->listBase) &&
                !wglUseFontBitmapsA(m_hDC, 0, 255, font->listBase)) {
                char* text = nullptr;
                FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, GetLastError(), 0x400, reinterpret_cast<LPSTR>(&text), 0,
                               nullptr);
                MessageBoxA(nullptr, text ? text : "", "Error", MB_ICONINFORMATION);
                LocalFree(text);
                font->DeleteLists();
            }
            if (face) {
                quor::wgl::SelectObject(m_hDC, oldFont);
                DeleteObject(newFont);
            }
        }
    }
    if (font->listBase)
        return font;
    MessageBoxA(WindowFromDC(m_hDC), "SetupFont failed.", "Error", MB_ICONERROR);
    delete font;
    return nullptr;
}

void KytOgl::SetFontRecord(KytFont* font)
{
    if (m_pFont == font)
        return;
    delete m_pFont;
    m_pFont = font;
}

HFONT KytOgl::ChangeFont()
{
    LOGFONTA lf{};
    lf.lfHeight = -12;
    lf.lfWeight = 400;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    // The host's default proportional Gothic face, in code page 932.
    std::strcpy(lf.lfFaceName, "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e");
    return ChangeFont(&lf);
}

HFONT KytOgl::ChangeFont(LOGFONTA* lf)
{
    // A font for a device context that is gone would never be selected, nor deleted.
    if (!HasLiveDC())
        return nullptr;
    HFONT font = CreateFontIndirectA(lf);
    if (!font)
        return nullptr;
    return static_cast<HFONT>(quor::wgl::SelectObject(m_hDC, font));
}

bool KytOgl::HasLiveDC() const { return m_hDC && GetDeviceCaps(m_hDC, BITSPIXEL) != 0; }

void KytOgl::SelectObject(HGDIOBJ gdiObject)
{
    HGDIOBJ old = quor::wgl::SelectObject(m_hDC, gdiObject);
    if (old)
        DeleteObject(old);
}

void KytOgl::Translate(const WqVector3D& v) { glTranslated(v.x, v.y, v.z); }
void KytOgl::Translate(const KytPoint& p) { glTranslatef(p.x, p.y, p.z); }
void KytOgl::Vertex3(const WqVector3D& v)
{
    const double d[3] = {v.x, v.y, v.z};
    glVertex3dv(d);
}

void KytOgl::DrawWire(const KytTriangle& t)
{
    for (int k = 0; k < 3; ++k)
        glVertex3fv(t.pVertex[k]->fv());
}

void KytOgl::DrawPolygon(const KytTriangle& t, const float* lastNormal)
{
    const float* prev = lastNormal;
    for (int k = 0; k < 3; ++k) {
        const float* n = t.pNormal[k] ? t.pNormal[k]->fv() : nullptr;
        if (n != prev && n)
            glNormal3fv(n);
        prev = n;
        glVertex3fv(t.pVertex[k]->fv());
    }
}

void KytOgl::DrawPolygon(const KytTriangle* t)
{
    for (int k = 0; k < 3; ++k) {
        if (t->pNormal[k])
            glNormal3fv(t->pNormal[k]->fv());
        glVertex3fv(t->pVertex[k]->fv());
    }
}

void KytOgl::MultMatrix(const KytMech& mech)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            aMatrix[j * 4 + i] = static_cast<float>(mech.mRot.m[i][j]);
    aMatrix[12] = static_cast<float>(mech.vPos.x);
    aMatrix[13] = static_cast<float>(mech.vPos.y);
    aMatrix[14] = static_cast<float>(mech.vPos.z);
    glMultMatrixf(aMatrix);
}

namespace {
// The six faces of the cube between (b, b, b) and (a, a, a), in drawing order, each with its
// normal and four corners counter-clockwise seen from outside (for a > b).
void CubeFaces(float a, float b, bool normals)
{
    struct Face {
        float n[3];
        float c[4][3];
    };
    const Face faces[6] = {
        {{0, 0, -1}, {{b, b, b}, {b, a, b}, {a, a, b}, {a, b, b}}},
        {{0, -1, 0}, {{b, b, b}, {a, b, b}, {a, b, a}, {b, b, a}}},
        {{-1, 0, 0}, {{b, b, b}, {b, b, a}, {b, a, a}, {b, a, b}}},
        {{0, 1, 0}, {{b, a, b}, {b, a, a}, {a, a, a}, {a, a, b}}},
        {{1, 0, 0}, {{a, b, b}, {a, a, b}, {a, a, a}, {a, b, a}}},
        {{0, 0, 1}, {{b, b, a}, {a, b, a}, {a, a, a}, {b, a, a}}},
    };
    glBegin(GL_TRIANGLES);
    for (const Face& f : faces) {
        if (normals)
            glNormal3fv(f.n);
        const int order[6] = {0, 1, 2, 0, 2, 3};
        for (int k : order)
            glVertex3fv(f.c[k]);
    }
    glEnd();
}
}  // namespace

void KytOgl::DrawBox(float a, float b) { CubeFaces(a, b, true); }
void KytOgl::DrawWireBox(float a, float b) { CubeFaces(a, b, false); }

bool KytOgl::LineAntiAliasON()
{
    if (!bLineAntiAlias)
        return false;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    return true;
}

void KytOgl::LineAntiAliasOFF()
{
    if (bLineAntiAlias)
        glPopAttrib();
}
