// Compatible bitmaps and block transfers: what a caller uses to save a window area and put it
// back. Reads see what the DC shows (overlay over its image); writes follow the target.
#include <algorithm>
#include <string>

#include "platform/wgl/State.h"

namespace quor::wgl {

using namespace detail;

namespace {

uint32_t Opaque(uint32_t p) { return 0xFF000000u | (p & 0xFFFFFFu); }

// A plain bitmap is one OpenGL never rendered into: its pixels are its bits.
bool PlainBitmap(const DeviceContext* dc)
{
    return dc->kind == DcKind::Memory && dc->bitmap && !dc->bitmap->stock &&
           dc->bitmap->surface.pixelFormat == 0;
}

// The pixel the DC shows at (x, y) from the top-left, 0xAARRGGBB; false outside.
bool ReadShown(DeviceContext* dc, int x, int y, uint32_t& out)
{
    Surface* s = dc->GetSurface();
    if (!s || !s->Inside(x, y))
        return false;
    const size_t i = s->Index(x, y);
    if (s->overlay[i]) {
        out = s->overlay[i];
        return true;
    }
    if (PlainBitmap(dc)) {
        const Bitmap* b = dc->bitmap;
        const int bpp = b->header.biBitCount;
        const int row = b->header.biHeight > 0 ? s->height - 1 - y : y;
        const uint8_t* q = b->bits.data() + size_t(row) * b->stride;
        if (bpp == 32 || bpp == 24) {
            const uint8_t* px = q + size_t(x) * (bpp / 8);
            out = 0xFF000000u | (uint32_t(px[2]) << 16) | (uint32_t(px[1]) << 8) | px[0];
        } else {
            const unsigned v = q[x * 2] | (q[x * 2 + 1] << 8);
            out = 0xFF000000u | (((v >> 10) & 31u) << 19) | (((v >> 5) & 31u) << 11) |
                  ((v & 31u) << 3);
        }
        return true;
    }
    out = Opaque(dc->kind == DcKind::Window ? s->front[i] : s->gl[i]);
    return true;
}

void WriteShown(DeviceContext* dc, int x, int y, uint32_t p)
{
    Surface* s = dc->GetSurface();
    if (!s || !s->Inside(x, y))
        return;
    const size_t i = s->Index(x, y);
    if (PlainBitmap(dc) && dc->bitmap->header.biBitCount == 32) {
        Bitmap* b = dc->bitmap;
        const int row = b->header.biHeight > 0 ? s->height - 1 - y : y;
        uint8_t* q = b->bits.data() + size_t(row) * b->stride + size_t(x) * 4;
        q[0] = p & 0xFF, q[1] = (p >> 8) & 0xFF, q[2] = (p >> 16) & 0xFF, q[3] = 0xFF;
        s->overlay[i] = 0;
        return;
    }
    s->overlay[i] = Opaque(p);
    s->overlayDirty = true;
}

}  // namespace

HBITMAP CreateCompatibleBitmap(HDC dc, int cx, int cy)
{
    if (!LiveDC(dc) || cx <= 0 || cy <= 0 || cx > 16384 || cy > 16384) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* b = new Bitmap;
    b->header.biSize = sizeof(BITMAPINFOHEADER);
    b->header.biWidth = cx;
    b->header.biHeight = cy;
    b->header.biPlanes = 1;
    b->header.biBitCount = 32;
    b->header.biCompression = BI_RGB;
    b->stride = cx * 4;
    b->bits.assign(size_t(b->stride) * cy, 0);
    b->surface.Resize(cx, cy);
    S().objects.insert(b);
    Log(dc, "CreateCompatibleBitmap(" + std::to_string(cx) + "," + std::to_string(cy) + ")");
    return b;
}

BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int sx, int sy, DWORD rop)
{
    if (!LiveDC(dst) || !LiveDC(src) || rop != SRCCOPY || cx < 0 || cy < 0)
        return FALSE;
    Log(dst, "BitBlt(" + std::to_string(x) + "," + std::to_string(y) + "," +
                 std::to_string(cx) + "," + std::to_string(cy) + ")");
    if (!dst->GetSurface() || !src->GetSurface())
        return TRUE;
    // Through a buffer, so that overlapping rectangles of one surface copy as GDI copies.
    std::vector<uint32_t> block(size_t(cx) * cy, 0);
    std::vector<bool> have(block.size(), false);
    for (int r = 0; r < cy; ++r)
        for (int c = 0; c < cx; ++c) {
            uint32_t p = 0;
            if (ReadShown(src, sx + c, sy + r, p)) {
                block[size_t(r) * cx + c] = p;
                have[size_t(r) * cx + c] = true;
            }
        }
    for (int r = 0; r < cy; ++r)
        for (int c = 0; c < cx; ++c)
            if (have[size_t(r) * cx + c])
                WriteShown(dst, x + c, y + r, block[size_t(r) * cx + c]);
    return TRUE;
}

}  // namespace quor::wgl
