#pragma once
// A groove outline: two segments from Point3 over Point2 to Point1, world coordinates.

#include "scene/annotation/KytAuxContents.h"

class AuxDitch : public KytAuxContents {
public:
    explicit AuxDitch(unsigned int id = 0);
    explicit AuxDitch(const AuxDitch* source);
    AuxDitch(const AuxDitch&) = default;
    AuxDitch& operator=(const AuxDitch&) = default;
    ~AuxDitch() override;

    void Draw() override;
    KytAuxContents* Duplicate() override;
    void SetData(const WqVector3D& p1, const WqVector3D& p2, const WqVector3D& p3);

    WqVector3D Point1;
    WqVector3D Point2;
    WqVector3D Point3;
};
