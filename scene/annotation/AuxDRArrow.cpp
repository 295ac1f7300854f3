#include "scene/annotation/AuxDRArrow.h"

#include "scene/view/KernelLinks.h"

int AuxDRArrow::nCounter = 0;

AuxDRArrow::AuxDRArrow() : nNo(nCounter++) {}

AuxDRArrow::AuxDRArrow(unsigned int id, KytLink* link) : AuxTarget(id, link), nNo(nCounter++)
{
    for (KytLink* l = link; l; l = kyt_links::Parent(l)) {
        if (!kyt_links::IsVisibleInLayer(l)) {
            bSubDraw = false;
            break;
        }
    }
}

AuxDRArrow::AuxDRArrow(const AuxDRArrow* source) : AuxTarget(source)
{
    if (source) {
        pDRData = source->pDRData;
        nNo = source->nNo;
        bBackup = source->bBackup;
    }
}

AuxDRArrow::AuxDRArrow(const AuxDRArrow& other) = default;

AuxDRArrow& AuxDRArrow::operator=(const AuxDRArrow& other) = default;

AuxDRArrow::~AuxDRArrow() = default;

KytAuxContents* AuxDRArrow::Duplicate()
{
    return new AuxDRArrow(this);
}

int AuxDRArrow::GetAuxType()
{
    return AUXTYPE_DR;
}
