#pragma once
// A measuring grid over the whole visible area, in the screen plane at the look-at point:
// grids every 10, 50 and 100 model units and ticks every 10 along the centre cross.

#include "scene/annotation/KytAuxContents.h"

class AuxRuler : public KytAuxContents {
public:
    explicit AuxRuler(unsigned int id = 0);
    explicit AuxRuler(const AuxRuler* source);
    AuxRuler(const AuxRuler&) = default;
    AuxRuler& operator=(const AuxRuler&) = default;
    ~AuxRuler() override;

    void Create(KytScene* scene) override;
    void Draw() override;
    KytAuxContents* Duplicate() override;

    KytViewPort* ViewPort = nullptr;  // not owned

private:
    void DrawSection(const WqVector3D& m, const WqVector3D& h, const WqVector3D& v,
                     const WqVector3D& x, const WqVector3D& y, double halfW, double halfH,
                     double spacing) const;
    void DrawDivisions(const WqVector3D& m, const WqVector3D& h, const WqVector3D& v,
                       double halfW, double halfH, double spacing) const;
    // More lines to a half than it has pixels would merge into a solid field (and a huge
    // view would take forever to draw): such a spacing is left out.
    static bool Resolvable(double halfW, double halfH, double spacing);
};
