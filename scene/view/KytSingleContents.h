#pragma once
// Contents of the single-part view: one part by itself, optionally with its vertices and a
// confirm box as point marks, the work coordinates (axis glyph, tools or a camera glyph in a
// work link's frame), and a collision pin.

#include "scene/view/KytLinkContents.h"

class GLUquadric;

class KytSingleContents : public KytLinkContents {
public:
    KytSingleContents();
    // The quadric is owned: a copy would delete it twice.
    KytSingleContents(const KytSingleContents&) = delete;
    KytSingleContents& operator=(const KytSingleContents&) = delete;
    ~KytSingleContents() override;

    void Destroy() override;
    void Create(KytScene* scene) override;
    void FitView(const KytViewPort* viewport) override;
    void Draw(KytLink* link, int targetMode) override;
    using KytLinkContents::Draw;
    void PickDraw(const KytLink* link) override;
    // The part translucent with one triangle in the inverse of its colour.
    void Draw(KytLink* link, const KytTriangle* triangle);

    void HilSetColPin(KytLink* pin) { ColPin = pin; }
    void HilResetColPin() { ColPin = nullptr; }

    // The host's settings.
    void SetWorkLink(KytLink* link) { WorkLink = link; }
    void SetToolLink(KytLink* link) { ToolLink = link; }
    void SetWorkMode(int mode) { WorkMode = mode; }
    void SetSilhouetteMode(int mode) { SilhouetteMode = mode; }
    void SetShowWorkCoordinates(bool on) { ShowWorkCoordinates = on; }
    // Up to three points in the part's frame; a null entry ends the list.
    void SetMarkedPoints(const float* a, const float* b, const float* c)
    {
        MarkedPoints[0] = a;
        MarkedPoints[1] = b;
        MarkedPoints[2] = c;
    }
    KytLink* GetWorkLink() const { return WorkLink; }
    const float (*GetConfirmBox() const)[3] { return ConfirmBox; }
    float GetMarkSize() const { return MarkSize; }
    GLUquadric* GetQuadric() const { return Quadric; }

    // Exposed for the view's tests of the glyph geometry.
    void DrawCircle(float radius, int axis) const;

protected:
    void DrawLink(KytLink* link);
    using KytLinkContents::DrawLink;
    void MakeLinkPoint(const KytLink* link) const;
    void DrawConfirmBox(const KytLink* link) const;
    void DrawWorkCoordinates(const KytLink* link);
    void DrawTool(KytLink* link, bool single);
    void DrawToolsPolygon(const KytLink* link) const;
    void DrawCamera() const;
    void DrawColPin();

    KytLink* WorkLink = nullptr;
    const float* MarkedPoints[3] = {nullptr, nullptr, nullptr};
    float ConfirmBox[8][3] = {};
    bool ShowWorkCoordinates = true;
    KytLink* ToolLink = nullptr;
    int WorkMode = 0;
    int SilhouetteMode = 0;
    KytLink* ColPin = nullptr;
    float MarkSize = 0.0f;
    GLUquadric* Quadric = nullptr;
    float CircleCos[16] = {};
    float CircleSin[16] = {};
    // The inverse colour of the last highlighted triangle.
    float afInverse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};
