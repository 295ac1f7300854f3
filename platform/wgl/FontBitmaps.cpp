#include <GL/gl.h>

#include "platform/wgl/State.h"

namespace quor::wgl {
using namespace detail;

BOOL wglUseFontBitmapsA(HDC dc, DWORD first, DWORD count, DWORD listBase)
{
    ++S().counters.useFontBitmaps;
    if (!LiveDC(dc) || !Current() || listBase == 0 || count > 0x10000) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (S().faults.failUseFontBitmaps > 0) {
        --S().faults.failUseFontBitmaps;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    Log(dc, "wglUseFontBitmapsA(" + std::to_string(first) + "," + std::to_string(count) + ")");
    const LOGFONTA lf = FontOf(dc);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    std::vector<GLubyte> bits;
    for (DWORD i = 0; i < count; ++i) {
        const Glyph g = GlyphOf(lf, (first + i) & 0xFF);
        // glBitmap wants rows bottom-up, most significant bit first.
        const int rowBytes = (g.width + 7) / 8;
        bits.assign(size_t(rowBytes) * g.height + 1, 0);
        for (int r = 0; r < g.height; ++r)
            for (int c = 0; c < g.width; ++c)
                if (g.mono[size_t(r) * g.width + c])
                    bits[size_t(g.height - 1 - r) * rowBytes + c / 8] |= GLubyte(0x80 >> (c % 8));
        glNewList(listBase + i, GL_COMPILE);
        glBitmap(g.width, g.height, float(-g.left), float(g.height - g.top), float(g.advance), 0.0f,
                 bits.data());
        glEndList();
    }
    glPopClientAttrib();
    return TRUE;
}

}  // namespace quor::wgl
