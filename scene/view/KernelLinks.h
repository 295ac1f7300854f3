#pragma once
// The few questions the view layer asks of the kernel's part tree, in one place: the relation
// walks follow KytLink::eReferMode, visibility follows the current layer, and placements and
// shape boxes are the link's own. Vector arithmetic stays with WqVector3D.

#include "platform/kernel/KytLink.h"

namespace kyt_links {

KytLink* Parent(const KytLink* link);
KytLink* FirstChild(const KytLink* link);
KytLink* NextSibling(const KytLink* link);
// The link's type word (1 top of the tree, 2 a part whose visibility follows the layers,
// 256 and 512 groups, ...).
unsigned int LinkType(const KytLink* link);
int CustomColorIndex(const KytLink* link);
bool HasTargetMark(const KytLink* link);
// Layered links (type 2) test their bits against the current layer mask, others any bit.
bool IsVisibleInLayer(const KytLink* link);
bool IsTransparentInLayer(const KytLink* link);

// The link's world placement: a point of its own frame goes to the world by GetAbsPos.
inline const KytMech& WorldPlacement(const KytLink* link) { return link->mech; }
inline const char* LinkName(const KytLink* link) { return link->name.c_str(); }
// The two stored corners of the link's shape box, in the link's own frame; false without a
// shape.
bool ShapeBox(const KytLink* link, WqVector3D& min, WqVector3D& max);

} // namespace kyt_links
