#include "scene/view/KytMultiScene.h"

#include "scene/view/KytMultiContents.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytSpecialView.h"
#include "scene/view/KytViewPort.h"
#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytShape.h"
#include "platform/kernel/KytStack.h"

#include <algorithm>
#include <limits>
#include <memory>

namespace {
constexpr double kHuge = std::numeric_limits<double>::max();

void Merge(WqVector3D& min, WqVector3D& max, const WqVector3D& a, const WqVector3D& b)
{
    min.x = std::min(min.x, a.x);
    min.y = std::min(min.y, a.y);
    min.z = std::min(min.z, a.z);
    max.x = std::max(max.x, b.x);
    max.y = std::max(max.y, b.y);
    max.z = std::max(max.z, b.z);
}

bool Filled(const WqVector3D& min, const WqVector3D& max)
{
    return min.x <= max.x && min.y <= max.y && min.z <= max.z;
}
} // namespace

KytMultiScene::KytMultiScene(KytStack<KytLink>* parts) : KytScene(), DrawParts(parts)
{
    m_bNormal = false;
}

KytLinkContents* KytMultiScene::CreateConts()
{
    return new KytMultiContents(DrawParts);
}

KytMultiContents* KytMultiScene::MultiContents() const
{
    return dynamic_cast<KytMultiContents*>(m_pContents);
}

bool KytMultiScene::Create(KytOgl* ogl, int width, int height)
{
    return CreateForced(ogl, width, height);
}

void KytMultiScene::Draw(bool makeCurrent)
{
    DrawForced(makeCurrent);
}

void KytMultiScene::SetDrawParts(KytStack<KytLink>* parts, bool redraw)
{
    DrawParts = parts;
    if (KytMultiContents* contents = MultiContents())
        contents->SetDrawLinks(parts);
    if (redraw)
        Draw(true);
}

void KytMultiScene::FitView(bool redraw)
{
    if (!DrawParts || DrawParts->IsEmpty() || !m_pOgl)
        return;
    m_pOgl->MakeCurrentFource();
    WqVector3D min(kHuge, kHuge, kHuge), max(-kHuge, -kHuge, -kHuge);
    KytLinkContents* contents = m_pContents;
    const bool clipping = contents && contents->bClipAllowed && contents->CalcClipParameter(true);
    for (KytLink* link : *DrawParts) {
        if (!link || !link->IsVisible())
            continue;
        bool cut = false;
        if (clipping && !link->bNoClip && contents->CheckClipping(link, cut))
            continue;
        WqVector3D a(kHuge, kHuge, kHuge), b(-kHuge, -kHuge, -kHuge);
        if (!link->GetSingleBoundingBox(&a, &b))
            continue;
        if (clipping && cut && !link->bNoClip)
            contents->ClipPoint(a, b);
        Merge(min, max, a, b);
    }
    // No shown link with a box: the view stays as it is rather than fitting an endless box.
    if (!Filled(min, max))
        return;
    m_pViewPort->SetBoundingBox(min, max);
    m_pViewPort->SetBaseRadius(m_pViewPort->GetViewRadius());
    ResetView(redraw);
}

bool KytMultiScene::CheckZClip()
{
    if (!DrawParts || DrawParts->IsEmpty() || !m_pOgl)
        return false;
    WqVector3D min(kHuge, kHuge, kHuge), max(-kHuge, -kHuge, -kHuge);
    bool first = true;
    for (KytLink* link : *DrawParts) {
        if (!link)
            continue;
        // The first link counts whether shown or not.
        if (first || link->IsVisible())
            link->GetBoundingBox(&min, &max, false, -1, true);
        first = false;
    }
    if (!Filled(min, max))
        return false;
    m_pOgl->MakeCurrentFource();
    FitDepthToBox(m_pViewPort, min, max);
    return false;
}

void KytMultiScene::MakeAlphaEdgeData()
{
    if (!DrawParts || DrawParts->IsEmpty())
        return;
    // One scratch array for the whole call, grown to the largest representation.
    std::unique_ptr<CLineHash[]> scratch;
    unsigned size = 0;
    for (KytLink* link : *DrawParts) {
        KytShape* shape = link ? link->pShape : nullptr;
        if (!shape || !shape->pRep || (shape->uFlags & KYT_SHAPE_SILHOUETTE))
            continue;
        const unsigned n = shape->pRep->GetElementCount();
        if (n > size) {
            scratch = std::make_unique<CLineHash[]>(n);
            size = n;
        }
        shape->pRep->CalcSilhouette(scratch.get(), n);
        shape->uFlags |= KYT_SHAPE_SILHOUETTE;
    }
}
