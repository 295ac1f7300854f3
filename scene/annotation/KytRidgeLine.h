#pragma once
// Border of the flat face a pick lies on, as chains of border edges, and the border point
// nearest to the pick. Points are matched by pointer: two triangles share a point only when they
// hold the same vertex of the shape.

#include "platform/kernel/KytStack.h"
#include "platform/kernel/WqVector3D.h"

class KytLink;
struct KytTriangle;

// One border edge; a chain is owned through its first border.
class CElemBorder {
public:
    CElemBorder() = default;
    CElemBorder(const float* start, const float* end) : pStart(start), pEnd(end) {}
    // A copy would point into the same chain, which its holder frees.
    CElemBorder(const CElemBorder&) = delete;
    CElemBorder& operator=(const CElemBorder&) = delete;

    const float* pStart = nullptr;
    const float* pEnd = nullptr;
    CElemBorder* pNext = nullptr;
};

// Working record of CalcBorder: a triangle and, per edge (P1-P2, P2-P3, P3-P1), whether the
// edge was found shared with another record.
struct CElemTriangle {
    const KytTriangle* pTriangle = nullptr;
    bool abShared[3] = {false, false, false};
};

// Argument of GetCircle; it carries nothing yet.
struct CElemCircle {};

class KytRidgeLine {
public:
    KytRidgeLine() = default;
    KytRidgeLine(KytLink* link, const KytTriangle* triangle, const WqVector3D& pick);
    explicit KytRidgeLine(const KytRidgeLine* source);
    // The object owns its chains: copies go through the pointer form, which copies the first.
    KytRidgeLine(const KytRidgeLine&) = delete;
    KytRidgeLine& operator=(const KytRidgeLine&) = delete;
    ~KytRidgeLine();

    void Copy(const KytRidgeLine* source);
    void Get(const KytLink* link);
    bool CalcBorder();
    bool GetSeg();
    bool GetLine();
    bool GetCircle(CElemCircle* circle);

    KytLink* Link = nullptr;
    const KytTriangle* PickTriangle = nullptr;
    KytStack<const float> RidgePoints;
    KytStack<const float> SparePoints;
    KytStack<CElemBorder> LooseBorders;
    float PlaneOffset = 0.0f;
    WqVector3D PickPoint;
    float PlaneNormal[3] = {0.0f, 0.0f, 0.0f};
    KytStack<CElemBorder> BorderChains;
    const float* NearStart = nullptr;
    const float* NearEnd = nullptr;
    WqVector3D NearPoint;

    // Steps of CalcBorder, public so that each can be checked on its own.
    void MakeBorder(const float* start, const float* end);
    bool CheckShareLine(CElemTriangle& record, int edge, CElemTriangle& other, const float* a,
                        const float* b) const;
    CElemBorder* PickNextPoint(const float* point);
    CElemBorder* PickBeforePoint(const float* point);
    void ConnectBorder();

private:
    void Clear();
    void FreeChains(KytStack<CElemBorder>& chains);
    // The nearest border by perpendicular foot; `reorder` moves its chain to the head.
    bool NearestBorder(bool reorder);
};
