#include "scene/annotation/AuxTarget.h"

#include "scene/view/KernelLinks.h"
#include "scene/view/KytScene.h"

using namespace kyt_links;

namespace {

bool MarkedOnParentChain(KytLink* link)
{
    for (KytLink* l = link; l; l = Parent(l))
        if (HasTargetMark(l))
            return true;
    return false;
}

// Depth first over the children of `first` and their siblings.
bool MarkedInSubtree(KytLink* first)
{
    for (KytLink* l = first; l; l = NextSibling(l)) {
        if (HasTargetMark(l) || MarkedInSubtree(FirstChild(l)))
            return true;
    }
    return false;
}

} // namespace

AuxTarget::AuxTarget() = default;

AuxTarget::AuxTarget(unsigned int id, KytLink* link) : KytAuxContents(id), pTargetLink(link) {}

AuxTarget::AuxTarget(const AuxTarget* source) : KytAuxContents(source)
{
    if (source)
        pTargetLink = source->pTargetLink;
}

AuxTarget::AuxTarget(const AuxTarget& other) = default;

AuxTarget& AuxTarget::operator=(const AuxTarget& other) = default;

AuxTarget::~AuxTarget() = default;

bool AuxTarget::IsDraw() const
{
    // A hidden object stays hidden: without this its subclasses would keep drawing after
    // SetDraw(false), and the scene's show/hide switch would never report a change.
    if (!KytAuxContents::IsDraw())
        return false;
    if (!bSubDraw || !pTargetLink)
        return false;
    if (!IsVisibleInLayer(pTargetLink))
        return false;
    if (!KytScene::bShowTargetLink)
        return true;
    if (MarkedOnParentChain(pTargetLink))
        return true;
    if (LinkType(pTargetLink) == 256)
        return MarkedInSubtree(FirstChild(pTargetLink));
    return false;
}

KytAuxContents* AuxTarget::Duplicate()
{
    return new AuxTarget(this);
}

bool AuxTarget::IsTargetLink(KytLink* link) const
{
    return link == pTargetLink;
}

void AuxTarget::CheckVisual(KytLink* link)
{
    if (link && LinkType(link) == 1) {
        bSubDraw = true;
        return;
    }
    bool below = false;
    for (KytLink* l = pTargetLink; l; l = Parent(l)) {
        if (l == link) {
            below = true;
            break;
        }
    }
    bSubDraw = below;
}

KytLink* AuxTarget::GetTargetLink() const
{
    return pTargetLink;
}

void AuxTarget::Change(KytLink* link)
{
    pTargetLink = link;
    SetDraw(link != nullptr);
}

void AuxTarget::Scale(double) {}
