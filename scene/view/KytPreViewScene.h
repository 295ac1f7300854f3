#pragma once
// A small view of one link chosen by the host (a part or a subassembly), optionally only the
// links marked as targets below it.

#include "scene/view/KytScene.h"

class KytPreViewScene : public KytScene {
public:
    KytPreViewScene();
    KytPreViewScene(KytLink* root, const char* name);
    ~KytPreViewScene() override = default;

    bool Create(KytOgl* ogl, int width, int height) override;
    using KytScene::Create;
    void FitView(bool redraw) override;
    void Draw(bool makeCurrent) override;
    bool CheckZClip() override;
    void SetLook(KytLink* link) override;

    // The link becomes the root; nothing is redrawn.
    void ChangePart(KytLink* link);
    void SetTargetOnly(bool on);
    bool IsTargetOnly() const { return bTargetOnly; }

protected:
    KytLinkContents* CreateConts() override;

private:
    void Setup();
    // The type mask of the contents (the preview's default when there are none yet).
    int TypeMask() const;

    bool bTargetOnly = false;
};
