#pragma once
// What the cameras, viewports and lights read from the kernel: the up axis and a link's world
// placement, name, shape box and relations.

#include "scene/view/KytPlatform.h"

namespace kytview {

using Placement = KytMech;

inline WqVector3D Make(double x, double y, double z) { return {x, y, z}; }
inline double Dot(const WqVector3D& a, const WqVector3D& b) { return a.Dot(b); }
inline double LengthSq(const WqVector3D& v) { return v.Dot(v); }
inline WqVector3D Add(const WqVector3D& a, const WqVector3D& b) { return a.Plus(b); }
inline WqVector3D CrossOf(const WqVector3D& a, const WqVector3D& b) { return a.Cross(b); }
inline WqVector3D Rotate(const Placement& p, const WqVector3D& v) { return p.mRot.Multi(v); }

inline const Placement& WorldPlacement(const KytLink* link) { return link->mech; }
inline const char* LinkName(const KytLink* link) { return link->name.c_str(); }
inline KytLink* FirstChild(const KytLink* link) { return link->GetChild(); }
inline KytLink* NextSibling(const KytLink* link) { return link->GetNext(); }

// The two stored corners of the link's shape box, in the link's own frame.
inline bool ShapeBox(const KytLink* link, WqVector3D& min, WqVector3D& max) {
    if (!link->pShape || !link->pShape->pRep) return false;
    const KytShapeRep* rep = link->pShape->pRep;
    min = {rep->boxMin.x, rep->boxMin.y, rep->boxMin.z};
    max = {rep->boxMax.x, rep->boxMax.y, rep->boxMax.z};
    return true;
}

}  // namespace kytview
