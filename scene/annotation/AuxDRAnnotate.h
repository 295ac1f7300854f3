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
    // Drawn only as a live object of a shown, review-visible record on a visible part; while
    // review pages print, only when the print selection has this class's bit.
    bool IsDraw() const override;
    // The same copy as Duplicate, typed.
    AuxDRAnnotate* DuplicateDRAnnotate();
    // From this object along its chain: the first whose record has the number `no`.
    AuxDRAnnotate* SearchAnnotation(int no);
    AuxDRAnnotate* GetNextAnnotation() const { return pNextDRAnnotation; }
    void SetNextAnnotation(AuxDRAnnotate* next) { pNextDRAnnotation = next; }
    const char* GetTitle() const;
    static void GetFont(LOGFONTA& out) { out = MsgFont; }
    static const LOGFONTA& GetFont() { return MsgFont; }
    static void SetFont(const LOGFONTA& font) { MsgFont = font; }
    static unsigned long GetFontColor() { return MsgFontColor; }
    static void SetFontColor(unsigned long colour) { MsgFontColor = colour; }

    static LOGFONTA MsgFont;
    static unsigned long MsgFontColor;

protected:
    // From another review annotation: a live, unchained copy without a background bitmap.
    void Copy(const KytContents* source) override;

public:
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
