#pragma once
// Coordinate-axes glyph (three lines with labels and end cones) and the work-axis glyph, both
// owned and drawn by the contents that draw the part tree, at a link's placement.

#include "scene/view/KytContents.h"

class KytOgl;
class KytFont;

class AuxAxis : public KytContents {
public:
    // Drawing starts off.
    AuxAxis(unsigned int id, float lineWidth);
    // Id, draw flag, width, colours, ends and cone sizes of `source`; no quadric, no font.
    explicit AuxAxis(const AuxAxis* source);
    AuxAxis(const AuxAxis&) = delete;
    AuxAxis& operator=(const AuxAxis&) = delete;
    ~AuxAxis() override;

    void Destroy() override;
    void Draw() override;
    virtual void SetSize(float length, float coneSize);

    using KytContents::Create;
    // Takes the context's label font (making it when missing) and a new quadric.
    void Create(KytOgl* ogl);
    void SetColor(float r, float g, float b);
    void SetAxisColor(int axis, const float* rgb);

    float LineWidth;
    float LineColor[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float AxisColors[3][4] = {{0.7f, 0, 0, 1}, {0, 0.7f, 0, 1}, {0, 0, 0.7f, 1}};
    float AxisEnds[3][3] = {};
    float ConeRadius = 0.0f;
    float ConeHeight = 0.0f;
    GLUquadricObj* Quadric = nullptr;
    KytFont* Font = nullptr;
};

class AuxWorkAxis : public AuxAxis {
public:
    AuxWorkAxis(unsigned int id, float lineWidth) : AuxAxis(id, lineWidth) {}
    ~AuxWorkAxis() override;

    void Destroy() override;
    using AuxAxis::Create;
    void Create(KytScene* scene) override;
    void Draw() override;
    void SetSize(float length, float coneSize) override;

    float WorkPoints[6][3] = {};
    float WorkLength = 0.0f;
    GLUquadricObj* WorkQuadric = nullptr;
};
