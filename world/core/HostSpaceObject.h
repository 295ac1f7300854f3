#pragma once
// Host-facing: see world/HostHeaders.cmake.
#include "world/core/ISpaceObject.h"

namespace quor::world {

// The module's placed object, as IScene::GetRootObject and IModel::GetSpaceObject hand it out
// and IScene::UpdateBillboard and UpdateObject take it.
// A host keeps it as a handle and calls it through ISpaceObject: the class derives from ISpaceObject
// first, so the handle's address is the interface's (the module's tests hold it to that).
class SpaceObject;

inline ISpaceObject* SpaceObjectInterface(SpaceObject* object) { return reinterpret_cast<ISpaceObject*>(object); }

}  // namespace quor::world
