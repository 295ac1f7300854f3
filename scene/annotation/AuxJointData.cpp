#include "scene/annotation/AuxJointData.h"

#include "platform/kernel/KytLink.h"

AuxJointData::AuxJointData(KytLink* link) : Q(link ? link->dJointValue : 0.0), Link(link) {}
