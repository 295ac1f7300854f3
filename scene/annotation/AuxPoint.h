#pragma once
// A single point in world coordinates, drawn over the parts.

#include "scene/annotation/KytAuxContents.h"

class AuxPoint : public KytAuxContents {
public:
    explicit AuxPoint(unsigned int id = 0, const WqVector3D& point = WqVector3D());
    explicit AuxPoint(const AuxPoint* source);
    AuxPoint(const AuxPoint&) = default;
    AuxPoint& operator=(const AuxPoint&) = default;
    ~AuxPoint() override;

    // Honours the draw flag, so the scene's hide switch reaches the point.
    bool IsDraw() const override;
    void Draw() override;
    KytAuxContents* Duplicate() override;
    void SetPoints(const WqVector3D& point) { Point = point; }

    WqVector3D Point;

    static float afPointColor[4];
    static float fPointSize;
};
