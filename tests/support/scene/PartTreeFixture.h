#pragma once
// A scene drawing a test-built part tree through the real part-tree contents (or a subclass
// the test supplies), on a stand-in window with its context current.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/KytModel.h"
#include "scene/view/KytLinkContents.h"
#include "scene/view/KytScene.h"
#include "tests/support/scene/SceneFixture.h"

namespace scene_test {

class ContentsScene : public KytScene {
public:
    using KytScene::KytScene;
    std::function<KytLinkContents*()> make;
    void MakeCurrentForTest() const { MakeCurrent(); }

protected:
    KytLinkContents* CreateConts() override { return make ? make() : new KytLinkContents(); }
};

// Contents that log the walk's slots: "link:NAME" (with "+alpha" inside an alpha pass),
// "shape:NAME", "human:NAME", "active:NAME", "shapehuman:NAME", "box:NAME", "wirebox:NAME".
class WalkRecorder : public KytLinkContents {
public:
    void DrawLinkActive(KytLink* link, bool single) override;
    void DrawLinkHuman(KytLink* link, bool single) override;
    bool DrawSingleLink(KytLink* link) override;
    void DrawShape(const KytLink* link) override;
    void DrawShapeHuman(const KytLink* link) override;
    void DrawSingleBox(const KytLink* link) const override;
    void DrawSingleWireBox(const KytLink* link) const override;

    mutable std::vector<std::string> log;
    // Blend on and depth test off at each draw inside an alpha pass.
    std::vector<bool> alphaState;
    // Blend on, depth writes on, at each shape drawn.
    std::vector<std::pair<bool, bool>> shapeState;
};

class PartTreeFixture : public SceneFixture {
protected:
    void TearDown() override;
    // Creates the scene on `root` with a w x h context and fits the view.
    void Open(KytLink* root, int w = 64, int h = 64,
              std::function<KytLinkContents*()> make = {});
    // One frame of the scene, finished.
    void Frame();
    // Colour of pixel (x, y) from the bottom-left, 0 to 1.
    std::array<float, 3> Px(int x, int y) const;
    std::array<float, 3> Centre() const { return Px(width / 2, height / 2); }
    KytLinkContents& Contents() { return *scene->GetContents(); }
    // Sets the draw type through the scene, as the host does.
    void SetType(DRAWTYPE type, KytLink* a = nullptr, KytLink* b = nullptr);
    // A link with a w x w x w box shape of colour index `color` at `pos`.
    KytLink* Box(const char* name, KytLink* parent, WqVector3D pos, double w = 1.0,
                 uint16_t color = 0);

    KytModel model;
    std::unique_ptr<ContentsScene> scene;
    int width = 64, height = 64;
};

}  // namespace scene_test
