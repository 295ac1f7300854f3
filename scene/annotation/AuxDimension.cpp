#include "scene/annotation/AuxDimension.h"

AuxDimension::AuxDimension(const AuxDimension* source) : AuxAnnotate(source)
{
    if (source)
        uDRID = source->uDRID;
}

KytAuxContents* AuxDimension::Duplicate()
{
    return new AuxDimension(this);
}
