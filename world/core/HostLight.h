#pragma once
// Host-facing: see world/HostHeaders.cmake.
#include "world/core/ILight.h"

namespace quor::world {

// The module's scene light, as IScene::CreateLight, GetLight and GetMainLight hand it out and
// IModel::CreatePlaneShadow takes it.
// A host keeps it as a handle and calls it through ILight: the class derives from ILight
// first, so the handle's address is the interface's (the module's tests hold it to that).
class Light;

inline ILight* LightInterface(Light* object) { return reinterpret_cast<ILight*>(object); }

}  // namespace quor::world
