#pragma once
// Design-review arrow. Its place in the family: type AUXTYPE_DR, id 41,
// its own review chain, number and backup flag.

#include "scene/annotation/AuxTarget.h"

class KytOgl;
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

    KytAuxContents* Duplicate() override;
    int GetAuxType() override;
    int GetNo() const { return nNo; }
    // Hit test in window coordinates; the arrow geometry answers it, this base has none.
    using KytAuxContents::Pick;
    virtual bool Pick(KytOgl* ogl, int x, int y) { return false; }
    // Two-part hook; these objects have none.
    virtual KytLink* GetSecondLink() const { return nullptr; }
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

    static int nCounter;
    // The view the scene reads before it picks these objects.
    static int viewP[4];
    static double modelM[16];
    static double projM[16];
};
