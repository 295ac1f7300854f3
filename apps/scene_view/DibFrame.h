#pragma once
// A stand-in window and a 24-bit bottom-up DIB selected into a memory DC: what the demo's
// memory-context captures draw into and read back from.

#include "platform/wgl/Wgl.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace scene_view {

using namespace quor::wgl;

// Writes a bottom-up 24-bit picture of `size` bytes as a BMP file.
inline bool WriteBmp24(const std::string& path, const void* bits, int w, int h, unsigned long size)
{
    std::vector<std::uint8_t> head(54, 0);
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k)
            head[at + k] = std::uint8_t(v >> (8 * k));
    };
    head[0] = 'B';
    head[1] = 'M';
    put(2, std::uint32_t(54 + size));
    put(10, 54);
    put(14, 40);
    put(18, std::uint32_t(w));
    put(22, std::uint32_t(h));
    head[26] = 1;
    head[28] = 24;
    put(34, std::uint32_t(size));
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(head.data()), 54);
    file.write(static_cast<const char*>(bits), long(size));
    return bool(file);
}

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
    bool WriteBmp(const std::string& path) const { return WriteBmp24(path, bits, w, h, size); }
    DibFrame(const DibFrame&) = delete;
    DibFrame& operator=(const DibFrame&) = delete;
};

}  // namespace scene_view
