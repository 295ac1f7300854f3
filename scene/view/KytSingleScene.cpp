#include "scene/view/KytSingleScene.h"

#include "scene/view/KytCamera.h"
#include "scene/view/KytContents.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytSingleContents.h"
#include "scene/view/KytViewPort.h"

#include <GL/gl.h>

#include <algorithm>
#include <limits>

KytSingleScene::KytSingleScene() : KytScene()
{
    m_bNormal = false;
}

KytSingleScene::KytSingleScene(KytLink* root, const char* name) : KytScene(root, name)
{
    m_bNormal = false;
}

KytLinkContents* KytSingleScene::CreateConts()
{
    return new KytSingleContents();
}

KytSingleContents* KytSingleScene::GetSingleContents() const
{
    return dynamic_cast<KytSingleContents*>(m_pContents);
}

bool KytSingleScene::Create(KytOgl* ogl, int width, int height)
{
    return CreateForced(ogl, width, height);
}

void KytSingleScene::Draw(bool makeCurrent)
{
    DrawForced(makeCurrent);
}

void KytSingleScene::FitView(bool redraw)
{
    if (!m_pRootLink || !m_pOgl)
        return;
    m_pOgl->MakeCurrentFource();
    constexpr double kHuge = std::numeric_limits<double>::max();
    WqVector3D min(kHuge, kHuge, kHuge), max(-kHuge, -kHuge, -kHuge);
    // A part without a box leaves the view as it is rather than fitting an endless box.
    if (!m_pRootLink->GetSingleBoundingBox(&min, &max))
        return;
    m_pViewPort->SetBoundingBox(min, max);
    m_pViewPort->SetBaseRadius(m_pViewPort->GetViewRadius());
    ResetView(redraw);
}

bool KytSingleScene::Pick(int x, int y, KytPickData* out, bool /*aim*/, bool /*withAux*/)
{
    if (!m_pOgl || !m_pRootLink || !m_pContents || x >= m_nWidth || y >= m_nHeight)
        return false;
    KytContents::bPickMode = true;
    std::fill(std::begin(m_auSelectBuf), std::end(m_auSelectBuf), 0u);
    m_pSelectBuf = m_auSelectBuf;
    m_nSelectSize = 2048;
    MakeCurrent();
    KytPickNames::Begin();
    m_pOgl->MakePickMatrix(x, y, m_auSelectBuf, 1.0, 1.0);
    m_pViewPort->SetProjection();
    glMatrixMode(GL_MODELVIEW);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The contents start their own name stack and leave it empty: no pop of ours follows.
    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    m_pContents->PickDraw(m_pRootLink);
    glPopAttrib();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glFlush();
    KytContents::bPickMode = false;
    const int hits = glRenderMode(GL_RENDER);
    KytPickNames::End();
    m_nPickHits = hits;
    return hits > 0 && out && GetPickLinkNo(hits, out);
}

template <class Mark> void KytSingleScene::DrawMark(const WqVector3D* lookAt, Mark mark)
{
    if (lookAt)
        if (KytCamera* camera = m_pViewPort->GetActiveCamera())
            camera->SetLookAtPosition(*lookAt);
    MakeCurrent();
    m_pViewPort->SetCamera();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (m_bResetView)
        m_pViewPort->SetCamera();
    UpdateLight();
    glInitNames();
    glPushName(0xFFFFFFFFu);
    if (m_bAuxState)
        DrawAuxContents(m_pAuxConts[0]);
    if (m_pRootLink && m_pContents)
        m_pContents->Draw(m_pRootLink, 0);
    if (m_bAuxState)
        DrawAuxContents(m_pAuxConts[1]);
    glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT | GL_POINT_BIT | GL_CURRENT_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glColor3f(0.9f, 0.9f, 0.0f);
    mark();
    glPopAttrib();
    glPopName();
    DrawGDI();
}

void KytSingleScene::DrawCircle(const WqVector3D& centre, const WqVector3D& start,
                                const WqVector3D& axis, bool moveLookAt)
{
    if (!m_pOgl)
        return;
    DrawMark(moveLookAt ? &centre : nullptr,
             [&] { DrawDashedCircle(start, centre, axis); });
}

void KytSingleScene::DrawLine(WqVector3D& a, WqVector3D& b, bool moveLookAt)
{
    if (!m_pOgl)
        return;
    const WqVector3D middle = (a + b) * 0.5;
    DrawMark(moveLookAt ? &middle : nullptr, [&] {
        glLineWidth(3.0f);
        glBegin(GL_LINES);
        KytOgl::Vertex3(a);
        KytOgl::Vertex3(b);
        glEnd();
    });
}

void KytSingleScene::DrawPoint(WqVector3D& p, bool moveLookAt)
{
    if (!m_pOgl)
        return;
    DrawMark(moveLookAt ? &p : nullptr, [&] {
        glEnable(GL_POINT_SMOOTH);
        glPointSize(10.0f);
        glBegin(GL_POINTS);
        KytOgl::Vertex3(p);
        glEnd();
    });
}

void KytSingleScene::DrawFace(const KytTriangle* triangle, WqVector3D* lookAt, bool moveLookAt)
{
    KytSingleContents* contents = GetSingleContents();
    if (!m_pOgl || !contents || !contents->GetWorkLink())
        return;
    if (lookAt && moveLookAt)
        if (KytCamera* camera = m_pViewPort->GetActiveCamera())
            camera->SetLookAtPosition(*lookAt);
    MakeCurrent();
    m_pViewPort->SetCamera();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glInitNames();
    glPushName(0xFFFFFFFFu);
    if (m_pRootLink)
        contents->Draw(m_pRootLink, triangle);
    glPopName();
    m_pOgl->SwapBuffers();
}
