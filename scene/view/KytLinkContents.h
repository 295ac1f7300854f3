#pragma once
// The contents object of a scene: draws the kernel's part tree. This class holds the settings
// and state the scene steers (draw type, moving-view switches, clip count); the tree walk itself
// lives behind the drawing slots, which the part-tree drawing overrides.

#include "scene/view/KytContents.h"

class KytLink;
class KytShape;
class KytOgl;
class KytScene;
class KytViewPort;

enum DRAWTYPE : int {
    DRAWTYPE_SHADE = 1,
    DRAWTYPE_FOCUS_ALPHA = 2,
    DRAWTYPE_BOX = 4,
    DRAWTYPE_WIREBOX = 8,
    DRAWTYPE_WIRE = 16,
    DRAWTYPE_EDGE = 64,
    DRAWTYPE_HIDDENLINE = 128,
    DRAWTYPE_SHADE_EDGE = 256,
    DRAWTYPE_ALPHA_EDGE = 1024,
    DRAWTYPE_CUSTOM_COLOR = 0x800,
    DRAWTYPE_MATERIAL = 4096,
    DRAWTYPE_RECYCLE = 8192,
};

enum BOXMODE : int {
    BOXMODE_NONE = 0,
    BOXMODE_WIRE = 1,
    BOXMODE_SOLID = 2,
};

template <class T> class KytStack;

// Sphere culling around a set of links.
struct CSphere {
    bool bSphereMode = false;
    KytStack<KytLink>* pLinks = nullptr;
    double lfRadius = 0.0;
    double lfRate = 1.2;
    int nBoxMode = 1;
    double vCenter[3] = {0.0, 0.0, 0.0};
};

class KytLinkContents : public KytContents {
public:
    KytLinkContents();
    ~KytLinkContents() override;

    void Create(KytScene* scene) override;

    // Draws the tree from `root` once per frame.
    virtual void Draw(KytLink* root, int targetMode);
    virtual void PickDraw(const KytLink* link);
    virtual int GetClipCnt() const;

    // Sets the GL state of the current draw type.
    unsigned int MakeDisp(KytShape* shape, KytOgl* ogl);
    bool SetSubContsState(unsigned int which, bool draw);
    // Takes the settings of another contents (draw types, focus links, clip state, flags).
    void Copy(const KytLinkContents* source);

    DRAWTYPE GetDrawType() const { return eDrawType; }

    static CSphere Sphere;
    static bool bContribution;
    static double lfContributionRate;
    static BOXMODE eContributionBoxMode;
    static bool bContributionDynamic;
    static double lfContributionRateDynamic;
    static BOXMODE eContributionBoxDynamicMode;

    KytViewPort* pViewPort = nullptr;
    KytOgl* pOgl = nullptr;
    KytLink* pFocusLink1 = nullptr;
    KytLink* pFocusLink2 = nullptr;
    // Contribution culling allowed for this contents (the static of the same meaning is the
    // library default each new contents starts from).
    bool bContributionOn = true;
    bool bWireBoxOnly = false;
    bool bSectionLine = true;
    bool bViewClip = false;
    bool bViewMoving = false;
    DRAWTYPE eDrawType = DRAWTYPE_SHADE;
    DRAWTYPE ePrevDrawType = DRAWTYPE_SHADE;
    int nClipCnt = 0;
    bool bClipEnabled = false;
    bool bClipAllowed = true;
};
