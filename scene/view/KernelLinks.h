#pragma once
// The few questions the view layer asks of the kernel's part tree, in one place: the relation
// walks follow KytLink::eReferMode, and visibility follows the current layer.

class KytLink;

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

} // namespace kyt_links
