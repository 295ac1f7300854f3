#include "scene/annotation/KytAuxContents.h"

KytAuxContents::KytAuxContents(const KytAuxContents* source) : KytContents(source)
{
    if (source)
        bSubDraw = source->bSubDraw;
}

KytAuxContents* KytAuxContents::Search(unsigned int id)
{
    for (KytAuxContents* a = pNextAux; a; a = a->pNextAux)
        if (a->GetID() == id)
            return a;
    return nullptr;
}
