#include "scene/annotation/AuxCamera.h"

#include <cmath>

#include "scene/view/KytCameraBody.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

float AuxCamera::afSin[16];
float AuxCamera::afCos[16];
bool AuxCamera::bDataSet = false;
float AuxCamera::afSize[5] = {0.005f, 0.02f, 0.03f, 0.04f, 0.05f};
int AuxCamera::nSize = 2;
KytLink* AuxCamera::pTargetCamera = nullptr;

AuxCamera::AuxCamera(unsigned int id) : KytContents(id)
{
    m_bDraw = false;
    if (!bDataSet) {
        for (int i = 0; i < 16; ++i) {
            const double a = i * 3.14159265358979323846 / 8.0;
            afSin[i] = static_cast<float>(std::sin(a));
            afCos[i] = static_cast<float>(std::cos(a));
        }
        bDataSet = true;
    }
}

AuxCamera::~AuxCamera()
{
    if (Quadric)
        gluDeleteQuadric(Quadric);
}

void AuxCamera::Destroy()
{
    if (Quadric) {
        gluDeleteQuadric(Quadric);
        Quadric = nullptr;
    }
}

void AuxCamera::Create(KytScene* scene)
{
    if (!Quadric) {
        Quadric = gluNewQuadric();
        if (Quadric) {
            gluQuadricDrawStyle(Quadric, GLU_FILL);
            gluQuadricOrientation(Quadric, GLU_OUTSIDE);
        }
    }
    if (scene)
        FitView(scene->GetViewPort());
}

void AuxCamera::FitView(const KytViewPort* viewport)
{
    if (viewport && nSize >= 0 && nSize < 5)
        Size = static_cast<float>(viewport->GetViewRadius() * afSize[nSize]);
}

bool AuxCamera::IsCameraLink(const KytLink* link)
{
    if (!link || link->nType != KYT_LINK_CAMERA || link->GetChild())
        return false;
    const KytLink* parent = link->GetParent();
    return parent && parent->nType == KYT_LINK_CAMERA;
}

KytLink* AuxCamera::GetAnyCamera(KytLink* link, bool single)
{
    for (KytLink* l = link; l; l = single ? nullptr : l->GetNext()) {
        if (!l->IsVisible())
            continue;
        if (IsCameraLink(l))
            return l;
        if (KytLink* found = GetAnyCamera(l->GetChild(), false))
            return found;
    }
    return nullptr;
}

bool AuxCamera::CheckTargetPart(KytLink* link)
{
    if (link && link->IsVisible()) {
        KytLink* camera = IsCameraLink(link) ? link : GetAnyCamera(link->GetChild(), false);
        if (camera) {
            if (pTargetCamera && pTargetCamera->IsVisible())
                return true;
            pTargetCamera = camera;
            return false;
        }
    }
    pTargetCamera = nullptr;
    return false;
}

void AuxCamera::DrawCircle(float r, int type)
{
    glBegin(GL_TRIANGLE_FAN);
    switch (type) {
    case 1: glNormal3f(0, 0, -1); break;
    case 2: glNormal3f(0, 1, 0); break;
    case 3: glNormal3f(0, -1, 0); break;
    case 4: glNormal3f(1, 0, 0); break;
    case 5: glNormal3f(-1, 0, 0); break;
    default: glNormal3f(0, 0, 1); break;
    }
    for (int i = 0; i < 16; ++i) {
        const float c = r * afCos[i], s = r * afSin[i];
        if (type == 2 || type == 3)
            glVertex3f(s, 0, c);
        else if (type == 4 || type == 5)
            glVertex3f(0, c, s);
        else
            glVertex3f(c, s, 0);
    }
    glEnd();
}

void AuxCamera::Draw(KytLink* link)
{
    if (!m_bDraw || !link || !link->IsVisible() || !Quadric)
        return;
    static const float kRed[4] = {1, 0, 0, 1};
    static const float kYellow[4] = {1, 1, 0, 1};
    static const float kCyan[4] = {0, 1, 1, 1};
    static const float kCone[4] = {0, 1, 1, 0.3f};
    const float s = Size;
    const bool target = link == pTargetCamera;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT |
                 GL_POLYGON_BIT);
    glEnable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    KytPickNames::LoadName(link);
    glPushMatrix();
    KytOgl::MultMatrix(link->mech);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, target ? kRed : kYellow);
    glTranslatef(0, 0, -2 * s);
    DrawCameraBody(s);
    glPushMatrix();
    glTranslatef(0, 0, 2 * s);
    glRotatef(90, 1, 0, 0);
    glTranslatef(0, 0, 2 * s);
    gluCylinder(Quadric, 0.3 * s, 0.3 * s, 3 * s, 16, 16);
    glPopMatrix();
    glTranslatef(0, 0, 4 * s);
    gluCylinder(Quadric, 0.7 * s, 0.7 * s, s, 16, 16);
    glTranslatef(0, 0, s);
    gluCylinder(Quadric, 0.7 * s, 1.2 * s, 1.2 * s, 16, 16);
    glTranslatef(0, 0, 1.2f * s);
    if (target)
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kCyan);
    DrawCircle(1.2f * s, 0);
    if (target && !KytContents::bPickMode) {
        glDisable(GL_CULL_FACE);
        glEnable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kCone);
        gluCylinder(Quadric, 1.2 * s, 1.2 * s + 12 * s * std::tan(link->fViewAngle * 0.008726646259971639),
                    12 * s, 16, 16);
    }
    glPopMatrix();
    glPopAttrib();
}
