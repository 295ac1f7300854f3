#include "scene/view/KytScene.h"

#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/AuxDRAnnotate.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytLight.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KytViewPort.h"
#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "platform/kernel/KytStack.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <limits>

unsigned int KytScene::uSceneDefCnt = 0;
float KytScene::afBackColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
bool KytScene::bSenseOfSpace = true;
bool KytScene::bEchoActiveLink = true;
bool KytScene::bShowTargetLink = false;
short KytScene::nViewMoveStep = 1;
bool KytScene::bPickAlphaLink = true;
bool KytScene::bSimpleView = false;
bool KytScene::bMoving = false;
bool KytScene::bStrictPick = false;
KytScene* KytScene::pSceneDR = nullptr;
unsigned long KytScene::ulID_DRData = 0;
bool KytScene::bDRAnno_BlnEna = false;
bool KytScene::bDRAnno_BlnEna_bak = false;
bool KytScene::bKYT_DR_Play = false;

namespace {

// Values a view move saves library-wide and gives back at its end.
bool g_bSavedContribution = true;
double g_lfSavedContributionRate = 0.018;

} // namespace

KytBackupSceneData::KytBackupSceneData()
    : fDirectAngle(0.0f), fZenithAngle(0.0f), vLookAt(), lfViewRadius(0.0), lfZoomAngle(0.0),
      lfNearClip(0.0), lfFarClip(0.0), anReserved{0, 0}, eDrawType(DRAWTYPE_SHADE), bSubDraw(false)
{
}

// ---------------------------------------------------------------------------------------------
// Construction and set-up

KytScene::KytScene()
{
    Init(nullptr, nullptr);
}

KytScene::KytScene(KytLink* root, const char* name)
{
    Init(root, name);
}

void KytScene::Init(KytLink* root, const char* name)
{
    m_bResetView = false;
    for (KytLight*& light : m_apLight)
        light = nullptr;
    char buf[32];
    if (!name) {
        std::snprintf(buf, sizeof(buf), "Scene%03u", uSceneDefCnt);
        name = buf;
    }
    m_strName = name;
    m_uID = uSceneDefCnt++;
    m_pViewPort = new KytViewPort();
    m_nWidth = 200;
    m_nHeight = 200;
    m_pRootLink = root;
    m_eMoveSavedBoxMode = BOXMODE_WIRE;
    m_bDepend = m_bNormal = m_bAuxState = true;
    m_pOgl = nullptr;
    m_pContents = nullptr;
    m_pAuxConts[0] = m_pAuxConts[1] = nullptr;
    m_pNext = nullptr;
    m_nOrgX = m_nOrgY = 0;
    m_fDegPerPixelX = m_fDegPerPixelY = 0.0f;
    m_pAnnotateHead = m_pAnnotatePicked = nullptr;
    m_pDRAnnotateHead = m_pDRAnnotatePicked = m_pDRAnnotateBackup = nullptr;
    m_pDRPartsConnectHead = m_pDRPartsConnectPicked = m_pDRPartsConnectBackup = nullptr;
    m_pDRArrowHead = m_pDRArrowPicked = m_pDRArrowBackup = nullptr;
    m_bMoving = m_bMoveSimplified = m_bMoveSavedFlag = false;
    std::memset(m_auSelectBuf, 0, sizeof(m_auSelectBuf));
    m_nPickHits = -1;
}

KytScene::~KytScene()
{
    // Deleting the head of a chain frees the whole chain.
    delete m_pNext;
    m_pNext = nullptr;
    // Second list first, each head advancing before its object goes.
    for (int list : {1, 0}) {
        while (KytAuxContents* obj = m_pAuxConts[list]) {
            m_pAuxConts[list] = obj->pNextAux;
            delete obj;
        }
    }
    delete m_pContents;
    delete m_pViewPort;
    if (m_pOgl) {
        // Release the GL context too, in case Destroy() was not called; a second
        // DeleteContext on a released context does nothing.
        m_pOgl->DeleteContext();
        delete m_pOgl;
    }
    delete m_pOwnLight;
}

void KytScene::MakeCurrent() const
{
    if (m_pOgl)
        m_pOgl->MakeCurrent();
}

bool KytScene::AdoptContext(KytOgl* ogl, int width, int height, bool forced)
{
    if (!ogl || !ogl->Create(width, height)) {
        // The failed context goes, and so does the one the scene had before: it is no
        // longer reachable once the pointer is dropped.
        if (m_pOgl && m_pOgl != ogl) {
            m_pOgl->DeleteContext();
            delete m_pOgl;
        }
        delete ogl;
        m_pOgl = nullptr;
        return false;
    }
    // Stored first, so that the context made current is the new one.
    if (m_pOgl && m_pOgl != ogl) {
        m_pOgl->DeleteContext();
        delete m_pOgl;
    }
    m_pOgl = ogl;
    if (forced)
        m_pOgl->MakeCurrentFource();
    else
        MakeCurrent();
    return true;
}

void KytScene::ApplySize(int width, int height)
{
    if (width > 0)
        m_nWidth = width;
    if (height > 0)
        m_nHeight = height;
    m_fDegPerPixelX = 360.0f / static_cast<float>(m_nWidth);
    m_fDegPerPixelY = 360.0f / static_cast<float>(m_nHeight);
}

bool KytScene::Create(KytOgl* ogl, int width, int height)
{
    if (!AdoptContext(ogl, width, height, false))
        return false;
    ApplySize(width, height);
    return Create(true);
}

bool KytScene::Create(bool full)
{
    if (!m_pOgl)
        return false;
    MakeCurrent();
    if (full)
        m_pOgl->Initial(afBackColor);
    if (m_pRootLink && m_pViewPort->ActiveCamera)
        SetLook(m_pRootLink);
    m_pViewPort->Create(m_pRootLink, m_nOrgX, m_nOrgY, m_nWidth, m_nHeight);
    if (!m_pContents)
        m_pContents = CreateConts();
    if (full)
        CreateLights();
    if (m_pContents)
        m_pContents->Create(this);
    for (KytAuxContents* obj = m_pAuxConts[0]; obj; obj = obj->pNextAux)
        obj->Create(this);
    for (KytAuxContents* obj = m_pAuxConts[1]; obj; obj = obj->pNextAux)
        obj->Create(this);
    return true;
}

KytLinkContents* KytScene::CreateConts()
{
    return new KytLinkContents();
}

void KytScene::CreateLights()
{
    glEnable(GL_LIGHTING);
    if (!m_apLight[0]) {
        if (!m_pOwnLight)
            m_pOwnLight = new KytLight("Default");
        m_apLight[0] = m_pOwnLight;
    }
    for (int i = 0; i < 8 && m_apLight[i]; ++i)
        m_apLight[i]->Create(GL_LIGHT0 + i);
}

void KytScene::AttachLight(KytLight* first)
{
    int i = 0;
    for (KytLight* light = first; light && i < 8; light = light->GetNext(), ++i)
        m_apLight[i] = light;
}

void KytScene::UpdateLight()
{
    for (int i = 0; i < 8 && m_apLight[i]; ++i)
        if (m_apLight[i]->IsUpdateEachDraw())
            m_apLight[i]->Update(GL_LIGHT0 + i);
}

void KytScene::InitialOgl() const
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    m_pOgl->Initial(afBackColor);
}

void KytScene::ReSize(int width, int height)
{
    if (!m_pOgl || width == 0 || height == 0)
        return;
    m_nWidth = width;
    m_nHeight = height;
    m_fDegPerPixelX = 360.0f / static_cast<float>(width);
    m_fDegPerPixelY = 360.0f / static_cast<float>(height);
    MakeCurrent();
    glViewport(m_nOrgX, m_nOrgY, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    m_pViewPort->Aspect = static_cast<double>(width) / static_cast<double>(height);
    m_pViewPort->SetProjection();
    glMatrixMode(GL_MODELVIEW);
    if (m_pViewPort->RealScale.Flag)
        ReSetRealPpm(false);
}

void KytScene::ReSize(int x, int y, int width, int height)
{
    if (!m_pOgl || width == 0 || height == 0 || x < 0 || y < 0)
        return;
    m_nOrgX = x;
    m_nOrgY = y;
    ReSize(width, height);
}

bool KytScene::CheckZClip()
{
    return true;
}

bool KytScene::IsAddLight() const
{
    return true;
}

void KytScene::SetBackFaceMode(bool on)
{
    if (!m_pOgl || !m_pContents)
        return;
    m_pOgl->SetBackFaceMode(on, ClipArg());
}

int KytScene::ClipArg() const
{
    // The switch, not bClipEnabled: that one is what the last frame enabled.
    return m_pContents && m_pContents->bClipAllowed ? m_pContents->GetClipCnt() : 0;
}

void KytScene::FitView(bool redraw)
{
    if (!m_pRootLink || !m_pOgl || !m_pContents)
        return;
    MakeCurrent();
    SetLook(m_pRootLink);
    m_pViewPort->BaseRadius = m_pViewPort->ViewRadius;
    ResetView(redraw);
}

void KytScene::ResetView(bool redraw)
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    m_pViewPort->SetCamera();
    if (!redraw) {
        for (KytAuxContents* obj = m_pAuxConts[0]; obj; obj = obj->pNextAux)
            obj->FitView(m_pViewPort);
        if (m_pRootLink && m_pContents)
            m_pContents->FitView(m_pViewPort);
        for (KytAuxContents* obj = m_pAuxConts[1]; obj; obj = obj->pNextAux)
            obj->FitView(m_pViewPort);
        return;
    }
    RefitFrame();
    DrawGDI();
}

// ---------------------------------------------------------------------------------------------
// Drawing

void KytScene::Draw(bool makeCurrent)
{
    if (pSceneDR && m_pRootLink)
        UpdateDRAuxVisible(m_pRootLink, this == pSceneDR);
    if (!m_pOgl || !m_pContents)
        return;
    if (makeCurrent)
        MakeCurrent();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (m_bResetView)
        m_pViewPort->SetCamera();
    UpdateLight();
    glPushMatrix();
    glInitNames();
    glPushName(0xFFFFFFFFu);
    if (m_bAuxState)
        DrawAuxContents(m_pAuxConts[0]);
    if (m_pRootLink)
        m_pContents->Draw(m_pRootLink, 0);
    if (m_bAuxState)
        DrawAuxContents(m_pAuxConts[1]);
    glPopName();
    glPopMatrix();
    DrawGDI();
}

void KytScene::ReDraw()
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawAuxContents(m_pAuxConts[0]);
    if (m_pRootLink && m_pContents)
        m_pContents->Draw(m_pRootLink, 0);
    DrawAuxContents(m_pAuxConts[1]);
    DrawGDI();
}

void KytScene::DrawAuxContents(KytAuxContents* first) const
{
    if (!m_bAuxState)
        return;
    AuxAnnotate::Frame frame;
    for (KytAuxContents* obj = first; obj; obj = obj->pNextAux)
        obj->Draw();
}

void KytScene::FitAuxContents(KytAuxContents* first, bool draw) const
{
    for (KytAuxContents* obj = first; obj; obj = obj->pNextAux) {
        obj->FitView(m_pViewPort);
        if (draw)
            obj->Draw();
    }
}

namespace {

void CaptureAnnotationMatrices()
{
    glGetDoublev(GL_MODELVIEW_MATRIX, AuxAnnotate::modelM);
    glGetDoublev(GL_PROJECTION_MATRIX, AuxAnnotate::projM);
    glGetIntegerv(GL_VIEWPORT, AuxAnnotate::viewP);
}

} // namespace

void KytScene::DrawGDI() const
{
    if (!m_pOgl || !m_pOgl->HasLiveDC())
        return;
    if ((!m_pAnnotateHead && !m_pDRAnnotateHead) || !m_bDepend) {
        m_pOgl->SwapBuffers();
    } else {
        HFONT previous = m_pOgl->ChangeFont(&AuxAnnotate::MsgFont);
        CaptureAnnotationMatrices();
        // The texts go on both buffers, so that they survive the swap.
        for (int pass = 0; pass < 2; ++pass) {
            for (AuxAnnotate* a = m_pAnnotateHead; a; a = a->pNextAnnotation)
                a->DrawGDI(m_pOgl);
            for (AuxDRAnnotate* a = m_pDRAnnotateHead; a; a = a->pNextDRAnnotation)
                a->DrawGDI(m_pOgl);
            if (pass == 0)
                m_pOgl->SwapBuffers();
        }
        m_pOgl->SelectObject(previous);
    }
    if (m_pAuxConts[0] && m_pAuxConts[0]->GetID() == 85)
        m_pAuxConts[0]->DrawGDI();
}

void KytScene::DrawDependPart() const
{
    if (!m_pOgl)
        return;
    if (m_pAnnotateHead && m_bDepend) {
        MakeCurrent();
        HFONT previous = m_pOgl->ChangeFont(&AuxAnnotate::MsgFont);
        CaptureAnnotationMatrices();
        for (AuxAnnotate* a = m_pAnnotateHead; a; a = a->pNextAnnotation)
            a->DrawGDI(m_pOgl);
        m_pOgl->SelectObject(previous);
    }
    if (m_pDRAnnotateHead && m_bDepend) {
        MakeCurrent();
        CaptureAnnotationMatrices();
        for (AuxDRAnnotate* a = m_pDRAnnotateHead; a; a = a->pNextDRAnnotation)
            a->DrawGDI(m_pOgl);
    }
}

// ---------------------------------------------------------------------------------------------
// Release and copy

void KytScene::Destroy()
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    if (m_pContents)
        m_pContents->Destroy();
    for (KytAuxContents* obj = m_pAuxConts[0]; obj; obj = obj->pNextAux)
        obj->Destroy();
    for (KytAuxContents* obj = m_pAuxConts[1]; obj; obj = obj->pNextAux)
        obj->Destroy();
    if (KytFont* font = m_pOgl->GetFont()) {
        font->DeleteLists();
        m_pOgl->SetFontRecord(nullptr);
    }
    m_pOgl->DeleteContext();
}

bool KytScene::Copy(const KytScene* src, int width, int height, unsigned int* skipIds)
{
    if (!m_pOgl || !src || !m_pOgl->Create(width, height))
        return false;
    MakeCurrent();
    m_pOgl->Initial(afBackColor);
    if (width > 0)
        m_nWidth = width;
    if (height > 0)
        m_nHeight = height;
    m_fDegPerPixelX = 360.0f / static_cast<float>(m_nWidth);
    m_fDegPerPixelY = 360.0f / static_cast<float>(m_nHeight);
    m_bDepend = src->m_bDepend;
    m_bNormal = src->m_bNormal;
    m_bAuxState = src->m_bAuxState;
    m_pRootLink = src->m_pRootLink;
    if (m_pRootLink && m_pViewPort->ActiveCamera)
        m_pViewPort->ActiveCamera->LookAtPosition = m_pViewPort->CalcBoundingBox(m_pRootLink);
    m_pViewPort->Create(nullptr, m_nOrgX, m_nOrgY, m_nWidth, m_nHeight);
    *m_pViewPort = *src->m_pViewPort;
    if (!m_pContents)
        m_pContents = CreateConts();
    CreateLights();
    MakeCurrent();
    if (m_pContents) {
        if (m_pRootLink)
            m_pContents->Create(this);
        m_pContents->Copy(src->m_pContents);
    }
    SetBackFaceMode(src->m_pOgl && src->m_pOgl->IsDrawBackFace());
    CopyAux(src->m_pAuxConts[0], AUX_STAGE_FIRST, skipIds);
    CopyAux(src->m_pAuxConts[1], AUX_STAGE_SECOND, skipIds);
    return true;
}

void KytScene::CopyAux(KytAuxContents* first, AUX_STAGE stage, unsigned int* skipIds)
{
    for (KytAuxContents* obj = first; obj; obj = obj->pNextAux) {
        if (skipIds) {
            bool skip = false;
            for (const unsigned int* id = skipIds; *id != 0xFFFFFFFFu; ++id)
                if (*id == obj->GetID()) {
                    skip = true;
                    break;
                }
            if (skip)
                continue;
        }
        KytAuxContents* copy = obj->Duplicate();
        if (!copy)
            continue;
        bool filed = true;
        switch (copy->GetAuxType()) {
        case AUXTYPE_ANNOTATE:
            if (auto* a = dynamic_cast<AuxAnnotate*>(copy))
                AddAnnotation(a, stage);
            else
                filed = false;
            break;
        case AUXTYPE_DR: {
            auto* dr = dynamic_cast<AuxDRAnnotate*>(copy);
            auto* pc = dynamic_cast<AuxDRPartsConnect*>(copy);
            auto* ar = dynamic_cast<AuxDRArrow*>(copy);
            // A copy never carries the backup mark: copies of backups go to the backup
            // chains, so they are neither drawn nor lost.
            bool backup = false;
            if (auto* s = dynamic_cast<AuxDRAnnotate*>(obj))
                backup = s->bBackup;
            else if (auto* s = dynamic_cast<AuxDRPartsConnect*>(obj))
                backup = s->bBackup;
            else if (auto* s = dynamic_cast<AuxDRArrow*>(obj))
                backup = s->bBackup;
            if (copy->GetID() == AuxDRPartsConnect::ID && pc)
                backup ? BackupDRPartsConnect(pc) : AddPartsConnect(pc);
            else if (copy->GetID() == AuxDRAnnotate::ID && dr)
                backup ? BackupDRAnnotation(dr) : AddAnnotation(dr, stage);
            else if (copy->GetID() == AuxDRArrow::ID && ar)
                backup ? BackupDRArrow(ar) : AddDRArrow(ar);
            else
                filed = false;
            break;
        }
        default:
            AddAuxContents(copy, stage);
            break;
        }
        // Nothing holds an unfiled copy: it would leak. A filed one was created when its
        // list took it.
        if (!filed)
            delete copy;
    }
}

// ---------------------------------------------------------------------------------------------
// Draw types, projection, switches

DRAWTYPE KytScene::GetDrawType() const
{
    return m_pContents ? m_pContents->eDrawType : DRAWTYPE_SHADE;
}

void KytScene::BackupDrawType()
{
    if (m_pContents)
        m_pContents->ePrevDrawType = m_pContents->eDrawType;
}

DRAWTYPE KytScene::SetDrawType(DRAWTYPE type, bool redraw)
{
    if (!m_pContents)
        return type;
    MakeCurrent();
    DRAWTYPE previous = m_pContents->eDrawType;
    m_pContents->eDrawType = type;
    m_pContents->MakeDisp(KYT_GetTopShape(), m_pOgl);
    if (redraw)
        Draw(false);
    return previous;
}

bool KytScene::ChangeDrawType(DRAWTYPE type, KytLink* a, KytLink* b, bool redraw)
{
    if (!m_pContents)
        return false;
    m_pContents->pFocusLink1 = a;
    m_pContents->pFocusLink2 = b;
    MakeCurrent();
    if (m_pContents->eDrawType != DRAWTYPE_CUSTOM_COLOR)
        m_pContents->ePrevDrawType = m_pContents->eDrawType;
    else if (type != DRAWTYPE_CUSTOM_COLOR)
        m_pContents->ePrevDrawType = type;
    m_pContents->eDrawType = type;
    m_pContents->MakeDisp(KYT_GetTopShape(), m_pOgl);
    if (redraw)
        Draw(false);
    return true;
}

void KytScene::RestoreDrawType(bool redraw)
{
    if (!m_pContents)
        return;
    MakeCurrent();
    if (m_pContents->eDrawType != m_pContents->ePrevDrawType) {
        m_pContents->eDrawType = m_pContents->ePrevDrawType;
        m_pContents->MakeDisp(KYT_GetTopShape(), m_pOgl);
    }
    if (redraw)
        Draw(false);
}

bool KytScene::SetSimplify(bool on)
{
    if (!m_pContents || m_pContents->bWireBoxOnly == on)
        return false;
    m_pContents->bWireBoxOnly = on;
    return true;
}

int KytScene::GetProjType() const
{
    return m_pViewPort->ProjectionMode;
}

bool KytScene::ChangeViewType(ProjectType type)
{
    if (m_pViewPort->ProjectionMode == static_cast<int>(type))
        return false;
    MakeCurrent();
    m_pViewPort->ProjectionMode = type;
    if (type == PROJECT_PERSPECTIVE)
        m_pViewPort->RealScale.Flag = 0;
    m_pViewPort->CalcViewFovy(m_pViewPort->ViewRadius);
    if (m_pOgl && m_pViewPort->ActiveCamera)
        m_pViewPort->SetCamera();
    return true;
}

void KytScene::SetSubContsState(unsigned int id, bool state, bool redraw)
{
    if (m_pContents)
        m_pContents->SetSubContsState(id, state);
    if (redraw)
        Draw(true);
}

bool KytScene::ChangeAuxState(unsigned int id, bool state, bool redraw)
{
    KytAuxContents* obj = SearchAuxContents(id);
    if (!obj || obj->IsDraw() == state)
        return false;
    obj->SetDraw(state);
    if (redraw)
        Draw(true);
    return true;
}

bool KytScene::ChangeAuxState(unsigned int* ids, bool state, bool redraw)
{
    bool changed = false;
    for (unsigned int* id = ids; id && *id; ++id)
        if (ChangeAuxState(*id, state, false))
            changed = true;
    if (redraw)
        Draw(true);
    return changed;
}

// ---------------------------------------------------------------------------------------------
// Moving view

void KytScene::StartMovingView(bool thisOnly)
{
    if (m_bMoving)
        return;
    if (!thisOnly)
        bMoving = true;
    m_bMoving = true;
    m_eMoveSavedBoxMode = KytLinkContents::eContributionBoxMode;
    KytLinkContents::eContributionBoxMode = KytLinkContents::eContributionBoxDynamicMode;
    if (!m_pContents)
        return;
    m_pContents->bViewMoving = true;
    m_bMoveSavedFlag = m_pContents->bSectionLine;
    m_pContents->bSectionLine = false;
    g_bSavedContribution = m_pContents->bContributionOn;
    if (KytLinkContents::bContributionDynamic) {
        m_pContents->bContributionOn = true;
        if (!thisOnly) {
            g_lfSavedContributionRate = KytLinkContents::lfContributionRate;
            KytLinkContents::lfContributionRate = KytLinkContents::lfContributionRateDynamic;
        }
    } else {
        m_pContents->bContributionOn = false;
    }
    m_bMoveSimplified = false;
    if (bSimpleView && !m_pContents->bWireBoxOnly) {
        m_pContents->bWireBoxOnly = true;
        m_bMoveSimplified = true;
    }
}

void KytScene::EndMovingView(bool redraw, bool thisOnly)
{
    if (!m_bMoving)
        return;
    if (!thisOnly)
        bMoving = false;
    m_bMoving = false;
    KytLinkContents::eContributionBoxMode = m_eMoveSavedBoxMode;
    if (m_pContents) {
        m_pContents->bSectionLine = m_bMoveSavedFlag;
        m_pContents->bViewMoving = false;
        if (KytLinkContents::bContributionDynamic && !thisOnly)
            KytLinkContents::lfContributionRate = g_lfSavedContributionRate;
        m_pContents->bContributionOn = g_bSavedContribution;
        if (m_bMoveSimplified) {
            m_pContents->bWireBoxOnly = false;
            m_bMoveSimplified = false;
        }
    }
    if (redraw)
        Draw(true);
}

// ---------------------------------------------------------------------------------------------
// Stage lists

KytAuxContents* KytScene::GetAuxConts(AUX_STAGE stage) const
{
    return m_pAuxConts[stage == AUX_STAGE_FIRST ? 0 : 1];
}

void KytScene::AddAuxContents(KytAuxContents* obj, AUX_STAGE stage)
{
    if (!obj)
        return;
    // An object already in a list would close a cycle when appended again.
    for (KytAuxContents* head : m_pAuxConts)
        for (KytAuxContents* o = head; o; o = o->pNextAux)
            if (o == obj)
                return;
    // A stale link would splice a foreign chain into this list.
    obj->pNextAux = nullptr;
    KytAuxContents*& head = Head(stage);
    if (!head) {
        head = obj;
    } else {
        KytAuxContents* last = head;
        while (last->pNextAux)
            last = last->pNextAux;
        last->pNextAux = obj;
    }
    // Without a context the object is created with the scene's own Create.
    if (m_pOgl) {
        MakeCurrent();
        obj->Create(this);
    }
}

KytAuxContents* KytScene::ReplaceAuxContents(KytAuxContents* first, bool create, AUX_STAGE stage)
{
    KytAuxContents*& head = Head(stage);
    KytAuxContents* former = head;
    head = first;
    if (create && first) {
        MakeCurrent();
        first->Create(this);
    }
    return former;
}

KytAuxContents* KytScene::SearchAuxContents(unsigned int id) const
{
    for (KytAuxContents* head : m_pAuxConts)
        for (KytAuxContents* obj = head; obj; obj = obj->pNextAux)
            if (obj->GetID() == id)
                return obj;
    return nullptr;
}

void KytScene::RemoveAuxMain(KytAuxContents* obj, KytAuxContents* prev)
{
    if (obj == m_pAuxConts[0])
        m_pAuxConts[0] = obj->pNextAux;
    else if (obj == m_pAuxConts[1])
        m_pAuxConts[1] = obj->pNextAux;
    else if (prev && prev != obj)
        prev->pNextAux = obj->pNextAux;
    obj->pNextAux = nullptr;
    ForgetInChains(obj);
    // Display lists go while their context is current.
    MakeCurrent();
    obj->Destroy();
    delete obj;
}

bool KytScene::RemoveAuxContents(KytAuxContents* first, unsigned int id, bool all)
{
    bool removed = false;
    KytAuxContents* prev = nullptr; // the last object kept
    for (KytAuxContents* obj = first; obj;) {
        KytAuxContents* next = obj->pNextAux;
        if (obj->GetID() == id) {
            RemoveAuxMain(obj, prev ? prev : obj);
            if (!all)
                return true;
            removed = true;
        } else {
            prev = obj;
        }
        obj = next;
    }
    return removed;
}

bool KytScene::RemoveAuxContents(KytAuxContents* first, KytAuxContents* target)
{
    KytAuxContents* prev = nullptr;
    for (KytAuxContents* obj = first; obj; prev = obj, obj = obj->pNextAux) {
        if (obj == target) {
            RemoveAuxMain(obj, prev);
            return true;
        }
    }
    return false;
}

bool KytScene::RemoveAuxContents(KytAuxContents* first, KytLink* link)
{
    KytAuxContents* prev = nullptr;
    for (KytAuxContents* obj = first; obj; prev = obj, obj = obj->pNextAux) {
        if (obj->IsTargetLink(link)) {
            RemoveAuxMain(obj, prev);
            return true;
        }
    }
    return false;
}

bool KytScene::RemoveAuxContents(KytAuxContents* obj)
{
    if (!obj)
        return false;
    return RemoveAuxContents(m_pAuxConts[0], obj) || RemoveAuxContents(m_pAuxConts[1], obj);
}

bool KytScene::RemoveAuxContents(unsigned int id, bool all)
{
    bool removed = RemoveAuxContents(m_pAuxConts[0], id, all);
    if (removed && !all)
        return true;
    return RemoveAuxContents(m_pAuxConts[1], id, all) || removed;
}

bool KytScene::RemoveAuxContents(KytLink* link)
{
    return RemoveAuxContents(m_pAuxConts[0], link) || RemoveAuxContents(m_pAuxConts[1], link);
}

// ---------------------------------------------------------------------------------------------
// Annotation and review chains: entry side

namespace {

template <class T, T* T::*NextField>
void AppendToChain(T*& head, T* obj)
{
    obj->*NextField = nullptr;
    if (!head) {
        head = obj;
        return;
    }
    T* last = head;
    while (last->*NextField)
        last = last->*NextField;
    last->*NextField = obj;
}

template <class T, T* T::*NextField>
bool InChain(const T* head, const T* obj)
{
    for (const T* o = head; o; o = o->*NextField)
        if (o == obj)
            return true;
    return false;
}

// A newly added picked object becomes the chain's picked one, alone.
template <class T, T* T::*NextField>
void TakePicked(T* head, T*& picked, T* obj)
{
    if (!obj->bPicked)
        return;
    picked = obj;
    for (T* o = head; o; o = o->*NextField)
        if (o != obj)
            o->bPicked = false;
}

} // namespace

template <class T, T* T::*NextField>
void KytScene::FileInChain(T* obj, AUX_STAGE stage, T*& head, T*& picked, const T* backup)
{
    // Filed once only: appending an object already in a chain would cut the chain behind it
    // and close a cycle, as the stage lists refuse to do.
    if (!obj || InChain<T, NextField>(head, obj) || InChain<T, NextField>(backup, obj) ||
        IsListed(obj))
        return;
    MakeCurrent();
    AddAuxContents(obj, stage);
    TakePicked<T, NextField>(head, picked, obj);
    AppendToChain<T, NextField>(head, obj);
}

void KytScene::AddAnnotation(AuxAnnotate* obj, AUX_STAGE stage)
{
    FileInChain<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(obj, stage, m_pAnnotateHead, m_pAnnotatePicked);
}

void KytScene::AddAnnotation(AuxDRAnnotate* obj, AUX_STAGE stage)
{
    FileInChain<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(
        obj, stage, m_pDRAnnotateHead, m_pDRAnnotatePicked, m_pDRAnnotateBackup);
}

void KytScene::AddPartsConnect(AuxDRPartsConnect* obj)
{
    FileInChain<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(
        obj, AUX_STAGE_SECOND, m_pDRPartsConnectHead, m_pDRPartsConnectPicked,
        m_pDRPartsConnectBackup);
}

void KytScene::AddDRArrow(AuxDRArrow* obj)
{
    FileInChain<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(obj, AUX_STAGE_SECOND, m_pDRArrowHead,
                                                       m_pDRArrowPicked, m_pDRArrowBackup);
}

// ---------------------------------------------------------------------------------------------
// Cameras and saved states

bool KytScene::AddCamera(KytCamera* camera)
{
    if (!m_pOgl || !camera)
        return false;
    m_bResetView = camera->IsResetView();
    m_pViewPort->AddCamera(camera);
    return true;
}

bool KytScene::ChangeActive(KytCamera* camera)
{
    if (!m_pOgl || !camera)
        return false;
    m_pViewPort->ActiveCamera = camera;
    m_bResetView = camera->IsResetView();
    MakeCurrent();
    m_pViewPort->SetCamera();
    return true;
}

KytCamera* KytScene::GetActiveCamera() const
{
    return m_pViewPort->ActiveCamera;
}

KytCamera* KytScene::SearchCamera(const char* name) const
{
    return m_pViewPort->SearchCamera(name);
}

bool KytScene::GetViewPoint(float* direct, float* zenith) const
{
    if (!m_pViewPort || !m_pViewPort->ActiveCamera)
        return false;
    *direct = m_pViewPort->GetDirectAngle();
    *zenith = m_pViewPort->GetZenithAngle();
    return true;
}

void KytScene::BackupState(int index)
{
    if (index == 0 || index == 1)
        BackupState(m_aBackup[index]);
}

void KytScene::BackupState(KytBackupSceneData& data) const
{
    if (KytCamera* camera = m_pViewPort->ActiveCamera) {
        data.fDirectAngle = camera->DirectAngle;
        data.fZenithAngle = camera->ZenithAngle;
        data.vLookAt = camera->LookAtPosition;
    }
    data.lfViewRadius = m_pViewPort->ViewRadius;
    data.lfZoomAngle = m_pViewPort->ZoomAngle;
    data.lfNearClip = m_pViewPort->NearClip;
    data.lfFarClip = m_pViewPort->FarClip;
    if (m_pContents) {
        data.eDrawType = m_pContents->eDrawType;
        data.bSubDraw = m_pContents->IsDraw();
    }
}

// ---------------------------------------------------------------------------------------------
// Library-wide switches

void KYT_SetEchoActive(bool on)
{
    KytScene::bEchoActiveLink = on;
}

int KYT_IsEchoActive()
{
    return KytScene::bEchoActiveLink ? 1 : 0;
}

void KYT_SetShowTarget(int on)
{
    KytScene::bShowTargetLink = on != 0;
}

void KYT_SetShowTarget(int on, KytStack<KytLink>* targets)
{
    KytScene::bShowTargetLink = on != 0;
    KytScenes::pTargetStack = targets;
}

int KYT_IsShowTarget()
{
    return KytScene::bShowTargetLink ? 1 : 0;
}

void KYT_SetEnableCullFaceWhenClipping(int on)
{
    KytOgl::bEnableCullFaceWhenClipping = on != 0;
}

int KYT_IsEnableCullFaceWhenClipping()
{
    return KytOgl::bEnableCullFaceWhenClipping ? 1 : 0;
}

void KYT_SetViewStep(short step)
{
    KytScene::nViewMoveStep = step;
}

short KYT_GetViewStep()
{
    return KytScene::nViewMoveStep;
}

void KYT_SetPickAlpha(int on)
{
    KytScene::bPickAlphaLink = on != 0;
}

int KYT_IsPickAlpha()
{
    return KytScene::bPickAlphaLink ? 1 : 0;
}
