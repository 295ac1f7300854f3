#pragma once
// Contents of the section view: the lines where one plane (through a section link's origin,
// square to its Z axis) crosses the triangles of every shown part, drawn flat in the
// triangles' colours; crossing and end-point picks on those lines, and their printing.

#include "scene/view/KytLinkContents.h"
#include "scene/view/KytPlatform.h"

// The outermost crossings of a screen line with the section lines.
struct _SECT_CROSS {
    WqVector3D vStart;
    WqVector3D vEnd;
    WqVector3D vDir;
    double lfLength = 0.0;
    WqVector3D vCross1;
    WqVector3D vCross2;
    WqVector3D aSeg1[2];
    WqVector3D aSeg2[2];
    bool bFound = false;
    double lfDist1 = 0.0;
    double lfDist2 = 0.0;
};

// The section-line end nearest to a window point.
struct _SECT_ENDP {
    int nX = 0;
    int nY = 0;
    WqVector3D vPickPos;
    double lfRange = 0.0;
    WqVector3D vEndPos;
    double lfDist = 0.0;
    bool bFound = false;
};

class KytSectionConts : public KytLinkContents {
public:
    KytSectionConts() = default;
    ~KytSectionConts() override = default;

    void Draw(KytLink* link, int targetMode) override;
    using KytLinkContents::Draw;
    bool DrawSingleLink(KytLink* link) override;
    bool EnableClipPlanes() override;
    void DrawSectionLine(const KytLink* link) const override;
    using KytLinkContents::DrawLink;
    virtual void DrawLink(KytLink* link, bool flag, bool single);

    // False when the link is already the section link.
    bool SetSectionLink(KytLink* link);
    KytLink* GetSectionLink() const { return pSectionLink; }

    void Pick(KytLink* link, _SECT_CROSS& cross, bool single);
    using KytLinkContents::PickDraw;
    void PickDraw(const KytLink* link, _SECT_CROSS& cross) const;
    void PickEndPoint(KytLink* link, _SECT_ENDP* endp, bool single);
    void CalcEndPoint(const KytLink* link, _SECT_ENDP* endp) const;
    // Grows the box by the section-line ends of the tree; true when there were any.
    bool CheckBoundinBox(KytLink* link, WqVector3D& min, WqVector3D& max, bool single);
    // The section view builds no display lists.
    unsigned int MakeDisp(KytShape* shape, KytOgl* ogl);

    void Print(KytLink* root);
    void PrintLink(KytLink* link, bool flag, bool single);
    bool PrintSingleLink(KytLink* link);
    void PrintSectionLine(KytLink* link);
    void PrintPutLine(const WqVector3D& a, const WqVector3D& b);

    // The box test: some two consecutive world box corners lie strictly on opposite sides.
    bool IsCut(const KytLink* link) const;
    // Signed distance of a world point to the plane.
    double Distance(const WqVector3D& p) const
    {
        return (lfSectD - vSectNormal.Dot(p)) * lfSectRate;
    }

    bool bSectionOn = false;
    KytLink* pSectionLink = nullptr;
    WqVector3D vSectNormal;
    double lfSectD = 0.0;
    double lfSectRate = 1.0;
    CDC* pPrintDC = nullptr;
    CRect rcPrint;
    CRect rcView;

    static int viewP[4];
    static double projM[16];
    static double modelM[16];

protected:
    using KytLinkContents::CheckCulling;
    // 0 culled, 2 drawn.
    int CheckCulling(KytLink* link);
    bool CheckSection(KytLink* link, WqVector3D& min, WqVector3D& max);

private:
    // Each section segment of the link's shape in its own frame, with the triangle's colour.
    template <class Visit> void ForEachSegment(const KytLink* link, Visit visit) const;
    // Walks shown links accepted by `types` as the picks do; `work` gets the cut ones.
    template <class Work> void PickWalk(KytLink* link, bool single, Work work);
};
