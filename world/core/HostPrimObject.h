#pragma once
// Host-facing: see world/HostHeaders.cmake.
#include "world/core/IPrimObject.h"

namespace quor::world {

// The module's free-form geometry object, as IScene::CreatePrimObject and GetPrimObject hand it
// out.
// A host keeps it as a handle and calls it through IPrimObject: the class derives from IPrimObject
// first, so the handle's address is the interface's (the module's tests hold it to that).
class PrimObject;

inline IPrimObject* PrimObjectInterface(PrimObject* object) { return reinterpret_cast<IPrimObject*>(object); }

}  // namespace quor::world
