#pragma once
// The ground: a translucent square at the up offset, perpendicular to the up axis, under the
// camera's look-at point, with a grid in a colour that stands out from the background.

#include "scene/annotation/KytAuxContents.h"

class AuxGlobalPlane : public KytAuxContents {
public:
    // Any int a host passes is a value of the enum; only these two name a switch.
    enum GlobalItem : int {
        GLOBAL_GRID = 0,
        GLOBAL_PLANE = 1,
    };

    explicit AuxGlobalPlane(unsigned int id = 0);
    explicit AuxGlobalPlane(const AuxGlobalPlane* source);
    AuxGlobalPlane(const AuxGlobalPlane&) = default;
    AuxGlobalPlane& operator=(const AuxGlobalPlane&) = default;
    ~AuxGlobalPlane() override;

    void Destroy() override;
    void Create(KytScene* scene) override;
    void Draw() override;
    void FitView(const KytViewPort* viewport) override;
    KytAuxContents* Duplicate() override;

    static void SetParam(int axis, int plane, int grid);
    static void SetParam(int axis, int plane, int grid, float* const rgb);
    static void GetParam(int& axis, int& plane, int& grid);
    static void GetParam(int& axis, int& plane, int& grid, float* const rgb);
    static void SetDrawGrid(bool on) { bGridFlag = on; }
    static bool IsDrawGrid() { return bGridFlag; }
    void SetState(GlobalItem item, bool on);
    bool GetState(GlobalItem item) const;

    void DrawPlane();

    float Normal[3] = {0, 0, 0};
    float Corners[4][3] = {};
    float GridLines[4][3] = {};
    float GridStep = 1.0f;
    float GridColor[4] = {0, 0, 0, 1};
    int UpIndex = 0;
    int UIndex = 1;
    int VIndex = 2;

    static bool bPlaneFlag;
    static bool bGridFlag;
    static float afPlaneColor[4];

private:
    static int nDevCnt;
};
