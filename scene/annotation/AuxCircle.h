#pragma once
// A dashed circle with its centre dot, in the coordinates of a part (or the world).

#include "scene/annotation/KytAuxContents.h"

class KytLink;

class AuxCircle : public KytAuxContents {
public:
    explicit AuxCircle(unsigned int id = 0);
    explicit AuxCircle(const AuxCircle* source);
    AuxCircle(const AuxCircle&) = default;
    AuxCircle& operator=(const AuxCircle&) = default;
    ~AuxCircle() override;

    void Draw() override;
    KytAuxContents* Duplicate() override;
    void SetData(const WqVector3D& center, const WqVector3D& normal, const WqVector3D& radiusPoint,
                 KytLink* link);
    // Only the centre dot.
    void SetData(const WqVector3D& center, KytLink* link);
    // Keeps the direction of the radius point; the sign of `r` is ignored. False when the
    // radius point has no direction from the centre.
    bool SetRadius(double r);
    void SetColor(float r, float g, float b);

    WqVector3D Normal;
    WqVector3D Center;
    WqVector3D RadiusPoint;
    KytLink* Link = nullptr;  // not owned
    float Color[3] = {1.0f, 1.0f, 0.0f};
    bool HasCircle = true;
};
