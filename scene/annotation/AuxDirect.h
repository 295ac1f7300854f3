#pragma once
// A purple rod showing a direction through a point or through a link's joint origin.

#include "scene/annotation/AuxTarget.h"

class AuxDirect : public AuxTarget {
public:
    explicit AuxDirect(unsigned int id = 0);
    explicit AuxDirect(const AuxDirect* source);
    AuxDirect(const AuxDirect& other);
    AuxDirect& operator=(const AuxDirect& other);
    ~AuxDirect() override;

    void Destroy() override;
    void Create(KytScene* scene) override;
    void Draw() override;
    void FitView(const KytViewPort* viewport) override;
    KytAuxContents* Duplicate() override;

    void SetUp(const WqVector3D& up) { UpVector = up; }
    void SetLink(KytLink* link);
    void SetPoint(const WqVector3D& p);

    WqVector3D UpVector;
    WqVector3D Point;
    bool UsePoint = false;
    float Size = 0.0f;
    GLUquadricObj* Quadric = nullptr;

    // The rod's placement, by columns: the last one drawn.
    static float afMatrix[16];
};
