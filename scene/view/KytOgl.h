#pragma once
#include "scene/view/KytPlatform.h"

// Bitmap font of a context: 256 consecutive display lists, one per character code.
class KytFont {
public:
    unsigned int listBase = 0;
    unsigned int reserved = 0;

    // Deletes the 256 lists (when there are any); the record stays.
    void DeleteLists();
};

// One OpenGL rendering context on a window or a caller's device context, with the small set
// of GL operations every drawing class uses.
class KytOgl {
public:
    KytOgl();
    KytOgl(HWND wnd, unsigned char colorBits, unsigned char depthBits);
    KytOgl(HWND wnd, HDC dc, unsigned char colorBits, unsigned char depthBits);
    // Copies share the handles but never the font: only the original frees it.
    KytOgl(const KytOgl& o);
    KytOgl& operator=(const KytOgl& o);
    virtual ~KytOgl();

    virtual bool Create(int width, int height);
    virtual void DeleteContext();
    virtual void SwapBuffers();
    virtual void Flush() const;

    void MakeCurrent();
    void MakeCurrentFource();
    static void ResetHwnd();

    void Clear() const;
    void Initial(float back[3]);
    void SetBackFaceMode(bool drawBack, int clipCount);
    void MakePickMatrix(int x, int y, unsigned int buffer[], double w, double h, int size = 2048);
    bool IsDrawBackFace() const { return m_bDrawBackFace == 1; }
    // The back-face flag alone, without GL calls: a walk that must not reach back faces
    // clears it for its length and sets it again.
    void SetBackFaceFlag(bool drawBack) { m_bDrawBackFace = drawBack ? 1 : 0; }
    HWND GetHwnd() const { return m_hWnd; }
    HDC GetHdc() const { return m_hDC; }
    HGLRC GetHglrc() const { return m_hRC; }
    int GetInformation(unsigned long& flags) const;
    bool SetupLogicalPalette(PIXELFORMATDESCRIPTOR& pfd);
    void SelectPalette() const;
    KytFont* SetFont(char* face, int points);
    KytFont* GetFont() const { return m_pFont; }
    void SetFontRecord(KytFont* font);
    // The previous font, or null when no font could be made (nor is, without a live device
    // context).
    HFONT ChangeFont();
    HFONT ChangeFont(LOGFONTA* lf);
    // Whether the device context still exists: after the window and its bitmap went, nothing
    // is drawn on it.
    bool HasLiveDC() const;
    void SelectObject(HGDIOBJ gdiObject);

    static void Translate(const WqVector3D& v);
    static void Translate(const KytPoint& p);
    static void Vertex3(const WqVector3D& v);
    static void DrawWire(const KytTriangle& t);
    static void DrawPolygon(const KytTriangle& t, const float* lastNormal);
    static void DrawPolygon(const KytTriangle* t);
    static void MultMatrix(const KytMech& mech);
    static void DrawBox(float a, float b);
    static void DrawWireBox(float a, float b);
    static bool LineAntiAliasON();
    static void LineAntiAliasOFF();

    static float fOutLineWidth;
    static bool bLineAntiAlias;
    static float aMatrix[16];
    static bool bEnableCullFaceWhenClipping;
    static bool bAllwaysBackFaceDraw;
    static HGLRC m_hOrgRC;
    static HWND hWndNow;

protected:
    // Shows a context set-up failure; false for the caller to return.
    bool Fail(const char* text) const;
    void CopyFrom(const KytOgl& o);
    // Fetches the window's device context again when ours was released; a missing one then
    // fails in the pixel-format step with its usual message.
    void AcquireDC();

    HGLRC m_hRC = nullptr;
    HWND m_hWnd = nullptr;
    unsigned char m_nColorBits = 0;
    unsigned char m_nDepthBits = 0;
    int m_nWidth = 0, m_nHeight = 0;
    int m_nReserved = 0;
    HDC m_hDC = nullptr;
    HPALETTE m_hPalette = nullptr;
    int m_bDrawBackFace = 0;
    KytFont* m_pFont = nullptr;
    bool m_bNoFont = false;
    // True when the device context comes from GetDC on m_hWnd (the window constructor): it is
    // ours to release, and to fetch again after a release.
    bool m_bOwnDC = false;
};
