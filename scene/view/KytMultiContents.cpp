#include "scene/view/KytMultiContents.h"

#include "scene/annotation/AuxAxis.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytViewPort.h"
#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytShape.h"
#include "platform/kernel/KytStack.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kTiny = 2.220446e-16;

bool Contains(const KytStack<KytLink>* list, const KytLink* link)
{
    if (!list)
        return false;
    for (const KytLink* l : *list)
        if (l == link)
            return true;
    return false;
}
} // namespace

KytMultiContents::KytMultiContents(KytStack<KytLink>* links) : DrawLinks(links)
{
    bClipAllowed = true;
}

bool KytMultiContents::CheckViewFlustomCulling(KytLink* link)
{
    if (link->bGeomCenStale)
        link->SetGeomCEN();
    vLinkCenter = link->mech.GetAbsPos(link->vGeomCen);
    const WqVector3D& o = vViewDir;
    const double f = lfEyePlane - o.Dot(vLinkCenter);
    const WqVector3D v = vLinkCenter + o * f - vLookAt;
    const double u2 = v.Length2();
    const double u = u2 > kTiny ? std::sqrt(u2) : 0.0;
    if (std::fabs(u) <= kTiny)
        return true;
    const double r = static_cast<double>(static_cast<float>(link->GetRadius()));
    if (u - r <= 0.0)
        return true;
    // Culled only when the sphere lies wholly outside the visible rectangle: a sphere beside
    // a corner can reach into it though its nearest point on the centre line lies outside.
    const double x = std::fabs(v.Dot(vScreenAcross));
    const double y = std::fabs(v.Dot(vScreenUp));
    const double dx = std::max(0.0, x - lfHalfWidth);
    const double dy = std::max(0.0, y - lfHalfHeight);
    return dx * dx + dy * dy <= r * r;
}

bool KytMultiContents::BeginClip(const KytLink* link, bool& unclipped)
{
    unclipped = false;
    if (!bClipEnabled)
        return true;
    if (link->bNoClip) {
        SetClipPlanes(false);
        unclipped = true;
        return true;
    }
    bool cut = false;
    return !CheckClipping(link, cut);
}

void KytMultiContents::EndClip(bool unclipped)
{
    if (!unclipped)
        return;
    SetClipPlanes(true);
    if (bViewClip)
        glEnable(GL_CLIP_PLANE5);
}

void KytMultiContents::Draw(KytLink* /*link*/, int /*targetMode*/)
{
    if (!pViewPort || !pOgl)
        return;
    if (const KytCamera* camera = pViewPort->GetActiveCamera()) {
        vViewDir = camera->GetEyeOrientation();
        vLookAt = camera->GetLookAtPosition();
        lfEyePlane = vViewDir.Dot(camera->GetLookAtPosition());
        vScreenUp = camera->GetViewUpVector();
        vScreenUp -= vViewDir * vScreenUp.Dot(vViewDir);
        if (!vScreenUp.Normarize())
            vScreenUp = WqVector3D(0, 1, 0);
        vScreenAcross = vViewDir.Cross(vScreenUp);
    }
    const double aspect = pViewPort->GetAspect();
    const double radius = pViewPort->GetViewRadius();
    lfHalfHeight = aspect < 1.0 && aspect > 0.0 ? radius / aspect : radius;
    lfHalfWidth = aspect * lfHalfHeight;
    bColorSet = false;
    pColor = nullptr;

    bClipEnabled = EnableClipPlanes();
    if (pOgl->IsDrawBackFace() && bBackFaceColor) {
        const float back[4] = {afPartBackFaceColor[0], afPartBackFaceColor[1],
                               afPartBackFaceColor[2], 0.6f};
        glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, back);
        nMaterialFace = GL_FRONT;
    } else {
        nMaterialFace = GL_FRONT_AND_BACK;
    }
    if (bAlphaMode) {
        GLint bits = 16;
        glGetIntegerv(GL_DEPTH_BITS, &bits);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(0.5f, static_cast<float>(std::ldexp(1.0, bits - 16)));
        glDepthFunc(GL_LEQUAL);
        DrawAlpha();
        glDisable(GL_POLYGON_OFFSET_FILL);
    } else {
        DrawNormal();
    }
    if (bClipEnabled)
        DisableClipPlanes();
}

void KytMultiContents::DrawNormal()
{
    if (!DrawLinks || DrawLinks->IsEmpty())
        return;
    glLoadName(1);
    glPushName(0xFFFFFFFFu);
    bool deferred = false;
    for (KytLink* link : *DrawLinks) {
        if (!link || !link->IsVisible() || !CheckViewFlustomCulling(link))
            continue;
        bool unclipped = false;
        if (!BeginClip(link, unclipped))
            continue;
        if (link->IsTransparent())
            deferred = true;
        else
            DrawSingleLink(link);
        EndClip(unclipped);
    }
    if (deferred && bDrawAlpha) {
        glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_ENABLE_BIT);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
        glDepthMask(GL_FALSE);
        fAlphaValue = 0.6f;
        bBackFaceColor = false;
        const bool backMode = pOgl->IsDrawBackFace();
        pOgl->SetBackFaceFlag(false);
        bAlphaPass = true;
        for (KytLink* link : *DrawLinks) {
            if (!link || !link->IsVisible() || !link->IsTransparent() || !link->pShape ||
                !CheckViewFlustomCulling(link))
                continue;
            bool unclipped = false;
            if (!BeginClip(link, unclipped))
                continue;
            KytPickNames::LoadName(link);
            glPushMatrix();
            KytOgl::MultMatrix(link->mech);
            if (pAxis)
                pAxis->Draw();
            DrawTriangles(link, link->pShape, false);
            if (bDrawSilhouette)
                DrawSilhouetteBracketed(link);
            glPopMatrix();
            EndClip(unclipped);
        }
        pOgl->SetBackFaceFlag(backMode);
        glDepthMask(GL_TRUE);
        glPopAttrib();
        bAlphaPass = false;
    }
    glPopName();
}

void KytMultiContents::DrawAlpha()
{
    if (!DrawLinks || DrawLinks->IsEmpty())
        return;
    bAlphaPass = true;
    glLoadName(1);
    glPushName(0xFFFFFFFFu);
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_ENABLE_BIT);
    // Source alpha for both factors: the list brightens where links overlap.
    glBlendFunc(GL_SRC_ALPHA, GL_SRC_ALPHA);
    glEnable(GL_BLEND);
    if (bAlphaDepthMaskOff)
        glDepthMask(GL_FALSE);
    fAlphaValue = 0.6f;
    for (KytLink* link : *DrawLinks) {
        if (!link || Contains(NonAlphaLinks, link))
            continue;
        if (link->IsVisible() && link->pShape && CheckViewFlustomCulling(link))
            DrawShape(link);
    }
    if (bAlphaDepthMaskOff)
        glDepthMask(GL_TRUE);
    glPopAttrib();
    bAlphaPass = false;
    if (NonAlphaLinks) {
        for (KytLink* link : *NonAlphaLinks) {
            if (!link || !link->pShape || !CheckViewFlustomCulling(link))
                continue;
            bool unclipped = false;
            if (!BeginClip(link, unclipped))
                continue;
            DrawSingleLink(link);
            EndClip(unclipped);
        }
    }
    glPopName();
    if (!bDrawSilhouette)
        return;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    glColor3f(0.0f, 0.0f, 0.0f);
    glLineWidth(1.0f);
    for (KytLink* link : *DrawLinks) {
        if (!link || !link->IsVisible() || !CheckViewFlustomCulling(link))
            continue;
        bool unclipped = false;
        if (!BeginClip(link, unclipped))
            continue;
        glPushMatrix();
        KytOgl::MultMatrix(link->mech);
        DrawSilhouette2(link, link->pShape);
        glPopMatrix();
        EndClip(unclipped);
    }
    glPopAttrib();
}

void KytMultiContents::DrawSilhouetteBracketed(const KytLink* link) const
{
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT);
    DrawSilhouette2(link, link->pShape);
    glPopAttrib();
}

void KytMultiContents::DrawSilhouette2(const KytLink* link, const KytShape* shape) const
{
    glDisable(GL_LIGHTING);
    glColor3f(0.0f, 0.0f, 0.0f);
    glLineWidth(1.0f);
    if (!shape || !shape->pRep || !(shape->uFlags & KYT_SHAPE_SILHOUETTE))
        return;
    float dir[3];
    LocalViewDir(link, dir);
    DrawSilhouette(shape, dir);
}
