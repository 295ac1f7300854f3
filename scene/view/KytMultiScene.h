#pragma once
// A view of a caller-chosen list of links instead of the whole part tree. The host owns the
// list and keeps it alive while the scene can draw.

#include "scene/view/KytScene.h"

class KytMultiContents;

class KytMultiScene : public KytScene {
public:
    explicit KytMultiScene(KytStack<KytLink>* parts);
    ~KytMultiScene() override = default;

    bool Create(KytOgl* ogl, int width, int height) override;
    using KytScene::Create;
    void FitView(bool redraw) override;
    void Draw(bool makeCurrent) override;
    bool CheckZClip() override;

    // Stores the list in the scene and its contents; draws when asked.
    void SetDrawParts(KytStack<KytLink>* parts, bool redraw);
    KytStack<KytLink>* GetDrawParts() const { return DrawParts; }
    // Prepares silhouette edge data for the shapes of the list not prepared yet.
    void MakeAlphaEdgeData();

protected:
    KytLinkContents* CreateConts() override;

private:
    KytMultiContents* MultiContents() const;

    KytStack<KytLink>* DrawParts = nullptr;
};
