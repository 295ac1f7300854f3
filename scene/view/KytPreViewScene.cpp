#include "scene/view/KytPreViewScene.h"

#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPreViewContents.h"
#include "scene/view/KytSpecialView.h"
#include "scene/view/KytViewPort.h"
#include "platform/kernel/KytLink.h"

#include <limits>

namespace {
// The preview fits its link tightly: the eye stands 1.1 half diagonals off.
constexpr double kDistanceFactor = 1.1;
constexpr double kHuge = std::numeric_limits<double>::max();
} // namespace

KytPreViewScene::KytPreViewScene() : KytScene()
{
    Setup();
}

KytPreViewScene::KytPreViewScene(KytLink* root, const char* name) : KytScene(root, name)
{
    Setup();
}

void KytPreViewScene::Setup()
{
    m_bNormal = false;
    m_pViewPort->SetDistanceRate(kDistanceFactor);
}

KytLinkContents* KytPreViewScene::CreateConts()
{
    return new KytPreViewContents();
}

bool KytPreViewScene::Create(KytOgl* ogl, int width, int height)
{
    return CreateForced(ogl, width, height);
}

void KytPreViewScene::Draw(bool makeCurrent)
{
    DrawForced(makeCurrent);
}

void KytPreViewScene::ChangePart(KytLink* link)
{
    m_pRootLink = link;
    if (link && link->pShape && m_pOgl)
        m_pOgl->MakeCurrentFource();
}

void KytPreViewScene::SetTargetOnly(bool on)
{
    bTargetOnly = on;
    if (auto* contents = dynamic_cast<KytPreViewContents*>(m_pContents))
        contents->bTargetOnly = on;
}

int KytPreViewScene::TypeMask() const
{
    if (const auto* contents = dynamic_cast<const KytPreViewContents*>(m_pContents))
        return contents->nLinkTypeMask;
    return 2;
}

void KytPreViewScene::SetLook(KytLink* link)
{
    if (!link)
        return;
    WqVector3D min(kHuge, kHuge, kHuge), max(-kHuge, -kHuge, -kHuge);
    if (link->GetBoundingBox(&min, &max, bTargetOnly, TypeMask(), true))
        m_pViewPort->SetBoundingBox(min, max);
    else if (KytCamera* camera = m_pViewPort->GetActiveCamera())
        camera->SetLookAtPosition(WqVector3D(0.0, 0.0, 0.0));
}

void KytPreViewScene::FitView(bool redraw)
{
    if (!m_pRootLink || !m_pOgl)
        return;
    m_pOgl->MakeCurrentFource();
    SetLook(m_pRootLink);
    m_pViewPort->SetBaseRadius(m_pViewPort->GetViewRadius());
    ResetView(redraw);
}

bool KytPreViewScene::CheckZClip()
{
    if (!m_pRootLink || !m_pOgl)
        return false;
    WqVector3D min(kHuge, kHuge, kHuge), max(-kHuge, -kHuge, -kHuge);
    if (!m_pRootLink->GetBoundingBox(&min, &max, bTargetOnly, TypeMask(), true))
        return false;
    m_pOgl->MakeCurrentFource();
    FitDepthToBox(m_pViewPort, min, max);
    return false;
}
