#pragma once
// The off-screen OpenGL context: renders into a bitmap the caller selected into a memory device
// context, and hands each finished frame to one output: an AVI stream, a JPEG file, a BMP file,
// a counter only, or nothing (normal mode).

#include "platform/avifile/AviStream.h"
#include "scene/view/KytJpegWriter.h"
#include "scene/view/KytOgl.h"

// Thrown by SwapBuffers when the AVI stream rejects a frame; the host ends the recording.
class COglMemException {};

class KytOglMem : public KytOgl {
public:
    enum OutMode { OUT_NORMAL = 0, OUT_AVI = 1, OUT_JPEG = 2, OUT_BMP = 3, OUT_DUMMY = 4 };

    KytOglMem(HWND hWnd, unsigned char colorBits, unsigned char depthBits);
    KytOglMem(HWND hWnd, HDC hDC, unsigned char colorBits, unsigned char depthBits);
    KytOglMem(const KytOglMem& other);
    KytOglMem& operator=(const KytOglMem& other);
    ~KytOglMem() override;

    bool Create(int width, int height) override;
    void DeleteContext() override;
    void SwapBuffers() override;

    bool SetAVIOut(IAVIStream* stream, void* buffer, unsigned long size);
    bool SetJpegOut(const char** fileName, unsigned int quality, void* buffer, long height,
                    long width);
    bool SetBMPOut(const char** fileName, BITMAPINFO* info, void* buffer, unsigned long size);
    bool SetDummyOut();
    bool SetNormalOut();
    int GetAviCount() const { return m_nAviCount; }
    int GetOutMode() const { return m_nOutMode; }

protected:
    int m_nOutMode = OUT_NORMAL;
    IAVIStream* m_pAviStream = nullptr;
    BITMAPINFO* m_pBitmapInfo = nullptr;
    int m_nAviCount = 0;
    void* m_pBuffer = nullptr;
    unsigned long m_ulBufferSize = 0;
    const char** m_ppFileName = nullptr;
    unsigned int m_uQuality = 0;
    long m_lHeight = 0;
    long m_lWidth = 0;

private:
    // Leaves and deletes the GL context and its palette; the device context stays.
    void DropContext();
    void WriteJpegFrame(const char* fileName) const;
    // Header and pixels of the bitmap selected into the device context, when it is a DIB.
    bool CurrentDib(BITMAPINFOHEADER& header, void*& bits) const;
    // Whether the frame size fits the bitmap when the buffer is the one drawn into.
    bool BmpFits(const char* fileName) const;
};

bool write_BMP_file(const char* fileName, BITMAPINFO info, unsigned long imageSize, void* bits);
