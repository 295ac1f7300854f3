#pragma once
// A view of the cut of the part tree by the plane of a section link: picks of crossings and
// line ends, printing, and rolling the camera about the view axis.

#include "scene/view/KytScene.h"
#include "scene/view/KytSectionConts.h"

class KytSectionScene : public KytScene {
public:
    KytSectionScene();
    KytSectionScene(KytLink* root, const char* name);
    ~KytSectionScene() override = default;

    bool Create(KytOgl* ogl, int width, int height) override;
    bool Create(bool init) override;
    void FitView(bool redraw) override;
    void Draw(bool makeCurrent) override;
    bool IsAddLight() const override { return false; }
    void SetLook(KytLink* link) override;

    void AreaZoom(int x1, int y1, int x2, int y2) override;
    virtual void Rolling(double angle, bool redraw);
    virtual void Rolling(int x1, int y1, int x2, int y2, bool redraw);
    virtual void ChangeBank(int x1, int y1, int x2, int y2, bool redraw);
    virtual void InitBank(bool redraw);

    void SetSectionLink(KytLink* link, bool redraw);
    KytLink* GetSectionLink() const;
    bool GetCrossPoint(int x1, int y1, int x2, int y2, _SECT_CROSS& cross);
    bool GetEndPoint(int x, int y, _SECT_ENDP* endp);
    void Vector2WinPos(WqVector3D p, int& x, int& y);
    void Print(CDC* dc, const CRect& print, const CRect& view);
    void PrintAuxContents(CDC* dc, const CRect& print, const CRect& view);

    // False: the second stage (the section measurements) is emptied on the next draw.
    bool bKeepSectMeasure = true;

protected:
    KytLinkContents* CreateConts() override;

private:
    void Setup();
    KytSectionConts* SectionContents() const;
    // Takes an overlay object out of the annotation and review chains it is filed in.
    void LeaveChains(KytAuxContents* obj);
    void SetCameraAndDraw(bool redraw);
};
