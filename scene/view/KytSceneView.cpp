// View operations of a scene: panning, rotating and zooming, clip planes and back faces, z-clip
// and real scale.

#include "scene/view/KytScene.h"

#include "scene/annotation/AuxAnnotate.h"
#include "scene/view/KernelLinks.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytViewPort.h"
#include "platform/kernel/KytLink.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr double kEps = 2.220446049250313e-16;

} // namespace

// ---------------------------------------------------------------------------------------------
// Frames

void KytScene::RefitFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (KytAuxContents* obj = m_pAuxConts[0]; obj; obj = obj->pNextAux) {
        obj->FitView(m_pViewPort);
        obj->Draw();
    }
    if (m_pRootLink && m_pContents) {
        m_pContents->FitView(m_pViewPort);
        m_pContents->Draw(m_pRootLink, 0);
    }
    for (KytAuxContents* obj = m_pAuxConts[1]; obj; obj = obj->pNextAux) {
        obj->FitView(m_pViewPort);
        obj->Draw();
    }
}

void KytScene::RefitLists() const
{
    for (KytAuxContents* obj = m_pAuxConts[0]; obj; obj = obj->pNextAux)
        obj->FitView(m_pViewPort);
    for (KytAuxContents* obj = m_pAuxConts[1]; obj; obj = obj->pNextAux)
        obj->FitView(m_pViewPort);
}

void KytScene::RebuildProjection()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    m_pViewPort->SetProjection();
    glMatrixMode(GL_MODELVIEW);
}

// ---------------------------------------------------------------------------------------------
// Panning

void KytScene::Panning(int x, int y, bool redraw)
{
    KytCamera* camera = GetActiveCamera();
    if (!m_pOgl || !camera)
        return;
    MakeCurrent();
    camera->LookAtPosition = Point2Vector(x, y);
    m_pViewPort->SetCamera();
    if (redraw)
        Draw(false);
}

void KytScene::Panning(int x1, int y1, int x2, int y2, bool redraw)
{
    // With the sense of space the picture follows the mouse, as if the model were grabbed.
    int dx, dy;
    if (bSenseOfSpace) {
        dx = x1 - x2;
        dy = y2 - y1;
    } else {
        dx = x2 - x1;
        dy = y1 - y2;
    }
    Panning(m_nWidth / 2 + dx, m_nHeight / 2 + dy, redraw);
}

void KytScene::Panning(const WqVector3D& point, bool redraw)
{
    KytCamera* camera = GetActiveCamera();
    if (!m_pOgl || !camera)
        return;
    camera->LookAtPosition = point;
    MakeCurrent();
    m_pViewPort->SetCamera();
    if (redraw)
        Draw(false);
}

void KytScene::Panning(int x, int y, WqVector3D& depthPoint, bool redraw)
{
    if (KytCamera* camera = GetActiveCamera()) {
        // The look-at point first goes along the line of sight to the depth point's depth.
        const WqVector3D v = depthPoint - camera->LookAtPosition;
        const double l2 = v.Length2();
        if (l2 > kEps && std::sqrt(l2) > kEps) {
            const double s = camera->EyeOrientation.Dot(v);
            camera->LookAtPosition += camera->EyeOrientation * s;
        }
    }
    Panning(x, y, redraw);
}

void KytScene::Panning(int x, int y, KytLink* link, bool redraw)
{
    WqVector3D lo, hi;
    if (link && kyt_links::ShapeBox(link, lo, hi)) {
        WqVector3D centre = kyt_links::WorldPlacement(link).GetAbsPos((lo + hi) * 0.5);
        Panning(x, y, centre, redraw);
        return;
    }
    Panning(x, y, redraw);
}

void KytScene::SlideViewPoint(int dx, int dy, bool redraw)
{
    KytCamera* camera = GetActiveCamera();
    if (!m_pOgl || !camera)
        return;
    const int s = bSenseOfSpace ? 1 : -1;
    camera->LookAtPosition = Point2Vector(m_nWidth / 2 + s * dx, m_nHeight / 2 + s * dy);
    m_pViewPort->SetCamera();
    if (redraw)
        Draw(false);
}

void KytScene::Panning2(int x, int y, KytLink* link, const KytTriangle* triangle, bool redraw)
{
    if (!link || !triangle || !GetActiveCamera())
        return;
    WqVector3D p(0.0, 0.0, 0.0);
    CalcPointOnTriangle(link, triangle, x, y, p);
    Panning(x, y, p, redraw);
}

// ---------------------------------------------------------------------------------------------
// Rotating

void KytScene::MoveViewPoint(int dx, int dy, bool redraw)
{
    if (!m_pOgl)
        return;
    // One angle per mouse motion; a tie goes to the vertical step.
    float horizontal = 0.0f, vertical = 0.0f;
    if (std::abs(dy) < std::abs(dx))
        horizontal = static_cast<float>(dx) * m_fDegPerPixelX;
    else
        vertical = static_cast<float>(dy) * m_fDegPerPixelY;
    MakeCurrent();
    if (!bSenseOfSpace) {
        horizontal = -horizontal;
        vertical = -vertical;
    }
    m_pViewPort->MoveViewPoint(horizontal, vertical);
    if (redraw)
        Draw(false);
}

void KytScene::MoveViewPoint(float dDirect, float dZenith, bool redraw)
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    if (!bSenseOfSpace) {
        dDirect = -dDirect;
        dZenith = -dZenith;
    }
    m_pViewPort->MoveViewPoint(dDirect, dZenith);
    if (redraw)
        Draw(false);
}

void KytScene::ChangeViewPoint(float direct, float zenith, bool redraw)
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    m_pViewPort->ChangeViewPoint(direct, zenith);
    if (redraw)
        Draw(false);
}

void KytScene::ChangeViewPoint(float direct, float zenith, WqVector3D& lookAt, bool redraw)
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    m_pViewPort->ChangeViewPoint(direct, zenith, lookAt);
    if (redraw)
        Draw(false);
}

void KytScene::ChangeViewPoint(WqVector3D& direction, bool redraw)
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    m_pViewPort->ChangeViewPoint(direction);
    if (redraw)
        Draw(false);
}

void KytScene::ChangeViewAngle(float direct, float zenith)
{
    if (!m_pOgl || !m_pContents)
        return;
    MakeCurrent();
    m_pViewPort->ChangeViewPoint(direct, zenith);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (m_pRootLink)
        m_pContents->Draw(m_pRootLink, 0);
    DrawGDI();
}

// ---------------------------------------------------------------------------------------------
// Zooming

bool KytScene::Zoom(float factor, bool makeCurrent)
{
    if (!m_pOgl)
        return false;
    if (makeCurrent)
        MakeCurrent();
    if (!m_pViewPort->Zoom(factor))
        return false;
    RefitFrame();
    m_pViewPort->RadiusBack = m_pViewPort->ViewRadius;
    DrawGDI();
    return true;
}

bool KytScene::ZoomContinue(float factor, bool last)
{
    if (!m_pOgl)
        return false;
    if (!m_pViewPort->Zoom(factor)) {
        m_pViewPort->RadiusBack = m_pViewPort->ViewRadius;
        return false;
    }
    RefitFrame();
    // The annotation texts wait for the last step of a continuous zoom.
    if (!last) {
        m_pOgl->SwapBuffers();
        return true;
    }
    m_pViewPort->RadiusBack = m_pViewPort->ViewRadius;
    DrawGDI();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Clip planes and back faces

bool KytScene::AddClipPlane(KytLink* link, bool redraw)
{
    if (!m_pOgl || !m_pContents)
        return false;
    MakeCurrent();
    if (!m_pContents->AddClipPlane(link))
        return false;
    if (m_pContents->GetClipCnt() > 0 &&
        KytOgl::bEnableCullFaceWhenClipping != m_pOgl->IsDrawBackFace())
        m_pOgl->SetBackFaceMode(KytOgl::bEnableCullFaceWhenClipping, ClipArg());
    if (redraw)
        Draw(false);
    return true;
}

bool KytScene::RemoveClipPlane(KytLink* link, bool redraw)
{
    if (!m_pOgl || !m_pContents)
        return false;
    MakeCurrent();
    if (!m_pContents->RemoveClipPlane(link))
        return false;
    if (m_pContents->GetClipCnt() == 0 && m_pOgl->IsDrawBackFace())
        m_pOgl->SetBackFaceMode(false, ClipArg());
    if (redraw)
        Draw(false);
    return true;
}

void KytScene::ClearClipPlanes(bool redraw)
{
    if (!m_pOgl || !m_pContents)
        return;
    MakeCurrent();
    // Removing moves the later links down, so the head is removed until none is left.
    for (int guard = 0; guard < 5 && m_pContents->apClipLink[0]; ++guard)
        m_pContents->RemoveClipPlane(m_pContents->apClipLink[0]);
    for (int i = 0; i < 5; ++i) {
        m_pContents->apClipLink[i] = nullptr;
        glDisable(GL_CLIP_PLANE0 + i);
    }
    m_pContents->SetClipCnt(0);
    if (m_pOgl->IsDrawBackFace())
        m_pOgl->SetBackFaceMode(false, ClipArg());
    if (redraw)
        Draw(false);
}

bool KytScene::CheckClip(const KytLink* link) const
{
    if (!m_pContents || !link)
        return false;
    for (int i = 0; i < m_pContents->GetClipCnt() && i < 5; ++i)
        if (m_pContents->apClipLink[i] == link)
            return true;
    return false;
}

KytLink* KytScene::GetClipLink(int index) const
{
    if (!m_pContents || index < 0 || index >= m_pContents->GetClipCnt())
        return nullptr;
    return m_pContents->GetClipLink(index);
}

bool KytScene::ChangeCullFace(bool drawBack)
{
    if (!m_pOgl || drawBack == m_pOgl->IsDrawBackFace())
        return false;
    MakeCurrent();
    m_pOgl->SetBackFaceMode(drawBack, ClipArg());
    return true;
}

void KytScene::ReinitCullFace()
{
    if (m_pContents && m_pContents->GetClipCnt() > 0)
        ChangeCullFace(KytOgl::bEnableCullFaceWhenClipping);
}

void KytScene::SetSpecialClip(bool on, WqVector3D* point, bool redraw)
{
    if (!m_pContents)
        return;
    MakeCurrent();
    m_pContents->bViewClip = on;
    if (point)
        m_pContents->vViewClipPoint = *point;
    ChangeCullFace(on);
    if (redraw)
        Draw(false);
}

void KytScene::ClearLinkContents()
{
    if (m_pOgl && m_pContents) {
        MakeCurrent();
        m_pContents->Destroy();
    }
    m_pRootLink = nullptr;
}

void KytScene::HideDisplayObject(bool show, KytLink* link)
{
    if (m_pAnnotatePicked) {
        m_pAnnotatePicked->bPicked = false;
        m_pAnnotatePicked = nullptr;
    }
    for (KytAuxContents* obj = m_pAuxConts[0]; obj; obj = obj->pNextAux)
        if (obj->IsTargetLink(link))
            obj->SetSubDrawFlag(show);
    for (AuxAnnotate* a = m_pAnnotateHead; a; a = a->pNextAnnotation)
        if (link && a->GetTargetLink() == link)
            a->bSubDraw = show;
    for (KytAuxContents* obj = m_pAuxConts[1]; obj; obj = obj->pNextAux)
        if (obj->IsTargetLink(link))
            obj->SetSubDrawFlag(show);
    if (!show && m_pContents && link &&
        (link == m_pContents->pFocusLink1 || link == m_pContents->pFocusLink2))
        ChangeDrawType(DRAWTYPE_SHADE, nullptr, nullptr, false);
}

// ---------------------------------------------------------------------------------------------
// Z-clip and real scale

void KytScene::SetZClip(double z, bool redraw)
{
    if (!m_pOgl)
        return;
    // A near plane at or past the far one makes glOrtho fail after the identity was loaded,
    // which would leave an identity projection: such a clip is refused.
    if (m_pViewPort->ProjectionMode != PROJECT_PERSPECTIVE &&
        !(z < m_pViewPort->FarClip))
        return;
    MakeCurrent();
    m_pViewPort->NearClip = z;
    RebuildProjection();
    // The cut parts show their inside.
    m_pOgl->SetBackFaceMode(true, m_pContents ? m_pContents->GetClipCnt() : 0);
    if (redraw)
        Draw(false);
}

void KytScene::ResetZClip(bool redraw)
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    WqVector3D min(kInf, kInf, kInf), max(-kInf, -kInf, -kInf);
    if (m_pRootLink && m_pRootLink->GetBoundingBox(&min, &max, bShowTargetLink, -1, true)) {
        const double length = (max - min).Length();
        const double r = length > 0.0 ? length * 0.5 : 0.0;
        m_pViewPort->CalcViewFovy(r);
        m_pViewPort->SetZClip(r);
    }
    RebuildProjection();
    m_pOgl->SetBackFaceMode(false, m_pContents ? m_pContents->GetClipCnt() : 0);
    if (redraw)
        Draw(false);
}

bool KytScene::SetRealPpm(double ppmX, double ppmY, bool redraw)
{
    // A scale of 0 or less would give the view no radius or a negative one.
    if (!(ppmX > 0.0) || !(ppmY > 0.0))
        return false;
    KytRealScale& scale = m_pViewPort->RealScale;
    scale.Scale = ppmX;
    scale.Base = ppmY;
    // The flag is what makes a window size change keep the scale.
    scale.Flag = 1;
    if (!m_pOgl)
        return true;
    MakeCurrent();
    const double d = m_nWidth < m_nHeight ? m_nWidth * ppmX : m_nHeight * ppmY;
    m_pViewPort->ResetViewRadius(d * 0.5, true);
    ResetView(true);
    if (redraw)
        Draw(false);
    return true;
}

void KytScene::GetRealPpm(double& ppmX, double& ppmY) const
{
    ppmX = m_pViewPort->RealScale.Scale;
    ppmY = m_pViewPort->RealScale.Base;
}

void KytScene::ReSetRealPpm(bool redraw)
{
    const KytRealScale& scale = m_pViewPort->RealScale;
    SetRealPpm(scale.Scale, scale.Base, redraw);
}

void KytScene::SetViewAngle(double angle, bool redraw)
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    m_pViewPort->ZoomAngle = angle;
    m_pViewPort->SetCamera();
    if (redraw)
        Draw(false);
}

bool KytScene::AddScale(float factor, bool redraw)
{
    if (!m_pOgl)
        return false;
    MakeCurrent();
    if (!m_pViewPort->AddScale(factor))
        return false;
    m_pViewPort->SetCamera();
    if (redraw)
        Draw(false);
    return true;
}
