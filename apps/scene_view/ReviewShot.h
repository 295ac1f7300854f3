#pragma once
// review.jpg: numbered review balloons, arrows with filled and open heads, a parts connection
// from the post's reference place to its moved one, and constraint labels with the active pair
// framed; the colours are checked at their expected places.

#include <filesystem>

#include "platform/wgl/Wgl.h"

// Draws through a new scene on `wnd` into the bitmap selected into `dc` (24-bit, width x
// height, pixels at `bits`); 0 when the picture is written and its checks pass.
int ShootReview(const std::filesystem::path& out, quor::wgl::HWND wnd, quor::wgl::HDC dc,
                void* bits, int width, int height);
