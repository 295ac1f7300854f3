#pragma once
// All views of one document: the scene chain (its head is the active scene), the lights the
// scenes share, the root of the part tree, and the library-wide alpha stack.

#include "scene/view/KytLinkContents.h"
#include "scene/view/KytPlatform.h"

class KytScene;
class KytLight;
class KytLink;
struct KytAnnotateData;
struct KytDRAnnotateData;
class AuxAnnotate;
class AuxDRAnnotate;
class AuxDRPartsConnect;
class AuxDRArrow;
struct KytDRPartsConnectData;
struct KytDRArrowData;

class KytScenes {
public:
    KytScenes();
    KytScenes(KytLink* root, KytScene* scene);
    // Both chains are owned: a copy would free them twice.
    KytScenes(const KytScenes&) = delete;
    KytScenes& operator=(const KytScenes&) = delete;
    virtual ~KytScenes();

    // Scenes.
    KytScene* AddScene(KytScene* scene);
    KytScene* AddScene(unsigned int id);
    KytScene* AddScene(const char* name);
    KytScene* CreateScene();
    KytScene* SearchScene(unsigned int id) const;
    KytScene* SearchScene(const char* name) const;
    KytScene* operator()(unsigned int id) const { return SearchScene(id); }
    KytScene* operator()(const char* name) const { return SearchScene(name); }
    KytScene* ChangeActiveScene(KytScene* scene);
    KytScene* ChangeActiveScene(const char* name);
    KytScene* ChangeActiveScene(unsigned int id);
    bool DeleteScene(KytScene* scene);
    bool DeleteScene(unsigned int id);
    bool DeleteScene(const char* name);
    KytScene* GetTopScene(bool normalOnly) const;
    KytLink* GetRootLink() const;

    // Lights.
    KytLight* GetTopLight() const { return TopLight; }
    void AddLight(KytLight* light);
    void AttachLight(KytLight* light, bool redraw);
    void EnableLight(const char* name, int enable, bool redraw);
    KytLight* SearchLight(const char* name) const;
    void RemoveLight(KytLight* light);
    void SetLight(KytScene* scene);
    void ChangeBackColor(float r, float g, float b, bool redraw);

    // Root link and part tree.
    void Initialize(KytLink* root, bool refit);
    void ChangeRootLink(KytLink* link, bool unused, bool redraw);
    void ChangeRootLink(KytScene* scene, KytLink* link, bool redraw);
    void Remake(bool redraw);
    void SetAlphaStack(KytLink* link, bool single);
    void SetCustomAlphaStack(KytLink* link, bool single);

    // Drawing broadcasts.
    void Draw(bool normalOnly);
    void ReDraw(bool normalOnly);
    void FitViews(bool redraw);
    void DrawDependPart();
    void ChangeShapeColorRandom(bool redraw);
    void SetCircumferenceShowMode(KytStack<KytLink>* links, bool on, bool redraw);
    void ChangeDrawType(DRAWTYPE type, KytLink* a, KytLink* b, bool redraw, bool allScenes);
    bool IsCustomColor() const;
    void CheckSilhouette(HWND wnd);
    void StartMovingViews();
    void EndMovingViews(bool redraw);
    bool IsMovingViews() const { return MovingViews; }
    void EnableDraw(bool on) { DrawEnabled = on; }

    // Forwarding to the scenes.
    void ChangeAuxState(unsigned int id, bool state, bool redraw);
    void ChangeAuxState(unsigned int* ids, bool state, bool redraw);
    void SetSubContsState(unsigned int id, bool state);
    // Hides or shows what every scene draws for `link`; a transparent link leaves or joins
    // the alpha stack with it.
    void HideDisplayObject(bool show, KytLink* link);
    void SetScaleLineState(AuxAnnotate* annotation, bool draw, bool redraw);
    void RemoveAuxContents(unsigned int id, bool redraw, bool all);

    // Annotation and review chains of the normal scenes.
    void ChangeAuxAnnotateLink(KytAnnotateData* data, KytLink* from, KytLink* to);
    void ChangeAuxDRAnnotateLink(KytDRAnnotateData* data, KytLink* from, KytLink* to);
    void ChangeAuxDRPartsConnectLink(KytDRPartsConnectData* data, KytLink* from, KytLink* to);
    void ChangeAuxDRArrowLink(KytDRArrowData* data, KytLink* from, KytLink* to);
    void BackupDRAuxContents(unsigned long drId);
    void BackupDRAuxContentsSetDRID(unsigned long drId);
    void RollbackDRAuxContents();
    void DeleteBackupDRAuxContents();
    void DeleteDRAuxContents(unsigned long drId);
    void ShowDRDimensions(unsigned long drId, bool show);
    void DeleteDRDimensions(unsigned long drId);
    void DeleteAllDRDimensions();
    void ShowCamera(bool show);
    // Any scene, normal or not.
    bool IsCanDeleteDRData(unsigned long drId) const;
    // Marks the matching object as target in every other normal scene; each redraws its
    // depending parts.
    void ChangeTargetAnnotation(KytScene* origin, AuxAnnotate* annotation);
    void ChangeTargetAnnotation(KytScene* origin, AuxDRAnnotate* annotation);
    void ChangeTargetDRPartsConnect(KytScene* origin, AuxDRPartsConnect* connect);
    void ChangeTargetDRArrow(KytScene* origin, AuxDRArrow* arrow);

    // Part properties of the parts that annotations point to.
    int GetPartPropertyValue(const char* property, unsigned int annotateKey, CString& out);
    int GetPartPropertyValue(const char* property, unsigned long drKey1, unsigned int drKey2, CString& out);
    int GetPartPropertyValue(const char* property, KytAnnotateData* data, CString& out);
    int GetPartPropertyValue(const char* property, KytDRAnnotateData* data, CString& out);
    int GetPartPropertyValue(const char* property, AuxAnnotate* annotate, CString& out);
    int GetPartPropertyValue(const char* property, AuxDRAnnotate* annotate, CString& out);

    static KytColorTable ColorTable;
    static KytStack<KytLink> AlphaStack;
    static KytStack<KytLink>* pTargetStack;
    static int nShapeCnt;
    static unsigned long m_ulPRD_Item;
    static bool m_bDRHTMLPrintingNow;

private:
    void RebuildAlphaStack(KytLink* link);
    static int CountTopShapes();

    bool MovingViews = false;
    KytScene* TopScene = nullptr;
    KytLight* TopLight = nullptr;
    KytLink* RootLink = nullptr;
    bool DrawEnabled = true;

    static double s_lfSavedContributionRate;
};

KytStack<KytLink>* KYT_GetAlphaStack();
void KYT_ClearAlphaStack();
void KYT_RemoveAlphaStack(KytLink* link);
void KYT_AppendAlphaStack(KytLink* link);
void KYT_PushAlphaStack(KytLink* link);
