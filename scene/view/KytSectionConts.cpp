#include "scene/view/KytSectionConts.h"
#include "scene/annotation/AuxWindowGeometry.h"

#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytSectionCut.h"
#include "scene/view/KytViewPort.h"
#include "platform/kernel/KytShape.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

int KytSectionConts::viewP[4] = {0, 0, 0, 0};
double KytSectionConts::projM[16] = {};
double KytSectionConts::modelM[16] = {};

namespace {
constexpr double kTiny = 2.220446e-16;

WqVector3D ToVector(const KytPoint* p)
{
    return WqVector3D(p->x, p->y, p->z);
}

void Grow(WqVector3D& min, WqVector3D& max, const WqVector3D& p)
{
    min.x = std::min(min.x, p.x);
    min.y = std::min(min.y, p.y);
    min.z = std::min(min.z, p.z);
    max.x = std::max(max.x, p.x);
    max.y = std::max(max.y, p.y);
    max.z = std::max(max.z, p.z);
}
} // namespace

bool KytSectionConts::SetSectionLink(KytLink* link)
{
    if (link == pSectionLink)
        return false;
    pSectionLink = link;
    bSectionOn = link != nullptr;
    return true;
}

bool KytSectionConts::EnableClipPlanes()
{
    if (!pSectionLink)
        return false;
    WqVector3D n = pSectionLink->mech.mRot.Multi(WqVector3D(0, 0, 1));
    const double n2 = n.Length2();
    if (n2 > kTiny) {
        lfSectRate = 1.0 / n2;
        n.Normarize();
    } else {
        lfSectRate = 1.0;
    }
    vSectNormal = n;
    lfSectD = n.Dot(pSectionLink->mech.vPos);
    return true;
}

unsigned int KytSectionConts::MakeDisp(KytShape* /*shape*/, KytOgl* /*ogl*/)
{
    return 0;
}

bool KytSectionConts::IsCut(const KytLink* link) const
{
    if (!link->bHasBox)
        return false;
    double previous = Distance(link->mech.GetAbsPos(link->aBoxCorner[0]));
    for (int i = 1; i < 8; ++i) {
        const double s = Distance(link->mech.GetAbsPos(link->aBoxCorner[i]));
        if (previous * s < 0.0)
            return true;
        previous = s;
    }
    return false;
}

template <class Visit>
void KytSectionConts::ForEachSegment(const KytLink* link, Visit visit) const
{
    const KytShape* shape = link->pShape;
    if (!pSectionLink || !shape || !shape->pRep)
        return;
    // The plane in the link's own frame.
    const WqMatrix33D rt = link->mech.mRot.Transpose();
    const WqVector3D n = rt.Multi(vSectNormal);
    const WqVector3D origin = rt.Multi(pSectionLink->mech.vPos - link->mech.vPos);
    const double d = n.Dot(origin);
    for (const KytTriangle& t : shape->pRep->aTriangle) {
        if (!t.pVertex[0] || !t.pVertex[1] || !t.pVertex[2])
            continue;
        const WqVector3D p[3] = {ToVector(t.pVertex[0]), ToVector(t.pVertex[1]),
                                 ToVector(t.pVertex[2])};
        WqVector3D seg[2];
        if (CutTriangle(n, d, p, seg))
            visit(seg[0], seg[1], t.uColor);
    }
}

void KytSectionConts::DrawSectionLine(const KytLink* link) const
{
    if (!pSectionLink)
        return;
    KytPickNames::LoadName(link);
    unsigned previous = 0xFFFF;
    ForEachSegment(link, [&](const WqVector3D& a, const WqVector3D& b, uint16_t colour) {
        if (colour != previous) {
            previous = colour;
            if (KytColor::matarray && colour < KytColor::uArraySize &&
                KytColor::matarray[colour].bHasColor)
                glColor4fv(KytColor::matarray[colour].afColor);
        }
        const double pa[3] = {a.x, a.y, a.z};
        const double pb[3] = {b.x, b.y, b.z};
        glVertex3dv(pa);
        glVertex3dv(pb);
    });
}

bool KytSectionConts::DrawSingleLink(KytLink* link)
{
    if (!(link->nType & (0x2 | 0x1000)) || !link->pShape)
        return false;
    if (!IsCut(link))
        return true;
    glPushMatrix();
    KytOgl::MultMatrix(link->mech);
    glBegin(GL_LINES);
    DrawSectionLine(link);
    glEnd();
    glPopMatrix();
    return true;
}

void KytSectionConts::Draw(KytLink* link, int /*targetMode*/)
{
    if (!link || !IsDraw() || !link->IsVisible() || !PreDraw())
        return;
    glLineWidth(2.0f);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glInitNames();
    glPushName(0xFFFFFFFFu);
    glLoadName(1);
    glPushName(0xFFFFFFFFu);
    DrawSingleLink(link);
    if (KytLink* child = link->GetChild())
        DrawLink(child, false, false);
    glPopName();
    glPopName();
}

void KytSectionConts::DrawLink(KytLink* link, bool flag, bool single)
{
    for (KytLink* l = link; l; l = single ? nullptr : l->GetNext()) {
        if (!l->IsVisible())
            continue;
        if (l->nType != 0x1000 && CheckCulling(l) == 0)
            continue;
        DrawSingleLink(l);
        if (KytLink* child = l->GetChild())
            DrawLink(child, flag, false);
    }
}

int KytSectionConts::CheckCulling(KytLink* link)
{
    if (link->bGeomCenStale)
        link->SetGeomCEN();
    const WqVector3D w = link->mech.GetAbsPos(link->vGeomCen);
    const double j = Distance(w);
    const double r = static_cast<float>(link->GetRadius());
    if (std::fabs(j) > r)
        return 0;
    const KytCamera* camera = pViewPort ? pViewPort->GetActiveCamera() : nullptr;
    if (!camera)
        return 2;
    // The centre on the plane, tested against the visible rectangle: culled only when the
    // sphere lies wholly outside it.
    const WqVector3D P = w + vSectNormal * j;
    const WqVector3D v = P - camera->GetLookAtPosition();
    const double u2 = v.Length2();
    if (u2 <= kTiny || std::sqrt(u2) - r < 0.0)
        return 2;
    const double x = std::fabs(v.Dot(vScreenAcross));
    const double y = std::fabs(v.Dot(vScreenUp));
    const double dx = std::max(0.0, x - lfHalfWidth);
    const double dy = std::max(0.0, y - lfHalfHeight);
    return dx * dx + dy * dy > r * r ? 0 : 2;
}

template <class Work> void KytSectionConts::PickWalk(KytLink* link, bool single, Work work)
{
    for (KytLink* l = link; l; l = single ? nullptr : l->GetNext()) {
        if (!l->IsVisible() || !(l->nType & 0x1003))
            continue;
        if (l->nType != 0x1000 && CheckCulling(l) == 0)
            continue;
        if (l->pShape && IsCut(l))
            work(l);
        if (KytLink* child = l->GetChild())
            PickWalk(child, false, work);
    }
}

void KytSectionConts::Pick(KytLink* link, _SECT_CROSS& cross, bool single)
{
    PickWalk(link, single, [&](KytLink* l) { PickDraw(l, cross); });
}

void KytSectionConts::PickEndPoint(KytLink* link, _SECT_ENDP* endp, bool single)
{
    if (!endp)
        return;
    PickWalk(link, single, [&](KytLink* l) { CalcEndPoint(l, endp); });
}

void KytSectionConts::PickDraw(const KytLink* link, _SECT_CROSS& cross) const
{
    const WqVector3D& n = vSectNormal;
    ForEachSegment(link, [&](const WqVector3D& a, const WqVector3D& b, uint16_t) {
        const WqVector3D X = link->mech.GetAbsPos(a);
        const WqVector3D Z = link->mech.GetAbsPos(b);
        const double len = (Z - X).Length();
        if (len <= kTiny)
            return;
        const WqVector3D s = (Z - X) * (1.0 / len);
        WqVector3D m = s.Cross(n);
        if (!m.Normarize())
            return;
        const double ds = (X - cross.vStart).Dot(m);
        const double de = (X - cross.vEnd).Dot(m);
        if ((ds > 0.0 && de > 0.0) || (ds < 0.0 && de < 0.0))
            return;
        const double dm = cross.vDir.Dot(m);
        if (std::fabs(dm) < kTiny)
            return;
        const WqVector3D Q = cross.vStart + cross.vDir * (ds / dm);
        if ((Q - X).Dot(s) < 0.0 || (Q - X).Length() > len ||
            (Q - cross.vStart).Dot(cross.vDir) < 0.0 ||
            (Q - cross.vStart).Length() > cross.lfLength)
            return;
        const double fromStart = (Q - cross.vStart).Length();
        const double fromEnd = (Q - cross.vEnd).Length();
        if (fromStart > cross.lfDist2) {
            cross.vCross2 = Q;
            cross.lfDist2 = fromStart;
            cross.aSeg2[0] = X;
            cross.aSeg2[1] = Z;
            cross.bFound = true;
        }
        if (fromEnd > cross.lfDist1) {
            cross.vCross1 = Q;
            cross.lfDist1 = fromEnd;
            cross.aSeg1[0] = X;
            cross.aSeg1[1] = Z;
            cross.bFound = true;
        }
    });
}

void KytSectionConts::CalcEndPoint(const KytLink* link, _SECT_ENDP* endp) const
{
    if (!endp)
        return;
    ForEachSegment(link, [&](const WqVector3D& a, const WqVector3D& b, uint16_t) {
        const WqVector3D A = link->mech.GetAbsPos(a);
        const WqVector3D B = link->mech.GetAbsPos(b);
        const double da = (A - endp->vPickPos).Length();
        const double db = (B - endp->vPickPos).Length();
        const WqVector3D& near = da < db ? A : B;
        const double dist = std::min(da, db);
        if (dist <= endp->lfRange && (!endp->bFound || dist < endp->lfDist)) {
            endp->vEndPos = near;
            endp->lfDist = dist;
            endp->bFound = true;
        }
    });
}

bool KytSectionConts::CheckSection(KytLink* link, WqVector3D& min, WqVector3D& max)
{
    bool any = false;
    ForEachSegment(link, [&](const WqVector3D& a, const WqVector3D& b, uint16_t) {
        Grow(min, max, link->mech.GetAbsPos(a));
        Grow(min, max, link->mech.GetAbsPos(b));
        any = true;
    });
    return any;
}

bool KytSectionConts::CheckBoundinBox(KytLink* link, WqVector3D& min, WqVector3D& max,
                                      bool single)
{
    if (single)
        PreDraw();
    bool any = false;
    for (KytLink* l = link; l; l = single ? nullptr : l->GetNext()) {
        if (!l->IsVisible())
            continue;
        if (l->nType == KYT_LINK_PART && l->pShape && IsCut(l) && CheckSection(l, min, max))
            any = true;
        if (KytLink* child = l->GetChild())
            any = CheckBoundinBox(child, min, max, false) || any;
    }
    return any;
}

// ---------------------------------------------------------------------------------------------
// Printing

void KytSectionConts::Print(KytLink* root)
{
    if (!root || !root->IsVisible())
        return;
    PrintSingleLink(root);
    for (KytLink* child = root->GetChild(); child; child = child->GetNext()) {
        if (!child->IsVisible())
            continue;
        PrintSingleLink(child);
        if (KytLink* grandchild = child->GetChild())
            PrintLink(grandchild, false, false);
    }
}

void KytSectionConts::PrintLink(KytLink* link, bool flag, bool single)
{
    for (KytLink* l = link; l; l = single ? nullptr : l->GetNext()) {
        if (!l->IsVisible())
            continue;
        PrintSingleLink(l);
        if (KytLink* child = l->GetChild())
            PrintLink(child, flag, false);
    }
}

bool KytSectionConts::PrintSingleLink(KytLink* link)
{
    if (link->nType != KYT_LINK_PART || !link->pShape)
        return false;
    if (IsCut(link))
        PrintSectionLine(link);
    return true;
}

void KytSectionConts::PrintSectionLine(KytLink* link)
{
    ForEachSegment(link, [&](const WqVector3D& a, const WqVector3D& b, uint16_t) {
        PrintPutLine(link->mech.GetAbsPos(a), link->mech.GetAbsPos(b));
    });
}

void KytSectionConts::PrintPutLine(const WqVector3D& a, const WqVector3D& b)
{
    if (!pPrintDC)
        return;
    double k = 0.0;
    if (!PrintScale(rcPrint.Width(), rcView.Width(), k))
        return;
    double ax, ay, az, bx, by, bz;
    gluProject(a.x, a.y, a.z, modelM, projM, viewP, &ax, &ay, &az);
    gluProject(b.x, b.y, b.z, modelM, projM, viewP, &bx, &by, &bz);
    const int x1 = rcPrint.left + aux_window::WindowInt(k * ax);
    const int y1 = rcPrint.bottom - aux_window::WindowInt(k * ay);
    const int x2 = rcPrint.left + aux_window::WindowInt(k * bx);
    const int y2 = rcPrint.bottom - aux_window::WindowInt(k * by);
    if (x1 == x2 && y1 == y2)
        return;
    const int oldRop = pPrintDC->SetROP2(R2_COPYPEN);
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CPen* oldPen = pPrintDC->SelectObject(&pen);
    pPrintDC->MoveTo(x1, y1);
    pPrintDC->LineTo(x2, y2);
    pPrintDC->SelectObject(oldPen);
    pPrintDC->SetROP2(oldRop);
}
