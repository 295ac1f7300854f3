#pragma once
// A centre-of-mass marker at a fixed world point.

#include "scene/annotation/KytAuxContents.h"

class AuxCOM2 : public KytAuxContents {
public:
    explicit AuxCOM2(unsigned int id = 0, const WqVector3D& position = WqVector3D());
    explicit AuxCOM2(const AuxCOM2* source);
    AuxCOM2(const AuxCOM2& other);
    AuxCOM2& operator=(const AuxCOM2& other);
    ~AuxCOM2() override;

    void Destroy() override;
    void Create(KytScene* scene) override;
    void Draw() override;
    void FitView(const KytViewPort* viewport) override;
    KytAuxContents* Duplicate() override;

    float Size = 0.0f;
    GLUquadricObj* Quadric = nullptr;
    WqVector3D Position;
};
