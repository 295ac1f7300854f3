#pragma once
// Design-review balloon note. Its place in the family: type AUXTYPE_DR, id 39, its own
// review chain and backup flag.

#include "scene/annotation/AuxAnnotate.h"

struct KytDRAnnotateData;

class AuxDRAnnotate : public AuxAnnotate {
public:
    enum { ID = 39 };

    AuxDRAnnotate();
    AuxDRAnnotate(unsigned int id, KytLink* link);
    explicit AuxDRAnnotate(const AuxDRAnnotate* source);
    AuxDRAnnotate(const AuxDRAnnotate& other);
    AuxDRAnnotate& operator=(const AuxDRAnnotate& other);
    ~AuxDRAnnotate() override;

    KytAuxContents* Duplicate() override;
    int GetAuxType() override;
    // The record's design-review id, 0 without a record.
    unsigned long GetDRID() const;
    // The balloon number of the record, 0 without a record.
    unsigned GetBalloonNo() const;
    // Next number of this class's own counter.
    int SetNo();
    void SetNo(int no) { nNo = no; }
    // From this object along its chain: the first whose record has the key of `record`.
    AuxDRAnnotate* SearchAnnotation(const KytDRAnnotateData* record);

    KytDRAnnotateData* pDRData = nullptr;
    int bBackup = 0;
    AuxDRAnnotate* pNextDRAnnotation = nullptr;

    static int nCounter;
};
