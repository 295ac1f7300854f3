#pragma once
// The contents object of a scene: draws the kernel's part tree in the scene's draw type, with
// view and contribution culling, sphere mode, transparency passes, up to five clip planes given
// by links plus one view clip plane, and selection drawing. Every call between the drawing
// operations goes through the virtual slots, so the special views change the walk by
// overriding them.

#include "scene/view/KytContents.h"

class KytLink;
class KytShape;
class KytShapeRep;
struct KytTriangle;
class KytOgl;
class KytScene;
class KytViewPort;
class AuxAxis;
class AuxWorkAxis;
class AuxDatum;
class AuxCamera;
template <class T> class KytStack;

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
    // Shaded, only parts whose property record has byte 13, 12 or 44 set (or no record).
    DRAWTYPE_PROPERTY_13 = 0x4000,
    DRAWTYPE_PROPERTY_12 = 0x8000,
    DRAWTYPE_PROPERTY_44 = 0x10000,
};

enum BOXMODE : int {
    BOXMODE_NONE = 0,
    BOXMODE_WIRE = 1,
    BOXMODE_SOLID = 2,
};

// Colour mode last set by MakeDisp.
enum COLORMODE : int {
    COLORMODE_NORMAL = 0,
    COLORMODE_MATERIAL = 2,
    COLORMODE_RECYCLE = 4,
};

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
    // The glyphs are owned: a copy would delete them twice. Copy(const KytLinkContents*)
    // takes another contents' settings instead.
    KytLinkContents(const KytLinkContents&) = delete;
    KytLinkContents& operator=(const KytLinkContents&) = delete;
    ~KytLinkContents() override;

    // Slots 1 to 7.
    void Destroy() override;
    void Create(KytScene* scene) override;
    using KytContents::Draw;
    void FitView(const KytViewPort* viewport) override;
    void Copy(const KytContents* source) override;

    // Slots 8 to 25.
    virtual void Draw(KytLink* root, int targetMode);
    virtual void PickDraw(const KytLink* link);
    virtual int GetClipCnt() const;
    virtual void DrawNormalMode(KytLink* root, int targetMode);
    virtual void DrawTargetOnlyMode(KytLink* root, int targetMode);
    virtual int CheckCulling(KytLink* link, bool contribution);
    virtual void DrawLink(KytLink* link, bool single);
    virtual void DrawLinkActive(KytLink* link, bool single);
    virtual void DrawLinkHuman(KytLink* link, bool single);
    virtual bool DrawSingleLink(KytLink* link);
    virtual void DrawShape(const KytLink* link);
    virtual void DrawShapeHuman(const KytLink* link);
    virtual void DrawSingleBox(const KytLink* link) const;
    virtual void DrawSingleWireBox(const KytLink* link) const;
    virtual bool EnableClipPlanes();
    virtual void DisableClipPlanes();
    virtual void DrawSectionLine(const KytLink* link) const;
    virtual bool PreDraw();

    // Settings and clip planes.
    void Copy(const KytLinkContents* source);
    void CopyClipInfo(const KytLinkContents* source);
    void MakePointMark(double size);
    bool SetSubContsState(unsigned int which, bool draw);
    void SetAlphaValue(float alpha) { fAlphaValue = alpha; }
    void SetClipCnt(int count) { nClipCnt = count; }
    KytLink* GetClipLink(int index) const;
    bool AddClipPlane(KytLink* link);
    bool RemoveClipPlane(KytLink* link);
    bool CalcClipParameter(bool computeOnly);
    void SetClipPlanes(bool on);
    bool CheckClipping(const KytLink* link, bool& cut);
    void ClipPoint(WqVector3D& a, WqVector3D& b) const;
    int CheckBackFace(const KytTriangle& t, const float dir[3]) const;
    bool CheckNearestLink(const KytLink* link);
    // Sets the GL state of the current draw type.
    unsigned int MakeDisp(KytShape* shape, KytOgl* ogl);

    // Walk helpers.
    void DrawAlphaLinks(const KytStack<KytLink>* stack);
    void DrawAlphaPolygon(KytLink* root);
    void DrawWireBox(KytLink* link, bool single);

    // Shape drawing.
    void DrawSimpleHuman(const KytLink* link) const;
    void DrawTriangles(const KytLink* link, const KytShape* shape, bool cut);
    void DrawTexture(const KytLink* link, const KytShape* shape, bool cut);
    void DrawTrianglesAlpha(const KytShape* shape, bool reject, const float dir[3]);
    void DrawTrianglesIllustration(const KytTriangle* triangles, unsigned count, bool rejectBack,
                                   const float dir[3]) const;
    void DrawTrianglesNoColorStatic(const KytTriangle* triangles, unsigned count, bool reject,
                                    const float dir[3], const float rgb[3]) const;
    void DrawTriangleOneColor(const KytLink* link, const KytShape* shape, bool cut) const;
    void DrawTrianglesMaterial2(const KytLink* link, const KytShape* shape, bool cut);
    void DrawTrianglesRecycle(const KytLink* link, const KytShape* shape, bool cut);
    void DrawSilhouette(const KytShape* shape, const float dir[3]) const;
    void DrawEdge(const KytLink* link, const KytShape* shape) const;
    void DrawTrianglesHiddenLine(const KytLink* link, const KytShape* shape, bool cut) const;
    void DrawTrianglesWithEdge(const KytLink* link, const KytShape* shape, bool cut) const;
    void DrawAlphaEdge(const KytLink* link, const KytShape* shape, bool cut);
    bool ChangeMaterialColor(const KytLink* link);
    void DrawBox(const KytShapeRep* rep) const;
    void DrawBoxWire(const KytShapeRep* rep) const;
    bool DrawCustomColor(const KytLink* link, const KytShape* shape, bool cut);
    bool DrawCustomAlphaColor(const KytLink* link, const KytShape* shape, bool cut);

    // The camera's eye direction in the link's frame (unit when it has a length).
    void LocalViewDir(const KytLink* link, float dir[3]) const;
    // Back faces are rejected in software for this call.
    bool RejectBackFaces(bool cut) const;
    // Colour of the representation's first triangle, or null when there is none to read.
    static const float* FirstTriangleColor(const KytShapeRep* rep);
    static const float* TableColor(unsigned index);

    DRAWTYPE GetDrawType() const { return eDrawType; }

    static CSphere Sphere;
    static float fLocalRate;
    static float fLocalAxisRate;
    static bool bContribution;
    static double lfContributionRate;
    static BOXMODE eContributionBoxMode;
    static bool bContributionDynamic;
    static double lfContributionRateDynamic;
    static BOXMODE eContributionBoxDynamicMode;
    static bool bDrawSectionLine;
    static bool bDisableAlphaDepthTest;
    static float afPartBackFaceColor[4];
    static float afBoxColor[2][4];
    static bool bDrawHiddenLinesShape;
    static double lfContRate;
    static COLORMODE eColorMode;
    static bool bBackFaceColor;

    AuxAxis* pAxis = nullptr;
    AuxWorkAxis* pWorkAxis = nullptr;
    AuxDatum* pDatum = nullptr;
    AuxCamera* pCameraGlyph = nullptr;
    KytViewPort* pViewPort = nullptr;
    KytLink* pFocusLink1 = nullptr;
    KytLink* pFocusLink2 = nullptr;
    bool bPointMode = false;
    // Contribution culling allowed for this contents (the static of the same meaning is the
    // library default each new contents starts from).
    bool bContributionOn = true;
    bool bDrawFocusInWalk = true;
    WqVector3D vViewDir;
    WqVector3D avClipNormal[5];
    double alfClipOffset[5] = {};
    double alfClipScale[5] = {};
    WqVector3D vLinkCenter;
    double lfPointMarkRate = 0.007;
    unsigned char abClipCut[5] = {};
    float fAlphaValue = 1.0f;
    float fPointMarkSize = 0.0f;
    float fPointMarkSizeNeg = 0.0f;
    int nMaterialFace = GL_FRONT;
    double lfHalfHeight = 0.0;
    double lfHalfWidth = 0.0;
    KytOgl* pOgl = nullptr;
    double lfEyePlane = 0.0;
    WqVector3D vViewClipPoint;
    int nTargetPass = 0;
    bool bAlphaPass = false;
    bool bEchoActive = false;
    bool bWireBoxOnly = false;
    bool bCullTest = true;
    bool bLighting = true;
    bool bDrawAlpha = true;
    bool bSectionLine = true;
    bool bViewClip = false;
    bool bViewMoving = false;
    const float* pColor = nullptr;
    bool bColorOpaque = false;
    bool bColorBlend = false;
    bool bColorSet = false;
    DRAWTYPE eDrawType = DRAWTYPE_SHADE;
    DRAWTYPE ePrevDrawType = DRAWTYPE_SHADE;
    int nClipCnt = 0;
    bool bClipEnabled = false;
    KytLink* apClipLink[5] = {};
    int nShapeCnt = 0;
    bool bClipAllowed = true;

    // Scratch of the current frame: the screen's up and across axes, square to vViewDir.
    WqVector3D vScreenUp{0, 1, 0};
    WqVector3D vScreenAcross{1, 0, 0};

protected:
    // The walk from the root: the root alone when it has a shape, else its first child's chain.
    void WalkRoot(KytLink* root);
    // Step 6 of the walk: draws the link when asked, then walks its children, with the
    // first focus link's box switch and a no-clip link's planes off for the whole subtree.
    template <class Walk> void DrawWithSwitches(KytLink* link, bool draw, Walk&& children);
    // Transparent layered descendants of `link` (below opaque layered ones), to the front.
    void CollectTransparent(const KytLink* link, KytStack<KytLink>& local) const;
    // Releases a colour chosen at `link`.
    void ReleaseColor(bool chosenHere);
    // A visible link, or any link in custom-colour drawing when invisible ones are shown.
    bool IsShown(const KytLink* link) const;
    void SetBackAlpha(float alpha) const;
    void BeginAllTransparent();
    void EndAllTransparent();
    void DrawPointMarks(const KytShapeRep* rep) const;
};

// Draw settings of the part-tree drawing.
void KYT_SetSphereRate(double rate);
void KYT_AddSphereRate(double delta);
double KYT_GetSphereRate();
bool KYT_IsSphereMode();
void KYT_SetDisableAlphaDepthTest(int on);
bool KYT_IsDisableAlphaDepthTest();
void KYT_SetDrawHiddenLinesShape(int on);
bool KYT_IsDrawHiddenLinesShape();
void KYT_SetAllwaysBackParam(int on);
int KYT_GetAllwaysBackParam();
void KYT_SetBackFaceParam(int enable, float colour[3]);
void KYT_GetBackFaceParam(int& enable, float colour[3]);
void KYT_SetOutLineParam(int antiAlias, int width);
void KYT_GetOutLineParam(int& antiAlias, int& width);
void KYT_SetSimpleView(unsigned int on);
bool KYT_IsSimpleView();
void KYT_ReverseSimpleView();
void KYT_SetSceneSense(unsigned int on);
bool KYT_IsSceneSense();
void KYT_SetBackGroundColor(float colour[3]);
void KYT_GetBackGroundColor(float colour[3]);
void KYT_SetCullingParam(bool contribution, bool dynamic);
void KYT_GetCullingParam(bool& contribution, bool& dynamic);
void KYT_SetCullingParam(unsigned int contribution, unsigned int rate, unsigned int boxMode,
                         unsigned int dynamic, unsigned int dynamicRate,
                         unsigned int dynamicBoxMode);
void KYT_GetCullingParam(int& contribution, int& rate, int& boxMode, int& dynamic,
                         int& dynamicRate, int& dynamicBoxMode);
void KYT_SetDrawSectionLine(int on);
int KYT_IsDrawSectionLine();
