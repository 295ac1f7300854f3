#pragma once
// Design-review parts connection: a path from where a part stands in the reference state to
// where it stands now, along one axis, across at a rate, and along the axis again; type
// AUXTYPE_DR, id 38, with its own review chain, number and backup flag.

#include "scene/annotation/AuxTarget.h"
#include "scene/view/KytPlatform.h"

class KytOgl;
struct KytDRPartsConnectData;

class AuxDRPartsConnect : public AuxTarget {
public:
    enum { ID = 38 };

    AuxDRPartsConnect();
    AuxDRPartsConnect(unsigned int id, KytLink* link);
    explicit AuxDRPartsConnect(const AuxDRPartsConnect* source);
    AuxDRPartsConnect(const AuxDRPartsConnect& other);
    AuxDRPartsConnect& operator=(const AuxDRPartsConnect& other);
    ~AuxDRPartsConnect() override;

    void Draw() override;
    KytAuxContents* Duplicate() override;
    int GetAuxType() override;
    void CheckVisual(KytLink* link) override;

    // Two-part hook; these objects have none.
    virtual KytLink* GetSecondLink() const { return nullptr; }
    // No drag feedback of its own.
    virtual void Dragging(KytOgl* ogl) {}
    // Frees the saved background and forgets the drag rectangle and lines.
    virtual void EndDrag();
    // Hit tests in window coordinates against the class's view, within 5 pixels: the
    // crossing segment (Pick) or any of the three segments (Pick2).
    using KytAuxContents::Pick;
    virtual bool Pick(KytOgl* ogl, int x, int y);
    virtual bool Pick2(KytOgl* ogl, int x, int y);
    // Moves the crossing along the path's axis by the delta's component on it.
    virtual bool MoveEndPos(const WqVector3D& delta, bool flag);
    // Takes the other record's rate.
    virtual bool CopyEndPos(const AuxDRPartsConnect* other);

    int GetNo() const { return nNo; }
    // Rates from 0 to 1 only; false (rate kept) otherwise or without a record.
    bool ChangeRate(double rate);
    // The part's reference point in its reference placement and in its current one.
    bool GetBothEndPos(WqVector3D& from, WqVector3D& to) const;
    // The two corners of the path.
    bool GetCenterPos(WqVector3D& a, WqVector3D& b) const;
    // The record's design-review id, 0 without a record.
    unsigned long GetDRID() const;
    // Drawn only as a live object of a shown, review-visible record on a visible part; while
    // review pages print, only when the print selection has this class's bit.
    bool IsDraw() const override;
    // The same copy as Duplicate, typed.
    AuxDRPartsConnect* DuplicateDRPartsConnect();
    // From this object along its chain: the first whose record has the number `no`.
    AuxDRPartsConnect* SearchPartsConnect(int no);
    AuxDRPartsConnect* GetNext() const { return pNextDRPartsConnect; }
    void ChangeNext(AuxDRPartsConnect* next) { pNextDRPartsConnect = next; }
    // Links `obj` after the last object of the chain that follows this one.
    void Append(AuxDRPartsConnect* obj);
    // Next number of the class counter.
    int SetNo();
    void SetNo(int no) { nNo = no; }
    // From this object along its chain: the first whose record has the key of `record`.
    AuxDRPartsConnect* SearchPartsConnect(const KytDRPartsConnectData* record);

    KytDRPartsConnectData* pDRData = nullptr;
    bool bPicked = false;
    bool bBackup = false;
    AuxDRPartsConnect* pNextDRPartsConnect = nullptr;
    int nNo = 0;
    HBITMAP hBackBitmap = nullptr;
    int rcBack[4] = {0, 0, 0, 0};
    int anLineX[4] = {0, 0, 0, 0};
    int anLineY[4] = {0, 0, 0, 0};

    static int nCounter;
    // The view the scene reads before it picks these objects.
    static int viewP[4];
    static double modelM[16];
    static double projM[16];
    // For the host; the connection draws no text.
    static LOGFONTA MsgFont;

protected:
    // Copies the window rectangle under the feedback into hBackBitmap.
    virtual void CaptureBackground(HDC dc, long x, long y, long cx, long cy);

private:
    // P0, A, B, P1 of the path, with the axis and the extent along it; false without a link
    // or a record.
    bool Path(WqVector3D pts[4], int* axis = nullptr, double* extent = nullptr) const;
};
