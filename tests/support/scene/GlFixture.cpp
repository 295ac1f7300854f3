#include "tests/support/scene/GlFixture.h"

namespace quor::test {

void GlFixture::SetUp()
{
    ResetStandIn();
    KytOgl::ResetHwnd();
    KytOgl::bAllwaysBackFaceDraw = false;
    KytOgl::bEnableCullFaceWhenClipping = true;
    KytOgl::bLineAntiAlias = true;
}

void GlFixture::TearDown()
{
    if (ogl)
        ogl->DeleteContext();
    ogl.reset();
    KytOgl::ResetHwnd();
    KytOgl::bAllwaysBackFaceDraw = false;
    KytOgl::bEnableCullFaceWhenClipping = true;
    KytOgl::bLineAntiAlias = true;
    ResetStandIn();
}

KytOgl& GlFixture::Open(int w, int h)
{
    wnd = CreateStandInWindow(w, h);
    ogl = std::make_unique<KytOgl>(wnd, 32, 24);
    EXPECT_TRUE(ogl->Create(w, h));
    ogl->MakeCurrent();
    EXPECT_NE(glGetString(GL_RENDERER), nullptr);
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return *ogl;
}

}  // namespace quor::test
