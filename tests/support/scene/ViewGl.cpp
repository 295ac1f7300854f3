#include "tests/support/scene/ViewGl.h"

#include "platform/wgl/Wgl.h"

#include <GL/gl.h>

#include <cmath>

namespace viewtest {

using namespace quor::wgl;

ViewGl::ViewGl(int width, int height, int bitCount) : width_(width), height_(height) {
    window_ = CreateStandInWindow(width, height);
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFOHEADER& h = info_.bmiHeader;
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bitCount);
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(ImageSize());
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info_, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<uint8_t*>(bits);
    if (!bitmap_ || !bits_) return;
    previous_ = SelectObject(dc_, bitmap_);
    // The generic formats of 16-bit bitmaps carry 16 depth bits.
    const unsigned char depthBits = bitCount == 16 ? 16 : 24;
    ogl_ = std::make_unique<KytOglMem>(window_, dc_, static_cast<unsigned char>(bitCount), depthBits);
    if (!ogl_->Create(width, height)) return;
    ogl_->MakeCurrentFource();
    ready_ = glGetString(GL_RENDERER) != nullptr;
    glViewport(0, 0, width, height);
}

ViewGl::~ViewGl() {
    if (ogl_) ogl_->DeleteContext();
    ogl_.reset();
    KytOgl::ResetHwnd();
    if (dc_ && previous_) SelectObject(dc_, previous_);
    // Deleting the device context lets go of the bitmap selected into it.
    if (dc_) DeleteDC(dc_);
    if (bitmap_) DeleteObject(bitmap_);
    if (window_) DestroyWindow(window_);
}

int ViewGl::Stride() const { return ((width_ * info_.bmiHeader.biBitCount + 31) / 32) * 4; }

unsigned long ViewGl::ImageSize() const {
    return static_cast<unsigned long>(Stride()) * static_cast<unsigned long>(height_);
}

std::array<int, 3> ViewGl::Pixel(int x, int y) const {
    const int bpp = info_.bmiHeader.biBitCount / 8;
    const uint8_t* p = bits_ + static_cast<size_t>(height_ - 1 - y) * Stride() + x * bpp;
    return {p[2], p[1], p[0]};
}

Mat4 ReadMatrix(unsigned int which) {
    Mat4 m{};
    glGetDoublev(which, m.data());
    return m;
}

Mat4 LookAtMatrix(const double eye[3], const double at[3], const double up[3]) {
    auto normalize = [](double v[3]) {
        const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (l > 0)
            for (int i = 0; i < 3; ++i) v[i] /= l;
    };
    auto cross = [](const double a[3], const double b[3], double out[3]) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    double f[3] = {at[0] - eye[0], at[1] - eye[1], at[2] - eye[2]};
    normalize(f);
    double s[3], u[3];
    cross(f, up, s);
    normalize(s);
    cross(s, f, u);
    // Rows s, u, -f; then the eye moved to the origin.
    Mat4 m{};
    for (int i = 0; i < 3; ++i) {
        m[i * 4 + 0] = s[i];
        m[i * 4 + 1] = u[i];
        m[i * 4 + 2] = -f[i];
    }
    m[15] = 1;
    for (int r = 0; r < 3; ++r) {
        double t = 0;
        for (int i = 0; i < 3; ++i) t += m[i * 4 + r] * eye[i];
        m[12 + r] = -t;
    }
    return m;
}

}  // namespace viewtest
