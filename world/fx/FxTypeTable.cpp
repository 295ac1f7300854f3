#include "world/fx/FxTypeTable.h"

#include <cstring>

#include "world/fx/CameraShakeFx.h"
#include "world/fx/EnvFlareFx.h"
#include "world/fx/FxBase.h"
#include "world/fx/FxSound.h"
#include "world/fx/ModelFx.h"
#include "world/fx/ParticleSystem.h"
#include "world/fx/PolyTubeFx.h"
#include "world/fx/SpeedRateFx.h"
#include "world/fx/SpriteFx.h"

namespace quor::world {

const FxTypeEntry FxTypeTable[kFxTypeCount] = {
    {"ParticleSystem", &NewFx<ParticleSystem>},
    {"Sprite", &NewFx<SpriteFx>},
    {"Model", &NewFx<ModelFx>},
    {"FxSound", &NewFx<FxSoundCommon>},
    {"FxSoundEventDrive", &NewFx<FxSoundEventDrive>},
    {"PolyTube", &NewFx<PolyTubeFx>},
    {"Dummy", &NewFx<FxBase>},
    {"FxGroup", &NewFx<FxGroup>},
    {"FxCamera", &NewFx<CameraShakeFx>},
    {"EnvFlareFx", &NewFx<EnvFlareFx>},
    {"SpeedRate", &NewFx<SpeedRateFx>},
};

FxCreator FindFxCreator(const char* elementName) {
    if (!elementName) return nullptr;
    for (const FxTypeEntry& entry : FxTypeTable)
        if (std::strcmp(entry.name, elementName) == 0) return entry.create;
    return nullptr;
}

}  // namespace quor::world
