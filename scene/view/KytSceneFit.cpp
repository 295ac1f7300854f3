// Fitting the view to the part tree, stepped flights and jumps, area zoom and the eye moved
// along the line of sight.

#include "scene/view/KytScene.h"

#include "scene/view/KernelLinks.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytViewPort.h"
#include "platform/kernel/KytLink.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double kEps = 2.220446049250313e-16;
constexpr double kHuge = 1.7976931348623157e308;

// The link's geometric centre in the world, refreshed when the kernel marks it stale.
WqVector3D WorldCentre(KytLink* link)
{
    if (link->bGeomCenStale)
        link->SetGeomCEN();
    return kyt_links::WorldPlacement(link).GetAbsPos(link->vGeomCen);
}

void Widen(WqVector3D& min, WqVector3D& max, const WqVector3D& lo, const WqVector3D& hi)
{
    for (int i = 0; i < 3; ++i) {
        min[i] = std::min(min[i], lo[i]);
        max[i] = std::max(max[i], hi[i]);
    }
}

} // namespace

bool KytScene::CalcMinMax(KytLink* link, WqVector3D& min, WqVector3D& max, bool targetOnly,
                          int typeMask, bool single) const
{
    bool result = false;
    for (KytLink* l = link; l; l = single ? nullptr : kyt_links::NextSibling(l)) {
        // Below a target every link counts.
        bool below = targetOnly;
        const bool ownSkipped = !single && targetOnly && !kyt_links::HasTargetMark(l);
        if (!ownSkipped) {
            if (!kyt_links::IsVisibleInLayer(l))
                continue;
            if (kyt_links::HasTargetMark(l))
                below = false;
            if ((kyt_links::LinkType(l) & static_cast<unsigned int>(typeMask)) && l->pShape) {
                bool cut = false;
                if (!l->bNoClip && m_pContents) {
                    m_pContents->vLinkCenter = WorldCentre(l);
                    // Wholly clipped away: neither the link nor its subtree counts.
                    if (m_pContents->CheckClipping(l, cut))
                        continue;
                }
                WqVector3D bmin(kHuge, kHuge, kHuge), bmax(-kHuge, -kHuge, -kHuge);
                l->GetSingleBoundingBox(&bmin, &bmax);
                if (cut)
                    m_pContents->ClipPoint(bmin, bmax);
                Widen(min, max, bmin, bmax);
                result = true;
            }
        }
        if (KytLink* child = kyt_links::FirstChild(l))
            if (CalcMinMax(child, min, max, below, typeMask, false))
                result = true;
    }
    return result;
}

void KytScene::SetLook(KytLink* link)
{
    KytCamera* camera = m_pViewPort->ActiveCamera;
    if (!link || !m_pContents) {
        if (camera)
            camera->LookAtPosition = WqVector3D(0.0, 0.0, 0.0);
        m_pViewPort->ResetViewRadius(1000.0, false);
        return;
    }
    WqVector3D min(kHuge, kHuge, kHuge), max(-kHuge, -kHuge, -kHuge);
    bool filled;
    if (m_pContents->bClipAllowed && m_pContents->CalcClipParameter(true))
        filled = CalcMinMax(link, min, max, bShowTargetLink, -1, true);
    else
        filled = link->GetBoundingBox(&min, &max, bShowTargetLink, -1, true);
    if (!filled)
        return;
    // A box without extent would give the view a radius of 0, which no zoom could grow
    // again: the view keeps its radius and only looks at the box.
    const double diagonal = (max - min).Length();
    if (!(diagonal > kEps)) {
        if (camera)
            camera->LookAtPosition = (min + max) * 0.5;
        return;
    }
    m_pViewPort->SetBoundingBox(min, max);
}

void KytScene::FlyTo(KytLink* link, bool redraw)
{
    KytCamera* camera = GetActiveCamera();
    if (!link || !m_pRootLink || !m_pOgl || !camera)
        return;
    MakeCurrent();
    // The overview of the whole model.
    if (nViewMoveStep != 0 && redraw) {
        FitView(true);
        ChangeViewPoint(45.0f, 54.0f, true);
    } else {
        SetLook(m_pRootLink);
    }
    KytViewPort& vp = *m_pViewPort;
    const double r0 = vp.ViewRadius;
    const WqVector3D l0 = camera->LookAtPosition;
    const double r = link->GetRadius();
    const WqVector3D w = WorldCentre(link);
    const int n = nViewMoveStep > 1 ? nViewMoveStep : 1;

    // A frame of the flight; the last of a loop is not drawn without redraw.
    auto frame = [&](bool last) {
        if (!redraw && last) {
            RefitLists();
            return;
        }
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (KytAuxContents* obj = m_pAuxConts[0]; obj; obj = obj->pNextAux) {
            obj->FitView(m_pViewPort);
            obj->Draw();
        }
        if (m_pContents)
            m_pContents->Draw(m_pRootLink, 0);
        for (KytAuxContents* obj = m_pAuxConts[1]; obj; obj = obj->pNextAux) {
            obj->FitView(m_pViewPort);
            obj->Draw();
        }
        DrawGDI();
    };

    // Turn towards the link.
    const WqVector3D d = w - l0;
    const double d2 = d.Length2();
    if (d2 > kEps && std::sqrt(d2) > kEps) {
        const WqVector3D u = d * (1.0 / std::sqrt(d2));
        const double a = (u.x >= -1.0 && u.x <= 1.0) ? std::acos(u.x) * 57.29577951308239 : 0.0;
        const float t = static_cast<float>((a - 45.0) / n);
        for (int i = 0; i < n; ++i) {
            camera->DirectAngle += t;
            vp.SetCamera();
            frame(i == n - 1);
        }
    }

    // Approach. A link of radius 0 would leave the view no radius that any zoom could grow:
    // the view keeps its radius then.
    double r1 = std::min(3.0 * r, vp.ViewRadius);
    if (!(r1 > 0.0))
        r1 = vp.ViewRadius;
    double dR = 0.0, rad = r1;
    WqVector3D step(0.0, 0.0, 0.0), look = w;
    if (n > 1) {
        dR = (r1 - r0) / n;
        step = (w - l0) * (1.0 / n);
        rad = r0 + dR;
        look = l0 + step;
    }
    for (int i = 0; i < n; ++i) {
        camera->LookAtPosition = look;
        vp.ResetViewRadius(rad, false);
        vp.NearClip = vp.EyeDistance - r;
        vp.SetCamera();
        if (m_pContents)
            m_pContents->FitView(m_pViewPort);
        frame(i == n - 1);
        rad += dR;
        look += step;
    }
}

bool KytScene::JumpPoint(WqVector3D& point, int refit, double scale)
{
    KytCamera* camera = GetActiveCamera();
    if (!m_pOgl || !camera)
        return false;
    // A scale of 0 or less would leave the view no radius: the jump keeps the radius.
    if (!(scale > 0.0))
        refit = 0;
    const int n = nViewMoveStep;
    MakeCurrent();
    KytViewPort& vp = *m_pViewPort;
    double r = scale * vp.BaseRadius;
    if (n > 1) {
        WqVector3D look = camera->LookAtPosition;
        const WqVector3D step = (point - look) * (1.0 / n);
        double dR = 0.0;
        StartMovingView(false);
        if (refit) {
            FitView(false);
            r = scale * vp.BaseRadius;
            dR = (r - vp.ViewRadius) / n;
        }
        for (int i = 0; i < n; ++i) {
            if (refit) {
                vp.ViewRadius += dR;
                vp.RealScale.Flag = 0;
                vp.CalcViewFovy(r);
                RefitLists();
            }
            look += step;
            Panning(look, i != n - 1);
        }
        vp.RadiusBack = vp.ViewRadius;
        EndMovingView(true, false);
        return true;
    }
    if (refit) {
        vp.SetRadius(r);
        vp.CalcViewFovy(r);
        RefitLists();
    }
    vp.RadiusBack = vp.ViewRadius;
    Panning(point, true);
    return true;
}

void KytScene::AreaZoom(int x1, int y1, int x2, int y2)
{
    KytCamera* camera = GetActiveCamera();
    if (!m_pOgl || !camera)
        return;
    const int w = std::abs(x2 - x1), h = std::abs(y2 - y1);
    const double f = w > h ? static_cast<double>(w) / m_nWidth : static_cast<double>(h) / m_nHeight;
    // An empty rectangle would zoom to a radius of 0.
    if (!(f > 0.0))
        return;
    MakeCurrent();
    const int cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
    KytPickData record;
    if (Pick(cx, cy, &record, true, true) && record.Link) {
        // The line of sight through the centre pixel, at the depth of the part's centre.
        const WqVector3D e = camera->EyeOrientation;
        const WqVector3D q = ViewPlanePoint(cx, cy);
        const WqVector3D c = WorldCentre(record.Link);
        camera->LookAtPosition = q + e * (c - q).Dot(e);
    } else {
        camera->LookAtPosition = Point2Vector(cx, cy);
    }
    KytViewPort& vp = *m_pViewPort;
    vp.ViewRadius *= f;
    vp.RealScale.Flag = 0;
    vp.CalcViewFovy(vp.ViewRadius);
    ResetView(true);
    vp.RadiusBack = vp.ViewRadius;
}

bool KytScene::ShiftCamera(WqVector3D& delta, bool redraw)
{
    KytCamera* camera = GetActiveCamera();
    if (!m_pOgl || !camera)
        return false;
    const WqVector3D e = camera->EyeOrientation;
    const double s = e.Dot(delta);
    if (std::fabs(s) < 1.1920928955078125e-07)
        return false;
    MakeCurrent();
    // Both grow by the length of the move, whichever its direction.
    m_pViewPort->FarClip += std::fabs(s);
    m_pViewPort->EyeDistance += std::fabs(s);
    const WqVector3D v = e * s;
    RebuildProjection();
    glLoadIdentity();
    camera->ShiftEye(v);
    if (redraw)
        Draw(false);
    return true;
}
