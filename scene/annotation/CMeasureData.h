#pragma once
// What the user picked for one measurement: two elements (points, faces, edges, circles or
// ridge lines of parts), each tied to its link, turned into absolute points, foot points,
// circle centres, radii and angles for the dimension annotation, and written and read as the
// indented "MeasureData" text block of the host's documents.

#include <iosfwd>
#include <string>

#include "platform/kernel/WqVector3D.h"

class KytLink;
class KytRidgeLine;
class TOKEN;
struct KytTriangle;

class CMeasureData {
public:
    CMeasureData();
    // Copies every member; ridge lines are duplicated, never shared. The pointer form clears
    // HostWord, the reference forms copy it.
    explicit CMeasureData(const CMeasureData* source);
    CMeasureData(const CMeasureData& other);
    CMeasureData& operator=(const CMeasureData& other);
    ~CMeasureData();

    // Back to "nothing picked"; deletes the ridge lines. Center is left as it is.
    void Init();

    // Stores a picked point of element `index` (0 or 1; any other index is refused) and
    // derives its working position from PointType[index], SnapType and Ridge[index].
    void SetPointData(int index, KytLink* link, KytTriangle* triangle, const WqVector3D& position,
                      const WqVector3D& normal);
    // Stores the circular edge nearest to the pick; `normal` receives its face normal. False,
    // the element unchanged, when no circle is found or the index is not 0 or 1.
    bool SetCircleData(int index, KytLink* link, KytTriangle* triangle,
                       const WqVector3D& position, WqVector3D& normal);
    // Absolute points of the measurement and the foot point (for angles: the arc's
    // construction). False when the measurement cannot be resolved.
    // Whether every element the points come from is there: both links, and the ridge lines
    // of line and edge elements (a load leaves none). Without them GetPoints has nothing to
    // measure, unlike its false for a height too small to show.
    bool HasPoints() const;
    bool GetPoints(WqVector3D& first, WqVector3D& second, WqVector3D& foot);

    // Writes the "MeasureData" block. Numbers are the shortest texts that read back to the
    // values held, whatever the stream's locale and formatting.
    void Save(std::ostream& out) const;
    // Reads a block: 0, or -1 with the object unchanged.
    int Load(TOKEN& token);

    void Scale(double factor);
    // The triangle of `link`'s mesh with the same three vertices as PointTriangle[index].
    KytTriangle* SearchSameTri(int index, KytLink* link) const;

    int HostWord = 0;
    int PointType[2] = {8, 8};
    int MeasureType = 0;
    bool LabelShown = false;
    KytLink* PointLink[2] = {nullptr, nullptr};          // not owned
    KytTriangle* PointTriangle[2] = {nullptr, nullptr};  // not owned
    WqVector3D Position[2];
    WqVector3D Center[2];
    double Radius[2] = {0.0, 0.0};
    WqVector3D Normal[2];
    KytRidgeLine* Ridge[2] = {nullptr, nullptr};  // owned
    double Angle = 0.0;
    int SnapType = 0;
    WqVector3D SavedPosition[2];
    WqVector3D SavedNormal[2];

private:
    void CopyFrom(const CMeasureData& other);
    bool CalcCrossPlaneAngle(WqVector3D& first, WqVector3D& second, WqVector3D& mid,
                             WqVector3D& normal);
    bool CalcCrossLineAngle(WqVector3D& first, WqVector3D& second, WqVector3D& mid,
                            WqVector3D& normal);
    void SaveTri(std::string& out, int index) const;
    int LoadBlock(TOKEN& token);
    int LoadPoint(TOKEN& token, int index);
    int LoadTri(TOKEN& token, int index);
    int SetTriangle(int index, const WqVector3D& p, const WqVector3D& q, const WqVector3D& r);
    static bool IsVEqual(const WqVector3D& a, const WqVector3D& b);
};
