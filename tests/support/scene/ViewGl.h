#pragma once
// A current OpenGL context for view tests: a memory device context with a 24-bit DIB and a
// KytOglMem created on it, made current for the life of the object.

#include "scene/view/KytOglMem.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace viewtest {

class ViewGl {
public:
    ViewGl(int width, int height, int bitCount = 24);
    ~ViewGl();
    ViewGl(const ViewGl&) = delete;
    ViewGl& operator=(const ViewGl&) = delete;

    bool Ready() const { return ready_; }
    KytOglMem& Ogl() { return *ogl_; }
    quor::wgl::BITMAPINFO& Info() { return info_; }
    uint8_t* Bits() { return bits_; }
    unsigned long ImageSize() const;
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Stride() const;

    // Pixel (x, y) of the DIB, y counted from the top of the picture, as r, g, b.
    std::array<int, 3> Pixel(int x, int y) const;

private:
    int width_, height_;
    quor::wgl::BITMAPINFO info_{};
    quor::wgl::HWND window_ = nullptr;
    quor::wgl::HDC dc_ = nullptr;
    quor::wgl::HBITMAP bitmap_ = nullptr;
    quor::wgl::HGDIOBJ previous_ = nullptr;
    uint8_t* bits_ = nullptr;
    std::unique_ptr<KytOglMem> ogl_;
    bool ready_ = false;
};

// 4x4 column-major matrices as OpenGL reads them back.
using Mat4 = std::array<double, 16>;
Mat4 ReadMatrix(unsigned int which);
// The matrix gluLookAt loads, computed by hand.
Mat4 LookAtMatrix(const double eye[3], const double at[3], const double up[3]);

}  // namespace viewtest
