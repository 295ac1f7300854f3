#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "scene/view/KytOgl.h"

namespace quor::test {

// A window with a created KytOgl made current, on a stand-in reset before and after.
class GlFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Window of w x h with its context, current, viewport and matrices reset.
    KytOgl& Open(int w = 32, int h = 32);
    // Colour of window pixel (x, y) from the top-left, after a swap.
    COLORREF Pixel(int x, int y) const { return GetPixel(ogl->GetHdc(), x, y); }

    HWND wnd = nullptr;
    std::unique_ptr<KytOgl> ogl;
};

}  // namespace quor::test
