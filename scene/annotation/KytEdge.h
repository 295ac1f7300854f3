#pragma once
// Circular edges of a link's bare triangle mesh: from a picked triangle, find the flat face the
// pick lies on, the segments where it meets faces of another orientation, join them into
// polylines and fit a circle through the polyline nearest to the pick. Mesh points are matched
// by their coordinates here, never by pointer.

#include "platform/kernel/KytStack.h"
#include "platform/kernel/WqMatrix33D.h"
#include "platform/kernel/WqVector3D.h"

class KytLink;
struct KytTriangle;

// A boundary segment: two points of the mesh, not owned.
struct KytSeg {
    const float* first = nullptr;
    const float* second = nullptr;
};

// A polyline node; whoever holds the first node owns the chain.
struct KytLines {
    const float* point = nullptr;
    KytLines* next = nullptr;
};

class KytEdge {
public:
    KytEdge();
    KytEdge(const KytLink* link, const KytTriangle* triangle, const WqVector3D& pick);
    // The lists own segments and polylines: a copy would free them twice.
    KytEdge(const KytEdge&) = delete;
    KytEdge& operator=(const KytEdge&) = delete;
    ~KytEdge();

    // Starts a new query; every list of the previous one is emptied.
    void SetData(const KytLink* link, const KytTriangle* triangle, const WqVector3D& pick);
    bool CalcCircle(WqVector3D& centre, double& radius, WqVector3D& point);
    bool GetNormal(WqVector3D& normal) const;

    void Clear();
    void ClearLine(KytStack<KytLines>& lines);
    void ClearLine();
    void ClearSeg(KytStack<KytSeg>& segs);
    void ClearSeg();

    static constexpr int kSlots = 4;

    const float* EdgeStart[kSlots];
    const float* EdgeEnd[kSlots];
    const KytLink* Link = nullptr;
    WqVector3D PickPoint;
    const KytTriangle* PickTriangle = nullptr;
    KytStack<const KytTriangle> Neighbours;
    KytStack<const KytTriangle> PointShared[kSlots];
    KytStack<const KytTriangle> Coplanar[kSlots];
    KytStack<const KytTriangle> Others[kSlots];
    KytStack<KytSeg> Segments[kSlots];
    KytStack<KytLines> Lines[kSlots];

    // The steps of CalcCircle, public so that each can be checked on its own.
    void GetNeighborTriangleOwnLine();
    bool GetNeighborTriangleOwnPoint(int slot, const KytTriangle* triangle);
    bool SwitchTriangle(KytStack<const KytTriangle>& all, KytStack<const KytTriangle>& parallel,
                        KytStack<const KytTriangle>& other) const;
    bool CheckPointShare(const KytTriangle* triangle, const float* point) const;
    const KytTriangle* CheckLineShare(const KytStack<const KytTriangle>& list, const float* a,
                                      const float* b, long skipIndex) const;
    const KytTriangle* CheckLineShare(const KytStack<const KytTriangle>& list, const float* a,
                                      const float* b, const KytTriangle* skip) const;
    void GetBoundingPoint(const KytStack<const KytTriangle>& face,
                          const KytStack<const KytTriangle>& others, KytStack<KytSeg>& segs);
    KytLines* PickSegment(KytStack<KytSeg>& segs, const float* point);
    void GetEdgeLine(KytStack<KytSeg>& segs, KytStack<KytLines>& lines);
    bool SortLine(KytStack<KytLines>& lines) const;

    // Two triangles that make a flat face alone: one normal record and equal isosceles bases.
    static bool IsFlatPair(const KytTriangle* a, const KytTriangle* b);
    // Same point: every coordinate within the float epsilon.
    static bool SamePoint(const float* a, const float* b);

private:
    void EmptyLists();
};

// The circle through three points; false when they are collinear or coincide.
bool CalcCircleParameter(const WqVector3D& p1, const WqVector3D& p2, const WqVector3D& p3,
                         double& radius, WqVector3D& centre);
// Rotation by `angle` radians about the unit `axis`.
void MakeAxisRotMatrix(double angle, const WqVector3D& axis, WqMatrix33D& out);
