#pragma once
// Host-facing: see world/HostHeaders.cmake.
#include "world/core/ICamera.h"

namespace quor::world {

// The module's scene camera, as IScene::CreateCamera and GetActiveCamera hand it out and
// SetActiveCamera takes it. Its placed-object side is ICamera::GetSpaceObject.
// A host keeps it as a handle and calls it through ICamera: the class derives from ICamera
// first, so the handle's address is the interface's (the module's tests hold it to that).
class Camera;

inline ICamera* CameraInterface(Camera* object) { return reinterpret_cast<ICamera*>(object); }

}  // namespace quor::world
