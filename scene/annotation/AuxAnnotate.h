#pragma once
// Balloon annotation: a text joined by a leader to a point on its part. This class fixes its
// place in the overlay family (type, chain, number, the statics the scene fills before its
// text passes); the balloon drawing itself is filled in by the annotation classes.

#include "scene/annotation/AuxTarget.h"
#include "scene/view/KytPlatform.h"

class KytOgl;
struct KytAnnotateData;

class AuxAnnotate : public AuxTarget {
public:
    AuxAnnotate();
    AuxAnnotate(unsigned int id, KytLink* link);
    explicit AuxAnnotate(const AuxAnnotate* source);
    AuxAnnotate(const AuxAnnotate& other);
    AuxAnnotate& operator=(const AuxAnnotate& other);
    ~AuxAnnotate() override;

    KytAuxContents* Duplicate() override;
    int GetAuxType() override;

    using KytAuxContents::DrawGDI;
    // Text of the annotation on the window's device context, after the GL frame.
    virtual void DrawGDI(KytOgl* ogl);

    // Hit tests in window coordinates against the statics' view: the text box (Pick) and the
    // leader (Pick2). The balloon geometry answers them; this base has none.
    using KytAuxContents::Pick;
    virtual bool Pick(KytOgl* ogl, int x, int y) { return false; }
    virtual bool Pick2(KytOgl* ogl, int x, int y) { return false; }

    // Two-part hook: the second part an annotation refers to; none here.
    virtual KytLink* GetSecondLink() const { return nullptr; }

    int SetNo();
    void SetNo(int no);
    int GetNo() const { return nNo; }

    KytAnnotateData* pData = nullptr;
    bool bPicked = false;
    bool bDrawBalloon = false;
    WqVector3D vSecondPoint;
    WqVector3D vBalloonPos;
    AuxAnnotate* pNextAnnotation = nullptr;
    int nNo = 0;
    HBITMAP hBackBitmap = nullptr;
    int rcBack[4] = {0, 0, 0, 0};
    int anLineX[4] = {0, 0, 0, 0};
    int anLineY[4] = {0, 0, 0, 0};

    static LOGFONTA MsgFont;
    static unsigned long MsgFontColor;
    static int nCounter;
    static int viewP[4];
    static double modelM[16];
    static double projM[16];

protected:
    // The message font the annotation classes start from.
    static LOGFONTA DefaultMsgFont();
    // Subclasses with a numbering of their own pass their class counter.
    AuxAnnotate(unsigned int id, KytLink* link, int& counter);
};
