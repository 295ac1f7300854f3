// 3D borders drawn into the GDI overlay.

#include <string>

#include "platform/wgl/State.h"

namespace quor::wgl {

namespace {

constexpr COLORREF kHilight = 0xFFFFFF;
constexpr COLORREF kLight = 0xE3E3E3;
constexpr COLORREF kShadow = 0xA0A0A0;
constexpr COLORREF kDarkShadow = 0x696969;

// One ring: top and left in `topLeft`, then bottom and right (over the corners) in
// `bottomRight`.
void Ring(HDC dc, int l, int t, int r, int b, UINT flags, COLORREF topLeft,
          COLORREF bottomRight)
{
    if (r <= l || b <= t)
        return;
    if (flags & BF_TOP)
        for (int x = l; x < r; ++x)
            SetPixel(dc, x, t, topLeft);
    if (flags & BF_LEFT)
        for (int y = t; y < b; ++y)
            SetPixel(dc, l, y, topLeft);
    if (flags & BF_BOTTOM)
        for (int x = l; x < r; ++x)
            SetPixel(dc, x, b - 1, bottomRight);
    if (flags & BF_RIGHT)
        for (int y = t; y < b; ++y)
            SetPixel(dc, r - 1, y, bottomRight);
}

}  // namespace

BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags)
{
    if (!detail::LiveDC(dc) || !rect)
        return FALSE;
    detail::Log(dc, "DrawEdge(" + std::to_string(rect->left) + "," + std::to_string(rect->top) +
                        "," + std::to_string(rect->right) + "," + std::to_string(rect->bottom) +
                        "," + std::to_string(edge) + "," + std::to_string(flags) + ")");
    const int l = rect->left, t = rect->top, r = rect->right, b = rect->bottom;
    if (edge & BDR_RAISEDOUTER)
        Ring(dc, l, t, r, b, flags, kLight, kDarkShadow);
    else if (edge & BDR_SUNKENOUTER)
        Ring(dc, l, t, r, b, flags, kShadow, kHilight);
    if (edge & BDR_RAISEDINNER)
        Ring(dc, l + 1, t + 1, r - 1, b - 1, flags, kHilight, kShadow);
    else if (edge & BDR_SUNKENINNER)
        Ring(dc, l + 1, t + 1, r - 1, b - 1, flags, kDarkShadow, kLight);
    return TRUE;
}

}  // namespace quor::wgl
