#pragma once
// Point measurements. AuxMeasure2Point: the straight distance between two points picked on
// parts, drawn as a dimension line with arrowheads and extension lines, offset from the points
// by a draggable offset, its value in millimetres as a label at the line's middle.
// AuxMeasureDatumPoint: the signed distance of a picked point from the XY plane of the first
// part's own frame, drawn from that plane to the point.

#include "scene/annotation/AuxAnnotate.h"

class AuxMeasure2Point : public AuxAnnotate {
public:
    AuxMeasure2Point();
    AuxMeasure2Point(unsigned int id, KytLink* link, WqVector3D& point, float* edgeStart,
                     float* edgeEnd);
    explicit AuxMeasure2Point(const AuxMeasure2Point* source);
    // Copies never share the quadric: Create makes one when needed.
    AuxMeasure2Point(const AuxMeasure2Point& other);
    AuxMeasure2Point& operator=(const AuxMeasure2Point& other);
    ~AuxMeasure2Point() override;

    using AuxAnnotate::DrawGDI;
    using AuxAnnotate::Pick;

    void Destroy() override;
    bool IsDraw() const override;
    void Create(KytScene* scene) override;
    void Draw() override;
    void FitView(const KytViewPort* viewport) override;
    KytAuxContents* Duplicate() override;
    bool IsTargetLink(KytLink* link) const override;
    WqVector3D GetFirstPoint() override;
    KytLink* GetSecondLink() const override;
    // The label's anchor: the middle of the dimension line in the window, and the extent of
    // the distance text in the font selected into `dc`.
    bool GetWindowPos(HDC dc, int& x, int& y, SIZE* size) override;
    void DrawGDI(KytOgl* ogl) override;
    void Dragging(KytOgl* ogl) override;
    bool Pick(KytOgl* ogl, int x, int y) override;
    void SetEndPos(const WqVector3D& pos) override;
    // Moves the offset; with keepPerpendicular, its part along the measured line is removed.
    bool MoveEndPos(const WqVector3D& delta, bool keepPerpendicular) override;
    // The offset of another point measurement; false for null or another class.
    bool CopyEndPos(const AuxAnnotate* other) override;

    // The second pick: refused (0, nothing changes) without a link or a first part.
    virtual double SetPair(KytLink* link, WqVector3D& point, float* edgeStart, float* edgeEnd);
    // World positions of the two picks and their distance.
    virtual double GetPoints(const WqVector3D& first, const WqVector3D& second,
                             WqVector3D& worldFirst, WqVector3D& worldSecond);
    virtual void GetEndPos(WqVector3D& out) const;

    double GetDistance() const { return dDistance; }
    const char* GetDistanceText() const { return szDistance; }
    int GetPairState() const { return nPairState; }

    KytLink* pSecondLink = nullptr;
    WqVector3D vFirstPoint;
    WqVector3D vEndPos;
    WqVector3D vFirstEnd;
    double dDistance = 0.0;
    int nPairState = 0;
    char szDistance[32] = "0";
    GLUquadric* pQuadric = nullptr;
    float fMarkSize = 0.0f;
    float* pEdgeStart[2] = {nullptr, nullptr};
    float* pEdgeEnd[2] = {nullptr, nullptr};

protected:
    // The world picks and the dimension line's ends.
    virtual void GetPoints2(WqVector3D& firstWorld, WqVector3D& secondWorld,
                            WqVector3D& firstEnd, WqVector3D& secondEnd);
    // What shows before the second pick.
    virtual void DrawPoint();
    virtual void CalcDistance();

    // The distance as "%.2lf mm", in exponent form when the fixed form does not fit.
    void FormatDistance(double distance);
    // The label's text colours, its box and the window segments of the drag feedback.
    void DragFeedback(KytOgl* ogl, const WqVector3D* ends, bool recalc);
    // Either link carries the show-target mark (in the scene's show-target mode).
    bool PassesTargetMode() const;
    static WqVector3D World(const KytLink* link, const WqVector3D& p);

private:
    void CopyOwn(const AuxMeasure2Point& other);
};

class AuxMeasureDatumPoint : public AuxMeasure2Point {
public:
    AuxMeasureDatumPoint() = default;
    AuxMeasureDatumPoint(unsigned int id, KytLink* link, WqVector3D& point);
    explicit AuxMeasureDatumPoint(const AuxMeasureDatumPoint* source);

    using AuxMeasure2Point::SetPair;

    void Draw() override;
    KytAuxContents* Duplicate() override;
    void Scale(double factor) override;
    void Dragging(KytOgl* ogl) override;
    // Moves the offset within the datum plane; false when the plane has no normal.
    bool MoveEndPos(const WqVector3D& delta, bool keepPerpendicular) override;
    // The picked point's foot on the datum plane and the point in world coordinates; the
    // distance between them.
    double GetPoints(const WqVector3D& first, const WqVector3D& second, WqVector3D& foot,
                     WqVector3D& worldSecond) override;

    // The datum pick: refused (0, nothing changes) without a link or a first part. Ends with
    // the signed distance computed, though it returns the unsigned one.
    double SetPair(KytLink* link, WqVector3D& point);

protected:
    void GetPoints2(WqVector3D& firstWorld, WqVector3D& secondWorld, WqVector3D& firstEnd,
                    WqVector3D& secondEnd) override;
    void DrawPoint() override;
    void CalcDistance() override;

private:
    // The datum plane's normal: the first part's z axis in world coordinates.
    WqVector3D DatumNormal() const;
    WqVector3D DatumOrigin() const;
    WqVector3D FootOnDatum(const WqVector3D& p) const;
};
