#pragma once
// One view of the product: a GL context, a viewport with its cameras, up to eight lights, the
// contents object that draws the part tree, and the two stage lists of overlay objects.

#include <vector>

#include "scene/annotation/KytAuxContents.h"
#include "scene/view/KytLinkContents.h"
#include "scene/view/KytPickData.h"
#include "scene/view/KytPlatform.h"

class KytOgl;
class KytViewPort;
class KytCamera;
class KytLight;
class KytLink;
class AuxAnnotate;
class UmoMaterial;
struct KytTriangle;
class AuxDRAnnotate;
class AuxDRPartsConnect;
class AuxDRArrow;
struct KytAnnotateData;
struct KytDRAnnotateData;
struct KytDRArrowData;
struct KytDRPartsConnectData;
template <class T> class KytStack;

enum ProjectType : int {
    PROJECT_PERSPECTIVE = 0,
    PROJECT_PARALLEL = 1,
};

// A saved view state (camera angles and look-at, viewport radii and clips, draw type).
struct KytBackupSceneData {
    KytBackupSceneData();

    float fDirectAngle;
    float fZenithAngle;
    WqVector3D vLookAt;
    double lfViewRadius;
    double lfZoomAngle;
    double lfNearClip;
    double lfFarClip;
    int anReserved[2];
    DRAWTYPE eDrawType;
    bool bSubDraw;
};

class KytScene {
public:
    KytScene();
    KytScene(KytLink* root, const char* name);
    // A scene owns its context, viewport, contents and overlay objects: a copy would free them
    // twice. Copy() duplicates a scene's content into another scene instead.
    KytScene(const KytScene&) = delete;
    KytScene& operator=(const KytScene&) = delete;
    virtual ~KytScene();

    virtual bool Create(KytOgl* ogl, int width, int height);
    virtual bool Create(bool full);
    virtual void FitView(bool redraw);
    // Widens min/max by the own boxes of the links of a walk from `link` (its following
    // siblings too unless `single`), clip planes taken into account; true when any counted.
    virtual bool CalcMinMax(KytLink* link, WqVector3D& min, WqVector3D& max, bool targetOnly,
                            int typeMask, bool single) const;
    virtual void Draw(bool makeCurrent);
    virtual void DrawGDI() const;
    virtual void DrawDependPart() const;
    virtual void SetBackFaceMode(bool on);
    virtual bool CheckZClip();
    virtual bool IsAddLight() const;
    virtual void UpdateLight();
    virtual void ResetView(bool redraw);
    virtual void ReSize(int x, int y, int width, int height);
    virtual void ReSize(int width, int height);

    // View operations: panning moves the camera's look-at point.
    virtual void SlideViewPoint(int dx, int dy, bool redraw);
    virtual void Panning(const WqVector3D& point, bool redraw);
    virtual void Panning(int x, int y, WqVector3D& depthPoint, bool redraw);
    virtual void Panning(int x, int y, KytLink* link, bool redraw);
    virtual void Panning(int x, int y, bool redraw);
    virtual void Panning(int x1, int y1, int x2, int y2, bool redraw);
    // Pans to (x, y) at the depth of the triangle's plane under that point.
    void Panning2(int x, int y, KytLink* link, const KytTriangle* triangle, bool redraw);
    // Zooms so that the window rectangle fills the view; an empty rectangle is refused.
    virtual void AreaZoom(int x1, int y1, int x2, int y2);
    virtual bool Zoom(float factor, bool makeCurrent);
    bool ZoomContinue(float factor, bool last);
    void MoveViewPoint(int dx, int dy, bool redraw);
    void MoveViewPoint(float dDirect, float dZenith, bool redraw);
    void ChangeViewPoint(float direct, float zenith, bool redraw);
    void ChangeViewPoint(float direct, float zenith, WqVector3D& lookAt, bool redraw);
    void ChangeViewPoint(WqVector3D& direction, bool redraw);
    void ChangeViewAngle(float direct, float zenith);

    // Stepped moves and the eye along the line of sight.
    void FlyTo(KytLink* link, bool redraw);
    bool JumpPoint(WqVector3D& point, int refit, double scale);
    bool ShiftCamera(WqVector3D& delta, bool redraw);

    // Clip planes and back faces.
    bool AddClipPlane(KytLink* link, bool redraw);
    bool RemoveClipPlane(KytLink* link, bool redraw);
    void ClearClipPlanes(bool redraw);
    bool CheckClip(const KytLink* link) const;
    KytLink* GetClipLink(int index) const;
    void ReinitCullFace();
    void SetSpecialClip(bool on, WqVector3D* point, bool redraw);
    void ClearLinkContents();
    void HideDisplayObject(bool show, KytLink* link);

    // Z-clip, real scale, zoom angle and scale.
    void SetZClip(double z, bool redraw);
    void ResetZClip(bool redraw);
    // False (nothing changed) for a scale of 0 or less.
    bool SetRealPpm(double ppmX, double ppmY, bool redraw);
    void GetRealPpm(double& ppmX, double& ppmY) const;
    void ReSetRealPpm(bool redraw);
    void SetViewAngle(double angle, bool redraw);
    bool AddScale(float factor, bool redraw);

    // Picking: what lies under a window point.
    virtual bool Pick(int x, int y, KytPickData* out, bool aim, bool withAux);
    virtual bool Pick2(int x, int y, KytPickData* out, UmoMaterial* material, bool aim,
                       bool withAux, bool anyVisual);
    virtual bool GetPickLinkNo(int hits, KytPickData* out);
    virtual bool GetPickLinkNo2(int hits, KytPickData* out, UmoMaterial* material,
                                bool anyVisual);
    virtual bool PickDrawStage1(int x, int y, bool aim, bool withAux, int* polyMode);
    virtual void PickDrawStage2(int x, int y, KytStack<KytPickData>* hits, int* polyMode);
    virtual void PickDrawStage2(int x, int y, KytLink* link, int* polyMode);
    virtual bool GetPickLinkAllNo(int hits, KytStack<KytPickData>* out);
    virtual bool GetPickLinkWithCheck(WqVector3D& origin, WqVector3D& direction, int hits,
                                      KytPickData* out, double& depth);
    // Selects in a rectangle into the caller's buffer; the number of hit records, -1 when
    // they overflow it. Ids in the records resolve through KytPickNames::Lookup.
    int PickArea(int x1, int y1, int x2, int y2, unsigned int* buffer, int size);
    // The selection buffer of the last pass and its size in words.
    const unsigned int* GetSelectBuffer() const { return m_pSelectBuf; }
    int GetSelectBufferSize() const { return m_nSelectSize; }

    // Window points to world points.
    WqVector3D Point2Vector(int x, int y);
    WqVector3D Point2Vector(int x, int y, WqVector3D& base);
    WqVector3D Point2FacePoint(int x, int y, const KytLink* link, const KytTriangle* triangle);

    // Face points and one-off marks drawn over the frame on the screen.
    void DrawCircleOnce(const WqVector3D& start, const WqVector3D& centre,
                        const WqVector3D& axis);
    void DrawLineOnce(const WqVector3D& a, const WqVector3D& b, bool flag);
    void DrawPointOnce(const WqVector3D& p);
    void CalcPointOnTriangle(KytLink* link, const KytTriangle* triangle, int x, int y,
                             WqVector3D& out);
    bool GetFacePoint(int x, int y, KytLink** link, KytTriangle** triangle, WqVector3D& point,
                      WqVector3D& normal);
    bool GetPickedPartPoint(const CPoint& pt, WqVector3D& out);
    void SetScaleLineState(AuxAnnotate* annotation, bool draw, bool redraw);

    void ReDraw();
    void InitialOgl() const;
    void Destroy();
    // False (and nothing done) when this scene has no context or its context cannot be made.
    bool Copy(const KytScene* src, int width, int height, unsigned int* skipIds);
    void AttachLight(KytLight* first);

    // Draw types.
    DRAWTYPE GetDrawType() const;
    void BackupDrawType();
    DRAWTYPE SetDrawType(DRAWTYPE type, bool redraw);
    bool ChangeDrawType(DRAWTYPE type, KytLink* a, KytLink* b, bool redraw);
    void RestoreDrawType(bool redraw);
    bool SetSimplify(bool on);
    int GetProjType() const;
    bool ChangeViewType(ProjectType type);
    void SetSubContsState(unsigned int id, bool state, bool redraw);
    bool ChangeAuxState(unsigned int id, bool state, bool redraw);
    bool ChangeAuxState(unsigned int* ids, bool state, bool redraw);

    // Moving view.
    void StartMovingView(bool thisOnly);
    void EndMovingView(bool redraw, bool thisOnly);

    // Stage lists.
    void AddAuxContents(KytAuxContents* obj, AUX_STAGE stage);
    // Returns the former head: that chain is no longer the scene's, its owner frees it.
    KytAuxContents* ReplaceAuxContents(KytAuxContents* first, bool create, AUX_STAGE stage);
    KytAuxContents* SearchAuxContents(unsigned int id) const;
    bool RemoveAuxContents(KytAuxContents* obj);
    bool RemoveAuxContents(unsigned int id, bool all);
    bool RemoveAuxContents(KytLink* link);
    void DrawAuxContents(KytAuxContents* first) const;
    void FitAuxContents(KytAuxContents* first, bool draw) const;

    // Annotation and review chains (entry side).
    void AddAnnotation(AuxAnnotate* obj, AUX_STAGE stage);
    void AddAnnotation(AuxDRAnnotate* obj, AUX_STAGE stage);
    void AddPartsConnect(AuxDRPartsConnect* obj);
    void AddDRArrow(AuxDRArrow* obj);
    // Shows the review records of the current review id on `link`, its siblings and their
    // subtrees (all of them hidden when `show` is false).
    void UpdateDRAuxVisible(KytLink* link, bool show);
    AuxAnnotate* GetAnnotateHead() const { return m_pAnnotateHead; }
    AuxDRAnnotate* GetDRAnnotateHead() const { return m_pDRAnnotateHead; }
    AuxDRPartsConnect* GetDRPartsConnectHead() const { return m_pDRPartsConnectHead; }
    AuxDRArrow* GetDRArrowHead() const { return m_pDRArrowHead; }
    AuxAnnotate* GetAnnotatePicked() const { return m_pAnnotatePicked; }
    AuxDRAnnotate* GetDRAnnotatePicked() const { return m_pDRAnnotatePicked; }
    AuxDRPartsConnect* GetDRPartsConnectPicked() const { return m_pDRPartsConnectPicked; }
    AuxDRArrow* GetDRArrowPicked() const { return m_pDRArrowPicked; }
    AuxDRAnnotate* GetDRAnnotateBackup() const { return m_pDRAnnotateBackup; }
    AuxDRPartsConnect* GetDRPartsConnectBackup() const { return m_pDRPartsConnectBackup; }
    AuxDRArrow* GetDRArrowBackup() const { return m_pDRArrowBackup; }

    // Annotation and review chains: leaving. Each removed object leaves its stage list too
    // and is deleted; true when one was removed.
    bool RemoveAnnotation(AuxAnnotate* obj);
    bool RemoveAnnotation(AuxDRAnnotate* obj);
    bool RemoveDRPartsConnect(AuxDRPartsConnect* obj);
    bool RemoveDRArrow(AuxDRArrow* obj);
    bool RemoveAnnotation(KytAnnotateData* data);
    bool RemoveAnnotation(KytDRAnnotateData* data);
    // Any number when `no` is -1.
    bool RemoveAnnotation(unsigned int id, int no);
    bool RemoveAnnotation(KytLink* link);
    void ClearAnnotation();
    void ClearDRPartsConnect();
    void ClearDRArrow();

    // Finding (main chains only).
    AuxAnnotate* SearchAnnotation(const KytLink* link) const;
    AuxDRAnnotate* SearchDRAnnotation(const KytLink* link) const;
    AuxDRArrow* SearchDRArrow(const KytLink* link) const;
    AuxDRPartsConnect* SearchDRPartsConnect(const KytLink* link) const;
    // By record when `data` is given, else by id and number.
    AuxAnnotate* SearchAnnotation(const KytAnnotateData* data, unsigned int id, int no) const;
    AuxDRAnnotate* SearchAnnotation(const KytDRAnnotateData* data, unsigned int id, int no) const;
    AuxDRPartsConnect* SearchDRPartsConnect(const KytDRPartsConnectData* data, unsigned int id,
                                            int no) const;
    AuxDRArrow* SearchDRArrow(const KytDRArrowData* data, unsigned int id, int no) const;
    AuxAnnotate* SearchAnnotation(unsigned int id, int no) const;
    AuxDRAnnotate* SearchDRAnnotation(unsigned int id, int no) const;

    // Re-binding the objects of a record from one part to another.
    void ChangeAuxAnnotateLink(KytAnnotateData* data, KytLink* from, KytLink* to);
    void ChangeAuxDRAnnotateLink(KytDRAnnotateData* data, KytLink* from, KytLink* to);
    void ChangeAuxDRPartsConnectLink(KytDRPartsConnectData* data, KytLink* from, KytLink* to);
    void ChangeAuxDRArrowLink(KytDRArrowData* data, KytLink* from, KytLink* to);
    // Shows the records of review id `drId` and hides the others (the reverse when `show` is
    // false), over the objects of the three review chains.
    void ChangeDRAuxVisible(unsigned long drId, bool show);

    // Backup chains: the object is filed in the second stage list and its backup chain, marked
    // as a backup (never drawn).
    void BackupDRAnnotation(AuxDRAnnotate* obj);
    void BackupDRPartsConnect(AuxDRPartsConnect* obj);
    void BackupDRArrow(AuxDRArrow* obj);
    // Backs up the review objects of the records on `link`, its siblings and their subtrees
    // that the main chains show and the backup chains lack.
    void BackupDRAuxContents(unsigned long drId, KytLink* link);
    // Renumbers the objects of the review records on `link`, its siblings and their subtrees.
    void BackupDRAuxContentsSetDRID(unsigned long drId, KytLink* link);
    // Shows again, in the main chains, an object for each backup whose record is still on its
    // link. It does not look at what the main chains show already: each call adds them anew,
    // so a host rolls back once per backup.
    void RollbackDRAuxContents();
    void RollbackDRAnnotation();
    void RollbackDRPartsConnect();
    void RollbackDRArrow();
    void DeleteBackupDRAuxContents();
    void DeleteBackupDRAnnotation();
    void DeleteBackupDRPartsConnect();
    void DeleteBackupDRArrow();
    // Removes `first` and every object after it in its chain.
    void DeleteDRAnnotateChain(AuxDRAnnotate* first);
    void DeleteDRPartsConnectChain(AuxDRPartsConnect* first);
    void DeleteDRArrowChain(AuxDRArrow* first);
    // Removes, from `first` on, the objects of review id `drId`; the first survivor or null.
    AuxDRAnnotate* DeleteDRAnnotateChain(AuxDRAnnotate* first, unsigned long drId);
    AuxDRPartsConnect* DeleteDRPartsConnectChain(AuxDRPartsConnect* first, unsigned long drId);
    AuxDRArrow* DeleteDRArrowChain(AuxDRArrow* first, unsigned long drId);
    void DeleteDRAuxContents(unsigned long drId);
    void DeleteDRAnnotation(unsigned long drId);
    void DeleteDRPartsConnect(unsigned long drId);
    void DeleteDRArrow(unsigned long drId);
    // Review dimensions (annotations of id 40): all of them for id 0.
    void ShowDRDimensions(unsigned long drId, bool show);
    void DeleteDRDimensions(unsigned long drId);
    void DeleteAllDRDimensions();
    // Whether some object of the main chains still uses review id `drId`.
    bool IsCanDeleteDRData(unsigned long drId) const;
    void OptimizeBalloonID(unsigned long drId);
    void ShowCamera(bool show);
    // Window picks: the object hit (the last in chain order), null without a context or
    // objects. They set the objects' picked flags and the chain's picked object.
    AuxAnnotate* PickAnnotation(int x, int y);
    AuxAnnotate* PickAnnotation2(int x, int y);
    AuxDRAnnotate* PickDRAnnotation(int x, int y);
    AuxDRAnnotate* PickDRAnnotation2(int x, int y);
    AuxDRAnnotate* PickDRAnnotation3(int x, int y);
    AuxDRPartsConnect* PickDRPartsConnect(int x, int y);
    AuxDRPartsConnect* PickDRPartsConnect2(int x, int y);
    AuxDRArrow* PickDRArrow(int x, int y);
    // Picks `obj` and every annotation sharing its record's overlap id; clears the others.
    void PickOverlapAnnotation(AuxAnnotate* obj);
    // Marks (bPicked) the objects of the chain with the id and number of `like`, clears the
    // others' marks; the last one marked becomes the picked one (null when none matched).
    void MarkTarget(const AuxAnnotate* like);
    void MarkTarget(const AuxDRAnnotate* like);
    void MarkTarget(const AuxDRPartsConnect* like);
    void MarkTarget(const AuxDRArrow* like);
    // Removes what the scene shows for `link` and its subtree (and its following siblings'
    // unless `thisOnly`).
    void RemoveDisplayObject(KytLink* link, bool thisOnly);

    // Cameras.
    bool AddCamera(KytCamera* camera);
    bool ChangeActive(KytCamera* camera);
    KytCamera* GetActiveCamera() const;
    KytCamera* SearchCamera(const char* name) const;
    bool GetViewPoint(float* direct, float* zenith) const;

    void BackupState(int index);
    void BackupState(KytBackupSceneData& data) const;
    const KytBackupSceneData& GetBackup(int index) const { return m_aBackup[index]; }

    // Accessors.
    unsigned int GetID() const { return m_uID; }
    void SetID(unsigned int id) { m_uID = id; }
    const CString& GetName() const { return m_strName; }
    void SetName(const char* name) { m_strName = name; }
    KytScene* Next() const { return m_pNext; }
    void SetNext(KytScene* next) { m_pNext = next; }
    bool IsMoving() const { return m_bMoving; }
    bool IsNormal() const { return m_bNormal; }
    void SetNormal(bool on) { m_bNormal = on; }
    bool IsDepend() const { return m_bDepend; }
    void SetDepend(bool on) { m_bDepend = on; }
    bool GetAuxState() const { return m_bAuxState; }
    void SetAuxState(bool on) { m_bAuxState = on; }
    KytAuxContents* GetAuxConts(AUX_STAGE stage) const;
    KytOgl* GetOgl() const { return m_pOgl; }
    KytViewPort* GetViewPort() const { return m_pViewPort; }
    KytLinkContents* GetContents() const { return m_pContents; }
    KytLinkContents* GetLinkContents() const { return m_pContents; }
    KytLink* GetRootLink() const { return m_pRootLink; }
    void SetRootLink(KytLink* root) { m_pRootLink = root; }
    KytLight* GetLight(int index) const { return m_apLight[index]; }
    void SetLight(int index, KytLight* light) { m_apLight[index] = light; }
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    int GetOrgX() const { return m_nOrgX; }
    int GetOrgY() const { return m_nOrgY; }
    float GetDegPerPixelX() const { return m_fDegPerPixelX; }
    float GetDegPerPixelY() const { return m_fDegPerPixelY; }
    bool IsResetView() const { return m_bResetView; }

    static unsigned int uSceneDefCnt;
    static float afBackColor[4];
    static bool bSenseOfSpace;
    static bool bEchoActiveLink;
    static bool bShowTargetLink;
    static short nViewMoveStep;
    static bool bPickAlphaLink;
    static bool bSimpleView;
    static bool bMoving;
    static bool bStrictPick;
    static KytScene* pSceneDR;
    static unsigned long ulID_DRData;
    static bool bDRAnno_BlnEna;
    static bool bDRAnno_BlnEna_bak;
    static bool bKYT_DR_Play;

protected:
    void Init(KytLink* root, const char* name);
    virtual void SetLook(KytLink* link);
    virtual KytLinkContents* CreateConts();
    void CreateLights();
    void MakeCurrent() const;
    // Creates the context and makes it the scene's, current (unconditionally when forced); the
    // scene's former context goes either way. False, with no context left, when it fails.
    bool AdoptContext(KytOgl* ogl, int width, int height, bool forced);
    // Takes the positive sizes and derives the rotation per pixel from them.
    void ApplySize(int width, int height);
    // For the special views: context creation and the frame with the context made current
    // unconditionally; the frame draws no background and does no review update.
    bool CreateForced(KytOgl* ogl, int width, int height);
    void DrawForced(bool makeCurrent);
    bool ChangeCullFace(bool drawBack);
    void CopyAux(KytAuxContents* first, AUX_STAGE stage, unsigned int* skipIds);

    bool RemoveAuxContents(KytAuxContents* first, unsigned int id, bool all);
    bool RemoveAuxContents(KytAuxContents* first, KytAuxContents* obj);
    bool RemoveAuxContents(KytAuxContents* first, KytLink* link);
    void RemoveAuxMain(KytAuxContents* obj, KytAuxContents* prev);

    AuxAnnotate* m_pAnnotateHead = nullptr;
    AuxAnnotate* m_pAnnotatePicked = nullptr;
    AuxDRAnnotate* m_pDRAnnotateHead = nullptr;
    AuxDRAnnotate* m_pDRAnnotatePicked = nullptr;
    AuxDRAnnotate* m_pDRAnnotateBackup = nullptr;
    AuxDRPartsConnect* m_pDRPartsConnectHead = nullptr;
    AuxDRPartsConnect* m_pDRPartsConnectPicked = nullptr;
    AuxDRPartsConnect* m_pDRPartsConnectBackup = nullptr;
    AuxDRArrow* m_pDRArrowHead = nullptr;
    AuxDRArrow* m_pDRArrowPicked = nullptr;
    AuxDRArrow* m_pDRArrowBackup = nullptr;
    KytBackupSceneData m_aBackup[2];
    bool m_bMoving = false;
    bool m_bMoveSimplified = false;
    bool m_bMoveSavedFlag = false;
    BOXMODE m_eMoveSavedBoxMode = BOXMODE_WIRE;
    bool m_bNormal = true;
    bool m_bDepend = true;
    unsigned int m_auSelectBuf[2048];
    // The pass's selection buffer: m_auSelectBuf, or a larger one after an overflow.
    unsigned int* m_pSelectBuf = m_auSelectBuf;
    int m_nSelectSize = 2048;
    std::vector<unsigned int> m_aSelectGrown;
    int m_nPickHits = -1;
    CString m_strName;
    KytViewPort* m_pViewPort = nullptr;
    KytOgl* m_pOgl = nullptr;
    KytLink* m_pRootLink = nullptr;
    int m_nWidth = 200;
    int m_nHeight = 200;
    int m_nOrgX = 0;
    int m_nOrgY = 0;
    KytLinkContents* m_pContents = nullptr;
    KytLight* m_apLight[8];
    unsigned int m_uID = 0;
    KytScene* m_pNext = nullptr;
    KytAuxContents* m_pAuxConts[2] = {nullptr, nullptr};
    bool m_bResetView = false;
    float m_fDegPerPixelX = 0.0f;
    float m_fDegPerPixelY = 0.0f;
    bool m_bAuxState = true;
    // The "Default" light made when entry 0 is empty at creation; the scene owns it.
    KytLight* m_pOwnLight = nullptr;

private:
    // The clip count handed to the context's back-face switch: 0 while the contents may not
    // clip at all.
    int ClipArg() const;
    // Every drawn object fitted to the changed view and drawn: the frame of zooms and resets.
    void RefitFrame();
    // FitView of every object of both stage lists.
    void RefitLists() const;
    // The projection matrix rebuilt from the viewport, the model-view matrix left current.
    void RebuildProjection();

    // Picking helpers: the view-plane point of a window point, the end of a selection pass,
    // a larger buffer after an overflow, and the bounded hit-record walk.
    WqVector3D ViewPlanePoint(int x, int y);
    int EndSelectPass();
    bool GrowSelectBuffer();
    void ResetSelectBuffer();
    // Stage 1 into a fresh buffer, grown while it overflows; false when the pass could not
    // run. hits is -1 when even the largest buffer overflowed.
    bool SelectStage1(int x, int y, bool aim, bool withAux, int polyMode[2], int& hits);
    // Runs one selection pass (`pass` answers false when it could not run) and repeats it into
    // a larger buffer while it overflows. False when the pass could not run; hits is -1 when
    // even the largest buffer overflowed.
    template <class Pass>
    bool RunSelectPass(Pass pass, int& hits);
    // The part-connection picks, by the first or the second hit test.
    AuxDRPartsConnect* PickDRPartsConnectBy(int x, int y, bool second);
    template <class Visit>
    void WalkHits(int hits, Visit visit) const;
    bool NearestHit(int hits, KytPickData* out, UmoMaterial* material, bool anyVisual,
                    bool filter);

    KytAuxContents*& Head(AUX_STAGE stage) { return m_pAuxConts[stage == AUX_STAGE_FIRST ? 0 : 1]; }

    // Files an annotation or review object in its stage list and in its own chain; an object
    // already in the chain or in its backup chain is refused.
    // Takes an object leaving the scene out of every chain and picked pointer.
    void ForgetInChains(const KytAuxContents* obj);
    // Removes a chained object from its stage list (deleting it) and from its chain.
    void DropFromScene(KytAuxContents* obj);
    // Whether a stage list holds the object: one list and one chain per object.
    bool IsListed(const KytAuxContents* obj) const;
    template <class T, T* T::*Next>
    void FileAsBackup(T* obj, T*& backup, T* head);

    template <class T, T* T::*NextField>
    void FileInChain(T* obj, AUX_STAGE stage, T*& head, T*& picked, const T* backup = nullptr);
};

// Library-wide switches of the scene family.
void KYT_SetEchoActive(bool on);
int KYT_IsEchoActive();
void KYT_SetShowTarget(int on);
void KYT_SetShowTarget(int on, KytStack<KytLink>* targets);
int KYT_IsShowTarget();
void KYT_SetEnableCullFaceWhenClipping(int on);
int KYT_IsEnableCullFaceWhenClipping();
void KYT_SetViewStep(short step);
short KYT_GetViewStep();
void KYT_SetPickAlpha(int on);
int KYT_IsPickAlpha();

// A stippled circle through `start` about `centre` in the plane perpendicular to `axis`, in
// the current colour: 35 points 10 degrees apart in one line loop. For the library's own marks.
__attribute__((visibility("hidden"))) void DrawDashedCircle(const WqVector3D& start,
                                                            const WqVector3D& centre,
                                                            const WqVector3D& axis);
