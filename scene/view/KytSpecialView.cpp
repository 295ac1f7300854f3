#include "scene/view/KytSpecialView.h"

#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

#include <GL/gl.h>

#include <cmath>

namespace {
constexpr double kTiny = 2.220446e-16;
} // namespace

bool KytScene::CreateForced(KytOgl* ogl, int width, int height)
{
    if (!AdoptContext(ogl, width, height, true))
        return false;
    ApplySize(width, height);
    return Create(true);
}

void KytScene::DrawForced(bool makeCurrent)
{
    if (!m_pOgl || !m_pContents)
        return;
    if (makeCurrent)
        m_pOgl->MakeCurrentFource();
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

void FitDepthToBox(KytViewPort* viewport, const WqVector3D& min, const WqVector3D& max)
{
    KytCamera* camera = viewport->GetActiveCamera();
    const WqVector3D centre = (min + max) * 0.5;
    const WqVector3D diagonal = max - min;
    double toCentre = 0.0;
    if (camera) {
        const WqVector3D d = centre - camera->GetLookAtPosition();
        if (d.Length2() > kTiny)
            toCentre = d.Length();
    }
    const double distance =
        toCentre + 0.5 * diagonal.Length() * viewport->GetDistanceRate();
    viewport->SetViewDistance(distance);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    viewport->SetProjection();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (camera)
        camera->SetCamera(distance);
}
