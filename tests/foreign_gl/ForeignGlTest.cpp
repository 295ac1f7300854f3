// A host linked with libGL ahead of OSMesa: its GL calls would go to a library without a
// context, so every picture would silently stay empty. Creating a context fails instead, with
// a log line, and the view's Create answers false.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>

#include "scene/view/KytOgl.h"

namespace {

TEST(ForeignGl, ContextCreationFailsWithALogLine) {
    ResetStandIn();
    HWND wnd = CreateStandInWindow(32, 32);
    KytOgl ogl(wnd, 32, 24);
    testing::internal::CaptureStderr();
    const bool created = ogl.Create(32, 32);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(created);
    EXPECT_NE(log.find("OpenGL calls do not reach OSMesa"), std::string::npos) << log;
    ogl.DeleteContext();
    DestroyWindow(wnd);
    ResetStandIn();
}

}  // namespace
