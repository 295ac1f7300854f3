#include "tests/support/scene/PartTreeFixture.h"

#include "scene/view/KytViewPort.h"

namespace scene_test {

void WalkRecorder::DrawLinkActive(KytLink* link, bool single)
{
    log.push_back("active:" + link->name);
    KytLinkContents::DrawLinkActive(link, single);
}

void WalkRecorder::DrawLinkHuman(KytLink* link, bool single)
{
    log.push_back("human:" + link->name);
    KytLinkContents::DrawLinkHuman(link, single);
}

bool WalkRecorder::DrawSingleLink(KytLink* link)
{
    log.push_back("link:" + link->name + (bAlphaPass ? "+alpha" : ""));
    if (bAlphaPass)
        alphaState.push_back(glIsEnabled(GL_BLEND) && !glIsEnabled(GL_DEPTH_TEST));
    return KytLinkContents::DrawSingleLink(link);
}

void WalkRecorder::DrawShape(const KytLink* link)
{
    log.push_back("shape:" + link->name);
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    shapeState.emplace_back(glIsEnabled(GL_BLEND) == GL_TRUE, depthWrites == GL_TRUE);
    KytLinkContents::DrawShape(link);
}

void WalkRecorder::DrawShapeHuman(const KytLink* link)
{
    log.push_back("shapehuman:" + link->name);
    KytLinkContents::DrawShapeHuman(link);
}

void WalkRecorder::DrawSingleBox(const KytLink* link) const
{
    log.push_back("box:" + link->name);
    KytLinkContents::DrawSingleBox(link);
}

void WalkRecorder::DrawSingleWireBox(const KytLink* link) const
{
    log.push_back("wirebox:" + link->name);
    KytLinkContents::DrawSingleWireBox(link);
}

void PartTreeFixture::TearDown()
{
    scene.reset();
    KytColor::SetTable({});
    SceneFixture::TearDown();
}

void PartTreeFixture::Open(KytLink* root, int w, int h, std::function<KytLinkContents*()> make)
{
    width = w;
    height = h;
    scene = std::make_unique<ContentsScene>(root, "PartTree");
    scene->make = std::move(make);
    ASSERT_TRUE(scene->Create(NewOgl(w, h), w, h));
    scene->FitView(false);
}

void PartTreeFixture::Frame()
{
    scene->Draw(false);
    glFinish();
}

std::array<float, 3> PartTreeFixture::Px(int x, int y) const
{
    float rgb[3] = {0, 0, 0};
    glReadPixels(x, y, 1, 1, GL_RGB, GL_FLOAT, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

void PartTreeFixture::SetType(DRAWTYPE type, KytLink* a, KytLink* b)
{
    scene->ChangeDrawType(type, a, b, false);
}

KytLink* PartTreeFixture::Box(const char* name, KytLink* parent, WqVector3D pos, double w,
                              uint16_t color)
{
    return KytBuild::AddBox(model, name, parent, pos, w, w, w, color);
}

}  // namespace scene_test
