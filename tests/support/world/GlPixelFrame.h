#pragma once
// A drawing renderer installed as the world's renderer for one test, drawing small frames
// whose pixels the test reads back.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/glrender/GlRenderer.h"
#include "tests/support/world/LogCapture.h"
#include "world/core/InterfaceTable.h"

namespace quor::test {

struct GlPixelFrame {
    static constexpr int kWidth = 96;
    static constexpr int kHeight = 72;

    LogCapture log;
    host::GlRenderer gl;
    std::vector<std::uint8_t> pixels;

    GlPixelFrame() { quor::Interfaces().renderer = &gl; }
    ~GlPixelFrame() { quor::Interfaces().renderer = nullptr; }
    // False without a GL context (the test is skipped then).
    bool Begin(render::IRenderCamera* camera = nullptr) { return gl.BeginFrame(camera, 0xFF000000u, kWidth, kHeight); }
    void End() {
        gl.EndFrame();
        pixels = gl.ReadPixels();
    }
    // Red, green, blue at (x, y), top row first.
    std::array<int, 3> At(int x, int y) const {
        const std::size_t at = (std::size_t(y) * kWidth + std::size_t(x)) * 4;
        return {pixels[at], pixels[at + 1], pixels[at + 2]};
    }
};

}  // namespace quor::test
