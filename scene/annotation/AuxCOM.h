#pragma once
// A link's centre of mass: a sphere with a plumb line down to the ground plane.

#include "scene/annotation/AuxTarget.h"

class AuxCOM : public AuxTarget {
public:
    AuxCOM(unsigned int id = 0, KytLink* link = nullptr);
    explicit AuxCOM(const AuxCOM* source);
    AuxCOM(const AuxCOM& other);
    AuxCOM& operator=(const AuxCOM& other);
    ~AuxCOM() override;

    void Destroy() override;
    void Create(KytScene* scene) override;
    void Draw() override;
    void FitView(const KytViewPort* viewport) override;
    KytAuxContents* Duplicate() override;
    bool IsPickable() const override { return true; }

    // The world centre of mass of the link; false while it is not valid.
    bool GetCOM(WqVector3D& out);

    static void SetShow(bool show) { bShowCOM = show; }
    static bool IsShow() { return bShowCOM; }

    float Size = 0.0f;
    GLUquadricObj* Quadric = nullptr;

    static bool bShowCOM;
};

// The sphere and the plumb line of a centre of mass at a fixed point (size, quadric and up
// axis as the link's marker).
__attribute__((visibility("hidden"))) void DrawCOMMarker(GLUquadricObj* quadric, float size,
                                                         const WqVector3D& centre);
// The up-axis index as the markers read it: 1 y, 2 z, any other value x.
__attribute__((visibility("hidden"))) int COMUpAxis();
