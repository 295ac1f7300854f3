#include "scene/view/KytSectionScene.h"
#include "scene/annotation/AuxWindowGeometry.h"

#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/AuxDRAnnotate.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"
#include "scene/annotation/AuxSectMeasure.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytViewPort.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double kTiny = 2.220446e-16;
constexpr double kPi = 3.14159265358979323846;
constexpr double kHuge = std::numeric_limits<double>::max();

// Takes `obj` out of the chain through `next` starting at `head`.
template <class T, T* T::*Next> void Unchain(T*& head, T* obj)
{
    for (T** at = &head; *at; at = &((*at)->*Next)) {
        if (*at == obj) {
            *at = obj->*Next;
            obj->*Next = nullptr;
            return;
        }
    }
}

// The section measurements of the second stage print themselves on the page, through the
// view as it is now.
void PrintSectionMeasurements(KytAuxContents* first, CDC* dc, const CRect& print,
                              const CRect& view)
{
    glGetDoublev(GL_MODELVIEW_MATRIX, AuxSectMeasure::modelM);
    glGetDoublev(GL_PROJECTION_MATRIX, AuxSectMeasure::projM);
    glGetIntegerv(GL_VIEWPORT, AuxSectMeasure::viewP);
    for (KytAuxContents* aux = first; aux; aux = aux->pNextAux)
        if (auto* measure = dynamic_cast<AuxSectMeasure*>(aux))
            measure->Print(dc, print, view);
}
} // namespace

KytSectionScene::KytSectionScene() : KytScene()
{
    Setup();
}

KytSectionScene::KytSectionScene(KytLink* root, const char* name) : KytScene(root, name)
{
    Setup();
}

void KytSectionScene::Setup()
{
    m_bNormal = false;
    bKeepSectMeasure = true;
    m_pViewPort->AddCamera(new KytSectCamera(nullptr));
}

KytLinkContents* KytSectionScene::CreateConts()
{
    return new KytSectionConts();
}

KytSectionConts* KytSectionScene::SectionContents() const
{
    return dynamic_cast<KytSectionConts*>(m_pContents);
}

bool KytSectionScene::Create(KytOgl* ogl, int width, int height)
{
    if (!AdoptContext(ogl, width, height, false))
        return false;
    if (!m_pOgl->GetFont()) {
        char face[] = "Century";
        m_pOgl->SetFontRecord(m_pOgl->SetFont(face, 11));
    }
    ApplySize(width, height);
    return Create(true);
}

bool KytSectionScene::Create(bool init)
{
    if (!m_pOgl)
        return false;
    MakeCurrent();
    if (init)
        m_pOgl->Initial(afBackColor);
    m_pViewPort->Create(m_pRootLink, m_nOrgX, m_nOrgY, m_nWidth, m_nHeight);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    if (!m_pContents)
        m_pContents = CreateConts();
    if (m_pRootLink)
        m_pContents->Create(this);
    SetLook(m_pRootLink);
    m_pViewPort->SetBaseRadius(m_pViewPort->GetViewRadius());
    ResetView(false);
    glDisable(GL_LIGHTING);
    return true;
}

void KytSectionScene::SetLook(KytLink* link)
{
    if (!link) {
        if (KytCamera* camera = m_pViewPort->GetActiveCamera())
            camera->SetLookAtPosition(WqVector3D(0.0, 0.0, 0.0));
        m_pViewPort->ResetViewRadius(1000.0, false);
        return;
    }
    MakeCurrent();
    WqVector3D min(kHuge, kHuge, kHuge), max(-kHuge, -kHuge, -kHuge);
    KytSectionConts* contents = SectionContents();
    if ((contents && contents->CheckBoundinBox(link, min, max, true)) ||
        link->GetBoundingBox(&min, &max, false, 2, true))
        m_pViewPort->SetBoundingBox(min, max);
}

void KytSectionScene::FitView(bool redraw)
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    SetLook(m_pRootLink);
    m_pViewPort->SetBaseRadius(m_pViewPort->GetViewRadius());
    ResetView(false);
    if (redraw)
        Draw(true);
}

KytLink* KytSectionScene::GetSectionLink() const
{
    const KytSectionConts* contents = SectionContents();
    return contents ? contents->GetSectionLink() : nullptr;
}

void KytSectionScene::SetSectionLink(KytLink* link, bool redraw)
{
    KytSectionConts* contents = SectionContents();
    if (!contents || !contents->SetSectionLink(link))
        return;
    bKeepSectMeasure = false;
    MakeCurrent();
    if (auto* camera = dynamic_cast<KytSectCamera*>(m_pViewPort->GetActiveCamera()))
        camera->ChangeLink(link);
    FitView(redraw);
}

void KytSectionScene::LeaveChains(KytAuxContents* obj)
{
    if (auto* a = dynamic_cast<AuxDRAnnotate*>(obj)) {
        Unchain<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(m_pDRAnnotateHead, a);
        Unchain<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(m_pDRAnnotateBackup, a);
        if (m_pDRAnnotatePicked == a)
            m_pDRAnnotatePicked = nullptr;
    } else if (auto* b = dynamic_cast<AuxAnnotate*>(obj)) {
        Unchain<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(m_pAnnotateHead, b);
        if (m_pAnnotatePicked == b)
            m_pAnnotatePicked = nullptr;
    } else if (auto* c = dynamic_cast<AuxDRPartsConnect*>(obj)) {
        Unchain<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(
            m_pDRPartsConnectHead, c);
        Unchain<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(
            m_pDRPartsConnectBackup, c);
        if (m_pDRPartsConnectPicked == c)
            m_pDRPartsConnectPicked = nullptr;
    } else if (auto* d = dynamic_cast<AuxDRArrow*>(obj)) {
        Unchain<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(m_pDRArrowHead, d);
        Unchain<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(m_pDRArrowBackup, d);
        if (m_pDRArrowPicked == d)
            m_pDRArrowPicked = nullptr;
    }
}

void KytSectionScene::Draw(bool makeCurrent)
{
    if (!m_pOgl)
        return;
    if (makeCurrent)
        MakeCurrent();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glInitNames();
    glPushName(0xFFFFFFFFu);
    if (bKeepSectMeasure && m_bAuxState)
        DrawAuxContents(m_pAuxConts[0]);
    if (m_pRootLink && m_pContents)
        m_pContents->Draw(m_pRootLink, 0);
    if (!bKeepSectMeasure) {
        // The measurements of the former plane go; annotations and review objects among them
        // leave their chains first, which every scene of the list walks.
        while (KytAuxContents* obj = m_pAuxConts[1]) {
            m_pAuxConts[1] = obj->pNextAux;
            obj->pNextAux = nullptr;
            LeaveChains(obj);
            obj->Destroy();
            delete obj;
        }
    } else if (m_bAuxState) {
        DrawAuxContents(m_pAuxConts[1]);
    }
    glPopName();
    m_pOgl->SwapBuffers();
}

void KytSectionScene::AreaZoom(int x1, int y1, int x2, int y2)
{
    if (!m_pOgl)
        return;
    const int dx = std::abs(x2 - x1);
    const int dy = std::abs(y2 - y1);
    // A rectangle of no size would zoom to nothing for good.
    if (dx == 0 && dy == 0)
        return;
    MakeCurrent();
    if (KytCamera* camera = m_pViewPort->GetActiveCamera())
        camera->SetLookAtPosition(Point2Vector((x1 + x2) / 2, (y1 + y2) / 2));
    const double factor = dy < dx ? static_cast<double>(dx) / m_nWidth
                                  : static_cast<double>(dy) / m_nHeight;
    m_pViewPort->SetRadius(m_pViewPort->GetViewRadius() * factor);
    ResetView(true);
    m_pViewPort->ZoomEnd();
}

void KytSectionScene::SetCameraAndDraw(bool redraw)
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    m_pViewPort->SetCamera();
    if (redraw)
        Draw(false);
}

void KytSectionScene::Rolling(double angle, bool redraw)
{
    KytCamera* camera = m_pViewPort->GetActiveCamera();
    if (std::fabs(angle) <= kTiny || !camera)
        return;
    double s, c;
    if (std::fabs(std::fabs(angle) - kPi) <= kTiny) {
        s = 0.0;
        c = -1.0;
    } else if (std::fabs(angle - kPi / 2) <= kTiny) {
        s = 1.0;
        c = 0.0;
    } else if (std::fabs(angle + kPi / 2) <= kTiny) {
        s = -1.0;
        c = 0.0;
    } else {
        s = std::sin(angle);
        c = std::cos(angle);
    }
    WqMatrix33D rot;
    rot.MakeRotMatrix(c, s, -camera->GetEyeOrientation());
    camera->SetViewUpVector(rot.Multi(camera->GetViewUpVector()));
    SetCameraAndDraw(redraw);
}

void KytSectionScene::Rolling(int x1, int y1, int x2, int y2, bool redraw)
{
    KytCamera* camera = m_pViewPort->GetActiveCamera();
    if ((x1 == x2 && y1 == y2) || !camera || !m_pOgl)
        return;
    MakeCurrent();
    const WqVector3D L = camera->GetLookAtPosition();
    int wxi = 0, wyi = 0;
    Vector2WinPos(L, wxi, wyi);
    const double a1x = x1 - wxi, a1y = y1 - wyi, a2x = x2 - wxi, a2y = y2 - wyi;
    if (std::hypot(a1x, a1y) < kTiny || std::hypot(a2x, a2y) < kTiny)
        return;
    const bool negate = a2y * a1x - a1y * a2x > 0.0;
    WqVector3D w1 = Point2Vector(x1, y1) - L;
    WqVector3D w2 = Point2Vector(x2, y2) - L;
    if (w1.Length2() <= kTiny || w2.Length2() <= kTiny || !w1.Normarize() || !w2.Normarize())
        return;
    const double product = w1.Length2() * w2.Length2();
    if (product < kTiny)
        return;
    // A rounded cosine just beyond 1 would make no angle at all.
    const double cosine = std::clamp(w1.Dot(w2) / std::sqrt(product), -1.0, 1.0);
    double angle = std::acos(cosine);
    if (negate)
        angle = -angle;
    Rolling(angle, redraw);
}

void KytSectionScene::ChangeBank(int x1, int y1, int x2, int y2, bool redraw)
{
    KytCamera* camera = m_pViewPort->GetActiveCamera();
    if ((x1 == x2 && y1 == y2) || !camera || !m_pOgl)
        return;
    MakeCurrent();
    WqVector3D d = Point2Vector(x2, y2) - Point2Vector(x1, y1);
    if (d.Length2() <= kTiny || !d.Normarize())
        return;
    WqVector3D up = camera->GetEyeOrientation().Cross(d);
    if (up.Length2() > kTiny && up.Length() > kTiny)
        up.Normarize();
    camera->SetViewUpVector(up);
    SetCameraAndDraw(redraw);
}

void KytSectionScene::InitBank(bool redraw)
{
    KytCamera* camera = m_pViewPort->GetActiveCamera();
    if (!camera)
        return;
    const WqVector3D& o = camera->GetEyeOrientation();
    WqVector3D up, fallback;
    switch (KYT_GetUpAxis()) {
    case 1:
        up = WqVector3D(-o.x * o.y, o.x * o.x + o.z * o.z, -o.y * o.z);
        fallback = WqVector3D(-1, 0, 0);
        break;
    case 2:
        up = WqVector3D(-o.x * o.z, -o.y * o.z, o.x * o.x + o.y * o.y);
        fallback = WqVector3D(0, -1, 0);
        break;
    default:
        up = WqVector3D(o.y * o.y + o.z * o.z, -o.x * o.y, -o.x * o.z);
        fallback = WqVector3D(0, 0, -1);
        break;
    }
    if (up.Length2() <= kTiny || up.Length() <= kTiny)
        up = fallback;
    else
        up.Normarize();
    camera->SetViewUpVector(up);
    SetCameraAndDraw(redraw);
}

bool KytSectionScene::GetCrossPoint(int x1, int y1, int x2, int y2, _SECT_CROSS& cross)
{
    KytSectionConts* contents = SectionContents();
    if (!m_pOgl || !contents || !m_pRootLink)
        return false;
    MakeCurrent();
    cross.vStart = Point2Vector(x1, y1);
    cross.vEnd = Point2Vector(x2, y2);
    const WqVector3D d = cross.vEnd - cross.vStart;
    cross.lfLength = d.Length();
    if (cross.lfLength <= kTiny)
        return false;
    cross.vDir = d * (1.0 / cross.lfLength);
    cross.lfDist1 = cross.lfDist2 = 0.0;
    cross.bFound = false;
    contents->Pick(m_pRootLink, cross, true);
    if (cross.bFound && std::fabs(cross.vCross1.x - cross.vCross2.x) <= 1.1920929e-7 &&
        std::fabs(cross.vCross1.y - cross.vCross2.y) <= 1.1920929e-7 &&
        std::fabs(cross.vCross1.z - cross.vCross2.z) <= 1.1920929e-7)
        cross.bFound = false;
    return cross.bFound;
}

bool KytSectionScene::GetEndPoint(int x, int y, _SECT_ENDP* endp)
{
    KytSectionConts* contents = SectionContents();
    if (!endp || !m_pOgl || !contents || !m_pRootLink)
        return false;
    MakeCurrent();
    endp->nX = x;
    endp->nY = y;
    endp->vPickPos = Point2Vector(x, y);
    endp->lfRange = 0.05 * m_pViewPort->GetViewRadius();
    endp->bFound = false;
    contents->PickEndPoint(m_pRootLink, endp, true);
    return endp->bFound;
}

void KytSectionScene::Vector2WinPos(WqVector3D p, int& x, int& y)
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    GLdouble model[16], proj[16];
    GLint vp[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, vp);
    double wx = 0, wy = 0, wz = 0;
    gluProject(p.x, p.y, p.z, model, proj, vp, &wx, &wy, &wz);
    x = aux_window::WindowInt(wx);
    y = vp[3] - aux_window::WindowInt(wy);
}

void KytSectionScene::Print(CDC* dc, const CRect& print, const CRect& view)
{
    if (!m_pOgl)
        return;
    MakeCurrent();
    KytSectionConts* contents = SectionContents();
    if (m_pRootLink && contents) {
        glGetDoublev(GL_MODELVIEW_MATRIX, KytSectionConts::modelM);
        glGetDoublev(GL_PROJECTION_MATRIX, KytSectionConts::projM);
        glGetIntegerv(GL_VIEWPORT, KytSectionConts::viewP);
        contents->pPrintDC = dc;
        contents->rcPrint = print;
        contents->rcView = view;
        contents->Print(m_pRootLink);
        contents->pPrintDC = nullptr;
    }
    PrintAuxContents(dc, print, view);
}

void KytSectionScene::PrintAuxContents(CDC* dc, const CRect& print, const CRect& view)
{
    if (!m_pOgl || !m_bAuxState || !m_pAuxConts[1])
        return;
    MakeCurrent();
    PrintSectionMeasurements(m_pAuxConts[1], dc, print, view);
}
