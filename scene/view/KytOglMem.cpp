#include "scene/view/KytOglMem.h"

#include <cstdio>
#include <cstdlib>

KytOglMem::KytOglMem(HWND hWnd, unsigned char colorBits, unsigned char depthBits)
    : KytOgl(hWnd, colorBits, depthBits) {}

KytOglMem::KytOglMem(HWND hWnd, HDC hDC, unsigned char colorBits, unsigned char depthBits)
    : KytOgl(hWnd, hDC, colorBits, depthBits) {}

KytOglMem::KytOglMem(const KytOglMem& other) = default;
KytOglMem& KytOglMem::operator=(const KytOglMem& other) = default;
KytOglMem::~KytOglMem() = default;

bool KytOglMem::Create(int width, int height) {
    // A second Create keeps the device context: only the GL side is rebuilt.
    if (m_hRC) DropContext();

    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = 40;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI | PFD_SUPPORT_OPENGL;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = m_nColorBits;
    pfd.cDepthBits = m_nDepthBits;

    const int chosen = ChoosePixelFormat(m_hDC, &pfd);
    if (chosen == 0) return Fail("ChoosePixelFormat failed.");
    if (!SetPixelFormat(m_hDC, chosen, &pfd)) {
        // The generic path may refuse the first match: try the formats below it.
        bool set = false;
        for (int candidate = chosen - 1; candidate >= 1 && !set; --candidate) {
            DescribePixelFormat(m_hDC, candidate, sizeof pfd, &pfd);
            set = SetPixelFormat(m_hDC, candidate, &pfd) != FALSE;
        }
        if (!set) return Fail("SetPixelFormat failed.");
    }
    // The palette decision reads the format actually set on the device.
    const int set = GetPixelFormat(m_hDC);
    DescribePixelFormat(m_hDC, set ? set : chosen, sizeof pfd, &pfd);
    if ((pfd.dwFlags & PFD_NEED_PALETTE) && !SetupLogicalPalette(pfd))
        return Fail("SetPixelFormat failed.");
    m_hRC = wglCreateContext(m_hDC);
    if (!m_hRC) return Fail("CreateContext failed.");
    if (!m_hOrgRC) m_hOrgRC = m_hRC;
    m_nWidth = width;
    m_nHeight = height;
    return true;
}

void KytOglMem::DropContext() {
    if (wglGetCurrentContext()) {
        wglMakeCurrent(nullptr, nullptr);
        hWndNow = nullptr;
    }
    if (m_hPalette) {
        DeleteObject(m_hPalette);
        m_hPalette = nullptr;
    }
    if (m_hRC) {
        wglDeleteContext(m_hRC);
        m_hRC = nullptr;
    }
    hWndNow = nullptr;
}

void KytOglMem::DeleteContext() {
    // The base leaves a caller's device context alone and releases only one that GetDC gave
    // it (the window constructor), which would otherwise be lost.
    KytOgl::DeleteContext();
}

bool KytOglMem::SetAVIOut(IAVIStream* stream, void* buffer, unsigned long size) {
    m_pAviStream = stream;
    m_pBuffer = buffer;
    m_ulBufferSize = size;
    m_nAviCount = 0;
    m_nOutMode = OUT_AVI;
    return true;
}

bool KytOglMem::SetJpegOut(const char** fileName, unsigned int quality, void* buffer, long height,
                           long width) {
    m_ppFileName = fileName;
    m_uQuality = quality;
    m_pBuffer = buffer;
    m_lHeight = height;
    m_lWidth = width;
    m_nOutMode = OUT_JPEG;
    return true;
}

bool KytOglMem::SetBMPOut(const char** fileName, BITMAPINFO* info, void* buffer,
                          unsigned long size) {
    m_ppFileName = fileName;
    m_pBitmapInfo = info;
    m_pBuffer = buffer;
    m_ulBufferSize = size;
    m_nOutMode = OUT_BMP;
    return true;
}

bool KytOglMem::SetDummyOut() {
    m_nOutMode = OUT_DUMMY;
    return true;
}

bool KytOglMem::SetNormalOut() {
    m_pAviStream = nullptr;
    m_pBitmapInfo = nullptr;
    m_pBuffer = nullptr;
    m_ulBufferSize = 0;
    m_ppFileName = nullptr;
    m_uQuality = 0;
    m_lHeight = 0;
    m_lWidth = 0;
    m_nAviCount = 0;
    m_nOutMode = OUT_NORMAL;
    return true;
}

bool KytOglMem::CurrentDib(BITMAPINFOHEADER& header, void*& bits) const {
    HGDIOBJ selected = GetCurrentObject(m_hDC, OBJ_BITMAP);
    DIBSECTION dib{};
    if (!selected || GetObjectA(selected, sizeof dib, &dib) != static_cast<int>(sizeof dib))
        return false;
    header = dib.dsBmih;
    bits = dib.dsBm.bmBits;
    return bits != nullptr;
}

void KytOglMem::WriteJpegFrame(const char* fileName) const {
    auto* pixels = static_cast<unsigned char*>(m_pBuffer);
    const unsigned int height = static_cast<unsigned int>(m_lHeight);
    const int width = static_cast<int>(m_lWidth);
    // When the buffer is the bitmap OpenGL draws into, its real layout is known: rows padded
    // to four bytes and pixels stored blue first. Encoding it as packed red-green-blue would
    // swap red and blue and shear every row whose width is not a multiple of four.
    BITMAPINFOHEADER dib{};
    void* dibBits = nullptr;
    const bool isDib = m_hDC && pixels && CurrentDib(dib, dibBits) && dibBits == m_pBuffer &&
                       dib.biCompression == BI_RGB &&
                       (dib.biBitCount == 24 || dib.biBitCount == 32) && dib.biWidth == width &&
                       dib.biHeight != 0 &&
                       static_cast<unsigned int>(std::abs(dib.biHeight)) == height;
    if (isDib) {
        KytJpegImage image;
        image.pixels = pixels;
        image.height = height;
        image.width = width;
        image.bytesPerPixel = dib.biBitCount / 8;
        image.stride = ((static_cast<size_t>(width) * dib.biBitCount + 31) / 32) * 4;
        image.blueFirst = true;
        image.bottomUp = dib.biHeight > 0;
        KYT_WriteJpegImage(fileName, static_cast<int>(m_uQuality), image);
        return;
    }
    write_JPEG_file(fileName, static_cast<int>(m_uQuality), pixels, height, width);
}

void KytOglMem::SwapBuffers() {
    glFlush();
    // GDI batches: the bitmap holds the finished picture only after a flush.
    GdiFlush();
    if (m_nOutMode == OUT_NORMAL) return;

    const char* fileName = nullptr;
    if (m_nOutMode == OUT_JPEG || m_nOutMode == OUT_BMP) {
        fileName = m_ppFileName ? *m_ppFileName : nullptr;
        if (!fileName) std::fprintf(stderr, "frame %d skipped: no output file name\n", m_nAviCount);
    }
    switch (m_nOutMode) {
    case OUT_AVI:
        if (AVIStreamWrite(m_pAviStream, m_nAviCount, 1, m_pBuffer,
                           static_cast<long>(m_ulBufferSize), AVIIF_KEYFRAME, nullptr,
                           nullptr) != 0)
            throw COglMemException();
        break;
    case OUT_JPEG:
        if (fileName) WriteJpegFrame(fileName);
        break;
    case OUT_BMP:
        if (fileName) {
            if (m_pBitmapInfo) write_BMP_file(fileName, *m_pBitmapInfo, m_ulBufferSize, m_pBuffer);
            else KYT_OutPutMessage(1162, "Bitmap file write error.", 0);
        }
        break;
    default:
        break;
    }
    ++m_nAviCount;
}
