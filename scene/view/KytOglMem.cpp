#include "scene/view/KytOglMem.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

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
    AcquireDC();

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

namespace {

// One row of 5-5-5 pixels (blue in the low bits) as packed red, green, blue; each five-bit
// value is widened by repeating its top bits, so full intensity stays 255.
void Row555ToRgb(const unsigned char* in, unsigned char* out, int width) {
    for (int x = 0; x < width; ++x) {
        const unsigned v = in[2 * x] | (in[2 * x + 1] << 8);
        const unsigned c[3] = {(v >> 10) & 31, (v >> 5) & 31, v & 31};
        for (int k = 0; k < 3; ++k)
            out[3 * x + k] = static_cast<unsigned char>((c[k] << 3) | (c[k] >> 2));
    }
}

}  // namespace

void KytOglMem::WriteJpegFrame(const char* fileName) const {
    auto* pixels = static_cast<unsigned char*>(m_pBuffer);
    const unsigned int height = static_cast<unsigned int>(m_lHeight);
    const int width = static_cast<int>(m_lWidth);
    // When the buffer is the bitmap OpenGL draws into, its real layout is known: rows padded
    // to four bytes, pixels stored blue first, and 16-bit pixels two bytes each. Encoding it
    // as packed red-green-blue would swap red and blue, shear every row whose width is not a
    // multiple of four, and read a 16-bit bitmap far past its end.
    BITMAPINFOHEADER dib{};
    void* dibBits = nullptr;
    if (m_hDC && pixels && CurrentDib(dib, dibBits) && dibBits == m_pBuffer) {
        const unsigned int rows = static_cast<unsigned int>(std::abs(dib.biHeight));
        const size_t stride = ((static_cast<size_t>(dib.biWidth) * dib.biBitCount + 31) / 32) * 4;
        const bool described = dib.biCompression == BI_RGB && dib.biWidth == width &&
                               width > 0 && rows != 0 && rows == height;
        if (described && (dib.biBitCount == 24 || dib.biBitCount == 32)) {
            KytJpegImage image;
            image.pixels = pixels;
            image.height = height;
            image.width = width;
            image.bytesPerPixel = dib.biBitCount / 8;
            image.stride = stride;
            image.blueFirst = true;
            image.bottomUp = dib.biHeight > 0;
            KYT_WriteJpegImage(fileName, static_cast<int>(m_uQuality), image);
            return;
        }
        if (described && dib.biBitCount == 16) {
            const size_t packed = static_cast<size_t>(width) * 3;
            std::vector<unsigned char> rgb(packed * rows);
            for (unsigned int row = 0; row < rows; ++row)
                Row555ToRgb(pixels + row * stride, rgb.data() + row * packed, width);
            KytJpegImage image;
            image.pixels = rgb.data();
            image.height = height;
            image.width = width;
            image.stride = packed;
            image.bottomUp = dib.biHeight > 0;
            KYT_WriteJpegImage(fileName, static_cast<int>(m_uQuality), image);
            return;
        }
        // A frame size that does not describe the bitmap is read as packed pixels, and only
        // when those fit inside it.
        const unsigned long long want = static_cast<unsigned long long>(width > 0 ? width : 0) *
                                        height * 3ULL;
        if (width <= 0 || height == 0 || want > static_cast<unsigned long long>(stride) * rows) {
            std::fprintf(stderr, "JPEG frame skipped: %ld x %ld pixels do not fit the bitmap of %s\n",
                         m_lWidth, m_lHeight, fileName);
            return;
        }
    }
    write_JPEG_file(fileName, static_cast<int>(m_uQuality), pixels, height, width);
}

bool KytOglMem::BmpFits(const char* fileName) const {
    // When the buffer is the bitmap OpenGL draws into, a frame size past its pixels would be
    // read beyond them.
    BITMAPINFOHEADER dib{};
    void* dibBits = nullptr;
    if (!m_hDC || !m_pBuffer || !CurrentDib(dib, dibBits) || dibBits != m_pBuffer) return true;
    const unsigned long long stride =
        ((static_cast<unsigned long long>(dib.biWidth > 0 ? dib.biWidth : 0) * dib.biBitCount +
          31) / 32) * 4;
    const unsigned long long bytes = stride * static_cast<unsigned long long>(std::abs(dib.biHeight));
    if (m_ulBufferSize <= bytes) return true;
    std::fprintf(stderr, "bitmap frame skipped: %lu bytes do not fit the bitmap of %s\n",
                 m_ulBufferSize, fileName);
    return false;
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
            if (!m_pBitmapInfo || !BmpFits(fileName))
                KYT_OutPutMessage(1162, "Bitmap file write error.", 0);
            else
                write_BMP_file(fileName, *m_pBitmapInfo, m_ulBufferSize, m_pBuffer);
        }
        break;
    default:
        break;
    }
    ++m_nAviCount;
}
