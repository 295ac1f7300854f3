#include "platform/kernel/KytLink.h"

#include <algorithm>
#include <cmath>

int KytLink::eReferMode = KYT_REFER_ASSEMBLY;
unsigned KytVisual::uLayerMask = 1;

WqVector3D KytManip::GetOrigin() const
{
    if (nOriginMode == 0)
        return WqVector3D::zero;
    if (nOriginMode != 1)
        return vOriginOffset;
    if (!pOwner)
        return WqVector3D::zero;
    // A centre not yet refreshed is read from the shape box it would be refreshed from.
    if (pOwner->bGeomCenStale && pOwner->pShape && pOwner->pShape->pRep) {
        const KytShapeRep& rep = *pOwner->pShape->pRep;
        return {(rep.boxMin.x + rep.boxMax.x) * 0.5, (rep.boxMin.y + rep.boxMax.y) * 0.5,
                (rep.boxMin.z + rep.boxMax.z) * 0.5};
    }
    return pOwner->vGeomCen;
}

void KytManip::GetData(double m[16]) const
{
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            m[j * 4 + i] = mOrientation.m[i][j];
    m[3] = m[7] = m[11] = 0.0;
    const WqVector3D t = mOrientation.Multi(GetOrigin());
    m[12] = t.x;
    m[13] = t.y;
    m[14] = t.z;
    m[15] = 1.0;
}

KytLink::KytLink() { manip.pOwner = this; }

void KytLink::AddChild(KytLink* child, int mode)
{
    child->pParent[mode] = this;
    child->pSibling[mode] = nullptr;
    KytLink** slot = &pChild[mode];
    while (*slot)
        slot = &(*slot)->pSibling[mode];
    *slot = child;
}

namespace {
bool LayerTest(const KytLink& l, unsigned bits)
{
    if (l.nType == KYT_LINK_PART)
        return (bits & KytVisual::uLayerMask) != 0;
    return bits != 0;
}

void Widen(WqVector3D* min, WqVector3D* max, const WqVector3D& p)
{
    min->x = std::min(min->x, p.x);
    min->y = std::min(min->y, p.y);
    min->z = std::min(min->z, p.z);
    max->x = std::max(max->x, p.x);
    max->y = std::max(max->y, p.y);
    max->z = std::max(max->z, p.z);
}
}  // namespace

bool KytLink::IsVisible() const { return LayerTest(*this, visual.uVisible); }
bool KytLink::IsTransparent() const { return LayerTest(*this, visual.uTransparent); }

bool KytLink::GetSingleBoundingBox(WqVector3D* min, WqVector3D* max) const
{
    if (!pShape || !pShape->pRep)
        return false;
    const KytShapeRep& rep = *pShape->pRep;
    for (int c = 0; c < 8; ++c) {
        WqVector3D p((c & 1) ? rep.boxMax.x : rep.boxMin.x, (c & 2) ? rep.boxMax.y : rep.boxMin.y,
                     (c & 4) ? rep.boxMax.z : rep.boxMin.z);
        Widen(min, max, mech.GetAbsPos(p));
    }
    return true;
}

bool KytLink::GetBoundingBox(WqVector3D* min, WqVector3D* max, bool targetOnly, int typeMask,
                             bool single) const
{
    bool result = false;
    for (const KytLink* l = this; l; l = single ? nullptr : l->GetNext()) {
        bool below = targetOnly;
        const bool skipOwn = !single && targetOnly && !l->bTarget;
        if (!skipOwn) {
            if (!l->IsVisible())
                continue;
            if (l->bTarget)
                below = false;
            if ((l->nType & typeMask) && l->pShape && l->GetSingleBoundingBox(min, max))
                result = true;
        }
        if (KytLink* child = l->GetChild())
            if (child->GetBoundingBox(min, max, below, typeMask, false))
                result = true;
    }
    return result;
}

void KytLink::SetGeomCEN()
{
    if (pShape && pShape->pRep) {
        const KytShapeRep& rep = *pShape->pRep;
        vGeomCen = {(rep.boxMin.x + rep.boxMax.x) * 0.5, (rep.boxMin.y + rep.boxMax.y) * 0.5,
                    (rep.boxMin.z + rep.boxMax.z) * 0.5};
        for (int c = 0; c < 8; ++c)
            aBoxCorner[c] = {(c & 1) ? rep.boxMax.x : rep.boxMin.x,
                             (c & 2) ? rep.boxMax.y : rep.boxMin.y,
                             (c & 4) ? rep.boxMax.z : rep.boxMin.z};
        const WqVector3D normals[6] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0},
                                       {0, 1, 0},  {0, 0, -1}, {0, 0, 1}};
        std::copy(std::begin(normals), std::end(normals), aBoxNormal);
        bHasBox = true;
        const WqVector3D half = aBoxCorner[7].Minus(aBoxCorner[0]) * 0.5;
        fRadius = static_cast<float>(half.Length());
    } else {
        // A link without a shape is centred on its subtree, so that a sphere around an
        // assembly holds every part below it.
        WqVector3D min(1e300, 1e300, 1e300), max(-1e300, -1e300, -1e300);
        bool any = false;
        for (const KytLink* c = GetChild(); c; c = c->GetNext())
            any = c->SubtreeWorldBox(&min, &max) || any;
        if (any) {
            const WqVector3D centre = (min + max) * 0.5;
            vGeomCen = mech.mRot.Transpose().Multi(centre.Minus(mech.vPos));
            fRadius = static_cast<float>(((max - min) * 0.5).Length());
        } else {
            vGeomCen = WqVector3D::zero;
            fRadius = 0.0f;
        }
        bHasBox = false;
    }
    bGeomCenStale = false;
}

bool KytLink::SubtreeWorldBox(WqVector3D* min, WqVector3D* max) const
{
    bool any = GetSingleBoundingBox(min, max);
    for (const KytLink* c = GetChild(); c; c = c->GetNext())
        any = c->SubtreeWorldBox(min, max) || any;
    return any;
}

namespace {
// Signed volume and volume-weighted centroid sum of a closed mesh, in world space.
void AccumulateVolume(const KytLink& l, double& volume, WqVector3D& moment)
{
    if (l.pShape && l.pShape->pRep) {
        for (const KytTriangle& t : l.pShape->pRep->aTriangle) {
            WqVector3D p[3];
            for (int k = 0; k < 3; ++k)
                p[k] = l.mech.GetAbsPos({t.pVertex[k]->x, t.pVertex[k]->y, t.pVertex[k]->z});
            const double v = p[0].Dot(p[1].Cross(p[2])) / 6.0;
            volume += v;
            moment += (p[0] + p[1] + p[2]) * (v / 4.0);
        }
    }
    for (const KytLink* c = l.GetChild(); c; c = c->GetNext())
        AccumulateVolume(*c, volume, moment);
}
}  // namespace

void KytLink::SetAsyCOM()
{
    double volume = 0.0;
    WqVector3D moment;
    AccumulateVolume(*this, volume, moment);
    if (std::fabs(volume) <= 2.220446e-16) {
        nCOMState = 2;
        return;
    }
    const WqVector3D world = moment * (1.0 / volume);
    vCOM = mech.mRot.Transpose().Multi(world.Minus(mech.vPos));
    nCOMState = 1;
}

void KytLink::UnitTransOne()
{
    const KytLink* parent = pParent[KYT_REFER_ASSEMBLY];
    mech = parent ? parent->mech.Multi(referMech) : referMech;
}

KytLink* KytLink::SearchNext() const
{
    if (KytLink* c = GetChild())
        return c;
    for (const KytLink* l = this; l; l = l->GetParent())
        if (KytLink* s = l->GetNext())
            return s;
    return nullptr;
}

void KYT_UpdateWorldPlacement(KytLink* root)
{
    if (!root)
        return;
    root->UnitTransOne();
    for (KytLink* c = root->pChild[KYT_REFER_ASSEMBLY]; c; c = c->pSibling[KYT_REFER_ASSEMBLY])
        KYT_UpdateWorldPlacement(c);
}
