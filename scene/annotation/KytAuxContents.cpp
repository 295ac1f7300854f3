#include "scene/annotation/KytAuxContents.h"

KytAuxContents::KytAuxContents() = default;

KytAuxContents::KytAuxContents(unsigned int id) : KytContents(id) {}

KytAuxContents::KytAuxContents(const KytAuxContents* source) : KytContents(source)
{
    if (source)
        bSubDraw = source->bSubDraw;
}

KytAuxContents::KytAuxContents(const KytAuxContents& other) = default;

KytAuxContents& KytAuxContents::operator=(const KytAuxContents& other) = default;

KytAuxContents::~KytAuxContents() = default;

AuxType KytAuxContents::GetAuxType() const
{
    return AUXTYPE_GENERAL;
}

bool KytAuxContents::IsPickable() const
{
    return false;
}

bool KytAuxContents::IsTargetLink(KytLink*) const
{
    return false;
}

void KytAuxContents::CheckVisual(KytLink*) {}

void KytAuxContents::SetSubDrawFlag(bool flag)
{
    bSubDraw = flag;
}

bool KytAuxContents::Pick(KytPickData*, const WqVector3D&, const WqVector3D&, double&)
{
    return false;
}

void KytAuxContents::DrawGDI() {}

KytAuxContents* KytAuxContents::Search(unsigned int id) const
{
    for (KytAuxContents* obj = pNextAux; obj; obj = obj->pNextAux)
        if (obj->GetID() == id)
            return obj;
    return nullptr;
}
