#include "scene/view/KytSingleContents.h"

#include "scene/annotation/AuxAxis.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytCameraBody.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"
#include "platform/kernel/KytShape.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

namespace {
const float kRed[4] = {1.0f, 0.0f, 0.0f, 1.0f};
const float kCyan[4] = {0.0f, 1.0f, 1.0f, 1.0f};
} // namespace

KytSingleContents::KytSingleContents()
{
    if (pWorkAxis)
        pWorkAxis->SetDraw(true);
}

KytSingleContents::~KytSingleContents()
{
    if (Quadric)
        gluDeleteQuadric(Quadric);
}

void KytSingleContents::Destroy()
{
    KytLinkContents::Destroy();
    if (m_uDispList) {
        glDeleteLists(m_uDispList, 1);
        m_uDispList = 0;
    }
    if (Quadric) {
        gluDeleteQuadric(Quadric);
        Quadric = nullptr;
    }
}

void KytSingleContents::Create(KytScene* scene)
{
    if (!scene)
        return;
    KytLinkContents::Create(scene);
    if (WorkMode == 2) {
        if (!Quadric)
            Quadric = gluNewQuadric();
        gluQuadricDrawStyle(Quadric, GLU_FILL);
        gluQuadricOrientation(Quadric, GLU_OUTSIDE);
        for (int i = 0; i < 16; ++i) {
            CircleCos[i] = static_cast<float>(std::cos(i * 0.39269908169872375));
            CircleSin[i] = static_cast<float>(std::sin(i * 0.39269908169872375));
        }
    }
    FitView(pViewPort);
    const KytLink* root = scene->GetRootLink();
    if (root && root->pShape && root->pShape->pRep) {
        const KytShapeRep& rep = *root->pShape->pRep;
        MarkedPoints[0] = MarkedPoints[1] = MarkedPoints[2] = nullptr;
        const float lo[3] = {rep.boxMin.x, rep.boxMin.y, rep.boxMin.z};
        const float hi[3] = {rep.boxMax.x, rep.boxMax.y, rep.boxMax.z};
        float a[3], b[3];
        for (int k = 0; k < 3; ++k) {
            a[k] = 1.02f * lo[k] - 0.02f * hi[k];
            b[k] = 1.02f * hi[k] - 0.02f * lo[k];
        }
        const float corners[8][3] = {{a[0], a[1], a[2]}, {b[0], a[1], a[2]}, {b[0], b[1], a[2]},
                                     {a[0], b[1], a[2]}, {a[0], a[1], b[2]}, {b[0], a[1], b[2]},
                                     {b[0], b[1], b[2]}, {a[0], b[1], b[2]}};
        for (int i = 0; i < 8; ++i)
            for (int k = 0; k < 3; ++k)
                ConfirmBox[i][k] = corners[i][k];
        if (pViewPort)
            MakePointMark(pViewPort->GetViewRadius());
    }
}

void KytSingleContents::FitView(const KytViewPort* viewport)
{
    if (!viewport)
        return;
    KytLinkContents::FitView(viewport);
    MakePointMark(viewport->GetViewRadius());
    MarkSize = static_cast<float>(viewport->GetViewRadius() * 0.05);
}

void KytSingleContents::Draw(KytLink* link, int /*targetMode*/)
{
    if (!link || !link->pShape || !IsDraw())
        return;
    glLoadName(1);
    glPushName(0xFFFFFFFFu);
    DrawLink(link);
    glPopName();
}

void KytSingleContents::DrawLink(KytLink* link)
{
    KytPickNames::LoadName(link);
    glPushMatrix();
    KytOgl::MultMatrix(link->mech);
    const KytShape* shape = link->pShape;
    if (SilhouetteMode) {
        float dir[3];
        LocalViewDir(link, dir);
        glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_ENABLE_BIT);
        glBlendFunc(GL_SRC_ALPHA, GL_SRC_ALPHA);
        glEnable(GL_BLEND);
        glDepthMask(GL_FALSE);
        fAlphaValue = 0.6f;
        DrawTrianglesAlpha(shape, false, dir);
        glDepthMask(GL_TRUE);
        glPopAttrib();
        glPushAttrib(GL_COLOR_BUFFER_BIT | GL_LIGHTING_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_LIGHTING);
        glColor3f(0.0f, 0.0f, 0.0f);
        glLineWidth(1.0f);
        DrawSilhouette(shape, dir);
        glPopAttrib();
    } else {
        DrawTriangles(link, shape, false);
    }
    if (bPointMode)
        MakeLinkPoint(link);
    glPopMatrix();
    if (bPointMode && MarkedPoints[0]) {
        glPushAttrib(GL_DEPTH_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        glPushMatrix();
        KytOgl::MultMatrix(link->mech);
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, afBoxColor[1]);
        for (const float* p : MarkedPoints) {
            if (!p)
                break;
            glPushMatrix();
            glTranslatef(p[0], p[1], p[2]);
            KytOgl::DrawBox(fPointMarkSize, fPointMarkSizeNeg);
            glPopMatrix();
        }
        glPopMatrix();
        glPopAttrib();
    }
    glPopName();
    if (WorkLink)
        DrawWorkCoordinates(link);
    if (bPointMode)
        DrawConfirmBox(link);
}

void KytSingleContents::MakeLinkPoint(const KytLink* link) const
{
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, afBoxColor[0]);
    if (link->pShape && link->pShape->pRep) {
        for (const KytPoint& p : link->pShape->pRep->aVertex) {
            glPushMatrix();
            KytOgl::Translate(p);
            KytOgl::DrawBox(fPointMarkSize, fPointMarkSizeNeg);
            glPopMatrix();
        }
    }
    for (const auto& c : ConfirmBox) {
        glPushMatrix();
        glTranslatef(c[0], c[1], c[2]);
        KytOgl::DrawBox(fPointMarkSize, fPointMarkSizeNeg);
        glPopMatrix();
    }
}

void KytSingleContents::DrawConfirmBox(const KytLink* link) const
{
    glPushMatrix();
    KytOgl::MultMatrix(link->mech);
    glPushAttrib(GL_LIGHTING_BIT | GL_LINE_BIT);
    glLineWidth(2.0f);
    glDisable(GL_LIGHTING);
    glColor3f(0.9f, 0.0f, 0.3f);
    const auto& c = ConfirmBox;
    glBegin(GL_LINE_LOOP);
    for (int i : {0, 1, 2, 3})
        glVertex3fv(c[i]);
    glEnd();
    glBegin(GL_LINE_LOOP);
    for (int i : {4, 5, 6, 7})
        glVertex3fv(c[i]);
    glEnd();
    glBegin(GL_LINES);
    for (int i : {0, 4, 5, 1, 2, 6, 7, 3})
        glVertex3fv(c[i]);
    glEnd();
    glPopAttrib();
    glPopMatrix();
}

void KytSingleContents::Draw(KytLink* link, const KytTriangle* triangle)
{
    if (!link || !link->pShape || !IsDraw())
        return;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_ENABLE_BIT);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    const bool savedPass = bAlphaPass;
    bAlphaPass = true;
    fAlphaValue = 0.4f;
    glLoadName(1);
    glPushName(KytPickNames::Name(link));
    glPushMatrix();
    KytOgl::MultMatrix(link->mech);
    DrawTriangles(link, link->pShape, false);
    if (bPointMode)
        MakeLinkPoint(link);
    glPopMatrix();
    glPopName();
    bAlphaPass = savedPass;
    glDepthMask(GL_TRUE);
    glPopAttrib();
    if (WorkLink) {
        if (triangle) {
            if (KytColor::matarray && triangle->uColor < KytColor::uArraySize) {
                const float* c = KytColor::matarray[triangle->uColor].afColor;
                afInverse[0] = 1.0f - c[0];
                afInverse[1] = 1.0f - c[1];
                afInverse[2] = 1.0f - c[2];
            }
            glPushMatrix();
            KytOgl::MultMatrix(link->mech);
            glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, afInverse);
            glColor4fv(afInverse);
            glBegin(GL_TRIANGLES);
            for (int k = 0; k < 3; ++k) {
                if (triangle->pNormal[k])
                    glNormal3fv(triangle->pNormal[k]->fv());
                if (triangle->pVertex[k])
                    glVertex3fv(triangle->pVertex[k]->fv());
            }
            glEnd();
            glPopMatrix();
        }
        DrawWorkCoordinates(link);
    }
    if (bPointMode)
        DrawConfirmBox(link);
}

void KytSingleContents::DrawWorkCoordinates(const KytLink* /*link*/)
{
    if (!ShowWorkCoordinates || !WorkLink)
        return;
    glPushMatrix();
    KytOgl::MultMatrix(WorkLink->mech);
    switch (WorkMode) {
    case 0:
        if (pWorkAxis)
            pWorkAxis->Draw();
        break;
    case 1:
        if (ToolLink) {
            if (ToolLink->pShape) {
                glPushMatrix();
                KytOgl::MultMatrix(ToolLink->mech);
                DrawToolsPolygon(ToolLink);
                glPopMatrix();
            }
            DrawTool(ToolLink->GetChild(), false);
        }
        break;
    case 2:
        DrawCamera();
        break;
    case 3:
        if (pWorkAxis)
            pWorkAxis->Draw();
        DrawColPin();
        break;
    default: break;
    }
    glPopMatrix();
}

void KytSingleContents::DrawTool(KytLink* link, bool single)
{
    for (KytLink* l = link; l; l = single ? nullptr : l->GetNext()) {
        if (l->pShape) {
            glPushMatrix();
            KytOgl::MultMatrix(ToolLink->mech);
            DrawToolsPolygon(l);
            glPopMatrix();
        }
        if (KytLink* child = l->GetChild())
            DrawTool(child, false);
    }
}

void KytSingleContents::DrawToolsPolygon(const KytLink* link) const
{
    const KytShapeRep* rep = link->pShape ? link->pShape->pRep : nullptr;
    if (!rep)
        return;
    unsigned colour = 0xFFFF;
    const KytPoint* normal = nullptr;
    glBegin(GL_TRIANGLES);
    for (const KytTriangle& t : rep->aTriangle) {
        if (t.uColor != colour) {
            colour = t.uColor;
            if (KytColor::matarray && colour < KytColor::uArraySize &&
                KytColor::matarray[colour].bHasColor)
                glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE,
                             KytColor::matarray[colour].afColor);
        }
        for (int k = 0; k < 3; ++k) {
            if (t.pNormal[k] && t.pNormal[k] != normal) {
                normal = t.pNormal[k];
                glNormal3fv(normal->fv());
            }
            if (t.pVertex[k])
                glVertex3fv(t.pVertex[k]->fv());
        }
    }
    glEnd();
}

void KytSingleContents::DrawCamera() const
{
    if (!Quadric)
        return;
    const float u = MarkSize;
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_LIGHTING);
    glPushMatrix();
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kRed);
    glTranslatef(0.0f, 0.0f, -2.0f * u);
    DrawCameraBody(MarkSize);
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, 2.0f * u);
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, 0.0f, 2.0f * u);
    gluCylinder(Quadric, 0.3 * u, 0.3 * u, 3.0 * u, 16, 16);
    glTranslatef(0.0f, 0.0f, 4.0f * u);
    gluCylinder(Quadric, 0.7 * u, 0.7 * u, u, 16, 16);
    glTranslatef(0.0f, 0.0f, u);
    gluCylinder(Quadric, 0.7 * u, 1.2 * u, 1.2 * u, 16, 16);
    glTranslatef(0.0f, 0.0f, 1.2f * u);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kCyan);
    DrawCircle(1.2f * u, 0);
    glPopMatrix();
    glPopMatrix();
    glPopAttrib();
}

void KytSingleContents::DrawCircle(float r, int axis) const
{
    static const float kNormals[6][3] = {{0, 0, 1}, {0, 0, -1}, {0, 1, 0},
                                         {0, -1, 0}, {1, 0, 0}, {-1, 0, 0}};
    const int a = axis < 0 || axis > 5 ? 0 : axis;
    glBegin(GL_TRIANGLE_FAN);
    glNormal3fv(kNormals[a]);
    for (int i = 0; i < 16; ++i) {
        const float c = r * CircleCos[i], s = r * CircleSin[i];
        if (a <= 1)
            glVertex3f(c, s, 0.0f);
        else if (a <= 3)
            glVertex3f(s, 0.0f, c);
        else
            glVertex3f(0.0f, c, s);
    }
    glEnd();
}

void KytSingleContents::DrawColPin()
{
    if (!ColPin || !ColPin->pShape)
        return;
    // Pushed, not loaded over the caller's name: the pop after it then stays balanced.
    glPushName(KytPickNames::Name(ColPin));
    DrawTriangles(ColPin, ColPin->pShape, false);
    glPopName();
}

void KytSingleContents::PickDraw(const KytLink* link)
{
    if (!link || !link->pShape || !link->pShape->pRep || link->pShape->pRep->aTriangle.empty())
        return;
    const KytShapeRep& rep = *link->pShape->pRep;
    glInitNames();
    glPushName(0xFFFFFFFFu);
    glLoadName(1);
    glPushName(KytPickNames::Name(link));
    glPushMatrix();
    KytOgl::MultMatrix(link->mech);
    glPushName(5);
    glPushName(0xFFFFFFFFu);
    for (const KytTriangle& t : rep.aTriangle) {
        KytPickNames::LoadName(&t);
        glBegin(GL_TRIANGLES);
        for (int k = 0; k < 3; ++k)
            if (t.pVertex[k])
                glVertex3fv(t.pVertex[k]->fv());
        glEnd();
    }
    glPopName();
    glPopName();
    if (bPointMode && !rep.aVertex.empty()) {
        glPushName(6);
        glPushName(0xFFFFFFFFu);
        auto mark = [this](const void* name, const float* p) {
            KytPickNames::LoadName(name);
            glPushMatrix();
            glTranslatef(p[0], p[1], p[2]);
            KytOgl::DrawWireBox(fPointMarkSize, fPointMarkSizeNeg);
            glPopMatrix();
        };
        for (const KytPoint& p : rep.aVertex)
            mark(&p, p.fv());
        for (const auto& c : ConfirmBox)
            mark(c, c);
        glPopName();
        glPopName();
    }
    glPopMatrix();
    glPopName();
    glPopName();
}
