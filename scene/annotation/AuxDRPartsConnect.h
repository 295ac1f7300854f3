#pragma once
// Design-review parts connection. Its place in the family: type AUXTYPE_DR, id 38,
// its own review chain, number and backup flag.

#include "scene/annotation/AuxTarget.h"

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

    KytAuxContents* Duplicate() override;
    int GetAuxType() override;
    int GetNo() const { return nNo; }
    // Hit tests in window coordinates; the path geometry answers them, this base has none.
    using KytAuxContents::Pick;
    virtual bool Pick(KytOgl* ogl, int x, int y) { return false; }
    virtual bool Pick2(KytOgl* ogl, int x, int y) { return false; }
    // Two-part hook; these objects have none.
    virtual KytLink* GetSecondLink() const { return nullptr; }
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

    static int nCounter;
    // The view the scene reads before it picks these objects.
    static int viewP[4];
    static double modelM[16];
    static double projM[16];
};
