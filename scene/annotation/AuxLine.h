#pragma once
// A line segment in world coordinates, drawn over the parts or, with the depth switch, through them.

#include "scene/annotation/KytAuxContents.h"

class AuxLine : public KytAuxContents {
public:
    explicit AuxLine(unsigned int id = 0);
    AuxLine(unsigned int id, const WqVector3D& start, const WqVector3D& end);
    explicit AuxLine(const AuxLine* source);
    AuxLine(const AuxLine&) = default;
    AuxLine& operator=(const AuxLine&) = default;
    ~AuxLine() override;

    // Honours the draw flag, so the scene's hide switch reaches the segment.
    bool IsDraw() const override;
    void Draw() override;
    KytAuxContents* Duplicate() override;
    void SetPoints(const WqVector3D& start, const WqVector3D& end);

    WqVector3D StartPoint;
    WqVector3D EndPoint;

    static float afLineColor[3];
    static float fLineWidth;
    static bool bDepthTest;
};

void KYT_SetAuxLineDepth(bool on);
