#include "world/fx/FxTypeTable.h"

#include <cstring>

#include "world/fx/FxBase.h"
#include "world/fx/ParticleSystem.h"
#include "world/fx/PolyTubeFx.h"

namespace quor::world {

const FxTypeEntry FxTypeTable[kFxTypeCount] = {
    {"ParticleSystem", &NewFx<ParticleSystem>},
    {"Sprite", nullptr},
    {"Model", nullptr},
    {"FxSound", nullptr},
    {"FxSoundEventDrive", nullptr},
    {"PolyTube", &NewFx<PolyTubeFx>},
    {"Dummy", &NewFx<FxBase>},
    {"FxGroup", &NewFx<FxGroup>},
    {"FxCamera", nullptr},
    {"EnvFlareFx", nullptr},
    {"SpeedRate", nullptr},
};

FxCreator FindFxCreator(const char* elementName) {
    if (!elementName) return nullptr;
    for (const FxTypeEntry& entry : FxTypeTable)
        if (std::strcmp(entry.name, elementName) == 0) return entry.create;
    return nullptr;
}

}  // namespace quor::world
