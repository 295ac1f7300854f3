#pragma once
// Design-review balloon note. Its place in the family: type AUXTYPE_DR, id 39, its own
// review chain and backup flag.

#include "scene/annotation/AuxAnnotate.h"

#include <string>

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

    // The leader of the review record; its text in DrawGDI: the balloon number in balloon
    // mode (KytScene::bDRAnno_BlnEna), else the title.
    void Draw() override;
    bool GetWindowPos(HDC dc, int& x, int& y, SIZE* size) override;
    void DrawGDI(KytOgl* ogl) override;
    void Dragging(KytOgl* ogl) override;
    bool Pick(KytOgl* ogl, int x, int y) override;
    bool Pick2(KytOgl* ogl, int x, int y) override;
    bool MoveEndPos(const WqVector3D& delta, bool flag) override;
    using AuxAnnotate::CopyEndPos;
    virtual bool CopyEndPos(const AuxDRAnnotate* other);
    // The balloon's window point turned back into a world point by the scene.
    WqVector3D GetGDIObjPoint(KytScene* scene);
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

private:
    std::string Text() const;
    // The font the text is written in: a 10-point face of the GUI font in balloon mode, else
    // the record's title font.
    void TextFont(LOGFONTA& out) const;
    bool Anchor(WqVector3D& out) const;
};
