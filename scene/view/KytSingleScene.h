#pragma once
// A view of one part by itself, for picking its faces, edge points and vertices and showing
// what was picked.

#include "scene/view/KytScene.h"

class KytSingleContents;

class KytSingleScene : public KytScene {
public:
    KytSingleScene();
    KytSingleScene(KytLink* root, const char* name);
    ~KytSingleScene() override = default;

    bool Create(KytOgl* ogl, int width, int height) override;
    using KytScene::Create;
    void FitView(bool redraw) override;
    void Draw(bool makeCurrent) override;
    bool Pick(int x, int y, KytPickData* out, bool aim, bool withAux) override;

    // The part shown; nothing is drawn.
    void ChangePart(KytLink* link) { m_pRootLink = link; }
    void DrawFace(const KytTriangle* triangle, WqVector3D* lookAt, bool moveLookAt);
    void DrawCircle(const WqVector3D& centre, const WqVector3D& start, const WqVector3D& axis,
                    bool moveLookAt);
    void DrawLine(WqVector3D& a, WqVector3D& b, bool moveLookAt);
    void DrawPoint(WqVector3D& p, bool moveLookAt);

    KytSingleContents* GetSingleContents() const;

protected:
    KytLinkContents* CreateConts() override;

private:
    // The frame with one mark drawn over it by `mark`.
    template <class Mark> void DrawMark(const WqVector3D* lookAt, Mark mark);
};
