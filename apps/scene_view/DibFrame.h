#pragma once
// A stand-in window and a 24-bit bottom-up DIB selected into a memory DC: what the demo's
// memory-context captures draw into and read back from.

#include "platform/wgl/Wgl.h"

namespace scene_view {

using namespace quor::wgl;

struct DibFrame {
    HWND wnd = nullptr;
    HDC dc = nullptr;
    BITMAPINFO info{};
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    void* bits = nullptr;
    int w, h;
    // Bytes of one row (padded to 4) and of the picture.
    int stride;
    unsigned long size;

    DibFrame(int width, int height, const char* windowName)
        : w(width), h(height), stride((width * 3 + 3) / 4 * 4),
          size(static_cast<unsigned long>(stride) * static_cast<unsigned long>(height))
    {
        wnd = CreateStandInWindow(w, h, nullptr, windowName);
        dc = CreateCompatibleDC(nullptr);
        info.bmiHeader.biSize = 40;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        info.bmiHeader.biSizeImage = size;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap)
            previous = SelectObject(dc, bitmap);
    }
    ~DibFrame()
    {
        if (previous)
            SelectObject(dc, previous);
        DeleteDC(dc);
        if (bitmap)
            DeleteObject(bitmap);
        DestroyWindow(wnd);
    }
    DibFrame(const DibFrame&) = delete;
    DibFrame& operator=(const DibFrame&) = delete;
};

}  // namespace scene_view
