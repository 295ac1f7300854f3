#pragma once
// The viewing volume in front of a rectangular screen of a part: the screen rectangle
// extruded by a depth, its top and bottom tilted and its far end widened, drawn as
// translucent faces fading away from the screen.

#include "scene/annotation/AuxTarget.h"

class AuxAreaCRT : public AuxTarget {
public:
    AuxAreaCRT(unsigned int id = 0, KytLink* target = nullptr);
    explicit AuxAreaCRT(const AuxAreaCRT* source);
    AuxAreaCRT(const AuxAreaCRT&) = default;
    AuxAreaCRT& operator=(const AuxAreaCRT&) = default;
    ~AuxAreaCRT() override;

    void Create(KytScene* scene) override;
    void Draw() override;
    KytAuxContents* Duplicate() override;

    float GetRightLeftAngle() const { return fRightLeftAngle; }
    float GetUpDownAngle() const { return fUpDownAngle; }
    float GetDepth() const { return fDepth; }
    int GetDrawMode() const { return nDrawMode; }
    void ChangeAngle(float rightLeft, float upDown);
    void ChangeDepth(float depth);
    void ChangeAngleDepth(float rightLeft, float upDown, float depth);
    // The mode only; the next rebuild follows it.
    void ChangeMode(int mode) { nDrawMode = mode; }
    void Reverse();
    void ReverseWidthHeight();
    void MakeDisp();
    // Corners from two opposite ones; the width runs along x when `xWidth`, else along the
    // largest extent. No rebuild.
    void SetPoints(const float p1[3], const float p2[3], bool xWidth);
    // Resizes to `diagonal` with the ratio height : width = ratioH : ratioW around the
    // centre; false, nothing changed, for a degenerate rectangle or ratioW 0. No rebuild.
    bool Set(float diagonal, float ratioW, float ratioH, float cx, float cy, float cz);
    void GetCenter(float& x, float& y, float& z) const;
    void GetSize(float& width, float& height) const;

    float fDepth = 1000.0f;
    float fRightLeftAngle = 130.0f;
    float fUpDownAngle = 130.0f;
    float afCorner[4][3] = {};
    bool bReverse = false;
    int nDrawMode = 0;
    float afVertex[8][3] = {};
    float afNormal[4][3] = {};

protected:
    void MakeDisp1();
    void MakeDisp2();

private:
    // The eight points with the bottom edge tilted by `bottomSign` and the top edge by the
    // opposite; false when the screen rectangle is degenerate (the points stay on it).
    bool MakePoints(float bottomSign);
    void DrawMode1() const;
    void DrawMode2() const;
};
