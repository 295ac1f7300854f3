#pragma once
// Balloon annotation: the title of a kernel annotation record shown at a balloon place in the
// window, joined by a stippled leader to an anchor on its part. The leader is drawn with GL,
// the text with GDI over the finished frame; picks run in window coordinates and a drag gives
// its feedback with GDI, restoring what it covered.

#include "scene/annotation/AuxTarget.h"
#include "scene/view/KytPlatform.h"

class KytOgl;
struct KytAnnotateData;

class AuxAnnotate : public AuxTarget {
public:
    AuxAnnotate();
    AuxAnnotate(unsigned int id, KytLink* link);
    explicit AuxAnnotate(const AuxAnnotate* source);
    // Value copies take every field but the background bitmap, which stays with its owner.
    AuxAnnotate(const AuxAnnotate& other);
    AuxAnnotate& operator=(const AuxAnnotate& other);
    ~AuxAnnotate() override;

    bool IsDraw() const override;
    void Draw() override;
    KytAuxContents* Duplicate() override;
    int GetAuxType() override;
    void CheckVisual(KytLink* link) override;

    using KytAuxContents::DrawGDI;
    using KytAuxContents::Pick;

    // The anchor in the target link's frame; zero without a record.
    virtual WqVector3D GetFirstPoint();
    // Two-part hook: the second part an annotation refers to; none here.
    virtual KytLink* GetSecondLink() const;
    // World anchor plus balloon offset.
    virtual bool GetEndPoint(WqVector3D& out) const;
    // Window place of the balloon and the extent of its text in the font selected into `dc`.
    virtual bool GetWindowPos(HDC dc, int& x, int& y, SIZE* size);
    // Text of the annotation on the window's device context, after the GL frame.
    virtual void DrawGDI(KytOgl* ogl);
    // Drag feedback at the current offset; erases the previous feedback first.
    virtual void Dragging(KytOgl* ogl);
    virtual void EndDrag();
    // Hit tests in window coordinates against the statics' view: the text box (Pick) and the
    // leader (Pick2).
    virtual bool Pick(KytOgl* ogl, int x, int y);
    virtual bool Pick2(KytOgl* ogl, int x, int y);
    virtual void SetEndPos(const WqVector3D& pos);
    virtual bool MoveEndPos(const WqVector3D& delta, bool flag);
    virtual bool GetState() const;
    virtual bool CopyEndPos(const AuxAnnotate* other);
    virtual bool GetVector(WqVector3D& out) const;

protected:
    virtual void CaptureBackground(HDC dc, long x, long y, long cx, long cy);
    // Lands this balloon on the first other record of the tree with the same overlap id.
    virtual void ReCalcVector();

public:
    WqVector3D GetSecondPoint() const { return vSecondPoint; }
    const char* GetTitle() const;
    AuxAnnotate* GetNextAnnotation() const { return pNextAnnotation; }
    // From this object along the annotation chain (this one included); null at the end.
    AuxAnnotate* SearchAnnotation(const KytAnnotateData* data);
    AuxAnnotate* SearchAnnotationByOverlapID(unsigned int overlapId);

    int SetNo();
    void SetNo(int no);
    int GetNo() const { return nNo; }

    // While a frame is open, balloons that share an overlap id find each other through one
    // index of the tree, built at the first need; outside a frame each walks the tree.
    class Frame {
    public:
        Frame();
        ~Frame();
        Frame(const Frame&) = delete;
        Frame& operator=(const Frame&) = delete;
    };

    static void SetFont(const LOGFONTA& font);
    static void GetFont(LOGFONTA& out);
    static LOGFONTA& GetFont();

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

    // Window coordinates of a world point through the statics' view (y downward).
    static void Get2D(const WqVector3D& world, int& x, int& y);
    // The record's anchor in world coordinates; false without record or link.
    bool GetWorldAnchor(WqVector3D& out) const;
    // Stipple of a leader line style; solid for anything but 1 to 4.
    static unsigned short StipplePattern(int style);
    // The stippled leader between two world points, lighting and depth test off, inside the
    // caller's push of the depth, lighting and line groups; a width of 0 keeps the current one.
    static void DrawLeader(const WqVector3D& from, const WqVector3D& to, int style,
                           COLORREF color, float width);
    // Puts the window area saved by CaptureBackground back, erasing the drag feedback.
    void RestoreBackground(HDC dc);
    static double GetDistPtoP(double x1, double y1, double x2, double y2);
    // Distance from (px, py) to the segment; -1 when the foot lies outside it.
    static double GetDistLtoP(double x1, double y1, double x2, double y2, double px, double py);
};
