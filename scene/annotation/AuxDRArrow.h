#pragma once
// Design-review arrow: a shaft between two world points with heads whose corners are kept in
// world coordinates (CalcCoordinate after every change of view or points), picked by its ends,
// shaft and heads; type AUXTYPE_DR, id 41, with its own review chain, number and backup flag.

#include "scene/annotation/AuxTarget.h"

class KytOgl;
class KytScene;
class CPoint;
struct KytDRArrowData;

class AuxDRArrow : public AuxTarget {
public:
    enum { ID = 41 };

    AuxDRArrow();
    AuxDRArrow(unsigned int id, KytLink* link);
    explicit AuxDRArrow(const AuxDRArrow* source);
    AuxDRArrow(const AuxDRArrow& other);
    AuxDRArrow& operator=(const AuxDRArrow& other);
    ~AuxDRArrow() override;

    void Draw() override;
    KytAuxContents* Duplicate() override;
    int GetAuxType() override;
    void CheckVisual(KytLink* link) override;

    // Two-part hook; these objects have none.
    virtual KytLink* GetSecondLink() const { return nullptr; }
    // Moves the end that the last pick hit (1 start, 2 end, 3 both) by `delta`.
    virtual bool MoveEndPos(const WqVector3D& delta, bool flag);
    // Takes the other record's start and end points.
    virtual bool CopyEndPos(const AuxDRArrow* other);
    // Arrows give no drag feedback of their own.
    virtual void Dragging(KytOgl* ogl) {}
    // Hit test in window coordinates against the class's view: ends first (within 5 pixels),
    // then the shaft and the heads within half the line width plus 5; sets nDragMode.
    using KytAuxContents::Pick;
    virtual bool Pick(KytOgl* ogl, int x, int y);

    int GetNo() const { return nNo; }
    // Head corners in world coordinates from the current view of `scene`.
    void CalcCoordinate(KytScene* scene);
    // The start (end) point becomes the world point under the window point.
    void MoveOrgCoordinate(KytScene* scene, const CPoint& point);
    void MoveEndCoordinate(KytScene* scene, const CPoint& point);
    // By nDragMode: sets the start (1) or the end (2) to the world point under the window
    // point, or takes that point off both (3).
    void MoveCoordinate(KytScene* scene, const CPoint& point);
    // The record's design-review id, 0 without a record.
    unsigned long GetDRID() const;
    // Drawn only as a live object of a shown, review-visible record on a visible part; while
    // review pages print, only when the print selection has this class's bit.
    bool IsDraw() const override;
    // The same copy as Duplicate, typed.
    AuxDRArrow* DuplicateDRArrow();
    // From this object along its chain: the first whose record has the number `no`.
    AuxDRArrow* SearchArrow(int no);
    AuxDRArrow* GetNext() const { return pNextDRArrow; }
    void ChangeNext(AuxDRArrow* next) { pNextDRArrow = next; }
    // Links `obj` after the last object of the chain that follows this one.
    void Append(AuxDRArrow* obj);
    // Next number of the class counter.
    int SetNo();
    void SetNo(int no) { nNo = no; }
    // From this object along its chain: the first whose record has the key of `record`.
    AuxDRArrow* SearchArrow(const KytDRArrowData* record);

    KytDRArrowData* pDRData = nullptr;
    bool bPicked = false;
    bool bBackup = false;
    AuxDRArrow* pNextDRArrow = nullptr;
    int nNo = 0;
    // Head corners: start side 1 and 2, end side 1 and 2.
    WqVector3D avHead[4];
    // What the last successful pick hit: 1 start, 2 end, 3 shaft; 0 before any.
    int nDragMode = 0;

    static int nCounter;
    // The view the scene reads before it picks these objects.
    static int viewP[4];
    static double modelM[16];
    static double projM[16];
};
