#include "scene/view/KernelLinks.h"

#include "platform/kernel/KytLink.h"

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

} // namespace kyt_links
