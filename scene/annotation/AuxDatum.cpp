#include "scene/annotation/AuxDatum.h"

#include <cmath>
#include <cstring>

#include "scene/view/KytPickNames.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

namespace {
constexpr double kTiny = 2.220446e-16;
}

AuxDatum::AuxDatum(const AuxDatum* source) : KytContents(source)
{
    if (source)
        std::memcpy(auDatum, source->auDatum, sizeof auDatum);
}

void AuxDatum::Create(KytScene* scene)
{
    if (scene)
        ViewPort = scene->GetViewPort();
}

bool AuxDatum::CalcPlane(const KytLink* link, WqVector3D& n, WqVector3D& M, WqVector3D& e1,
                         WqVector3D& e2) const
{
    if (!link || !ViewPort)
        return false;
    n = link->mech.mRot.Multi(WqVector3D(0, 0, -1));
    WqVector3D look;
    if (const KytCamera* camera = ViewPort->GetActiveCamera())
        look = camera->GetLookAtPosition();
    // Projection of the look-at point onto the plane through the link's origin.
    M = look.Minus(n * n.Dot(look.Minus(link->mech.vPos)));
    const double u = 0.8 * ViewPort->GetViewRadius();
    e1 = WqVector3D(-n.y * n.x, n.z * n.z + n.x * n.x, -n.y * n.z);
    const double l2 = e1.Length2();
    if (l2 <= kTiny || std::sqrt(l2) <= kTiny)
        e1 = WqVector3D(u, 0, 0);
    else
        e1 = e1 * (u / std::sqrt(l2));
    e2 = n.Cross(e1);
    const double l = e2.Length();
    e2 = l <= kTiny ? e2 * u : e2 * (u / l);
    return true;
}

void AuxDatum::Draw(KytLink* link)
{
    if (!m_bDraw || !link || !link->IsVisible())
        return;
    WqVector3D n, M, e1, e2;
    if (!CalcPlane(link, n, M, e1, e2))
        return;
    KytPickNames::LoadName(link);
    glPushName(m_uID);
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    const float colour[4] = {float(std::fabs(n.x)), float(std::fabs(n.y)), float(std::fabs(n.z)),
                             0.3f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
    glBegin(GL_QUADS);
    const double nd[3] = {n.x, n.y, n.z};
    glNormal3dv(nd);
    const WqVector3D corners[4] = {M - e1 - e2, M + e1 - e2, M + e1 + e2, M - e1 + e2};
    for (const WqVector3D& c : corners)
        glVertex3d(c.x, c.y, c.z);
    glEnd();
    glDepthMask(GL_TRUE);
    glPopAttrib();
    glPopName();
}
