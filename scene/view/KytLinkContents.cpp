#include "scene/view/KytLinkContents.h"

#include "scene/view/KytScene.h"

CSphere KytLinkContents::Sphere;
bool KytLinkContents::bContribution = true;
double KytLinkContents::lfContributionRate = 0.018;
BOXMODE KytLinkContents::eContributionBoxMode = BOXMODE_WIRE;
bool KytLinkContents::bContributionDynamic = true;
double KytLinkContents::lfContributionRateDynamic = 0.1;
BOXMODE KytLinkContents::eContributionBoxDynamicMode = BOXMODE_WIRE;

KytLinkContents::KytLinkContents() : bContributionOn(bContribution) {}

KytLinkContents::~KytLinkContents() = default;

void KytLinkContents::Create(KytScene* scene)
{
    if (!scene)
        return;
    pViewPort = scene->GetViewPort();
    pOgl = scene->GetOgl();
}

void KytLinkContents::Draw(KytLink*, int) {}

void KytLinkContents::PickDraw(const KytLink*) {}

int KytLinkContents::GetClipCnt() const
{
    if (nClipCnt == 0 && bViewClip)
        return 1;
    return nClipCnt;
}

unsigned int KytLinkContents::MakeDisp(KytShape*, KytOgl*)
{
    return 0;
}

bool KytLinkContents::SetSubContsState(unsigned int, bool)
{
    return false;
}

void KytLinkContents::Copy(const KytLinkContents* source)
{
    if (!source)
        return;
    KytContents::Copy(source);
    eDrawType = source->eDrawType;
    ePrevDrawType = source->ePrevDrawType;
    pFocusLink1 = source->pFocusLink1;
    pFocusLink2 = source->pFocusLink2;
    nClipCnt = source->nClipCnt;
    bClipEnabled = source->bClipEnabled;
    bViewClip = source->bViewClip;
    bContributionOn = source->bContributionOn;
    bSectionLine = source->bSectionLine;
    bWireBoxOnly = source->bWireBoxOnly;
}
