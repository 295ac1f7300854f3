#include "scene/view/KernelLinks.h"

#include "platform/kernel/KytShape.h"

namespace kyt_links {

KytLink* Parent(const KytLink* link)
{
    return link ? link->GetParent() : nullptr;
}

KytLink* FirstChild(const KytLink* link)
{
    return link ? link->GetChild() : nullptr;
}

KytLink* NextSibling(const KytLink* link)
{
    return link ? link->GetNext() : nullptr;
}

unsigned int LinkType(const KytLink* link)
{
    return link ? static_cast<unsigned int>(link->nType) : 0u;
}

bool HasTargetMark(const KytLink* link)
{
    return link && link->bTarget;
}

bool IsVisibleInLayer(const KytLink* link)
{
    return link && link->IsVisible();
}

bool IsTransparentInLayer(const KytLink* link)
{
    return link && link->IsTransparent();
}

int CustomColorIndex(const KytLink* link)
{
    return link ? link->nCustomColor : -1;
}

bool ShapeBox(const KytLink* link, WqVector3D& min, WqVector3D& max)
{
    if (!link || !link->pShape || !link->pShape->pRep) return false;
    const KytShapeRep* rep = link->pShape->pRep;
    min = {rep->boxMin.x, rep->boxMin.y, rep->boxMin.z};
    max = {rep->boxMax.x, rep->boxMax.y, rep->boxMax.z};
    return true;
}

} // namespace kyt_links
