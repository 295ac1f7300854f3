#pragma once
// A polyline that follows a part's placement.

#include "scene/annotation/AuxTarget.h"

class AuxLineStrip : public AuxTarget {
public:
    explicit AuxLineStrip(unsigned int id = 0);
    explicit AuxLineStrip(const AuxLineStrip* source);
    AuxLineStrip(const AuxLineStrip& other);
    AuxLineStrip& operator=(const AuxLineStrip& other);
    ~AuxLineStrip() override;

    void Draw() override;
    KytAuxContents* Duplicate() override;
    // Replaces the points (in the link's coordinates) and the link. False, with no points
    // kept, when `points` is null for a positive count or the array cannot be made.
    bool SetData(unsigned long count, const WqVector3D* const points, KytLink* link);

    unsigned int PointCount = 0;
    WqVector3D* Points = nullptr;  // owned

    static float afLineColor[3];
    static float fLineWidth;
    static bool bDepthTest;

private:
    void CopyPoints(const AuxLineStrip& source);
};
